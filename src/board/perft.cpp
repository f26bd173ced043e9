#include "board/perft.h"

#include "board/movegen.h"

namespace orvath {

uint64_t perft(Board& board, int depth, bool bulk) {
    if (depth == 0)
        return 1;
    MoveEntry list[MaxMoves];
    MoveEntry* const end = generateLegalMoves(board, list);
    if (bulk && depth == 1)
        return static_cast<uint64_t>(end - list);
    const CheckInfo checkInfo(board);
    uint64_t leaves = 0;
    for (MoveEntry* entry = list; entry != end; ++entry) {
        const Move move = static_cast<Move>(entry->move);
        BoardState state;
        board.makeMove(move, state, checkInfo, board.givesCheck(move, checkInfo));
        leaves += perft(board, depth - 1, bulk);
        board.unmakeMove(move);
    }
    return leaves;
}

}  // namespace orvath
