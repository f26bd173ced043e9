// SPDX-License-Identifier: GPL-3.0-or-later
// Shared set-up of the fuzz targets: the start-up tables, standard streams that keep a search
// from blocking on input or flooding the terminal with its output, and the shared checks.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "board/bitboard.h"
#include "board/keys.h"
#include "search/search_tables.h"
#include "uci/options.h"

namespace orvath::fuzz {

// Stops the run with a message: libFuzzer keeps the input that got here as a finding.
[[noreturn]] inline void fail(std::string_view what) {
    std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

inline void check(bool condition, std::string_view what) {
    if (!condition)
        fail(what);
}

// Standard input becomes a pipe that stays open and empty, so the search poll always finds
// nothing waiting and never blocks; standard output goes nowhere.
inline void quietStandardStreams() {
    int ends[2];
    if (::pipe(ends) != 0 || ::dup2(ends[0], STDIN_FILENO) < 0)
        fail("cannot replace standard input");
    ::close(ends[0]);  // the write end stays open for the whole run: no end of input
    const int nowhere = ::open("/dev/null", O_WRONLY);
    if (nowhere < 0 || ::dup2(nowhere, STDOUT_FILENO) < 0)
        fail("cannot replace standard output");
    ::close(nowhere);
}

// Whatever the input set, every option holds a value of its range.
inline void checkOptions() {
    const int32_t hash = engineOption(HashOptionName).numericValue();
    const int32_t lines = engineOption(MultiPvOptionName).numericValue();
    const std::string& clear = engineOption(ClearHashOptionName).currentValue;
    check(hash >= 4 && hash <= 2048, "Hash option out of range");
    check(lines >= 1 && lines <= 500, "MultiPV option out of range");
    check(clear == "true" || clear == "false", "Clear Hash option neither true nor false");
}

inline void initStartUpTables() {
    initAttackTables();
    initHashesAndScores();
    initSearchTables();
}

}  // namespace orvath::fuzz
