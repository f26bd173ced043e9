// SPDX-License-Identifier: GPL-3.0-or-later
// Coordinate notation of moves: "e2e4", "e7e8q", castling as the king's two-square step.
#pragma once

#include <string>
#include <string_view>

#include "board/board.h"

namespace orvath {

// Appends the move's text to out; the empty move reads "a1a1".
void writeMove(std::string& out, Move move);

std::string moveToText(Move move);

// The legal move of the board whose text is exactly the given text, or NoMove.
Move textToMove(const Board& board, std::string_view text);

}  // namespace orvath
