#include "tokens.h"

#include <charconv>
#include <limits>

namespace {

// White space as the C library's scanf skips it.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
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
    value = static_cast<float>(static_cast<double>(digits) / kPowersOfTen[fraction]);
    end = c;
    return true;
}

}  // namespace

void QzSkipSpace(std::string_view text, size_t& pos) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
}

bool QzScanInteger(std::string_view text, size_t& pos, int64_t& value) {
    QzSkipSpace(text, pos);
    size_t i = pos;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !IsDigit(text[i])) return false;
    int64_t v = 0;
    constexpr int64_t kCap = int64_t{1} << 40;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (v < kCap) v = v * 10 + (text[i] - '0');
    }
    value = negative ? -v : v;
    pos = i;
    return true;
}

std::string_view QzScanWord(std::string_view text, size_t& pos) {
    QzSkipSpace(text, pos);
    size_t start = pos;
    while (pos < text.size() && !IsSpace(text[pos])) ++pos;
    return text.substr(start, pos - start);
}

bool QzScanNumber(std::string_view text, size_t& pos, float& value) {
    QzSkipSpace(text, pos);
    size_t i = pos;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Digits or a point must follow the sign: no infinities, NaNs or second signs.
    if (i >= text.size() || !(IsDigit(text[i]) || text[i] == '.')) return false;

    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    std::chars_format format = std::chars_format::general;
    // "0x" followed by a hexadecimal digit (or point and digit) starts a hexadecimal
    // number, as the C library reads one.
    std::string_view rest = text.substr(i);
    if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
        (IsHexDigit(rest[2]) || (rest[2] == '.' && rest.size() > 3 && IsHexDigit(rest[3])))) {
        first += 2;
        format = std::chars_format::hex;
    }
    float v = 0;
    const char* shortEnd = nullptr;
    if (format == std::chars_format::general && ScanShortDecimal(first, last, v, shortEnd)) {
        value = negative ? -v : v;
        pos = static_cast<size_t>(shortEnd - text.data());
        return true;
    }
    auto [end, ec] = std::from_chars(first, last, v, format);
    if (ec == std::errc::invalid_argument) return false;
    if (ec == std::errc::result_out_of_range) {
        // Too small for a float reads as zero; too large is no number.
        if (!HasNegativeExponent(std::string_view(first, static_cast<size_t>(end - first))))
            return false;
        v = 0;
    }
    value = negative ? -v : v;
    pos = static_cast<size_t>(end - text.data());
    return true;
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
    size_t pos = 0;
    if (!QzScanInteger(text, pos, out.type)) return out;
    out.fields = 1;
    out.colour = QzScanWord(text, pos);
    if (out.colour.empty()) return out;
    if (out.colour.size() >= QZ_TOKEN_BUFFER) out.tooLong = true;
    out.fields = 2;
    for (float& number : out.numbers) {
        if (!QzScanNumber(text, pos, number)) return out;
        ++out.fields;
    }
    QzSkipSpace(text, pos);
    if (pos >= text.size()) return out;
    // The name runs to the end of the line: names may hold blanks.
    out.name = text.substr(pos);
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
