// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed pool: 31 sleeping workers beside the main thread, started once and joined at the end.
#include <dirent.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <thread>

#include "control/thread_pool.h"

namespace orvath {
namespace {

// Threads of this process, as the kernel lists them.
int processThreadCount() {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
    return count;
}

// A thread that has just been joined may still be listed for a moment.
int settledThreadCount(int expected) {
    int count = processThreadCount();
    for (int tries = 0; tries < 200 && count != expected; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        count = processThreadCount();
    }
    return count;
}

void recordStackSize(void* size) {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return;
    pthread_attr_getstacksize(&attributes, static_cast<size_t*>(size));
    pthread_attr_destroy(&attributes);
}

// Workers search as helpers, as deep as the main thread: they reserve the stack asked for, not
// the system's default (which may be smaller). A sanitizer may add room of its own.
TEST(ThreadPool, WorkerStackIsTheOneAskedFor) {
    size_t stackBytes = 0;
    platform::Thread worker;
    ASSERT_TRUE(worker.start(recordStackSize, &stackBytes, WorkerStackBytes));
    worker.join();
    EXPECT_GE(stackBytes, WorkerStackBytes);
    EXPECT_LT(stackBytes, 2 * WorkerStackBytes);
}

TEST(ThreadPool, StartsThirtyOneWorkersAndJoinsThemAll) {
    const int before = processThreadCount();
    ASSERT_GT(before, 0) << "no /proc/self/task";

    initThreadPool();
    EXPECT_EQ(settledThreadCount(before + 31), before + 31);
    EXPECT_EQ(runningWorkerCount(), 31);

    const ThreadPool& pool = threadPool();
    EXPECT_EQ(pool.threadCount, 1);
    for (int i = 0; i < ThreadSlots; ++i) {
        EXPECT_EQ(pool.slots[i].index, i);
        EXPECT_EQ(pool.slots[i].searching.load(), i == 0);
        EXPECT_EQ(pool.slots[i].inactive.load(), i != 0);
        EXPECT_FALSE(pool.slots[i].exit.load());
    }

    exitThreadPool();
    EXPECT_EQ(runningWorkerCount(), 0);
    EXPECT_EQ(settledThreadCount(before), before);
}

TEST(ThreadPool, WorkersSleepThroughSearches) {
    const int before = processThreadCount();
    initThreadPool();
    for (int search = 0; search < 50; ++search) {
        prepareThreadsForSearch(1);
        startHelpers();
        const ThreadPool& pool = threadPool();
        EXPECT_EQ(pool.threadCount, 1);
        EXPECT_FALSE(pool.slots[0].inactive.load());
        EXPECT_TRUE(pool.slots[31].inactive.load());
        restoreThreadsAfterSearch();
    }
    EXPECT_EQ(runningWorkerCount(), 31);
    EXPECT_EQ(settledThreadCount(before + 31), before + 31);
    exitThreadPool();
    EXPECT_EQ(settledThreadCount(before), before);
}

TEST(ThreadPool, RepeatedStartAndStop) {
    const int before = processThreadCount();
    for (int cycle = 0; cycle < 5; ++cycle) {
        initThreadPool();
        EXPECT_EQ(runningWorkerCount(), 31) << cycle;
        exitThreadPool();
        EXPECT_EQ(runningWorkerCount(), 0) << cycle;
    }
    // Stopping twice, and a second start without a stop, leave no thread behind.
    exitThreadPool();
    initThreadPool();
    initThreadPool();
    EXPECT_EQ(settledThreadCount(before + 31), before + 31);
    exitThreadPool();
    EXPECT_EQ(settledThreadCount(before), before);
}

// The search start calls these whether or not a pool runs (tests search without one).
TEST(ThreadPool, SearchHooksWithoutAPool) {
    exitThreadPool();
    prepareThreadsForSearch(4);
    EXPECT_EQ(activeThreadCount(), 1);
    startHelpers();
    stopHelpers();
    restoreThreadsAfterSearch();
    EXPECT_EQ(runningWorkerCount(), 0);
}

}  // namespace
}  // namespace orvath
