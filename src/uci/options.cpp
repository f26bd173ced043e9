// SPDX-License-Identifier: GPL-3.0-or-later
// The option registry, "setoption" and the option lines of the "uci" reply.
#include "uci/options.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <utility>

namespace orvath {

constexpr int32_t DefaultHashMegabytes = 32;
constexpr int32_t MinHashMegabytes = 4;
constexpr int32_t MaxHashMegabytes = 2048;
constexpr int32_t DefaultMultiPv = 1;
constexpr int32_t MinMultiPv = 1;
constexpr int32_t MaxMultiPv = 500;
constexpr int32_t DefaultThreads = 1;
constexpr int32_t MinThreads = 1;
constexpr int32_t MaxThreads = 32;  // the thread pool's slots
constexpr int32_t MinMoveOverhead = 0;
constexpr int32_t MaxMoveOverhead = 5000;

namespace {

// The registry is built during static initialisation, so the options exist before main() runs;
// nothing else reads it before main().
OptionRegistry buildRegistry() {
    OptionRegistry options;
    options.emplace(HashOptionName,
                    EngineOption(DefaultHashMegabytes, MinHashMegabytes, MaxHashMegabytes, options.size()));
    options.emplace(ClearHashOptionName, EngineOption("button", options.size()));
    options.emplace(MultiPvOptionName, EngineOption(DefaultMultiPv, MinMultiPv, MaxMultiPv, options.size()));
    options.emplace(ThreadsOptionName, EngineOption(DefaultThreads, MinThreads, MaxThreads, options.size()));
    // Whether the best-move line names the reply to ponder on; "go ponder" works either way.
    options.emplace(PonderOptionName, EngineOption("check", options.size()));
    // The options below serve clients that ask for them; at their defaults the engine plays
    // and writes exactly as without them.
    options.emplace(Chess960OptionName, EngineOption("check", options.size()));
    // Milliseconds kept back for each move to come, for the lag between engine and clock.
    options.emplace(MoveOverheadOptionName,
                    EngineOption(DefaultMoveOverhead, MinMoveOverhead, MaxMoveOverhead, options.size()));
    options.emplace(OwnBookOptionName, EngineOption("check", options.size()));
    options.emplace(BookFileOptionName, EngineOption::emptyString(options.size()));
    return options;
}

OptionRegistry registry = buildRegistry();

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool isWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// Reads the words up to the stop word (not included) or the end, joined by single blanks.
std::string joinWords(std::istream& words, std::string_view stopWord) {
    std::string joined;
    std::string word;
    while (words >> word && word != stopWord) {
        if (!joined.empty())
            joined += ' ';
        joined += word;
    }
    return joined;
}

}  // namespace

EngineOption::EngineOption(int32_t defaultNumber, int32_t minimum, int32_t maximum, uint64_t index)
    : defaultValue(std::to_string(defaultNumber)),
      currentValue(defaultValue),
      type("spin"),
      min(minimum),
      max(maximum),
      creationIndex(index) {}

EngineOption::EngineOption(std::string typeWord, uint64_t index)
    : defaultValue("false"), currentValue("false"), type(std::move(typeWord)), creationIndex(index) {}

EngineOption EngineOption::emptyString(uint64_t index) {
    EngineOption option("string", index);
    option.defaultValue = option.currentValue = EmptyStringText;
    return option;
}

// A string option also takes the empty text (no file, say). Boolean-typed options take only
// "true" and "false", and every other option rejects those two words; a spin value must read as
// a number within its range.
void EngineOption::assignValue(const std::string& text) {
    if (text.empty()) {
        if (type == "string")
            currentValue = text;
        return;
    }
    const bool booleanType = type == "check" || type == "button";
    const bool booleanText = text == "true" || text == "false";
    if (booleanType != booleanText)
        return;
    if (type == "spin") {
        const int32_t number = readDecimal(text);
        if (number < min || number > max)
            return;
    }
    currentValue = text;
}

int32_t EngineOption::numericValue() const { return readDecimal(currentValue); }

bool optionNameLess(std::string_view a, std::string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const char lowerA = asciiLower(a[i]);
        const char lowerB = asciiLower(b[i]);
        if (lowerA != lowerB)
            return static_cast<unsigned char>(lowerA) < static_cast<unsigned char>(lowerB);
    }
    return a.size() < b.size();
}

const OptionRegistry& optionRegistry() { return registry; }

EngineOption* findOption(std::string_view name) {
    const auto found = registry.find(name);
    return found == registry.end() ? nullptr : &found->second;
}

EngineOption& engineOption(std::string_view name) {
    EngineOption* option = findOption(name);
    assert(option != nullptr);
    return *option;
}

void resetOptionsToDefaults() {
    for (auto& [name, option] : registry)
        option.currentValue = option.defaultValue;
}

namespace {

// The rest of the line as it stands, without the white space around it: a file name may hold
// runs of blanks.
std::string restOfLine(std::istream& words) {
    std::string rest;
    std::getline(words, rest);
    const auto first = std::find_if_not(rest.begin(), rest.end(), isWhiteSpace);
    const auto last = std::find_if_not(rest.rbegin(), rest.rend(), isWhiteSpace).base();
    return first < last ? std::string(first, last) : std::string();
}

}  // namespace

// The first word stands where "name" is expected and is not looked at. A missing value
// presses a button (and is rejected by every other option type but a string, which it empties).
void setOption(std::istream& words) {
    std::string ignored;
    words >> ignored;
    const std::string name = joinWords(words, "value");
    EngineOption* option = findOption(name);
    if (option != nullptr && option->type == "string") {
        option->assignValue(restOfLine(words));
        return;
    }
    std::string value = joinWords(words, {});
    if (option == nullptr)
        return;
    if (value.empty())
        value = "true";
    option->assignValue(value);
}

// Lists by creation order, not name order; always the default, never the current value.
std::string optionListText() {
    std::string text;
    for (uint64_t index = 0; index < registry.size(); ++index) {
        for (const auto& [name, option] : registry) {
            if (option.creationIndex != index)
                continue;
            text += "\noption name ";
            text += name;
            text += " type ";
            text += option.type;
            if (option.type != "button") {
                text += " default ";
                text += option.defaultValue;
            }
            if (option.type == "spin") {
                text += " min ";
                text += std::to_string(option.min);
                text += " max ";
                text += std::to_string(option.max);
            }
            break;
        }
    }
    return text;
}

// The magnitude saturates just past the 32-bit range, so no arithmetic can overflow however
// many digits follow.
int32_t readDecimal(std::string_view text) {
    constexpr int64_t Saturated = int64_t{std::numeric_limits<int32_t>::max()} + 2;
    size_t i = 0;
    while (i < text.size() && isWhiteSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > Saturated)
            magnitude = Saturated;
    }
    const int64_t number = negative ? -magnitude : magnitude;
    if (number < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (number > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(number);
}

}  // namespace orvath
