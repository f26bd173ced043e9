// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/move_selector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/board.h"
#include "board/keys.h"
#include "board/movegen.h"
#include "search/history.h"
#include "search/search_frame.h"
#include "search/search_tables.h"
#include "test_support.h"
#include "uci/move_text.h"

namespace orvath {
namespace {

constexpr std::string_view KiwipeteFen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
constexpr std::string_view PromotionsFen = "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1";
constexpr std::string_view EnPassantFen = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";
constexpr std::string_view TangledFen = "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1";
constexpr std::string_view PromotionCheckFen = "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8";
constexpr std::string_view PawnRaceFen = "8/pppk4/8/2PpP3/8/8/5PPP/4K3 w - d6 0 1";

constexpr int PawnValue = 198;

// The history the selectors order quiet moves and evasions by; cleared around every test.
HistoryTable historyScore{};

struct Served {
    Move move;
    int stage;
};

// Everything a selector hands out, with the stage each move came from.
std::vector<Served> serveAll(MoveSelector& selector) {
    std::vector<Served> served;
    for (int calls = 0; calls < 2 * MaxMoves; ++calls) {
        const Move move = selector.nextMove();
        if (move == NoMove) {
            EXPECT_EQ(selector.nextMove(), NoMove) << "a finished selector must stay finished";
            return served;
        }
        served.push_back({move, selector.currentStage()});
    }
    ADD_FAILURE() << "the selector never ran out of moves";
    return served;
}

std::vector<Move> movesOf(const std::vector<Served>& served) {
    std::vector<Move> moves;
    for (const Served& s : served)
        moves.push_back(s.move);
    return moves;
}

using Generator = MoveEntry* (*)(const Board&, MoveEntry*);

std::vector<Move> generated(const Board& board, Generator generator) {
    MoveEntry list[MaxMoves];
    MoveEntry* const end = generator(board, list);
    std::vector<Move> moves;
    for (const MoveEntry* entry = list; entry != end; ++entry)
        moves.push_back(static_cast<Move>(entry->move));
    return moves;
}

std::vector<Move> sorted(std::vector<Move> moves) {
    std::sort(moves.begin(), moves.end());
    return moves;
}

bool contains(const std::vector<Move>& moves, Move move) {
    return std::find(moves.begin(), moves.end(), move) != moves.end();
}

std::string texts(const std::vector<Move>& moves) {
    std::string text;
    for (const Move move : moves)
        text += moveToText(move) + " ";
    return text;
}

// Served moves must be a permutation of `expected`: each once, nothing else.
void expectServedExactly(const std::vector<Move>& served, std::vector<Move> expected, const std::string& where) {
    const std::vector<Move> servedSorted = sorted(served);
    EXPECT_EQ(std::adjacent_find(servedSorted.begin(), servedSorted.end()), servedSorted.end())
        << where << " served a move twice: " << texts(served);
    expected = sorted(expected);
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(servedSorted, expected) << where << "\nserved:   " << texts(served) << "\nexpected: " << texts(expected);
}

int historyOf(const Board& board, Move move) { return historyScore[board.pieceOn(moveFrom(move))][moveTo(move)]; }

// The exchange value the good-capture stage compares with its threshold.
int captureExchange(const Board& board, Move move) {
    return midgameValue[board.pieceOn(moveTo(move))] >= midgameValue[board.pieceOn(moveFrom(move))]
               ? 1
               : board.staticExchange(move);
}

void fillRandomHistory(std::mt19937_64& random) {
    for (auto& row : historyScore)
        for (int32_t& entry : row) {
            switch (random() % 3) {
            case 0: entry = 0; break;
            case 1: entry = 1 + static_cast<int32_t>(random() % 1999); break;
            default: entry = -1 - static_cast<int32_t>(random() % 1999); break;
            }
        }
}

class MoveSelectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        initTables();
        initSearchTables();
        clearHistory(historyScore);
    }
    void TearDown() override { clearHistory(historyScore); }

    std::vector<Served> serveMain(std::string_view fen, Move ttMove, int depth, Move killer0 = NoMove,
                                  Move killer1 = NoMove, int eval = 0, int beta = 1) {
        board.setFromFen(fen);
        SearchFrame frame{};
        frame.killers[0] = killer0;
        frame.killers[1] = killer1;
        frame.eval = eval;
        MoveSelector selector(board, historyScore, ttMove, depth, frame, beta);
        return serveAll(selector);
    }

