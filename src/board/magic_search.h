// SPDX-License-Identifier: GPL-3.0-or-later
// The search that finds the slider multipliers from the fixed generator. Start-up does not run
// it: its results for both booster rows are kept in magic_numbers.cpp, which
// tools/generate_magics.cpp writes and a test checks against a fresh search.
#pragma once

#include "board/bitboard.h"
#include "board/magic_numbers.h"

namespace orvath {

// The boosters that shape the candidates, per row and by the square's rank; row 0 belongs to
// the w32 flavour, row 1 to the x64 one.
extern const int32_t magicBooster[MagicBoosterRows][8];

// What the search did for one square: the multiplier kept, the candidates drawn and how many
// of them passed the quick test and were verified against the reference attacks.
struct MagicSearchReport {
    Bitboard multiplier;
    int64_t candidatesDrawn;
    int64_t candidatesVerified;
};

// Searches one slider kind's (Bishop or Rook) multipliers for squares 0 to lastSquare in order,
// with a freshly seeded generator and the booster row given, into multipliers; reports the last
// square. Reads the tables of initAttackTables that do not depend on the multipliers.
MagicSearchReport findMagicMultipliers(PieceType slider, int boosterRow, Bitboard multipliers[64],
                                       Square lastSquare = 63);

}  // namespace orvath
