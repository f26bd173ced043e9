// SPDX-License-Identifier: GPL-3.0-or-later
// orvath-perft: counts the leaves of the legal move tree of a position, to check move
// generation, legality and make/unmake against known totals and to measure their speed.
//
//   orvath-perft <depth> [startpos | fen <FEN words...>] [--divide] [--bulk]
//
// By default every move is made and unmade down to depth 0, through the same makeMove that
// the search uses; --bulk counts the legal moves of the last ply without making them.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "board/bitboard.h"
#include "board/board.h"
#include "board/keys.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "uci/move_text.h"

namespace orvath {
namespace {

constexpr int MaxPerftDepth = 64;

struct PerftOptions {
    int depth = 0;
    std::string fen{StartFen};
    bool divide = false;
    bool bulk = false;
};

// The root ply, with one line per move when dividing.
uint64_t perftRoot(Board& board, const PerftOptions& options) {
    if (!options.divide || options.depth == 0)
        return perft(board, options.depth, options.bulk);
    MoveEntry list[MaxMoves];
    MoveEntry* const end = generateLegalMoves(board, list);
    const CheckInfo checkInfo(board);
    uint64_t nodes = 0;
    for (MoveEntry* entry = list; entry != end; ++entry) {
        const Move move = static_cast<Move>(entry->move);
        BoardState state;
        board.makeMove(move, state, checkInfo, board.givesCheck(move, checkInfo));
        const uint64_t count = perft(board, options.depth - 1, options.bulk);
        board.unmakeMove(move);
        std::printf("%s %llu\n", moveToText(move).c_str(), static_cast<unsigned long long>(count));
        nodes += count;
    }
    return nodes;
}

bool parseOptions(int argc, char** argv, PerftOptions& options) {
    if (argc < 2)
        return false;
    const std::string_view depthText = argv[1];
    const auto [end, error] = std::from_chars(depthText.data(), depthText.data() + depthText.size(), options.depth);
    if (error != std::errc() || end != depthText.data() + depthText.size() || options.depth < 0
        || options.depth > MaxPerftDepth)
        return false;

    bool readingFen = false;
    std::string fen;
    for (int i = 2; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--divide") {
            options.divide = true;
        } else if (word == "--bulk") {
            options.bulk = true;
        } else if (readingFen) {
            if (!fen.empty())
                fen += ' ';
            fen += word;
        } else if (word == "startpos") {
            options.fen = StartFen;
        } else if (word == "fen") {
            readingFen = true;
        } else {
            return false;
        }
    }
    if (readingFen) {
        if (fen.empty())
            return false;
        options.fen = fen;
    }
    return true;
}

}  // namespace
}  // namespace orvath

int main(int argc, char** argv) {
    using namespace orvath;
    PerftOptions options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: orvath-perft <depth> [startpos | fen <FEN words...>] [--divide] [--bulk]\n");
        return 1;
    }

    initAttackTables();
    initHashesAndScores();
    Board board;
    board.setFromFen(options.fen);

    const auto start = std::chrono::steady_clock::now();
    const uint64_t nodes = perftRoot(board, options);
    const auto elapsed = std::chrono::steady_clock::now() - start;

    const long long micros = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    const double mnps = micros > 0 ? static_cast<double>(nodes) / static_cast<double>(micros) : 0.0;
    std::printf("nodes %llu time_ms %lld mnps %.2f\n", static_cast<unsigned long long>(nodes), micros / 1000, mnps);
    return 0;
}
