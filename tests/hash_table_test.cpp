// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/hash_table.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "board/prefetch.h"

namespace orvath {
namespace {

// Keys that share a bucket differ only in their upper halves.
constexpr uint64_t makeKey(uint32_t upper, uint32_t lower = 5) { return (uint64_t{upper} << 32) | lower; }

std::unique_ptr<HashTable> makeTable(int megabytes = 4) {
    auto table = std::make_unique<HashTable>();
    EXPECT_TRUE(table->resize(megabytes));
    return table;
}

void storeDepth(HashTable& table, uint32_t upper, int depth, int bound = BoundLower, Move move = 0) {
    table.store(makeKey(upper), 100, bound, depth, move, 10, 0);
}

// Fills a bucket with keys 1..4 at depths `depths`, then ages every key not in `current` by
// advancing the generation and storing the current ones again.
void fillBucket(HashTable& table, const int (&depths)[4], const int (&bounds)[4], const bool (&current)[4]) {
    for (uint32_t i = 0; i < 4; ++i)
        storeDepth(table, i + 1, depths[i], bounds[i], encodeMove(A2, A3));
    table.advanceGeneration();
    for (uint32_t i = 0; i < 4; ++i)
        if (current[i])
            storeDepth(table, i + 1, depths[i], bounds[i]);
}

// Which of keys 1..4 the fifth store pushed out.
int replacedSlot(HashTable& table) {
    storeDepth(table, 99, 1);
    int replaced = -1;
    for (uint32_t i = 0; i < 4; ++i)
        if (table.probe(makeKey(i + 1)) == nullptr) {
            EXPECT_EQ(replaced, -1) << "more than one entry replaced";
            replaced = static_cast<int>(i);
        }
    EXPECT_EQ(table.probe(makeKey(99)).slot, &table.bucketOf(makeKey(99))->entries[replaced]);
    return replaced;
}

TEST(HashTableLayout, EntryAndBucketSizes) {
    EXPECT_EQ(sizeof(HashEntry), 16u);
    EXPECT_EQ(offsetof(HashEntry, key32), 0u);
    EXPECT_EQ(offsetof(HashEntry, move), 4u);
    EXPECT_EQ(offsetof(HashEntry, bound), 6u);
    EXPECT_EQ(offsetof(HashEntry, generation), 7u);
    EXPECT_EQ(offsetof(HashEntry, value), 8u);
    EXPECT_EQ(offsetof(HashEntry, depth), 10u);
    EXPECT_EQ(offsetof(HashEntry, staticEval), 12u);
    EXPECT_EQ(offsetof(HashEntry, evalMargin), 14u);
    EXPECT_EQ(sizeof(HashBucket), 64u);
}

TEST(HashTableSize, BucketCountIsLargestFittingPowerOfTwo) {
    EXPECT_EQ(bucketCountForMegabytes(4), 65536u);
    EXPECT_EQ(bucketCountForMegabytes(32), 524288u);
    EXPECT_EQ(bucketCountForMegabytes(33), 524288u);
    EXPECT_EQ(bucketCountForMegabytes(63), 524288u);
    EXPECT_EQ(bucketCountForMegabytes(64), 1048576u);
    EXPECT_EQ(bucketCountForMegabytes(2048), 33554432u);
    EXPECT_EQ(bucketCountForMegabytes(1), 16384u);
    EXPECT_EQ(bucketCountForMegabytes(0), MinBucketCount);
    // Absurd requests neither wrap nor go past what 32 bits of key can index.
    EXPECT_EQ(bucketCountForMegabytes(UINT64_MAX), MaxBucketCount);
}

TEST(HashTableSize, ResizeSetsCountAndAlignment) {
    auto table = makeTable(4);
    EXPECT_EQ(table->bucketCount(), 65536u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(table->bucketOf(0)) % 64, 0u);
    EXPECT_EQ(table->bucketOf(makeKey(7, 65536 + 3)), table->bucketOf(makeKey(9, 3)));
    EXPECT_TRUE(table->resize(-5));
    EXPECT_EQ(table->bucketCount(), MinBucketCount);
}

TEST(HashTableSize, SameSizeKeepsContentsOtherSizeEmpties) {
    auto table = makeTable(4);
    storeDepth(*table, 1, 6);
    EXPECT_TRUE(table->resize(5));  // still 65536 buckets
    EXPECT_NE(table->probe(makeKey(1)), nullptr);
    EXPECT_TRUE(table->resize(8));
    EXPECT_EQ(table->bucketCount(), 131072u);
    EXPECT_EQ(table->probe(makeKey(1)), nullptr);
    storeDepth(*table, 2, 6);
    EXPECT_TRUE(table->resize(0));
    EXPECT_EQ(table->probe(makeKey(2)), nullptr);
}

TEST(HashTableSize, ClearEmptiesEveryBucket) {
    auto table = makeTable(4);
    storeDepth(*table, 1, 6);
    table->store(makeKey(3, 65535), 1, BoundExact, 2, 0, 0, 0);
    table->clear();
    EXPECT_EQ(table->probe(makeKey(1)), nullptr);
    EXPECT_EQ(table->probe(makeKey(3, 65535)), nullptr);
    EXPECT_EQ(table->bucketCount(), 65536u);
}

// Refuses every block larger than `limit` bytes.
template <size_t limit>
void* stingyAllocator(size_t bytes) {
    return bytes > limit ? nullptr : allocateBucketMemory(bytes);
}

TEST(HashTableSize, FailedAllocationKeepsThePreviousTable) {
    const auto owner = std::make_unique<HashTable>(stingyAllocator<(size_t{4} << 20)>);
    HashTable& table = *owner;
    EXPECT_TRUE(table.resize(4));
    storeDepth(table, 1, 6);
    EXPECT_FALSE(table.resize(32));
    EXPECT_EQ(table.bucketCount(), 65536u);
    EXPECT_NE(table.probe(makeKey(1)), nullptr);
}

TEST(HashTableSize, FirstFailedAllocationTakesLargestAvailable) {
    const auto owner = std::make_unique<HashTable>(stingyAllocator<(size_t{2} << 20)>);
    HashTable& table = *owner;
    EXPECT_FALSE(table.resize(32));
    EXPECT_EQ(table.bucketCount(), 32768u);  // 2 MB
    storeDepth(table, 1, 6);
    EXPECT_NE(table.probe(makeKey(1)), nullptr);
}

TEST(HashTableSize, NothingAllocatableLeavesTheMinimumTable) {
    const auto owner = std::make_unique<HashTable>(stingyAllocator<0>);
    HashTable& table = *owner;
    // A table that was never sized already works, and keeps working when nothing can be had.
    EXPECT_EQ(table.bucketCount(), MinBucketCount);
    EXPECT_EQ(table.probe(makeKey(1)), nullptr);
    storeDepth(table, 1, 6);
    EXPECT_FALSE(table.resize(32));
    EXPECT_EQ(table.bucketCount(), MinBucketCount);
    EXPECT_NE(table.probe(makeKey(1)), nullptr);
}

TEST(HashTableSize, ProcessTablePublishesItsBlockForPrefetch) {
    const auto other = makeTable(8);
    EXPECT_TRUE(hashTable.resize(4));
    EXPECT_EQ(prefetchTarget.buckets, reinterpret_cast<const char*>(hashTable.bucketOf(0)));
    EXPECT_EQ(prefetchTarget.bucketMask, 65535u);
    EXPECT_TRUE(other->resize(16));
    EXPECT_EQ(prefetchTarget.buckets, reinterpret_cast<const char*>(hashTable.bucketOf(0)));
}

// A dozen queens evaluate beyond the 16-bit fields: stored at the nearest end of their range,
// never wrapped to a score for the other side.
TEST(HashTableStore, ScoresBeyondSixteenBitsAreSaturated) {
    auto table = makeTable();
    table->store(makeKey(1), 40000, BoundExact, 2, NoMove, 33000, 32768);
    table->store(makeKey(2), -40000, BoundExact, 2, NoMove, -33000, 0);
    const HashProbe high = table->probe(makeKey(1));
    const HashProbe low = table->probe(makeKey(2));
    ASSERT_TRUE(high != nullptr && low != nullptr);
    EXPECT_EQ(high->value, 32767);
    EXPECT_EQ(high->staticEval, 32767);
    EXPECT_EQ(high->evalMargin, 32767);
    EXPECT_EQ(low->value, -32768);
    EXPECT_EQ(low->staticEval, -32768);
}

TEST(HashTableStore, ProbeFindsStoredFields) {
    auto table = makeTable();
    EXPECT_EQ(table->probe(makeKey(1)), nullptr);
    table->advanceGeneration();
    table->store(makeKey(1), -29950, BoundUpper, -4, encodeMove(E2, E4), 30002, 7);
    const HashProbe entry = table->probe(makeKey(1));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->key32, 1u);
    EXPECT_EQ(entry->move, encodeMove(E2, E4));
    EXPECT_EQ(entry->bound, BoundUpper);
    EXPECT_EQ(entry->generation, table->generation());
    EXPECT_EQ(entry->value, -29950);
    EXPECT_EQ(entry->depth, -4);
    EXPECT_EQ(entry->staticEval, NoScore);
    EXPECT_EQ(entry->evalMargin, 7);
    // Only the upper key half is compared; the lower half picks the bucket.
    EXPECT_EQ(table->probe(makeKey(2)), nullptr);
    EXPECT_EQ(table->probe(makeKey(1, 6)), nullptr);
}

TEST(HashTableStore, MoveZeroKeepsTheStoredMove) {
    auto table = makeTable();
    storeDepth(*table, 1, 4, BoundLower, encodeMove(G1, F3));
    table->store(makeKey(1), -3, BoundUpper, 8, NoMove, 1, 0);
    const HashProbe entry = table->probe(makeKey(1));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->move, encodeMove(G1, F3));
    EXPECT_EQ(entry->value, -3);
    EXPECT_EQ(entry->depth, 8);
    EXPECT_EQ(entry->bound, BoundUpper);
    storeDepth(*table, 1, 4, BoundLower, encodeMove(B1, C3));
    EXPECT_EQ(table->probe(makeKey(1))->move, encodeMove(B1, C3));
}