    Move move(std::string_view text) const {
        const Move m = textToMove(board, text);
        EXPECT_NE(m, NoMove) << text;
        return m;
    }

    Board board;
};

// Random games over positions rich in castling, promotions and en passant. At every ply the
// selectors of every mode are run with a random history, random killers and random hash moves.
class MoveSelectorProperty : public MoveSelectorTest {
protected:
    static constexpr int Games = 4;
    static constexpr int Plies = 60;

    template <class Check>
    void forRandomPositions(Check check) {
        std::mt19937_64 random(0x5eed0u);
        std::vector<BoardState> states(Plies);
        for (const std::string_view fen :
             {StartFen, KiwipeteFen, PromotionsFen, EnPassantFen, TangledFen, PromotionCheckFen, PawnRaceFen}) {
            for (int game = 0; game < Games; ++game) {
                board.setFromFen(fen);
                std::vector<Move> earlier;
                for (int ply = 0; ply < Plies; ++ply) {
                    fillRandomHistory(random);
                    const std::string where =
                        std::string(fen) + " game " + std::to_string(game) + " ply " + std::to_string(ply);
                    check(random, earlier, where);
                    const std::vector<Move> legal = legalMoves();
                    if (legal.empty())
                        break;
                    earlier = generated(board, board.inCheck() ? generateEvasions : generateAllMoves);
                    board.makeMove(legal[random() % legal.size()], states[ply]);
                }
            }
        }
        board.setFromFen(StartFen);  // the state records above go out of scope
    }

    std::vector<Move> legalMoves() const {
        std::vector<Move> moves = generated(board, board.inCheck() ? generateEvasions : generateAllMoves);
        const Bitboard pinned = board.pinnedOwnPieces();
        std::erase_if(moves, [&](Move m) { return !board.isLegal(m, pinned); });
        return moves;
    }

    // A hash move as the table may hand it over: none, a move of this position, a move of the
    // position before, or any 16-bit word.
    Move randomHashMove(std::mt19937_64& random, const std::vector<Move>& own, const std::vector<Move>& earlier) {
        switch (random() % 4) {
        case 0: return NoMove;
        case 1: return own.empty() ? NoMove : own[random() % own.size()];
        case 2: return earlier.empty() ? NoMove : earlier[random() % earlier.size()];
        default: return static_cast<Move>(random());
        }
    }

    // Killers as the search leaves them: two different quiet moves, from this position or an
    // earlier one, so some are no longer possible and some have become captures.
    void randomKillers(std::mt19937_64& random, const std::vector<Move>& own, const std::vector<Move>& earlier,
                       Move killers[2]) {
        killers[0] = killers[1] = NoMove;
        for (int slot = 0; slot < 2; ++slot) {
            const std::vector<Move>& pool = random() % 2 ? own : earlier;
            if (pool.empty() || random() % 5 == 0)
                continue;
            const Move candidate = pool[random() % pool.size()];
            // The search only keeps moves that were neither captures nor promotions where
            // they were made.
            if (moveKind(candidate) == KindPromotion)
                continue;
            if (candidate != killers[0])
                killers[slot] = candidate;
        }
    }
};

