// SPDX-License-Identifier: GPL-3.0-or-later
// The history table of quiet moves: how often a piece's move to a square caused a cut-off.
// Each search thread keeps its own.
#pragma once

#include "board/board.h"

namespace orvath {

constexpr int32_t HistoryLimit = 2000;  // entries stay strictly inside (-2000, 2000)

using HistoryTable = int32_t[16][64];  // [piece code][destination]

void clearHistory(HistoryTable& history);

// Rewards the cut-off move, the last of `quiets`, and penalises the quiet moves searched
// before it. Reads the pieces from the board after the moves have been taken back.
void updateHistory(HistoryTable& history, const Board& board, Move move, int depth, const Move* quiets,
                   int quietCount);

}  // namespace orvath
