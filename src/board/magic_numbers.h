// SPDX-License-Identifier: GPL-3.0-or-later
// The slider multipliers that the magic search finds, for both booster rows, so that start-up
// only fills the attack tables. magic_numbers.cpp is written by tools/generate_magics.cpp.
#pragma once

#include "board/types.h"

namespace orvath {

constexpr int MagicBoosterRows = 2;

// By booster row (0 for the w32 flavour, 1 for the x64 one) and square.
extern const Bitboard bishopMultipliers[MagicBoosterRows][64];
extern const Bitboard rookMultipliers[MagicBoosterRows][64];

}  // namespace orvath
