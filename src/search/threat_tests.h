// SPDX-License-Identifier: GPL-3.0-or-later
// Two tests that relate a move to the threat a failed null move revealed: whether the move
// that led to the node made the threat possible, and whether a move answers it.
#pragma once

#include "board/board.h"

namespace orvath {

// Whether the null-move refutation `threat` was made possible by `previous`, the move that
// led to this node.
bool movesConnected(const Board& board, Move previous, Move threat);

// Whether `move` answers the null-move threat `threat`.
bool threatDefended(const Board& board, Move move, Move threat);

}  // namespace orvath
