#include "povmaterials.h"

#include <ostream>

#include "colours.h"
#include "format.h"

namespace {

enum class ColourClass { Rubber, Chrome, Transparent, Solid };

ColourClass ClassOf(const QzPalette& palette, int32_t colour) {
    // The colours of LDConfig.ldr say what they are made of.
    if (const QzLDConfigColour* defined = QzSchemeColour(palette, colour)) {
        if (defined->finish & QZ_FINISH_RUBBER) return ColourClass::Rubber;
        if (defined->finish & (QZ_FINISH_CHROME | QZ_FINISH_METAL)) return ColourClass::Chrome;
        if (defined->alpha < 255) return ColourClass::Transparent;
        return ColourClass::Solid;
    }
    if (colour == 256) return ColourClass::Rubber;
    if (colour == 383 || colour == 494 || colour == 503) return ColourClass::Chrome;
    if ((colour >= 32 && colour <= 63) || ((colour >> 24) & 15) == 3)
        return ColourClass::Transparent;
    return ColourClass::Solid;
}

}  // namespace

std::string PovColourName(int32_t colour) {
    const long value = colour;
    if ((uint32_t(colour) & 0xFF000000u) == 0) return plat::Format("Color%ld", value);
    return plat::Format("Color0x%08lX", static_cast<unsigned long>(uint32_t(colour)));
}

std::string PovMaterial(int32_t colour) {
    return plat::Format("#if (version >= 3.1) material #else texture #end { %s }",
                        PovColourName(colour).c_str());
}

void PovDeclareColour(PovScene& scene, int32_t colour) {
    float rgb[3];
    QzColourToRgb(scene.palette, colour, rgb);
    const std::string vector = PovVector(scene, rgb[0], rgb[1], rgb[2]);
    const std::string name = PovColourName(colour);
    PovPrintf(scene, "#ifndef (%s)\n#declare %s = #if (version >= 3.1) material { #end texture {\n",
              name.c_str(), name.c_str());
    const char* interior = "";
    switch (ClassOf(scene.palette, colour)) {
        case ColourClass::Rubber:
            PovPrintf(scene,
                      "\tpigment { rgb %s }\n\tfinish { ambient AMB diffuse DIF }\n"
                      "\t#if (QUAL > 1)\n\t\tfinish { phong 0.1 phong_size 10 reflection 0 }\n"
                      "\t\t#if (BUMPS) normal { BUMPNORMAL } #end\n\t#end\n",
                      vector.c_str());
            break;
        case ColourClass::Chrome:
            // The table's chrome colours look the same whatever the scheme says; those
            // of LDConfig.ldr (gold, silver, ...) keep their own colour.
            if (QzSchemeColour(scene.palette, colour)) {
                PovPrintf(scene, "\tpigment { rgb %s }\n", vector.c_str());
            } else {
                PovPut(scene, "\tpigment { rgb <0.9,0.9,0.9> }\n");
            }
            PovPut(scene,
                   "\tfinish {\n\t\tambient 0.25\n\t\tdiffuse 0.6\n\t\t#if (QUAL > 1)\n"
                   "\t\t\tbrilliance 5\n\t\t\tmetallic\n\t\t\tspecular 0.80\n"
                   "\t\t\troughness 1/100\n\t\t\treflection 0.65\n\t\t#end\n\t}\n"
                   "\t#if (BUMPS & (QUAL>1)) normal { BUMPNORMAL } #end\n");
            break;
        case ColourClass::Transparent:
            PovPrintf(scene,
                      "\tpigment { rgb %s #if (QUAL > 1) filter 0.85 #end }\n"
                      "\tfinish { ambient AMB diffuse DIF }\n"
                      "\t#if (QUAL > 1)\n\t\tfinish { phong 0.5 phong_size 40 reflection 0.2 }\n"
                      "\t\t#if (version >= 3.1) #else finish { refraction 1 ior 1.25 } #end\n"
                      "\t\t#if (BUMPS) normal { BUMPNORMAL } #end\n\t#end\n",
                      vector.c_str());
            interior = "#if (QUAL > 1) interior { ior 1.25 } #end ";
            break;
        case ColourClass::Solid:
            PovPrintf(scene,
                      "\tpigment { rgb %s }\n\tfinish { ambient AMB diffuse DIF }\n"
                      "\t#if (QUAL > 1)\n\t\tfinish { phong 0.5 phong_size 40 reflection 0.08 }\n"
                      "\t\t#if (BUMPS) normal { BUMPNORMAL } #end\n\t#end\n",
                      vector.c_str());
            break;
    }
    PovPrintf(scene, "} #if (version >= 3.1) %s} #end\n#end\n\n", interior);
}

void PovDeclareUsedColours(PovScene& scene) {
    for (int32_t colour : scene.model.coloursUsed) {
        if (!scene.declaredColours.insert(colour).second) continue;
        PovDeclareColour(scene, colour);
    }
}
