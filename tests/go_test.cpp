// SPDX-License-Identifier: GPL-3.0-or-later
// The "go" command: reading its limits, and the search start around one whole search.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "board/board.h"
#include "control/go.h"
#include "control/thread_pool.h"
#include "control/time_budget.h"
#include "engine/command_loop.h"
#include "engine/position_command.h"
#include "search/hash_table.h"
#include "search/root_list.h"
#include "search/search_tables.h"
#include "test_support.h"
#include "uci/move_text.h"
#include "uci/options.h"

namespace orvath {
namespace {

constexpr std::string_view BlackToMoveFen = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";

SearchLimits parse(std::string_view fen, const std::string& line) {
    const auto board = boardFrom(fen);
    std::istringstream words(line);
    return parseGoLimits(*board, words);
}

void expectNoLimits(const SearchLimits& limits) {
    EXPECT_EQ(limits.time, 0);
    EXPECT_EQ(limits.increment, 0);
    EXPECT_EQ(limits.movesToGo, 0);
    EXPECT_EQ(limits.moveTime, 0);
    EXPECT_EQ(limits.depth, 0);
    EXPECT_EQ(limits.infinite, 0);
}

TEST(GoLimits, ClockOfTheSideToMove) {
    const std::string line = "wtime 1000 btime 2000 winc 10 binc 20 movestogo 7";
    const SearchLimits white = parse(StartFen, line);
    EXPECT_EQ(white.time, 1000);
    EXPECT_EQ(white.increment, 10);
    EXPECT_EQ(white.movesToGo, 7);
    const SearchLimits black = parse(BlackToMoveFen, line);
    EXPECT_EQ(black.time, 2000);
    EXPECT_EQ(black.increment, 20);
    EXPECT_EQ(black.movesToGo, 7);
}

TEST(GoLimits, NothingGivenMeansNoLimit) {
    expectNoLimits(parse(StartFen, ""));
    expectNoLimits(parse(StartFen, "   "));
    expectNoLimits(parse(StartFen, "btime 500 binc 5"));
}

TEST(GoLimits, PonderNodesMateAndSearchMovesBesideTheOthers) {
    const SearchLimits ponder = parse(StartFen, "ponder wtime 300");
    EXPECT_EQ(ponder.time, 300);
    EXPECT_EQ(ponder.ponder, 1);
    const SearchLimits nodes = parse(StartFen, "nodes 5000000000 depth 4");
    EXPECT_EQ(nodes.depth, 4);
    EXPECT_EQ(nodes.time, 0);
    EXPECT_EQ(nodes.nodes, 5000000000);
    // Moves are read up to the next keyword; unreadable, illegal and repeated ones are skipped.
    const SearchLimits moves = parse(StartFen, "searchmoves e2e4 e7e5 xyz e2e4 d2d4 movetime 250");
    EXPECT_EQ(moves.moveTime, 250);
    ASSERT_EQ(moves.searchMoveCount, 2);
    EXPECT_EQ(moveToText(moves.searchMoves[0]), "e2e4");
    EXPECT_EQ(moveToText(moves.searchMoves[1]), "d2d4");
    const SearchLimits mate = parse(StartFen, "mate 3 depth 2");
    EXPECT_EQ(mate.depth, 2);
    EXPECT_EQ(mate.mate, 3);
    // A malformed value ends the line, as for every other word.
    EXPECT_EQ(parse(StartFen, "nodes x depth 4").depth, 0);
    // Keywords are compared exactly.
    expectNoLimits(parse(StartFen, "Depth 5 WTIME 100 depth5 movetime_ 3"));
}

TEST(GoLimits, UnreadableValueEndsTheLine) {
    const SearchLimits limits = parse(StartFen, "movetime abc wtime 500");
    EXPECT_EQ(limits.moveTime, 0);
    EXPECT_EQ(limits.time, 0);
    const SearchLimits kept = parse(StartFen, "depth 5 depth x depth 9 wtime 100");
    EXPECT_EQ(kept.depth, 5);
    EXPECT_EQ(kept.time, 0);
    EXPECT_EQ(parse(StartFen, "wtime 99999999999 depth 3").depth, 0);
    EXPECT_EQ(parse(StartFen, "wtime 100 depth").time, 100);
    EXPECT_EQ(parse(StartFen, "wtime +-5 depth 3").time, 0);
    EXPECT_EQ(parse(StartFen, "wtime +-5 depth 3").depth, 0);
}

TEST(GoLimits, RepeatedKeywordTakesTheLastValue) {
    EXPECT_EQ(parse(StartFen, "depth 3 depth 7").depth, 7);
    EXPECT_EQ(parse(StartFen, "wtime 100 wtime 200").time, 200);
}

TEST(GoLimits, InfiniteAndSignedValues) {
    const SearchLimits limits = parse(StartFen, "infinite depth 3");
    EXPECT_EQ(limits.infinite, 1);
    EXPECT_EQ(limits.depth, 3);
    EXPECT_EQ(parse(StartFen, "movestogo -3").movesToGo, -3);
    EXPECT_EQ(parse(StartFen, "wtime -50").time, -50);
    EXPECT_EQ(parse(StartFen, "wtime +50").time, 50);
}

// The time budget reads the board's game ply: the FEN's move number plus the moves played.
TEST(GoGamePly, CountsTheMovesPlayedSinceTheSetUp) {
    auto board = boardFrom(StartFen);
    std::istringstream words("startpos moves e2e4 e7e5 g1f3 b8c6 f1b5");
    setPosition(*board, words);
    EXPECT_EQ(board->gamePly, 5);
    std::istringstream fen("fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 2 31 moves a7a6");
    setPosition(*board, fen);
    EXPECT_EQ(board->gamePly, 62);
}

class SearchStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        initTables();
        initSearchTables();
        resetOptionsToDefaults();
    }
    void TearDown() override {
        resetOptionsToDefaults();
        pollFunction = nullptr;
    }

