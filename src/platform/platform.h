// SPDX-License-Identifier: GPL-3.0-or-later
// The operating-system seam: console input polling, the clock, threads, events and locks.
// POSIX implementation in platform/posix, Windows in platform/windows; CMake picks one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orvath::platform {

// Makes standard input and output unbuffered (C streams and the C++ stream objects on them).
void makeStandardStreamsUnbuffered();

// Reads one line from standard input, without its line feed; a carriage return right before
// the line feed goes too, as a Windows text-mode stream would drop it, so "stop\r\n" reads as
// "stop" everywhere. Blocks until a whole line or the end of input is there. False at end of
// input or on a read error with nothing read; a last line without a line feed is still
// returned. Input goes through the engine's own buffer, never through stdio or std::cin.
bool readLine(std::string& line);

// Whether standard input holds something to read, without blocking: characters already in the
// engine's own input buffer count. True when the query fails.
bool inputWaiting();

// Whether a command may wait to be read, for the frequent look between polls: as inputWaiting,
// but standard input that is a file never counts, so that a file's lines are read at the pace
// of the poll alone, and where asking the system is dear it is asked at some calls only. Main
// thread only, like inputWaiting.
bool commandWaiting();

// Whether bytes wait in the standard input pipe or file itself, not yet read into the engine's
// buffer. Unlike inputWaiting it touches no state of the reader, so any thread may ask while
// the main thread reads. False where the question cannot be asked that way (a Windows console).
bool inputArriving();

// Wall clock in milliseconds: seconds x 1000 + milliseconds, wrapped to 32 bits.
int32_t nowMs();

// The difference of two clock readings, in wrapping 32-bit arithmetic.
inline int32_t millisecondsBetween(int32_t earlier, int32_t later) {
    return static_cast<int32_t>(static_cast<uint32_t>(later) - static_cast<uint32_t>(earlier));
}

// Milliseconds from a clock reading until now.
inline int32_t millisecondsSince(int32_t earlier) { return millisecondsBetween(earlier, nowMs()); }

// Large tables are aligned to the size of a huge page (2 MiB on x86), so that the kernel can
// back them with huge pages from the first byte.
constexpr size_t LargeBlockAlignment = size_t{2} << 20;

// Memory for a large table: zero-filled, at least page-aligned, and on Linux aligned to
// LargeBlockAlignment and advised for transparent huge pages (a 2 GB table then takes about a
// thousand page faults instead of half a million, and the search misses the TLB less). Where
// huge pages are not available the block has ordinary pages. nullptr when the memory cannot
// be had. The pages are not touched here: the caller decides when their first-touch cost is
// paid.
void* allocateLargeBlock(size_t bytes);
// Gives back a block of allocateLargeBlock; `bytes` is the size it was asked for.
void freeLargeBlock(void* block, size_t bytes);

// Mutual-exclusion lock.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void lock();
    void unlock();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// An event that latches one signal until one waiter consumes it (auto-reset).
class AutoResetEvent {
public:
    AutoResetEvent();
    ~AutoResetEvent();
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;
    void set();
    void wait();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// An operating-system thread running fn(argument); joined by join() or, still running, by the
// destructor.
class Thread {
public:
    using Function = void (*)(void* argument);
    Thread();
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // stackBytes 0 gives the system's default stack (for our programs that of the main
    // thread); any other size is reserved for the new thread instead.
    bool start(Function function, void* argument, size_t stackBytes = 0);
    void join();  // waits for the thread to end and releases its handle
    bool running() const { return impl != nullptr; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace orvath::platform
