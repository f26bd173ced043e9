// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>

#include "uci/options.h"

namespace orvath {
namespace {

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override { resetOptionsToDefaults(); }
    void TearDown() override { resetOptionsToDefaults(); }

    // Runs "setoption" on the words that follow the command word.
    static void setoption(const std::string& rest) {
        std::istringstream words(rest);
        setOption(words);
    }
    static std::string current(std::string_view name) { return engineOption(name).currentValue; }
};

TEST_F(OptionsTest, RegistryHoldsTheOptionsInCreationOrder) {
    const OptionRegistry& options = optionRegistry();
    ASSERT_EQ(options.size(), 9u);

    const EngineOption& hash = engineOption("Hash");
    EXPECT_EQ(hash.type, "spin");
    EXPECT_EQ(hash.defaultValue, "32");
    EXPECT_EQ(hash.currentValue, "32");
    EXPECT_EQ(hash.min, 4);
    EXPECT_EQ(hash.max, 2048);
    EXPECT_EQ(hash.creationIndex, 0u);

    const EngineOption& clearHash = engineOption("Clear Hash");
    EXPECT_EQ(clearHash.type, "button");
    EXPECT_EQ(clearHash.defaultValue, "false");
    EXPECT_EQ(clearHash.currentValue, "false");
    EXPECT_EQ(clearHash.min, 0);
    EXPECT_EQ(clearHash.max, 0);
    EXPECT_EQ(clearHash.creationIndex, 1u);

    const EngineOption& multiPv = engineOption("MultiPV");
    EXPECT_EQ(multiPv.type, "spin");
    EXPECT_EQ(multiPv.defaultValue, "1");
    EXPECT_EQ(multiPv.min, 1);
    EXPECT_EQ(multiPv.max, 500);
    EXPECT_EQ(multiPv.creationIndex, 2u);

    const EngineOption& threads = engineOption("Threads");
    EXPECT_EQ(threads.type, "spin");
    EXPECT_EQ(threads.defaultValue, "1");
    EXPECT_EQ(threads.min, 1);
    EXPECT_EQ(threads.max, 32);
    EXPECT_EQ(threads.creationIndex, 3u);

    const EngineOption& ponder = engineOption("Ponder");
    EXPECT_EQ(ponder.type, "check");
    EXPECT_EQ(ponder.defaultValue, "false");
    EXPECT_EQ(ponder.creationIndex, 4u);

    // Names are stored as created.
    EXPECT_EQ(options.find("clear hash")->first, "Clear Hash");
}

TEST_F(OptionsTest, ListTextFollowsCreationOrderAndShowsDefaults) {
    const std::string expected =
        "\noption name Hash type spin default 32 min 4 max 2048"
        "\noption name Clear Hash type button"
        "\noption name MultiPV type spin default 1 min 1 max 500"
        "\noption name Threads type spin default 1 min 1 max 32"
        "\noption name Ponder type check default false"
        "\noption name UCI_Chess960 type check default false"
        "\noption name Move Overhead type spin default 70 min 0 max 5000"
        "\noption name OwnBook type check default false"
        "\noption name BookFile type string default <empty>";
    EXPECT_EQ(optionListText(), expected);
    setoption("name Hash value 64");
    setoption("name MultiPV value 3");
    EXPECT_EQ(optionListText(), expected);
}

TEST(OptionNameLess, ComparesLowerCaseLettersAndPutsPrefixesFirst) {
    EXPECT_FALSE(optionNameLess("hash", "Hash"));
    EXPECT_FALSE(optionNameLess("Hash", "hash"));
    EXPECT_FALSE(optionNameLess("HASH", "hash"));
    EXPECT_TRUE(optionNameLess("Hash", "Hash "));
    EXPECT_FALSE(optionNameLess("Hash ", "Hash"));
    EXPECT_TRUE(optionNameLess("", "a"));
    EXPECT_FALSE(optionNameLess("", ""));
    EXPECT_TRUE(optionNameLess("Clear Hash", "hash"));
    EXPECT_TRUE(optionNameLess("hash", "MultiPV"));
    EXPECT_TRUE(optionNameLess("Multi PV", "MultiPV"));  // blank before 'p'
    // Compared after lowering: '_' (95) lies below 'z' (122) but above 'Z' (90).
    EXPECT_TRUE(optionNameLess("_", "Z"));
    EXPECT_FALSE(optionNameLess("Z", "_"));
    // Only ASCII letters are lowered; other bytes compare as they are.
    EXPECT_TRUE(optionNameLess("[", "\xC4"));
}

TEST_F(OptionsTest, LookupIgnoresCaseButNotBlanks) {
    EXPECT_EQ(findOption("hash"), &engineOption("Hash"));
    EXPECT_EQ(findOption("HASH"), &engineOption("Hash"));
    EXPECT_EQ(findOption("clear hash"), &engineOption("Clear Hash"));
    EXPECT_EQ(findOption("multipv"), &engineOption("MultiPV"));
    EXPECT_EQ(findOption("Hash "), nullptr);
    EXPECT_EQ(findOption("Multi PV"), nullptr);
    EXPECT_EQ(findOption("threads"), &engineOption("Threads"));
    EXPECT_EQ(findOption("ponder"), &engineOption("Ponder"));
    EXPECT_EQ(findOption(""), nullptr);
}

TEST_F(OptionsTest, HashAcceptsItsRangeOnly) {
    setoption("name hash value 128");
    EXPECT_EQ(current("Hash"), "128");
    setoption("name Hash value 4");
    EXPECT_EQ(current("Hash"), "4");
    setoption("name Hash value 2048");
    EXPECT_EQ(current("Hash"), "2048");
    for (const char* rejected : {"3", "2049", "-1", "abc", "true", "false", "0", "99999999999999999999"}) {
        setoption(std::string("name Hash value ") + rejected);
        EXPECT_EQ(current("Hash"), "2048") << rejected;
    }
}

TEST_F(OptionsTest, SpinValueKeepsItsTextAndReadsItsLeadingNumber) {
    setoption("name Hash value 100abc");
    EXPECT_EQ(current("Hash"), "100abc");
    EXPECT_EQ(engineOption("Hash").numericValue(), 100);
    setoption("name Hash value 0064");
    EXPECT_EQ(current("Hash"), "0064");
    EXPECT_EQ(engineOption("Hash").numericValue(), 64);
    // The value is every word after "value", joined with single blanks.
    setoption("name Hash value   72   more  words");
    EXPECT_EQ(current("Hash"), "72 more words");
    EXPECT_EQ(engineOption("Hash").numericValue(), 72);
}

TEST_F(OptionsTest, MultiPvAcceptsOneToFiveHundred) {
    setoption("name MultiPV value 500");
    EXPECT_EQ(current("MultiPV"), "500");
    setoption("name MultiPV value 0");
    EXPECT_EQ(current("MultiPV"), "500");
    setoption("name MultiPV value 501");
    EXPECT_EQ(current("MultiPV"), "500");
    setoption("name multipv value 1");
    EXPECT_EQ(current("MultiPV"), "1");
}

TEST_F(OptionsTest, ClearHashTakesOnlyTrueAndFalse) {
    setoption("name Clear Hash");
    EXPECT_EQ(current("Clear Hash"), "true");
    setoption("name Clear Hash value false");
    EXPECT_EQ(current("Clear Hash"), "false");
    setoption("name Clear Hash value true");
    EXPECT_EQ(current("Clear Hash"), "true");
    setoption("name Clear Hash value false");
    for (const char* rejected : {"yes", "True", "FALSE", "1", "true false"}) {
        setoption(std::string("name Clear Hash value ") + rejected);
        EXPECT_EQ(current("Clear Hash"), "false") << rejected;
    }
    // "value" with nothing after it presses the button like no value at all.
    setoption("name Clear Hash value");
    EXPECT_EQ(current("Clear Hash"), "true");
}

TEST_F(OptionsTest, NameWordsAreJoinedWithSingleBlanksAndTheFirstWordIsNotRead) {
    setoption("name clear   hash");
    EXPECT_EQ(current("Clear Hash"), "true");
    setoption("xyz Hash value 64");
    EXPECT_EQ(current("Hash"), "64");
    setoption("\tname\tHASH\tvalue\t96\r");
    EXPECT_EQ(current("Hash"), "96");
}

TEST_F(OptionsTest, IgnoredCommandsChangeNothing) {
    const std::string before = optionListText();
    setoption("");
    setoption("name");
    setoption("name value 64");
    setoption("name Hash");              // "true" is not a spin value
    setoption("name Hash Value 64");     // "Value" is part of the name
    setoption("name Contempt value 4");
    setoption("name UCI_Chess960 value true");
    setoption("name Multi PV value 4");
    setoption("name Hash  value");
    setoption("Hash value 64");          // "Hash" stands where "name" goes: the name is empty
    EXPECT_EQ(current("Hash"), "32");
    EXPECT_EQ(current("Clear Hash"), "false");
    EXPECT_EQ(current("MultiPV"), "1");
    EXPECT_EQ(optionListText(), before);
}

TEST_F(OptionsTest, AssignValueRejectsEmptyAndWrongKindOfText) {
    EngineOption& hash = engineOption("Hash");
    hash.assignValue("");
    hash.assignValue("true");
    hash.assignValue("false");
    EXPECT_EQ(hash.currentValue, "32");
    hash.assignValue(" 50");
    EXPECT_EQ(hash.currentValue, " 50");

    EngineOption check("check", 7);
    EXPECT_EQ(check.type, "check");
    EXPECT_EQ(check.currentValue, "false");
    EXPECT_EQ(check.creationIndex, 7u);
    check.assignValue("17");
    EXPECT_EQ(check.currentValue, "false");
    check.assignValue("true");
    EXPECT_EQ(check.currentValue, "true");

    // Other types take anything but the two boolean words.
    EngineOption text("string", 0);
    text.assignValue("true");
    EXPECT_EQ(text.currentValue, "false");
    text.assignValue("book.bin");
    EXPECT_EQ(text.currentValue, "book.bin");
}

TEST(EngineOption, SpinDefaultIsPlainDecimal) {
    const EngineOption negative(-5, -10, 10, 4);
    EXPECT_EQ(negative.defaultValue, "-5");
    EXPECT_EQ(negative.currentValue, "-5");
    EXPECT_EQ(negative.type, "spin");
    EXPECT_EQ(negative.creationIndex, 4u);
    EXPECT_EQ(EngineOption(0, 0, 0, 0).defaultValue, "0");
}

TEST_F(OptionsTest, ResetRestoresEveryDefault) {
    setoption("name Hash value 64");
    setoption("name Clear Hash");
    setoption("name MultiPV value 4");
    resetOptionsToDefaults();
    EXPECT_EQ(current("Hash"), "32");
    EXPECT_EQ(current("Clear Hash"), "false");
    EXPECT_EQ(current("MultiPV"), "1");
}

TEST(ReadDecimal, ReadsLeadingSignedDigitsAndSaturates) {
    constexpr int32_t Max = std::numeric_limits<int32_t>::max();
    constexpr int32_t Min = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(readDecimal("42"), 42);
    EXPECT_EQ(readDecimal("  \t\r\n\v\f42"), 42);
    EXPECT_EQ(readDecimal("+7"), 7);
    EXPECT_EQ(readDecimal("-13"), -13);
    EXPECT_EQ(readDecimal("100abc"), 100);
    EXPECT_EQ(readDecimal("12 34"), 12);
    EXPECT_EQ(readDecimal("007"), 7);
    EXPECT_EQ(readDecimal(""), 0);
    EXPECT_EQ(readDecimal("abc"), 0);
    EXPECT_EQ(readDecimal("-"), 0);
    EXPECT_EQ(readDecimal("+-5"), 0);
    EXPECT_EQ(readDecimal("- 5"), 0);
    EXPECT_EQ(readDecimal("true"), 0);
    EXPECT_EQ(readDecimal("2147483647"), Max);
    EXPECT_EQ(readDecimal("2147483648"), Max);
    EXPECT_EQ(readDecimal("-2147483648"), Min);
    EXPECT_EQ(readDecimal("-2147483649"), Min);
    EXPECT_EQ(readDecimal("99999999999999999999999999999999"), Max);
    EXPECT_EQ(readDecimal("-99999999999999999999999999999999"), Min);
    EXPECT_EQ(readDecimal(std::string(5000, '9')), Max);
}

}  // namespace
}  // namespace orvath
