// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace orvath {
namespace {

using namespace std::chrono_literals;
using platform::AutoResetEvent;
using platform::Lock;
using platform::Thread;

// Waits up to five seconds for a condition another thread brings about.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

struct Waiter {
    AutoResetEvent* event;
    std::atomic<int>* woken;
};

void waitOnce(void* argument) {
    auto* waiter = static_cast<Waiter*>(argument);
    waiter->event->wait();
    waiter->woken->fetch_add(1);
}

TEST(AutoResetEvent, LatchesASignalSetBeforeTheWait) {
    AutoResetEvent event;
    event.set();
    event.wait();  // would hang if the signal were lost

    // Two sets before any wait latch one signal only: the second waiter must sleep.
    std::atomic<int> woken{0};
    Waiter waiter{&event, &woken};
    event.set();
    event.set();
    Thread first, second;
    ASSERT_TRUE(first.start(waitOnce, &waiter));
    ASSERT_TRUE(second.start(waitOnce, &waiter));
    ASSERT_TRUE(eventually([&] { return woken.load() == 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(woken.load(), 1);
    event.set();
    first.join();
    second.join();
    EXPECT_EQ(woken.load(), 2);
}

TEST(AutoResetEvent, EachSetWakesExactlyOneWaiter) {
    AutoResetEvent event;
    std::atomic<int> woken{0};
    Waiter waiter{&event, &woken};
    constexpr int Waiters = 3;
    Thread threads[Waiters];
    for (Thread& thread : threads) ASSERT_TRUE(thread.start(waitOnce, &waiter));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(woken.load(), 0);
    for (int expected = 1; expected <= Waiters; ++expected) {
        event.set();
        ASSERT_TRUE(eventually([&] { return woken.load() >= expected; }));
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(woken.load(), expected);
    }
    for (Thread& thread : threads) thread.join();
}

struct Counter {
    Lock lock;
    long value = 0;
};

void countUnderLock(void* argument) {
    auto* counter = static_cast<Counter*>(argument);
    for (int i = 0; i < 100000; ++i) {
        counter->lock.lock();
        counter->value = counter->value + 1;
        counter->lock.unlock();
    }
}

TEST(LockAndThread, LockedIncrementsAreNeverLost) {
    Counter counter;
    Thread threads[4];
    for (Thread& thread : threads) ASSERT_TRUE(thread.start(countUnderLock, &counter));
    for (Thread& thread : threads) {
        EXPECT_TRUE(thread.running());
        thread.join();
        EXPECT_FALSE(thread.running());
    }
    EXPECT_EQ(counter.value, 400000);
}

void storeSeven(void* argument) {
    std::this_thread::sleep_for(20ms);
    *static_cast<int*>(argument) = 7;
}

TEST(LockAndThread, ThreadRunsItsFunctionAndJoinWaitsForIt) {
    int result = 0;
    Thread thread;
    EXPECT_FALSE(thread.running());
    ASSERT_TRUE(thread.start(storeSeven, &result));
    EXPECT_FALSE(thread.start(storeSeven, &result));  // one thread per object
    thread.join();
    EXPECT_EQ(result, 7);
    thread.join();  // a second join is harmless

    result = 0;
    {
        Thread dropped;
        ASSERT_TRUE(dropped.start(storeSeven, &result));
    }
    EXPECT_EQ(result, 7);  // destroying a running thread waits for it
}

TEST(Clock, AdvancesWithTheWallClock) {
    const int32_t before = platform::nowMs();
    std::this_thread::sleep_for(60ms);
    const int32_t elapsed = platform::millisecondsBetween(before, platform::nowMs());
    EXPECT_GE(elapsed, 50);
    EXPECT_LT(elapsed, 5000);
    EXPECT_GE(platform::millisecondsSince(before), elapsed);

    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto expected =
        static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count());
    const int32_t wrapped = static_cast<int32_t>(static_cast<uint32_t>(expected));
    EXPECT_LT(std::abs(platform::millisecondsBetween(wrapped, platform::nowMs())), 1000);
}

TEST(Clock, DifferencesSurviveTheWrap) {
    EXPECT_EQ(platform::millisecondsBetween(INT32_MAX, INT32_MIN), 1);
    EXPECT_EQ(platform::millisecondsBetween(INT32_MAX - 9, INT32_MIN + 10), 20);
    EXPECT_EQ(platform::millisecondsBetween(-5, 10), 15);
    EXPECT_EQ(platform::millisecondsBetween(100, 40), -60);
}

// Standard input as the test program found it; -1 when it was closed (a run without input).
// Taken before the stand-in is opened, which may otherwise land on descriptor 0 itself.
int saveStandardInput() { return dup(STDIN_FILENO); }

void restoreStandardInput(int saved) {
    if (saved < 0) {
        close(STDIN_FILENO);
        return;
    }
    dup2(saved, STDIN_FILENO);
    close(saved);
}

// Moves a descriptor onto standard input.
void putOnStandardInput(int descriptor) {
    if (descriptor == STDIN_FILENO) return;
    dup2(descriptor, STDIN_FILENO);
    close(descriptor);
}

// Puts a pipe in place of standard input for one test and restores the real one afterwards.
class PipedInput : public testing::Test {
protected:
    void SetUp() override {
        signal(SIGPIPE, SIG_IGN);
        savedInput = saveStandardInput();
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        putOnStandardInput(ends[0]);
        writeEnd = ends[1];
    }

    // Ends the input and drains whatever the engine's input buffer still holds, so that no
    // test sees the rest of another's lines.
    void TearDown() override {
        if (writer.joinable()) writer.join();
        closeWriteEnd();
        std::string line;
        while (platform::readLine(line)) {
        }
        restoreStandardInput(savedInput);
    }

    void send(const std::string& text) const {
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t wrote = write(writeEnd, text.data() + done, text.size() - done);
            ASSERT_GT(wrote, 0);
            done += static_cast<std::size_t>(wrote);
        }
    }

    void closeWriteEnd() {
        if (writeEnd >= 0) close(writeEnd);
        writeEnd = -1;
    }

    // Sends the pieces from another thread with pauses, then closes the pipe.
    void sendSlowly(std::vector<std::string> pieces) {
        writer = std::thread([this, pieces] {
            for (const std::string& piece : pieces) {
                send(piece);
                std::this_thread::sleep_for(15ms);
            }
            closeWriteEnd();
        });
    }

    std::vector<std::string> readAll() {
        std::vector<std::string> lines;
        std::string line;
        while (platform::readLine(line)) lines.push_back(line);
        return lines;
    }

    int savedInput = -1;
    int writeEnd = -1;
    std::thread writer;
};

TEST_F(PipedInput, WaitingOnlyOnceAByteIsThere) {
    EXPECT_FALSE(platform::inputWaiting());
    EXPECT_FALSE(platform::inputWaiting());
    EXPECT_FALSE(platform::commandWaiting());
    send("s");
    EXPECT_TRUE(platform::inputWaiting());
    EXPECT_TRUE(platform::commandWaiting());
    send("top\n");
    std::string line;
    ASSERT_TRUE(platform::readLine(line));
    EXPECT_EQ(line, "stop");
    EXPECT_FALSE(platform::inputWaiting());
}

// What the helpers ask: bytes in the pipe itself, not lines already in the engine's buffer.
TEST_F(PipedInput, ArrivingSeesThePipeOnly) {
    EXPECT_FALSE(platform::inputArriving());
    send("isready\nstop\n");
    EXPECT_TRUE(platform::inputArriving());
    std::string line;
    ASSERT_TRUE(platform::readLine(line));
    EXPECT_FALSE(platform::inputArriving());  // "stop" now sits in the engine's buffer
    closeWriteEnd();
    EXPECT_TRUE(platform::inputArriving());
}

TEST_F(PipedInput, ClosedInputCountsAsWaitingAndThenEnds) {
    closeWriteEnd();
    EXPECT_TRUE(platform::inputWaiting());
    std::string line = "previous";
    EXPECT_FALSE(platform::readLine(line));
    EXPECT_TRUE(platform::inputWaiting());
    EXPECT_FALSE(platform::readLine(line));
}

TEST_F(PipedInput, LinesHeldInTheOwnBufferCountAsWaiting) {
    send("go depth 5\nstop\n");
    std::string line;
    ASSERT_TRUE(platform::readLine(line));
    EXPECT_EQ(line, "go depth 5");
    // The pipe is empty now; the second line sits in the engine's buffer.
    EXPECT_TRUE(platform::inputWaiting());
    ASSERT_TRUE(platform::readLine(line));
    EXPECT_EQ(line, "stop");
    EXPECT_FALSE(platform::inputWaiting());
}

TEST_F(PipedInput, LinesSplitAcrossWritesComeOutWhole) {
    sendSlowly({"uc", "i\nis", "ready", "\n\nposition startpos\r", "\nquit"});
    const std::vector<std::string> expected{"uci", "isready", "", "position startpos", "quit"};
    EXPECT_EQ(readAll(), expected);
}

TEST_F(PipedInput, CarriageReturnsGoOnlyBeforeALineFeed) {
    sendSlowly({std::string("a\rb\r\n\r\n\r\r\nend\r")});
    const std::vector<std::string> expected{"a\rb", "", "\r", "end\r"};
    EXPECT_EQ(readAll(), expected);
}

TEST_F(PipedInput, NulBytesStayInsideTheLine) {
    sendSlowly({std::string("go\0x\n\0\n", 7)});
    const std::vector<std::string> expected{std::string("go\0x", 4), std::string(1, '\0')};
    EXPECT_EQ(readAll(), expected);
}

TEST_F(PipedInput, LinesOfAMebibyteAndMore) {
    std::string huge(3 * (1 << 20) / 2, 'e');
    for (std::size_t i = 0; i < huge.size(); i += 4099) huge[i] = static_cast<char>('a' + i % 26);
    sendSlowly({"a\n" + huge + "\nafter\n" + huge});
    const std::vector<std::string> lines = readAll();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "a");
    EXPECT_TRUE(lines[1] == huge);
    EXPECT_EQ(lines[2], "after");
    EXPECT_TRUE(lines[3] == huge);
}

TEST(FileInput, AFileIsAlwaysReady) {
    const int savedInput = saveStandardInput();
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fputs("uci\nquit", file);
    std::fflush(file);
    std::rewind(file);
    putOnStandardInput(dup(fileno(file)));

    EXPECT_TRUE(platform::inputWaiting());
    // Always readable, so not a sign of a command arriving for the helpers to step aside for,
    // nor for the quick look between polls, which would read a file's lines faster.
    EXPECT_FALSE(platform::inputArriving());
    EXPECT_FALSE(platform::commandWaiting());
    std::string line;
    EXPECT_TRUE(platform::readLine(line));
    EXPECT_EQ(line, "uci");
    EXPECT_TRUE(platform::readLine(line));
    EXPECT_EQ(line, "quit");
    EXPECT_TRUE(platform::inputWaiting());
    EXPECT_FALSE(platform::readLine(line));

    std::fclose(file);
    restoreStandardInput(savedInput);
}

// A line written by a process with unbuffered streams must reach the reader while the
// process still runs, from stdio and from std::cout alike.
TEST(StandardStreams, OutputReachesTheReaderWithoutAnExit) {
    int output[2];
    int hold[2];
    ASSERT_EQ(pipe(output), 0);
    ASSERT_EQ(pipe(hold), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(output[1], STDOUT_FILENO);
        close(output[0]);
        close(hold[1]);
        platform::makeStandardStreamsUnbuffered();
        std::cout << std::string("readyok\n");
        std::printf("uciok\n");
        char byte;
        while (read(hold[0], &byte, 1) > 0) {
        }
        _exit(0);
    }
    close(output[1]);
    close(hold[0]);

    std::string received;
    const std::string expected = "readyok\nuciok\n";
    pollfd request{output[0], POLLIN, 0};
    while (received.size() < expected.size() && poll(&request, 1, 5000) > 0) {
        char bytes[64];
        const ssize_t got = read(output[0], bytes, sizeof bytes);
        if (got <= 0) break;
        received.append(bytes, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(received, expected);

    close(hold[1]);
    int status = 0;
    waitpid(child, &status, 0);
    close(output[0]);
    EXPECT_TRUE(WIFEXITED(status));
}

}  // namespace
}  // namespace orvath
