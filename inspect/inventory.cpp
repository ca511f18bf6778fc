#include "inventory.h"

#include <algorithm>
#include <array>
#include <limits>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include "colours.h"
#include "files.h"
#include "format.h"
#include "ldconfig.h"
#include "tokens.h"
#include "utf8.h"

namespace inspect {

namespace {

constexpr uint64_t kMaxQuantity = std::numeric_limits<uint64_t>::max();

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > kMaxQuantity - b ? kMaxQuantity : a + b;
}

// A file of the library's parts folder, not of its subparts folder "s".
bool IsPart(const QzPart& part) {
    if (!(part.flags & PF_PARTS_DIR)) return false;
    const std::string& name = part.name;
    return !(name.size() > 2 && name[0] == 's' && (name[1] == '\\' || name[1] == '/'));
}

// What a walk counts: a part or a missing reference, in a colour.
using Leaf = std::pair<const QzPart*, int32_t>;
using Counts = std::map<Leaf, uint64_t>;

// The parts below one submodel drawn in one colour, each submodel and colour counted
// once however often it is referenced.
class Walk {
  public:
    const Counts& Of(const QzPart& part, int32_t colour) {
        const Leaf key{&part, colour};
        if (const auto found = done_.find(key); found != done_.end()) return found->second;
        // A reference cycle cannot be loaded; should one be there, it adds nothing.
        static const Counts kNone;
        if (!busy_.insert(key).second) return kNone;
        Counts counts;
        {
            for (const QzLine* line = part.lines; line; line = line->next) {
                if (line->type != 1 || !line->part) continue;
                const QzPart& sub = *line->part;
                // The file's own number; 16 (and 24, which a reference draws as 16)
                // take the colour of this reference.
                int32_t c = line->fileColour;
                if (c == QZ_COLOUR_EDGE) c = line->colour;
                if (c == QZ_COLOUR_CURRENT) c = colour;
                if (IsPart(sub) || (sub.flags & PF_MISSING)) {
                    uint64_t& n = counts[{&sub, c}];
                    n = SaturatingAdd(n, 1);
                    continue;
                }
                for (const auto& [leaf, n] : Of(sub, c)) {
                    uint64_t& total = counts[leaf];
                    total = SaturatingAdd(total, n);
                }
            }
            busy_.erase(key);
        }
        return done_.emplace(key, std::move(counts)).first->second;
    }

  private:
    std::map<Leaf, Counts> done_;
    std::set<Leaf> busy_;
};

// The name of a part as the library stores it: found as the reader finds it in the
// parts folders, with the on-disk letter case of as many trailing components as the
// reference has. The reference's name when it is not found there.
std::string StoredName(const QzPart& part, const std::string& ldrawDir) {
    if (ldrawDir.empty()) return part.name;
    std::string relative = part.name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const size_t components =
        1 + static_cast<size_t>(std::count(relative.begin(), relative.end(), '/'));
    for (const char* folder : {"/BFC/Parts/", "/Parts/"}) {
        for (const char* extension : {"", ".dat", ".mpd"}) {
            const std::optional<std::string> real =
                plat::ResolvePath(ldrawDir + folder + relative + extension);
            if (!real || plat::IsDirectory(*real)) continue;
            size_t start = real->size();
            for (size_t k = 0; k < components && start != std::string::npos && start > 0; ++k)
                start = real->rfind('/', start - 1);
            std::string name = real->substr(start == std::string::npos ? 0 : start + 1);
            std::replace(name.begin(), name.end(), '/', '\\');
            return name;
        }
    }
    return part.name;
}

std::string Description(const QzPart& part) {
    const QzLine* first = part.lines;
    if (!first || first->type != 0 || !first->text) return {};
    return first->text;
}

std::string ColourName(int32_t colour, const std::map<int32_t, std::string>& names) {
    if (const auto found = names.find(colour); found != names.end()) return found->second;
    if (colour >= 0 && colour < 64 && QzColourTable[colour].name) return QzColourTable[colour].name;
    return {};
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        uint32_t code = 0;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7f) {
            out += plat::Format("\\u%04x", c);
            ++i;
        } else if (const size_t length = plat::Utf8Sequence(text, i, code)) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            // A byte that is no UTF-8: the Latin-1 character of its value.
            out += static_cast<char>(0xc0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3f));
            ++i;
        }
    }
    return out + "\"";
}

}  // namespace

