// SPDX-License-Identifier: GPL-3.0-or-later
// Counting the leaves of the legal move tree: the check of move generation and make/unmake.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace orvath {

// Leaves at `depth` plies, every move made and unmade through the search's own path; with
// `bulk` the last ply is counted without being made.
uint64_t perft(Board& board, int depth, bool bulk);

}  // namespace orvath
