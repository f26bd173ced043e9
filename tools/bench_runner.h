// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the bench positions, each from a fresh state, to a fixed depth. Shared by the bench
// program and the test that guards the search's node signature.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "bench_positions.h"
#include "board/board.h"
#include "control/deepening.h"
#include "control/go.h"
#include "search/hash_table.h"
#include "control/thread_pool.h"
#include "search/search_signals.h"
#include "uci/options.h"

namespace orvath::bench {

// The searches write their "info" lines to standard output; the bench shows only its own.
class SilencedOutput {
public:
    SilencedOutput() : saved(dup(STDOUT_FILENO)) {
        std::fflush(stdout);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~SilencedOutput() {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    SilencedOutput(const SilencedOutput&) = delete;
    SilencedOutput& operator=(const SilencedOutput&) = delete;

private:
    int saved;
};

struct PositionResult {
    uint64_t nodes;
    Move bestMove;
};

// One search as right after start-up: cleared table, default options, no input polling, on
// `threads` search threads.
inline PositionResult searchPosition(Board& board, const char* fen, int depth, int threads = 1) {
    board.setFromFen(fen);
    resetOptionsToDefaults();
    hashTable.resize(engineOption(HashOptionName).numericValue());
    hashTable.clear();
    SearchLimits limits;
    limits.depth = depth;
    resetSearchState(limits, board.gamePly, nullptr);
    SilencedOutput silenced;
    const Move bestMove = runSearch(board, threads, engineOption(MultiPvOptionName).numericValue());
    return {nodesOfAllThreads(mainSearchContext()), bestMove};
}

// The total node count of every bench position at `depth`: the search's signature.
template <typename Report>
uint64_t runBench(int depth, int threads, Report&& report) {
    Board board;
    uint64_t total = 0;
    int index = 0;
    for (const char* fen : BenchPositions) {
        const PositionResult result = searchPosition(board, fen, depth, threads);
        total += result.nodes;
        report(++index, fen, result);
    }
    return total;
}

}  // namespace orvath::bench
