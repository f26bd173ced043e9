// SPDX-License-Identifier: GPL-3.0-or-later
// The static evaluation: the midgame half of the incrementally kept material and placement
// score, rounded and seen from the side to move. Inline, because every node of the search and
// of quiescence computes it.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace orvath {

// The nearest multiple of 8, halves rounded up; bitwise on the two's complement word.
constexpr int roundEvaluation(int midgame) {
    return static_cast<int>((static_cast<uint32_t>(midgame) + 4u) & ~uint32_t{7});
}

// The margin is kept for the searches' sake; this evaluation is exact, so it is always 0.
inline int evaluate(const Board& board, int& margin) {
    margin = 0;
    const int value = roundEvaluation(midgamePart(board.state().placementScore));
    return board.sideToMove == White ? value : -value;
}

}  // namespace orvath
