// SPDX-License-Identifier: GPL-3.0-or-later
// Locks, auto-reset events and threads on POSIX threads.
#include <pthread.h>

#include <condition_variable>
#include <mutex>

#include "platform/platform.h"

namespace orvath::platform {

struct Lock::Impl {
    std::mutex mutex;
};

Lock::Lock() : impl(std::make_unique<Impl>()) {}
Lock::~Lock() = default;
void Lock::lock() { impl->mutex.lock(); }
void Lock::unlock() { impl->mutex.unlock(); }

// A flag under a mutex: set() latches one signal even when nobody waits yet, and the wait
// that takes it clears it again.
struct AutoResetEvent::Impl {
    std::mutex mutex;
    std::condition_variable wakeUp;
    bool signalled = false;
};

AutoResetEvent::AutoResetEvent() : impl(std::make_unique<Impl>()) {}
AutoResetEvent::~AutoResetEvent() = default;

// Notifies under the mutex, so a waiter that wakes and destroys the event cannot pull the
// condition variable away from under notify_one.
void AutoResetEvent::set() {
    std::lock_guard<std::mutex> guard(impl->mutex);
    impl->signalled = true;
    impl->wakeUp.notify_one();
}

void AutoResetEvent::wait() {
    std::unique_lock<std::mutex> guard(impl->mutex);
    impl->wakeUp.wait(guard, [this] { return impl->signalled; });
    impl->signalled = false;
}

struct Thread::Impl {
    pthread_t handle{};
    Function function = nullptr;
    void* argument = nullptr;

    static void* run(void* self) {
        auto* thread = static_cast<Impl*>(self);
        thread->function(thread->argument);
        return nullptr;
    }
};

Thread::Thread() = default;

// A Thread owns its operating-system thread, so dropping one that still runs waits for it.
Thread::~Thread() {
    if (impl) join();
}

bool Thread::start(Function function, void* argument, size_t stackBytes) {
    if (impl) return false;
    auto created = std::make_unique<Impl>();
    created->function = function;
    created->argument = argument;
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    bool started = stackBytes == 0 || pthread_attr_setstacksize(&attributes, stackBytes) == 0;
    started = started && pthread_create(&created->handle, &attributes, Impl::run, created.get()) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) return false;
    impl = std::move(created);
    return true;
}

void Thread::join() {
    if (!impl) return;
    pthread_join(impl->handle, nullptr);
    impl.reset();
}

}  // namespace orvath::platform
