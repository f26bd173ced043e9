// SPDX-License-Identifier: GPL-3.0-or-later
// The search poll: what the main thread's searches do every few thousand nodes. It reads a
// waiting command ("stop", "quit"; any other line is consumed) and applies the time limits.
// Also the wait for "stop" that follows an infinite search.
#include "control/search_poll.h"

#include <string>

#include "control/time_budget.h"
#include "platform/platform.h"
#include "uci/output.h"

namespace orvath {

namespace {

constexpr int32_t ShortTimeLimit = 1000;
constexpr int32_t MediumTimeLimit = 5000;
constexpr int32_t ShortTimeInterval = 1000;
constexpr int32_t MediumTimeInterval = 5000;
constexpr int32_t LongTimeInterval = 30000;

}  // namespace

int32_t pollIntervalFor(const SearchLimits& limits) {
    if (limits.time == 0)
        return LongTimeInterval;
    if (limits.time < ShortTimeLimit)
        return ShortTimeInterval;
    if (limits.time < MediumTimeLimit)
        return MediumTimeInterval;
    return LongTimeInterval;
}

void pollSearch(SearchContext& ctx) {
    const int64_t elapsed = platform::millisecondsSince(searchStartTime);

    if (platform::inputWaiting()) {
        std::string line;
        // The line reader already drops the carriage return of a CR LF line end.
        if (!platform::readLine(line) || line == "quit") {
            searchSignals.stop = searchSignals.quit = true;
            return;
        }
        if (line == "stop")
            searchSignals.stop = true;
        // "ponderhit" changes nothing; every other line is consumed without effect.
    }

    if (!searchLimits.moveTime && !searchLimits.depth && !searchLimits.infinite) {
        if (elapsed > timeBudget.maximumTime ||
            (ctx.firstRootMove && !ctx.failedLow &&
             elapsed > int64_t{timeBudget.optimumTime} + timeBudget.extraTime))
            searchSignals.stop = true;
    }
    if (searchLimits.moveTime && elapsed >= searchLimits.moveTime)
        searchSignals.stop = true;
}

void waitForStop() {
    std::string line;
    while (true) {
        if (!platform::readLine(line)) {
            searchSignals.quit = true;
            return;
        }
        if (line == "ponderhit" || line == "stop")
            return;
        if (line == "quit") {
            searchSignals.quit = true;
            return;
        }
    }
}

}  // namespace orvath
