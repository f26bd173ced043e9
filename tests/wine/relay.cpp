// SPDX-License-Identifier: GPL-3.0-or-later
// Stands between a controlling program and a Windows engine as a chess interface does on
// Windows: the engine's standard input and output are anonymous pipes made here, so the
// engine polls a real Windows pipe whatever this program's own standard streams are (under
// Wine, a pipe handed over by a Linux parent cannot be peeked at).
//
//   relay.exe [--vanish] ENGINE.exe
//
// Every line read from standard input reaches the engine in one write; everything the engine
// writes is copied to standard output as it comes. At the end of standard input the engine's
// input is closed; with --vanish its output pipe is closed first, as when the interface has
// gone away altogether. The relay then waits for the engine and exits with its exit code.
//
// The line "#threads" is answered by the relay itself with "#threads N", the number of threads
// the engine process has at that moment.
//
// Notes on standard error: "relay: engine exited with code C" and, when our input had ended
// before, ", T ms after its input ended". Exit codes of the relay's own: 124 when the engine
// still runs 10 s after closing its output or losing its pipes (it is then terminated), 125
// when the engine could not be started.
#include <windows.h>
#include <tlhelp32.h>

#include <string>

namespace orvath {
namespace {

constexpr DWORD ExitWait = 10000;  // ms an engine may take to exit after its output or pipes close
constexpr DWORD ChunkSize = 4096;
constexpr int NoEngineCode = 125;
constexpr int HungEngineCode = 124;
constexpr char ThreadQuery[] = "#threads";

struct Relay {
    PROCESS_INFORMATION engine{};
    HANDLE toEngine = nullptr;    // the writing end of the engine's standard input
    HANDLE fromEngine = nullptr;  // the reading end of the engine's standard output
    HANDLE inputEnded = nullptr;  // manual-reset event: our standard input has ended
    bool vanish = false;
    // Owned by the output side: whether it has seen the input end, and when.
    bool inputOpen = true;
    DWORD inputEndTime = 0;
};

Relay relay;

void writeAll(HANDLE handle, const char* bytes, DWORD size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(handle, bytes, size, &written, nullptr) || written == 0)
            return;
        bytes += written;
        size -= written;
    }
}

void writeOut(const std::string& text) {
    writeAll(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()));
}

void note(const std::string& text) {
    const std::string line = "relay: " + text + "\n";
    writeAll(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()));
}

int engineThreadCount() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == relay.engine.dwProcessId)
            ++count;
    CloseHandle(snapshot);
    return count;
}

// Our standard input, line by line, to the engine; the relay's own query is answered here.
void forwardLine(const std::string& line) {
    std::string bare = line;
    while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
        bare.pop_back();
    if (bare == ThreadQuery) {
        writeOut(std::string(ThreadQuery) + " " + std::to_string(engineThreadCount()) + "\n");
        return;
    }
    writeAll(relay.toEngine, line.data(), static_cast<DWORD>(line.size()));
}

DWORD WINAPI forwardInput(LPVOID) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char chunk[ChunkSize];
    DWORD got = 0;
    while (ReadFile(input, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        pending.append(chunk, got);
        for (std::size_t feed; (feed = pending.find('\n')) != std::string::npos;) {
            forwardLine(pending.substr(0, feed + 1));
            pending.erase(0, feed + 1);
        }
    }
    if (!pending.empty())
        forwardLine(pending);
    // The output side closes the pipes, so that no handle is closed under a pending read.
    SetEvent(relay.inputEnded);
    return 0;
}

// Copies the engine's output until the engine closes it, or until the interface vanishes.
void forwardOutput() {
    char chunk[ChunkSize];
    while (true) {
        if (relay.inputOpen && WaitForSingleObject(relay.inputEnded, 0) == WAIT_OBJECT_0) {
            relay.inputOpen = false;
            relay.inputEndTime = GetTickCount();
            if (relay.vanish) {
                CloseHandle(relay.fromEngine);
                CloseHandle(relay.toEngine);
                return;
            }
            CloseHandle(relay.toEngine);
        }
        DWORD available = 0;
        if (!PeekNamedPipe(relay.fromEngine, nullptr, 0, nullptr, &available, nullptr))
            break;  // the engine has closed its output
        if (available == 0) {
            Sleep(1);
            continue;
        }
        DWORD got = 0;
        if (!ReadFile(relay.fromEngine, chunk, available < sizeof chunk ? available : sizeof chunk, &got, nullptr) ||
            got == 0)
            break;
        writeAll(GetStdHandle(STD_OUTPUT_HANDLE), chunk, got);
    }
    CloseHandle(relay.fromEngine);
}

bool startEngine(const char* path) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE engineInput = nullptr;
    HANDLE engineOutput = nullptr;
    if (!CreatePipe(&engineInput, &relay.toEngine, &inheritable, 0) ||
        !CreatePipe(&relay.fromEngine, &engineOutput, &inheritable, 0))
        return false;
    // The engine inherits only its own ends; ours must stay private to see the pipes break.
    SetHandleInformation(relay.toEngine, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(relay.fromEngine, HANDLE_FLAG_INHERIT, 0);
    HANDLE errors = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_ERROR_HANDLE), GetCurrentProcess(), &errors, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = engineInput;
    startup.hStdOutput = engineOutput;
    startup.hStdError = errors;
    std::string commandLine = std::string("\"") + path + "\"";
    const BOOL started = CreateProcessA(path, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &relay.engine);
    CloseHandle(engineInput);
    CloseHandle(engineOutput);
    if (errors)
        CloseHandle(errors);
    return started != 0;
}

int run(int argc, char** argv) {
    int first = 1;
    if (argc > first && std::string(argv[first]) == "--vanish") {
        relay.vanish = true;
        ++first;
    }
    if (argc != first + 1) {
        note("usage: relay.exe [--vanish] ENGINE.exe");
        return NoEngineCode;
    }
    relay.inputEnded = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!relay.inputEnded || !startEngine(argv[first])) {
        note(std::string("cannot start ") + argv[first]);
        return NoEngineCode;
    }
    HANDLE inputThread = CreateThread(nullptr, 0, forwardInput, nullptr, 0, nullptr);
    if (!inputThread) {
        TerminateProcess(relay.engine.hProcess, NoEngineCode);
        return NoEngineCode;
    }
    forwardOutput();

    int code = HungEngineCode;
    if (WaitForSingleObject(relay.engine.hProcess, ExitWait) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        GetExitCodeProcess(relay.engine.hProcess, &exitCode);
        code = static_cast<int>(exitCode);
        std::string text = "engine exited with code " + std::to_string(code);
        if (!relay.inputOpen)
            text += ", " + std::to_string(GetTickCount() - relay.inputEndTime) + " ms after its input ended";
        note(text);
    } else {
        note("engine still running " + std::to_string(ExitWait) + " ms after " +
             (relay.vanish ? "its pipes were closed" : "it closed its output") + "; terminated");
        TerminateProcess(relay.engine.hProcess, HungEngineCode);
    }
    CloseHandle(relay.engine.hThread);
    CloseHandle(relay.engine.hProcess);
    // The input thread may still wait for a line; leaving main ends it with the process.
    CloseHandle(inputThread);
    return code;
}

}  // namespace
}  // namespace orvath

int main(int argc, char** argv) { return orvath::run(argc, argv); }
