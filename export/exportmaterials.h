// The materials of the exports: one for each LDraw colour used, named by the library's
// LDConfig.ldr, as physically based values (metallic-roughness): the colour's value in
// linear light, its alpha, and a metallic and a roughness for its finish, chosen by
// looking at exports in a viewer next to the high-quality drawing.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "colours.h"

namespace exports {

// The finishes of LDConfig.ldr as a material shows them.
enum class MaterialKind : uint8_t {
    Plastic,
    Chrome,
    Pearlescent,
    Metal,
    MatteMetallic,
    Rubber,
};

struct FinishLook {
    MaterialKind kind;
    double metallic;
    double roughness;
};

// One row per kind.
extern const FinishLook kFinishLooks[6];
// The roughness of transparent plastic (glass is smoother than the bricks).
inline constexpr double kGlassRoughness = 0.1;
// The alpha of a transparent colour without an ALPHA of its own (the classic
// colour schemes' 32 to 63, direct transparent colours), as the high-quality drawing
// blends it.
inline constexpr double kDefaultAlpha = 0.5;

struct Material {
    int32_t colour;
    bool doubleSided;
    std::string name;
    MaterialKind kind;
    // The value as the palette gives it (0 to 1, as shown on a screen) and in linear
    // light, with the alpha (1 for opaque colours).
    double shown[3];
    double linear[3];
    double alpha;
    double metallic;
    double roughness;
    // Light of its own (LUMINANCE), in linear light.
    double emissive[3];
    // A print: the index of the document's texture that holds the image laid over the
    // colour (the base colour is then the texture's alone), -1 for none.
    int32_t texture = -1;
    bool Blends() const { return alpha < 1.0; }
};

// The colour's name: from LDConfig.ldr (`names`), else the colour table's, else
// "#RRGGBB" for a direct colour, else "Colour N".
std::string ColourName(int32_t colour, const std::map<int32_t, std::string>& names);

// The material of a colour under the palette; double-sided for faces of parts that are
// not BFC-certified.
Material MakeMaterial(int32_t colour, bool doubleSided, const QzPalette& palette,
                      const std::map<int32_t, std::string>& names);

// A colour's value (0 to 1) in linear light.
double LinearLight(double shown);

// The materials of one export, in the order of first use.
class MaterialTable {
  public:
    MaterialTable(const QzPalette& palette, const std::map<int32_t, std::string>& names)
        : palette_(palette), names_(names) {}
    // The material of a colour, added on first use. With a texture (an index of the
    // document's textures, named `image`), the material of a print in that colour: the
    // texture holds the image over the colour, the finish that of plain plastic, as the
    // high-quality drawing lights a print.
    int32_t Index(int32_t colour, bool doubleSided, int32_t texture = -1,
                  const std::string& image = {});
    const std::vector<Material>& All() const { return materials_; }

  private:
    const QzPalette& palette_;
    const std::map<int32_t, std::string>& names_;
    std::vector<Material> materials_;
    std::map<std::tuple<int32_t, bool, int32_t>, int32_t> index_;
};

}  // namespace exports
