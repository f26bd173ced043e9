// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace orvath {

namespace {

constexpr auto ExitPollInterval = std::chrono::milliseconds(2);

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

}  // namespace

EngineProcess::EngineProcess(const std::string& path) {
    // A child that has exited must make send() fail, not kill the test program.
    ::signal(SIGPIPE, SIG_IGN);
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0)
        return;
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec. The program starts with the
        // default action for SIGPIPE, as an interface starts it, not with our ignored one.
        ::signal(SIGPIPE, SIG_DFL);
        ::dup2(toChild[0], STDIN_FILENO);
        ::dup2(fromChild[1], STDOUT_FILENO);
        ::execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    inputFd = toChild[1];
    outputFd = fromChild[0];
    if (pid < 0) {
        closeFd(inputFd);
        closeFd(outputFd);
        return;
    }
    child = pid;
}

EngineProcess::~EngineProcess() {
    closeFd(inputFd);
    closeFd(outputFd);
    if (child > 0 && !reaped) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
}

bool EngineProcess::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (inputFd < 0)
            return false;
        const ssize_t written = ::write(inputFd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

void EngineProcess::closeInput() { closeFd(inputFd); }

void EngineProcess::closeOutput() {
    closeFd(outputFd);
    endOfOutput = true;
}

bool EngineProcess::fill(std::chrono::steady_clock::time_point deadline) {
    if (endOfOutput)
        return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd request{outputFd, POLLIN, 0};
    const int ready = ::poll(&request, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (ready < 0)
        return errno == EINTR;
    if (ready == 0)
        return false;
    char buffer[4096];
    const ssize_t got = ::read(outputFd, buffer, sizeof buffer);
    if (got < 0)
        return errno == EINTR;
    if (got == 0) {
        endOfOutput = true;
        return false;
    }
    pending.append(buffer, static_cast<size_t>(got));
    return true;
}

std::optional<std::string> EngineProcess::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        const size_t feed = pending.find('\n');
        if (feed != std::string::npos) {
            std::string line = pending.substr(0, feed);
            pending.erase(0, feed + 1);
            return line;
        }
        if (!fill(deadline))
            break;
    }
    if (endOfOutput && !pending.empty()) {
        std::string rest;
        rest.swap(pending);
        return rest;
    }
    return std::nullopt;
}

std::string EngineProcess::readRest(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fill(deadline)) {
    }
    std::string rest;
    rest.swap(pending);
    return rest;
}

std::optional<int> EngineProcess::waitForExit(std::chrono::milliseconds timeout) {
    if (child <= 0)
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reaped) {
        const pid_t done = ::waitpid(child, &exitStatus, WNOHANG);
        if (done == child) {
            reaped = true;
            break;
        }
        if (done < 0 && errno != EINTR)
            return std::nullopt;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(ExitPollInterval);
    }
    if (!WIFEXITED(exitStatus))
        return std::nullopt;
    return WEXITSTATUS(exitStatus);
}

}  // namespace orvath
