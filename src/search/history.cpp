// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/history.h"

#include <cstdlib>
#include <cstring>

namespace orvath {

void clearHistory(HistoryTable& history) { std::memset(history, 0, sizeof history); }

void updateHistory(HistoryTable& history, const Board& board, Move move, int depth, const Move* quiets,
                   int quietCount) {
    const int32_t bonus = depth * depth;
    int32_t& entry = history[board.pieceOn(moveFrom(move))][moveTo(move)];
    if (std::abs(entry + bonus) < HistoryLimit)
        entry += bonus;
    for (int i = 0; i < quietCount - 1; ++i) {
        int32_t& other = history[board.pieceOn(moveFrom(quiets[i]))][moveTo(quiets[i])];
        if (std::abs(other - bonus) < HistoryLimit)
            other -= bonus;
    }
}

}  // namespace orvath