TEST_F(MoveSelectorProperty, MainModeServesEveryPseudoLegalMoveOnceInStageOrder) {
    int checkedPositions = 0, hashMovesServed = 0, killersServed = 0, badCapturesServed = 0, othersSorted = 0;
    forRandomPositions([&](std::mt19937_64& random, const std::vector<Move>& earlier, const std::string& where) {
        const bool inCheck = board.inCheck();
        const std::vector<Move> all = generated(board, inCheck ? generateEvasions : generateAllMoves);
        const Move hashMove = randomHashMove(random, all, earlier);
        SearchFrame frame{};
        randomKillers(random, all, earlier, frame.killers);
        frame.eval = static_cast<int>(random() % 1201) - 600;
        const int beta = static_cast<int>(random() % 1201) - 600;
        const int depth = 1 + static_cast<int>(random() % 20);
        const int threshold = frame.eval < beta - PawnValue && depth < 6 ? -PawnValue : 0;

        MoveSelector selector(board, historyScore, hashMove, depth, frame, beta);
        const std::vector<Served> served = serveAll(selector);
        const std::vector<Move> moves = movesOf(served);
        expectServedExactly(moves, all, where);
        ++checkedPositions;

        const bool hashValid = hashMove != NoMove && board.isPseudoLegal(hashMove);
        if (hashValid) {
            ASSERT_TRUE(contains(all, hashMove)) << where << " pseudo-legal hash move outside the list";
            ASSERT_FALSE(served.empty());
            EXPECT_EQ(served[0].move, hashMove) << where;
            EXPECT_EQ(served[0].stage, stageHashMove) << where;
            ++hashMovesServed;
        }
        for (size_t i = hashValid ? 1 : 0; i < served.size(); ++i)
            EXPECT_NE(served[i].stage, stageHashMove) << where;
        for (size_t i = 1; i < served.size(); ++i)
            EXPECT_LE(served[i - 1].stage, served[i].stage) << where << " stages go backwards";

        if (inCheck) {
            for (const Served& s : served)
                EXPECT_TRUE(s.stage == stageHashMove || s.stage == stageEvasions) << where;
            return;
        }
        const std::vector<Move> captures = generated(board, generateCaptures);
        int previousGood = 0, previousBad = 0;
        for (size_t i = 0; i < served.size(); ++i) {
            const Move m = served[i].move;
            switch (served[i].stage) {
            case stageGoodCaptures:
                EXPECT_TRUE(contains(captures, m)) << where;
                EXPECT_GE(captureExchange(board, m), threshold) << where << " " << moveToText(m);
                break;
            case stageKillers:
                EXPECT_TRUE(m == frame.killers[0] || m == frame.killers[1]) << where;
                EXPECT_FALSE(board.isCapture(m)) << where;
                ++killersServed;
                break;
            case stageGoodQuiets:
                EXPECT_GT(historyOf(board, m), 0) << where;
                if (i > 0 && served[i - 1].stage == stageGoodQuiets) {
                    EXPECT_LE(historyOf(board, m), previousGood) << where;
                }
                previousGood = historyOf(board, m);
                break;
            case stageOtherQuiets:
                EXPECT_LE(historyOf(board, m), 0) << where;
                if (depth >= 6 && i > 0 && served[i - 1].stage == stageOtherQuiets) {
                    EXPECT_LE(historyOf(board, m), historyOf(board, served[i - 1].move)) << where;
                    ++othersSorted;
                }
                break;
            case stageBadCaptures:
                EXPECT_TRUE(contains(captures, m)) << where;
                EXPECT_LT(captureExchange(board, m), threshold) << where;
                if (i > 0 && served[i - 1].stage == stageBadCaptures) {
                    EXPECT_LE(captureExchange(board, m), previousBad) << where;
                }
                previousBad = captureExchange(board, m);
                ++badCapturesServed;
                break;
            case stageHashMove:
                break;
            default:
                ADD_FAILURE() << where << " stage " << served[i].stage << " in a main node out of check";
            }
        }
        // A killer that is still a quiet pseudo-legal move comes in the killer stage.
        for (const Move killer : frame.killers) {
            if (killer == NoMove || killer == hashMove || !board.isPseudoLegal(killer) || board.isCapture(killer))
                continue;
            const auto it =
                std::find_if(served.begin(), served.end(), [&](const Served& s) { return s.move == killer; });
            ASSERT_NE(it, served.end()) << where;
            EXPECT_EQ(it->stage, stageKillers) << where << " killer " << moveToText(killer);
        }
    });
    EXPECT_GT(checkedPositions, 500);
    EXPECT_GT(hashMovesServed, 100);
    EXPECT_GT(killersServed, 50);
    EXPECT_GT(badCapturesServed, 20);
    EXPECT_GT(othersSorted, 100);
}

