// Completing short banks with init entries, and the init messages themselves.
#include <gtest/gtest.h>

#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchInitData.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "support/bankgen.h"

using bankgen::Bytes;
using bankgen::Kind;

namespace {

PatchFile readBank(Kind kind, uint8_t modelByte, int count)
{
    bankgen::Bank gen = bankgen::makeBank(kind, modelByte, count, 77);
    Bytes raw = bankgen::rawFile(bankgen::messagesOf(gen));
    PatchLibrarian lib;
    PatchFile bank;
    lib.loadFromChunk(raw.data(), int(raw.size()), &bank, 0);
    return bank;
}

Bytes head(const Bytes& m, size_t n) { return Bytes(m.begin(), m.begin() + static_cast<long>(n)); }

} // namespace

// Checksums of the init messages as published in the device's init tables (CRC-32 worked out
// from the printed bytes, and for the variants from the bytes they are said to differ in).
TEST(InitData, EveryInitMessageMatchesItsPublishedBytes)
{
    EXPECT_EQ(bankgen::crc32(PatchInitData::programMessage(0)), 0x7147df57u);
    EXPECT_EQ(bankgen::crc32(PatchInitData::programMessage(1)), 0xba926d3au);
    EXPECT_EQ(bankgen::crc32(PatchInitData::programMessage(2)), 0xa9fc51ffu);
    EXPECT_EQ(bankgen::crc32(PatchInitData::programMessage(3)), 0xa9fc51ffu);
    EXPECT_EQ(bankgen::crc32(PatchInitData::programSecondMessage()), 0x5bcfcf3eu);
    EXPECT_EQ(bankgen::crc32(PatchInitData::performanceMessage(0)), 0x93f1eed2u);
    EXPECT_EQ(bankgen::crc32(PatchInitData::performanceMessage(1)), 0xd8b5368du);
    EXPECT_EQ(bankgen::crc32(PatchInitData::performanceMessage(2)), 0xc279de0bu);
    EXPECT_EQ(bankgen::crc32(PatchInitData::performanceSecondMessage(1)), 0x65b16122u);
    EXPECT_EQ(bankgen::crc32(PatchInitData::performanceSecondMessage(2)), 0x622d19ccu);
    EXPECT_EQ(bankgen::crc32(PatchInitData::performanceThirdMessage()), 0xa80a0d29u);
    EXPECT_EQ(bankgen::crc32(PatchInitData::patternMessage()), 0x7308d202u);
}

TEST(InitData, InitMessagesHaveTheirSizesHeadersNamesAndF7)
{
    struct Case {
        const Bytes& m;
        size_t size;
        Bytes head;
    } cases[] = {
        {PatchInitData::programMessage(0), 297, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x02, 0x05, 0x00}},
        {PatchInitData::programMessage(1), 297, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x02, 0x05, 0x00}},
        {PatchInitData::programMessage(2), 297, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x02, 0x05, 0x00}},
        {PatchInitData::programSecondMessage(), 99, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x1F, 0x05, 0x00}},
        {PatchInitData::performanceMessage(0), 383, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x07, 0x01, 0x00}},
        {PatchInitData::performanceMessage(1), 383, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x07, 0x01, 0x00}},
        {PatchInitData::performanceMessage(3), 383, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x07, 0x01, 0x00}},
        {PatchInitData::performanceSecondMessage(1), 27, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x1C, 0x01, 0x00}},
        {PatchInitData::performanceSecondMessage(3), 27, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x1C, 0x01, 0x00}},
        {PatchInitData::performanceThirdMessage(), 475, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x00, 0x21, 0x01, 0x00}},
        {PatchInitData::patternMessage(), 204, {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x00, 0x0C, 0x00, 0x00}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.m.size(), c.size);
        EXPECT_EQ(head(c.m, 10), c.head);
        EXPECT_EQ(c.m.back(), 0xF7);
    }
    const Bytes& p0 = PatchInitData::programMessage(0);
    EXPECT_EQ(std::string(p0.begin() + 10, p0.begin() + 26), "Init Program    ");
    EXPECT_EQ(p0[27], 0x02);
    EXPECT_EQ(p0[259], 0x04);
    EXPECT_EQ(PatchInitData::programMessage(2)[259], 0x00);
    const Bytes& f0 = PatchInitData::performanceMessage(0);
    EXPECT_EQ(std::string(f0.begin() + 10, f0.begin() + 26), "Init Perf       ");
    EXPECT_EQ(f0[26], 0x30);
    EXPECT_EQ(PatchInitData::performanceMessage(2)[26], 0x20);
    EXPECT_EQ(f0[27], 0x7F);
}

