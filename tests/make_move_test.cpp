// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/keys.h"
#include "board/movegen.h"
#include "test_support.h"

namespace orvath {
namespace {

constexpr std::string_view KiwipeteFen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
constexpr PackedScore HalfTempo = makeScore(24, 11);

class MakeMoveTest : public ::testing::Test {
protected:
    void SetUp() override { initTables(); }
};

// The board's bytes, with the two things a make/unmake pair may legitimately leave different
// put in a canonical form: the stale slot numbers of empty squares, and (when `sortLists`) the
// order inside a piece list, which changes when a removed piece is appended again on unmake.
// The node counter is cleared too: it counts makes and never goes back.
std::vector<unsigned char> boardBytes(const Board& board, bool sortLists) {
    std::vector<unsigned char> bytes(sizeof(Board));
    std::memcpy(bytes.data(), static_cast<const void*>(&board), sizeof(Board));

    int32_t lists[16][16];
    int32_t slots[64];
    std::memcpy(lists, board.pieceSquares, sizeof(lists));
    for (int piece = 0; piece < PieceCodeCount; ++piece)
        if (sortLists) std::sort(lists[piece], lists[piece] + board.pieceCounts[piece]);
    for (Square square = 0; square < SquareCount; ++square) {
        slots[square] = 0;
        const Piece piece = board.squares[square];
        if (piece == EmptySquare) continue;
        for (int slot = 0; slot < board.pieceCounts[piece]; ++slot)
            if (lists[piece][slot] == square) slots[square] = slot;
    }
    const uint64_t noNodes = 0;
    std::memcpy(bytes.data() + offsetof(Board, pieceSquares), lists, sizeof(lists));
    std::memcpy(bytes.data() + offsetof(Board, squareSlot), slots, sizeof(slots));
    std::memcpy(bytes.data() + offsetof(Board, nodeCount), &noNodes, sizeof(noNodes));
    return bytes;
}

std::vector<unsigned char> stateBytes(const BoardState& state) {
    std::vector<unsigned char> bytes(sizeof(BoardState));
    std::memcpy(bytes.data(), static_cast<const void*>(&state), sizeof(BoardState));
    return bytes;
}

// Fields that the board keeps incrementally, against their from-scratch values.
void expectFromScratchValues(const Board& board) {
    const BoardState& state = board.state();
    EXPECT_EQ(state.positionHash, board.computePositionHash());
    EXPECT_EQ(state.pawnHash, board.computePawnHash());
    EXPECT_EQ(state.materialHash, board.computeMaterialHash());
    EXPECT_EQ(state.placementScore, board.computePlacementScore());
    for (Colour colour : {White, Black}) {
        const int32_t material = KnightMaterial * board.pieceCounts[makePiece(colour, Knight)] +
                                 BishopMaterial * board.pieceCounts[makePiece(colour, Bishop)] +
                                 RookMaterial * board.pieceCounts[makePiece(colour, Rook)] +
                                 QueenMaterial * board.pieceCounts[makePiece(colour, Queen)];
        EXPECT_EQ(state.pieceMaterial[colour], material);
    }
    const Colour us = board.sideToMove;
    EXPECT_EQ(state.checkingPieces,
              board.attackersOfSquare(board.kingSquare(us), board.occupancy()) & board.piecesOfColour(us ^ 1));
    // The side that just moved never leaves its king attacked.
    EXPECT_EQ(board.attackersOfSquare(board.kingSquare(us ^ 1), board.occupancy()) & board.piecesOfColour(us), 0u);
}

// Captures and promotions take a piece off a list; unmake appends it again at the end.
bool reordersPieceLists(const Board& board, Move move) {
    if (moveKind(move) == KindCastling) return false;
    return moveKind(move) != KindNormal || board.pieceOn(moveTo(move)) != EmptySquare;
}

struct Tally {
    int moves = 0;
    int captures = 0;
    int enPassants = 0;
    int promotions = 0;
    int castlings = 0;
    int checks = 0;
    int nullMoves = 0;
};

// Makes one move and takes it back, checking everything that make and unmake promise.
void checkRoundTrip(Board& board, Move move, const CheckInfo& checkInfo, Tally& tally) {
    BoardState* const previous = board.currentState;
    const std::vector<unsigned char> previousBytes = stateBytes(*previous);
    const uint64_t nodesBefore = board.nodeCount;
    const bool changesLists = reordersPieceLists(board, move);
    const std::vector<unsigned char> before = boardBytes(board, changesLists);
    const Colour us = board.sideToMove;

    const bool check = board.givesCheck(move, checkInfo);
    BoardState next;
    board.makeMove(move, next, checkInfo, check);

    ++tally.moves;
    tally.captures += next.capturedPieceType != NoPieceType;
    tally.enPassants += moveKind(move) == KindEnPassant;
    tally.promotions += moveKind(move) == KindPromotion;
    tally.castlings += moveKind(move) == KindCastling;
    tally.checks += check;

    ASSERT_EQ(board.currentState, &next);
    EXPECT_EQ(next.previousState, previous);
    EXPECT_EQ(stateBytes(*previous), previousBytes) << "move " << move;
    EXPECT_EQ(board.sideToMove, us ^ 1);
    EXPECT_EQ(board.nodeCount, nodesBefore + 1);
    ASSERT_TRUE(board.isConsistent()) << "move " << move;
    expectFromScratchValues(board);
    const Bitboard attackers =
        board.attackersOfSquare(board.kingSquare(us ^ 1), board.occupancy()) & board.piecesOfColour(us);
    EXPECT_EQ(check, attackers != 0) << "move " << move;
    EXPECT_EQ(next.checkingPieces, attackers) << "move " << move;

    board.unmakeMove(move);
    ASSERT_EQ(board.currentState, previous);
    EXPECT_EQ(stateBytes(*previous), previousBytes);
    EXPECT_EQ(board.nodeCount, nodesBefore + 1);
    EXPECT_EQ(boardBytes(board, changesLists), before) << "move " << move;
}

// Passes the turn and back, checking the null move's promises.
void checkNullRoundTrip(Board& board, Tally& tally) {
    BoardState* const current = board.currentState;
    BoardState* const previous = current->previousState;
    const std::vector<unsigned char> currentBytes = stateBytes(*current);
    const std::vector<unsigned char> before = boardBytes(board, false);
    const uint64_t nodesBefore = board.nodeCount;
    const PackedScore score = current->placementScore;
    const uint64_t hash = current->positionHash;
    const int32_t fifty = current->fiftyMoveCounter;

    BoardState backup;
    board.makeNullMove(backup);
    ++tally.nullMoves;

    ASSERT_EQ(board.currentState, current);
    EXPECT_EQ(current->previousState, &backup);
    EXPECT_EQ(backup.previousState, previous);
    EXPECT_EQ(backup.positionHash, hash);
    EXPECT_EQ(current->enPassantSquare, NoSquare);
    EXPECT_EQ(current->pliesSinceNull, 0);
    EXPECT_EQ(current->fiftyMoveCounter, fifty + 1);
    EXPECT_EQ(board.nodeCount, nodesBefore);
    // The half tempo changes sides: a whole tempo in all.
    EXPECT_EQ(current->placementScore, board.sideToMove == White ? score + tempoScore : score - tempoScore);
    ASSERT_TRUE(board.isConsistent());
    expectFromScratchValues(board);

    board.undoNullMove();
    ASSERT_EQ(board.currentState, current);
    EXPECT_EQ(stateBytes(*current), currentBytes);
    EXPECT_EQ(boardBytes(board, false), before);
}

// A move kept in a random game, with the board before it. Later captures may reorder the
// piece lists for good, so the game's final unwinding compares lists as sets.
struct PlayedMove {
    Move move;
    std::vector<unsigned char> before;
};

// Plays random legal games from a position; at every ply every legal move is made and taken
// back, then one of them is kept. At the end the whole game is taken back move by move.
Tally playRandomGames(std::string_view fen, int games, int maxPlies, uint64_t seed) {
    Tally tally;
    std::mt19937_64 random(seed);
    std::vector<BoardState> states(static_cast<size_t>(maxPlies));
    for (int game = 0; game < games; ++game) {
        Board board;
        board.setFromFen(fen);
        EXPECT_TRUE(board.isConsistent());
        std::vector<PlayedMove> played;
        for (int ply = 0; ply < maxPlies; ++ply) {
            const std::vector<Move> moves = legalMoves(board);
            if (moves.empty()) break;
            const CheckInfo checkInfo(board);
            for (Move move : moves) {
                checkRoundTrip(board, move, checkInfo, tally);
                if (::testing::Test::HasFatalFailure()) return tally;
            }
            if (!board.inCheck()) checkNullRoundTrip(board, tally);

            const Move move = moves[random() % moves.size()];
            played.push_back({move, boardBytes(board, true)});
            board.makeMove(move, states[static_cast<size_t>(ply)]);
            if (board.state().fiftyMoveCounter >= 100) break;
        }
        while (!played.empty()) {
            board.unmakeMove(played.back().move);
            EXPECT_EQ(boardBytes(board, true), played.back().before);
            played.pop_back();
        }
        EXPECT_EQ(board.currentState, &board.rootState);
        EXPECT_TRUE(board.isConsistent());
    }
    return tally;
}

TEST_F(MakeMoveTest, RandomGamesKeepEveryFieldExactAndUnmakeRestoresTheBoard) {
    struct Start {
        std::string_view fen;
        int games;
    };
    const Start starts[] = {
        {StartFen, 25},
        {KiwipeteFen, 25},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 25},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 25},
        {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 25},
        {"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1", 25},
        {"r3k2r/1pp2ppp/8/pP1pP3/8/8/P1PP1PPP/R3K2R w KQkq a6 0 1", 25},
        {"4k3/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1", 25},
    };
    Tally total;
    uint64_t seed = 20240611;
    for (const Start& start : starts) {
        const Tally tally = playRandomGames(start.fen, start.games, 200, seed++);
        if (HasFatalFailure()) return;
        total.moves += tally.moves;
        total.captures += tally.captures;
        total.enPassants += tally.enPassants;
        total.promotions += tally.promotions;
        total.castlings += tally.castlings;
        total.checks += tally.checks;
        total.nullMoves += tally.nullMoves;
    }
    // The games must actually reach the special moves they are meant to exercise.
    EXPECT_GT(total.moves, 100000);
    EXPECT_GT(total.captures, 10000);
    EXPECT_GT(total.enPassants, 50);
    EXPECT_GT(total.promotions, 1000);
    EXPECT_GT(total.castlings, 500);
    EXPECT_GT(total.checks, 5000);
    EXPECT_GT(total.nullMoves, 10000);
}