TEST_F(MoveSelectorProperty, QuiescenceModeServesTheMovesOfItsDepth) {
    int recapturesServed = 0;
    forRandomPositions([&](std::mt19937_64& random, const std::vector<Move>& earlier, const std::string& where) {
        const bool inCheck = board.inCheck();
        const std::vector<Move> own = generated(board, inCheck ? generateEvasions : generateAllMoves);
        const Move hashMove = randomHashMove(random, own, earlier);
        const bool hashValid = hashMove != NoMove && board.isPseudoLegal(hashMove);

        if (inCheck) {
            for (const int depth : {0, -4, -10}) {
                MoveSelector selector(board, historyScore, hashMove, depth, A1);
                const std::vector<Served> served = serveAll(selector);
                expectServedExactly(movesOf(served), own, where + " evasions");
                if (hashValid) {
                    EXPECT_EQ(served.at(0).move, hashMove) << where;
                }
            }
            return;
        }
        const std::vector<Move> captures = generated(board, generateCaptures);
        const std::vector<Move> checks = generated(board, generateQuietChecks);
        for (const Move check : checks)
            EXPECT_FALSE(contains(captures, check)) << where << " " << moveToText(check);

        {
            MoveSelector selector(board, historyScore, hashMove, 0, A1);
            const std::vector<Served> served = serveAll(selector);
            std::vector<Move> expected = captures;
            expected.insert(expected.end(), checks.begin(), checks.end());
            if (hashValid) {
                expected.push_back(hashMove);
                EXPECT_EQ(served.at(0).move, hashMove) << where;
            }
            expectServedExactly(movesOf(served), expected, where + " depth 0");
        }
        {
            MoveSelector selector(board, historyScore, hashMove, -4, A1);
            const std::vector<Served> served = serveAll(selector);
            std::vector<Move> expected = captures;
            if (hashValid && board.isCaptureOrPromotion(hashMove)) {
                expected.push_back(hashMove);
                EXPECT_EQ(served.at(0).move, hashMove) << where;
            }
            expectServedExactly(movesOf(served), expected, where + " depth -4");
        }
        {
            const Square square = !captures.empty() && random() % 4 != 0 ? moveTo(captures[random() % captures.size()])
                                                                         : static_cast<Square>(random() % 64);
            MoveSelector selector(board, historyScore, hashMove, -10, square);
            std::vector<Move> expected;
            for (const Move capture : captures)
                if (moveTo(capture) == square)
                    expected.push_back(capture);
            const std::vector<Move> served = movesOf(serveAll(selector));
            EXPECT_EQ(served, expected) << where << " recaptures on " << square;
            recapturesServed += static_cast<int>(served.size());
        }
    });
    EXPECT_GT(recapturesServed, 100);
}

TEST_F(MoveSelectorProperty, ProbeCutModeServesOnlyCapturesWinningMoreThanTheThreshold) {
    forRandomPositions([&](std::mt19937_64& random, const std::vector<Move>& earlier, const std::string& where) {
        if (board.inCheck())
            return;
        const std::vector<Move> captures = generated(board, generateCaptures);
        const Move hashMove =
            random() % 2 && !captures.empty() ? captures[random() % captures.size()]
                                              : randomHashMove(random, generated(board, generateAllMoves), earlier);
        const PieceType captured = static_cast<PieceType>(random() % 6);
        const int threshold = midgameValue[captured];

        MoveSelector selector(board, hashMove, captured);
        const std::vector<Move> served = movesOf(serveAll(selector));
        std::vector<Move> expected;
        for (const Move capture : captures)
            if (board.staticExchange(capture) > threshold)
                expected.push_back(capture);
        const bool hashUsed = hashMove != NoMove && board.isPseudoLegal(hashMove) && board.isCapture(hashMove) &&
                              board.staticExchange(hashMove) > threshold;
        if (hashUsed) {
            expected.push_back(hashMove);
            EXPECT_EQ(served.at(0), hashMove) << where;
        }
        expectServedExactly(served, expected, where + " probe cut");
    });
}

TEST_F(MoveSelectorTest, HashMoveThatIsAlsoAKillerIsServedOnceFirst) {
    board.setFromFen(StartFen);
    const Move knight = move("g1f3");
    const std::vector<Served> served = serveMain(StartFen, knight, 8, knight, move("b1c3"));
    ASSERT_EQ(served.size(), 20u);
    EXPECT_EQ(served[0].move, knight);
    EXPECT_EQ(served[0].stage, stageHashMove);
    EXPECT_EQ(served[1].move, move("b1c3"));
    EXPECT_EQ(served[1].stage, stageKillers);
    const std::vector<Move> moves = movesOf(served);
    EXPECT_EQ(std::count(moves.begin(), moves.end(), knight), 1);
}

