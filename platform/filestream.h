// A C++ output stream onto an open C FILE, such as the one plat::AtomicFile hands out.
// It goes back (seekp, tellp) where the file can: a regular file, not a pipe. The FILE
// stays the caller's: the stream never closes it.
#pragma once

#include <cstdio>
#include <ostream>
#include <streambuf>
#include <vector>

namespace plat {

class FileStreamBuf : public std::streambuf {
  public:
    explicit FileStreamBuf(std::FILE* file);
    ~FileStreamBuf() override;
    FileStreamBuf(const FileStreamBuf&) = delete;
    FileStreamBuf& operator=(const FileStreamBuf&) = delete;

  protected:
    int_type overflow(int_type c) override;
    int sync() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir,
                     std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

  private:
    // Hands the buffered bytes to the FILE; false when it refused them.
    bool Drain();

    std::FILE* file_;
    std::vector<char> buffer_;
};

// std::ostream over a FileStreamBuf. A failed write sets the stream's badbit.
class FileOStream : public std::ostream {
  public:
    explicit FileOStream(std::FILE* file) : std::ostream(nullptr), buffer_(file) {
        rdbuf(&buffer_);
    }

  private:
    FileStreamBuf buffer_;
};

}  // namespace plat
