// The librarian's records: categories, category and search banks, the shared SysEx bytes, and
// converting the sibling synthesizers' program messages.
#include "Project_Source/src/Patch.h"
#include "librarian_support.h"

#include <functional>
#include <memory>
#include <thread>

using namespace libtest;

// A category byte names its category; one beyond the list, or a message too short to hold it,
// leaves the entry's category as it was.
TEST(Categories, CategoryByteNamesItsCategoryOrLeavesItAlone)
{
    const struct {
        int byte;
        size_t size; // 0: no message
        const char *before, *after;
    } cases[] = {{19, 297, "", "User 5"}, {0, 297, "", "Bass"}, {20, 297, "Pad", "Pad"}, {0, 27, "Bell", "Bell"},
                 {0, 0, "Bell", "Bell"}};
    for (const auto& c : cases) {
        LibrarianPatch e;
        if (c.size) {
            Bytes m(c.size, 0x00);
            m[0] = 0xF0, m.back() = 0xF7;
            if (c.size > 27) m[27] = static_cast<uint8_t>(c.byte);
            e.messages.push_back(PatchSysexMessage{m});
        }
        e.category = c.before;
        e.parseCategory(27);
        EXPECT_EQ(e.category, c.after) << c.byte << " in " << c.size << " bytes, was " << c.before;
    }
}

namespace {

// Two neighbouring messages written into one shared block, as the reader stores a file.
std::pair<SysexBytes, SysexBytes> neighbours()
{
    SysexBytes::Writer writer;
    SysexBytes out[2];
    for (uint8_t i : {0, 1}) {
        uint8_t* m = writer.room(3, 64);
        m[0] = 0xF0, m[1] = uint8_t(i + 1), m[2] = 0xF7;
        out[i] = writer.commit(3);
    }
    return {out[0], out[1]};
}

TEST(SharedSysexBytes, AWriteChangesOnlyTheMessageWritten)
{
    struct Case {
        const char* name;
        std::function<void(SysexBytes&)> write;
        Bytes want;
    };
    const std::vector<Case> cases = {
        {"index", [](SysexBytes& m) { m[1] = 0x7F; }, {0xF0, 0x7F, 0xF7}},
        {"pop then push", [](SysexBytes& m) { m.pop_back(), m.push_back(0x55); }, {0xF0, 0x01, 0x55}},
        {"insert own bytes", [](SysexBytes& m) { m.insert(m.begin() + 1, m.begin(), m.end()); },
         {0xF0, 0xF0, 0x01, 0xF7, 0x01, 0xF7}},
        {"erase", [](SysexBytes& m) { m.erase(m.begin() + 1); }, {0xF0, 0xF7}},
        {"resize", [](SysexBytes& m) { m.resize(5, 0x11); }, {0xF0, 0x01, 0xF7, 0x11, 0x11}},
        {"assign", [](SysexBytes& m) { m.assign({0xF0, 0xF7}); }, {0xF0, 0xF7}},
    };
    for (const Case& c : cases) {
        auto [first, second] = neighbours();
        SysexBytes copy = first;
        c.write(first);
        EXPECT_EQ(Bytes(first), c.want) << c.name;
        EXPECT_EQ(Bytes(copy), (Bytes{0xF0, 0x01, 0xF7})) << c.name << ": the copy changed";
        EXPECT_EQ(Bytes(second), (Bytes{0xF0, 0x02, 0xF7})) << c.name << ": the neighbour changed";
    }
}

TEST(SharedSysexBytes, CopiesMadeOnSeveralThreadsKeepTheirBytes)
{
    auto [first, second] = neighbours();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                SysexBytes mine = (i & 1) ? first : second;
                mine[1] = uint8_t(t);
                ASSERT_EQ(mine[1], t);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(Bytes(first), (Bytes{0xF0, 0x01, 0xF7}));
    EXPECT_EQ(Bytes(second), (Bytes{0xF0, 0x02, 0xF7}));
}

using Indices = std::vector<size_t>;

PatchSysexMessage message(size_t size, uint8_t fill)
{
    PatchSysexMessage m;
    m.bytes.assign(size, fill);
    m.bytes[0] = 0xF0;
    m.bytes.back() = 0xF7;
    return m;
}

struct ByteRule {
    uint8_t model; // byte 1
    Indices at;
    uint8_t in, out;
};

Indices every3(size_t from, size_t to)
{
    Indices out;
    for (size_t i = from; i <= to; i += 3) out.push_back(i);
    return out;
}

const Indices kModTargets = {252, 253, 256, 257, 260, 261, 264, 265, 292, 295, 298, 301, 304, 307, 310, 313};
} // namespace

