// Files as the reader and the writers need them: whole text files read line by line,
// last-write times, and paths resolved whatever the letter case of their components.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "largepages.h"

namespace plat {

struct FileTime {
    uint32_t low;
    uint32_t high;
    bool operator==(const FileTime&) const = default;
};

// Finds the file or directory a path names when its components may be written in any
// letter case, with "\" or "/" between them. An exact match wins over a case-folded
// one. Directory listings are cached, each directory listed once however many paths
// lead to it, and the cost grows with the number of components, not with the number
// of ways through case variants of them. Each lookup checks every kept listing it uses
// against the directory on disk (one stat) and lists again what changed, so it sees
// the disk as it is. Returns the path as it is on disk, or nothing.
std::optional<std::string> ResolvePath(std::string_view path);
// Forgets every cached directory listing.
void ClearPathCache();
// ResolvePath for a relative path below `base`, a directory given as a path on disk
// (as ResolvePath returns it): the walk starts at that directory, whose listing is
// checked against the disk like every other. For many lookups in the same folders (a
// load's library folders), which need not walk the folders above them each time.
std::optional<std::string> ResolvePathBelow(const std::string& base, std::string_view relative);
// The lookups made on this thread while a scope lives count as one: each directory they
// use is checked against the disk once. For the lookups of one file in its candidate
// places, made one right after the other.
class PathLookupScope {
  public:
    PathLookupScope();
    ~PathLookupScope();
    PathLookupScope(const PathLookupScope&) = delete;
    PathLookupScope& operator=(const PathLookupScope&) = delete;
};
// Starts counting the work of ResolvePath anew (PathLookupWorkSinceClear).
void ResetPathLookupWork();
// The work ResolvePath did since the last ClearPathCache or ResetPathLookupWork:
// directories listed, and steps of its walk (one per component looked up in a
// directory).
struct PathLookupWork {
    uint64_t listings = 0;
    uint64_t steps = 0;
};
PathLookupWork PathLookupWorkSinceClear();

bool GetLastWriteTime(const std::string& path, FileTime& out);
// Whether the path, resolved as ResolvePath does, names a directory.
bool IsDirectory(std::string_view path);

// Whether the path (found in any letter case) names a regular file that opens for
// reading. Never blocks: a named pipe is not a file to read a model from.
bool CanOpenForReading(const std::string& path);

// The largest file TextFile reads, 256 MB: the biggest file of the LDraw library is
// under 2 MB and the biggest real model 5 MB, while a file of many gigabytes (a sparse
// one takes no room on disk) would exhaust the memory.
inline constexpr uint64_t kMaxTextFileBytes = uint64_t{256} * 1024 * 1024;
// A text file read whole on opening, then handed out line by line the way a C
// library reads a text file with a fixed buffer. The memory of a small file closed is
// kept for the next one opened (ByteBuffer: below kLargeBufferBytes).
class TextFile {
  public:
    // Resolves the path case-insensitively; false when it does not name a regular
    // file that opens (pipes, devices and directories are not read) or when the file
    // is larger than kMaxTextFileBytes (see TooLargeSize). std::bad_alloc when there is
    // no memory for the text.
    bool Open(std::string_view path);
    // Open of a path relative to a directory on disk, as ResolvePathBelow finds it.
    bool OpenBelow(const std::string& base, std::string_view relative);
    // After an Open refused a file over kMaxTextFileBytes: its size in bytes, and
    // Path() names it. 0 after any other Open or Close.
    uint64_t TooLargeSize() const { return tooLarge_; }
    bool IsOpen() const { return open_; }
    void Close();
    // Next line, at most bufferSize - 1 characters, the newline included when it fits
    // (a longer line comes back in pieces). "\r\n" and a lone "\r" read as "\n". A
    // UTF-8 byte-order mark at the start of the file is skipped. False at the end.
    bool ReadLine(std::string_view& line, size_t bufferSize);
    // The number of lines left to read (a line longer than the buffer counts once).
    size_t LinesLeft() const;
    const std::string& Path() const { return path_; }

  private:
    bool OpenFound(std::optional<std::string> real);

    std::string path_;
    ByteBuffer data_;
    size_t pos_ = 0;
    bool open_ = false;
    uint64_t tooLarge_ = 0;
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
// Appends text to a regular file of the user's own, made with mode 0600 when it is
// new; false when it cannot be opened, or when the path is a symbolic link, a pipe, a
// device, a file of another user or one with further hard links.
bool AppendToFile(const std::string& path, std::string_view text);

}  // namespace plat
