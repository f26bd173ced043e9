// SPDX-License-Identifier: GPL-3.0-or-later
// Legality of pseudo-legal moves, the hash-move test, checkmate and draws.
#include <gtest/gtest.h>

#include <bitset>
#include <memory>
#include <random>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "board/keys.h"
#include "board/movegen.h"
#include "test_support.h"

namespace orvath {
namespace {

bool legal(const Board& board, Move move) { return board.isLegal(move, board.pinnedOwnPieces()); }

TEST(Legality, PinnedKnightHasNoLegalMove) {
    const auto board = boardFrom("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
    ASSERT_EQ(board->pinnedOwnPieces(), squareMask[E2]);
    for (const Square to : {C1, G1, C3, G3, D4, F4})
        EXPECT_FALSE(legal(*board, encodeMove(E2, to))) << to;
    EXPECT_TRUE(legal(*board, encodeMove(E1, D1)));
}

TEST(Legality, PinnedSliderMovesOnlyAlongThePin) {
    const auto rook = boardFrom("4k3/4r3/8/8/8/8/4R3/4K3 w - - 0 1");
    for (const Square to : {E3, E4, E5, E6, E7})
        EXPECT_TRUE(legal(*rook, encodeMove(E2, to))) << to;
    for (const Square to : {A2, D2, F2, H2})
        EXPECT_FALSE(legal(*rook, encodeMove(E2, to))) << to;

    const auto bishop = boardFrom("4k3/8/8/b7/8/8/3B4/4K3 w - - 0 1");
    EXPECT_TRUE(legal(*bishop, encodeMove(D2, C3)));
    EXPECT_TRUE(legal(*bishop, encodeMove(D2, A5)));
    EXPECT_FALSE(legal(*bishop, encodeMove(D2, E3)));
    EXPECT_FALSE(legal(*bishop, encodeMove(D2, C1)));
}

TEST(Legality, EnPassantThatOpensTheRankIsIllegal) {
    const auto exposed = boardFrom("8/8/8/K2pP2r/8/8/8/7k w - d6 0 1");
    ASSERT_EQ(exposed->state().enPassantSquare, D6);
    EXPECT_FALSE(legal(*exposed, encodeMove(E5, D6, KindEnPassant)));
    EXPECT_TRUE(legal(*exposed, encodeMove(E5, E6)));

    const auto shielded = boardFrom("8/8/8/K2pP1Nr/8/8/8/7k w - d6 0 1");
    EXPECT_TRUE(legal(*shielded, encodeMove(E5, D6, KindEnPassant)));

    // The captured pawn was the only piece between a bishop and the king.
    const auto diagonal = boardFrom("8/7k/8/8/3pP3/8/8/1B2K3 b - e3 0 1");
    ASSERT_EQ(diagonal->state().enPassantSquare, E3);
    EXPECT_FALSE(legal(*diagonal, encodeMove(D4, E3, KindEnPassant)));
    EXPECT_TRUE(legal(*diagonal, encodeMove(D4, D3)));
}

TEST(Legality, KingMayNotStepIntoAttackButCastlingIsTrusted) {
    const auto attacked = boardFrom("4k3/8/8/8/8/8/5r2/4K3 w - - 0 1");
    EXPECT_FALSE(legal(*attacked, encodeMove(E1, E2)));
    EXPECT_FALSE(legal(*attacked, encodeMove(E1, D2)));
    EXPECT_FALSE(legal(*attacked, encodeMove(E1, F1)));
    EXPECT_TRUE(legal(*attacked, encodeMove(E1, F2)));  // the rook is undefended
    EXPECT_TRUE(legal(*attacked, encodeMove(E1, D1)));

    const auto defended = boardFrom("4k3/8/8/8/8/7n/5r2/4K3 w - - 0 1");
    EXPECT_FALSE(legal(*defended, encodeMove(E1, F2)));

    const auto castling = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_TRUE(legal(*castling, encodeMove(E1, H1, KindCastling)));
    EXPECT_TRUE(legal(*castling, encodeMove(E1, A1, KindCastling)));
}

TEST(PseudoLegal, AcceptsOrdinaryMovesOfThePosition) {
    const auto board = boardFrom(StartFen);
    EXPECT_TRUE(board->isPseudoLegal(encodeMove(E2, E4)));
    EXPECT_TRUE(board->isPseudoLegal(encodeMove(E2, E3)));
    EXPECT_TRUE(board->isPseudoLegal(encodeMove(G1, F3)));
}

TEST(PseudoLegal, RejectsMovesFromOtherPositions) {
    const auto board = boardFrom(StartFen);
    EXPECT_FALSE(board->isPseudoLegal(NoMove));
    EXPECT_FALSE(board->isPseudoLegal(NullMove));
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E3, E4)));  // empty origin
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E7, E5)));  // enemy piece
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(A1, A3)));  // rook through its pawn
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(C1, E3)));  // bishop through its pawn
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(B1, D2)));  // onto an own piece
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E2, E5)));  // no such pawn step
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E2, D3)));  // diagonal without a victim
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E2, E4) | 0x3000));  // promotion bits, normal kind
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E1, G1, KindCastling)));
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E1, H1, KindCastling)));
}

