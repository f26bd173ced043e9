// SPDX-License-Identifier: GPL-3.0-or-later
// The alpha-beta searches below the root: a full-window search for the principal variation
// and a zero-window search for everything else. Fail-soft, scores from the side to move.
#pragma once

#include "board/board.h"
#include "search/search_context.h"
#include "search/search_frame.h"

namespace orvath {

// Zero-window search; callers pass beta = alpha + 1. Depth in half-plies.
int searchNonPv(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth);

// Full-window search of a principal-variation node.
int searchPv(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth);

// The end of a searched node: its score and best move into the table and, for a quiet move
// that cut off, the killers and the history (the quiet moves tried before it lose credit).
void recordResult(SearchContext& ctx, SearchFrame* frame, uint64_t key, int bestValue, int alphaIn, int beta,
                  int depth, const Move* quietsSearched, int quietCount);

// Keeps the two most recent cut-off moves of a ply, newest first.
inline void updateKillers(SearchFrame* frame, Move move) {
    if (move != frame->killers[0]) {
        frame->killers[1] = frame->killers[0];
        frame->killers[0] = move;
    }
}

// Per node kind: the extensions in half-plies and the depths where the costly tests start.
struct SearchSettings {
    int checkExtension;
    int seventhRankExtension;
    int passedPawnExtension;
    int pawnEndgameExtension;
    int singularMinDepth;
    int iidMinDepth;
};

constexpr SearchSettings NonPvSettings = {1, 1, 0, 2, 16, 16};
constexpr SearchSettings PvSettings = {2, 1, 1, 2, 12, 10};

// The extension of a move and whether it is too dangerous to prune or reduce.
int moveExtension(const Board& board, Move move, bool givesCheck, bool captureOrPromotion,
                  const SearchSettings& settings, bool& dangerous);

}  // namespace orvath
