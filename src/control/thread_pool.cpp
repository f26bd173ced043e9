// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/thread_pool.h"

#include <cstdio>
#include <memory>

namespace orvath {

namespace {

constexpr int ActiveThreadCount = 1;

// Created by initThreadPool and destroyed by exitThreadPool, so that no static destructor
// races a worker.
std::unique_ptr<ThreadPool> pool;

void setInactiveFlags(ThreadPool& p) {
    for (SearchThread& slot : p.slots)
        slot.inactive = slot.index >= p.threadCount;
}

// Sleeps until woken; a worker is never given a search, so it only ever wakes to leave.
void workerLoop(void* argument) {
    SearchThread& slot = *static_cast<SearchThread*>(argument);
    while (!slot.exit) {
        slot.lock.lock();
        if (slot.inactive || !slot.searching) {
            slot.lock.unlock();
            slot.event.wait();
            slot.lock.lock();
            slot.lock.unlock();
        } else {
            slot.lock.unlock();
        }
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
    p.threadCount = ActiveThreadCount;
    for (int i = 1; i < ThreadSlots; ++i)
        p.slots[i].index = i;
    setInactiveFlags(p);
    // A worker that cannot start leaves its slot without a thread. Nothing waits on such a
    // slot (it is never active, and joining it does nothing), so the engine goes on with the
    // threads it has and says so once, where the controlling program does not read.
    int notStarted = 0;
    for (int i = 1; i < ThreadSlots; ++i) {
        p.slots[i].searching = false;
        if (!p.slots[i].handle.start(workerLoop, &p.slots[i], WorkerStackBytes))
            ++notStarted;
    }
    if (notStarted != 0)
        std::fprintf(stderr, "%d of %d worker threads could not be started\n", notStarted, ThreadSlots - 1);
}

void prepareThreadsForSearch() {
    if (!pool)
        return;
    ThreadPool& p = *pool;
    p.threadCount = ActiveThreadCount;
    setInactiveFlags(p);
}

void wakeActiveThreads() {
    if (!pool)
        return;
    for (SearchThread& slot : pool->slots) {
        if (slot.inactive)
            continue;
        slot.lock.lock();
        slot.event.set();
        slot.lock.unlock();
    }
}

void restoreThreadsAfterSearch() {
    if (!pool)
        return;
    ThreadPool& p = *pool;
    p.threadCount = ActiveThreadCount;
    setInactiveFlags(p);
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
