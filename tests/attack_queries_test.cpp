// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <initializer_list>
#include <string_view>

#include "board/board.h"
#include "test_support.h"

namespace orvath {
namespace {

Bitboard squaresOf(std::initializer_list<Square> list) {
    Bitboard bits = 0;
    for (Square s : list)
        bits |= Bitboard{1} << s;
    return bits;
}

class AttackQueriesTest : public ::testing::Test {
protected:
    void SetUp() override { initTables(); }

    Board& setUp(std::string_view fen) {
        board.setFromFen(fen);
        return board;
    }

    Board board;
};

// Every kind of attacker of d5, of both colours, plus a bishop on h1 hidden behind the e4 pawn.
constexpr std::string_view AttackersFen = "4k1b1/8/2p5/q6r/2K1PN2/8/8/3R3B w - - 0 1";

TEST_F(AttackQueriesTest, AttackersOfSquareFindsEveryPieceKindOfBothColours) {
    const Board& b = setUp(AttackersFen);
    const Bitboard expected = squaresOf({E4, C6, F4, G8, D1, A5, H5, C4});
    EXPECT_EQ(b.attackersOfSquare(D5, b.occupancy()), expected);
    // Taking the pawn away from the occupancy uncovers the bishop behind it.
    EXPECT_EQ(b.attackersOfSquare(D5, b.occupancy() & ~squareMask[E4]), expected | squareMask[H1]);
    EXPECT_EQ(b.attackersOfSquare(H8, b.occupancy()), squaresOf({H5}));
}

TEST_F(AttackQueriesTest, PawnsAttackOnlyForwardsDiagonally) {
    const Board& b = setUp("8/8/8/3P4/8/3p4/8/K6k w - - 0 1");
    EXPECT_EQ(b.attackersOfSquare(E6, b.occupancy()), squaresOf({D5}));
    EXPECT_EQ(b.attackersOfSquare(C6, b.occupancy()), squaresOf({D5}));
    EXPECT_EQ(b.attackersOfSquare(E4, b.occupancy()), 0u);
    EXPECT_EQ(b.attackersOfSquare(D4, b.occupancy()), 0u);
    EXPECT_EQ(b.attackersOfSquare(E2, b.occupancy()), squaresOf({D3}));
}

// Pinned: the e2 knight (rook e8) and the d2 pawn (queen a5). Not pinned: g3 and f2 share the
// h4 bishop's line, and the c1 knight between the a1 rook and the king is black.
TEST_F(AttackQueriesTest, PinnedOwnPiecesNeedALoneOwnBlocker) {
    const Board& b = setUp("4r2k/8/8/q7/7b/6B1/3PNP2/r1n1K3 w - - 0 1");
    EXPECT_EQ(b.pinnedOwnPieces(), squaresOf({D2, E2}));
}

// Black to move: the e7 bishop is pinned by the queen, the a4 knight hides the a8 rook from the
// white king.
TEST_F(AttackQueriesTest, PinsAndDiscoverersBelongToTheSideToMove) {
    const Board& b = setUp("r3k3/4b3/8/8/n7/8/8/K3Q3 b - - 0 1");
    EXPECT_EQ(b.pinnedOwnPieces(), squaresOf({E7}));
    EXPECT_EQ(b.checkDiscoverers(), squaresOf({A4}));
}

TEST_F(AttackQueriesTest, PinnedOwnPiecesIgnoresOwnSlidersAndDirectChecks) {
    const Board& b = setUp("4k3/8/8/8/8/8/8/R1N1K2r w - - 0 1");
    EXPECT_EQ(b.pinnedOwnPieces(), 0u);
}

// Discoverers: the e4 knight (rook e1) and the c8 bishop (rook a8). Not: c6 is a black pawn,
// g6 and f7 share the h5 queen's line, and the f8 knight stands before the black queen, which
// in turn pins the h5 queen to the white king.
TEST_F(AttackQueriesTest, CheckDiscoverersAreLoneOwnBlockersBeforeTheEnemyKing) {
    const Board& b = setUp("R1B1kN1q/5N2/2p3P1/7Q/B3N3/8/8/4R2K w - - 0 1");
    EXPECT_EQ(b.checkDiscoverers(), squaresOf({E4, C8}));
    EXPECT_EQ(b.pinnedOwnPieces(), squaresOf({H5}));
}

TEST_F(AttackQueriesTest, RookMoveAlongAFileThreatensTheSquareAhead) {
    const Board& open = setUp("7k/8/8/8/8/8/8/R6K w - - 0 1");
    EXPECT_TRUE(open.moveThreatensSquare(encodeMove(A1, A5), A8));
    EXPECT_FALSE(open.moveThreatensSquare(encodeMove(A1, B1), A8));

    const Board& blocked = setUp("7k/P7/8/8/8/8/8/R6K w - - 0 1");
    EXPECT_FALSE(blocked.moveThreatensSquare(encodeMove(A1, A5), A8));

    const Board& black = setUp("r6k/8/8/8/8/8/8/7K b - - 0 1");
    EXPECT_TRUE(black.moveThreatensSquare(encodeMove(A8, A4), A1));
}

TEST_F(AttackQueriesTest, SteppingOffABishopLineThreatensByDiscovery) {
    const Board& open = setUp("7k/8/8/8/8/2N5/8/B6K w - - 0 1");
    EXPECT_TRUE(open.moveThreatensSquare(encodeMove(C3, E4), H8));
    EXPECT_TRUE(open.moveThreatensSquare(encodeMove(C3, B1), G7));

    const Board& stillBlocked = setUp("7k/8/8/8/3P4/2N5/8/B6K w - - 0 1");
    EXPECT_FALSE(stillBlocked.moveThreatensSquare(encodeMove(C3, E4), H8));

    const Board& enemyBishop = setUp("7k/8/8/8/8/2N5/8/b6K w - - 0 1");
    EXPECT_FALSE(enemyBishop.moveThreatensSquare(encodeMove(C3, E4), H8));
}

// The mover still stands on its origin for its own attacks, so a rook moving away along a line
// does not threaten the square behind it; one step towards it does.
TEST_F(AttackQueriesTest, MoverBlocksItsOwnViewFromTheOrigin) {
    const Board& b = setUp("7k/8/8/8/8/3R4/8/7K w - - 0 1");
    EXPECT_FALSE(b.moveThreatensSquare(encodeMove(D3, D5), D1));
    EXPECT_TRUE(b.moveThreatensSquare(encodeMove(D3, D2), D1));
}

// Flipping both bits empties a capture's destination, so a capture on a line counts as opening it.
TEST_F(AttackQueriesTest, CaptureOnALineCountsItsDestinationAsEmptied) {
    const Board& b = setUp("7k/8/8/p7/8/1N6/8/R6K w - - 0 1");
    EXPECT_TRUE(b.moveThreatensSquare(encodeMove(B3, A5), A8));
    EXPECT_FALSE(b.moveThreatensSquare(encodeMove(B3, C1), A8));
}

}  // namespace
}  // namespace orvath
