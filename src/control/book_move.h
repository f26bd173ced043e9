// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's own opening book: which file is open, and whether a "go" is answered from it.
#pragma once

#include "board/board.h"
#include "search/search_signals.h"

namespace orvath {

// Opens the book that "BookFile" names while "OwnBook" is on, when that name is new: the
// command loop runs it at "uci" and "isready", the search start at every "go", so a file is
// opened before the clock runs. A file that cannot serve is reported once on standard error,
// and the engine plays on without a book until the name changes.
void prepareBook();

// When the book is on and the limits are those of a game move (a clock or a move time, no
// analysis words), answers from the book if it holds a legal move for the position: writes
// the book lines and "bestmove", and returns true. Otherwise writes nothing and returns false,
// and the search runs as it would without a book.
bool playBookMove(const Board& board, const SearchLimits& limits);

}  // namespace orvath
