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
