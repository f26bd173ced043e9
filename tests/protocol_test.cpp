// SPDX-License-Identifier: GPL-3.0-or-later
// Talks to the real engine program over pipes, as a chess interface does.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "board/flavour.h"
#include "engine_process.h"

namespace orvath {
namespace {

using namespace std::chrono_literals;

constexpr auto ReplyTimeout = 10s;
constexpr auto ExitTimeout = 10s;
constexpr auto SilenceTimeout = 300ms;

std::vector<std::string> expectedUciReply() {
    std::string idName = "id name ";
    idName += engineName;
    std::string idAuthor = "id author ";
    idAuthor += engineAuthor;
    return {idName,
            idAuthor,
            "option name Hash type spin default 32 min 4 max 2048",
            "option name Clear Hash type button",
            "option name MultiPV type spin default 1 min 1 max 500",
            "option name Threads type spin default 1 min 1 max 32",
            "option name Ponder type check default false",
            "option name UCI_Chess960 type check default false",
            "option name Move Overhead type spin default 70 min 0 max 5000",
            "option name OwnBook type check default false",
            "option name BookFile type string default <empty>",
            "uciok"};
}

class ProtocolTest : public ::testing::Test {
protected:
    ProtocolTest() : engine(ORVATH_ENGINE_PATH) {}

    void SetUp() override { ASSERT_TRUE(engine.started()); }

    std::vector<std::string> readLines(size_t count) {
        std::vector<std::string> lines;
        while (lines.size() < count) {
            const auto line = engine.readLine(ReplyTimeout);
            if (!line)
                break;
            lines.push_back(*line);
        }
        return lines;
    }

    // "isready" answers at once and after everything sent before it, so the next line read
    // after it shows whether the earlier commands wrote anything.
    void expectSilenceUntilReady() {
        ASSERT_TRUE(engine.sendLine("isready"));
        EXPECT_EQ(engine.readLine(ReplyTimeout), "readyok");
    }

    // "quit" ends the program with exit code 0 and nothing more written.
    void expectQuitEndsCleanly(const std::string& quitLine = "quit") {
        ASSERT_TRUE(engine.send(quitLine));
        EXPECT_EQ(engine.waitForExit(ExitTimeout), 0);
        EXPECT_EQ(engine.readRest(ReplyTimeout), "");
    }

