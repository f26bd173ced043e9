// SPDX-License-Identifier: GPL-3.0-or-later
// Search-wide limits and flags of one "go", shared by the searches below the root and the
// search control above them. Set up anew at every search start.
#pragma once

#include <atomic>
#include <cstdint>

#include "board/movegen.h"
#include "search/search_context.h"
#include "uci/options.h"

namespace orvath {

// Limits of one search; 0 means the limit was not given.
struct SearchLimits {
    int32_t time = 0;       // clock time left for the side to move, ms
    int32_t increment = 0;  // increment per move of the side to move, ms
    int32_t movesToGo = 0;
    int32_t moveTime = 0;
    int32_t depth = 0;  // iteration limit in plies
    int32_t infinite = 0;
    // The words beyond these are for clients that use them; without them a search is exactly
    // what the limits above make it.
    int32_t ponder = 0;  // "go ponder": no time stop until "ponderhit" turns it into a timed search
    int64_t nodes = 0;   // stop once the threads have searched this many nodes in this search
    int32_t mate = 0;    // stop once a mate in at most this many moves is proven
    int32_t searchMoveCount = 0;  // the root searches only these moves, when there are any
    Move searchMoves[MaxMoves] = {};
    // Not a word of "go": the ms the clock loses on each move besides the thinking, which the
    // time budget keeps back for every move to come. The search start takes it from the option.
    int32_t moveOverhead = DefaultMoveOverhead;
};

// The signals of one search, shared by every search thread. Only the main thread sets them;
// every thread reads `stop`, so it is an atomic flag.
struct SearchSignals {
    std::atomic<bool> stop{false};  // every search routine returns as soon as it sees it
    bool quit = false;              // the program ends after this search (main thread only)
    // The client has released the answer ("stop", "quit" or the end of input): an infinite or
    // ponder search that stopped for any other reason still waits for it (main thread only).
    bool released = false;

    void reset() {
        stop.store(false, std::memory_order_relaxed);
        quit = released = false;
    }
};

// Shared by all search threads; written before the helpers start and read-only meanwhile.
extern SearchLimits searchLimits;  // the search-wide copy that the searches and the poll read
extern SearchSignals searchSignals;

// Whether the search must unwind; read at every node, so without ordering: the flag is seen
// a few nodes later at worst.
inline bool stopRequested() { return searchSignals.stop.load(std::memory_order_relaxed); }

// The main thread's searches call the poll every pollInterval nodes.
extern int32_t pollInterval;

// Between two polls the main thread also takes a quick look at its input and the clock every
// this many nodes (a power of two), a tenth of a millisecond or so, so that a command or the
// end of the time is met at once; the look costs a fraction of a percent of the speed.
constexpr int32_t QuickPollNodes = 64;

// The poll lives in the search control; the searches reach it through this hook, so the
// searches can run without it (in tests, the hook is empty and nothing polls). The helpers
// have a hook of their own, called at the same interval of their own nodes.
using PollFunction = void (*)(SearchContext& context);
extern PollFunction pollFunction;
extern PollFunction helperPollFunction;
extern PollFunction quickPollFunction;  // the main thread's quick look

// Counts one node of the calling thread's search and polls when the interval is exceeded.
inline void countNodeForPoll(SearchContext& context) {
    if (++context.pollCounter > pollInterval) {
        context.pollCounter = 0;
        const PollFunction poll = context.threadIndex() == 0 ? pollFunction : helperPollFunction;
        if (poll != nullptr)
            poll(context);
    } else if ((context.pollCounter & (QuickPollNodes - 1)) == 0 && context.threadIndex() == 0 &&
               quickPollFunction != nullptr) {
        quickPollFunction(context);
    }
}

}  // namespace orvath
