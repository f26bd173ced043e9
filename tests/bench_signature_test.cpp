// SPDX-License-Identifier: GPL-3.0-or-later
// The search is deterministic: the bench positions at a fixed depth give a fixed node count.
// A change of this count means the search itself changed.
#include <gtest/gtest.h>

#include <vector>

#include "engine/bench.h"
#include "search/search_tables.h"
#include "test_support.h"

namespace orvath {
namespace {

constexpr int SignatureDepth = 8;
constexpr uint64_t SignatureNodes = 764843;

TEST(BenchSignature, ShallowBenchKeepsItsNodeCount) {
    initTables();
    initSearchTables();
    const uint64_t nodes = runBench(SignatureDepth, 1, [](int, const char*, const BenchResult&) {});
    EXPECT_EQ(nodes, SignatureNodes);
}

// "bench" first, with a depth or without, asks for the bench; a malformed bench request is a
// usage error; every other argument list leaves the program the UCI engine.
TEST(BenchCommand, OnlyABenchArgumentChangesWhatTheProgramDoes) {
    using Kind = ProgramRequest::Kind;
    struct Case {
        std::vector<const char*> arguments;
        Kind kind;
        int depth;
    };
    const Case cases[] = {
        {{}, Kind::Protocol, 0},
        {{"uci"}, Kind::Protocol, 0},
        {{"Bench"}, Kind::Protocol, 0},
        {{"--bench", "5"}, Kind::Protocol, 0},
        {{"bench"}, Kind::Bench, CommandLineBenchDepth},
        {{"bench", "16"}, Kind::Bench, 16},
        {{"bench", "1"}, Kind::Bench, 1},
        {{"bench", "0"}, Kind::Usage, 0},
        {{"bench", "101"}, Kind::Usage, 0},
        {{"bench", "12x"}, Kind::Usage, 0},
        {{"bench", "-3"}, Kind::Usage, 0},
        {{"bench", "13", "1"}, Kind::Usage, 0},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"orvath64"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        const ProgramRequest request = readProgramArguments(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(request.kind, c.kind) << argv.size() << " arguments, the last " << argv.back();
        if (c.kind == Kind::Bench) {
            EXPECT_EQ(request.benchDepth, c.depth) << argv.back();
        }
    }
}

}  // namespace
}  // namespace orvath
