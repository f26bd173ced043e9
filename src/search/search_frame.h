// SPDX-License-Identifier: GPL-3.0-or-later
// The per-ply records of a search and the stack that holds them.
#pragma once

#include <cstdint>
#include <cstring>

#include "board/types.h"
#include "search/search_constants.h"

namespace orvath {

// A node works on its own frame, reads the one before it and writes the ones after it.
struct SearchFrame {
    int32_t ply;          // distance from the root
    int32_t currentMove;  // the move being searched here, NullMove for the null move
    Move excludedMove;    // left out while the singular test searches this node
    Move bestMove;
    Move killers[2];  // most recent first
    int32_t reduction;  // non-zero only while the reduced search of currentMove runs
    int32_t eval;       // NoScore in check
    int32_t evalMargin;
    int32_t skipNullMove;
};

// Frames before the root, so that the root may read frame[-1] and frame[-2].
constexpr int SentinelFrames = 2;
// A node clears the killers of the frame two plies ahead of it.
constexpr int FramesWrittenAhead = 2;
// Room for the node searches (ply MaxPly + 1 is the deepest node) and, beyond them, for the
// quiescence searches, whose chains of checks and evasions have no depth bound of their own.
constexpr int StackFrames = 256;
// The ply of the last frame, when the frame before the root has ply 0 (see prepareRoot).
constexpr int LastFramePly = StackFrames - SentinelFrames;

static_assert(SentinelFrames + MaxPly + 1 + FramesWrittenAhead <= StackFrames,
              "the deepest node must find the frames it writes");

// The search stack of one thread.
struct SearchStack {
    SearchFrame frames[StackFrames] = {};

    SearchFrame* root() { return frames + SentinelFrames; }

    // Zeroes the frames from the one before the root to the second after it and gives the
    // frame before the root the null move, so that the root learns no quiet gain from it.
    SearchFrame* prepareRoot() {
        SearchFrame* first = root() - 1;
        std::memset(static_cast<void*>(first), 0, (FramesWrittenAhead + 2) * sizeof(SearchFrame));
        first->currentMove = NullMove;
        return root();
    }
};

// A node's first step: its ply, and the frames it writes cleared of what earlier nodes left
// there (the next frame's search flags, its own moves, the killers two plies ahead).
inline void enterNode(SearchFrame* frame) {
    frame->ply = (frame - 1)->ply + 1;
    (frame + 1)->excludedMove = NoMove;
    (frame + 1)->skipNullMove = 0;
    (frame + 1)->reduction = 0;
    frame->bestMove = NoMove;
    frame->currentMove = NoMove;
    (frame + 2)->killers[0] = (frame + 2)->killers[1] = NoMove;
}

// True on the last frame of the stack: a quiescence node there has no frame for a child and
// must return its static evaluation. Plies count from the frame before the root, which has ply 0.
inline bool atStackEnd(const SearchFrame* frame) { return frame->ply >= LastFramePly; }

}  // namespace orvath
