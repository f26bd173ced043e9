// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search_tables.h"

#include <gtest/gtest.h>

#include <memory>

#include "board/keys.h"
#include "search/quiet_gain.h"
#include "search/search_constants.h"
#include "search/search_frame.h"
#include "search/threat_tests.h"
#include "test_support.h"

namespace orvath {
namespace {

class SearchTablesTest : public ::testing::Test {
protected:
    void SetUp() override { initSearchTables(); }
};

TEST_F(SearchTablesTest, NonPvReductionsAtEightPlies) {
    const int depth = 8 * OnePly;
    const int expected[][2] = {{2, 0}, {3, 2}, {4, 3}, {8, 4}, {16, 5}, {63, 8}};
    for (const auto& [moveCount, reduction] : expected)
        EXPECT_EQ(lateMoveReduction(ReductionNonPv, depth, moveCount), reduction) << "move " << moveCount;
    EXPECT_EQ(lateMoveReduction(ReductionNonPv, depth, 200), 8);
    EXPECT_EQ(lateMoveReduction(ReductionNonPv, depth + 1, 63), 8);
}

TEST_F(SearchTablesTest, PvReductionsAtEightPlies) {
    const int depth = 8 * OnePly;
    EXPECT_EQ(lateMoveReduction(ReductionPv, depth, 5), 2);
    EXPECT_EQ(lateMoveReduction(ReductionPv, depth, 10), 3);
    EXPECT_EQ(lateMoveReduction(ReductionPv, depth, 63), 5);
    EXPECT_EQ(lateMoveReduction(ReductionPv, depth, 1000), 5);
}

TEST_F(SearchTablesTest, NoReductionForFirstMoveOrBelowTwoPlies) {
    for (int kind : {ReductionNonPv, ReductionPv}) {
        for (int depth = 0; depth < 200; ++depth)
            EXPECT_EQ(lateMoveReduction(kind, depth, 0), 0) << depth;
        for (int moveCount = 0; moveCount < 200; ++moveCount) {
            EXPECT_EQ(lateMoveReduction(kind, 0, moveCount), 0);
            EXPECT_EQ(lateMoveReduction(kind, 3, moveCount), 0);
        }
    }
    // A move reduced below the horizon may come back with a negative depth.
    EXPECT_EQ(lateMoveReduction(ReductionNonPv, -7, 40), 0);
    EXPECT_EQ(lateMoveReduction(ReductionNonPv, 20, -3), 0);
}

TEST_F(SearchTablesTest, ReductionsGrowWithDepthAndMoveNumber) {
    for (int kind : {ReductionNonPv, ReductionPv})
        for (int plies = 1; plies < 63; ++plies)
            for (int moveCount = 1; moveCount < 63; ++moveCount) {
                const int here = lateMoveReduction(kind, plies * OnePly, moveCount);
                EXPECT_LE(here, lateMoveReduction(kind, (plies + 1) * OnePly, moveCount));
                EXPECT_LE(here, lateMoveReduction(kind, plies * OnePly, moveCount + 1));
                EXPECT_LE(lateMoveReduction(ReductionPv, plies * OnePly, moveCount),
                          lateMoveReduction(ReductionNonPv, plies * OnePly, moveCount));
            }
    EXPECT_EQ(lateMoveReduction(ReductionNonPv, 126, 63), 15);
}

TEST_F(SearchTablesTest, PruneMargins) {
    const int firstColumn[] = {45, 269, 381, 493, 493, 605, 605, 717, 717, 717, 717, 829, 829, 829, 829};
    for (int depth = 1; depth <= 15; ++depth)
        EXPECT_EQ(pruneMarginTable[depth][0], firstColumn[depth - 1]) << depth;
    EXPECT_EQ(pruneMargin(1, 0), 45);
    EXPECT_EQ(pruneMargin(2, 0), 269);
    for (int depth = 1; depth < FutilityDepthLimit; ++depth)
        for (int moveCount = 1; moveCount < 64; ++moveCount)
            EXPECT_EQ(pruneMargin(depth, moveCount), pruneMargin(depth, moveCount - 1) - 8);
    EXPECT_EQ(pruneMargin(5, 63), 493 - 8 * 63);
    EXPECT_EQ(pruneMargin(5, 300), pruneMargin(5, 63));
    for (int depth : {14, 15, 40, 1000})
        EXPECT_EQ(pruneMargin(depth, 3), 60002);
    EXPECT_GT(pruneMargin(14, 63), InfiniteScore);
}

TEST_F(SearchTablesTest, PruneMarginOfShallowPredictedDepthsUsesFirstRow) {
    for (int depth : {0, -1, -6, -100})
        EXPECT_EQ(pruneMargin(depth, 7), pruneMargin(1, 7));
}

TEST_F(SearchTablesTest, LateMoveLimits) {
    const int expected[] = {3, 3, 4, 5, 7, 9, 12, 15, 19, 23, 28};
    for (int depth = 0; depth < 11; ++depth)
        EXPECT_EQ(lateMoveLimit(depth), expected[depth]) << depth;
    EXPECT_EQ(lateMoveLimit(31), 243);
    for (int depth : {32, 33, 200})
        EXPECT_EQ(lateMoveLimit(depth), 256);
    EXPECT_EQ(lateMoveLimit(-2), 3);
}

TEST(SearchStack, RootHasSentinelsAndQuiescenceFindsTheEnd) {
    auto stack = std::make_unique<SearchStack>();
    SearchFrame* root = stack->prepareRoot();
    EXPECT_EQ(root - 2, stack->frames);
    EXPECT_EQ(root[-1].ply, 0);
    EXPECT_EQ(root[-1].currentMove, NullMove);
    // Each node takes the ply after its parent's; only the very last frame reports the end.
    SearchFrame* frame = root;
    for (frame->ply = 1; !atStackEnd(frame); ++frame)
        frame[1].ply = frame->ply + 1;
    EXPECT_EQ(frame, stack->frames + StackFrames - 1);
    // The deepest node search (ply MaxPly + 1) clears killers two frames ahead of it.
    EXPECT_LT(root + MaxPly + FramesWrittenAhead, frame);
}

class SearchTablesBoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        initTables();
        initHashesAndScores();
        initSearchTables();
        clearQuietGain(quietGain);
    }

