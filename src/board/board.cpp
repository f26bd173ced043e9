// SPDX-License-Identifier: GPL-3.0-or-later
// Setting a position up: the empty board, the FEN reader, castling rights and the
// from-scratch hash and score computations, with the full consistency check built on them.
#include "board/board.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <initializer_list>

#include "board/keys.h"

namespace orvath {

namespace {

constexpr Square FenStartSquare = A8;
constexpr int FenRankStep = 16;  // "/" after a full rank of 8 lands on the next lower rank's a-file
constexpr int FullCastlingMask = 15;
constexpr int SlotsPerPiece = 16;
constexpr PieceType UnusedType = 7;  // the eighth type bitboard, always empty

// Counters beyond these are no real game; the caps keep what the moves that follow add (one
// per move to each) far from overflow.
constexpr int MaxFiftyMoveCounter = 100000;
constexpr int64_t MaxPliesBeforeMoveNumber = 200000;
constexpr int64_t SaturatedMagnitude = int64_t{1} << 40;

constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The squares from..to of one rank, both included, in either order.
Bitboard rankSpan(Square from, Square to) {
    const Square low = std::min(from, to);
    const Square high = std::max(from, to);
    return (~Bitboard{0} << low) & (~Bitboard{0} >> (63 - high));
}

// The piece code of a FEN letter, or NoPiece for anything that names no piece ("." included).
Piece pieceFromLetter(char letter) {
    for (Colour colour = White; colour <= Black; ++colour)
        for (PieceType type = Pawn; type <= King; ++type)
            if (pieceLetters[makePiece(colour, type)] == letter)
                return makePiece(colour, type);
    return NoPiece;
}

// Knights, bishops, rooks and queens of a colour at their midgame values.
int32_t pieceMaterialOf(const int32_t pieceCounts[PieceCodeCount], Colour colour) {
    return KnightMaterial * pieceCounts[makePiece(colour, Knight)]
           + BishopMaterial * pieceCounts[makePiece(colour, Bishop)]
           + RookMaterial * pieceCounts[makePiece(colour, Rook)]
           + QueenMaterial * pieceCounts[makePiece(colour, Queen)];
}

// The FEN text read one character at a time; past the end it yields nothing.
class FenCursor {
public:
    explicit FenCursor(std::string_view fenText) : text(fenText) {}

    bool atEnd() const { return position >= text.size(); }
    char peek() const { return atEnd() ? '\0' : text[position]; }
    char next() { return atEnd() ? '\0' : text[position++]; }

    void skipBlanks() {
        while (!atEnd() && isBlank(text[position]))
            ++position;
    }

    // A signed decimal integer after optional blanks, as written where it fits in 32 bits;
    // beyond, it reads as the nearest 32-bit value, and above `high` as `high`. False, with the
    // value untouched, when no digits follow.
    bool readInteger(int& value, int high) {
        skipBlanks();
        bool negative = false;
        if (peek() == '+' || peek() == '-')
            negative = next() == '-';
        if (!isDigit(peek()))
            return false;
        int64_t magnitude = 0;
        while (isDigit(peek())) {
            const int digit = next() - '0';
            if (magnitude < SaturatedMagnitude)  // past it the clamp below decides anyway
                magnitude = magnitude * 10 + digit;
        }
        const int64_t signedValue = negative ? -magnitude : magnitude;
        value = static_cast<int>(std::clamp<int64_t>(signedValue, INT32_MIN, high));
        return true;
    }

private:
    std::string_view text;
    size_t position = 0;
};

}  // namespace

// Empties the board: no pieces, no rights, white to move, the root record current.
void Board::clearBoard() {
    rootState = BoardState{};
    rootState.enPassantSquare = NoSquare;
    currentState = &rootState;
    for (Square square = 0; square < SquareCount; ++square) {
        squares[square] = EmptySquare;
        squareSlot[square] = 0;
        castlingKeepMask[square] = FullCastlingMask;
    }
    for (Bitboard& bits : typeBitboards)
        bits = 0;
    colourBitboards[White] = colourBitboards[Black] = 0;
    for (Piece piece = 0; piece < PieceCodeCount; ++piece) {
        pieceCounts[piece] = 0;
        castlingRookSquare[piece] = NoSquare;
        castlingPath[piece] = 0;
        castlingKingWalk[piece] = 0;
        for (int slot = 0; slot < SlotsPerPiece; ++slot)
            pieceSquares[piece][slot] = NoSquare;
    }
    sideToMove = White;
    nodeCount = 0;
}

void Board::copyFrom(const Board& other) {
    std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof(Board));
    if (other.currentState == &other.rootState)
        currentState = &rootState;
}

