// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/root_search.h"

#include <algorithm>

#include "platform/platform.h"
#include "search/evaluate.h"
#include "search/hash_table.h"
#include "search/history.h"
#include "search/move_selector.h"
#include "search/node_search.h"
#include "search/quiescence.h"
#include "search/quiet_gain.h"
#include "search/root_list.h"
#include "search/search_signals.h"
#include "search/search_tables.h"
#include "uci/output.h"

namespace orvath {

namespace {

constexpr int FirstIterationDepth = OnePly;
constexpr int AllMovesFullWindow = MaxMoves;

int childPv(Board& board, SearchFrame* child, int alpha, int beta, int depth) {
    return depth >= OnePly ? searchPv(board, child, alpha, beta, depth) : quiescePv(board, child, alpha, beta, 0);
}

int childNonPv(Board& board, SearchFrame* child, int alpha, int beta, int depth) {
    return depth >= OnePly ? searchNonPv(board, child, alpha, beta, depth)
                           : quiesceNonPv(board, child, alpha, beta, 0);
}

bool startsLineToSearch(Move move) {
    for (size_t i = static_cast<size_t>(pvIndex); i < rootList.size(); ++i)
        if (rootList[i].move() == move)
            return true;
    return false;
}

RootEntry& entryOf(Move move) {
    return *std::find_if(rootList.begin(), rootList.end(), [move](const RootEntry& e) { return e.move() == move; });
}

}  // namespace

int searchRoot(Board& board, SearchFrame* f, int alpha, int beta, int depth) {
    const int alphaIn = alpha;
    enterNode(f);
    const bool inCheck = board.inCheck();
    int bestValue = -InfiniteScore;
    int moveCount = 0;
    Move quietsSearched[MaxMoves];
    int quietCount = 0;
    countNodeForPoll(board, board.threadIndex);

    // The table only lends its evaluation here; the first move is the line's previous best.
    const uint64_t key = board.positionHash();
    const HashProbe entry = hashTable.probe(key);
    if (inCheck) {
        f->eval = f->evalMargin = NoScore;
    } else if (entry) {
        f->eval = entry->staticEval;
        f->evalMargin = entry->evalMargin;
    } else {
        int margin = 0;
        f->eval = evaluate(board, margin);
        f->evalMargin = margin;
        hashTable.store(key, NoScore, BoundNone, NoDepth, NoMove, f->eval, f->evalMargin);
    }
    updateQuietGain(static_cast<Move>((f - 1)->currentMove), (f - 1)->eval, f->eval, board);

    MoveSelector selector(board, rootList[pvIndex].move(), depth, *f, -InfiniteScore);
    f->bestMove = NoMove;
    const CheckInfo checkInfo(board);
    BoardState state;

    while (bestValue < beta) {
        const Move move = selector.nextMove();
        if (move == NoMove)
            break;
        if (!startsLineToSearch(move) || !board.isLegal(move, checkInfo.pinned))
            continue;

        ++moveCount;
        const uint64_t nodesBefore = board.nodeCount;
        searchSignals.firstRootMove = moveCount == 1;
        if (board.threadIndex == 0 && platform::millisecondsSince(searchStartTime) > CurrentMoveReportDelay)
            writeCurrentMoveLine(move, pvIndex + moveCount);

        // At the first iteration every move gets its own exact score; later only the first.
        const bool pvMove = moveCount <= (depth <= FirstIterationDepth ? AllMovesFullWindow : 1);
        const bool givesCheck = board.givesCheck(move, checkInfo);
        const bool captureOrPromotion = board.isCaptureOrPromotion(move);
        bool dangerous = false;
        const int extension = moveExtension(board, move, givesCheck, captureOrPromotion, PvSettings, dangerous);
        const int newDepth = depth + extension - OnePly;

        f->currentMove = move;
        if (!captureOrPromotion)
            quietsSearched[quietCount++] = move;
        board.makeMove(move, state, checkInfo, givesCheck);

        int value = 0;
        if (pvMove) {
            value = -childPv(board, f + 1, -beta, -alpha, newDepth);
        } else {
            bool fullDepth = true;
            if (depth >= LateReductionDepth && !captureOrPromotion && !dangerous && moveKind(move) != KindCastling &&
                move != f->killers[0] && move != f->killers[1]) {
                const int reduction = lateMoveReduction(ReductionPv, depth, moveCount);
                f->reduction = reduction;
                if (reduction != 0) {
                    value = -childNonPv(board, f + 1, -(alpha + 1), -alpha, newDepth - reduction);
                    fullDepth = value > alpha;
                }
                f->reduction = 0;
            }
            if (fullDepth) {
                value = -childNonPv(board, f + 1, -(alpha + 1), -alpha, newDepth);
                // Unlike inside the tree, every move that beats alpha gets its exact score.
                if (value > alpha)
                    value = -childPv(board, f + 1, -beta, -alpha, newDepth);
            }
        }

        board.unmakeMove(move);

        if (!searchSignals.stop) {
            RootEntry& rootEntry = entryOf(move);
            rootEntry.nodes += static_cast<int64_t>(board.nodeCount - nodesBefore);
            if (pvMove || value > alpha) {
                rootEntry.score = value;
                extractPvFromHash(rootEntry, board);
                if (!pvMove && multiPvCount == 1)
                    ++bestMoveChanges;
            } else {
                rootEntry.score = -InfiniteScore;
            }
        }

        if (value > bestValue) {
            bestValue = value;
            f->bestMove = move;
            if (value > alpha && value < beta)
                alpha = value;
        }
    }

    if (moveCount == 0)
        return inCheck ? f->ply - MateScore : DrawScore;
    if (searchSignals.stop)
        return bestValue;

    recordResult(board, f, key, bestValue, alphaIn, beta, depth, quietsSearched, quietCount);
    return bestValue;
}

}  // namespace orvath
