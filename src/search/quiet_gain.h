// SPDX-License-Identifier: GPL-3.0-or-later
// The quiet-gain table: for each piece and destination, the largest recent swing of the
// evaluation that a quiet move there brought its mover. The search learns it as it goes and
// reads it in its futility pruning. Each search thread keeps its own.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace orvath {

// [piece code][destination], for the mover. Zeroed at every search start.
using QuietGainTable = int32_t[16][64];

void clearQuietGain(QuietGainTable& gains);

// Learns from the evaluation swing of the quiet move `previousMove` that led to this node:
// `before` is the evaluation before it (the mover's view), `after` the one after it (the
// opponent's view).
void updateQuietGain(QuietGainTable& gains, Move previousMove, int before, int after, const Board& board);

}  // namespace orvath