// Puts a piece on an empty square of the board during set-up. A piece for an occupied square
// or past the end of its list is dropped, so no FEN text can corrupt the board.
void Board::placePiece(Piece piece, Square square) {
    if (squares[square] != EmptySquare || pieceCounts[piece] >= SlotsPerPiece)
        return;
    const Colour colour = colourOf(piece);
    squares[square] = piece;
    typeBitboards[0] |= squareMask[square];
    typeBitboards[typeOf(piece)] |= squareMask[square];
    colourBitboards[colour] |= squareMask[square];
    const int slot = pieceCounts[piece]++;
    pieceSquares[piece][slot] = square;
    squareSlot[square] = slot;
}

// Reads a position in Forsyth-Edwards notation. Whatever the text, the board ends up in a
// consistent state: unreadable parts are skipped, never reported.
void Board::setFromFen(std::string_view fen) {
    clearBoard();
    FenCursor cursor(fen);

    // Placement, from a8 rank by rank downwards. The cursor may wander off the board on
    // malformed text; it is wide enough never to overflow, and only squares on the board are used.
    int64_t square = FenStartSquare;
    while (!cursor.atEnd() && !isBlank(cursor.peek())) {
        const char c = cursor.next();
        if (c == '/') {
            square -= FenRankStep;
        } else if (isDigit(c)) {
            square += c - '0';
        } else if (const Piece piece = pieceFromLetter(c); piece != NoPiece) {
            if (square >= 0 && square < SquareCount)
                placePiece(piece, static_cast<Square>(square));
            ++square;
        }
    }
    cursor.next();

    // Side to move, then the blank after it.
    sideToMove = cursor.next() == 'w' ? White : Black;
    cursor.next();

    // Castling letters up to the next blank.
    while (!cursor.atEnd() && !isBlank(cursor.peek()))
        addCastlingRight(cursor.next());
    cursor.next();

    // En passant: only a square that a pawn of the side to move could really take on.
    BoardState& state = *currentState;
    const char file = cursor.next();
    if (file >= 'a' && file <= 'h') {
        const char rank = cursor.next();
        if (rank == '3' || rank == '6') {
            const Square candidate = makeSquare(file - 'a', rank - '1');
            const Colour them = sideToMove ^ 1;
            // The pawn that skipped the square stands just beyond it, seen from the side to move.
            const Square passedPawnSquare = enPassantVictimSquare(sideToMove, candidate);
            const bool rankFitsSide = rankOf(candidate) == (sideToMove == White ? 5 : 2);
            if (rankFitsSide && squares[candidate] == EmptySquare
                && squares[passedPawnSquare] == makePiece(them, Pawn)
                && (stepAttacks[makePiece(them, Pawn)][candidate] & piecesOf(sideToMove, Pawn)))
                state.enPassantSquare = candidate;
        }
    }

    // Counters. A missing full-move number counts as move 1; a number below 1 as move 1 too.
    int fullMoveNumber = 1;
    if (cursor.readInteger(state.fiftyMoveCounter, MaxFiftyMoveCounter))
        cursor.readInteger(fullMoveNumber, INT32_MAX);
    const int64_t pliesBefore = std::clamp<int64_t>(2 * (int64_t{fullMoveNumber} - 1), 0, MaxPliesBeforeMoveNumber);
    gamePly = static_cast<int>(pliesBefore) + (sideToMove == Black ? 1 : 0);

    const Square ownKing = kingSquare(sideToMove);
    state.checkingPieces =
        ownKing == NoSquare ? 0 : attackersOfSquare(ownKing, occupancy()) & piecesOfColour(sideToMove ^ 1);
    state.positionHash = computePositionHash();
    state.pawnHash = computePawnHash();
    state.materialHash = computeMaterialHash();
    state.placementScore = computePlacementScore();
    for (Colour colour = White; colour <= Black; ++colour)
        state.pieceMaterial[colour] = pieceMaterialOf(pieceCounts, colour);
}

