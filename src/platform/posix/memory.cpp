// SPDX-License-Identifier: GPL-3.0-or-later
// Large blocks straight from the kernel: anonymous mappings, aligned by hand to 2 MiB and
// advised for transparent huge pages.
#include <sys/mman.h>

#include <cstdint>

#include "platform/platform.h"

namespace orvath::platform {

namespace {

size_t roundedToAlignment(size_t bytes) { return (bytes + LargeBlockAlignment - 1) & ~(LargeBlockAlignment - 1); }

}  // namespace

void* allocateLargeBlock(size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * LargeBlockAlignment)
        return nullptr;
    const size_t size = roundedToAlignment(bytes);
    // Mapping one alignment more than needed leaves room to start on a 2 MiB boundary; the
    // unused head and tail are given back at once.
    const size_t mapped = size + LargeBlockAlignment;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + LargeBlockAlignment - 1) & ~uintptr_t{LargeBlockAlignment - 1};
    if (aligned > start)
        munmap(raw, aligned - start);
    const uintptr_t end = aligned + size;
    if (start + mapped > end)
        munmap(reinterpret_cast<void*>(end), start + mapped - end);
#ifdef MADV_HUGEPAGE
    // Only advice: a kernel without transparent huge pages refuses it, and ordinary pages do.
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

void freeLargeBlock(void* block, size_t bytes) {
    if (block != nullptr)
        munmap(block, roundedToAlignment(bytes));
}

}  // namespace orvath::platform
