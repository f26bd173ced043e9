// SPDX-License-Identifier: GPL-3.0-or-later
// Ending searches from outside, through the real program over pipes: "stop", "quit" and the
// end of input, alone and amid floods of other lines. Every search answers exactly once.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "engine_process.h"

namespace orvath {
namespace {

using namespace std::chrono_literals;

constexpr auto ReplyTimeout = 20s;
constexpr auto HeldBack = 300ms;

class SearchStop : public ::testing::Test {
protected:
    SearchStop() : engine(ORVATH_ENGINE_PATH) {}

    void SetUp() override { ASSERT_TRUE(engine.started()); }

    // The next "bestmove" line, skipping "info" lines; nothing when another line or none comes.
    std::optional<std::string> nextBestMove(std::chrono::milliseconds timeout = ReplyTimeout) {
        while (const auto line = engine.readLine(timeout)) {
            if (line->rfind("info ", 0) == 0)
                continue;
            if (line->rfind("bestmove ", 0) == 0)
                return line;
            ADD_FAILURE() << "unexpected line: " << *line;
            return std::nullopt;
        }
        return std::nullopt;
    }

    // After one search has answered, "isready" must come back with nothing else before it.
    void expectNoSecondAnswer() {
        ASSERT_TRUE(engine.sendLine("isready"));
        EXPECT_EQ(engine.readLine(ReplyTimeout), "readyok");
    }

    EngineProcess engine;
};

TEST_F(SearchStop, InfiniteSearchAnswersOnlyAfterStopAndOnlyOnce) {
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(engine.sendLine(round % 2 ? "position startpos moves e2e4" : "position startpos"));
        ASSERT_TRUE(engine.sendLine("go infinite"));
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 4 * 5));
        ASSERT_TRUE(engine.sendLine("stop"));
        const auto best = nextBestMove();
        ASSERT_TRUE(best.has_value()) << "round " << round;
        EXPECT_NE(*best, "bestmove a1a1");
        expectNoSecondAnswer();
    }
}

TEST_F(SearchStop, FinishedInfiniteSearchHoldsItsAnswerUntilStop) {
    ASSERT_TRUE(engine.sendLine("go depth 1 infinite"));
    EXPECT_EQ(nextBestMove(HeldBack), std::nullopt);
    ASSERT_TRUE(engine.sendLine("stop"));
    EXPECT_TRUE(nextBestMove().has_value());
    expectNoSecondAnswer();
}

TEST_F(SearchStop, NoLegalMoveStillWaitsForStop) {
    ASSERT_TRUE(engine.sendLine("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"));
    ASSERT_TRUE(engine.sendLine("go infinite"));
    EXPECT_EQ(nextBestMove(HeldBack), std::nullopt);
    ASSERT_TRUE(engine.sendLine("stop"));
    EXPECT_EQ(nextBestMove(), "bestmove a1a1");
    expectNoSecondAnswer();
}

TEST_F(SearchStop, CarriageReturnBeforeTheLineFeedStillStops) {
    ASSERT_TRUE(engine.send("go infinite\r\n"));
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(engine.send("stop\r\n"));
    EXPECT_TRUE(nextBestMove().has_value());
    expectNoSecondAnswer();
}

// Lines read during a search are consumed without effect, apart from "isready", which is
// answered at once; the "stop" among them ends the search.
TEST_F(SearchStop, FloodOfLinesDuringASearchIsConsumedUpToTheStop) {
    std::string flood;
    for (int i = 0; i < 3; ++i)
        flood += "isready\nponderhit\nposition startpos moves e2e4\nuci\n";
    flood += "stop\n";
    ASSERT_TRUE(engine.sendLine("go infinite"));
    ASSERT_TRUE(engine.send(flood));
    int ready = 0;
    std::optional<std::string> line;
    while ((line = engine.readLine(ReplyTimeout)) && line->rfind("bestmove ", 0) != 0) {
        if (*line == "readyok")
            ++ready;
        else
            EXPECT_EQ(line->rfind("info ", 0), 0u) << *line;
    }
    EXPECT_EQ(ready, 3);
    EXPECT_TRUE(line.has_value());
    expectNoSecondAnswer();
}

// A client that stops a search and starts the next one in the same write (as polyglot does when
// a ponder search misses): the lines after "stop" are the next commands, not the stopping
// search's to consume.
TEST_F(SearchStop, CommandsRightAfterStopStartTheNextSearch) {
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(engine.sendLine("position startpos"));
        ASSERT_TRUE(engine.sendLine("go infinite"));
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + round * 7));
        ASSERT_TRUE(engine.send("stop\nposition startpos moves e2e4\ngo depth 1\n"));
        ASSERT_TRUE(nextBestMove().has_value()) << "round " << round;
        ASSERT_TRUE(nextBestMove().has_value()) << "round " << round;
        expectNoSecondAnswer();
    }
}

TEST_F(SearchStop, QuitDuringASearchAnswersThenEnds) {
    ASSERT_TRUE(engine.sendLine("go infinite"));
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(engine.sendLine("quit"));
    EXPECT_TRUE(nextBestMove().has_value());
    EXPECT_EQ(engine.waitForExit(ReplyTimeout), 0);
}

TEST_F(SearchStop, EndOfInputDuringASearchAnswersThenEnds) {
    ASSERT_TRUE(engine.sendLine("go infinite"));
    engine.closeInput();
    EXPECT_TRUE(nextBestMove().has_value());
    EXPECT_EQ(engine.readRest(ReplyTimeout), "");
    EXPECT_EQ(engine.waitForExit(ReplyTimeout), 0);
}

TEST_F(SearchStop, EndOfInputWhileAFinishedSearchWaitsAnswersThenEnds) {
    ASSERT_TRUE(engine.sendLine("go depth 1 infinite"));
    std::this_thread::sleep_for(50ms);
    engine.closeInput();
    EXPECT_TRUE(nextBestMove().has_value());
    EXPECT_EQ(engine.waitForExit(ReplyTimeout), 0);
}

}  // namespace
}  // namespace orvath
