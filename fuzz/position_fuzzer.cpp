// SPDX-License-Identifier: GPL-3.0-or-later
// setFromFen on arbitrary text, then the "position" command with the same text. A position
// the command accepts must be one the generators and make/unmake handle: every generated move
// is checked against the board's own legality, check and consistency tests two plies deep.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "board/board.h"
#include "board/movegen.h"
#include "engine/position_command.h"
#include "fuzz_support.h"
#include "uci/move_text.h"

namespace orvath::fuzz {

namespace {

constexpr int WalkDepth = 2;

// Legal moves by the generators' own route (evasions when in check), as textToMove finds them.
int legalMoves(const Board& board, MoveEntry* list) {
    MoveEntry* const end = board.inCheck() ? generateEvasions(board, list) : generateAllMoves(board, list);
    check(end - list <= MaxMoves, "move list overflow");
    const Bitboard pinned = board.pinnedOwnPieces();
    int count = 0;
    for (const MoveEntry* entry = list; entry != end; ++entry) {
        const Move move = static_cast<Move>(entry->move);
        if (!board.isLegal(move, pinned))
            continue;
        check(board.isPseudoLegal(move), "legal move not pseudo-legal");
        list[count++] = *entry;
    }
    return count;
}

// Every legal move: its text reads back, its check flag matches the position after it, and
// unmaking restores the position exactly.
void walk(Board& board, int depth) {
    MoveEntry list[MaxMoves];
    const int count = legalMoves(board, list);
    check(board.isCheckmate() == (count == 0 && board.inCheck()), "mate test disagrees with the move list");
    for (int i = 0; i < count; ++i) {
        const Move move = static_cast<Move>(list[i].move);
        // Castling with a rook off the h-file is written as a queen-side step, so two moves can
        // share a text; the text must still read back as a legal move written the same way.
        const Move readBack = textToMove(board, moveToText(move));
        if (readBack == NoMove || moveToText(readBack) != moveToText(move))
            fail("move text " + moveToText(move) + " does not read back");
        // Written as the king taking its rook, every move's text is its own.
        setCastlingNotation(CastlingNotation::KingTakesRook);
        const bool ownText = textToMove(board, moveToText(move)) == move;
        setCastlingNotation(CastlingNotation::KingStep);
        check(ownText, "Chess960 move text does not read back as the same move");
        const uint64_t key = board.positionHash();
        const CheckInfo checkInfo(board);
        const bool givesCheck = board.givesCheck(move, checkInfo);
        BoardState state;
        board.makeMove(move, state, checkInfo, givesCheck);
        check(board.isConsistent(), "inconsistent after make");
        check(givesCheck == board.inCheck(), "givesCheck disagrees with the position after the move");
        const Bitboard moverKingAttackers =
            board.attackersOfSquare(board.kingSquare(board.sideToMove ^ 1), board.occupancy());
        check((moverKingAttackers & board.piecesOfColour(board.sideToMove)) == 0, "legal move leaves its king attacked");
        if (depth > 1)
            walk(board, depth - 1);
        board.unmakeMove(move);
        check(board.isConsistent() && board.positionHash() == key, "unmake did not restore the position");
        board.staticExchange(move);
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
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Whatever the text, the reader leaves a consistent board.
    Board scratch;
    scratch.setFromFen(text);
    fuzz::check(scratch.isConsistent(), "setFromFen left an inconsistent board");
    if (isPlayablePosition(scratch))
        fuzz::walk(scratch, fuzz::WalkDepth);

    // The command with the text as its words: "position fen ..." or "position startpos ...".
    for (const char* start : {"fen ", "startpos moves "}) {
        Board board;
        board.setFromFen(StartFen);
        std::istringstream words(start + std::string(text));
        setPosition(board, words);
        fuzz::check(board.isConsistent(), "position command left an inconsistent board");
        fuzz::check(isPlayablePosition(board), "position command accepted an unplayable position");
        fuzz::walk(board, 1);
    }
    return 0;
}
