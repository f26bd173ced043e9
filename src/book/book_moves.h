// SPDX-License-Identifier: GPL-3.0-or-later
// The moves a book offers in a position: its entries for the position's key that are legal
// there, and the weighted draw among them.
#pragma once

#include <cstdint>

#include "board/board.h"
#include "board/movegen.h"
#include "book/book_file.h"

namespace orvath {

struct BookMove {
    Move move = NoMove;
    uint16_t weight = 0;
};

// Room for every move a book can offer: no position has more legal moves.
constexpr int MaxBookMoves = MaxMoves;

// The move of the position that a book entry's move stands for, or NoMove when it is none of
// the legal moves: a foreign or damaged book can hold anything.
Move moveFromBook(const Board& board, uint16_t bookMove);

// The legal moves of weight above 0 that the book holds for the position, in file order;
// returns how many. A problem with the file is reported in `problem` (the book is then
// closed) and no move is offered.
int findBookMoves(BookFile& book, const Board& board, BookMove* out, BookProblem& problem);

// The weights of the moves added up.
uint32_t bookWeightSum(const BookMove* moves, int count);

// The move taken for a random 64-bit draw: its remainder by the weights' sum falls within one
// move's share, so each move's chance is its weight over the sum. `count` must be above 0.
const BookMove& pickBookMove(const BookMove* moves, int count, uint64_t draw);

// The heaviest of the moves (the first of equals); `count` must be above 0.
const BookMove& heaviestBookMove(const BookMove* moves, int count);

}  // namespace orvath
