#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace plat {

namespace {

// ---------------------------------------------------------------------------------
// Case-insensitive path resolution.
//
// Every directory that a resolution walks through is listed once and kept until
// ClearPathCache (the loader clears it at the start of each load, so new and renamed
// files are seen by the next load). A name that is not there costs one hash lookup.
// Relative paths are listed against the current directory and cached under their
// relative text, so a change of directory also calls for ClearPathCache.

struct TransparentHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct DirListing {
    bool readable = false;
    // Not listable but a directory all the same (no read permission).
    bool searchable = false;
    // Lower-cased name -> the names on disk that fold to it, sorted, so the choice
    // among several is the same every time.
    std::unordered_map<std::string, std::vector<std::string>, TransparentHash, std::equal_to<>>
        names;
};

using ListingCache = std::unordered_map<std::string, DirListing, TransparentHash, std::equal_to<>>;

std::mutex cacheMutex;
ListingCache listingCache;

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void FoldInto(std::string_view text, std::string& out) {
    out.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) out[i] = FoldAscii(text[i]);
}

// The listing of a directory given as the path built so far ("" is the current
// directory), read on first use.
const DirListing& Listing(const std::string& dir) {
    auto it = listingCache.find(std::string_view(dir));
    if (it != listingCache.end()) return it->second;
    DirListing listing;
    if (DIR* d = opendir(dir.empty() ? "." : dir.c_str())) {
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
    return listingCache.emplace(dir, std::move(listing)).first->second;
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

// Walks the components from `index` on below `dir`. Where several entries match a
// component apart from letter case, the exact one is tried first, then the others in
// sorted order, and the first that leads to a whole match wins.
bool ResolveFrom(const std::vector<std::string_view>& components, size_t index, std::string& dir) {
    if (index == components.size()) return true;
    std::string_view component = components[index];
    const DirListing& listing = Listing(dir);
    if (component == "." || component == "..") {
        // Only a directory has them; a file followed by "/.." names nothing.
        if (!listing.readable && !listing.searchable) return false;
        if (component == ".") return ResolveFrom(components, index + 1, dir);
        size_t before = dir.size();
        AppendComponent(dir, component);
        if (ResolveFrom(components, index + 1, dir)) return true;
        dir.resize(before);
        return false;
    }
    size_t before = dir.size();
    if (!listing.readable) {
        // A directory that may be passed but not listed: only the exact name can be
        // tried.
        if (!listing.searchable) return false;
        AppendComponent(dir, component);
        if (PathExists(dir) && ResolveFrom(components, index + 1, dir)) return true;
        dir.resize(before);
        return false;
    }
    std::string folded;
    FoldInto(component, folded);
    auto it = listing.names.find(std::string_view(folded));
    if (it == listing.names.end()) return false;
    const std::vector<std::string>& candidates = it->second;
    auto exact = std::find(candidates.begin(), candidates.end(), component);
    if (exact != candidates.end()) {
        AppendComponent(dir, *exact);
        if (ResolveFrom(components, index + 1, dir)) return true;
        dir.resize(before);
    }
    for (auto candidate = candidates.begin(); candidate != candidates.end(); ++candidate) {
        if (candidate == exact) continue;
        AppendComponent(dir, *candidate);
        if (ResolveFrom(components, index + 1, dir)) return true;
        dir.resize(before);
    }
    return false;
}

}  // namespace

std::optional<std::string> ResolvePath(std::string_view path) {
    if (path.empty()) return std::nullopt;
    // A name holding a NUL byte cannot name anything on disk.
    if (path.find('\0') != std::string_view::npos) return std::nullopt;

    std::vector<std::string_view> components;
    size_t pos = 0;
    while (pos < path.size()) {
        size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string_view component = path.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty()) continue;  // doubled or trailing separator
        if (component.size() > NAME_MAX) return std::nullopt;
        components.push_back(component);
    }

    std::string result;
    if (IsSeparator(path.front())) result = "/";
    std::lock_guard<std::mutex> lock(cacheMutex);
    if (!ResolveFrom(components, 0, result)) return std::nullopt;
    if (result.empty()) return std::string(".");  // the path was only "." components
    return result;
}

void ClearPathCache() {
    std::lock_guard<std::mutex> lock(cacheMutex);
    listingCache.clear();
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
    std::optional<std::string> real = ResolvePath(path);
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
        tooLarge_ = size;
        path_ = std::move(*real);
        return false;
    };
    if (static_cast<uint64_t>(st.st_size) > kMaxTextFileBytes)
        return refuse(static_cast<uint64_t>(st.st_size));
    std::string data;
    // Room for the size the file has now (and a byte to see its end), filled by reads
    // of at most a chunk; whatever else is there when it grew meanwhile (or when the
    // size is unknown) is taken a chunk at a time.
    constexpr size_t kChunk = size_t{1} << 20;
    data.resize(static_cast<size_t>(st.st_size) + 1);
    size_t filled = 0;
    for (;;) {
        if (filled > kMaxTextFileBytes) return refuse(filled);
        if (filled == data.size()) data.resize(filled + kChunk);
        ssize_t n = ::read(fd, data.data() + filled, std::min(data.size() - filled, kChunk));
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        filled += static_cast<size_t>(n);
    }
    ::close(fd);
    data.resize(filled);

    // Text mode: carriage returns right before a line feed are dropped (a run of them,
    // as files converted twice have); any other carriage return ends a line, as in
    // files from old Macintosh systems.
    size_t cr = data.find('\r');
    if (cr != std::string::npos) {
        size_t out = cr;
        for (size_t in = cr; in < data.size(); ++in) {
            if (data[in] != '\r') {
                data[out++] = data[in];
                continue;
            }
            size_t runEnd = data.find_first_not_of('\r', in);
            if (runEnd != std::string::npos && data[runEnd] == '\n') {
                in = runEnd - 1;
            } else {
                data[out++] = '\n';
            }
        }
        data.resize(out);
    }

    data_ = std::move(data);
    path_ = std::move(*real);
    pos_ = 0;
    open_ = true;
    return true;
}

void TextFile::Close() {
    std::string().swap(data_);
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

std::string UserFolder(const char* variable, const char* fallbackBelowHome) {
    const std::optional<std::string> set = GetEnv(variable);
    if (set && !set->empty()) return *set;
    return GetEnv("HOME").value_or("") + fallbackBelowHome;
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
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
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
