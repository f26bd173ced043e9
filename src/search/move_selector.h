// SPDX-License-Identifier: GPL-3.0-or-later
// Staged move ordering: hands out the moves of one node best first, generating them lazily
// so that an early cut-off saves the generation of the rest.
#pragma once

#include "board/board.h"
#include "board/movegen.h"
#include "search/history.h"

namespace orvath {

struct SearchFrame;

// Quiescence generates quiet checks down to this depth (half-plies); below it only captures.
constexpr int QuiesceChecksDepth = -2;

enum SelectorStage : int32_t {
    stageHashMove = 0,
    stageGoodCaptures = 1,
    stageProbeCaptures = 2,
    stageKillers = 3,
    stageGoodQuiets = 4,
    stageOtherQuiets = 5,
    stageBadCaptures = 6,
    stageEvasions = 7,
    stageQuiesceCaptures = 8,
    stageRecaptures = 9,
    stageQuietChecks = 10,
    stageEnd = 11,
};

class MoveSelector {
public:
    // Main searches and the root; quiet moves and evasions are ordered by `history`.
    MoveSelector(const Board& board, const HistoryTable& history, Move ttMove, int depth, const SearchFrame& frame,
                 int beta);
    // Quiescence searches.
    MoveSelector(const Board& board, const HistoryTable& history, Move ttMove, int depth, Square recaptureSquare);
    // Probe cut: only captures that win more than the piece the last move took.
    MoveSelector(const Board& board, Move ttMove, PieceType capturedType);

    MoveSelector(const MoveSelector&) = delete;
    MoveSelector& operator=(const MoveSelector&) = delete;

    // The next move, or NoMove when the node has none left. Legality is the caller's business.
    Move nextMove();

    int32_t currentStage() const { return stage; }

private:
    void prepareStage();
    void scoreCaptures();
    void scoreEvasions();
    MoveEntry* pickBest();

    const Board& board;
    const int32_t (*history)[64];
    int32_t depth = 0;
    Move ttMove = NoMove;
    MoveEntry killers[2] = {};
    Square recaptureSquare = NoSquare;
    int32_t captureThreshold = 0;
    int32_t stage = stageEnd;
    const int32_t* sequence = nullptr;
    MoveEntry* cur = nullptr;
    MoveEntry* end = nullptr;
    MoveEntry* quietEnd = nullptr;
    MoveEntry* positiveEnd = nullptr;
    MoveEntry moves[MaxMoves];
    // Losing captures are set aside here, filled from the back like the generated list's tail
    // would be, but in an array of their own so that the two can never overlap.
    int32_t badCaptureBegin = MaxMoves;
    MoveEntry badCaptures[MaxMoves];
};

}  // namespace orvath
