// SPDX-License-Identifier: GPL-3.0-or-later
// Standard streams on Windows: unbuffered output, the engine's own input buffer over the
// standard input handle, and the console-or-pipe test for waiting input.
#include <windows.h>

#include <cstdio>
#include <iostream>

#include "platform/input_buffer.h"
#include "platform/platform.h"

namespace orvath::platform {

namespace {

constexpr DWORD WindowEvents = 0x8;  // ENABLE_WINDOW_INPUT
constexpr DWORD MouseEvents = 0x10;  // ENABLE_MOUSE_INPUT
constexpr DWORD PeekedRecords = 256;
constexpr int CallsPerPeek = 64;  // of the frequent look between polls

InputBuffer standardInput;

// A broken pipe is how the end of input shows when the interface closes its end.
long readStandardInput(char* buffer, std::size_t size) {
    DWORD got = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
    return static_cast<long>(got);
}

struct InputHandle {
    HANDLE handle = nullptr;
    bool isPipe = false;
    bool isFile = false;
    bool known = false;
};

InputHandle input;

// Taken once: a console loses its window-size and mouse events, so that only key presses
// remain to be peeked at, and events from before start-up are dropped.
void takeInputHandle() {
    input.handle = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    input.isPipe = !GetConsoleMode(input.handle, &mode);
    input.isFile = GetFileType(input.handle) == FILE_TYPE_DISK;
    if (!input.isPipe) {
        SetConsoleMode(input.handle, mode & ~(WindowEvents | MouseEvents));
        FlushConsoleInputBuffer(input.handle);
    }
    input.known = true;
}

}  // namespace

void makeStandardStreamsUnbuffered() {
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::ios::sync_with_stdio(true);
    std::cout.setf(std::ios::unitbuf);
}

bool readLine(std::string& line) { return standardInput.readLine(line, readStandardInput); }

// The handle is taken by the main thread's first poll; asking before then, or at a console,
// would touch state that thread owns.
bool inputArriving() { return false; }

bool inputWaiting() {
    if (!input.known) takeInputHandle();
    if (standardInput.hasUnread()) return true;
    if (input.isPipe) {
        DWORD available = 0;
        if (!PeekNamedPipe(input.handle, nullptr, 0, nullptr, &available, nullptr)) return true;
        return available > 0;
    }
    DWORD events = 0;
    GetNumberOfConsoleInputEvents(input.handle, &events);
    if (events == 0) return false;
    INPUT_RECORD records[PeekedRecords];
    DWORD peeked = 0;
    if (!PeekConsoleInputW(input.handle, records, PeekedRecords, &peeked)) return false;
    for (DWORD i = 0; i < peeked; ++i) {
        if (records[i].EventType == KEY_EVENT) return true;
    }
    return false;
}

// A peek is a round trip to the kernel (under Wine, to its server process), dearer than the
// search's share of a few hundred nodes: the frequent look asks the system at some calls only,
// a millisecond or so apart; lines already read are seen at once.
bool commandWaiting() {
    static int callsSincePeek = 0;
    if (!input.known) takeInputHandle();
    if (input.isFile) return false;
    if (standardInput.hasUnread()) return true;
    if (++callsSincePeek < CallsPerPeek) return false;
    callsSincePeek = 0;
    return inputWaiting();
}

}  // namespace orvath::platform
