// SPDX-License-Identifier: GPL-3.0-or-later
// Large blocks from VirtualAlloc. Large pages would need a privilege that most users lack, so
// the blocks have ordinary pages; VirtualAlloc gives zeroed memory aligned to 64 KiB.
#include <windows.h>

#include "platform/platform.h"

namespace orvath::platform {

void* allocateLargeBlock(size_t bytes) {
    if (bytes == 0)
        return nullptr;
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void freeLargeBlock(void* block, size_t) {
    if (block != nullptr)
        VirtualFree(block, 0, MEM_RELEASE);
}

}  // namespace orvath::platform
