// SPDX-License-Identifier: GPL-3.0-or-later
// Sizing, clearing and the replacement rule of the transposition table.
#include "search/hash_table.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "board/prefetch.h"
#include "platform/platform.h"

namespace orvath {

constexpr uint64_t BytesPerMegabyte = uint64_t{1} << 20;
constexpr uint64_t BucketBytes = sizeof(HashBucket);
// A table takes at most half of the request in buckets of 64 bytes: count x 128 <= bytes.
constexpr uint64_t RequestBytesPerBucket = 2 * BucketBytes;
// Requests are capped before they are turned into bytes so that the product cannot wrap.
constexpr uint64_t MaxMegabytes = (MaxBucketCount * RequestBytesPerBucket) / BytesPerMegabyte;

constinit HashTable hashTable;

uint64_t bucketCountForMegabytes(uint64_t megabytes) {
    const uint64_t bytes = (megabytes < MaxMegabytes ? megabytes : MaxMegabytes) * BytesPerMegabyte;
    uint64_t count = MinBucketCount;
    while (count < MaxBucketCount && count * RequestBytesPerBucket <= bytes)
        count *= 2;
    return count;
}

// Tables come from the operating system's large-block memory: page-aligned (2 MiB on Linux,
// with huge pages where the kernel gives them), so every bucket starts a cache line.
void* allocateBucketMemory(size_t bytes) { return platform::allocateLargeBlock(bytes); }

void freeBucketMemory(void* block, size_t bytes) { platform::freeLargeBlock(block, bytes); }

// A zeroed block of `count` buckets, or nullptr when the memory cannot be had.
HashBucket* HashTable::allocateBuckets(uint64_t count) const {
    if (count > SIZE_MAX / BucketBytes)
        return nullptr;
    return static_cast<HashBucket*>(allocate(static_cast<size_t>(count * BucketBytes)));
}

HashTable::~HashTable() {
    if (this == &hashTable && prefetchTarget.buckets == reinterpret_cast<const char*>(buckets))
        prefetchTarget = PrefetchTarget{};
    if (buckets != minimumBlock)
        freeBucketMemory(buckets, static_cast<size_t>(sizeInBytes()));
}

// Replaces the present block by `block`, which is zero. Writing the zeros once more maps every
// page now, while no search's clock runs: left to the search, each first touch of a page would
// trap into the kernel in the middle of a timed move.
void HashTable::adoptBlock(HashBucket* block, uint64_t count) {
    if (buckets != minimumBlock)
        freeBucketMemory(buckets, static_cast<size_t>(sizeInBytes()));
    buckets = block;
    bucketMask = static_cast<uint32_t>(count - 1);
    clear();
}

// Make move prefetches the child's bucket from the process-wide table only.
void HashTable::publishPrefetchTarget() const {
    if (this != &hashTable)
        return;
    prefetchTarget.buckets = reinterpret_cast<const char*>(buckets);
    prefetchTarget.bucketMask = bucketMask;
}

bool HashTable::resize(int megabytes) {
    const uint64_t count = bucketCountForMegabytes(megabytes > 0 ? static_cast<uint64_t>(megabytes) : 0);
    bool resized = true;
    if (count == bucketCount()) {
        // Same size: the contents stay.
    } else if (count == refusedCount) {
        resized = false;
    } else if (count == MinBucketCount) {
        adoptBlock(minimumBlock, MinBucketCount);
    } else if (HashBucket* block = allocateBuckets(count)) {
        adoptBlock(block, count);
    } else if (buckets == minimumBlock) {
        // There was no allocated table to fall back on: take the largest one that can be had.
        resized = false;
        for (uint64_t smaller = count / 2; smaller > bucketCount(); smaller /= 2) {
            if (HashBucket* fallback = allocateBuckets(smaller)) {
                adoptBlock(fallback, smaller);
                break;
            }
        }
    } else {
        resized = false;
    }
    refusedCount = resized ? 0 : count;
    publishPrefetchTarget();
    return resized;
}

void HashTable::clear() { std::memset(static_cast<void*>(buckets), 0, static_cast<size_t>(sizeInBytes())); }

namespace {

// A score as the table's 16-bit fields can hold it: a value beyond their range (an evaluation
// of a dozen queens) keeps its sign and its size as far as it can, instead of wrapping into a
// score of the other side.
int16_t saturated(int value) {
    return static_cast<int16_t>(
        std::clamp(value, int{std::numeric_limits<int16_t>::min()}, int{std::numeric_limits<int16_t>::max()}));
}

}  // namespace

// The first empty or matching entry takes the new data; otherwise the entry chosen by age,
// exactness and depth is overwritten.
void HashTable::store(uint64_t key, int value, int bound, int depth, Move move, int staticEval, int evalMargin) {
    const uint32_t key32 = static_cast<uint32_t>(key >> 32);
    HashSlot* entries = bucketOf(key)->entries;
    const auto entryWith = [&](Move entryMove) {
        return HashEntry{key32,
                         entryMove,
                         static_cast<uint8_t>(bound),
                         currentGeneration,
                         saturated(value),
                         static_cast<int16_t>(depth),
                         saturated(staticEval),
                         saturated(evalMargin)};
    };
    HashSlot* replace = entries;
    HashEntry replaced = entries[0].load();
    for (int i = 0; i < BucketEntries; ++i) {
        const HashEntry entry = entries[i].load();
        if (entry.key32 == 0 || entry.key32 == key32) {
            entries[i].save(entryWith(move != NoMove ? move : entry.move));
            return;
        }
        const int replaceIsCurrent = replaced.generation == currentGeneration ? 2 : 0;
        const int entryIsKept = (entry.generation == currentGeneration || entry.bound == BoundExact) ? -2 : 0;
        const int entryIsShallower = entry.depth < replaced.depth ? 1 : 0;
        if (replaceIsCurrent + entryIsKept + entryIsShallower > 0) {
            replace = &entries[i];
            replaced = entry;
        }
    }
    replace->save(entryWith(move));
}

}  // namespace orvath
