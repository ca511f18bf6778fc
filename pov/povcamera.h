// Camera and lights of the POV-Ray scene: a camera that looks at the model from the
// option's direction and stands just far enough away for the model to fill a 4:3
// picture, and light sources placed around the model relative to the camera.
#pragma once

#include "geometry.h"
#include "povbase.h"

// Fixes the viewing angle, prepares D and the four planes, resets the minima.
void PovCameraSetup(PovScene& scene);
// Folds one model point into the minima.
void PovCameraAccumulate(PovCameraState& camera, const QzVector& p);
// Runs the bounds walk over the model's own lines, its points going to
// PovCameraAccumulate.
void PovCollectCameraPoints(PovScene& scene, const QzPart& model);
// Computes L and A from the minima and the centre and writes the camera.
void PovWriteCamera(PovScene& scene);
// Appends the three default lights to the scene's; false when one could not be appended.
bool PovAddDefaultLights(PovScene& scene);
void PovWriteLights(PovScene& scene);

// Crout LU decomposition with implicit partial pivoting of a 6x6 matrix, in place.
void LuDecompose(float a[6][6], int pivots[6]);
// Solves with the factored matrix; b holds the right-hand side, then the solution.
void LuBackSubstitute(const float a[6][6], const int pivots[6], float b[6]);