TEST(HashTableReplace, AllCurrentReplacesFirstShallowestWhateverBound) {
    auto table = makeTable();
    fillBucket(*table, {10, 4, 6, 4}, {BoundLower, BoundExact, BoundUpper, BoundUpper}, {true, true, true, true});
    EXPECT_EQ(replacedSlot(*table), 1);
}

TEST(HashTableReplace, OlderNonExactSecondBeatsCurrentFirstWhateverDepth) {
    auto table = makeTable();
    fillBucket(*table, {2, 20, 30, 4}, {BoundLower, BoundUpper, BoundLower, BoundLower}, {true, false, false, true});
    EXPECT_EQ(replacedSlot(*table), 1);
}

TEST(HashTableReplace, LaterOlderShallowerEntryTakesOver) {
    auto table = makeTable();
    fillBucket(*table, {2, 20, 12, 16}, {BoundLower, BoundUpper, BoundLower, BoundExact}, {true, false, false, false});
    EXPECT_EQ(replacedSlot(*table), 2);
}

TEST(HashTableReplace, OlderExactSecondIsKept) {
    auto table = makeTable();
    fillBucket(*table, {2, 5, 30, 40}, {BoundLower, BoundExact, BoundLower, BoundUpper}, {true, false, false, false});
    EXPECT_EQ(replacedSlot(*table), 2);
}

