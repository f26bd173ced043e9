// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/root_list.h"

#include <algorithm>

#include "board/movegen.h"
#include "search/evaluate.h"
#include "search/hash_table.h"
#include "search/search_context.h"
#include "search/search_signals.h"

namespace orvath {

RootEntry::RootEntry(Move move) {
    // Reserved once, so extending the variation during the search never allocates.
    pv.reserve(MaxPvLength + 2);
    pv.push_back(move);
    pv.push_back(NoMove);
}

void buildRootList(SearchContext& context) {
    const Board& board = context.board;
    MoveEntry moves[MaxMoves];
    MoveEntry* end = board.inCheck() ? generateEvasions(board, moves) : generateAllMoves(board, moves);
    const Bitboard pinned = board.pinnedOwnPieces();
    for (MoveEntry* m = moves; m < end;) {
        if (board.isLegal(static_cast<Move>(m->move), pinned))
            ++m;
        else
            *m = *--end;
    }
    // "go searchmoves": only the listed moves, unless none of them is legal here.
    const Move* listed = searchLimits.searchMoves;
    const Move* listedEnd = listed + searchLimits.searchMoveCount;
    const auto isListed = [&](const MoveEntry& m) { return std::find(listed, listedEnd, m.move) != listedEnd; };
    const bool restricted = std::any_of(moves, end, isListed);
    context.rootList.clear();
    for (MoveEntry* m = moves; m < end; ++m)
        if (!restricted || isListed(*m))
            context.rootList.emplace_back(static_cast<Move>(m->move));
    context.bestMoveChanges = 0;
}

void sortRootEntries(std::vector<RootEntry>::iterator begin, std::vector<RootEntry>::iterator end) {
    for (auto p = begin + (begin == end ? 0 : 1); p < end; ++p) {
        RootEntry moving = std::move(*p);
        auto q = p;
        for (; q > begin && (q - 1)->score < moving.score; --q)
            *q = std::move(*(q - 1));
        *q = std::move(moving);
    }
}

void extractPvFromHash(RootEntry& entry, Board& board) {
    BoardState states[MaxPvLength + 1];
    entry.pv.resize(1);
    board.makeMove(entry.pv[0], states[0]);
    int made = 1;
    while (true) {
        const HashProbe hashEntry = hashTable.probe(board.positionHash());
        if (hashEntry == nullptr)
            break;
        const Move move = hashEntry->move;
        if (move == NoMove || !board.isPseudoLegal(move) || !board.isLegal(move, board.pinnedOwnPieces()))
            break;
        if (static_cast<int>(entry.pv.size()) >= MaxPvLength)
            break;
        if (board.isDraw() && entry.pv.size() >= 2)
            break;
        entry.pv.push_back(move);
        board.makeMove(move, states[made++]);
    }
    entry.pv.push_back(NoMove);
    for (int i = made - 1; i >= 0; --i)
        board.unmakeMove(entry.pv[i]);
}

void insertPvIntoHash(const RootEntry& entry, Board& board) {
    BoardState states[MaxPvLength + 1];
    int made = 0;
    int margin = NoScore;
    // extractPvFromHash keeps a variation within MaxPvLength moves, so the states suffice.
    for (const Move move : entry.pv) {
        if (move == NoMove)
            break;
        const uint64_t key = board.positionHash();
        const HashProbe hashEntry = hashTable.probe(key);
        if (hashEntry == nullptr || hashEntry->move != move) {
            int eval = NoScore;
            if (!board.inCheck())
                eval = evaluate(board, margin);
            hashTable.store(key, NoScore, BoundNone, NoDepth, move, eval, margin);
        }
        board.makeMove(move, states[made++]);
    }
    for (int i = made - 1; i >= 0; --i)
        board.unmakeMove(entry.pv[i]);
}

}  // namespace orvath
