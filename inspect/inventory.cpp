#include "inventory.h"

#include <algorithm>
#include <array>
#include <limits>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include "colours.h"
#include "fileidentity.h"
#include "files.h"
#include "format.h"
#include "ldconfig.h"
#include "sections.h"
#include "tokens.h"
#include "utf8.h"

namespace inspect {

namespace {

constexpr uint64_t kMaxQuantity = std::numeric_limits<uint64_t>::max();
// Names of files left out that the line saying so lists; the rest are counted.
constexpr size_t kLeftOutNamesShown = 10;

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
    return a > kMaxQuantity - b ? kMaxQuantity : a + b;
}

// Files classed by where they were read from, whatever way the reference was written
// ("s\\..\\3001.dat", "..\\parts\\3001.dat" and "./s/3001s01.dat" included): a file
// that lies in one of the library's parts folders, not in its subparts folder "s", is
// a part, named by its path below that folder.
class PartsFolders {
  public:
    explicit PartsFolders(const std::string& ldrawDir) {
        if (ldrawDir.empty()) return;
        for (const char* folder : {"/BFC/Parts", "/Parts"}) {
            const std::optional<std::string> found = plat::ResolvePath(ldrawDir + folder);
            if (!found || !plat::IsDirectory(*found)) continue;
            if (const std::optional<std::string> real = plat::RealPath(*found))
                folders_.push_back(*real + "/");
        }
    }

    // The part's name below its parts folder ("3001.dat", "foo\\bar.dat", as stored on
    // disk) when it is a part; nothing for anything else.
    const std::optional<std::string>& PartName(const QzPart& part) {
        auto [at, added] = names_.try_emplace(&part);
        if (added) at->second = Classify(part.path);
        return at->second;
    }

  private:
    std::optional<std::string> Classify(const std::string& path) const {
        // The folder with its links and "." or ".." resolved, the file's own name as
        // it is (a file that is a link to elsewhere stays where it was found).
        if (path.empty()) return std::nullopt;
        const size_t slash = path.rfind('/');
        const std::optional<std::string> folder =
            plat::RealPath(slash == std::string::npos ? "."
                           : slash == 0               ? "/"
                                                      : path.substr(0, slash));
        if (!folder) return std::nullopt;
        const std::string file = (folder->ends_with('/') ? *folder : *folder + "/") +
                                 (slash == std::string::npos ? path : path.substr(slash + 1));
        for (const std::string& parts : folders_) {
            if (!file.starts_with(parts)) continue;
            std::string name = file.substr(parts.size());
            const size_t first = name.find('/');
            if (first != std::string::npos && plat::SameIgnoringCase(name.substr(0, first), "s"))
                return std::nullopt;
            std::replace(name.begin(), name.end(), '/', '\\');
            return name;
        }
        return std::nullopt;
    }

    std::vector<std::string> folders_;
    std::map<const QzPart*, std::optional<std::string>> names_;
};

// What a walk counts: a part or a missing reference, in a colour.
using Leaf = std::pair<const QzPart*, int32_t>;
using Counts = std::map<Leaf, uint64_t>;

// The parts below one submodel drawn in one colour, each submodel and colour counted
// once however often it is referenced.
class Walk {
  public:
    explicit Walk(PartsFolders& folders) : folders_(folders) {}

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
                if ((sub.flags & (PF_MISSING | PF_SECTION_PART)) || folders_.PartName(sub)) {
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
    PartsFolders& folders_;
    std::map<Leaf, Counts> done_;
    std::set<Leaf> busy_;
};

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

// Text as a terminal or a spreadsheet may show it: a tab becomes a blank and every other
// control character (C0, DEL, and C1 whether written in UTF-8 or as a lone byte) a "?",
// so that a description cannot move the cursor, recolour or retitle a terminal, or
// split a record. Everything else stays as it is, bytes that are not UTF-8 included.
std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        uint32_t code = 0;
        if (c == '\t') {
            out += ' ';
            ++i;
        } else if (c < 0x20 || c == 0x7f) {
            out += '?';
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const size_t length = plat::Utf8Sequence(text, i, code)) {
            if (code <= 0x9f)
                out += '?';
            else
                out.append(text.substr(i, length));
            i += length;
        } else {
            out += c <= 0x9f ? '?' : static_cast<char>(c);
            ++i;
        }
    }
    return out;
}

