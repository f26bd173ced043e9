// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/threat_tests.h"

#include "board/keys.h"

namespace orvath {

static bool isSlider(Piece piece) {
    const PieceType type = typeOf(piece);
    return type == Bishop || type == Rook || type == Queen;
}

static bool isBetween(Square square, Square a, Square b) {
    return (betweenMask[a][b] & squareMask[square]) != 0;
}

bool movesConnected(const Board& board, Move previous, Move threat) {
    const Square previousFrom = moveFrom(previous);
    const Square previousTo = moveTo(previous);
    const Square threatFrom = moveFrom(threat);
    const Square threatTo = moveTo(threat);

    // The threatening piece is the one that just moved, or it goes where that piece stood.
    if (threatFrom == previousTo || threatTo == previousFrom)
        return true;

    // The move opened the line of the threatening slider.
    if (isSlider(board.pieceOn(threatFrom)) && isBetween(previousFrom, threatFrom, threatTo))
        return true;

    // A castling move leaves its destination (the rook's old square) empty: no piece to ask.
    const Piece moved = board.pieceOn(previousTo);
    if (moved == EmptySquare)
        return false;

    // The moved piece now defends the threat's destination.
    const Bitboard occupied = board.occupancy();
    if (pieceAttacksFrom(moved, previousTo, occupied) & squareMask[threatTo])
        return true;

    // The threatening piece stands in front of our king on the line of the moved slider.
    const Square king = board.kingSquare(board.sideToMove);
    return isSlider(moved) && isBetween(threatFrom, previousTo, king)
           && (pieceAttacksFrom(moved, previousTo, occupied & squareClearMask[threatFrom]) & squareMask[king]);
}

bool threatDefended(const Board& board, Move move, Move threat) {
    const Square moveFromSquare = moveFrom(move);
    const Square moveToSquare = moveTo(move);
    const Square threatFrom = moveFrom(threat);
    const Square threatTo = moveTo(threat);

    // The threatened piece steps away.
    if (moveFromSquare == threatTo)
        return true;

    // A capture that does not lose by itself, and the move guards the target square.
    const Piece attacker = board.pieceOn(threatFrom);
    const Piece victim = board.pieceOn(threatTo);
    if (board.isCapture(threat) && (midgameValue[attacker] >= midgameValue[victim] || typeOf(attacker) == King)
        && board.moveThreatensSquare(move, threatTo))
        return true;

    // The move blocks the threatening slider's line without losing the blocking piece.
    return isSlider(attacker) && isBetween(moveToSquare, threatFrom, threatTo)
           && (midgameValue[board.pieceOn(moveToSquare)] >= midgameValue[board.pieceOn(moveFromSquare)]
               || board.staticExchange(move) >= 0);
}

}  // namespace orvath