TEST(PseudoLegal, PawnRules) {
    const auto blocked = boardFrom("4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1");
    EXPECT_FALSE(blocked->isPseudoLegal(encodeMove(E2, E4)));  // double step over a piece
    EXPECT_FALSE(blocked->isPseudoLegal(encodeMove(E2, E3)));  // push onto a piece

    const auto landing = boardFrom("4k3/8/8/8/4n3/8/4P3/4K3 w - - 0 1");
    EXPECT_FALSE(landing->isPseudoLegal(encodeMove(E2, E4)));
    EXPECT_TRUE(landing->isPseudoLegal(encodeMove(E2, E3)));

    const auto promoting = boardFrom("1n5k/P7/8/8/8/8/7p/K7 w - - 0 1");
    EXPECT_FALSE(promoting->isPseudoLegal(encodeMove(A7, A8)));  // last rank needs the promotion kind
    EXPECT_FALSE(promoting->isPseudoLegal(encodeMove(A7, B8)));
    EXPECT_TRUE(promoting->isPseudoLegal(encodePromotion(A7, A8, Queen)));
    EXPECT_TRUE(promoting->isPseudoLegal(encodePromotion(A7, B8, Knight)));
    EXPECT_FALSE(promoting->isPseudoLegal(encodePromotion(A7, A8, Queen) ^ KindPromotion ^ KindEnPassant));

    // A capture that wraps round the board's edge is no capture.
    EXPECT_FALSE(boardFrom("4k3/8/8/p7/8/7P/8/4K3 w - - 0 1")->isPseudoLegal(encodeMove(H3, A5)));
    EXPECT_FALSE(boardFrom("4k3/8/8/8/8/P6p/8/4K3 w - - 0 1")->isPseudoLegal(encodeMove(A3, H3)));

    const auto black = boardFrom("4k3/4p3/8/3P4/8/8/8/4K3 b - - 0 1");
    EXPECT_TRUE(black->isPseudoLegal(encodeMove(E7, E5)));
    EXPECT_TRUE(black->isPseudoLegal(encodeMove(E7, E6)));
    EXPECT_FALSE(black->isPseudoLegal(encodeMove(E7, E8)));  // backwards
    EXPECT_FALSE(black->isPseudoLegal(encodeMove(E7, D6)));
}

