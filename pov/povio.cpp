#include "povio.h"

#include <cmath>
#include <cstdarg>

#include "format.h"

bool PovOutOfRange = false;

double PovChecked(double value) {
    if (!std::isfinite(value)) PovOutOfRange = true;
    return value;
}

void PovPut(std::ostream& out, std::string_view text) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') continue;
        out.write(text.data() + start, static_cast<std::streamsize>(i - start));
        out.write("\r\n", 2);
        start = i + 1;
    }
    out.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
}

void PovPrintf(std::ostream& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = plat::VFormat(format, args);
    va_end(args);
    PovPut(out, text);
}

std::string PovCommentText(std::string_view text) {
    std::string comment(text);
    for (char& c : comment) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return comment;
}
