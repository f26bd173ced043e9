// SPDX-License-Identifier: GPL-3.0-or-later
// The "position" command. The board code trusts its callers, so a FEN text is first set up on
// a scratch board and checked; only a position the generators can work on reaches the game board.
#include "engine/position_command.h"

#include <bit>
#include <string>

#include "board/bitboard.h"
#include "uci/move_text.h"
#include "uci/options.h"

namespace orvath {

BoardState positionStateRing[PositionStateRingSize];

namespace {

int ringCursor = 0;

bool hasOneKingEach(const Board& board) {
    for (const Colour colour : {White, Black}) {
        const Bitboard kings = board.piecesOf(colour, King);
        if (board.pieceCounts[makePiece(colour, King)] != 1 || kings == 0 || moreThanOne(kings))
            return false;
    }
    return true;
}

// A full army. It also keeps the piece lists from overflowing: a kind's pieces plus every pawn
// that may promote to it, the king aside, number at most 15, within a list's 16 slots.
constexpr int MaxArmySize = 16;
static_assert(sizeof(Board::pieceSquares[0]) / sizeof(Board::pieceSquares[0][0]) >= size_t{MaxArmySize});

}  // namespace

int positionStateCursor() { return ringCursor; }

bool isPlayablePosition(const Board& board) {
    if (!hasOneKingEach(board))
        return false;
    if ((board.piecesOfType(Pawn) & (rankMask[0] | rankMask[7])) != 0)
        return false;
    // More than a full army would let the generators outgrow their fixed move lists.
    for (const Colour colour : {White, Black})
        if (std::popcount(board.piecesOfColour(colour)) > MaxArmySize)
            return false;
    const Colour mover = board.sideToMove;
    const Bitboard waitingKingAttackers = board.attackersOfSquare(board.kingSquare(mover ^ 1), board.occupancy());
    return (waitingKingAttackers & board.piecesOfColour(mover)) == 0;
}

void setPosition(Board& board, std::istream& words) {
    // 1. The castling notation of the game: a change of the option takes effect here, never
    // in the middle of a game's moves.
    setCastlingNotation(engineOption(Chess960OptionName).isTrue() ? CastlingNotation::KingTakesRook
                                                                   : CastlingNotation::KingStep);

    // 2. The position: the start position or the FEN fields up to "moves".
    std::string word;
    if (!(words >> word))
        return;
    std::string fen;
    if (word == "startpos") {
        fen = StartFen;
        words >> word;  // stands where "moves" belongs, whatever it says
    } else if (word == "fen") {
        while (words >> word && word != "moves") {
            fen += word;
            fen += ' ';
        }
    } else {
        return;
    }

    // 3. Set it up, but only once it has proved playable on a board of its own.
    Board scratch;
    scratch.setFromFen(fen);
    if (!isPlayablePosition(scratch))
        return;
    board.setFromFen(fen);

    // 4. The moves, up to the first word that is not a legal move here.
    while (words >> word) {
        const Move move = textToMove(board, word);
        if (move == NoMove)
            return;
        const CheckInfo checkInfo(board);
        board.makeMove(move, positionStateRing[ringCursor], checkInfo, board.givesCheck(move, checkInfo));
        // The time allocation reads the game's ply: the FEN's move number plus the moves played.
        ++board.gamePly;
        ringCursor = ringCursor + 1 == PositionStateRingSize ? 0 : ringCursor + 1;
    }
}

}  // namespace orvath
