// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/go.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "control/deepening.h"
#include "control/hash_setup.h"
#include "control/search_poll.h"
#include "control/thread_pool.h"
#include "control/time_budget.h"
#include "platform/platform.h"
#include "search/search_context.h"
#include "uci/options.h"
#include "uci/output.h"

namespace orvath {

namespace {

// A whole word read as a signed decimal integer with at most one sign; false when it is not
// one or does not fit.
bool readInteger(std::istream& words, int32_t& value) {
    std::string word;
    if (!(words >> word))
        return false;
    const char* first = word.data();
    const char* last = word.data() + word.size();
    // from_chars takes a minus but no plus: skip a plus, but not one in front of a minus.
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return false;
    }
    int32_t parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed);
    if (error != std::errc() || end == first)
        return false;
    value = parsed;
    return true;
}

}  // namespace

SearchLimits parseGoLimits(const Board& board, std::istream& words) {
    SearchLimits limits;
    int32_t whiteTime = 0, blackTime = 0, whiteIncrement = 0, blackIncrement = 0;
    std::string word;
    while (words >> word) {
        int32_t* field = nullptr;
        if (word == "infinite")
            limits.infinite = 1;
        else if (word == "wtime")
            field = &whiteTime;
        else if (word == "btime")
            field = &blackTime;
        else if (word == "winc")
            field = &whiteIncrement;
        else if (word == "binc")
            field = &blackIncrement;
        else if (word == "movestogo")
            field = &limits.movesToGo;
        else if (word == "depth")
            field = &limits.depth;
        else if (word == "movetime")
            field = &limits.moveTime;
        // Every other word (ponder, nodes, mate, searchmoves and their values) is skipped.
        if (field != nullptr && !readInteger(words, *field))
            break;
    }
    limits.time = board.sideToMove == White ? whiteTime : blackTime;
    limits.increment = board.sideToMove == White ? whiteIncrement : blackIncrement;
    return limits;
}

bool handleGo(Board& board, std::istream& words) { return startSearch(board, parseGoLimits(board, words)); }

void resetSearchState(const SearchLimits& limits, int gamePly, PollFunction poll) {
    searchSignals.reset();
    searchStartTime = platform::nowMs();
    searchLimits = limits;
    initTimeBudget(searchLimits, gamePly);
    pollInterval = pollIntervalFor(searchLimits);
    pollFunction = poll;
}

Move runSearch(const Board& board, int threads, int multiPv, bool& stopped) {
    prepareThreadsForSearch(threads);
    // With more search threads than cores the main thread gets a share of the processor only,
    // so it polls after fewer of its own nodes: "stop" and the clock are then seen as soon as
    // with one thread.
    pollInterval = std::max(1, pollInterval / activeThreadCount());
    prepareHashTable();
    // The search works on copies of the game board, which stays as the position command left
    // it: a repeated "go" counts its nodes from the same start as the first one.
    SearchContext& main = prepareSearchContexts(board, multiPv);
    const Move bestMove = iterativeDeepening(main);
    // The helpers need the stop signal too; it must not pass for a stop of the main search.
    stopped = stopRequested();
    stopHelpers();
    restoreThreadsAfterSearch();
    return bestMove;
}

bool startSearch(Board& board, const SearchLimits& limits) {
    // The position command keeps the game ply: the FEN's move number plus the moves played.
    resetSearchState(limits, board.gamePly, pollSearch);
    const int32_t multiPv = engineOption(MultiPvOptionName).numericValue();
    const int32_t threads = engineOption(ThreadsOptionName).numericValue();
    bool stopped = false;
    const Move bestMove = runSearch(board, threads, multiPv, stopped);

    // The helpers are asleep again before the answer is written.
    if (!stopped && searchLimits.infinite)
        waitForStop();
    writeBestMoveLine(bestMove);
    return !searchSignals.quit;
}

}  // namespace orvath
