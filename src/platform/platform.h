// The operating-system seam: console input polling, the clock, threads, events and locks.
// POSIX implementation in platform/posix, Windows in platform/windows; CMake picks one.
#pragma once

#include <cstdint>
#include <memory>

namespace orvath::platform {

// Makes standard input and output unbuffered (C streams and the C++ stream objects on them).
void makeStandardStreamsUnbuffered();

// Whether standard input holds something to read, without blocking. True when the query fails.
bool inputWaiting();

// Wall clock in milliseconds: seconds x 1000 + milliseconds, wrapped to 32 bits.
int32_t nowMs();

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

// An operating-system thread running fn(argument); joined by join().
class Thread {
public:
    using Function = void (*)(void* argument);
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    bool start(Function function, void* argument);
    void join();  // waits for the thread to end and releases its handle
    bool running() const { return impl != nullptr; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace orvath::platform
