// SPDX-License-Identifier: GPL-3.0-or-later
// The wall clock in milliseconds, wrapped to 32 bits as the time controls expect.
#include <time.h>

#include "platform/platform.h"

namespace orvath::platform {

int32_t nowMs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec / 1000000);
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

}  // namespace orvath::platform
