#include "atomicfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace plat {

namespace {

constexpr int kMaxLinks = 40;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Reason(const std::string& path, int error) {
    return "Cannot write " + path + ": " + std::strerror(error);
}

// A failure of a member: its message, and its number kept for ErrorNumber.
std::string Failure(const std::string& path, int error, int& kept) {
    kept = error;
    return Reason(path, error);
}

// The mode a new file gets: 0666 less the process's umask (read without changing it
// for good).
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Empties a file again (a write into a file that was empty failed or was abandoned).
void EmptyFile(int fd) { [[maybe_unused]] const int emptied = ftruncate(fd, 0); }

}  // namespace

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = readlink(current.c_str(), buffer.data(), buffer.size());
        if (n < 0) return current;
        if (static_cast<size_t>(n) >= buffer.size()) {
            // The link changed while it was read; read it again with more room.
            --i;
            continue;
        }
        std::string link(buffer.data(), static_cast<size_t>(n));
        current = (!link.empty() && link[0] == '/') ? link : FolderOf(current) + "/" + link;
    }
    return {};
}

AtomicFile::~AtomicFile() { Abort(); }

bool AtomicFile::Open(const std::string& path, std::string& error) {
    Abort();
    shownPath_ = path;
    errorNumber_ = 0;
    // No name names no file (rather than the loop of links an empty target stands for).
    if (path.empty()) {
        error = Failure(path, ENOENT, errorNumber_);
        return false;
    }
    const std::string target = FollowLinks(path);
    if (target.empty()) {
        error = Failure(path, ELOOP, errorNumber_);
        return false;
    }
    struct stat st;
    const bool exists = stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        error = Failure(path, EISDIR, errorNumber_);
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a named pipe is written where it is. A pipe without a reader
        // would block the open for good: refuse it instead.
        const int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            error = Failure(path, errno, errorNumber_);
            return false;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        file_ = fdopen(fd, "wb");
        if (!file_) {
            error = Failure(path, errno, errorNumber_);
            ::close(fd);
            return false;
        }
        target_ = target;
        return true;
    }

    if (exists && st.st_size == 0 && OpenEmptyInPlace(target, st)) return true;

    std::string pattern = FolderOf(target) + "/." + BaseName(target) + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Failure(path, errno, errorNumber_);
        return false;
    }
    if (exists) {
        // The owner is kept where the process may (only root gives a file away).
        [[maybe_unused]] const int owned = fchown(fd, st.st_uid, st.st_gid);
        fchmod(fd, st.st_mode & 07777);
    } else {
        fchmod(fd, NewFileMode());
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        error = Failure(path, errno, errorNumber_);
        ::close(fd);
        unlink(pattern.c_str());
        return false;
    }
    target_ = target;
    temporary_ = pattern;
    return true;
}

bool AtomicFile::OpenEmptyInPlace(const std::string& target, const struct stat& seen) {
    // An empty file has no content to lose; a program that made it (a file manager's
    // thumbnail service) may read the result through the descriptor it holds, which a
    // file renamed over it would never reach. It is written where it is, and emptied
    // again should the write fail. Anything else found at the path (the file grew or
    // was replaced meanwhile) goes the usual way.
    const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0 ||
        st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
        ::close(fd);
        return false;
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        return false;
    }
    target_ = target;
    emptyInPlace_ = true;
    return true;
}

bool AtomicFile::Finish(std::string& error) {
    if (finished_) return true;
    if (!file_) {
        error = Failure(shownPath_, EBADF, errorNumber_);
        return false;
    }
    int failure = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_)) failure = errno ? errno : EIO;
    if (!failure && (!temporary_.empty() || emptyInPlace_) && fsync(fileno(file_)) != 0)
        failure = errno;
    // An empty file written in place is emptied again when the write failed (after the
    // stream is closed, so that nothing it still holds comes after).
    const int inPlace = emptyInPlace_ ? dup(fileno(file_)) : -1;
    emptyInPlace_ = false;
    if (std::fclose(file_) != 0 && !failure) failure = errno ? errno : EIO;
    file_ = nullptr;
    if (inPlace >= 0) {
        if (failure) EmptyFile(inPlace);
        ::close(inPlace);
    }
    if (failure) {
        if (!temporary_.empty()) unlink(temporary_.c_str());
        temporary_.clear();
        target_.clear();
        error = Failure(shownPath_, failure, errorNumber_);
        return false;
    }
    finished_ = true;
    return true;
}

bool AtomicFile::Commit(std::string& error) {
    if (!Finish(error)) return false;
    finished_ = false;
    if (!temporary_.empty() && std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int failure = errno;
        unlink(temporary_.c_str());
        temporary_.clear();
        target_.clear();
        error = Failure(shownPath_, failure, errorNumber_);
        return false;
    }
    temporary_.clear();
    return true;
}

bool CommitTogether(AtomicFile& first, AtomicFile& second, std::string& error) {
    if (!first.Finish(error) || !second.Finish(error)) {
        first.Abort();
        second.Abort();
        return false;
    }
    // The first file goes in place by swapping names with the old one, which then waits
    // under the temporary name until the second is in place too.
    enum class Old { None, Swapped, Replaced } old = Old::None;
    const std::string temporary = first.temporary_;
    const std::string target = first.target_;
    if (!temporary.empty()) {
        struct stat st;
        const bool existed = lstat(target.c_str(), &st) == 0;
        if (existed && renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(),
                                 RENAME_EXCHANGE) == 0) {
            old = Old::Swapped;
            // The old file now stands at the temporary name: the first file is in place.
            first.temporary_.clear();
            first.finished_ = false;
        } else {
            if (!first.Commit(error)) {
                second.Abort();
                return false;
            }
            old = existed ? Old::Replaced : Old::None;
        }
    } else if (!first.Commit(error)) {
        second.Abort();
        return false;
    }
    if (!second.Commit(error)) {
        // Back as it was: the old first file, or none where there was none.
        if (old == Old::Swapped) {
            renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE);
            unlink(temporary.c_str());
        } else if (old == Old::None && !temporary.empty()) {
            unlink(target.c_str());
        }
        return false;
    }
    if (old == Old::Swapped) unlink(temporary.c_str());
    return true;
}

void AtomicFile::Abort() {
    finished_ = false;
    if (file_) {
        // An empty file written in place is left empty, as it was.
        const int inPlace = emptyInPlace_ ? dup(fileno(file_)) : -1;
        std::fclose(file_);
        file_ = nullptr;
        if (inPlace >= 0) {
            EmptyFile(inPlace);
            ::close(inPlace);
        }
    }
    emptyInPlace_ = false;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
    target_.clear();
}

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
    AtomicFile out;
    if (!out.Open(path, error)) return false;
    // A short write sets the stream's error, which Commit reports.
    if (!content.empty()) std::fwrite(content.data(), 1, content.size(), out.File());
    return out.Commit(error);
}

}  // namespace plat
