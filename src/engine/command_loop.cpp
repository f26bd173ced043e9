// SPDX-License-Identifier: GPL-3.0-or-later
// The command table and the game board. Commands are compared exactly (case and length);
// anything not in the table is ignored without a reply.
#include "engine/command_loop.h"

#include <sstream>
#include <string>

#include "board/board.h"
#include "board/flavour.h"
#include "control/book_move.h"
#include "control/go.h"
#include "control/hash_setup.h"
#include "engine/position_command.h"
#include "platform/platform.h"
#include "uci/options.h"
#include "uci/output.h"

namespace orvath {

namespace {

// Identification and option lines, written as one piece so that they leave together.
std::string uciReply() {
    std::string reply = "id name ";
    reply += engineName;
    reply += "\nid author ";
    reply += engineAuthor;
    reply += optionListText();
    reply += "\nuciok";
    return reply;
}

// Runs one command on the rest of its line; false when the loop must end.
bool runCommand(Board& board, const std::string& command, std::istream& words) {
    if (command == "quit")
        return false;
    if (command == "go")
        return handleGo(board, words);  // false when "quit" or the end of input came during the search
    if (command == "ucinewgame")
        board.setFromFen(StartFen);
    else if (command == "isready") {
        // Interfaces send their options, then "isready", then start the clock: the table is
        // made or emptied here, with the values the options hold now, so no search pays for it.
        prepareHashTable();
        prepareBook();
        writeLine("readyok");
    } else if (command == "position")
        setPosition(board, words);
    else if (command == "setoption")
        setOption(words);
    else if (command == "uci") {
        writeLine(uciReply());
        // The interface waits for the reply, not for the table: the default table is made
        // after it, while the interface reads it, and is ready before the first search.
        prepareHashTable();
        prepareBook();
    }
    return true;
}

}  // namespace

bool executeCommand(Board& board, const std::string& line) {
    std::istringstream words(line);
    std::string command;
    if (!(words >> command))
        return true;
    return runCommand(board, command, words);
}

// The game board belongs to the main thread, thread 0, for the whole run. Lines go through
// the engine's own input buffer, which the input poll during a search also reads.
void commandLoop() {
    Board board;
    board.setFromFen(StartFen);
    board.threadIndex = 0;

    std::string line;
    while (platform::readLine(line))
        if (!executeCommand(board, line))
            break;
}

}  // namespace orvath
