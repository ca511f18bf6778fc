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
};

// The store of this platform: $XDG_DATA_HOME (~/.local/share) and $XDG_CONFIG_HOME
// (~/.config). Icons are written by the given function (a PNG of that many pixels for
// the icon position); the program path is this process's own.
class QzXdgFileTypeStore : public QzFileTypeStore {
  public:
    using IconWriter = std::function<bool(const std::string& path, int iconPosition, int pixels)>;
    explicit QzXdgFileTypeStore(IconWriter writeIcon);

    bool WriteDescription(const std::string& typeKey, const std::string& description) override;
    bool WriteIcon(const std::string& typeKey, int iconPosition) override;
    bool WriteOpenCommand(const std::string& typeKey, const std::string& program) override;
    bool WritePrintCommand(const std::string& typeKey, const std::string& program) override;
    bool WritePrintToCommand(const std::string& typeKey, const std::string& program) override;
    bool WriteExtension(const std::string& extension, const std::string& typeKey) override;
    std::optional<std::string> ReadExtension(const std::string& extension) override;

    static constexpr const char* kDesktopFile = "zarvel.desktop";

  private:
    bool WriteDesktopEntry(const std::string& program);
    // The icon at every size of the theme, under the context folder ("apps", ...).
    bool WriteIconSet(const char* context, const std::string& name, int iconPosition);

    IconWriter writeIcon_;
    std::string dataHome_;
    std::string configHome_;
    bool printCommands_ = false;
};

// The MIME type this program gives an extension (".dat" and ".ldr" share one), and the
// type key it stands for.
std::string QzMimeTypeOf(const std::string& extension);

// The path of the running program.
std::string QzProgramPath();

// Whether every extension of the set opens with this program by default; false for an
// empty set.
bool IsFileTypeRegistered(QzFileTypeStore& store, int types);
// Registers .dat and then .mpd as the bits ask, each with its own messages on failure,
// then thanks the user. 0, or the first error code.
int RegisterFileTypes(QzFileTypeStore& store, int types);
// The steps for one extension; 0 or the error code of the step that failed.
int RegisterFileType(QzFileTypeStore& store, const std::string& extension,
                     const std::string& typeKey, const std::string& description, int iconPosition,
                     bool printCommands);
