// SPDX-License-Identifier: GPL-3.0-or-later
// Coordinate notation of moves. A castling move is stored as the king taking its own rook; in
// the standard notation it is written as the king's two-square step that interfaces expect.
#include "uci/move_text.h"

#include "board/movegen.h"

namespace orvath {

namespace {

constexpr char PromotionLetters[] = "nbrq";  // from the knight on

// Set only by the main thread while no search runs; the searches' own threads never write text.
CastlingNotation notationInUse = CastlingNotation::KingStep;

void writeSquare(std::string& out, int square) {
    out += static_cast<char>('a' + (square & 7));
    out += static_cast<char>('1' + (square >> 3));
}

}  // namespace

void setCastlingNotation(CastlingNotation notation) { notationInUse = notation; }

CastlingNotation castlingNotation() { return notationInUse; }

// Origin, destination and, for promotions only, the lower-case letter of the new piece.
void writeMove(std::string& out, Move move) {
    const int from = moveFrom(move);
    int to = moveTo(move);
    if (moveKind(move) == KindCastling && notationInUse == CastlingNotation::KingStep)
        to = fileOf(to) == 7 ? from + 2 : from - 2;
    writeSquare(out, from);
    writeSquare(out, to);
    if (moveKind(move) == KindPromotion)
        out += PromotionLetters[promotionType(move) - Knight];
}

std::string moveToText(Move move) {
    std::string text;
    writeMove(text, move);
    return text;
}

// Reads a move by writing each legal move and comparing texts, so every accepted text is one
// the engine itself would print, and nothing else is accepted.
Move textToMove(const Board& board, std::string_view text) {
    MoveEntry list[MaxMoves];
    MoveEntry* const end = board.inCheck() ? generateEvasions(board, list) : generateAllMoves(board, list);
    const Bitboard pinned = board.pinnedOwnPieces();
    std::string candidate;
    for (const MoveEntry* entry = list; entry != end; ++entry) {
        const Move move = static_cast<Move>(entry->move);
        if (!board.isLegal(move, pinned))
            continue;
        candidate.clear();
        writeMove(candidate, move);
        if (candidate == text)
            return move;
    }
    return NoMove;
}

}  // namespace orvath
