#include "ldrawdir.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <string_view>

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

}  // namespace

std::optional<std::string> QzReadIniString(const std::string& path, const std::string& section,
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
        std::string_view value = Trim(text.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}

std::optional<std::string> QzLDrawDirFromEnvironment() {
    if (const std::optional<std::string> env = plat::GetEnv("LDRAWDIR"))
        return QzStripTrailingSeparators(*env);
    const std::optional<std::string> ini =
        QzReadIniString(QzLDrawIniPath(), "LDraw", "BaseDirectory");
    if (ini && !ini->empty()) return QzStripTrailingSeparators(*ini);
    return std::nullopt;
}

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
