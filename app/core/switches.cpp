#include "switches.h"

#include <cctype>
#include <climits>
#include <string>

#include "files.h"
#include "viewtransform.h"

bool QzIsSwitch(std::string_view arg) { return !arg.empty() && arg[0] == '-'; }

int QzStandardToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

namespace {

// The text after the switch character when the switch starts with the letter (either
// case); nothing otherwise.
std::optional<std::string_view> LetterSwitch(std::string_view arg, char letter) {
    if (!QzIsSwitch(arg) || arg.size() < 2) return std::nullopt;
    if (std::tolower(static_cast<unsigned char>(arg[1])) != letter) return std::nullopt;
    return arg.substr(2);
}

}  // namespace

QzCommandLineInfo QzParseCommandLine(const std::vector<std::string>& args) {
    QzCommandLineInfo info;
    for (const std::string& arg : args) {
        if (QzIsSwitch(arg)) {
            const std::string_view name = std::string_view(arg).substr(1);
            if (plat::SameIgnoringCase(name, "pt"))
                info.command = QzCommandLineInfo::FilePrintTo;
            else if (plat::SameIgnoringCase(name, "p"))
                info.command = QzCommandLineInfo::FilePrint;
        } else if (info.fileName.empty()) {
            // Later plain arguments are the printer, driver and port of "-pt".
            info.fileName = arg;
        }
    }
    if (info.command == QzCommandLineInfo::FileNew && !info.fileName.empty())
        info.command = QzCommandLineInfo::FileOpen;
    return info;
}

std::optional<std::pair<int, int>> QzFrameSizeSwitch(const std::vector<std::string>& args) {
    static constexpr std::pair<int, int> kSizes[7] = {
        {320, 200}, {640, 200}, {640, 350}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}};
    std::optional<std::pair<int, int>> size;
    for (const std::string& arg : args) {
        const std::optional<std::string_view> rest = LetterSwitch(arg, 'v');
        if (!rest) continue;
        const int n = QzStandardToInt(*rest);
        if (n >= 0 && n <= 6) size = kSizes[n];
    }
    return size;
}

void QzApplyViewSwitches(const std::vector<std::string>& args, QzRenderState& state) {
    for (const std::string& arg : args) {
        const std::optional<std::string_view> rest = LetterSwitch(arg, 'a');
        if (rest) state.SetViewMatrix(std::string(*rest).c_str(), true);
    }
}
