// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/evaluate.h"

#include <gtest/gtest.h>

#include "board/keys.h"
#include "test_support.h"

namespace orvath {
namespace {

class EvaluateTest : public ::testing::Test {
protected:
    void SetUp() override {
        initTables();
        initHashesAndScores();
    }

    // Evaluates `fen` with its placement score replaced by `score`.
    static int evaluateWithScore(std::string_view fen, PackedScore score) {
        Board board;
        board.setFromFen(fen);
        board.currentState->placementScore = score;
        int margin = -1;
        const int value = evaluate(board, margin);
        EXPECT_EQ(margin, 0);
        return value;
    }
};

TEST(EvaluateRounding, NearestMultipleOfEightHalvesUp) {
    EXPECT_EQ(roundEvaluation(4), 8);
    EXPECT_EQ(roundEvaluation(-4), 0);
    EXPECT_EQ(roundEvaluation(3), 0);
    EXPECT_EQ(roundEvaluation(-5), -8);
    EXPECT_EQ(roundEvaluation(0), 0);
    EXPECT_EQ(roundEvaluation(-12), -8);
    EXPECT_EQ(roundEvaluation(-13), -16);
    for (int midgame = -40000; midgame <= 40000; ++midgame) {
        const int rounded = roundEvaluation(midgame);
        ASSERT_EQ(rounded % 8, 0) << midgame;
        ASSERT_GE(rounded - midgame, -3) << midgame;
        ASSERT_LE(rounded - midgame, 4) << midgame;
    }
}

TEST_F(EvaluateTest, StartPositionForEitherSide) {
    Board board;
    board.setFromFen(StartFen);
    EXPECT_EQ(board.state().placementScore, makeScore(24, 11));
    int margin = -1;
    EXPECT_EQ(evaluate(board, margin), 24);
    EXPECT_EQ(margin, 0);

    board.setFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
    EXPECT_EQ(board.state().placementScore, -makeScore(24, 11));
    margin = -1;
    EXPECT_EQ(evaluate(board, margin), 24);
    EXPECT_EQ(margin, 0);
}

TEST_F(EvaluateTest, RoundsTheMidgameHalfAndNegatesForBlack) {
    const std::string_view white = "4k3/8/8/8/8/8/8/4K3 w - - 0 1";
    const std::string_view black = "4k3/8/8/8/8/8/8/4K3 b - - 0 1";
    EXPECT_EQ(evaluateWithScore(white, makeScore(4, 0)), 8);
    EXPECT_EQ(evaluateWithScore(white, makeScore(-4, 0)), 0);
    EXPECT_EQ(evaluateWithScore(white, makeScore(3, 0)), 0);
    EXPECT_EQ(evaluateWithScore(white, makeScore(-5, 0)), -8);
    EXPECT_EQ(evaluateWithScore(black, makeScore(4, 0)), -8);
    EXPECT_EQ(evaluateWithScore(black, makeScore(-5, 0)), 8);
    EXPECT_EQ(evaluateWithScore(black, makeScore(-4, 0)), 0);
}

TEST_F(EvaluateTest, EndgameHalfIsIgnored) {
    const std::string_view fen = "r3k2r/pp3ppp/2n5/3q4/8/2N5/PP3PPP/R2QK2R w KQkq - 0 1";
    for (int endgame : {-30000, -1, 0, 1, 777, 30000})
        EXPECT_EQ(evaluateWithScore(fen, makeScore(-100, endgame)), -96) << endgame;
    for (int endgame : {-32768, 0, 32767})
        EXPECT_EQ(evaluateWithScore(fen, makeScore(2001, endgame)), 2000) << endgame;
}

TEST_F(EvaluateTest, MarginIsZeroAndValuesMatchTheBoardScore) {
    const std::string_view fens[] = {
        StartFen,
        "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 b - - 0 1",
    };
    Board board;
    for (std::string_view fen : fens) {
        board.setFromFen(fen);
        int margin = -1;
        const int value = evaluate(board, margin);
        EXPECT_EQ(margin, 0) << fen;
        const int white = board.sideToMove == White ? value : -value;
        EXPECT_EQ(white, roundEvaluation(midgamePart(board.state().placementScore))) << fen;
        EXPECT_EQ(white, roundEvaluation(midgamePart(board.computePlacementScore()))) << fen;
    }
}

}  // namespace
}  // namespace orvath
