// SPDX-License-Identifier: GPL-3.0-or-later
// The word-level parsers on arbitrary lines: move text (textToMove), the "go" limits with the
// time budget computed from them, and "setoption". The first byte picks the position the moves
// and limits are read against; every following line is given to all three parsers in turn.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "board/board.h"
#include "control/go.h"
#include "control/search_poll.h"
#include "control/time_budget.h"
#include "fuzz_support.h"
#include "uci/move_text.h"
#include "uci/options.h"

namespace orvath::fuzz {

namespace {

// Castling both ways, en passant, promotions, check, mate, stalemate, and a move number far
// beyond any real game for the time allocation.
constexpr std::string_view Positions[] = {
    StartFen,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "4k3/8/8/8/8/8/4q3/4K3 w - - 0 1",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
    "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
    "8/8/4k3/8/8/3R4/4K3/8 b - - 99 99999",
    "1r2k1r1/8/8/8/8/8/8/1R2K1R1 w BGbg - 0 1",
};
constexpr int PositionCount = sizeof(Positions) / sizeof(Positions[0]);
constexpr int MaxMovesMade = 64;

void checkMoveText(Board& board, BoardState* states, int& made, const std::string& line) {
    const Move move = textToMove(board, line);
    if (move == NoMove)
        return;
    check(moveToText(move) == line, "textToMove accepted a text the engine does not write");
    check(board.isLegal(move, board.pinnedOwnPieces()), "textToMove returned an illegal move");
    if (made == MaxMovesMade)
        return;
    const CheckInfo checkInfo(board);
    board.makeMove(move, states[made++], checkInfo, board.givesCheck(move, checkInfo));
    check(board.isConsistent(), "inconsistent after a move read from text");
}

void checkGoLimits(const Board& board, const std::string& line) {
    std::istringstream words(line);
    const SearchLimits limits = parseGoLimits(board, words);
    check(limits.infinite == 0 || limits.infinite == 1, "infinite is a flag");
    const TimeBudget budget = computeTimeBudget(limits, board.gamePly);
    check(budget.extraTime == 0, "extra time before the search");
    check(budget.optimumTime <= budget.maximumTime, "optimum time beyond the maximum");
    check(limits.time <= 0 || budget.maximumTime <= limits.time, "maximum time beyond the clock");
    const int32_t interval = pollIntervalFor(limits);
    check(interval == (limits.nodes > 0 ? 100 : interval) &&
              (interval == 100 || interval == 1000 || interval == 5000 || interval == 30000),
          "poll interval");
    check(limits.searchMoveCount >= 0 && limits.searchMoveCount <= MaxMoves, "search move count");
    for (int i = 0; i < limits.searchMoveCount; ++i)
        check(board.isInLegalList(limits.searchMoves[i]), "a search move that is not legal");
}

void checkSetOption(const std::string& line) {
    std::istringstream words(line);
    setOption(words);
    checkOptions();
    readDecimal(line);
    for (const auto& [name, option] : optionRegistry()) {
        check(!(optionNameLess(line, name) && optionNameLess(name, line)), "option names ordered both ways");
        check(!optionNameLess(name, name), "option name less than itself");
    }
}

}  // namespace

}  // namespace orvath::fuzz

using namespace orvath;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initStartUpTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    resetOptionsToDefaults();
    Board board;
    board.setFromFen(fuzz::Positions[data[0] % fuzz::PositionCount]);
    BoardState states[fuzz::MaxMovesMade];
    int made = 0;

    std::istringstream lines(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    std::string line;
    while (std::getline(lines, line)) {
        fuzz::checkMoveText(board, states, made, line);
        fuzz::checkGoLimits(board, line);
        fuzz::checkSetOption(line);
    }
    return 0;
}
