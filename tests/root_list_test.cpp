// SPDX-License-Identifier: GPL-3.0-or-later
// The root move list and the two routines that carry a variation between it and the hash table.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "board/board.h"
#include "board/movegen.h"
#include "search/evaluate.h"
#include "search/hash_table.h"
#include "search/root_list.h"
#include "search/search_context.h"
#include "test_support.h"
#include "uci/move_text.h"

namespace orvath {
namespace {

constexpr std::string_view Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

std::vector<Move> rootMoves(const SearchContext& ctx) {
    std::vector<Move> moves;
    for (const RootEntry& entry : ctx.rootList) moves.push_back(entry.move());
    return moves;
}

std::vector<Move> generated(const Board& board) {
    MoveEntry list[MaxMoves];
    MoveEntry* end = board.inCheck() ? generateEvasions(board, list) : generateAllMoves(board, list);
    std::vector<Move> moves;
    for (MoveEntry* m = list; m != end; ++m) moves.push_back(static_cast<Move>(m->move));
    return moves;
}

// Plays the moves given as text on the board, each into its own state record.
struct Line {
    std::vector<Move> moves;
    BoardState states[128];
    int made = 0;

    void play(Board& board, std::initializer_list<std::string_view> texts) {
        for (std::string_view text : texts) {
            const Move move = textToMove(board, text);
            ASSERT_NE(move, NoMove) << text;
            moves.push_back(move);
            board.makeMove(move, states[made++]);
        }
    }
    void takeBack(Board& board) {
        while (made > 0) board.unmakeMove(moves[--made]);
        moves.clear();
    }
};

class RootListTest : public ::testing::Test {
protected:
    void SetUp() override {
        initTables();
        hashTable.resize(4);
        hashTable.clear();
    }

    // Stores `text` as the hash move of the position reached by `path` from the board.
    static void storeMoveAfter(Board& board, std::initializer_list<std::string_view> path, std::string_view text) {
        Line line;
        line.play(board, path);
        const Move move = textToMove(board, text);
        ASSERT_NE(move, NoMove) << text;
        hashTable.store(board.positionHash(), 0, BoundLower, 6, move, 0, 0);
        line.takeBack(board);
    }