std::map<int32_t, std::string> ReadColourNames(const std::string& ldrawDir) {
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

std::vector<PartsRow> ListParts(const QzModel& model, const std::string& ldrawDir,
                                const std::map<int32_t, std::string>& names) {
    std::vector<PartsRow> rows;
    if (!model.Loaded()) return rows;
    Walk walk;
    // Rows by what they show: two references that name one file are one part.
    std::map<std::tuple<std::string, int32_t, bool>, PartsRow> byName;
    std::map<const QzPart*, std::string> stored;
    for (const auto& [leaf, quantity] : walk.Of(model.Main(), 7)) {
        const QzPart& part = *leaf.first;
        const bool missing = (part.flags & PF_MISSING) != 0;
        auto [at, added] = stored.try_emplace(&part);
        if (added) at->second = missing ? part.name : StoredName(part, ldrawDir);
        PartsRow& row = byName[{at->second, leaf.second, missing}];
        if (row.quantity == 0) {
            row.part = at->second;
            row.colour = leaf.second;
            row.colourName = ColourName(leaf.second, names);
            row.description = missing ? kMissingText : Description(part);
            row.missing = missing;
        }
        row.quantity = SaturatingAdd(row.quantity, quantity);
    }
    for (auto& entry : byName) rows.push_back(std::move(entry.second));
    return rows;
}

std::vector<PartsRow> ListParts(const QzModel& model, const std::string& ldrawDir) {
    return ListParts(model, ldrawDir, ReadColourNames(ldrawDir));
}

uint64_t TotalQuantity(const std::vector<PartsRow>& rows) {
    uint64_t total = 0;
    for (const PartsRow& row : rows) total = SaturatingAdd(total, row.quantity);
    return total;
}

bool AnyMissing(const std::vector<PartsRow>& rows) {
    return std::any_of(rows.begin(), rows.end(), [](const PartsRow& r) { return r.missing; });
}

std::string TotalText(const std::vector<PartsRow>& rows) {
    uint64_t missing = 0;
    for (const PartsRow& row : rows)
        if (row.missing) missing = SaturatingAdd(missing, row.quantity);
    const uint64_t total = TotalQuantity(rows);
    std::string text = std::to_string(total) + (total == 1 ? " part" : " parts");
    if (missing > 0) text += ", " + std::to_string(missing) + " missing";
    return text;
}

std::string ColourText(int32_t colour) {
    if (colour >= 0x2000000) return plat::Format("0x%07X", static_cast<unsigned>(colour));
    return std::to_string(colour);
}

std::string PartsText(const std::vector<PartsRow>& rows) {
    const char* const header[5] = {"Part", "Colour", "Name", "Quantity", "Description"};
    std::vector<std::array<std::string, 5>> cells;
    cells.push_back({header[0], header[1], header[2], header[3], header[4]});
    for (const PartsRow& row : rows)
        cells.push_back({row.part, ColourText(row.colour), row.colourName,
                         std::to_string(row.quantity), row.description});
    size_t width[4] = {};
    for (const auto& line : cells)
        for (int k = 0; k < 4; ++k) width[k] = std::max(width[k], line[k].size());
    std::string text;
    for (const auto& line : cells) {
        std::string out;
        for (int k = 0; k < 4; ++k) {
            // Numbers to the right, names to the left.
            const std::string pad(width[k] - line[k].size(), ' ');
            out += (k == 1 || k == 3) ? pad + line[k] : line[k] + pad;
            out += "  ";
        }
        out += line[4];
        while (!out.empty() && out.back() == ' ') out.pop_back();
        text += out + "\n";
    }
    text += "Total: " + TotalText(rows) + "\n";
    return text;
}

std::string PartsCsv(const std::vector<PartsRow>& rows) {
    std::string text = "part,colour,colour_name,quantity,description\r\n";
    for (const PartsRow& row : rows)
        text += CsvField(row.part) + "," + CsvField(ColourText(row.colour)) + "," +
                CsvField(row.colourName) + "," + std::to_string(row.quantity) + "," +
                CsvField(row.description) + "\r\n";
    return text;
}

std::string PartsJson(const std::vector<PartsRow>& rows) {
    std::string text = "[";
    for (size_t i = 0; i < rows.size(); ++i) {
        const PartsRow& row = rows[i];
        text += i == 0 ? "\n" : ",\n";
        text += "  {\"part\": " + JsonString(row.part) +
                ", \"colour\": " + std::to_string(row.colour) +
                ", \"colour_name\": " + JsonString(row.colourName) +
                ", \"quantity\": " + std::to_string(row.quantity) +
                ", \"description\": " + JsonString(row.description) + "}";
    }
    text += rows.empty() ? "]\n" : "\n]\n";
    return text;
}

}  // namespace inspect
