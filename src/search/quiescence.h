// SPDX-License-Identifier: GPL-3.0-or-later
// The searches below the horizon: captures, promotions and, near the horizon, checks, so that
// no score is taken in the middle of an exchange.
#pragma once

#include "board/board.h"
#include "search/search_context.h"
#include "search/search_frame.h"

namespace orvath {

// Zero-window quiescence (beta = alpha + 1), with stand-pat, delta, exchange and check pruning.
int quiesceNonPv(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth);

// Full-window quiescence; prunes nothing and never cuts on a table entry.
int quiescePv(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth);

}  // namespace orvath
