// SPDX-License-Identifier: GPL-3.0-or-later
// The watch over the clock and the input while a search runs, and the wait for "stop" after
// an infinite search.
#pragma once

#include <cstdint>

#include "search/search_signals.h"

namespace orvath {

// Nodes between two polls: fewer when little time is left, so short times are still met.
int32_t pollIntervalFor(const SearchLimits& limits);

// Called by the main thread's searches every pollInterval nodes, with the main thread's
// context: reads a waiting command and applies the time limits by setting the stop flag.
void pollSearch(SearchContext& ctx);

// Called by the main thread's searches every QuickPollNodes nodes between two polls: reads a
// command that is waiting (never a file's next line) and applies the time limits.
void quickPoll(SearchContext& ctx);

// Publishes, for the helpers, the moment the search must stop at the latest: from the limits
// and the budget of the search starting (or of the ponder search just turned into a timed one).
void setHardDeadline();

// Called by the helpers' searches at the same interval: keeps them out of the main thread's way
// while a command waits to be read.
void helperPoll(SearchContext& ctx);

// Blocks until "stop", "ponderhit" or "quit" arrives, or input ends (which counts as "quit");
// answers "isready" meanwhile.
void waitForStop();

// The nodes all threads have searched in this search, beyond the position's own count.
int64_t nodesSearched(SearchContext& main);

}  // namespace orvath
