// Reading one LDraw file into stored lines: the line grammar of types 0 to 5, MPD
// sections, transform blocks, title and author, and the "~Moved to " notice.
#pragma once

#include <cstdint>
#include <string_view>

#include "files.h"
#include "geometry.h"
#include "model.h"

// Physical lines are read with a buffer of this many characters (terminator
// included); a longer line is read as several.
inline constexpr size_t QZ_LINE_BUFFER = 1000;
// Working buffers for the colour text and the name of a line (terminator included):
// a longer token makes the line unreadable ("Bad line").
inline constexpr size_t QZ_TOKEN_BUFFER = 264;

// Transform blocks open at once in one file at most; a deeper opening line is
// dropped, so that no walk over the nested parts can exhaust the stack.
inline constexpr int QZ_MAX_BLOCK_DEPTH = 100;

// Fields counted on a line of each type 1 to 5 (type and colour included).
inline constexpr int QzArgumentCounts[6] = {0, 15, 8, 11, 14, 14};
// Keywords of the transform meta-commands by block kind (index 0 unused).
extern const char* const QzBlockKeywords[5];

// A line of type 1 to 5 split into its fields: type, colour text, up to twelve
// numbers, and the name, which is the rest of the line after the twelfth number.
struct QzScannedLine {
    int fields = 0;  // fields found, in order; 0 when not even the type was found
    int64_t type = 0;
    std::string_view colour;
    float numbers[12] = {};
    std::string_view name;
    bool tooLong = false;  // the colour text or the name does not fit its buffer
};

QzScannedLine QzScanLine(std::string_view text);
// A physical line without its trailing blanks, tabs, line feeds and carriage returns:
// the text the reader works on and shows in its messages.
std::string_view QzTrimLineEnd(std::string_view raw);
// The next run of characters other than white space at text[pos], after white space;
// advances pos past it. Empty at the end of the text.
std::string_view QzScanWord(std::string_view text, size_t& pos);
// A number as the line grammar writes it, at text[pos] after white space: sign,
// digits with an optional point and exponent, or a hexadecimal "0x" form; infinities
// and NaNs are not numbers. Advances pos past it; false when there is none.
bool QzScanNumber(std::string_view text, size_t& pos, float& value);

// Colour number of a colour field, -1 when malformed.
int32_t QzParseColour(std::string_view text);
// 0 for no transform meta-command; the block kind (1 to 4) for an opening line, with
// matrix set to the block's transform; minus the kind for its "END" line. The text
// is the whole line, starting with its "0".
int QzParseMeta(std::string_view line, QzMatrix& matrix);

// Reads the open file to its end into the part (and the sections and blocks it
// opens), then closes it. 1 when the whole file was read, 0 when memory ran out.
int QzReadPartFile(plat::TextFile& file, QzPart* part, const char* referencedBy, bool main);
