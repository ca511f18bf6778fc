#include "largepages.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace plat {

size_t LargePagesFor(size_t bytes) {
    if (bytes > std::numeric_limits<size_t>::max() - kLargePageBytes) return 0;
    return (bytes + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
}

void* AllocateLargePages(size_t bytes) {
    const size_t size = LargePagesFor(bytes == 0 ? 1 : bytes);
    if (size == 0 || size > std::numeric_limits<size_t>::max() - kLargePageBytes) return nullptr;
    // A mapping one large page longer than the block, cut to the aligned block inside
    // it: only an aligned range can be a large page.
    const size_t mapped = size + kLargePageBytes;
    void* map = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(map);
    const uintptr_t aligned = (start + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
    char* block = reinterpret_cast<char*>(aligned);
    if (const size_t head = aligned - start) munmap(map, head);
    if (const size_t tail = mapped - (aligned - start) - size) munmap(block + size, tail);
        // Where the system keeps large pages for those who ask (or for everyone) this lets
        // the first write of each 2 MB map all of it; elsewhere nothing changes.
#ifdef MADV_HUGEPAGE
    madvise(block, size, MADV_HUGEPAGE);
#endif
    return block;
}

void GrowHeapInLargePages() {
#if defined(__GLIBC__) && defined(M_TOP_PAD) && defined(MADV_HUGEPAGE)
    constexpr int kStep = 12 << 20;
    // The C library's default for the largest allocation taken from the heap rather
    // than mapped on its own.
    constexpr int kMappedFrom = 128 << 10;
    // Another allocator answers mallopt with 0 and keeps its own ways.
    if (mallopt(M_TOP_PAD, kStep) != 1) return;
    // The heap grows by the step now, for an allocation it must take itself (mapped
    // ones come from elsewhere); what the program break moved over is the heap's.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kLargePageBytes) * 2);
    const uintptr_t before = reinterpret_cast<uintptr_t>(sbrk(0));
    // (Held in a volatile so that the allocation is made.)
    void* volatile probe = std::malloc(kLargePageBytes);
    std::free(probe);
    mallopt(M_MMAP_THRESHOLD, kMappedFrom);
    // Where the heap ends now (freeing may have given back what lay past the step).
    const uintptr_t after = reinterpret_cast<uintptr_t>(sbrk(0));
    if (before == static_cast<uintptr_t>(-1) || after == static_cast<uintptr_t>(-1)) return;
    const uintptr_t first = (before + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes;
    const uintptr_t last = after / kLargePageBytes * kLargePageBytes;
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

void FreeLargePages(void* block, size_t bytes) {
    if (block) munmap(block, LargePagesFor(bytes == 0 ? 1 : bytes));
}

bool ByteBuffer::Resize(size_t size) {
    if (size <= capacity_) {
        size_ = size;
        return true;
    }
    // At least twice the room, so that growing a byte at a time costs little.
    size_t room = capacity_ > std::numeric_limits<size_t>::max() / 2 ? size : 2 * capacity_;
    room = std::max(room, size);
    const bool large = room >= kLargeBufferBytes;
    if (large) room = LargePagesFor(room);
    char* data = nullptr;
    if (room != 0)
        data = large ? static_cast<char*>(AllocateLargePages(room)) : new (std::nothrow) char[room];
    if (!data) return false;
    if (size_ > 0) std::memcpy(data, data_, size_);
    Release();
    data_ = data;
    size_ = size;
    capacity_ = room;
    largePages_ = large;
    return true;
}

void ByteBuffer::Release() {
    if (largePages_) {
        FreeLargePages(data_, capacity_);
    } else {
        delete[] data_;
    }
    data_ = nullptr;
    size_ = capacity_ = 0;
    largePages_ = false;
}

}  // namespace plat
