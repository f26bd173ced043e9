// SPDX-License-Identifier: GPL-3.0-or-later
// Standard streams on POSIX: unbuffered output, the engine's own input buffer over fd 0, and
// a non-blocking test for waiting input that works for pipes, terminals and files alike.
#include <errno.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>

#include "platform/input_buffer.h"
#include "platform/platform.h"

namespace orvath::platform {

namespace {

InputBuffer standardInput;

// Asked anew each time: the tests put pipes and files in turn behind descriptor 0.
bool inputIsFile() {
    struct stat status {};
    return ::fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode);
}

long readStandardInput(char* buffer, std::size_t size) {
    while (true) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, size);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

}  // namespace

// Stdio unbuffered, and the C++ objects kept synchronised with it so they add no buffer of
// their own: a line written as one string still leaves in one write(2). An interface that
// has gone away makes writes fail rather than kill the program, so the end of its input ends
// the program as usual, with exit code 0, as on Windows.
void makeStandardStreamsUnbuffered() {
    std::signal(SIGPIPE, SIG_IGN);
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::ios::sync_with_stdio(true);
    std::cout.setf(std::ios::unitbuf);
}

bool readLine(std::string& line) { return standardInput.readLine(line, readStandardInput); }

// A hang-up, an error or an invalid descriptor count as input, so that the following read
// sees the end of input and the search can stop.
bool inputArriving() {
    // A file is always readable: its lines are not commands arriving, and the main thread reads
    // them at its own pace.
    if (inputIsFile())
        return false;
    pollfd request{STDIN_FILENO, POLLIN, 0};
    return ::poll(&request, 1, 0) > 0 && (request.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

bool inputWaiting() {
    if (standardInput.hasUnread()) return true;
    pollfd request{STDIN_FILENO, POLLIN, 0};
    const int ready = ::poll(&request, 1, 0);
    if (ready < 0) return true;
    return ready > 0 && (request.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// The file test only once something is there: an empty pipe costs one system call.
bool commandWaiting() { return inputWaiting() && !inputIsFile(); }

}  // namespace orvath::platform
