// SPDX-License-Identifier: GPL-3.0-or-later
// Bitboards and the start-up attack tables, with the slider lookups by magic multiplication.
#pragma once

#include "board/flavour.h"
#include "board/types.h"

namespace orvath {

struct SliderMagic {
    Bitboard mask;
    Bitboard multiplier;
    int32_t shift;
    int32_t sliceStart;
};

constexpr int BishopAttackTableSize = 5248;
constexpr int RookAttackTableSize = 102400;

// The files and ranks that the generators and the table builder name; fileMask and rankMask
// hold every file and rank once the tables are built.
constexpr Bitboard FileABits = 0x0101010101010101ull;
constexpr Bitboard FileHBits = FileABits << 7;
constexpr Bitboard Rank1Bits = 0xFFull;
constexpr Bitboard Rank2Bits = Rank1Bits << 8;
constexpr Bitboard Rank3Bits = Rank1Bits << 16;
constexpr Bitboard Rank6Bits = Rank1Bits << 40;
constexpr Bitboard Rank7Bits = Rank1Bits << 48;
constexpr Bitboard Rank8Bits = Rank1Bits << 56;

// The ray steps of the two slider kinds.
constexpr int BishopDirections[4] = {9, -7, -9, 7};
constexpr int RookDirections[4] = {8, 1, -8, -1};

// Filled once by initAttackTables, read-only afterwards.
extern Bitboard squareMask[64];
extern Bitboard squareClearMask[65];
extern Bitboard fileMask[8];
extern Bitboard rankMask[8];
extern int32_t squareDistance[64][64];
extern Bitboard stepAttacks[16][64];
extern Bitboard passedPawnSpan[2][64];
extern Bitboard betweenMask[64][64];
extern Bitboard bishopEmptyAttacks[64];
extern Bitboard rookEmptyAttacks[64];
extern Bitboard queenEmptyAttacks[64];
extern SliderMagic bishopMagics[64];
extern SliderMagic rookMagics[64];
extern Bitboard bishopAttackTable[BishopAttackTableSize];
extern Bitboard rookAttackTable[RookAttackTableSize];
extern int32_t byteBitCount[256];
extern int32_t bitScanTable[64];

void initAttackTables();

// Reference ray walk: the slider masks, the magic search and the tests build on it.
Bitboard slidingRay(Square square, Bitboard occupied, const int directions[4]);

// Mask, shift and slice start of every square of one slider kind; the multipliers are left
// as they are. Reads the masks and distances that initAttackTables fills first.
void layOutSlices(const int directions[4], SliderMagic magics[64]);

// Bit count of at most 15 set bits, the start-up form (exact only in that range).
int smallBitCount(Bitboard bits);

inline Bitboard bishopAttacks(Square square, Bitboard occupied) {
    const SliderMagic& m = bishopMagics[square];
    return bishopAttackTable[m.sliceStart + static_cast<int>(((occupied & m.mask) * m.multiplier) >> m.shift)];
}

inline Bitboard rookAttacks(Square square, Bitboard occupied) {
    const SliderMagic& m = rookMagics[square];
    return rookAttackTable[m.sliceStart + static_cast<int>(((occupied & m.mask) * m.multiplier) >> m.shift)];
}

inline Bitboard queenAttacks(Square square, Bitboard occupied) {
    return bishopAttacks(square, occupied) | rookAttacks(square, occupied);
}

inline Bitboard pieceAttacksFrom(Piece piece, Square square, Bitboard occupied) {
    switch (typeOf(piece)) {
    case Bishop: return bishopAttacks(square, occupied);
    case Rook: return rookAttacks(square, occupied);
    case Queen: return queenAttacks(square, occupied);
    default: return stepAttacks[piece][square];
    }
}

// The multiplier of the 32-bit bit scan; it sends the 64 single-bit words to 64 distinct
// table indices.
constexpr uint32_t BitScanMultiplier = 0x783A9B23u;
constexpr int BitScanShift = 26;

// The bit-scan table's index for a non-zero word: the bits up to and including the lowest set
// one, folded to 32 bits and hashed.
constexpr uint32_t bitScanIndex(Bitboard bits) {
    const uint64_t y = bits ^ (bits - 1);
    const uint32_t folded = static_cast<uint32_t>(y) ^ static_cast<uint32_t>(y >> 32);
    return (folded * BitScanMultiplier) >> BitScanShift;
}

// Lowest set bit: the processor's scan in the x64 flavour, the start-up table in the w32 one.
inline Square lowestSquareHardware(Bitboard bits) { return __builtin_ctzll(bits); }

inline Square lowestSquareTable(Bitboard bits) { return bitScanTable[bitScanIndex(bits)]; }

inline Square lowestSquare(Bitboard bits) {
    if constexpr (isW32Flavour)
        return lowestSquareTable(bits);
    else
        return lowestSquareHardware(bits);
}

inline Square popLowestSquare(Bitboard& bits) {
    const Square square = lowestSquare(bits);
    bits &= bits - 1;
    return square;
}

constexpr bool moreThanOne(Bitboard bits) { return (bits & (bits - 1)) != 0; }

// Whether three squares lie on one line, whichever of them stands between the other two.
inline bool onOneLine(Square a, Square b, Square c) {
    return ((betweenMask[a][c] | betweenMask[b][a] | betweenMask[b][c]) &
            (squareMask[a] | squareMask[b] | squareMask[c])) != 0;
}

}  // namespace orvath
