// SPDX-License-Identifier: GPL-3.0-or-later
// The board layer's vocabulary: squares, colours, pieces, moves and packed scores.
#pragma once

#include <cstdint>

namespace orvath {

using Bitboard = uint64_t;
using Square = int;
using Colour = int;
using PieceType = int;
using Piece = int;  // piece type + 8 x colour; EmptySquare on an empty board square
using Move = uint16_t;

constexpr Square NoSquare = 64;
constexpr int SquareCount = 64;

constexpr Colour White = 0;
constexpr Colour Black = 1;

constexpr PieceType NoPieceType = 0;
constexpr PieceType Pawn = 1;
constexpr PieceType Knight = 2;
constexpr PieceType Bishop = 3;
constexpr PieceType Rook = 4;
constexpr PieceType Queen = 5;
constexpr PieceType King = 6;

constexpr Piece NoPiece = 0;
constexpr Piece EmptySquare = 16;  // type 16 & 7 == 0, so an empty square has no type
constexpr int PieceCodeCount = 16;

constexpr Piece makePiece(Colour colour, PieceType type) { return type + 8 * colour; }
constexpr PieceType typeOf(Piece piece) { return piece & 7; }
constexpr Colour colourOf(Piece piece) { return piece >> 3; }

constexpr int fileOf(Square square) { return square & 7; }
constexpr int rankOf(Square square) { return square >> 3; }
constexpr Square makeSquare(int file, int rank) { return 8 * rank + file; }

// Named squares used by tests and by castling.
enum : Square {
    A1, B1, C1, D1, E1, F1, G1, H1,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A8, B8, C8, D8, E8, F8, G8, H8,
};

// Move: destination bits 0-5, origin bits 6-11, promotion type - 2 in bits 12-13, kind in bits 14-15.
// A castling move is stored as the king taking its own rook (destination: the rook's square),
// so an occupied destination alone does not make a capture: Board::isCapture says what does.
constexpr Move NoMove = 0;
constexpr Move NullMove = 65;  // origin and destination both b1: never a real move
constexpr int KindNormal = 0x0000;
constexpr int KindPromotion = 0x4000;
constexpr int KindEnPassant = 0x8000;
constexpr int KindCastling = 0xC000;
constexpr int KindMask = 0xC000;

constexpr Square moveTo(Move move) { return move & 63; }
constexpr Square moveFrom(Move move) { return (move >> 6) & 63; }
constexpr int moveKind(Move move) { return move & KindMask; }
constexpr PieceType promotionType(Move move) { return ((move >> 12) & 3) + 2; }

constexpr Move encodeMove(Square from, Square to, int kind = KindNormal) {
    return static_cast<Move>(to | (from << 6) | kind);
}
constexpr Move encodePromotion(Square from, Square to, PieceType type) {
    return static_cast<Move>(to | (from << 6) | ((type - 2) << 12) | KindPromotion);
}

// A midgame and an endgame score in one signed 32-bit word: midgame x 65536 + endgame.
// The arithmetic goes through unsigned words so that carries between the halves wrap
// exactly as the packed representation expects, with no signed overflow.
struct PackedScore {
    int32_t value = 0;

    friend constexpr PackedScore operator+(PackedScore a, PackedScore b) {
        return {static_cast<int32_t>(static_cast<uint32_t>(a.value) + static_cast<uint32_t>(b.value))};
    }
    friend constexpr PackedScore operator-(PackedScore a, PackedScore b) {
        return {static_cast<int32_t>(static_cast<uint32_t>(a.value) - static_cast<uint32_t>(b.value))};
    }
    friend constexpr PackedScore operator-(PackedScore a) {
        return {static_cast<int32_t>(0u - static_cast<uint32_t>(a.value))};
    }
    constexpr PackedScore& operator+=(PackedScore other) { return *this = *this + other; }
    constexpr PackedScore& operator-=(PackedScore other) { return *this = *this - other; }
    friend constexpr bool operator==(PackedScore a, PackedScore b) { return a.value == b.value; }
};

constexpr PackedScore makeScore(int midgame, int endgame) {
    return {static_cast<int32_t>(static_cast<uint32_t>(midgame) * 65536u + static_cast<uint32_t>(endgame))};
}
constexpr int endgamePart(PackedScore score) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(score.value)));
}
constexpr int midgamePart(PackedScore score) {
    return static_cast<int32_t>(static_cast<uint32_t>(score.value) + 0x8000u) >> 16;
}
constexpr PackedScore halveScore(PackedScore score) {
    return makeScore(midgamePart(score) / 2, endgamePart(score) / 2);
}

// The units of the search's scores and depths, which the lines that report them share.
constexpr int PawnValue = 198;    // a midgame pawn: centipawns are score x 100 / PawnValue
constexpr int MateScore = 30000;  // a side mated at ply p scores p - MateScore
constexpr int OnePly = 2;         // depths are counted in half-plies

}  // namespace orvath
