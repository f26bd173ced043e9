// SPDX-License-Identifier: GPL-3.0-or-later
// Iterative deepening with aspiration windows and several principal variations.
#pragma once

#include "board/board.h"

namespace orvath {

constexpr int MaxIterations = 100;

// Searches the board depth after depth until a limit ends it; returns the best move, or
// NoMove when the position has no legal move.
Move iterativeDeepening(Board& board);

}  // namespace orvath
