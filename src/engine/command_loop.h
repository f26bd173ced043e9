// SPDX-License-Identifier: GPL-3.0-or-later
// The UCI command loop: reads standard input line by line on the main thread and dispatches
// each line on its first word.
#pragma once

#include <string>

#include "board/board.h"

namespace orvath {

// Runs one input line on the board; false when the loop must end ("quit", or "quit" or the
// end of input during a search). A line without any word does nothing.
bool executeCommand(Board& board, const std::string& line);

// Runs until "quit", the end of standard input, or "quit" read during a search.
void commandLoop();

}  // namespace orvath
