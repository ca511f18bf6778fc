// Files as the reader and the writers need them: whole text files read line by line,
// last-write times, and paths resolved whatever the letter case of their components.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

struct FileTime {
    uint32_t low;
    uint32_t high;
    bool operator==(const FileTime&) const = default;
};

// Finds the file or directory a path names when its components may be written in any
// letter case, with "\" or "/" between them. An exact match wins over a case-folded
// one. Directory listings are cached. Returns the path as it is on disk, or nothing.
std::optional<std::string> ResolvePath(std::string_view path);
// Forgets every cached directory listing.
void ClearPathCache();

bool GetLastWriteTime(const std::string& path, FileTime& out);
// Whether the path, resolved as ResolvePath does, names a directory.
bool IsDirectory(std::string_view path);

// Whether the path (found in any letter case) names a regular file that opens for
// reading. Never blocks: a named pipe is not a file to read a model from.
bool CanOpenForReading(const std::string& path);

// A text file read whole on opening, then handed out line by line the way a C
// library reads a text file with a fixed buffer.
class TextFile {
  public:
    // Resolves the path case-insensitively; false when it does not name a regular
    // file that opens (pipes, devices and directories are not read).
    bool Open(std::string_view path);
    bool IsOpen() const { return open_; }
    void Close();
    // Next line, at most bufferSize - 1 characters, the newline included when it fits
    // (a longer line comes back in pieces). "\r\n" and a lone "\r" read as "\n".
    // False at the end.
    bool ReadLine(std::string_view& line, size_t bufferSize);
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    std::string data_;
    size_t pos_ = 0;
    bool open_ = false;
};

// Whether two texts are equal when ASCII letters are compared without their case.
bool SameIgnoringCase(std::string_view a, std::string_view b);

// Value of an environment variable, nothing when it is not set.
std::optional<std::string> GetEnv(const char* name);
// The user's home folder: $HOME when it is an absolute path, else the home folder of the
// account (from the password database); empty when neither gives one.
std::string HomeFolder();
// One of the user's folders, found the freedesktop way: the environment variable when it
// holds an absolute path (a relative one is ignored), else the fallback below the home
// folder ("/.config", "/.local/share"). Empty when there is no home folder either.
std::string UserFolder(const char* variable, const char* fallbackBelowHome);
// Makes the environment agree with HomeFolder and UserFolder, for the libraries and
// programs that read it themselves: HOME is set when it is unset, empty or relative, and
// XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME and XDG_STATE_HOME are removed when
// relative. For the start of a program, before any thread runs.
void SettleUserFolderEnvironment();
// The folder for temporary files (TMPDIR, else /tmp), without a trailing "/".
std::string TempDir();
// The debug trace file: QzDebug.txt in the temporary folder.
std::string DebugLogPath();
// Appends text to a file; false when it cannot be opened.
bool AppendToFile(const std::string& path, std::string_view text);

}  // namespace plat
