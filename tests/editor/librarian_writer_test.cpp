// Writing bank files: the Standard MIDI File and raw layouts, round trips, splitting a large
// bank into files of 128, and what a failed write leaves behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "Project_Source/src/PatchFileImage.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "support/bankgen.h"

using bankgen::Bytes;
using bankgen::Kind;

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

PatchFile readBytes(const Bytes& file)
{
    PatchLibrarian lib;
    PatchFile bank;
    lib.loadFromChunk(file.data(), static_cast<int>(file.size()), &bank, 0);
    return bank;
}

// What the reader makes of a generated raw bank.
PatchFile readGenerated(Kind kind, uint8_t modelByte, int count, uint32_t seed)
{
    return readBytes(bankgen::rawFile(bankgen::messagesOf(bankgen::makeBank(kind, modelByte, count, seed))));
}

void expectSameEntries(const PatchFile& a, const PatchFile& b)
{
    ASSERT_EQ(a.patches.size(), b.patches.size());
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.modelCode, b.modelCode);
    for (size_t i = 0; i < a.patches.size(); ++i) {
        EXPECT_EQ(a.patches[i].name, b.patches[i].name) << i;
        EXPECT_EQ(a.patches[i].category, b.patches[i].category) << i;
        EXPECT_EQ(a.patches[i].patchType, b.patches[i].patchType) << i;
        ASSERT_EQ(a.patches[i].messages.size(), b.patches[i].messages.size()) << i;
        for (size_t m = 0; m < a.patches[i].messages.size(); ++m)
            EXPECT_EQ(a.patches[i].messages[m].bytes, b.patches[i].messages[m].bytes) << i;
    }
}

} // namespace

struct TrackCase {
    Kind kind;
    uint8_t modelByte;
    uint32_t trackLength;
    Bytes firstEvent;
};
class StandardBankTrackLength : public ::testing::TestWithParam<TrackCase> {};

// Header, tempo track, the SysEx track's length and first event, and End of Track after the last F7.
TEST_P(StandardBankTrackLength, MatchesTheLengthOfAFullBankOfStandardDumps)
{
    const TrackCase& c = GetParam();
    Bytes image = PatchFileImage::build(bankOfDumps(c.kind, c.modelByte, 128), true);
    const Bytes head = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 0x13};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), image.begin()));
    EXPECT_EQ(bankgen::readBig32(image, 45), c.trackLength);
    EXPECT_EQ(image.size(), 49u + c.trackLength);
    EXPECT_EQ(Bytes(image.begin() + 49, image.begin() + 53), c.firstEvent);
    EXPECT_EQ(Bytes(image.end() - 5, image.end()), (Bytes{0xF7, 0x00, 0xFF, 0x2F, 0x00}));
}

INSTANTIATE_TEST_SUITE_P(
    Templates, StandardBankTrackLength,
    ::testing::Values(TrackCase{Kind::Patterns, 0x21, 0x6803, {0x00, 0xF0, 0x81, 0x4B}},
                      TrackCase{Kind::Performances, 0x20, 0xC183, {0x00, 0xF0, 0x82, 0x7E}},
                      TrackCase{Kind::Performances, 0x21, 0xD083, {0x00, 0xF0, 0x82, 0x7E}},
                      TrackCase{Kind::Performances, 0x24, 0x1C003, {0x00, 0xF0, 0x82, 0x7E}},
                      // 38580 bytes in all
                      TrackCase{Kind::Programs, 0x20, 0x9683, {0x00, 0xF0, 0x82, 0x28}},
                      TrackCase{Kind::Programs, 0x21, 0x9683, {0x00, 0xF0, 0x82, 0x28}},
                      TrackCase{Kind::Programs, 0x24, 0xC983, {0x00, 0xF0, 0x82, 0x28}},
                      TrackCase{Kind::Programs, 0x23, 0xC983, {0x00, 0xF0, 0x82, 0x28}}));

TEST(BankImage, EventHeadersBetweenDumpsCarryTheNextDumpsLength)
{
    Bytes image = PatchFileImage::build(bankOfDumps(Kind::Performances, 0x24, 1), true);
    // 383, then 27, then 475 bytes: lengths 82 7E, 1A, 83 5A.
    ASSERT_EQ(image.size(), 49u + 4 + 382 + 3 + 1 + 26 + 3 + 2 + 474 + 4);
    size_t second = 49 + 4 + 382;
    EXPECT_EQ(Bytes(image.begin() + second, image.begin() + second + 4), (Bytes{0x83, 0x74, 0xF0, 0x1A}));
    size_t third = second + 4 + 26;
    EXPECT_EQ(Bytes(image.begin() + third, image.begin() + third + 5), (Bytes{0x83, 0x74, 0xF0, 0x83, 0x5A}));
}

TEST(BankImage, RawPerformanceBankOfModel2Or3Is113280Bytes)
{
    EXPECT_EQ(PatchFileImage::build(bankOfDumps(Kind::Performances, 0x24, 128), false).size(), 113280u);
    EXPECT_EQ(PatchFileImage::build(bankOfDumps(Kind::Performances, 0x23, 128), false).size(), 113280u);
}

