// SPDX-License-Identifier: GPL-3.0-or-later
// The search is deterministic: the bench positions at a fixed depth give a fixed node count.
// A change of this count means the search itself changed.
#include <gtest/gtest.h>

#include "../tools/bench_runner.h"
#include "search/search_tables.h"
#include "test_support.h"

namespace orvath {
namespace {

constexpr int SignatureDepth = 8;
constexpr uint64_t SignatureNodes = 764843;

TEST(BenchSignature, ShallowBenchKeepsItsNodeCount) {
    initTables();
    initSearchTables();
    const uint64_t nodes = bench::runBench(SignatureDepth, 1, [](int, const char*, const bench::PositionResult&) {});
    EXPECT_EQ(nodes, SignatureNodes);
}

}  // namespace
}  // namespace orvath
