#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "control/search_poll.h"
#include "control/time_budget.h"

namespace orvath {
namespace {

SearchLimits clockLimits(int32_t time, int32_t increment, int32_t movesToGo) {
    SearchLimits limits;
    limits.time = time;
    limits.increment = increment;
    limits.movesToGo = movesToGo;
    return limits;
}

struct BudgetExample {
    int32_t time, increment, movesToGo, gamePly, optimum, maximum;
};

TEST(TimeBudget, ExampleTable) {
    const BudgetExample examples[] = {
        {60000, 0, 0, 0, 1167, 3327}, {300000, 2000, 0, 20, 7968, 22943}, {180000, 0, 30, 60, 5965, 16736},
        {10000, 0, 40, 0, 195, 522},  {10000, 0, 1, 0, 9750, 9750},       {1000, 0, 0, 0, 20, 20},
        {0, 0, 0, 0, 0, 0},
    };
    for (const BudgetExample& e : examples) {
        const TimeBudget budget = computeTimeBudget(clockLimits(e.time, e.increment, e.movesToGo), e.gamePly);
        EXPECT_EQ(budget.optimumTime, e.optimum) << "time " << e.time << " ply " << e.gamePly;
        EXPECT_EQ(budget.maximumTime, e.maximum) << "time " << e.time << " ply " << e.gamePly;
        EXPECT_EQ(budget.extraTime, 0);
    }
}

TEST(TimeBudget, NegativeMovesToGoLeavesTheWholeTime) {
    for (int32_t movesToGo : {-1, -40, INT32_MIN}) {
        const TimeBudget budget = computeTimeBudget(clockLimits(60000, 1000, movesToGo), 10);
        EXPECT_EQ(budget.optimumTime, 60000) << movesToGo;
        EXPECT_EQ(budget.maximumTime, 60000) << movesToGo;
    }
}

TEST(TimeBudget, MovesToGoAboveFiftyActsLikeNone) {
    const TimeBudget capped = computeTimeBudget(clockLimits(60000, 0, 1000), 0);
    const TimeBudget none = computeTimeBudget(clockLimits(60000, 0, 0), 0);
    EXPECT_EQ(capped.optimumTime, none.optimumTime);
    EXPECT_EQ(capped.maximumTime, none.maximumTime);
}

TEST(TimeBudget, InitResetsExtraTimeAndPublishes) {
    timeBudget.extraTime = 12345;
    initTimeBudget(clockLimits(60000, 0, 0), 0);
    EXPECT_EQ(timeBudget.optimumTime, 1167);
    EXPECT_EQ(timeBudget.maximumTime, 3327);
    EXPECT_EQ(timeBudget.extraTime, 0);
}

// The planned times are 32-bit: a clock and increment near the limit wrap the later horizons'
// sums below zero, which count as no time left. Runs clean under the overflow sanitizer.
TEST(TimeBudget, HugeClockValuesWrapWithoutOverflow) {
    const TimeBudget budget = computeTimeBudget(clockLimits(INT32_MAX, INT32_MAX, 0), 0);
    EXPECT_EQ(budget.optimumTime, 20);
    EXPECT_EQ(budget.maximumTime, 20);
    // One move to go: the whole time less 270 ms, rounded to single precision, plus 20.
    const TimeBudget single = computeTimeBudget(clockLimits(INT32_MAX, 0, 1), 0);
    EXPECT_EQ(single.maximumTime, 2147483412);
    EXPECT_EQ(single.optimumTime, 2147483412);
}

TEST(TimeShare, OneMoveTakesAllOfIt) {
    for (int32_t remaining : {0, 1, 730, 59730, 16777216}) {
        EXPECT_EQ(timeShare(TimeShareVariant::Optimum, remaining, 1, 0), remaining);
        EXPECT_EQ(timeShare(TimeShareVariant::Maximum, remaining, 1, 37), remaining);
    }
    // The time itself becomes a single-precision number first.
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 16777217, 1, 0), 16777216);
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 2147483377, 1, 0), 2147483392);
}

TEST(TimeShare, TwoMoves) {
    // w = 8000, W = 7998: the optimum takes about half, the maximum the 0.33 steal quotient.
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 1000, 2, 0), 500);
    EXPECT_EQ(timeShare(TimeShareVariant::Maximum, 1000, 2, 0), 665);
}

// Exact arithmetic gives one less in these cases: the quotients are rounded to single precision.
TEST(TimeShare, ComputedInSinglePrecision) {
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 15994, 2, 0), 7998);
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 23995, 2, 0), 11999);
    EXPECT_EQ(timeShare(TimeShareVariant::Maximum, 6565, 2, 0), 4366);
}

TEST(TimeShare, ShareFallsWithTheHorizonAndStaysWithinTheTime) {
    for (auto variant : {TimeShareVariant::Optimum, TimeShareVariant::Maximum}) {
        int32_t previous = INT32_MAX;
        for (int horizon = 1; horizon <= 50; ++horizon) {
            const int32_t share = timeShare(variant, 100000, horizon, 30);
            EXPECT_LE(share, previous) << horizon;
            EXPECT_GE(share, 0);
            previous = share;
        }
    }
    for (int horizon = 1; horizon <= 50; ++horizon)
        EXPECT_LE(timeShare(TimeShareVariant::Optimum, 100000, horizon, 30),
                  timeShare(TimeShareVariant::Maximum, 100000, horizon, 30));
}

TEST(TimeShare, NoPlyWeightLeftGivesTheWholeTime) {
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 5000, 10, 8000), 5000);
    EXPECT_EQ(timeShare(TimeShareVariant::Maximum, 5000, 50, 7990), 5000);
}

// Ply weights far below zero must not overflow (the sanitizer run checks it).
TEST(TimeShare, HugeGamePlyStaysWithinTheTime) {
    for (auto variant : {TimeShareVariant::Optimum, TimeShareVariant::Maximum}) {
        const int32_t share = timeShare(variant, 5000, 50, INT32_MAX);
        EXPECT_GE(share, 0);
        EXPECT_LE(share, 5000);
    }
}

TEST(PollInterval, ShrinksWithLittleTimeLeft) {
    const int32_t expected[][2] = {{0, 30000},   {1, 1000},    {800, 1000},   {999, 1000},    {1000, 5000},
                                   {3000, 5000}, {4999, 5000}, {5000, 30000}, {10000, 30000}, {-5, 1000}};
    for (const auto& [time, interval] : expected) {
        SearchLimits limits;
        limits.time = time;
        EXPECT_EQ(pollIntervalFor(limits), interval) << "time " << time;
    }
}

// A short clock with a small increment must not be drained by the per-move floor.
TEST(TimeBudget, ShortClockWithoutTimeControlIsNeverOutspent) {
    for (int32_t time = 1; time <= 3000; ++time) {
        const TimeBudget budget = computeTimeBudget(clockLimits(time, 10, 0), 80);
        EXPECT_LE(budget.maximumTime, std::max(time - 100, 0) / 8 + 5) << time;
        EXPECT_LE(budget.optimumTime, budget.maximumTime) << time;
    }
    EXPECT_EQ(computeTimeBudget(clockLimits(180, 10, 0), 0).maximumTime, 15);
    EXPECT_EQ(computeTimeBudget(clockLimits(15, 10, 0), 0).maximumTime, 5);
    // With a time control to come the clock is replenished: the last move may take it all.
    EXPECT_EQ(computeTimeBudget(clockLimits(10000, 0, 1), 0).maximumTime, 9750);
}

}  // namespace
}  // namespace orvath
