// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/magic_random.h"

namespace orvath {

namespace {
constexpr int DroppedOutputs = 73;
}

MagicRandom::MagicRandom() : w0(0xF1115EEDull), w1(0xD4122C77ull), w2(0xD4122C77ull), w3(0xD4122C77ull) {
    for (int i = 0; i < DroppedOutputs; ++i)
        next();
}

}  // namespace orvath
