// SPDX-License-Identifier: GPL-3.0-or-later
// The Polyglot book key, which every book made for the format files its positions under.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

#include "book/polyglot_key.h"
#include "engine/position_command.h"
#include "test_support.h"

namespace orvath {
namespace {

std::unique_ptr<Board> boardAfter(const std::string& position) {
    auto board = boardFrom(StartFen);
    std::istringstream words(position);
    setPosition(*board, words);
    return board;
}

// Values that every Polyglot book relies on, so a key that differs finds nothing in any book.
TEST(PolyglotKey, MatchesTheFormatsCheckValues) {
    EXPECT_EQ(polyglotRandom(0), 0x9D39247E33776D41ull);
    EXPECT_EQ(polyglotRandom(PolyglotRandomCount - 1), 0xF8D626AAAF278509ull);
    const struct {
        const char* moves;
        uint64_t key;
    } cases[] = {
        {"", 0x463b96181691fc9cull},
        {"e2e4", 0x823c9b50fd114196ull},
        {"e2e4 d7d5", 0x0756b94461c50fb0ull},
        {"e2e4 d7d5 e4e5", 0x662fafb965db29d4ull},
        {"e2e4 d7d5 e4e5 f7f5", 0x22a48b5a8e47ff78ull},
        {"e2e4 d7d5 e4e5 f7f5 e1e2", 0x652a607ca3f242c1ull},
        {"e2e4 d7d5 e4e5 f7f5 e1e2 e8f7", 0x00fdd303c946bdd9ull},
        {"a2a4 b7b5 h2h4 b5b4 c2c4", 0x3c8123ea7b067637ull},
        {"a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3", 0x5c3f9b829b279560ull},
    };
    for (const auto& c : cases)
        EXPECT_EQ(polyglotKey(*boardAfter(std::string("startpos moves ") + c.moves)), c.key) << c.moves;
}

}  // namespace
}  // namespace orvath
