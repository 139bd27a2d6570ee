// Completing short banks with init entries, and the init messages themselves.
#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchInitData.h"
#include "librarian_support.h"

using namespace libtest;

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
        {Kind::Programs, 0x23, 100, {I::programMessage(3), I::programSecondMessage()}, 2},
        {Kind::Performances, 0x20, 100, {I::performanceMessage(0)}, -1},
        {Kind::Performances, 0x21, 100, {I::performanceMessage(1), I::performanceSecondMessage(1)}, -1},
        {Kind::Performances, 0x24, 100, {I::performanceMessage(2), I::performanceSecondMessage(2), I::performanceThirdMessage()}, -1},
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
        PatchFile head = bank;
        head.patches.resize(size_t(c.count));
        expectSameEntries(before, head);
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

// The init tables give the later models model byte 24 and device byte 00, and the reader stores
// device 0F and takes the bank's model from its last message. So a model-3 bank completed with
// init entries, written and read again, keeps its own entries as they were but is labelled with
// model code 2, and its init entries come back with device 0F.
TEST(BankFill, Model3BankCompletedWithInitsReadsBackAsModel2WithDevice0F)
{
    PatchFile bank = readGenerated(Kind::Programs, 0x23, 10, 77);
    ASSERT_EQ(bank.modelCode, 3);
    PatchLibrarian lib;
    lib.fillUncompletedBankFiles(&bank);
    PatchFile again = readBank(PatchFileImage::build(bank, false));
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

TEST(BankFill, BankKindComesFromItsFirstEntryOrElseItsRecordedKind)
{
    const struct {
        uint8_t firstType; // 0: an empty first slot
        int recordedKind;
        const char* added;
        size_t messages;
    } cases[] = {{0x07, kPatchFilePrograms, "Init Perf       ", 3}, {0x1C, kPatchFilePrograms, "Init Perf       ", 3},
                 {0x55, kPatchFilePrograms, "Init Perf       ", 3}, {0, kPatchFilePatterns, "Arpeggio********", 1},
                 {0, kPatchFilePrograms, "Init Program    ", 2}};
    for (const auto& c : cases) {
        PatchFile bank;
        bank.kind = c.recordedKind;
        bank.modelCode = 2;
        bank.patches.resize(2);
        if (c.firstType) {
            bank.patches[0].messages.push_back(PatchSysexMessage{PatchInitData::programMessage(0)});
            bank.patches[0].messages[0].bytes[7] = c.firstType;
        }
        PatchLibrarian lib;
        lib.fillUncompletedBankFiles(&bank);
        ASSERT_EQ(bank.patches.size(), 128u);
        EXPECT_EQ(bank.patches[0].messages.size(), c.firstType ? 1u : 0u);
        EXPECT_EQ(bank.patches[2].name, c.added) << int(c.firstType);
        EXPECT_EQ(bank.patches[2].messages.size(), c.messages);
    }
}
