// SPDX-License-Identifier: GPL-3.0-or-later
// The "position" command, the move text and the check that keeps unplayable positions out.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "board/board.h"
#include "board/keys.h"
#include "board/movegen.h"
#include "engine/position_command.h"
#include "test_support.h"
#include "uci/move_text.h"
#include "uci/options.h"
#include "uci/output.h"

namespace orvath {
namespace {

void position(Board& board, const std::string& rest) {
    std::istringstream words(rest);
    setPosition(board, words);
}

// Same pieces on the same squares, same side, rights, en-passant square and counters.
void expectSamePosition(const Board& actual, const Board& expected) {
    for (Square square = 0; square < SquareCount; ++square)
        EXPECT_EQ(actual.pieceOn(square), expected.pieceOn(square)) << square;
    EXPECT_EQ(actual.sideToMove, expected.sideToMove);
    EXPECT_EQ(actual.state().castlingRights, expected.state().castlingRights);
    EXPECT_EQ(actual.state().enPassantSquare, expected.state().enPassantSquare);
    EXPECT_EQ(actual.state().fiftyMoveCounter, expected.state().fiftyMoveCounter);
    EXPECT_EQ(actual.positionHash(), expected.positionHash());
}

// A board changed by an earlier command, so that "unchanged" can be told from "start position".
std::unique_ptr<Board> playedBoard() {
    auto board = boardFrom(StartFen);
    position(*board, "startpos moves e2e4 c7c5 g1f3");
    return board;
}

TEST(MoveText, Writing) {
    EXPECT_EQ(moveToText(NoMove), "a1a1");
    EXPECT_EQ(moveToText(encodeMove(E2, E4)), "e2e4");
    EXPECT_EQ(moveToText(encodeMove(E5, D6, KindEnPassant)), "e5d6");
    EXPECT_EQ(moveToText(encodeMove(E1, H1, KindCastling)), "e1g1");
    EXPECT_EQ(moveToText(encodeMove(E1, A1, KindCastling)), "e1c1");
    EXPECT_EQ(moveToText(encodeMove(E8, H8, KindCastling)), "e8g8");
    EXPECT_EQ(moveToText(encodeMove(E8, A8, KindCastling)), "e8c8");
    EXPECT_EQ(moveToText(encodePromotion(E7, E8, Queen)), "e7e8q");
    EXPECT_EQ(moveToText(encodePromotion(A2, B1, Knight)), "a2b1n");
    EXPECT_EQ(moveToText(encodePromotion(A2, A1, Bishop)), "a2a1b");
    EXPECT_EQ(moveToText(encodePromotion(H7, G8, Rook)), "h7g8r");
    std::string out = "bestmove ";
    writeMove(out, encodeMove(G1, F3));
    EXPECT_EQ(out, "bestmove g1f3");
}

TEST(MoveText, ReadingFindsOnlyLegalMovesInTheirOwnText) {
    const auto start = boardFrom(StartFen);
    EXPECT_EQ(textToMove(*start, "e2e4"), encodeMove(E2, E4));
    EXPECT_EQ(textToMove(*start, "g1f3"), encodeMove(G1, F3));
    for (const char* text : {"e2e5", "e7e5", "E2E4", "e2e4 ", "e2", "", "e2e4q", "a1a1"})
        EXPECT_EQ(textToMove(*start, text), NoMove) << text;

    const auto castling = boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    EXPECT_EQ(textToMove(*castling, "e1g1"), encodeMove(E1, H1, KindCastling));
    EXPECT_EQ(textToMove(*castling, "e1c1"), encodeMove(E1, A1, KindCastling));
    EXPECT_EQ(textToMove(*castling, "e1h1"), NoMove);
    EXPECT_EQ(textToMove(*castling, "e1a1"), NoMove);

    const auto stalemate = boardFrom("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(textToMove(*stalemate, "h8g8"), NoMove);

    const auto check = boardFrom("4k3/8/8/8/8/8/3P4/r3K3 w - - 0 1");
    EXPECT_EQ(textToMove(*check, "d2d3"), NoMove);
    EXPECT_EQ(textToMove(*check, "e1e2"), encodeMove(E1, E2));
}

TEST(PositionCommand, StartPosition) {
    const auto expected = boardFrom(StartFen);
    for (const char* rest : {"startpos", "startpos moves", "startpos e2e4 e7e5", "startpos anything"}) {
        const auto board = playedBoard();
        position(*board, rest);
        SCOPED_TRACE(rest);
        expectSamePosition(*board, *expected);
    }
}

TEST(PositionCommand, FenWithoutMoves) {
    const auto board = playedBoard();
    position(*board, "fen 8/8/8/8/8/8/8/K6k w - - 0 1");
    expectSamePosition(*board, *boardFrom("8/8/8/8/8/8/8/K6k w - - 0 1"));

    position(*board, "fen   rnbqkbnr/pp1ppppp/8/2p5/4P3/8/PPPP1PPP/RNBQKBNR   w KQkq c6 0 2 moves g1f3");
    expectSamePosition(*board, *boardFrom("rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2"));
}

TEST(PositionCommand, MoveListStopsAtTheFirstMoveThatIsNotLegal) {
    const auto board = playedBoard();
    position(*board, "startpos moves e2e4 e7e5 e1g1 g1f3");
    expectSamePosition(*board, *boardFrom("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2"));

    position(*board, "startpos moves e2e4 xyz e7e5");
    expectSamePosition(*board, *boardFrom("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"));
}

TEST(PositionCommand, CastlingIsWrittenAsTheKingsStep) {
    const auto board = playedBoard();
    position(*board, "fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1c1");
    expectSamePosition(*board, *boardFrom("r3k2r/8/8/8/8/8/8/2KR3R b kq - 0 1"));

    position(*board, "fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves e1g1 e8c8");
    expectSamePosition(*board, *boardFrom("2kr3r/8/8/8/8/8/8/R4RK1 w - - 0 2"));

    for (const char* king : {"e1a1", "e1h1"}) {
        position(*board, std::string("fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 moves ") + king + " e1d1");
        expectSamePosition(*board, *boardFrom("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"));
    }
}

// UCI_Chess960 as a client sets it between games: the position command takes the notation.
class Chess960Notation : public ::testing::Test {
protected:
    void TearDown() override {
        resetOptionsToDefaults();
        setCastlingNotation(CastlingNotation::KingStep);
    }

    static void setChess960(bool on) {
        std::istringstream words(std::string("name UCI_Chess960 value ") + (on ? "true" : "false"));
        setOption(words);
    }
};

// Castling is read as the king taking its own rook under UCI_Chess960, from Shredder-FEN and
// X-FEN castling fields alike, and as the king's two-square step without it, as before.
TEST_F(Chess960Notation, PositionCommandReadsCastlingInTheGamesNotation) {
    constexpr const char* Shredder = "fen 1rk4r/pppppppp/8/8/8/8/PPPPPPPP/1RK4R w HBhb - 0 1 moves ";
    constexpr const char* KingOnG = "fen r5kr/pppppppp/8/8/8/8/PPPPPPPP/R5KR w KQkq - 0 1 moves ";
    constexpr const char* InnerRook = "fen rk5r/pppppppp/8/8/8/8/PPPPPPPP/RK3R1R w QFkq - 0 1 moves ";
    constexpr const char* Start = "startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 ";
    struct Case {
        bool chess960;
        std::string command;
        const char* expected;
    };
    const Case cases[] = {
        // The king beside its queen-side rook stays put; the king-side castling crosses to g1.
        {true, std::string(Shredder) + "c1b1", "1rk4r/pppppppp/8/8/8/8/PPPPPPPP/2KR3R b hb - 0 1"},
        {true, std::string(Shredder) + "c1h1 c8b8", "2kr3r/pppppppp/8/8/8/8/PPPPPPPP/1R3RK1 w - - 0 2"},
        {true, std::string(Shredder) + "c1e1", "1rk4r/pppppppp/8/8/8/8/PPPPPPPP/1RK4R w HBhb - 0 1"},
        {false, std::string(Shredder) + "c1e1", "1rk4r/pppppppp/8/8/8/8/PPPPPPPP/1R3RK1 b hb - 0 1"},
        {false, std::string(Shredder) + "c1a1", "1rk4r/pppppppp/8/8/8/8/PPPPPPPP/2KR3R b hb - 0 1"},
        {false, std::string(Shredder) + "c1h1", "1rk4r/pppppppp/8/8/8/8/PPPPPPPP/1RK4R w HBhb - 0 1"},
        // The king on g1 beside its rook: only the rook moves, or the king crosses to c1.
        {true, std::string(KingOnG) + "g1h1 g8a8", "2kr3r/pppppppp/8/8/8/8/PPPPPPPP/R4RK1 w - - 0 2"},
        {true, std::string(KingOnG) + "g1a1 g8h8", "r4rk1/pppppppp/8/8/8/8/PPPPPPPP/2KR3R w - - 0 2"},
        // The king on b1; the f1 rook's right is named by its file, so the h1 rook has none.
        {true, std::string(InnerRook) + "b1f1", "rk5r/pppppppp/8/8/8/8/PPPPPPPP/R4RKR b kq - 0 1"},
        {true, std::string(InnerRook) + "b1a1", "rk5r/pppppppp/8/8/8/8/PPPPPPPP/2KR1R1R b kq - 0 1"},
        {true, std::string(InnerRook) + "b1h1", "rk5r/pppppppp/8/8/8/8/PPPPPPPP/RK3R1R w QFkq - 0 1"},
        // The standard start position as Chess960 interfaces send it.
        {true, std::string(Start) + "e1h1", "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq - 0 4"},
        {true, std::string(Start) + "e1g1", "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        setChess960(c.chess960);
        const auto board = playedBoard();
        position(*board, c.command);
        expectSamePosition(*board, *boardFrom(c.expected));
    }
}

// Every line that names a move writes castling in the game's notation.
TEST_F(Chess960Notation, OutputLinesWriteTheKingTakingItsRook) {
    setChess960(true);
    const auto board = playedBoard();
    position(*board, "startpos");
    EXPECT_EQ(castlingNotation(), CastlingNotation::KingTakesRook);
    const Move pv[] = {encodeMove(E1, H1, KindCastling), encodeMove(E8, A8, KindCastling),
                       encodeMove(B1, A1, KindCastling), encodeMove(F1, G1, KindCastling), NoMove};
    EXPECT_EQ(pvText(pv), " pv e1h1 e8a8 b1a1 f1g1 ");
    EXPECT_EQ(bestMoveLineText(pv[0], pv[1]), "bestmove e1h1 ponder e8a8");
    EXPECT_EQ(currentMoveLineText(pv[2], 3), "info currmove b1a1 currmovenumber 3");

    // A change of the option waits for the next game's position.
    setChess960(false);
    EXPECT_EQ(bestMoveLineText(pv[0], pv[1]), "bestmove e1h1 ponder e8a8");
    position(*board, "startpos");
    EXPECT_EQ(bestMoveLineText(pv[0], pv[1]), "bestmove e1g1 ponder e8c8");
}

TEST(PositionCommand, PromotionNeedsItsLowerCaseLetter) {
    const std::string fen = "fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves ";
    const auto board = playedBoard();
    position(*board, fen + "a7a8q");
    expectSamePosition(*board, *boardFrom("Q3k3/8/8/8/8/8/8/4K3 b - - 0 1"));
    position(*board, fen + "a7a8n e8e7");
    expectSamePosition(*board, *boardFrom("N7/4k3/8/8/8/8/8/4K3 w - - 1 2"));
    for (const char* text : {"a7a8Q", "a7a8", "a7a8k", "a7a8p"}) {
        position(*board, fen + text + " e1e2");
        SCOPED_TRACE(text);
        expectSamePosition(*board, *boardFrom("4k3/P7/8/8/8/8/8/4K3 w - - 0 1"));
    }
}

// Fields that would name pieces that are not there never reach the move generators.
TEST(PositionCommand, DroppedCastlingAndEnPassantFieldsStayDropped) {
    const auto board = playedBoard();
    position(*board, "fen 4k3/8/8/8/8/8/8/4K2R w KQ - 0 1 moves h1h2 e8d8 h2h1 d8e8 e1g1");
    expectSamePosition(*board, *boardFrom("4k3/8/8/8/8/8/8/4K2R w - - 4 3"));

    position(*board, "fen 4k3/8/8/3P4/8/8/8/4K3 w - e6 0 1 moves d5e6");
    expectSamePosition(*board, *boardFrom("4k3/8/8/3P4/8/8/8/4K3 w - - 0 1"));
}

// The piece lists hold 16 pieces of a kind; a pawn that may promote counts as one of them.
TEST(PositionCommand, PromotionsMayFillThePieceListsButNotOverflowThem) {
    const auto board = playedBoard();
    position(*board, "fen 6rk/P5pp/8/8/8/8/QQQQQQQQ/1QQQKQQQ w - - 0 1 moves a7a8q g8f8");
    expectSamePosition(*board, *boardFrom("Q4r1k/6pp/8/8/8/8/QQQQQQQQ/1QQQKQQQ w - - 1 2"));
    EXPECT_EQ(board->pieceCounts[makePiece(White, Queen)], 15);
    EXPECT_TRUE(board->isConsistent());
}

TEST(PositionCommand, ArmiesLargerThanSixteenPiecesAreRefused) {
    const auto board = playedBoard();
    const auto before = playedBoard();
    position(*board, "fen 6rk/P5pp/8/8/8/8/QQQQQQQQ/QQQQKQQQ w - - 0 1");
    expectSamePosition(*board, *before);
    position(*board, "fen qqqqkqqq/qqqqqqqq/p7/8/8/8/8/4K3 b - - 0 1");
    expectSamePosition(*board, *before);
}

TEST(PositionCommand, MovesPlayedAdvanceTheGamePly) {
    const auto board = boardFrom(StartFen);
    position(*board, "startpos moves e2e4 e7e5 g1f3");
    EXPECT_EQ(board->gamePly, 3);
    position(*board, "fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 10 moves e7e5");
    EXPECT_EQ(board->gamePly, 19 + 1);
}

TEST(PositionCommand, OtherFirstWordsChangeNothing) {
    const auto expected = playedBoard();
    for (const char* rest : {"", "   ", "xyz", "Startpos", "FEN 8/8/8/8/8/8/8/K6k w - - 0 1", "moves e2e4",
                             "startposmoves"}) {
        const auto board = playedBoard();
        position(*board, rest);
        SCOPED_TRACE(rest);
        expectSamePosition(*board, *expected);
    }
}

// A long random game from the start: every ply is legal and no game end comes before it.
std::vector<Move> randomGame(int plies) {
    for (unsigned seed = 1;; ++seed) {
        std::mt19937 random(seed);
        const auto board = boardFrom(StartFen);
        std::vector<BoardState> states(plies);
        std::vector<Move> game;
        while (static_cast<int>(game.size()) < plies) {
            const std::vector<Move> moves = legalMoves(*board);
            if (moves.empty() || board->state().fiftyMoveCounter >= 99)
                break;
            const Move move = moves[random() % moves.size()];
            board->makeMove(move, states[game.size()]);
            game.push_back(move);
        }
        if (static_cast<int>(game.size()) == plies)
            return game;
    }
}

TEST(PositionCommand, LongMoveListWrapsTheStateRing) {
    constexpr int Plies = 300;
    const std::vector<Move> game = randomGame(Plies);
    std::string command = "startpos moves";
    for (const Move move : game)
        command += " " + moveToText(move);

    // The same game made on a board of its own, remembering every position's hash.
    const auto expected = boardFrom(StartFen);
    std::vector<BoardState> states(Plies);
    std::vector<uint64_t> hashes;
    for (int ply = 0; ply < Plies; ++ply) {
        expected->makeMove(game[ply], states[ply]);
        hashes.push_back(expected->positionHash());
    }

    const auto board = playedBoard();
    const int cursorBefore = positionStateCursor();
    position(*board, command);
    EXPECT_EQ(positionStateCursor(), (cursorBefore + Plies) % PositionStateRingSize);
    expectSamePosition(*board, *expected);
    EXPECT_TRUE(board->isConsistent());

    // The newest 102 states are still the game's history; every record of the chain is in the ring.
    const BoardState* state = board->currentState;
    for (int back = 0; back < PositionStateRingSize; ++back) {
        ASSERT_GE(state, positionStateRing);
        ASSERT_LT(state, positionStateRing + PositionStateRingSize);
        EXPECT_EQ(state->positionHash, hashes[Plies - 1 - back]) << back;
        state = state->previousState;
    }
}

TEST(PositionCommand, UnplayablePositionsLeaveTheBoardAlone) {
    const char* const rejected[] = {
        "",
        "8/8/8/8/8/8/8/K7 w - - 0 1",          // no black king
        "8/8/8/8/8/8/8/7k w - - 0 1",          // no white king
        "k7/8/8/8/8/8/8/KK6 w - - 0 1",        // two white kings
        "kk6/8/8/8/8/8/8/K7 b - - 0 1",        // two black kings
        "P3k3/8/8/8/8/8/8/4K3 w - - 0 1",      // pawn on the last rank
        "4k3/8/8/8/8/8/8/p3K3 b - - 0 1",      // pawn on the first rank
        "4k3/8/8/8/8/8/8/4K2P w - - 0 1",
        "4k2R/8/8/8/8/8/8/4K3 w - - 0 1",      // the side not to move is in check
        "4k3/8/8/8/8/8/8/r3K3 b - - 0 1",
        "8/8/8/8/8/8/3k4/4K3 b - - 0 1",        // kings side by side
        "6rk/P5pp/8/8/8/Q7/QQQQQQQQ/QQQQKQQQ w - - 0 1",  // a seventeenth queen after a7a8q
        "knnnnnnn/nnnnnnnn/8/8/8/pp6/8/7K w - - 0 1",     // fifteen knights and two pawns
    };
    const auto expected = playedBoard();
    for (const char* fen : rejected) {
        SCOPED_TRACE(fen);
        const auto scratch = boardFrom(fen);
        EXPECT_FALSE(isPlayablePosition(*scratch));
        const auto board = playedBoard();
        position(*board, std::string("fen ") + fen + " moves e1e2");
        expectSamePosition(*board, *expected);
        EXPECT_TRUE(board->isConsistent());
    }
}

TEST(PositionCommand, EverythingElseIsAccepted) {
    const char* const accepted[] = {
        "4k3/8/8/8/8/8/8/r3K3 w - - 0 1",                                  // side to move in check
        "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
        "4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1",                                // letters without rooks are dropped
        "rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3",
        "4k3/pppppppp/p7/8/8/8/PPPPPPPP/QQQQK3 w - - 0 1",                 // nine pawns, four queens
        "4k3/8/8/8/8/8/8/4K3 b - - 1000 500",
        "4k3/8/8/8/8/8/8/4K3 w H - 0 1",                                   // castling fields the reader drops
        "4k3/8/8/8/8/8/4K3/7R w K - 0 1",
        "4k3/8/8/3P4/8/8/8/4K3 w - e6 0 1",                                // en-passant square without its pawn
    };
    for (const char* fen : accepted) {
        SCOPED_TRACE(fen);
        EXPECT_TRUE(isPlayablePosition(*boardFrom(fen)));
        const auto board = playedBoard();
        position(*board, std::string("fen ") + fen);
        expectSamePosition(*board, *boardFrom(fen));
    }
}

// Random placements, side, castling and en-passant fields: whatever "position" accepts must
// survive generation and random play with every incremental field intact.
TEST(PositionCommand, AcceptedRandomPositionsArePlayable) {
    std::mt19937 random(7);
    const char pieces[] = "PNBRQpnbrq";
    const char* const castling[] = {"-", "KQkq", "Kq", "HAha", "K", "q"};
    int accepted = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const unsigned density = 1 + random() % 8;
        std::string fen;
        for (int rank = 7; rank >= 0; --rank) {
            int empty = 0;
            for (int file = 0; file < 8; ++file) {
                const bool king = (rank == 0 && file == 4) || (rank == 7 && file == 4);
                if (!king && random() % 16 >= density) {
                    ++empty;
                    continue;
                }
                if (empty > 0)
                    fen += static_cast<char>('0' + empty);
                empty = 0;
                char piece = pieces[random() % 10];
                if ((rank == 0 || rank == 7) && (piece == 'P' || piece == 'p'))
                    piece = static_cast<char>(piece + 'R' - 'P');
                fen += king ? (rank == 0 ? 'K' : 'k') : piece;
            }
            if (empty > 0)
                fen += static_cast<char>('0' + empty);
            if (rank > 0)
                fen += '/';
        }
        fen += random() % 2 ? " w " : " b ";
        fen += castling[random() % 6];
        fen += random() % 4 ? " - " : (random() % 2 ? " e3 " : " d6 ");
        fen += "0 1";

        const auto board = playedBoard();
        position(*board, "fen " + fen);
        const auto scratch = boardFrom(fen);
        if (!isPlayablePosition(*scratch))
            continue;
        ++accepted;
        SCOPED_TRACE(fen);
        BoardState states[40];
        for (int ply = 0; ply < 40; ++ply) {
            ASSERT_TRUE(board->isConsistent());
            std::vector<MoveEntry> all(1024);
            EXPECT_LE(generateAllMoves(*board, all.data()) - all.data(), MaxMoves);
            const std::vector<Move> moves = legalMoves(*board);
            if (moves.empty())
                break;
            board->makeMove(moves[random() % moves.size()], states[ply]);
        }
    }
    EXPECT_GT(accepted, 100);
}

}  // namespace
}  // namespace orvath
