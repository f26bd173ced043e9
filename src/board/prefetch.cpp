// SPDX-License-Identifier: GPL-3.0-or-later
// The hash table's block as the board layer sees it; empty until the first resize.
#include "board/prefetch.h"

namespace orvath {

PrefetchTarget prefetchTarget;

}  // namespace orvath