// Every added entry of every model is the init data itself, byte for byte (one, two or three
// messages by model), with the name and category its first message gives; the read entries stay.
TEST(BankFill, EveryModelGainsByteExactInitEntries)
{
    struct Case {
        Kind kind;
        uint8_t modelByte;
        std::vector<const Bytes*> messages;
        int patchType; // 0: that of the bank's own read entries
    } cases[] = {
        {Kind::Programs, 0x20, {&PatchInitData::programMessage(0)}, 1},
        {Kind::Programs, 0x21, {&PatchInitData::programMessage(1)}, 0},
        {Kind::Programs, 0x22, {&PatchInitData::programMessage(2), &PatchInitData::programSecondMessage()}, 2},
        {Kind::Programs, 0x23, {&PatchInitData::programMessage(3), &PatchInitData::programSecondMessage()}, 2},
        {Kind::Performances, 0x20, {&PatchInitData::performanceMessage(0)}, 0},
        {Kind::Performances, 0x21, {&PatchInitData::performanceMessage(1), &PatchInitData::performanceSecondMessage(1)}, 0},
        {Kind::Performances, 0x24,
         {&PatchInitData::performanceMessage(2), &PatchInitData::performanceSecondMessage(2),
          &PatchInitData::performanceThirdMessage()},
         0},
        {Kind::Performances, 0x23,
         {&PatchInitData::performanceMessage(3), &PatchInitData::performanceSecondMessage(3),
          &PatchInitData::performanceThirdMessage()},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.modelByte));
        const bool programs = c.kind == Kind::Programs;
        PatchFile bank = readBank(c.kind, c.modelByte, 100);
        const LibrarianPatch firstBefore = bank.patches[0];
        PatchLibrarian lib;
        lib.fillUncompletedBankFiles(&bank);
        ASSERT_EQ(bank.patches.size(), 128u);
        EXPECT_EQ(bank.patches[0].messages[0].bytes, firstBefore.messages[0].bytes);
        for (size_t slot = 100; slot < 128; ++slot) {
            const LibrarianPatch& e = bank.patches[slot];
            ASSERT_EQ(e.messages.size(), c.messages.size());
            for (size_t m = 0; m < c.messages.size(); ++m) EXPECT_EQ(e.messages[m].bytes, *c.messages[m]) << m;
            EXPECT_EQ(e.name, programs ? "Init Program    " : "Init Perf       ");
            EXPECT_EQ(e.category, programs ? "Soft Lead" : "");
            EXPECT_EQ(e.patchType, c.patchType ? c.patchType : bank.patches[0].patchType);
        }
    }
    // The model-3 variants are the model-2 ones: model byte 24, device byte 00.
    EXPECT_EQ(PatchInitData::programMessage(3), PatchInitData::programMessage(2));
    EXPECT_EQ(PatchInitData::performanceMessage(3), PatchInitData::performanceMessage(2));
    EXPECT_EQ(PatchInitData::performanceSecondMessage(3), PatchInitData::performanceSecondMessage(2));
}

// The init tables give the later models model byte 24 and device byte 00, and the reader stores
// device 0F and takes the bank's model from its last message. So a model-3 bank completed with
// init entries, written and read again, keeps its own entries as they were but is labelled with
// model code 2, and its init entries come back with device 0F.
TEST(BankFill, Model3BankCompletedWithInitsReadsBackAsModel2WithDevice0F)
{
    PatchFile bank = readBank(Kind::Programs, 0x23, 10);
    ASSERT_EQ(bank.modelCode, 3);
    PatchLibrarian lib;
    lib.fillUncompletedBankFiles(&bank);
    Bytes image = PatchFileImage::build(bank, false);
    PatchFile again;
    lib.loadFromChunk(image.data(), int(image.size()), &again, 0);
    ASSERT_EQ(again.patches.size(), 128u);
    EXPECT_EQ(again.modelCode, 2);
    for (size_t slot = 0; slot < 10; ++slot) {
        EXPECT_EQ(again.patches[slot].messages[0].bytes, bank.patches[slot].messages[0].bytes);
        EXPECT_EQ(again.patches[slot].patchType, 3);
    }
    Bytes init = PatchInitData::programMessage(3);
    init[6] = 0x0F;
    EXPECT_EQ(again.patches[127].messages[0].bytes, init);
    EXPECT_EQ(again.patches[127].patchType, 2);
}

