// Where the bounds walk hands its points when it runs with the camera flag on: the POV
// export installs its camera-fitting function here for the length of one export and
// removes it afterwards. Null means nobody listens.
#pragma once

#include "geometry.h"

inline void (*QzCameraPointHook)(const QzVector& p) = nullptr;
