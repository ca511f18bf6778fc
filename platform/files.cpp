#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "largepages.h"

namespace plat {

namespace {

// ---------------------------------------------------------------------------------
// Case-insensitive path resolution.
//
// Every directory that a resolution walks through is listed once and kept. Every
// lookup that uses a kept listing first looks at the directory again (one stat, far
// cheaper than a listing) and lists it again only when it is another directory now or
// its modification or change time moved: whatever was added, removed or renamed since
// is seen by the very next lookup (the lookups of a PathLookupScope, such as those of
// one load, count as one), while the library's large folders are listed once. A
// directory changed within the last tick of the file system's clock is listed again,
// as a second change in the same tick would leave its times as they are.
// ClearPathCache forgets everything. A name that is not there costs one hash lookup
// once the directory is known to be current.
// Listings are kept by the directory itself (device and inode): a directory reached
// by several paths (through links such as "x -> ." and "X -> .") is listed once, and
// the path texts it was reached by point to that one listing. Relative paths are
// looked up against the current directory, which is looked at again like any other.

struct TransparentHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct DirId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const DirId&) const = default;
};

struct DirIdHash {
    size_t operator()(const DirId& id) const {
        return std::hash<uint64_t>{}(static_cast<uint64_t>(id.inode) * 0x9E3779B97F4A7C15ULL ^
                                     static_cast<uint64_t>(id.device));
    }
};

struct DirListing {
    bool readable = false;
    // Not listable but a directory all the same (no read permission).
    bool searchable = false;
    // Whether id names the directory (false when it could not be looked at).
    bool known = false;
    DirId id;
    // The directory's times when it was listed, and the lookup in which the listing was
    // last found current.
    timespec modified{};
    timespec changed{};
    uint64_t checked = 0;
    // Listed so soon after a change that another change in the same tick of the file
    // system's clock would leave the times as they are: listed again next round.
    bool racy = false;
    // Lower-cased name -> the names on disk that fold to it, sorted, so the choice
    // among several is the same every time.
    std::unordered_map<std::string, std::vector<std::string>, TransparentHash, std::equal_to<>>
        names;
};

// The listings, each once; by the path texts they were reached with; by directory.
std::mutex cacheMutex;
std::vector<std::unique_ptr<DirListing>> listings;
std::unordered_map<std::string, DirListing*, TransparentHash, std::equal_to<>> byText;
std::unordered_map<DirId, DirListing*, DirIdHash> byId;
PathLookupWork work;
// The number of the current lookup: a listing is checked against the disk once per
// lookup, however often the walk of that lookup passes through its directory.
uint64_t round = 1;
// The lookups of a PathLookupScope on this thread share one round.
thread_local int scopeDepth = 0;
thread_local uint64_t scopeRound = 0;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void FoldInto(std::string_view text, std::string& out) {
    out.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) out[i] = FoldAscii(text[i]);
}

const DirListing& Keep(const std::string& dir, std::unique_ptr<DirListing> listing) {
    DirListing* kept = listing.get();
    kept->checked = round;
    listings.push_back(std::move(listing));
    if (kept->known) byId.insert_or_assign(kept->id, kept);
    byText.insert_or_assign(dir, kept);
    return *kept;
}

