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

// Search-wide, refilled at every search.
extern std::vector<RootEntry> rootList;
extern int32_t pvIndex;          // the line being searched; earlier lines are fixed
extern int32_t multiPvCount;     // lines to search and report
extern int32_t bestMoveChanges;  // counted by the root search, reset at each iteration

// Refills the root list with the legal moves in generation order and resets bestMoveChanges.
void buildRootList(const Board& board);

// Stable sort by score, highest first.
void sortRootEntries(std::vector<RootEntry>::iterator begin, std::vector<RootEntry>::iterator end);

// Rebuilds the entry's variation by following the hash moves from its first move.
void extractPvFromHash(RootEntry& entry, Board& board);

// Writes the entry's variation back into the table, so the next iteration finds it.
void insertPvIntoHash(const RootEntry& entry, Board& board);

}  // namespace orvath
