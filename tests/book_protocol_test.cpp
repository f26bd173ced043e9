// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's own book through the real program, with the small Polyglot book that Debian's
// gnuchess package ships.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"

namespace orvath {
namespace {

using namespace std::chrono_literals;

constexpr auto ReplyTimeout = 60s;
constexpr const char* SmallBook = "/usr/share/gnuchess/smallbook.bin";
// Spelt out whole: g++ 12 misreads a concatenation with the path inside an initializer list.
constexpr const char* SetSmallBook = "setoption name BookFile value /usr/share/gnuchess/smallbook.bin";
constexpr const char* BookLineStart = "info string book move ";
// The book's lines in that book run out well before this.
constexpr int MaxBookPlies = 60;

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

std::vector<std::string> words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> all;
    for (std::string word; stream >> word;)
        all.push_back(word);
    return all;
}

class BookProtocol : public ::testing::Test {
protected:
    BookProtocol() : engine(ORVATH_ENGINE_PATH) {}

    void SetUp() override {
        if (!std::filesystem::exists(SmallBook))
            GTEST_SKIP() << SmallBook << " is missing: install Debian's gnuchess";
        ASSERT_TRUE(engine.started());
    }

    void setOptions(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            ASSERT_TRUE(engine.sendLine(line));
        ASSERT_TRUE(engine.sendLine("isready"));
        ASSERT_EQ(engine.readLine(ReplyTimeout), "readyok");
    }

    // The lines of one "go", up to and including "bestmove".
    std::vector<std::string> search(const std::string& position, const std::string& go) {
        std::vector<std::string> lines;
        EXPECT_TRUE(engine.sendLine(position));
        EXPECT_TRUE(engine.sendLine(go));
        while (const auto line = engine.readLine(ReplyTimeout)) {
            lines.push_back(*line);
            if (startsWith(*line, "bestmove "))
                return lines;
        }
        ADD_FAILURE() << "no bestmove";
        return lines;
    }

    static bool fromBook(const std::vector<std::string>& lines) {
        return !lines.empty() && startsWith(lines.front(), BookLineStart);
    }

    EngineProcess engine;
};

// Both sides answer from the book, at once and with its lines, while it knows the position; the
// first position it does not know is searched as without a book. Analysis never takes a book move.
TEST_F(BookProtocol, PlaysFromTheBookUntilTheGameLeavesIt) {
    setOptions({"setoption name OwnBook value true", SetSmallBook,
                "setoption name Ponder value true"});
    EXPECT_FALSE(fromBook(search("position startpos", "go depth 2")));

    std::string moves;
    int bookPlies = 0;
    for (; bookPlies < MaxBookPlies; ++bookPlies) {
        const auto lines = search("position startpos moves" + moves, "go wtime 2000 btime 2000");
        ASSERT_FALSE(lines.empty());
        if (!fromBook(lines))
            break;
        // "info string book move M weight W of S", "info pv M [R]", "bestmove M [ponder R]".
        ASSERT_EQ(lines.size(), 3u);
        const auto book = words(lines[0]);
        const auto pv = words(lines[1]);
        ASSERT_EQ(book.size(), 9u);
        ASSERT_GE(pv.size(), 3u);
        const std::string move = book[4];
        EXPECT_EQ(pv[2], move);
        std::vector<std::string> best = {"bestmove", move};
        if (pv.size() == 4)
            best.insert(best.end(), {"ponder", pv[3]});
        EXPECT_EQ(words(lines[2]), best);
        moves += " " + move;
    }
    EXPECT_GE(bookPlies, 4) << moves;
    EXPECT_LT(bookPlies, MaxBookPlies) << moves;
}

// A name that serves no book leaves the engine searching; the next name is tried afresh.
TEST_F(BookProtocol, AFileThatCannotServeIsLeftAndANewNameIsTried) {
    setOptions({"setoption name OwnBook value true", "setoption name BookFile value /nonexistent/book.bin"});
    const auto searched = search("position startpos", "go movetime 50");
    EXPECT_FALSE(fromBook(searched));
    EXPECT_NE(searched.back(), "bestmove a1a1");

    setOptions({SetSmallBook});
    EXPECT_TRUE(fromBook(search("position startpos", "go movetime 50")));
}

}  // namespace
}  // namespace orvath
