#include "viewcore.h"

#include <algorithm>
#include <cmath>

#include "colours.h"
#include "drawpass.h"
#include "model.h"

QzViewCore::QzViewCore(QzDisplaySink* sink) : state_(sink ? sink : &nullSink_) {
    SetColourScheme(0);
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

void QzViewCore::SetColourScheme(int scheme) {
    state_.colourScheme = scheme;
    QzSelectColourScheme(scheme);
}

void QzViewCore::Redraw(bool full) { RedrawModel(state_, full); }

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

int QzViewCore::FitZoom() const {
    if (QzPartCount == 0 || width_ <= 0 || height_ <= 0) return 100;
    const QzBox& box = QzParts[0].box;
    if (!(box.min.x <= box.max.x && box.min.y <= box.max.y && box.min.z <= box.max.z)) return 100;
    const double c[3] = {(static_cast<double>(box.min.x) + box.max.x) / 2.0,
                         (static_cast<double>(box.min.y) + box.max.y) / 2.0,
                         (static_cast<double>(box.min.z) + box.max.z) / 2.0};
    // Extent of the turned box beyond the centre, at zoom 1 unit per pixel.
    double right = 0, left = 0, up = 0, down = 0;
    const QzMatrix& v = state_.view;
    for (int i = 0; i < 8; ++i) {
        const QzVector corner = QzBoxCorner(box, i);
        const double p[3] = {corner.x - c[0], corner.y - c[1], corner.z - c[2]};
        const double x = v.m[0][0] * p[0] + v.m[0][1] * p[1] + v.m[0][2] * p[2];
        const double y = v.m[1][0] * p[0] + v.m[1][1] * p[1] + v.m[1][2] * p[2];
        right = std::max(right, x);
        left = std::max(left, -x);
        down = std::max(down, y);
        up = std::max(up, -y);
    }
    // The centre sits at half the width and two thirds of the height of the image
    // the renderer draws; the margin keeps the outline off the border.
    const int cx = image_.width / 2;
    const int cy = (2 * height_) / 3;
    const double margin = 0.04 * std::min(width_, height_);
    const double room[4] = {width_ - 1 - cx - margin, cx - margin, cy - margin,
                            height_ - 1 - cy - margin};
    const double extent[4] = {right, left, up, down};
    double scale = -1;
    for (int k = 0; k < 4; ++k) {
        if (extent[k] <= 0) continue;
        const double s = std::max(room[k], 1.0) / extent[k];
        if (scale < 0 || s < scale) scale = s;
    }
    if (scale < 0) return 100;
    const double zoom = std::floor(scale * 100.0);
    return static_cast<int>(std::clamp(zoom, 1.0, 100000000.0));
}
