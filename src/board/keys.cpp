// SPDX-License-Identifier: GPL-3.0-or-later
// Hash keys and the material and placement score tables, built once at start-up.
#include "board/keys.h"

#include "board/magic_random.h"

namespace orvath {

uint64_t pieceSquareHash[16][64];
uint64_t enPassantHash[64];
uint64_t castlingHash[16];
uint64_t blackToMoveHash;
uint64_t excludedMoveHash;

const int32_t midgameValue[17] = {0, 198, 817, 836, 1270, 2521, 0, 0, 0, 198, 817, 836, 1270, 2521, 0, 0, 0};
const int32_t endgameValue[17] = {0, 258, 846, 857, 1278, 2558, 0, 0, 0, 258, 846, 857, 1278, 2558, 0, 0, 0};

const char pieceLetters[18] = ".PNBRQK  pnbrqk  ";

namespace {
constexpr PackedScore S(int midgame, int endgame) { return makeScore(midgame, endgame); }
}  // namespace

// Midgame/endgame placement bonus from white's point of view, by type and square. Each block
// lists rank 1 first, files a to h, so that the entry's position is its square number.
const PackedScore placementTable[7][64] = {
    {},
    // pawn
    {
        S(0, 0), S(0, 0), S(0, 0), S(0, 0), S(0, 0), S(0, 0), S(0, 0), S(0, 0),
        S(-30, -10), S(-8, -8), S(8, -8), S(14, -8), S(14, -8), S(8, -8), S(-8, -8), S(-30, -10),
        S(-30, -10), S(-8, -8), S(10, -8), S(36, -8), S(36, -8), S(9, -8), S(-8, -8), S(-30, -10),
        S(-30, -10), S(-8, -8), S(30, -8), S(80, -8), S(80, -8), S(30, -8), S(-8, -8), S(-30, -10),
        S(-30, -10), S(-8, -8), S(30, -8), S(80, -8), S(80, -8), S(30, -8), S(-8, -8), S(-30, -10),
        S(-30, -10), S(-8, -8), S(50, 50), S(50, 50), S(50, 50), S(50, 50), S(-8, -8), S(-30, -10),
        S(100, 100), S(100, 100), S(100, 100), S(100, 100), S(100, 100), S(100, 100), S(100, 100), S(100, 100),
        S(0, 0), S(0, 0), S(0, 0), S(0, 0), S(0, 0), S(0, 0), S(0, 0), S(0, 0),
    },
    // knight
    {
        S(-135, -104), S(-107, -79), S(-80, -55), S(-67, -42), S(-67, -42), S(-80, -55), S(-107, -79), S(-135, -104),
        S(-93, -79), S(-67, -55), S(-39, -30), S(-25, -17), S(-25, -17), S(-39, -30), S(-67, -55), S(-93, -79),
        S(-53, -55), S(-25, -30), S(1, -6), S(13, 5), S(13, 5), S(1, -6), S(-25, -30), S(-53, -55),
        S(-25, -42), S(1, -17), S(27, 5), S(60, 18), S(60, 18), S(27, 5), S(1, -17), S(-25, -42),
        S(-11, -42), S(13, -17), S(41, 5), S(60, 18), S(60, 18), S(41, 5), S(13, -17), S(-11, -42),
        S(-11, -55), S(13, -30), S(41, -6), S(55, 5), S(55, 5), S(41, -6), S(13, -30), S(-11, -55),
        S(-53, -79), S(-25, -55), S(1, -30), S(13, -17), S(13, -17), S(1, -30), S(-25, -55), S(-53, -79),
        S(-193, -104), S(-67, -79), S(-39, -55), S(-25, -42), S(-25, -42), S(-39, -55), S(-67, -79), S(-193, -104),
    },
    // bishop
    {
        S(-40, -59), S(-40, -42), S(-35, -35), S(-30, -26), S(-30, -26), S(-35, -35), S(-40, -42), S(-40, -59),
        S(-17, -42), S(0, -26), S(-4, -18), S(0, -11), S(0, -11), S(-4, -18), S(0, -26), S(-17, -42),
        S(-13, -35), S(-4, -18), S(8, -11), S(4, -4), S(4, -4), S(8, -11), S(-4, -18), S(-13, -35),
        S(-8, -26), S(0, -11), S(4, -4), S(20, 4), S(20, 4), S(4, -4), S(0, -11), S(-8, -26),
        S(-8, -26), S(0, -11), S(4, -4), S(20, 4), S(20, 4), S(4, -4), S(0, -11), S(-8, -26),
        S(-13, -35), S(-4, -18), S(8, -11), S(4, -4), S(4, -4), S(8, -11), S(-4, -18), S(-13, -35),
        S(-17, -42), S(0, -26), S(-4, -18), S(0, -11), S(0, -11), S(-4, -18), S(0, -26), S(-17, -42),
        S(-17, -59), S(-17, -42), S(-13, -35), S(-8, -26), S(-8, -26), S(-13, -35), S(-17, -42), S(-17, -59),
    },
    // rook
    {
        S(-12, 3), S(-7, 3), S(-2, 3), S(2, 3), S(2, 3), S(-2, 3), S(-7, 3), S(-12, 3),
        S(-12, 3), S(-7, 3), S(-2, 3), S(2, 3), S(2, 3), S(-2, 3), S(-7, 3), S(-12, 3),
        S(-12, 3), S(-7, 3), S(-2, 3), S(2, 3), S(2, 3), S(-2, 3), S(-7, 3), S(-12, 3),
        S(-12, 3), S(-7, 3), S(-2, 3), S(4, 6), S(4, 6), S(-2, 3), S(-7, 3), S(-12, 3),
        S(-12, 3), S(-7, 3), S(-2, 3), S(4, 6), S(4, 6), S(-2, 3), S(-7, 3), S(-12, 3),
        S(-12, 3), S(-7, 3), S(-2, 3), S(2, 3), S(2, 3), S(-2, 3), S(-7, 3), S(-12, 3),
        S(-12, 3), S(-7, 3), S(-2, 3), S(2, 3), S(2, 3), S(-2, 3), S(-7, 3), S(-12, 3),
        S(-12, 3), S(-7, 3), S(-2, 3), S(2, 3), S(2, 3), S(-2, 3), S(-7, 3), S(-12, 3),
    },
    // queen
    {
        S(8, -80), S(8, -54), S(8, -42), S(8, -30), S(8, -30), S(8, -42), S(8, -54), S(8, -80),
        S(8, -54), S(8, -30), S(8, -18), S(8, -6), S(8, -6), S(8, -18), S(8, -30), S(8, -54),
        S(8, -42), S(8, -18), S(8, -6), S(8, 6), S(8, 6), S(8, -6), S(8, -18), S(8, -42),
        S(8, -30), S(8, -6), S(8, 6), S(10, 18), S(10, 18), S(8, 6), S(8, -6), S(8, -30),
        S(8, -30), S(8, -6), S(8, 6), S(10, 18), S(10, 18), S(8, 6), S(8, -6), S(8, -30),
        S(8, -42), S(8, -18), S(8, -6), S(8, 6), S(8, 6), S(8, -6), S(8, -18), S(8, -42),
        S(8, -54), S(8, -30), S(8, -18), S(8, -6), S(8, -6), S(8, -18), S(8, -30), S(8, -54),
        S(8, -80), S(8, -54), S(8, -42), S(8, -30), S(8, -30), S(8, -42), S(8, -54), S(8, -80),
    },
    // king
    {
        S(287, 18), S(311, 77), S(262, 105), S(214, 135), S(214, 135), S(262, 105), S(311, 77), S(287, 18),
        S(262, 77), S(287, 135), S(238, 165), S(190, 193), S(190, 193), S(238, 165), S(287, 135), S(262, 77),
        S(214, 105), S(238, 165), S(190, 193), S(150, 222), S(150, 222), S(190, 193), S(238, 165), S(214, 105),
        S(190, 135), S(214, 193), S(167, 222), S(120, 251), S(120, 251), S(167, 222), S(214, 193), S(190, 135),
        S(167, 135), S(190, 193), S(142, 222), S(100, 251), S(100, 251), S(142, 222), S(190, 193), S(167, 135),
        S(142, 105), S(167, 165), S(119, 193), S(69, 222), S(69, 222), S(119, 193), S(167, 165), S(142, 105),
        S(119, 77), S(142, 135), S(94, 165), S(46, 193), S(46, 193), S(94, 165), S(142, 135), S(119, 77),
        S(94, 18), S(119, 77), S(69, 105), S(21, 135), S(21, 135), S(69, 105), S(119, 77), S(94, 18),
    },
};

PackedScore placementScoreTable[16][64];

// The keys come from the same generator and seed as the magic search, drawn in a fixed
// order, so that every start gives the same keys and hash values can be compared across runs.
void initHashesAndScores() {
    MagicRandom random;
    for (Colour colour = White; colour <= Black; ++colour)
        for (PieceType type = Pawn; type <= King; ++type)
            for (Square square = 0; square < SquareCount; ++square)
                pieceSquareHash[makePiece(colour, type)][square] = random.next();
    for (Square square = 0; square < SquareCount; ++square)
        enPassantHash[square] = random.next();
    for (int rights = 0; rights < 16; ++rights)
        castlingHash[rights] = random.next();
    blackToMoveHash = random.next();
    excludedMoveHash = random.next();

    // A black piece scores the negation of the white piece on the square mirrored across the
    // board's middle, so that the score is always from white's point of view.
    for (PieceType type = Pawn; type <= King; ++type) {
        const PackedScore material = makeScore(midgameValue[type], endgameValue[type]);
        for (Square square = 0; square < SquareCount; ++square) {
            const PackedScore white = material + placementTable[type][square];
            placementScoreTable[makePiece(White, type)][square] = white;
            placementScoreTable[makePiece(Black, type)][square ^ 56] = -white;
        }
    }
}

}  // namespace orvath
