// SPDX-License-Identifier: GPL-3.0-or-later
// Coordinate notation of moves: "e2e4", "e7e8q", castling as the king's two-square step, or in
// Chess960 games as the king taking its own rook.
#pragma once

#include <string>
#include <string_view>

#include "board/board.h"

namespace orvath {

// How castling is written and read: "e1g1" as in standard chess, or "e1h1" as Chess960
// interfaces expect (where the king and rook may start anywhere, so the king's destination
// alone cannot tell which rook goes with it).
enum class CastlingNotation { KingStep, KingTakesRook };

// The notation of the game in hand: the position command sets it, so a change of the option
// waits for the next game's position; the output lines and the move readers use it.
void setCastlingNotation(CastlingNotation notation);
CastlingNotation castlingNotation();

// Appends the move's text to out; the empty move reads "a1a1".
void writeMove(std::string& out, Move move);

std::string moveToText(Move move);

// The legal move of the board whose text is exactly the given text, or NoMove.
Move textToMove(const Board& board, std::string_view text);

}  // namespace orvath
