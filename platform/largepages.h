// Memory for large stores that are filled as soon as they are made (the lines of a
// model's parts): asked of the system in blocks of whole large pages (2 MB), which the
// system may back with one large page each instead of hundreds of small ones. Each small
// page is mapped on its first write, one fault at a time, and where faults are dear (in
// a virtual machine they may cost ten microseconds each) that dominates the filling.
#pragma once

#include <cstddef>

namespace plat {

// The size the blocks are made in.
inline constexpr size_t kLargePageBytes = size_t{2} << 20;

// A block of at least `bytes` (rounded up to whole large pages), aligned to a large
// page, zero-filled, readable and writable; null when the system has no memory for it.
void* AllocateLargePages(size_t bytes);
// Gives back a block of AllocateLargePages, with the size it was asked for.
void FreeLargePages(void* block, size_t bytes);
// The size AllocateLargePages gives for a request: whole large pages; 0 when no block
// can be that large.
size_t LargePagesFor(size_t bytes);

// Asks the C library's heap to grow by steps of 12 MB of address space, which costs
// nothing until written, and the system to back the first step with large pages where
// it keeps them for those who ask: a program that fills thousands of small pages in a
// short life (a load writes the names and messages of a model, a first drawing the
// drawing forms of its parts, in many small allocations) then takes one fault per 2 MB
// for its first 12 MB instead of one per 4 KB. Memory once written stays with the
// process up to the size of a step. For the start of a short-lived program, before any
// thread runs; nothing where the allocator is not the C library's own (the address
// sanitizer's, say).
void GrowHeapInLargePages();

// Bytes in memory of their own that grows as they do: from the heap while small, from
// large pages once they reach kLargeBufferBytes. What lies past the bytes kept is
// undefined. Not copyable.
class ByteBuffer {
  public:
    static constexpr size_t kLargeBufferBytes = size_t{256} << 10;

    ByteBuffer() = default;
    ~ByteBuffer() { Release(); }
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    char* data() { return data_; }
    const char* data() const { return data_; }
    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    // Makes the size `size`, keeping the bytes there were up to it; false (and nothing
    // changed) when there is no memory for it.
    bool Resize(size_t size);
    // Size 0; the memory stays for what comes next.
    void Clear() { size_ = 0; }
    // Size 0, and the memory goes back.
    void Release();

  private:
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool largePages_ = false;
};

}  // namespace plat