TEST(HashTableReplace, OlderFirstIsNeverDisplacedByCurrentEntries) {
    auto table = makeTable();
    fillBucket(*table, {20, 2, 2, 2}, {BoundUpper, BoundUpper, BoundUpper, BoundUpper}, {false, true, true, true});
    EXPECT_EQ(replacedSlot(*table), 0);
}

TEST(HashTableReplace, AllOlderMovesToShallowerNonExact) {
    auto table = makeTable();
    fillBucket(*table, {10, 8, 6, 12}, {BoundLower, BoundExact, BoundUpper, BoundLower}, {false, false, false, false});
    EXPECT_EQ(replacedSlot(*table), 2);
    auto second = makeTable();
    fillBucket(*second, {10, 8, 6, 4}, {BoundLower, BoundUpper, BoundUpper, BoundLower}, {false, false, false, false});
    EXPECT_EQ(replacedSlot(*second), 3);
}

TEST(HashTableReplace, ReplacementWritesMoveZeroAndCurrentGeneration) {
    auto table = makeTable();
    fillBucket(*table, {10, 4, 6, 8}, {BoundLower, BoundLower, BoundLower, BoundLower}, {false, false, false, false});
    table->advanceGeneration();
    table->store(makeKey(50), 7, BoundExact, 2, NoMove, 3, 0);
    const HashProbe entry = table->probe(makeKey(50));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry.slot, &table->bucketOf(makeKey(50))->entries[1]);
    EXPECT_EQ(entry->move, NoMove);
    EXPECT_EQ(entry->generation, table->generation());
}

