// What a view of the model is without its window: the render state with its start
// values, an off-screen image of the client size, and the display sink the renderer
// shows finished rectangles on. The desktop view passes itself as the sink; the
// command line and the tests pass none, and the drawing is only kept in the image.
//
//   QzViewCore view;                // start values, colour scheme 0, view 0, zoom 100
//   view.Resize(800, 600);
//   view.State().SetStandardView(1);
//   view.Draw();                    // full clear, then one drawing; fills QzDrawStats
//   std::vector<uint8_t> rgb = view.RgbPixels();
#pragma once

#include <cstdint>
#include <vector>

#include "fit.h"
#include "viewtransform.h"
#include "zimage.h"

class QzViewCore {
  public:
    // Constructs the state as the view does: start values, colour scheme 0 applied,
    // standard view 0, zoom 100, renderer 3. A null sink shows nothing; a given one
    // must outlive the view.
    explicit QzViewCore(QzDisplaySink* sink = nullptr);
    ~QzViewCore();
    QzViewCore(const QzViewCore&) = delete;
    QzViewCore& operator=(const QzViewCore&) = delete;

    // Allocates the image for a client area of width x height pixels (the image is
    // widened to a multiple of 4) and hands it to the renderer. False when the size
    // is not positive or memory runs out.
    bool Resize(int width, int height);
    // Sets colourScheme and applies it to the palette, as the scheme commands do;
    // numbers outside the schemes (a stored setting, say) change nothing.
    void SetColourScheme(int scheme);
    QzRenderState& State() { return state_; }
    const QzRenderState& State() const { return state_; }

    // Clears the whole image and draws the loaded model once (a redraw after resize).
    void Draw() { Redraw(true); }
    // Clears all of the image (full) or what the last drawing touched, and draws.
    void Redraw(bool full);
    // Whether the image has its buffers (a failed resize leaves it without).
    bool HasImage() const { return image_.depth != nullptr; }

    // The image as the renderer sees it, with the rectangles of the last drawing
    // (width a multiple of 4).
    const QzZImage& Image() const { return state_.renderer->image; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The client area's pixels, rows from the top, red, green, blue per pixel.
    std::vector<uint8_t> RgbPixels() const;

    // The fit of the loaded model to the client area under the current view
    // (QzFitModel): the zoom, and with Centred the shift that centres the drawing.
    QzFit Fit(QzFitPlacement placement) const;
    // The zoom of the fit in the view's own placement (the desktop's automatic zoom).
    int FitZoom() const;

  private:
    QzNullSink nullSink_;
    QzRenderState state_;
    QzZImage image_{};
    int width_ = 0;
    int height_ = 0;
};
