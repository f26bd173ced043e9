// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "board/types.h"
#include "platform/platform.h"
#include "uci/output.h"

namespace orvath {
namespace {

constexpr int32_t NoAlpha = -30001;
constexpr int32_t NoBeta = 30001;

std::string plainScore(int32_t v) { return scoreText(v, NoAlpha, NoBeta); }

TEST(ScoreText, CentipawnsRoundTowardZero) {
    EXPECT_EQ(plainScore(198), " score cp 100");
    EXPECT_EQ(plainScore(-198), " score cp -100");
    EXPECT_EQ(plainScore(-50), " score cp -25");
    EXPECT_EQ(plainScore(0), " score cp 0");
    EXPECT_EQ(plainScore(1), " score cp 0");
    EXPECT_EQ(plainScore(-1), " score cp 0");
    EXPECT_EQ(plainScore(2), " score cp 1");
    EXPECT_EQ(plainScore(-2), " score cp -1");
    // The last centipawn score: 29799 x 100 = 2979900 = 198 x 15050 exactly.
    EXPECT_EQ(plainScore(29799), " score cp 15050");
    EXPECT_EQ(plainScore(-29799), " score cp -15050");
    EXPECT_EQ(plainScore(29797), " score cp 15048");
    EXPECT_EQ(plainScore(99), " score cp 50");
    EXPECT_EQ(plainScore(197), " score cp 99");
}

TEST(ScoreText, MateCountsMovesFromTheThreshold) {
    EXPECT_EQ(plainScore(29800), " score mate 100");
    EXPECT_EQ(plainScore(29999), " score mate 1");
    EXPECT_EQ(plainScore(29998), " score mate 1");
    EXPECT_EQ(plainScore(29997), " score mate 2");
    EXPECT_EQ(plainScore(-29998), " score mate -1");
    EXPECT_EQ(plainScore(-29997), " score mate -1");
    EXPECT_EQ(plainScore(-29996), " score mate -2");
    EXPECT_EQ(plainScore(-29800), " score mate -100");
    EXPECT_EQ(plainScore(30000), " score mate 0");
    EXPECT_EQ(plainScore(-30000), " score mate 0");
    // Mate p plies away: (p + 1) / 2 moves for the winner, -p / 2 for the loser.
    for (int32_t plies = 1; plies <= 200; ++plies) {
        EXPECT_EQ(plainScore(30000 - plies), " score mate " + std::to_string((plies + 1) / 2));
        EXPECT_EQ(plainScore(plies - 30000), " score mate " + std::to_string(-plies / 2));
    }
}

TEST(ScoreText, BoundWordsFollowTheWindow) {
    EXPECT_EQ(scoreText(50, -10, 50), " score cp 25 lowerbound");
    EXPECT_EQ(scoreText(60, -10, 50), " score cp 30 lowerbound");
    EXPECT_EQ(scoreText(-10, -10, 50), " score cp -5 upperbound");
    EXPECT_EQ(scoreText(-20, -10, 50), " score cp -10 upperbound");
    EXPECT_EQ(scoreText(0, -10, 50), " score cp 0");
    EXPECT_EQ(scoreText(49, 48, 50), " score cp 24");
    // A score at both bounds of an empty window is a lower bound first.
    EXPECT_EQ(scoreText(7, 7, 7), " score cp 3 lowerbound");
    EXPECT_EQ(scoreText(29999, 100, 200), " score mate 1 lowerbound");
    EXPECT_EQ(scoreText(-29998, -100, 200), " score mate -1 upperbound");
    // The full window never writes a bound, even for the extreme scores.
    EXPECT_EQ(plainScore(30000), " score mate 0");
    EXPECT_EQ(plainScore(-30000), " score mate 0");
}

TEST(DepthText, HalvesTowardZero) {
    EXPECT_EQ(depthText(24), " depth 12");
    EXPECT_EQ(depthText(25), " depth 12");
    EXPECT_EQ(depthText(2), " depth 1");
    EXPECT_EQ(depthText(1), " depth 0");
    EXPECT_EQ(depthText(0), " depth 0");
    EXPECT_EQ(depthText(-1), " depth 0");
    EXPECT_EQ(depthText(-3), " depth -1");
}

TEST(PvText, EveryMoveIsFollowedByABlank) {
    const Move empty[] = {NoMove};
    EXPECT_EQ(pvText(empty), " pv ");
    const Move one[] = {encodeMove(E2, E4), NoMove};
    EXPECT_EQ(pvText(one), " pv e2e4 ");
    const Move three[] = {encodeMove(E2, E4), encodeMove(E7, E5), encodeMove(G1, F3), NoMove, encodeMove(A2, A3)};
    EXPECT_EQ(pvText(three), " pv e2e4 e7e5 g1f3 ");
    const Move special[] = {encodeMove(E1, H1, KindCastling), encodePromotion(A7, A8, Queen),
                            encodeMove(E5, D6, KindEnPassant), NoMove};
    EXPECT_EQ(pvText(special), " pv e1g1 a7a8q e5d6 ");
}

TEST(NodesText, RateIsZeroUntilTimeHasPassed) {
    EXPECT_EQ(nodesText(0, 0), " nodes 0 nps 0");
    EXPECT_EQ(nodesText(12345, 0), " nodes 12345 nps 0");
    EXPECT_EQ(nodesText(12345, -5), " nodes 12345 nps 0");
    EXPECT_EQ(nodesText(2345678, 1523), " nodes 2345678 nps 1540169");
    EXPECT_EQ(nodesText(999, 1000), " nodes 999 nps 999");
    EXPECT_EQ(nodesText(1999, 2000), " nodes 1999 nps 999");
    // The count is 64-bit; a rate beyond 32 bits shows as the largest one, never negative.
    EXPECT_EQ(nodesText(int64_t{5000000000}, 1), " nodes 5000000000 nps 2147483647");
    EXPECT_EQ(nodesText(int64_t{2147483648}, 1000), " nodes 2147483648 nps 2147483647");
}

// The rate of a text " nodes N nps R".
int64_t rateOf(const std::string& text) { return std::stoll(text.substr(text.rfind(' ') + 1)); }

TEST(NodesText, ReadsTheClockAcrossItsWrap) {
    const int32_t savedStart = searchStartTime;
    searchStartTime = static_cast<int32_t>(static_cast<uint32_t>(platform::nowMs()) + 1000000u);
    EXPECT_EQ(nodesText(777), " nodes 777 nps 0");
    // Started 5 seconds ago, however the 32-bit readings lie around the wrap.
    searchStartTime = static_cast<int32_t>(static_cast<uint32_t>(platform::nowMs()) - 5000u);
    const std::string text = nodesText(10000000);
    EXPECT_EQ(text.rfind(" nodes 10000000 nps ", 0), 0u) << text;
    EXPECT_GT(rateOf(text), int64_t{10000000} * 1000 / 65000);
    EXPECT_LE(rateOf(text), int64_t{10000000} * 1000 / 5000);
    searchStartTime = savedStart;
}

TEST(Lines, PvLineJoinsTheBuildersWithoutSeparators) {
    const int32_t savedStart = searchStartTime;
    searchStartTime = static_cast<int32_t>(static_cast<uint32_t>(platform::nowMs()) + 1000000u);
    const Move pv[] = {encodeMove(E2, E4), encodeMove(E7, E5), encodeMove(G1, F3), NoMove};
    EXPECT_EQ(pvLineText({.index = 1, .depth = 24, .elapsed = 1523, .score = 70, .alpha = NoAlpha,
                          .beta = NoBeta, .nodes = 2345678, .pv = pv}),
              "info multipv 1 depth 12 time 1523 score cp 35 nodes 2345678 nps 0 pv e2e4 e7e5 g1f3 ");
    EXPECT_EQ(pvLineText({.index = 3, .depth = 5, .elapsed = 0, .score = -29998, .alpha = -20, .beta = 20,
                          .nodes = 0, .pv = pv + 3}),
              "info multipv 3 depth 2 time 0 score mate -1 upperbound nodes 0 nps 0 pv ");
    searchStartTime = savedStart;
}

TEST(Lines, CurrentMoveAndBestMove) {
    EXPECT_EQ(currentMoveLineText(encodeMove(G1, F3), 3), "info currmove g1f3 currmovenumber 3");
    EXPECT_EQ(bestMoveLineText(encodeMove(E2, E4)), "bestmove e2e4");
    EXPECT_EQ(bestMoveLineText(encodePromotion(B2, B1, Knight)), "bestmove b2b1n");
    EXPECT_EQ(bestMoveLineText(NoMove), "bestmove a1a1");
}

TEST(Lines, WriterAppendsOneLineFeed) {
    testing::internal::CaptureStdout();
    writeLine("readyok");
    writeBestMoveLine(encodeMove(E8, A8, KindCastling));
    writeCurrentMoveLine(encodeMove(D2, D4), 1);
    writeLine("");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "readyok\nbestmove e8c8\ninfo currmove d2d4 currmovenumber 1\n\n");
}

}  // namespace
}  // namespace orvath
