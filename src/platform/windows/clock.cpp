// SPDX-License-Identifier: GPL-3.0-or-later
// The wall clock in milliseconds, wrapped to 32 bits as the time controls expect.
#include <windows.h>

#include "platform/platform.h"

namespace orvath::platform {

constexpr uint64_t TicksPerMs = 10000;                   // file time counts 100 ns ticks
constexpr uint64_t UnixEpochTicks = 116444736000000000;  // 1970-01-01 in ticks since 1601

// Seconds since 1970 and the millisecond part of the system time, as seconds x 1000 + ms.
int32_t nowMs() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const uint64_t ms = (ticks - UnixEpochTicks) / TicksPerMs;
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

}  // namespace orvath::platform
