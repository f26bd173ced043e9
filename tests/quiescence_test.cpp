// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/quiescence.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>

#include "board/board.h"
#include "search/evaluate.h"
#include "search/hash_table.h"
#include "search/search_context.h"
#include "search/search_frame.h"
#include "search/search_tables.h"
#include "test_support.h"
#include "uci/move_text.h"

namespace orvath {
namespace {

constexpr int StandPatMargin = 128;
constexpr int CheckPruningMargin = 49;

// Checks and captures follow each other here for many plies.
constexpr std::string_view TangleFen = "r3B3/2Q5/5Nq1/2b2q2/6P1/2KR4/8/2k1q3 w - - 0 1";

class QuiescenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        initTables();
        initSearchTables();
        hashTable.resize(1);
        hashTable.clear();
        stack = std::make_unique<SearchStack>();
        root = stack->prepareRoot();
    }
    void TearDown() override { hashTable.clear(); }

    void setUp(std::string_view fen) {
        board.setFromFen(fen);
        hashTable.clear();
    }

    Move move(std::string_view text) const {
        const Move m = textToMove(board, text);
        EXPECT_NE(m, NoMove) << text;
        return m;
    }

    int staticEval() const {
        int margin = 0;
        return evaluate(board, margin);
    }

    // The static evaluation after the move, from the mover's point of view.
    int evalAfter(std::string_view text) {
        const Move m = move(text);
        BoardState state;
        board.makeMove(m, state);
        const int value = -staticEval();
        board.unmakeMove(m);
        return value;
    }

    int pv(int alpha, int beta, int depth = 0) { return quiescePv(*ctx, root, alpha, beta, depth); }
    int nonPv(int beta, int depth = 0) { return quiesceNonPv(*ctx, root, beta - 1, beta, depth); }

    // Moves made by a non-PV search with the given beta, from an empty table or from one
    // that only holds the static evaluation and a hash move for the position.
    uint64_t nodesOfNonPv(int beta, int depth = 0, Move hashMove = NoMove) {
        hashTable.clear();
        if (hashMove != NoMove)
            hashTable.store(board.positionHash(), NoScore, BoundNone, NoDepth, hashMove, staticEval(), 0);
        const uint64_t before = board.nodeCount;
        nonPv(beta, depth);
        return board.nodeCount - before;
    }

    // The full-window value, checked against zero-window searches on either side of it.
    int exactValue() {
        hashTable.clear();
        const int value = pv(-InfiniteScore, InfiniteScore);
        hashTable.clear();
        EXPECT_GE(nonPv(value), value);
        hashTable.clear();
        EXPECT_LE(nonPv(value + 1), value);
        hashTable.clear();
        return value;
    }

    // The highest frame that a search wrote.
    int deepestFrame() const {
        for (int i = StackFrames - 1; i >= 0; --i)
            if (stack->frames[i].ply != 0)
                return i;
        return 0;
    }

    std::unique_ptr<SearchContext> ctx = std::make_unique<SearchContext>();
    Board& board = ctx->board;
    std::unique_ptr<SearchStack> stack;
    SearchFrame* root = nullptr;
};

TEST_F(QuiescenceTest, HangingQueenIsTaken) {
    setUp("4k3/8/8/3q4/8/8/8/3RK3 w - - 0 1");
    const int expected = evalAfter("d1d5");
    EXPECT_EQ(exactValue(), expected);
    pv(-InfiniteScore, InfiniteScore);
    EXPECT_EQ(root->bestMove, move("d1d5"));
}

TEST_F(QuiescenceTest, DefendedPieceIsNotWorthTaking) {
    // Rxd5 cxd5 gives a rook for a knight: the side to move stands pat.
    setUp("k1r5/pp6/2p5/3n4/8/8/8/3R3K w - - 0 1");
    const int standPat = staticEval();
    EXPECT_EQ(exactValue(), standPat);
    pv(-InfiniteScore, InfiniteScore);
    EXPECT_EQ(root->bestMove, NoMove);
    EXPECT_EQ(root->eval, standPat);
}

