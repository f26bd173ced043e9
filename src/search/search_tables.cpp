// SPDX-License-Identifier: GPL-3.0-or-later
// The logarithmic start-up tables of the search.
#include "search/search_tables.h"

#include <cmath>

#include "search/search_constants.h"

namespace orvath {

constexpr double PvReductionDivisor = 3.0;
constexpr double NonPvReductionDivisor = 2.25;
constexpr double NonPvReductionOffset = 0.33;
constexpr int FutilityStep = 112;  // per doubling of the squared depth
constexpr int FutilityBase = 45;
constexpr int FutilityPerMove = 8;
constexpr double LateMoveLimitScale = 0.25;
constexpr double LateMoveLimitBase = 3.001;

int8_t reductionTable[2][64][64];
int32_t pruneMarginTable[16][64];
int32_t lateMoveLimitTable[32];

// Reductions in half-plies: the product of the logarithms of depth and move number, scaled,
// and nothing below one half-ply.
static int8_t reductionFor(double scaled) {
    return scaled >= 1.0 ? static_cast<int8_t>(std::floor(scaled * 2.0)) : 0;
}

void initSearchTables() {
    for (int hd = 1; hd < 64; ++hd) {
        for (int mc = 1; mc < 64; ++mc) {
            const double x = std::log(static_cast<double>(hd)) * std::log(static_cast<double>(mc));
            reductionTable[ReductionPv][hd][mc] = reductionFor(x / PvReductionDivisor);
            reductionTable[ReductionNonPv][hd][mc] = reductionFor(x / NonPvReductionDivisor + NonPvReductionOffset);
        }
    }
    for (int d = 1; d < 16; ++d) {
        const int steps = static_cast<int>(std::log(d * d * 0.5) / std::log(2.0) + 1.001);
        for (int mc = 0; mc < 64; ++mc)
            pruneMarginTable[d][mc] = FutilityStep * steps + FutilityBase - FutilityPerMove * mc;
    }
    for (int d = 0; d < 32; ++d)
        lateMoveLimitTable[d] = static_cast<int32_t>(d * d * LateMoveLimitScale + LateMoveLimitBase);
}

}  // namespace orvath
