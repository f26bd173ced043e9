// SPDX-License-Identifier: GPL-3.0-or-later
// orvath-bench [depth [threads]]: searches the fixed bench positions, each from a fresh state, to
// a fixed depth, and prints the total node count (the search's signature, with one thread) and
// the speed.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "board/bitboard.h"
#include "board/keys.h"
#include "control/deepening.h"
#include "control/thread_pool.h"
#include "engine/bench.h"
#include "search/search_tables.h"

namespace {
constexpr int DefaultDepth = 16;
}

int main(int argc, char** argv) {
    using namespace orvath;
    int depth = DefaultDepth;
    int threads = 1;
    const auto readArgument = [&](int index, int& value, int maximum) {
        const char* end = argv[index] + std::strlen(argv[index]);
        return std::from_chars(argv[index], end, value).ptr == end && value >= 1 && value <= maximum;
    };
    if ((argc > 1 && !readArgument(1, depth, MaxIterations)) || (argc > 2 && !readArgument(2, threads, ThreadSlots)) ||
        argc > 3) {
        std::fprintf(stderr, "usage: orvath-bench [depth [threads 1..%d]]\n", ThreadSlots);
        return 2;
    }
    initAttackTables();
    initHashesAndScores();
    initSearchTables();
    initThreadPool();

    const auto start = std::chrono::steady_clock::now();
    const uint64_t nodes = runBench(depth, threads, [](int index, const char* fen, const BenchResult& result) {
        std::printf("%s\n", benchPositionLine(index, fen, result).c_str());
    });
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
    std::printf("nodes %llu time_ms %lld nps %llu\n", static_cast<unsigned long long>(nodes), ms,
                static_cast<unsigned long long>(ms > 0 ? nodes * 1000 / static_cast<uint64_t>(ms) : 0));
    exitThreadPool();
    return 0;
}
