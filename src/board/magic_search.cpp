// SPDX-License-Identifier: GPL-3.0-or-later
// The magic search: for each square in order, candidates drawn from one generator until one
// maps every subset of the mask onto the square's slice without a conflict.
#include "board/magic_search.h"

#include <algorithm>
#include <memory>

#include "board/magic_random.h"

namespace orvath {

namespace {

// A candidate is verified only if its product with the mask sets this many bits of the top byte.
constexpr int QuickTestMinBits = 6;
constexpr int MaxMaskBits = 12;
constexpr int MaxMaskSubsets = 1 << MaxMaskBits;

struct MagicSearchCounts {
    int64_t drawn = 0;
    int64_t verified = 0;
};

// The working storage of one search.
struct MagicScratch {
    // The subsets of the square being searched and their reference attack sets.
    Bitboard maskSubsets[MaxMaskSubsets];
    Bitboard subsetAttacks[MaxMaskSubsets];
    // The slice being tried.
    Bitboard slice[MaxMaskSubsets];
    // The verification attempt that last wrote each slice entry. An entry written by an earlier
    // attempt counts as zero, which spares clearing the whole slice for every candidate (a rook
    // corner verifies tens of thousands of them).
    uint32_t entryAttempt[MaxMaskSubsets];
};

// Draws candidates until one maps every subset of the mask onto the square's slice without
// a conflict, and keeps it.
void findMagic(Square square, const int directions[4], int booster, MagicRandom& random, SliderMagic& magic,
               MagicScratch& scratch, MagicSearchCounts& counts) {
    // Whether a candidate fits does not depend on the order of the checks. Bad candidates mostly
    // collide among subsets of few blockers, so the subsets are laid out by blocker count, fewest
    // first, to reject them early.
    const int maskBits = 64 - magic.shift;
    int firstOfCount[MaxMaskBits + 2] = {};
    Bitboard subset = 0;
    do {
        ++firstOfCount[smallBitCount(subset) + 1];
        subset = (subset - magic.mask) & magic.mask;
    } while (subset != 0);
    for (int bits = 1; bits <= maskBits + 1; ++bits)
        firstOfCount[bits] += firstOfCount[bits - 1];
    do {
        const int i = firstOfCount[smallBitCount(subset)]++;
        scratch.maskSubsets[i] = subset;
        scratch.subsetAttacks[i] = slidingRay(square, subset, directions);
        subset = (subset - magic.mask) & magic.mask;
    } while (subset != 0);
    const int subsetCount = 1 << maskBits;

    const Bitboard mask = magic.mask;
    const int shift = magic.shift;
    std::fill(scratch.entryAttempt, scratch.entryAttempt + subsetCount, 0u);
    for (uint32_t attempt = 1;; ++attempt) {
        Bitboard candidate;
        do {
            candidate = random.magicCandidate(booster);
            ++counts.drawn;
        } while (byteBitCount[(mask * candidate) >> 56] < QuickTestMinBits);
        ++counts.verified;

        // Every entry starts out empty for this attempt; a fit needs equal sets wherever two
        // subsets meet.
        bool fits = true;
        for (int i = 0; i < subsetCount && fits; ++i) {
            const int index = static_cast<int>((scratch.maskSubsets[i] * candidate) >> shift);
            if (scratch.entryAttempt[index] != attempt) {
                scratch.entryAttempt[index] = attempt;
                scratch.slice[index] = scratch.subsetAttacks[i];
            } else if (scratch.slice[index] != scratch.subsetAttacks[i]) {
                fits = false;
            }
        }
        if (fits) {
            magic.multiplier = candidate;
            return;
        }
    }
}

}  // namespace

const int32_t magicBooster[MagicBoosterRows][8] = {
    {3191, 2184, 1310, 3618, 2091, 1308, 2452, 3996},
    {1059, 3608, 605, 3234, 3326, 38, 2029, 3043},
};

MagicSearchReport findMagicMultipliers(PieceType slider, int boosterRow, Bitboard multipliers[64],
                                       Square lastSquare) {
    const int* directions = slider == Rook ? RookDirections : BishopDirections;
    SliderMagic magics[64];
    layOutSlices(directions, magics);
    const auto scratch = std::make_unique<MagicScratch>();
    MagicRandom random;
    MagicSearchCounts counts;
    for (Square square = 0; square <= lastSquare; ++square) {
        counts = MagicSearchCounts{};
        findMagic(square, directions, magicBooster[boosterRow][rankOf(square)], random, magics[square], *scratch,
                  counts);
        multipliers[square] = magics[square].multiplier;
    }
    return {magics[lastSquare].multiplier, counts.drawn, counts.verified};
}

}  // namespace orvath