bool SameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether the directory changed so recently that another change in the same tick of
// the file system's clock would leave its times as they are: then a listing of it now
// may miss that change. File systems that keep times to the nanosecond tick with the
// kernel's coarse clock (a few milliseconds); those that keep whole seconds (or two, as
// FAT does) tick that slowly.
bool WithinTick(const struct stat& st) {
    const bool fine = st.st_mtim.tv_nsec != 0;
    const int64_t tickNs = fine ? int64_t{50'000'000} : int64_t{2'000'000'000};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t since = (static_cast<int64_t>(now.tv_sec) - st.st_mtim.tv_sec) * 1'000'000'000 +
                          (now.tv_nsec - st.st_mtim.tv_nsec);
    return since < tickNs;
}

// Whether a listing still describes the directory that stat found.
bool Current(const DirListing& listing, const struct stat& st) {
    return listing.known && !listing.racy && S_ISDIR(st.st_mode) &&
           listing.id == DirId{st.st_dev, st.st_ino} && SameTime(listing.modified, st.st_mtim) &&
           SameTime(listing.changed, st.st_ctim);
}

// (Re)reads the names of the directory at path, which stat found as st.
void Fill(DirListing& listing, const char* path, const struct stat& st) {
    listing.names.clear();
    listing.readable = listing.searchable = false;
    listing.known = true;
    listing.id = DirId{st.st_dev, st.st_ino};
    listing.modified = st.st_mtim;
    listing.changed = st.st_ctim;
    listing.checked = round;
    listing.racy = WithinTick(st);
    if (DIR* d = opendir(path)) {
        ++work.listings;
        listing.readable = true;
        std::string folded;
        while (dirent* entry = readdir(d)) {
            std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            FoldInto(name, folded);
            listing.names[folded].emplace_back(name);
        }
        closedir(d);
        for (auto& [key, real] : listing.names) std::sort(real.begin(), real.end());
    } else if (errno == EACCES) {
        listing.searchable = true;
    }
}

// The listing of a directory given as the path built so far ("" is the current
// directory), read on first use of the directory and checked again once per lookup.
const DirListing& Listing(const std::string& dir) {
    auto text = byText.find(std::string_view(dir));
    if (text != byText.end() && text->second->checked == round) return *text->second;
    const char* path = dir.empty() ? "." : dir.c_str();
    struct stat st;
    const bool found = stat(path, &st) == 0;
    const int error = errno;
    if (text != byText.end()) {
        DirListing& listing = *text->second;
        if (found && Current(listing, st)) {
            listing.checked = round;
            return listing;
        }
        byText.erase(text);
    }
    auto listing = std::make_unique<DirListing>();
    if (!found) {
        // Behind a folder that may not be searched: only the exact name may pass.
        if (error == EACCES) listing->searchable = true;
        return Keep(dir, std::move(listing));
    }
    if (!S_ISDIR(st.st_mode)) return Keep(dir, std::move(listing));
    auto same = byId.find(DirId{st.st_dev, st.st_ino});
    if (same != byId.end()) {
        // The directory, reached by another path: its listing, read again if it moved.
        DirListing& kept = *same->second;
        if (kept.checked != round && !Current(kept, st)) Fill(kept, path, st);
        kept.checked = round;
        byText.emplace(dir, &kept);
        return kept;
    }
    Fill(*listing, path, st);
    return Keep(dir, std::move(listing));
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

void AppendComponent(std::string& path, std::string_view name) {
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
}

bool PathExists(const std::string& path) {
    struct stat st;
    return stat(path.empty() ? "." : path.c_str(), &st) == 0;
}

// One resolution: its components, and the (directory, component index) pairs from
// which no whole match was found. Which path text led to a directory changes nothing
// below it, so a second way into the same directory at the same component is not
// walked again: the walk costs the number of directories times the depth at most,
// never the number of ways through them.
struct Walk {
    struct Failed {
        DirId dir;
        size_t index;
        bool operator==(const Failed&) const = default;
    };
    struct FailedHash {
        size_t operator()(const Failed& f) const { return DirIdHash{}(f.dir) ^ (f.index << 1); }
    };
    const std::vector<std::string_view>& components;
    std::unordered_set<Failed, FailedHash> failed;
    // Candidates still waiting in the directories above the current step.
    size_t alternatives = 0;
};

bool ResolveFrom(Walk& walk, size_t index, std::string& dir);

// Walks the components from `index` on below `dir`. Where several entries match a
// component apart from letter case, the exact one is tried first, then the others in
// sorted order, and the first that leads to a whole match wins.
bool ResolveBelow(Walk& walk, const DirListing& listing, size_t index, std::string& dir) {
    std::string_view component = walk.components[index];
    if (component == "." || component == "..") {
        // Only a directory has them; a file followed by "/.." names nothing.
        if (!listing.readable && !listing.searchable) return false;
        if (component == ".") return ResolveFrom(walk, index + 1, dir);
        size_t before = dir.size();
        AppendComponent(dir, component);
        if (ResolveFrom(walk, index + 1, dir)) return true;
        dir.resize(before);
        return false;
    }
    size_t before = dir.size();
    if (!listing.readable) {
        // A directory that may be passed but not listed: only the exact name can be
        // tried.
        if (!listing.searchable) return false;
        AppendComponent(dir, component);
        if (PathExists(dir) && ResolveFrom(walk, index + 1, dir)) return true;
        dir.resize(before);
        return false;
    }
    std::string folded;
    FoldInto(component, folded);
    auto it = listing.names.find(std::string_view(folded));
    if (it == listing.names.end()) return false;
    const std::vector<std::string>& candidates = it->second;
    size_t left = candidates.size();
    auto attempt = [&](const std::string& name) {
        // While another candidate waits here, what fails below is noted for it.
        const bool others = --left > 0;
        walk.alternatives += others;
        AppendComponent(dir, name);
        const bool found = ResolveFrom(walk, index + 1, dir);
        walk.alternatives -= others;
        if (!found) dir.resize(before);
        return found;
    };
    auto exact = std::find(candidates.begin(), candidates.end(), component);
    if (exact != candidates.end() && attempt(*exact)) return true;
    for (auto candidate = candidates.begin(); candidate != candidates.end(); ++candidate) {
        if (candidate != exact && attempt(*candidate)) return true;
    }
    return false;
}

bool ResolveFrom(Walk& walk, size_t index, std::string& dir) {
    if (index == walk.components.size()) return true;
    ++work.steps;
    const DirListing& listing = Listing(dir);
    if (listing.known && !walk.failed.empty() && walk.failed.count({listing.id, index}))
        return false;
    if (ResolveBelow(walk, listing, index, dir)) return true;
    // Only a walk that may come back this way again needs to remember.
    if (listing.known && walk.alternatives > 0) walk.failed.insert({listing.id, index});
    return false;
}

// The components of a path between its separators; false when one cannot name
// anything on disk.
bool SplitComponents(std::string_view path, std::vector<std::string_view>& components) {
    // A name holding a NUL byte cannot name anything on disk.
    if (path.find('\0') != std::string_view::npos) return false;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string_view component = path.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) continue;  // doubled or trailing separator
        if (component.size() > NAME_MAX) return false;
        components.push_back(component);
    }
    return true;
}

