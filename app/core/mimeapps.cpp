#include "mimeapps.h"

#include <string_view>

namespace {

constexpr std::string_view kDefaultGroup = "Default Applications";

// One line of the file as it is stored: its text without the "\n", and whether a "\n"
// ended it (the last line may lack one).
struct Line {
    std::string_view body;
    bool newline;
};

enum class Kind { Comment, Group, Entry, Invalid };

// What a line means to a key-file reader.
struct Parsed {
    Kind kind = Kind::Invalid;
    std::string_view name;   // the group's name, or the entry's key
    std::string_view value;  // the entry's value, blanks after "=" skipped
};

std::vector<Line> SplitLines(std::string_view text) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back({text.substr(start), false});
            break;
        }
        lines.push_back({text.substr(start, end - start), true});
        start = end + 1;
    }
    return lines;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
}

bool IsLocaleChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           u >= 0x80 || c == '-' || c == '_' || c == '.' || c == '@';
}

// A group name: not empty, without brackets or control characters.
bool IsGroupName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name)
        if (c == '[' || c == ']' || IsControl(c)) return false;
    return true;
}

// A key: not empty, no blank at either end, no brackets but a trailing "[locale]".
bool IsKeyName(std::string_view key) {
    size_t i = 0;
    while (i < key.size() && key[i] != '[' && key[i] != ']') ++i;
    if (i == 0 || key.front() == ' ' || key[i - 1] == ' ') return false;
    if (i < key.size() && key[i] == '[') {
        ++i;
        while (i < key.size() && IsLocaleChar(key[i])) ++i;
        if (i >= key.size() || key[i] != ']') return false;
        ++i;
    }
    return i == key.size();
}

// A line read as a key-file reader reads it: one "\r" before the line's end and the
// blanks before its text do not count; a group header may have blanks after its "]";
// blanks around an entry's "=" do not count.
Parsed ParseLine(std::string_view body) {
    if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
    while (!body.empty() && IsSpace(body.front())) body.remove_prefix(1);
    if (body.empty() || body.front() == '#') return {Kind::Comment, {}, {}};
    if (body.front() == '[') {
        const size_t close = body.find(']');
        if (close == std::string_view::npos) return {};
        for (char c : body.substr(close + 1))
            if (c != ' ' && c != '\t') return {};
        const std::string_view name = body.substr(1, close - 1);
        if (!IsGroupName(name)) return {};
        return {Kind::Group, name, {}};
    }
    const size_t equals = body.find('=');
    if (equals == std::string_view::npos) return {};
    std::string_view key = body.substr(0, equals);
    while (!key.empty() && IsSpace(key.back())) key.remove_suffix(1);
    if (!IsKeyName(key)) return {};
    std::string_view value = body.substr(equals + 1);
    while (!value.empty() && IsSpace(value.front())) value.remove_prefix(1);
    return {Kind::Entry, key, value};
}

// Every line of the text with its meaning; false with the reason when one is not a
// key-file line.
bool Scan(std::string_view text, std::vector<Line>& lines, std::vector<Parsed>& parsed,
          std::string& error) {
    lines = SplitLines(text);
    parsed.clear();
    bool inGroup = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        parsed.push_back(ParseLine(lines[i].body));
        const Kind kind = parsed.back().kind;
        if (kind == Kind::Invalid) {
            error = "line " + std::to_string(i + 1) +
                    " is neither a comment, a group header nor an entry";
            return false;
        }
        if (kind == Kind::Entry && !inGroup) {
            error = "line " + std::to_string(i + 1) + " is an entry before the first group";
            return false;
        }
        if (kind == Kind::Group) inGroup = true;
    }
    return true;
}

// The applications of a list value, in order: ";" ends each one, a backslash escapes
// the character after it; empty items are left out.
std::vector<std::string_view> Items(std::string_view value) {
    std::vector<std::string_view> items;
    size_t start = 0;
    auto add = [&](size_t end) {
        std::string_view item = value.substr(start, end - start);
        bool blank = true;
        for (char c : item) blank = blank && IsSpace(c);
        if (!blank) items.push_back(item);
    };
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == ';') {
            add(i);
            start = i + 1;
        }
    }
    if (start < value.size()) add(value.size());
    return items;
}

bool EndsWithCr(std::string_view body) { return !body.empty() && body.back() == '\r'; }

}  // namespace

std::optional<std::vector<std::string>> QzDefaultApplications(const std::string& text,
                                                              const std::string& mimeType) {
    std::vector<Line> lines;
    std::vector<Parsed> parsed;
    std::string error;
    if (!Scan(text, lines, parsed, error)) return std::nullopt;
    std::vector<std::string> defaults;
    bool inDefaults = false;
    for (const Parsed& p : parsed) {
        if (p.kind == Kind::Group) inDefaults = p.name == kDefaultGroup;
        if (p.kind != Kind::Entry || !inDefaults || p.name != mimeType) continue;
        const std::vector<std::string_view> items = Items(p.value);
        defaults.emplace_back(items.empty() ? std::string_view() : items.front());
    }
    return defaults;
}

bool QzSetDefaultApplication(std::string& text, const std::string& mimeType,
                             const std::string& desktopId, std::string& error) {
    std::vector<Line> lines;
    std::vector<Parsed> parsed;
    if (!Scan(text, lines, parsed, error)) return false;

    auto entryFor = [&](std::string_view oldValue) {
        std::string entry = mimeType + "=" + desktopId + ";";
        for (std::string_view item : Items(oldValue))
            if (item != desktopId) (entry += item) += ";";
        return entry;
    };

    // The lines that set the type, and where a new one would go: after the last entry
    // (or the header) of the last [Default Applications] group.
    std::vector<bool> sets(lines.size(), false);
    bool found = false;
    size_t insertAfter = std::string_view::npos;
    bool inDefaults = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Parsed& p = parsed[i];
        if (p.kind == Kind::Group) {
            inDefaults = p.name == kDefaultGroup;
            if (inDefaults) insertAfter = i;
        }
        if (p.kind != Kind::Entry || !inDefaults) continue;
        insertAfter = i;
        if (p.name == mimeType) sets[i] = found = true;
    }

    const std::string fileEnd = !lines.empty() && EndsWithCr(lines.front().body) ? "\r\n" : "\n";
    std::string out;
    out.reserve(text.size() + mimeType.size() + desktopId.size() + 32);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (sets[i])
            out += entryFor(parsed[i].value) + (EndsWithCr(lines[i].body) ? "\r" : "");
        else
            out += lines[i].body;
        if (lines[i].newline) out += '\n';
        if (!found && i == insertAfter) {
            const std::string end = EndsWithCr(lines[i].body) ? "\r\n" : fileEnd;
            if (!lines[i].newline) out += end;
            out += entryFor({}) + end;
        }
    }
    if (!found && insertAfter == std::string_view::npos) {
        // No defaults yet: a group of its own at the end, after a blank line.
        if (!lines.empty()) {
            if (!lines.back().newline) out += fileEnd;
            if (lines.back().body != "" && lines.back().body != "\r") out += fileEnd;
        }
        out += "[" + std::string(kDefaultGroup) + "]" + fileEnd + entryFor({}) + fileEnd;
    }
    text = std::move(out);
    return true;
}
