// SPDX-License-Identifier: GPL-3.0-or-later
// The quiet-gain table: for each piece and destination, the largest recent swing of the
// evaluation that a quiet move there brought its mover. The search learns it as it goes and
// reads it in its futility pruning.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace orvath {

// [piece code][destination], for the mover. Zeroed at every search start.
extern int32_t quietGain[16][64];

void clearQuietGain();

// Learns from the evaluation swing of the quiet move `previousMove` that led to this node:
// `before` is the evaluation before it (the mover's view), `after` the one after it (the
// opponent's view).
void updateQuietGain(Move previousMove, int before, int after, const Board& board);

}  // namespace orvath
