// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/deepening.h"

#include <algorithm>
#include <cstdlib>

#include "control/time_budget.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "search/history.h"
#include "search/quiet_gain.h"
#include "search/root_list.h"
#include "search/root_search.h"
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
void reportLines(const Board& board, int depth, int alpha, int beta) {
    const int lines = std::min<int>(multiPvCount, static_cast<int>(rootList.size()));
    for (int i = 0; i < lines; ++i) {
        const bool updated = i <= pvIndex;
        if (depth == 1 && !updated)
            continue;
        const RootEntry& entry = rootList[i];
        const int elapsed = platform::millisecondsSince(searchStartTime);
        // Only the line being searched carries its window, so only it can show a bound word.
        const bool searchedLine = i == pvIndex;
        writePvLine({.index = i + 1,
                     .depth = OnePly * (updated ? depth : depth - 1),
                     .elapsed = elapsed,
                     .score = updated ? entry.score : entry.previousScore,
                     .alpha = searchedLine ? alpha : -InfiniteScore,
                     .beta = searchedLine ? beta : InfiniteScore,
                     .nodes = static_cast<int64_t>(board.nodeCount),
                     .pv = entry.pv.data()});
    }
}

// The time rules between iterations; they set the stop flag when the search should end.
void applyTimeRules(const Board& board, int depth, Move bestMove, Move easyMove, const int* changes) {
    const int64_t elapsed = platform::millisecondsSince(searchStartTime);
    const int64_t optimum = timeBudget.optimumTime;
    const int64_t budget = optimum + timeBudget.extraTime;

    if (depth >= EasyMoveDepth && easyMove == bestMove) {
        const int64_t nodes = static_cast<int64_t>(board.nodeCount);
        const int64_t bestNodes = rootList[0].nodes;
        if (rootList.size() == 1 ||
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

}  // namespace

Move iterativeDeepening(Board& board) {
    SearchStack stack;
    SearchFrame* root = stack.prepareRoot();
    hashTable.advanceGeneration();
    clearHistory();
    clearQuietGain();
    buildRootList(board);
    if (rootList.empty())
        return NoMove;

    int values[MaxIterations + 1] = {};
    int changes[MaxIterations + 1] = {};
    int width = 0;
    Move easyMove = NoMove;

    for (int depth = 1; depth <= MaxIterations; ++depth) {
        if (searchLimits.depth != 0 && depth > searchLimits.depth)
            break;
        for (RootEntry& entry : rootList)
            entry.previousScore = entry.score;
        bestMoveChanges = 0;

        int result = 0;
        const int lines = std::min<int>(multiPvCount, static_cast<int>(rootList.size()));
        for (pvIndex = 0; pvIndex < lines; ++pvIndex) {
            int alpha = -InfiniteScore;
            int beta = InfiniteScore;
            const int previous = rootList[pvIndex].previousScore;
            if (depth >= AspirationStartDepth && std::abs(previous) < BigWinScore) {
                width = aspirationWidth(values, depth);
                alpha = std::max(previous - width, -InfiniteScore);
                beta = std::min(previous + width, InfiniteScore);
            }
            do {
                result = searchRoot(board, root, alpha, beta, OnePly * depth);
                sortRootEntries(rootList.begin() + pvIndex, rootList.end());
                for (int i = 0; i <= pvIndex; ++i)
                    insertPvIntoHash(rootList[i], board);
                if (searchSignals.stop)
                    break;
                if ((alpha < result && result < beta) ||
                    platform::millisecondsSince(searchStartTime) > ReportDelay)
                    reportLines(board, depth, alpha, beta);
                if (result >= beta) {
                    beta = std::min(beta + width, InfiniteScore);
                } else if (result <= alpha) {
                    searchSignals.failedLow = true;
                    alpha = std::max(alpha - width, -InfiniteScore);
                } else {
                    break;
                }
                width += width / 2;
            } while (std::abs(result) < BigWinScore);
        }

        values[depth] = result;
        const Move bestMove = rootList[0].move();
        changes[depth] = bestMoveChanges;
        if (depth == 1 && (rootList.size() == 1 || rootList[0].score > rootList[1].score + EasyMoveMargin))
            easyMove = bestMove;
        else if (easyMove != bestMove)
            easyMove = NoMove;

        if (searchSignals.stop)
            break;
        if (searchLimits.moveTime || searchLimits.depth || searchLimits.infinite)
            continue;
        applyTimeRules(board, depth, bestMove, easyMove, changes);
        if (searchSignals.stop)
            break;
    }
    return rootList[0].move();
}

}  // namespace orvath
