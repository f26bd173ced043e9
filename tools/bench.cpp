// orvath-bench [depth]: searches the fixed bench positions, each from a fresh state, to a fixed
// depth, and prints the total node count (the search's signature) and the speed.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

#include "bench_positions.h"
#include "board/board.h"
#include "board/keys.h"
#include "control/deepening.h"
#include "control/thread_pool.h"
#include "control/time_budget.h"
#include "engine/move_text.h"
#include "engine/options.h"
#include "engine/output.h"
#include "engine/position_command.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "search/root_list.h"
#include "search/search_signals.h"
#include "search/search_tables.h"

namespace {

constexpr int DefaultDepth = 13;

using namespace orvath;

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

private:
    int saved;
};

// One search as right after start-up: cleared table, default options, no input polling.
uint64_t benchPosition(Board& board, const char* fen, int depth, Move& bestMove) {
    board.setFromFen(fen);
    resetOptionsToDefaults();
    hashTable.resize(engineOption(HashOptionName).numericValue());
    hashTable.clear();
    searchSignals = SearchSignals{};
    searchLimits = SearchLimits{};
    searchLimits.depth = depth;
    multiPvCount = engineOption(MultiPvOptionName).numericValue();
    pollFunction = nullptr;
    searchStartTime = platform::nowMs();
    initTimeBudget(searchLimits, board.gamePly);
    SilencedOutput silenced;
    bestMove = iterativeDeepening(board);
    return board.nodeCount;
}

}  // namespace

int main(int argc, char** argv) {
    int depth = DefaultDepth;
    if (argc > 1) {
        const char* end = argv[1] + std::strlen(argv[1]);
        if (std::from_chars(argv[1], end, depth).ptr != end || depth < 1) {
            std::fprintf(stderr, "usage: orvath-bench [depth]\n");
            return 2;
        }
    }
    initAttackTables();
    initHashesAndScores();
    initSearchTables();
    initThreadPool();

    Board board;
    uint64_t totalNodes = 0;
    const auto start = std::chrono::steady_clock::now();
    int index = 0;
    for (const char* fen : BenchPositions) {
        Move bestMove = NoMove;
        const uint64_t nodes = benchPosition(board, fen, depth, bestMove);
        totalNodes += nodes;
        std::printf("position %d nodes %llu bestmove %s fen %s\n", ++index, static_cast<unsigned long long>(nodes),
                    moveToText(bestMove).c_str(), fen);
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    const long long ms = elapsed.count();
    std::printf("nodes %llu time_ms %lld nps %llu\n", static_cast<unsigned long long>(totalNodes), ms,
                static_cast<unsigned long long>(ms > 0 ? totalNodes * 1000 / static_cast<uint64_t>(ms) : 0));
    exitThreadPool();
    return 0;
}
