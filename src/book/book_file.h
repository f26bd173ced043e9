// SPDX-License-Identifier: GPL-3.0-or-later
// A Polyglot book on disk: 16-byte big-endian entries (key, move, weight, learn) sorted by key.
// It is searched where it lies, a few entries read per lookup, so a book of any size costs
// neither start-up time nor memory.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace orvath {

constexpr int BookEntryBytes = 16;

// One entry as the file holds it. The move: to-file, to-rank, from-file, from-rank in three
// bits each from the lowest, then the promotion piece (0 none, 1 knight .. 4 queen); castling
// is the king taking its own rook. The learn field is carried but not used.
struct BookEntry {
    uint64_t key = 0;
    uint16_t move = 0;
    uint16_t weight = 0;
    uint32_t learn = 0;
};

enum class BookProblem { None, CannotOpen, CannotRead, NoEntries, Unsorted };

// What went wrong, as a person reads it after the file's name.
const char* bookProblemText(BookProblem problem);

class BookFile {
public:
    // Opens the file and looks at its size and its first and last entries only. On a problem
    // the book stays closed.
    BookProblem open(const std::string& path);
    void close();
    bool isOpen() const { return file.is_open(); }

    // The bytes past the last whole entry, which are not used.
    uint64_t strayBytes() const { return stray; }

    // The entries filed under the key, in file order, at most `capacity` of them; `count` says
    // how many. Every entry read on the way is checked against the order of those around it,
    // so a file found unsorted is reported (and the book closed) instead of answering wrongly.
    BookProblem find(uint64_t key, BookEntry* out, int capacity, int& count);

private:
    bool read(uint64_t index, BookEntry& entry);
    BookProblem fail(BookProblem problem);

    std::ifstream file;
    uint64_t entryCount = 0;
    uint64_t stray = 0;
};

}  // namespace orvath
