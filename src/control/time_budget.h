// SPDX-License-Identifier: GPL-3.0-or-later
// How long one search may take: a pure function of the limits and the game ply.
#pragma once

#include <cstdint>

#include "search/search_signals.h"

namespace orvath {

struct TimeBudget {
    int32_t optimumTime = 0;  // ms; a search on its first root move stops beyond this (+ extraTime)
    int32_t maximumTime = 0;  // ms; never searched beyond
    int32_t extraTime = 0;    // ms; granted by the deepening when the best move is unstable
    // The clock reading the times above count from: the search start, or the "ponderhit" that
    // turned a ponder search into a timed one (the time pondered is not spent from the budget).
    int32_t measuredFrom = 0;
};

extern TimeBudget timeBudget;

// Whether the budget may stop a search under `limits`: not with a fixed time, a depth limit or
// an infinite search, not while pondering, and not for a node or mate search given no clock.
inline bool budgetApplies(const SearchLimits& limits) {
    if (limits.moveTime || limits.depth || limits.infinite || limits.ponder)
        return false;
    return limits.time != 0 || (limits.nodes <= 0 && limits.mate <= 0);
}

enum class TimeShareVariant { Optimum, Maximum };

// The share of `remaining` ms for the move to play when `horizon` moves must be made with it.
int32_t timeShare(TimeShareVariant variant, int32_t remaining, int horizon, int gamePly);

// The budget of a search under `limits` at `gamePly`; pure apart from writing the result.
TimeBudget computeTimeBudget(const SearchLimits& limits, int gamePly);
void initTimeBudget(const SearchLimits& limits, int gamePly);

}  // namespace orvath
