// SPDX-License-Identifier: GPL-3.0-or-later
// Attack queries that read a Board: attackers of a square, threats of a move, pins and
// discovered-check candidates.
#include "board/board.h"

namespace orvath {

namespace {

// The sliders of one colour that would reach the square on an empty board.
inline Bitboard slidersAimingAt(const Board& board, Square square, Colour colour) {
    const Bitboard queens = board.piecesOfType(Queen);
    return ((rookEmptyAttacks[square] & (board.piecesOfType(Rook) | queens)) |
            (bishopEmptyAttacks[square] & (board.piecesOfType(Bishop) | queens))) &
           board.piecesOfColour(colour);
}

// The pieces of blockerColour that stand alone between the square and one of the sliders.
inline Bitboard loneBlockers(const Board& board, Square square, Bitboard sliders, Colour blockerColour) {
    const Bitboard occupied = board.occupancy();
    const Bitboard blockers = board.piecesOfColour(blockerColour);
    Bitboard result = 0;
    while (sliders) {
        const Bitboard between = betweenMask[square][popLowestSquare(sliders)] & occupied;
        if (!moreThanOne(between))
            result |= between & blockers;
    }
    return result;
}

}  // namespace

Bitboard Board::attackersOfSquare(Square square, Bitboard occupied) const {
    const Bitboard queens = typeBitboards[Queen];
    return (((stepAttacks[makePiece(Black, Pawn)][square] & colourBitboards[White]) |
             (stepAttacks[makePiece(White, Pawn)][square] & colourBitboards[Black])) &
            typeBitboards[Pawn]) |
           (bishopAttacks(square, occupied) & (typeBitboards[Bishop] | queens)) |
           (rookAttacks(square, occupied) & (typeBitboards[Rook] | queens)) |
           (stepAttacks[makePiece(White, Knight)][square] & typeBitboards[Knight]) |
           (stepAttacks[makePiece(White, King)][square] & typeBitboards[King]);
}

// Direct: the mover attacks the square from its destination, the board otherwise unchanged.
// By discovery: a slider of the mover's colour reaches the square once origin and destination
// have changed state, though it did not before.
bool Board::moveThreatensSquare(Move move, Square square) const {
    const Square from = moveFrom(move);
    const Square to = moveTo(move);
    const Piece piece = squares[from];
    const Bitboard occupied = occupancy();
    if (pieceAttacksFrom(piece, to, occupied) & squareMask[square])
        return true;

    const Bitboard afterMove = occupied ^ squareMask[from] ^ squareMask[to];
    const Bitboard queens = typeBitboards[Queen];
    const Bitboard xrays = ((rookAttacks(square, afterMove) & (typeBitboards[Rook] | queens)) |
                            (bishopAttacks(square, afterMove) & (typeBitboards[Bishop] | queens))) &
                           colourBitboards[colourOf(piece)];
    return (xrays & ~(rookAttacks(square, occupied) | bishopAttacks(square, occupied))) != 0;
}

Bitboard Board::pinnedOwnPieces() const {
    const Square king = kingSquare(sideToMove);
    return loneBlockers(*this, king, slidersAimingAt(*this, king, sideToMove ^ 1), sideToMove);
}

Bitboard Board::checkDiscoverers() const {
    const Square enemyKing = kingSquare(sideToMove ^ 1);
    return loneBlockers(*this, enemyKing, slidersAimingAt(*this, enemyKing, sideToMove), sideToMove);
}

// Check squares by piece type for the side to move, seen from the enemy king.
CheckInfo::CheckInfo(const Board& board) {
    const Colour us = board.sideToMove;
    const Colour them = us ^ 1;
    const Square ownKing = board.kingSquare(us);
    const Square enemyKing = board.kingSquare(them);
    const Bitboard occupied = board.occupancy();

    discoverers = loneBlockers(board, enemyKing, slidersAimingAt(board, enemyKing, us), us);
    pinned = loneBlockers(board, ownKing, slidersAimingAt(board, ownKing, them), us);
    const Bitboard bishopSquares = bishopAttacks(enemyKing, occupied);
    const Bitboard rookSquares = rookAttacks(enemyKing, occupied);
    checkSquares[NoPieceType] = 0;
    checkSquares[Pawn] = stepAttacks[makePiece(them, Pawn)][enemyKing];
    checkSquares[Knight] = stepAttacks[makePiece(White, Knight)][enemyKing];
    checkSquares[Bishop] = bishopSquares;
    checkSquares[Rook] = rookSquares;
    checkSquares[Queen] = bishopSquares | rookSquares;
    checkSquares[King] = 0;
    checkSquares[7] = 0;
}

}  // namespace orvath
