#include "format.h"

#include <charconv>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "cnumbers.h"

namespace plat {

namespace {

// One conversion of the format text, taken apart.
struct Conversion {
    bool left = false;        // '-'
    bool zero = false;        // '0'
    bool plus = false;        // '+'
    bool space = false;       // ' '
    bool alternate = false;   // '#'
    int width = -1;           // -1: none
    int precision = -1;       // -1: none
    std::string_view length;  // "", "hh", "h", "l", "ll", "j", "z", "t", "L"
    char type = 0;
};

// Writes one value with a printf directive into `out`, growing the buffer until
// everything fits.
template <typename T>
void AppendPrintf(std::string& out, const char* directive, T value) {
    char stack[256];
    int n = std::snprintf(stack, sizeof stack, directive, value);
    if (n < 0) return;
    if (static_cast<size_t>(n) < sizeof stack) {
        out.append(stack, static_cast<size_t>(n));
        return;
    }
    size_t start = out.size();
    out.resize(start + static_cast<size_t>(n) + 1);
    std::snprintf(out.data() + start, static_cast<size_t>(n) + 1, directive, value);
    out.resize(start + static_cast<size_t>(n));
}

// The directive handed to snprintf for one conversion, on the stack.
struct Directive {
    char text[48];
    const char* c_str() const { return text; }
};

char* WriteNumber(char* p, int value) {
    char digits[12];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0) *p++ = digits[--n];
    return p;
}

// Builds the directive: the flags, the width and precision as numbers (never
// '*'), the length modifier and the type.
Directive BuildDirective(const Conversion& c, bool withWidth) {
    Directive directive;
    char* p = directive.text;
    *p++ = '%';
    if (c.left) *p++ = '-';
    if (c.zero) *p++ = '0';
    if (c.plus) *p++ = '+';
    if (c.space) *p++ = ' ';
    if (c.alternate) *p++ = '#';
    if (withWidth && c.width >= 0) p = WriteNumber(p, c.width);
    if (c.precision >= 0) {
        *p++ = '.';
        p = WriteNumber(p, c.precision);
    }
    for (char m : c.length) *p++ = m;
    *p++ = c.type;
    *p = '\0';
    return directive;
}

// The exponent of a number in exponent notation gets at least three digits, as the
// Windows C library writes it: "1e-05" becomes "1e-005". `start` is where the number
// begins in `text`.
void WidenExponent(std::string& text, size_t start) {
    size_t e = text.find_first_of("eE", start);
    if (e == std::string::npos || e + 1 >= text.size()) return;
    size_t digits = e + 1;
    if (text[digits] == '+' || text[digits] == '-') ++digits;
    size_t count = text.size() - digits;
    if (count < 3) text.insert(digits, 3 - count, '0');
}

// Pads the floating-point number that begins at `start` to the field width the way
// printf does: blanks on the left, blanks on the right with '-', or zeros after the
// sign with '0' (but never zeros in front of "inf" or "nan").
void PadField(std::string& out, size_t start, const Conversion& c) {
    size_t length = out.size() - start;
    if (c.width < 0 || length >= static_cast<size_t>(c.width)) return;
    size_t fill = static_cast<size_t>(c.width) - length;
    if (c.left) {
        out.append(fill, ' ');
        return;
    }
    bool finite = out.find_first_of("iInN", start) == std::string::npos;
    if (c.zero && finite) {
        char first = out[start];
        size_t sign = (length > 0 && (first == '-' || first == '+' || first == ' ')) ? 1 : 0;
        out.insert(start + sign, fill, '0');
        return;
    }
    out.insert(start, fill, ' ');
}

// Reads the flags, width, precision and length modifier of a conversion whose text
// starts at q, right after its '%', and returns where its type character stands.
// A '*' width or precision is taken from the arguments.
const char* ParseConversion(const char* q, va_list* args, Conversion& c) {
    for (;; ++q) {
        if (*q == '-')
            c.left = true;
        else if (*q == '0')
            c.zero = true;
        else if (*q == '+')
            c.plus = true;
        else if (*q == ' ')
            c.space = true;
        else if (*q == '#')
            c.alternate = true;
        else
            break;
    }
    if (*q == '*') {
        int w = va_arg(*args, int);
        if (w < 0) {
            c.left = true;
            // Negating INT_MIN is undefined; such a width could never be written anyway.
            w = (w == INT_MIN) ? INT_MAX : -w;
        }
        c.width = w;
        ++q;
    } else if (*q >= '0' && *q <= '9') {
        long w = 0;
        while (*q >= '0' && *q <= '9') {
            if (w < INT_MAX / 10) w = w * 10 + (*q - '0');
            ++q;
        }
        c.width = static_cast<int>(w);
    }
    if (*q == '.') {
        ++q;
        if (*q == '*') {
            int prec = va_arg(*args, int);
            c.precision = prec < 0 ? -1 : prec;  // a negative precision counts as none
            ++q;
        } else {
            long prec = 0;
            while (*q >= '0' && *q <= '9') {
                if (prec < INT_MAX / 10) prec = prec * 10 + (*q - '0');
                ++q;
            }
            c.precision = static_cast<int>(prec);
        }
    }
    const char* lengthStart = q;
    if ((q[0] == 'h' && q[1] == 'h') || (q[0] == 'l' && q[1] == 'l'))
        q += 2;
    else if (*q == 'h' || *q == 'l' || *q == 'j' || *q == 'z' || *q == 't' || *q == 'L')
        ++q;
    c.length = std::string_view(lengthStart, static_cast<size_t>(q - lengthStart));
    c.type = *q;
    return q;
}

void AppendSigned(std::string& out, const Conversion& c, va_list* args) {
    const Directive directive = BuildDirective(c, true);
    const std::string_view len = c.length;
    if (len == "ll")
        AppendPrintf(out, directive.c_str(), va_arg(*args, long long));
    else if (len == "l")
        AppendPrintf(out, directive.c_str(), va_arg(*args, long));
    else if (len == "j")
        AppendPrintf(out, directive.c_str(), va_arg(*args, intmax_t));
    else if (len == "z" || len == "t")
        AppendPrintf(out, directive.c_str(), va_arg(*args, ptrdiff_t));
    else
        AppendPrintf(out, directive.c_str(), va_arg(*args, int));  // also hh, h: promoted
}

void AppendUnsigned(std::string& out, const Conversion& c, va_list* args) {
    const Directive directive = BuildDirective(c, true);
    const std::string_view len = c.length;
    if (len == "ll")
        AppendPrintf(out, directive.c_str(), va_arg(*args, unsigned long long));
    else if (len == "l")
        AppendPrintf(out, directive.c_str(), va_arg(*args, unsigned long));
    else if (len == "j")
        AppendPrintf(out, directive.c_str(), va_arg(*args, uintmax_t));
    else if (len == "z" || len == "t")
        AppendPrintf(out, directive.c_str(), va_arg(*args, size_t));
    else
        AppendPrintf(out, directive.c_str(), va_arg(*args, unsigned));
}

// %e and %g are converted without the width, the exponent widened, then padded.
void AppendFloating(std::string& out, const Conversion& c, va_list* args) {
    const bool exponent = c.type == 'e' || c.type == 'E' || c.type == 'g' || c.type == 'G';
    const Directive directive = BuildDirective(c, !exponent);
    const size_t start = out.size();
    if (c.length == "L")
        AppendPrintf(out, directive.c_str(), va_arg(*args, long double));
    else
        AppendPrintf(out, directive.c_str(), va_arg(*args, double));
    if (!exponent) return;
    WidenExponent(out, start);
    PadField(out, start, c);
}

// Whether a conversion has neither flags, width, precision nor length: "%s", "%d" and
// "%u", which the commonest texts are made of, are then written without the C library.
bool Plain(const Conversion& c) {
    return !c.left && !c.zero && !c.plus && !c.space && !c.alternate && c.width < 0 &&
           c.precision < 0 && c.length.empty();
}

template <typename T>
void AppendDecimal(std::string& out, T value) {
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end);
}

