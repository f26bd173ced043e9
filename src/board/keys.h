// SPDX-License-Identifier: GPL-3.0-or-later
// Hash keys and the material and placement score tables, built once at start-up.
#pragma once

#include "board/types.h"

namespace orvath {

extern uint64_t pieceSquareHash[16][64];
extern uint64_t enPassantHash[64];
extern uint64_t castlingHash[16];
extern uint64_t blackToMoveHash;
extern uint64_t excludedMoveHash;

// By piece code (black codes repeat the white values, code 16 is 0). Piece types 1..6 index
// the same values, since white codes equal types.
extern const int32_t midgameValue[17];
extern const int32_t endgameValue[17];

extern const PackedScore placementTable[7][64];  // [type][square], from white's point of view
extern PackedScore placementScoreTable[16][64];
constexpr PackedScore tempoScore = makeScore(48, 22);

constexpr int32_t KnightMaterial = 817;
constexpr int32_t BishopMaterial = 836;
constexpr int32_t RookMaterial = 1270;
constexpr int32_t QueenMaterial = 2521;

// Piece letters by piece code: ".PNBRQK  pnbrqk  ".
extern const char pieceLetters[18];

void initHashesAndScores();

}  // namespace orvath
