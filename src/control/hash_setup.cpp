// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/hash_setup.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "search/hash_table.h"
#include "uci/options.h"

namespace orvath {

namespace {

// The size of the table in use, for a person reading the engine's error output.
std::string sizeText(uint64_t bytes) {
    if (bytes >= (uint64_t{1} << 20))
        return std::to_string(bytes >> 20) + " MB";
    return std::to_string(bytes >> 10) + " KB";
}

}  // namespace

void prepareHashTable() {
    const int32_t megabytes = engineOption(HashOptionName).numericValue();
    // The table does not try a refused size again, so a refusal is new only where the
    // refused size changed: each one is reported once.
    const uint64_t refusedBefore = hashTable.refusedBucketCount();
    const uint64_t bytesBefore = hashTable.sizeInBytes();
    if (!hashTable.resize(megabytes) && hashTable.refusedBucketCount() != refusedBefore) {
        // Standard error only: the interface reads standard output, where nothing changes.
        // A table that had no memory of its own may have taken a smaller size instead.
        const bool madeSmaller = hashTable.sizeInBytes() != bytesBefore;
        const std::string report = "Orvath: no memory for a hash table of " + std::to_string(megabytes) + " MB; " +
                                   (madeSmaller ? "using a table of " : "keeping the table of ") +
                                   sizeText(hashTable.sizeInBytes()) + "\n";
        std::fputs(report.c_str(), stderr);
    }
    EngineOption& clearHash = engineOption(ClearHashOptionName);
    if (clearHash.currentValue == "true") {
        clearHash.assignValue("false");
        hashTable.clear();
    }
}

}  // namespace orvath
