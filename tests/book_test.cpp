// SPDX-License-Identifier: GPL-3.0-or-later
// Polyglot book files: the lookup with its legality check, the weighted draw and broken files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "book/book_file.h"
#include "book/book_moves.h"
#include "book/polyglot_key.h"
#include "test_support.h"

namespace orvath {
namespace {

// A file of this test's own in the temporary folder, removed when the test ends.
class BookFileTest : public ::testing::Test {
protected:
    ~BookFileTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }

    void writeBytes(const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    static std::string entryBytes(uint64_t key, uint16_t move, uint16_t weight) {
        std::string bytes;
        const uint64_t fields[3][2] = {{key, 8}, {move, 2}, {weight, 2}};
        for (const auto& [value, size] : fields)
            for (int shift = 8 * static_cast<int>(size) - 8; shift >= 0; shift -= 8)
                bytes += static_cast<char>((value >> shift) & 0xFF);
        return bytes + std::string(4, '\x5A');  // the learn field, never read
    }

    const std::string path = (std::filesystem::temp_directory_path() /
                              ("orvath-book-" + std::to_string(::getpid()) + "-" +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin"))
                                 .string();
};

// Book move codes: to-square, from-square << 6, promotion piece (knight 1 .. queen 4) << 12.
constexpr uint16_t bookCode(Square from, Square to, int promotion = 0) {
    return static_cast<uint16_t>(to | (from << 6) | (promotion << 12));
}

TEST_F(BookFileTest, OffersTheLegalWeightedMovesOfThePosition) {
    const auto start = boardFrom(StartFen);
    const auto castling = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const auto promotion = boardFrom("8/P7/8/8/8/8/8/k6K w - - 0 1");
    const auto unknown = boardFrom("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    struct Entry {
        uint64_t key;
        uint16_t move;
        uint16_t weight;
    };
    std::vector<Entry> entries = {
        {polyglotKey(*start), bookCode(E2, E4), 30},
        {polyglotKey(*start), bookCode(D2, D4), 0},   // weight 0: never played
        {polyglotKey(*start), bookCode(E2, E5), 50},  // no such move
        {polyglotKey(*start), bookCode(G1, F3), 5},
        {polyglotKey(*castling), bookCode(E1, H1), 7},  // castling: the king takes its own rook
        {polyglotKey(*castling), bookCode(E1, A1), 3},
        {polyglotKey(*castling), bookCode(E1, G1), 9},  // the king's two steps are not the format's
        {polyglotKey(*promotion), bookCode(A7, A8, 4), 2},
        {polyglotKey(*promotion), bookCode(A7, A8, 1), 1},
        {polyglotKey(*promotion), bookCode(A7, A8, 6), 8},  // no such piece
        {1, bookCode(E2, E4), 1},                           // other positions around them
        {~uint64_t{0}, bookCode(E2, E4), 1},
    };
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    std::string bytes;
    for (const Entry& entry : entries)
        bytes += entryBytes(entry.key, entry.move, entry.weight);
    writeBytes(bytes);

    BookFile book;
    ASSERT_EQ(book.open(path), BookProblem::None);
    const struct {
        const Board& board;
        std::vector<BookMove> expected;
    } cases[] = {
        {*start, {{encodeMove(E2, E4), 30}, {encodeMove(G1, F3), 5}}},
        {*castling, {{encodeMove(E1, H1, KindCastling), 7}, {encodeMove(E1, A1, KindCastling), 3}}},
        {*promotion, {{encodePromotion(A7, A8, Queen), 2}, {encodePromotion(A7, A8, Knight), 1}}},
        {*unknown, {}},
    };
    for (const auto& c : cases) {
        BookMove moves[MaxBookMoves];
        BookProblem problem = BookProblem::None;
        const int count = findBookMoves(book, c.board, moves, problem);
        EXPECT_EQ(problem, BookProblem::None);
        ASSERT_EQ(count, static_cast<int>(c.expected.size()));
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(moves[i].move, c.expected[i].move) << i;
            EXPECT_EQ(moves[i].weight, c.expected[i].weight) << i;
        }
    }
}

TEST(BookDraw, EachMoveTakesItsShareOfTheDraws) {
    const BookMove moves[] = {{encodeMove(E2, E4), 1}, {encodeMove(D2, D4), 2}, {encodeMove(G1, F3), 3}};
    const struct {
        uint64_t draw;
        Move expected;
    } cases[] = {
        {0, encodeMove(E2, E4)}, {1, encodeMove(D2, D4)}, {2, encodeMove(D2, D4)}, {3, encodeMove(G1, F3)},
        {5, encodeMove(G1, F3)}, {6, encodeMove(E2, E4)}, {~uint64_t{0}, encodeMove(G1, F3)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pickBookMove(moves, 3, c.draw).move, c.expected) << c.draw;
}

// A broken file is refused at once or at the first lookup that meets the damage, and never
// answers; a tail that is no whole entry is left aside and the rest is used.
TEST_F(BookFileTest, BrokenFilesAreRefusedAndATailIsIgnored) {
    const std::string good = entryBytes(3, bookCode(E2, E4), 1);
    const struct {
        const char* name;
        std::string bytes;  // "<missing>" and "<folder>" for no file and a folder
        BookProblem atOpen;
        BookProblem atLookup;  // of key 3
        int found;
    } cases[] = {
        {"missing", "<missing>", BookProblem::CannotOpen, BookProblem::None, 0},
        {"folder", "<folder>", BookProblem::CannotRead, BookProblem::None, 0},
        {"empty", "", BookProblem::NoEntries, BookProblem::None, 0},
        {"15 bytes", good.substr(0, 15), BookProblem::NoEntries, BookProblem::None, 0},
        {"truncated", entryBytes(1, 1, 1) + good + good.substr(0, 7), BookProblem::None, BookProblem::None, 1},
        {"sorted downwards", entryBytes(9, 1, 1) + good, BookProblem::Unsorted, BookProblem::None, 0},
        {"unsorted inside", entryBytes(1, 1, 1) + entryBytes(8, 1, 1) + good + entryBytes(9, 1, 1),
         BookProblem::None, BookProblem::Unsorted, 0},
        {"unsorted after the run", entryBytes(1, 1, 1) + good + good + entryBytes(2, 1, 1), BookProblem::None,
         BookProblem::Unsorted, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
        if (c.bytes == "<folder>")
            std::filesystem::create_directory(path);
        else if (c.bytes != "<missing>")
            writeBytes(c.bytes);
        BookFile book;
        EXPECT_EQ(book.open(path), c.atOpen);
        BookEntry entries[4];
        int count = -1;
        EXPECT_EQ(book.find(3, entries, 4, count), c.atLookup);
        EXPECT_EQ(count, c.found);
        EXPECT_EQ(book.isOpen(), c.atOpen == BookProblem::None && c.atLookup == BookProblem::None);
    }
}

}  // namespace
}  // namespace orvath