TEST_F(QuiescenceTest, EnPassantCaptureWinsThePawn) {
    setUp("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    const Move enPassant = move("e5d6");
    ASSERT_EQ(moveKind(enPassant), KindEnPassant);
    EXPECT_EQ(exactValue(), evalAfter("e5d6"));
    pv(-InfiniteScore, InfiniteScore);
    EXPECT_EQ(root->bestMove, enPassant);
}

TEST_F(QuiescenceTest, PromotionToAQueenIsSearched) {
    setUp("8/4P3/8/8/8/8/k7/4K3 w - - 0 1");
    EXPECT_EQ(exactValue(), evalAfter("e7e8q"));
    pv(-InfiniteScore, InfiniteScore);
    EXPECT_EQ(root->bestMove, move("e7e8q"));
}

TEST_F(QuiescenceTest, MatedInCheckWithoutEvasionsAndNothingStored) {
    setUp("4R1k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(pv(-InfiniteScore, InfiniteScore), 1 - MateScore);
    EXPECT_EQ(nonPv(0), 1 - MateScore);
    EXPECT_EQ(nonPv(0, -10), 1 - MateScore);
    EXPECT_EQ(root->eval, NoScore);
    EXPECT_EQ(hashTable.probe(board.positionHash()), nullptr);
}

TEST_F(QuiescenceTest, StalemateScoresTheStandPat) {
    setUp("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(exactValue(), staticEval());
}

TEST_F(QuiescenceTest, StandPatCutStoresALowerBoundWithNoDepthOnlyWithoutAnEntry) {
    setUp("4k3/8/8/8/8/8/8/4K2R w - - 0 1");
    const int standPat = staticEval();
    const uint64_t key = board.positionHash();

    EXPECT_EQ(nonPv(standPat), standPat);
    HashProbe stored = hashTable.probe(key);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->bound, BoundLower);
    EXPECT_EQ(stored->depth, NoDepth);
    EXPECT_EQ(stored->move, NoMove);
    EXPECT_EQ(stored->value, standPat);
    EXPECT_EQ(stored->staticEval, standPat);
    EXPECT_EQ(stored->evalMargin, 0);

    // The full-window search stores the same when it stands pat at beta.
    hashTable.clear();
    EXPECT_EQ(pv(-InfiniteScore, standPat), standPat);
    ASSERT_NE(hashTable.probe(key), nullptr);
    EXPECT_EQ(hashTable.probe(key)->bound, BoundLower);

    // With an evaluation-only entry, its stored evaluation is the stand pat and nothing is
    // written.
    hashTable.clear();
    hashTable.store(key, NoScore, BoundNone, NoDepth, NoMove, standPat + 40, 0);
    EXPECT_EQ(nonPv(standPat + 40), standPat + 40);
    EXPECT_EQ(root->eval, standPat + 40);
    stored = hashTable.probe(key);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->bound, BoundNone);
    EXPECT_EQ(stored->value, NoScore);

    // Below beta the search goes on and stores its result with the entry's evaluation and
    // margin.
    hashTable.clear();
    hashTable.store(key, NoScore, BoundNone, NoDepth, NoMove, standPat, 40);
    EXPECT_EQ(nonPv(standPat + 1000, -4), standPat);
    stored = hashTable.probe(key);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->bound, BoundUpper);
    EXPECT_EQ(stored->staticEval, standPat);
    EXPECT_EQ(stored->evalMargin, 40);
}

