// Shared set-up for the unit tests: the start-up tables, built once per test program.
#pragma once

#include <mutex>

#include "board/bitboard.h"
#include "board/keys.h"

namespace orvath {

// Builds the read-only start-up tables exactly once, whichever test asks first.
inline void initTables() {
    static std::once_flag once;
    std::call_once(once, [] {
        initAttackTables();
        initHashesAndScores();
    });
}

}  // namespace orvath