TEST(HashTableGeneration, WrapsAfter255AndRefreshMarksEntry) {
    auto table = makeTable();
    const uint8_t start = table->generation();
    storeDepth(*table, 1, 4);
    for (int i = 0; i < 255; ++i)
        table->advanceGeneration();
    EXPECT_EQ(table->generation(), static_cast<uint8_t>(start + 255));
    HashProbe entry = table->probe(makeKey(1));
    ASSERT_NE(entry, nullptr);
    EXPECT_NE(entry->generation, table->generation());
    table->refresh(entry);
    EXPECT_EQ(entry->generation, table->generation());
    table->advanceGeneration();
    EXPECT_EQ(table->generation(), start);
}

// Threads share the table without a lock: a slot read while another thread writes it can hold
// the key word of one write and the data word of another. Such a mix must match neither key,
// or a probe would hand one position the score (a mate, say) of another.
TEST(HashTableSharing, AMixOfTwoWritesMatchesNeitherKey) {
    auto table = makeTable();
    table->store(makeKey(1), 29990, BoundExact, 20, encodeMove(E2, E4), 5, 0);
    table->store(makeKey(2), -120, BoundUpper, 6, encodeMove(D2, D4), -7, 0);
    HashSlot* slots = table->bucketOf(makeKey(1))->entries;
    ASSERT_NE(table->probe(makeKey(1)), nullptr);
    ASSERT_NE(table->probe(makeKey(2)), nullptr);
    // The second word of each slot is its data word.
    std::memcpy(reinterpret_cast<char*>(&slots[0]) + 8, reinterpret_cast<const char*>(&slots[1]) + 8, 8);
    EXPECT_EQ(table->probe(makeKey(1)), nullptr);
    EXPECT_EQ(table->probe(makeKey(2)).slot, &slots[1]);
}

TEST(HashTableValues, MateScoresShiftByPly) {
    EXPECT_EQ(valueToTable(29990, 7), 29997);
    EXPECT_EQ(valueToTable(-29990, 7), -29997);
    EXPECT_EQ(valueToTable(29899, 7), 29899);
    EXPECT_EQ(valueToTable(-29899, 7), -29899);
    EXPECT_EQ(valueToTable(MateThreshold, 3), MateThreshold + 3);
    EXPECT_EQ(valueFromTable(29997, 7), 29990);
    EXPECT_EQ(valueFromTable(-29997, 7), -29990);
    EXPECT_EQ(valueFromTable(-MateThreshold, 3), -MateThreshold + 3);
    EXPECT_EQ(valueFromTable(150, 40), 150);
    for (int v : {-30000 + 12, -29900, 0, 29900, 30000 - 12})
        EXPECT_EQ(valueFromTable(valueToTable(v, 12), 12), v);
}

}  // namespace
}  // namespace orvath