TEST_F(MoveSelectorTest, KillerThatBecameACaptureComesWithTheCaptures) {
    // Nf3-e5 was quiet where it became a killer; now a pawn stands on e5.
    constexpr std::string_view fen = "4k3/8/8/4p3/8/5N2/8/4K3 w - - 0 1";
    board.setFromFen(fen);
    const Move capture = move("f3e5");
    const std::vector<Served> served = serveMain(fen, NoMove, 8, capture);
    ASSERT_FALSE(served.empty());
    EXPECT_EQ(served[0].move, capture);
    EXPECT_EQ(served[0].stage, stageGoodCaptures);
    for (const Served& s : served)
        EXPECT_NE(s.stage, stageKillers);
    const std::vector<Move> moves = movesOf(served);
    EXPECT_EQ(std::count(moves.begin(), moves.end(), capture), 1);
}

TEST_F(MoveSelectorTest, KillersAreSkippedWhenImpossibleOrEnPassant) {
    // White to move may take en passant on d6; a killer e1e2 is blocked by the own pawn.
    constexpr std::string_view fen = "4k3/8/8/3pP3/8/8/4P3/4K3 w - d6 0 1";
    board.setFromFen(fen);
    const Move enPassant = move("e5d6");
    ASSERT_EQ(moveKind(enPassant), KindEnPassant);
    const std::vector<Served> served = serveMain(fen, NoMove, 8, enPassant, encodeMove(E1, E2));
    for (const Served& s : served)
        EXPECT_NE(s.stage, stageKillers) << moveToText(s.move);
    EXPECT_EQ(served.at(0).move, enPassant);
    EXPECT_EQ(served.at(0).stage, stageGoodCaptures);
}

TEST_F(MoveSelectorTest, SlightlyLosingCaptureIsGoodOnlyWhenFarBelowBetaAndShallow) {
    // Bishop takes a knight defended by a pawn: 817 - 836 = -19. The rook taking the other
    // knight, also defended by a pawn, loses 453 and stays behind in every case.
    constexpr std::string_view fen = "4k3/8/2p3p1/3n3n/8/1B6/8/4K2R w - - 0 1";
    board.setFromFen(fen);
    const Move bishopTakes = move("b3d5");
    const Move rookTakes = move("h1h5");
    ASSERT_EQ(board.staticExchange(bishopTakes), -19);
    ASSERT_EQ(board.staticExchange(rookTakes), -453);

    auto stageOf = [](const std::vector<Served>& served, Move m) {
        for (const Served& s : served)
            if (s.move == m)
                return s.stage;
        return -1;
    };
    const std::vector<Served> shallowBehind = serveMain(fen, NoMove, 4, NoMove, NoMove, 0, 199);
    EXPECT_EQ(stageOf(shallowBehind, bishopTakes), stageGoodCaptures);
    EXPECT_EQ(shallowBehind.at(0).move, bishopTakes);
    EXPECT_EQ(stageOf(shallowBehind, rookTakes), stageBadCaptures);

    // eval = beta - 198 is not below it; depth 6 ends the allowance.
    EXPECT_EQ(stageOf(serveMain(fen, NoMove, 4, NoMove, NoMove, 0, 198), bishopTakes), stageBadCaptures);
    EXPECT_EQ(stageOf(serveMain(fen, NoMove, 6, NoMove, NoMove, 0, 199), bishopTakes), stageBadCaptures);
    // The principal variation passes beta = -30001.
    EXPECT_EQ(stageOf(serveMain(fen, NoMove, 4, NoMove, NoMove, 0, -InfiniteScore), bishopTakes), stageBadCaptures);

    // Losing captures come last, the least losing first.
    const std::vector<Served> deep = serveMain(fen, NoMove, 8);
    ASSERT_GE(deep.size(), 2u);
    EXPECT_EQ(deep[deep.size() - 2].move, bishopTakes);
    EXPECT_EQ(deep[deep.size() - 1].move, rookTakes);
}

