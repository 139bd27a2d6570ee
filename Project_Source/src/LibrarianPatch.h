#pragma once
// One library entry: a program, performance or pattern with the messages that carry it.
#include <cstdint>
#include <string>
#include <vector>

#include "PatchSysexMessage.h"

struct LibrarianPatch {
    // Entry types the reader and filler set: 0..3 programs (the bank's model code), 5 an appended
    // pattern, 6..9 performances (6 + model code). Entries that nobody typed carry kNoPatchType.
    static constexpr int32_t kNoPatchType = -1;
    // Category bytes 0..19 name a category; higher bytes name none.
    static constexpr int kCategoryCount = 20;

    int32_t patchType = kNoPatchType;
    std::string name;
    std::string category;
    EntryMessages messages;

    // Given, not defaulted: a defaulted one would have every new entry zeroed whole before its
    // members are set, and the reader makes one per program.
    LibrarianPatch() noexcept {}
    LibrarianPatch(const LibrarianPatch&) = default;
    LibrarianPatch& operator=(const LibrarianPatch&) = default;
    LibrarianPatch(LibrarianPatch&&) = default;
    LibrarianPatch& operator=(LibrarianPatch&&) = default;

    // Sets the category from the byte at index of the first message when it names one (0..19);
    // otherwise, or when the entry has no message that long, the category stays as it was.
    void parseCategory(int index);

    // The category name of a category byte, or nullptr for a byte that names none.
    static const std::string* categoryName(int byte);

    // Appends 16 name characters taken from bytes [from, from + 16) of message, control
    // characters shown as blanks. Bytes at or past stopAt are never read; missing characters are
    // blanks, so the name keeps its width.
    static void appendName(std::string& name, const uint8_t* message, size_t size, size_t from,
                           size_t stopAt);
    // The 16 name characters at from, control characters made blanks, written to to (which may
    // be from itself).
    static void blankedName(const uint8_t* from, uint8_t* to);
    static void appendName(std::string& name, const SysexBytes& message, size_t from, size_t stopAt)
    {
        appendName(name, message.data(), message.size(), from, stopAt);
    }
};