// One letter of the castling field: "K"/"Q" find the outermost rook of the colour on its
// back rank, a file letter names the rook's file; the side follows from the rook's file
// relative to the king's. A letter that names no rook of a king standing on its back rank,
// or a right already granted, is ignored, so no castling move can refer to a missing piece.
void Board::addCastlingRight(char letter) {
    const Colour colour = letter >= 'a' && letter <= 'z' ? Black : White;
    const Square rankStart = colour == White ? A1 : A8;
    const Piece rook = makePiece(colour, Rook);
    const Square king = kingSquare(colour);
    if (king == NoSquare || rankOf(king) != rankOf(rankStart))
        return;

    const char upper = colour == Black ? static_cast<char>(letter - 'a' + 'A') : letter;
    Square rookSquare = NoSquare;
    if (upper == 'K') {
        for (Square square = rankStart + 7; square >= rankStart && rookSquare == NoSquare; --square)
            if (squares[square] == rook)
                rookSquare = square;
    } else if (upper == 'Q') {
        for (Square square = rankStart; square <= rankStart + 7 && rookSquare == NoSquare; ++square)
            if (squares[square] == rook)
                rookSquare = square;
    } else if (upper >= 'A' && upper <= 'H') {
        rookSquare = rankStart + (upper - 'A');
    } else {
        return;
    }
    if (rookSquare == NoSquare || squares[rookSquare] != rook)
        return;

    const int right = fileOf(rookSquare) < fileOf(king) ? queenSideRight(colour) : kingSideRight(colour);
    if (currentState->castlingRights & right)
        return;
    currentState->castlingRights |= right;
    castlingKeepMask[king] ^= right;
    castlingKeepMask[rookSquare] ^= right;
    castlingRookSquare[right] = rookSquare;

    const bool kingSide = right == kingSideRight(colour);
    const Bitboard kingWalk = rankSpan(king, rankStart + (kingSide ? 6 : 2));
    const Bitboard rookWalk = rankSpan(rookSquare, rankStart + (kingSide ? 5 : 3));
    castlingPath[right] = (kingWalk | rookWalk) & ~(squareMask[king] | squareMask[rookSquare]);
    castlingKingWalk[right] = kingWalk;
}

// The position hash from scratch: castling rights, every piece, en passant and side to move.
uint64_t Board::computePositionHash() const {
    const BoardState& state = *currentState;
    uint64_t hash = castlingHash[state.castlingRights];
    for (Bitboard pieces = occupancy(); pieces;) {
        const Square square = popLowestSquare(pieces);
        hash ^= pieceSquareHash[squares[square]][square];
    }
    if (state.enPassantSquare != NoSquare)
        hash ^= enPassantHash[state.enPassantSquare];
    if (sideToMove == Black)
        hash ^= blackToMoveHash;
    return hash;
}

// The pawn structure's hash: the pawns of both colours and nothing else.
uint64_t Board::computePawnHash() const {
    uint64_t hash = 0;
    for (Bitboard pawns = piecesOfType(Pawn); pawns;) {
        const Square square = popLowestSquare(pawns);
        hash ^= pieceSquareHash[squares[square]][square];
    }
    return hash;
}

// The material hash: the k-th piece of a kind is keyed by the square table's entry k, so
// the hash depends on the counts only. Kings are left out.
uint64_t Board::computeMaterialHash() const {
    uint64_t hash = 0;
    for (Colour colour = White; colour <= Black; ++colour)
        for (PieceType type = Pawn; type <= Queen; ++type) {
            const Piece piece = makePiece(colour, type);
            for (int k = 0; k < pieceCounts[piece]; ++k)
                hash ^= pieceSquareHash[piece][k];
        }
    return hash;
}

// Material plus placement of every piece from white's point of view, plus the half tempo
// of the side to move.
PackedScore Board::computePlacementScore() const {
    PackedScore score = sideToMove == White ? halveScore(tempoScore) : halveScore(-tempoScore);
    for (Colour colour = White; colour <= Black; ++colour)
        for (PieceType type = Pawn; type <= King; ++type) {
            const Piece piece = makePiece(colour, type);
            for (Bitboard pieces = piecesOf(colour, type); pieces;)
                score += placementScoreTable[piece][popLowestSquare(pieces)];
        }
    return score;
}

