// SPDX-License-Identifier: GPL-3.0-or-later
// The node searches, the root search and the iterative deepening, on positions small enough to
// search in milliseconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "control/deepening.h"
#include "control/go.h"
#include "search/hash_table.h"
#include "search/node_search.h"
#include "search/root_list.h"
#include "search/search_context.h"
#include "search/search_signals.h"
#include "search/search_tables.h"
#include "test_support.h"
#include "uci/move_text.h"

namespace orvath {
namespace {

constexpr std::string_view MateInOne = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";    // Ra8#
constexpr std::string_view MateInTwo = "k7/8/2K5/8/8/8/8/7R w - - 0 1";        // Kb6 Kb8 Rh8#
constexpr std::string_view MatedAfterReply = "k7/8/1K6/8/8/8/8/7R b - - 0 1";  // only Kb8, then Rh8#
constexpr std::string_view FoolsMate = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
constexpr std::string_view Stalemate = "k7/8/1Q6/8/8/8/8/7K b - - 0 1";
constexpr std::string_view FourMoves = "7k/8/8/8/8/8/P7/K7 w - - 0 1";
constexpr std::string_view Middlegame = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";

class SearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        initTables();
        initSearchTables();
    }

    void SetUp() override {
        hashTable.resize(4);
        hashTable.clear();
        resetSearchState(SearchLimits{}, 0, nullptr);
        stack = std::make_unique<SearchStack>();
    }

    // A frame for a node at `ply`, as the search from the root would reach it.
    SearchFrame* frameAtPly(int ply) {
        SearchFrame* root = stack->prepareRoot();
        SearchFrame* frame = root + (ply - 1);
        (frame - 1)->ply = ply - 1;
        (frame - 1)->currentMove = NullMove;
        (frame - 1)->eval = NoScore;
        return frame;
    }

    // iterativeDeepening under a depth limit, with its "info" lines caught.
    Move deepen(SearchContext& ctx, int depth, int lines = 1) {
        searchLimits.depth = depth;
        ctx.multiPvCount = lines;
        testing::internal::CaptureStdout();
        const Move best = iterativeDeepening(ctx);
        output = testing::internal::GetCapturedStdout();
        return best;
    }

    std::unique_ptr<SearchStack> stack;
    std::string output;
};

// The board's bytes, apart from its node counter, which a search advances, and the order of
// the squares within each piece list, which a capture taken back may change: each list is
// compared as a sorted list, and the slot indices that point into it are left out.
std::vector<unsigned char> boardBytes(const Board& board) {
    std::vector<unsigned char> bytes(sizeof(Board));
    std::memcpy(bytes.data(), static_cast<const void*>(&board), sizeof(Board));
    auto* copy = reinterpret_cast<Board*>(bytes.data());
    copy->nodeCount = 0;
    for (auto& list : copy->pieceSquares) std::sort(std::begin(list), std::end(list));
    std::fill(std::begin(copy->squareSlot), std::end(copy->squareSlot), 0);
    return bytes;
}

TEST_F(SearchTest, NodeBeyondPlyHundredIsADrawWithoutLookingAtTheTable) {
    auto ctx = contextFrom(Middlegame);
    hashTable.store(ctx->board.positionHash(), 500, BoundExact, 40, NoMove, 0, 0);
    EXPECT_EQ(searchNonPv(*ctx, frameAtPly(101), 99, 100, 8), 0);
    EXPECT_EQ(searchPv(*ctx, frameAtPly(101), -100, 100, 8), 0);
    // One ply nearer the root the entry is read and cuts.
    EXPECT_EQ(searchNonPv(*ctx, frameAtPly(100), 99, 100, 8), 500);
    EXPECT_EQ(searchPv(*ctx, frameAtPly(100), -1000, 1000, 8), 500);
}

TEST_F(SearchTest, MateDistancePruning) {
    auto ctx = contextFrom(Middlegame);
    // Being mated here scores 50 - 30000, already above this window.
    EXPECT_EQ(searchNonPv(*ctx, frameAtPly(50), -29960, -29959, 6), 50 - MateScore);
    EXPECT_EQ(searchPv(*ctx, frameAtPly(50), -30001, -29951, 6), 50 - MateScore);
    // Mating from here scores at most 29999 - 50, below this window.
    EXPECT_EQ(searchNonPv(*ctx, frameAtPly(50), 29960, 29961, 6), 29960);
}

