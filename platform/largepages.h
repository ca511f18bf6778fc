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
// The size AllocateLargePages gives for a request: whole large pages.
size_t LargePagesFor(size_t bytes);

}  // namespace plat