TEST(BankImage, PatternOf220BytesIsAnnouncedWithLength219)
{
    Bytes dump = bankgen::makeDump(Kind::Patterns, 0x21, 0, "", 0, 1);
    PatchFile bank = readBytes(bankgen::rawFile({dump, dump}));
    Bytes image = PatchFileImage::build(bank, true);
    EXPECT_EQ(Bytes(image.begin() + 49, image.begin() + 53), (Bytes{0x00, 0xF0, 0x81, 0x5B}));
    size_t second = 53 + 219;
    EXPECT_EQ(Bytes(image.begin() + second, image.begin() + second + 5), (Bytes{0x83, 0x74, 0xF0, 0x81, 0x5B}));
}

TEST(BankImage, EmptyBankIsATrackOfOnlyEndOfTrack)
{
    PatchFile empty;
    empty.patches.resize(128);
    Bytes image = PatchFileImage::build(empty, true);
    ASSERT_EQ(image.size(), 53u);
    EXPECT_EQ(bankgen::readBig32(image, 45), 4u);
    EXPECT_TRUE(PatchFileImage::build(empty, false).empty());
}

TEST(BankImage, SlotsWithoutWholeMessagesContributeNothing)
{
    PatchFile bank = bankOfDumps(Kind::Programs, 0x20, 3);
    bank.patches.insert(bank.patches.begin() + 1, LibrarianPatch());
    LibrarianPatch broken;
    broken.messages.push_back(PatchSysexMessage{Bytes{0xF0, 0x00, 0x20}});
    bank.patches.push_back(broken);
    EXPECT_EQ(PatchFileImage::build(bank, false).size(), 3u * 297);
    EXPECT_EQ(PatchFileImage::build(bank, true).size(), 49u + 300 + 2 * 301 + 4);
}

TEST(BankImage, VariableLengthNumbersMatchAnIndependentEncoding)
{
    for (uint32_t v : {0u, 1u, 127u, 128u, 219u, 296u, 16383u, 16384u, 2097151u, 2097152u, 0x0FFFFFFFu}) {
        Bytes mine;
        PatchFileImage::appendVariableLength(mine, v);
        EXPECT_EQ(mine, bankgen::varLen(v)) << v;
    }
    Bytes two;
    PatchFileImage::appendVariableLength(two, 128);
    EXPECT_EQ(two, (Bytes{0x81, 0x00}));
}

class RoundTrip : public ::testing::TestWithParam<bankgen::KindModel> {};

TEST_P(RoundTrip, FullBankWrittenThenReadGivesTheSameEntriesAndTheSameBytes)
{
    const bankgen::KindModel& c = GetParam();
    PatchFile first = readGenerated(c.kind, c.modelByte, 128, 31);
    ASSERT_EQ(first.patches.size(), 128u);
    for (bool midi : {false, true}) {
        Bytes image = PatchFileImage::build(first, midi);
        PatchFile again = readBytes(image);
        expectSameEntries(first, again);
        EXPECT_EQ(PatchFileImage::build(again, midi), image);
    }
}

TEST_P(RoundTrip, FilledBankKeepsItsReadEntriesAndSettlesAfterOneRead)
{
    const bankgen::KindModel& c = GetParam();
    PatchLibrarian lib;
    PatchFile first = readGenerated(c.kind, c.modelByte, 37, 32);
    lib.fillUncompletedBankFiles(&first);
    for (bool midi : {false, true}) {
        PatchFile second = readBytes(PatchFileImage::build(first, midi));
        ASSERT_EQ(second.patches.size(), 128u);
        for (size_t slot = 0; slot < 128; ++slot) {
            ASSERT_EQ(second.patches[slot].messages.size(), first.patches[slot].messages.size());
            for (size_t m = 0; m < first.patches[slot].messages.size(); ++m) {
                Bytes expected = first.patches[slot].messages[m].bytes;
                // Init data of the later models carries device 00; the stored form always has 0F.
                if (slot >= 37) expected[6] = 0x0F;
                EXPECT_EQ(second.patches[slot].messages[m].bytes, expected) << slot;
            }
            EXPECT_EQ(second.patches[slot].name, first.patches[slot].name);
        }
        Bytes secondImage = PatchFileImage::build(second, midi);
        EXPECT_EQ(PatchFileImage::build(readBytes(secondImage), midi), secondImage);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKindAndModel, RoundTrip, ::testing::ValuesIn(bankgen::kEveryKindAndModel));

TEST(BankSplit, ThreeHundredProgramsBecomeThreeNumberedFilesTheLastFilledWithInits)
{
    bankgen::TempDir dir;
    PatchFile source = readGenerated(Kind::Programs, 0x20, 300, 41);
    PatchLibrarian lib;
    ASSERT_EQ(source.patches.size(), 300u);
    const std::string sourcePath = dir.path + "/Big Bank.syx";
    int calls = 0;
    for (int b = -1; b < lib.splitBankCount; ++b, ++calls) {
        EXPECT_EQ(lib.createNewPatchFile(&source, "Patches", "Big Bank.syx", "syx", sourcePath, 0, b,
                                         false, false, false, false),
                  PatchLibrarian::SplitResult::Written);
        EXPECT_EQ(lib.splitBankCount, 2);
    }
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"Big Bank Singles 1.syx", "Big Bank Singles 2.syx",
                                                    "Big Bank Singles 3.syx"}));
    ASSERT_EQ(lib.singleFiles.size(), 3u);
    for (int n = 0; n < 3; ++n) {
        PatchFile bank = readBytes(bankgen::readFile(dir.path + "/Big Bank Singles " + std::to_string(n + 1) + ".syx"));
        ASSERT_EQ(bank.patches.size(), 128u);
        for (int slot = 0; slot < 128; ++slot) {
            int from = n * 128 + slot;
            const LibrarianPatch& e = bank.patches[slot];
            if (from < 300) {
                EXPECT_EQ(e.messages.at(0).bytes, source.patches[from].messages[0].bytes);
            } else {
                EXPECT_EQ(e.name, "Init Program    ");
                EXPECT_EQ(e.category, "Soft Lead");
            }
        }
        EXPECT_EQ(lib.singleFiles[n]->fileName, "Big Bank Singles " + std::to_string(n + 1) + ".syx");
        EXPECT_EQ(lib.singleFiles[n]->patches.size(), 128u);
    }
}

