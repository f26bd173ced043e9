// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <bit>
#include <set>
#include <string>
#include <string_view>

#include "board/board.h"
#include "board/keys.h"
#include "board/magic_random.h"
#include "test_support.h"

namespace orvath {
namespace {

constexpr std::string_view KiwipeteFen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override { initTables(); }
    Board board;
};

// --- Keys and score tables ---

// Every key is the next output of a freshly seeded generator, in the fixed order.
TEST_F(BoardTest, HashKeysAreDrawnInTheFixedOrder) {
    EXPECT_EQ(pieceSquareHash[makePiece(White, Pawn)][A1], 0x2C154F8E47579A65ull);

    MagicRandom random;
    for (Colour colour = White; colour <= Black; ++colour)
        for (PieceType type = Pawn; type <= King; ++type)
            for (Square square = 0; square < SquareCount; ++square)
                ASSERT_EQ(pieceSquareHash[makePiece(colour, type)][square], random.next())
                    << "piece " << makePiece(colour, type) << " square " << square;
    for (Square square = 0; square < SquareCount; ++square)
        ASSERT_EQ(enPassantHash[square], random.next()) << square;
    for (int rights = 0; rights < 16; ++rights)
        ASSERT_EQ(castlingHash[rights], random.next()) << rights;
    EXPECT_EQ(blackToMoveHash, random.next());
    EXPECT_EQ(excludedMoveHash, random.next());

    for (Piece piece : {0, 7, 8, 15})
        for (Square square = 0; square < SquareCount; ++square)
            EXPECT_EQ(pieceSquareHash[piece][square], 0u);
}

TEST_F(BoardTest, PieceValuesByCode) {
    const int midgame[7] = {0, 198, 817, 836, 1270, 2521, 0};
    const int endgame[7] = {0, 258, 846, 857, 1278, 2558, 0};
    for (PieceType type = NoPieceType; type <= King; ++type) {
        EXPECT_EQ(midgameValue[makePiece(White, type)], midgame[type]);
        EXPECT_EQ(midgameValue[makePiece(Black, type)], midgame[type]);
        EXPECT_EQ(endgameValue[makePiece(White, type)], endgame[type]);
        EXPECT_EQ(endgameValue[makePiece(Black, type)], endgame[type]);
    }
    for (Piece piece : {7, 15, EmptySquare}) {
        EXPECT_EQ(midgameValue[piece], 0);
        EXPECT_EQ(endgameValue[piece], 0);
    }
    EXPECT_EQ(std::string_view(pieceLetters), ".PNBRQK  pnbrqk  ");
}

TEST_F(BoardTest, PlacementTablesAreMirrorSymmetricExceptTwoPawnSquares) {
    for (PieceType type = Pawn; type <= King; ++type)
        for (Square square = 0; square < SquareCount; ++square) {
            if (type == Pawn && (square == C3 || square == F3))
                continue;
            EXPECT_EQ(placementTable[type][square], placementTable[type][square ^ 7])
                << "type " << type << " square " << square;
        }
    EXPECT_EQ(placementTable[Pawn][C3], makeScore(10, -8));
    EXPECT_EQ(placementTable[Pawn][F3], makeScore(9, -8));
}

TEST_F(BoardTest, PlacementTablesHoldTheTranscribedValues) {
    struct Entry {
        PieceType type;
        Square square;
        int midgame, endgame;
    };
    const Entry entries[] = {
        {Pawn, A1, 0, 0},         {Pawn, A2, -30, -10},       {Pawn, D2, 14, -8},       {Pawn, E4, 80, -8},
        {Pawn, C6, 50, 50},       {Pawn, B6, -8, -8},         {Pawn, G7, 100, 100},     {Pawn, H8, 0, 0},
        {Knight, A8, -193, -104}, {Knight, A1, -135, -104},   {Knight, B1, -107, -79},  {Knight, A2, -93, -79},
        {Knight, D5, 60, 18},     {Knight, C4, 27, 5},        {Knight, C5, 41, 5},      {Knight, F6, 41, -6},
        {Bishop, A1, -40, -59},   {Bishop, A8, -17, -59},     {Bishop, D4, 20, 4},      {Bishop, C3, 8, -11},
        {Bishop, B7, 0, -26},     {Rook, A1, -12, 3},         {Rook, D4, 4, 6},         {Rook, E5, 4, 6},
        {Rook, D6, 2, 3},         {Rook, G8, -7, 3},          {Queen, A1, 8, -80},      {Queen, D5, 10, 18},
        {Queen, D6, 8, 6},        {Queen, B7, 8, -30},        {King, A1, 287, 18},      {King, B1, 311, 77},
        {King, E2, 190, 193},     {King, D7, 46, 193},        {King, A8, 94, 18},       {King, D4, 120, 251},
    };
    for (const Entry& e : entries)
        EXPECT_EQ(placementTable[e.type][e.square], makeScore(e.midgame, e.endgame))
            << "type " << e.type << " square " << e.square;
}

TEST_F(BoardTest, BlackPlacementIsTheMirroredNegation) {
    for (PieceType type = Pawn; type <= King; ++type)
        for (Square square = 0; square < SquareCount; ++square) {
            const PackedScore white = placementScoreTable[makePiece(White, type)][square];
            EXPECT_EQ(white, makeScore(midgameValue[type], endgameValue[type]) + placementTable[type][square]);
            EXPECT_EQ(placementScoreTable[makePiece(Black, type)][square ^ 56], -white);
        }
    EXPECT_EQ(placementScoreTable[makePiece(White, Knight)][B1], makeScore(817 - 107, 846 - 79));
    EXPECT_EQ(placementScoreTable[makePiece(Black, Pawn)][C6], -makeScore(198 + 10, 258 - 8));
    for (Piece piece : {0, 7, 8, 15})
        for (Square square = 0; square < SquareCount; ++square)
            EXPECT_EQ(placementScoreTable[piece][square], PackedScore{});
}

// --- Setting positions up ---

TEST_F(BoardTest, StartPosition) {
    board.setFromFen(StartFen);
    const BoardState& s = board.state();
    EXPECT_EQ(board.sideToMove, White);
    EXPECT_EQ(s.castlingRights, 15);
    EXPECT_EQ(s.enPassantSquare, NoSquare);
    EXPECT_EQ(s.fiftyMoveCounter, 0);
    EXPECT_EQ(s.pliesSinceNull, 0);
    EXPECT_EQ(board.gamePly, 0);
    EXPECT_EQ(s.pieceMaterial[White], 8367);
    EXPECT_EQ(s.pieceMaterial[Black], 8367);
    EXPECT_EQ(s.placementScore, makeScore(24, 11));
    EXPECT_EQ(s.checkingPieces, 0u);
    EXPECT_EQ(s.capturedPieceType, 0);
    EXPECT_EQ(s.previousState, nullptr);
    EXPECT_EQ(board.currentState, &board.rootState);

    EXPECT_EQ(board.occupancy(), 0xFFFF00000000FFFFull);
    EXPECT_EQ(board.piecesOfColour(White), 0xFFFFull);
    EXPECT_EQ(board.piecesOf(Black, Pawn), 0x00FF000000000000ull);
    EXPECT_EQ(board.piecesOfType(Knight), squareMask[B1] | squareMask[G1] | squareMask[B8] | squareMask[G8]);
    EXPECT_EQ(board.pieceOn(D1), makePiece(White, Queen));
    EXPECT_EQ(board.pieceOn(E8), makePiece(Black, King));
    EXPECT_EQ(board.pieceOn(E4), EmptySquare);
    EXPECT_EQ(board.kingSquare(White), E1);
    EXPECT_EQ(board.kingSquare(Black), E8);
    EXPECT_EQ(board.pieceCounts[makePiece(Black, Pawn)], 8);
    EXPECT_EQ(board.pieceSquares[makePiece(White, Rook)][0], A1);
    EXPECT_EQ(board.pieceSquares[makePiece(White, Rook)][1], H1);
    EXPECT_EQ(board.pieceSquares[makePiece(White, Rook)][2], NoSquare);
    EXPECT_EQ(board.squareSlot[H1], 1);
    EXPECT_TRUE(board.isConsistent());
}

TEST_F(BoardTest, StandardCastlingLettersSetRookSquaresAndKeepMasks) {
    board.setFromFen(StartFen);
    EXPECT_EQ(board.castlingRookSquare[WhiteKingSide], H1);
    EXPECT_EQ(board.castlingRookSquare[WhiteQueenSide], A1);
    EXPECT_EQ(board.castlingRookSquare[BlackKingSide], H8);
    EXPECT_EQ(board.castlingRookSquare[BlackQueenSide], A8);
    EXPECT_EQ(board.castlingKeepMask[E1], 10);
    EXPECT_EQ(board.castlingKeepMask[H1], 14);
    EXPECT_EQ(board.castlingKeepMask[A1], 11);
    EXPECT_EQ(board.castlingKeepMask[E8], 5);
    EXPECT_EQ(board.castlingKeepMask[H8], 13);
    EXPECT_EQ(board.castlingKeepMask[A8], 7);
    EXPECT_EQ(board.castlingKeepMask[D1], 15);
    EXPECT_EQ(board.castlingKeepMask[E4], 15);
}

TEST_F(BoardTest, CastlingLettersNameRooksAndTheSideFollowsTheKing) {
    // "K" with only an a-file rook finds that rook: the queen-side right.
    board.setFromFen("4k3/8/8/8/8/8/8/R3K3 w K - 0 1");
    EXPECT_EQ(board.state().castlingRights, WhiteQueenSide);
    EXPECT_EQ(board.castlingRookSquare[WhiteQueenSide], A1);
    EXPECT_EQ(board.castlingKeepMask[E1], 11);
    EXPECT_EQ(board.castlingKeepMask[A1], 11);

    // File letters give the same rights as KQkq on the standard position.
    board.setFromFen(StartFen);
    const uint64_t startHash = board.positionHash();
    board.setFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w HAha - 0 1");
    EXPECT_EQ(board.state().castlingRights, 15);
    EXPECT_EQ(board.positionHash(), startHash);

    // Inner rooks named by file; "K" takes the outermost rook.
    board.setFromFen("1r2k1r1/8/8/8/8/8/8/1R2K1RR w GBgb - 0 1");
    EXPECT_EQ(board.state().castlingRights, 15);
    EXPECT_EQ(board.castlingRookSquare[WhiteKingSide], G1);
    EXPECT_EQ(board.castlingRookSquare[WhiteQueenSide], B1);
    EXPECT_EQ(board.castlingRookSquare[BlackKingSide], G8);
    EXPECT_EQ(board.castlingRookSquare[BlackQueenSide], B8);
    board.setFromFen("4k3/8/8/8/8/8/8/1R2K1RR w K - 0 1");
    EXPECT_EQ(board.castlingRookSquare[WhiteKingSide], H1);

    // "-" and unknown letters grant nothing.
    board.setFromFen("r3k2r/8/8/8/8/8/8/R3K2R w -xZ - 0 1");
    EXPECT_EQ(board.state().castlingRights, 0);
    EXPECT_EQ(board.castlingKeepMask[E1], 15);
}

TEST_F(BoardTest, CastlingLettersWithoutTheirPiecesAreIgnored) {
    // No rook of the colour on the back rank: the scan stays on the rank.
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1");
    EXPECT_EQ(board.state().castlingRights, 0);
    board.setFromFen("4k3/8/8/8/8/8/r7/4K2r w KQ - 0 1");
    EXPECT_EQ(board.state().castlingRights, 0);
    // No king of the colour.
    board.setFromFen("r6r/8/8/8/8/8/8/R6R w KQkq - 0 1");
    EXPECT_EQ(board.state().castlingRights, 0);
    // King off its back rank.
    board.setFromFen("r6r/8/8/4k3/4K3/8/8/R6R w KQkq - 0 1");
    EXPECT_EQ(board.state().castlingRights, 0);
    // A file letter naming a square without the colour's rook.
    board.setFromFen("rn2k3/8/8/8/8/8/8/RN2K3 w BCbc - 0 1");
    EXPECT_EQ(board.state().castlingRights, 0);
    // A repeated right keeps its first rook and both squares keep losing it.
    board.setFromFen("4k3/8/8/8/8/8/8/4K1RR w KKG - 0 1");
    EXPECT_EQ(board.state().castlingRights, WhiteKingSide);
    EXPECT_EQ(board.castlingRookSquare[WhiteKingSide], H1);
    EXPECT_EQ(board.castlingKeepMask[E1], 14);
    EXPECT_EQ(board.castlingKeepMask[H1], 14);
    EXPECT_EQ(board.castlingKeepMask[G1], 15);
    EXPECT_TRUE(board.isConsistent());
}

TEST_F(BoardTest, EnPassantSquareOnlyWhenACaptureIsPossible) {
    board.setFromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    EXPECT_EQ(board.state().enPassantSquare, NoSquare);

    board.setFromFen("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
    EXPECT_EQ(board.state().enPassantSquare, F6);
    const uint64_t withEnPassant = board.positionHash();
    EXPECT_TRUE(board.isConsistent());
    board.setFromFen("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq - 0 3");
    EXPECT_EQ(withEnPassant, board.positionHash() ^ enPassantHash[F6]);

    board.setFromFen("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1");
    EXPECT_EQ(board.state().enPassantSquare, E3);
    // The rank must fit the side to move, and the skipping pawn must stand beyond the square.
    board.setFromFen("4k3/8/8/8/3pP3/8/8/4K3 w - e3 0 1");
    EXPECT_EQ(board.state().enPassantSquare, NoSquare);
    board.setFromFen("4k3/8/8/8/3p4/8/8/4K3 b - e3 0 1");
    EXPECT_EQ(board.state().enPassantSquare, NoSquare);
    board.setFromFen("4k3/8/8/8/3pP3/4N3/8/4K3 b - e3 0 1");
    EXPECT_EQ(board.state().enPassantSquare, NoSquare);
    // Malformed fields.
    for (std::string_view field : {"e4", "e", "i3", "E3", "-", "3e"}) {
        board.setFromFen("4k3/8/8/8/3pP3/8/8/4K3 b - " + std::string(field) + " 0 1");
        EXPECT_EQ(board.state().enPassantSquare, NoSquare) << field;
    }
}

TEST_F(BoardTest, CountersGiveFiftyMoveCounterAndGamePly) {
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 b - - 7 10");
    EXPECT_EQ(board.state().fiftyMoveCounter, 7);
    EXPECT_EQ(board.gamePly, 19);
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 w - - 3 10");
    EXPECT_EQ(board.gamePly, 18);
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 b - - 0 1");
    EXPECT_EQ(board.gamePly, 1);
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 0");
    EXPECT_EQ(board.gamePly, 0);
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 w - -    12     +40  ");
    EXPECT_EQ(board.state().fiftyMoveCounter, 12);
    EXPECT_EQ(board.gamePly, 78);

    // Missing counters: move 1, whatever the board held before.
    board.gamePly = 500;
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 b - -");
    EXPECT_EQ(board.state().fiftyMoveCounter, 0);
    EXPECT_EQ(board.gamePly, 1);
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 w - - 5");
    EXPECT_EQ(board.state().fiftyMoveCounter, 5);
    EXPECT_EQ(board.gamePly, 0);
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 w - - x 30");
    EXPECT_EQ(board.state().fiftyMoveCounter, 0);
    EXPECT_EQ(board.gamePly, 0);

    // Negative numbers are read as written; only the upper end is capped, where the moves
    // that follow count on.
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 b - - -5 -2147483649");
    EXPECT_EQ(board.state().fiftyMoveCounter, -5);
    EXPECT_EQ(board.gamePly, 1);
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 w - - 99999999999999999999999999 2147483647");
    EXPECT_GE(board.state().fiftyMoveCounter, 100);
    EXPECT_LE(board.state().fiftyMoveCounter, 1 << 20);
    EXPECT_GT(board.gamePly, 1000);
    EXPECT_LE(board.gamePly, 1 << 20);
}

TEST_F(BoardTest, SideToMoveAndCheckingPieces) {
    board.setFromFen("4k3/8/8/8/8/8/8/4K2r w - - 0 1");
    EXPECT_EQ(board.checkers(), squareMask[H1]);
    EXPECT_TRUE(board.isConsistent());

    board.setFromFen("4k3/8/3N4/8/8/8/8/4K2r b - - 0 1");
    EXPECT_EQ(board.sideToMove, Black);
    EXPECT_EQ(board.checkers(), squareMask[D6]);
    EXPECT_TRUE(board.isConsistent());

    // Anything but "w" means black, also a missing field.
    board.setFromFen("4k3/8/8/8/8/8/8/4K3 W - - 0 1");
    EXPECT_EQ(board.sideToMove, Black);
    board.setFromFen("4k3/8/8/8/8/8/8/4K3");
    EXPECT_EQ(board.sideToMove, Black);
    EXPECT_EQ(board.gamePly, 1);
    EXPECT_TRUE(board.isConsistent());
}

TEST_F(BoardTest, ScoresAndHashesFromScratch) {
    // A lone white knight on b1 against bare kings, black to move.
    board.setFromFen("4k3/8/8/8/8/8/8/1N2K3 b - - 0 1");
    const PackedScore expected = placementScoreTable[makePiece(White, Knight)][B1]
                                 + placementScoreTable[makePiece(White, King)][E1]
                                 + placementScoreTable[makePiece(Black, King)][E8] - makeScore(24, 11);
    EXPECT_EQ(board.state().placementScore, expected);
    EXPECT_EQ(board.state().pieceMaterial[White], 817);
    EXPECT_EQ(board.state().pieceMaterial[Black], 0);
    EXPECT_EQ(board.positionHash(), castlingHash[0] ^ pieceSquareHash[makePiece(White, Knight)][B1]
                                        ^ pieceSquareHash[makePiece(White, King)][E1]
                                        ^ pieceSquareHash[makePiece(Black, King)][E8] ^ blackToMoveHash);
    EXPECT_EQ(board.state().materialHash, pieceSquareHash[makePiece(White, Knight)][0]);
    EXPECT_EQ(board.state().pawnHash, 0u);

    // Material and pawn hashes ignore where the pieces stand, except the pawns.
    board.setFromFen("4k3/pp6/8/8/8/8/PP6/RN2K3 w - - 0 1");
    const uint64_t material = board.state().materialHash;
    const uint64_t pawns = board.state().pawnHash;
    const uint64_t position = board.positionHash();
    board.setFromFen("3k4/pp6/8/8/8/8/PP6/2RNK3 w - - 0 1");
    EXPECT_EQ(board.state().materialHash, material);
    EXPECT_EQ(board.state().pawnHash, pawns);
    EXPECT_NE(board.positionHash(), position);
    board.setFromFen("4k3/p1p5/8/8/8/8/PP6/RN2K3 w - - 0 1");
    EXPECT_EQ(board.state().materialHash, material);
    EXPECT_NE(board.state().pawnHash, pawns);

    // The castling term is one key per rights value, whatever order the letters come in.
    board.setFromFen("r3k2r/8/8/8/8/8/8/R3K2R w qQkK - 0 1");
    const uint64_t allRights = board.positionHash();
    board.setFromFen("r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1");
    EXPECT_EQ(allRights ^ board.positionHash(), castlingHash[15] ^ castlingHash[0]);
}

TEST_F(BoardTest, PlacementReadsDigitsSlashesAndSkipsOtherCharacters) {
    // "." and unknown characters place nothing and do not advance.
    board.setFromFen("k.6K/8/8/8/8/8/8/8 w - - 0 1");
    EXPECT_EQ(board.pieceOn(A8), makePiece(Black, King));
    EXPECT_EQ(board.pieceOn(H8), makePiece(White, King));
    board.setFromFen("k?x*6K/8/8/8/8/8/8/8 w - - 0 1");
    EXPECT_EQ(board.pieceOn(H8), makePiece(White, King));
    EXPECT_EQ(std::popcount(board.occupancy()), 2);
    // A short rank: "/" steps back 16 from wherever the cursor stands.
    board.setFromFen("k3/K w - - 0 1");
    EXPECT_EQ(board.pieceOn(A8), makePiece(Black, King));
    EXPECT_EQ(board.pieceOn(E6), makePiece(White, King));
    EXPECT_TRUE(board.isConsistent());
}

TEST_F(BoardTest, MalformedFenTextStaysOnTheBoard) {
    const std::string_view texts[] = {
        "",
        " ",
        "w",
        "/",
        "////////////////////////////////////////",
        "99999999/99999999/9999 w",
        "PPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPPP w",
        "8/8/8/8/8/8/8/8/8/8/8/8/8/8/KQRBNPkqrbnp w KQkq",
        "QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/qqqqqqqq/qqqqqqqq/qqqqqqqq/K6k w - - 0 1",
        "PPPPPPPPPPPPPPPP/N w",
        "kK7/8/8/8/8/8/8/8 b KQkqABCDEFGHabcdefghXYZ-+ a3 -0 0",
        "........ w - - 0 1",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - -2147483648 2147483648",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0",
        "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq",
        "rnbqkbnr/pppppppp w KQkq h3 1 1",
        "8/8/8/8/8/8/8/8 w KQkq a6 0 1",
        "p7/P7/8/8/8/8/8/8 b q h6 5 5",
        "7k/8/8/8/8/8/8/K7 w K\ta3\t1\t1",
        std::string_view("K7/8/8/8/8\0/8/8/7k w - - 0 1", 28),
    };
    for (std::string_view text : texts) {
        board.setFromFen(text);
        EXPECT_TRUE(board.isConsistent()) << text;
        EXPECT_EQ(board.currentState, &board.rootState);
        for (Piece piece = 0; piece < PieceCodeCount; ++piece)
            EXPECT_LE(board.pieceCounts[piece], 16) << text;
    }

    board.setFromFen("QQQQQQQQ/QQQQQQQQ/QQQQQQQQ/qqqqqqqq/qqqqqqqq/qqqqqqqq/K6k w - - 0 1");
    EXPECT_EQ(board.pieceCounts[makePiece(White, Queen)], 16);
    EXPECT_EQ(board.pieceCounts[makePiece(Black, Queen)], 16);
    EXPECT_EQ(board.piecesOf(White, Queen), 0xFFFF000000000000ull);
    EXPECT_EQ(board.state().pieceMaterial[White], 16 * 2521);

    // Sixteen squares on from a8, "/" returns to a8: the occupied square keeps its pawn.
    board.setFromFen("PPPPPPPPPPPPPPPP/N w");
    EXPECT_EQ(board.pieceOn(A8), makePiece(White, Pawn));
    EXPECT_EQ(board.pieceCounts[makePiece(White, Pawn)], 8);
    EXPECT_EQ(board.pieceCounts[makePiece(White, Knight)], 0);

    board.setFromFen("8/8/8/8/8/8/8/8/8/8/8/8/8/8/KQRBNPkqrbnp w KQkq");
    EXPECT_EQ(board.occupancy(), 0u);
}

TEST_F(BoardTest, ConsistencyCheckCatchesCorruption) {
    for (std::string_view fen : {StartFen, KiwipeteFen,
                                 std::string_view("8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"),
                                 std::string_view("r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1"),
                                 std::string_view("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3")}) {
        board.setFromFen(fen);
        EXPECT_TRUE(board.isConsistent()) << fen;
    }

    auto expectCaught = [this](auto corrupt) {
        board.setFromFen(KiwipeteFen);
        corrupt(board);
        EXPECT_FALSE(board.isConsistent());
    };
    expectCaught([](Board& b) { b.typeBitboards[Knight] ^= squareMask[A1]; });
    expectCaught([](Board& b) { b.colourBitboards[Black] |= squareMask[E4]; });
    expectCaught([](Board& b) { b.typeBitboards[0] ^= squareMask[E4]; });
    expectCaught([](Board& b) { b.squares[E2] = makePiece(White, Queen); });
    expectCaught([](Board& b) { b.pieceCounts[makePiece(White, Pawn)] -= 1; });
    expectCaught([](Board& b) { b.pieceSquares[makePiece(Black, Rook)][1] = G8; });
    expectCaught([](Board& b) { b.pieceSquares[makePiece(Black, Rook)][2] = A1; });
    expectCaught([](Board& b) { b.squareSlot[H8] = 0; });
    expectCaught([](Board& b) { b.currentState->positionHash ^= 1; });
    expectCaught([](Board& b) { b.currentState->pawnHash ^= 1; });
    expectCaught([](Board& b) { b.currentState->materialHash ^= 1; });
    expectCaught([](Board& b) { b.currentState->placementScore += makeScore(0, 1); });
    expectCaught([](Board& b) { b.currentState->pieceMaterial[Black] += 1; });
    expectCaught([](Board& b) { b.currentState->checkingPieces = squareMask[E7]; });
    expectCaught([](Board& b) { b.sideToMove = Black; });
    expectCaught([](Board& b) { b.castlingRookSquare[WhiteKingSide] = G1; });
    expectCaught([](Board& b) {
        b.currentState->enPassantSquare = E6;
        b.currentState->positionHash ^= enPassantHash[E6];
    });
}

// Castling is stored as the king taking its own rook; en passant lands on an empty square.
TEST_F(BoardTest, CaptureQueryLeavesCastlingOutAndTakesEnPassantIn) {
    board.setFromFen("r3k3/1P6/8/3pP3/7n/8/8/4K2R w K d6 0 1");
    struct Case {
        Move move;
        bool capture;
        bool captureOrPromotion;
    };
    for (const Case& c : {Case{encodeMove(H1, H4), true, true}, Case{encodeMove(H1, H2), false, false},
                          Case{encodeMove(E1, H1, KindCastling), false, false},
                          Case{encodeMove(E5, D6, KindEnPassant), true, true},
                          Case{encodePromotion(B7, A8, Queen), true, true},
                          Case{encodePromotion(B7, B8, Knight), false, true}}) {
        EXPECT_EQ(board.isCapture(c.move), c.capture) << c.move;
        EXPECT_EQ(board.isCaptureOrPromotion(c.move), c.captureOrPromotion) << c.move;
    }
}

}  // namespace
}  // namespace orvath
