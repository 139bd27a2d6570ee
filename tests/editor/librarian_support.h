#pragma once
// What the librarian tests share: reading bytes as a bank file, comparing a bank with the
// independent generator's idea of it, tree outlines and a library folder to scan and save in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

#include "Project_Source/src/DataFolder.h"
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

inline Bytes rawBank(Kind kind, uint8_t model, int count, uint32_t seed = 1)
{
    return bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(kind, model, count, seed)));
}
inline Bytes rawPrograms(int count, uint8_t model = 0x20, uint32_t seed = 1) { return rawBank(Kind::Programs, model, count, seed); }
inline PatchFile readGenerated(Kind kind, uint8_t model, int count, uint32_t seed = 1) { return readBank(rawBank(kind, model, count, seed)); }
inline Bytes stored(const Bytes& dump, int modelCode = 0) { return bankgen::expectedStored(dump, Kind::Programs, modelCode, 0); }

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
    static const char* const names[20] = {"Bass", "Hard Bass", "Soft Lead", "Hard Lead", "Porta Lead", "Arpeggio", "Motion",
                                          "Bell", "Pad", "Strings", "Keyboard", "SFX", "Drums", "Pianos", "Organ",
                                          "User 1", "User 2", "User 3", "User 4", "User 5"};
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
        EXPECT_TRUE(patterns || e.patchType == (gen.kind == Kind::Programs ? code : 6 + code)) << slot;
    }
}

inline std::vector<std::string> fileNames(const std::vector<PatchFile*>& banks)
{
    std::vector<std::string> out;
    for (const PatchFile* b : banks) out.push_back(b->fileName);
    return out;
}

// A folder tree in one line: [top=files {second=files <third=files>}].
inline std::string treeText(const std::vector<FolderFiles*>& tree)
{
    auto files = [](const std::vector<PatchFile*>& banks) {
        std::string s;
        for (const PatchFile* b : banks) s += (s.empty() ? "=" : ",") + b->fileName;
        return s;
    };
    std::string out;
    for (const FolderFiles* top : tree) {
        out += "[" + top->name + files(top->files);
        for (const SubFolderFiles& second : top->subFolders) {
            out += " {" + second.name + files(second.files);
            for (const SubFolderFiles2& third : second.subFolders) out += " <" + third.name + files(third.files) + ">";
            out += "}";
        }
        out += "]";
    }
    return out;
}

// A data folder of its own with an empty library folder and a logging librarian.
class LibraryFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("QOR_DATA_FOLDER", data.c_str(), 1);
        root = DataFolder::getPatchesFolderStr();
        mkdir(root.c_str(), 0755);
        lib.logEnabled = true;
        lib.logFilePath = data + "/log.txt";
        bankgen::writeFile(lib.logFilePath, Bytes{});
    }
    void file(const std::string& rel, const Bytes& bytes) const { bankgen::writeFile(root + "/" + rel, bytes); }
    Bytes read(const std::string& rel) const { return bankgen::readFile(root + "/" + rel); }
    std::vector<std::string> logLines() const { return bankgen::logTexts(lib.logFilePath); }
    bool logged(const std::string& prefix) const { return bankgen::hasLineStarting(logLines(), prefix); }

    bankgen::TempDir tmp;
    std::string data = tmp.path;
    std::string root;
    PatchLibrarian lib;
};

} // namespace libtest
