// Fitting the loaded model to a picture: the zoom at which every vertex of the file
// shown, turned by the view, lies inside the picture with a margin, and for pictures
// of their own (the command line's thumbnails) the shift that centres the drawing.
#pragma once

#include <cstdint>

#include "geometry.h"
#include "model.h"

// Where a fit puts the model.
enum class QzFitPlacement {
    // The view's own placement: the centre of the main model's box at half the image
    // width and two thirds of the height (the desktop view's automatic zoom).
    View,
    // The extent of the projected vertices centred in the picture.
    Centred,
};

// Margin kept free at each side: this part of the width left and right, of the
// height above and below.
inline constexpr double QZ_FIT_MARGIN = 0.05;

struct QzFit {
    int32_t zoom = 100;  // percent, 1 to 100000000
    // Pixels to add to the screen position of every point (Centred only).
    float shiftX = 0.0f;
    float shiftY = 0.0f;
};

// The largest whole zoom at which the vertices of the file shown (the main model, or the
// submodel the view shows), turned by `view`, keep the margin on every side of a picture
// of width x height pixels; the tighter side touches it. The view draws into an image
// imageWidth pixels wide (the picture widened to a multiple of 4), which places the box
// centre at imageWidth / 2. Zoom 100 and no shift when the file has no vertices or the
// picture is empty.
QzFit QzFitModel(const QzPart& shown, const QzMatrix& view, int width, int height, int imageWidth,
                 QzFitPlacement placement);
