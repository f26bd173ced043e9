// SPDX-License-Identifier: GPL-3.0-or-later
// The "go" command: its limits, the search start, and the one "bestmove" line.
#pragma once

#include <istream>

#include "board/board.h"
#include "search/search_signals.h"

namespace orvath {

// Reads the limits after "go" and runs the search. False when the program must end
// ("quit" or the end of input arrived during the search).
bool handleGo(Board& board, std::istream& words);

// Parses the words after "go" into limits for the side to move of `board`.
SearchLimits parseGoLimits(const Board& board, std::istream& words);

// The reply expected to the best move, for " ponder": the second move of the main thread's best
// line when it is legal after the best move, else NoMove.
Move ponderMoveOf(const SearchContext& main, const Board& board, Move bestMove);

// Runs one whole search and writes "bestmove". Same result as handleGo.
bool startSearch(Board& board, const SearchLimits& limits);

// The search proper, after resetSearchState: `threads` search threads on copies of `board`
// (which stays untouched), the table brought to its options, `multiPv` lines. Returns the best
// move once every helper has finished.
Move runSearch(const Board& board, int threads, int multiPv);

// The search-wide state that every search starts from, whoever starts it (the "go" command,
// the bench, the tests): the signals cleared, the clock read, the limits
// copied, the time budget and the poll interval computed, and `poll` as the poll (nullptr:
// nothing polls). The options, the table, the history and the root list are not touched.
void resetSearchState(const SearchLimits& limits, int gamePly, PollFunction poll);

}  // namespace orvath
