// SPDX-License-Identifier: GPL-3.0-or-later
// The transposition table: buckets of four entries, one cache line each, with an age counter
// so that entries left by older searches are replaced first.
#pragma once

#include <cstddef>
#include <cstdint>

#include "board/types.h"
#include "search/search_constants.h"

namespace orvath {

// Bound bits of an entry: the lower and upper bound bits together make an exact score.
constexpr int BoundNone = 0;  // the entry only carries a static evaluation
constexpr int BoundUpper = 1;
constexpr int BoundLower = 2;
constexpr int BoundExact = 3;

struct HashEntry {
    uint32_t key32;  // upper half of the position key
    uint16_t move;
    uint8_t bound;
    uint8_t generation;
    int16_t value;  // mate scores relative to the node, see valueToTable
    int16_t depth;  // half-plies
    int16_t staticEval;
    int16_t evalMargin;
};
static_assert(sizeof(HashEntry) == 16);

constexpr int BucketEntries = 4;

struct alignas(64) HashBucket {
    HashEntry entries[BucketEntries];
};
static_assert(sizeof(HashBucket) == 64);

constexpr uint64_t MinBucketCount = 1024;
// Bucket indices come from the low 32 bits of the key, so more buckets could never be reached.
constexpr uint64_t MaxBucketCount = uint64_t{1} << 32;

// The bucket count of a table of `megabytes`: the largest power of two whose buckets fit
// in the request, at least MinBucketCount.
uint64_t bucketCountForMegabytes(uint64_t megabytes);

// Where larger tables come from: a zeroed block aligned to at least 64 bytes, or nullptr when
// the memory cannot be had. Blocks are given back with freeBucketMemory and their size.
using BucketAllocator = void* (*)(size_t bytes);
void* allocateBucketMemory(size_t bytes);
void freeBucketMemory(void* block, size_t bytes);

class HashTable {
public:
    // A new table is empty and holds MinBucketCount buckets in its own storage, so probe and
    // store are valid before the first resize and whatever the allocator does later.
    explicit constexpr HashTable(BucketAllocator allocator = allocateBucketMemory)
        : buckets(minimumBlock), bucketMask(MinBucketCount - 1), allocate(allocator) {}
    ~HashTable();
    HashTable(const HashTable&) = delete;
    HashTable& operator=(const HashTable&) = delete;

    // Sizes the table for `megabytes`; an unchanged bucket count keeps the contents, any
    // other count gives an empty table whose every page has been written, so that the search
    // that follows meets no first-touch page faults. Returns false when the memory for the
    // requested count could not be had: the previous allocated table then stays as it was,
    // and a table that never had one takes the largest smaller size that can be allocated.
    // A count that could not be had is not tried again until another one has been asked for.
    bool resize(int megabytes);
    void clear();
    // Where later blocks come from; a harness that must bound its memory limits it.
    void useAllocator(BucketAllocator allocator) { allocate = allocator; }

    // The entry of the bucket whose stored key half matches, or nullptr.
    HashEntry* probe(uint64_t key) const {
        const uint32_t key32 = static_cast<uint32_t>(key >> 32);
        HashEntry* entries = bucketOf(key)->entries;
        for (int i = 0; i < BucketEntries; ++i)
            if (entries[i].key32 == key32)
                return &entries[i];
        return nullptr;
    }

    void store(uint64_t key, int value, int bound, int depth, Move move, int staticEval, int evalMargin);

    HashBucket* bucketOf(uint64_t key) const {
        return buckets + (static_cast<uint32_t>(key) & bucketMask);
    }

    uint64_t bucketCount() const { return uint64_t{bucketMask} + 1; }
    uint64_t sizeInBytes() const { return bucketCount() * sizeof(HashBucket); }
    // The bucket count whose memory could not be had at the last resize, 0 when it succeeded.
    uint64_t refusedBucketCount() const { return refusedCount; }

    // The age counter: advanced once per search, wrapping from 255 to 0.
    uint8_t generation() const { return currentGeneration; }
    void advanceGeneration() { currentGeneration = static_cast<uint8_t>(currentGeneration + 1); }
    // Marks an entry as used by the current search, so that it is not the first to go.
    void refresh(HashEntry& entry) const { entry.generation = currentGeneration; }

private:
    HashBucket* allocateBuckets(uint64_t count) const;
    void adoptBlock(HashBucket* block, uint64_t count);
    void publishPrefetchTarget() const;

    HashBucket* buckets;
    uint32_t bucketMask;
    BucketAllocator allocate;
    uint8_t currentGeneration = 0;
    uint64_t refusedCount = 0;  // the last bucket count whose memory could not be had
    HashBucket minimumBlock[MinBucketCount] = {};
};

// The process-wide table.
extern HashTable hashTable;

// The bound of a fail-soft result searched with the window (alpha, beta).
constexpr int boundOf(int bestValue, int alpha, int beta) {
    if (bestValue >= beta)
        return BoundLower;
    return bestValue > alpha ? BoundExact : BoundUpper;
}

// Mate scores are stored relative to the node and read back relative to the root.
constexpr int valueToTable(int value, int ply) {
    if (value >= MateThreshold)
        return value + ply;
    if (value <= -MateThreshold)
        return value - ply;
    return value;
}

constexpr int valueFromTable(int value, int ply) {
    if (value >= MateThreshold)
        return value - ply;
    if (value <= -MateThreshold)
        return value + ply;
    return value;
}

}  // namespace orvath
