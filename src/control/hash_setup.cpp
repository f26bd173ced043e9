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
    // A count refused before is not tried again, so each refusal is reported once.
    const bool refusedBefore =
        megabytes > 0 && bucketCountForMegabytes(static_cast<uint64_t>(megabytes)) == hashTable.refusedBucketCount();
    if (!hashTable.resize(megabytes) && !refusedBefore) {
        // Standard error only: the interface reads standard output, where nothing changes.
        const std::string report = "Orvath: no memory for a hash table of " + std::to_string(megabytes) +
                                   " MB; keeping the table of " + sizeText(hashTable.sizeInBytes()) + "\n";
        std::fputs(report.c_str(), stderr);
    }
    EngineOption& clearHash = engineOption(ClearHashOptionName);
    if (clearHash.currentValue == "true") {
        clearHash.assignValue("false");
        hashTable.clear();
    }
}

}  // namespace orvath
