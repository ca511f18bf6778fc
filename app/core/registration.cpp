#include "registration.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "files.h"
#include "format.h"
#include "messagebox.h"
#include "process.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kDefaultSection = "[Default Applications]";

// The extension a type key stands for: "Qz.dat" is ".dat".
std::string ExtensionOf(const std::string& typeKey) {
    const size_t dot = typeKey.rfind('.');
    return dot == std::string::npos ? typeKey : typeKey.substr(dot);
}

// The freedesktop icon name of a MIME type: "application/x-ldraw" is "application-x-ldraw".
std::string IconNameOf(std::string mimeType) {
    for (char& c : mimeType)
        if (c == '/') c = '-';
    return mimeType;
}

// Writes the whole text to a file, through a temporary file beside it, so that a
// failed write never leaves half a file.
bool WriteFileAtomically(const fs::path& path, const std::string& text) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    const fs::path temporary = path.string() + ".zarvel-new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text;
        out.close();
        if (!out) {
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, path, ec);
    if (ec) fs::remove(temporary, ec);
    return !ec;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A path as a desktop entry's Exec field quotes it: inside double quotes '"', '`', '$'
// and '\' take a backslash, '%' is doubled, and the value's own escaping doubles every
// backslash once more.
std::string ExecQuoted(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += "\\\\";
        if (c == '\\')
            quoted += "\\\\";
        else if (c == '%')
            quoted += "%%";
        else
            quoted += c;
    }
    return quoted + "\"";
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

std::string QzMimeTypeOf(const std::string& extension) {
    if (extension == ".mpd") return "application/x-multi-part-ldraw";
    return "application/x-ldraw";
}

std::string QzProgramPath() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("zarvel") : self.string();
}

QzXdgFileTypeStore::QzXdgFileTypeStore(IconWriter writeIcon)
    : writeIcon_(std::move(writeIcon)),
      dataHome_(plat::UserFolder("XDG_DATA_HOME", "/.local/share")),
      configHome_(plat::UserFolder("XDG_CONFIG_HOME", "/.config")) {}

bool QzXdgFileTypeStore::WriteDescription(const std::string& typeKey,
                                          const std::string& description) {
    const std::string extension = ExtensionOf(typeKey);
    const std::string mimeType = QzMimeTypeOf(extension);
    std::string globs = "    <glob pattern=\"*" + extension + "\"/>\n";
    // The open dialog lists .ldr with .dat: one type for both.
    if (extension == ".dat") globs += "    <glob pattern=\"*.ldr\"/>\n";
    const std::string package =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\"" +
        mimeType + "\">\n    <comment>" + description + "</comment>\n    <icon name=\"" +
        IconNameOf(mimeType) + "\"/>\n" + globs + "  </mime-type>\n</mime-info>\n";
    const fs::path mime = fs::path(dataHome_) / "mime";
    if (!WriteFileAtomically(mime / "packages" / ("zarvel-" + IconNameOf(mimeType) + ".xml"),
                             package))
        return false;
    return plat::RunProgram({"update-mime-database", mime.string()}) == 0;
}

bool QzXdgFileTypeStore::WriteIconSet(const char* context, const std::string& name,
                                      int iconPosition) {
    for (int pixels : {16, 32, 48, 64, 128}) {
        const std::string size = std::to_string(pixels) + "x" + std::to_string(pixels);
        const fs::path folder = fs::path(dataHome_) / "icons" / "hicolor" / size / context;
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec || !writeIcon_ ||
            !writeIcon_((folder / (name + ".png")).string(), iconPosition, pixels))
            return false;
    }
    return true;
}

bool QzXdgFileTypeStore::WriteIcon(const std::string& typeKey, int iconPosition) {
    return WriteIconSet("mimetypes", IconNameOf(QzMimeTypeOf(ExtensionOf(typeKey))), iconPosition);
}

bool QzXdgFileTypeStore::WriteDesktopEntry(const std::string& program) {
    // The program's own icon, for the entry.
    if (!WriteIconSet("apps", "zarvel", 0)) return false;
    std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Zarvel\n"
        "GenericName=LDraw model viewer\n"
        "Comment=View and check LDraw models\n"
        "Exec=" +
        ExecQuoted(program) +
        " %f\n"
        "Icon=zarvel\n"
        "Terminal=false\n"
        "Categories=Graphics;3DGraphics;Viewer;\n"
        "MimeType=application/x-ldraw;application/x-multi-part-ldraw;\n";
    if (printCommands_)
        entry +=
            "Actions=Load;\n\n[Desktop Action Load]\nName=Load only\nExec=" + ExecQuoted(program) +
            " -p %f\n";
    const fs::path applications = fs::path(dataHome_) / "applications";
    if (!WriteFileAtomically(applications / kDesktopFile, entry)) return false;
    // The menu's cache of entries; the default application does not depend on it.
    plat::RunProgram({"update-desktop-database", applications.string()});
    return true;
}

