// SPDX-License-Identifier: GPL-3.0-or-later
// The search poll: what the main thread's searches do every few thousand nodes. It reads a
// waiting command ("stop", "quit", "ponderhit", "isready"; any other line is consumed) and
// applies the time and node limits. Also the wait for "stop" that follows an infinite search.
#include "control/search_poll.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "control/thread_pool.h"
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
constexpr auto HelperPause = std::chrono::milliseconds(1);
// A node limit is checked at every poll, so polls come often enough that the search overshoots
// it by a few hundred nodes only.
constexpr int32_t NodeLimitInterval = 100;

}  // namespace

int32_t pollIntervalFor(const SearchLimits& limits) {
    if (limits.nodes > 0)
        return NodeLimitInterval;
    if (limits.time == 0)
        return LongTimeInterval;
    if (limits.time < ShortTimeLimit)
        return ShortTimeInterval;
    if (limits.time < MediumTimeLimit)
        return MediumTimeInterval;
    return LongTimeInterval;
}

namespace {

// Reads one waiting line and carries it out. False when the search must end at once ("quit"
// or the end of input).
bool readWaitingCommand() {
    std::string line;
    // The line reader already drops the carriage return of a CR LF line end.
    if (!platform::readLine(line) || line == "quit") {
        searchSignals.stop = searchSignals.quit = searchSignals.released = true;
        return false;
    }
    if (line == "stop") {
        searchSignals.stop = searchSignals.released = true;
    } else if (line == "isready") {
        writeLine("readyok");  // the search goes on undisturbed
    } else if (line == "ponderhit" && searchLimits.ponder) {
        // The opponent played the move pondered on: from now on a timed search, whose budget
        // counts from this moment.
        searchLimits.ponder = 0;
        timeBudget.measuredFrom = platform::nowMs();
        setHardDeadline();
    }
    // Any other line (and "ponderhit" when not pondering) is consumed without effect.
    return true;
}

// The time limits, as far as they apply to this search.
void applyTimeLimits(const SearchContext& ctx) {
    const int64_t elapsed = platform::millisecondsSince(timeBudget.measuredFrom);
    if (budgetApplies(searchLimits)) {
        if (elapsed > timeBudget.maximumTime ||
            (ctx.firstRootMove && !ctx.failedLow &&
             elapsed > int64_t{timeBudget.optimumTime} + timeBudget.extraTime))
            searchSignals.stop = true;
    }
    if (searchLimits.moveTime && !searchLimits.ponder && elapsed >= searchLimits.moveTime)
        searchSignals.stop = true;
}

}  // namespace

void pollSearch(SearchContext& ctx) {
    // A stopping search still counts the nodes it unwinds through; the lines after "stop" (the
    // next "position" and "go", often in the same write) belong to the command loop.
    if (stopRequested())
        return;
    if (platform::inputWaiting() && !readWaitingCommand())
        return;
    applyTimeLimits(ctx);
    // The first iteration always completes, however small the limit.
    if (searchLimits.nodes > 0 && ctx.completedDepth >= 1 && nodesSearched(ctx) >= searchLimits.nodes)
        searchSignals.stop = true;
}

// Between polls: the input and the clock only. The node limit stays with the poll, so that a
// search under it ends at the same node count as ever.
void quickPoll(SearchContext& ctx) {
    if (stopRequested())
        return;
    if (platform::commandWaiting() && !readWaitingCommand())
        return;
    applyTimeLimits(ctx);
}

int64_t nodesSearched(SearchContext& main) {
    return static_cast<int64_t>(nodesOfAllThreads(main) - main.startNodeCount);
}

namespace {

// The clock reading after which the search must stop whatever happens (its maximum time or
// fixed move time), for the helpers; none while pondering or without a time limit.
std::atomic<bool> hardDeadlineSet{false};
std::atomic<int32_t> hardDeadline{0};

}  // namespace

void setHardDeadline() {
    // A ponder search has no time limit until "ponderhit".
    int32_t limit = -1;
    if (searchLimits.moveTime && !searchLimits.ponder)
        limit = searchLimits.moveTime;
    else if (budgetApplies(searchLimits))
        limit = timeBudget.maximumTime;
    hardDeadline.store(static_cast<int32_t>(static_cast<uint32_t>(timeBudget.measuredFrom) +
                                            static_cast<uint32_t>(std::max(limit, 0))),
                       std::memory_order_relaxed);
    hardDeadlineSet.store(limit >= 0, std::memory_order_relaxed);
}

// With more search threads than processors the main thread runs only in turns, and a command,
// the end of its time or its node limit would wait for its next turn. A helper that sees input
// arriving, the time run out or the nodes spent steps aside until the main thread's poll has
// read the input or stopped the search, so that the main thread has a processor at once.
void helperPoll(SearchContext&) {
    const auto mainThreadAwaited = [] {
        if (platform::inputArriving())
            return true;
        if (searchLimits.nodes > 0 && nodesSearchedSoFar() >= searchLimits.nodes)
            return true;
        return hardDeadlineSet.load(std::memory_order_relaxed) &&
               platform::millisecondsSince(hardDeadline.load(std::memory_order_relaxed)) >= 0;
    };
    while (!stopRequested() && mainThreadAwaited())
        std::this_thread::sleep_for(HelperPause);
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
        if (line == "isready")
            writeLine("readyok");
        if (line == "quit") {
            searchSignals.quit = true;
            return;
        }
    }
}

}  // namespace orvath
