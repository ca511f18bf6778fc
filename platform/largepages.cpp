#include "largepages.h"

#include <sys/mman.h>

#include <cstdint>
#include <limits>

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

void FreeLargePages(void* block, size_t bytes) {
    if (block) munmap(block, LargePagesFor(bytes == 0 ? 1 : bytes));
}

}  // namespace plat