    EngineProcess engine;
};

TEST_F(ProtocolTest, UciAnswersWithIdentificationOptionsAndUciok) {
    ASSERT_TRUE(engine.sendLine("uci"));
    EXPECT_EQ(readLines(expectedUciReply().size()), expectedUciReply());
    expectSilenceUntilReady();
    expectQuitEndsCleanly("quit\n");
}

TEST_F(ProtocolTest, UciIgnoresExtraWordsAndSurroundingWhiteSpace) {
    for (const char* line : {"uci extra words", "  uci", "\tuci", "uci\r", "uci   \t"}) {
        ASSERT_TRUE(engine.sendLine(line));
        EXPECT_EQ(readLines(expectedUciReply().size()), expectedUciReply()) << '"' << line << '"';
    }
    expectSilenceUntilReady();
}

TEST_F(ProtocolTest, CommandsCompareExactly) {
    for (const char* line : {"Uci", "UCI", "uci2", "ucinew", "ucin", "isready2", "ISREADY", "Quit", "quit2",
                             "quitx extra", "xuci", "u ci", "hello world", "stop", "ponderhit"}) {
        ASSERT_TRUE(engine.sendLine(line));
    }
    expectSilenceUntilReady();
    expectQuitEndsCleanly("quit\n");
}

TEST_F(ProtocolTest, IsReadyAnswersAfterEveryOtherCommand) {
    expectSilenceUntilReady();
    ASSERT_TRUE(engine.sendLine("ucinewgame"));
    expectSilenceUntilReady();
    ASSERT_TRUE(engine.sendLine("setoption name Hash value 64"));
    expectSilenceUntilReady();
    ASSERT_TRUE(engine.sendLine("setoption name Nothing"));
    ASSERT_TRUE(engine.sendLine("setoption"));
    expectSilenceUntilReady();
    ASSERT_TRUE(engine.sendLine("position startpos moves e2e4 e7e5"));
    ASSERT_TRUE(engine.sendLine("position fen 8/8/8/8/8/8/8/K6k w - - 0 1"));
    ASSERT_TRUE(engine.sendLine("position xyz"));
    ASSERT_TRUE(engine.sendLine("ucinewgame"));
    expectSilenceUntilReady();
    ASSERT_TRUE(engine.sendLine("isready extra words"));
    EXPECT_EQ(engine.readLine(ReplyTimeout), "readyok");
    ASSERT_TRUE(engine.sendLine("isready\r"));
    EXPECT_EQ(engine.readLine(ReplyTimeout), "readyok");
}

TEST_F(ProtocolTest, OptionLinesShowDefaultsAfterSetoption) {
    ASSERT_TRUE(engine.sendLine("setoption name Hash value 64"));
    ASSERT_TRUE(engine.sendLine("setoption name MultiPV value 3"));
    ASSERT_TRUE(engine.sendLine("setoption name Clear Hash"));
    ASSERT_TRUE(engine.sendLine("uci"));
    EXPECT_EQ(readLines(expectedUciReply().size()), expectedUciReply());
}

TEST_F(ProtocolTest, QuitWithExtraWordsEndsTheProgram) { expectQuitEndsCleanly("quit extra words\n"); }

TEST_F(ProtocolTest, NothingAfterQuitIsExecuted) { expectQuitEndsCleanly("quit\nisready\nuci\n"); }

TEST_F(ProtocolTest, EndOfInputEndsTheProgramWithoutOutput) {
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(ExitTimeout), 0);
    EXPECT_EQ(engine.readRest(ReplyTimeout), "");
}

TEST_F(ProtocolTest, NothingIsWrittenBeforeTheFirstCommand) {
    EXPECT_EQ(engine.readLine(SilenceTimeout), std::nullopt);
    EXPECT_FALSE(engine.outputEnded());
    expectSilenceUntilReady();
}

TEST_F(ProtocolTest, LastLineWithoutLineFeedIsExecuted) {
    ASSERT_TRUE(engine.send("uci\nisready"));
    engine.closeInput();
    EXPECT_EQ(readLines(expectedUciReply().size()), expectedUciReply());
    EXPECT_EQ(engine.readLine(ReplyTimeout), "readyok");
    EXPECT_EQ(engine.waitForExit(ExitTimeout), 0);
    EXPECT_EQ(engine.readRest(ReplyTimeout), "");
}

TEST_F(ProtocolTest, LastQuitWithoutLineFeedEndsTheProgram) {
    ASSERT_TRUE(engine.send("isready\nquit"));
    engine.closeInput();
    EXPECT_EQ(engine.readLine(ReplyTimeout), "readyok");
    EXPECT_EQ(engine.waitForExit(ExitTimeout), 0);
    EXPECT_EQ(engine.readRest(ReplyTimeout), "");
}

// A line without words neither repeats the previous command nor does anything else.
TEST_F(ProtocolTest, EmptyLinesAreSkipped) {
    ASSERT_TRUE(engine.sendLine("uci"));
    EXPECT_EQ(readLines(expectedUciReply().size()), expectedUciReply());
    ASSERT_TRUE(engine.send("\n\n   \n\t\n\r\n \r \n"));
    expectSilenceUntilReady();
    ASSERT_TRUE(engine.send("\n\n"));
    expectSilenceUntilReady();
    expectQuitEndsCleanly("\nquit\n");
}

TEST_F(ProtocolTest, LongGarbageLineIsIgnored) {
    std::string garbage;
    garbage.reserve(1 << 20);
    for (size_t i = 0; garbage.size() < (1u << 20); ++i)
        garbage += static_cast<char>('a' + i * 7 % 26);
    ASSERT_TRUE(engine.sendLine(garbage));
    expectSilenceUntilReady();
    // A long line that begins with a command is still that command.
    ASSERT_TRUE(engine.sendLine("uci " + garbage));
    EXPECT_EQ(readLines(expectedUciReply().size()), expectedUciReply());
    expectSilenceUntilReady();
}

TEST_F(ProtocolTest, ManyCommandsInOneWriteAreAnsweredInOrder) {
    std::string burst;
    constexpr int Count = 500;
    for (int i = 0; i < Count; ++i)
        burst += (i % 2 == 0) ? "isready\n" : "ucinewgame\n";
    ASSERT_TRUE(engine.send(burst));
    int answers = 0;
    while (answers < Count / 2 && engine.readLine(ReplyTimeout) == "readyok")
        ++answers;
    EXPECT_EQ(answers, Count / 2);
    expectSilenceUntilReady();
}

}  // namespace
}  // namespace orvath
