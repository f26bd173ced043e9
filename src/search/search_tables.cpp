// The logarithmic start-up tables of the search, the quiet-gain table and the threat tests.
#include "search/search_tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "board/keys.h"
#include "search/search_constants.h"

namespace orvath {

constexpr double PvReductionDivisor = 3.0;
constexpr double NonPvReductionDivisor = 2.25;
constexpr double NonPvReductionOffset = 0.33;
constexpr int FutilityStep = 112;  // per doubling of the squared depth
constexpr int FutilityBase = 45;
constexpr int FutilityPerMove = 8;
constexpr double LateMoveLimitScale = 0.25;
constexpr double LateMoveLimitBase = 3.001;

int8_t reductionTable[2][64][64];
int32_t pruneMarginTable[16][64];
int32_t lateMoveLimitTable[32];
int32_t quietGain[16][64];

// Reductions in half-plies: the product of the logarithms of depth and move number, scaled,
// and nothing below one half-ply.
static int8_t reductionFor(double scaled) {
    return scaled >= 1.0 ? static_cast<int8_t>(std::floor(scaled * 2.0)) : 0;
}

void initSearchTables() {
    for (int hd = 1; hd < 64; ++hd) {
        for (int mc = 1; mc < 64; ++mc) {
            const double x = std::log(static_cast<double>(hd)) * std::log(static_cast<double>(mc));
            reductionTable[ReductionPv][hd][mc] = reductionFor(x / PvReductionDivisor);
            reductionTable[ReductionNonPv][hd][mc] = reductionFor(x / NonPvReductionDivisor + NonPvReductionOffset);
        }
    }
    for (int d = 1; d < 16; ++d) {
        const int steps = static_cast<int>(std::log(d * d * 0.5) / std::log(2.0) + 1.001);
        for (int mc = 0; mc < 64; ++mc)
            pruneMarginTable[d][mc] = FutilityStep * steps + FutilityBase - FutilityPerMove * mc;
    }
    for (int d = 0; d < 32; ++d)
        lateMoveLimitTable[d] = static_cast<int32_t>(d * d * LateMoveLimitScale + LateMoveLimitBase);
}

void clearQuietGain() {
    std::memset(quietGain, 0, sizeof(quietGain));
}

void updateQuietGain(Move previousMove, int before, int after, const Board& board) {
    if (previousMove == NullMove || before == NoScore || after == NoScore)
        return;
    if (board.state().capturedPieceType != NoPieceType || moveKind(previousMove) != KindNormal)
        return;
    const Square to = moveTo(previousMove);
    const Piece piece = board.pieceOn(to);
    // An empty destination (no move was recorded in the frame) has no row in the table.
    if (piece == EmptySquare)
        return;
    int32_t& gain = quietGain[piece][to];
    gain = std::max(gain - 1, -before - after);
}

static bool isSlider(Piece piece) {
    const PieceType type = typeOf(piece);
    return type == Bishop || type == Rook || type == Queen;
}

static bool isBetween(Square square, Square a, Square b) {
    return (betweenMask[a][b] & squareMask[square]) != 0;
}

bool movesConnected(const Board& board, Move previous, Move threat) {
    const Square previousFrom = moveFrom(previous);
    const Square previousTo = moveTo(previous);
    const Square threatFrom = moveFrom(threat);
    const Square threatTo = moveTo(threat);

    // The threatening piece is the one that just moved, or it goes where that piece stood.
    if (threatFrom == previousTo || threatTo == previousFrom)
        return true;

    // The move opened the line of the threatening slider.
    if (isSlider(board.pieceOn(threatFrom)) && isBetween(previousFrom, threatFrom, threatTo))
        return true;

    // A castling move leaves its destination (the rook's old square) empty: no piece to ask.
    const Piece moved = board.pieceOn(previousTo);
    if (moved == EmptySquare)
        return false;

    // The moved piece now defends the threat's destination.
    const Bitboard occupied = board.occupancy();
    if (pieceAttacksFrom(moved, previousTo, occupied) & squareMask[threatTo])
        return true;

    // The threatening piece stands in front of our king on the line of the moved slider.
    const Square king = board.kingSquare(board.sideToMove);
    return isSlider(moved) && isBetween(threatFrom, previousTo, king)
           && (pieceAttacksFrom(moved, previousTo, occupied & squareClearMask[threatFrom]) & squareMask[king]);
}

bool threatDefended(const Board& board, Move move, Move threat) {
    const Square moveFromSquare = moveFrom(move);
    const Square moveToSquare = moveTo(move);
    const Square threatFrom = moveFrom(threat);
    const Square threatTo = moveTo(threat);

    // The threatened piece steps away.
    if (moveFromSquare == threatTo)
        return true;

    // A capture that does not lose by itself, and the move guards the target square.
    const Piece attacker = board.pieceOn(threatFrom);
    const Piece victim = board.pieceOn(threatTo);
    const bool threatCaptures = (victim != EmptySquare && moveKind(threat) != KindCastling)
                                || moveKind(threat) == KindEnPassant;
    if (threatCaptures && (midgameValue[attacker] >= midgameValue[victim] || typeOf(attacker) == King)
        && board.moveThreatensSquare(move, threatTo))
        return true;

    // The move blocks the threatening slider's line without losing the blocking piece.
    return isSlider(attacker) && isBetween(moveToSquare, threatFrom, threatTo)
           && (midgameValue[board.pieceOn(moveToSquare)] >= midgameValue[board.pieceOn(moveFromSquare)]
               || board.staticExchange(move) >= 0);
}

}  // namespace orvath
