// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/thread_pool.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "control/deepening.h"
#include "search/search_signals.h"

namespace orvath {

namespace {

// Created by initThreadPool and destroyed by exitThreadPool, so that no static destructor
// races a worker.
std::unique_ptr<ThreadPool> pool;

// The main thread's context while no pool runs (tests drive searches without one).
std::unique_ptr<SearchContext> standaloneContext;

void setInactiveFlags(ThreadPool& p) {
    for (SearchThread& slot : p.slots)
        slot.inactive = slot.index >= p.threadCount;
}

// Sleeps until woken; searches as a helper whenever its slot is active and searching, and
// leaves once told to exit.
void workerLoop(void* argument) {
    SearchThread& slot = *static_cast<SearchThread*>(argument);
    while (!slot.exit) {
        slot.lock.lock();
        const bool work = !slot.inactive && slot.searching;
        slot.lock.unlock();
        if (!work) {
            slot.event.wait();
            continue;
        }
        helperDeepening(*slot.context);
        slot.searching = false;
        if (pool->busyHelpers.fetch_sub(1) == 1)
            pool->helpersDone.set();
    }
}

}  // namespace

ThreadPool& threadPool() { return *pool; }

void initThreadPool() {
    // A second start would drop running workers' slots from under them.
    exitThreadPool();
    pool = std::make_unique<ThreadPool>();
    ThreadPool& p = *pool;
    p.slots[0].searching = true;
    p.slots[0].index = 0;
    p.threadCount = 1;
    for (int i = 1; i < ThreadSlots; ++i)
        p.slots[i].index = i;
    setInactiveFlags(p);
    // A worker that cannot start leaves its slot without a thread. Such a slot is never made
    // active (the thread count is capped to the workers that run), so the engine goes on with
    // the threads it has and says so once, where the controlling program does not read.
    int notStarted = 0;
    for (int i = 1; i < ThreadSlots; ++i) {
        p.slots[i].searching = false;
        if (!p.slots[i].handle.start(workerLoop, &p.slots[i], WorkerStackBytes))
            ++notStarted;
    }
    if (notStarted != 0)
        std::fprintf(stderr, "%d of %d worker threads could not be started\n", notStarted, ThreadSlots - 1);
}

void prepareThreadsForSearch(int threads) {
    if (!pool)
        return;
    ThreadPool& p = *pool;
    // Only slots with a running worker can help: the first slot without one ends the count.
    int usable = 1;
    while (usable < std::clamp(threads, 1, ThreadSlots) && p.slots[usable].handle.running())
        ++usable;
    p.threadCount = usable;
    p.helperCount = 0;
    setInactiveFlags(p);
}

SearchContext& prepareSearchContexts(const Board& board, int multiPvCount) {
    for (int i = 0; i < activeThreadCount(); ++i) {
        std::unique_ptr<SearchContext>& context = pool ? pool->slots[i].context : standaloneContext;
        if (!context)
            context = std::make_unique<SearchContext>();
        context->board.copyFrom(board);
        context->board.threadIndex = i;
        context->startNodeCount = board.nodeCount;
        context->multiPvCount = multiPvCount;
        context->pollCounter = context->completedDepth = 0;
        context->failedLow = context->firstRootMove = false;
    }
    return mainSearchContext();
}

int activeThreadCount() { return pool ? pool->threadCount : 1; }

SearchContext& mainSearchContext() {
    std::unique_ptr<SearchContext>& context = pool ? pool->slots[0].context : standaloneContext;
    if (!context)
        context = std::make_unique<SearchContext>();
    return *context;
}

void startHelpers() {
    if (!pool || pool->threadCount <= 1)
        return;
    ThreadPool& p = *pool;
    p.helpersStarted = true;
    p.helperCount = p.threadCount - 1;
    p.busyHelpers = p.helperCount;
    for (int i = 1; i < p.threadCount; ++i) {
        SearchThread& slot = p.slots[i];
        slot.lock.lock();
        slot.searching = true;
        slot.event.set();
        slot.lock.unlock();
    }
}

void stopHelpers() {
    if (!pool || !pool->helpersStarted)
        return;
    searchSignals.stop = true;
    // The last helper to finish sets the event exactly once per search, so one wait pairs
    // with it even when every helper finished before this line.
    pool->helpersDone.wait();
    pool->helpersStarted = false;
}

void restoreThreadsAfterSearch() {
    if (!pool)
        return;
    ThreadPool& p = *pool;
    p.threadCount = 1;
    setInactiveFlags(p);
}

namespace {

// What the helpers of the search running or last run have added to their board copies.
uint64_t helperNodes() {
    uint64_t nodes = 0;
    if (pool)
        for (int i = 1; i <= pool->helperCount; ++i) {
            SearchContext& helper = *pool->slots[i].context;
            nodes += helper.board.sharedNodeCount() - helper.startNodeCount;
        }
    return nodes;
}

}  // namespace

uint64_t nodesOfAllThreads(SearchContext& main) { return main.board.nodeCount + helperNodes(); }

int64_t nodesSearchedSoFar() {
    if (!pool || !pool->helpersStarted)
        return 0;
    SearchContext& main = *pool->slots[0].context;
    return static_cast<int64_t>(main.board.sharedNodeCount() - main.startNodeCount + helperNodes());
}

void exitThreadPool() {
    if (!pool)
        return;
    ThreadPool& p = *pool;
    for (int i = 1; i < ThreadSlots; ++i) {
        SearchThread& slot = p.slots[i];
        slot.exit = true;
        slot.lock.lock();
        slot.event.set();
        slot.lock.unlock();
    }
    for (int i = 1; i < ThreadSlots; ++i)
        p.slots[i].handle.join();
    pool.reset();  // releases every slot's lock and event, then the pool lock
}

int runningWorkerCount() {
    if (!pool)
        return 0;
    int running = 0;
    for (int i = 1; i < ThreadSlots; ++i)
        running += pool->slots[i].handle.running() ? 1 : 0;
    return running;
}

}  // namespace orvath
