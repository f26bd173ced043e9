// The fixed pseudo-random generator behind the magic multipliers and the hash keys.
#pragma once

#include <cstdint>

namespace orvath {

class MagicRandom {
public:
    MagicRandom();  // seeded, with the first 73 outputs dropped

    uint64_t next();
    uint64_t magicCandidate(int booster);  // sparse: three outputs rotated and combined

private:
    uint64_t w0, w1, w2, w3;
};

}  // namespace orvath
