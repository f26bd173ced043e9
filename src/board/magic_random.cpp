#include "board/magic_random.h"

#include <bit>

namespace orvath {

namespace {
constexpr int DroppedOutputs = 73;
}

MagicRandom::MagicRandom() : w0(0xF1115EEDull), w1(0xD4122C77ull), w2(0xD4122C77ull), w3(0xD4122C77ull) {
    for (int i = 0; i < DroppedOutputs; ++i)
        next();
}

uint64_t MagicRandom::next() {
    const uint64_t e = w0 - std::rotl(w1, 7);
    w0 = w1 ^ std::rotl(w2, 13);
    w1 = w2 + std::rotl(w3, 37);
    w2 = w3 + e;
    w3 = e + w0;
    return w3;
}

uint64_t MagicRandom::magicCandidate(int booster) {
    const uint64_t r1 = next();
    const uint64_t r2 = next();
    const uint64_t r3 = next();
    const int k1 = booster & 63;
    const int k2 = (booster >> 6) & 63;
    return std::rotr(std::rotr(r1, k1) & r2, k2) & r3;
}

}  // namespace orvath