TEST_F(QuiescenceTest, StoresTheBoundWithTheHashDepthOfTheNode) {
    setUp("4k3/8/8/8/8/8/8/4K2R w - - 0 1");
    const int standPat = staticEval();
    const uint64_t key = board.positionHash();
    for (const auto& [depth, hashDepth] :
         {std::pair{0, -2}, std::pair{-2, -2}, std::pair{-4, -4}, std::pair{-12, -4}}) {
        hashTable.clear();
        // Down to depth -2 the rook check Rh8+ is pruned at the check margin.
        const int expected = depth >= -2 ? standPat + CheckPruningMargin : standPat;
        EXPECT_EQ(nonPv(standPat + 500, depth), expected) << depth;
        const HashProbe stored = hashTable.probe(key);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->depth, hashDepth) << depth;
        EXPECT_EQ(stored->bound, BoundUpper);
        EXPECT_EQ(stored->move, NoMove);
        EXPECT_EQ(stored->value, expected);
    }

    // In check the hash depth is -2 whatever the depth.
    setUp("4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1");
    hashTable.clear();
    const int value = pv(-InfiniteScore, InfiniteScore, -10);
    const HashProbe stored = hashTable.probe(board.positionHash());
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->depth, -2);
    EXPECT_EQ(stored->bound, BoundExact);
    EXPECT_EQ(stored->value, value);
    EXPECT_EQ(stored->staticEval, NoScore);
    EXPECT_EQ(stored->move, root->bestMove);
    EXPECT_EQ(root->bestMove, move("e1e2"));
}

TEST_F(QuiescenceTest, FailLowStoresAnUpperBoundWithoutMove) {
    setUp("4k3/8/8/3q4/8/8/8/3RK3 w - - 0 1");
    const int real = exactValue();
    const uint64_t key = board.positionHash();
    for (const bool fullWindow : {false, true}) {
        hashTable.clear();
        const int value = fullWindow ? pv(real + 100, real + 200) : nonPv(real + 100);
        EXPECT_EQ(value, real);
        // Rxd5 was the best move found, but it did not reach alpha.
        EXPECT_EQ(root->bestMove, move("d1d5"));
        const HashProbe stored = hashTable.probe(key);
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->bound, BoundUpper);
        EXPECT_EQ(stored->move, NoMove);
        EXPECT_EQ(stored->value, real);
    }
}

TEST_F(QuiescenceTest, FullWindowRaisesAlphaToTheStandPat) {
    // Rxd5 is searched with alpha at the stand pat, so the reply cxd5 already fails high in
    // the child, which stores a lower bound with its move.
    setUp("k1r5/pp6/2p5/3n4/8/8/8/3R3K w - - 0 1");
    const Move rookTakes = move("d1d5");
    pv(-InfiniteScore, InfiniteScore);
    BoardState state;
    board.makeMove(rookTakes, state);
    const HashProbe child = hashTable.probe(board.positionHash());
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->bound, BoundLower);
    EXPECT_EQ(child->depth, -2);
    EXPECT_EQ(child->move, move("c6d5"));
    board.unmakeMove(rookTakes);
}

TEST_F(QuiescenceTest, ZeroWindowCutsOnTheTableWithoutRefreshingIt) {
    setUp("4k3/8/8/3q4/8/8/8/3RK3 w - - 0 1");
    const int real = exactValue();
    const uint64_t key = board.positionHash();
    const Move stored = move("d1d2");
    hashTable.store(key, 5000, BoundExact, 20, stored, staticEval(), 0);
    const uint8_t storedGeneration = hashTable.probe(key)->generation;
    hashTable.advanceGeneration();

    EXPECT_EQ(quiesceNonPv(*ctx, root, 4999, 5000, 0), 5000);
    EXPECT_EQ(root->bestMove, stored);
    EXPECT_EQ(hashTable.probe(key)->generation, storedGeneration);
    EXPECT_EQ(quiesceNonPv(*ctx, root, 5000, 5001, 0), 5000);

    // The full-window search never cuts, even on an exact entry deep enough.
    EXPECT_EQ(pv(-InfiniteScore, InfiniteScore), real);
    EXPECT_EQ(root->bestMove, move("d1d5"));
}

