#include "viewcore.h"

#include "colours.h"
#include "drawpass.h"

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

QzFit QzViewCore::Fit(const QzModel& model, QzFitPlacement placement) const {
    return QzFitModel(model, state_.view, width_, height_, image_.width, placement);
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
