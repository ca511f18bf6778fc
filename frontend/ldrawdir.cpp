#include "ldrawdir.h"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "files.h"
#include "loader.h"

std::string QzLDrawIniPath() {
    const std::string folder = plat::UserFolder("XDG_CONFIG_HOME", "/.config");
    return folder.empty() ? std::string() : folder + "/ldraw.ini";
}

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// The text of a value as the file holds it, blanks around it removed.
std::optional<std::string> ReadIniRaw(const std::string& path, const std::string& section,
                                      const std::string& key) {
    if (!plat::CanOpenForReading(path)) return std::nullopt;
    // A settings file of a few lines: one over a megabyte is no such file and is not
    // read (it might be one of many gigabytes).
    constexpr std::streamsize kMaxIniBytes = 1 << 20;
    std::ifstream file(path, std::ios::binary);
    std::string content(static_cast<size_t>(kMaxIniBytes) + 1, '\0');
    file.read(content.data(), kMaxIniBytes + 1);
    if (file.gcount() > kMaxIniBytes) return std::nullopt;
    content.resize(static_cast<size_t>(file.gcount()));
    // Editors on other systems start a UTF-8 file with a byte-order mark.
    if (content.starts_with("\xEF\xBB\xBF")) content.erase(0, 3);
    std::istringstream in(content);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        const std::string_view text = Trim(line);
        if (text.empty() || text.front() == ';') continue;
        if (text.front() == '[') {
            const size_t close = text.find(']');
            inSection = close != std::string_view::npos &&
                        plat::SameIgnoringCase(Trim(text.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const size_t equals = text.find('=');
        if (equals == std::string_view::npos ||
            !plat::SameIgnoringCase(Trim(text.substr(0, equals)), key))
            continue;
        return std::string(Trim(text.substr(equals + 1)));
    }
    return std::nullopt;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | ((code >> 18) & 0x07));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

// A value as the window toolkit's settings write it: parts in double quotes (which go),
// backslash escapes (\\ \" \n ..., \x followed by hex digits, \ followed by octal
// digits), an unquoted comma separating the entries of a list. A text starting with "@"
// is written with a second "@"; bytes that are no text as "@ByteArray(...)". The path's
// bytes; nothing for a list or a value of another kind.
std::optional<std::string> DecodeSettingValue(std::string_view raw) {
    // Unescaped characters: a file byte as it is (kByte set), an escape as its number.
    constexpr uint32_t kByte = 0x80000000u;
    std::vector<uint32_t> chars;
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == ',' && !quoted) return std::nullopt;  // a list
        if (c != '\\' || i + 1 == raw.size()) {
            chars.push_back(kByte | static_cast<unsigned char>(c));
            continue;
        }
        const char e = raw[++i];
        static constexpr std::string_view kFrom = "abfnrtv\\\"'?";
        static constexpr std::string_view kTo = "\a\b\f\n\r\t\v\\\"'?";
        if (const size_t k = kFrom.find(e); k != std::string_view::npos) {
            chars.push_back(static_cast<unsigned char>(kTo[k]));
        } else if (e == 'x' || (e >= '0' && e <= '7')) {
            const int base = e == 'x' ? 16 : 8;
            uint32_t code = e == 'x' ? 0 : static_cast<uint32_t>(e - '0');
            while (i + 1 < raw.size()) {
                const char d =
                    static_cast<char>(std::tolower(static_cast<unsigned char>(raw[i + 1])));
                const int digit = d >= '0' && d <= '9'   ? d - '0'
                                  : d >= 'a' && d <= 'f' ? d - 'a' + 10
                                                         : 99;
                if (digit >= base) break;
                code = (code * base + digit) & 0x1fffff;
                ++i;
            }
            chars.push_back(code);
        } else {
            chars.push_back(kByte | static_cast<unsigned char>(e));
        }
    }
    auto isText = [&](size_t at, std::string_view text) {
        if (chars.size() < at + text.size()) return false;
        for (size_t k = 0; k < text.size(); ++k)
            if (chars[at + k] != (kByte | static_cast<unsigned char>(text[k])) &&
                chars[at + k] != static_cast<unsigned char>(text[k]))
                return false;
        return true;
    };
    std::string out;
    if (isText(0, "@ByteArray(") && isText(chars.size() - 1, ")")) {
        for (size_t k = 11; k + 1 < chars.size(); ++k) {
            if (!(chars[k] & kByte) && chars[k] > 0xff) return std::nullopt;
            out += static_cast<char>(chars[k] & 0xff);
        }
        return out;
    }
    size_t start = 0;
    if (isText(0, "@@"))
        start = 1;
    else if (isText(0, "@"))
        return std::nullopt;  // a value of another kind
    for (size_t k = start; k < chars.size(); ++k) {
        if (chars[k] & kByte)
            out += static_cast<char>(chars[k] & 0xff);
        else
            AppendUtf8(out, chars[k]);
    }
    return out;
}

}  // namespace

std::optional<std::string> QzReadIniString(const std::string& path, const std::string& section,
                                           const std::string& key) {
    std::optional<std::string> raw = ReadIniRaw(path, section, key);
    if (!raw) return raw;
    std::string_view value = *raw;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string QzDesktopSettingsPath() {
    const std::string folder = plat::UserFolder("XDG_CONFIG_HOME", "/.config");
    return folder.empty() ? std::string() : folder + "/Veltmark/Zarvel.conf";
}

std::string QzStoredLDrawDir(const std::string& settingsPath) {
    // The toolkit writes the blank of the group's name as "%20".
    const std::optional<std::string> raw =
        ReadIniRaw(settingsPath, "General%20settings", "LDrawDir");
    if (!raw) return {};
    return DecodeSettingValue(*raw).value_or(std::string());
}

std::optional<std::string> QzLDrawDirFromEnvironment() {
    if (const std::optional<std::string> env = plat::GetEnv("LDRAWDIR"))
        return QzStripTrailingSeparators(*env);
    const std::optional<std::string> ini =
        QzReadIniString(QzLDrawIniPath(), "LDraw", "BaseDirectory");
    if (ini && !ini->empty()) return QzStripTrailingSeparators(*ini);
    return std::nullopt;
}

namespace {

std::string& SystemLDrawDirSetting() {
    static std::string folder = kSystemLDrawDir;
    return folder;
}

}  // namespace

std::string QzSystemLDrawDir() {
    const std::string& folder = SystemLDrawDirSetting();
    return plat::IsDirectory(folder + "/parts") ? folder : std::string();
}

void QzSetSystemLDrawDir(std::string folder) { SystemLDrawDirSetting() = std::move(folder); }

std::string QzFindLDrawDir(const std::string& stored,
                           const std::function<void(const std::string&)>& store) {
    if (!stored.empty()) return stored;
    const std::optional<std::string> found = QzLDrawDirFromEnvironment();
    if (!found) return {};
    if (store) store(*found);
    return *found;
}

int ExpandLongPath(const std::string& path, std::string& out) {
    if (path.size() < 2 || path.front() != '/') return -1;
    const std::optional<std::string> real = plat::ResolvePath(path);
    if (!real) return -1;
    out = *real;
    return 0;
}
