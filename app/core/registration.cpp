#include "registration.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "atomicfile.h"
#include "diagnostics.h"
#include "files.h"
#include "format.h"
#include "messagebox.h"
#include "mimeapps.h"
#include "process.h"
#include "utf8.h"

namespace fs = std::filesystem;

namespace {

// A mimeapps.list larger than this is no list of defaults; it is left alone.
constexpr off_t kMaxMimeAppsSize = 16 << 20;

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

// Whether the text is UTF-8 without control characters (C0, DEL or C1).
bool IsPrintableUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        uint32_t code = 0;
        const size_t length = plat::Utf8Sequence(text, i, code);
        if (length == 0 || code < 0x20 || (code >= 0x7f && code < 0xa0)) return false;
        i += length;
    }
    return true;
}

}  // namespace

std::optional<std::string> QzDesktopExecProgram(const std::string& path) {
    if (path.empty() || !IsPrintableUtf8(path)) return std::nullopt;
    // The characters that make an argument need quotes.
    static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    const bool quote = path.find_first_of(kReserved) != std::string::npos;
    std::string argument = quote ? "\"" : "";
    for (char c : path) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) argument += '\\';
        argument += c;
        if (c == '%') argument += '%';  // "%%" is a percent sign, not a field code
    }
    if (quote) argument += '"';
    // The value's own escaping: a backslash is written "\\".
    std::string value;
    for (char c : argument) {
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

std::string QzCliProgramBeside(const std::string& program) {
    const size_t slash = program.rfind('/');
    if (slash != std::string::npos) {
        const std::string beside = program.substr(0, slash + 1) + "zarvel-cli";
        struct stat st;
        if (stat(beside.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            access(beside.c_str(), X_OK) == 0)
            return beside;
    }
    return "zarvel-cli";
}

std::optional<std::string> QzThumbnailerEntry(const std::string& cliProgram) {
    const std::optional<std::string> exec = QzDesktopExecProgram(cliProgram);
    if (!exec) return std::nullopt;
    // TryExec names the file as it is: only the value's own escaping.
    std::string tryExec;
    for (char c : cliProgram) {
        if (c == '\\') tryExec += '\\';
        tryExec += c;
    }
    return "[Thumbnailer Entry]\n"
           "TryExec=" +
           tryExec + "\nExec=" + *exec +
           " thumbnail -s %s %u %o\n"
           "MimeType=application/x-ldraw;application/x-multi-part-ldraw;\n";
}

std::string QzMimeTypeOf(const std::string& extension) {
    if (extension == ".mpd") return "application/x-multi-part-ldraw";
    return "application/x-ldraw";
}

QzProgramFile QzRunningProgram() { return QzProgramFileOf("/proc/self/exe"); }

QzProgramFile QzProgramFileOf(const std::string& processLink) {
    std::error_code ec;
    const fs::path self = fs::read_symlink(processLink, ec);
    if (ec) return {"zarvel", true};
    // A file deleted or replaced since the start reads as "path (deleted)"; the path
    // then names no file, or another one.
    struct stat running, named;
    const bool current = stat(processLink.c_str(), &running) == 0 &&
                         stat(self.c_str(), &named) == 0 && running.st_dev == named.st_dev &&
                         running.st_ino == named.st_ino;
    return {self.string(), current};
}

QzXdgFileTypeStore::QzXdgFileTypeStore(IconPainter paintIcon)
    : paintIcon_(std::move(paintIcon)),
      dataHome_(plat::UserFolder("XDG_DATA_HOME", "/.local/share")),
      configHome_(plat::UserFolder("XDG_CONFIG_HOME", "/.config")) {}

bool QzXdgFileTypeStore::WriteFile(const std::string& path, const std::string& content) {
    std::error_code ec;
    fs::create_directories(fs::path(path).parent_path(), ec);
    if (plat::WriteFileAtomically(path, content, error_)) return true;
    QzDebugLog("Registration: %s\n", error_.c_str());
    return false;
}

bool QzXdgFileTypeStore::WriteDescription(const std::string& typeKey,
                                          const std::string& description) {
    if (dataHome_.empty()) return false;
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
    if (!WriteFile(mime / "packages" / ("zarvel-" + IconNameOf(mimeType) + ".xml"), package))
        return false;
    return plat::RunProgram({"update-mime-database", mime.string()}) == 0;
}

bool QzXdgFileTypeStore::WriteIconSet(const char* context, const std::string& name,
                                      int iconPosition) {
    if (dataHome_.empty() || !paintIcon_) return false;
    for (int pixels : {16, 32, 48, 64, 128}) {
        const std::string size = std::to_string(pixels) + "x" + std::to_string(pixels);
        const fs::path folder = fs::path(dataHome_) / "icons" / "hicolor" / size / context;
        std::string png;
        if (!paintIcon_(iconPosition, pixels, png) || !WriteFile(folder / (name + ".png"), png))
            return false;
    }
    return true;
}

bool QzXdgFileTypeStore::WriteIcon(const std::string& typeKey, int iconPosition) {
    return WriteIconSet("mimetypes", IconNameOf(QzMimeTypeOf(ExtensionOf(typeKey))), iconPosition);
}

bool QzXdgFileTypeStore::AcceptsProgram(const std::string& program) {
    return QzDesktopExecProgram(program).has_value();
}

bool QzXdgFileTypeStore::WriteDesktopEntry(const std::string& program) {
    const std::optional<std::string> exec = QzDesktopExecProgram(program);
    if (!exec || dataHome_.empty()) return false;
    // The program's own icon, for the entry.
    if (!WriteIconSet("apps", "zarvel", 0)) return false;
    std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Zarvel\n"
        "GenericName=LDraw model viewer\n"
        "Comment=View and check LDraw models\n"
        "Exec=" +
        *exec +
        " %f\n"
        "Icon=zarvel\n"
        "Terminal=false\n"
        "Categories=Graphics;3DGraphics;Viewer;\n"
        "MimeType=application/x-ldraw;application/x-multi-part-ldraw;\n";
    if (printCommands_)
        entry +=
            "Actions=Load;\n\n[Desktop Action Load]\nName=Load only\nExec=" + *exec + " -p %f\n";
    const fs::path applications = fs::path(dataHome_) / "applications";
    if (!WriteFile(applications / kDesktopFile, entry)) return false;
    // The file manager's thumbnails, drawn by the command-line program that came with it.
    const std::optional<std::string> thumbnailer = QzThumbnailerEntry(QzCliProgramBeside(program));
    if (!thumbnailer ||
        !WriteFile(fs::path(dataHome_) / "thumbnailers" / kThumbnailerFile, *thumbnailer))
        return false;
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

bool QzXdgFileTypeStore::ReadMimeApps(std::string& text) {
    text.clear();
    const std::string path = configHome_ + "/mimeapps.list";
    auto fail = [&](int error) {
        error_ = "Cannot read " + path + ": " + std::strerror(error);
        QzDebugLog("Registration: %s\n", error_.c_str());
        return false;
    };
    if (configHome_.empty()) return fail(ENOENT);
    // Through links, as the desktops read it; a link to nothing is a list still to make.
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return errno == ENOENT ? true : fail(errno);
    if (S_ISDIR(st.st_mode)) return fail(EISDIR);
    if (!S_ISREG(st.st_mode)) return fail(EINVAL);  // a pipe or device is no list
    if (st.st_size > kMaxMimeAppsSize) return fail(EFBIG);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(errno);
    // The file opened is the one looked at, not one put in its place since.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(EINVAL);
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || static_cast<off_t>(text.size()) + n > kMaxMimeAppsSize) {
            const int error = n < 0 ? errno : EFBIG;
            ::close(fd);
            return fail(error);
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool QzXdgFileTypeStore::WriteExtension(const std::string& extension, const std::string&) {
    // The user's list is edited, never made anew: a list that cannot be read or is no
    // key file stays exactly as it is, and the step fails.
    std::string text;
    if (!ReadMimeApps(text)) return false;
    const std::string path = configHome_ + "/mimeapps.list";
    std::string reason;
    if (!QzSetDefaultApplication(text, QzMimeTypeOf(extension), kDesktopFile, reason)) {
        error_ = "Cannot edit " + path + ": " + reason;
        QzDebugLog("Registration: %s\n", error_.c_str());
        return false;
    }
    return WriteFile(path, text);
}

std::optional<std::string> QzXdgFileTypeStore::ReadExtension(const std::string& extension) {
    std::string text;
    if (!ReadMimeApps(text)) return std::nullopt;
    const std::optional<std::vector<std::string>> defaults =
        QzDefaultApplications(text, QzMimeTypeOf(extension));
    if (!defaults || defaults->empty()) return std::nullopt;
    // Readers differ in which of several lines they take: the type is this program's
    // only when every line names it first.
    for (const std::string& first : *defaults)
        if (first != kDesktopFile) return first;
    return "Qz" + extension;
}

bool IsFileTypeRegistered(QzFileTypeStore& store, int types) {
    if ((types & (QZ_TYPE_DAT | QZ_TYPE_MPD)) == 0) return false;
    if ((types & QZ_TYPE_DAT) && store.ReadExtension(".dat") != "Qz.dat") return false;
    if ((types & QZ_TYPE_MPD) && store.ReadExtension(".mpd") != "Qz.mpd") return false;
    return true;
}

int RegisterFileType(QzFileTypeStore& store, const std::string& extension,
                     const std::string& typeKey, const std::string& description, int iconPosition,
                     bool printCommands, const QzProgramFile& programFile) {
    const std::string& program = programFile.path;
    if (!programFile.current || !store.AcceptsProgram(program)) return QZ_REG_OPEN;
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
    return RegisterFileTypes(store, types, QzRunningProgram());
}

int RegisterFileTypes(QzFileTypeStore& store, int types, const QzProgramFile& program) {
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
                                          type.iconPosition, false, program);
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
