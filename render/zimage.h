// The off-screen image every drawing goes into: 24-bit pixels stored top-down in
// blue, green, red order, and one float depth per pixel. The renderer only ever writes
// here; a display sink copies changed rectangles out.
#pragma once

#include <cstdint>

// Inclusive pixel rectangle; empty when x0 > x1.
struct QzPixelRect {
    int32_t x0, x1, y0, y1;
};

struct QzZImage {
    uint8_t* pixels;
    float* depth;
    int32_t width;  // always a multiple of 4
    int32_t height;
    QzPixelRect clearedRect;  // cleared but not yet shown
    QzPixelRect dirtyRect;    // drawn since the last flush
    QzPixelRect drawnRect;    // drawn since the last clear
};

// Depth of a pixel where nothing is drawn; smaller is nearer.
inline constexpr float QZ_FAR_DEPTH = 1000000.0f;

// Where a renderer shows image rectangles: the desktop view paints its window, the
// command line and the tests show nothing.
class QzDisplaySink {
  public:
    virtual ~QzDisplaySink() = default;
    // Copies the rectangle of the image to the same place of the view.
    virtual void Paint(const QzZImage& image, const QzPixelRect& rect) = 0;
    // A full drawing shows the wait cursor while it runs.
    virtual void SetWaitCursor(bool /*on*/) {}
};

// Shows nothing: the sink of headless drawing.
class QzNullSink : public QzDisplaySink {
  public:
    void Paint(const QzZImage&, const QzPixelRect&) override {}
};

// The empty rectangle of an image of this size.
QzPixelRect QzEmptyRect(int32_t width, int32_t height);
inline bool QzRectIsEmpty(const QzPixelRect& r) { return r.x0 > r.x1; }
// Minima of x0 and y0, maxima of x1 and y1.
void QzRectGrow(QzPixelRect& r, const QzPixelRect& by);

// Allocates (or reallocates) both buffers for the size; 0 on success, -1 when memory
// runs out (the image is then left without a depth buffer). Pixels and depth are not
// initialised. The width must already be a multiple of 4.
int init_zimage(QzZImage& image, int width, int height);
// Releases both buffers and zeroes the record.
void free_zimage(QzZImage& image);
