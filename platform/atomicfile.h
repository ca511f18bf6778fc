// Writing a file so that the old one survives any failure: the new content goes to a
// temporary file beside the file being replaced and is renamed over it only when
// complete. A symbolic link is written through: the file it points to is the one
// replaced, and the link stays. The replaced file keeps its mode (and, where allowed,
// its owner). A target that is not a regular file (a device, a named pipe) is written
// in place and never removed or replaced. An existing empty regular file is written in
// place too, so that whoever made it reads the content through the descriptor they
// hold (a file manager's thumbnail service does); a failure leaves it empty.
//
//   plat::AtomicFile out;
//   if (!out.Open(path, error)) ...;
//   std::fputs(text, out.File());
//   if (!out.Commit(error)) ...;       // the target is untouched on failure
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

struct stat;

namespace plat {

class AtomicFile {
  public:
    AtomicFile() = default;
    // Abandons an uncommitted write: the temporary file is removed, the target stays.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Starts writing the file at path. False with a message naming the path and the
    // reason when no temporary file can be made beside it (or, for a device or pipe,
    // when it does not open for writing).
    bool Open(const std::string& path, std::string& error);
    // Where to write; null when not open.
    std::FILE* File() const { return file_; }
    // Finishes the write: flushes, syncs and renames the temporary file over the
    // target. False with a message when anything failed on the way (a full disk, say);
    // the target is then exactly as it was and the temporary file is gone.
    bool Commit(std::string& error);
    // Abandons the write (as the destructor does).
    void Abort();
    // Everything Commit does but the rename: flushes, syncs and closes. False with a
    // message when the write failed (the target untouched, the temporary file gone); a
    // Commit afterwards only puts the file in place.
    bool Finish(std::string& error);

    // The file actually replaced (the end of a chain of links); empty when not open.
    const std::string& Target() const { return target_; }
    // The system's error number behind the last failed Open or Commit (0 when none),
    // for callers that name the path in their own words.
    int ErrorNumber() const { return errorNumber_; }

  private:
    friend bool CommitTogether(AtomicFile& first, AtomicFile& second, std::string& error);

    // Opens an empty regular file found at target (as `seen` describes it) for writing
    // in place; false when it is no longer that empty file.
    bool OpenEmptyInPlace(const std::string& target, const struct stat& seen);

    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temporary_;      // empty when writing in place
    bool emptyInPlace_ = false;  // writing in place into a file that was empty
    bool finished_ = false;      // written, synced and closed: only the rename is left
    std::string shownPath_;      // the path as the caller gave it, for messages
    int errorNumber_ = 0;
};

// Commits two files that belong together (a scene and its buffer) as one: both are
// written out first, and neither is put in place unless both were. When the second
// cannot be put in place after the first was, the first's old file is put back (the two
// names swapped by the file system; where it cannot swap them, a first file that was
// not there before is removed again). False with the message of the failure.
bool CommitTogether(AtomicFile& first, AtomicFile& second, std::string& error);

// Writes the whole text to path as AtomicFile does; false with a message on failure.
bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error);

// The file a path ends at after following symbolic links (at most 40 of them),
// whether that file exists or not; relative link texts are taken against the link's
// own folder. The path itself when it is no link; empty for a loop.
std::string FollowLinks(const std::string& path);

}  // namespace plat
