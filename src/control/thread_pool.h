// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed pool of 32 search-thread slots. Slot 0 is the main thread, which runs every search;
// the workers of slots 1..31 sleep on their own events from start-up until shutdown.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace orvath {

constexpr int ThreadSlots = 32;
// Workers only wait for work and never search, so they need a small stack: 256 KiB, many times
// what their wait takes, instead of the 16 MiB of address space each would reserve otherwise
// (which in a 32-bit program leaves no room for a large hash table).
constexpr size_t WorkerStackBytes = size_t{256} << 10;

struct SearchThread {
    int32_t index = 0;
    platform::Lock lock;             // guards sleeping and waking
    platform::AutoResetEvent event;  // the thread sleeps on it
    std::atomic<bool> searching{false};
    std::atomic<bool> inactive{true};
    std::atomic<bool> exit{false};
    platform::Thread handle;  // none for slot 0
};

struct ThreadPool {
    SearchThread slots[ThreadSlots];
    int32_t threadCount = 1;
    platform::Lock poolLock;
};

ThreadPool& threadPool();

void initThreadPool();
void exitThreadPool();

// Around every search: one active thread, the main one. Between the two, once the search is
// set up, the active slots' events are set. All three do nothing while no pool is running.
void prepareThreadsForSearch();
void wakeActiveThreads();
void restoreThreadsAfterSearch();

// Threads of the pool still running (the workers that have not ended); for tests.
int runningWorkerCount();

}  // namespace orvath
