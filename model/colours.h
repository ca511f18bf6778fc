// Colour numbers: the 64-row table with three colour schemes, the fourth scheme of the
// library's LDConfig.ldr, the palette of the scheme in effect, dither colours 256-511
// and direct colours 0x2000000-0x7FFFFFF.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ldconfig.h"

class QzLogContext;

// Schemes 0 to 2 are columns of the table; scheme 3 takes the colours that
// LDConfig.ldr defines and the first column for all others.
inline constexpr int QZ_TABLE_SCHEMES = 3;
inline constexpr int QZ_SCHEME_LDCONFIG = 3;
inline constexpr int QZ_SCHEME_COUNT = 4;

struct QzColourRow {
    int32_t number;
    const char* name;
    uint32_t rgb[QZ_TABLE_SCHEMES];  // 0x00BBGGRR per scheme
};

extern const QzColourRow QzColourTable[64];
// Menu texts and status-bar prompts of the schemes.
inline constexpr const char* QzSchemeMenuTexts[QZ_SCHEME_COUNT] = {
    "&1 Tolpix v1.1", "&2 LDraw", "&3 LdLite+MLCad", "&4 LDConfig.ldr"};
inline constexpr const char* QzSchemePrompts[QZ_SCHEME_COUNT] = {
    "Use Tolpix v1.1 colors", "Use original LDraw colors", "Use LDLite+MLCad colors",
    "Use the colours of LDConfig.ldr in the LDraw directory"};

// Which colour numbers a reading took as defined (and as transparent): the table's
// alone, or with those of an LDConfig.ldr. Parts read under other definitions are
// read again.
struct QzColourDefinitions {
    bool ldconfig = false;
    // Code and alpha of every LDConfig.ldr definition, in code order.
    std::vector<std::pair<int32_t, uint8_t>> codes;
    bool operator==(const QzColourDefinitions&) const = default;
};

// The colours of one scheme: the scheme number, the 64 palette entries (0x00BBGGRR)
// and, for scheme 3, the definitions of the library's LDConfig.ldr. A new palette
// holds scheme 0.
class QzPalette {
  public:
    QzPalette();

    // The scheme in effect, 0 to 3. Scheme 3 falls back to 0 when a load cannot read
    // LDConfig.ldr.
    int scheme = 0;
    // The 64 entries of the scheme (0x00BBGGRR).
    uint32_t rgb[64] = {};
    // The definitions of the last LDConfig.ldr read.
    QzLDConfigTable ldconfig;
};

// Whether a number names a scheme (0 to 3); values from outside are checked with it.
bool QzIsColourScheme(int scheme);
// Makes a scheme the palette's and fills its entries: schemes 0 to 2 copy their column
// of the table; scheme 3 the first column with the values of every code below 64 that
// the palette's LDConfig.ldr defines. Other numbers change nothing. The reader decides
// which colours are defined, so a change into or out of scheme 3 counts only for
// lines read afterwards: the model is to be loaded again.
void QzSelectColourScheme(QzPalette& palette, int scheme);
// Reads LDConfig.ldr from the library folder into the palette (see QzReadLDConfig).
bool QzReadPaletteLDConfig(QzPalette& palette, const std::string& ldrawDir, QzLogContext& log);
// What a reading under this palette takes as defined.
QzColourDefinitions QzDefinitionsOf(const QzPalette& palette);

// 0 for a defined colour, -1 otherwise; rgb (may be null) gets red, green, blue 0..1.
int QzColourToRgb(const QzPalette& palette, int32_t n, float* rgb);
// While scheme 3 is in effect, the LDConfig.ldr definition of a colour number; null
// otherwise and for the numbers the file does not define.
const QzLDConfigColour* QzSchemeColour(const QzPalette& palette, int32_t n);
// Whether a colour is drawn transparent: an alpha below 255 for the numbers of
// LDConfig.ldr under scheme 3, else 32 to 63.
bool QzIsTransparentColour(const QzPalette& palette, int32_t n);
