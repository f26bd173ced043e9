// SPDX-License-Identifier: GPL-3.0-or-later
// The fixed pseudo-random generator behind the magic multipliers and the hash keys.
#pragma once

#include <bit>
#include <cstdint>

namespace orvath {

class MagicRandom {
public:
    MagicRandom();  // seeded, with the first 73 outputs dropped

    // Inline: the magic search draws some 42 million outputs.
    uint64_t next() {
        const uint64_t e = w0 - std::rotl(w1, 7);
        w0 = w1 ^ std::rotl(w2, 13);
        w1 = w2 + std::rotl(w3, 37);
        w2 = w3 + e;
        w3 = e + w0;
        return w3;
    }

    // Sparse: three outputs rotated and combined.
    uint64_t magicCandidate(int booster) {
        const uint64_t r1 = next();
        const uint64_t r2 = next();
        const uint64_t r3 = next();
        return std::rotr(std::rotr(r1, booster & 63) & r2, (booster >> 6) & 63) & r3;
    }

private:
    uint64_t w0, w1, w2, w3;
};

}  // namespace orvath
