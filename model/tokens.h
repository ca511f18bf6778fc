// The words and numbers of LDraw text lines: the line grammar's tokenizer, shared by the
// line reader and the reader of LDConfig.ldr.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Physical lines are read with a buffer of this many characters (terminator
// included); a longer line is read as several.
inline constexpr size_t QZ_LINE_BUFFER = 1000;
// Working buffers for the colour text and the name of a line (terminator included):
// a longer token makes the line unreadable ("Bad line").
inline constexpr size_t QZ_TOKEN_BUFFER = 264;

// Fields counted on a line of each type 1 to 5 (type and colour included).
inline constexpr int QzArgumentCounts[6] = {0, 15, 8, 11, 14, 14};

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
// Advances pos past white space (blanks, tabs, line ends, vertical tabs, form feeds).
void QzSkipSpace(std::string_view text, size_t& pos);
// An integer with an optional sign at text[pos] after white space; saturates far
// outside the 32-bit range. Advances pos past it; false when there is none.
bool QzScanInteger(std::string_view text, size_t& pos, int64_t& value);
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
// The same, every form through the general parser: QzScanNumber reads the common short
// decimal forms its own faster way, with the same results (the number fuzzer holds the
// two to that).
bool QzScanNumberGeneral(std::string_view text, size_t& pos, float& value);

// Colour number of a colour field, -1 when malformed.
int32_t QzParseColour(std::string_view text);
