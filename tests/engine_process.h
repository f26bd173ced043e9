// SPDX-License-Identifier: GPL-3.0-or-later
// A child program driven over pipes, for the tests that talk to the real engine binary:
// lines go to its standard input, lines come back from its standard output. POSIX only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace orvath {

class EngineProcess {
public:
    // Starts the program with no arguments; its standard error is the test's own.
    explicit EngineProcess(const std::string& path);
    // Kills the child if it still runs, then reaps it.
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    bool started() const { return child > 0; }
    // The child's process id, for looking at it in /proc.
    pid_t processId() const { return child; }

    // Writes the bytes as they are; false when the child no longer reads its input.
    bool send(std::string_view bytes);
    // Writes the line and a line feed.
    bool sendLine(std::string_view line) { return send(std::string(line) + '\n'); }
    // Ends the child's standard input.
    void closeInput();
    // Closes our reading end of the child's standard output, as an interface that has gone
    // away does: the child's writes fail from then on.
    void closeOutput();

    // The next output line without its line feed, or nothing when the timeout passes first or
    // the output ends. A last piece without a line feed is returned at the end of output.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Everything the child writes until it closes its output (or the timeout passes).
    std::string readRest(std::chrono::milliseconds timeout);
    // Whether the child has closed its standard output and every line has been read.
    bool outputEnded() const { return endOfOutput && pending.empty(); }

    // The child's exit code, or nothing when it has not exited within the timeout or was
    // ended by a signal.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);

private:
    // Reads what is there, waiting at most until the deadline; false on timeout.
    bool fill(std::chrono::steady_clock::time_point deadline);

    pid_t child = -1;
    int inputFd = -1;   // the child's standard input, our writing end
    int outputFd = -1;  // the child's standard output, our reading end
    bool endOfOutput = false;
    bool reaped = false;
    int exitStatus = 0;
    std::string pending;
};

}  // namespace orvath
