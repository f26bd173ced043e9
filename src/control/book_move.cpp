// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/book_move.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "book/book_moves.h"
#include "uci/options.h"
#include "uci/output.h"

namespace orvath {

namespace {

BookFile book;
std::string bookPath;  // the name last tried, open or not

// Standard error only: the interface reads standard output, where nothing changes.
void report(const std::string& problem) {
    const std::string line = "Orvath: book " + bookPath + ": " + problem + "\n";
    std::fputs(line.c_str(), stderr);
}

// Seeded once per run from the clock, so that games from the same position differ; nothing
// in the search feeds it, so the search stays reproducible.
uint64_t nextDraw() {
    static std::mt19937_64 generator(
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    return generator();
}

// A game move has a clock; the analysis words ask for a search, never for a book move.
bool isGameMove(const SearchLimits& limits) {
    const bool clocked = limits.time != 0 || limits.increment != 0 || limits.moveTime != 0;
    const bool analysis = limits.infinite != 0 || limits.ponder != 0 || limits.depth != 0 || limits.nodes != 0 ||
                          limits.mate != 0 || limits.searchMoveCount != 0;
    return clocked && !analysis;
}

// The book's moves for the position; a file found broken is reported and closed.
int bookMovesFor(const Board& board, BookMove* moves) {
    BookProblem problem = BookProblem::None;
    const int count = findBookMoves(book, board, moves, problem);
    if (problem != BookProblem::None)
        report(bookProblemText(problem));
    return count;
}

// The reply the book expects to the move: its heaviest move in the position after it.
Move bookReplyTo(const Board& board, Move move) {
    Board after;
    after.copyFrom(board);
    BoardState state;
    after.makeMove(move, state);
    BookMove replies[MaxBookMoves];
    const int count = bookMovesFor(after, replies);
    return count > 0 ? heaviestBookMove(replies, count).move : NoMove;
}

}  // namespace

void prepareBook() {
    if (!engineOption(OwnBookOptionName).isTrue())
        return;
    const std::string path = engineOption(BookFileOptionName).textValue();
    if (path == bookPath)
        return;
    bookPath = path;
    book.close();
    if (path.empty())
        return;
    const BookProblem problem = book.open(path);
    if (problem != BookProblem::None)
        report(bookProblemText(problem));
    else if (book.strayBytes() != 0)
        report("ignoring the last " + std::to_string(book.strayBytes()) + " of its bytes, which make no whole entry");
}

bool playBookMove(const Board& board, const SearchLimits& limits) {
    prepareBook();
    if (!engineOption(OwnBookOptionName).isTrue() || !book.isOpen() || !isGameMove(limits))
        return false;
    BookMove moves[MaxBookMoves];
    const int count = bookMovesFor(board, moves);
    if (count == 0)
        return false;
    const BookMove& chosen = pickBookMove(moves, count, nextDraw());
    const Move reply = bookReplyTo(board, chosen.move);
    writeLine(bookMoveLinesText(chosen.move, reply, chosen.weight, bookWeightSum(moves, count)));
    const bool offersPonderMove = engineOption(PonderOptionName).isTrue();
    writeBestMoveLine(chosen.move, offersPonderMove ? reply : NoMove);
    return true;
}

}  // namespace orvath
