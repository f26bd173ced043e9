// SPDX-License-Identifier: GPL-3.0-or-later
// The "info" and "bestmove" lines and the writer that every reply goes through.
#include "uci/output.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "uci/move_text.h"

namespace orvath {

// Scores this far from 0 are written as mates (" score mate 100" and closer). The text's own
// rule: the search's MateThreshold, from which it treats a score as a mate, lies higher.
constexpr int32_t MateTextThreshold = 29800;

// The search start sets it before the first line of a search is written.
int32_t searchStartTime = 0;

namespace {

bool outputMuted = false;

}  // namespace

// A mate p plies from the root scores 30000 - p (or p - 30000 when mated); the text counts
// moves instead: (p + 1) / 2 for a win, -p / 2 for a loss.
std::string scoreText(int32_t v, int32_t alpha, int32_t beta) {
    std::string text;
    if (v >= MateTextThreshold || v <= -MateTextThreshold) {
        const int32_t movesToMate = ((v > 0 ? MateScore + 1 : -MateScore) - v) / 2;
        text = " score mate " + std::to_string(movesToMate);
    } else {
        text = " score cp " + std::to_string(v * 100 / PawnValue);
    }
    if (v >= beta)
        text += " lowerbound";
    else if (v <= alpha)
        text += " upperbound";
    return text;
}

std::string nodesText(int64_t nodes) { return nodesText(nodes, platform::millisecondsSince(searchStartTime)); }

// The product goes through unsigned arithmetic: a node count that large cannot happen, but
// it must not be undefined behaviour either. The rate is a 32-bit figure; one beyond it (many
// threads, a count from a long-lived board) shows as the largest one instead of wrapping to a
// negative speed.
std::string nodesText(int64_t nodes, int32_t elapsed) {
    int32_t nodesPerSecond = 0;
    if (elapsed > 0)
        nodesPerSecond = static_cast<int32_t>(
            std::min<uint64_t>(static_cast<uint64_t>(nodes) * 1000u / static_cast<uint64_t>(elapsed), INT32_MAX));
    return " nodes " + std::to_string(nodes) + " nps " + std::to_string(nodesPerSecond);
}

std::string pvText(const Move* pv) {
    std::string text = " pv ";
    for (; *pv != NoMove; ++pv) {
        writeMove(text, *pv);
        text += ' ';
    }
    return text;
}

std::string depthText(int32_t depth) { return " depth " + std::to_string(depth / OnePly); }

std::string pvLineText(const PvLine& line) {
    return "info multipv " + std::to_string(line.index) + depthText(line.depth) + " time " +
           std::to_string(line.elapsed) + scoreText(line.score, line.alpha, line.beta) + nodesText(line.nodes) +
           pvText(line.pv);
}

std::string currentMoveLineText(Move move, int32_t number) {
    return "info currmove " + moveToText(move) + " currmovenumber " + std::to_string(number);
}

std::string bestMoveLineText(Move move, Move ponderMove) {
    std::string text = "bestmove " + moveToText(move);
    if (ponderMove != NoMove)
        text += " ponder " + moveToText(ponderMove);
    return text;
}

std::string bookMoveLinesText(Move move, Move reply, uint32_t weight, uint32_t weightSum) {
    const Move line[3] = {move, reply, NoMove};
    return "info string book move " + moveToText(move) + " weight " + std::to_string(weight) + " of " +
           std::to_string(weightSum) + "\ninfo" + pvText(line);
}

void writeLine(const std::string& text) {
    if (outputMuted)
        return;
    const std::string line = text + '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

MutedOutput::MutedOutput() : wasMuted(outputMuted) { outputMuted = true; }

MutedOutput::~MutedOutput() { outputMuted = wasMuted; }

void writePvLine(const PvLine& line) { writeLine(pvLineText(line)); }

void writeCurrentMoveLine(Move move, int32_t number) { writeLine(currentMoveLineText(move, number)); }

void writeBestMoveLine(Move move, Move ponderMove) { writeLine(bestMoveLineText(move, ponderMove)); }

}  // namespace orvath