    // Runs one search and returns everything it wrote.
    std::string search(Board& board, const SearchLimits& limits, bool& goOn) {
        testing::internal::CaptureStdout();
        goOn = startSearch(board, limits);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(SearchStartTest, DepthLimitedSearchEndsWithOneBestMoveLine) {
    auto board = boardFrom("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
    SearchLimits limits;
    limits.depth = 2;
    bool goOn = false;
    const std::string output = search(*board, limits, goOn);
    EXPECT_TRUE(goOn);
    EXPECT_NE(output.find("info multipv 1 depth 2 "), std::string::npos) << output;
    EXPECT_EQ(output.find("depth 3"), std::string::npos) << output;
    const std::string last = "\nbestmove a1a8\n";
    ASSERT_GE(output.size(), last.size());
    EXPECT_EQ(output.substr(output.size() - last.size()), last) << output;
    EXPECT_EQ(output.find("bestmove"), output.rfind("bestmove"));
}

TEST_F(SearchStartTest, NoLegalMoveAnswersA1A1WithoutInfo) {
    auto board = boardFrom("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3");
    SearchLimits limits;
    limits.depth = 3;
    bool goOn = false;
    EXPECT_EQ(search(*board, limits, goOn), "bestmove a1a1\n");
    EXPECT_TRUE(goOn);
}

TEST_F(SearchStartTest, ReadsTheOptionsAndReleasesClearHash) {
    std::istringstream set1("name MultiPV value 3");
    setOption(set1);
    std::istringstream set2("name Clear Hash");
    setOption(set2);
    ASSERT_EQ(engineOption(ClearHashOptionName).currentValue, "true");

    auto board = boardFrom(StartFen);
    SearchLimits limits;
    limits.depth = 1;
    bool goOn = false;
    const std::string output = search(*board, limits, goOn);
    EXPECT_EQ(engineOption(ClearHashOptionName).currentValue, "false");
    EXPECT_EQ(mainSearchContext().multiPvCount, 3);
    EXPECT_EQ(hashTable.bucketCount(), bucketCountForMegabytes(32));
    EXPECT_NE(output.find("info multipv 3 depth 1 "), std::string::npos) << output;
    EXPECT_EQ(output.find("info multipv 4"), std::string::npos) << output;
}

TEST_F(SearchStartTest, MoveOverheadOptionReachesTheTimeBudget) {
    std::istringstream set("name Move Overhead value 1000");
    setOption(set);
    auto board = boardFrom(StartFen);
    SearchLimits limits;
    limits.time = 10000;
    limits.movesToGo = 1;
    limits.depth = 1;
    bool goOn = false;
    search(*board, limits, goOn);
    EXPECT_EQ(timeBudget.maximumTime, 10000 - 1000 - 200 + 20);
}

TEST_F(SearchStartTest, ClearHashEmptiesTheTableBeforeTheSearch) {
    auto board = boardFrom(StartFen);
    SearchLimits limits;
    limits.depth = 1;
    bool goOn = false;
    search(*board, limits, goOn);
    // A depth-1 search stores the root; a stale exact entry planted there would survive
    // the next search only if the table were not cleared first.
    const uint64_t key = 0x123456789abcdef0ull;
    hashTable.store(key, 77, BoundExact, 40, NoMove, 0, 0);
    ASSERT_NE(hashTable.probe(key), nullptr);
    std::istringstream set("name Clear Hash");
    setOption(set);
    search(*board, limits, goOn);
    EXPECT_EQ(hashTable.probe(key), nullptr);
}

// The table is made ready at "isready", which interfaces send after their options and before
// a clock starts, with the values the options hold then: sized, and emptied when the button
// is still pressed. Options set and set back in between leave it as it was.
TEST_F(SearchStartTest, IsReadyPreparesTheTableWithTheOptionsItFinds) {
    Board board;
    board.setFromFen(StartFen);
    const auto run = [&](const char* line) {
        testing::internal::CaptureStdout();
        EXPECT_TRUE(executeCommand(board, line));
        return testing::internal::GetCapturedStdout();
    };
    run("isready");
    run("setoption name Hash value 64");
    EXPECT_EQ(hashTable.bucketCount(), bucketCountForMegabytes(32));
    EXPECT_EQ(run("isready"), "readyok\n");
    EXPECT_EQ(hashTable.bucketCount(), bucketCountForMegabytes(64));

    const uint64_t key = 0x123456789abcdef0ull;
    hashTable.store(key, 77, BoundExact, 40, NoMove, 0, 0);
    run("setoption name Clear Hash");
    run("setoption name Clear Hash value false");
    run("setoption name Hash value 32");
    run("setoption name Hash value 64");
    run("isready");
    EXPECT_NE(hashTable.probe(key), nullptr);
    run("setoption name Clear Hash");
    run("isready");
    EXPECT_EQ(hashTable.probe(key), nullptr);
    EXPECT_EQ(engineOption(ClearHashOptionName).currentValue, "false");
    run("setoption name Hash value 32");
    run("isready");
}

void* refuseLargeBlocks(size_t bytes) { return bytes > (size_t{32} << 20) ? nullptr : allocateBucketMemory(bytes); }

// A size that cannot be had is told to a person watching, once, on standard error only.
TEST_F(SearchStartTest, RefusedHashSizeIsReportedOnceOnStandardError) {
    Board board;
    board.setFromFen(StartFen);
    ASSERT_TRUE(executeCommand(board, "setoption name Hash value 32"));
    testing::internal::CaptureStdout();
    executeCommand(board, "isready");
    testing::internal::GetCapturedStdout();
    hashTable.useAllocator(refuseLargeBlocks);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    executeCommand(board, "setoption name Hash value 1024");
    executeCommand(board, "isready");
    executeCommand(board, "setoption name Clear Hash");
    executeCommand(board, "isready");
    std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "readyok\nreadyok\n");
    EXPECT_EQ(errors, "Orvath: no memory for a hash table of 1024 MB; keeping the table of 32 MB\n");
    EXPECT_EQ(hashTable.bucketCount(), bucketCountForMegabytes(32));

    // A table without memory of its own takes the largest size it can have, and says so.
    hashTable.resize(0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    executeCommand(board, "setoption name Hash value 1000");
    executeCommand(board, "isready");
    errors = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(errors, "Orvath: no memory for a hash table of 1000 MB; using a table of 32 MB\n");
    hashTable.useAllocator(allocateBucketMemory);
    ASSERT_TRUE(executeCommand(board, "setoption name Hash value 32"));
    testing::internal::CaptureStdout();
    executeCommand(board, "isready");
    testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace orvath
