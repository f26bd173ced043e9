// SPDX-License-Identifier: GPL-3.0-or-later
// Static exchange evaluation: what a capture wins or loses once every piece that can take
// on its square has taken, least valuable first, each side free to stop.
#include "board/board.h"
#include "board/keys.h"

namespace orvath {

namespace {

// Every capture on the square comes from one of its 35 queen-line and knight squares, and the
// moving piece is one of them; with the first victim and the king's entry that is at most 36
// entries, so the list cannot overrun.
constexpr int ExchangeListSize = 40;
constexpr int KingCaptureAnswer = 25210;  // a king that takes into a defended square is lost

}  // namespace

// Material outcome of the capture sequence the move starts, for the mover, in midgame units.
int Board::staticExchange(Move move) const {
    if (moveKind(move) == KindCastling)
        return 0;

    const Square from = moveFrom(move);
    const Square to = moveTo(move);
    const Piece mover = squares[from];
    Bitboard occupied = occupancy();

    PieceType victim = typeOf(squares[to]);
    if (to == currentState->enPassantSquare && typeOf(mover) == Pawn) {
        victim = Pawn;
        occupied &= squareClearMask[enPassantVictimSquare(sideToMove, to)];
    }

    occupied &= squareClearMask[from];
    Bitboard attackers = attackersOfSquare(to, occupied);

    Colour replying = colourOf(mover) ^ 1;
    if ((attackers & piecesOfColour(replying)) == 0)
        return midgameValue[victim];

    int gains[ExchangeListSize];
    gains[0] = midgameValue[victim];
    PieceType nextVictim = typeOf(mover);
    int n = 1;

    const Bitboard diagonalSliders = piecesOfType(Bishop) | piecesOfType(Queen);
    const Bitboard straightSliders = piecesOfType(Rook) | piecesOfType(Queen);
    while (n < ExchangeListSize - 1) {
        const Bitboard own = attackers & piecesOfColour(replying);
        PieceType capturer = Pawn;
        Bitboard candidates = own & typeBitboards[capturer];
        while (candidates == 0 && capturer < King)
            candidates = own & typeBitboards[++capturer];

        // The capturer leaves the square; only a slider behind it on its own line can join. A
        // pawn and a bishop stand on a diagonal of the square, a rook on its rank or file, a
        // knight on neither; a queen or king may stand on either.
        replying ^= 1;
        occupied ^= squareMask[lowestSquare(candidates)];
        attackers &= occupied;
        if (capturer != Knight && capturer != Rook)
            attackers |= bishopAttacks(to, occupied) & diagonalSliders & occupied;
        if (capturer >= Rook)
            attackers |= rookAttacks(to, occupied) & straightSliders & occupied;

        gains[n] = midgameValue[nextVictim] - gains[n - 1];
        ++n;
        nextVictim = capturer;

        const bool answered = (attackers & piecesOfColour(replying)) != 0;
        if (capturer == King) {
            if (answered)
                gains[n++] = KingCaptureAnswer;
            break;
        }
        if (!answered)
            break;
    }

    while (--n > 0)
        if (-gains[n] < gains[n - 1])
            gains[n - 1] = -gains[n];
    return gains[0];
}

// Sign-only form: a capture of a piece worth at least the capturer needs no exchange walk.
int Board::exchangeSign(Move move) const {
    if (midgameValue[squares[moveTo(move)]] >= midgameValue[squares[moveFrom(move)]])
        return 1;
    return staticExchange(move);
}

}  // namespace orvath
