// SPDX-License-Identifier: GPL-3.0-or-later
// The text of every line the engine writes while it searches, and the one output channel all
// replies share: standard output, each line ended by a line feed and flushed at once. Only the
// main thread writes, so the channel needs no lock.
#pragma once

#include <cstdint>
#include <string>

#include "board/types.h"

namespace orvath {

// Clock reading (platform::nowMs) at the start of the current search; the search start sets it.
extern int32_t searchStartTime;

// Text builders: each begins with a blank and ends without one (pvText excepted).

// " score cp N" or " score mate N", then " lowerbound" (v >= beta) or " upperbound" (v <= alpha).
std::string scoreText(int32_t v, int32_t alpha, int32_t beta);
// " nodes N nps N", with the time since searchStartTime read from the clock.
std::string nodesText(int64_t nodes);
// The same for a given elapsed time; nps is 0 when no time has passed.
std::string nodesText(int64_t nodes, int32_t elapsed);
// " pv " and every move of the variation (ended by NoMove) followed by one blank.
std::string pvText(const Move* pv);
// " depth N", from a depth in half-plies.
std::string depthText(int32_t depth);

// One principal variation as its "info" line reports it.
struct PvLine {
    int32_t index;    // counting from 1
    int32_t depth;    // half-plies
    int32_t elapsed;  // milliseconds since the search start
    int32_t score;
    int32_t alpha;    // the window the score was searched with; -30001..30001 for none
    int32_t beta;
    int64_t nodes;
    const Move* pv;   // ended by NoMove
};

// Whole lines, without their line feed.
std::string pvLineText(const PvLine& line);
std::string currentMoveLineText(Move move, int32_t number);
// "bestmove <move>", and " ponder <move>" after it unless the ponder move is NoMove.
std::string bestMoveLineText(Move move, Move ponderMove = NoMove);

// The two lines that stand for a search when the move comes from the book: "info string book
// move <move> weight <w> of <sum>", which tells a person why the answer came at once, and
// "info pv <move> [<reply>]" for the interface's line display; no depth or score is invented.
std::string bookMoveLinesText(Move move, Move reply, uint32_t weight, uint32_t weightSum);

// Writes the text and a line feed in one call to standard output, then flushes; nothing while
// the output is muted.
void writeLine(const std::string& text);

// While one lives, the lines are built as usual but not written: the bench shows only its own
// lines, not those of the searches it runs. Made and ended by the main thread.
class MutedOutput {
public:
    MutedOutput();
    ~MutedOutput();
    MutedOutput(const MutedOutput&) = delete;
    MutedOutput& operator=(const MutedOutput&) = delete;

private:
    bool wasMuted;
};

void writePvLine(const PvLine& line);
void writeCurrentMoveLine(Move move, int32_t number);
void writeBestMoveLine(Move move, Move ponderMove = NoMove);

}  // namespace orvath
