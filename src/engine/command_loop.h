// The UCI command loop: reads standard input line by line on the main thread and dispatches
// each line on its first word.
#pragma once

namespace orvath {

// Runs until "quit", the end of standard input, or "quit" read during a search.
void commandLoop();

}  // namespace orvath
