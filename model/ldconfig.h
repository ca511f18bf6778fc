// The colours of the LDraw library's LDConfig.ldr, behind the fourth colour scheme:
// each "0 !COLOUR" line defines a colour number with its value, the colour of its
// edges, its alpha and its finish. The file is read at the start of a load while that
// scheme is selected (QzReadModel).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Finish keywords of a definition.
inline constexpr uint32_t QZ_FINISH_CHROME = 1;
inline constexpr uint32_t QZ_FINISH_PEARLESCENT = 2;
inline constexpr uint32_t QZ_FINISH_RUBBER = 4;
inline constexpr uint32_t QZ_FINISH_MATTE_METALLIC = 8;
inline constexpr uint32_t QZ_FINISH_METAL = 16;
inline constexpr uint32_t QZ_FINISH_MATERIAL = 32;

struct QzLDConfigColour {
    int32_t code;
    uint32_t rgb;  // VALUE as 0x00BBGGRR, like the palette
    // EDGE: a colour number, or the direct colour 0x2RRGGBB when written #RRGGBB.
    int32_t edge;
    uint8_t alpha;  // ALPHA; 255 when not given
    uint8_t luminance;
    uint32_t finish;  // QZ_FINISH_* bits
};

// ---- Program-wide state ----
// The definitions of the last LDConfig.ldr read, sorted by code, each code once (a
// later line wins). 16 and 24 keep their meaning and are never in it.
extern std::vector<QzLDConfigColour> QzLDConfigColours;

// 1 with the definition for a "0 !COLOUR" line, 0 for any other line, -1 for a
// "!COLOUR" line that does not follow the grammar
// "0 !COLOUR name CODE n VALUE #RRGGBB EDGE #RRGGBB|n [ALPHA a] [LUMINANCE l]
// [CHROME|PEARLESCENT|RUBBER|MATTE_METALLIC|METAL|MATERIAL ...]".
int QzParseColourLine(std::string_view line, QzLDConfigColour& colour);

// Reads LDConfig.ldr from the LDraw directory (QzLDrawDir, any letter case) into
// QzLDConfigColours. A malformed definition is reported in the input log with file
// and line ("Bad color definition") and skipped. False, with the table emptied, when
// the file cannot be read or QzLDrawDir is empty.
bool QzReadLDConfig();

// The definition of a colour number in the table, null when it has none.
const QzLDConfigColour* QzFindLDConfigColour(int32_t code);

// Empties the table; for tests.
void QzResetLDConfig();