TEST_F(MoveSelectorTest, EqualScoresGoToTheFirstEntryInTheArrayAsSwapsLeftIt) {
    // a3xb4 and g3xh4 score alike (knight for pawn) and come out in that order; Rxd8 scores
    // highest and is generated last. Taking it swaps a3xb4 to the back, so g3xh4 comes first.
    constexpr std::string_view fen = "3q3k/8/8/8/1n5n/P5P1/8/3R3K w - - 0 1";
    board.setFromFen(fen);
    const std::vector<Move> captures = generated(board, generateCaptures);
    ASSERT_EQ(captures, (std::vector<Move>{move("a3b4"), move("g3h4"), move("d1d8")}));

    const std::vector<Served> served = serveMain(fen, NoMove, 8);
    ASSERT_GE(served.size(), 3u);
    EXPECT_EQ(served[0].move, move("d1d8"));
    EXPECT_EQ(served[1].move, move("g3h4"));
    EXPECT_EQ(served[2].move, move("a3b4"));

    MoveSelector quiesce(board, historyScore, NoMove, -4, A1);
    EXPECT_EQ(movesOf(serveAll(quiesce)), (std::vector<Move>{move("d1d8"), move("g3h4"), move("a3b4")}));
}

TEST_F(MoveSelectorTest, PromotionScoresTheValueOfTheNewPiece) {
    // b8=Q scores 0 - 1 + 2521, one more than Nxd4 (2521 - 2).
    constexpr std::string_view fen = "7k/1P6/8/8/3q4/5N2/8/7K w - - 0 1";
    board.setFromFen(fen);
    const Move promotion = move("b7b8q");
    const Move takesQueen = move("f3d4");
    ASSERT_EQ(generated(board, generateCaptures), (std::vector<Move>{promotion, takesQueen}));
    MoveSelector selector(board, historyScore, NoMove, -4, A1);
    EXPECT_EQ(movesOf(serveAll(selector)), (std::vector<Move>{promotion, takesQueen}));
}

class QuietOrdering : public MoveSelectorTest {
protected:
    // The start position's 20 quiet moves with scores chosen by list index: positive at 2, 17
    // and 19, zero or negative elsewhere.
    void setUpScores() {
        board.setFromFen(StartFen);
        quiets = generated(board, generateQuiets);
        ASSERT_EQ(quiets.size(), 20u);
        const int scores[20] = {-3, 0, 5, -4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, -1, 5};
        for (int i = 0; i < 20; ++i)
            historyScore[board.pieceOn(moveFrom(quiets[i]))][moveTo(quiets[i])] = scores[i];
    }

    std::vector<Move> byIndex(std::initializer_list<int> indices) const {
        std::vector<Move> moves;
        for (const int i : indices)
            moves.push_back(quiets[i]);
        return moves;
    }

    std::vector<Move> quiets;
};

TEST_F(QuietOrdering, PositiveHistoryFirstStablySortedThenTheRestInPartitionOrder) {
    setUpScores();
    SearchFrame frame{};
    MoveSelector selector(board, historyScore, NoMove, 4, frame, 1);
    const std::vector<Served> served = serveAll(selector);
    ASSERT_EQ(served.size(), 20u);
    // The partition swaps 0 with 19 and 1 with 17; the positive part [19, 17, 2] is sorted
    // stably (17 has 7, then 19 and 2 with 5 each in that order).
    const std::vector<Move> expected =
        byIndex({17, 19, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1, 18, 0});
    EXPECT_EQ(movesOf(served), expected) << texts(movesOf(served));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(served[i].stage, stageGoodQuiets);
    for (int i = 3; i < 20; ++i)
        EXPECT_EQ(served[i].stage, stageOtherQuiets);
    // A history of exactly 0 is not good enough.
    EXPECT_EQ(served[17].move, quiets[1]);
}

TEST_F(QuietOrdering, FromDepthSixTheOtherQuietsAreSortedStably) {
    setUpScores();
    SearchFrame frame{};
    MoveSelector selector(board, historyScore, NoMove, 6, frame, 1);
    const std::vector<Move> expected =
        byIndex({17, 19, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1, 18, 0, 3});
    EXPECT_EQ(movesOf(serveAll(selector)), expected);
}

TEST_F(QuietOrdering, QuietsSkipTheHashMoveAndBothKillers) {
    setUpScores();
    SearchFrame frame{};
    frame.killers[0] = quiets[3];
    frame.killers[1] = quiets[19];
    MoveSelector selector(board, historyScore, quiets[17], 4, frame, 1);
    const std::vector<Move> expected =
        byIndex({17, 3, 19, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1, 18, 0});
    EXPECT_EQ(movesOf(serveAll(selector)), expected);
}