    Board board;
    QuietGainTable quietGain;
};

TEST_F(SearchTablesBoardTest, QuietMoveThatDropsTheOpponentRaisesItsGain) {
    board.setFromFen("rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1");
    const Move knightOut = encodeMove(G1, F3);
    const Piece knight = makePiece(White, Knight);
    updateQuietGain(quietGain, knightOut, 0, -100, board);
    EXPECT_EQ(quietGain[knight][F3], 100);
    updateQuietGain(quietGain, knightOut, 10, -30, board);
    EXPECT_EQ(quietGain[knight][F3], 99);  // not raised: decays by one
    updateQuietGain(quietGain, knightOut, 50, 100, board);
    EXPECT_EQ(quietGain[knight][F3], 98);
    updateQuietGain(quietGain, knightOut, -150, 0, board);
    EXPECT_EQ(quietGain[knight][F3], 150);
    int untouched = 0;
    for (Piece piece = 0; piece < 16; ++piece)
        for (Square square = 0; square < 64; ++square)
            untouched += quietGain[piece][square] == 0;
    EXPECT_EQ(untouched, 16 * 64 - 1);
}

TEST_F(SearchTablesBoardTest, QuietGainLearnsNothingFromSpecialMoves) {
    board.setFromFen("rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1");
    updateQuietGain(quietGain, NullMove, 0, -100, board);
    updateQuietGain(quietGain, encodeMove(G1, F3), NoScore, -100, board);
    updateQuietGain(quietGain, encodeMove(G1, F3), 0, NoScore, board);

    // Castling is written king to rook; the rook's old square is empty afterwards.
    board.setFromFen("rnbqkbnr/pppppppp/8/8/8/5NP1/PPPPPPBP/RNBQ1RK1 b kq - 1 4");
    updateQuietGain(quietGain, encodeMove(E1, H1, KindCastling), 0, -100, board);
    board.setFromFen("1Q2k3/8/8/8/8/8/8/4K3 b - - 0 1");
    updateQuietGain(quietGain, encodePromotion(B7, B8, Queen), 0, -100, board);
    // No move recorded at all, on an empty corner: nothing to index.
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    updateQuietGain(quietGain, NoMove, 0, -100, board);

    for (const auto& row : quietGain)
        for (int32_t gain : row)
            ASSERT_EQ(gain, 0);
}

