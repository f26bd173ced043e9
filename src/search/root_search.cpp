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

int childPv(SearchContext& ctx, SearchFrame* child, int alpha, int beta, int depth) {
    return depth >= OnePly ? searchPv(ctx, child, alpha, beta, depth) : quiescePv(ctx, child, alpha, beta, 0);
}

int childNonPv(SearchContext& ctx, SearchFrame* child, int alpha, int beta, int depth) {
    return depth >= OnePly ? searchNonPv(ctx, child, alpha, beta, depth) : quiesceNonPv(ctx, child, alpha, beta, 0);
}

bool startsLineToSearch(const SearchContext& ctx, Move move) {
    for (size_t i = static_cast<size_t>(ctx.pvIndex); i < ctx.rootList.size(); ++i)
        if (ctx.rootList[i].move() == move)
            return true;
    return false;
}

RootEntry& entryOf(SearchContext& ctx, Move move) {
    return *std::find_if(ctx.rootList.begin(), ctx.rootList.end(),
                         [move](const RootEntry& e) { return e.move() == move; });
}

}  // namespace

int searchRoot(SearchContext& ctx, SearchFrame* f, int alpha, int beta, int depth) {
    Board& board = ctx.board;
    const int alphaIn = alpha;
    enterNode(f);
    const bool inCheck = board.inCheck();
    int bestValue = -InfiniteScore;
    int moveCount = 0;
    Move quietsSearched[MaxMoves];
    int quietCount = 0;
    countNodeForPoll(ctx);

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
    updateQuietGain(ctx.quietGain, static_cast<Move>((f - 1)->currentMove), (f - 1)->eval, f->eval, board);

    MoveSelector selector(board, ctx.history, ctx.rootList[ctx.pvIndex].move(), depth, *f, -InfiniteScore);
    f->bestMove = NoMove;
    const CheckInfo checkInfo(board);
    BoardState state;

    while (bestValue < beta) {
        const Move move = selector.nextMove();
        if (move == NoMove)
            break;
        if (!startsLineToSearch(ctx, move) || !board.isLegal(move, checkInfo.pinned))
            continue;

        ++moveCount;
        const uint64_t nodesBefore = board.nodeCount;
        ctx.firstRootMove = moveCount == 1;
        if (ctx.threadIndex() == 0 && platform::millisecondsSince(searchStartTime) > CurrentMoveReportDelay)
            writeCurrentMoveLine(move, ctx.pvIndex + moveCount);

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
            value = -childPv(ctx, f + 1, -beta, -alpha, newDepth);
        } else {
            bool fullDepth = true;
            if (depth >= LateReductionDepth && !captureOrPromotion && !dangerous && moveKind(move) != KindCastling &&
                move != f->killers[0] && move != f->killers[1]) {
                const int reduction = lateMoveReduction(ReductionPv, depth, moveCount);
                f->reduction = reduction;
                if (reduction != 0) {
                    value = -childNonPv(ctx, f + 1, -(alpha + 1), -alpha, newDepth - reduction);
                    fullDepth = value > alpha;
                }
                f->reduction = 0;
            }
            if (fullDepth) {
                value = -childNonPv(ctx, f + 1, -(alpha + 1), -alpha, newDepth);
                // Unlike inside the tree, every move that beats alpha gets its exact score.
                if (value > alpha)
                    value = -childPv(ctx, f + 1, -beta, -alpha, newDepth);
            }
        }

        board.unmakeMove(move);

        if (!stopRequested()) {
            RootEntry& rootEntry = entryOf(ctx, move);
            rootEntry.nodes += static_cast<int64_t>(board.nodeCount - nodesBefore);
            if (pvMove || value > alpha) {
                rootEntry.score = value;
                extractPvFromHash(rootEntry, board);
                if (!pvMove && ctx.multiPvCount == 1)
                    ++ctx.bestMoveChanges;
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
    if (stopRequested())
        return bestValue;

    recordResult(ctx, f, key, bestValue, alphaIn, beta, depth, quietsSearched, quietCount);
    return bestValue;
}

}  // namespace orvath