TEST(BankSplit, ExactlyOneBankWritesNothingForTheSecond)
{
    bankgen::TempDir dir;
    PatchFile source = readGenerated(Kind::Programs, 0x21, 128, 5);
    PatchLibrarian lib;
    EXPECT_EQ(lib.createNewPatchFile(&source, "Patches", "One.mid", "mid", dir.path + "/One.mid", 0, 0,
                                     true, false, false, false),
              PatchLibrarian::SplitResult::Nothing);
    EXPECT_TRUE(dir.list().empty());
    EXPECT_TRUE(lib.singleFiles.empty());
    EXPECT_EQ(lib.splitBankCount, 1);
}

// The first performance or pattern bank carries no number, the later ones 2, 3 and so on.
TEST(BankSplit, MixedFileSplitsEachKindIntoItsOwnNumberedBanks)
{
    bankgen::TempDir dir;
    std::vector<Bytes> messages = bankgen::messagesOf(bankgen::makeBank(Kind::Performances, 0x20, 300, 2));
    std::vector<Bytes> programs = bankgen::messagesOf(bankgen::makeBank(Kind::Programs, 0x20, 10, 3));
    messages.insert(messages.end(), programs.begin(), programs.end());
    PatchFile source = readBytes(bankgen::rawFile(messages));
    ASSERT_EQ(source.patches.size(), 310u);
    PatchLibrarian lib;
    const std::string path = dir.path + "/Mix.qor";
    for (bool multi : {false, true}) {
        lib.splitBankCount = 0;
        for (int b = -1; b < lib.splitBankCount; ++b)
            lib.createNewPatchFile(&source, "Patches", "Mix.qor", "qor", path, 0, b, false, multi, false, false);
    }
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"Mix Multis 2.qor", "Mix Multis 3.qor", "Mix Multis.qor",
                                                    "Mix Singles 1.qor"}));
    EXPECT_EQ(lib.multiFiles.size(), 3u);
    EXPECT_EQ(lib.singleFiles.size(), 1u);
    PatchFile singles = readBytes(bankgen::readFile(dir.path + "/Mix Singles 1.qor"));
    EXPECT_EQ(singles.kind, kPatchFilePrograms);
    EXPECT_EQ(singles.patches.size(), 128u);
}

TEST(BankSplit, FailedWriteIsLoggedListsNothingAndLeavesNoFile)
{
    bankgen::TempDir dir;
    PatchFile source = readGenerated(Kind::Programs, 0x20, 200, 8);
    PatchLibrarian lib;
    lib.logEnabled = true;
    lib.logFilePath = dir.path + "/log.txt";
    bankgen::writeFile(lib.logFilePath, Bytes{});
    PatchLibrarian::SplitResult result;
    {
        bankgen::FileSizeLimit limit(8192);
        result = lib.createNewPatchFile(&source, "Patches", "Big.syx", "syx", dir.path + "/Big.syx", 0, -1,
                                        false, false, false, false);
    }
    EXPECT_EQ(result, PatchLibrarian::SplitResult::Failed);
    EXPECT_TRUE(lib.singleFiles.empty());
    EXPECT_EQ(dir.list(), std::vector<std::string>{"log.txt"});
    EXPECT_TRUE(bankgen::hasLineStarting(bankgen::logTexts(lib.logFilePath),
                                         "PATCH LIBRARIAN: could not write bank file " + dir.path + "/Big Singles 1.syx"));
}
