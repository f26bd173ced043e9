// SPDX-License-Identifier: GPL-3.0-or-later
// Bringing the hash table to what the "Hash" and "Clear Hash" options ask for.
#pragma once

namespace orvath {

// Sizes the table from the "Hash" option and, when "Clear Hash" has been pressed, empties it
// and releases the button. The search start runs it, as it must pick up any change; the
// command loop runs it after the "uci" reply and at every "isready" (which interfaces send
// after their options and before they start a clock), so that allocating, zeroing and first
// touching the table's memory happen there, outside any search's clock, and the search start
// then finds nothing left to do. Options set and set back between two of these leave the table
// as it was. A size that cannot be had is reported once on standard error.
void prepareHashTable();

}  // namespace orvath
