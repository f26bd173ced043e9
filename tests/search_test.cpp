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
#include "search/history.h"
#include "search/node_search.h"
#include "search/quiet_gain.h"
#include "search/root_list.h"
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
        clearHistory();
        clearQuietGain();
        resetSearchState(SearchLimits{}, 0, nullptr);
        multiPvCount = 1;
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
    Move deepen(Board& board, int depth, int lines = 1) {
        searchLimits.depth = depth;
        multiPvCount = lines;
        testing::internal::CaptureStdout();
        const Move best = iterativeDeepening(board);
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
    auto board = boardFrom(Middlegame);
    hashTable.store(board->positionHash(), 500, BoundExact, 40, NoMove, 0, 0);
    EXPECT_EQ(searchNonPv(*board, frameAtPly(101), 99, 100, 8), 0);
    EXPECT_EQ(searchPv(*board, frameAtPly(101), -100, 100, 8), 0);
    // One ply nearer the root the entry is read and cuts.
    EXPECT_EQ(searchNonPv(*board, frameAtPly(100), 99, 100, 8), 500);
    EXPECT_EQ(searchPv(*board, frameAtPly(100), -1000, 1000, 8), 500);
}

TEST_F(SearchTest, MateDistancePruning) {
    auto board = boardFrom(Middlegame);
    // Being mated here scores 50 - 30000, already above this window.
    EXPECT_EQ(searchNonPv(*board, frameAtPly(50), -29960, -29959, 6), 50 - MateScore);
    EXPECT_EQ(searchPv(*board, frameAtPly(50), -30001, -29951, 6), 50 - MateScore);
    // Mating from here scores at most 29999 - 50, below this window.
    EXPECT_EQ(searchNonPv(*board, frameAtPly(50), 29960, 29961, 6), 29960);
}

TEST_F(SearchTest, CheckmateScoresByPlyAndStalemateIsZero) {
    auto mated = boardFrom(FoolsMate);
    for (int ply : {1, 7, 60}) {
        EXPECT_EQ(searchNonPv(*mated, frameAtPly(ply), -100, -99, 4), ply - MateScore) << ply;
        EXPECT_EQ(searchPv(*mated, frameAtPly(ply), -InfiniteScore, InfiniteScore, 4), ply - MateScore) << ply;
    }
    // Black is a queen down: any window near 0 would be razored to the quiescence score, so
    // the zero-window search is asked whether it does better than losing that queen.
    auto stalemate = boardFrom(Stalemate);
    EXPECT_EQ(searchNonPv(*stalemate, frameAtPly(3), -3000, -2999, 4), 0);
    EXPECT_EQ(searchPv(*stalemate, frameAtPly(3), -InfiniteScore, InfiniteScore, 12), 0);
}

TEST_F(SearchTest, MateBoundFromAShallowerEntryCutsOnlyOffThePrincipalVariation) {
    auto board = boardFrom(Middlegame);
    hashTable.store(board->positionHash(), valueToTable(29950, 1), BoundLower, 2, NoMove, 0, 0);
    EXPECT_EQ(searchNonPv(*board, frameAtPly(1), 99, 100, 4), 29950);
    const int pv = searchPv(*board, frameAtPly(1), -1000, 1000, 4);
    EXPECT_LT(pv, 1000);
    EXPECT_GT(pv, -1000);
    // An exact entry of the full depth cuts there too.
    hashTable.store(board->positionHash(), 77, BoundExact, 4, NoMove, 0, 0);
    EXPECT_EQ(searchPv(*board, frameAtPly(1), -1000, 1000, 4), 77);
}

// An evaluation-only entry never cuts, but its evaluation is the node's: here far enough above
// beta for the static null-move test to return it less the depth's margin.
TEST_F(SearchTest, EvaluationOnlyEntrySuppliesTheEvaluation) {
    auto board = boardFrom(Middlegame);
    hashTable.store(board->positionHash(), NoScore, BoundNone, NoDepth, NoMove, 1234, 0);
    EXPECT_EQ(searchNonPv(*board, frameAtPly(1), 99, 100, 2), 1234 - pruneMargin(2, 0));
}

TEST_F(SearchTest, StopFlagEndsEveryNodeAtOnce) {
    auto board = boardFrom(Middlegame);
    searchSignals.stop = true;
    const uint64_t nodes = board->nodeCount;
    EXPECT_EQ(searchNonPv(*board, frameAtPly(1), 99, 100, 20), 0);
    EXPECT_EQ(searchPv(*board, frameAtPly(1), -100, 100, 20), 0);
    EXPECT_EQ(board->nodeCount, nodes);
}

TEST_F(SearchTest, PollRunsOncePerIntervalOfNodes) {
    static int polls;
    polls = 0;
    pollFunction = [](Board&) { ++polls; };
    pollInterval = 10;
    auto board = boardFrom(MateInOne);
    pollCounter = 0;
    for (int i = 0; i < 10; ++i) searchNonPv(*board, frameAtPly(101), 0, 1, 4);
    EXPECT_EQ(polls, 0);
    searchNonPv(*board, frameAtPly(101), 0, 1, 4);
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(pollCounter, 0);
    // Only the main thread polls.
    board->threadIndex = 1;
    for (int i = 0; i < 30; ++i) searchNonPv(*board, frameAtPly(101), 0, 1, 4);
    EXPECT_EQ(polls, 1);
}