TEST_F(QuiescenceTest, ZeroWindowCutNeedsTheDepthUnlessTheValueIsAMate) {
    setUp("4k3/8/8/3q4/8/8/8/3RK3 w - - 0 1");
    const int real = exactValue();
    const uint64_t key = board.positionHash();

    // A depth -4 entry is too shallow for a depth 0 node...
    hashTable.store(key, 5000, BoundLower, -4, NoMove, staticEval(), 0);
    EXPECT_EQ(quiesceNonPv(*ctx, root, 4999, 5000, 0), real);
    // ...but enough at depth -4, where the hash depth is -4.
    hashTable.clear();
    hashTable.store(key, 5000, BoundLower, -4, NoMove, staticEval(), 0);
    EXPECT_EQ(quiesceNonPv(*ctx, root, 4999, 5000, -4), 5000);

    // A mate beyond beta cuts whatever the depth; stored relative to the node, read at ply 1.
    hashTable.clear();
    hashTable.store(key, MateScore - 5, BoundLower, NoDepth + 1, NoMove, staticEval(), 0);
    EXPECT_EQ(quiesceNonPv(*ctx, root, 4999, 5000, 0), MateScore - 6);
}

TEST_F(QuiescenceTest, DeltaPruningSkipsCapturesThatCannotReachBeta) {
    // Queen and rook: enough material. Qxd5 wins a pawn, far too little for beta.
    setUp("7k/6pp/8/3p4/8/8/8/R2Q3K w - - 0 1");
    const int standPat = staticEval();
    const int beta = standPat + 1000;
    hashTable.clear();
    EXPECT_EQ(nonPv(beta, -4), standPat + StandPatMargin + 258);
    EXPECT_EQ(nodesOfNonPv(beta, -4), 0u);
    hashTable.clear();
    EXPECT_EQ(pv(-InfiniteScore, InfiniteScore, -4), evalAfter("d1d5"));
}

TEST_F(QuiescenceTest, DeltaPruningCountsTheEnPassantPawnAndSparesPassedPawns) {
    // After exd6 the d7 pawn stands in front: not a passed pawn. The captured pawn is not on
    // the destination, so the en-passant bonus alone lifts the futility value over beta.
    setUp("4k3/3p4/8/3pP3/8/8/8/RQ2K3 w - d6 0 1");
    const int standPat = staticEval();
    EXPECT_EQ(nodesOfNonPv(standPat + StandPatMargin + 100, -4), 1u);
    EXPECT_EQ(nodesOfNonPv(standPat + 1000, -4), 0u);
    hashTable.clear();
    EXPECT_EQ(nonPv(standPat + 1000, -4), standPat + StandPatMargin + 258);

    // Without the d7 pawn the capturing pawn is passed and never delta-pruned.
    setUp("4k3/8/8/3pP3/8/8/8/RQ2K3 w - d6 0 1");
    EXPECT_EQ(nodesOfNonPv(staticEval() + 1000, -4), 1u);
}

TEST_F(QuiescenceTest, EvenExchangesAreDeltaPrunedOnlyBelowDepthZero) {
    // Rxa8 Bxa8 is even; far below beta, the futility value of the rook still reaches it.
    setUp("r5nk/1b4pp/8/8/8/8/6PP/R2Q3K w - - 0 1");
    const int standPat = staticEval();
    ASSERT_EQ(board.staticExchange(move("a1a8")), 0);
    EXPECT_GE(nodesOfNonPv(standPat + 1000, 0), 1u);
    EXPECT_EQ(nodesOfNonPv(standPat + 1000, -4), 0u);
    hashTable.clear();
    EXPECT_EQ(nonPv(standPat + 1000, -4), standPat);
}

