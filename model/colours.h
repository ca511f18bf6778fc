// Colour numbers: the 64-row table with three colour schemes, the fourth scheme of the
// library's LDConfig.ldr, the current palette, dither colours 256-511, direct colours
// 0x2000000-0x7FFFFFF, and the list of colours used by the loaded lines.
#pragma once

#include <cstdint>

struct QzLDConfigColour;

inline constexpr int QZ_COLOUR_CURRENT = 16;
inline constexpr int QZ_COLOUR_EDGE = 24;
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

struct QzUsedColour {
    int32_t colour;
    uint32_t flags;  // bit 0: declared by the POV export
};

extern const QzColourRow QzColourTable[64];
// Menu texts and status-bar prompts of the schemes.
extern const char* const QzSchemeMenuTexts[QZ_SCHEME_COUNT];
extern const char* const QzSchemePrompts[QZ_SCHEME_COUNT];

// ---- Program-wide colour state ----
// Current palette (0x00BBGGRR), all zero until a scheme is first selected.
extern uint32_t QzPalette[64];
// The scheme in effect, 0 to 3. Scheme 3 falls back to 0 when a load cannot read
// LDConfig.ldr (QzReadModel).
extern int QzColourScheme;
// Grows whenever the set of defined colour numbers may have changed (scheme 3 entered
// or left, an LDConfig.ldr with other codes read): parts read before were checked
// against other colours.
extern uint32_t QzColourDefinitions;

extern QzUsedColour* QzColoursUsed;
extern int QzColoursUsedCount;
extern int QzColoursUsedCapacity;

// 0 for a defined colour, -1 otherwise; rgb (may be null) gets red, green, blue 0..1.
int QzColourToRgb(int32_t n, float* rgb);
// Whether a number names a scheme (0 to 3); values from outside are checked with it.
bool QzIsColourScheme(int scheme);
// Makes a scheme the one in effect and fills the palette from it: schemes 0 to 2 copy
// their column of the table; scheme 3 the first column with the values of every code
// below 64 that LDConfig.ldr defines. Other numbers change nothing. The reader
// decides which colours are defined, so a change into or out of scheme 3 counts only
// for lines read afterwards: the model is to be loaded again.
void QzSelectColourScheme(int scheme);
// While scheme 3 is in effect, the LDConfig.ldr definition of a colour number; null
// otherwise and for the numbers the file does not define.
const QzLDConfigColour* QzSchemeColour(int32_t n);
// Whether a colour is drawn transparent: an alpha below 255 for the numbers of
// LDConfig.ldr under scheme 3, else 32 to 63.
bool QzIsTransparentColour(int32_t n);
// 0 when n is in the used list afterwards, -1 when there was no memory.
int QzAddColour(int32_t n);

// Empties the used list, the palette and the LDConfig.ldr table and selects no
// scheme, as at start-up; for tests.
void QzResetColourState();
