// Making Zarvel the program that opens LDraw files from the file manager. The steps and
// their error codes are the same on every platform; where each step writes is the
// store's business. On this platform the store follows the freedesktop conventions: a
// shared-mime-info package for the file types, icons in the hicolor theme, a desktop
// entry that opens a file with this program, and the default application in
// mimeapps.list.
#pragma once

#include <functional>
#include <optional>
#include <string>

// The extensions to register, as bits.
inline constexpr int QZ_TYPE_DAT = 1;
inline constexpr int QZ_TYPE_MPD = 2;

// Error codes of a registration, by the step that failed.
inline constexpr int QZ_REG_DESCRIPTION = -1;
inline constexpr int QZ_REG_ICON = -2;
inline constexpr int QZ_REG_OPEN = -3;
inline constexpr int QZ_REG_PRINT = -4;
inline constexpr int QZ_REG_PRINT_TO = -5;
inline constexpr int QZ_REG_EXTENSION = -6;

// Where the steps write. Each returns false when it failed.
class QzFileTypeStore {
  public:
    virtual ~QzFileTypeStore() = default;
    // The file type's name ("Qz.dat") and its description ("Qz dat file").
    virtual bool WriteDescription(const std::string& typeKey, const std::string& description) = 0;
    // The type's icon, the icon at that position of the program's own.
    virtual bool WriteIcon(const std::string& typeKey, int iconPosition) = 0;
    // The command that opens a file of the type: the program with the file.
    virtual bool WriteOpenCommand(const std::string& typeKey, const std::string& program) = 0;
    // The commands that load a file with "-p" (and "-pt").
    virtual bool WritePrintCommand(const std::string& typeKey, const std::string& program) = 0;
    virtual bool WritePrintToCommand(const std::string& typeKey, const std::string& program) = 0;
    // The extension ".dat" opens files of the type by default.
    virtual bool WriteExtension(const std::string& extension, const std::string& typeKey) = 0;
    // The type that opens the extension by default; nothing when none.
    virtual std::optional<std::string> ReadExtension(const std::string& extension) = 0;
    // Whether the open command can name the program at that path. Asked before anything
    // is written.
    virtual bool AcceptsProgram(const std::string& /*program*/) { return true; }
};

// The store of this platform: $XDG_DATA_HOME (~/.local/share) and $XDG_CONFIG_HOME
// (~/.config). The open command is a desktop entry with a thumbnailer entry beside it
// (in thumbnailers/), so that file managers show the models too. Every file is written
// whole beside its target and renamed over it; the user's mimeapps.list is edited in
// place of its lines, never replaced when it cannot be read or is no list a desktop
// reads. Icons are drawn by the given function (the PNG of that many pixels for the
// icon position).
class QzXdgFileTypeStore : public QzFileTypeStore {
  public:
    using IconPainter = std::function<bool(int iconPosition, int pixels, std::string& png)>;
    explicit QzXdgFileTypeStore(IconPainter paintIcon);

    bool WriteDescription(const std::string& typeKey, const std::string& description) override;
    bool WriteIcon(const std::string& typeKey, int iconPosition) override;
    bool WriteOpenCommand(const std::string& typeKey, const std::string& program) override;
    bool WritePrintCommand(const std::string& typeKey, const std::string& program) override;
    bool WritePrintToCommand(const std::string& typeKey, const std::string& program) override;
    bool WriteExtension(const std::string& extension, const std::string& typeKey) override;
    std::optional<std::string> ReadExtension(const std::string& extension) override;
    // A desktop entry cannot hold every path: see QzDesktopExecProgram.
    bool AcceptsProgram(const std::string& program) override;

    static constexpr const char* kDesktopFile = "zarvel.desktop";
    static constexpr const char* kThumbnailerFile = "zarvel.thumbnailer";
    // Why the last step failed, naming the file; empty when none did.
    const std::string& LastError() const { return error_; }

  private:
    bool WriteDesktopEntry(const std::string& program);
    // The icon at every size of the theme, under the context folder ("apps", ...).
    bool WriteIconSet(const char* context, const std::string& name, int iconPosition);
    bool WriteFile(const std::string& path, const std::string& content);
    // The text of mimeapps.list, "" when there is none; false when it is there but
    // cannot be read.
    bool ReadMimeApps(std::string& text);

    IconPainter paintIcon_;
    std::string dataHome_;
    std::string configHome_;
    bool printCommands_ = false;
    std::string error_;
};

// The MIME type this program gives an extension (".dat" and ".ldr" share one), and the
// type key it stands for.
std::string QzMimeTypeOf(const std::string& extension);

// The running program's file: its path, and whether that path still names the file
// that runs (not when the file was deleted or replaced since the program started).
struct QzProgramFile {
    std::string path;
    bool current = true;
};
QzProgramFile QzRunningProgram();
// The same for the program a process link ("/proc/PID/exe") names.
QzProgramFile QzProgramFileOf(const std::string& processLink);

// The program path as a desktop entry's Exec value writes it: quoted only when it holds
// a character the shell-like syntax reserves, '%' doubled, backslashes escaped once more
// for the value itself. Nothing when no entry can hold the path safely: empty, not
// UTF-8, or holding a newline, tab or other control character.
std::optional<std::string> QzDesktopExecProgram(const std::string& path);

// The command-line program that goes with the desktop program at this path: zarvel-cli
// in the same folder when that is an executable file, else the name alone (found in
// PATH).
std::string QzCliProgramBeside(const std::string& program);

// The thumbnailer entry through which file managers show models: the command-line
// program (a name or a path) writes the thumbnail. Nothing when no entry can hold the
// path (see QzDesktopExecProgram).
std::optional<std::string> QzThumbnailerEntry(const std::string& cliProgram);

// Whether every extension of the set opens with this program by default; false for an
// empty set.
bool IsFileTypeRegistered(QzFileTypeStore& store, int types);
// Registers .dat and then .mpd as the bits ask, each with its own messages on failure,
// then thanks the user. 0, or the first error code. The program registered is the
// running one unless another is given.
int RegisterFileTypes(QzFileTypeStore& store, int types);
int RegisterFileTypes(QzFileTypeStore& store, int types, const QzProgramFile& program);
// The steps for one extension; 0 or the error code of the step that failed. A program
// whose file is gone, or whose path the store cannot write, fails as the open command
// before anything is written.
int RegisterFileType(QzFileTypeStore& store, const std::string& extension,
                     const std::string& typeKey, const std::string& description, int iconPosition,
                     bool printCommands, const QzProgramFile& program);
