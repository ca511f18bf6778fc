#include "filestream.h"

#include <sys/types.h>

namespace plat {

namespace {

constexpr size_t kBufferBytes = 64 * 1024;

}  // namespace

FileStreamBuf::FileStreamBuf(std::FILE* file) : file_(file), buffer_(kBufferBytes) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FileStreamBuf::~FileStreamBuf() { Drain(); }

bool FileStreamBuf::Drain() {
    const size_t count = static_cast<size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    if (count == 0) return true;
    return file_ && std::fwrite(buffer_.data(), 1, count, file_) == count;
}

FileStreamBuf::int_type FileStreamBuf::overflow(int_type c) {
    if (!Drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int FileStreamBuf::sync() { return Drain() && std::fflush(file_) == 0 ? 0 : -1; }

FileStreamBuf::pos_type FileStreamBuf::seekoff(off_type offset, std::ios_base::seekdir dir,
                                               std::ios_base::openmode which) {
    const pos_type failed = pos_type(off_type(-1));
    if (!(which & std::ios_base::out) || !Drain()) return failed;
    // Where the file is now, also for a tellp: a pipe has no position.
    const int whence = dir == std::ios_base::beg   ? SEEK_SET
                       : dir == std::ios_base::end ? SEEK_END
                                                   : SEEK_CUR;
    if (!(dir == std::ios_base::cur && offset == 0) &&
        fseeko(file_, static_cast<off_t>(offset), whence) != 0)
        return failed;
    const off_t now = ftello(file_);
    if (now < 0) return failed;
    return pos_type(off_type(now));
}

FileStreamBuf::pos_type FileStreamBuf::seekpos(pos_type position, std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}

}  // namespace plat
