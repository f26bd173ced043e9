// Sizing, clearing and the replacement rule of the transposition table.
#include "search/hash_table.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/prefetch.h"

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

// calloc takes large blocks fresh from the operating system, already zero, so a new table
// costs no pass over its memory: its pages are touched as the search reaches them. Writing
// zeros here instead would cost a noticeable part of the first move's time on a large table.
// The block is aligned by hand; the pointer calloc gave sits just before it.
void* allocateBucketMemory(size_t bytes) {
    constexpr size_t Slack = 2 * BucketBytes;
    if (bytes > SIZE_MAX - Slack)
        return nullptr;
    void* raw = std::calloc(1, bytes + Slack);
    if (raw == nullptr)
        return nullptr;
    const uintptr_t aligned = (reinterpret_cast<uintptr_t>(raw) + Slack) & ~uintptr_t{BucketBytes - 1};
    reinterpret_cast<void**>(aligned)[-1] = raw;
    return reinterpret_cast<void*>(aligned);
}

void freeBucketMemory(void* block) { std::free(static_cast<void**>(block)[-1]); }

// A zeroed block of `count` buckets, or nullptr when the memory cannot be had.
HashBucket* HashTable::allocateBuckets(uint64_t count) const {
    if (count > SIZE_MAX / BucketBytes)
        return nullptr;
    return static_cast<HashBucket*>(allocate(static_cast<size_t>(count * BucketBytes)));
}

static void freeBuckets(HashBucket* block) { freeBucketMemory(block); }

HashTable::~HashTable() {
    if (this == &hashTable && prefetchTarget.buckets == reinterpret_cast<const char*>(buckets))
        prefetchTarget = PrefetchTarget{};
    if (buckets != minimumBlock)
        freeBuckets(buckets);
}

// Replaces the present block by `block`, which the caller has zeroed.
void HashTable::adoptBlock(HashBucket* block, uint64_t count) {
    if (buckets != minimumBlock)
        freeBuckets(buckets);
    buckets = block;
    bucketMask = static_cast<uint32_t>(count - 1);
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
    } else if (count == MinBucketCount) {
        std::memset(static_cast<void*>(minimumBlock), 0, sizeof(minimumBlock));
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
    publishPrefetchTarget();
    return resized;
}

void HashTable::clear() {
    std::memset(static_cast<void*>(buckets), 0, static_cast<size_t>(bucketCount() * BucketBytes));
}

// The first empty or matching entry takes the new data; otherwise the entry chosen by age,
// exactness and depth is overwritten.
void HashTable::store(uint64_t key, int value, int bound, int depth, Move move, int staticEval, int evalMargin) {
    const uint32_t key32 = static_cast<uint32_t>(key >> 32);
    HashEntry* entries = bucketOf(key)->entries;
    const auto entryWith = [&](Move entryMove) {
        return HashEntry{key32,
                         entryMove,
                         static_cast<uint8_t>(bound),
                         currentGeneration,
                         static_cast<int16_t>(value),
                         static_cast<int16_t>(depth),
                         static_cast<int16_t>(staticEval),
                         static_cast<int16_t>(evalMargin)};
    };
    HashEntry* replace = entries;
    for (int i = 0; i < BucketEntries; ++i) {
        HashEntry& entry = entries[i];
        if (entry.key32 == 0 || entry.key32 == key32) {
            entry = entryWith(move != NoMove ? move : entry.move);
            return;
        }
        const int replaceIsCurrent = replace->generation == currentGeneration ? 2 : 0;
        const int entryIsKept = (entry.generation == currentGeneration || entry.bound == BoundExact) ? -2 : 0;
        const int entryIsShallower = entry.depth < replace->depth ? 1 : 0;
        if (replaceIsCurrent + entryIsKept + entryIsShallower > 0)
            replace = &entry;
    }
    *replace = entryWith(move);
}

}  // namespace orvath
