// The forms of an export scene without nodes, every placed part written out where it
// lies: binary STL for slicers, and OBJ with its materials in an MTL file for modelling
// programs.
//
// STL: millimetres, Z up, as slicers expect: an LDraw point (x, y, z) lies at
// (0.4 x, 0.4 z, -0.4 y) mm; an 80-byte header, the number of triangles, then 50
// bytes a triangle (facet normal, three corners, a zero attribute); one solid of every
// placed part's faces, each facing out.
//
// OBJ: axes and size as glTF (Y up, metres); one group per placed part ("g", named
// after the part), its vertices and normals shared within the part; a material per
// colour in the MTL file ("Kd" the colour, "d" its alpha).
#pragma once

#include <cstdio>
#include <map>
#include <string>

#include "colours.h"
#include "exportscene.h"

namespace exports {

// LDraw units to millimetres.
inline constexpr double kMillimetresPerUnit = 0.4;

// Writes the scene as binary STL. False (nothing written) when it has more triangles than
// the format counts.
bool WriteStl(std::FILE* file, const Scene& scene, const std::string& modelName);

// Writes the scene as OBJ naming its MTL file `mtlName` (beside it), and the MTL file;
// with `lines`, the edge lines too. Returns the number of materials.
size_t WriteObj(std::FILE* obj, std::FILE* mtl, const Scene& scene, const QzPalette& palette,
                const std::map<int32_t, std::string>& colourNames, const std::string& mtlName,
                const std::string& modelName);

// A name as OBJ and MTL take one: one word, every blank or control character an
// underscore, "/" between folders.
std::string ObjName(const std::string& name);

}  // namespace exports
