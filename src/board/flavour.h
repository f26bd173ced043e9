// SPDX-License-Identifier: GPL-3.0-or-later
// The two deliverables differ only here: identification, the magic search's booster row
// and how the lowest set bit of a bitboard is found. The choice is made at compile time
// (ORVATH_FLAVOUR_W32 defined for the 32-bit flavour).
#pragma once

namespace orvath {

#ifdef ORVATH_FLAVOUR_W32
constexpr bool isW32Flavour = true;
constexpr const char* engineName = "Orvath 0.3b w32";
#else
constexpr bool isW32Flavour = false;
constexpr const char* engineName = "Orvath 0.3b x64";
#endif

constexpr const char* engineAuthor = "Kelvane";

// The row of the magic boosters whose multipliers this flavour uses.
constexpr int magicBoosterRow = isW32Flavour ? 0 : 1;

}  // namespace orvath