TEST_F(QuiescenceTest, HarmlessRookChecksArePrunedAtTheMargin) {
    setUp("8/8/8/4k3/R7/5P2/8/7K w - - 0 1");
    const int standPat = staticEval();
    EXPECT_EQ(nodesOfNonPv(standPat + 1000), 0u);
    hashTable.clear();
    EXPECT_EQ(nonPv(standPat + 1000), standPat + CheckPruningMargin);
    // When the margin reaches beta the checks are searched.
    EXPECT_GT(nodesOfNonPv(standPat + CheckPruningMargin - 9), 0u);
    // The full-window search prunes nothing.
    hashTable.clear();
    const uint64_t before = board.nodeCount;
    pv(-InfiniteScore, InfiniteScore);
    EXPECT_GT(board.nodeCount - before, 0u);
}

TEST_F(QuiescenceTest, QueenContactCheckIsSearched) {
    // The same checks with a queen: Qe4+ touches the king, is defended and so is searched.
    setUp("8/8/8/4k3/Q7/5P2/8/7K w - - 0 1");
    EXPECT_GT(nodesOfNonPv(staticEval() + 1000), 0u);
}

TEST_F(QuiescenceTest, CheckLeavingNoFlightSquareIsSearchedAndFindsTheMate) {
    setUp("6k1/5ppp/8/8/8/8/8/R6K w - - 0 1");
    EXPECT_EQ(nonPv(staticEval() + 1000), MateScore - 2);
    EXPECT_EQ(root->bestMove, move("a1a8"));
}

TEST_F(QuiescenceTest, CheckLeavingOneFlightSquareIsSearched) {
    // Ra8+ leaves only g7.
    setUp("7k/7p/8/8/8/8/8/R6K w - - 0 1");
    EXPECT_GT(nodesOfNonPv(staticEval() + 1000), 0u);
}

TEST_F(QuiescenceTest, ContactCheckSquareIsNoFlightSquare) {
    // Rh4+ is defended by the pawn; with g6 blocked and g4, h6 covered, g5 is the only flight.
    setUp("8/8/6p1/7k/R7/6P1/8/K7 w - - 0 1");
    EXPECT_GT(nodesOfNonPv(staticEval() + 1000), 0u);
}

TEST_F(QuiescenceTest, PieceAttackedBeforeTheCheckIsNoNewVictim) {
    // Ra5+ still attacks the knight on a8, but so did Ra1: nothing new, so only the check
    // margin counts. Rxa8 itself loses the exchange and is pruned.
    setUp("n1r5/8/8/4k3/8/8/8/R6K w - - 0 1");
    const int standPat = staticEval();
    EXPECT_EQ(nodesOfNonPv(standPat + 1500), 0u);
    hashTable.clear();
    EXPECT_EQ(nonPv(standPat + 1500), standPat + CheckPruningMargin);
}

TEST_F(QuiescenceTest, CheckForkingADefendedPawnIsPrunedAndRaisesTheBestValue) {
    // Nb5+ also attacks a7, but the rook defends it: not dangerous. The futility value of the
    // pawn is handed back. Ne4+ attacks nothing and only brings the check margin.
    setUp("r7/p7/3k4/8/8/2N5/8/7K w - - 0 1");
    const int standPat = staticEval();
    EXPECT_EQ(nodesOfNonPv(standPat + 1000), 0u);
    hashTable.clear();
    EXPECT_EQ(nonPv(standPat + 1000), standPat + StandPatMargin + 258);
}

TEST_F(QuiescenceTest, CheckForkingAHeavierPieceIsSearched) {
    setUp("8/r7/3k4/8/8/2N5/8/7K w - - 0 1");
    EXPECT_GT(nodesOfNonPv(staticEval() + 1000), 0u);
}

