// Writing bank files (the Standard MIDI File and raw layouts, splitting a large bank into files of
// 128) and completing short banks with the init entries.
#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchInitData.h"
#include "librarian_support.h"

#include <functional>


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

std::vector<Bytes> bytesOf(const LibrarianPatch& entry)
{
    std::vector<Bytes> out;
    for (const PatchSysexMessage& m : entry.messages) out.emplace_back(m.bytes.begin(), m.bytes.end());
    return out;
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
                 {Kind::Programs, 0x20, 0x9683, 0x28, 38016},      {Kind::Programs, 0x23, 0xC983, 0x28, 50688}};
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

// A reader counts messages: an entry written short of its model's number would move every later
// entry up a slot. Gaps are written as the init entry's messages, surplus ones left out.
TEST(BankImage, EveryEntryIsWrittenWithItsModelsNumberOfMessages)
{
    const Bytes broken = {0xF0, 0x00, 0x20};
    const struct {
        const char* what;
        Kind kind;
        uint8_t modelByte;
        std::function<void(PatchFile&)> damage;
        unsigned filled; // places of slot 1 written from the init entry
    } cases[] = {
        {"an empty slot", Kind::Programs, 0x20, [](PatchFile& b) { b.patches[1] = LibrarianPatch(); }, 1},
        {"a broken message", Kind::Programs, 0x20, [&](PatchFile& b) { b.patches[1].messages[0].bytes = broken; }, 1},
        {"a missing second message", Kind::Programs, 0x23, [](PatchFile& b) { b.patches[1].messages.pop_back(); }, 2},
        {"a missing first message", Kind::Performances, 0x21,
         [](PatchFile& b) { b.patches[1].messages.erase(b.patches[1].messages.begin()); }, 1},
        {"an empty slot of three", Kind::Performances, 0x24, [](PatchFile& b) { b.patches[1] = LibrarianPatch(); }, 7},
        {"a surplus message", Kind::Performances, 0x20,
         [](PatchFile& b) { b.patches[1].messages.push_back(b.patches[2].messages[0]); }, 0},
        {"an empty pattern slot", Kind::Patterns, 0x21, [](PatchFile& b) { b.patches[1] = LibrarianPatch(); }, 1},
        // The entry's kind and model come from its first message the reader takes, not from
        // the entry before, which here has one message and another model.
        {"a broken first message after another model", Kind::Programs, 0x23,
         [&](PatchFile& b) {
             b.patches[0].messages.pop_back();
             b.patches[0].messages[0].bytes[5] = 0x20;
             b.patches[1].messages[0].bytes = broken;
         },
         1},
        // Whole, but a header the reader refuses: written, it would move every later entry up.
        {"a message of no bank's type", Kind::Programs, 0x20,
         [](PatchFile& b) { b.patches[1].messages[0].bytes[7] = 0x60; }, 1},
        {"a message of another maker", Kind::Performances, 0x21,
         [](PatchFile& b) { b.patches[1].messages[1].bytes[2] = 0x21; }, 2},
        {"a status byte inside a message", Kind::Performances, 0x24,
         [](PatchFile& b) { b.patches[1].messages[2].bytes[40] = 0xF7; }, 4},
        {"a program too short to read", Kind::Programs, 0x23,
         [](PatchFile& b) {
             b.patches[1].messages[1].bytes = Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x23, 0x0F, 0x1F, 0x00, 0xF7};
         },
         2},
        // Read, but into an entry of its own.
        {"a performance message in a program entry", Kind::Programs, 0x23,
         [](PatchFile& b) {
             b.patches[1].messages[1].bytes = Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x23, 0x0F, 0x1C, 0x00, 0xF7};
         },
         2},
        {"a message of a one-message model", Kind::Programs, 0x23,
         [](PatchFile& b) { b.patches[1].messages[1].bytes[5] = 0x20; }, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PatchFile whole = readGenerated(c.kind, c.modelByte, 3, 9);
        PatchFile bank = whole;
        c.damage(bank);
        for (bool midi : {false, true}) {
            const PatchFile back = readBank(PatchFileImage::build(bank, midi));
            ASSERT_EQ(back.patches.size(), 3u);
            for (size_t slot : {size_t(0), size_t(2)})
                EXPECT_EQ(bytesOf(back.patches[slot]), bytesOf(bank.patches[slot]));
            const LibrarianPatch& gap = back.patches[1];
            ASSERT_EQ(gap.messages.size(), whole.patches[1].messages.size());
            const LibrarianPatch init = PatchLibrarian::initEntry(int(c.kind), whole.modelCode);
            for (size_t m = 0; m < gap.messages.size(); ++m) {
                const Bytes& want = (c.filled >> m) & 1 ? init.messages[m].bytes : whole.patches[1].messages[m].bytes;
                // The reader gives every message its own device and model bytes.
                EXPECT_TRUE(std::equal(want.begin() + 7, want.end(), gap.messages[m].bytes.begin() + 7, gap.messages[m].bytes.end())) << m;
            }
        }
    }
    // Empty slots after the last entry move nothing: they are left out.
    PatchFile bank = readGenerated(Kind::Programs, 0x20, 3, 9);
    bank.patches.resize(128);
    EXPECT_EQ(PatchFileImage::build(bank, false).size(), 3u * 297);
}