// Castling letters that name files put king and rook where the standard game never has them:
// a destination may be the other piece's origin, or the piece may not move at all.
TEST_F(MakeMoveTest, RandomGamesFromShuffledBackRanks) {
    const std::string_view fens[] = {
        "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w GBgb - 0 1",
        "rk3r2/pppppppp/8/8/8/8/PPPPPPPP/RK3R2 w AFaf - 0 1",
        "r5kr/pppppppp/8/8/8/8/PPPPPPPP/R5KR w HAha - 0 1",
        "1rk4r/pppppppp/8/8/8/8/PPPPPPPP/1RK4R w HBhb - 0 1",
    };
    uint64_t seed = 960;
    int castlings = 0;
    for (std::string_view fen : fens) {
        const Tally tally = playRandomGames(fen, 10, 120, seed++);
        if (HasFatalFailure()) return;
        castlings += tally.castlings;
    }
    EXPECT_GT(castlings, 100);
}

Board& setUp(Board& board, std::string_view fen) {
    board.setFromFen(fen);
    EXPECT_TRUE(board.isConsistent()) << fen;
    return board;
}

TEST_F(MakeMoveTest, DoubleStepSetsEnPassantOnlyWhenAnEnemyPawnAttacksTheSkippedSquare) {
    struct Case {
        std::string_view fen;
        Move move;
        Square expected;
    };
    const Case cases[] = {
        {"4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1", encodeMove(E2, E4), E3},
        {"4k3/8/8/8/5p2/8/4P3/4K3 w - - 0 1", encodeMove(E2, E4), E3},
        {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", encodeMove(E2, E4), NoSquare},
        {"4k3/8/8/8/3P4/8/4P3/4K3 w - - 0 1", encodeMove(E2, E4), NoSquare},  // own pawn beside
        {"4k3/8/8/8/8/7p/P7/4K3 w - - 0 1", encodeMove(A2, A4), NoSquare},    // h3 is a4 - 1, not beside it
        {"4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1", encodeMove(D7, D5), D6},
        {"4k3/p7/8/7P/8/8/8/4K3 b - - 0 1", encodeMove(A7, A5), NoSquare},
        {StartFen, encodeMove(E2, E4), NoSquare},
    };
    for (const Case& c : cases) {
        Board board;
        setUp(board, c.fen);
        const uint64_t hash = board.positionHash();
        BoardState next;
        board.makeMove(c.move, next);
        EXPECT_EQ(next.enPassantSquare, c.expected) << c.fen;
        EXPECT_EQ(next.fiftyMoveCounter, 0);
        uint64_t expectedHash = hash ^ blackToMoveHash ^
                                pieceSquareHash[board.pieceOn(moveTo(c.move))][moveFrom(c.move)] ^
                                pieceSquareHash[board.pieceOn(moveTo(c.move))][moveTo(c.move)];
        if (c.expected != NoSquare) expectedHash ^= enPassantHash[c.expected];
        EXPECT_EQ(next.positionHash, expectedHash) << c.fen;
        EXPECT_TRUE(board.isConsistent()) << c.fen;
    }
}

TEST_F(MakeMoveTest, EnPassantCaptureRemovesThePawnBehindAndUnmakeReturnsIt) {
    Board board;
    setUp(board, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    ASSERT_EQ(board.state().enPassantSquare, D6);
    const uint64_t pawnHash = board.state().pawnHash;
    const Move move = encodeMove(E5, D6, KindEnPassant);

    BoardState next;
    board.makeMove(move, next);
    EXPECT_EQ(board.pieceOn(D5), EmptySquare);
    EXPECT_EQ(board.pieceOn(E5), EmptySquare);
    EXPECT_EQ(board.pieceOn(D6), makePiece(White, Pawn));
    EXPECT_EQ(board.pieceCounts[makePiece(Black, Pawn)], 0);
    EXPECT_EQ(board.piecesOfType(Pawn), squareMask[D6]);
    EXPECT_EQ(next.capturedPieceType, Pawn);
    EXPECT_EQ(next.enPassantSquare, NoSquare);
    EXPECT_EQ(next.pawnHash, pawnHash ^ pieceSquareHash[makePiece(Black, Pawn)][D5] ^
                                 pieceSquareHash[makePiece(White, Pawn)][E5] ^
                                 pieceSquareHash[makePiece(White, Pawn)][D6]);
    EXPECT_TRUE(board.isConsistent());

    board.unmakeMove(move);
    EXPECT_EQ(board.pieceOn(D5), makePiece(Black, Pawn));
    EXPECT_EQ(board.pieceOn(E5), makePiece(White, Pawn));
    EXPECT_EQ(board.pieceOn(D6), EmptySquare);
    EXPECT_EQ(board.state().enPassantSquare, D6);
    EXPECT_TRUE(board.isConsistent());
}

TEST_F(MakeMoveTest, PromotionWithCaptureMovesMaterialAndMaterialHash) {
    Board board;
    setUp(board, "1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    const BoardState before = board.state();
    const Piece whitePawn = makePiece(White, Pawn);
    const Piece whiteQueen = makePiece(White, Queen);
    const Piece blackRook = makePiece(Black, Rook);
    const Move move = encodePromotion(A7, B8, Queen);

    const CheckInfo checkInfo(board);
    EXPECT_TRUE(board.givesCheck(move, checkInfo));  // along the eighth rank
    BoardState next;
    board.makeMove(move, next);
    EXPECT_EQ(next.pieceMaterial[White], before.pieceMaterial[White] + QueenMaterial);
    EXPECT_EQ(next.pieceMaterial[Black], before.pieceMaterial[Black] - RookMaterial);
    EXPECT_EQ(next.materialHash, before.materialHash ^ pieceSquareHash[whitePawn][0] ^ pieceSquareHash[whiteQueen][0] ^
                                     pieceSquareHash[blackRook][0]);
    EXPECT_EQ(next.pawnHash, 0u);
    EXPECT_EQ(next.capturedPieceType, Rook);
    EXPECT_EQ(next.checkingPieces, squareMask[B8]);
    EXPECT_EQ(board.pieceOn(B8), whiteQueen);
    EXPECT_EQ(board.pieceCounts[whitePawn], 0);
    EXPECT_EQ(board.pieceCounts[whiteQueen], 1);
    EXPECT_EQ(board.pieceSquares[whiteQueen][0], B8);
    EXPECT_EQ(board.pieceSquares[whitePawn][0], NoSquare);
    EXPECT_TRUE(board.isConsistent());

    board.unmakeMove(move);
    EXPECT_EQ(board.pieceOn(A7), whitePawn);
    EXPECT_EQ(board.pieceOn(B8), blackRook);
    EXPECT_EQ(board.pieceCounts[whiteQueen], 0);
    EXPECT_EQ(board.pieceSquares[whiteQueen][0], NoSquare);
    EXPECT_TRUE(board.isConsistent());
}

TEST_F(MakeMoveTest, UnderPromotionsCheckOnlyWhenThePieceReachesTheKing) {
    Board board;
    setUp(board, "4k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
    const CheckInfo checkInfo(board);
    EXPECT_TRUE(board.givesCheck(encodePromotion(B7, B8, Queen), checkInfo));
    EXPECT_TRUE(board.givesCheck(encodePromotion(B7, B8, Rook), checkInfo));
    EXPECT_FALSE(board.givesCheck(encodePromotion(B7, B8, Bishop), checkInfo));
    EXPECT_FALSE(board.givesCheck(encodePromotion(B7, B8, Knight), checkInfo));
    Board knightCheck;
    setUp(knightCheck, "8/3P4/4k3/8/8/8/8/4K3 w - - 0 1");
    EXPECT_TRUE(knightCheck.givesCheck(encodePromotion(D7, D8, Knight), CheckInfo(knightCheck)));
    EXPECT_FALSE(knightCheck.givesCheck(encodePromotion(D7, D8, Rook), CheckInfo(knightCheck)));
}

// Rook and king destinations, rights and the checking rook, for each side and colour.
TEST_F(MakeMoveTest, CastlingBothSidesBothColours) {
    struct Case {
        std::string_view fen;
        Move move;
        Square king;
        Square rook;
        int rightsAfter;
        Bitboard checkers;
    };
    const Case cases[] = {
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 5 10", encodeMove(E1, H1, KindCastling), G1, F1, 10, 0},
        {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 5 10", encodeMove(E1, A1, KindCastling), C1, D1, 10, 0},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 5 10", encodeMove(E8, H8, KindCastling), G8, F8, 5, 0},
        {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 5 10", encodeMove(E8, A8, KindCastling), C8, D8, 5, 0},
        {"5k2/8/8/8/8/8/8/4K2R w K - 7 20", encodeMove(E1, H1, KindCastling), G1, F1, 0, squareMask[F1]},
        {"3k4/8/8/8/8/8/8/R3K3 w Q - 7 20", encodeMove(E1, A1, KindCastling), C1, D1, 0, squareMask[D1]},
        {"r3k3/8/8/8/8/8/8/3K4 b q - 7 20", encodeMove(E8, A8, KindCastling), C8, D8, 0, squareMask[D8]},
        {"4k2r/8/8/8/8/8/8/5K2 b k - 7 20", encodeMove(E8, H8, KindCastling), G8, F8, 0, squareMask[F8]},
        // Shuffled back ranks: the king lands on the rook's square, the two swap, the king stays.
        {"1r2k1r1/pppppppp/8/8/8/8/8/1R2K1R1 w GBgb - 3 9", encodeMove(E1, G1, KindCastling), G1, F1, 10, 0},
        {"6k1/8/8/8/8/8/8/5KR1 w G - 3 9", encodeMove(F1, G1, KindCastling), G1, F1, 0, 0},
        {"4k3/8/8/8/8/8/8/RK6 w A - 3 9", encodeMove(B1, A1, KindCastling), C1, D1, 0, 0},
        {"3k4/8/8/8/8/8/8/6KR w H - 3 9", encodeMove(G1, H1, KindCastling), G1, F1, 0, 0},
        {"3k4/8/8/8/8/8/8/1RK5 w B - 3 9", encodeMove(C1, B1, KindCastling), C1, D1, 0, squareMask[D1]},
        {"2k5/8/8/8/8/8/8/2KR4 w D - 3 9", encodeMove(C1, D1, KindCastling), G1, F1, 0, 0},
    };
    for (const Case& c : cases) {
        Board board;
        setUp(board, c.fen);
        const Colour us = board.sideToMove;
        const Square kingFrom = moveFrom(c.move);
        const Square rookFrom = moveTo(c.move);
        const CheckInfo checkInfo(board);
        EXPECT_EQ(board.givesCheck(c.move, checkInfo), c.checkers != 0) << c.fen;
        const std::vector<unsigned char> before = boardBytes(board, false);

        BoardState next;
        board.makeMove(c.move, next);
        EXPECT_EQ(board.pieceOn(c.king), makePiece(us, King)) << c.fen;
        EXPECT_EQ(board.pieceOn(c.rook), makePiece(us, Rook)) << c.fen;
        for (Square origin : {kingFrom, rookFrom}) {
            if (origin != c.king && origin != c.rook) {
                EXPECT_EQ(board.pieceOn(origin), EmptySquare) << c.fen;
            }
        }
        EXPECT_EQ(board.kingSquare(us), c.king);
        EXPECT_EQ(next.castlingRights, c.rightsAfter) << c.fen;
        EXPECT_EQ(next.fiftyMoveCounter, 0);
        EXPECT_EQ(next.capturedPieceType, NoPieceType);
        EXPECT_EQ(next.checkingPieces, c.checkers) << c.fen;
        EXPECT_TRUE(board.isConsistent()) << c.fen;
        expectFromScratchValues(board);

        board.unmakeMove(c.move);
        EXPECT_EQ(boardBytes(board, false), before) << c.fen;
    }
}

TEST_F(MakeMoveTest, CornerMovesRemoveExactlyTheirRight) {
    struct Case {
        Move move;
        int rightsAfter;
    };
    const Case cases[] = {
        {encodeMove(A1, B1), 15 & ~WhiteQueenSide},
        {encodeMove(H1, H5), 15 & ~WhiteKingSide},
        {encodeMove(A1, A8), 15 & ~WhiteQueenSide & ~BlackQueenSide},
        {encodeMove(H1, H8), 15 & ~WhiteKingSide & ~BlackKingSide},
        {encodeMove(E1, E2), 15 & ~WhiteKingSide & ~WhiteQueenSide},
    };
    for (const Case& c : cases) {
        Board board;
        setUp(board, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
        const uint64_t hash = board.positionHash();
        const Piece piece = board.pieceOn(moveFrom(c.move));
        const Piece victim = board.pieceOn(moveTo(c.move));
        BoardState next;
        board.makeMove(c.move, next);
        EXPECT_EQ(next.castlingRights, c.rightsAfter);
        uint64_t expected = hash ^ blackToMoveHash ^ pieceSquareHash[piece][moveFrom(c.move)] ^
                            pieceSquareHash[piece][moveTo(c.move)] ^ castlingHash[15] ^ castlingHash[c.rightsAfter];
        if (victim != EmptySquare) expected ^= pieceSquareHash[victim][moveTo(c.move)];
        EXPECT_EQ(next.positionHash, expected);
        EXPECT_TRUE(board.isConsistent());
    }

    // A move away from every castling square leaves the castling term alone.
    Board board;
    setUp(board, "r3k2r/8/8/8/8/8/8/R3K1NR w KQkq - 0 1");
    const uint64_t hash = board.positionHash();
    BoardState next;
    board.makeMove(encodeMove(G1, F3), next);
    EXPECT_EQ(next.castlingRights, 15);
    EXPECT_EQ(next.positionHash, hash ^ blackToMoveHash ^ pieceSquareHash[makePiece(White, Knight)][G1] ^
                                     pieceSquareHash[makePiece(White, Knight)][F3]);
}

TEST_F(MakeMoveTest, GivesCheckByDiscoveryEnPassantAndCastling) {
    struct Case {
        std::string_view fen;
        Move move;
        bool check;
        Bitboard checkers;
    };
    const Case cases[] = {
        // A knight stepping off the rook's file uncovers check; from d6 it checks as well.
        {"4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1", encodeMove(E4, C3), true, squareMask[E1]},
        {"4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1", encodeMove(E4, D6), true, squareMask[E1] | squareMask[D6]},
        // A pawn advancing along the line keeps it closed; capturing off it opens it.
        {"4k3/8/8/8/8/8/4P3/4R1K1 w - - 0 1", encodeMove(E2, E3), false, 0},
        {"4k3/8/8/8/8/8/4P3/4R1K1 w - - 0 1", encodeMove(E2, E4), false, 0},
        {"4k3/8/8/8/8/3p4/4P3/4R1K1 w - - 0 1", encodeMove(E2, D3), true, squareMask[E1]},
        // A king stepping off a bishop's diagonal.
        {"7k/8/8/8/8/2K5/8/B7 w - - 0 1", encodeMove(C3, C4), true, squareMask[A1]},
        {"7k/8/8/8/8/2K5/8/B7 w - - 0 1", encodeMove(C3, D4), false, 0},
        // En passant that takes both pawns off the king's rank.
        {"8/8/8/k2pP2R/8/8/8/4K3 w - d6 0 1", encodeMove(E5, D6, KindEnPassant), true, squareMask[H5]},
        {"8/8/8/k2pP3/8/8/8/4K3 w - d6 0 1", encodeMove(E5, D6, KindEnPassant), false, 0},
        // Castling whose rook lands on the enemy king's file with nothing between.
        {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", encodeMove(E1, H1, KindCastling), true, squareMask[F1]},
        {"5k2/5p2/8/8/8/8/8/4K2R w K - 0 1", encodeMove(E1, H1, KindCastling), false, 0},
        // A queen moving along the line it blocks cannot exist, but a rook leaving a bishop's line can.
        {"7k/8/8/8/8/2R5/8/B3K3 w - - 0 1", encodeMove(C3, C8), true, squareMask[A1] | squareMask[C8]},
    };
    for (const Case& c : cases) {
        Board board;
        setUp(board, c.fen);
        const CheckInfo checkInfo(board);
        EXPECT_EQ(board.givesCheck(c.move, checkInfo), c.check) << c.fen << " move " << c.move;
        BoardState next;
        board.makeMove(c.move, next, checkInfo, c.check);
        EXPECT_EQ(next.checkingPieces, c.checkers) << c.fen << " move " << c.move;
        EXPECT_TRUE(board.isConsistent()) << c.fen;
    }
}

TEST_F(MakeMoveTest, CheckInfoHoldsCheckSquaresByType) {
    Board board;
    setUp(board, KiwipeteFen);
    const CheckInfo checkInfo(board);
    const Square enemyKing = E8;
    EXPECT_EQ(checkInfo.checkSquares[Pawn], squareMask[D7] | squareMask[F7]);
    EXPECT_EQ(checkInfo.checkSquares[Knight], stepAttacks[makePiece(White, Knight)][enemyKing]);
    EXPECT_EQ(checkInfo.checkSquares[Bishop], bishopAttacks(enemyKing, board.occupancy()));
    EXPECT_EQ(checkInfo.checkSquares[Rook], rookAttacks(enemyKing, board.occupancy()));
    EXPECT_EQ(checkInfo.checkSquares[Queen], checkInfo.checkSquares[Bishop] | checkInfo.checkSquares[Rook]);
    EXPECT_EQ(checkInfo.checkSquares[King], 0u);
    EXPECT_EQ(checkInfo.pinned, board.pinnedOwnPieces());
    EXPECT_EQ(checkInfo.discoverers, board.checkDiscoverers());
}

// Taking back a capture appends the victim to its list again: the set is restored, the order
// inside the list is not, and the move generator walks the list in its new order.
TEST_F(MakeMoveTest, UnmadeCaptureAppendsTheVictimToItsList) {
    Board board;
    setUp(board, "4k3/8/8/8/8/8/8/rN2K1N1 b - - 0 1");
    const Piece knight = makePiece(White, Knight);
    ASSERT_EQ(board.pieceSquares[knight][0], B1);
    ASSERT_EQ(board.pieceSquares[knight][1], G1);
    const Move move = encodeMove(A1, B1);
    BoardState next;
    board.makeMove(move, next);
    EXPECT_EQ(board.pieceSquares[knight][0], G1);
    EXPECT_EQ(board.pieceSquares[knight][1], NoSquare);
    EXPECT_EQ(board.squareSlot[G1], 0);
    board.unmakeMove(move);
    EXPECT_EQ(board.pieceSquares[knight][0], G1);
    EXPECT_EQ(board.pieceSquares[knight][1], B1);
    EXPECT_EQ(board.squareSlot[G1], 0);
    EXPECT_EQ(board.squareSlot[B1], 1);
    EXPECT_TRUE(board.isConsistent());
}

TEST_F(MakeMoveTest, PlacementScoreCarriesTheHalfTempoOfTheSideToMove) {
    Board board;
    setUp(board, StartFen);
    EXPECT_EQ(board.state().placementScore, HalfTempo);
    const Piece whitePawn = makePiece(White, Pawn);
    BoardState afterE4;
    board.makeMove(encodeMove(E2, E4), afterE4);
    EXPECT_EQ(afterE4.placementScore,
              HalfTempo + placementScoreTable[whitePawn][E4] - placementScoreTable[whitePawn][E2] - makeScore(48, 22));
    BoardState afterE5;
    board.makeMove(encodeMove(E7, E5), afterE5);
    EXPECT_EQ(afterE5.placementScore, HalfTempo);  // symmetric again

    BoardState backup;
    board.makeNullMove(backup);
    EXPECT_EQ(board.state().placementScore, -HalfTempo);
    board.undoNullMove();
    EXPECT_EQ(board.state().placementScore, HalfTempo);
}

TEST_F(MakeMoveTest, NullMoveClearsEnPassantAndUndoRestoresIt) {
    Board board;
    setUp(board, "4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1");
    ASSERT_EQ(board.state().enPassantSquare, E3);
    const uint64_t hash = board.positionHash();
    BoardState backup;
    board.makeNullMove(backup);
    EXPECT_EQ(board.state().enPassantSquare, NoSquare);
    EXPECT_EQ(board.sideToMove, White);
    EXPECT_EQ(board.positionHash(), hash ^ enPassantHash[E3] ^ blackToMoveHash);
    EXPECT_TRUE(board.isConsistent());
    board.undoNullMove();
    EXPECT_EQ(board.state().enPassantSquare, E3);
    EXPECT_EQ(board.positionHash(), hash);
    EXPECT_EQ(board.sideToMove, Black);
    EXPECT_TRUE(board.isConsistent());
}

// Reaching a position by moves gives the same keys and score as setting it up, when the
// castling rights and the en-passant square agree.
TEST_F(MakeMoveTest, MovesReachTheKeysOfTheSamePositionSetFromFen) {
    struct Case {
        std::string_view start;
        std::vector<Move> moves;
        std::string_view target;
    };
    const Case cases[] = {
        {StartFen,
         {encodeMove(E2, E4), encodeMove(E7, E5), encodeMove(G1, F3), encodeMove(B8, C6)},
         "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"},
        {StartFen,
         {encodeMove(G1, F3), encodeMove(B8, C6), encodeMove(E2, E4), encodeMove(E7, E5)},
         "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 3"},
        {"4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1", {encodeMove(E2, E4)}, "4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1"},
        {KiwipeteFen,
         {encodeMove(E1, H1, KindCastling), encodeMove(E8, A8, KindCastling)},
         "2kr3r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R4RK1 w - - 0 2"},
        {KiwipeteFen,
         {encodeMove(E5, F7), encodeMove(E8, F7), encodeMove(D5, E6), encodeMove(D7, E6)},
         "r6r/p1p1qkb1/bn2pnp1/8/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQ - 0 3"},
        {"4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", {encodePromotion(B7, B8, Queen)}, "1Q2k3/8/8/8/8/8/8/4K3 b - - 0 1"},
    };
    for (const Case& c : cases) {
        Board played;
        setUp(played, c.start);
        std::vector<BoardState> states(c.moves.size());
        for (size_t i = 0; i < c.moves.size(); ++i) played.makeMove(c.moves[i], states[i]);
        Board target;
        setUp(target, c.target);
        EXPECT_EQ(played.state().positionHash, target.state().positionHash) << c.target;
        EXPECT_EQ(played.state().pawnHash, target.state().pawnHash) << c.target;
        EXPECT_EQ(played.state().materialHash, target.state().materialHash) << c.target;
        EXPECT_EQ(played.state().placementScore, target.state().placementScore) << c.target;
        EXPECT_EQ(played.state().castlingRights, target.state().castlingRights) << c.target;
        EXPECT_EQ(played.state().enPassantSquare, target.state().enPassantSquare) << c.target;
        EXPECT_EQ(played.state().checkingPieces, target.state().checkingPieces) << c.target;
        EXPECT_TRUE(played.isConsistent()) << c.target;
    }
}

}  // namespace
}  // namespace orvath