TEST_F(SearchTablesBoardTest, QuietGainIgnoresCaptures) {
    board.setFromFen("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
    const Move capture = encodeMove(E4, D5);
    BoardState state;
    board.makeMove(capture, state);
    updateQuietGain(quietGain, capture, 0, -100, board);
    board.unmakeMove(capture);
    for (const auto& row : quietGain)
        for (int32_t gain : row)
            ASSERT_EQ(gain, 0);
}

TEST_F(SearchTablesBoardTest, MovesConnectedRules) {
    // White to move; black's last move and black's threat after a null move.
    board.setFromFen("r1bqkbnr/pppppppp/8/8/3n4/5N2/PPPPPPPP/RNBQKB1R w KQkq - 2 3");
    EXPECT_TRUE(movesConnected(board, encodeMove(C6, D4), encodeMove(D4, F3)));  // same piece again

    board.setFromFen("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
    EXPECT_TRUE(movesConnected(board, encodeMove(E7, E5), encodeMove(D8, E7)));  // into the vacated square
    EXPECT_TRUE(movesConnected(board, encodeMove(E7, E5), encodeMove(D8, H4)));  // line opened by the move
    EXPECT_FALSE(movesConnected(board, encodeMove(E7, E5), encodeMove(G8, F6)));

    board.setFromFen("r1bqkbnr/pppppppp/2n5/8/8/5N2/PPPPPPPP/RNBQKB1R w KQkq - 2 2");
    EXPECT_TRUE(movesConnected(board, encodeMove(B8, C6), encodeMove(D8, D4)));  // the mover guards the target
    EXPECT_FALSE(movesConnected(board, encodeMove(B8, C6), encodeMove(G8, H6)));

    // The rook's move lines up behind the knight, which threatens a discovered check.
    board.setFromFen("4r1k1/8/8/4n3/8/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(movesConnected(board, encodeMove(A8, E8), encodeMove(E5, D3)));
    board.setFromFen("4r1k1/8/8/4n3/8/8/8/3K4 w - - 0 1");
    EXPECT_FALSE(movesConnected(board, encodeMove(A8, E8), encodeMove(E5, D3)));
}

TEST_F(SearchTablesBoardTest, MovesConnectedAfterCastlingReadsNoEmptySquare) {
    board.setFromFen("rnbq1rk1/ppppppbp/5np1/8/8/5NP1/PPPPPPBP/RNBQ1RK1 w - - 2 5");
    EXPECT_FALSE(movesConnected(board, encodeMove(E8, H8, KindCastling), encodeMove(B8, C6)));
    EXPECT_TRUE(movesConnected(board, encodeMove(E8, H8, KindCastling), encodeMove(D8, E8)));
}

TEST_F(SearchTablesBoardTest, ThreatDefendedRules) {
    // The threatened knight steps away, or a pawn guards it against the rook.
    board.setFromFen("3rk3/8/8/8/3N4/8/2P5/4K3 w - - 0 1");
    EXPECT_TRUE(threatDefended(board, encodeMove(D4, F5), encodeMove(D8, D4)));
    EXPECT_TRUE(threatDefended(board, encodeMove(C2, C3), encodeMove(D8, D4)));
    EXPECT_FALSE(threatDefended(board, encodeMove(E1, E2), encodeMove(D8, D4)));

    // A pawn taking a queen is not answered by guarding the queen.
    board.setFromFen("4k3/8/8/4p3/3Q4/8/2P5/4K3 w - - 0 1");
    EXPECT_FALSE(threatDefended(board, encodeMove(C2, C3), encodeMove(E5, D4)));

    // The king counts as a capturer whatever it takes.
    board.setFromFen("8/8/8/4k3/3N4/8/2P5/4K3 w - - 0 1");
    EXPECT_TRUE(threatDefended(board, encodeMove(C2, C3), encodeMove(E5, D4)));

    // A quiet threat is not a capture; an en-passant capture is.
    board.setFromFen("3rk3/8/8/8/8/8/2P5/4K3 w - - 0 1");
    EXPECT_FALSE(threatDefended(board, encodeMove(C2, C3), encodeMove(D8, D4)));
    board.setFromFen("4k3/8/8/8/3Pp3/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(threatDefended(board, encodeMove(E1, E2), encodeMove(E4, D3, KindEnPassant)));
    EXPECT_FALSE(threatDefended(board, encodeMove(E1, F1), encodeMove(E4, D3, KindEnPassant)));
}

TEST_F(SearchTablesBoardTest, ThreatDefendedByBlockingTheLine) {
    // The pawn blocks the bishop's diagonal and is guarded there.
    board.setFromFen("4k3/1b6/8/8/8/8/4PP2/K6R w - - 0 1");
    EXPECT_TRUE(threatDefended(board, encodeMove(F2, F3), encodeMove(B7, H1)));
    // Unguarded, the block loses the pawn.
    board.setFromFen("4k3/1b6/8/8/8/8/5P2/K6R w - - 0 1");
    EXPECT_FALSE(threatDefended(board, encodeMove(F2, F3), encodeMove(B7, H1)));
    // Blocking with a capture of a piece worth at least the blocker needs no exchange.
    board.setFromFen("4k3/1b6/8/8/8/5n2/6P1/K6R w - - 0 1");
    EXPECT_TRUE(threatDefended(board, encodeMove(G2, F3), encodeMove(B7, H1)));
}

}  // namespace
}  // namespace orvath
