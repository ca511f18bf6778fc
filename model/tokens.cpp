#include "tokens.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <limits>

namespace {

// White space as the C library's scanf skips it.
bool IsSpace(char c) {
    // Tab, line feed, vertical tab, form feed and carriage return are 9 to 13.
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool HasNegativeExponent(std::string_view number) {
    for (size_t i = 0; i + 1 < number.size(); ++i) {
        char c = number[i];
        if ((c == 'e' || c == 'E' || c == 'p' || c == 'P') && number[i + 1] == '-') return true;
    }
    return false;
}

// Powers of ten that doubles hold exactly, for the short decimal forms.
constexpr double kPowersOfTen[9] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// The common decimal forms of LDraw numbers ("-40", "0.5", "-0.707107"), read without
// the general parser: at most 15 significant digits and 8 after the point, no exponent.
// Then the quotient of the digits and the power of ten, correctly rounded as a double,
// rounds to the same float as the exact decimal does: a float halfway point lies at
// least 2^-53 of the value away from such a decimal unless it equals it. False (and
// nothing read) for every other form, which the general parser takes.
bool ScanShortDecimal(const char* first, const char* last, float& value, const char*& end) {
    uint64_t digits = 0;
    int significant = 0;
    int fraction = 0;
    bool point = false;
    bool any = false;
    const char* c = first;
    for (; c < last; ++c) {
        if (IsDigit(*c)) {
            any = true;
            if (point) ++fraction;
            if (digits != 0 || *c != '0') ++significant;
            digits = digits * 10 + static_cast<uint64_t>(*c - '0');
            if (significant > 15 || fraction > 8) return false;
        } else if (*c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    // An exponent or a hexadecimal form goes to the general parser.
    if (c < last && (*c == 'e' || *c == 'E' || *c == 'x' || *c == 'X' || *c == 'p' || *c == 'P'))
        return false;
    // Whole numbers need no division: the digits are exact as a double.
    const double whole = static_cast<double>(digits);
    value = static_cast<float>(fraction == 0 ? whole : whole / kPowersOfTen[fraction]);
    end = c;
    return true;
}

// The scanners below work on a pointer into the text and its end; the functions of
// the header wrap them for a text and a position.
const char* SkipSpaceAt(const char* p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
    return p;
}

// Each scanner leaves `at` past the white space before the token even when it finds none
// there.
bool ScanIntegerAt(const char*& at, const char* end, int64_t& value) {
    const char* p = at = SkipSpaceAt(at, end);
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p >= end || !IsDigit(*p)) return false;
    int64_t v = 0;
    constexpr int64_t kCap = int64_t{1} << 40;
    for (; p < end && IsDigit(*p); ++p) {
        if (v < kCap) v = v * 10 + (*p - '0');
    }
    value = negative ? -v : v;
    at = p;
    return true;
}

std::string_view ScanWordAt(const char*& at, const char* end) {
    const char* start = SkipSpaceAt(at, end);
    const char* p = start;
    while (p < end && !IsSpace(*p)) ++p;
    at = p;
    return std::string_view(start, static_cast<size_t>(p - start));
}

bool ScanNumberAt(const char*& at, const char* end, float& value, bool shortForms) {
    const char* p = at = SkipSpaceAt(at, end);
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    // Digits or a point must follow the sign: no infinities, NaNs or second signs.
    if (p >= end || !(IsDigit(*p) || *p == '.')) return false;

    float v = 0;
    const char* shortEnd = nullptr;
    const char* first = p;
    std::chars_format format = std::chars_format::general;
    // "0x" followed by a hexadecimal digit (or point and digit) starts a hexadecimal
    // number, as the C library reads one.
    const size_t rest = static_cast<size_t>(end - p);
    if (rest > 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        (IsHexDigit(p[2]) || (p[2] == '.' && rest > 3 && IsHexDigit(p[3])))) {
        first += 2;
        format = std::chars_format::hex;
    }
    if (shortForms && format == std::chars_format::general &&
        ScanShortDecimal(first, end, v, shortEnd)) {
        value = negative ? -v : v;
        at = shortEnd;
        return true;
    }
    auto [stop, ec] = std::from_chars(first, end, v, format);
    if (ec == std::errc::invalid_argument) return false;
    if (ec == std::errc::result_out_of_range) {
        // Too small for a float reads as zero; too large is no number.
        if (!HasNegativeExponent(std::string_view(first, static_cast<size_t>(stop - first))))
            return false;
        v = 0;
    }
    value = negative ? -v : v;
    at = stop;
    return true;
}

// A number of a line of type 1 to 5 in the commonest form of all: an optional minus, at
// most 15 digits with an optional point and at most 8 of them after it, then white
// space or the end. Read in one pass, with the value ScanShortDecimal gives such a
// number; any other form goes to ScanNumberAt.
bool ScanLineNumberAt(const char*& at, const char* end, float& value) {
    const char* p = SkipSpaceAt(at, end);
    const bool negative = p < end && *p == '-';
    p += negative;
    const char* first = p;
    uint64_t digits = 0;
    unsigned digit = 0;
    while (p < end && (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10) {
        digits = digits * 10 + digit;
        ++p;
    }
    const ptrdiff_t whole = p - first;
    ptrdiff_t fraction = 0;
    if (p < end && *p == '.') {
        const char* point = ++p;
        while (p < end && (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10) {
            digits = digits * 10 + digit;
            ++p;
        }
        fraction = p - point;
    }
    if (whole + fraction == 0 || whole + fraction > 15 || fraction > 8 || (p < end && !IsSpace(*p)))
        return ScanNumberAt(at, end, value, true);
    const double exact = static_cast<double>(digits);
    const float v = static_cast<float>(fraction == 0 ? exact : exact / kPowersOfTen[fraction]);
    value = negative ? -v : v;
    at = p;
    return true;
}

// Runs a pointer scanner on text from pos, moving pos along with it (a position past
// the end stays where it is).
template <typename Scan>
auto AtPosition(std::string_view text, size_t& pos, Scan scan) {
    const char* start = text.data() + std::min(pos, text.size());
    const char* at = start;
    auto result = scan(at, text.data() + text.size());
    pos += static_cast<size_t>(at - start);
    return result;
}

}  // namespace

void QzSkipSpace(std::string_view text, size_t& pos) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
}

bool QzScanInteger(std::string_view text, size_t& pos, int64_t& value) {
    return AtPosition(
        text, pos, [&](const char*& at, const char* end) { return ScanIntegerAt(at, end, value); });
}

std::string_view QzScanWord(std::string_view text, size_t& pos) {
    return AtPosition(text, pos,
                      [](const char*& at, const char* end) { return ScanWordAt(at, end); });
}

bool QzScanNumber(std::string_view text, size_t& pos, float& value) {
    return AtPosition(text, pos, [&](const char*& at, const char* end) {
        return ScanNumberAt(at, end, value, true);
    });
}

bool QzScanNumberGeneral(std::string_view text, size_t& pos, float& value) {
    return AtPosition(text, pos, [&](const char*& at, const char* end) {
        return ScanNumberAt(at, end, value, false);
    });
}

std::string_view QzTrimLineEnd(std::string_view raw) {
    while (!raw.empty()) {
        char c = raw.back();
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
        raw.remove_suffix(1);
    }
    return raw;
}

QzScannedLine QzScanLine(std::string_view text) {
    QzScannedLine out;
    const char* at = text.data();
    const char* end = at + text.size();
    if (!ScanIntegerAt(at, end, out.type)) return out;
    out.fields = 1;
    out.colour = ScanWordAt(at, end);
    if (out.colour.empty()) return out;
    if (out.colour.size() >= QZ_TOKEN_BUFFER) out.tooLong = true;
    out.fields = 2;
    for (float& number : out.numbers) {
        if (!ScanLineNumberAt(at, end, number)) return out;
        ++out.fields;
    }
    at = SkipSpaceAt(at, end);
    if (at >= end) return out;
    // The name runs to the end of the line: names may hold blanks.
    out.name = std::string_view(at, static_cast<size_t>(end - at));
    if (out.name.size() >= QZ_TOKEN_BUFFER) out.tooLong = true;
    out.fields = 15;
    return out;
}

int32_t QzParseColour(std::string_view text) {
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return -1;
    int64_t value = 0;
    for (char c : text) {
        int digit;
        if (IsDigit(c)) {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return -1;
        }
        value = value * base + digit;
        // Numbers beyond the 32-bit range name no colour.
        if (value > std::numeric_limits<int32_t>::max()) return -1;
    }
    return static_cast<int32_t>(value);
}
