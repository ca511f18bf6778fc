// What a view of a model is without its window: the render state with its start
// values, an off-screen image of the client size, the measurements of the last
// drawing, and the display sink the renderer shows finished rectangles on. The desktop
// view passes itself as the sink; the command line and the tests pass none, and the
// drawing is only kept in the image.
//
//   QzViewCore view;                // start values, colour scheme 0, view 0, zoom 100
//   view.Resize(800, 600);
//   view.State().SetStandardView(1);
//   view.Draw(model);               // full clear, then one drawing
//   std::vector<uint8_t> rgb = view.RgbPixels();
//   view.Statistics().drawTimeMs;
#pragma once

#include <cstdint>
#include <vector>

#include "fit.h"
#include "measurements.h"
#include "model.h"
#include "viewtransform.h"
#include "zimage.h"

class QzViewCore {
  public:
    // Constructs the state as the view does: start values, colour scheme 0, standard
    // view 0, zoom 100, renderer 3. A null sink shows nothing; a given one must outlive
    // the view.
    explicit QzViewCore(QzDisplaySink* sink = nullptr);
    ~QzViewCore();
    QzViewCore(const QzViewCore&) = delete;
    QzViewCore& operator=(const QzViewCore&) = delete;

    // Allocates the image for a client area of width x height pixels (the image is
    // widened to a multiple of 4) and hands it to the renderer. False when the size
    // is not positive or memory runs out.
    bool Resize(int width, int height);
    // Selects the scheme in the view's palette, as the scheme commands do; numbers
    // outside the schemes (a stored setting, say) change nothing.
    void SetColourScheme(int scheme);
    QzRenderState& State() { return state_; }
    const QzRenderState& State() const { return state_; }

    // Clears the whole image and draws the model once (a redraw after resize).
    void Draw(const QzModel& model) { Redraw(model, true); }
    // Clears all of the image (full) or what the last drawing touched, and draws.
    void Redraw(const QzModel& model, bool full);
    // Clears the whole image and draws one file whole in a colour (what its colour 16
    // stands for), fitted to the image and centred: a picture of a part of its own, in
    // the view's orientation and with its switches. The zoom and shift become the fit's.
    void DrawFileCentred(const QzPart& file, int32_t colour);
    // The measurements of the last drawing (a drag preview keeps the transform counts
    // of the full drawing before it).
    const QzDrawStatistics& Statistics() const { return statistics_; }
    // Replaces them, as the scene export does with its own duration.
    void SetStatistics(const QzDrawStatistics& statistics) { statistics_ = statistics; }
    // Whether the image has its buffers (a failed resize leaves it without).
    bool HasImage() const { return image_.depth != nullptr; }

    // The image as the renderer sees it, with the rectangles of the last drawing
    // (width a multiple of 4).
    const QzZImage& Image() const { return state_.renderer->image; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The client area's pixels, rows from the top, red, green, blue per pixel.
    std::vector<uint8_t> RgbPixels() const;
    // The same with alpha: opaque where the drawing put something, transparent black
    // elsewhere (a picture of its own, to be shown on any background). Empty when
    // nothing was drawn.
    std::vector<uint8_t> RgbaPixels() const;

    // The fit of the file shown (the main model or the submodel shown) to the client area
    // under the current view (QzFitModel): the zoom, and with Centred the shift that
    // centres the drawing.
    QzFit Fit(const QzModel& model, QzFitPlacement placement) const;
    // Sets the zoom and shift of the centred fit: the model fills the picture, centred.
    void FitCentred(const QzModel& model);
    // The zoom of the fit in the view's own placement (the desktop's automatic zoom).
    int FitZoom(const QzModel& model) const;

  private:
    QzNullSink nullSink_;
    QzRenderState state_;
    QzZImage image_{};
    QzDrawStatistics statistics_;
    int width_ = 0;
    int height_ = 0;
};
