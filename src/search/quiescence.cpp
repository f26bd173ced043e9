// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/quiescence.h"

#include <algorithm>

#include "board/keys.h"
#include "search/evaluate.h"
#include "search/hash_table.h"
#include "search/move_selector.h"
#include "search/node_search.h"

namespace orvath {

namespace {

constexpr int StandPatMargin = 128;
constexpr int EnoughMaterial = 1270;  // a rook's midgame value
constexpr int EnPassantDeltaBonus = 258;
constexpr int CheckPruningMargin = 49;
constexpr int QuiesceDeepHashDepth = -4;

bool isPassedPawnMove(const Board& board, Move move) {
    const Piece piece = board.pieceOn(moveFrom(move));
    if (typeOf(piece) != Pawn)
        return false;
    const Colour us = board.sideToMove;
    return (passedPawnSpan[us][moveTo(move)] & board.piecesOf(us ^ 1, Pawn)) == 0;
}

// Whether a quiet check may achieve something: it leaves the king at most one flight square,
// it is a queen's contact check, or it attacks a new piece that is worth winning. When none
// holds, bestValue takes the best futility value of the pieces it attacks.
bool isDangerousCheck(const Board& board, Move move, int futilityBase, int beta, int& bestValue) {
    const Colour them = board.sideToMove ^ 1;
    const Square from = moveFrom(move);
    const Square to = moveTo(move);
    const Square king = board.kingSquare(them);
    const Bitboard zone = stepAttacks[makePiece(them, King)][king];
    const Piece piece = board.pieceOn(from);
    const Bitboard occupied = board.occupancy() & ~squareMask[from] & ~squareMask[king];
    const Bitboard oldAttacks = pieceAttacksFrom(piece, from, occupied);
    const Bitboard newAttacks = pieceAttacksFrom(piece, to, occupied);

    const Bitboard escapes = zone & ~board.piecesOfColour(them) & ~squareMask[to] & ~newAttacks;
    if (!moreThanOne(escapes))
        return true;
    if (typeOf(piece) == Queen && (zone & squareMask[to]))
        return true;

    int raised = bestValue;
    Bitboard victims = board.piecesOfColour(them) & newAttacks & ~oldAttacks & ~squareMask[king];
    while (victims) {
        const Square victim = popLowestSquare(victims);
        const int futilityValue = futilityBase + endgameValue[board.pieceOn(victim)];
        if (futilityValue >= beta && (midgameValue[board.pieceOn(victim)] >= midgameValue[piece] ||
                                      board.staticExchange(encodeMove(from, victim)) >= 0))
            return true;
        raised = std::max(raised, futilityValue);
    }
    bestValue = raised;
    return false;
}

template <bool Pv>
int quiesce(SearchContext& ctx, SearchFrame* f, int alpha, int beta, int depth) {
    Board& board = ctx.board;
    const int alphaIn = alpha;
    f->ply = (f - 1)->ply + 1;
    f->currentMove = f->bestMove = NoMove;
    const bool inCheck = board.inCheck();
    const int ttDepth = inCheck || depth >= QuiesceChecksDepth ? QuiesceChecksDepth : QuiesceDeepHashDepth;

    // The stack has no frame left for a child: settle for the static evaluation.
    if (atStackEnd(f)) {
        int margin = 0;
        return evaluate(board, margin);
    }

    const uint64_t key = board.positionHash();
    const HashProbe entry = hashTable.probe(key);
    const Move ttMove = entry ? entry->move : NoMove;
    const int ttValue = entry ? valueFromTable(entry->value, f->ply) : 0;

    if constexpr (!Pv) {
        if (entry &&
            (entry->depth >= ttDepth || ttValue >= std::max(beta, MateThreshold) ||
             ttValue < std::min(beta, -MateThreshold)) &&
            (((entry->bound & BoundLower) && ttValue >= beta) || ((entry->bound & BoundUpper) && ttValue < beta))) {
            f->bestMove = ttMove;
            return ttValue;
        }
    }

    // Stand pat.
    int bestValue;
    int margin;
    int futilityBase = -InfiniteScore;
    bool enoughMaterial = false;
    if (inCheck) {
        bestValue = -InfiniteScore;
        f->eval = NoScore;
        margin = NoScore;
    } else {
        if (entry) {
            f->eval = entry->staticEval;
            margin = entry->evalMargin;
        } else {
            f->eval = evaluate(board, margin);
        }
        bestValue = f->eval;
        if (bestValue >= beta) {
            if (!entry)
                hashTable.store(key, valueToTable(bestValue, f->ply), BoundLower, NoDepth, NoMove, f->eval, margin);
            return bestValue;
        }
        if constexpr (Pv) {
            alpha = std::max(alpha, bestValue);
        } else {
            futilityBase = f->eval + margin + StandPatMargin;
            enoughMaterial = board.nonPawnMaterial(board.sideToMove) > EnoughMaterial;
        }
    }

    const CheckInfo checkInfo(board);
    const int ourRights = board.state().castlingRights & castlingRightsOf(board.sideToMove);
    MoveSelector selector(board, ctx.history, ttMove, depth, moveTo(static_cast<Move>((f - 1)->currentMove)));
    BoardState state;

    while (bestValue < beta) {
        const Move move = selector.nextMove();
        if (move == NoMove)
            break;
        const bool givesCheck = board.givesCheck(move, checkInfo);

        if constexpr (!Pv) {
            // Delta pruning: even winning this piece cannot lift the score to beta.
            if (!inCheck && !givesCheck && move != ttMove && enoughMaterial && moveKind(move) != KindPromotion &&
                !isPassedPawnMove(board, move)) {
                const int futilityValue = futilityBase + endgameValue[board.pieceOn(moveTo(move))] +
                                          (moveKind(move) == KindEnPassant ? EnPassantDeltaBonus : 0);
                if (futilityValue < beta) {
                    bestValue = std::max(bestValue, futilityValue);
                    continue;
                }
                if (futilityBase < beta && depth < 0 && board.staticExchange(move) <= 0)
                    continue;
            }

            const bool evasionPrunable =
                inCheck && bestValue > -MateThreshold && !board.isCapture(move) && ourRights == 0;

            // Captures that lose material by exchange.
            if ((!inCheck || evasionPrunable) && move != ttMove && moveKind(move) != KindPromotion &&
                midgameValue[board.pieceOn(moveTo(move))] < midgameValue[board.pieceOn(moveFrom(move))] &&
                board.staticExchange(move) < 0)
                continue;

            // Quiet checks that threaten nothing.
            if (!inCheck && givesCheck && move != ttMove && !board.isCaptureOrPromotion(move) &&
                f->eval + CheckPruningMargin < beta &&
                !isDangerousCheck(board, move, futilityBase, beta, bestValue)) {
                bestValue = std::max(bestValue, f->eval + CheckPruningMargin);
                continue;
            }
        }

        if (!board.isLegal(move, checkInfo.pinned))
            continue;

        f->currentMove = move;
        board.makeMove(move, state, checkInfo, givesCheck);
        const int value = -quiesce<Pv>(ctx, f + 1, -beta, -alpha, depth - OnePly);
        board.unmakeMove(move);

        if (value > bestValue) {
            bestValue = value;
            f->bestMove = move;
            if constexpr (Pv) {
                if (value > alpha) {
                    if (value >= beta)
                        break;
                    alpha = value;
                }
            }
        }
    }

    if (inCheck && bestValue == -InfiniteScore)
        return f->ply - MateScore;

    hashTable.store(key, valueToTable(bestValue, f->ply), boundOf(bestValue, alphaIn, beta), ttDepth,
                    bestValue > alphaIn ? f->bestMove : NoMove, f->eval, margin);
    return bestValue;
}

}  // namespace

int quiesceNonPv(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth) {
    return quiesce<false>(ctx, frame, alpha, beta, depth);
}

int quiescePv(SearchContext& ctx, SearchFrame* frame, int alpha, int beta, int depth) {
    return quiesce<true>(ctx, frame, alpha, beta, depth);
}

}  // namespace orvath
