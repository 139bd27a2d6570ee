// Category banks and search banks derived from the loaded program banks.
#include "librarian_support.h"

using namespace libtest;

namespace {

// A program entry as the reader stores it, with a name and a category byte.
LibrarianPatch program(const std::string& name, int categoryByte, int messages = 1)
{
    LibrarianPatch e;
    Bytes m(297, 0x40);
    m[0] = 0xF0;
    m[1] = 0x00;
    m[7] = 0x02;
    for (size_t i = 0; i < 16; ++i) m[10 + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : ' ';
    m[27] = static_cast<uint8_t>(categoryByte);
    m.back() = 0xF7;
    e.messages.push_back(PatchSysexMessage{m});
    if (messages > 1) e.messages.push_back(PatchSysexMessage{Bytes{0xF0, 0x11, 0x11, 0xF7}});
    e.name = shownName(name);
    e.parseCategory(27);
    e.patchType = 0;
    return e;
}

PatchFile* addBank(PatchLibrarian& lib, std::vector<LibrarianPatch> entries, int modelCode = 0)
{
    PatchFile* bank = lib.adoptBank(new PatchFile);
    bank->patches = std::move(entries);
    bank->modelCode = modelCode;
    lib.singleFiles.push_back(bank);
    lib.createCategories(bank);
    return bank;
}

std::vector<std::string> sizes(const std::vector<PatchFile*>& banks)
{
    std::vector<std::string> out;
    for (const PatchFile* b : banks) out.push_back(b->fileName + ":" + std::to_string(b->patches.size()));
    return out;
}

} // namespace

// The first category met gets no banks, the others banks of 128 made of the first messages of
// their entries. Entries without a whole first message and banks of an unknown model stay out;
// a name no usable entry carries gets one empty bank, in the tree only.
TEST(CategoryBanks, EveryLaterCategoryGetsBanksOfItsUsableEntries)
{
    PatchLibrarian lib;
    lib.createNewCategoryPatchFiles(); // nothing loaded: nothing made
    std::vector<LibrarianPatch> entries{program("First", 7), program("Two", 0, 2)};
    for (int i = 0; i < 126; ++i) entries.push_back(program("Bass " + std::to_string(i), 0));
    for (int i = 0; i < 128; ++i) entries.push_back(program("Pad " + std::to_string(i), 8));
    LibrarianPatch empty;
    empty.category = "Pad";
    LibrarianPatch cut = program("Cut", 8);
    cut.messages[0].bytes.pop_back(); // no F7 any more
    entries.push_back(empty);
    entries.push_back(cut);
    addBank(lib, entries);
    std::vector<LibrarianPatch> more;
    for (int i = 0; i < 300; ++i) more.push_back(program("Org " + std::to_string(i), 14));
    addBank(lib, more);
    addBank(lib, {program("Odd", 3)}, 4);
    ASSERT_EQ(lib.categoryNames, (std::vector<std::string>{"Bell", "Bass", "Pad", "Organ", "Hard Lead"}));
    lib.createNewCategoryPatchFiles();
    EXPECT_EQ(sizes(lib.categoryFiles), (std::vector<std::string>{"Bass 1:127", "Pad 1:128", "Organ 1:128", "Organ 2:128", "Organ 3:44"}));
    const std::string tree = "[Bass 1 {Bass=Bass 1}][Pad 1 {Pad=Pad 1,Pad 2}][Organ 1 {Organ=Organ 1,Organ 2,Organ 3}]"
                             "[Hard Lead 1 {Hard Lead=Hard Lead 1}]";
    EXPECT_EQ(treeText(lib.categoryFolders), tree);
    EXPECT_TRUE(lib.categoryFolders.at(1)->subFolders[0].files.at(1)->patches.empty());
    EXPECT_TRUE(lib.categoryFolders.at(3)->subFolders[0].files.at(0)->patches.empty());
    const LibrarianPatch& e = lib.categoryFiles[0]->patches[0];
    EXPECT_EQ(e.name + e.category + std::to_string(e.patchType), "Two             Bass0");
    EXPECT_EQ(e.messages.size(), 1u);
    EXPECT_EQ(lib.categoryFiles[0]->folderName, "Bass");
    // A second run without a reset files its banks into the existing nodes.
    lib.createNewCategoryPatchFiles();
    EXPECT_EQ(lib.categoryFiles.size(), 10u);
    EXPECT_EQ(treeText(lib.categoryFolders), "[Bass 1 {Bass=Bass 1,Bass 1}][Pad 1 {Pad=Pad 1,Pad 2,Pad 1,Pad 2}]"
                                             "[Organ 1 {Organ=Organ 1,Organ 2,Organ 3,Organ 1,Organ 2,Organ 3}]"
                                             "[Hard Lead 1 {Hard Lead=Hard Lead 1,Hard Lead 1}]");
}

// Each search replaces the last one's banks: byte-for-byte substring matches, both messages of
// an entry, banks of 128 (an exact multiple adds an empty one); entries without messages and
// banks of an unknown model stay out.
TEST(SearchBanks, EachSearchGivesBanksOfTheEntriesWhoseNameHoldsTheText)
{
    PatchLibrarian lib;
    addBank(lib, {program("Match A", 0)}, 4);
    LibrarianPatch empty;
    empty.name = "Match B";
    std::vector<LibrarianPatch> entries{empty, program("Soft Pad", 8), program("soft pad", 8), program("Padding", 1),
                                        program("Two", 3, 2), program("Match C", 0)};
    for (int i = 0; i < 128; ++i) entries.push_back(program("Keys " + std::to_string(i), 10));
    addBank(lib, entries);
    const struct {
        const char* text;
        std::vector<std::string> banks;
        const char* first;
        size_t messages;
    } cases[] = {{"Pad", {"Search Results 1:2"}, "Soft Pad        ", 1},
                 {"Two", {"Search Results 1:1"}, "Two             ", 2},
                 {"Match", {"Search Results 1:1"}, "Match C         ", 1},
                 {"Keys", {"Search Results 1:128", "Search Results 2:0"}, "Keys 0          ", 1},
                 {" ", {"Search Results 1:128", "Search Results 2:5"}, "Soft Pad        ", 1},
                 {"Soft Pad and more!", {}, "", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        lib.createNewSearchPatchFiles(c.text);
        ASSERT_EQ(sizes(lib.searchFiles), c.banks);
        ASSERT_EQ(lib.searchFolders.size(), c.banks.empty() ? 0u : 1u);
        if (c.banks.empty()) continue;
        EXPECT_EQ(lib.searchFiles[0]->patches.at(0).name, c.first);
        EXPECT_EQ(lib.searchFiles[0]->patches[0].messages.size(), c.messages);
        EXPECT_EQ(lib.searchFiles[0]->folderName, "Patches");
        EXPECT_EQ(lib.searchFolders[0]->name, "Patches");
        EXPECT_EQ(lib.searchFolders[0]->files, lib.searchFiles);
    }
}
