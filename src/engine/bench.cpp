// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/bench.h"

#include <charconv>
#include <cstdio>
#include <string_view>

#include "control/deepening.h"
#include "control/go.h"
#include "control/thread_pool.h"
#include "engine/bench_positions.h"
#include "platform/platform.h"
#include "search/hash_table.h"
#include "search/search_signals.h"
#include "uci/move_text.h"
#include "uci/options.h"
#include "uci/output.h"

namespace orvath {

BenchResult searchBenchPosition(Board& board, const char* fen, int depth, int threads) {
    board.setFromFen(fen);
    resetOptionsToDefaults();
    hashTable.resize(engineOption(HashOptionName).numericValue());
    hashTable.clear();
    SearchLimits limits;
    limits.depth = depth;
    resetSearchState(limits, board.gamePly, nullptr);
    const MutedOutput muted;
    const Move bestMove = runSearch(board, threads, engineOption(MultiPvOptionName).numericValue());
    return {nodesOfAllThreads(mainSearchContext()), bestMove};
}

uint64_t runBench(int depth, int threads, const BenchReport& report) {
    Board board;
    uint64_t total = 0;
    int index = 0;
    for (const char* fen : BenchPositions) {
        const BenchResult result = searchBenchPosition(board, fen, depth, threads);
        total += result.nodes;
        report(++index, fen, result);
    }
    return total;
}

std::string benchPositionLine(int index, const char* fen, const BenchResult& result) {
    return "position " + std::to_string(index) + " nodes " + std::to_string(result.nodes) + " bestmove " +
           moveToText(result.bestMove) + " fen " + fen;
}

ProgramRequest readProgramArguments(int argc, const char* const* argv) {
    ProgramRequest request;
    if (argc < 2 || std::string_view(argv[1]) != "bench")
        return request;
    request.kind = ProgramRequest::Kind::Bench;
    if (argc == 2)
        return request;
    const std::string_view depth(argv[2]);
    const auto [end, error] = std::from_chars(depth.data(), depth.data() + depth.size(), request.benchDepth);
    if (argc > 3 || error != std::errc() || end != depth.data() + depth.size() || request.benchDepth < 1 ||
        request.benchDepth > MaxIterations)
        request.kind = ProgramRequest::Kind::Usage;
    return request;
}

// Testing frameworks read the bench from the bottom up, taking the first number beside "nodes"
// and the first beside "nps" they meet: the last line holds both and no other number, and the
// time stands on the line before it.
int runCommandLineBench(int depth) {
    const int32_t start = platform::nowMs();
    const uint64_t nodes = runBench(depth, 1, [](int index, const char* fen, const BenchResult& result) {
        writeLine(benchPositionLine(index, fen, result));
    });
    const int32_t elapsed = platform::millisecondsSince(start);
    const uint64_t nodesPerSecond = elapsed > 0 ? nodes * 1000 / static_cast<uint64_t>(elapsed) : 0;
    writeLine("bench depth " + std::to_string(depth) + " time " + std::to_string(elapsed) + " ms");
    writeLine(std::to_string(nodes) + " nodes " + std::to_string(nodesPerSecond) + " nps");
    return 0;
}

int reportBenchUsage(const char* program) {
    std::fprintf(stderr, "usage: %s [bench [depth 1..%d]]\n", program, MaxIterations);
    return 2;
}

}  // namespace orvath