TEST(BankFill, PatternBankGainsNamed220BytePatterns)
{
    PatchFile bank = readBank(Kind::Patterns, 0x23, 10);
    PatchLibrarian lib;
    lib.fillUncompletedBankFiles(&bank);
    ASSERT_EQ(bank.patches.size(), 128u);
    const LibrarianPatch& e = bank.patches[10];
    ASSERT_EQ(e.messages.size(), 1u);
    const Bytes& m = e.messages[0].bytes;
    ASSERT_EQ(m.size(), 220u);
    EXPECT_EQ(std::string(m.begin() + 203, m.begin() + 219), "Arpeggio********");
    EXPECT_EQ(m.back(), 0xF7);
    EXPECT_EQ(m[5], 0x21);
    EXPECT_EQ(e.name, "Arpeggio********");
    EXPECT_EQ(e.patchType, 5);
    // The init pattern is what the reader makes of the 204-byte init dump, but for the device
    // byte, which the init data leaves at 00.
    PatchFile read;
    Bytes dump = PatchInitData::patternMessage();
    Bytes file = bankgen::rawFile({dump, dump});
    lib.loadFromChunk(file.data(), int(file.size()), &read, 0);
    Bytes expected = m;
    expected[6] = 0x0F;
    EXPECT_EQ(m[6], 0x00);
    EXPECT_EQ(read.patches.at(0).messages.at(0).bytes, expected);
}

TEST(BankFill, AnyFirstTypeOtherThanProgramOrPatternGivesPerformances)
{
    for (uint8_t type : {uint8_t(0x07), uint8_t(0x1C), uint8_t(0x55)}) {
        PatchFile bank;
        LibrarianPatch e;
        Bytes m = PatchInitData::programMessage(0);
        m[7] = type;
        e.messages.push_back(PatchSysexMessage{m});
        bank.patches.push_back(e);
        PatchLibrarian lib;
        lib.fillUncompletedBankFiles(&bank);
        EXPECT_EQ(bank.patches[1].name, "Init Perf       ") << int(type);
    }
}

TEST(BankFill, FullBankIsUnchangedAndAShortByOneGainsOne)
{
    PatchFile full = readBank(Kind::Programs, 0x21, 128);
    PatchFile copy = full;
    PatchLibrarian lib;
    lib.fillUncompletedBankFiles(&full);
    ASSERT_EQ(full.patches.size(), 128u);
    EXPECT_EQ(full.patches[127].name, copy.patches[127].name);
    PatchFile almost = readBank(Kind::Programs, 0x21, 127);
    lib.fillUncompletedBankFiles(&almost);
    ASSERT_EQ(almost.patches.size(), 128u);
    EXPECT_EQ(almost.patches[127].name, "Init Program    ");
    EXPECT_EQ(almost.patches[127].messages[0].bytes, PatchInitData::programMessage(1));
}

TEST(BankFill, BankStartingWithAnEmptySlotIsFilledByItsRecordedKind)
{
    PatchFile bank;
    bank.kind = kPatchFilePatterns;
    bank.patches.resize(2);
    PatchLibrarian lib;
    lib.fillUncompletedBankFiles(&bank);
    ASSERT_EQ(bank.patches.size(), 128u);
    EXPECT_TRUE(bank.patches[0].messages.empty());
    EXPECT_EQ(bank.patches[2].name, "Arpeggio********");

    PatchFile none;
    none.kind = kPatchFilePrograms;
    none.modelCode = 2;
    lib.fillUncompletedBankFiles(&none);
    ASSERT_EQ(none.patches.size(), 128u);
    EXPECT_EQ(none.patches[0].messages.size(), 2u);
}
