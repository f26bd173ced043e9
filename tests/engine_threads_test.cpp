// SPDX-License-Identifier: GPL-3.0-or-later
// The real program seen from outside, as the kernel sees it: its threads from start-up through
// many searches, how quickly "quit" ends it, and how it ends when the interface goes away.
#include <dirent.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "engine_process.h"

namespace orvath {
namespace {

using namespace std::chrono_literals;

constexpr int PoolThreads = 32;  // the main thread and 31 sleeping workers

// ThreadSanitizer's runtime keeps one background thread of its own in every program it
// instruments, and the program under test is built with the same flags as this test.
#if defined(__SANITIZE_THREAD__)
constexpr int RuntimeThreads = 1;
#else
constexpr int RuntimeThreads = 0;
#endif
constexpr int Searches = 10;
constexpr auto ReplyTimeout = 20s;
constexpr auto QuitLimit = 1000ms;
constexpr auto ExitTimeout = 10s;

// Threads of a process as /proc lists them; -1 when they cannot be read.
int threadCount(pid_t pid) {
    DIR* tasks = opendir(("/proc/" + std::to_string(pid) + "/task").c_str());
    if (tasks == nullptr)
        return -1;
    int count = 0;
    while (const dirent* entry = readdir(tasks))
        if (entry->d_name[0] != '.')
            ++count;
    closedir(tasks);
    return count;
}

// Whether the kernel runs the program itself. Where it cannot (the 32-bit build on a kernel
// without IA32 emulation), qemu-user runs it and adds threads of its own to the count.
bool runsNatively(pid_t pid) {
    char running[PATH_MAX];
    const ssize_t length = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), running, sizeof running - 1);
    if (length <= 0)
        return true;
    running[length] = '\0';
    char* program = realpath(ORVATH_ENGINE_PATH, nullptr);
    const bool same = program != nullptr && std::string(program) == running;
    free(program);
    return same;
}

class EngineThreads : public ::testing::Test {
protected:
    EngineThreads() : engine(ORVATH_ENGINE_PATH) {}

    void SetUp() override { ASSERT_TRUE(engine.started()); }

    // The "bestmove" line of the running search, past its "info" lines.
    std::optional<std::string> nextBestMove() {
        while (const auto line = engine.readLine(ReplyTimeout))
            if (line->rfind("bestmove ", 0) == 0)
                return line;
        return std::nullopt;
    }

    EngineProcess engine;
};

TEST_F(EngineThreads, ThirtyTwoFromStartUpThroughSearchesAndQuitEndsThemAtOnce) {
    const pid_t pid = engine.processId();
    // The pool starts before the command loop, so by the first answer every worker exists.
    ASSERT_TRUE(engine.sendLine("isready"));
    ASSERT_EQ(engine.readLine(ReplyTimeout), "readyok");
    const int afterStartUp = threadCount(pid);
    const bool native = runsNatively(pid);
    if (native)
        EXPECT_EQ(afterStartUp, PoolThreads + RuntimeThreads);
    else
        EXPECT_GE(afterStartUp, PoolThreads) << "under an emulator, which adds threads of its own";

    for (int search = 0; search < Searches; ++search) {
        ASSERT_TRUE(engine.sendLine(search % 2 ? "position startpos moves e2e4" : "position startpos"));
        ASSERT_TRUE(engine.sendLine("go depth 3"));
        ASSERT_TRUE(nextBestMove().has_value()) << "search " << search;
        EXPECT_EQ(threadCount(pid), afterStartUp) << "after search " << search;
    }
    ASSERT_TRUE(engine.sendLine("go infinite"));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(engine.sendLine("stop"));
    ASSERT_TRUE(nextBestMove().has_value());
    ASSERT_TRUE(engine.sendLine("isready"));
    ASSERT_EQ(engine.readLine(ReplyTimeout), "readyok");
    EXPECT_EQ(threadCount(pid), afterStartUp) << "after an infinite search";

    // Every worker is woken, leaves through its exit flag and is joined before the exit.
    // An emulator tears its threads down at its own pace; only the native program is timed.
    const auto quitSent = std::chrono::steady_clock::now();
    ASSERT_TRUE(engine.sendLine("quit"));
    EXPECT_EQ(engine.waitForExit(native ? std::chrono::milliseconds(QuitLimit) : std::chrono::milliseconds(ExitTimeout)), 0);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - quitSent);
    if (native) {
        EXPECT_LT(took, QuitLimit);
    }
    RecordProperty("threads", afterStartUp);
    RecordProperty("quitMilliseconds", static_cast<int>(took.count()));
}

// The interface goes away in the middle of a search: its end of both pipes closes. The search
// ends at its next poll as at the end of input, its answer goes nowhere, and the program exits
// with 0 instead of being killed by the write to a pipe nobody reads.
TEST_F(EngineThreads, InterfaceGoneDuringASearchEndsTheProgramCleanly) {
    ASSERT_TRUE(engine.sendLine("isready"));
    ASSERT_EQ(engine.readLine(ReplyTimeout), "readyok");
    ASSERT_TRUE(engine.sendLine("go infinite"));
    std::this_thread::sleep_for(50ms);
    engine.closeOutput();
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(ExitTimeout), 0);
}

// Gone while idle: the end of input ends the command loop just the same.
TEST_F(EngineThreads, InterfaceGoneWhileIdleEndsTheProgramCleanly) {
    ASSERT_TRUE(engine.sendLine("isready"));
    ASSERT_EQ(engine.readLine(ReplyTimeout), "readyok");
    engine.closeOutput();
    ASSERT_TRUE(engine.sendLine("uci"));
    engine.closeInput();
    EXPECT_EQ(engine.waitForExit(ExitTimeout), 0);
}

}  // namespace
}  // namespace orvath
