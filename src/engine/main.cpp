// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point: builds the start-up tables in their fixed order, starts the thread pool, runs
// the command loop and stops the pool. Nothing is written before the first command.
#include "board/bitboard.h"
#include "board/keys.h"
#include "control/thread_pool.h"
#include "engine/command_loop.h"
#include "platform/platform.h"
#include "search/search_tables.h"

int main() {
    orvath::platform::makeStandardStreamsUnbuffered();
    orvath::initAttackTables();
    orvath::initHashesAndScores();
    orvath::initSearchTables();
    orvath::initThreadPool();
    orvath::commandLoop();
    orvath::exitThreadPool();
    return 0;
}