TEST_F(SearchTest, FindsMateInOne) {
    auto board = boardFrom(MateInOne);
    EXPECT_EQ(moveToText(deepen(*board, 2)), "a1a8");
    EXPECT_EQ(rootList[0].score, MateScore - 2);
    EXPECT_NE(output.find("score mate 1 "), std::string::npos) << output;
}

TEST_F(SearchTest, FindsMateInTwo) {
    auto board = boardFrom(MateInTwo);
    const Move best = deepen(*board, 4);
    EXPECT_EQ(rootList[0].score, MateScore - 4);
    EXPECT_NE(output.find("score mate 2 "), std::string::npos) << output;
    // The variation ends in the mate.
    std::vector<BoardState> states(rootList[0].pv.size());
    size_t made = 0;
    for (; rootList[0].pv[made] != NoMove; ++made) board->makeMove(rootList[0].pv[made], states[made]);
    EXPECT_EQ(made, 3u);
    EXPECT_TRUE(board->isCheckmate());
    while (made > 0) board->unmakeMove(rootList[0].pv[--made]);
    EXPECT_EQ(best, rootList[0].move());
}

TEST_F(SearchTest, SeesItsOwnMateComing) {
    auto board = boardFrom(MatedAfterReply);
    EXPECT_EQ(moveToText(deepen(*board, 3)), "a8b8");
    EXPECT_EQ(rootList[0].score, 3 - MateScore);
    EXPECT_NE(output.find("score mate -1 "), std::string::npos) << output;
}

TEST_F(SearchTest, PositionWithoutLegalMoves) {
    auto board = boardFrom(FoolsMate);
    EXPECT_EQ(deepen(*board, 5), NoMove);
    EXPECT_TRUE(rootList.empty());
    EXPECT_EQ(output, "");
    auto stalemate = boardFrom(Stalemate);
    EXPECT_EQ(deepen(*stalemate, 5), NoMove);
    EXPECT_EQ(output, "");
}

TEST_F(SearchTest, OneLegalMove) {
    auto board = boardFrom(MatedAfterReply);
    EXPECT_EQ(moveToText(deepen(*board, 1)), "a8b8");
    EXPECT_EQ(rootList.size(), 1u);
    EXPECT_NE(output.find("info multipv 1 depth 1 "), std::string::npos) << output;
}

TEST_F(SearchTest, MultiPvBeyondTheLegalMoves) {
    auto board = boardFrom(FourMoves);
    deepen(*board, 3, 10);
    ASSERT_EQ(rootList.size(), 4u);
    for (const RootEntry& entry : rootList) EXPECT_GT(entry.score, -InfiniteScore) << moveToText(entry.move());
    for (int line = 1; line <= 4; ++line)
        EXPECT_NE(output.find("info multipv " + std::to_string(line) + " depth 3 "), std::string::npos) << line;
    EXPECT_EQ(output.find("info multipv 5"), std::string::npos) << output;
    // Best-move changes are counted with a single line only.
    EXPECT_EQ(bestMoveChanges, 0);
}

TEST_F(SearchTest, MultiPvShowsUnsearchedLinesAtThePreviousDepth) {
    auto board = boardFrom(Middlegame);
    deepen(*board, 2, 3);
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
    auto board = boardFrom(Middlegame);
    deepen(*board, 1);
    for (const RootEntry& entry : rootList) EXPECT_GT(entry.score, -InfiniteScore) << moveToText(entry.move());
    // From the second iteration on, moves that do not beat the first fail low.
    deepen(*board, 3);
    int failedLow = 0;
    for (const RootEntry& entry : rootList) failedLow += entry.score == -InfiniteScore ? 1 : 0;
    EXPECT_GT(failedLow, 0);
    EXPECT_GT(rootList[0].score, -InfiniteScore);
}

TEST_F(SearchTest, LeavesTheBoardAsItFoundIt) {
    for (std::string_view fen : {Middlegame, MateInTwo, FourMoves}) {
        auto board = boardFrom(fen);
        const std::vector<unsigned char> before = boardBytes(*board);
        deepen(*board, 4);
        EXPECT_TRUE(boardBytes(*board) == before) << fen;
        EXPECT_TRUE(board->isConsistent());
    }
}

TEST_F(SearchTest, SameSearchSameNodes) {
    auto board = boardFrom(Middlegame);
    const uint64_t start = board->nodeCount;
    const Move first = deepen(*board, 5);
    const uint64_t firstNodes = board->nodeCount - start;
    const int firstScore = rootList[0].score;

    hashTable.clear();
    const uint64_t again = board->nodeCount;
    const Move second = deepen(*board, 5);
    EXPECT_EQ(board->nodeCount - again, firstNodes);
    EXPECT_EQ(second, first);
    EXPECT_EQ(rootList[0].score, firstScore);
    EXPECT_GT(firstNodes, 100u);
}

TEST_F(SearchTest, DepthLimitEndsTheIterations) {
    auto board = boardFrom(Middlegame);
    deepen(*board, 3);
    EXPECT_NE(output.find(" depth 3 "), std::string::npos);
    EXPECT_EQ(output.find(" depth 4 "), std::string::npos);
    EXPECT_FALSE(searchSignals.stop);
}

}  // namespace
}  // namespace orvath
