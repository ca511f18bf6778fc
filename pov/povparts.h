// Parts of the POV-Ray scene: one declaration per part, referenced parts first, with
// known LDraw primitives replaced by exact POV-Ray shapes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model.h"
#include "povbase.h"

struct PovPrimitive {
    const char* name;
    int32_t objects;   // frame-level objects; -1 marks an alias
    std::string code;  // POV-Ray code, or for an alias the name of the record it stands for
};

inline constexpr int kPovPrimitiveCount = 49;
// The primitive table, in its fixed order.
const PovPrimitive* PovPrimitives();

// Longest identifier; longer ones are cut to 119 characters and "MAX125".
inline constexpr size_t kPovMaxIdentifier = 125;

std::string PovIdentifier(std::string_view name);
// Whether POV-Ray would refuse or misread this identifier as a part's name: a reserved
// word, a built-in identifier or a name the scene itself declares.
bool PovIsReservedIdentifier(std::string_view identifier);
const PovPrimitive* PovFindPrimitive(std::string_view name);
// 0 ENDPOV, 1 IFPOV, 2 IFNOTPOV, 3 ELSEPOV, -1 no POV meta-command.
int PovMetaCommand(const char* text);
void PovWriteTriangle(PovScene& scene, const QzLine& line, int first);
// Declares the part once per scene, the parts it references first.
void PovDeclarePart(PovScene& scene, const QzPart* part);
