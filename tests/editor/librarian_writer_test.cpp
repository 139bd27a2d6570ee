// Writing bank files: the Standard MIDI File and raw layouts, round trips, splitting a large
// bank into files of 128, and what a failed write leaves behind.
#include "Project_Source/src/PatchFileImage.h"
#include "librarian_support.h"

using namespace libtest;

namespace {

// A bank holding the generator's dumps exactly as given (standard sizes, no header rewrite).
PatchFile bankOfDumps(Kind kind, uint8_t modelByte, int count)
{
    bankgen::Bank gen = bankgen::makeBank(kind, modelByte, count, 3);
    PatchFile bank;
    bank.kind = int(kind);
    bank.modelCode = bankgen::modelCodeOf(modelByte);
    for (const auto& entry : gen.entries) {
        LibrarianPatch e;
        for (const Bytes& m : entry) e.messages.push_back(PatchSysexMessage{m});
        bank.patches.push_back(e);
    }
    return bank;
}

Bytes at(const Bytes& image, size_t from, size_t count) { return Bytes(image.begin() + long(from), image.begin() + long(from + count)); }

} // namespace

// Header, tempo track, the SysEx track's length and first event, End of Track after the last F7,
// and the raw layout's size, for full banks of the device's dumps.
TEST(BankImage, FullBanksHaveTheDevicesLayout)
{
    const Bytes head = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 0x13};
    const struct {
        Kind kind;
        uint8_t modelByte;
        uint32_t track;
        uint8_t firstLength;
        size_t raw;
    } cases[] = {{Kind::Patterns, 0x21, 0x6803, 0x4B, 26112},      {Kind::Performances, 0x20, 0xC183, 0x7E, 49024},
                 {Kind::Performances, 0x21, 0xD083, 0x7E, 52480},  {Kind::Performances, 0x24, 0x1C003, 0x7E, 113280},
                 {Kind::Performances, 0x23, 0x1C003, 0x7E, 113280}, {Kind::Programs, 0x20, 0x9683, 0x28, 38016},
                 {Kind::Programs, 0x21, 0x9683, 0x28, 38016},      {Kind::Programs, 0x24, 0xC983, 0x28, 50688},
                 {Kind::Programs, 0x23, 0xC983, 0x28, 50688}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.modelByte));
        PatchFile bank = bankOfDumps(c.kind, c.modelByte, 128);
        Bytes image = PatchFileImage::build(bank, true);
        EXPECT_EQ(at(image, 0, head.size()), head);
        EXPECT_EQ(bankgen::readBig32(image, 45), c.track);
        EXPECT_EQ(image.size(), 49u + c.track);
        EXPECT_EQ(at(image, 49, 4), (Bytes{0x00, 0xF0, c.kind == Kind::Patterns ? uint8_t(0x81) : uint8_t(0x82), c.firstLength}));
        EXPECT_EQ(at(image, image.size() - 5, 5), (Bytes{0xF7, 0x00, 0xFF, 0x2F, 0x00}));
        EXPECT_EQ(PatchFileImage::build(bank, false).size(), c.raw);
    }
}

TEST(BankImage, EventHeadersBetweenDumpsCarryTheNextDumpsLength)
{
    Bytes image = PatchFileImage::build(bankOfDumps(Kind::Performances, 0x24, 1), true);
    // 383, then 27, then 475 bytes: lengths 82 7E, 1A, 83 5A.
    ASSERT_EQ(image.size(), 49u + 4 + 382 + 3 + 1 + 26 + 3 + 2 + 474 + 4);
    EXPECT_EQ(at(image, 49 + 4 + 382, 4), (Bytes{0x83, 0x74, 0xF0, 0x1A}));
    EXPECT_EQ(at(image, 49 + 8 + 382 + 26, 5), (Bytes{0x83, 0x74, 0xF0, 0x83, 0x5A}));
    // A stored pattern of 220 bytes is announced with length 219.
    Bytes dump = bankgen::makeDump(Kind::Patterns, 0x21, 0, "", 0, 1);
    Bytes patterns = PatchFileImage::build(readBank(bankgen::rawFile({dump, dump})), true);
    EXPECT_EQ(at(patterns, 49, 4), (Bytes{0x00, 0xF0, 0x81, 0x5B}));
    EXPECT_EQ(at(patterns, 53 + 219, 5), (Bytes{0x83, 0x74, 0xF0, 0x81, 0x5B}));
}

TEST(BankImage, EmptySlotsAndBrokenMessagesContributeNothing)
{
    PatchFile empty;
    empty.patches.resize(128);
    Bytes image = PatchFileImage::build(empty, true);
    ASSERT_EQ(image.size(), 53u);
    EXPECT_EQ(bankgen::readBig32(image, 45), 4u);
    EXPECT_TRUE(PatchFileImage::build(empty, false).empty());
    PatchFile bank = bankOfDumps(Kind::Programs, 0x20, 3);
    bank.patches.insert(bank.patches.begin() + 1, LibrarianPatch());
    LibrarianPatch broken;
    broken.messages.push_back(PatchSysexMessage{Bytes{0xF0, 0x00, 0x20}});
    bank.patches.push_back(broken);
    EXPECT_EQ(PatchFileImage::build(bank, false).size(), 3u * 297);
    EXPECT_EQ(PatchFileImage::build(bank, true).size(), 49u + 300 + 2 * 301 + 4);
}

