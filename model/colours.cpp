#include "colours.h"

#include "diagnostics.h"

// Rows 0-63: number, name, then red, green, blue of each scheme as 0x00BBGGRR.
// A colour 1-63 is defined exactly when its first scheme value is not zero.
const QzColourRow QzColourTable[64] = {
    {0, "Black", {0x4D4D4D, 0x000000, 0x222222}},
    {1, "Blue", {0xF96015, 0xAA0000, 0xB23300}},
    {2, "Green", {0x3AA01E, 0x00AA00, 0x337F00}},
    {3, "Dark Cyan (LDLite: teal)", {0xA0A700, 0xAAAA00, 0xAAAA00}},
    {4, "Red", {0x0E29F7, 0x0000AA, 0x0000CC}},
    {5, "Magenta (LDLite: dk_pink)", {0x7F50A0, 0x7F55AA, 0x9933FF}},
    {6, "Brown", {0x2F5690, 0x00AAAA, 0x003366}},
    {7, "Grey", {0xAEAEAE, 0xCCCCCC, 0xAAAAAA}},
    {8, "Dark Grey", {0x737979, 0x646464, 0x586666}},
    {9, "Light Blue", {0xFF5050, 0xFF5555, 0xFF8000}},
    {10, "Light Green", {0x0AFFDC, 0x55FF55, 0x66FF33}},
    {11, "Cyan", {0xFFF2A6, 0xFFAA55, 0xFFAA55}},
    {12, "Light Red", {0x219AFF, 0x5555FF, 0x5555FF}},
    {13, "Pink", {0xCFA7FF, 0xE1AAFF, 0xCCB0FF}},
    {14, "Yellow", {0x36E7FF, 0x55FFFF, 0x00E5FF}},
    {15, "White", {0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    {16, "metacolor: use current", {0x000000, 0x000000, 0x000000}},
    {17, "Pastel green", {0x99F066, 0x99F066, 0x99F066}},
    {18, "Light yellow", {0x80FFFF, 0x80FFFF, 0x80FFFF}},
    {19, "Tan", {0x66AACC, 0x66AACC, 0x66AACC}},
    {20, "Light purple", {0xF0CCE0, 0xF0CCE0, 0xF0CCE0}},
    {21, "Glow in the dark", {0xB0FFE0, 0xB0FFE0, 0xB0FFE0}},
    {22, "Purple", {0x993399, 0x993399, 0x993399}},
    {23, "Purple blue", {0xCC004C, 0xCC004C, 0xCC004C}},
    {24, "metacolor: edgecolor", {0x000000, 0x000000, 0x000000}},
    {25, "Orange", {0x0066FF, 0x0066FF, 0x0066FF}},
    {26, "Dark Pink (same as 5 Magenta)", {0x9933FF, 0x9933FF, 0x9933FF}},
    {27, "Lime green (Blacktron II)", {0x50DDAD, 0x50DDAD, 0x50DDAD}},
    {28, "Tan-solid (same as 19 Tan)", {0x66AACC, 0x66AACC, 0x66AACC}},
    {29, "", {0x000000, 0x000000, 0x000000}},
    {30, "", {0x000000, 0x000000, 0x000000}},
    {31, "", {0x000000, 0x000000, 0x000000}},
    {32, "Transparent Black", {0x4D4D4D, 0x000000, 0x000000}},
    {33, "Transparent Blue", {0xF96015, 0x000000, 0x000000}},
    {34, "Transparent Green", {0x3AA01E, 0x000000, 0x000000}},
    {35, "Transparent Dark Cyan", {0xA0A700, 0x000000, 0x000000}},
    {36, "Transparent Red", {0x0E29F7, 0x000000, 0x000000}},
    {37, "Transparent Magenta", {0x7F50A0, 0x000000, 0x000000}},
    {38, "Transparent Brown", {0x2F5690, 0x000000, 0x000000}},
    {39, "Transparent Grey", {0xAEAEAE, 0x000000, 0x000000}},
    {40, "Transparent Dark Grey", {0x737979, 0x000000, 0x000000}},
    {41, "Transparent Light Blue", {0xFF5050, 0x000000, 0x000000}},
    {42, "Transparent LightGreen", {0x0AFFDC, 0x000000, 0x000000}},
    {43, "Transparent Cyan", {0xFFF2A6, 0x000000, 0x000000}},
    {44, "Transparent Light Red", {0x219AFF, 0x000000, 0x000000}},
    {45, "Transparent Pink", {0xCFA7FF, 0x000000, 0x000000}},
    {46, "Transparent Yellow", {0x36E7FF, 0x000000, 0x000000}},
    {47, "Transparent White=Clear", {0xFFFFFF, 0x000000, 0x000000}},
    {48, "Transparent", {0x000000, 0x000000, 0x000000}},
    {49, "Transparent", {0x000000, 0x000000, 0x000000}},
    {50, "Transparent", {0x000000, 0x000000, 0x000000}},
    {51, "Transparent", {0x000000, 0x000000, 0x000000}},
    {52, "Transparent", {0x000000, 0x000000, 0x000000}},
    {53, "Transparent", {0x000000, 0x000000, 0x000000}},
    {54, "Transparent", {0x000000, 0x000000, 0x000000}},
    {55, "Transparent", {0x000000, 0x000000, 0x000000}},
    {56, "Transparent", {0x000000, 0x000000, 0x000000}},
    {57, "Transparent Orange", {0x0066FF, 0x000000, 0x000000}},
    {58, "Transparent", {0x000000, 0x000000, 0x000000}},
    {59, "Transparent", {0x000000, 0x000000, 0x000000}},
    {60, "Transparent", {0x000000, 0x000000, 0x000000}},
    {61, "Transparent", {0x000000, 0x000000, 0x000000}},
    {62, "Transparent", {0x000000, 0x000000, 0x000000}},
    {63, "Transparent", {0x000000, 0x000000, 0x000000}},
};

QzPalette::QzPalette() { QzSelectColourScheme(*this, 0); }

namespace {

void WriteGrey(float* rgb) {
    if (rgb) rgb[0] = rgb[1] = rgb[2] = 0.5f;
}

inline double Channel(uint32_t value, int channel) {
    return double((value >> (8 * channel)) & 255);
}

}  // namespace

int QzColourToRgb(const QzPalette& palette, int32_t n, float* rgb) {
    if (const QzLDConfigColour* defined = QzSchemeColour(palette, n)) {
        if (rgb) {
            for (int c = 0; c < 3; ++c)
                rgb[c] = static_cast<float>(Channel(defined->rgb, c) / 255.0);
        }
        return 0;
    }
    if (n == 0 || (n >= 1 && n <= 63 && QzColourTable[n].rgb[0] != 0)) {
        // Definedness follows the first scheme; the values follow the current palette.
        if (rgb) {
            for (int c = 0; c < 3; ++c)
                rgb[c] = static_cast<float>(Channel(palette.rgb[n], c) / 255.0);
        }
        return 0;
    }
    if (n >= 256 && n <= 511) {
        const uint32_t a = palette.rgb[n & 15];
        const uint32_t b = palette.rgb[(n >> 4) & 15];
        if (rgb) {
            for (int c = 0; c < 3; ++c)
                rgb[c] = static_cast<float>((Channel(a, c) + Channel(b, c)) / 510.0);
        }
        return 0;
    }
    if (n >= 0x2000000 && n <= 0x7FFFFFF) {
        double r = 0, g = 0, b = 0;
        switch (n >> 24) {
            case 2:
            case 3:
                r = ((n >> 16) & 255) / 255.0;
                g = ((n >> 8) & 255) / 255.0;
                b = (n & 255) / 255.0;
                break;
            case 4:
                r = (((n >> 20) & 15) + ((n >> 8) & 15)) / 30.0;
                g = (((n >> 16) & 15) + ((n >> 4) & 15)) / 30.0;
                b = (((n >> 12) & 15) + (n & 15)) / 30.0;
                break;
            case 5:
            case 6: {
                const int32_t m = (n >> 24) == 5 ? n >> 12 : n;
                r = ((m >> 8) & 15) / 15.0;
                g = ((m >> 4) & 15) / 15.0;
                b = (m & 15) / 15.0;
                break;
            }
            default:  // 7: black
                break;
        }
        if (rgb) {
            rgb[0] = static_cast<float>(r);
            rgb[1] = static_cast<float>(g);
            rgb[2] = static_cast<float>(b);
        }
        return 0;
    }
    WriteGrey(rgb);
    return -1;
}

bool QzIsColourScheme(int scheme) { return scheme >= 0 && scheme < QZ_SCHEME_COUNT; }

void QzSelectColourScheme(QzPalette& palette, int scheme) {
    if (!QzIsColourScheme(scheme)) return;
    const bool ldconfig = scheme == QZ_SCHEME_LDCONFIG;
    palette.scheme = scheme;
    const int column = ldconfig ? 0 : scheme;
    for (int i = 0; i < 64; ++i) palette.rgb[i] = QzColourTable[i].rgb[column];
    if (ldconfig) {
        for (const QzLDConfigColour& c : palette.ldconfig.Colours())
            if (c.code < 64) palette.rgb[c.code] = c.rgb;
    }
}

bool QzReadPaletteLDConfig(QzPalette& palette, const std::string& ldrawDir, QzLogContext& log) {
    return QzReadLDConfig(ldrawDir, palette.ldconfig, log);
}

QzColourDefinitions QzDefinitionsOf(const QzPalette& palette) {
    QzColourDefinitions d;
    d.ldconfig = palette.scheme == QZ_SCHEME_LDCONFIG;
    if (d.ldconfig) {
        for (const QzLDConfigColour& c : palette.ldconfig.Colours())
            d.codes.emplace_back(c.code, c.alpha);
    }
    return d;
}

const QzLDConfigColour* QzSchemeColour(const QzPalette& palette, int32_t n) {
    return palette.scheme == QZ_SCHEME_LDCONFIG ? palette.ldconfig.Find(n) : nullptr;
}

bool QzIsTransparentColour(const QzPalette& palette, int32_t n) {
    if (const QzLDConfigColour* defined = QzSchemeColour(palette, n)) return defined->alpha < 255;
    return n >= 32 && n <= 63;
}
