// SPDX-License-Identifier: GPL-3.0-or-later
// The words of "go" beyond the clock and depth, through the real program as a client sends
// them: pondering, node and mate limits, chosen root moves, and "isready" during a search.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine_process.h"

namespace orvath {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

constexpr auto ReplyTimeout = 60s;
// How far past a node limit a search may run: what one poll interval and the unwinding add.
constexpr long long NodeLimitOvershoot = 2000;

class GoWords : public ::testing::Test {
protected:
    GoWords() : engine(ORVATH_ENGINE_PATH) {}

    void SetUp() override { ASSERT_TRUE(engine.started()); }

    // The lines up to and including the next "bestmove" line.
    std::vector<std::string> searchLines(milliseconds timeout = ReplyTimeout) {
        std::vector<std::string> lines;
        while (const auto line = engine.readLine(timeout)) {
            lines.push_back(*line);
            if (line->rfind("bestmove ", 0) == 0)
                return lines;
        }
        ADD_FAILURE() << "no bestmove";
        return lines;
    }

    // Sends the line and reads the search it starts.
    std::vector<std::string> search(const std::string& go) {
        EXPECT_TRUE(engine.sendLine(go));
        return searchLines();
    }

    // Nothing but "info" lines arrive within `wait`: the search holds its answer.
    void expectNoAnswerWithin(milliseconds wait) {
        const auto until = steady_clock::now() + wait;
        while (steady_clock::now() < until) {
            const auto line = engine.readLine(duration_cast<milliseconds>(until - steady_clock::now()) + 1ms);
            if (!line)
                return;
            ASSERT_EQ(line->rfind("info ", 0), 0u) << *line;
        }
    }

    EngineProcess engine;
};

long long numberAfter(const std::string& line, const std::string& word) {
    const size_t at = line.find(" " + word + " ");
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + word.size() + 2));
}

// The last "info" line that reports a variation.
std::string lastPvLine(const std::vector<std::string>& lines) {
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        if (line->find(" pv ") != std::string::npos)
            return *line;
    return "";
}

TEST_F(GoWords, PonderHitStartsTheClockThenAndStopAnswersAtOnce) {
    ASSERT_TRUE(engine.sendLine("setoption name Ponder value true"));
    ASSERT_TRUE(engine.sendLine("position startpos moves e2e4"));
    // Pondering outlasts the whole budget of this clock, and is not charged for it.
    ASSERT_TRUE(engine.sendLine("go ponder wtime 10000 btime 10000"));
    expectNoAnswerWithin(1500ms);
    const auto hit = steady_clock::now();
    ASSERT_TRUE(engine.sendLine("ponderhit"));
    const std::vector<std::string> lines = searchLines();
    const auto taken = duration_cast<milliseconds>(steady_clock::now() - hit);
    // The budget of 10 s at the first move is well under a second; the bound leaves room for
    // sanitizer builds on a busy machine.
    EXPECT_LT(taken, 5000ms);
    const std::string& best = lines.back();
    EXPECT_EQ(best.find(" ponder "), 13u) << best;

    // "stop" while pondering answers at once; with the option off, without a ponder move.
    ASSERT_TRUE(engine.sendLine("setoption name Ponder value false"));
    ASSERT_TRUE(engine.sendLine("go ponder wtime 100000 btime 100000"));
    expectNoAnswerWithin(300ms);
    const auto stop = steady_clock::now();
    ASSERT_TRUE(engine.sendLine("stop"));
    const std::vector<std::string> stopped = searchLines();
    EXPECT_LT(steady_clock::now() - stop, 2000ms);
    EXPECT_EQ(stopped.back().size(), 13u) << stopped.back();
}

TEST_F(GoWords, NodeLimitIsHonouredAndRepeatable) {
    for (const long long limit : {1000LL, 100000LL}) {
        std::string first;
        for (int run = 0; run < 2; ++run) {
            // A fresh table each time, so the second run meets what the first one met.
            ASSERT_TRUE(engine.sendLine("setoption name Clear Hash"));
            ASSERT_TRUE(engine.sendLine("position startpos moves d2d4"));
            const std::vector<std::string> lines = search("go nodes " + std::to_string(limit));
            const std::string last = lastPvLine(lines);
            const long long nodes = numberAfter(last, "nodes");
            EXPECT_GE(nodes, limit) << last;
            EXPECT_LE(nodes, limit + NodeLimitOvershoot) << last;
            const std::string outcome = std::to_string(nodes) + " " + lines.back();
            if (run == 0)
                first = outcome;
            else
                EXPECT_EQ(outcome, first);
        }
    }
    // The first iteration always completes.
    EXPECT_NE(search("go nodes 1").back(), "bestmove a1a1");
}

TEST_F(GoWords, MateLimitStopsOnceTheMateIsProven) {
    ASSERT_TRUE(engine.sendLine("position fen k7/8/2K5/8/8/8/8/7R w - - 0 1"));
    const std::vector<std::string> lines = search("go mate 2");
    EXPECT_EQ(lines.back(), "bestmove c6b6");
    EXPECT_NE(lastPvLine(lines).find(" score mate 2 "), std::string::npos) << lastPvLine(lines);
}

TEST_F(GoWords, MateLimitMeetsAMateInExactlyThatManyMovesAndNeverOverflows) {
    const std::string backRank = "position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1";
    for (const std::string go : {"go mate 1", "go mate 2147483647"}) {
        ASSERT_TRUE(engine.sendLine(backRank));
        const std::vector<std::string> lines = search(go);
        EXPECT_EQ(lines.back(), "bestmove d1d8") << go;
        EXPECT_EQ(numberAfter(lastPvLine(lines), "depth"), 1) << go << ": " << lastPvLine(lines);
    }
    // Without a mate to find, the largest limit is simply never met.
    ASSERT_TRUE(engine.sendLine("position startpos"));
    const std::vector<std::string> lines = search("go mate 2147483647 depth 4");
    EXPECT_EQ(numberAfter(lastPvLine(lines), "depth"), 4) << lastPvLine(lines);
}

