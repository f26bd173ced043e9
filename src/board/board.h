// SPDX-License-Identifier: GPL-3.0-or-later
// The position and its per-move state record. The Board's operations are spread over
// several files, one concept each: set-up and FEN (board.cpp), the attack queries
// (attack_queries.cpp), make and unmake (make_move.cpp), legality and draws (legality.cpp),
// static exchange (exchange.cpp).
#pragma once

#include <atomic>
#include <cstddef>
#include <string_view>

#include "board/bitboard.h"
#include "board/types.h"

namespace orvath {

struct BoardState {
    // Copied from the previous record by makeMove: pawnHash .. enPassantSquare.
    uint64_t pawnHash;
    uint64_t materialHash;
    int32_t pieceMaterial[2];
    int32_t castlingRights;
    int32_t fiftyMoveCounter;
    int32_t pliesSinceNull;
    PackedScore placementScore;
    int32_t enPassantSquare;
    // Written afresh by every move.
    uint64_t positionHash;
    uint64_t checkingPieces;
    int32_t capturedPieceType;
    int32_t movedPiece;  // what stands on the destination, for unmake (castling and promotion aside)
    BoardState* previousState;
};

constexpr size_t BoardStateCopiedBytes = offsetof(BoardState, positionHash);

// Plies without capture or pawn move after which the game is drawn; so no repetition lies
// further back than this.
constexpr int FiftyMoveLimit = 100;

// Castling right bits. Black's bit of each side is white's shifted left by one, so a colour's
// right is white's shifted left by the colour.
constexpr int WhiteKingSide = 1;
constexpr int BlackKingSide = 2;
constexpr int WhiteQueenSide = 4;
constexpr int BlackQueenSide = 8;

constexpr int kingSideRight(Colour colour) { return WhiteKingSide << colour; }
constexpr int queenSideRight(Colour colour) { return WhiteQueenSide << colour; }
constexpr int castlingRightsOf(Colour colour) { return kingSideRight(colour) | queenSideRight(colour); }
static_assert(kingSideRight(Black) == BlackKingSide && queenSideRight(Black) == BlackQueenSide);

// The square of the pawn that an en-passant capture by `capturer` onto `to` removes: the
// destination's neighbour one rank back, seen from the capturer.
constexpr Square enPassantVictimSquare(Colour capturer, Square to) { return capturer == White ? to - 8 : to + 8; }

struct CheckInfo;

class Board {
public:
    int32_t squares[64];
    Bitboard typeBitboards[8];  // [0] all occupied squares, [1..6] pawns..kings of both colours
    Bitboard colourBitboards[2];
    int32_t pieceCounts[16];
    int32_t pieceSquares[16][16];  // free slots hold NoSquare; a king is slot 0 of its code
    int32_t squareSlot[64];
    int32_t castlingKeepMask[64];
    int32_t castlingRookSquare[16];
    // By right, fixed while the right is held (king and rook have not moved): the squares that
    // king and rook cross or reach, which must hold no other piece, and the king's squares
    // from its origin to its destination, which no enemy may attack.
    Bitboard castlingPath[16];
    Bitboard castlingKingWalk[16];
    BoardState rootState;
    // Every move made on this board counts, whoever makes it: the search's moves, but also the
    // walks along the principal variations and the moves of the "position" command. Only FEN
    // set-up resets it. It feeds the "info nodes" figure, the easy-move rule and the bench
    // signature, so what it counts is part of the search's behaviour: do not narrow it.
    // Other threads read it while a search runs (the "info" lines add up every thread's
    // nodes), so it is written and read whole; see countNode and sharedNodeCount.
    alignas(8) uint64_t nodeCount;
    int32_t gamePly;
    int32_t sideToMove;
    int32_t threadIndex;
    BoardState* currentState;

    Board() { clearBoard(); threadIndex = 0; gamePly = 0; }
    Board(const Board&) = delete;  // currentState points into the board's own history
    Board& operator=(const Board&) = delete;

    // Makes this board the same position as `other`, with the same node count and the same
    // history behind it: the records of the moves that led to `other` are shared, not copied,
    // so `other` and the records must stay unchanged while this board is in use. A search
    // thread takes its own board this way, so that the game board is never searched on.
    void copyFrom(const Board& other);

    // One more move made on this board: only its own thread writes the count.
    void countNode() { std::atomic_ref<uint64_t>(nodeCount).store(nodeCount + 1, std::memory_order_relaxed); }
    // The count as another thread may read it while this board's thread searches.
    uint64_t sharedNodeCount() { return std::atomic_ref<uint64_t>(nodeCount).load(std::memory_order_relaxed); }

