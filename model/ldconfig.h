// The colours of the LDraw library's LDConfig.ldr, behind the fourth colour scheme:
// each "0 !COLOUR" line defines a colour number with its value, the colour of its
// edges, its alpha and its finish. The file is read at the start of a load while that
// scheme is selected.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QzLogContext;

// The two colour numbers with a meaning of their own: the colour a part is placed in,
// and the edge colour that goes with it.
inline constexpr int QZ_COLOUR_CURRENT = 16;
inline constexpr int QZ_COLOUR_EDGE = 24;

// Finish keywords of a definition.
inline constexpr uint32_t QZ_FINISH_CHROME = 1;
inline constexpr uint32_t QZ_FINISH_PEARLESCENT = 2;
inline constexpr uint32_t QZ_FINISH_RUBBER = 4;
inline constexpr uint32_t QZ_FINISH_MATTE_METALLIC = 8;
inline constexpr uint32_t QZ_FINISH_METAL = 16;
inline constexpr uint32_t QZ_FINISH_MATERIAL = 32;

// The grains of a MATERIAL finish.
enum class QzGrains : uint8_t { None, Glitter, Speckle };

struct QzLDConfigColour {
    int32_t code;
    uint32_t rgb;  // VALUE as 0x00BBGGRR, like the palette
    // EDGE: a colour number, or the direct colour 0x2RRGGBB when written #RRGGBB.
    int32_t edge;
    uint8_t alpha;  // ALPHA; 255 when not given
    uint8_t luminance;
    uint32_t finish;  // QZ_FINISH_* bits
    // MATERIAL GLITTER or SPECKLE: the grains' colour (0x00BBGGRR), the fraction of the
    // surface they cover, and their size (SIZE, or MINSIZE to MAXSIZE) in LDraw units.
    // None when the words after MATERIAL do not describe grains this way.
    QzGrains grains = QzGrains::None;
    uint32_t grainRgb = 0;
    float grainFraction = 0;
    float grainMinSize = 0, grainMaxSize = 0;
};

// The definitions of one LDConfig.ldr, sorted by code, each code once (a later line
// wins). 16 and 24 keep their meaning and are never in it.
class QzLDConfigTable {
  public:
    // The definition of a colour number, null when it has none.
    const QzLDConfigColour* Find(int32_t code) const;
    const std::vector<QzLDConfigColour>& Colours() const { return colours_; }
    // Takes the definitions in file order: sorts them and keeps the last of each code.
    void Assign(std::vector<QzLDConfigColour> inFileOrder);
    void Clear() { Assign({}); }

  private:
    // Where each code below this has its definition (-1: none), so that the renderer's
    // lookup of the common codes costs one load; larger codes are searched.
    static constexpr int32_t kDirectCodes = 512;
    std::vector<QzLDConfigColour> colours_;
    std::vector<int16_t> direct_ = std::vector<int16_t>(kDirectCodes, int16_t{-1});
};

// 1 with the definition for a "0 !COLOUR" line, 0 for any other line, -1 for a
// "!COLOUR" line that does not follow the grammar
// "0 !COLOUR name CODE n VALUE #RRGGBB EDGE #RRGGBB|n [ALPHA a] [LUMINANCE l]
// [CHROME|PEARLESCENT|RUBBER|MATTE_METALLIC|METAL|MATERIAL ...]". The colour's name
// goes to `name` when one is given.
int QzParseColourLine(std::string_view line, QzLDConfigColour& colour, std::string* name = nullptr);

// The names LDConfig.ldr in the library folder gives colour numbers (its last line for a
// number written twice); empty when it cannot be read.
std::map<int32_t, std::string> QzReadColourNames(const std::string& ldrawDir);

// Reads LDConfig.ldr from the LDraw library folder (any letter case) into the table.
// A malformed definition is reported in the log with file and line ("Bad color
// definition") and skipped. False, with the table emptied, when the file cannot be
// read (or no folder is given).
bool QzReadLDConfig(const std::string& ldrawDir, QzLDConfigTable& table, QzLogContext& log);