TEST_F(QuiescenceTest, TheHashMoveIsNeverPruned) {
    // A harmless check...
    setUp("8/8/8/4k3/R7/5P2/8/7K w - - 0 1");
    EXPECT_EQ(nodesOfNonPv(staticEval() + 1000), 0u);
    EXPECT_GT(nodesOfNonPv(staticEval() + 1000, 0, move("a4a5")), 0u);
    // ...a capture far below beta...
    setUp("7k/6pp/8/3p4/8/8/8/R2Q3K w - - 0 1");
    EXPECT_EQ(nodesOfNonPv(staticEval() + 1000, -4), 0u);
    EXPECT_EQ(nodesOfNonPv(staticEval() + 1000, -4, move("d1d5")), 1u);
    // ...and a capture losing the exchange.
    setUp("k1r5/pp6/2p5/3n4/8/8/8/3R3K w - - 0 1");
    EXPECT_EQ(nodesOfNonPv(staticEval() + 1), 0u);
    EXPECT_GT(nodesOfNonPv(staticEval() + 1, 0, move("d1d5")), 0u);
}

TEST_F(QuiescenceTest, FirstEvasionIsSearchedEvenWhenItLoses) {
    // Bd1 is the only evasion and loses the bishop: nothing has scored yet, so it is searched,
    // and the mate after Rxd1+ is found two plies later instead of a mate on the spot.
    setUp("7k/8/8/8/8/5B2/6PP/r6K w - - 0 1");
    EXPECT_EQ(nonPv(-1000), 3 - MateScore);
    hashTable.clear();
    EXPECT_GT(nonPv(0), -MateThreshold);
}

TEST_F(QuiescenceTest, LosingQuietEvasionIsPrunedOnlyWithoutCastlingRights) {
    // Be3 blocks the rook's check but loses the bishop. With the king-side right still there
    // it is searched; without it, after the king steps have scored, it is pruned.
    setUp("k7/8/8/4r3/8/8/3B4/4K2R w K - 0 1");
    const uint64_t withRight = nodesOfNonPv(20000);
    setUp("k7/8/8/4r3/8/8/3B4/4K2R w - - 0 1");
    const uint64_t withoutRight = nodesOfNonPv(20000);
    EXPECT_GT(withRight, withoutRight);
}

TEST_F(QuiescenceTest, LongChainOfChecksAndCapturesEnds) {
    // White is in check in a tangle of queens; checks and captures answer each other for
    // fifteen plies.
    setUp(TangleFen);
    ASSERT_TRUE(board.inCheck());
    const int value = pv(-InfiniteScore, InfiniteScore);
    EXPECT_GT(value, -MateScore);
    EXPECT_LT(value, MateScore);
    const int rootFrame = static_cast<int>(root - stack->frames);
    EXPECT_GE(deepestFrame() - rootFrame, 15);
    *stack = SearchStack{};
    root = stack->prepareRoot();
    hashTable.clear();
    const int zeroWindow = nonPv(value);
    EXPECT_GT(zeroWindow, -MateScore);
    EXPECT_LT(zeroWindow, MateScore);
}

TEST_F(QuiescenceTest, NodeOnTheLastFrameReturnsItsEvaluation) {
    // Start a few frames before the end of the stack: the chain must stop on the last frame
    // instead of running past it.
    setUp(TangleFen);
    SearchFrame* const last = stack->frames + StackFrames - 1;
    SearchFrame* const start = last - 3;
    (start - 1)->ply = LastFramePly - 4;
    (start - 1)->currentMove = NullMove;
    const int value = quiescePv(*ctx, start, -InfiniteScore, InfiniteScore, 0);
    EXPECT_GT(value, -MateScore);
    EXPECT_LT(value, MateScore);
    EXPECT_EQ(last->ply, LastFramePly);

    // A zero-window node on the frame before the last: Rxd5 is answered by the static
    // evaluation of the last frame, not by the recapture cxd5.
    setUp("4k3/8/2p5/3q4/8/8/8/3RK3 w - - 0 1");
    last->ply = 0;
    SearchFrame* const nearer = last - 1;
    (nearer - 1)->ply = LastFramePly - 2;
    (nearer - 1)->currentMove = NullMove;
    const int gain = evalAfter("d1d5");
    EXPECT_EQ(quiesceNonPv(*ctx, nearer, gain - 1, gain, 0), gain);
    EXPECT_EQ(last->ply, LastFramePly);
}

}  // namespace
}  // namespace orvath
