// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "test_support.h"

namespace orvath {
namespace {

// Published leaf counts, one position a line: "FEN ;D1 n ;D2 n ...".
constexpr std::string_view PerftTable[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 ;D1 20 ;D2 400 ;D3 8902 ;D4 197281 ;D5 4865609 "
    ";D6 119060324",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1 ;D1 48 ;D2 2039 ;D3 97862 ;D4 4085603 "
    ";D5 193690690",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1 ;D1 14 ;D2 191 ;D3 2812 ;D4 43238 ;D5 674624 ;D6 11030083 "
    ";D7 178633661",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1 ;D1 6 ;D2 264 ;D3 9467 ;D4 422333 "
    ";D5 15833292",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8 ;D1 44 ;D2 1486 ;D3 62379 ;D4 2103487 ;D5 89941194",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10 ;D1 46 ;D2 2079 ;D3 89890 "
    ";D4 3894594 ;D5 164075551",
};

// Depths up to this many leaves run in every test pass, sanitisers included.
constexpr uint64_t FastLeafLimit = 700000;
// Set to run the deeper rows as well, made and unmade only (about a minute in a release build).
constexpr const char* SlowTestsVariable = "ORVATH_SLOW_TESTS";

struct PerftRow {
    int depth;
    uint64_t leaves;
};

struct PerftEntry {
    std::string fen;
    std::vector<PerftRow> rows;
};

PerftEntry parseEntry(std::string_view line) {
    PerftEntry entry;
    const size_t firstField = line.find(';');
    entry.fen = std::string(line.substr(0, firstField));
    while (!entry.fen.empty() && entry.fen.back() == ' ')
        entry.fen.pop_back();
    size_t at = firstField;
    while (at != std::string_view::npos) {
        const size_t next = line.find(';', at + 1);
        const std::string_view field = line.substr(at + 1, next == std::string_view::npos ? next : next - at - 1);
        PerftRow row{};
        const size_t blank = field.find(' ');
        std::from_chars(field.data() + 1, field.data() + blank, row.depth);
        std::from_chars(field.data() + blank + 1, field.data() + field.size(), row.leaves);
        entry.rows.push_back(row);
        at = next;
    }
    return entry;
}

// Chess960 positions with counts to depth 6 in the same form, one a line, castling fields in
// Shredder-FEN; kings beside their rooks and on the b and g files among them.
constexpr const char* Chess960File = ORVATH_TEST_DATA "/chess960-perft.epd";
constexpr int Chess960Depth = 5;

std::vector<std::string> chess960Table() {
    std::ifstream file(Chess960File);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

class Perft : public ::testing::Test {
protected:
    void SetUp() override { initTables(); }

    void runTable(bool slowRows) {
        const std::vector<std::string> lines(std::begin(PerftTable), std::end(PerftTable));
        runLines(lines, slowRows, std::numeric_limits<int>::max(), false);
    }

    // Rows deeper than maxDepth are left out; slow rows are counted in bulk too only when asked.
    void runLines(const std::vector<std::string>& lines, bool slowRows, int maxDepth, bool slowRowsInBulk) {
        for (const std::string& line : lines) {
            const PerftEntry entry = parseEntry(line);
            SCOPED_TRACE(entry.fen);
            for (const PerftRow& row : entry.rows) {
                if ((row.leaves <= FastLeafLimit) == slowRows || row.depth > maxDepth)
                    continue;
                Board board;
                board.setFromFen(entry.fen);
                const uint64_t hashBefore = board.positionHash();
                EXPECT_EQ(perft(board, row.depth, false), row.leaves) << "depth " << row.depth;
                if (!slowRows || slowRowsInBulk) {
                    EXPECT_EQ(perft(board, row.depth, true), row.leaves) << "bulk, depth " << row.depth;
                }
                EXPECT_EQ(board.positionHash(), hashBefore);
                EXPECT_EQ(board.currentState, &board.rootState);
            }
        }
    }
};

TEST_F(Perft, TableParses) {
    const PerftEntry entry = parseEntry(PerftTable[0]);
    EXPECT_EQ(entry.fen, StartFen);
    ASSERT_EQ(entry.rows.size(), 6u);
    EXPECT_EQ(entry.rows[0].depth, 1);
    EXPECT_EQ(entry.rows[0].leaves, 20u);
    EXPECT_EQ(entry.rows[5].leaves, 119060324u);
}

TEST_F(Perft, StandardPositionsAtShallowDepths) { runTable(false); }

TEST_F(Perft, StandardPositionsAtFullDepthSlow) {
    if (std::getenv(SlowTestsVariable) == nullptr)
        GTEST_SKIP() << "set " << SlowTestsVariable << "=1 to run";
    runTable(true);
}

TEST_F(Perft, Chess960TableHoldsEveryPositionToDepthSix) {
    const std::vector<std::string> lines = chess960Table();
    ASSERT_EQ(lines.size(), 16u) << Chess960File;
    for (const std::string& line : lines)
        EXPECT_EQ(parseEntry(line).rows.size(), 6u) << line;
}

TEST_F(Perft, Chess960PositionsAtShallowDepths) { runLines(chess960Table(), false, Chess960Depth, true); }

// Some ten seconds in an optimised build: labelled slow, left out of the sanitizer run.
TEST_F(Perft, Chess960PositionsToDepthFiveSlow) { runLines(chess960Table(), true, Chess960Depth, true); }

}  // namespace
}  // namespace orvath
