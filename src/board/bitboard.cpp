// The start-up attack tables: masks, distances, step attacks, and the slider lookups whose
// multipliers are searched afresh at every start with a fixed generator (none is stored).
#include "board/bitboard.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "board/magic_random.h"

namespace orvath {

namespace {

// A candidate is verified only if its product with the mask sets this many bits of the top byte.
constexpr int QuickTestMinBits = 6;
constexpr int MaxMaskBits = 12;
constexpr int MaxMaskSubsets = 1 << MaxMaskBits;

constexpr int BishopDirections[4] = {9, -7, -9, 7};
constexpr int RookDirections[4] = {8, 1, -8, -1};

// White's steps per piece type; black takes them negated.
struct StepList {
    int count;
    int steps[8];
};
constexpr StepList PieceSteps[7] = {
    {0, {}},
    {2, {7, 9}},
    {8, {17, 15, 10, 6, -6, -10, -15, -17}},
    {0, {}},
    {0, {}},
    {0, {}},
    {8, {9, 7, -7, -9, 8, 1, -1, -8}},
};

// The subsets of the square being searched and their reference attack sets.
Bitboard maskSubsets[MaxMaskSubsets];
Bitboard subsetAttacks[MaxMaskSubsets];
// The verification attempt that last wrote each slice entry. An entry written by an earlier
// attempt counts as zero, which spares clearing the whole slice for every candidate (a rook
// corner verifies tens of thousands of them).
uint32_t entryAttempt[MaxMaskSubsets];

struct MagicSearchCounts {
    int64_t drawn = 0;
    int64_t verified = 0;
};

// The relevant occupancy of a slider: its empty-board rays without the board's edges, except
// edge squares on the slider's own rank or file.
Bitboard sliderMask(Square square, const int directions[4]) {
    const Bitboard edges = ((Rank1Bits | Rank8Bits) & ~rankMask[rankOf(square)]) |
                           ((FileABits | FileHBits) & ~fileMask[fileOf(square)]);
    return slidingRay(square, 0, directions) & ~edges;
}

// Draws candidates until one maps every subset of the mask onto the square's slice without
// a conflict, and keeps it. The slice is left filled with the square's attack sets.
void findMagic(Square square, const int directions[4], int booster, MagicRandom& random,
               SliderMagic& magic, Bitboard* slice, MagicSearchCounts& counts) {
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
        maskSubsets[i] = subset;
        subsetAttacks[i] = slidingRay(square, subset, directions);
        subset = (subset - magic.mask) & magic.mask;
    } while (subset != 0);
    const int subsetCount = 1 << maskBits;

    const Bitboard mask = magic.mask;
    const int shift = magic.shift;
    std::fill(entryAttempt, entryAttempt + subsetCount, 0u);
    for (uint32_t attempt = 1;; ++attempt) {
        Bitboard candidate;
        do {
            candidate = random.magicCandidate(booster);
            ++counts.drawn;
        } while (byteBitCount[(mask * candidate) >> 56] < QuickTestMinBits);
        ++counts.verified;

        // Every entry starts out empty for this attempt. No slider attack set is empty, so a
        // zero entry can mean "unused" in the finished table.
        bool fits = true;
        for (int i = 0; i < subsetCount && fits; ++i) {
            const int index = static_cast<int>((maskSubsets[i] * candidate) >> shift);
            if (entryAttempt[index] != attempt) {
                entryAttempt[index] = attempt;
                slice[index] = subsetAttacks[i];
            } else if (slice[index] != subsetAttacks[i]) {
                fits = false;
            }
        }
        if (fits) {
            for (int index = 0; index < subsetCount; ++index)
                if (entryAttempt[index] != attempt)
                    slice[index] = 0;
            magic.multiplier = candidate;
            return;
        }
    }
}

// One slider kind's search over squares 0..lastSquare, with a generator of its own. Returns
// the figures of the last square.
MagicSearchCounts searchSliderMagics(const int directions[4], SliderMagic magics[64], Bitboard* table,
                                     Square lastSquare) {
    const int32_t* boosters = magicBooster[isW32Flavour ? 0 : 1];
    MagicRandom random;
    MagicSearchCounts counts;
    int32_t sliceStart = 0;
    for (Square square = 0; square <= lastSquare; ++square) {
        SliderMagic& magic = magics[square];
        magic.mask = sliderMask(square, directions);
        magic.shift = 64 - smallBitCount(magic.mask);
        magic.sliceStart = sliceStart;
        counts = MagicSearchCounts{};
        findMagic(square, directions, boosters[rankOf(square)], random, magic, table + sliceStart, counts);
        sliceStart += 1 << (64 - magic.shift);
    }
    return counts;
}

}  // namespace

Bitboard squareMask[64];
Bitboard squareClearMask[65];
Bitboard fileMask[8];
Bitboard rankMask[8];
int32_t squareDistance[64][64];
Bitboard stepAttacks[16][64];
Bitboard passedPawnSpan[2][64];
Bitboard betweenMask[64][64];
Bitboard bishopEmptyAttacks[64];
Bitboard rookEmptyAttacks[64];
Bitboard queenEmptyAttacks[64];
SliderMagic bishopMagics[64];
SliderMagic rookMagics[64];
Bitboard bishopAttackTable[BishopAttackTableSize];
Bitboard rookAttackTable[RookAttackTableSize];
int32_t byteBitCount[256];
int32_t bitScanTable[64];

