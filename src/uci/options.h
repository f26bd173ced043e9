// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's UCI options, stored as text in one registry built before main() runs.
// Values are only stored here; the search start reads and applies them at every "go".
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <string_view>

namespace orvath {

constexpr const char* HashOptionName = "Hash";
constexpr const char* ClearHashOptionName = "Clear Hash";
constexpr const char* MultiPvOptionName = "MultiPV";
constexpr const char* ThreadsOptionName = "Threads";
constexpr const char* PonderOptionName = "Ponder";
constexpr const char* Chess960OptionName = "UCI_Chess960";
constexpr const char* MoveOverheadOptionName = "Move Overhead";
constexpr const char* OwnBookOptionName = "OwnBook";
constexpr const char* BookFileOptionName = "BookFile";

// The "Move Overhead" an engine starts with, in milliseconds; a search given no other value
// plans with it too.
constexpr int32_t DefaultMoveOverhead = 70;

// How the protocol writes an empty string option; read back as empty too.
constexpr const char* EmptyStringText = "<empty>";

struct EngineOption {
    std::string defaultValue;
    std::string currentValue;
    std::string type;
    int32_t min = 0;
    int32_t max = 0;
    uint64_t creationIndex = 0;

    EngineOption() = default;
    // A "spin" option; both values hold the default's decimal text.
    EngineOption(int32_t defaultNumber, int32_t minimum, int32_t maximum, uint64_t index);
    // An option of the given type word (the button); both values hold "false".
    EngineOption(std::string typeWord, uint64_t index);
    // A "string" option whose default is empty.
    static EngineOption emptyString(uint64_t index);

    // The only way currentValue changes: stores the text exactly as given, unless the type
    // rejects it (see options.cpp).
    void assignValue(const std::string& text);
    // currentValue read as a decimal number.
    int32_t numericValue() const;
    // currentValue of a check option.
    bool isTrue() const { return currentValue == "true"; }
    // currentValue of a string option, with the protocol's "<empty>" read as empty.
    std::string textValue() const { return currentValue == EmptyStringText ? std::string() : currentValue; }
};

// Case-insensitive (ASCII letters) ordering of option names; a prefix is less than the longer name.
bool optionNameLess(std::string_view a, std::string_view b);

struct OptionNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return optionNameLess(a, b); }
};

using OptionRegistry = std::map<std::string, EngineOption, OptionNameLess>;

// The registry, for reading (the listing and the tests walk it).
const OptionRegistry& optionRegistry();

// The option of that name (compared without case), or nullptr when there is none.
EngineOption* findOption(std::string_view name);

// One of the options of this engine, by its name constant; used by the search start.
EngineOption& engineOption(std::string_view name);

// Sets every option back to its default value, as at start-up (for tests).
void resetOptionsToDefaults();

// Carries out "setoption" on the words after the command word. Writes nothing.
void setOption(std::istream& words);

// The option lines of the "uci" reply, in creation order, each preceded by a line feed.
std::string optionListText();

// Decimal reading: leading white space, an optional sign, then digits up to the first
// non-digit. No digits read as 0; values beyond the 32-bit range give the nearest limit.
int32_t readDecimal(std::string_view text);

}  // namespace orvath
