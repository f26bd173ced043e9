// SPDX-License-Identifier: GPL-3.0-or-later
// Shared set-up for the unit tests: the start-up tables, built once per test program.
#pragma once

#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "board/bitboard.h"
#include "board/board.h"
#include "board/keys.h"
#include "board/movegen.h"
#include "search/search_context.h"

namespace orvath {

// Builds the read-only start-up tables exactly once, whichever test asks first.
inline void initTables() {
    static std::once_flag once;
    std::call_once(once, [] {
        initAttackTables();
        initHashesAndScores();
    });
}

// A fresh board set from the FEN.
inline std::unique_ptr<Board> boardFrom(std::string_view fen) {
    initTables();
    auto board = std::make_unique<Board>();
    board->setFromFen(fen);
    return board;
}

// A fresh search context whose board is set from the FEN. On the heap: it holds a whole
// search stack.
inline std::unique_ptr<SearchContext> contextFrom(std::string_view fen) {
    initTables();
    auto context = std::make_unique<SearchContext>();
    context->board.setFromFen(fen);
    return context;
}

// The legal moves of the position, in generation order.
inline std::vector<Move> legalMoves(const Board& board) {
    MoveEntry list[MaxMoves];
    const MoveEntry* const end = generateLegalMoves(board, list);
    std::vector<Move> moves;
    for (const MoveEntry* entry = list; entry != end; ++entry)
        moves.push_back(static_cast<Move>(entry->move));
    return moves;
}

}  // namespace orvath
