#include "ldconfig.h"

#include <algorithm>
#include <string>

#include "diagnostics.h"
#include "files.h"
#include "tokens.h"

namespace {

struct Finish {
    std::string_view word;
    uint32_t bit;
};
constexpr Finish kFinishes[] = {
    {"CHROME", QZ_FINISH_CHROME}, {"PEARLESCENT", QZ_FINISH_PEARLESCENT},
    {"RUBBER", QZ_FINISH_RUBBER}, {"MATTE_METALLIC", QZ_FINISH_MATTE_METALLIC},
    {"METAL", QZ_FINISH_METAL},   {"MATERIAL", QZ_FINISH_MATERIAL}};

// "#RRGGBB" as 0x00RRGGBB.
bool ParseHexRgb(std::string_view word, uint32_t& rgb) {
    if (word.size() != 7 || word[0] != '#') return false;
    rgb = 0;
    for (char c : word.substr(1)) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

// 0x00RRGGBB as the palette's 0x00BBGGRR.
uint32_t PaletteOrder(uint32_t rgb) {
    return (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
}

bool ParseByte(std::string_view word, uint8_t& value) {
    const int32_t n = QzParseColour(word);
    if (n < 0 || n > 255) return false;
    value = static_cast<uint8_t>(n);
    return true;
}

bool ParseSize(std::string_view word, float& value) {
    size_t pos = 0;
    return QzScanNumber(word, pos, value) && pos == word.size() && value >= 0 && value < 1e6f;
}

// "GLITTER|SPECKLE VALUE #RRGGBB [ALPHA a] [LUMINANCE l] FRACTION f [VFRACTION v]
// (SIZE s | MINSIZE a MAXSIZE b)": the grains, which only the high-quality drawing shows;
// anything else leaves the colour without them (and is no fault of the line).
void ParseGrains(std::string_view words, QzLDConfigColour& c) {
    size_t pos = 0;
    const std::string_view kind = QzScanWord(words, pos);
    QzLDConfigColour g = c;
    g.grains = kind == "GLITTER"   ? QzGrains::Glitter
               : kind == "SPECKLE" ? QzGrains::Speckle
                                   : QzGrains::None;
    if (g.grains == QzGrains::None) return;
    bool value = false, fraction = false, minSize = false, maxSize = false;
    for (std::string_view word = QzScanWord(words, pos); !word.empty();
         word = QzScanWord(words, pos)) {
        const std::string_view arg = QzScanWord(words, pos);
        uint8_t byte = 0;
        float number = 0;
        if (word == "VALUE" && ParseHexRgb(arg, g.grainRgb)) {
            g.grainRgb = PaletteOrder(g.grainRgb);
            value = true;
        } else if ((word == "ALPHA" || word == "LUMINANCE") && ParseByte(arg, byte)) {
        } else if (word == "FRACTION" && ParseSize(arg, number) && number <= 1) {
            g.grainFraction = number;
            fraction = true;
        } else if (word == "VFRACTION" && ParseSize(arg, number)) {
        } else if (word == "SIZE" && ParseSize(arg, number)) {
            g.grainMinSize = g.grainMaxSize = number;
            minSize = maxSize = true;
        } else if (word == "MINSIZE" && ParseSize(arg, number)) {
            g.grainMinSize = number;
            minSize = true;
        } else if (word == "MAXSIZE" && ParseSize(arg, number)) {
            g.grainMaxSize = number;
            maxSize = true;
        } else {
            return;
        }
    }
    if (!value || !fraction || !minSize || !maxSize || g.grainMinSize > g.grainMaxSize) return;
    c = g;
}

}  // namespace

int QzParseColourLine(std::string_view line, QzLDConfigColour& colour, std::string* name) {
    size_t pos = 0;
    if (QzScanWord(line, pos) != "0" || QzScanWord(line, pos) != "!COLOUR") return 0;
    QzLDConfigColour c{};
    c.alpha = 255;
    uint32_t rgb = 0;
    const std::string_view named = QzScanWord(line, pos);
    if (named.empty() || QzScanWord(line, pos) != "CODE") return -1;
    c.code = QzParseColour(QzScanWord(line, pos));
    if (c.code < 0 || QzScanWord(line, pos) != "VALUE") return -1;
    if (!ParseHexRgb(QzScanWord(line, pos), rgb) || QzScanWord(line, pos) != "EDGE") return -1;
    c.rgb = PaletteOrder(rgb);
    const std::string_view edge = QzScanWord(line, pos);
    uint32_t edgeRgb = 0;
    if (ParseHexRgb(edge, edgeRgb)) {
        c.edge = static_cast<int32_t>(0x2000000 | edgeRgb);
    } else {
        c.edge = QzParseColour(edge);
        // The current colour and the edge colour cannot be the colour of an edge.
        if (c.edge < 0 || c.edge == QZ_COLOUR_CURRENT || c.edge == QZ_COLOUR_EDGE) return -1;
    }
    for (std::string_view word = QzScanWord(line, pos); !word.empty();
         word = QzScanWord(line, pos)) {
        if (word == "ALPHA") {
            if (!ParseByte(QzScanWord(line, pos), c.alpha)) return -1;
            continue;
        }
        if (word == "LUMINANCE") {
            if (!ParseByte(QzScanWord(line, pos), c.luminance)) return -1;
            continue;
        }
        const Finish* finish = std::find_if(std::begin(kFinishes), std::end(kFinishes),
                                            [&](const Finish& f) { return f.word == word; });
        if (finish == std::end(kFinishes)) return -1;
        c.finish |= finish->bit;
        // The rest of the line describes the material's grains.
        if (finish->bit == QZ_FINISH_MATERIAL) {
            ParseGrains(line.substr(pos), c);
            break;
        }
    }
    colour = c;
    if (name) name->assign(named);
    return 1;
}

std::map<int32_t, std::string> QzReadColourNames(const std::string& ldrawDir) {
    std::map<int32_t, std::string> names;
    plat::TextFile file;
    if (ldrawDir.empty() || !file.Open(ldrawDir + "\\LDConfig.ldr")) return names;
    std::string_view raw;
    while (file.ReadLine(raw, QZ_LINE_BUFFER)) {
        QzLDConfigColour colour;
        std::string name;
        if (QzParseColourLine(QzTrimLineEnd(raw), colour, &name) > 0) names[colour.code] = name;
    }
    return names;
}

bool QzReadLDConfig(const std::string& ldrawDir, QzLDConfigTable& table, QzLogContext& log) {
    std::vector<QzLDConfigColour> read;
    plat::TextFile file;
    // Without a library folder there is no file to read (and "\LDConfig.ldr" would be
    // looked for in the root folder).
    const bool opened = !ldrawDir.empty() && file.Open(ldrawDir + "\\LDConfig.ldr");
    if (opened) {
        log.currentFile = file.Path();
        log.currentLine = 0;
        std::string_view raw;
        while (file.ReadLine(raw, QZ_LINE_BUFFER)) {
            ++log.currentLine;
            const std::string_view line = QzTrimLineEnd(raw);
            QzLDConfigColour colour;
            const int parsed = QzParseColourLine(line, colour);
            if (parsed < 0) {
                log.currentLineText.assign(line);
                QzWarn(log, 0, QZ_SKIPPING, "Bad color definition");
            } else if (parsed > 0 && colour.code != QZ_COLOUR_CURRENT &&
                       colour.code != QZ_COLOUR_EDGE) {
                read.push_back(colour);
            }
        }
        file.Close();
    }
    table.Assign(std::move(read));
    return opened;
}

void QzLDConfigTable::Assign(std::vector<QzLDConfigColour> inFileOrder) {
    colours_ = std::move(inFileOrder);
    // Sorted by code, the last definition of a code winning.
    std::stable_sort(
        colours_.begin(), colours_.end(),
        [](const QzLDConfigColour& a, const QzLDConfigColour& b) { return a.code < b.code; });
    auto last = std::unique(
        colours_.rbegin(), colours_.rend(),
        [](const QzLDConfigColour& a, const QzLDConfigColour& b) { return a.code == b.code; });
    colours_.erase(colours_.begin(), last.base());
    std::fill(direct_.begin(), direct_.end(), int16_t{-1});
    for (size_t i = 0; i < colours_.size(); ++i) {
        const int32_t code = colours_[i].code;
        if (code < kDirectCodes) direct_[static_cast<size_t>(code)] = static_cast<int16_t>(i);
    }
}

const QzLDConfigColour* QzLDConfigTable::Find(int32_t code) const {
    if (code >= 0 && code < kDirectCodes) {
        const int16_t i = direct_[static_cast<size_t>(code)];
        return i < 0 ? nullptr : &colours_[static_cast<size_t>(i)];
    }
    auto it =
        std::lower_bound(colours_.begin(), colours_.end(), code,
                         [](const QzLDConfigColour& c, int32_t value) { return c.code < value; });
    return it != colours_.end() && it->code == code ? &*it : nullptr;
}
