#include "frametexts.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "diagnostics.h"
#include "format.h"

std::string QzGoodbyeText(uint32_t seconds) {
    const int s = static_cast<int>(seconds);
    if (s < 3600) return plat::Format("Thank you for using Zarvel (%d:%02d)", s / 60, s % 60);
    return plat::Format("Thank you for using Zarvel (%d:%02d:%02d)", s / 3600, (s / 60) % 60,
                        s % 60);
}

std::string QzStepText(int step, int count) {
    if (count <= 0) return {};
    return plat::Format("Step %d/%d", step, count);
}

std::string QzMissingModelText(const std::string& modelPath) {
    const size_t slash = modelPath.find_last_of('/');
    const std::string name = slash == std::string::npos ? modelPath : modelPath.substr(slash + 1);
    return "Model file not found: " + name + "; waiting for it to come back";
}

std::string QzProposedFileName(const std::string& modelPath, const std::string& extension) {
    std::string name = modelPath;
    const size_t slash = name.find_last_of('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    if (name.empty()) name = "Untitled";
    return name + extension;
}

std::string QzComposeCaption(const std::string& frameworkCaption, const std::string& title,
                             const std::string& author) {
    std::string caption = frameworkCaption;
    if (!title.empty()) caption += "  \"" + title + "\"";
    if (!author.empty()) caption += "  Author: " + author;
    QzCutText(caption, QZ_MAX_CAPTION);
    return caption;
}

std::string QzFrameworkCaption(const std::string& documentTitle, const std::string& submodel) {
    return documentTitle + (submodel.empty() ? "" : " [" + submodel + "]") + " - Zarvel";
}

std::string QzBuildLine(const std::tm* built) {
    std::string line = "Release version";
    if (built)
        line += plat::Format(" built %4d.%02d.%02d %02d:%02d", built->tm_year + 1900,
                             built->tm_mon + 1, built->tm_mday, built->tm_hour, built->tm_min);
    return line;
}

bool QzParseBuildTime(const char* date, const char* time, std::tm& out) {
    static constexpr const char* kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!date || !time || std::strlen(date) != 11 || std::strlen(time) != 8) return false;
    std::tm t{};
    t.tm_mon = -1;
    for (int m = 0; m < 12; ++m)
        if (std::strncmp(date, kMonths[m], 3) == 0) t.tm_mon = m;
    int day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (t.tm_mon < 0 || std::sscanf(date + 4, "%2d %4d", &day, &year) != 2 ||
        std::sscanf(time, "%2d:%2d:%2d", &hour, &minute, &second) != 3)
        return false;
    t.tm_mday = day;
    t.tm_year = year - 1900;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    out = t;
    return true;
}

std::string QzColourDepthWarning(int bitsPerPixel) {
    if (bitsPerPixel >= 24) return {};
    return plat::Format(
        "Your display currently only has %lld colors.\nFor the best drawings you should use true "
        "color (24/32 bit)",
        1LL << std::max(bitsPerPixel, 0));
}

int QzWheelZoom(int zoom, int notches) {
    for (; notches > 0; --notches) {
        const double grown = std::round(zoom * 1.1);
        zoom = grown >= INT_MAX ? INT_MAX : std::max(static_cast<int>(grown), zoom + 1);
    }
    for (; notches < 0; ++notches) {
        if (zoom <= 1) break;
        const int shrunk = static_cast<int>(std::round(zoom / 1.1));
        zoom = std::max(1, std::min(shrunk, zoom - 1));
    }
    return zoom;
}
