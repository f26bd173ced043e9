// SPDX-License-Identifier: GPL-3.0-or-later
// Search-wide limits and flags of one "go", shared by the searches below the root and the
// search control above them. Set up anew at every search start.
#pragma once

#include <cstdint>

namespace orvath {

class Board;

// Limits of one search; 0 means the limit was not given.
struct SearchLimits {
    int32_t time = 0;       // clock time left for the side to move, ms
    int32_t increment = 0;  // increment per move of the side to move, ms
    int32_t movesToGo = 0;
    int32_t moveTime = 0;
    int32_t depth = 0;  // iteration limit in plies
    int32_t infinite = 0;
};

// One byte each, written and read by the main thread only during a search.
struct SearchSignals {
    bool stop = false;
    bool quit = false;
    bool failedLow = false;
    bool firstRootMove = false;
};

extern SearchLimits searchLimits;  // the search-wide copy that the searches and the poll read
extern SearchSignals searchSignals;

// The main thread's searches count their nodes here and call the poll every pollInterval nodes.
extern int32_t pollInterval;
extern int32_t pollCounter;

// The poll lives in the search control; the searches reach it through this hook, so the
// searches can run without it (in tests, the hook is empty and nothing polls).
using PollFunction = void (*)(Board& board);
extern PollFunction pollFunction;

// Counts one node of the main thread's search and polls when the interval is exceeded.
inline void countNodeForPoll(Board& board, int threadIndex) {
    if (threadIndex != 0)
        return;
    if (++pollCounter > pollInterval) {
        pollCounter = 0;
        if (pollFunction != nullptr)
            pollFunction(board);
    }
}

}  // namespace orvath
