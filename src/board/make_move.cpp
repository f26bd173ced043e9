// SPDX-License-Identifier: GPL-3.0-or-later
// Making and taking back moves. Every incremental field of the board is updated by
// differences: nothing here loops over the board or recomputes a key from scratch.
#include <cassert>
#include <cstring>

#include "board/board.h"
#include "board/keys.h"
#include "board/prefetch.h"

namespace orvath {

namespace {

constexpr int DoubleStepDistance = 16;  // origin XOR destination of a pawn's double step
constexpr int32_t AllRightsKept = 15;   // a keep mask that removes no castling right

// Debug builds (CMake defines ORVATH_CHECK_BOARD for them) recompute the whole board after
// every make and unmake, so that every test run there checks each move it plays. Far too
// slow for any other build.
#ifdef ORVATH_CHECK_BOARD
constexpr bool CheckEveryMove = true;
#else
constexpr bool CheckEveryMove = false;
#endif

// Only legal positions are checked. Tests make illegal moves on purpose, to see which moves
// leave the king attacked, and the checkers of such a position mean nothing.
void checkBoard([[maybe_unused]] const Board& board) {
    if constexpr (CheckEveryMove) {
        const Square moverKing = board.kingSquare(board.sideToMove ^ 1);
        const bool legal = moverKing == NoSquare || (board.attackersOfSquare(moverKing, board.occupancy()) &
                                                     board.piecesOfColour(board.sideToMove)) == 0;
        assert(!legal || board.isConsistent());
    }
}

// Where castling puts the king and the rook: the g and f files when the rook stands above the
// king, the c and d files otherwise. Either destination may equal either origin.
struct CastlingDestinations {
    Square king;
    Square rook;
};

CastlingDestinations castlingDestinations(Colour us, Square kingFrom, Square rookFrom) {
    const Square base = us == White ? A1 : A8;
    if (rookFrom > kingFrom) return {base + 6, base + 5};
    return {base + 2, base + 3};
}

// The half tempo moves to the new side to move: it is counted from white's point of view.
void passTempo(PackedScore& score, Colour newSideToMove) {
    if (newSideToMove == White)
        score += tempoScore;
    else
        score -= tempoScore;
}

// The list's last square fills the freed slot and the last slot becomes free. The piece's
// count must already be decreased, so that it indexes the last slot.
void removeFromList(Board& board, Piece piece, Square square) {
    const int last = board.pieceCounts[piece];
    const Square lastSquare = board.pieceSquares[piece][last];
    const int slot = board.squareSlot[square];
    board.pieceSquares[piece][slot] = lastSquare;
    board.squareSlot[lastSquare] = slot;
    board.pieceSquares[piece][last] = NoSquare;
}

// Appends at the new last slot; the piece's count must already be increased.
void appendToList(Board& board, Piece piece, Square square) {
    const int slot = board.pieceCounts[piece] - 1;
    board.pieceSquares[piece][slot] = square;
    board.squareSlot[square] = slot;
}

// Moves king and rook between the two pairs of squares. Both pieces leave before either
// arrives, and both slots are read before either is written, so that a destination may be
// the other piece's origin (or its own).
void shiftKingAndRook(Board& board, Colour us, Square kingFrom, Square kingTo, Square rookFrom, Square rookTo) {
    const Piece king = makePiece(us, King);
    const Piece rook = makePiece(us, Rook);
    const Bitboard origins = squareMask[kingFrom] | squareMask[rookFrom];
    const Bitboard destinations = squareMask[kingTo] | squareMask[rookTo];

    board.colourBitboards[us] = (board.colourBitboards[us] & ~origins) | destinations;
    board.typeBitboards[0] = (board.typeBitboards[0] & ~origins) | destinations;
    board.typeBitboards[King] = (board.typeBitboards[King] & squareClearMask[kingFrom]) | squareMask[kingTo];
    board.typeBitboards[Rook] = (board.typeBitboards[Rook] & squareClearMask[rookFrom]) | squareMask[rookTo];

    board.squares[kingFrom] = EmptySquare;
    board.squares[rookFrom] = EmptySquare;
    board.squares[kingTo] = king;
    board.squares[rookTo] = rook;

    const int kingSlot = board.squareSlot[kingFrom];
    const int rookSlot = board.squareSlot[rookFrom];
    board.pieceSquares[king][kingSlot] = kingTo;
    board.pieceSquares[rook][rookSlot] = rookTo;
    board.squareSlot[kingTo] = kingSlot;
    board.squareSlot[rookTo] = rookSlot;
}

// The rest of makeMove for a castling move, once the new record is linked in and holds the
// position hash with the side already switched.
void makeCastlingMove(Board& board, Move move, BoardState& state) {
    const Colour us = board.sideToMove;
    const Colour them = us ^ 1;
    const Square kingFrom = moveFrom(move);
    const Square rookFrom = moveTo(move);
    const CastlingDestinations to = castlingDestinations(us, kingFrom, rookFrom);
    const Piece king = makePiece(us, King);
    const Piece rook = makePiece(us, Rook);

    shiftKingAndRook(board, us, kingFrom, to.king, rookFrom, to.rook);

    state.capturedPieceType = NoPieceType;
    state.placementScore += placementScoreTable[king][to.king] - placementScoreTable[king][kingFrom];
    state.placementScore += placementScoreTable[rook][to.rook] - placementScoreTable[rook][rookFrom];
    state.positionHash ^= pieceSquareHash[king][kingFrom] ^ pieceSquareHash[king][to.king];
    state.positionHash ^= pieceSquareHash[rook][rookFrom] ^ pieceSquareHash[rook][to.rook];

    if (state.enPassantSquare != NoSquare) {
        state.positionHash ^= enPassantHash[state.enPassantSquare];
        state.enPassantSquare = NoSquare;
    }
    // The king square's keep mask removes both rights of the colour.
    state.positionHash ^= castlingHash[state.castlingRights];
    state.castlingRights &= board.castlingKeepMask[kingFrom];
    state.positionHash ^= castlingHash[state.castlingRights];

    state.fiftyMoveCounter = 0;
    // The rook may check along the king's old rank or file: no check squares cover that.
    state.checkingPieces =
        board.attackersOfSquare(board.kingSquare(them), board.occupancy()) & board.colourBitboards[us];

    board.sideToMove = them;
    passTempo(state.placementScore, them);
}

}  // namespace

// The checks that the check squares do not show: an uncovered line, and the special kinds,
// which change more than the mover's square. The mover does not attack the king from its
// destination.
bool Board::givesOtherCheck(Move move, const CheckInfo& checkInfo) const {
    const Colour us = sideToMove;
    const Square from = moveFrom(move);
    const Square to = moveTo(move);
    const PieceType type = typeOf(squares[from]);
    const Square enemyKing = kingSquare(us ^ 1);

    if (checkInfo.discoverers & squareMask[from]) {
        if (type != Pawn && type != King) return true;
        // A pawn or king uncovers the line unless it stays on it.
        if (!onOneLine(to, from, enemyKing)) return true;
    }

    switch (moveKind(move)) {
        case KindNormal:
            return false;

        case KindPromotion: {
            const Bitboard occupied = occupancy() & squareClearMask[from];
            return (pieceAttacksFrom(makePiece(us, promotionType(move)), to, occupied) & squareMask[enemyKing]) != 0;
        }

        case KindEnPassant: {
            // Both pawns leave the origin's rank: that can open a rank or a diagonal onto the king.
            const Square victim = enPassantVictimSquare(us, to);
            const Bitboard occupied = (occupancy() & squareClearMask[from] & squareClearMask[victim]) | squareMask[to];
            const Bitboard ownRooks = piecesOf(us, Rook) | piecesOf(us, Queen);
            const Bitboard ownBishops = piecesOf(us, Bishop) | piecesOf(us, Queen);
            return (rookAttacks(enemyKing, occupied) & ownRooks) || (bishopAttacks(enemyKing, occupied) & ownBishops);
        }

        default: {
            const CastlingDestinations dest = castlingDestinations(us, from, to);
            const Bitboard occupied = (occupancy() & squareClearMask[from] & squareClearMask[to]) |
                                      squareMask[dest.king] | squareMask[dest.rook];
            return (rookAttacks(dest.rook, occupied) & squareMask[enemyKing]) != 0;
        }
    }
}

namespace {

// The rest of makeMove for a promotion, once the pawn stands on the last rank: it becomes the
// new piece. Kept out of line, as the rarest of the moves, so that it costs the others nothing.
[[gnu::noinline]] void promote(Board& board, Move move, BoardState& state, uint64_t& hash) {
    const Colour us = board.sideToMove;
    const Square to = moveTo(move);
    const Piece pawn = makePiece(us, Pawn);
    const PieceType promoted = promotionType(move);
    const Piece newPiece = makePiece(us, promoted);

    board.typeBitboards[Pawn] &= squareClearMask[to];
    board.typeBitboards[promoted] |= squareMask[to];
    board.squares[to] = newPiece;

    const int newCount = ++board.pieceCounts[newPiece];
    const int pawnCount = --board.pieceCounts[pawn];
    state.materialHash ^= pieceSquareHash[pawn][pawnCount];
    state.materialHash ^= pieceSquareHash[newPiece][newCount - 1];
    removeFromList(board, pawn, to);
    appendToList(board, newPiece, to);

    hash ^= pieceSquareHash[newPiece][to] ^ pieceSquareHash[pawn][to];
    state.pawnHash ^= pieceSquareHash[pawn][to];
    state.placementScore -= placementScoreTable[pawn][to];
    state.placementScore += placementScoreTable[newPiece][to];
    state.pieceMaterial[us] += midgameValue[promoted];
}

// The checkers after a move that gives check, found from the check squares and the uncovered
// lines where they can; promotion and en passant change too much for that. Called with the
// board already changed and the side to move not yet switched.
[[gnu::noinline]] Bitboard checkersAfter(const Board& board, Move move, const CheckInfo& checkInfo) {
    const Colour us = board.sideToMove;
    const Square from = moveFrom(move);
    const Square to = moveTo(move);
    const Square enemyKing = board.kingSquare(us ^ 1);
    const Bitboard occupied = board.occupancy();
    if (moveKind(move) != KindNormal)
        return board.attackersOfSquare(enemyKing, occupied) & board.colourBitboards[us];

    const PieceType type = typeOf(board.squares[to]);
    Bitboard checking = 0;
    if (checkInfo.checkSquares[type] & squareMask[to]) checking = squareMask[to];
    if (checkInfo.discoverers & squareMask[from]) {
        if (type != Rook)
            checking |= rookAttacks(enemyKing, occupied) & (board.piecesOf(us, Rook) | board.piecesOf(us, Queen));
        if (type != Bishop)
            checking |= bishopAttacks(enemyKing, occupied) & (board.piecesOf(us, Bishop) | board.piecesOf(us, Queen));
    }
    return checking;
}

}  // namespace

// Makes a legal move. `checkInfo` belongs to the current position and `moveGivesCheck` is
// givesCheck's answer for this move.
void Board::makeMove(Move move, BoardState& newState, const CheckInfo& checkInfo, bool moveGivesCheck) {
    const Colour us = sideToMove;
    const Colour them = us ^ 1;
    const unsigned from = moveFrom(move);
    const unsigned to = moveTo(move);
    const int kind = moveKind(move);

    // 1. Link the new record in front of the current one.
    countNode();
    BoardState& previous = *currentState;
    uint64_t hash = previous.positionHash ^ blackToMoveHash;
    std::memcpy(static_cast<void*>(&newState), &previous, BoardStateCopiedBytes);
    // The counters come from the old record: read back from the fresh copy, they would wait
    // for its stores to complete.
    newState.fiftyMoveCounter = previous.fiftyMoveCounter + 1;
    newState.pliesSinceNull = previous.pliesSinceNull + 1;
    newState.previousState = &previous;
    currentState = &newState;
    BoardState& state = newState;

    // 2. Castling moves two pieces and takes its own road.
    if (kind == KindCastling) {
        state.positionHash = hash;
        makeCastlingMove(*this, move, state);
        checkBoard(*this);
        return;
    }

    // 3. The mover and what it captures: en passant takes a pawn from an empty destination.
    const unsigned piece = static_cast<unsigned>(squares[from]);
    const unsigned type = typeOf(piece);
    const unsigned captured = kind == KindEnPassant ? Pawn : typeOf(squares[to]);
    PackedScore placementScore = previous.placementScore + placementScoreTable[piece][to] -
                                 placementScoreTable[piece][from];

    // 4. Take the captured piece off the board.
    if (captured != NoPieceType) {
        unsigned captureSquare = to;
        if (kind == KindEnPassant) {
            captureSquare = enPassantVictimSquare(us, to);
            squares[captureSquare] = EmptySquare;
        }
        const unsigned victim = makePiece(them, captured);
        if (captured == Pawn)
            state.pawnHash = previous.pawnHash ^ pieceSquareHash[victim][captureSquare];
        else
            state.pieceMaterial[them] = previous.pieceMaterial[them] - midgameValue[captured];

        colourBitboards[them] &= squareClearMask[captureSquare];
        typeBitboards[captured] &= squareClearMask[captureSquare];
        typeBitboards[0] &= squareClearMask[captureSquare];
        hash ^= pieceSquareHash[victim][captureSquare];
        placementScore -= placementScoreTable[victim][captureSquare];

        const unsigned count = static_cast<unsigned>(--pieceCounts[victim]);
        state.materialHash = previous.materialHash ^ pieceSquareHash[victim][count];
        removeFromList(*this, victim, captureSquare);
        state.fiftyMoveCounter = 0;
    }

    // 5. The mover's keys, then the en-passant and castling terms.
    hash ^= pieceSquareHash[piece][from] ^ pieceSquareHash[piece][to];

    if (previous.enPassantSquare != NoSquare) {
        hash ^= enPassantHash[previous.enPassantSquare];
        state.enPassantSquare = NoSquare;
    }

    const int32_t rights = previous.castlingRights;
    if (rights != 0) {
        const int32_t keep = castlingKeepMask[to] & castlingKeepMask[from];
        if (keep != AllRightsKept) {
            hash ^= castlingHash[rights] ^ castlingHash[rights & keep];
            state.castlingRights = rights & keep;
        }
    }

    // 6. Move the piece.
    const Bitboard fromTo = squareMask[from] | squareMask[to];
    colourBitboards[us] ^= fromTo;
    typeBitboards[type] ^= fromTo;
    typeBitboards[0] ^= fromTo;
    squares[to] = static_cast<Piece>(piece);
    squares[from] = EmptySquare;
    const int slot = squareSlot[from];
    pieceSquares[piece][slot] = static_cast<Square>(to);
    squareSlot[to] = slot;

    // 7. Pawn specials: the double step's en-passant square and promotion.
    if (type == Pawn) {
        state.fiftyMoveCounter = 0;
        state.pawnHash ^= pieceSquareHash[piece][from] ^ pieceSquareHash[piece][to];

        if ((from ^ to) == DoubleStepDistance) {
            const unsigned skipped = (from + to) / 2;
            if (stepAttacks[piece][skipped] & piecesOf(them, Pawn)) {
                state.enPassantSquare = static_cast<Square>(skipped);
                hash ^= enPassantHash[skipped];
            }
        } else if (kind == KindPromotion) {
            state.placementScore = placementScore;
            promote(*this, move, state, hash);
            placementScore = state.placementScore;
        }
    }

    // 8. The child's hash-table line is fetched while the rest is written.
    prefetchBucket(hash);

    // 9. What unmake needs, the new key, the scores with the half tempo passed to the new
    // side to move, and the checkers.
    passTempo(placementScore, them);
    state.placementScore = placementScore;
    state.capturedPieceType = static_cast<int32_t>(captured);
    state.movedPiece = static_cast<int32_t>(piece);
    state.positionHash = hash;
    state.checkingPieces = moveGivesCheck ? checkersAfter(*this, move, checkInfo) : 0;

    // 10. The turn passes.
    sideToMove = them;
    checkBoard(*this);
}

// Convenience form for callers that have no CheckInfo at hand.
void Board::makeMove(Move move, BoardState& newState) {
    const CheckInfo checkInfo(*this);
    makeMove(move, newState, checkInfo, givesCheck(move, checkInfo));
}

namespace {

// Moves the piece on `to` back to `from` and puts back what it took.
inline void takeBack(Board& board, Colour us, unsigned from, unsigned to, int kind, unsigned captured,
                     unsigned piece) {
    const Colour them = us ^ 1;
    const Bitboard fromTo = squareMask[from] | squareMask[to];
    board.colourBitboards[us] ^= fromTo;
    board.typeBitboards[typeOf(piece)] ^= fromTo;
    board.typeBitboards[0] ^= fromTo;
    board.squares[from] = static_cast<Piece>(piece);
    board.squares[to] = EmptySquare;
    const int slot = board.squareSlot[to];
    board.pieceSquares[piece][slot] = static_cast<Square>(from);
    board.squareSlot[from] = slot;

    if (captured != NoPieceType) {
        const unsigned captureSquare = kind == KindEnPassant ? enPassantVictimSquare(us, to) : to;
        const unsigned victim = makePiece(them, captured);
        board.colourBitboards[them] |= squareMask[captureSquare];
        board.typeBitboards[captured] |= squareMask[captureSquare];
        board.typeBitboards[0] |= squareMask[captureSquare];
        board.squares[captureSquare] = static_cast<Piece>(victim);
        ++board.pieceCounts[victim];
        appendToList(board, static_cast<Piece>(victim), static_cast<Square>(captureSquare));
    }
}

// unmakeMove for castling and promotion, kept out of line so that the other moves need no
// saved registers. A promotion first turns the new piece back into the pawn.
[[gnu::noinline]] void unmakeSpecialMove(Board& board, Move move, Colour us, unsigned captured) {
    const Square from = moveFrom(move);
    const Square to = moveTo(move);
    if (moveKind(move) == KindCastling) {
        const CastlingDestinations dest = castlingDestinations(us, from, to);
        shiftKingAndRook(board, us, dest.king, from, dest.rook, to);
        return;
    }
    const Piece promoted = board.squares[to];
    const Piece pawn = makePiece(us, Pawn);
    board.typeBitboards[typeOf(promoted)] &= squareClearMask[to];
    board.typeBitboards[Pawn] |= squareMask[to];
    board.squares[to] = pawn;
    --board.pieceCounts[promoted];
    ++board.pieceCounts[pawn];
    removeFromList(board, promoted, to);
    appendToList(board, pawn, to);
    takeBack(board, us, static_cast<unsigned>(from), static_cast<unsigned>(to), KindPromotion, captured,
             static_cast<unsigned>(pawn));
}

}  // namespace

// Takes back the last move. Keys, scores, rights and counters live in the unlinked record,
// so only the pieces need moving.
void Board::unmakeMove(Move move) {
    const Colour us = sideToMove ^ 1;
    const BoardState& state = *currentState;
    const unsigned captured = static_cast<unsigned>(state.capturedPieceType);
    sideToMove = us;
    currentState = state.previousState;

    const int kind = moveKind(move);
    if (kind == KindCastling || kind == KindPromotion)
        unmakeSpecialMove(*this, move, us, captured);
    else
        takeBack(*this, us, moveFrom(move), moveTo(move), kind, captured, static_cast<unsigned>(state.movedPiece));
    checkBoard(*this);
}

// Passes the turn. The current record stays current; `backup` keeps what is restored and is
// spliced in behind it, so the history still reads one ply per record.
void Board::makeNullMove(BoardState& backup) {
    BoardState& state = *currentState;
    backup.positionHash = state.positionHash;
    backup.enPassantSquare = state.enPassantSquare;
    backup.placementScore = state.placementScore;
    backup.previousState = state.previousState;
    backup.pliesSinceNull = state.pliesSinceNull;
    state.previousState = &backup;

    if (state.enPassantSquare != NoSquare) state.positionHash ^= enPassantHash[state.enPassantSquare];
    state.positionHash ^= blackToMoveHash;
    prefetchBucket(state.positionHash);

    sideToMove ^= 1;
    state.enPassantSquare = NoSquare;
    ++state.fiftyMoveCounter;
    state.pliesSinceNull = 0;
    passTempo(state.placementScore, sideToMove);
    checkBoard(*this);
}

// Restores the position before makeNullMove from the record spliced in behind the current one.
void Board::undoNullMove() {
    BoardState& state = *currentState;
    const BoardState& backup = *state.previousState;
    state.positionHash = backup.positionHash;
    state.enPassantSquare = backup.enPassantSquare;
    state.placementScore = backup.placementScore;
    state.pliesSinceNull = backup.pliesSinceNull;
    state.previousState = backup.previousState;
    sideToMove ^= 1;
    --state.fiftyMoveCounter;
    checkBoard(*this);
}

}  // namespace orvath
