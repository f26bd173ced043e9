// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point: builds the start-up tables in their fixed order, starts the thread pool, runs
// the command loop (or, asked by the arguments, the bench) and stops the pool. Nothing is
// written before the first command.
#include "board/bitboard.h"
#include "board/keys.h"
#include "control/thread_pool.h"
#include "engine/bench.h"
#include "engine/command_loop.h"
#include "platform/platform.h"
#include "search/search_tables.h"

int main(int argc, char** argv) {
    const orvath::ProgramRequest request = orvath::readProgramArguments(argc, argv);
    if (request.kind == orvath::ProgramRequest::Kind::Usage)
        return orvath::reportBenchUsage(argv[0]);
    orvath::platform::makeStandardStreamsUnbuffered();
    orvath::initAttackTables();
    orvath::initHashesAndScores();
    orvath::initSearchTables();
    orvath::initThreadPool();
    int exitCode = 0;
    if (request.kind == orvath::ProgramRequest::Kind::Bench)
        exitCode = orvath::runCommandLineBench(request.benchDepth);
    else
        orvath::commandLoop();
    orvath::exitThreadPool();
    return exitCode;
}
