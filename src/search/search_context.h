// SPDX-License-Identifier: GPL-3.0-or-later
// Everything one search thread writes while it searches, in one object: its own board, its
// search stack, its move-ordering tables, its root moves and its node count. The searches take
// it where they used to take the board alone, so a signature shows what a routine may write.
// What all threads share (the hash table, the limits, the stop signal) lives elsewhere.
#pragma once

#include <cstdint>
#include <vector>

#include "board/board.h"
#include "search/history.h"
#include "search/quiet_gain.h"
#include "search/root_list.h"
#include "search/search_frame.h"

namespace orvath {

struct SearchContext {
    Board board;  // a copy of the position to search, taken at the search start
    uint64_t startNodeCount = 0;  // the board's node count when it was copied
    SearchStack stack;
    HistoryTable history{};
    QuietGainTable quietGain{};

    // The root moves, and where the deepening stands among them.
    std::vector<RootEntry> rootList;
    int32_t pvIndex = 0;          // the line being searched; earlier lines are fixed
    int32_t multiPvCount = 1;     // lines to search and report
    int32_t bestMoveChanges = 0;  // counted by the root search, reset at each iteration

    bool failedLow = false;      // some root search of this search has failed low
    bool firstRootMove = false;  // the root search in progress is on its first move
    int32_t pollCounter = 0;     // nodes since the last poll (the main thread's only)
    int32_t completedDepth = 0;  // the last iteration the main thread finished
    int64_t reportedNodes = 0;   // the node count its last "info" lines showed

    int32_t threadIndex() const { return board.threadIndex; }
};

}  // namespace orvath