    static std::vector<std::string> pvTexts(const RootEntry& entry) {
        std::vector<std::string> texts;
        for (Move move : entry.pv) texts.push_back(move == NoMove ? "-" : moveToText(move));
        return texts;
    }
};

TEST_F(RootListTest, HoldsExactlyTheLegalMoves) {
    const std::pair<std::string_view, size_t> counts[] = {
        {StartFen, 20},
        {Kiwipete, 48},
        {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 14},
        {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 6},
        {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", 0},
    };
    for (const auto& [fen, count] : counts) {
        const auto ctx = contextFrom(fen);
        ctx->bestMoveChanges = 7;
        buildRootList(*ctx);
        EXPECT_EQ(ctx->rootList.size(), count) << fen;
        EXPECT_EQ(ctx->bestMoveChanges, 0);
        const Bitboard pinned = ctx->board.pinnedOwnPieces();
        std::unordered_set<Move> seen;
        for (const RootEntry& entry : ctx->rootList) {
            EXPECT_TRUE(ctx->board.isLegal(entry.move(), pinned)) << moveToText(entry.move());
            EXPECT_TRUE(seen.insert(entry.move()).second);
            EXPECT_EQ(entry.score, -InfiniteScore);
            EXPECT_EQ(entry.previousScore, -InfiniteScore);
            EXPECT_EQ(entry.nodes, 0);
            ASSERT_EQ(entry.pv.size(), 2u);
            EXPECT_EQ(entry.pv[1], NoMove);
        }
    }
}

TEST_F(RootListTest, KeepsGenerationOrderWhenAllMovesAreLegal) {
    const auto ctx = contextFrom(StartFen);
    buildRootList(*ctx);
    EXPECT_EQ(rootMoves(*ctx), generated(ctx->board));
}

// The generated moves after the scan that keeps the legal ones: an illegal move is overwritten
// by the last move of the list, which is tested in its turn.
std::vector<Move> keptInScanOrder(const Board& board, int& illegal) {
    std::vector<Move> moves = generated(board);
    const Bitboard pinned = board.pinnedOwnPieces();
    illegal = 0;
    size_t i = 0;
    while (i < moves.size()) {
        if (board.isLegal(moves[i], pinned)) {
            ++i;
            continue;
        }
        moves[i] = moves.back();
        moves.pop_back();
        ++illegal;
    }
    return moves;
}

TEST_F(RootListTest, IllegalMoveMakesRoomForTheLastOne) {
    // Kd2, Ke2 and Kf2 walk into the rook on h2.
    const auto ctx = contextFrom("4k3/8/8/8/8/8/7r/R3K3 w Q - 0 1");
    int illegal = 0;
    const std::vector<Move> expected = keptInScanOrder(ctx->board, illegal);
    ASSERT_EQ(illegal, 3);
    buildRootList(*ctx);
    EXPECT_EQ(rootMoves(*ctx), expected);
}

TEST_F(RootListTest, EvasionsInCheck) {
    // Only the king may move, and not every evasion it is offered is legal.
    const auto ctx = contextFrom("4k3/8/8/8/8/5b2/8/r3K3 w - - 0 1");
    ASSERT_TRUE(ctx->board.inCheck());
    int illegal = 0;
    const std::vector<Move> expected = keptInScanOrder(ctx->board, illegal);
    EXPECT_GT(illegal, 0);
    buildRootList(*ctx);
    EXPECT_EQ(rootMoves(*ctx), expected);
    for (Move move : rootMoves(*ctx)) EXPECT_EQ(moveFrom(move), E1);
}

TEST_F(RootListTest, SortIsStableAndMovesWholeEntries) {
    const auto ctx = contextFrom(StartFen);
    buildRootList(*ctx);
    std::vector<RootEntry>& rootList = ctx->rootList;
    const std::vector<Move> before = rootMoves(*ctx);
    const int scores[] = {5, 9, 5, -3, 9, 5};
    for (int i = 0; i < 6; ++i) {
        rootList[i].score = scores[i];
        rootList[i].previousScore = 100 + i;
        rootList[i].nodes = 1000 + i;
    }
    rootList[4].pv.insert(rootList[4].pv.begin() + 1, before[0]);
    sortRootEntries(rootList.begin(), rootList.begin() + 6);
    const int order[] = {1, 4, 0, 2, 5, 3};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rootList[i].move(), before[order[i]]) << i;
        EXPECT_EQ(rootList[i].previousScore, 100 + order[i]);
        EXPECT_EQ(rootList[i].nodes, 1000 + order[i]);
    }
    EXPECT_EQ(rootList[1].pv.size(), 3u);
    // Entries outside the range stay where they were, whatever their score.
    for (size_t i = 6; i < rootList.size(); ++i) EXPECT_EQ(rootList[i].move(), before[i]);

