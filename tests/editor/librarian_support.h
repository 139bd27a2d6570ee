#pragma once
// What the librarian tests share: reading bytes as a bank file, and comparing a bank with the
// independent generator's idea of it.
#include <gtest/gtest.h>

#include "Project_Source/src/PatchLibrarian.h"
#include "kit/plugin/IPluginStructs.h"
#include "support/bankgen.h"

namespace libtest {

using bankgen::Bytes;
using bankgen::Kind;

// The bank the reader makes of bytes (with lib's categories when given).
inline PatchFile readBank(const Bytes& file, PatchLibrarian* lib = nullptr)
{
    PatchLibrarian local;
    PatchFile bank;
    (lib ? *lib : local).loadFromChunk(file.data(), static_cast<int>(file.size()), &bank, 0);
    return bank;
}

// A generated bank of count entries, read from its raw file.
inline PatchFile readGenerated(Kind kind, uint8_t modelByte, int count, uint32_t seed = 1)
{
    return readBank(bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(kind, modelByte, count, seed))));
}

inline Bytes rawPrograms(int count, uint8_t model = 0x20, uint32_t seed = 1)
{
    return bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(Kind::Programs, model, count, seed)));
}

// 16 name characters as the librarian shows them.
inline std::string shownName(const std::string& raw)
{
    std::string out;
    for (size_t i = 0; i < 16; ++i) {
        unsigned char c = i < raw.size() ? static_cast<unsigned char>(raw[i]) : ' ';
        out.push_back(c < 0x20 ? ' ' : static_cast<char>(c));
    }
    return out;
}

inline const char* categoryOf(uint8_t byte)
{
    static const char* const names[20] = {"Bass", "Hard Bass", "Soft Lead", "Hard Lead", "Porta Lead", "Arpeggio",
                                          "Motion", "Bell", "Pad", "Strings", "Keyboard", "SFX", "Drums", "Pianos",
                                          "Organ", "User 1", "User 2", "User 3", "User 4", "User 5"};
    return byte < 20 ? names[byte] : "";
}

// Every entry of bank against what the generator's dumps must become.
inline void expectBankMatches(const PatchFile& bank, const bankgen::Bank& gen)
{
    const int code = bankgen::modelCodeOf(gen.modelByte);
    ASSERT_EQ(bank.modelCode, code);
    ASSERT_EQ(bank.patches.size(), gen.entries.size());
    for (size_t slot = 0; slot < gen.entries.size(); ++slot) {
        const LibrarianPatch& e = bank.patches[slot];
        ASSERT_EQ(e.messages.size(), gen.entries[slot].size()) << "slot " << slot;
        for (size_t m = 0; m < e.messages.size(); ++m)
            EXPECT_EQ(e.messages[m].bytes, bankgen::expectedStored(gen.entries[slot][m], gen.kind, code, int(m)))
                << "slot " << slot << " message " << m;
        const bool patterns = gen.kind == Kind::Patterns;
        EXPECT_EQ(e.name, patterns ? "Arpeggio********" : shownName(gen.names[slot]));
        EXPECT_EQ(e.category, gen.kind == Kind::Programs ? categoryOf(gen.categories[slot]) : "");
        if (!patterns) EXPECT_EQ(e.patchType, gen.kind == Kind::Programs ? code : 6 + code);
    }
}

// Messages of every entry of a bank, equal in both.
inline void expectSameMessages(const PatchFile& a, const PatchFile& b)
{
    ASSERT_EQ(a.patches.size(), b.patches.size());
    for (size_t i = 0; i < a.patches.size(); ++i) {
        EXPECT_EQ(a.patches[i].name, b.patches[i].name) << i;
        ASSERT_EQ(a.patches[i].messages.size(), b.patches[i].messages.size()) << i;
        for (size_t m = 0; m < a.patches[i].messages.size(); ++m)
            EXPECT_EQ(a.patches[i].messages[m].bytes, b.patches[i].messages[m].bytes) << i;
    }
}

inline std::vector<std::string> fileNames(const std::vector<PatchFile*>& banks)
{
    std::vector<std::string> out;
    for (const PatchFile* b : banks) out.push_back(b->fileName);
    return out;
}

// Turns on lib's log into a fresh file in folder.
inline void logTo(PatchLibrarian& lib, const std::string& folder)
{
    lib.logEnabled = true;
    lib.logFilePath = folder + "/log.txt";
    bankgen::writeFile(lib.logFilePath, Bytes{});
}

} // namespace libtest
