// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/go.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "control/book_move.h"
#include "control/deepening.h"
#include "control/hash_setup.h"
#include "control/search_poll.h"
#include "control/thread_pool.h"
#include "control/time_budget.h"
#include "platform/platform.h"
#include "search/search_context.h"
#include "uci/move_text.h"
#include "uci/options.h"
#include "uci/output.h"

namespace orvath {

namespace {

// A whole word read as a signed decimal integer with at most one sign; false when it is not
// one or does not fit.
template <typename Integer>
bool readInteger(std::istream& words, Integer& value) {
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
    Integer parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed);
    if (error != std::errc() || end == first)
        return false;
    value = parsed;
    return true;
}

// The words of "go" that stand for themselves or take a value; "searchmoves" reads moves up to
// the next of them.
bool isGoKeyword(const std::string& word) {
    for (const char* keyword : {"infinite", "wtime", "btime", "winc", "binc", "movestogo", "depth", "movetime",
                                "ponder", "nodes", "mate", "searchmoves"})
        if (word == keyword)
            return true;
    return false;
}

// The legal moves among the words after "searchmoves", each once; the first word that is a
// keyword again is left in `word` for the caller, which reports whether there is one.
bool readSearchMoves(const Board& board, std::istream& words, SearchLimits& limits, std::string& word) {
    while (words >> word) {
        if (isGoKeyword(word))
            return true;
        const Move move = textToMove(board, word);
        if (move == NoMove || std::find(limits.searchMoves, limits.searchMoves + limits.searchMoveCount, move) !=
                                  limits.searchMoves + limits.searchMoveCount)
            continue;
        if (limits.searchMoveCount < MaxMoves)
            limits.searchMoves[limits.searchMoveCount++] = move;
    }
    return false;
}

}  // namespace

SearchLimits parseGoLimits(const Board& board, std::istream& words) {
    SearchLimits limits;
    int32_t whiteTime = 0, blackTime = 0, whiteIncrement = 0, blackIncrement = 0;
    std::string word;
    bool haveWord = static_cast<bool>(words >> word);
    while (haveWord) {
        int32_t* field = nullptr;
        if (word == "searchmoves") {
            // A repeated "searchmoves" starts the list afresh, as a repeated keyword takes its last value.
            limits.searchMoveCount = 0;
            haveWord = readSearchMoves(board, words, limits, word);
            continue;
        }
        if (word == "infinite")
            limits.infinite = 1;
        else if (word == "ponder")
            limits.ponder = 1;
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
        else if (word == "mate")
            field = &limits.mate;
        else if (word == "nodes" && !readInteger(words, limits.nodes))
            break;
        // Every other word is skipped.
        if (field != nullptr && !readInteger(words, *field))
            break;
        haveWord = static_cast<bool>(words >> word);
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
    timeBudget.measuredFrom = searchStartTime;
    pollInterval = pollIntervalFor(searchLimits);
    pollFunction = poll;
    helperPollFunction = poll != nullptr ? helperPoll : nullptr;
    quickPollFunction = poll != nullptr ? quickPoll : nullptr;
    setHardDeadline();
}

Move runSearch(const Board& board, int threads, int multiPv) {
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
    stopHelpers();
    restoreThreadsAfterSearch();
    return bestMove;
}

bool startSearch(Board& board, const SearchLimits& limits) {
    if (playBookMove(board, limits))
        return true;
    SearchLimits optionedLimits = limits;
    optionedLimits.moveOverhead = engineOption(MoveOverheadOptionName).numericValue();
    // The position command keeps the game ply: the FEN's move number plus the moves played.
    resetSearchState(optionedLimits, board.gamePly, pollSearch);
    const int32_t multiPv = engineOption(MultiPvOptionName).numericValue();
    const int32_t threads = engineOption(ThreadsOptionName).numericValue();
    const Move bestMove = runSearch(board, threads, multiPv);

    // The helpers are asleep again before the answer is written. An infinite search, or one
    // still pondering, answers only once the client releases it: one that ended for any other
    // reason (its depth, node or mate limit, or nothing left to search) waits for the release.
    if (!searchSignals.released && (searchLimits.infinite || searchLimits.ponder))
        waitForStop();
    const bool offersPonderMove = engineOption(PonderOptionName).currentValue == "true";
    writeBestMoveLine(bestMove, offersPonderMove ? ponderMoveOf(mainSearchContext(), board, bestMove) : NoMove);
    return !searchSignals.quit;
}

Move ponderMoveOf(const SearchContext& main, const Board& board, Move bestMove) {
    if (bestMove == NoMove || main.rootList.empty() || main.rootList[0].move() != bestMove)
        return NoMove;
    const Move reply = main.rootList[0].pv[1];
    if (reply == NoMove)
        return NoMove;
    Board after;
    after.copyFrom(board);
    BoardState state;
    after.makeMove(bestMove, state);
    return after.isPseudoLegal(reply) && after.isLegal(reply, after.pinnedOwnPieces()) ? reply : NoMove;
}

}  // namespace orvath