const int32_t magicBooster[2][8] = {
    {3191, 2184, 1310, 3618, 2091, 1308, 2452, 3996},
    {1059, 3608, 605, 3234, 3326, 38, 2029, 3043},
};

// Sums bit pairs and nibbles of both halves, then folds the nibbles with one multiply; the
// fold leaves out the usual per-byte step, so it is exact only up to 15 set bits.
int smallBitCount(Bitboard bits) {
    const uint32_t low = static_cast<uint32_t>(bits);
    const uint32_t high = static_cast<uint32_t>(bits >> 32);
    const uint32_t lowPairs = low - ((low >> 1) & 0x55555555u);
    const uint32_t highPairs = high - ((high >> 1) & 0x55555555u);
    const uint32_t nibbles = (lowPairs & 0x33333333u) + ((lowPairs >> 2) & 0x33333333u) +
                             (highPairs & 0x33333333u) + ((highPairs >> 2) & 0x33333333u);
    return static_cast<int>((nibbles * 0x11111111u) >> 28);
}

// Walks each direction until the edge or the first occupied square, which is included.
Bitboard slidingRay(Square square, Bitboard occupied, const int directions[4]) {
    Bitboard attacks = 0;
    for (int i = 0; i < 4; ++i) {
        const int d = directions[i];
        for (Square t = square + d; t >= 0 && t < 64 && squareDistance[t][t - d] == 1; t += d) {
            attacks |= Bitboard{1} << t;
            if (occupied & (Bitboard{1} << t))
                break;
        }
    }
    return attacks;
}

MagicSearchReport replayMagicSearch(PieceType slider, Square square) {
    const bool rook = slider == Rook;
    std::vector<Bitboard> table(rook ? RookAttackTableSize : BishopAttackTableSize);
    SliderMagic magics[64];
    const MagicSearchCounts counts =
        searchSliderMagics(rook ? RookDirections : BishopDirections, magics, table.data(), square);
    return {magics[square].multiplier, counts.drawn, counts.verified};
}

void initAttackTables() {
    // The 32-bit bit scan's table comes first, so that every later step may scan bits.
    for (Square s = 0; s < 64; ++s)
        bitScanTable[bitScanIndex(Bitboard{1} << s)] = s;

    for (int b = 0; b < 256; ++b)
        byteBitCount[b] = smallBitCount(static_cast<Bitboard>(b));

    for (Square s1 = 0; s1 < 64; ++s1)
        for (Square s2 = 0; s2 < 64; ++s2)
            squareDistance[s1][s2] = std::max(std::abs(fileOf(s1) - fileOf(s2)), std::abs(rankOf(s1) - rankOf(s2)));

    for (Square s = 0; s < 64; ++s) {
        squareMask[s] = Bitboard{1} << s;
        squareClearMask[s] = ~squareMask[s];
    }
    squareClearMask[NoSquare] = ~Bitboard{0};
    for (int i = 0; i < 8; ++i) {
        fileMask[i] = FileABits << i;
        rankMask[i] = Rank1Bits << (8 * i);
    }

    for (Square s = 0; s < 64; ++s) {
        const int file = fileOf(s);
        const Bitboard files = fileMask[file] | (file > 0 ? fileMask[file - 1] : 0) | (file < 7 ? fileMask[file + 1] : 0);
        Bitboard whiteAhead = 0;
        Bitboard blackAhead = 0;
        for (int rank = 0; rank < 8; ++rank) {
            if (rank > rankOf(s))
                whiteAhead |= rankMask[rank];
            if (rank < rankOf(s))
                blackAhead |= rankMask[rank];
        }
        passedPawnSpan[White][s] = files & whiteAhead;
        passedPawnSpan[Black][s] = files & blackAhead;
    }

    // A step that wraps across the board's edge lands three or more files away.
    for (Colour colour = White; colour <= Black; ++colour)
        for (PieceType type = Pawn; type <= King; ++type)
            for (Square s = 0; s < 64; ++s)
                for (int i = 0; i < PieceSteps[type].count; ++i) {
                    const int step = colour == White ? PieceSteps[type].steps[i] : -PieceSteps[type].steps[i];
                    const Square target = s + step;
                    if (target >= 0 && target < 64 && squareDistance[s][target] < 3)
                        stepAttacks[makePiece(colour, type)][s] |= squareMask[target];
                }

    searchSliderMagics(BishopDirections, bishopMagics, bishopAttackTable, 63);
    searchSliderMagics(RookDirections, rookMagics, rookAttackTable, 63);

    for (Square s = 0; s < 64; ++s) {
        bishopEmptyAttacks[s] = bishopAttacks(s, 0);
        rookEmptyAttacks[s] = rookAttacks(s, 0);
        queenEmptyAttacks[s] = bishopEmptyAttacks[s] | rookEmptyAttacks[s];
    }

    for (Square s1 = 0; s1 < 64; ++s1) {
        Bitboard aligned = queenEmptyAttacks[s1];
        while (aligned) {
            const Square s2 = popLowestSquare(aligned);
            const int step = (s2 - s1) / squareDistance[s1][s2];
            for (Square t = s1 + step; t != s2; t += step)
                betweenMask[s1][s2] |= squareMask[t];
        }
    }
}

}  // namespace orvath
