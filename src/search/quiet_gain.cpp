// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/quiet_gain.h"

#include <algorithm>
#include <cstring>

#include "search/search_constants.h"

namespace orvath {

void clearQuietGain(QuietGainTable& gains) { std::memset(gains, 0, sizeof(gains)); }

void updateQuietGain(QuietGainTable& gains, Move previousMove, int before, int after, const Board& board) {
    if (previousMove == NullMove || before == NoScore || after == NoScore)
        return;
    if (board.state().capturedPieceType != NoPieceType || moveKind(previousMove) != KindNormal)
        return;
    const Square to = moveTo(previousMove);
    const Piece piece = board.pieceOn(to);
    // An empty destination (no move was recorded in the frame) has no row in the table.
    if (piece == EmptySquare)
        return;
    int32_t& gain = gains[piece][to];
    gain = std::max(gain - 1, -before - after);
}

}  // namespace orvath