    sortRootEntries(rootList.begin(), rootList.begin());
    sortRootEntries(rootList.begin() + 3, rootList.begin() + 4);
    EXPECT_EQ(rootList[3].move(), before[2]);
}

TEST_F(RootListTest, ExtractFollowsHashMovesUntilOneIsMissing) {
    auto board = boardFrom(StartFen);
    storeMoveAfter(*board, {"e2e4"}, "e7e5");
    storeMoveAfter(*board, {"e2e4", "e7e5"}, "g1f3");
    RootEntry entry(textToMove(*board, "e2e4"));
    const uint64_t key = board->positionHash();
    extractPvFromHash(entry, *board);
    EXPECT_EQ(pvTexts(entry), (std::vector<std::string>{"e2e4", "e7e5", "g1f3", "-"}));
    EXPECT_EQ(board->positionHash(), key);
    EXPECT_TRUE(board->isConsistent());

    // A later extraction starts again from the first move.
    hashTable.clear();
    extractPvFromHash(entry, *board);
    EXPECT_EQ(pvTexts(entry), (std::vector<std::string>{"e2e4", "-"}));
}

TEST_F(RootListTest, ExtractStopsAtAnEmptyOrIllegalMove) {
    auto board = boardFrom(StartFen);
    storeMoveAfter(*board, {"e2e4"}, "e7e5");
    {
        // An entry with only an evaluation: no move.
        Line line;
        line.play(*board, {"e2e4", "e7e5"});
        hashTable.store(board->positionHash(), NoScore, BoundNone, NoDepth, NoMove, 10, 0);
        line.takeBack(*board);
    }
    RootEntry entry(textToMove(*board, "e2e4"));
    extractPvFromHash(entry, *board);
    EXPECT_EQ(pvTexts(entry), (std::vector<std::string>{"e2e4", "e7e5", "-"}));

    // A move of the other side is no move of this position.
    {
        Line line;
        line.play(*board, {"e2e4", "e7e5"});
        hashTable.store(board->positionHash(), 0, BoundLower, 4, encodeMove(E5, E4), 0, 0);
        line.takeBack(*board);
    }
    extractPvFromHash(entry, *board);
    EXPECT_EQ(pvTexts(entry), (std::vector<std::string>{"e2e4", "e7e5", "-"}));

    // Pseudo-legal but illegal: the pinned knight on c6 may not move.
    hashTable.clear();
    storeMoveAfter(*board, {"e2e4"}, "b8c6");
    storeMoveAfter(*board, {"e2e4", "b8c6"}, "f1b5");
    storeMoveAfter(*board, {"e2e4", "b8c6", "f1b5"}, "d7d6");
    {
        Line line;
        line.play(*board, {"e2e4", "b8c6", "f1b5", "d7d6", "d2d4"});
        hashTable.store(board->positionHash(), 0, BoundLower, 4, encodeMove(C6, D4), 0, 0);
        line.takeBack(*board);
    }
    storeMoveAfter(*board, {"e2e4", "b8c6", "f1b5", "d7d6"}, "d2d4");
    extractPvFromHash(entry, *board);
    EXPECT_EQ(pvTexts(entry), (std::vector<std::string>{"e2e4", "b8c6", "f1b5", "d7d6", "d2d4", "-"}));
}

TEST_F(RootListTest, ExtractStopsAtARepetition) {
    auto board = boardFrom(StartFen);
    storeMoveAfter(*board, {}, "g1f3");
    storeMoveAfter(*board, {"g1f3"}, "g8f6");
    storeMoveAfter(*board, {"g1f3", "g8f6"}, "f3g1");
    storeMoveAfter(*board, {"g1f3", "g8f6", "f3g1"}, "f6g8");
    RootEntry entry(textToMove(*board, "g1f3"));
    extractPvFromHash(entry, *board);
    EXPECT_EQ(pvTexts(entry), (std::vector<std::string>{"g1f3", "g8f6", "f3g1", "f6g8", "-"}));
}

TEST_F(RootListTest, ExtractStopsAtOneHundredMoves) {
    hashTable.resize(16);
    hashTable.clear();
    auto board = boardFrom(StartFen);
    // A walk through 120 positions, each new, each move stored as the hash move of its position.
    Line line;
    std::unordered_set<uint64_t> seen{board->positionHash()};
    Move first = NoMove;
    for (int ply = 0; ply < 120; ++ply) {
        Move chosen = NoMove;
        const Bitboard pinned = board->pinnedOwnPieces();
        for (Move move : generated(*board)) {
            if (!board->isLegal(move, pinned) || board->pieceOn(moveTo(move)) != EmptySquare) continue;
            BoardState state;
            board->makeMove(move, state);
            const bool fresh = !seen.count(board->positionHash()) && !board->isDraw() && !board->isCheckmate();
            board->unmakeMove(move);
            if (fresh) {
                chosen = move;
                break;
            }
        }
        ASSERT_NE(chosen, NoMove) << ply;
        if (ply == 0)
            first = chosen;
        else
            hashTable.store(board->positionHash(), 0, BoundLower, 4, chosen, 0, 0);
        line.moves.push_back(chosen);
        board->makeMove(chosen, line.states[line.made++]);
        seen.insert(board->positionHash());
    }
    line.takeBack(*board);

    RootEntry entry(first);
    extractPvFromHash(entry, *board);
    ASSERT_EQ(entry.pv.size(), static_cast<size_t>(MaxPvLength + 1));
    EXPECT_EQ(entry.pv.back(), NoMove);
    for (int i = 0; i < MaxPvLength; ++i) EXPECT_NE(entry.pv[i], NoMove) << i;
    EXPECT_EQ(board->positionHash(), boardFrom(StartFen)->positionHash());
}

TEST_F(RootListTest, InsertThenExtractGivesTheSameVariation) {
    auto board = boardFrom(StartFen);
    RootEntry entry(textToMove(*board, "e2e4"));
    {
        Line line;
        line.play(*board, {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6"});
        entry.pv.assign(line.moves.begin(), line.moves.end());
        entry.pv.push_back(NoMove);
        line.takeBack(*board);
    }
    std::vector<unsigned char> before(sizeof(Board));
    std::memcpy(before.data(), static_cast<const void*>(board.get()), sizeof(Board));
    const uint64_t nodes = board->nodeCount;

    insertPvIntoHash(entry, *board);
    // Only the node counter may have moved on.
    EXPECT_GE(board->nodeCount, nodes);
    board->nodeCount = nodes;
    EXPECT_EQ(std::memcmp(before.data(), static_cast<const void*>(board.get()), sizeof(Board)), 0);

    // Every position of the line holds an evaluation-only entry with its move.
    Line line;
    for (size_t i = 0; entry.pv[i] != NoMove; ++i) {
        const HashProbe stored = hashTable.probe(board->positionHash());
        ASSERT_NE(stored, nullptr) << i;
        EXPECT_EQ(stored->move, entry.pv[i]);
        EXPECT_EQ(stored->value, NoScore);
        EXPECT_EQ(stored->bound, BoundNone);
        EXPECT_EQ(stored->depth, NoDepth);
        int margin = -1;
        EXPECT_EQ(stored->staticEval, evaluate(*board, margin));
        EXPECT_EQ(stored->evalMargin, 0);
        line.moves.push_back(entry.pv[i]);
        board->makeMove(entry.pv[i], line.states[line.made++]);
    }
    line.takeBack(*board);

    const std::vector<Move> inserted = entry.pv;
    entry.pv.resize(1);
    extractPvFromHash(entry, *board);
    EXPECT_EQ(entry.pv, inserted);
}

TEST_F(RootListTest, InsertKeepsEntriesThatAlreadyHoldTheMove) {
    auto board = boardFrom(StartFen);
    const Move e2e4 = textToMove(*board, "e2e4");
    hashTable.store(board->positionHash(), 55, BoundExact, 12, e2e4, 7, 0);
    RootEntry entry(e2e4);
    insertPvIntoHash(entry, *board);
    const HashProbe stored = hashTable.probe(board->positionHash());
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->value, 55);
    EXPECT_EQ(stored->depth, 12);
    EXPECT_EQ(stored->bound, BoundExact);
}

// In check there is no evaluation; the margin repeats the one stored before it in the same call.
TEST_F(RootListTest, InsertInCheckRepeatsThePreviousMargin) {
    auto board = boardFrom("rnbqkbnr/ppppp1pp/5p2/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
    RootEntry entry(textToMove(*board, "d1h5"));
    {
        Line line;
        line.play(*board, {"d1h5", "g7g6"});
        entry.pv.assign(line.moves.begin(), line.moves.end());
        entry.pv.push_back(NoMove);
        line.takeBack(*board);
    }
    insertPvIntoHash(entry, *board);
    BoardState state;
    board->makeMove(entry.pv[0], state);
    ASSERT_TRUE(board->inCheck());
    const HashProbe inCheck = hashTable.probe(board->positionHash());
    ASSERT_NE(inCheck, nullptr);
    EXPECT_EQ(inCheck->staticEval, NoScore);
    EXPECT_EQ(inCheck->evalMargin, 0);
    board->unmakeMove(entry.pv[0]);

    // Starting in check, there is no earlier margin to repeat.
    hashTable.clear();
    board->makeMove(entry.pv[0], state);
    RootEntry evasion(entry.pv[1]);
    insertPvIntoHash(evasion, *board);
    const HashProbe first = hashTable.probe(board->positionHash());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->staticEval, NoScore);
    EXPECT_EQ(first->evalMargin, NoScore);
    board->unmakeMove(entry.pv[0]);
}

}  // namespace
}  // namespace orvath
