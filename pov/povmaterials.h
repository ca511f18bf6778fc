// Colour materials of the POV-Ray scene: one named, guarded material per colour used.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

// "Color%ld" for 0..16777215, else "Color0x%08lX".
std::string PovColourName(int32_t colour);
// "#if (version >= 3.1) material #else texture #end { name }".
std::string PovMaterial(int32_t colour);
void PovDeclareColour(std::ostream& out, int32_t colour);
// Declares every used colour whose declared mark is clear and marks it.
void PovDeclareUsedColours(std::ostream& out);
// Clears the declared mark of every used colour.
void PovClearColourMarks();
