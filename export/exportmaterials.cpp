#include "exportmaterials.h"

#include <cmath>
#include <cstdio>

namespace exports {

// clang-format off
const FinishLook kFinishLooks[6] = {
    // The bricks' glossy ABS.
    {MaterialKind::Plastic,       0.0,  0.35},
    // A mirror finish.
    {MaterialKind::Chrome,        1.0,  0.15},
    // Between plastic and metal: a soft sheen.
    {MaterialKind::Pearlescent,   0.5,  0.35},
    {MaterialKind::Metal,         1.0,  0.4},
    {MaterialKind::MatteMetallic, 0.9,  0.6},
    // Tyres and rubber bands: dull.
    {MaterialKind::Rubber,        0.0,  0.8},
};
// clang-format on

namespace {

MaterialKind KindOf(uint32_t finish) {
    if (finish & QZ_FINISH_CHROME) return MaterialKind::Chrome;
    if (finish & QZ_FINISH_METAL) return MaterialKind::Metal;
    if (finish & QZ_FINISH_MATTE_METALLIC) return MaterialKind::MatteMetallic;
    if (finish & QZ_FINISH_PEARLESCENT) return MaterialKind::Pearlescent;
    if (finish & QZ_FINISH_RUBBER) return MaterialKind::Rubber;
    return MaterialKind::Plastic;
}

}  // namespace

double LinearLight(double shown) {
    return shown <= 0.04045 ? shown / 12.92 : std::pow((shown + 0.055) / 1.055, 2.4);
}

std::string ColourName(int32_t colour, const std::map<int32_t, std::string>& names) {
    if (const auto found = names.find(colour); found != names.end()) return found->second;
    if (colour >= 0 && colour < 64 && QzColourTable[colour].name) return QzColourTable[colour].name;
    if (colour >= 0x2000000 && colour <= 0x3FFFFFF) {
        char text[8];
        std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(colour & 0xFFFFFF));
        return text;
    }
    return "Colour " + std::to_string(colour);
}

Material MakeMaterial(int32_t colour, bool doubleSided, const QzPalette& palette,
                      const std::map<int32_t, std::string>& names) {
    Material m{};
    m.colour = colour;
    m.doubleSided = doubleSided;
    m.name = ColourName(colour, names);
    float rgb[3] = {0.5f, 0.5f, 0.5f};
    QzColourToRgb(palette, colour, rgb);
    const QzLDConfigColour* defined = QzSchemeColour(palette, colour);
    m.kind = KindOf(defined ? defined->finish : 0);
    m.alpha = 1.0;
    if (QzIsTransparentColour(palette, colour))
        m.alpha = defined && defined->alpha < 255 ? defined->alpha / 255.0 : kDefaultAlpha;
    const FinishLook& look = kFinishLooks[static_cast<int>(m.kind)];
    m.metallic = look.metallic;
    m.roughness =
        m.kind == MaterialKind::Plastic && m.alpha < 1.0 ? kGlassRoughness : look.roughness;
    const double glow = defined ? defined->luminance / 255.0 : 0.0;
    for (int i = 0; i < 3; ++i) {
        m.shown[i] = std::fmin(1.0, std::fmax(0.0, static_cast<double>(rgb[i])));
        m.linear[i] = LinearLight(m.shown[i]);
        m.emissive[i] = m.linear[i] * glow;
    }
    return m;
}

int32_t MaterialTable::Index(int32_t colour, bool doubleSided, int32_t texture,
                             const std::string& image) {
    const auto [it, added] =
        index_.try_emplace({colour, doubleSided, texture}, static_cast<int32_t>(materials_.size()));
    if (!added) return it->second;
    Material m = MakeMaterial(colour, doubleSided, palette_, names_);
    if (texture >= 0) {
        const FinishLook& plastic = kFinishLooks[static_cast<int>(MaterialKind::Plastic)];
        m.texture = texture;
        m.kind = MaterialKind::Plastic;
        m.metallic = plastic.metallic;
        m.roughness = plastic.roughness;
        m.name += " with " + image;
    }
    materials_.push_back(std::move(m));
    return it->second;
}

}  // namespace exports
