#include "viewcore.h"

#include "colours.h"
#include "drawlist.h"
#include "drawpass.h"
#include "hqrender.h"

QzViewCore::QzViewCore(QzDisplaySink* sink) : state_(sink ? sink : &nullSink_) {
    state_.SetStandardView(0);
    state_.zoom = 100;
}

QzViewCore::~QzViewCore() { free_zimage(image_); }

bool QzViewCore::Resize(int width, int height) {
    if (width <= 0 || height <= 0 || width > 0x10000000) return false;
    const int imageWidth = (width + 3) & ~3;
    if (init_zimage(image_, imageWidth, height) != 0) {
        state_.renderer->SetImage(image_);
        width_ = height_ = 0;
        return false;
    }
    state_.renderer->SetImage(image_);
    width_ = width;
    height_ = height;
    return true;
}

void QzViewCore::SetColourScheme(int scheme) { QzSelectColourScheme(state_.palette, scheme); }

void QzViewCore::Redraw(const QzModel& model, bool full) {
    std::optional<QzDrawStatistics> drawn = RedrawModel(state_, model, full);
    if (!drawn) return;
    if (drawn->transformText.empty()) drawn->transformText = statistics_.transformText;
    statistics_ = std::move(*drawn);
}

void QzViewCore::DrawFileCentred(const QzPart& file, int32_t colour) {
    QzRenderer& r = *state_.renderer;
    if (!r.image.depth) return;
    r.ClearImage(true);
    const QzFit fit =
        QzFitModel(file, state_.view, width_, height_, image_.width, QzFitPlacement::Centred);
    state_.zoom = fit.zoom;
    state_.shiftX = fit.shiftX;
    state_.shiftY = fit.shiftY;
    QzDrawJob job;
    job.top = &file;
    job.screen = state_.ScreenMatrix(file, r.image.width, r.image.height);
    job.options = &state_.options;
    job.palette = &state_.palette;
    job.threads = state_.threads > 0 ? state_.threads : QzDefaultDrawThreads();
    job.colour = colour;
    r.SetFaceOffsetLimit(job.screen);
    r.statistics = QzDrawStatistics{};
    const QzDrawOutcome outcome =
        state_.options.highQuality ? QzDrawHighQuality(state_, job) : QzDrawNormal(r, job);
    statistics_ = r.statistics;
    statistics_.incomplete = outcome != QzDrawOutcome::Drawn;
}

std::vector<uint8_t> QzViewCore::RgbPixels() const {
    std::vector<uint8_t> out;
    if (!image_.pixels || width_ <= 0) return out;
    out.resize(static_cast<size_t>(width_) * height_ * 3);
    for (int y = 0; y < height_; ++y) {
        const uint8_t* src = image_.pixels + static_cast<size_t>(y) * image_.width * 3;
        uint8_t* dst = out.data() + static_cast<size_t>(y) * width_ * 3;
        for (int x = 0; x < width_; ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    return out;
}

std::vector<uint8_t> QzViewCore::RgbaPixels() const {
    std::vector<uint8_t> rgba;
    if (!image_.pixels || width_ <= 0) return rgba;
    rgba.resize(static_cast<size_t>(width_) * height_ * 4);
    bool drawn = false;
    for (int y = 0; y < height_; ++y) {
        const size_t row = static_cast<size_t>(y) * image_.width;
        for (int x = 0; x < width_; ++x) {
            const size_t at = row + x;
            if (!(image_.depth[at] < QZ_FAR_DEPTH)) continue;  // stays transparent black
            const uint8_t* in = image_.pixels + at * 3;
            uint8_t* out = rgba.data() + (static_cast<size_t>(y) * width_ + x) * 4;
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = 255;
            drawn = true;
        }
    }
    if (!drawn) rgba.clear();
    return rgba;
}

QzFit QzViewCore::Fit(const QzModel& model, QzFitPlacement placement) const {
    if (!model.Loaded()) return {};
    return QzFitModel(state_.ShownPart(model), state_.view, width_, height_, image_.width,
                      placement);
}

void QzViewCore::FitCentred(const QzModel& model) {
    const QzFit fit = Fit(model, QzFitPlacement::Centred);
    state_.zoom = fit.zoom;
    state_.shiftX = fit.shiftX;
    state_.shiftY = fit.shiftY;
}

int QzViewCore::FitZoom(const QzModel& model) const {
    return Fit(model, QzFitPlacement::View).zoom;
}
