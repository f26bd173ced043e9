// SPDX-License-Identifier: GPL-3.0-or-later
// Searches on several threads through the real program, where helpers, the shared table and
// the stop signal meet: under ThreadSanitizer these are the runs that would show a race.
// Also the node counts of repeated searches, which the threads' board copies decide.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine_process.h"

namespace orvath {
namespace {

using namespace std::chrono_literals;

constexpr auto ReplyTimeout = 60s;

class ThreadedSearch : public ::testing::Test {
protected:
    ThreadedSearch() : engine(ORVATH_ENGINE_PATH) {}

    void SetUp() override { ASSERT_TRUE(engine.started()); }

    // The lines of one search up to and including its "bestmove" line.
    std::vector<std::string> searchLines() {
        std::vector<std::string> lines;
        while (const auto line = engine.readLine(ReplyTimeout)) {
            lines.push_back(*line);
            if (line->rfind("bestmove ", 0) == 0)
                return lines;
            EXPECT_EQ(line->rfind("info ", 0), 0u) << *line;
        }
        ADD_FAILURE() << "no bestmove";
        return lines;
    }

    std::string bestMoveOf(const std::string& go) {
        EXPECT_TRUE(engine.sendLine(go));
        const std::vector<std::string> lines = searchLines();
        return lines.empty() ? "" : lines.back();
    }

    void expectReady() {
        ASSERT_TRUE(engine.sendLine("isready"));
        EXPECT_EQ(engine.readLine(ReplyTimeout), "readyok");
    }

    EngineProcess engine;
};

// The number after `word` in an "info" line; -1 when there is none.
long long numberAfter(const std::string& line, const std::string& word) {
    const size_t at = line.find(" " + word + " ");
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + word.size() + 2));
}

bool isMove(const std::string& bestMoveLine) {
    return bestMoveLine.size() >= 13 && bestMoveLine.rfind("bestmove ", 0) == 0 && bestMoveLine != "bestmove a1a1";
}

TEST_F(ThreadedSearch, EveryWayASearchEndsWithFourThreads) {
    ASSERT_TRUE(engine.sendLine("setoption name Threads value 4"));
    ASSERT_TRUE(engine.sendLine("position startpos moves e2e4 c7c5 g1f3"));
    EXPECT_TRUE(isMove(bestMoveOf("go depth 9")));
    EXPECT_TRUE(isMove(bestMoveOf("go movetime 300")));
    EXPECT_TRUE(isMove(bestMoveOf("go wtime 2000 btime 2000 winc 10 binc 10")));
    EXPECT_TRUE(isMove(bestMoveOf("go nodes 30000")));
    ASSERT_TRUE(engine.sendLine("go ponder wtime 500 btime 500"));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(engine.sendLine("ponderhit"));
    EXPECT_TRUE(isMove(searchLines().back()));

    ASSERT_TRUE(engine.sendLine("go infinite"));
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(engine.sendLine("stop"));
    EXPECT_TRUE(isMove(searchLines().back()));
    expectReady();

    // The table changes size, and the thread count changes, between searches.
    ASSERT_TRUE(engine.sendLine("setoption name Hash value 8"));
    ASSERT_TRUE(engine.sendLine("setoption name Threads value 2"));
    EXPECT_TRUE(isMove(bestMoveOf("go depth 8")));
    ASSERT_TRUE(engine.sendLine("setoption name Threads value 32"));
    ASSERT_TRUE(engine.sendLine("setoption name MultiPV value 3"));
    ASSERT_TRUE(engine.sendLine("go depth 6"));
    const std::vector<std::string> lines = searchLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[lines.size() - 2].find("multipv 3 depth 6"), std::string::npos) << lines[lines.size() - 2];
    ASSERT_TRUE(engine.sendLine("setoption name Threads value 1"));
    EXPECT_TRUE(isMove(bestMoveOf("go depth 6")));

    // "quit" in the middle of a threaded search still answers, then ends the program.
    ASSERT_TRUE(engine.sendLine("setoption name Threads value 4"));
    ASSERT_TRUE(engine.sendLine("go infinite"));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(engine.sendLine("quit"));
    EXPECT_TRUE(isMove(searchLines().back()));
    EXPECT_EQ(engine.waitForExit(ReplyTimeout), 0);
}

// The variation lines of a search, in order. A search that runs long enough (a slow build on a
// busy machine) also names the root move it is on, on lines of its own that carry no count.
std::vector<std::string> variationLines(const std::vector<std::string>& lines) {
    std::vector<std::string> variations;
    for (const std::string& line : lines)
        if (line.rfind("info multipv", 0) == 0)
            variations.push_back(line);
    return variations;
}

// A search counts the position's own nodes (the moves that set it up) and its own, never those
// of the searches before it: a second "go" without a new "position" starts from the same count.
TEST_F(ThreadedSearch, RepeatedGoCountsOnlyItsOwnNodes) {
    ASSERT_TRUE(engine.sendLine("position startpos moves e2e4 e7e5"));
    ASSERT_TRUE(engine.sendLine("go depth 6"));
    const std::vector<std::string> first = variationLines(searchLines());
    ASSERT_GE(first.size(), 2u);
    // The same figures as ever for the first search after "position".
    EXPECT_EQ(numberAfter(first.front(), "nodes"), 96) << first.front();
    EXPECT_EQ(numberAfter(first.back(), "nodes"), 2493) << first.back();

    ASSERT_TRUE(engine.sendLine("go movetime 200"));
    const std::vector<std::string> second = variationLines(searchLines());
    ASSERT_GE(second.size(), 1u);
    EXPECT_LT(numberAfter(second.front(), "nodes"), 2493) << second.front();
    for (const std::string& line : second)
        EXPECT_GE(numberAfter(line, "nps"), 0) << line;
}

}  // namespace
}  // namespace orvath
