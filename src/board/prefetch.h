// SPDX-License-Identifier: GPL-3.0-or-later
// Where make move prefetches the transposition-table bucket of the new position. The hash
// table (search layer) publishes its block here whenever it is resized, so the board layer
// needs nothing from above it.
#pragma once

#include <cstdint>

namespace orvath {

struct PrefetchTarget {
    static constexpr uint64_t BucketBytes = 64;  // one hash-table bucket, one cache line

    const char* buckets = nullptr;
    uint32_t bucketMask = 0;  // bucket count - 1
};

extern PrefetchTarget prefetchTarget;

inline void prefetchBucket(uint64_t key) {
    if (prefetchTarget.buckets == nullptr)
        return;
    const uint64_t index = static_cast<uint32_t>(key) & prefetchTarget.bucketMask;
    const char* bucket = prefetchTarget.buckets + PrefetchTarget::BucketBytes * index;
    __builtin_prefetch(bucket);
    __builtin_prefetch(bucket + PrefetchTarget::BucketBytes);
}

}  // namespace orvath
