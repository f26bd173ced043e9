// Where make move prefetches the transposition-table bucket of the new position. The hash
// table (search layer) publishes its block here whenever it is resized, so the board layer
// needs nothing from above it.
#pragma once

#include <cstdint>

namespace orvath {

struct PrefetchTarget {
    const char* buckets = nullptr;  // 64-byte buckets
    uint32_t bucketMask = 0;        // bucket count - 1
};

extern PrefetchTarget prefetchTarget;

inline void prefetchBucket(uint64_t key) {
    if (prefetchTarget.buckets == nullptr)
        return;
    const char* bucket = prefetchTarget.buckets + 64 * static_cast<uint64_t>(static_cast<uint32_t>(key) & prefetchTarget.bucketMask);
    __builtin_prefetch(bucket);
    __builtin_prefetch(bucket + 64);
}

}  // namespace orvath
