// SPDX-License-Identifier: GPL-3.0-or-later
// Static exchange: the outcome of a capture once all recaptures on its square are played out.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "board/board.h"
#include "board/keys.h"
#include "test_support.h"

namespace orvath {
namespace {

int exchange(std::string_view fen, Move move) { return boardFrom(fen)->staticExchange(move); }

TEST(StaticExchange, PawnTakesKnightDefendedByPawn) {
    EXPECT_EQ(exchange("4k3/8/3p4/4n3/3P4/8/8/4K3 w - - 0 1", encodeMove(D4, E5)), 817 - 198);
}

TEST(StaticExchange, QueenTakesPawnDefendedByPawn) {
    EXPECT_EQ(exchange("4k3/8/3p4/4p3/8/8/7Q/4K3 w - - 0 1", encodeMove(H2, E5)), 198 - 2521);
}

TEST(StaticExchange, UndefendedVictimsAndQuietMoves) {
    EXPECT_EQ(exchange("4k3/8/8/8/3r4/8/8/3QK3 w - - 0 1", encodeMove(D1, D4)), 1270);
    EXPECT_EQ(exchange("4k3/8/8/8/3r4/8/8/3QK3 w - - 0 1", encodeMove(D1, D3)), -2521);  // onto the rook's file
    EXPECT_EQ(exchange("4k3/8/8/4r3/8/8/8/4K2B w - - 0 1", encodeMove(H1, E4)), -836);
    EXPECT_EQ(exchange("4k3/8/8/8/8/8/8/4K2B w - - 0 1", encodeMove(H1, E4)), 0);
    EXPECT_EQ(exchange("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", encodeMove(E1, H1, KindCastling)), 0);
}

TEST(StaticExchange, SlidersBehindTheCaptureJoinIn) {
    // Rook takes a pawn defended by a rook: lost alone, won with a rook or queen behind it.
    EXPECT_EQ(exchange("3rk3/8/8/3p4/8/8/3R4/4K3 w - - 0 1", encodeMove(D2, D5)), 198 - 1270);
    EXPECT_EQ(exchange("3rk3/8/8/3p4/8/8/3R4/3RK3 w - - 0 1", encodeMove(D2, D5)), 198);
    EXPECT_EQ(exchange("3rk3/8/8/3p4/8/8/3R4/3QK3 w - - 0 1", encodeMove(D2, D5)), 198);
    // The defender's battery answers: queen behind rook.
    EXPECT_EQ(exchange("3qk3/3r4/8/3p4/8/8/3R4/3RK3 w - - 0 1", encodeMove(D2, D5)), 198 - 1270);
    // A bishop behind the capturing pawn wins the knight's recapture back.
    EXPECT_EQ(exchange("4k3/8/1n6/3p4/4P3/5B2/8/4K3 w - - 0 1", encodeMove(E4, D5)), 198);
    EXPECT_EQ(exchange("4k3/8/1n6/3p4/4P3/8/8/4K3 w - - 0 1", encodeMove(E4, D5)), 0);
}

TEST(StaticExchange, KingCapturesOnlyWhenNothingAnswers) {
    // The black king alone defends: with a second white attacker it may not take back.
    EXPECT_EQ(exchange("8/8/4k3/3p4/8/8/8/3QK2B w - - 0 1", encodeMove(D1, D5)), 198);
    EXPECT_EQ(exchange("8/8/4k3/3p4/8/8/8/3QK3 w - - 0 1", encodeMove(D1, D5)), 198 - 2521);
    // The white king ends the sequence: it may take the bishop only when no rook stands behind.
    EXPECT_EQ(exchange("4k3/8/8/1b6/8/3r4/3RK3/8 w - - 0 1", encodeMove(D2, D3)), 836);
    EXPECT_EQ(exchange("4k3/8/8/1b1r4/8/3r4/3RK3/8 w - - 0 1", encodeMove(D2, D3)), 0);
}

TEST(StaticExchange, EnPassant) {
    const auto defended = boardFrom("4k3/2p5/8/3pP3/8/8/8/4K3 w - d6 0 1");
    ASSERT_EQ(defended->state().enPassantSquare, D6);
    EXPECT_EQ(defended->staticExchange(encodeMove(E5, D6, KindEnPassant)), 0);
    EXPECT_EQ(defended->exchangeSign(encodeMove(E5, D6, KindEnPassant)), 0);  // empty square: full walk

    // Taking the pawn off d5 opens the file for the rook behind it.
    const auto uncovered = boardFrom("3rk3/8/8/3pP3/8/8/8/3RK3 w - d6 0 1");
    EXPECT_EQ(uncovered->staticExchange(encodeMove(E5, D6, KindEnPassant)), 198);
    const auto alone = boardFrom("3rk3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_EQ(alone->staticExchange(encodeMove(E5, D6, KindEnPassant)), 0);
}

TEST(ExchangeSign, CheapCapturesNeedNoWalk) {
    const auto board = boardFrom("4k3/8/3p4/4n3/3P4/8/7Q/4K3 w - - 0 1");
    EXPECT_EQ(board->exchangeSign(encodeMove(D4, E5)), 1);
    EXPECT_EQ(board->exchangeSign(encodeMove(H2, E5)), 817 - 2521 + 198);  // the d4 pawn takes back
    EXPECT_EQ(board->exchangeSign(encodeMove(H2, H7)), 0);  // quiet and safe
}

// Every line and knight square of d5 holds a piece, colours alternating outwards: the longest
// exchange a square can see must stay inside the list and inside the values at stake.
std::string crowdedFen() {
    char squares[64];
    for (char& square : squares)
        square = '.';
    const int directions[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
    for (int d = 0; d < 8; ++d) {
        const bool straight = d < 4;
        int file = 3 + directions[d][0], rank = 4 + directions[d][1];
        for (int step = 0; file >= 0 && file < 8 && rank >= 0 && rank < 8; ++step) {
            const char piece = straight ? 'r' : 'b';
            squares[8 * rank + file] = step % 2 == 0 ? static_cast<char>(piece - 'a' + 'A') : piece;
            file += directions[d][0];
            rank += directions[d][1];
        }
    }
    const int jumps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
    for (int j = 0; j < 8; ++j)
        squares[8 * (4 + jumps[j][1]) + 3 + jumps[j][0]] = j % 2 == 0 ? 'N' : 'n';
    squares[D5] = 'n';
    squares[A1] = 'K';
    squares[H2] = 'k';
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const char piece = squares[8 * rank + file];
            if (piece == '.') {
                ++empty;
                continue;
            }
            if (empty > 0)
                fen += static_cast<char>('0' + empty);
            empty = 0;
            fen += piece;
        }
        if (empty > 0)
            fen += static_cast<char>('0' + empty);
        if (rank > 0)
            fen += '/';
    }
    return fen + " w - - 0 1";
}

TEST(StaticExchange, CrowdedSquareStaysInBounds) {
    const auto board = boardFrom(crowdedFen());
    Bitboard white = board->attackersOfSquare(D5, board->occupancy()) & board->piecesOfColour(White);
    ASSERT_NE(white, 0u);
    while (white != 0) {
        const Square from = popLowestSquare(white);
        const int value = board->staticExchange(encodeMove(from, D5));
        EXPECT_LE(value, 817) << from;
        EXPECT_GE(value, 817 - 1270) << from;
    }
}

}  // namespace
}  // namespace orvath
