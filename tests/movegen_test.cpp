// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/movegen.h"
#include "test_support.h"
#include "uci/move_text.h"

namespace orvath {
namespace {

using Generator = MoveEntry* (*)(const Board&, MoveEntry*);

std::vector<Move> generated(const Board& board, Generator generator) {
    MoveEntry list[MaxMoves];
    MoveEntry* const end = generator(board, list);
    std::vector<Move> moves;
    for (MoveEntry* entry = list; entry != end; ++entry)
        moves.push_back(static_cast<Move>(entry->move));
    return moves;
}

std::vector<std::string> texts(const std::vector<Move>& moves) {
    std::vector<std::string> result;
    for (const Move move : moves)
        result.push_back(moveToText(move));
    return result;
}

std::vector<std::string> texts(const Board& board, Generator generator) { return texts(generated(board, generator)); }

std::vector<Move> legalOnly(const Board& board, std::vector<Move> moves) {
    const Bitboard pinned = board.pinnedOwnPieces();
    std::erase_if(moves, [&](Move move) { return !board.isLegal(move, pinned); });
    return moves;
}

std::vector<Move> sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

bool contains(const std::vector<Move>& moves, Move move) {
    return std::find(moves.begin(), moves.end(), move) != moves.end();
}

class MoveGeneration : public ::testing::Test {
protected:
    void SetUp() override { initTables(); }
    void setUp(std::string_view fen) { board.setFromFen(fen); }
    Board board;
};

TEST_F(MoveGeneration, StartPositionComesOutPawnsSinglesThenDoublesThenKnights) {
    setUp(StartFen);
    const std::vector<std::string> expected = {
        "a2a3", "b2b3", "c2c3", "d2d3", "e2e3", "f2f3", "g2g3", "h2h3", "a2a4", "b2b4",
        "c2c4", "d2d4", "e2e4", "f2f4", "g2g4", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3",
    };
    EXPECT_EQ(texts(board, generateQuiets), expected);
    EXPECT_TRUE(generated(board, generateCaptures).empty());
    EXPECT_EQ(texts(board, generateAllMoves), expected);
}

TEST_F(MoveGeneration, BlackPawnsPushDownTheBoard) {
    setUp("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    const std::vector<std::string> quiets = texts(board, generateQuiets);
    ASSERT_EQ(quiets.size(), 20u);
    EXPECT_EQ(quiets.front(), "a7a6");
    EXPECT_EQ(quiets[8], "a7a5");
    EXPECT_EQ(quiets[16], "b8a6");
}

TEST_F(MoveGeneration, QueenPromotionIsACaptureAndUnderPromotionsAreQuiet) {
    setUp("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(texts(board, generateCaptures), (std::vector<std::string>{"a7b8q", "a7a8q"}));
    const std::vector<std::string> quiets = texts(board, generateQuiets);
    const std::vector<std::string> underPromotions = {"a7b8r", "a7b8b", "a7b8n", "a7a8r", "a7a8b", "a7a8n"};
    ASSERT_GE(quiets.size(), underPromotions.size());
    EXPECT_EQ(std::vector<std::string>(quiets.begin(), quiets.begin() + 6), underPromotions);

    // All moves: the pawn part of the captures, then the pawn part of the quiets, then the king.
    const std::vector<std::string> all = texts(board, generateAllMoves);
    const std::vector<std::string> pawnPart = {"a7b8q", "a7a8q", "a7b8r", "a7b8b", "a7b8n", "a7a8r", "a7a8b", "a7a8n"};
    ASSERT_GE(all.size(), pawnPart.size());
    EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + 8), pawnPart);
    EXPECT_EQ(all.size(), 8u + 5u);
}

TEST_F(MoveGeneration, PromotionGroupsComeOneWayOtherWayThenPush) {
    // For black, "one way" is towards the a-file.
    setUp("4k3/8/8/8/8/8/3p4/2N1R1K1 b - - 0 1");
    EXPECT_EQ(texts(board, generateCaptures), (std::vector<std::string>{"d2c1q", "d2e1q", "d2d1q"}));
}

TEST_F(MoveGeneration, PawnCapturesDoNotWrapAroundTheBoardEdge) {
    setUp("4k3/p7/8/7P/8/8/8/4K3 w - - 0 1");  // h5 "takes" a7 only by wrapping
    EXPECT_TRUE(generated(board, generateCaptures).empty());
    setUp("4k3/8/8/8/8/8/P6p/4K1N1 b - - 0 1");  // h2 takes g1, never a2
    EXPECT_EQ(texts(board, generateCaptures), (std::vector<std::string>{"h2g1q", "h2h1q"}));
    setUp("4k3/8/8/p7/7P/8/8/4K3 b - - 0 1");  // a5 "takes" h4 only by wrapping
    EXPECT_TRUE(generated(board, generateCaptures).empty());
}

TEST_F(MoveGeneration, EnPassantOnlyWhenTheSquareIsSet) {
    setUp("4k3/8/8/2PpP3/8/8/8/4K3 w - d6 0 1");
    std::vector<Move> captures = generated(board, generateCaptures);
    ASSERT_EQ(captures.size(), 2u);
    EXPECT_EQ(captures[0], encodeMove(C5, D6, KindEnPassant));
    EXPECT_EQ(captures[1], encodeMove(E5, D6, KindEnPassant));

    setUp("4k3/8/8/2PpP3/8/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(generated(board, generateCaptures).empty());
}

TEST_F(MoveGeneration, EnPassantEvasionOnlyAgainstTheDoubleSteppedChecker) {
    setUp("4k3/8/8/3pP3/4K3/8/8/8 w - d6 0 1");  // d7-d5 checks the king on e4
    ASSERT_TRUE(board.inCheck());
    EXPECT_TRUE(contains(generated(board, generateEvasions), encodeMove(E5, D6, KindEnPassant)));

    setUp("4k3/r6K/8/3pP3/8/8/8/8 w - d6 0 1");  // d7-d5 uncovered the rook on a7
    ASSERT_TRUE(board.inCheck());
    for (const Move move : generated(board, generateEvasions))
        EXPECT_NE(moveKind(move), KindEnPassant) << moveToText(move);
}

TEST_F(MoveGeneration, CastlingKingSideFirstAndLast) {
    setUp("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    std::vector<Move> quiets = generated(board, generateQuiets);
    ASSERT_GE(quiets.size(), 2u);
    EXPECT_EQ(quiets[quiets.size() - 2], encodeMove(E1, H1, KindCastling));
    EXPECT_EQ(quiets.back(), encodeMove(E1, A1, KindCastling));
    EXPECT_EQ(generated(board, generateAllMoves).back(), encodeMove(E1, A1, KindCastling));

    setUp("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
    quiets = generated(board, generateQuiets);
    EXPECT_EQ(quiets[quiets.size() - 2], encodeMove(E8, H8, KindCastling));
    EXPECT_EQ(quiets.back(), encodeMove(E8, A8, KindCastling));
}

TEST_F(MoveGeneration, CastlingNeedsUnattackedKingPathAndEmptyPaths) {
    const auto castles = [this](std::string_view fen) {
        setUp(fen);
        std::vector<std::string> result;
        for (const Move move : generated(board, generateQuiets))
            if (moveKind(move) == KindCastling)
                result.push_back(moveToText(move));
        return result;
    };
    using Texts = std::vector<std::string>;
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), (Texts{"e1g1", "e1c1"}));
    EXPECT_EQ(castles("r3kr2/8/8/8/8/8/8/R3K2R w KQq - 0 1"), (Texts{"e1c1"}));          // f1 attacked
    EXPECT_EQ(castles("r3k1r1/8/8/8/8/8/8/R3K2R w KQq - 0 1"), (Texts{"e1c1"}));         // g1 attacked
    EXPECT_EQ(castles("r2rk3/8/8/8/8/8/8/R3K2R w KQ - 0 1"), (Texts{"e1g1"}));           // d1 attacked
    EXPECT_EQ(castles("r3k2r/8/8/8/8/8/8/RN2K2R w KQkq - 0 1"), (Texts{"e1g1"}));        // b1 occupied
    EXPECT_EQ(castles("1r2k2r/8/8/8/8/8/8/R3K2R w KQk - 0 1"), (Texts{"e1g1", "e1c1"})); // only b1 attacked
    EXPECT_EQ(castles("4k3/8/8/8/8/8/8/R3K1NR w KQ - 0 1"), (Texts{"e1c1"}));            // g1 occupied
    EXPECT_EQ(castles("4k3/8/8/8/8/8/8/R3K2R w Q - 0 1"), (Texts{"e1c1"}));              // right lost
}

TEST_F(MoveGeneration, DoubleCheckGivesOnlyKingMoves) {
    setUp("4k3/8/8/8/8/5n2/6B1/R3K2r w - - 0 1");  // rook h1 and knight f3
    ASSERT_TRUE(moreThanOne(board.checkers()));
    // d1 and f1 lie on the rook's line; d2, attacked by the knight, is left to the legality test.
    EXPECT_EQ(texts(board, generateEvasions), (std::vector<std::string>{"e1d2", "e1e2", "e1f2"}));
}

TEST_F(MoveGeneration, KingCannotStepAlongTheLinesOfAnAdjacentRook) {
    setUp("4k3/8/8/8/8/8/8/3rK3 w - - 0 1");
    EXPECT_EQ(texts(board, generateEvasions), (std::vector<std::string>{"e1d1", "e1e2", "e1f2"}));
    const std::vector<Move> legal = legalOnly(board, generated(board, generateEvasions));
    EXPECT_EQ(legal.size(), 3u);
}

TEST_F(MoveGeneration, DiagonalQueenNextToTheKingIsSeenThroughBlockers) {
    setUp("4k3/8/8/8/8/8/3q4/4K3 w - - 0 1");
    EXPECT_EQ(texts(board, generateEvasions), (std::vector<std::string>{"e1f1", "e1d2"}));
    // With e2 blocked the queen no longer reaches f2 along the rank.
    setUp("4k3/8/8/8/8/8/3qN3/4K3 w - - 0 1");
    EXPECT_EQ(texts(board, generateEvasions), (std::vector<std::string>{"e1f1", "e1d2", "e1f2"}));
}

TEST_F(MoveGeneration, SingleCheckEvasionsComeKingPawnsThenPieces) {
    // The bishop on b4 checks through c3 and d2.
    setUp("4k3/8/8/8/1b6/8/2P5/1N1QK2R w - - 0 1");
    ASSERT_TRUE(board.inCheck());
    EXPECT_EQ(texts(board, generateEvasions),
              (std::vector<std::string>{"e1f1", "e1e2", "e1f2", "c2c3", "b1d2", "b1c3", "d1d2"}));
}

TEST_F(MoveGeneration, PromotionEvasionsComeInAllFourPieces) {
    setUp("1r2k3/P7/8/8/8/8/8/1K6 w - - 0 1");  // a7xb8 takes the checking rook
    EXPECT_EQ(texts(board, generateEvasions), (std::vector<std::string>{"b1a1", "b1c1", "b1a2", "b1c2", "a7b8q",
                                                                        "a7b8r", "a7b8b", "a7b8n"}));
}

TEST_F(MoveGeneration, KnightUncoveringARookChecksWithEveryMove) {
    setUp("4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks),
              (std::vector<std::string>{"e4d2", "e4f2", "e4c3", "e4g3", "e4c5", "e4g5", "e4d6", "e4f6"}));
}

TEST_F(MoveGeneration, QuietPawnChecks) {
    using Texts = std::vector<std::string>;
    setUp("3k4/8/2P5/8/8/8/8/K7 w - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks), (Texts{"c6c7"}));
    setUp("8/8/8/3k4/8/8/2P5/K7 w - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks), (Texts{"c2c4"}));
    // A push off the rank uncovers the rook; a push along the king's file uncovers nothing.
    setUp("8/8/8/8/R1P4k/8/8/K7 w - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks), (Texts{"c4c5"}));
    setUp("8/8/8/8/8/8/R1P4k/K7 w - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks), (Texts{"c2c3", "c2c4"}));
    setUp("8/8/4k3/8/8/4P3/8/K3R3 w - - 0 1");
    EXPECT_TRUE(generated(board, generateQuietChecks).empty());
    setUp("k7/8/8/8/2p5/8/3K4/8 b - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks), (Texts{"c4c3"}));
    setUp("k7/2p5/8/8/3K4/8/8/8 b - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks), (Texts{"c7c5"}));
}

TEST_F(MoveGeneration, OnlyCheckingKnightPromotionsAreQuietChecksCapturesIncluded) {
    using Texts = std::vector<std::string>;
    setUp("8/1P6/2k5/8/8/8/8/K7 w - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks), (Texts{"b7b8n"}));
    setUp("8/1P6/3k4/8/8/8/8/K7 w - - 0 1");
    EXPECT_TRUE(generated(board, generateQuietChecks).empty());
    setUp("1r6/P7/2k5/8/8/8/8/K7 w - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks), (Texts{"a7b8n"}));
}

TEST_F(MoveGeneration, DirectChecksComeKnightsBishopsRooksQueens) {
    setUp("4k3/8/8/8/4N3/8/8/R2QK3 w - - 0 1");
    EXPECT_EQ(texts(board, generateQuietChecks),
              (std::vector<std::string>{"e4d6", "e4f6", "a1a8", "d1a4", "d1h5", "d1d7", "d1d8"}));
}

TEST_F(MoveGeneration, KingUncoveringCheckStaysOffTheEnemyKingsLines) {
    setUp("4k3/8/8/8/8/8/4K3/4R3 w - - 0 1");  // e3 stays on the file
    EXPECT_EQ(texts(board, generateQuietChecks),
              (std::vector<std::string>{"e2d1", "e2f1", "e2d2", "e2f2", "e2d3", "e2f3"}));
}

// Properties checked at every position of deterministic random games from varied starts.
TEST_F(MoveGeneration, CastlingRookMayNotHideAnEnemySliderFromTheKing) {
    // The b1 rook castles queen side; once it leaves b1 the a1 rook would attack the king on c1.
    setUp("4k3/8/8/8/8/8/8/rRK5 w B - 0 1");
    ASSERT_EQ(board.state().castlingRights, WhiteQueenSide);
    MoveEntry list[MaxMoves];
    const MoveEntry* end = generateQuiets(board, list);
    for (const MoveEntry* entry = list; entry != end; ++entry)
        EXPECT_NE(moveKind(static_cast<Move>(entry->move)), KindCastling);
}

class MoveGenerationProperties : public MoveGeneration {
protected:
    static constexpr int GamesPerStart = 6;
    static constexpr int MaxGamePlies = 80;

    // The moves that really leave the own king safe, found by making each one.
    std::vector<Move> safeMoves(const std::vector<Move>& moves) {
        std::vector<Move> result;
        const Colour us = board.sideToMove;
        for (const Move move : moves) {
            BoardState state;
            board.makeMove(move, state);
            if (!(board.attackersOfSquare(board.kingSquare(us), board.occupancy()) & board.piecesOfColour(us ^ 1)))
                result.push_back(move);
            board.unmakeMove(move);
        }
        return sorted(result);
    }

    void checkPosition() {
        const std::vector<Move> all = generated(board, generateAllMoves);
        if (board.inCheck()) {
            const std::vector<Move> evasions = generated(board, generateEvasions);
            const std::vector<Move> ordered = sorted(evasions);
            EXPECT_TRUE(std::adjacent_find(ordered.begin(), ordered.end()) == ordered.end());
            EXPECT_EQ(sorted(legalOnly(board, evasions)), safeMoves(all));
            return;
        }
        EXPECT_EQ(sorted(legalOnly(board, all)), safeMoves(all));
        const std::vector<Move> captures = generated(board, generateCaptures);
        const std::vector<Move> quiets = generated(board, generateQuiets);
        std::vector<Move> joined = captures;
        joined.insert(joined.end(), quiets.begin(), quiets.end());
        joined = sorted(joined);
        EXPECT_EQ(joined, sorted(all));
        EXPECT_TRUE(std::adjacent_find(joined.begin(), joined.end()) == joined.end());

        const CheckInfo checkInfo(board);
        const std::vector<Move> checks = generated(board, generateQuietChecks);
        for (const Move move : checks) {
            EXPECT_TRUE(board.givesCheck(move, checkInfo)) << moveToText(move);
            EXPECT_TRUE(contains(quiets, move)) << moveToText(move);
            if (moveKind(move) == KindNormal) {
                EXPECT_EQ(board.pieceOn(moveTo(move)), EmptySquare) << moveToText(move);
            } else {
                EXPECT_EQ(moveKind(move), KindPromotion) << moveToText(move);
            }
        }
        // Every legal checking quiet move of the normal kind must be among them.
        for (const Move move : legalOnly(board, quiets)) {
            if (moveKind(move) == KindNormal && board.givesCheck(move, checkInfo)) {
                EXPECT_TRUE(contains(checks, move)) << "missing quiet check " << moveToText(move);
            }
        }
    }

    void playRandomGames(std::string_view fen, uint64_t seed) {
        for (int game = 0; game < GamesPerStart; ++game) {
            setUp(fen);
            BoardState states[MaxGamePlies];
            for (int ply = 0; ply < MaxGamePlies; ++ply) {
                checkPosition();
                if (HasFailure())
                    return;
                const std::vector<Move> legal = legalOnly(
                    board, generated(board, board.inCheck() ? generateEvasions : generateAllMoves));
                if (legal.empty())
                    break;
                seed = seed * 6364136223846793005ull + 1442695040888963407ull;
                board.makeMove(legal[(seed >> 33) % legal.size()], states[ply]);
            }
        }
    }
};

TEST_F(MoveGenerationProperties, GeneratorsAgreeWithEachOtherInRandomGames) {
    const std::string_view starts[] = {
        StartFen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    };
    uint64_t seed = 12345;
    for (const std::string_view fen : starts) {
        SCOPED_TRACE(fen);
        playRandomGames(fen, seed++);
    }
}

}  // namespace
}  // namespace orvath
