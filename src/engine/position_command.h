// SPDX-License-Identifier: GPL-3.0-or-later
// The "position" command: sets the game board up from the start position or a FEN text and
// plays the listed moves on it.
#pragma once

#include <istream>

#include "board/board.h"

namespace orvath {

// The state records of the moves that "position" makes. They are reused round the ring across
// commands and the cursor is never reset, so a state more than 101 moves back is overwritten.
constexpr int PositionStateRingSize = 102;
static_assert(PositionStateRingSize >= FiftyMoveLimit + 2,
              "the repetition walk must find the whole fifty-move stretch in the ring");
extern BoardState positionStateRing[PositionStateRingSize];
int positionStateCursor();

// Whether the generators and the search can work on the position: one king of each colour,
// no pawn on the first or last rank, the side not to move not in check, and no more than 16
// pieces of a colour, which also keeps every promotion within the piece lists.
bool isPlayablePosition(const Board& board);

// Reads "startpos [word] moves..." or "fen <fields> [moves ...]" from the rest of the line.
// Every position command first takes the castling notation from the UCI_Chess960 option.
// Any other first word, or a position that is not playable, leaves the board as it was.
void setPosition(Board& board, std::istream& words);

}  // namespace orvath