    // Set-up (board.cpp)
    void clearBoard();
    void setFromFen(std::string_view fen);
    void addCastlingRight(char letter);
    uint64_t computePositionHash() const;
    uint64_t computePawnHash() const;
    uint64_t computeMaterialHash() const;
    PackedScore computePlacementScore() const;
    // Recomputes every incremental field from scratch and compares; for tests and debug builds.
    bool isConsistent() const;

    // Read access
    Piece pieceOn(Square square) const { return squares[square]; }
    Bitboard occupancy() const { return typeBitboards[0]; }
    Bitboard piecesOfType(PieceType type) const { return typeBitboards[type]; }
    Bitboard piecesOfColour(Colour colour) const { return colourBitboards[colour]; }
    Bitboard piecesOf(Colour colour, PieceType type) const {
        return typeBitboards[type] & colourBitboards[colour];
    }
    Square kingSquare(Colour colour) const { return pieceSquares[makePiece(colour, King)][0]; }
    const BoardState& state() const { return *currentState; }
    Bitboard checkers() const { return currentState->checkingPieces; }
    bool inCheck() const { return currentState->checkingPieces != 0; }
    int32_t nonPawnMaterial(Colour colour) const { return currentState->pieceMaterial[colour]; }
    uint64_t positionHash() const { return currentState->positionHash; }

    // Whether the move takes a piece: castling's destination holds the own rook, and en
    // passant's destination is empty.
    bool isCapture(Move move) const {
        return (squares[moveTo(move)] != EmptySquare && moveKind(move) != KindCastling) ||
               moveKind(move) == KindEnPassant;
    }
    bool isCaptureOrPromotion(Move move) const { return isCapture(move) || moveKind(move) == KindPromotion; }

    // Attack queries (attack_queries.cpp)
    Bitboard attackersOfSquare(Square square, Bitboard occupied) const;
    bool moveThreatensSquare(Move move, Square square) const;
    Bitboard pinnedOwnPieces() const;
    Bitboard checkDiscoverers() const;

    // Making and unmaking moves (make_move.cpp; givesCheck's common answer below)
    bool givesCheck(Move move, const CheckInfo& checkInfo) const;
    void makeMove(Move move, BoardState& newState, const CheckInfo& checkInfo, bool moveGivesCheck);
    void makeMove(Move move, BoardState& newState);
    void unmakeMove(Move move);
    void makeNullMove(BoardState& backup);
    void undoNullMove();

    // Legality and draws (legality.cpp; isLegal's common answer below)
    bool isLegal(Move move, Bitboard pinned) const;
    bool isPseudoLegal(Move move) const;
    bool isInLegalList(Move move) const;
    bool isCheckmate() const;
    bool isDraw() const;

    // Static exchange (exchange.cpp)
    int staticExchange(Move move) const;
    int exchangeSign(Move move) const;

private:
    void placePiece(Piece piece, Square square);  // FEN set-up only
    bool givesOtherCheck(Move move, const CheckInfo& checkInfo) const;
    bool isOtherMoveLegal(Move move, Bitboard pinned) const;
};

// Discovered-check candidates, pins and check squares of one position, for its side to move.
struct CheckInfo {
    Bitboard discoverers;
    Bitboard pinned;
    Bitboard checkSquares[8];  // by piece type; entry 0 unused, king 0

    explicit CheckInfo(const Board& board);
};

// Whether a legal move checks the enemy king, directly or by uncovering a line. Most moves
// are ordinary ones by a piece that blocks no line of ours to the king, and are answered
// here without a call.
inline bool Board::givesCheck(Move move, const CheckInfo& checkInfo) const {
    const Square from = moveFrom(move);
    if (checkInfo.checkSquares[typeOf(squares[from])] & squareMask[moveTo(move)])
        return true;
    if (moveKind(move) == KindNormal && (checkInfo.discoverers & squareMask[from]) == 0)
        return false;
    return givesOtherCheck(move, checkInfo);
}

// Whether a pseudo-legal move leaves the own king safe; pinned is pinnedOwnPieces of this
// position. A move of an unpinned piece other than the king can expose the king only when it
// is en passant.
inline bool Board::isLegal(Move move, Bitboard pinned) const {
    const Square from = moveFrom(move);
    if (moveKind(move) != KindEnPassant && (pinned & squareMask[from]) == 0 && typeOf(squares[from]) != King)
        return true;
    return isOtherMoveLegal(move, pinned);
}

// The standard start position.
constexpr std::string_view StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

}  // namespace orvath
