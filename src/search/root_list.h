// SPDX-License-Identifier: GPL-3.0-or-later
// The legal moves of the root position with their scores and principal variations, and the
// two routines that carry a variation between a root entry and the hash table.
#pragma once

#include <cstdint>
#include <vector>

#include "board/board.h"
#include "search/search_constants.h"

namespace orvath {

constexpr int MaxPvLength = 100;

struct RootEntry {
    int64_t nodes = 0;  // spent on this move so far in this search
    int32_t score = -InfiniteScore;
    int32_t previousScore = -InfiniteScore;
    std::vector<Move> pv;  // the move itself first, ended by NoMove

    explicit RootEntry(Move move);
    Move move() const { return pv[0]; }
};

struct SearchContext;

// Refills the thread's root list with the legal moves of its board in generation order (only
// those of "go searchmoves", when any of them is legal) and resets its bestMoveChanges.
void buildRootList(SearchContext& context);

// Stable sort by score, highest first.
void sortRootEntries(std::vector<RootEntry>::iterator begin, std::vector<RootEntry>::iterator end);

// Rebuilds the entry's variation by following the hash moves from its first move.
void extractPvFromHash(RootEntry& entry, Board& board);

// Writes the entry's variation back into the table, so the next iteration finds it.
void insertPvIntoHash(const RootEntry& entry, Board& board);

}  // namespace orvath
