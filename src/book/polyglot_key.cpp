// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/polyglot_key.h"

#include <array>

#include "board/bitboard.h"

namespace orvath {

namespace {

constexpr int CastlingRandomsStart = 768;
constexpr int EnPassantRandomsStart = 772;
constexpr int WhiteToMoveRandom = 780;

constexpr int IsaacWords = 256;
constexpr uint64_t GoldenRatio = 0x9e3779b97f4a7c13ull;

// Bob Jenkins' ISAAC-64, as the book format's numbers were drawn from it: a seed of zeros, and
// each round's results handed out from the last word down to the first.
class Isaac64 {
public:
    constexpr Isaac64() {
        uint64_t s[8];
        for (uint64_t& word : s)
            word = GoldenRatio;
        for (int i = 0; i < 4; ++i)
            scramble(s);
        // Two passes over the memory: the first takes in the seed (all zeros), the second
        // spreads the first pass's words through all of it.
        for (int pass = 0; pass < 2; ++pass) {
            for (int i = 0; i < IsaacWords; i += 8) {
                for (int j = 0; j < 8; ++j)
                    s[j] += pass == 0 ? results[i + j] : memory[i + j];
                scramble(s);
                for (int j = 0; j < 8; ++j)
                    memory[i + j] = s[j];
            }
        }
        nextRound();
    }

    constexpr uint64_t next() {
        if (unread == 0)
            nextRound();
        return results[--unread];
    }

private:
    // Mixes the eight words of the initial state.
    static constexpr void scramble(uint64_t (&s)[8]) {
        // clang-format off: one row per word, as the mix is usually written
        s[0] -= s[4]; s[5] ^= s[7] >> 9;  s[7] += s[0];
        s[1] -= s[5]; s[6] ^= s[0] << 9;  s[0] += s[1];
        s[2] -= s[6]; s[7] ^= s[1] >> 23; s[1] += s[2];
        s[3] -= s[7]; s[0] ^= s[2] << 15; s[2] += s[3];
        s[4] -= s[0]; s[1] ^= s[3] >> 14; s[3] += s[4];
        s[5] -= s[1]; s[2] ^= s[4] << 20; s[4] += s[5];
        s[6] -= s[2]; s[3] ^= s[5] >> 17; s[5] += s[6];
        s[7] -= s[3]; s[4] ^= s[6] << 14; s[6] += s[7];
        // clang-format on
    }

    // One round: 256 fresh results from the memory, which changes in place as it goes.
    constexpr void nextRound() {
        ++c;
        b += c;
        for (int i = 0; i < IsaacWords; ++i) {
            const uint64_t x = memory[i];
            switch (i % 4) {
                case 0: a = ~(a ^ (a << 21)); break;
                case 1: a ^= a >> 5; break;
                case 2: a ^= a << 12; break;
                default: a ^= a >> 33; break;
            }
            a += memory[(i + IsaacWords / 2) % IsaacWords];
            const uint64_t y = memory[(x >> 3) % IsaacWords] + a + b;
            memory[i] = y;
            b = memory[(y >> 11) % IsaacWords] + x;
            results[i] = b;
        }
        unread = IsaacWords;
    }

    uint64_t memory[IsaacWords] = {};
    uint64_t results[IsaacWords] = {};
    uint64_t a = 0, b = 0, c = 0;
    int unread = 0;
};

constexpr std::array<uint64_t, PolyglotRandomCount> makeRandoms() {
    Isaac64 generator;
    std::array<uint64_t, PolyglotRandomCount> randoms{};
    for (uint64_t& random : randoms)
        random = generator.next();
    return randoms;
}

// Computed by the compiler: nothing to build at start-up, and nothing to forget to build.
constexpr std::array<uint64_t, PolyglotRandomCount> randoms = makeRandoms();

// The format's piece kinds: black pawn 0, white pawn 1, black knight 2, ... white king 11.
int pieceKind(Piece piece) { return 2 * (typeOf(piece) - Pawn) + (colourOf(piece) == White ? 1 : 0); }

// The format counts an en-passant file whenever a pawn of the side to move stands beside the
// pawn that has just made a double step, legal capture or not. The board keeps the skipped
// square only in that case already, but the rule is the format's, so it is checked here too.
bool enPassantCounts(const Board& board, Square skipped) {
    if (skipped == NoSquare)
        return false;
    const Colour us = board.sideToMove;
    const Square doubleStepper = enPassantVictimSquare(us, skipped);
    const Bitboard beside = (fileOf(doubleStepper) > 0 ? squareMask[doubleStepper - 1] : 0) |
                            (fileOf(doubleStepper) < 7 ? squareMask[doubleStepper + 1] : 0);
    return (beside & board.piecesOf(us, Pawn)) != 0;
}

}  // namespace

uint64_t polyglotRandom(int index) { return randoms[index]; }

uint64_t polyglotKey(const Board& board) {
    uint64_t key = 0;
    for (Bitboard pieces = board.occupancy(); pieces != 0;) {
        const Square square = popLowestSquare(pieces);
        key ^= randoms[64 * pieceKind(board.pieceOn(square)) + square];
    }
    // The board's rights already tell the rook on the king's h-side from the one on its a-side,
    // which is how the format names them in Chess960 too.
    const int rights = board.state().castlingRights;
    constexpr int rightsInBookOrder[4] = {WhiteKingSide, WhiteQueenSide, BlackKingSide, BlackQueenSide};
    for (int i = 0; i < 4; ++i)
        if (rights & rightsInBookOrder[i])
            key ^= randoms[CastlingRandomsStart + i];
    const Square skipped = board.state().enPassantSquare;
    if (enPassantCounts(board, skipped))
        key ^= randoms[EnPassantRandomsStart + fileOf(skipped)];
    if (board.sideToMove == White)
        key ^= randoms[WhiteToMoveRandom];
    return key;
}

}  // namespace orvath
