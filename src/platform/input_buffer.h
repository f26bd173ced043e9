// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's own standard-input buffer, shared by both platform implementations. Reading
// through it rather than through stdio keeps the input poll honest: every byte already taken
// from the operating system is in one place the poll can see.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace orvath::platform {

constexpr std::size_t InputBufferSize = 64 * 1024;

class InputBuffer {
public:
    // Whether bytes read from the operating system are still waiting to be handed out.
    bool hasUnread() const { return begin < end; }

    // Hands out the next line. readSome(buffer, size) reads at most size bytes and returns how
    // many it read; zero or less means end of input or a read error.
    template <typename ReadSome>
    bool readLine(std::string& line, ReadSome readSome) {
        line.clear();
        bool gotAnything = false;
        while (true) {
            if (begin < end) {
                gotAnything = true;
                const char* start = bytes + begin;
                const auto* feed = static_cast<const char*>(std::memchr(start, '\n', end - begin));
                if (feed) {
                    line.append(start, feed);
                    begin += static_cast<std::size_t>(feed - start) + 1;
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    return true;
                }
                line.append(start, end - begin);
                begin = end = 0;
            }
            const long got = readSome(bytes, sizeof bytes);
            if (got <= 0) return gotAnything;
            begin = 0;
            end = static_cast<std::size_t>(got);
        }
    }

private:
    char bytes[InputBufferSize];
    std::size_t begin = 0;
    std::size_t end = 0;
};

}  // namespace orvath::platform
