// SPDX-License-Identifier: GPL-3.0-or-later
// The start-up attack tables: masks, distances, step attacks, and the slider lookups, filled
// from the multipliers that the magic search finds (kept in magic_numbers.cpp).
#include "board/bitboard.h"

#include <algorithm>
#include <cstdlib>

#include "board/magic_numbers.h"

namespace orvath {

namespace {

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

// The relevant occupancy of a slider: its empty-board rays without the board's edges, except
// edge squares on the slider's own rank or file.
Bitboard sliderMask(Square square, const int directions[4]) {
    const Bitboard edges = ((Rank1Bits | Rank8Bits) & ~rankMask[rankOf(square)]) |
                           ((FileABits | FileHBits) & ~fileMask[fileOf(square)]);
    return slidingRay(square, 0, directions) & ~edges;
}

// The squares a slider reaches from the square in one direction on an empty board.
Bitboard emptyBoardRay(Square square, int step) {
    Bitboard ray = 0;
    for (Square t = square + step; t >= 0 && t < 64 && squareDistance[t][t - step] == 1; t += step)
        ray |= Bitboard{1} << t;
    return ray;
}

// Fills each square's slice with the attack set of every subset of its mask; entries that no
// subset reaches stay zero. The sets are those of slidingRay, built faster: per direction the
// empty-board ray, cut behind its nearest occupied square (the lowest one for the upward steps,
// the highest for the downward ones).
void fillSlices(const int directions[4], const SliderMagic magics[64], Bitboard* table) {
    Bitboard rays[64][4];
    for (Square square = 0; square < 64; ++square)
        for (int i = 0; i < 4; ++i)
            rays[square][i] = emptyBoardRay(square, directions[i]);

    for (Square square = 0; square < 64; ++square) {
        const SliderMagic& magic = magics[square];
        Bitboard* const slice = table + magic.sliceStart;
        Bitboard subset = 0;
        do {
            Bitboard attacks = 0;
            for (int i = 0; i < 4; ++i) {
                const Bitboard ray = rays[square][i];
                const Bitboard blockers = ray & subset;
                if (blockers == 0) {
                    attacks |= ray;
                    continue;
                }
                const Square nearest = directions[i] > 0 ? __builtin_ctzll(blockers) : 63 - __builtin_clzll(blockers);
                attacks |= ray & ~rays[nearest][i];
            }
            slice[(subset * magic.multiplier) >> magic.shift] = attacks;
            subset = (subset - magic.mask) & magic.mask;
        } while (subset != 0);
    }
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

void layOutSlices(const int directions[4], SliderMagic magics[64]) {
    int32_t sliceStart = 0;
    for (Square square = 0; square < 64; ++square) {
        SliderMagic& magic = magics[square];
        magic.mask = sliderMask(square, directions);
        magic.shift = 64 - smallBitCount(magic.mask);
        magic.sliceStart = sliceStart;
        sliceStart += 1 << (64 - magic.shift);
    }
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

    layOutSlices(BishopDirections, bishopMagics);
    layOutSlices(RookDirections, rookMagics);
    for (Square s = 0; s < 64; ++s) {
        bishopMagics[s].multiplier = bishopMultipliers[magicBoosterRow][s];
        rookMagics[s].multiplier = rookMultipliers[magicBoosterRow][s];
    }
    fillSlices(BishopDirections, bishopMagics, bishopAttackTable);
    fillSlices(RookDirections, rookMagics, rookAttackTable);

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