class RoundTrip : public ::testing::TestWithParam<bankgen::KindModel> {};

// A full bank, and a short one completed with inits, read back to the same entries; writing what
// was read gives the same bytes again.
TEST_P(RoundTrip, WrittenBanksReadBackToTheSameEntries)
{
    const bankgen::KindModel& c = GetParam();
    PatchLibrarian lib;
    for (size_t count : {128u, 37u}) {
        PatchFile first = readGenerated(c.kind, c.modelByte, int(count), 31);
        lib.fillUncompletedBankFiles(&first);
        PatchFile expected = first;
        // Init data of the later models carries device 00; the stored form always has 0F.
        for (size_t slot = count; slot < 128; ++slot)
            for (PatchSysexMessage& m : expected.patches[slot].messages) m.bytes[6] = 0x0F;
        for (bool midi : {false, true}) {
            SCOPED_TRACE(std::to_string(count) + (midi ? " midi" : " raw"));
            PatchFile again = readBank(PatchFileImage::build(first, midi));
            expectSameEntries(expected, again);
            if (count == 128) {
                EXPECT_EQ(again.modelCode, first.modelCode);
            }
            Bytes image = PatchFileImage::build(again, midi);
            EXPECT_EQ(PatchFileImage::build(readBank(image), midi), image);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKindAndModel, RoundTrip, ::testing::ValuesIn(bankgen::kEveryKindAndModel));

// Each kind goes to its own banks of 128, the last completed with inits. The first performance
// bank carries no number, the later ones 2, 3 and so on; program banks count from 1.
TEST(BankSplit, MixedFileSplitsEachKindIntoItsOwnNumberedBanks)
{
    bankgen::TempDir dir;
    std::vector<Bytes> messages = bankgen::messagesOf(bankgen::makeBank(Kind::Performances, 0x20, 300, 2));
    std::vector<Bytes> programs = bankgen::messagesOf(bankgen::makeBank(Kind::Programs, 0x20, 10, 3));
    messages.insert(messages.end(), programs.begin(), programs.end());
    PatchFile source = readBank(bankgen::rawFile(messages));
    ASSERT_EQ(source.patches.size(), 310u);
    PatchLibrarian lib;
    for (bool multi : {true, false}) {
        lib.splitBankCount = 0;
        for (int b = -1; b < lib.splitBankCount; ++b)
            EXPECT_EQ(lib.createNewPatchFile(&source, "Patches", "Mix.qor", "qor", dir.file("Mix.qor"), 0, b, false, multi, false, false),
                      PatchLibrarian::SplitResult::Written);
    }
    EXPECT_EQ(fileNames(lib.multiFiles), (std::vector<std::string>{"Mix Multis.qor", "Mix Multis 2.qor", "Mix Multis 3.qor"}));
    EXPECT_EQ(fileNames(lib.singleFiles), std::vector<std::string>{"Mix Singles 1.qor"});
    const std::pair<const char*, size_t> banks[] = {{"Mix Multis.qor", 0}, {"Mix Multis 2.qor", 128}, {"Mix Multis 3.qor", 256}, {"Mix Singles 1.qor", 300}};
    for (auto [name, from] : banks) {
        PatchFile bank = readBank(bankgen::readFile(dir.file(name)));
        ASSERT_EQ(bank.patches.size(), 128u) << name;
        const size_t end = from < 300 ? 300 : 310;
        for (size_t slot = 0; slot < 128; ++slot) {
            if (from + slot < end)
                EXPECT_EQ(bank.patches[slot].messages.at(0).bytes, source.patches[from + slot].messages.at(0).bytes) << name << slot;
            else
                EXPECT_EQ(bank.patches[slot].name, from < 300 ? "Init Perf       " : "Init Program    ") << name << slot;
        }
    }
}

TEST(BankSplit, ExactlyOneBankWritesNothingForTheSecond)
{
    bankgen::TempDir dir;
    PatchFile source = readGenerated(Kind::Programs, 0x21, 128, 5);
    PatchLibrarian lib;
    EXPECT_EQ(lib.createNewPatchFile(&source, "Patches", "One.mid", "mid", dir.file("One.mid"), 0, 0, true, false, false, false),
              PatchLibrarian::SplitResult::Nothing);
    EXPECT_TRUE(dir.list().empty());
    EXPECT_TRUE(lib.singleFiles.empty());
    EXPECT_EQ(lib.splitBankCount, 1);
}
