// SPDX-License-Identifier: GPL-3.0-or-later
// Pseudo-legal move generation into a caller-provided list, in a fixed order.
#pragma once

#include "board/board.h"

namespace orvath {

struct MoveEntry {
    uint32_t move;  // a Move in the low 16 bits
    int32_t score;  // left untouched by the generators; the move selector fills it
};

constexpr int MaxMoves = 256;

// Each generator writes from `out` on and returns the end; none checks bounds or changes the board.
MoveEntry* generateCaptures(const Board& board, MoveEntry* out);
MoveEntry* generateQuiets(const Board& board, MoveEntry* out);
MoveEntry* generateAllMoves(const Board& board, MoveEntry* out);
MoveEntry* generateEvasions(const Board& board, MoveEntry* out);
MoveEntry* generateQuietChecks(const Board& board, MoveEntry* out);

// The legal moves in generation order: evasions in check, else all moves, minus those that
// leave the own king attacked.
MoveEntry* generateLegalMoves(const Board& board, MoveEntry* out);
// The same, for a caller that has the position's pinnedOwnPieces at hand.
MoveEntry* generateLegalMoves(const Board& board, MoveEntry* out, Bitboard pinned);

}  // namespace orvath
