// SPDX-License-Identifier: GPL-3.0-or-later
// The history table of quiet moves: how often a piece's move to a square caused a cut-off.
#pragma once

#include "board/board.h"

namespace orvath {

constexpr int32_t HistoryLimit = 2000;  // entries stay strictly inside (-2000, 2000)

extern int32_t historyScore[16][64];  // [piece code][destination]

void clearHistory();

// Rewards the cut-off move, the last of `quiets`, and penalises the quiet moves searched
// before it. Reads the pieces from the board after the moves have been taken back.
void updateHistory(const Board& board, Move move, int depth, const Move* quiets, int quietCount);

}  // namespace orvath
