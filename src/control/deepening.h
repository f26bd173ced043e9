// SPDX-License-Identifier: GPL-3.0-or-later
// Iterative deepening with aspiration windows and several principal variations.
#pragma once

#include "search/search_context.h"

namespace orvath {

constexpr int MaxIterations = 100;

// The main thread's search: the context's board depth after depth, reporting its lines, until
// a limit ends it; wakes the helpers once its own set-up is done. Returns the best move, or
// NoMove when the position has no legal move.
Move iterativeDeepening(SearchContext& ctx);

// A helper's search of the same root, on its own context: the same iterations without output
// or time rules, until the stop signal (or the depth limit). Its results reach the main thread
// through the hash table only.
void helperDeepening(SearchContext& ctx);

}  // namespace orvath
