// SPDX-License-Identifier: GPL-3.0-or-later
// The position key of Polyglot opening books: the XOR of fixed 64-bit numbers for the pieces,
// the castling rights, the en-passant file and the side to move. The numbers are the first
// outputs of ISAAC-64 from an all-zero seed, so any book made for that key can be read.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace orvath {

// 768 for pieces (64 x kind + square), 4 castling rights, 8 en-passant files, the side to move.
constexpr int PolyglotRandomCount = 781;

// The book key's number of that index, 0 .. PolyglotRandomCount - 1.
uint64_t polyglotRandom(int index);

// The key under which a Polyglot book files the position.
uint64_t polyglotKey(const Board& board);

}  // namespace orvath
