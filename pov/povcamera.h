// Camera and lights of the POV-Ray scene: a camera that looks at the model from the
// option's direction and stands just far enough away for the model to fill a 4:3
// picture, and light sources placed around the model relative to the camera.
#pragma once

#include <iosfwd>

#include "geometry.h"

struct QzPart;

// Camera state of one export.
struct PovCameraState {
    QzVector direction;  // D: unit viewing direction, from the camera towards the model
    QzVector normal[4];  // N0..N3: inward normals of the top, bottom and side planes
    float minimum[4];    // m0..m3: smallest Ni.p over the model's points
    QzVector centre;     // B: model centre
    QzVector location;   // L
    QzVector lookAt;     // A
};

extern PovCameraState PovCamera;

// Fixes the viewing angle, prepares D and the four planes, resets the minima.
void PovCameraSetup();
// Folds one model point into the minima.
void PovCameraAccumulate(const QzVector& p);
// Runs the bounds walk over the model's own lines with the camera flag on and its
// points going to PovCameraAccumulate.
void PovCollectCameraPoints(QzPart* model);
// Computes L and A from the minima and the centre and writes the camera.
void PovWriteCamera(std::ostream& out);
// Appends the three default lights; false when one could not be appended.
bool PovAddDefaultLights();
void PovWriteLights(std::ostream& out);

// Crout LU decomposition with implicit partial pivoting of a 6x6 matrix, in place.
void LuDecompose(float a[6][6], int pivots[6]);
// Solves with the factored matrix; b holds the right-hand side, then the solution.
void LuBackSubstitute(const float a[6][6], const int pivots[6], float b[6]);
