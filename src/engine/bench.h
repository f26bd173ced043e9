// SPDX-License-Identifier: GPL-3.0-or-later
// The bench: the fixed positions of bench_positions.h, each searched from a fresh state to a
// fixed depth. Their total node count is the search's signature. The engine runs it when
// started as "orvath64 bench [depth]" (as testing frameworks do), the orvath-bench tool runs
// it with a thread count, and a test guards its count.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "board/board.h"

namespace orvath {

// The depth of "orvath64 bench": one run takes a few seconds on an ordinary processor.
constexpr int CommandLineBenchDepth = 13;

struct BenchResult {
    uint64_t nodes;
    Move bestMove;
};

// One search as right after start-up: a cleared table, default options, no input polling
// and no lines written, on `threads` search threads.
BenchResult searchBenchPosition(Board& board, const char* fen, int depth, int threads);

// Called after each position with its number (from 1), its FEN and its result.
using BenchReport = std::function<void(int index, const char* fen, const BenchResult& result)>;

// The total node count of every bench position at `depth`: with one thread, the signature.
uint64_t runBench(int depth, int threads, const BenchReport& report);

// The line the bench programs print for one position: its number, nodes, best move and FEN.
std::string benchPositionLine(int index, const char* fen, const BenchResult& result);

// What the program's arguments ask for. Only a first argument "bench" means something, and
// then only a depth may follow it; no arguments, or any others, leave the program the UCI
// engine it is without them.
struct ProgramRequest {
    enum class Kind { Protocol, Bench, Usage } kind = Kind::Protocol;
    int benchDepth = CommandLineBenchDepth;
};
ProgramRequest readProgramArguments(int argc, const char* const* argv);

// "orvath64 bench": runs the bench on one thread without reading any input and prints a line
// per position, then "<nodes> nodes <nps> nps" last; returns the exit code. Needs the start-up
// tables and the thread pool.
int runCommandLineBench(int depth);

// Explains the bench argument on standard error; returns the exit code of a usage error.
int reportBenchUsage(const char* program);

}  // namespace orvath
