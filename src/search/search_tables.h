// SPDX-License-Identifier: GPL-3.0-or-later
// The search's start-up tables: late-move reductions, futility margins, move-count limits.
#pragma once

#include <cstdint>

namespace orvath {

// Rows of the reduction table.
constexpr int ReductionNonPv = 0;
constexpr int ReductionPv = 1;

constexpr int ReductionDepthCap = 63;  // plies
constexpr int MoveNumberCap = 63;
constexpr int FutilityDepthLimit = 14;  // half-plies; from here on futility pruning never fires
constexpr int FutilityOff = 60002;      // above every score
constexpr int LateMoveDepthLimit = 32;  // half-plies; from here on no move is pruned by count
constexpr int LateReductionDepth = 7;   // half-plies; from here on late quiet moves are reduced
constexpr int LateMoveNoLimit = 256;

// Built by initSearchTables, read-only afterwards.
extern int8_t reductionTable[2][64][64];  // [kind][depth in plies][move number], half-plies
extern int32_t pruneMarginTable[16][64];  // [depth in half-plies][move number]
extern int32_t lateMoveLimitTable[32];    // [depth in half-plies]

void initSearchTables();

constexpr int clampIndex(int value, int high) { return value < 0 ? 0 : (value > high ? high : value); }

// Reduction in half-plies of the move numbered `moveCount` at `depth` half-plies.
inline int lateMoveReduction(int kind, int depth, int moveCount) {
    const int row = kind == ReductionPv ? ReductionPv : ReductionNonPv;
    return reductionTable[row][clampIndex(depth / 2, ReductionDepthCap)][clampIndex(moveCount, MoveNumberCap)];
}

// Futility margin; depths below one half-ply (a reduced depth can be) use the first row.
inline int pruneMargin(int depth, int moveCount) {
    if (depth >= FutilityDepthLimit)
        return FutilityOff;
    return pruneMarginTable[depth < 1 ? 1 : depth][clampIndex(moveCount, MoveNumberCap)];
}

// Number of moves after which quiet moves are pruned.
inline int lateMoveLimit(int depth) {
    if (depth >= LateMoveDepthLimit)
        return LateMoveNoLimit;
    return lateMoveLimitTable[depth < 0 ? 0 : depth];
}

}  // namespace orvath
