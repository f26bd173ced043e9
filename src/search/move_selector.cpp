// SPDX-License-Identifier: GPL-3.0-or-later
// Staged move ordering. Each kind of node walks its own sequence of stages; a stage prepares
// its range of moves when it is reached and hands them out best first:
// - main search: the hash move; the captures that do not lose too much (a losing one is set
//   aside); the two killers; the quiet moves with a positive history, sorted; the other quiet
//   moves, sorted only at depth; the set-aside captures;
// - in check: the hash move, then every evasion by its score;
// - quiescence: near the horizon the hash move, the captures and the quiet checks; deeper the
//   hash move (a capture or promotion) and the captures; deepest only the recaptures on the
//   square of the last move;
// - probe cut: the hash move and the captures that win more than the piece the last move took.
// "Captures" are those of the capture generator, queen promotions included.
#include "search/move_selector.h"

#include "board/keys.h"
#include "search/history.h"
#include "search/search_frame.h"

namespace orvath {

namespace {

constexpr int SortOtherQuietsDepth = 6;         // half-plies
constexpr int LosingCaptureAllowanceDepth = 6;  // half-plies
constexpr int QuiesceRecaptureDepth = -8;       // below this only recaptures
constexpr int32_t EvasionBias = 2000;

// The stage sequences, each ended by stageEnd. A sequence that serves a hash move starts with
// its stage; without a usable hash move the selector starts one stage in (++sequence).
constexpr int32_t MainSequence[] = {stageHashMove,    stageGoodCaptures, stageKillers, stageGoodQuiets,
                                    stageOtherQuiets, stageBadCaptures,  stageEnd};
constexpr int32_t EvasionSequence[] = {stageHashMove, stageEvasions, stageEnd};
constexpr int32_t QuiesceChecksSequence[] = {stageHashMove, stageQuiesceCaptures, stageQuietChecks, stageEnd};
constexpr int32_t QuiesceCapturesSequence[] = {stageHashMove, stageQuiesceCaptures, stageEnd};
constexpr int32_t RecaptureSequence[] = {stageRecaptures, stageEnd};
constexpr int32_t ProbeCutSequence[] = {stageHashMove, stageProbeCaptures, stageEnd};

// Stable insertion sort, highest score first.
void sortByScore(MoveEntry* begin, MoveEntry* last) {
    for (MoveEntry* p = begin + 1; p < last; ++p) {
        const MoveEntry moving = *p;
        MoveEntry* q = p;
        for (; q > begin && (q - 1)->score < moving.score; --q)
            *q = *(q - 1);
        *q = moving;
    }
}

// Moves the entries with a positive score to the front; returns the end of that part.
MoveEntry* partitionPositive(MoveEntry* first, MoveEntry* last) {
    while (true) {
        while (true) {
            if (first == last)
                return first;
            if (first->score > 0)
                ++first;
            else
                break;
        }
        --last;
        while (true) {
            if (first == last)
                return first;
            if (last->score <= 0)
                --last;
            else
                break;
        }
        const MoveEntry swapped = *first;
        *first = *last;
        *last = swapped;
        ++first;
    }
}

}  // namespace

MoveSelector::MoveSelector(const Board& b, const HistoryTable& h, Move hashMove, int d, const SearchFrame& frame,
                           int beta)
    : board(b), history(h), depth(d) {
    if (hashMove != NoMove && board.isPseudoLegal(hashMove))
        ttMove = hashMove;
    if (board.inCheck()) {
        sequence = EvasionSequence;
    } else {
        killers[0].move = frame.killers[0];
        killers[1].move = frame.killers[1];
        sequence = MainSequence;
        if (frame.eval < beta - PawnValue)
            captureThreshold = depth < LosingCaptureAllowanceDepth ? -PawnValue : 0;
    }
    if (ttMove == NoMove)
        ++sequence;  // the hash-move stage comes first in every sequence that has one
    stage = *sequence;
    prepareStage();
}

MoveSelector::MoveSelector(const Board& b, const HistoryTable& h, Move hashMove, int d, Square recapture)
    : board(b), history(h), depth(d) {
    if (board.inCheck()) {
        sequence = EvasionSequence;
        if (hashMove != NoMove && board.isPseudoLegal(hashMove))
            ttMove = hashMove;
    } else if (depth >= QuiesceChecksDepth) {
        sequence = QuiesceChecksSequence;
        if (hashMove != NoMove && board.isPseudoLegal(hashMove))
            ttMove = hashMove;
    } else if (depth >= QuiesceRecaptureDepth) {
        sequence = QuiesceCapturesSequence;
        if (hashMove != NoMove && board.isPseudoLegal(hashMove) && board.isCaptureOrPromotion(hashMove))
            ttMove = hashMove;
    } else {
        sequence = RecaptureSequence;
        recaptureSquare = recapture;
    }
    if (ttMove == NoMove && *sequence == stageHashMove)
        ++sequence;
    stage = *sequence;
    prepareStage();
}

// Captures only: the history is never read.
MoveSelector::MoveSelector(const Board& b, Move hashMove, PieceType capturedType) : board(b), history(nullptr) {
    captureThreshold = midgameValue[capturedType];
    sequence = ProbeCutSequence;
    if (hashMove != NoMove && board.isPseudoLegal(hashMove)) {
        if (board.isCapture(hashMove) && board.staticExchange(hashMove) > captureThreshold)
            ttMove = hashMove;
    }
    if (ttMove == NoMove)
        ++sequence;
    stage = *sequence;
    prepareStage();
}

// Prepares the range of the stage now current.
void MoveSelector::prepareStage() {
    cur = moves;
    switch (stage) {
    case stageGoodCaptures:
    case stageProbeCaptures:
    case stageQuiesceCaptures:
        end = generateCaptures(board, moves);
        scoreCaptures();
        break;
    case stageKillers:
        cur = killers;
        end = killers + 2;
        break;
    case stageGoodQuiets: {
        end = generateQuiets(board, moves);
        for (MoveEntry* e = moves; e < end; ++e)
            e->score = history[board.pieceOn(moveFrom(static_cast<Move>(e->move)))][moveTo(static_cast<Move>(e->move))];
        quietEnd = end;
        end = positiveEnd = partitionPositive(moves, quietEnd);
        sortByScore(moves, end);
        break;
    }
    case stageOtherQuiets:
        cur = positiveEnd;
        end = quietEnd;
        if (depth >= SortOtherQuietsDepth)
            sortByScore(cur, end);
        break;
    case stageBadCaptures:
        cur = badCaptures + badCaptureBegin;
        end = badCaptures + MaxMoves;
        break;
    case stageEvasions:
        end = generateEvasions(board, moves);
        if (end - moves > 1)
            scoreEvasions();
        break;
    case stageRecaptures:
        end = generateCaptures(board, moves);
        break;
    case stageQuietChecks:
        end = generateQuietChecks(board, moves);
        break;
    default:  // hash move and end: a dummy range, served once
        end = cur + 1;
        break;
    }
}

void MoveSelector::scoreCaptures() {
    for (MoveEntry* e = moves; e < end; ++e) {
        const Move move = static_cast<Move>(e->move);
        int32_t score = midgameValue[board.pieceOn(moveTo(move))] - typeOf(board.pieceOn(moveFrom(move)));
        if (moveKind(move) == KindPromotion)
            score += midgameValue[promotionType(move)];
        e->score = score;
    }
}

void MoveSelector::scoreEvasions() {
    for (MoveEntry* e = moves; e < end; ++e) {
        const Move move = static_cast<Move>(e->move);
        const Piece mover = board.pieceOn(moveFrom(move));
        const Piece victim = board.pieceOn(moveTo(move));
        const bool cheaperVictim = midgameValue[victim] < midgameValue[mover];
        const int32_t exchange = cheaperVictim ? board.staticExchange(move) : 0;
        if (cheaperVictim && exchange < 0)
            e->score = exchange - EvasionBias;
        else if (board.isCapture(move))
            e->score = midgameValue[victim] - typeOf(mover) + EvasionBias;
        else
            e->score = history[mover][moveTo(move)];
    }
}

// Takes the first entry with the highest score among the rest of the range, swapping it to cur.
MoveEntry* MoveSelector::pickBest() {
    MoveEntry* best = cur;
    for (MoveEntry* e = cur + 1; e < end; ++e)
        if (e->score > best->score)
            best = e;
    const MoveEntry taken = *best;
    *best = *cur;
    *cur = taken;
    return cur++;
}

Move MoveSelector::nextMove() {
    while (true) {
        while (cur == end) {
            if (stage == stageEnd)
                return NoMove;
            stage = *++sequence;
            prepareStage();
        }
        switch (stage) {
        case stageHashMove:
            ++cur;
            return ttMove;
        case stageGoodCaptures: {
            const Move move = static_cast<Move>(pickBest()->move);
            if (move == ttMove)
                break;
            const bool cheapAttacker =
                midgameValue[board.pieceOn(moveTo(move))] >= midgameValue[board.pieceOn(moveFrom(move))];
            const int32_t exchange = cheapAttacker ? 1 : board.staticExchange(move);
            if (exchange >= captureThreshold)
                return move;
            --badCaptureBegin;
            badCaptures[badCaptureBegin].move = move;
            badCaptures[badCaptureBegin].score = exchange;
            break;
        }
        case stageProbeCaptures: {
            const Move move = static_cast<Move>(pickBest()->move);
            if (move != ttMove && board.staticExchange(move) > captureThreshold)
                return move;
            break;
        }
        case stageKillers: {
            const Move move = static_cast<Move>((cur++)->move);
            if (move != NoMove && move != ttMove && board.isPseudoLegal(move) && !board.isCapture(move))
                return move;
            break;
        }
        case stageGoodQuiets:
        case stageOtherQuiets: {
            const Move move = static_cast<Move>((cur++)->move);
            if (move != ttMove && move != killers[0].move && move != killers[1].move)
                return move;
            break;
        }
        case stageBadCaptures:
            return static_cast<Move>(pickBest()->move);
        case stageEvasions:
        case stageQuiesceCaptures: {
            const Move move = static_cast<Move>(pickBest()->move);
            if (move != ttMove)
                return move;
            break;
        }
        case stageRecaptures: {
            const Move move = static_cast<Move>((cur++)->move);
            if (moveTo(move) == recaptureSquare)
                return move;
            break;
        }
        case stageQuietChecks: {
            const Move move = static_cast<Move>((cur++)->move);
            if (move != ttMove)
                return move;
            break;
        }
        default:
            return NoMove;
        }
    }
}

}  // namespace orvath
