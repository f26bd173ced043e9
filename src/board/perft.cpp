// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/perft.h"

#include "board/movegen.h"

namespace orvath {

uint64_t perft(Board& board, int depth, bool bulk) {
    if (depth == 0)
        return 1;
    MoveEntry list[MaxMoves];
    if (bulk && depth == 1)
        return static_cast<uint64_t>(generateLegalMoves(board, list) - list);
    const CheckInfo checkInfo(board);
    MoveEntry* const end = generateLegalMoves(board, list, checkInfo.pinned);
    uint64_t leaves = 0;
    BoardState state;
    for (MoveEntry* entry = list; entry != end; ++entry) {
        const Move move = static_cast<Move>(entry->move);
        board.makeMove(move, state, checkInfo, board.givesCheck(move, checkInfo));
        // A leaf is made and taken back like any other move; only the call that would
        // answer 1 for it is saved.
        leaves += depth == 1 ? 1 : perft(board, depth - 1, bulk);
        board.unmakeMove(move);
    }
    return leaves;
}

}  // namespace orvath
