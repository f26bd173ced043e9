// SPDX-License-Identifier: GPL-3.0-or-later
// The whole command loop fed an arbitrary byte stream. Lines are cut by the engine's own input
// buffer and run through executeCommand on one game board, as the real loop does; only "go"
// is bounded, so that one input stays fast: its depth is capped, "infinite" and "ponder" (which
// would wait for a "stop" or "ponderhit" that never comes) are dropped, and the line and thread counts are kept small. The hash table
// is sized as soon as "setoption" or "uci" is handled, so its memory is bounded at the
// allocator: a larger size is refused, and the engine goes on with the table it has.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "board/board.h"
#include "control/go.h"
#include "control/thread_pool.h"
#include "engine/command_loop.h"
#include "engine/position_command.h"
#include "fuzz_support.h"
#include "platform/input_buffer.h"
#include "search/hash_table.h"
#include "uci/move_text.h"
#include "uci/options.h"

namespace orvath::fuzz {

namespace {

constexpr int32_t MaxSearchDepth = 3;
constexpr size_t MaxHashBytes = size_t{16} << 20;
constexpr int32_t MaxPvLines = 4;
constexpr int32_t MaxSearchThreads = 4;
constexpr int MaxSearchesPerInput = 12;

// Keeps an option below a ceiling for one search and restores its text afterwards, so the
// input still sees the value it set.
class OptionCeiling {
public:
    OptionCeiling(const char* name, int32_t ceiling) : option(engineOption(name)), saved(option.currentValue) {
        if (option.numericValue() > ceiling)
            option.currentValue = std::to_string(ceiling);
    }
    ~OptionCeiling() { option.currentValue = saved; }

private:
    EngineOption& option;
    std::string saved;
};

void* boundedAllocator(size_t bytes) { return bytes > MaxHashBytes ? nullptr : allocateBucketMemory(bytes); }

// The limits of the line, parsed by the engine, then bounded.
bool runBoundedSearch(Board& board, std::istream& words) {
    SearchLimits limits = parseGoLimits(board, words);
    if (limits.depth == 0 || limits.depth > MaxSearchDepth)
        limits.depth = MaxSearchDepth;
    limits.infinite = 0;
    limits.ponder = 0;
    const OptionCeiling lines(MultiPvOptionName, MaxPvLines);
    const OptionCeiling threads(ThreadsOptionName, MaxSearchThreads);

    const uint64_t keyBefore = board.positionHash();
    const BoardState* stateBefore = board.currentState;
    const bool goOn = startSearch(board, limits);
    check(board.positionHash() == keyBefore && board.currentState == stateBefore, "search left the board changed");
    return goOn;
}

}  // namespace

}  // namespace orvath::fuzz

using namespace orvath;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::quietStandardStreams();
    fuzz::initStartUpTables();
    initThreadPool();
    hashTable.useAllocator(fuzz::boundedAllocator);
    // The workers sleep until told to end; the pool's destructor would wait for them forever.
    std::atexit(exitThreadPool);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resetOptionsToDefaults();
    setCastlingNotation(CastlingNotation::KingStep);
    Board board;
    board.setFromFen(StartFen);
    board.threadIndex = 0;

    auto input = std::make_unique<platform::InputBuffer>();
    size_t offset = 0;
    const auto readSome = [&](char* buffer, size_t room) -> long {
        const size_t count = std::min(room, size - offset);
        if (count > 0)
            std::memcpy(buffer, data + offset, count);
        offset += count;
        return static_cast<long>(count);
    };

    int searches = 0;
    std::string line;
    while (input->readLine(line, readSome)) {
        std::istringstream words(line);
        std::string command;
        bool goOn = true;
        if (words >> command && command == "go") {
            if (++searches > fuzz::MaxSearchesPerInput)
                continue;
            goOn = fuzz::runBoundedSearch(board, words);
        } else {
            goOn = executeCommand(board, line);
        }
        fuzz::check(board.isConsistent(), "game board inconsistent");
        fuzz::check(isPlayablePosition(board), "game board holds an unplayable position");
        fuzz::check(positionStateCursor() >= 0 && positionStateCursor() < PositionStateRingSize, "ring cursor");
        fuzz::checkOptions();
        if (!goOn)
            break;
    }
    return 0;
}
