// Colour numbers: the 64-row table with three colour schemes, the current palette,
// dither colours 256-511, direct colours 0x2000000-0x7FFFFFF, and the list of colours
// used by the loaded lines.
#pragma once

#include <cstdint>

inline constexpr int QZ_COLOUR_CURRENT = 16;
inline constexpr int QZ_COLOUR_EDGE = 24;
inline constexpr int QZ_SCHEME_COUNT = 3;

struct QzColourRow {
    int32_t number;
    const char* name;
    uint32_t rgb[QZ_SCHEME_COUNT];  // 0x00BBGGRR per scheme
};

struct QzUsedColour {
    int32_t colour;
    uint32_t flags;  // bit 0: declared by the POV export
};

extern const QzColourRow QzColourTable[64];
// Menu texts and status-bar prompts of the three schemes.
extern const char* const QzSchemeMenuTexts[QZ_SCHEME_COUNT];
extern const char* const QzSchemePrompts[QZ_SCHEME_COUNT];

// Current palette (0x00BBGGRR), all zero until a scheme is first selected.
extern uint32_t QzPalette[64];

extern QzUsedColour* QzColoursUsed;
extern int QzColoursUsedCount;
extern int QzColoursUsedCapacity;

// 0 for a defined colour, -1 otherwise; rgb (may be null) gets red, green, blue 0..1.
int QzColourToRgb(int32_t n, float* rgb);
void QzSelectColourScheme(int scheme);
// 0 when n is in the used list afterwards, -1 when there was no memory.
int QzAddColour(int32_t n);

// Empties the used list and the palette, as at start-up; for tests.
void QzResetColourState();
