// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/node_search.h"

#include <algorithm>
#include <cstdlib>

#include "board/keys.h"
#include "search/evaluate.h"
#include "search/hash_table.h"
#include "search/history.h"
#include "search/move_selector.h"
#include "search/quiescence.h"
#include "search/quiet_gain.h"
#include "search/search_signals.h"
#include "search/search_tables.h"
#include "search/threat_tests.h"

namespace orvath {

namespace {

constexpr int RazorDepth = 8;
constexpr int RazorMargin = 512;
constexpr int RazorDepthMargin = 16;  // per half-ply
constexpr int StaticNullDepth = 8;
constexpr int NullVerificationDepth = 12;
constexpr int NullReduction = 3;                // plies
constexpr int NullReductionGrowthDepth = 10;    // half-plies; from here on the reduction grows with depth
constexpr int NullReductionGrowthDivisor = 8;   // one ply more per this many half-plies of depth
constexpr int NullReductionMarginPlies = 1;     // more when the evaluation beats beta by a pawn
constexpr int ThreatDepth = 10;                 // half-plies; below it a threat the reduced move allowed fails low
constexpr int ProbeCutDepth = 10;
constexpr int ProbeCutMargin = 200;
constexpr int ProbeCutReduction = 8;
constexpr int IidMargin = 256;
constexpr int PvIidReduction = 4;
constexpr int SingularEntryDepthSlack = 6;
constexpr int MaxExtension = 2;
constexpr int ExchangePruneDepth = 4;

bool hasPawnOnSeventh(const Board& board) {
    const Colour us = board.sideToMove;
    return (board.piecesOf(us, Pawn) & rankMask[us == White ? 6 : 1]) != 0;
}

template <bool Pv>
int search(SearchContext& ctx, SearchFrame* f, int alpha, int beta, int depth);

// A child search: node search while a ply is left, quiescence below.
template <bool Pv>
int searchChild(SearchContext& ctx, SearchFrame* child, int alpha, int beta, int depth) {
    if (depth >= OnePly)
        return search<Pv>(ctx, child, alpha, beta, depth);
    return Pv ? quiescePv(ctx, child, alpha, beta, 0) : quiesceNonPv(ctx, child, alpha, beta, 0);
}

template <bool Pv>
int search(SearchContext& ctx, SearchFrame* f, int alpha, int beta, int depth) {
    constexpr const SearchSettings& settings = Pv ? PvSettings : NonPvSettings;
    Board& board = ctx.board;
    const int alphaIn = alpha;

    // 1. Set up the node and the frames ahead.
    enterNode(f);
    const bool inCheck = board.inCheck();
    int bestValue = -InfiniteScore;
    int moveCount = 0;
    Move threatMove = NoMove;
    Move quietsSearched[MaxMoves];
    int quietCount = 0;

    // 2. The poll.
    countNodeForPoll(ctx);

    // 3. Stop, draws and the ply limit.
    if (stopRequested() || board.isDraw())
        return DrawScore;
    if (f->ply > MaxPly)
        return DrawScore;

    // 4. Mate distance: no line from here can beat a mate already found closer to the root.
    alpha = std::max(alpha, f->ply - MateScore);
    beta = std::min(beta, MateScore - 1 - f->ply);
    if (alpha >= beta)
        return alpha;

    // 5. The hash table.
    const uint64_t key = board.positionHash() ^ (f->excludedMove != NoMove ? excludedMoveHash : 0);
    HashProbe entry = hashTable.probe(key);
    Move ttMove = entry ? entry->move : NoMove;
    int ttValue = entry ? valueFromTable(entry->value, f->ply) : 0;

    // 6. Hash cut.
    bool hashCut;
    if constexpr (Pv) {
        hashCut = entry && entry->depth >= depth && entry->bound == BoundExact;
    } else {
        hashCut = entry &&
                  (entry->depth >= depth || ttValue >= std::max(beta, MateThreshold) ||
                   ttValue < std::min(beta, -MateThreshold)) &&
                  (((entry->bound & BoundLower) && ttValue >= beta) || ((entry->bound & BoundUpper) && ttValue < beta));
    }
    if (hashCut) {
        hashTable.refresh(entry);
        f->bestMove = ttMove;
        if (ttValue >= beta && ttMove != NoMove && !board.isCaptureOrPromotion(ttMove))
            updateKillers(f, ttMove);
        return ttValue;
    }

    // 7. Static evaluation, refined by the table's bound where it is sharper.
    int refinedValue;
    if (inCheck) {
        f->eval = f->evalMargin = NoScore;
        refinedValue = -InfiniteScore;
    } else if (entry) {
        f->eval = entry->staticEval;
        f->evalMargin = entry->evalMargin;
        refinedValue = ((entry->bound & BoundLower) && ttValue >= f->eval) ||
                               ((entry->bound & BoundUpper) && ttValue < f->eval)
                           ? ttValue
                           : f->eval;
    } else {
        int margin = 0;
        f->eval = evaluate(board, margin);
        f->evalMargin = margin;
        refinedValue = f->eval;
        hashTable.store(key, NoScore, BoundNone, NoDepth, NoMove, f->eval, f->evalMargin);
    }

    // 8. Learn how much the previous quiet move swung the evaluation.
    updateQuietGain(ctx.quietGain, static_cast<Move>((f - 1)->currentMove), (f - 1)->eval, f->eval, board);

    const Colour us = board.sideToMove;

    if constexpr (!Pv) {
        // 9. Razoring: far below beta, only captures could save the node.
        if (depth < RazorDepth && !inCheck && refinedValue + RazorMargin + RazorDepthMargin * depth < beta &&
            ttMove == NoMove && std::abs(beta) < MateThreshold && !hasPawnOnSeventh(board)) {
            const int razorBeta = beta - (RazorMargin + RazorDepthMargin * depth);
            const int value = quiesceNonPv(ctx, f, razorBeta - 1, razorBeta, 0);
            if (value < razorBeta)
                return value;
        }

        // 10. Static null move: far enough above beta that the margin of the depth cannot be lost.
        if (!f->skipNullMove && depth < StaticNullDepth && !inCheck) {
            const int margin = pruneMargin(depth, 0);
            if (refinedValue - margin >= beta && std::abs(beta) < MateThreshold && board.nonPawnMaterial(us))
                return refinedValue - margin;
        }

        // 11. Null move, verified at high depth; a failed one tells the threat.
        if (!f->skipNullMove && depth > OnePly && !inCheck && refinedValue >= beta &&
            std::abs(beta) < MateThreshold && board.nonPawnMaterial(us)) {
            f->currentMove = NullMove;
            int reduction = NullReduction;
            if (depth >= NullReductionGrowthDepth)
                reduction += depth / NullReductionGrowthDivisor;
            if (refinedValue - PawnValue > beta)
                reduction += NullReductionMarginPlies;
            const int nullDepth = depth - OnePly * reduction;

            BoardState backup;
            board.makeNullMove(backup);
            (f + 1)->skipNullMove = 1;
            int nullValue = -searchChild<false>(ctx, f + 1, -beta, -alpha, nullDepth);
            (f + 1)->skipNullMove = 0;
            board.undoNullMove();

            if (nullValue >= beta) {
                if (nullValue >= MateThreshold)
                    nullValue = beta;
                if (depth < NullVerificationDepth)
                    return nullValue;
                f->skipNullMove = 1;
                const int value = search<false>(ctx, f, alpha, beta, nullDepth);
                f->skipNullMove = 0;
                if (value >= beta)
                    return nullValue;
            } else {
                threatMove = (f + 1)->bestMove;
                if (depth < ThreatDepth && (f - 1)->reduction != 0 && threatMove != NoMove &&
                    movesConnected(board, static_cast<Move>((f - 1)->currentMove), threatMove))
                    return beta - 1;
            }
        }
    }

    // Pins and check squares are needed only by nodes that go on to search moves; the pruning
    // above settles many nodes without them.
    const CheckInfo checkInfo(board);

    if constexpr (!Pv) {
        // 12. Probe cut: a capture that beats beta by a margin at a much lower depth.
        if (depth >= ProbeCutDepth && !inCheck && !f->skipNullMove && f->excludedMove == NoMove &&
            std::abs(beta) < MateThreshold) {
            const int probeBeta = beta + ProbeCutMargin;
            MoveSelector selector(board, ttMove, board.state().capturedPieceType);
            BoardState state;
            for (Move move = selector.nextMove(); move != NoMove; move = selector.nextMove()) {
                if (!board.isLegal(move, checkInfo.pinned))
                    continue;
                // The frame names the move searched below it. Nothing observable depends on it
                // here: every move this stage yields is a capture, from which the child's quiet
                // gain learns nothing, and the child's threat rule reads it only below a reduced move.
                f->currentMove = move;
                board.makeMove(move, state, checkInfo, board.givesCheck(move, checkInfo));
                const int value = -search<false>(ctx, f + 1, -probeBeta, -probeBeta + 1, depth - ProbeCutReduction);
                board.unmakeMove(move);
                if (value >= probeBeta)
                    return value;
            }
        }
    }

    // 13. Internal iterative deepening: find a move to search first.
    if constexpr (Pv) {
        if (depth >= settings.iidMinDepth && ttMove == NoMove) {
            f->skipNullMove = 1;
            search<true>(ctx, f, alpha, beta, depth - PvIidReduction);
            f->skipNullMove = 0;
            entry = hashTable.probe(key);
            ttMove = entry ? entry->move : NoMove;
        }
    } else {
        if (depth >= settings.iidMinDepth && ttMove == NoMove && !inCheck && f->eval + IidMargin >= beta) {
            f->skipNullMove = 1;
            search<false>(ctx, f, alpha, beta, depth / 2);
            f->skipNullMove = 0;
            entry = hashTable.probe(key);
            ttMove = entry ? entry->move : NoMove;
        }
    }

    // 14. The move loop's set-up. The searches since the probe may have written the entry's
    // slot; the singular test reads what it holds now.
    entry.reload();
    MoveSelector selector(board, ctx.history, ttMove, depth, *f, Pv ? -InfiniteScore : beta);
    f->bestMove = NoMove;
    const int futilityBase = f->eval + f->evalMargin;
    const bool singularNode = depth >= settings.singularMinDepth && ttMove != NoMove && f->excludedMove == NoMove &&
                              entry && (entry->bound & BoundLower) && entry->depth >= depth - SingularEntryDepthSlack;
    BoardState state;

    // 15. The move loop.
    while (bestValue < beta) {
        const Move move = selector.nextMove();
        if (move == NoMove)
            break;
        if (move == f->excludedMove)
            continue;
        if constexpr (Pv) {
            if (!board.isLegal(move, checkInfo.pinned))
                continue;
        }
        ++moveCount;

        const bool givesCheck = board.givesCheck(move, checkInfo);
        const bool captureOrPromotion = board.isCaptureOrPromotion(move);
        bool dangerous = false;
        int extension = moveExtension(board, move, givesCheck, captureOrPromotion, settings, dangerous);

        // Singular extension: the hash move is much better than every alternative.
        if (singularNode && move == ttMove && extension < MaxExtension &&
            (Pv || board.isLegal(move, checkInfo.pinned))) {
            const int entryValue = valueFromTable(entry->value, f->ply);
            if (std::abs(entryValue) < BigWinScore) {
                const int singularBeta = entryValue - depth;
                f->excludedMove = move;
                f->skipNullMove = 1;
                const int value = search<false>(ctx, f, singularBeta - 1, singularBeta, depth / 2);
                f->skipNullMove = 0;
                f->excludedMove = NoMove;
                f->bestMove = NoMove;
                if (value < singularBeta)
                    extension = MaxExtension;
            }
        }
        const int newDepth = depth + extension - OnePly;

        // Pruning of quiet moves that are unlikely to matter.
        if constexpr (!Pv) {
            if (!captureOrPromotion && !inCheck && !dangerous && move != ttMove && moveKind(move) != KindCastling) {
                if (moveCount >= lateMoveLimit(depth) &&
                    (threatMove == NoMove || !threatDefended(board, move, threatMove)) && bestValue > -MateThreshold)
                    continue;
                const int predictedDepth = newDepth - lateMoveReduction(ReductionNonPv, depth, moveCount);
                const int futilityValue = futilityBase + pruneMargin(predictedDepth, moveCount) +
                                          ctx.quietGain[board.pieceOn(moveFrom(move))][moveTo(move)];
                if (futilityValue < beta) {
                    bestValue = std::max(bestValue, futilityValue);
                    continue;
                }
                if (predictedDepth < ExchangePruneDepth && bestValue > -MateThreshold && board.exchangeSign(move) < 0)
                    continue;
            }
            if (!board.isLegal(move, checkInfo.pinned)) {
                --moveCount;
                continue;
            }
        }

        f->currentMove = move;
        if (!captureOrPromotion)
            quietsSearched[quietCount++] = move;
        board.makeMove(move, state, checkInfo, givesCheck);

        int value = 0;
        if (Pv && moveCount == 1) {
            value = -searchChild<true>(ctx, f + 1, -beta, -alpha, newDepth);
        } else {
            // Late-move reduction, then the full depth unless the reduced search failed low.
            bool fullDepth = true;
            if (depth >= LateReductionDepth && !captureOrPromotion && !dangerous && moveKind(move) != KindCastling &&
                move != f->killers[0] && move != f->killers[1]) {
                const int reduction = lateMoveReduction(Pv ? ReductionPv : ReductionNonPv, depth, moveCount);
                f->reduction = reduction;
                if (reduction != 0) {
                    value = -searchChild<false>(ctx, f + 1, -(alpha + 1), -alpha, newDepth - reduction);
                    fullDepth = value > alpha;
                }
                f->reduction = 0;
            }
            if (fullDepth) {
                value = -searchChild<false>(ctx, f + 1, -(alpha + 1), -alpha, newDepth);
                if (Pv && value > alpha && value < beta)
                    value = -searchChild<true>(ctx, f + 1, -beta, -alpha, newDepth);
            }
        }

        board.unmakeMove(move);

        if (value > bestValue) {
            bestValue = value;
            f->bestMove = move;
            if (Pv && value > alpha && value < beta)
                alpha = value;
        }
    }

    // 16. Mate, stalemate, or the result into the table.
    if (moveCount == 0) {
        if (f->excludedMove != NoMove)
            return alphaIn;
        return inCheck ? f->ply - MateScore : DrawScore;
    }
    if (stopRequested())
        return bestValue;

    recordResult(ctx, f, key, bestValue, alphaIn, beta, depth, quietsSearched, quietCount);
    return bestValue;
}

}  // namespace

void recordResult(SearchContext& ctx, SearchFrame* f, uint64_t key, int bestValue, int alphaIn, int beta, int depth,
                  const Move* quietsSearched, int quietCount) {
    const Board& board = ctx.board;
    const Move storedMove = bestValue > alphaIn ? f->bestMove : NoMove;
    hashTable.store(key, valueToTable(bestValue, f->ply), boundOf(bestValue, alphaIn, beta), depth, storedMove, f->eval,
                    f->evalMargin);
    if (bestValue >= beta && storedMove != NoMove && !board.isCaptureOrPromotion(storedMove)) {
        updateKillers(f, storedMove);
        updateHistory(ctx.history, board, storedMove, depth, quietsSearched, quietCount);
    }
}

int moveExtension(const Board& board, Move move, bool givesCheck, bool captureOrPromotion,
                  const SearchSettings& settings, bool& dangerous) {
    const Square from = moveFrom(move);
    const Square to = moveTo(move);
    const Piece mover = board.pieceOn(from);
    const Piece victim = board.pieceOn(to);
    const Colour us = board.sideToMove;
    int extension = 0;
    dangerous = givesCheck;

    if (givesCheck && (midgameValue[victim] >= midgameValue[mover] || board.staticExchange(move) >= 0))
        extension += settings.checkExtension;

    if (typeOf(mover) == Pawn) {
        if (rankOf(to) == (us == White ? 6 : 1)) {
            extension += settings.seventhRankExtension;
            dangerous = true;
        }
        if ((passedPawnSpan[us][to] & board.piecesOf(us ^ 1, Pawn)) == 0) {
            extension += settings.passedPawnExtension;
            dangerous = true;
        }
    }

    // Trading the last piece into a pawn endgame changes everything.
    if (captureOrPromotion && typeOf(victim) != Pawn && moveKind(move) == KindNormal &&
        board.nonPawnMaterial(White) + board.nonPawnMaterial(Black) - midgameValue[victim] == 0) {
        extension += settings.pawnEndgameExtension;
        dangerous = true;
    }

    return std::min(extension, MaxExtension);
}

int searchNonPv(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth) {
    return search<false>(ctx, frame, alpha, beta, depth);
}

int searchPv(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth) {
    return search<true>(ctx, frame, alpha, beta, depth);
}

}  // namespace orvath
