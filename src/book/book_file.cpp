// SPDX-License-Identifier: GPL-3.0-or-later
#include "book/book_file.h"

#include <limits>

namespace orvath {

namespace {

uint64_t readBigEndian(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

const char* bookProblemText(BookProblem problem) {
    switch (problem) {
        case BookProblem::None: return "no problem";
        case BookProblem::CannotOpen: return "cannot be opened";
        case BookProblem::CannotRead: return "cannot be read";
        case BookProblem::NoEntries: return "holds no entries";
        case BookProblem::Unsorted: return "is not sorted by key, so it is not a Polyglot book";
    }
    return "";
}

// A file that is not a book can still open and have a size (a directory, a device): reading the
// first and last entries proves the size, and their order catches a file sorted the other way.
BookProblem BookFile::open(const std::string& path) {
    close();
    file.open(path, std::ios::binary);
    if (!file.is_open())
        return BookProblem::CannotOpen;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (!file || size < 0)
        return fail(BookProblem::CannotRead);
    entryCount = static_cast<uint64_t>(size) / BookEntryBytes;
    stray = static_cast<uint64_t>(size) % BookEntryBytes;
    if (entryCount == 0)
        return fail(BookProblem::NoEntries);
    BookEntry first, last;
    if (!read(0, first) || !read(entryCount - 1, last))
        return fail(BookProblem::CannotRead);
    if (first.key > last.key)
        return fail(BookProblem::Unsorted);
    return BookProblem::None;
}

void BookFile::close() {
    if (file.is_open())
        file.close();
    file.clear();
    entryCount = 0;
    stray = 0;
}

BookProblem BookFile::fail(BookProblem problem) {
    close();
    return problem;
}

bool BookFile::read(uint64_t index, BookEntry& entry) {
    unsigned char bytes[BookEntryBytes];
    file.seekg(static_cast<std::streamoff>(index * BookEntryBytes));
    file.read(reinterpret_cast<char*>(bytes), BookEntryBytes);
    if (!file) {
        file.clear();
        return false;
    }
    entry.key = readBigEndian(bytes, 8);
    entry.move = static_cast<uint16_t>(readBigEndian(bytes + 8, 2));
    entry.weight = static_cast<uint16_t>(readBigEndian(bytes + 10, 2));
    entry.learn = static_cast<uint32_t>(readBigEndian(bytes + 12, 4));
    return true;
}

// A binary search for the first entry of the key. The entries on both sides of the part still
// searched are known, and a sorted file has every entry between them within their keys: one
// outside them shows the file unsorted. The run of the key is checked the same way at its end.
BookProblem BookFile::find(uint64_t key, BookEntry* out, int capacity, int& count) {
    count = 0;
    if (!isOpen())
        return BookProblem::None;
    uint64_t low = 0, high = entryCount;
    uint64_t keyBelow = 0;                                       // the key of entry low - 1
    uint64_t keyAbove = std::numeric_limits<uint64_t>::max();    // the key of entry high
    BookEntry entry;
    while (low < high) {
        const uint64_t middle = low + (high - low) / 2;
        if (!read(middle, entry))
            return fail(BookProblem::CannotRead);
        if (entry.key < keyBelow || entry.key > keyAbove)
            return fail(BookProblem::Unsorted);
        if (entry.key < key) {
            low = middle + 1;
            keyBelow = entry.key;
        } else {
            high = middle;
            keyAbove = entry.key;
        }
    }
    for (uint64_t index = low; index < entryCount; ++index) {
        const bool readable = read(index, entry);
        if (!readable || entry.key < key) {
            count = 0;
            return fail(readable ? BookProblem::Unsorted : BookProblem::CannotRead);
        }
        if (entry.key != key)
            break;
        if (count == capacity)
            break;
        out[count++] = entry;
    }
    return BookProblem::None;
}

}  // namespace orvath
