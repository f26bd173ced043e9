// SPDX-License-Identifier: GPL-3.0-or-later
// Locks, auto-reset events and threads on the Win32 primitives.
#include <windows.h>

#include "platform/platform.h"

namespace orvath::platform {

struct Lock::Impl {
    CRITICAL_SECTION section;
};

Lock::Lock() : impl(std::make_unique<Impl>()) { InitializeCriticalSection(&impl->section); }
Lock::~Lock() { DeleteCriticalSection(&impl->section); }
void Lock::lock() { EnterCriticalSection(&impl->section); }
void Lock::unlock() { LeaveCriticalSection(&impl->section); }

struct AutoResetEvent::Impl {
    HANDLE event = nullptr;
};

// Auto-reset and created non-signalled: one SetEvent releases exactly one wait.
AutoResetEvent::AutoResetEvent() : impl(std::make_unique<Impl>()) {
    impl->event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}
AutoResetEvent::~AutoResetEvent() { CloseHandle(impl->event); }
void AutoResetEvent::set() { SetEvent(impl->event); }
void AutoResetEvent::wait() { WaitForSingleObject(impl->event, INFINITE); }

struct Thread::Impl {
    HANDLE handle = nullptr;
    Function function = nullptr;
    void* argument = nullptr;

    static DWORD WINAPI run(LPVOID self) {
        auto* thread = static_cast<Impl*>(self);
        thread->function(thread->argument);
        return 0;
    }
};

Thread::Thread() = default;

// A Thread owns its operating-system thread, so dropping one that still runs waits for it.
Thread::~Thread() {
    if (impl) join();
}

// Running at once. A given stack size is what the thread reserves: without the flag Windows
// would take it as the committed part and still reserve the program's default (16 MiB).
bool Thread::start(Function function, void* argument, size_t stackBytes) {
    if (impl) return false;
    auto created = std::make_unique<Impl>();
    created->function = function;
    created->argument = argument;
    const DWORD flags = stackBytes != 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0;
    created->handle = CreateThread(nullptr, stackBytes, Impl::run, created.get(), flags, nullptr);
    if (!created->handle) return false;
    impl = std::move(created);
    return true;
}

void Thread::join() {
    if (!impl) return;
    WaitForSingleObject(impl->handle, INFINITE);
    CloseHandle(impl->handle);
    impl.reset();
}

}  // namespace orvath::platform
