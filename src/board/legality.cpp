// SPDX-License-Identifier: GPL-3.0-or-later
// Position queries for the search: whether a move is legal or could have been generated
// here, checkmate and draws. None of them changes the board.
#include "board/board.h"
#include "board/movegen.h"

namespace orvath {

namespace {

constexpr int InsufficientMaterial = 836;   // a lone bishop or knight on the whole board, or nothing
constexpr int ShortestRepetition = 4;       // plies back to the earliest possible repeat

int fileDistance(Square a, Square b) {
    return fileOf(a) > fileOf(b) ? fileOf(a) - fileOf(b) : fileOf(b) - fileOf(a);
}

}  // namespace

// isLegal for the moves it does not answer itself: en passant, king moves and moves of
// pinned pieces.
bool Board::isOtherMoveLegal(Move move, Bitboard pinned) const {
    const Colour us = sideToMove;
    const Colour them = us ^ 1;
    const Square from = moveFrom(move);
    const Square to = moveTo(move);
    const Square king = kingSquare(us);

    // En passant takes two pawns off one rank at once, which no pin set describes.
    if (moveKind(move) == KindEnPassant) {
        const Square captured = enPassantVictimSquare(us, to);
        const Bitboard occupied = (occupancy() & squareClearMask[from] & squareClearMask[captured]) | squareMask[to];
        return (rookAttacks(king, occupied) & (piecesOf(them, Rook) | piecesOf(them, Queen))) == 0 &&
               (bishopAttacks(king, occupied) & (piecesOf(them, Bishop) | piecesOf(them, Queen))) == 0;
    }

    // The generator has already checked every square of a castling move.
    if (typeOf(squares[from]) == King)
        return moveKind(move) == KindCastling || (attackersOfSquare(to, occupancy()) & piecesOfColour(them)) == 0;

    return (pinned & squareMask[from]) == 0 || onOneLine(to, from, king);
}

// Whether an arbitrary move (a hash move or a killer) could have been generated here, pins aside.
bool Board::isPseudoLegal(Move move) const {
    const Colour us = sideToMove;
    const Colour them = us ^ 1;
    const Square from = moveFrom(move);
    const Square to = moveTo(move);

    // 1. The rare special kinds are checked against the full list.
    if (moveKind(move) != KindNormal)
        return isInLegalList(move);

    // 2. Promotion bits on a normal move never come from the generators.
    if ((move & 0x3000) != 0)
        return false;

    // 3. Our piece moves, and not onto another of ours.
    const Piece piece = squares[from];
    if (piece == EmptySquare || colourOf(piece) != us)
        return false;
    if ((piecesOfColour(us) & squareMask[to]) != 0)
        return false;

    // 4. and 5. The piece's own way of moving.
    if (typeOf(piece) == Pawn) {
        const int step = us == White ? to - from : from - to;
        if (step <= 0 || ((rankMask[0] | rankMask[7]) & squareMask[to]) != 0)
            return false;
        const Bitboard empty = ~occupancy();
        switch (step) {
        case 7:
        case 9:
            if ((piecesOfColour(them) & squareMask[to]) == 0 || fileDistance(from, to) != 1)
                return false;
            break;
        case 8:
            if ((empty & squareMask[to]) == 0)
                return false;
            break;
        case 16: {
            const Square skipped = (from + to) / 2;
            if (rankOf(to) != (us == White ? 3 : 4) || (empty & squareMask[to]) == 0 ||
                (empty & squareMask[skipped]) == 0)
                return false;
            break;
        }
        default:
            return false;
        }
    } else if ((pieceAttacksFrom(piece, from, occupancy()) & squareMask[to]) == 0) {
        return false;
    }

    // 6. In check only a king step to safety, a block or the capture of a single checker.
    const Bitboard checking = checkers();
    if (checking != 0) {
        if (typeOf(piece) == King)
            return (attackersOfSquare(to, occupancy() & squareClearMask[from]) & piecesOfColour(them)) == 0;
        if (moreThanOne(checking))
            return false;
        const Square checker = lowestSquare(checking);
        return to == checker || (betweenMask[checker][kingSquare(us)] & squareMask[to]) != 0;
    }
    return true;
}

// Whether the move is one of this position's legal moves, by generating them all.
bool Board::isInLegalList(Move move) const {
    MoveEntry list[MaxMoves];
    MoveEntry* const end = inCheck() ? generateEvasions(*this, list) : generateAllMoves(*this, list);
    const Bitboard pinned = pinnedOwnPieces();
    for (const MoveEntry* entry = list; entry != end; ++entry)
        if (static_cast<Move>(entry->move) == move && isLegal(move, pinned))
            return true;
    return false;
}

// Whether the side to move is in check and has no legal move.
bool Board::isCheckmate() const {
    if (!inCheck())
        return false;
    MoveEntry list[MaxMoves];
    MoveEntry* const end = generateEvasions(*this, list);
    const Bitboard pinned = pinnedOwnPieces();
    for (const MoveEntry* entry = list; entry != end; ++entry)
        if (isLegal(static_cast<Move>(entry->move), pinned))
            return false;
    return true;
}

// Insufficient material, the fifty-move rule, or a position seen before within the reversible stretch.
bool Board::isDraw() const {
    const BoardState& current = *currentState;

    if (piecesOfType(Pawn) == 0 && current.pieceMaterial[White] + current.pieceMaterial[Black] <= InsufficientMaterial)
        return true;

    if (current.fiftyMoveCounter >= FiftyMoveLimit && !isCheckmate())
        return true;

    // Only positions with the same side to move can repeat, so every second record is compared.
    // A null move ends the walk: pliesSinceNull counts no further back than the chain reaches.
    const int reach = current.fiftyMoveCounter < current.pliesSinceNull ? current.fiftyMoveCounter
                                                                        : current.pliesSinceNull;
    if (reach >= ShortestRepetition) {
        const BoardState* earlier = current.previousState->previousState;
        for (int distance = ShortestRepetition; distance <= reach; distance += 2) {
            earlier = earlier->previousState->previousState;
            if (earlier->positionHash == current.positionHash)
                return true;
        }
    }
    return false;
}

}  // namespace orvath