// Recomputes everything that make and unmake keep incrementally and compares it with the
// kept values: bitboards against the piece array, piece lists and counts, the three hashes,
// the score, the material, the en-passant square and the checking pieces.
bool Board::isConsistent() const {
    if (sideToMove != White && sideToMove != Black)
        return false;
    if (typeBitboards[UnusedType] != 0)
        return false;

    Bitboard byType[8] = {};
    Bitboard byColour[2] = {};
    for (Square square = 0; square < SquareCount; ++square) {
        const Piece piece = squares[square];
        if (piece == EmptySquare)
            continue;
        if (piece < 0 || piece >= PieceCodeCount || typeOf(piece) == NoPieceType || typeOf(piece) == UnusedType)
            return false;
        byType[0] |= squareMask[square];
        byType[typeOf(piece)] |= squareMask[square];
        byColour[colourOf(piece)] |= squareMask[square];
        const int slot = squareSlot[square];
        if (slot < 0 || slot >= pieceCounts[piece] || slot >= SlotsPerPiece || pieceSquares[piece][slot] != square)
            return false;
    }
    for (PieceType type = NoPieceType; type <= UnusedType; ++type)
        if (byType[type] != typeBitboards[type])
            return false;
    if (byColour[White] != colourBitboards[White] || byColour[Black] != colourBitboards[Black])
        return false;

    for (Piece piece = 0; piece < PieceCodeCount; ++piece) {
        const int count = pieceCounts[piece];
        const bool realPiece = typeOf(piece) != NoPieceType && typeOf(piece) != UnusedType;
        if (count < 0 || count > SlotsPerPiece || (!realPiece && count != 0))
            return false;
        if (realPiece && count != std::popcount(piecesOf(colourOf(piece), typeOf(piece))))
            return false;
        for (int slot = 0; slot < SlotsPerPiece; ++slot) {
            const int square = pieceSquares[piece][slot];
            if (slot >= count ? square != NoSquare
                              : square < 0 || square >= SquareCount || squares[square] != piece
                                    || squareSlot[square] != slot)
                return false;
        }
    }

    const BoardState& state = *currentState;
    if (state.castlingRights < 0 || state.castlingRights > FullCastlingMask)
        return false;
    // A right still held has its rook on its square: the keep masks drop the right before
    // the rook can move or be taken.
    for (int right : {WhiteKingSide, BlackKingSide, WhiteQueenSide, BlackQueenSide}) {
        const Colour colour = right & castlingRightsOf(White) ? White : Black;
        const Square rookSquare = castlingRookSquare[right];
        if ((state.castlingRights & right)
            && (rookSquare < 0 || rookSquare >= SquareCount || squares[rookSquare] != makePiece(colour, Rook)))
            return false;
    }
    if (state.enPassantSquare != NoSquare) {
        const Square ep = state.enPassantSquare;
        const Colour them = sideToMove ^ 1;
        if (ep < 0 || ep >= SquareCount || rankOf(ep) != (sideToMove == White ? 5 : 2)
            || squares[ep] != EmptySquare
            || squares[enPassantVictimSquare(sideToMove, ep)] != makePiece(them, Pawn)
            || !(stepAttacks[makePiece(them, Pawn)][ep] & piecesOf(sideToMove, Pawn)))
            return false;
    }
    if (state.positionHash != computePositionHash() || state.pawnHash != computePawnHash()
        || state.materialHash != computeMaterialHash() || !(state.placementScore == computePlacementScore()))
        return false;
    if (state.pieceMaterial[White] != pieceMaterialOf(pieceCounts, White)
        || state.pieceMaterial[Black] != pieceMaterialOf(pieceCounts, Black))
        return false;
    const Square ownKing = kingSquare(sideToMove);
    const Bitboard checkers =
        ownKing == NoSquare ? 0 : attackersOfSquare(ownKing, occupancy()) & piecesOfColour(sideToMove ^ 1);
    return state.checkingPieces == checkers;
}

}  // namespace orvath