TEST_F(MoveSelectorTest, EvasionsOrderedByCaptureHistoryAndLosingExchange) {
    // The rook on e5 checks. Nxe5 wins the checker and scores 1270 - 2 + 2000; Be3 blocks but
    // loses the bishop and scores -836 - 2000; the king steps score their history, which here
    // lies between the unbiased values of the other two.
    constexpr std::string_view fen = "7k/8/8/4r3/8/5N2/3B4/4K3 w - - 0 1";
    board.setFromFen(fen);
    const Piece whiteKing = makePiece(White, King);
    historyScore[whiteKing][F2] = 1500;
    historyScore[whiteKing][D1] = -1500;
    const Move killer = move("e1f1");
    for (const bool quiescence : {false, true}) {
        std::vector<Served> served;
        if (quiescence) {
            MoveSelector selector(board, historyScore, NoMove, -6, E5);
            served = serveAll(selector);
        } else {
            served = serveMain(fen, NoMove, 8, killer);
        }
        EXPECT_EQ(movesOf(served),
                  (std::vector<Move>{move("f3e5"), move("e1f2"), move("e1f1"), move("e1d1"), move("d2e3")}))
            << texts(movesOf(served));
        for (const Served& s : served)
            EXPECT_EQ(s.stage, stageEvasions);
    }
}

TEST_F(MoveSelectorTest, SingleEvasionIsServedAlone) {
    // Back-rank check: only Bd1 interposes.
    constexpr std::string_view fen = "7k/8/8/8/8/5B2/6PP/r6K w - - 0 1";
    const std::vector<Served> served = serveMain(fen, NoMove, 8);
    ASSERT_EQ(served.size(), 1u);
    EXPECT_EQ(served[0].move, move("f3d1"));
    EXPECT_EQ(served[0].stage, stageEvasions);
    // The same move as hash move comes in the hash stage and nothing follows.
    const std::vector<Served> hashed = serveMain(fen, move("f3d1"), 8);
    ASSERT_EQ(hashed.size(), 1u);
    EXPECT_EQ(hashed[0].stage, stageHashMove);
}

TEST_F(MoveSelectorTest, QuiescenceHashMoveRulesByDepth) {
    constexpr std::string_view fen = "4k3/8/8/n7/8/8/8/R3K2R w KQ - 0 1";
    board.setFromFen(fen);
    const Move quiet = move("a1a4");
    const Move castling = move("e1g1");
    const Move capture = move("a1a5");
    const Move rookCheck = move("h1h8");
    ASSERT_EQ(moveKind(castling), KindCastling);

    auto serve = [&](Move hash, int depth) {
        MoveSelector selector(board, historyScore, hash, depth, D5);
        return serveAll(selector);
    };
    auto first = [&](Move hash, int depth) {
        const std::vector<Served> served = serve(hash, depth);
        return served.empty() ? std::pair<Move, int>{NoMove, stageEnd} : std::pair{served[0].move, served[0].stage};
    };
    EXPECT_EQ(first(quiet, 0), std::pair(quiet, int{stageHashMove}));
    EXPECT_EQ(first(quiet, -2), std::pair(quiet, int{stageHashMove}));
    EXPECT_EQ(first(castling, 0), std::pair(castling, int{stageHashMove}));
    // Below depth -2 only captures and promotions qualify; castling onto its own rook does not.
    EXPECT_EQ(first(quiet, -4), std::pair(capture, int{stageQuiesceCaptures}));
    EXPECT_EQ(first(castling, -8), std::pair(capture, int{stageQuiesceCaptures}));
    EXPECT_EQ(first(capture, -8), std::pair(capture, int{stageHashMove}));
    // Quiet checks follow the captures at depth 0 and -2 only.
    const std::vector<Served> shallow = serve(NoMove, -2);
    ASSERT_EQ(shallow.size(), 2u);
    EXPECT_EQ(shallow[0].move, capture);
    EXPECT_EQ(shallow[1].move, rookCheck);
    EXPECT_EQ(shallow[1].stage, stageQuietChecks);
    EXPECT_EQ(movesOf(serve(NoMove, -4)), std::vector<Move>{capture});
    // Below -8 the hash move is ignored even when it is the recapture.
    board.setFromFen("4k3/8/8/3p4/8/8/8/3RK3 w - - 0 1");
    const Move recapture = move("d1d5");
    EXPECT_EQ(first(recapture, -10), std::pair(recapture, int{stageRecaptures}));
    EXPECT_EQ(first(recapture, -8), std::pair(recapture, int{stageHashMove}));
    MoveSelector elsewhere(board, historyScore, recapture, -10, D4);
    EXPECT_EQ(elsewhere.nextMove(), NoMove);
}

