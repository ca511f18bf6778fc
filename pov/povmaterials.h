// Colour materials of the POV-Ray scene: one named, guarded material per colour used.
#pragma once

#include <cstdint>
#include <string>

#include "povbase.h"

// "Color%ld" for 0..16777215, else "Color0x%08lX".
std::string PovColourName(int32_t colour);
// "#if (version >= 3.1) material #else texture #end { name }".
std::string PovMaterial(int32_t colour);
void PovDeclareColour(PovScene& scene, int32_t colour);
// Declares every colour the model uses that the scene has not declared yet.
void PovDeclareUsedColours(PovScene& scene);