// The characters with which a spreadsheet starts a formula.
bool StartsAFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@").find(text.front()) != std::string_view::npos;
}

// One CSV field: printable, quoted when it holds a comma or a quote, and a text a
// spreadsheet would run as a formula ("=Brick", "-1+2") made plain text by a leading
// apostrophe inside the quotes.
std::string CsvField(std::string_view field) {
    std::string text = Printable(field);
    const bool formula = StartsAFormula(text);
    if (!formula && text.find_first_of(",\"") == std::string::npos) return text;
    std::string quoted = formula ? "\"'" : "\"";
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
    return QzReadColourNames(ldrawDir);
}

std::vector<PartsRow> ListParts(const QzModel& model, const std::string& ldrawDir,
                                const std::map<int32_t, std::string>& names) {
    if (!model.Loaded()) return {};
    return ListParts(model, model.Main(), ldrawDir, names);
}

std::vector<PartsRow> ListParts(const QzModel& model, const QzPart& top,
                                const std::string& ldrawDir,
                                const std::map<int32_t, std::string>& names) {
    std::vector<PartsRow> rows;
    if (!model.Loaded()) return rows;
    PartsFolders folders(ldrawDir);
    Walk walk(folders);
    // Rows by what they show: two references that lead to one file are one part.
    std::map<std::tuple<std::string, int32_t, bool>, PartsRow> byName;
    for (const auto& [leaf, quantity] : walk.Of(top, 7)) {
        const QzPart& part = *leaf.first;
        const bool missing = (part.flags & PF_MISSING) != 0;
        const std::string name = missing                          ? part.name
                                 : (part.flags & PF_SECTION_PART) ? QzFileName(model, part)
                                                                  : *folders.PartName(part);
        PartsRow& row = byName[{name, leaf.second, missing}];
        if (row.quantity == 0) {
            row.part = name;
            row.colour = leaf.second;
            row.colourName = ColourName(leaf.second, names);
            row.description = missing ? kMissingText : Description(part);
            row.missing = missing;
            row.file = &part;
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

std::string IncompleteText(const QzModel& model) {
    if (!model.tableFullShown || model.leftOut.empty()) return {};
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const std::string& name : model.leftOut)
        if (seen.insert(name).second) names.push_back(name);
    std::string text = plat::Format("Incomplete: past the part table's %d files, ", QZ_MAX_PARTS) +
                       std::to_string(names.size()) +
                       (names.size() == 1 ? " file was left out: " : " files were left out: ");
    for (size_t i = 0; i < names.size() && i < kLeftOutNamesShown; ++i)
        text += (i == 0 ? "" : ", ") + Printable(names[i]);
    if (names.size() > kLeftOutNamesShown)
        text += " and " + std::to_string(names.size() - kLeftOutNamesShown) + " more";
    return text;
}

std::string PrintableText(std::string_view text) { return Printable(text); }

std::string ColourNameOf(int32_t colour, const std::map<int32_t, std::string>& names) {
    return ColourName(colour, names);
}

std::string ColourText(int32_t colour) {
    if (colour >= 0x2000000) return plat::Format("0x%07X", static_cast<unsigned>(colour));
    return std::to_string(colour);
}

std::string PartsText(const std::vector<PartsRow>& rows, const std::string& incomplete) {
    const char* const header[5] = {"Part", "Colour", "Name", "Quantity", "Description"};
    std::vector<std::array<std::string, 5>> cells;
    cells.push_back({header[0], header[1], header[2], header[3], header[4]});
    for (const PartsRow& row : rows)
        cells.push_back({Printable(row.part), ColourText(row.colour), Printable(row.colourName),
                         std::to_string(row.quantity), Printable(row.description)});
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
    if (!incomplete.empty()) text += incomplete + "\n";
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