bool QzXdgFileTypeStore::WriteOpenCommand(const std::string&, const std::string& program) {
    return WriteDesktopEntry(program);
}

bool QzXdgFileTypeStore::WritePrintCommand(const std::string&, const std::string& program) {
    printCommands_ = true;
    return WriteDesktopEntry(program);
}

bool QzXdgFileTypeStore::WritePrintToCommand(const std::string&, const std::string& program) {
    // Loading with "-pt" does what "-p" does.
    printCommands_ = true;
    return WriteDesktopEntry(program);
}

bool QzXdgFileTypeStore::WriteExtension(const std::string& extension, const std::string&) {
    const fs::path path = fs::path(configHome_) / "mimeapps.list";
    const std::string key = QzMimeTypeOf(extension) + "=";
    std::error_code ec;
    if (fs::exists(path, ec) && !fs::is_regular_file(path, ec)) return false;
    std::vector<std::string> lines = Lines(ReadFile(path));
    auto isHeader = [](const std::string& line) { return !line.empty() && line[0] == '['; };
    size_t header = 0;
    while (header < lines.size() && lines[header] != kDefaultSection) ++header;
    if (header == lines.size()) {
        // No defaults yet: a section of its own at the end.
        if (!lines.empty() && !lines.back().empty()) lines.push_back("");
        lines.push_back(kDefaultSection);
        lines.push_back(key + kDesktopFile);
    } else {
        // Replace the type's line, or add one after the section's last entry.
        size_t insertAt = header + 1;
        bool replaced = false;
        for (size_t i = header + 1; i < lines.size() && !isHeader(lines[i]); ++i) {
            if (lines[i].rfind(key, 0) == 0) {
                lines[i] = key + kDesktopFile;
                replaced = true;
                break;
            }
            if (!lines[i].empty()) insertAt = i + 1;
        }
        if (!replaced)
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), key + kDesktopFile);
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return WriteFileAtomically(path, text);
}

std::optional<std::string> QzXdgFileTypeStore::ReadExtension(const std::string& extension) {
    const fs::path path = fs::path(configHome_) / "mimeapps.list";
    const std::string key = QzMimeTypeOf(extension) + "=";
    bool inDefaults = false;
    for (const std::string& line : Lines(ReadFile(path))) {
        if (!line.empty() && line[0] == '[') {
            inDefaults = line == kDefaultSection;
            continue;
        }
        if (!inDefaults || line.rfind(key, 0) != 0) continue;
        // The first of the listed applications is the default one.
        const std::string first = line.substr(key.size(), line.find(';') - key.size());
        if (first == kDesktopFile) return "Qz" + extension;
        return first;
    }
    return std::nullopt;
}

bool IsFileTypeRegistered(QzFileTypeStore& store, int types) {
    if ((types & (QZ_TYPE_DAT | QZ_TYPE_MPD)) == 0) return false;
    if ((types & QZ_TYPE_DAT) && store.ReadExtension(".dat") != "Qz.dat") return false;
    if ((types & QZ_TYPE_MPD) && store.ReadExtension(".mpd") != "Qz.mpd") return false;
    return true;
}

int RegisterFileType(QzFileTypeStore& store, const std::string& extension,
                     const std::string& typeKey, const std::string& description, int iconPosition,
                     bool printCommands) {
    const std::string program = QzProgramPath();
    if (!store.WriteDescription(typeKey, description)) return QZ_REG_DESCRIPTION;
    if (!store.WriteIcon(typeKey, iconPosition)) return QZ_REG_ICON;
    if (!store.WriteOpenCommand(typeKey, program)) return QZ_REG_OPEN;
    if (printCommands) {
        if (!store.WritePrintCommand(typeKey, program)) return QZ_REG_PRINT;
        if (!store.WritePrintToCommand(typeKey, program)) return QZ_REG_PRINT_TO;
    }
    if (!store.WriteExtension(extension, typeKey)) return QZ_REG_EXTENSION;
    return 0;
}

int RegisterFileTypes(QzFileTypeStore& store, int types) {
    static constexpr struct {
        int bit;
        const char* extension;
        const char* typeKey;
        const char* description;
        int iconPosition;
    } kTypes[] = {{QZ_TYPE_DAT, ".dat", "Qz.dat", "Qz dat file", 6},
                  {QZ_TYPE_MPD, ".mpd", "Qz.mpd", "Qz mpd file", 7}};
    for (const auto& type : kTypes) {
        if (!(types & type.bit)) continue;
        const int code = RegisterFileType(store, type.extension, type.typeKey, type.description,
                                          type.iconPosition, false);
        if (code != 0) {
            plat::ShowMessage(
                plat::Format("Could not register %s for Qz\nError code: %d", type.extension, code),
                plat::MessageKind::Exclamation);
            return code;
        }
    }
    plat::ShowMessage("Qz registered, Thank You!", plat::MessageKind::Plain);
    return 0;
}
