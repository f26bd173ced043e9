// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed pool of 32 search-thread slots. Slot 0 is the main thread, which runs the command
// loop and the main search; the workers of slots 1..31 sleep on their own events and, when the
// "Threads" option asks for them, search the same root beside it as helpers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/platform.h"
#include "search/search_context.h"

namespace orvath {

constexpr int ThreadSlots = 32;
// A helper searches as deep as the main thread, whose stack on Linux is 8 MiB: each ply keeps
// its move lists on the stack. Only address space is reserved; 31 workers take 248 MiB of it,
// which leaves a 32-bit program room for its largest table.
constexpr size_t WorkerStackBytes = size_t{8} << 20;

struct SearchThread {
    int32_t index = 0;
    platform::Lock lock;             // guards sleeping and waking
    platform::AutoResetEvent event;  // the thread sleeps on it
    std::atomic<bool> searching{false};
    std::atomic<bool> inactive{true};
    std::atomic<bool> exit{false};
    platform::Thread handle;  // none for slot 0
    std::unique_ptr<SearchContext> context;  // what the thread writes while it searches
};

struct ThreadPool {
    SearchThread slots[ThreadSlots];
    int32_t threadCount = 1;
    platform::Lock poolLock;
    // Helpers still searching; the last one to finish sets helpersDone.
    std::atomic<int32_t> busyHelpers{0};
    platform::AutoResetEvent helpersDone;
    bool helpersStarted = false;
    int32_t helperCount = 0;  // helpers of the current or last search, slots 1..helperCount
};

ThreadPool& threadPool();

void initThreadPool();
void exitThreadPool();

// Around every search. prepareThreadsForSearch makes `threads` slots active (1 without a pool);
// prepareSearchContexts gives each active slot's context a copy of `board` and the line count,
// and returns the main thread's context. startHelpers, called by the main search once it is set
// up, wakes the active workers, which search until the stop signal; stopHelpers sets that
// signal and returns once every helper has finished. restoreThreadsAfterSearch makes the main
// thread the only active one again.
void prepareThreadsForSearch(int threads);
SearchContext& prepareSearchContexts(const Board& board, int multiPvCount);
void startHelpers();
void stopHelpers();
void restoreThreadsAfterSearch();

// The threads of the search being prepared or run: 1 while no pool runs.
int activeThreadCount();

// The main thread's context: slot 0's, or one of its own while no pool runs (in tests).
SearchContext& mainSearchContext();

// The nodes searched by every thread in the search running or last run: the main thread's board
// count (which starts from the position's own count) plus what each helper added to its copy.
uint64_t nodesOfAllThreads(SearchContext& main);

// The nodes every thread has searched in the search running, beyond the position's own count,
// as any search thread may read them meanwhile (each count is read whole). 0 without helpers.
int64_t nodesSearchedSoFar();

// Threads of the pool still running (the workers that have not ended); for tests.
int runningWorkerCount();

}  // namespace orvath
