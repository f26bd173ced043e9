// SPDX-License-Identifier: GPL-3.0-or-later
// The transposition table: buckets of four entries, one cache line each, with an age counter
// so that entries left by older searches are replaced first.
#pragma once

#include <atomic>
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

// What one entry holds, as a probe reads it: a copy, which no other thread can change under
// the reader.
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

// One entry as the table keeps it, shared by every search thread: two words, each written and
// read whole, without a lock. The key half is stored XOR-ed with both halves of the data word,
// so that a reader who meets the words of two different writes (one thread storing while
// another reads, or two storing at once) sees a key that matches neither position and takes
// the entry for a foreign one. The entry a probe returns is thus always one whole write.
class HashSlot {
public:
    HashEntry load() const {
        return decode(keyWord.load(std::memory_order_relaxed), dataWord.load(std::memory_order_relaxed));
    }
    void save(const HashEntry& entry) {
        const uint64_t data = static_cast<uint64_t>(static_cast<uint16_t>(entry.value)) |
                              static_cast<uint64_t>(static_cast<uint16_t>(entry.depth)) << 16 |
                              static_cast<uint64_t>(static_cast<uint16_t>(entry.staticEval)) << 32 |
                              static_cast<uint64_t>(static_cast<uint16_t>(entry.evalMargin)) << 48;
        const uint64_t key = static_cast<uint64_t>(entry.key32 ^ fold(data)) | uint64_t{entry.move} << 32 |
                             uint64_t{entry.bound} << 48 | uint64_t{entry.generation} << 56;
        dataWord.store(data, std::memory_order_relaxed);
        keyWord.store(key, std::memory_order_relaxed);
    }
    // Whether the slot holds the position whose key half is `key32` (0: the slot is empty).
    bool holds(uint32_t key32) const {
        return (static_cast<uint32_t>(keyWord.load(std::memory_order_relaxed)) ^
                fold(dataWord.load(std::memory_order_relaxed))) == key32;
    }
    // Gives the entry `generation`. Racing a store, the slot may end up with one word of each
    // write; the check above then makes it a foreign entry, which only costs a table hit.
    void setGeneration(uint8_t generation) {
        const uint64_t key = keyWord.load(std::memory_order_relaxed);
        keyWord.store((key & ~(uint64_t{0xFF} << 56)) | uint64_t{generation} << 56, std::memory_order_relaxed);
    }

private:
    static uint32_t fold(uint64_t data) { return static_cast<uint32_t>(data) ^ static_cast<uint32_t>(data >> 32); }
    static HashEntry decode(uint64_t key, uint64_t data) {
        return HashEntry{static_cast<uint32_t>(key) ^ fold(data),
                         static_cast<uint16_t>(key >> 32),
                         static_cast<uint8_t>(key >> 48),
                         static_cast<uint8_t>(key >> 56),
                         static_cast<int16_t>(static_cast<uint16_t>(data)),
                         static_cast<int16_t>(static_cast<uint16_t>(data >> 16)),
                         static_cast<int16_t>(static_cast<uint16_t>(data >> 32)),
                         static_cast<int16_t>(static_cast<uint16_t>(data >> 48))};
    }

    std::atomic<uint64_t> keyWord{0};   // key32 ^ fold(data), move, bound, generation
    std::atomic<uint64_t> dataWord{0};  // value, depth, staticEval, evalMargin
};
static_assert(sizeof(HashSlot) == 16);
static_assert(std::atomic<uint64_t>::is_always_lock_free);

constexpr int BucketEntries = 4;

struct alignas(64) HashBucket {
    HashSlot entries[BucketEntries];
};
static_assert(sizeof(HashBucket) == 64);

// The result of a probe: a copy of the matching entry and the slot it was read from.
struct HashProbe {
    HashEntry entry{};
    HashSlot* slot = nullptr;

    explicit operator bool() const { return slot != nullptr; }
    bool operator==(std::nullptr_t) const { return slot == nullptr; }
    const HashEntry* operator->() const { return &entry; }
    const HashEntry& operator*() const { return entry; }
    // Reads the slot again, whatever it holds now: a node that searched below itself since its
    // probe sees what those searches (or other threads) left there, as a plain memory read would.
    void reload() {
        if (slot != nullptr)
            entry = slot->load();
    }
};

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

    // The first entry of the key's bucket whose key half matches; an empty probe when none does.
    HashProbe probe(uint64_t key) const {
        const uint32_t key32 = static_cast<uint32_t>(key >> 32);
        HashSlot* entries = bucketOf(key)->entries;
        for (int i = 0; i < BucketEntries; ++i) {
            const HashEntry entry = entries[i].load();
            if (entry.key32 == key32)
                return HashProbe{entry, &entries[i]};
        }
        return HashProbe{};
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
    // Marks a probed entry as used by the current search, so that it is not the first to go.
    void refresh(HashProbe& probe) const {
        probe.slot->setGeneration(currentGeneration);
        probe.entry.generation = currentGeneration;
    }

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
