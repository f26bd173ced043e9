// SPDX-License-Identifier: GPL-3.0-or-later
// The search of the root position for one window and depth, over the root moves of the lines
// not yet fixed. Scores, node counts and variations go into the root list.
#pragma once

#include "board/board.h"
#include "search/search_context.h"
#include "search/search_frame.h"

namespace orvath {

constexpr int CurrentMoveReportDelay = 2000;  // ms before the move being searched is reported

int searchRoot(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth);

}  // namespace orvath
