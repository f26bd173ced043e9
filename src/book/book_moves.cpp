// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/book_moves.h"

#include "book/polyglot_key.h"

namespace orvath {

namespace {

// The book's code of a move. Both the board and the book write castling as the king taking
// its own rook, so only the promotion field differs: the book counts pieces from the knight.
uint16_t bookCode(Move move) {
    uint16_t code = static_cast<uint16_t>(moveTo(move) | (moveFrom(move) << 6));
    if (moveKind(move) == KindPromotion)
        code = static_cast<uint16_t>(code | ((promotionType(move) - Pawn) << 12));
    return code;
}

}  // namespace

Move moveFromBook(const Board& board, uint16_t bookMove) {
    MoveEntry list[MaxMoves];
    const MoveEntry* const end = generateLegalMoves(board, list);
    for (const MoveEntry* entry = list; entry != end; ++entry)
        if (bookCode(static_cast<Move>(entry->move)) == bookMove)
            return static_cast<Move>(entry->move);
    return NoMove;
}

int findBookMoves(BookFile& book, const Board& board, BookMove* out, BookProblem& problem) {
    BookEntry entries[MaxBookMoves];
    int entryCount = 0;
    problem = book.find(polyglotKey(board), entries, MaxBookMoves, entryCount);
    if (problem != BookProblem::None)
        return 0;
    int count = 0;
    for (int i = 0; i < entryCount; ++i) {
        if (entries[i].weight == 0)
            continue;
        const Move move = moveFromBook(board, entries[i].move);
        if (move != NoMove)
            out[count++] = {move, entries[i].weight};
    }
    return count;
}

uint32_t bookWeightSum(const BookMove* moves, int count) {
    uint32_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += moves[i].weight;
    return sum;
}

const BookMove& pickBookMove(const BookMove* moves, int count, uint64_t draw) {
    uint64_t remaining = draw % bookWeightSum(moves, count);
    for (int i = 0; i < count - 1; ++i) {
        if (remaining < moves[i].weight)
            return moves[i];
        remaining -= moves[i].weight;
    }
    return moves[count - 1];
}

const BookMove& heaviestBookMove(const BookMove* moves, int count) {
    int heaviest = 0;
    for (int i = 1; i < count; ++i)
        if (moves[i].weight > moves[heaviest].weight)
            heaviest = i;
    return moves[heaviest];
}

}  // namespace orvath
