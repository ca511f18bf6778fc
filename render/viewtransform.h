// The view's rendering state: orientation (one of fifteen standard views, nine typed
// numbers or the result of mouse drags), zoom, drag state, the palette of its colour
// scheme, drawing switches and the current renderer; and the model-to-screen matrix
// built from it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "colours.h"
#include "geometry.h"
#include "model.h"
#include "renderer.h"
#include "zimage.h"

class QzHqRenderer;

inline constexpr int QZ_STANDARD_VIEWS = 15;

struct QzStandardView {
    // Status-bar text, null for view 7, which has none.
    const char* prompt;
    // Nine numbers row by row, or null for a view given by angles.
    const char* matrix;
    double latitude;
    double longitude;
    bool skew;
};
extern const QzStandardView QzStandardViews[QZ_STANDARD_VIEWS];

class QzRenderState {
  public:
    // Start values: view 0, zoom 100, renderer type 3 selected, not dragging, skew on.
    // The sink is where renderers show the image; it must outlive the state.
    explicit QzRenderState(QzDisplaySink* sink);
    QzRenderState(const QzRenderState&) = delete;
    QzRenderState& operator=(const QzRenderState&) = delete;

    // Nine numbers separated by white space or by commas; false (and nothing changed)
    // when neither reading gives nine.
    bool SetViewMatrix(const char* text, bool skew);
    // Degrees; the view becomes Rx(latitude) x Ry(longitude) and skewView is cleared.
    void SetViewAngles(double latitude, double longitude);
    // Views 0 to 14; other numbers are ignored.
    void SetStandardView(int number);
    // One step of a mouse drag: dx, dy pixels since the last step.
    void RotateView(int dx, int dy);
    // The 16 values of the view matrix, row-major.
    std::array<float, 16> GetViewMatrix() const;
    // Only type 3 exists; other types show a message and change nothing.
    void SelectRenderer(int type);
    // Model to screen for an image of this size: centre of the shown file's box at
    // half the width and two thirds of the height (moved by shiftX, shiftY), zoom/100
    // pixels per LDraw unit.
    QzMatrix ScreenMatrix(const QzModel& model, int width, int height) const;
    QzMatrix ScreenMatrix(const QzPart& shown, int width, int height) const;
    // The file the view shows: the submodel named `submodel` while the model has it
    // (and it is resolved), else the main model. The model must be loaded.
    const QzPart& ShownPart(const QzModel& model) const;

    bool timeCalculations = false;
    bool showModelBox = false;
    bool showAxes = false;
    bool dragging = false;
    int32_t dragMode = 3;
    // The colour scheme (palette.scheme) and its colours; loads read LDConfig.ldr into
    // it under scheme 3.
    QzPalette palette;
    QzMatrix view{};
    bool skewView = true;
    int32_t zoom = 100;
    // Pixels the drawing is moved by from the view's placement: the command line's
    // centred pictures; the view itself keeps 0, 0.
    float shiftX = 0.0f;
    float shiftY = 0.0f;
    // The file shown: empty for the main model, else the name of a submodel (sections.h),
    // looked up at every drawing: a reload keeps it while the model file has a submodel
    // of that name, and shows the main model otherwise.
    std::string submodel;
    // The building step shown: 0 for the whole file shown, k for its lines up to the end
    // of its k-th step (QzStepLastLine). Placement and zoom stay the whole file's.
    int32_t step = 0;
    QzRenderOptions options;
    // Threads a full drawing uses; 0 for as many as the machine has processors.
    int threads = 0;
    QzDisplaySink* sink;
    int32_t rendererType = 0;
    QzRenderer* renderer = nullptr;
    std::unique_ptr<QzRenderer> floatRenderer;
    // The high-quality drawing, made on its first use (it keeps its meshes).
    std::shared_ptr<QzHqRenderer> hqRenderer;
};

// Rx(a) x Ry(b) for angles in radians, as a view matrix.
QzMatrix QzRotationXY(double a, double b);