// Appends one argument converted as c says; false when c.type is no conversion.
bool AppendConversion(std::string& out, Conversion c, va_list* args) {
    switch (c.type) {
        case '%':
            out += '%';
            return true;
        case 'd':
        case 'i':
            if (Plain(c)) {
                AppendDecimal(out, va_arg(*args, int));
                return true;
            }
            AppendSigned(out, c, args);
            return true;
        case 'u':
            if (Plain(c)) {
                AppendDecimal(out, va_arg(*args, unsigned));
                return true;
            }
            AppendUnsigned(out, c, args);
            return true;
        case 'o':
        case 'x':
        case 'X':
            AppendUnsigned(out, c, args);
            return true;
        case 'f':
        case 'F':
        case 'a':
        case 'A':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
            AppendFloating(out, c, args);
            return true;
        case 'c':
            c.length = {};
            AppendPrintf(out, BuildDirective(c, true).c_str(), va_arg(*args, int));
            return true;
        case 's': {
            c.length = {};
            const char* s = va_arg(*args, const char*);
            if (s == nullptr) s = "(null)";
            if (Plain(c)) {
                out.append(s);
                return true;
            }
            AppendPrintf(out, BuildDirective(c, true).c_str(), s);
            return true;
        }
        case 'p':
            c.length = {};
            AppendPrintf(out, BuildDirective(c, true).c_str(), va_arg(*args, void*));
            return true;
        case 'n':
            // Writing through a pointer argument is never wanted here; the pointer is
            // consumed and nothing is stored.
            (void)va_arg(*args, void*);
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string VFormat(const char* format, va_list args) {
    std::string out;
    if (format == nullptr) return out;
    const ScopedCNumbers numbers;
    // A copy that the helpers can read on through a pointer.
    va_list ap;
    va_copy(ap, args);
    const char* p = format;
    while (*p != '\0') {
        const char* percent = std::strchr(p, '%');
        if (percent == nullptr) {
            out.append(p);
            break;
        }
        out.append(p, static_cast<size_t>(percent - p));
        Conversion c;
        const char* type = ParseConversion(percent + 1, &ap, c);
        if (*type == '\0') {
            // An unfinished conversion at the end is written as it stands.
            out.append(percent);
            break;
        }
        p = type + 1;
        // Not a conversion: written as it stands.
        if (!AppendConversion(out, c, &ap)) out.append(percent, static_cast<size_t>(p - percent));
    }
    va_end(ap);
    return out;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = VFormat(format, args);
    va_end(args);
    return text;
}

}  // namespace plat