// Bytes from 252 on move up by one, unmapped ones unchanged; the others stay where they are.
namespace {

// A list of count messages, each F0 <its number> F7.
EntryMessages numbered(int count)
{
    EntryMessages list;
    for (int i = 0; i < count; ++i) list.push_back(PatchSysexMessage{Bytes{0xF0, uint8_t(i), 0xF7}});
    return list;
}

std::vector<int> numbersOf(const EntryMessages& list)
{
    std::vector<int> out;
    for (const PatchSysexMessage& m : list) out.push_back(m.bytes.size() == 3 ? m.bytes[1] : -1);
    return out;
}

} // namespace

// Lists of up to three messages live inside the entry, longer ones outside it: every change keeps
// the messages, their order and their bytes, on both sides of that line and across it.
TEST(EntryMessageLists, EveryChangeKeepsTheMessagesInOrder)
{
    const struct {
        const char* what;
        int count;
        std::function<void(EntryMessages&)> change;
        std::vector<int> after;
    } cases[] = {
        {"copy of an inside list", 3, [](EntryMessages& l) { l = EntryMessages(l); }, {0, 1, 2}},
        {"copy of an outside list", 5, [](EntryMessages& l) { l = EntryMessages(l); }, {0, 1, 2, 3, 4}},
        {"move of an inside list", 2, [](EntryMessages& l) { EntryMessages t(std::move(l)); l = std::move(t); }, {0, 1}},
        {"move of an outside list", 4, [](EntryMessages& l) { EntryMessages t(std::move(l)); l = std::move(t); }, {0, 1, 2, 3}},
        {"growing past three", 3, [](EntryMessages& l) { l.push_back(PatchSysexMessage{Bytes{0xF0, 9, 0xF7}}); }, {0, 1, 2, 9}},
        {"appending its own first", 3, [](EntryMessages& l) { l.push_back(l.front()); }, {0, 1, 2, 0}},
        {"erasing from the middle", 5, [](EntryMessages& l) { l.erase(l.begin() + 1, l.begin() + 3); }, {0, 3, 4}},
        {"erasing the last", 2, [](EntryMessages& l) { l.erase(l.end() - 1); }, {0}},
        {"resizing up", 1, [](EntryMessages& l) { l.resize(4); }, {0, -1, -1, -1}},
        {"resizing down", 5, [](EntryMessages& l) { l.resize(2); }, {0, 1}},
        {"clearing then adding", 5, [](EntryMessages& l) { l.clear(), l.emplace_back(Bytes{0xF0, 7, 0xF7}); }, {7}},
        {"reserving", 2, [](EntryMessages& l) { l.reserve(8); }, {0, 1}},
    };
    for (const auto& c : cases) {
        EntryMessages list = numbered(c.count);
        c.change(list);
        EXPECT_EQ(numbersOf(list), c.after) << c.what;
    }
    // A moved-from list is empty and usable.
    EntryMessages a = numbered(4), b = numbered(2);
    EntryMessages c(std::move(a)), d(std::move(b));
    EXPECT_TRUE(a.empty() && b.empty());
    a.push_back(d.back());
    EXPECT_EQ(numbersOf(a), std::vector<int>{1});
    EXPECT_THROW(a.at(1), std::out_of_range);
}

