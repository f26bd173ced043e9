// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <bit>
#include <initializer_list>
#include <random>

#include "board/bitboard.h"
#include "board/magic_numbers.h"
#include "board/magic_search.h"
#include "test_support.h"

namespace orvath {
namespace {

Bitboard squaresOf(std::initializer_list<Square> list) {
    Bitboard bits = 0;
    for (Square s : list)
        bits |= Bitboard{1} << s;
    return bits;
}

class AttackTablesTest : public ::testing::Test {
protected:
    void SetUp() override { initTables(); }
};

TEST_F(AttackTablesTest, MagicSearchKeepsTheKnownCornerMultipliers) {
    Bitboard multipliers[64];
    const MagicSearchReport bishop = findMagicMultipliers(Bishop, 1, multipliers, A1);
    EXPECT_EQ(bishop.candidatesDrawn, 2662);
    EXPECT_EQ(bishop.candidatesVerified, 216);
    EXPECT_EQ(bishop.multiplier, 0x1420206200890810ull);
    EXPECT_EQ(bishopMultipliers[1][A1], 0x1420206200890810ull);
    EXPECT_EQ(rookMultipliers[1][A1], 0x80008010204000ull);
}

// The stored multipliers are exactly what the search finds, for both booster rows, and the
// live tables use the flavour's row.
TEST_F(AttackTablesTest, StoredMultipliersAreThoseTheSearchFinds) {
    for (int row = 0; row < MagicBoosterRows; ++row) {
        Bitboard bishops[64];
        Bitboard rooks[64];
        findMagicMultipliers(Bishop, row, bishops);
        findMagicMultipliers(Rook, row, rooks);
        for (Square s = 0; s < 64; ++s) {
            ASSERT_EQ(bishopMultipliers[row][s], bishops[s]) << "row " << row << " bishop square " << s;
            ASSERT_EQ(rookMultipliers[row][s], rooks[s]) << "row " << row << " rook square " << s;
        }
    }
    for (Square s = 0; s < 64; ++s) {
        EXPECT_EQ(bishopMagics[s].multiplier, bishopMultipliers[magicBoosterRow][s]);
        EXPECT_EQ(rookMagics[s].multiplier, rookMultipliers[magicBoosterRow][s]);
    }
}

// Every lookup, for every square and every subset of its mask, must equal the ray walk.
TEST_F(AttackTablesTest, EveryMagicLookupMatchesTheRayWalk) {
    for (Square s = 0; s < 64; ++s) {
        for (const bool rook : {false, true}) {
            const Bitboard mask = rook ? rookMagics[s].mask : bishopMagics[s].mask;
            const int* directions = rook ? RookDirections : BishopDirections;
            Bitboard subset = 0;
            int subsets = 0;
            do {
                const Bitboard expected = slidingRay(s, subset, directions);
                const Bitboard actual = rook ? rookAttacks(s, subset) : bishopAttacks(s, subset);
                ASSERT_EQ(actual, expected) << "square " << s << (rook ? " rook" : " bishop");
                // Squares outside the mask never change the answer.
                const Bitboard noise = ~mask & 0x5A3C96E1F00F1E69ull;
                ASSERT_EQ(rook ? rookAttacks(s, subset | noise) : bishopAttacks(s, subset | noise), expected);
                ++subsets;
                subset = (subset - mask) & mask;
            } while (subset != 0);
            EXPECT_EQ(subsets, 1 << std::popcount(mask));
        }
    }
}

TEST_F(AttackTablesTest, MasksShiftsAndSlicesFitTogether) {
    EXPECT_EQ(std::popcount(rookMagics[A1].mask), 12);
    EXPECT_EQ(std::popcount(rookMagics[H1].mask), 12);
    EXPECT_EQ(std::popcount(rookMagics[A8].mask), 12);
    EXPECT_EQ(std::popcount(rookMagics[H8].mask), 12);
    EXPECT_EQ(std::popcount(rookMagics[D4].mask), 10);
    EXPECT_EQ(std::popcount(rookMagics[B2].mask), 10);
    EXPECT_EQ(std::popcount(bishopMagics[A1].mask), 6);
    EXPECT_EQ(std::popcount(bishopMagics[H8].mask), 6);
    for (Square s : {D4, E4, D5, E5})
        EXPECT_EQ(std::popcount(bishopMagics[s].mask), 9);
    EXPECT_EQ(rookMagics[A1].mask, squaresOf({A2, A3, A4, A5, A6, A7, B1, C1, D1, E1, F1, G1}));

    int bishopStart = 0;
    int rookStart = 0;
    for (Square s = 0; s < 64; ++s) {
        const int bishopBits = std::popcount(bishopMagics[s].mask);
        const int rookBits = std::popcount(rookMagics[s].mask);
        EXPECT_TRUE(bishopBits >= 5 && bishopBits <= 9) << s;
        EXPECT_TRUE(rookBits >= 10 && rookBits <= 12) << s;
        EXPECT_EQ(bishopMagics[s].shift, 64 - bishopBits);
        EXPECT_EQ(rookMagics[s].shift, 64 - rookBits);
        EXPECT_EQ(bishopMagics[s].sliceStart, bishopStart);
        EXPECT_EQ(rookMagics[s].sliceStart, rookStart);
        bishopStart += 1 << bishopBits;
        rookStart += 1 << rookBits;
    }
    EXPECT_EQ(bishopStart, BishopAttackTableSize);
    EXPECT_EQ(rookStart, RookAttackTableSize);
}

TEST_F(AttackTablesTest, SliderAttacksOnAnEmptyBoardAndWithBlockers) {
    EXPECT_EQ(rookAttacks(A1, 0), (fileMask[0] | rankMask[0]) & ~squareMask[A1]);
    EXPECT_EQ(std::popcount(rookAttacks(A1, 0)), 14);
    EXPECT_EQ(std::popcount(bishopAttacks(D4, 0)), 13);
    EXPECT_EQ(rookEmptyAttacks[A1], rookAttacks(A1, 0));
    EXPECT_EQ(queenEmptyAttacks[D4], bishopEmptyAttacks[D4] | rookEmptyAttacks[D4]);
    EXPECT_EQ(std::popcount(queenEmptyAttacks[D4]), 27);

    // The blocker itself is attacked, whatever stands there; the squares behind it are not.
    const Bitboard withBlocker = rookAttacks(A1, squaresOf({A4, H8}));
    EXPECT_TRUE(withBlocker & squareMask[A4]);
    EXPECT_FALSE(withBlocker & squareMask[A5]);
    EXPECT_TRUE(withBlocker & squareMask[H1]);
    EXPECT_EQ(bishopAttacks(D4, squaresOf({F6, B2})), squaresOf({E5, F6, C3, B2, C5, B6, A7, E3, F2, G1}));
    // An edge blocker changes nothing: the ray ends there anyway.
    EXPECT_EQ(rookAttacks(D4, squaresOf({D8, A4})), rookAttacks(D4, 0));
    EXPECT_EQ(queenAttacks(D4, squaresOf({D5, E5})), rookAttacks(D4, squareMask[D5]) | bishopAttacks(D4, squareMask[E5]));
}

TEST_F(AttackTablesTest, PieceAttacksDispatchOnThePieceCode) {
    const Bitboard occupied = squaresOf({D6, F6});
    EXPECT_EQ(pieceAttacksFrom(makePiece(White, Bishop), D4, occupied), bishopAttacks(D4, occupied));
    EXPECT_EQ(pieceAttacksFrom(makePiece(Black, Rook), D4, occupied), rookAttacks(D4, occupied));
    EXPECT_EQ(pieceAttacksFrom(makePiece(Black, Queen), D4, occupied), queenAttacks(D4, occupied));
    EXPECT_EQ(pieceAttacksFrom(makePiece(White, Pawn), D4, occupied), squaresOf({C5, E5}));
    EXPECT_EQ(pieceAttacksFrom(makePiece(Black, Knight), D4, occupied), stepAttacks[makePiece(Black, Knight)][D4]);
    for (Piece unused : {0, 7, 8, 15})
        EXPECT_EQ(pieceAttacksFrom(unused, D4, occupied), 0u);
}

TEST_F(AttackTablesTest, StepAttacksStayOnTheBoard) {
    EXPECT_EQ(stepAttacks[makePiece(White, Pawn)][A2], squaresOf({B3}));
    EXPECT_EQ(stepAttacks[makePiece(White, Pawn)][H2], squaresOf({G3}));
    EXPECT_EQ(stepAttacks[makePiece(Black, Pawn)][E5], squaresOf({D4, F4}));
    EXPECT_EQ(stepAttacks[makePiece(Black, Pawn)][A7], squaresOf({B6}));
    EXPECT_EQ(stepAttacks[makePiece(White, Pawn)][E8], 0u);
    EXPECT_EQ(stepAttacks[makePiece(White, Knight)][A1], squaresOf({B3, C2}));
    EXPECT_EQ(stepAttacks[makePiece(Black, Knight)][H8], squaresOf({G6, F7}));
    EXPECT_EQ(std::popcount(stepAttacks[makePiece(White, Knight)][D4]), 8);
    EXPECT_EQ(stepAttacks[makePiece(White, King)][A1], squaresOf({A2, B2, B1}));
    EXPECT_EQ(stepAttacks[makePiece(Black, King)][H4], squaresOf({H5, G5, G4, G3, H3}));
    for (Square s = 0; s < 64; ++s) {
        EXPECT_EQ(stepAttacks[makePiece(White, King)][s], stepAttacks[makePiece(Black, King)][s]);
        EXPECT_EQ(stepAttacks[makePiece(White, Knight)][s], stepAttacks[makePiece(Black, Knight)][s]);
        for (Piece empty : {0, 3, 4, 5, 7, 8, 11, 12, 13, 15})
            EXPECT_EQ(stepAttacks[empty][s], 0u) << empty << " " << s;
    }
}

TEST_F(AttackTablesTest, BetweenMasksHoldOnlyTheSquaresStrictlyBetween) {
    EXPECT_EQ(betweenMask[A1][H8], squaresOf({B2, C3, D4, E5, F6, G7}));
    EXPECT_EQ(betweenMask[H8][A1], betweenMask[A1][H8]);
    EXPECT_EQ(betweenMask[A1][B3], 0u);
    EXPECT_EQ(betweenMask[A1][A2], 0u);
    EXPECT_EQ(betweenMask[A1][A8], squaresOf({A2, A3, A4, A5, A6, A7}));
    EXPECT_EQ(betweenMask[H1][C6], squaresOf({G2, F3, E4, D5}));
    EXPECT_EQ(betweenMask[E4][E4], 0u);
    // Along a line, the squares between are those both ends see with each other as blocker.
    for (Square s1 = 0; s1 < 64; ++s1)
        for (Square s2 = 0; s2 < 64; ++s2) {
            Bitboard expected = 0;
            if (rookEmptyAttacks[s1] & squareMask[s2])
                expected = rookAttacks(s1, squareMask[s2]) & rookAttacks(s2, squareMask[s1]);
            else if (bishopEmptyAttacks[s1] & squareMask[s2])
                expected = bishopAttacks(s1, squareMask[s2]) & bishopAttacks(s2, squareMask[s1]);
            ASSERT_EQ(betweenMask[s1][s2], expected) << s1 << " " << s2;
        }
}

TEST_F(AttackTablesTest, SquareMasksFilesRanksAndDistances) {
    EXPECT_EQ(squareClearMask[NoSquare], ~Bitboard{0});
    for (Square s = 0; s < 64; ++s) {
        EXPECT_EQ(squareMask[s], Bitboard{1} << s);
        EXPECT_EQ(squareClearMask[s], ~squareMask[s]);
    }
    EXPECT_EQ(fileMask[0], 0x0101010101010101ull);
    EXPECT_EQ(fileMask[7], 0x8080808080808080ull);
    EXPECT_EQ(rankMask[0], 0xFFull);
    EXPECT_EQ(rankMask[7], 0xFF00000000000000ull);
    EXPECT_EQ(squareDistance[A1][H8], 7);
    EXPECT_EQ(squareDistance[A1][B3], 2);
    EXPECT_EQ(squareDistance[H1][A2], 7);
    EXPECT_EQ(squareDistance[E4][E4], 0);
}

TEST_F(AttackTablesTest, PassedPawnSpansLookAhead) {
    EXPECT_EQ(passedPawnSpan[White][E4], (fileMask[3] | fileMask[4] | fileMask[5]) & (rankMask[4] | rankMask[5] | rankMask[6] | rankMask[7]));
    EXPECT_EQ(passedPawnSpan[White][A2], (fileMask[0] | fileMask[1]) & ~(rankMask[0] | rankMask[1]));
    EXPECT_EQ(passedPawnSpan[Black][H7], (fileMask[6] | fileMask[7]) & ~(rankMask[6] | rankMask[7]));
    EXPECT_EQ(passedPawnSpan[White][D8], 0u);
    EXPECT_EQ(passedPawnSpan[Black][D1], 0u);
}

TEST_F(AttackTablesTest, SmallBitCountIsExactUpToFifteenBits) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(byteBitCount[b], std::popcount(static_cast<unsigned>(b)));
    std::mt19937_64 random(20240601);
    for (int i = 0; i < 20000; ++i) {
        Bitboard bits = 0;
        const int wanted = i % 16;
        while (std::popcount(bits) < wanted)
            bits |= Bitboard{1} << (random() & 63);
        ASSERT_EQ(smallBitCount(bits), wanted) << std::hex << bits;
    }
    EXPECT_EQ(smallBitCount(0xFFFF000000000000ull), 0);  // 16 bits wrap: outside its range
}

TEST_F(AttackTablesTest, TableBitScanAgreesWithTheHardware) {
    for (Square s = 0; s < 64; ++s) {
        EXPECT_EQ(lowestSquareTable(Bitboard{1} << s), s);
        EXPECT_EQ(lowestSquareTable(~Bitboard{0} << s), s);
    }
    std::mt19937_64 random(77);
    for (int i = 0; i < 100000; ++i) {
        Bitboard bits = random();
        if (i % 3 == 1)
            bits &= 0xFFFFFFFF00000000ull;  // low half empty: the folded form changes
        else if (i % 3 == 2)
            bits &= random() & random();
        if (bits == 0)
            continue;
        ASSERT_EQ(lowestSquareTable(bits), lowestSquareHardware(bits)) << std::hex << bits;
    }
}

TEST_F(AttackTablesTest, PopLowestSquareWalksUpwards) {
    Bitboard bits = squaresOf({H8, A1, E4, D4});
    EXPECT_EQ(popLowestSquare(bits), A1);
    EXPECT_EQ(popLowestSquare(bits), D4);
    EXPECT_EQ(popLowestSquare(bits), E4);
    EXPECT_EQ(popLowestSquare(bits), H8);
    EXPECT_EQ(bits, 0u);
    EXPECT_FALSE(moreThanOne(squareMask[C3]));
    EXPECT_TRUE(moreThanOne(squaresOf({C3, C4})));
}

}  // namespace
}  // namespace orvath
