// SPDX-License-Identifier: GPL-3.0-or-later
// Score and depth units shared by every search routine; the pawn, mate and ply units that the
// output lines share too are in board/types.h.
#pragma once

#include "board/types.h"

namespace orvath {

// Scores are in evaluation units (a midgame pawn is PawnValue), from the side to move's view.
constexpr int InfiniteScore = 30001;  // beyond every real score
constexpr int NoScore = 30002;        // marks a missing evaluation (the side to move is in check)
constexpr int MateThreshold = 29900;  // scores of this magnitude or more announce a mate
constexpr int BigWinScore = 15000;
constexpr int DrawScore = 0;

// Depths are counted in half-plies (OnePly).
constexpr int NoDepth = -254;  // the depth of a table entry that only carries an evaluation

// Nodes further from the root than this are scored as draws without a search.
constexpr int MaxPly = 100;

}  // namespace orvath
