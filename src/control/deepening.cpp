// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/deepening.h"

#include <algorithm>
#include <cstdlib>

#include "control/search_poll.h"
#include "control/thread_pool.h"
#include "control/time_budget.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "search/history.h"
#include "search/quiet_gain.h"
#include "search/root_list.h"
#include "search/root_search.h"
#include "search/search_context.h"
#include "search/search_signals.h"
#include "uci/output.h"

namespace orvath {

namespace {

constexpr int AspirationStartDepth = 5;
constexpr int MinAspirationWidth = 16;
constexpr int MaxAspirationWidth = 24;
constexpr int AspirationGranularity = 8;
constexpr int EasyMoveMargin = 512;
constexpr int EasyMoveDepth = 7;
// An easy move ends the search once the best move has taken more than a share (in hundredths)
// of the nodes and a part of the budget has passed: the larger the share, the smaller the part.
constexpr int EasyMoveNodeShare = 85;
constexpr int EasyMoveTimeDivisor = 16;
constexpr int EasyMoveLargerNodeShare = 98;
constexpr int EasyMoveSmallerTimeDivisor = 32;
constexpr int NewIterationShare = 62;  // hundredths of the budget after which no iteration starts
constexpr int InstabilityFirstDepth = 5;
constexpr int InstabilityLastDepth = 49;
constexpr int ReportDelay = 2000;  // ms; before it only exact results are reported

int aspirationWidth(const int* values, int depth) {
    int width = std::abs(values[depth - 1] - values[depth - 2]) + std::abs(values[depth - 2] - values[depth - 3]) / 2;
    width = std::clamp(width, MinAspirationWidth, MaxAspirationWidth);
    return (width + AspirationGranularity - 1) / AspirationGranularity * AspirationGranularity;
}

// One "info" line per reported variation; lines not yet searched at this depth show the
// previous iteration's depth and score.
void reportLines(SearchContext& ctx, int depth, int alpha, int beta) {
    const int lines = std::min<int>(ctx.multiPvCount, static_cast<int>(ctx.rootList.size()));
    const int64_t nodes = static_cast<int64_t>(nodesOfAllThreads(ctx));
    ctx.reportedNodes = nodes;
    for (int i = 0; i < lines; ++i) {
        const bool updated = i <= ctx.pvIndex;
        if (depth == 1 && !updated)
            continue;
        const RootEntry& entry = ctx.rootList[i];
        const int elapsed = platform::millisecondsSince(searchStartTime);
        // Only the line being searched carries its window, so only it can show a bound word.
        const bool searchedLine = i == ctx.pvIndex;
        writePvLine({.index = i + 1,
                     .depth = OnePly * (updated ? depth : depth - 1),
                     .elapsed = elapsed,
                     .score = updated ? entry.score : entry.previousScore,
                     .alpha = searchedLine ? alpha : -InfiniteScore,
                     .beta = searchedLine ? beta : InfiniteScore,
                     .nodes = nodes,
                     .pv = entry.pv.data()});
    }
}

// The time rules between iterations; they set the stop flag when the search should end. The
// easy-move rule weighs the best move's nodes against this thread's own, which are the nodes
// its root entries count.
void applyTimeRules(const SearchContext& ctx, int depth, Move bestMove, Move easyMove, const int* changes) {
    // From the search start, or from "ponderhit": the time pondered is not spent.
    const int64_t elapsed = platform::millisecondsSince(timeBudget.measuredFrom);
    const int64_t optimum = timeBudget.optimumTime;
    const int64_t budget = optimum + timeBudget.extraTime;

    if (depth >= EasyMoveDepth && easyMove == bestMove) {
        const int64_t nodes = static_cast<int64_t>(ctx.board.nodeCount);
        const int64_t bestNodes = ctx.rootList[0].nodes;
        if (ctx.rootList.size() == 1 ||
            (bestNodes > nodes * EasyMoveNodeShare / 100 && elapsed > budget / EasyMoveTimeDivisor) ||
            (bestNodes > nodes * EasyMoveLargerNodeShare / 100 && elapsed > budget / EasyMoveSmallerTimeDivisor))
            searchSignals.stop = true;
    }
    if (depth >= InstabilityFirstDepth && depth <= InstabilityLastDepth) {
        const int64_t extra = changes[depth] * (optimum / 2) + changes[depth - 1] * (optimum / 3);
        timeBudget.extraTime = static_cast<int32_t>(std::clamp<int64_t>(extra, INT32_MIN, INT32_MAX));
    }
    if (elapsed > (optimum + timeBudget.extraTime) * NewIterationShare / 100)
        searchSignals.stop = true;
}

// The limits checked after each finished iteration: the node count, and a mate proven within
// the moves asked for. The root is ply 1, so a mate in n moves scores MateScore - 2n or more;
// the bound is taken in 64 bits, so that no limit overflows it.
bool limitReached(SearchContext& ctx) {
    if (searchLimits.nodes > 0 && nodesSearched(ctx) >= searchLimits.nodes)
        return true;
    const int score = ctx.rootList[0].score;
    return searchLimits.mate > 0 && score >= MateThreshold &&
           score >= int64_t{MateScore} - 2 * int64_t{searchLimits.mate};
}

// When a node limit ends the search, the client learns how many nodes it took: the lines of the
// last finished iteration once more, unless they already showed the final count.
void reportFinalNodes(SearchContext& ctx) {
    if (searchLimits.nodes <= 0 || ctx.completedDepth == 0 ||
        static_cast<int64_t>(nodesOfAllThreads(ctx)) == ctx.reportedNodes)
        return;
    ctx.pvIndex = std::min<int>(ctx.multiPvCount, static_cast<int>(ctx.rootList.size())) - 1;
    reportLines(ctx, ctx.completedDepth, -InfiniteScore, InfiniteScore);
}

// A thread's own set-up before its first iteration: fresh ordering tables and root list.
SearchFrame* prepareThreadSearch(SearchContext& ctx) {
    SearchFrame* root = ctx.stack.prepareRoot();
    clearHistory(ctx.history);
    clearQuietGain(ctx.quietGain);
    buildRootList(ctx);
    return root;
}

// One iteration: for each line in turn, root searches in a widening aspiration window until
// the result falls inside it, is decisive, or the search is stopped. Returns the last result.
// Only the main thread reports its lines.
int searchIteration(SearchContext& ctx, SearchFrame* root, int depth, const int* values, int& width) {
    const bool reports = ctx.threadIndex() == 0;
    for (RootEntry& entry : ctx.rootList)
        entry.previousScore = entry.score;
    ctx.bestMoveChanges = 0;

    int result = 0;
    const int lines = std::min<int>(ctx.multiPvCount, static_cast<int>(ctx.rootList.size()));
    for (ctx.pvIndex = 0; ctx.pvIndex < lines; ++ctx.pvIndex) {
        int alpha = -InfiniteScore;
        int beta = InfiniteScore;
        const int previous = ctx.rootList[ctx.pvIndex].previousScore;
        if (depth >= AspirationStartDepth && std::abs(previous) < BigWinScore) {
            width = aspirationWidth(values, depth);
            alpha = std::max(previous - width, -InfiniteScore);
            beta = std::min(previous + width, InfiniteScore);
        }
        do {
            result = searchRoot(ctx, root, alpha, beta, OnePly * depth);
            sortRootEntries(ctx.rootList.begin() + ctx.pvIndex, ctx.rootList.end());
            for (int i = 0; i <= ctx.pvIndex; ++i)
                insertPvIntoHash(ctx.rootList[i], ctx.board);
            if (stopRequested())
                break;
            if (reports && ((alpha < result && result < beta) ||
                            platform::millisecondsSince(searchStartTime) > ReportDelay))
                reportLines(ctx, depth, alpha, beta);
            if (result >= beta) {
                beta = std::min(beta + width, InfiniteScore);
            } else if (result <= alpha) {
                ctx.failedLow = true;
                alpha = std::max(alpha - width, -InfiniteScore);
            } else {
                break;
            }
            width += width / 2;
        } while (std::abs(result) < BigWinScore);
    }
    return result;
}

}  // namespace

Move iterativeDeepening(SearchContext& ctx) {
    hashTable.advanceGeneration();
    SearchFrame* root = prepareThreadSearch(ctx);
    if (ctx.rootList.empty())
        return NoMove;
    // Under a node limit the helpers wait for the first iteration, which always completes: their
    // nodes meanwhile would count against the limit before the main thread may check it.
    const bool helpersAfterFirstIteration = searchLimits.nodes > 0;
    if (!helpersAfterFirstIteration)
        startHelpers();

    int values[MaxIterations + 1] = {};
    int changes[MaxIterations + 1] = {};
    int width = 0;
    Move easyMove = NoMove;

    for (int depth = 1; depth <= MaxIterations; ++depth) {
        if (searchLimits.depth != 0 && depth > searchLimits.depth)
            break;
        values[depth] = searchIteration(ctx, root, depth, values, width);
        const Move bestMove = ctx.rootList[0].move();
        changes[depth] = ctx.bestMoveChanges;
        if (depth == 1 &&
            (ctx.rootList.size() == 1 || ctx.rootList[0].score > ctx.rootList[1].score + EasyMoveMargin))
            easyMove = bestMove;
        else if (easyMove != bestMove)
            easyMove = NoMove;

        if (stopRequested()) {
            reportFinalNodes(ctx);
            break;
        }
        ctx.completedDepth = depth;
        if (limitReached(ctx)) {
            searchSignals.stop = true;
            reportFinalNodes(ctx);
            break;
        }
        if (depth == 1 && helpersAfterFirstIteration)
            startHelpers();
        if (!budgetApplies(searchLimits))
            continue;
        applyTimeRules(ctx, depth, bestMove, easyMove, changes);
        if (stopRequested())
            break;
    }
    return ctx.rootList[0].move();
}

void helperDeepening(SearchContext& ctx) {
    SearchFrame* root = prepareThreadSearch(ctx);
    if (ctx.rootList.empty())
        return;
    int values[MaxIterations + 1] = {};
    int width = 0;
    // Every other helper starts a depth ahead, so that the threads do not all finish the same
    // iterations at the same moment and their table entries come from more depths.
    for (int depth = 1 + ctx.threadIndex() % 2; depth <= MaxIterations; ++depth) {
        if (searchLimits.depth != 0 && depth > searchLimits.depth)
            break;
        values[depth] = searchIteration(ctx, root, depth, values, width);
        if (stopRequested())
            break;
    }
}

}  // namespace orvath