TEST(QuarnelConversion, EveryListedByteTakesItsRule)
{
    const ByteRule rules[] = {
        {0x20, {13, 29, 45}, 5, 8},  {0x20, {13}, 4, 4},     {0x20, {15, 31, 47}, 1, 0}, {0x20, {124}, 0, 0x7F},
        {0x20, {135}, 4, 5},         {0x20, {151}, 3, 3},    {0x20, {151}, 7, 4},        {0x20, {151}, 11, 12},
        {0x20, kModTargets, 30, 30}, {0x20, kModTargets, 31, 43}, {0x20, kModTargets, 37, 0},
        {0x20, every3(269, 314), 33, 34}, {0x13, every3(269, 314), 33, 33}, {0x20, {254, 270, 391}, 33, 33}};
    PatchLibrarian lib;
    for (const ByteRule& r : rules) {
        PatchSysexMessage m = message(393, 0x00);
        m.bytes[1] = r.model;
        for (size_t i : r.at) m.bytes[i] = r.in;
        lib.alterPatchFromQuarnelFormat(&m);
        for (size_t i : r.at) EXPECT_EQ(m.bytes[i < 252 ? i : i + 1], r.out) << i << " from " << int(r.in);
    }
}

TEST(StrovaneConversion, EveryListedByteTakesItsRule)
{
    const Indices filters = {17, 33, 49, 57, 96, 101, 116, 121, 130, 268, 271, 274, 277, 280, 283, 286, 289};
    std::vector<ByteRule> rules = {
        {0, {19, 20, 21, 22, 23, 35, 36, 37, 38, 39, 55, 76, 89, 109}, 60, 0},
        {0, every3(269, 290), 31, 0}, {0, every3(269, 290), 30, 30}, {0, every3(293, 314), 54, 0},
        {0, kModTargets, 24, 0},      {0, {84, 104}, 18, 1},        {0, {15, 31}, 7, 0},  {0, {151}, 6, 7}};
    // Filter types: 10, 12, 14 and above 16 go; 15 and 16 swap onto 12 and 11; the rest stay.
    const std::pair<int, int> filterMap[] = {{9, 9}, {10, 0}, {14, 0}, {15, 12}, {16, 11}, {17, 0}};
    for (auto [in, out] : filterMap) rules.push_back({0, filters, uint8_t(in), uint8_t(out)});
    PatchLibrarian lib;
    for (const ByteRule& r : rules) {
        PatchSysexMessage m = message(392, 0x00);
        for (size_t i : r.at) m.bytes[i] = r.in;
        lib.alterPatchFromStrovaneFormat(&m);
        for (size_t i : r.at) EXPECT_EQ(m.bytes[i], r.out) << i << " from " << int(r.in);
    }
}

TEST(StrovaneConversion, EveryCategoryNumberWritesItsNameAndKeepsTheBytesBeyondIt)
{
    const char* names[] = {"Init", "Arp", "Atmo", "Bass", "Drum", "FX", "Keys", "Lead", "Mono", "Pad", "Perc", "Poly", "Seq"};
    PatchLibrarian lib;
    for (int number = 0; number <= 14; ++number) {
        PatchSysexMessage m = message(392, 0x55);
        m.bytes[387] = static_cast<uint8_t>(number);
        lib.alterStrovaneCategoryFormat(&m);
        std::string name = number <= 12 ? names[number] : "Init";
        EXPECT_EQ(std::string(m.bytes.begin() + 386, m.bytes.begin() + 390), name + std::string(4 - name.size(), 'U'));
    }
    PatchSysexMessage shortOne = message(300, 0x55); // too short to hold the category: left alone
    lib.alterStrovaneCategoryFormat(&shortOne);
    EXPECT_EQ(shortOne.bytes, message(300, 0x55).bytes);
}

namespace {

// A program entry as the reader stores it, with a name and a category byte.
LibrarianPatch program(const std::string& name, int categoryByte, int messages = 1)
{
    LibrarianPatch e;
    Bytes m(297, 0x40);
    m[0] = 0xF0, m[1] = 0x00, m[7] = 0x02;
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
                 {"Soft Pad and more!", {}, "", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        lib.createNewSearchPatchFiles(c.text);
        ASSERT_EQ(sizes(lib.searchFiles), c.banks);
        ASSERT_EQ(lib.searchFolders.size(), c.banks.empty() ? 0u : 1u);
        if (c.banks.empty()) continue;
        EXPECT_EQ(lib.searchFiles[0]->patches.at(0).name, c.first);
        EXPECT_EQ(lib.searchFiles[0]->patches[0].messages.size(), c.messages);
        EXPECT_EQ(lib.searchFiles[0]->folderName + lib.searchFolders[0]->name, "PatchesPatches");
        EXPECT_EQ(lib.searchFolders[0]->files, lib.searchFiles);
    }
}