TEST_F(SearchTest, CheckmateScoresByPlyAndStalemateIsZero) {
    auto mated = contextFrom(FoolsMate);
    for (int ply : {1, 7, 60}) {
        EXPECT_EQ(searchNonPv(*mated, frameAtPly(ply), -100, -99, 4), ply - MateScore) << ply;
        EXPECT_EQ(searchPv(*mated, frameAtPly(ply), -InfiniteScore, InfiniteScore, 4), ply - MateScore) << ply;
    }
    // Black is a queen down: any window near 0 would be razored to the quiescence score, so
    // the zero-window search is asked whether it does better than losing that queen.
    auto stalemate = contextFrom(Stalemate);
    EXPECT_EQ(searchNonPv(*stalemate, frameAtPly(3), -3000, -2999, 4), 0);
    EXPECT_EQ(searchPv(*stalemate, frameAtPly(3), -InfiniteScore, InfiniteScore, 12), 0);
}

TEST_F(SearchTest, MateBoundFromAShallowerEntryCutsOnlyOffThePrincipalVariation) {
    auto ctx = contextFrom(Middlegame);
    hashTable.store(ctx->board.positionHash(), valueToTable(29950, 1), BoundLower, 2, NoMove, 0, 0);
    EXPECT_EQ(searchNonPv(*ctx, frameAtPly(1), 99, 100, 4), 29950);
    const int pv = searchPv(*ctx, frameAtPly(1), -1000, 1000, 4);
    EXPECT_LT(pv, 1000);
    EXPECT_GT(pv, -1000);
    // An exact entry of the full depth cuts there too.
    hashTable.store(ctx->board.positionHash(), 77, BoundExact, 4, NoMove, 0, 0);
    EXPECT_EQ(searchPv(*ctx, frameAtPly(1), -1000, 1000, 4), 77);
}

// An evaluation-only entry never cuts, but its evaluation is the node's: here far enough above
// beta for the static null-move test to return it less the depth's margin.
TEST_F(SearchTest, EvaluationOnlyEntrySuppliesTheEvaluation) {
    auto ctx = contextFrom(Middlegame);
    hashTable.store(ctx->board.positionHash(), NoScore, BoundNone, NoDepth, NoMove, 1234, 0);
    EXPECT_EQ(searchNonPv(*ctx, frameAtPly(1), 99, 100, 2), 1234 - pruneMargin(2, 0));
}

TEST_F(SearchTest, StopFlagEndsEveryNodeAtOnce) {
    auto ctx = contextFrom(Middlegame);
    searchSignals.stop = true;
    const uint64_t nodes = ctx->board.nodeCount;
    EXPECT_EQ(searchNonPv(*ctx, frameAtPly(1), 99, 100, 20), 0);
    EXPECT_EQ(searchPv(*ctx, frameAtPly(1), -100, 100, 20), 0);
    EXPECT_EQ(ctx->board.nodeCount, nodes);
}

TEST_F(SearchTest, PollRunsOncePerIntervalOfNodes) {
    static int polls;
    polls = 0;
    pollFunction = [](SearchContext&) { ++polls; };
    pollInterval = 10;
    auto ctx = contextFrom(MateInOne);
    ctx->pollCounter = 0;
    for (int i = 0; i < 10; ++i) searchNonPv(*ctx, frameAtPly(101), 0, 1, 4);
    EXPECT_EQ(polls, 0);
    searchNonPv(*ctx, frameAtPly(101), 0, 1, 4);
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(ctx->pollCounter, 0);
    // Only the main thread polls.
    ctx->board.threadIndex = 1;
    for (int i = 0; i < 30; ++i) searchNonPv(*ctx, frameAtPly(101), 0, 1, 4);
    EXPECT_EQ(polls, 1);
}

TEST_F(SearchTest, FindsMateInOne) {
    auto ctx = contextFrom(MateInOne);
    EXPECT_EQ(moveToText(deepen(*ctx, 2)), "a1a8");
    EXPECT_EQ(ctx->rootList[0].score, MateScore - 2);
    EXPECT_NE(output.find("score mate 1 "), std::string::npos) << output;
}

TEST_F(SearchTest, FindsMateInTwo) {
    auto ctx = contextFrom(MateInTwo);
    const Move best = deepen(*ctx, 4);
    EXPECT_EQ(ctx->rootList[0].score, MateScore - 4);
    EXPECT_NE(output.find("score mate 2 "), std::string::npos) << output;
    // The variation ends in the mate.
    std::vector<BoardState> states(ctx->rootList[0].pv.size());
    size_t made = 0;
    for (; ctx->rootList[0].pv[made] != NoMove; ++made) ctx->board.makeMove(ctx->rootList[0].pv[made], states[made]);
    EXPECT_EQ(made, 3u);
    EXPECT_TRUE(ctx->board.isCheckmate());
    while (made > 0) ctx->board.unmakeMove(ctx->rootList[0].pv[--made]);
    EXPECT_EQ(best, ctx->rootList[0].move());
}

TEST_F(SearchTest, SeesItsOwnMateComing) {
    auto ctx = contextFrom(MatedAfterReply);
    EXPECT_EQ(moveToText(deepen(*ctx, 3)), "a8b8");
    EXPECT_EQ(ctx->rootList[0].score, 3 - MateScore);
    EXPECT_NE(output.find("score mate -1 "), std::string::npos) << output;
}