// Each event announces its own message's length (one byte up to 128 bytes, two beyond), whatever
// the length of the message before it: the whole image equals an independently encoded file.
TEST(BankImage, EveryEventCarriesItsOwnLengthAsAnIndependentEncoderWritesIt)
{
    PatchLibrarian lib;
    const struct {
        Kind kind;
        uint8_t modelByte;
        int count;
    } cases[] = {{Kind::Performances, 0x24, 5}, {Kind::Performances, 0x21, 4}, {Kind::Programs, 0x23, 5},
                 {Kind::Patterns, 0x21, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.kind) * 256 + c.modelByte);
        // Short banks gain init entries; the pattern inits carry their name (220 bytes, length 219).
        PatchFile bank = readGenerated(c.kind, c.modelByte, c.count);
        lib.fillUncompletedBankFiles(&bank);
        std::vector<Bytes> messages;
        for (const LibrarianPatch& e : bank.patches)
            for (const PatchSysexMessage& m : e.messages) messages.push_back(Bytes(m.bytes));
        ASSERT_EQ(messages.size(), size_t(bank.patches.size() * bank.patches.front().messages.size()));
        EXPECT_EQ(PatchFileImage::build(bank, true), bankgen::midiFile(messages));
        EXPECT_EQ(PatchFileImage::build(bank, false), bankgen::rawFile(messages));
    }
}

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
    EXPECT_TRUE(dir.list().empty() && lib.singleFiles.empty() && lib.splitBankCount == 1);
}

// Checksums of the init messages as published in the device's init tables (CRC-32 worked out
// from the printed bytes, and for the variants from the bytes they are said to differ in).
TEST(InitData, EveryInitMessageMatchesItsPublishedBytes)
{
    const std::pair<const Bytes&, uint32_t> cases[] = {
        {PatchInitData::programMessage(0), 0x7147df57u},           {PatchInitData::programMessage(1), 0xba926d3au},
        {PatchInitData::programMessage(2), 0xa9fc51ffu},           {PatchInitData::programMessage(3), 0xa9fc51ffu},
        {PatchInitData::programSecondMessage(), 0x5bcfcf3eu},      {PatchInitData::performanceMessage(0), 0x93f1eed2u},
        {PatchInitData::performanceMessage(1), 0xd8b5368du},       {PatchInitData::performanceMessage(2), 0xc279de0bu},
        {PatchInitData::performanceMessage(3), 0xc279de0bu},       {PatchInitData::performanceSecondMessage(1), 0x65b16122u},
        {PatchInitData::performanceSecondMessage(2), 0x622d19ccu}, {PatchInitData::performanceSecondMessage(3), 0x622d19ccu},
        {PatchInitData::performanceThirdMessage(), 0xa80a0d29u},   {PatchInitData::patternMessage(), 0x7308d202u}};
    for (const auto& [message, crc] : cases) EXPECT_EQ(bankgen::crc32(message), crc) << message.size();
}

// Every added entry of every model is the init data itself, byte for byte (one, two or three
// messages by model), with the name and category its first message gives; the read entries stay.
// The init pattern is the reader's stored form of the init dump, but for the device byte, which
// the init data leaves at 00.
TEST(BankFill, EveryModelGainsByteExactInitEntries)
{
    namespace I = PatchInitData;
    Bytes pattern = readBank(bankgen::rawFile({I::patternMessage()})).patches.at(0).messages.at(0).bytes;
    pattern[6] = 0x00;
    const struct {
        Kind kind;
        uint8_t modelByte;
        int count;
        std::vector<Bytes> messages;
        int patchType; // -1: that of the bank's own read entries
    } cases[] = {
        {Kind::Programs, 0x20, 100, {I::programMessage(0)}, 1},
        {Kind::Programs, 0x21, 127, {I::programMessage(1)}, -1},
        {Kind::Programs, 0x22, 100, {I::programMessage(2), I::programSecondMessage()}, 2},
        {Kind::Performances, 0x20, 100, {I::performanceMessage(0)}, -1},
        {Kind::Performances, 0x21, 100, {I::performanceMessage(1), I::performanceSecondMessage(1)}, -1},
        {Kind::Performances, 0x23, 1, {I::performanceMessage(3), I::performanceSecondMessage(3), I::performanceThirdMessage()}, -1},
        {Kind::Patterns, 0x23, 10, {pattern}, 5},
        {Kind::Programs, 0x21, 128, {}, -1},
    };
    PatchLibrarian lib;
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.modelByte));
        const PatchFile before = readGenerated(c.kind, c.modelByte, c.count, 77);
        PatchFile bank = before;
        lib.fillUncompletedBankFiles(&bank);
        ASSERT_EQ(bank.patches.size(), 128u);
        for (int slot = 0; slot < c.count; ++slot) // the read entries stay
            EXPECT_EQ(bank.patches[size_t(slot)].messages.at(0).bytes, before.patches[size_t(slot)].messages.at(0).bytes);
        const std::string name = c.kind == Kind::Programs ? "Init Program    |Soft Lead"
                                 : c.kind == Kind::Patterns ? "Arpeggio********|" : "Init Perf       |";
        for (size_t slot = size_t(c.count); slot < 128; ++slot) {
            const LibrarianPatch& e = bank.patches[slot];
            ASSERT_EQ(e.messages.size(), c.messages.size());
            for (size_t m = 0; m < c.messages.size(); ++m) EXPECT_EQ(e.messages[m].bytes, c.messages[m]) << m;
            EXPECT_EQ(e.name + "|" + e.category, name);
            EXPECT_EQ(e.patchType, c.patchType >= 0 ? c.patchType : bank.patches[0].patchType);
        }
    }
}