TEST_F(MoveSelectorTest, ProbeCutHashMoveMustBeACaptureWinningMoreThanTheThreshold) {
    // Rxd5 wins a pawn (198) outright; Rxa7 wins a pawn but loses the rook to the knight.
    constexpr std::string_view fen = "4k3/p7/2n5/3p4/8/8/8/R2RK3 w - - 0 1";
    board.setFromFen(fen);
    const Move winsPawn = move("d1d5");
    const Move losesRook = move("a1a7");
    {
        MoveSelector selector(board, winsPawn, NoPieceType);
        EXPECT_EQ(selector.nextMove(), winsPawn);
        EXPECT_EQ(selector.currentStage(), stageHashMove);
        EXPECT_EQ(selector.nextMove(), NoMove);
    }
    {
        // The last move took a pawn: winning one is not more than that.
        MoveSelector selector(board, winsPawn, Pawn);
        EXPECT_EQ(selector.nextMove(), NoMove);
    }
    {
        MoveSelector selector(board, losesRook, NoPieceType);
        EXPECT_EQ(movesOf(serveAll(selector)), std::vector<Move>{winsPawn});
    }
    {
        MoveSelector selector(board, move("d1d4"), NoPieceType);
        EXPECT_EQ(selector.nextMove(), winsPawn);
        EXPECT_EQ(selector.currentStage(), stageProbeCaptures);
    }
}

class HistoryUpdate : public MoveSelectorTest {
protected:
    static int nonZeroEntries() {
        int count = 0;
        for (const auto& row : historyScore)
            for (const int32_t entry : row)
                count += entry != 0;
        return count;
    }
};

TEST_F(HistoryUpdate, SingleQuietChangesOnlyTheCutOffEntry) {
    board.setFromFen(StartFen);
    const Move cutOff = move("g1f3");
    updateHistory(historyScore, board, cutOff, 5, &cutOff, 1);
    EXPECT_EQ(historyScore[makePiece(White, Knight)][F3], 25);
    EXPECT_EQ(nonZeroEntries(), 1);
}

TEST_F(HistoryUpdate, EarlierQuietsLoseTheBonus) {
    board.setFromFen(StartFen);
    const Move quiets[] = {move("e2e4"), move("d2d3"), move("g1f3")};
    updateHistory(historyScore, board, quiets[2], 4, quiets, 3);
    EXPECT_EQ(historyScore[makePiece(White, Knight)][F3], 16);
    EXPECT_EQ(historyScore[makePiece(White, Pawn)][E4], -16);
    EXPECT_EQ(historyScore[makePiece(White, Pawn)][D3], -16);
    EXPECT_EQ(nonZeroEntries(), 3);
}

TEST_F(HistoryUpdate, EntriesNeverReachTwoThousand) {
    board.setFromFen(StartFen);
    const Move quiets[] = {move("e2e4"), move("g1f3")};
    int32_t& reward = historyScore[makePiece(White, Knight)][F3];
    int32_t& penalty = historyScore[makePiece(White, Pawn)][E4];

    reward = 1984;
    penalty = -1984;
    updateHistory(historyScore, board, quiets[1], 4, quiets, 2);  // would reach exactly +-2000
    EXPECT_EQ(reward, 1984);
    EXPECT_EQ(penalty, -1984);

    reward = 1983;
    penalty = -1983;
    updateHistory(historyScore, board, quiets[1], 4, quiets, 2);
    EXPECT_EQ(reward, 1999);
    EXPECT_EQ(penalty, -1999);

    // A bonus larger than the whole range is never applied.
    reward = 0;
    penalty = 0;
    updateHistory(historyScore, board, quiets[1], 46, quiets, 2);
    EXPECT_EQ(reward, 0);
    EXPECT_EQ(penalty, 0);

    // Moving back towards zero from the far end is fine.
    reward = -1999;
    penalty = 1999;
    updateHistory(historyScore, board, quiets[1], 4, quiets, 2);
    EXPECT_EQ(reward, -1983);
    EXPECT_EQ(penalty, 1983);
}

}  // namespace
}  // namespace orvath