TEST_F(GoWords, PonderAndInfiniteHoldTheAnswerWhenALimitEndsTheSearch) {
    struct Case {
        const char* position;
        const char* go;
        const char* release;
    };
    for (const Case& c : {Case{"position startpos moves e2e4", "go ponder nodes 1000", "ponderhit"},
                          Case{"position fen 6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", "go infinite mate 1", "stop"}}) {
        ASSERT_TRUE(engine.sendLine(c.position));
        ASSERT_TRUE(engine.sendLine(c.go));
        expectNoAnswerWithin(500ms);
        ASSERT_TRUE(engine.sendLine(c.release));
        EXPECT_NE(searchLines(5s).back(), "bestmove a1a1") << c.go;
    }
}

TEST_F(GoWords, SearchMovesRestrictTheRootAndItsLines) {
    ASSERT_TRUE(engine.sendLine("setoption name MultiPV value 3"));
    ASSERT_TRUE(engine.sendLine("position startpos"));
    // Unreadable and illegal entries are skipped; the list ends at the next keyword.
    const std::vector<std::string> lines = search("go searchmoves a2a3 zz9 e7e5 h2h3 depth 5");
    const std::set<std::string> allowed = {"a2a3", "h2h3"};
    for (const std::string& line : lines) {
        const size_t pv = line.find(" pv ");
        if (pv != std::string::npos) {
            EXPECT_TRUE(allowed.count(line.substr(pv + 4, 4))) << line;
        }
        EXPECT_EQ(line.find("multipv 3"), std::string::npos) << line;
    }
    EXPECT_TRUE(allowed.count(lines.back().substr(9, 4))) << lines.back();
    // When none of them is legal, every move is searched.
    const std::vector<std::string> all = search("go depth 2 searchmoves e7e5");
    EXPECT_NE(lastPvLine(all).find("info multipv 3 depth 2 "), std::string::npos) << lastPvLine(all);
}

// The first move of every variation, and the best move, of one search.
std::set<std::string> rootMovesShown(const std::vector<std::string>& lines) {
    std::set<std::string> moves;
    for (const std::string& line : lines) {
        const size_t pv = line.find(" pv ");
        if (pv != std::string::npos)
            moves.insert(line.substr(pv + 4, line.find(' ', pv + 4) - pv - 4));
    }
    return moves;
}

// Under UCI_Chess960 castling is the king taking its own rook, in "position ... moves", in
// "searchmoves" and in every line written; MultiPV 500 at depth 1 shows every legal root move.
// The option changes the notation from the next position on.
TEST_F(GoWords, Chess960CastlingIsWrittenAndReadAsTheKingTakingItsRook) {
    const std::set<std::string> pawnMoves[2] = {
        {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3", "d2d4",
         "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4"},
        {"a7a6", "a7a5", "b7b6", "b7b5", "c7c6", "c7c5", "d7d6", "d7d5",
         "e7e6", "e7e5", "f7f6", "f7f5", "g7g6", "g7g5", "h7h6", "h7h5"}};
    const auto withPawnMoves = [&](int colour, std::set<std::string> pieceMoves) {
        pieceMoves.insert(pawnMoves[colour].begin(), pawnMoves[colour].end());
        return pieceMoves;
    };
    const std::string shredder = "position fen 1rk4r/pppppppp/8/8/8/8/PPPPPPPP/1RK4R w HBhb - 0 1";
    struct Case {
        bool chess960;
        std::string position;
        std::string go;
        std::set<std::string> rootMoves;
    };
    const Case cases[] = {
        {true, shredder, "go depth 1",
         withPawnMoves(0, {"c1d1", "b1a1", "h1g1", "h1f1", "h1e1", "h1d1", "c1b1", "c1h1"})},
        {true, "position fen r5kr/pppppppp/8/8/8/8/PPPPPPPP/R5KR w KQkq - 0 1 moves g1a1", "go depth 1",
         withPawnMoves(1, {"g8f8", "a8b8", "a8c8", "a8d8", "a8e8", "a8f8", "g8h8", "g8a8"})},
        {true, shredder, "go depth 1 searchmoves c1h1 c1e1 c1b1", {"c1b1", "c1h1"}},
        {false, shredder, "go depth 1 searchmoves c1h1 c1e1 c1a1", {"c1e1", "c1a1"}},
    };
    ASSERT_TRUE(engine.sendLine("setoption name MultiPV value 500"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position + " " + c.go);
        const std::string value = c.chess960 ? "true" : "false";
        ASSERT_TRUE(engine.sendLine("setoption name UCI_Chess960 value " + value));
        ASSERT_TRUE(engine.sendLine(c.position));
        const std::vector<std::string> lines = search(c.go);
        EXPECT_EQ(rootMovesShown(lines), c.rootMoves);
        EXPECT_TRUE(c.rootMoves.count(lines.back().substr(9))) << lines.back();
    }
}

TEST_F(GoWords, IsReadyIsAnsweredDuringASearchWhichGoesOn) {
    ASSERT_TRUE(engine.sendLine("go infinite"));
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(engine.sendLine("isready"));
    std::optional<std::string> line;
    while ((line = engine.readLine(5s)) && line->rfind("info ", 0) == 0) {
    }
    EXPECT_EQ(line, "readyok");
    expectNoAnswerWithin(300ms);
    ASSERT_TRUE(engine.sendLine("stop"));
    EXPECT_NE(searchLines().back(), "bestmove a1a1");
}

}  // namespace
}  // namespace orvath
