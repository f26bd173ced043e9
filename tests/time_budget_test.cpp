// SPDX-License-Identifier: GPL-3.0-or-later
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

// Each move to come, up to 40 of them, keeps the overhead back from the clock: with one move to go
// the move gets the time less the overhead and the 200 ms reserve, plus the 20 ms share bonus.
TEST(TimeBudget, MoveOverheadIsKeptBackForEveryMoveToCome) {
    struct OverheadExample {
        int32_t time, increment, movesToGo, gamePly, overhead, optimum, maximum;
    };
    const OverheadExample examples[] = {
        {10000, 0, 1, 0, 0, 9820, 9820},          {10000, 0, 1, 0, 1000, 8820, 8820},
        {60000, 0, 0, 0, 0, 1223, 3490},          {60000, 0, 0, 0, 500, 820, 2329},
        {300000, 2000, 0, 20, 1000, 7220, 20784}, {180000, 0, 30, 60, 5000, 1016, 2823},
        {10000, 0, 40, 0, 250, 20, 20},  // 40 moves of 250 ms leave nothing to share
    };
    for (const OverheadExample& e : examples) {
        SearchLimits limits = clockLimits(e.time, e.increment, e.movesToGo);
        limits.moveOverhead = e.overhead;
        const TimeBudget budget = computeTimeBudget(limits, e.gamePly);
        EXPECT_EQ(budget.optimumTime, e.optimum) << "time " << e.time << " overhead " << e.overhead;
        EXPECT_EQ(budget.maximumTime, e.maximum) << "time " << e.time << " overhead " << e.overhead;
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

// Weights summing to zero leave the quotient without a value: the whole time. Weights whose
// quotient is negative give nothing, so a game past move 4000 does not spend its clock at once.
TEST(TimeShare, WeightsAtTheEndOfTheScale) {
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 5000, 1, 8000), 5000);
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 5000, 11, 7990), 5000);  // 10 + (-10)
    EXPECT_EQ(timeShare(TimeShareVariant::Maximum, 5000, 11, 7990), 5000);
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 5000, 10, 8000), 0);
    EXPECT_EQ(timeShare(TimeShareVariant::Maximum, 5000, 50, 7990), 0);
    EXPECT_EQ(timeShare(TimeShareVariant::Optimum, 5000, 12, 7990), 0);
    const TimeBudget late = computeTimeBudget(clockLimits(60000, 0, 10), 8000);
    EXPECT_EQ(late.optimumTime, 20);
    EXPECT_EQ(late.maximumTime, 20);
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

// The planned budget before any guard against the per-move floor: the shares of every
// horizon, each with the floor added, never above the clock.
TimeBudget plannedBudget(const SearchLimits& limits, int gamePly) {
    TimeBudget budget;
    budget.optimumTime = budget.maximumTime = limits.time;
    const int horizon = limits.movesToGo != 0 ? std::min(limits.movesToGo, 50) : 50;
    for (int h = 1; h <= horizon; ++h) {
        const int32_t remaining =
            std::max<int32_t>(limits.time + limits.increment * (h - 1) - 70 * std::min(h, 40) - 200, 0);
        budget.optimumTime =
            std::min(budget.optimumTime, timeShare(TimeShareVariant::Optimum, remaining, h, gamePly) + 20);
        budget.maximumTime =
            std::min(budget.maximumTime, timeShare(TimeShareVariant::Maximum, remaining, h, gamePly) + 20);
    }
    budget.optimumTime = std::min(budget.optimumTime, budget.maximumTime);
    return budget;
}

// The budget is the planned one everywhere but where the floor of 20 ms a move would drain the
// clock: no time control to come, and an increment below the floor or a clock of 100 ms or
// less. There it is capped at an eighth of the clock above 100 ms plus half the increment.
TEST(TimeBudget, PlannedBudgetExceptWhereTheFloorWouldDrainTheClock) {
    int capped = 0;
    for (int32_t time : {1, 50, 100, 101, 150, 270, 500, 1000, 4000, 32000, 60000, 120000, 3600000})
        for (int32_t increment : {0, 10, 19, 20, 100, 200, 1000, 2000, 5000})
            for (int32_t movesToGo : {0, 1, 5, 40})
                for (int gamePly : {0, 40, 121, 400}) {
                    const SearchLimits limits = clockLimits(time, increment, movesToGo);
                    const TimeBudget planned = plannedBudget(limits, gamePly);
                    const TimeBudget budget = computeTimeBudget(limits, gamePly);
                    const bool floorDrains = movesToGo == 0 && (increment < 20 || time <= 100);
                    const int32_t cap = std::max(time - 100, 0) / 8 + increment / 2;
                    const auto expected = [&](int32_t value) { return floorDrains ? std::min(value, cap) : value; };
                    EXPECT_EQ(budget.maximumTime, expected(planned.maximumTime))
                        << time << "+" << increment << " movestogo " << movesToGo << " ply " << gamePly;
                    EXPECT_EQ(budget.optimumTime, expected(planned.optimumTime))
                        << time << "+" << increment << " movestogo " << movesToGo << " ply " << gamePly;
                    capped += budget.maximumTime != planned.maximumTime;
                }
    EXPECT_GT(capped, 0);
    // Ordinary increment games keep the planned maximum (these were once cut by the cap).
    const int32_t plannedMaximum[][3] = {{120000, 5000, 21028}, {60000, 2000, 9015}, {32000, 1000, 4546}, {4000, 200, 646}};
    for (const auto& [time, increment, maximum] : plannedMaximum)
        EXPECT_EQ(computeTimeBudget(clockLimits(time, increment, 0), 0).maximumTime, maximum) << time;
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
