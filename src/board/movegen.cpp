// SPDX-License-Identifier: GPL-3.0-or-later
// Pseudo-legal move generation. The order in which moves come out is part of the contract:
// the move selector serves some stages in generation order and the root list keeps it, so
// the search's node counts depend on it.
#include "board/movegen.h"

#include "board/bitboard.h"

namespace orvath {

namespace {

enum class PawnKind { Captures, Quiets, Evasions };

// Directions and ranks of one side's pawns. "One way" is towards the h-file for white and
// towards the a-file for black; each diagonal masks off the file a wrapped step would land on.
template <Colour Us>
struct PawnGeometry {
    static constexpr Colour Them = Us ^ 1;
    static constexpr int Forward = Us == White ? 8 : -8;
    static constexpr int OneWay = Us == White ? 9 : -9;
    static constexpr int OtherWay = Us == White ? 7 : -7;
    static constexpr Bitboard OneWayLegal = Us == White ? ~FileABits : ~FileHBits;
    static constexpr Bitboard OtherWayLegal = Us == White ? ~FileHBits : ~FileABits;
    static constexpr Bitboard PromotionRank = Us == White ? Rank7Bits : Rank2Bits;
    static constexpr Bitboard SinglePushRank = Us == White ? Rank3Bits : Rank6Bits;  // reached from the start rank
};

template <int Delta>
constexpr Bitboard shifted(Bitboard bits) {
    if constexpr (Delta > 0)
        return bits << Delta;
    else
        return bits >> -Delta;
}

inline MoveEntry* emit(MoveEntry* out, Move move) {
    out->move = move;  // the score is the selector's business
    return out + 1;
}

// Pawn moves that arrived at `destinations` by one step of Delta, lowest destination first.
template <int Delta>
MoveEntry* emitPawnMoves(Bitboard destinations, MoveEntry* out) {
    while (destinations) {
        const Square to = popLowestSquare(destinations);
        out = emit(out, encodeMove(to - Delta, to));
    }
    return out;
}

// Promotions by a step of Delta; each destination gets its promotion types in the listed order.
template <int Delta, PieceType... Types>
MoveEntry* emitPromotions(Bitboard destinations, MoveEntry* out) {
    while (destinations) {
        const Square to = popLowestSquare(destinations);
        ((out = emit(out, encodePromotion(to - Delta, to, Types))), ...);
    }
    return out;
}

// The three promotion groups of one kind: capture one way, capture the other way, push.
template <Colour Us, PieceType... Types>
MoveEntry* emitPromotionGroups(Bitboard promoting, Bitboard captureTargets, Bitboard pushTargets, MoveEntry* out) {
    using G = PawnGeometry<Us>;
    out = emitPromotions<G::OneWay, Types...>(shifted<G::OneWay>(promoting) & G::OneWayLegal & captureTargets, out);
    out = emitPromotions<G::OtherWay, Types...>(shifted<G::OtherWay>(promoting) & G::OtherWayLegal & captureTargets,
                                                out);
    return emitPromotions<G::Forward, Types...>(shifted<G::Forward>(promoting) & pushTargets, out);
}

template <Colour Us>
MoveEntry* emitPawnCaptures(Bitboard pawns, Bitboard targets, MoveEntry* out) {
    using G = PawnGeometry<Us>;
    out = emitPawnMoves<G::OneWay>(shifted<G::OneWay>(pawns) & G::OneWayLegal & targets, out);
    return emitPawnMoves<G::OtherWay>(shifted<G::OtherWay>(pawns) & G::OtherWayLegal & targets, out);
}

// Single pushes, then double steps, both onto `targets`; the square a double step skips must be empty.
template <Colour Us>
MoveEntry* emitPawnPushes(Bitboard pawns, Bitboard empty, Bitboard targets, MoveEntry* out) {
    using G = PawnGeometry<Us>;
    const Bitboard singles = shifted<G::Forward>(pawns) & empty;
    const Bitboard doubles = shifted<G::Forward>(singles & G::SinglePushRank) & empty;
    out = emitPawnMoves<G::Forward>(singles & targets, out);
    return emitPawnMoves<2 * G::Forward>(doubles & targets, out);
}

template <Colour Us>
MoveEntry* emitEnPassant(Bitboard pawns, Square enPassant, MoveEntry* out) {
    Bitboard capturers = pawns & stepAttacks[makePiece(PawnGeometry<Us>::Them, Pawn)][enPassant];
    while (capturers)
        out = emit(out, encodeMove(popLowestSquare(capturers), enPassant, KindEnPassant));
    return out;
}

// Pawn moves of one kind. For evasions `target` is the checker and the squares between it and
// the king; the other kinds ignore it.
template <Colour Us, PawnKind Kind>
MoveEntry* generatePawnMoves(const Board& board, Bitboard target, MoveEntry* out) {
    using G = PawnGeometry<Us>;
    const Bitboard pawns = board.piecesOf(Us, Pawn);
    const Bitboard promoting = pawns & G::PromotionRank;
    const Bitboard others = pawns & ~G::PromotionRank;
    const Bitboard enemies = board.piecesOfColour(G::Them);
    const Bitboard empty = ~board.occupancy();
    const Square enPassant = board.state().enPassantSquare;

    if constexpr (Kind == PawnKind::Captures) {
        if (promoting)
            out = emitPromotionGroups<Us, Queen>(promoting, enemies, empty, out);
        out = emitPawnCaptures<Us>(others, enemies, out);
        if (enPassant != NoSquare)
            out = emitEnPassant<Us>(others, enPassant, out);
    } else if constexpr (Kind == PawnKind::Quiets) {
        if (promoting)
            out = emitPromotionGroups<Us, Rook, Bishop, Knight>(promoting, enemies, empty, out);
        out = emitPawnPushes<Us>(others, empty, empty, out);
    } else {
        if (promoting)
            out = emitPromotionGroups<Us, Queen, Rook, Bishop, Knight>(promoting, enemies & target, empty & target,
                                                                       out);
        out = emitPawnCaptures<Us>(others, enemies & target, out);
        out = emitPawnPushes<Us>(others, empty, target, out);
        // Only the pawn that has just double-stepped can be removed en passant.
        if (enPassant != NoSquare && (squareMask[enPassant - G::Forward] & target))
            out = emitEnPassant<Us>(others, enPassant, out);
    }
    return out;
}

template <PawnKind Kind>
MoveEntry* generatePawnMoves(const Board& board, Bitboard target, MoveEntry* out) {
    return board.sideToMove == White ? generatePawnMoves<White, Kind>(board, target, out)
                                     : generatePawnMoves<Black, Kind>(board, target, out);
}

template <PieceType Type>
Bitboard attacksOf(Colour us, Square from, Bitboard occupied) {
    if constexpr (Type == Bishop)
        return bishopAttacks(from, occupied);
    else if constexpr (Type == Rook)
        return rookAttacks(from, occupied);
    else if constexpr (Type == Queen)
        return queenAttacks(from, occupied);
    else
        return stepAttacks[makePiece(us, Type)][from];
}

// Moves of every piece of one type onto `target`, pieces in piece-list order.
template <PieceType Type>
MoveEntry* generatePieceMoves(const Board& board, Colour us, Bitboard target, MoveEntry* out) {
    const Piece piece = makePiece(us, Type);
    const Bitboard occupied = board.occupancy();
    for (int slot = 0; slot < board.pieceCounts[piece]; ++slot) {
        const Square from = board.pieceSquares[piece][slot];
        Bitboard destinations = attacksOf<Type>(us, from, occupied) & target;
        while (destinations)
            out = emit(out, encodeMove(from, popLowestSquare(destinations)));
    }
    return out;
}

MoveEntry* generatePiecesAndKing(const Board& board, Colour us, Bitboard target, MoveEntry* out) {
    out = generatePieceMoves<Knight>(board, us, target, out);
    out = generatePieceMoves<Bishop>(board, us, target, out);
    out = generatePieceMoves<Rook>(board, us, target, out);
    out = generatePieceMoves<Queen>(board, us, target, out);
    return generatePieceMoves<King>(board, us, target, out);
}

// Castling through the rights still held, king side first; the king may not leave, cross or
// enter an attacked square.
MoveEntry* generateCastling(const Board& board, Colour us, MoveEntry* out) {
    const int rights = board.state().castlingRights & castlingRightsOf(us);
    if (rights == 0)
        return out;
    const Square kingFrom = board.kingSquare(us);
    const Bitboard enemies = board.piecesOfColour(us ^ 1);
    const Bitboard occupied = board.occupancy();

    for (const int right : {kingSideRight(us), queenSideRight(us)}) {
        if (!(rights & right) || (occupied & board.castlingPath[right]))
            continue;
        const Square rookFrom = board.castlingRookSquare[right];
        // The king's squares are seen without the castling rook: a rook that leaves the back
        // rank's line may uncover an enemy slider behind it (possible only when the rights name
        // an inner rook by its file; a corner rook never hides anything).
        const Bitboard occupiedWithoutRook = occupied & ~squareMask[rookFrom];
        Bitboard kingWalk = board.castlingKingWalk[right];
        bool attacked = false;
        while (kingWalk && !attacked)
            attacked = (board.attackersOfSquare(popLowestSquare(kingWalk), occupiedWithoutRook) & enemies) != 0;
        if (!attacked)
            out = emit(out, encodeMove(kingFrom, rookFrom, KindCastling));
    }
    return out;
}

// Squares that a checking slider attacks through the king: stepping there stays in check.
Bitboard squaresBehindKing(const Board& board, Square kingSquare) {
    Bitboard behind = 0;
    Bitboard checkers = board.checkers();
    while (checkers) {
        const Square from = popLowestSquare(checkers);
        switch (typeOf(board.pieceOn(from))) {
        case Bishop: behind |= bishopEmptyAttacks[from]; break;
        case Rook: behind |= rookEmptyAttacks[from]; break;
        case Queen:
            // Next to the king on a diagonal, the queen's file and rank lines are taken as they
            // are, so that the squares it really cannot reach stay open to the king.
            if (betweenMask[from][kingSquare] || rankOf(from) == rankOf(kingSquare)
                || fileOf(from) == fileOf(kingSquare))
                behind |= queenEmptyAttacks[from];
            else
                behind |= bishopEmptyAttacks[from] | rookAttacks(from, board.occupancy());
            break;
        default: break;
        }
    }
    return behind;
}

// Pawn moves that check: knight promotions that attack the king from their square (by push
// or capture), then pushes that attack it directly or uncover a line to it.
template <Colour Us>
MoveEntry* generatePawnChecks(const Board& board, Square enemyKing, const CheckInfo& checkInfo, MoveEntry* out) {
    using G = PawnGeometry<Us>;
    const Bitboard pawns = board.piecesOf(Us, Pawn);
    const Bitboard promoting = pawns & G::PromotionRank;
    const Bitboard others = pawns & ~G::PromotionRank;
    const Bitboard empty = ~board.occupancy();

    if (promoting) {
        const Bitboard knightChecks = checkInfo.checkSquares[Knight];
        out = emitPromotionGroups<Us, Knight>(promoting, board.piecesOfColour(G::Them) & knightChecks,
                                              empty & knightChecks, out);
    }

    // A pawn that leaves the king's file opens the rank or diagonal it was blocking.
    const Bitboard directSquares = checkInfo.checkSquares[Pawn];
    const Bitboard uncovering = others & checkInfo.discoverers & ~fileMask[fileOf(enemyKing)];
    const Bitboard singles = shifted<G::Forward>(others) & empty;
    const Bitboard doubles = shifted<G::Forward>(singles & G::SinglePushRank) & empty;
    const Bitboard uncoveringSingles = shifted<G::Forward>(uncovering) & empty;
    const Bitboard uncoveringDoubles = shifted<G::Forward>(uncoveringSingles & G::SinglePushRank) & empty;
    out = emitPawnMoves<G::Forward>((singles & directSquares) | uncoveringSingles, out);
    return emitPawnMoves<2 * G::Forward>((doubles & directSquares) | uncoveringDoubles, out);
}

template <PieceType Type>
Bitboard emptyBoardAttacks(Square from) {
    if constexpr (Type == Bishop)
        return bishopEmptyAttacks[from];
    else if constexpr (Type == Rook)
        return rookEmptyAttacks[from];
    else
        return queenEmptyAttacks[from];
}

// Moves of the pieces of one type onto the squares from which that type attacks the enemy
// king; the discovered-check candidates have already emitted all their moves.
template <PieceType Type>
MoveEntry* generateDirectChecks(const Board& board, Colour us, Bitboard checkSquares, Bitboard discoverers,
                                MoveEntry* out) {
    if (!checkSquares)
        return out;
    const Piece piece = makePiece(us, Type);
    const Bitboard occupied = board.occupancy();
    for (int slot = 0; slot < board.pieceCounts[piece]; ++slot) {
        const Square from = board.pieceSquares[piece][slot];
        if (discoverers & squareMask[from])
            continue;
        if constexpr (Type != Knight) {
            if (!(emptyBoardAttacks<Type>(from) & checkSquares))
                continue;
        }
        Bitboard destinations = attacksOf<Type>(us, from, occupied) & checkSquares;
        while (destinations)
            out = emit(out, encodeMove(from, popLowestSquare(destinations)));
    }
    return out;
}

// Every non-capturing move of a piece that blocks a line from an own slider to the enemy king;
// the king only to squares off every line through the enemy king.
MoveEntry* generateDiscoveredChecks(const Board& board, Square enemyKing, Bitboard discoverers, MoveEntry* out) {
    const Bitboard occupied = board.occupancy();
    const Bitboard empty = ~occupied;
    while (discoverers) {
        const Square from = popLowestSquare(discoverers);
        const Piece piece = board.pieceOn(from);
        Bitboard destinations = 0;
        switch (typeOf(piece)) {
        case Knight: destinations = stepAttacks[piece][from] & empty; break;
        case Bishop: destinations = bishopAttacks(from, occupied) & empty; break;
        case Rook: destinations = rookAttacks(from, occupied) & empty; break;
        case King: destinations = stepAttacks[piece][from] & empty & ~queenEmptyAttacks[enemyKing]; break;
        default: break;  // pawns come with the pawn pushes; a queen here would already give check
        }
        while (destinations)
            out = emit(out, encodeMove(from, popLowestSquare(destinations)));
    }
    return out;
}

}  // namespace

MoveEntry* generateCaptures(const Board& board, MoveEntry* out) {
    const Colour us = board.sideToMove;
    out = generatePawnMoves<PawnKind::Captures>(board, 0, out);
    return generatePiecesAndKing(board, us, board.piecesOfColour(us ^ 1), out);
}

MoveEntry* generateQuiets(const Board& board, MoveEntry* out) {
    const Colour us = board.sideToMove;
    out = generatePawnMoves<PawnKind::Quiets>(board, 0, out);
    out = generatePiecesAndKing(board, us, ~board.occupancy(), out);
    return generateCastling(board, us, out);
}

MoveEntry* generateAllMoves(const Board& board, MoveEntry* out) {
    const Colour us = board.sideToMove;
    out = generatePawnMoves<PawnKind::Captures>(board, 0, out);
    out = generatePawnMoves<PawnKind::Quiets>(board, 0, out);
    out = generatePiecesAndKing(board, us, ~board.piecesOfColour(us), out);
    return generateCastling(board, us, out);
}

MoveEntry* generateEvasions(const Board& board, MoveEntry* out) {
    const Colour us = board.sideToMove;
    const Square kingSquare = board.kingSquare(us);
    const Bitboard checkers = board.checkers();

    // The king first: to any square not holding an own piece and not on a checking line.
    Bitboard kingMoves = stepAttacks[makePiece(us, King)][kingSquare] & ~board.piecesOfColour(us)
                         & ~squaresBehindKing(board, kingSquare);
    while (kingMoves)
        out = emit(out, encodeMove(kingSquare, popLowestSquare(kingMoves)));

    if (moreThanOne(checkers))
        return out;

    // A single checker: capture it or block its line.
    const Square checker = lowestSquare(checkers);
    const Bitboard target = betweenMask[checker][kingSquare] | squareMask[checker];
    out = generatePawnMoves<PawnKind::Evasions>(board, target, out);
    out = generatePieceMoves<Knight>(board, us, target, out);
    out = generatePieceMoves<Bishop>(board, us, target, out);
    out = generatePieceMoves<Rook>(board, us, target, out);
    return generatePieceMoves<Queen>(board, us, target, out);
}

MoveEntry* generateQuietChecks(const Board& board, MoveEntry* out) {
    const Colour us = board.sideToMove;
    const Square enemyKing = board.kingSquare(us ^ 1);
    const CheckInfo checkInfo(board);
    const Bitboard discoverers = checkInfo.discoverers;
    const Bitboard empty = ~board.occupancy();

    out = generateDiscoveredChecks(board, enemyKing, discoverers, out);
    out = us == White ? generatePawnChecks<White>(board, enemyKing, checkInfo, out)
                      : generatePawnChecks<Black>(board, enemyKing, checkInfo, out);

    const Bitboard* checkSquares = checkInfo.checkSquares;
    out = generateDirectChecks<Knight>(board, us, checkSquares[Knight] & empty, discoverers, out);
    out = generateDirectChecks<Bishop>(board, us, checkSquares[Bishop] & empty, discoverers, out);
    out = generateDirectChecks<Rook>(board, us, checkSquares[Rook] & empty, discoverers, out);
    return generateDirectChecks<Queen>(board, us, checkSquares[Queen] & empty, discoverers, out);
}

MoveEntry* generateLegalMoves(const Board& board, MoveEntry* out) {
    return generateLegalMoves(board, out, board.pinnedOwnPieces());
}

namespace {

// Drops the moves that leave the own king attacked. Only a move of a pinned piece or the king,
// or en passant, can do that; a position without an en-passant square has no en passant to
// test. The list is read without a write up to the first move dropped, and compacted from there.
template <bool EnPassantPossible>
MoveEntry* keepLegalMoves(const Board& board, MoveEntry* begin, MoveEntry* end, Bitboard pinned) {
    const Bitboard suspects = pinned | board.piecesOf(board.sideToMove, King);
    const auto legal = [&](Move move) {
        const bool unsuspected = ((suspects >> moveFrom(move)) & 1) == 0 &&
                                 (!EnPassantPossible || moveKind(move) != KindEnPassant);
        return unsuspected || board.isLegal(move, pinned);
    };
    MoveEntry* entry = begin;
    while (entry != end && legal(static_cast<Move>(entry->move)))
        ++entry;
    if (entry == end)
        return end;
    MoveEntry* kept = entry;
    for (++entry; entry != end; ++entry) {
        *kept = *entry;
        kept += legal(static_cast<Move>(entry->move));
    }
    return kept;
}

}  // namespace

MoveEntry* generateLegalMoves(const Board& board, MoveEntry* out, Bitboard pinned) {
    MoveEntry* const end = board.inCheck() ? generateEvasions(board, out) : generateAllMoves(board, out);
    return board.state().enPassantSquare == NoSquare ? keepLegalMoves<false>(board, out, end, pinned)
                                                     : keepLegalMoves<true>(board, out, end, pinned);
}

}  // namespace orvath
