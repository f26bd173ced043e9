// SPDX-License-Identifier: GPL-3.0-or-later
// Bringing the hash table to what the "Hash" and "Clear Hash" options ask for.
#pragma once

namespace orvath {

// Sizes the table from the "Hash" option and, when "Clear Hash" has been pressed, empties it
// and releases the button. The search start runs it, as it must pick up any change; the
// command loop runs it as soon as a "setoption" line or the "uci" reply is done, so that
// allocating, zeroing and first touching the table's memory happen there, outside any
// search's clock, and the search start then finds nothing left to do. A size that cannot be
// had is reported once on standard error; the table in use stays.
void prepareHashTable();

}  // namespace orvath