// One lookup of the components below `start` (a path on disk, "" for the current
// directory).
std::optional<std::string> Lookup(std::string start,
                                  const std::vector<std::string_view>& components) {
    std::lock_guard<std::mutex> lock(cacheMutex);
    // A scope's lookups share its round while no other lookup came between them.
    if (scopeDepth == 0 || scopeRound != round) {
        ++round;
        if (scopeDepth > 0) scopeRound = round;
    }
    Walk walk{components, {}, 0};
    if (!ResolveFrom(walk, 0, start)) return std::nullopt;
    if (start.empty()) return std::string(".");  // the path was only "." components
    return start;
}

}  // namespace

std::optional<std::string> ResolvePath(std::string_view path) {
    std::vector<std::string_view> components;
    if (path.empty() || !SplitComponents(path, components)) return std::nullopt;
    return Lookup(IsSeparator(path.front()) ? "/" : "", components);
}

std::optional<std::string> ResolvePathBelow(const std::string& base, std::string_view relative) {
    std::vector<std::string_view> components;
    if (base.empty() || base.find('\0') != std::string::npos ||
        !SplitComponents(relative, components))
        return std::nullopt;
    return Lookup(base, components);
}

void ClearPathCache() {
    std::lock_guard<std::mutex> lock(cacheMutex);
    byText.clear();
    byId.clear();
    listings.clear();
    work = {};
}

PathLookupScope::PathLookupScope() {
    if (scopeDepth++ == 0) scopeRound = 0;
}

PathLookupScope::~PathLookupScope() { --scopeDepth; }

void ResetPathLookupWork() {
    std::lock_guard<std::mutex> lock(cacheMutex);
    work = {};
}

PathLookupWork PathLookupWorkSinceClear() {
    std::lock_guard<std::mutex> lock(cacheMutex);
    return work;
}

bool GetLastWriteTime(const std::string& path, FileTime& out) {
    struct stat st;
    bool found = path.find('\\') == std::string::npos && path.find('\0') == std::string::npos &&
                 stat(path.c_str(), &st) == 0;
    if (!found) {
        std::optional<std::string> real = ResolvePath(path);
        found = real && stat(real->c_str(), &st) == 0;
    }
    if (!found) return false;
    // 100-nanosecond steps since 1601-01-01, the way Windows counts file times.
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
    int64_t seconds = static_cast<int64_t>(st.st_mtim.tv_sec) + kSecondsFrom1601To1970;
    uint64_t ticks = seconds < 0 ? 0
                                 : static_cast<uint64_t>(seconds) * 10000000ULL +
                                       static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
    out.low = static_cast<uint32_t>(ticks & 0xFFFFFFFFu);
    out.high = static_cast<uint32_t>(ticks >> 32);
    return true;
}