TEST(PseudoLegal, InCheckOnlyEvasionsPass) {
    const auto board = boardFrom("4k3/8/8/8/8/1N6/3P4/r3K2R w - - 0 1");
    ASSERT_TRUE(board->inCheck());
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(D2, D3)));  // neither blocks nor captures
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(B3, D4)));
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(H1, H8)));
    EXPECT_TRUE(board->isPseudoLegal(encodeMove(B3, C1)));   // block
    EXPECT_TRUE(board->isPseudoLegal(encodeMove(B3, A1)));   // capture the checker
    EXPECT_TRUE(board->isPseudoLegal(encodeMove(E1, E2)));
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E1, F1)));  // still on the rook's rank
    EXPECT_FALSE(board->isPseudoLegal(encodeMove(E1, D1)));

    const auto doubleCheck = boardFrom("4k3/8/8/8/8/1N3n2/8/r3K3 w - - 0 1");
    ASSERT_TRUE(doubleCheck->inCheck());
    EXPECT_FALSE(doubleCheck->isPseudoLegal(encodeMove(B3, A1)));
    EXPECT_TRUE(doubleCheck->isPseudoLegal(encodeMove(E1, E2)));
}

TEST(Checkmate, MateStalemateAndEscape) {
    EXPECT_TRUE(boardFrom("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3")->isCheckmate());
    EXPECT_FALSE(boardFrom("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1")->isCheckmate());  // stalemate
    EXPECT_FALSE(boardFrom("4k3/8/8/8/8/8/8/r3K3 w - - 0 1")->isCheckmate());
    EXPECT_FALSE(boardFrom(StartFen)->isCheckmate());
}

TEST(Draw, InsufficientMaterial) {
    EXPECT_TRUE(boardFrom("8/8/8/8/8/8/8/KN5k w - - 0 1")->isDraw());
    EXPECT_TRUE(boardFrom("8/8/8/8/8/8/8/KB5k b - - 0 1")->isDraw());
    EXPECT_TRUE(boardFrom("8/8/8/8/8/8/8/K6k w - - 0 1")->isDraw());
    EXPECT_FALSE(boardFrom("8/8/8/8/8/8/8/KNN4k w - - 0 1")->isDraw());  // 1634 is above 836
    EXPECT_FALSE(boardFrom("8/8/8/8/8/8/8/KB4bk w - - 0 1")->isDraw());
    EXPECT_FALSE(boardFrom("8/8/8/8/8/8/P7/K6k w - - 0 1")->isDraw());
    EXPECT_FALSE(boardFrom("8/8/8/8/8/8/8/KR5k w - - 0 1")->isDraw());
}

TEST(Draw, FiftyMoveRuleUnlessMated) {
    EXPECT_FALSE(boardFrom("4k3/8/8/8/8/8/4P3/R3K3 w - - 99 80")->isDraw());
    EXPECT_TRUE(boardFrom("4k3/8/8/8/8/8/4P3/R3K3 w - - 100 80")->isDraw());
    EXPECT_TRUE(boardFrom("4k3/8/8/8/8/8/4P3/R3K3 w - - 150 80")->isDraw());
    const auto mated = boardFrom("3R2k1/5ppp/8/8/8/8/8/K7 b - - 100 80");
    ASSERT_TRUE(mated->isCheckmate());
    EXPECT_FALSE(mated->isDraw());
}

TEST(Draw, RepetitionWithinTheReversibleStretch) {
    const auto board = boardFrom(StartFen);
    const uint64_t start = board->positionHash();
    BoardState states[8];
    const Move shuffle[] = {encodeMove(G1, F3), encodeMove(G8, F6), encodeMove(F3, G1), encodeMove(F6, G8)};
    for (int ply = 0; ply < 4; ++ply) {
        EXPECT_FALSE(board->isDraw()) << ply;
        board->makeMove(shuffle[ply], states[ply]);
    }
    EXPECT_EQ(board->positionHash(), start);
    EXPECT_TRUE(board->isDraw());

    // One occurrence 4 plies back is enough, whichever position it is.
    board->makeMove(encodeMove(G1, F3), states[4]);
    EXPECT_TRUE(board->isDraw());

    // Once a pawn has moved, the shuffle has to start again.
    board->makeMove(encodeMove(A7, A6), states[5]);
    board->makeMove(encodeMove(F3, G1), states[6]);
    EXPECT_FALSE(board->isDraw());
}