TEST_F(SearchTest, PositionWithoutLegalMoves) {
    auto ctx = contextFrom(FoolsMate);
    EXPECT_EQ(deepen(*ctx, 5), NoMove);
    EXPECT_TRUE(ctx->rootList.empty());
    EXPECT_EQ(output, "");
    auto stalemate = contextFrom(Stalemate);
    EXPECT_EQ(deepen(*stalemate, 5), NoMove);
    EXPECT_EQ(output, "");
}

TEST_F(SearchTest, OneLegalMove) {
    auto ctx = contextFrom(MatedAfterReply);
    EXPECT_EQ(moveToText(deepen(*ctx, 1)), "a8b8");
    EXPECT_EQ(ctx->rootList.size(), 1u);
    EXPECT_NE(output.find("info multipv 1 depth 1 "), std::string::npos) << output;
}

TEST_F(SearchTest, MultiPvBeyondTheLegalMoves) {
    auto ctx = contextFrom(FourMoves);
    deepen(*ctx, 3, 10);
    ASSERT_EQ(ctx->rootList.size(), 4u);
    for (const RootEntry& entry : ctx->rootList) EXPECT_GT(entry.score, -InfiniteScore) << moveToText(entry.move());
    for (int line = 1; line <= 4; ++line)
        EXPECT_NE(output.find("info multipv " + std::to_string(line) + " depth 3 "), std::string::npos) << line;
    EXPECT_EQ(output.find("info multipv 5"), std::string::npos) << output;
    // Best-move changes are counted with a single line only.
    EXPECT_EQ(ctx->bestMoveChanges, 0);
}

TEST_F(SearchTest, MultiPvShowsUnsearchedLinesAtThePreviousDepth) {
    auto ctx = contextFrom(Middlegame);
    deepen(*ctx, 2, 3);
    // Depth 1 reports only the lines already searched; depth 2 reports all three after each line.
    EXPECT_NE(output.find("info multipv 1 depth 1 "), std::string::npos);
    EXPECT_NE(output.find("info multipv 1 depth 2 "), std::string::npos);
    EXPECT_NE(output.find("info multipv 3 depth 1 "), std::string::npos);
    size_t lines = 0;
    for (size_t at = output.find("info multipv"); at != std::string::npos; at = output.find("info multipv", at + 1))
        ++lines;
    EXPECT_EQ(lines, (1u + 2u + 3u) + 3u * 3u) << output;
}

TEST_F(SearchTest, FirstIterationScoresEveryRootMove) {
    auto ctx = contextFrom(Middlegame);
    deepen(*ctx, 1);
    for (const RootEntry& entry : ctx->rootList) EXPECT_GT(entry.score, -InfiniteScore) << moveToText(entry.move());
    // From the second iteration on, moves that do not beat the first fail low.
    deepen(*ctx, 3);
    int failedLow = 0;
    for (const RootEntry& entry : ctx->rootList) failedLow += entry.score == -InfiniteScore ? 1 : 0;
    EXPECT_GT(failedLow, 0);
    EXPECT_GT(ctx->rootList[0].score, -InfiniteScore);
}

TEST_F(SearchTest, LeavesTheBoardAsItFoundIt) {
    for (std::string_view fen : {Middlegame, MateInTwo, FourMoves}) {
        auto ctx = contextFrom(fen);
        const std::vector<unsigned char> before = boardBytes(ctx->board);
        deepen(*ctx, 4);
        EXPECT_TRUE(boardBytes(ctx->board) == before) << fen;
        EXPECT_TRUE(ctx->board.isConsistent());
    }
}

TEST_F(SearchTest, SameSearchSameNodes) {
    auto ctx = contextFrom(Middlegame);
    const uint64_t start = ctx->board.nodeCount;
    const Move first = deepen(*ctx, 5);
    const uint64_t firstNodes = ctx->board.nodeCount - start;
    const int firstScore = ctx->rootList[0].score;

    hashTable.clear();
    const uint64_t again = ctx->board.nodeCount;
    const Move second = deepen(*ctx, 5);
    EXPECT_EQ(ctx->board.nodeCount - again, firstNodes);
    EXPECT_EQ(second, first);
    EXPECT_EQ(ctx->rootList[0].score, firstScore);
    EXPECT_GT(firstNodes, 100u);
}

TEST_F(SearchTest, DepthLimitEndsTheIterations) {
    auto ctx = contextFrom(Middlegame);
    deepen(*ctx, 3);
    EXPECT_NE(output.find(" depth 3 "), std::string::npos);
    EXPECT_EQ(output.find(" depth 4 "), std::string::npos);
    EXPECT_FALSE(stopRequested());
}

}  // namespace
}  // namespace orvath