bool CanOpenForReading(const std::string& path) {
    const std::optional<std::string> real = ResolvePath(path);
    if (!real) return false;
    const int fd = ::open(real->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular;
}

bool IsDirectory(std::string_view path) {
    std::optional<std::string> real = ResolvePath(path);
    struct stat st;
    return real && stat(real->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ---------------------------------------------------------------------------------
// Text files.

bool TextFile::Open(std::string_view path) {
    Close();
    return OpenFound(ResolvePath(path));
}

bool TextFile::OpenBelow(const std::string& base, std::string_view relative) {
    Close();
    return OpenFound(ResolvePathBelow(base, relative));
}

bool TextFile::OpenFound(std::optional<std::string> real) {
    if (!real) return false;
    // Without O_NONBLOCK, opening a named pipe waits for a writer that may never
    // come. Only regular files are read: a pipe, a device such as /dev/zero or a
    // directory counts as not found. The type is checked on the opened descriptor, so
    // nothing can be swapped in between.
    int fd = ::open(real->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    // A file over the limit is refused before anything is read; one that grows past
    // it while it is read, too.
    auto refuse = [&](uint64_t size) {
        ::close(fd);
        data_.Release();
        tooLarge_ = size;
        path_ = std::move(*real);
        return false;
    };
    if (static_cast<uint64_t>(st.st_size) > kMaxTextFileBytes)
        return refuse(static_cast<uint64_t>(st.st_size));
    // Read into the memory of the files read before (Close keeps it).
    ByteBuffer& data = data_;
    auto fail = [&] {
        ::close(fd);
        data.Clear();
        return false;
    };
    // No memory for the text ends the reading as the reader's other allocations do.
    auto noMemory = [&] {
        fail();
        throw std::bad_alloc();
    };
    // Room for the size the file has now and a byte to see its end, filled by one read:
    // a regular file hands out less than asked for only at its end, so a read that
    // comes back short once the size is there ends the file. Whatever else is there
    // when it grew meanwhile (or when the size is unknown, as for the kernel's files of
    // size 0) is taken a chunk at a time until a read finds nothing.
    constexpr size_t kChunk = size_t{1} << 20;
    const size_t size = static_cast<size_t>(st.st_size);
    if (!data.Resize(size + 1)) noMemory();
    size_t filled = 0;
    for (;;) {
        if (filled > kMaxTextFileBytes) return refuse(filled);
        if (filled == data.size() && !data.Resize(filled + kChunk)) noMemory();
        const size_t wanted = data.size() - filled;
        ssize_t n = ::read(fd, data.data() + filled, wanted);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail();
        }
        if (n == 0) break;
        filled += static_cast<size_t>(n);
        if (static_cast<size_t>(n) < wanted && size > 0 && filled >= size) break;
    }
    ::close(fd);
    data.Resize(filled);

    // Text mode: carriage returns right before a line feed are dropped (a run of them,
    // as files converted twice have); any other carriage return ends a line, as in
    // files from old Macintosh systems.
    // The text between carriage returns moves as a block.
    if (const void* first = std::memchr(data.data(), '\r', data.size())) {
        char* d = data.data();
        const size_t size = data.size();
        const size_t cr = static_cast<size_t>(static_cast<const char*>(first) - d);
        size_t out = cr;
        size_t in = cr;
        while (in < size) {
            size_t runEnd = in;
            while (runEnd < size && d[runEnd] == '\r') ++runEnd;
            if (runEnd == size || d[runEnd] != '\n')
                for (; in < runEnd; ++in) d[out++] = '\n';
            in = runEnd;
            const void* next = std::memchr(d + in, '\r', size - in);
            const size_t stop =
                next ? static_cast<size_t>(static_cast<const char*>(next) - d) : size;
            std::memmove(d + out, d + in, stop - in);
            out += stop - in;
            in = stop;
        }
        data.Resize(out);
    }

    path_ = std::move(*real);
    // A UTF-8 byte-order mark, as some editors write, is no part of the first line.
    pos_ = data_.size() >= 3 && std::memcmp(data_.data(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    open_ = true;
    return true;
}

void TextFile::Close() {
    // Memory from the heap stays for the next file: the files of a load, read one after
    // the other, then share it. Large pages go back to the system at once (they are
    // cheap to get again, and a large file's text need not outlive it).
    if (data_.capacity() >= ByteBuffer::kLargeBufferBytes) {
        data_.Release();
    } else {
        data_.Clear();
    }
    path_.clear();
    pos_ = 0;
    open_ = false;
    tooLarge_ = 0;
}

bool TextFile::ReadLine(std::string_view& line, size_t bufferSize) {
    // A buffer with room for the terminator only could never make progress.
    if (!open_ || pos_ >= data_.size() || bufferSize < 2) return false;
    size_t limit = std::min(bufferSize - 1, data_.size() - pos_);
    const char* start = data_.data() + pos_;
    const void* newline = std::memchr(start, '\n', limit);
    size_t length = newline != nullptr
                        ? static_cast<size_t>(static_cast<const char*>(newline) - start) + 1
                        : limit;
    line = std::string_view(start, length);
    pos_ += length;
    return true;
}

size_t TextFile::LinesLeft() const {
    if (!open_ || pos_ >= data_.size()) return 0;
    const char* at = data_.data() + pos_;
    const char* end = data_.data() + data_.size();
    size_t lines = 0;
    while (const void* newline = std::memchr(at, '\n', static_cast<size_t>(end - at))) {
        ++lines;
        at = static_cast<const char*>(newline) + 1;
    }
    // A last line without a line end.
    return lines + (at < end ? 1 : 0);
}

// ---------------------------------------------------------------------------------
// Environment and small file helpers.

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    return true;
}

std::optional<std::string> GetEnv(const char* name) {
    if (name == nullptr) return std::nullopt;
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

namespace {

bool IsAbsolute(const std::optional<std::string>& path) {
    return path && !path->empty() && path->front() == '/';
}

// The names of the freedesktop base folders of a user.
constexpr const char* kUserFolderVariables[] = {"XDG_CONFIG_HOME", "XDG_DATA_HOME",
                                                "XDG_CACHE_HOME", "XDG_STATE_HOME"};

}  // namespace

std::string HomeFolder() {
    const std::optional<std::string> home = GetEnv("HOME");
    if (IsAbsolute(home)) return *home;
    // Without a usable HOME: the account's home folder.
    std::vector<char> buffer(16384);
    struct passwd entry;
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

std::string UserFolder(const char* variable, const char* fallbackBelowHome) {
    // A relative path is no base folder: it counts as unset.
    const std::optional<std::string> set = GetEnv(variable);
    if (IsAbsolute(set)) return *set;
    std::string home = HomeFolder();
    if (home.empty()) return {};
    while (!home.empty() && home.back() == '/') home.pop_back();
    return home + fallbackBelowHome;
}

void SettleUserFolderEnvironment() {
    if (!IsAbsolute(GetEnv("HOME"))) {
        const std::string home = HomeFolder();
        if (!home.empty()) setenv("HOME", home.c_str(), 1);
    }
    for (const char* variable : kUserFolderVariables) {
        const std::optional<std::string> set = GetEnv(variable);
        if (set && !IsAbsolute(set)) unsetenv(variable);
    }
}

std::string TempDir() {
    std::optional<std::string> dir = GetEnv("TMPDIR");
    std::string result = (dir && !dir->empty()) ? *dir : "/tmp";
    while (!result.empty() && result.back() == '/') result.pop_back();
    return result;
}

std::string DebugLogPath() { return TempDir() + "/QzDebug.txt"; }

bool AppendToFile(const std::string& path, std::string_view text) {
    if (path.find('\0') != std::string::npos) return false;
    // The file may lie in a folder others write to (/tmp): never through a symbolic
    // link, into a pipe or a device, or into a file another user made or linked there.
    // A new file is the user's alone.
    int fd = ::open(path.c_str(),
                    O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
    if (::close(fd) != 0) ok = false;
    return ok;
}

}  // namespace plat