TEST(Draw, NullMoveEndsTheWalk) {
    const auto board = boardFrom("4k3/8/8/8/8/8/P7/4K2N w - - 0 1");
    const uint64_t start = board->positionHash();
    BoardState states[8];
    board->makeMove(encodeMove(H1, G3), states[0]);
    board->makeNullMove(states[1]);
    board->makeMove(encodeMove(G3, H1), states[2]);
    board->makeNullMove(states[3]);
    ASSERT_EQ(board->positionHash(), start);
    EXPECT_FALSE(board->isDraw());

    // Four real plies after the null move the walk reaches back far enough again.
    board->makeMove(encodeMove(H1, G3), states[4]);
    board->makeMove(encodeMove(E8, D8), states[5]);
    board->makeMove(encodeMove(G3, H1), states[6]);
    EXPECT_FALSE(board->isDraw());
    board->makeMove(encodeMove(D8, E8), states[7]);
    EXPECT_TRUE(board->isDraw());
}

// For every 16-bit value: the hash-move test agrees with generation. Normal moves that pass
// are generated moves (and out of check exactly those); special kinds pass exactly when legal;
// every legal move passes.
void expectPseudoLegalAgreesWithGeneration(const Board& board) {
    MoveEntry list[MaxMoves];
    MoveEntry* const end = board.inCheck() ? generateEvasions(board, list) : generateAllMoves(board, list);
    const Bitboard pinned = board.pinnedOwnPieces();
    std::bitset<65536> generated, legalSet;
    for (const MoveEntry* entry = list; entry != end; ++entry) {
        generated.set(entry->move);
        if (board.isLegal(static_cast<Move>(entry->move), pinned))
            legalSet.set(entry->move);
    }
    int failures = 0;
    for (int value = 0; value < 65536 && failures < 5; ++value) {
        const Move move = static_cast<Move>(value);
        const bool accepted = board.isPseudoLegal(move);
        bool agrees = true;
        if (moveKind(move) != KindNormal)
            agrees = accepted == legalSet.test(value);
        else if (!board.inCheck())
            agrees = accepted == generated.test(value);
        else
            agrees = (!accepted || generated.test(value)) && (!legalSet.test(value) || accepted);
        if (agrees && accepted && board.isLegal(move, pinned))
            agrees = legalSet.test(value);
        if (!agrees) {
            ++failures;
            ADD_FAILURE() << "move " << value << " from " << moveFrom(move) << " to " << moveTo(move)
                          << " kind " << (moveKind(move) >> 14) << " accepted " << accepted;
        }
    }
}

TEST(PseudoLegal, AgreesWithGenerationInRandomGames) {
    const char* const starts[] = {
        StartFen.data(),
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    };
    std::mt19937 random(20240611);
    int checked = 0, inCheck = 0;
    for (const char* fen : starts) {
        const auto board = boardFrom(fen);
        BoardState states[60];
        for (int ply = 0; ply < 60; ++ply) {
            if (ply % 6 == 0) {
                expectPseudoLegalAgreesWithGeneration(*board);
                ++checked;
                inCheck += board->inCheck();
            }
            const std::vector<Move> moves = legalMoves(*board);
            if (moves.empty())
                break;
            board->makeMove(moves[random() % moves.size()], states[ply]);
            ASSERT_TRUE(board->isConsistent());
        }
    }
    EXPECT_GE(checked, 30);
    EXPECT_GT(inCheck, 0);
}

TEST(PseudoLegal, AgreesWithGenerationInCheck) {
    for (const char* fen : {"4k3/8/8/8/8/1N6/3P4/r3K2R w - - 0 1", "4k3/8/8/8/8/1N3n2/8/r3K3 w - - 0 1",
                            "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1", "r3k2r/6P1/5N2/8/8/8/8/R3K2R b KQkq - 0 1",
                            "4k3/8/8/8/1b6/8/3PP3/r3K2R w K - 0 1"}) {
        const auto board = boardFrom(fen);
        SCOPED_TRACE(fen);
        ASSERT_TRUE(board->inCheck());
        expectPseudoLegalAgreesWithGeneration(*board);
    }
}

}  // namespace
}  // namespace orvath
