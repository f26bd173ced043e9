// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "board/magic_random.h"
#include "board/types.h"

namespace orvath {
namespace {

TEST(PackedScore, HalvesKeepTheirSigns) {
    const PackedScore s = makeScore(-24, 11);
    EXPECT_EQ(midgamePart(s), -24);
    EXPECT_EQ(endgamePart(s), 11);
    EXPECT_EQ(halveScore(makeScore(48, 22)), makeScore(24, 11));
    EXPECT_EQ(midgamePart(makeScore(1, -1)), 1);
    EXPECT_EQ(endgamePart(makeScore(1, -1)), -1);
}

TEST(MagicRandom, FirstOutputAfterSeeding) {
    MagicRandom random;
    EXPECT_EQ(random.next(), 0x2C154F8E47579A65ull);
}

}  // namespace
}  // namespace orvath
