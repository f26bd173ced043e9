// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search_signals.h"

namespace orvath {

namespace {
constexpr int32_t InitialPollInterval = 30000;
}

SearchLimits searchLimits;
SearchSignals searchSignals;
int32_t pollInterval = InitialPollInterval;
PollFunction pollFunction = nullptr;
PollFunction helperPollFunction = nullptr;
PollFunction quickPollFunction = nullptr;

}  // namespace orvath
