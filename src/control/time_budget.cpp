// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/time_budget.h"

#include <algorithm>
#include <cmath>

namespace orvath {

namespace {

constexpr int MaxHorizon = 50;
constexpr int PlyWeightBase = 8000;
constexpr int OverheadMoves = 40;  // moves to come for which the overhead is kept back
constexpr int ReserveTime = 200;  // ms never planned
constexpr int ShareBonus = 20;    // ms added to each share
constexpr int SustainableClockShare = 8;
constexpr int ClockReserve = 100;  // ms a short clock keeps for the delays of a loaded machine
constexpr float MaximumStretch = 3.0f;
constexpr float MaximumSteal = 0.33f;

int32_t clampToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

TimeBudget timeBudget;

int32_t timeShare(TimeShareVariant variant, int32_t remaining, int horizon, int gamePly) {
    const int64_t moveWeight = PlyWeightBase - static_cast<int64_t>(gamePly);
    int64_t laterWeight = 0;
    for (int i = 1; i < horizon; ++i)
        laterWeight += PlyWeightBase - static_cast<int64_t>(gamePly) - 2 * i;

    // Past some 4000 moves the weights shrink to zero and below. Where they sum to zero the
    // quotient has no value and the move may take all of the time; where weights of mixed sign
    // make it negative, the move gets nothing.
    const bool maximum = variant == TimeShareVariant::Maximum;
    if (moveWeight + laterWeight == 0 || (maximum && static_cast<int64_t>(MaximumStretch) * moveWeight + laterWeight == 0))
        return remaining;

    const float w = static_cast<float>(moveWeight);
    const float later = static_cast<float>(laterWeight);
    float ratio = w / (w + later);
    if (maximum)
        ratio = std::min(MaximumStretch * w / (MaximumStretch * w + later), (w + MaximumSteal * later) / (w + later));
    ratio = std::max(ratio, 0.0f);
    const float share = std::floor(static_cast<float>(remaining) * ratio);
    if (!(share < 2147483647.0f))
        return INT32_MAX;
    return static_cast<int32_t>(share);
}

TimeBudget computeTimeBudget(const SearchLimits& limits, int gamePly) {
    TimeBudget budget;
    budget.optimumTime = budget.maximumTime = limits.time;
    const int horizon = limits.movesToGo != 0 ? std::min(limits.movesToGo, MaxHorizon) : MaxHorizon;
    for (int h = 1; h <= horizon; ++h) {
        // 32-bit arithmetic as the clock itself keeps it; wrapping, never undefined.
        const uint32_t planned = static_cast<uint32_t>(limits.time) +
                                 static_cast<uint32_t>(limits.increment) * static_cast<uint32_t>(h - 1) -
                                 static_cast<uint32_t>(limits.moveOverhead) *
                                     static_cast<uint32_t>(std::min(h, OverheadMoves)) -
                                 static_cast<uint32_t>(ReserveTime);
        const int32_t remaining = std::max(static_cast<int32_t>(planned), 0);
        budget.optimumTime = clampToInt32(std::min<int64_t>(
            budget.optimumTime, int64_t{timeShare(TimeShareVariant::Optimum, remaining, h, gamePly)} + ShareBonus));
        budget.maximumTime = clampToInt32(std::min<int64_t>(
            budget.maximumTime, int64_t{timeShare(TimeShareVariant::Maximum, remaining, h, gamePly)} + ShareBonus));
    }
    budget.optimumTime = std::min(budget.optimumTime, budget.maximumTime);

    // Without a time control to come, each move's floor of ShareBonus ms outspends an increment
    // smaller than the floor and drains the clock until it falls, and a clock that is nearly
    // gone is lost to the floor whatever the increment. Only there is the clock itself the
    // limit: an eighth of what lies above a small reserve, plus half the increment, so that a
    // short clock settles above the reserve instead of running out. Everywhere else the
    // budget is the planned one, untouched.
    const bool floorOutspendsClock = limits.increment < ShareBonus || limits.time <= ClockReserve;
    if (limits.movesToGo == 0 && limits.time > 0 && floorOutspendsClock) {
        const int64_t aboveReserve = std::max<int64_t>(int64_t{limits.time} - ClockReserve, 0);
        const int64_t sustainable = aboveReserve / SustainableClockShare + std::max(limits.increment, 0) / 2;
        budget.optimumTime = clampToInt32(std::min<int64_t>(budget.optimumTime, sustainable));
        budget.maximumTime = clampToInt32(std::min<int64_t>(budget.maximumTime, sustainable));
    }
    return budget;
}

void initTimeBudget(const SearchLimits& limits, int gamePly) { timeBudget = computeTimeBudget(limits, gamePly); }

}  // namespace orvath
