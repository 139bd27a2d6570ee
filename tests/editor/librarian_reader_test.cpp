// Reading bank files: raw SysEx and Standard MIDI Files, every kind and model, damaged files.
#include <gtest/gtest.h>

#include "Project_Source/src/PatchLibrarian.h"
#include "kit/plugin/IPluginStructs.h"
#include "support/bankgen.h"

using bankgen::Bytes;
using bankgen::Kind;

namespace {

PatchFile readBytes(const Bytes& file, PatchLibrarian* lib = nullptr)
{
    PatchLibrarian local;
    PatchLibrarian& l = lib ? *lib : local;
    PatchFile bank;
    l.loadFromChunk(file.data(), static_cast<int>(file.size()), &bank, 0);
    return bank;
}

std::string cleanName(const std::string& raw)
{
    std::string out;
    for (size_t i = 0; i < 16; ++i) {
        unsigned char c = i < raw.size() ? static_cast<unsigned char>(raw[i]) : ' ';
        out.push_back(c < 0x20 ? ' ' : static_cast<char>(c));
    }
    return out;
}

const char* kCategories[20] = {"Bass", "Hard Bass", "Soft Lead", "Hard Lead", "Porta Lead",
                               "Arpeggio", "Motion", "Bell", "Pad", "Strings", "Keyboard", "SFX",
                               "Drums", "Pianos", "Organ", "User 1", "User 2", "User 3", "User 4",
                               "User 5"};

// Checks every entry of a bank read from gen against what the device's dumps must become.
void expectBankMatches(const PatchFile& bank, const bankgen::Bank& gen)
{
    int code = bankgen::modelCodeOf(gen.modelByte);
    ASSERT_EQ(bank.modelCode, code);
    ASSERT_EQ(bank.patches.size(), gen.entries.size());
    for (size_t slot = 0; slot < gen.entries.size(); ++slot) {
        const LibrarianPatch& e = bank.patches[slot];
        ASSERT_EQ(e.messages.size(), gen.entries[slot].size()) << "slot " << slot;
        for (size_t m = 0; m < e.messages.size(); ++m)
            EXPECT_EQ(e.messages[m].bytes, bankgen::expectedStored(gen.entries[slot][m], gen.kind, code, int(m)))
                << "slot " << slot << " message " << m;
        if (gen.kind == Kind::Programs) {
            EXPECT_EQ(e.patchType, code);
            EXPECT_EQ(e.name, cleanName(gen.names[slot]));
            EXPECT_EQ(e.category, gen.categories[slot] < 20 ? kCategories[gen.categories[slot]] : "");
        } else if (gen.kind == Kind::Performances) {
            EXPECT_EQ(e.patchType, 6 + code);
            EXPECT_EQ(e.name, cleanName(gen.names[slot]));
            EXPECT_EQ(e.category, "");
        } else {
            EXPECT_EQ(e.name, "Arpeggio********");
        }
    }
}

// Appends one SysEx event of a MIDI track: delta time, status (F0 or F7), length, data.
void appendEvent(Bytes& events, const Bytes& delta, uint8_t status, Bytes::const_iterator from,
                 Bytes::const_iterator to)
{
    events.insert(events.end(), delta.begin(), delta.end());
    events.push_back(status);
    Bytes len = bankgen::varLen(static_cast<uint32_t>(to - from));
    events.insert(events.end(), len.begin(), len.end());
    events.insert(events.end(), from, to);
}

} // namespace

TEST(BankReader, RawBankOf128ProgramsOfModel21GivesNamedCategorisedEntries)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x21, 128, 7);
    PatchFile bank = readBytes(bankgen::rawFile(bankgen::messagesOf(gen)));
    EXPECT_EQ(bank.kind, kPatchFilePrograms);
    expectBankMatches(bank, gen);
    const Bytes head = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x0F, 0x02};
    for (const LibrarianPatch& e : bank.patches) {
        ASSERT_EQ(e.messages.size(), 1u);
        EXPECT_TRUE(std::equal(head.begin(), head.end(), e.messages[0].bytes.begin()));
        EXPECT_EQ(e.name.size(), 16u);
    }
    // Slot 3 carries a control character in its name: shown and stored as a blank.
    EXPECT_EQ(bank.patches[3].name[11], ' ');
    EXPECT_EQ(bank.patches[3].messages[0].bytes[21], 0x20);
}

TEST(BankReader, ProgramsOfModel22AreStoredAsModel24InPairs)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x22, 10, 3);
    PatchFile bank = readBytes(bankgen::rawFile(bankgen::messagesOf(gen)));
    EXPECT_EQ(bank.modelCode, 2);
    expectBankMatches(bank, gen);
    for (const LibrarianPatch& e : bank.patches) {
        EXPECT_EQ(e.messages[0].bytes[5], 0x24);
        EXPECT_EQ(e.messages[0].bytes[7], 0x02);
        EXPECT_EQ(e.messages[1].bytes[7], 0x1F);
        EXPECT_EQ(e.messages[1].bytes.size(), 99u);
    }
}

class EveryKindAndModel : public ::testing::TestWithParam<bankgen::KindModel> {};

TEST_P(EveryKindAndModel, RawFileAndMidiTwinReadToTheSameEntries)
{
    bankgen::Bank gen = bankgen::makeBank(GetParam().kind, GetParam().modelByte, 128, 11);
    std::vector<Bytes> messages = bankgen::messagesOf(gen);
    PatchFile raw = readBytes(bankgen::rawFile(messages));
    PatchFile mid = readBytes(bankgen::midiFile(messages));
    expectBankMatches(raw, gen);
    expectBankMatches(mid, gen);
    EXPECT_EQ(raw.kind, int(GetParam().kind));
    EXPECT_EQ(mid.kind, raw.kind);
}

TEST_P(EveryKindAndModel, MetaEventsOtherTracksAndUnknownChunksAreSkipped)
{
    bankgen::Bank gen = bankgen::makeBank(GetParam().kind, GetParam().modelByte, 20, 5);
    bankgen::MidiOptions options;
    options.metaEventsBetween = true;
    options.extraTrack = true;
    options.unknownChunk = true;
    options.laterDelta = 0;
    expectBankMatches(readBytes(bankgen::midiFile(bankgen::messagesOf(gen), options)), gen);
}

TEST_P(EveryKindAndModel, JunkBetweenMessagesIsSkipped)
{
    bankgen::Bank gen = bankgen::makeBank(GetParam().kind, GetParam().modelByte, 30, 9);
    expectBankMatches(readBytes(bankgen::withJunkBetween(bankgen::messagesOf(gen), 2)), gen);
}

INSTANTIATE_TEST_SUITE_P(Banks, EveryKindAndModel, ::testing::ValuesIn(bankgen::kEveryKindAndModel));

TEST(BankReader, PatternDumpOf204BytesIsStoredAs220WithItsAppendedName)
{
    Bytes dump = bankgen::makeDump(Kind::Patterns, 0x21, 0, "", 0, 1);
    PatchFile bank = readBytes(bankgen::rawFile({dump, dump}));
    ASSERT_EQ(bank.patches.size(), 2u);
    const Bytes& stored = bank.patches[1].messages.at(0).bytes;
    ASSERT_EQ(stored.size(), 220u);
    EXPECT_EQ(std::string(stored.begin() + 203, stored.begin() + 219), "Arpeggio********");
    EXPECT_EQ(stored.back(), 0xF7);
    EXPECT_EQ(bank.patches[1].name, "Arpeggio********");
    EXPECT_EQ(bank.kind, kPatchFilePatterns);
}

TEST(BankReader, PatternOfType22LosesTheByteAfterItsTypeAndIsStoredAsType0C)
{
    bankgen::DumpOptions o;
    o.type = 0x22;
    o.size = 205;
    Bytes dump = bankgen::makeDump(Kind::Patterns, 0x20, 0, "", 0, 4, o);
    PatchFile bank = readBytes(bankgen::rawFile({dump}));
    ASSERT_EQ(bank.patches.size(), 1u);
    const Bytes& stored = bank.patches[0].messages.at(0).bytes;
    EXPECT_EQ(stored.size(), 220u);
    EXPECT_EQ(stored[7], 0x0C);
    EXPECT_TRUE(std::equal(dump.begin() + 9, dump.end() - 1, stored.begin() + 8));
}

TEST(BankReader, PatternShorterThanAFullDumpTakesItsNameWithoutReadingPastTheMessage)
{
    bankgen::DumpOptions o;
    o.size = 195; // 194 bytes before F7: the stored form is 211 bytes, its name field runs short
    Bytes dump = bankgen::makeDump(Kind::Patterns, 0x20, 0, "", 0, 8, o);
    PatchFile bank = readBytes(bankgen::rawFile({dump}));
    ASSERT_EQ(bank.patches.size(), 1u);
    EXPECT_EQ(bank.patches[0].messages[0].bytes.size(), 211u);
    EXPECT_EQ(bank.patches[0].name, std::string(7, '*') + std::string(9, ' '));
}

TEST(BankReader, MidiHeaderIsPassedOverAndGivesTheRawEntries)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 3, 2);
    Bytes raw = bankgen::rawFile(bankgen::messagesOf(gen));
    // A bare header chunk in front of raw messages: reading starts behind it.
    Bytes withHeader = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0x60};
    withHeader.insert(withHeader.end(), raw.begin(), raw.end());
    expectBankMatches(readBytes(withHeader), gen);
}

struct NearMissCase {
    int field;
    uint8_t value;
};
class NearMissHeader : public ::testing::TestWithParam<NearMissCase> {};

TEST_P(NearMissHeader, MessageIsSkippedAndTheNextTakesItsEntryNumber)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 4, 21);
    std::vector<Bytes> messages = bankgen::messagesOf(gen);
    Bytes bad = bankgen::nearMiss(messages[1], GetParam().field, GetParam().value);
    PatchFile bank = readBytes(bankgen::rawFile({messages[0], bad, messages[2], messages[3]}));
    ASSERT_EQ(bank.patches.size(), 3u);
    EXPECT_EQ(bank.patches[0].name, cleanName(gen.names[0]));
    EXPECT_EQ(bank.patches[1].name, cleanName(gen.names[2]));
    EXPECT_EQ(bank.patches[2].name, cleanName(gen.names[3]));
}

INSTANTIATE_TEST_SUITE_P(Headers, NearMissHeader,
                         ::testing::Values(NearMissCase{2, 0x21}, NearMissCase{3, 0x28},
                                           NearMissCase{4, 0x10}, NearMissCase{5, 0x25},
                                           NearMissCase{5, 0x1F}, NearMissCase{6, 0x80},
                                           NearMissCase{7, 0x01}, NearMissCase{7, 0x7F}));

TEST(BankReader, KindAndModelFollowTheLastValidMessage)
{
    Bytes prog = bankgen::makeDump(Kind::Programs, 0x21, 0, "Prog", 1, 1);
    Bytes perf = bankgen::makeDump(Kind::Performances, 0x20, 0, "Perf", 0, 2);
    PatchFile bank = readBytes(bankgen::rawFile({prog, perf}));
    EXPECT_EQ(bank.kind, kPatchFilePerformances);
    EXPECT_EQ(bank.modelCode, 0);
    ASSERT_EQ(bank.patches.size(), 2u);
    EXPECT_EQ(bank.patches[1].patchType, 6);
    // A later message with a valid model but a bad type still sets the model code.
    Bytes badType = bankgen::nearMiss(bankgen::makeDump(Kind::Programs, 0x23, 0, "x", 0, 3), 7, 0x01);
    PatchFile bank2 = readBytes(bankgen::rawFile({prog, badType}));
    EXPECT_EQ(bank2.modelCode, 3);
    EXPECT_EQ(bank2.kind, kPatchFilePrograms);
}

TEST(BankReader, FileShorterThan15BytesGivesNoEntriesAndNoCategories)
{
    PatchLibrarian lib;
    Bytes tiny = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0xF7};
    PatchFile bank = readBytes(tiny, &lib);
    EXPECT_TRUE(bank.patches.empty());
    EXPECT_TRUE(lib.categoryNames.empty());
}

TEST(BankReader, MessageWithoutF7IsDroppedAndTheFollowingEntriesKeepTheirSlots)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 5, 13);
    PatchFile bank = readBytes(bankgen::withoutF7(bankgen::messagesOf(gen), 2));
    ASSERT_EQ(bank.patches.size(), 5u);
    EXPECT_TRUE(bank.patches[2].messages.empty());
    EXPECT_TRUE(bank.patches[2].name.empty());
    for (int slot : {0, 1, 3, 4}) {
        ASSERT_EQ(bank.patches[slot].messages.size(), 1u);
        EXPECT_EQ(bank.patches[slot].messages[0].bytes,
                  bankgen::expectedStored(gen.entries[slot][0], Kind::Programs, 0, 0));
    }
}

TEST(BankReader, TruncatedLastMessageIsDroppedAndEarlierEntriesStay)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Performances, 0x21, 4, 17);
    Bytes full = bankgen::rawFile(bankgen::messagesOf(gen));
    // Keep 1 to 26 bytes of the last 27-byte message: cut inside its header, inside its body,
    // and just before its F7. Nothing beyond the data is read, and the cut message is dropped.
    for (size_t keep = 1; keep < 27; ++keep) {
        PatchFile bank = readBytes(bankgen::truncatedLast(full, 27 - keep));
        ASSERT_EQ(bank.patches.size(), 4u) << "keep " << keep;
        for (int slot = 0; slot < 3; ++slot) EXPECT_EQ(bank.patches[slot].messages.size(), 2u);
        EXPECT_EQ(bank.patches[3].messages.size(), 1u) << "keep " << keep;
    }
    // A cut inside the last entry's first message leaves that entry out altogether.
    EXPECT_EQ(readBytes(bankgen::truncatedLast(full, 100)).patches.size(), 3u);
}

class SplitPackets : public ::testing::TestWithParam<uint32_t> {};

// The delta time between packets does not matter: with none, the next packet's 00 F7 looks like
// the end of the dump, and the dump must still come back whole.
TEST_P(SplitPackets, DumpsSentAsTwoPacketsReadLikeTheRawFile)
{
    for (auto [kind, model] : {std::pair<Kind, uint8_t>{Kind::Programs, 0x20}, {Kind::Programs, 0x22},
                               {Kind::Performances, 0x23}, {Kind::Patterns, 0x21}}) {
        bankgen::Bank gen = bankgen::makeBank(kind, model, 6, 19);
        bankgen::MidiOptions o;
        o.splitPackets = true;
        o.laterDelta = GetParam();
        PatchFile bank = readBytes(bankgen::midiFile(bankgen::messagesOf(gen), o));
        expectBankMatches(bank, gen);
    }
}

INSTANTIATE_TEST_SUITE_P(DeltaTimes, SplitPackets, ::testing::Values(0u, 1u, 500u, 20000u));

TEST(BankReader, DumpSentAsThreePacketsIsPutBackTogether)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x21, 2, 23);
    const Bytes& m = gen.entries[0][0];
    const Bytes& second = gen.entries[1][0];
    // F0 event with bytes 1..99, then two escape events with 100..199 and 200..end (F7 last).
    Bytes events;
    appendEvent(events, {0x00}, 0xF0, m.begin() + 1, m.begin() + 100);
    appendEvent(events, {0x00}, 0xF7, m.begin() + 100, m.begin() + 200);
    appendEvent(events, {0x00}, 0xF7, m.begin() + 200, m.end());
    appendEvent(events, {0x83, 0x74}, 0xF0, second.begin() + 1, second.end());
    expectBankMatches(readBytes(events), gen);
}

TEST(BankReader, SplitDumpWhoseRestIsMissingIsDroppedAndLaterEntriesKeepTheirSlots)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 3, 29);
    const Bytes &first = gen.entries[0][0], &cut = gen.entries[1][0], &third = gen.entries[2][0];
    Bytes events;
    appendEvent(events, {0x00}, 0xF0, first.begin() + 1, first.end());
    // The first packet of dump 1 announces 150 bytes (81 16) without an F7; no escape event
    // follows, only the next dump.
    appendEvent(events, {0x83, 0x74}, 0xF0, cut.begin() + 1, cut.begin() + 151);
    appendEvent(events, {0x83, 0x74}, 0xF0, third.begin() + 1, third.end());
    PatchFile bank = readBytes(events);
    ASSERT_EQ(bank.patches.size(), 3u);
    EXPECT_TRUE(bank.patches[1].messages.empty());
    for (int slot : {0, 2}) {
        ASSERT_EQ(bank.patches[slot].messages.size(), 1u) << slot;
        EXPECT_EQ(bank.patches[slot].messages[0].bytes,
                  bankgen::expectedStored(gen.entries[slot][0], Kind::Programs, 0, 0));
    }
}

TEST(BankReader, SplitDumpCutOffInsideItsLastPacketIsDroppedWithoutReadingPastTheData)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 2, 31);
    bankgen::MidiOptions o;
    o.splitPackets = true;
    o.laterDelta = 0;
    Bytes file = bankgen::midiFile(bankgen::messagesOf(gen), o);
    // Drop the End of Track and the last 40 bytes of the second dump's rest.
    Bytes cut(file.begin(), file.end() - 44);
    PatchFile bank = readBytes(cut);
    ASSERT_EQ(bank.patches.size(), 1u);
    EXPECT_EQ(bank.patches[0].messages[0].bytes,
              bankgen::expectedStored(gen.entries[0][0], Kind::Programs, 0, 0));
}

// A dump of 129, 257 or 385 bytes is announced in a MIDI file with a length whose last byte is 00
// (81 00, 82 00, 83 00), directly before the dump's own 00. That 00 is no header, but the dump's
// 00 right after it still opens the dump.
TEST(BankReader, DumpWhoseMidiLengthEndsInZeroIsStillFound)
{
    for (size_t size : {129u, 257u, 385u}) {
        bankgen::DumpOptions o;
        o.size = size;
        Bytes a = bankgen::makeDump(Kind::Programs, 0x20, 0, "First", 1, 41);
        Bytes b = bankgen::makeDump(Kind::Programs, 0x20, 0, "Odd size", 2, 42, o);
        Bytes c = bankgen::makeDump(Kind::Programs, 0x20, 0, "Third", 3, 43);
        Bytes file = bankgen::midiFile({a, b, c});
        PatchFile bank = readBytes(file);
        ASSERT_EQ(bank.patches.size(), 3u) << size;
        const Bytes* dumps[3] = {&a, &b, &c};
        for (int slot = 0; slot < 3; ++slot) {
            ASSERT_EQ(bank.patches[slot].messages.size(), 1u) << size << " slot " << slot;
            EXPECT_EQ(bank.patches[slot].messages[0].bytes, bankgen::expectedStored(*dumps[slot], Kind::Programs, 0, 0));
        }
        // The same holds for the first event of the track.
        PatchFile first = readBytes(bankgen::midiFile({b, c}));
        ASSERT_EQ(first.patches.size(), 2u) << size;
        EXPECT_EQ(first.patches[0].messages.at(0).bytes, bankgen::expectedStored(b, Kind::Programs, 0, 0));
    }
    // A header cut off where its model byte should be, followed at once by a dump without its
    // F0: the 00 in the model byte's place opens that dump.
    Bytes c = bankgen::makeDump(Kind::Programs, 0x21, 0, "Third", 3, 43);
    Bytes junk = {0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
                  0x00, 0x20, 0x29, 0x01};
    junk.insert(junk.end(), c.begin() + 1, c.end());
    PatchFile bank = readBytes(junk);
    ASSERT_EQ(bank.patches.size(), 1u);
    EXPECT_EQ(bank.patches[0].messages[0].bytes, bankgen::expectedStored(c, Kind::Programs, 1, 0));
}

// A program of 24 bytes or fewer is dropped and its slot stays empty; one of 25 or 26 bytes is
// kept but is too short to hold a name (bytes 10..25) or category (byte 27).
TEST(BankReader, ProgramTooShortIsDroppedOrKeptWithoutNameAndCategory)
{
    for (size_t size : {20u, 24u, 25u, 26u}) {
        SCOPED_TRACE(size);
        bankgen::DumpOptions o;
        o.size = size;
        Bytes a = bankgen::makeDump(Kind::Programs, 0x20, 0, "A", 0, 1);
        Bytes shortOne = bankgen::makeDump(Kind::Programs, 0x20, 0, "Short", 3, 2, o);
        Bytes c = bankgen::makeDump(Kind::Programs, 0x20, 0, "C", 0, 3);
        PatchFile bank = readBytes(bankgen::rawFile({a, shortOne, c}));
        ASSERT_EQ(bank.patches.size(), 3u);
        const LibrarianPatch& e = bank.patches[1];
        if (size < 25) {
            EXPECT_TRUE(e.messages.empty());
        } else {
            ASSERT_EQ(e.messages.size(), 1u);
            EXPECT_EQ(e.messages[0].bytes.size(), size);
        }
        EXPECT_EQ(e.name, "");
        EXPECT_EQ(e.category, "");
        EXPECT_EQ(bank.patches[2].name, cleanName("C"));
    }
}

TEST(BankReader, OversizedFileIsNotRead)
{
    Bytes dump = bankgen::makeDump(Kind::Programs, 0x20, 0, "Big", 0, 1);
    Bytes file(static_cast<size_t>(PatchLibrarian::kMaxBankFileBytes) + 1, 0x00);
    std::copy(dump.begin(), dump.end(), file.begin());
    EXPECT_TRUE(readBytes(file).patches.empty());
    file.resize(static_cast<size_t>(PatchLibrarian::kMaxBankFileBytes));
    EXPECT_EQ(readBytes(file).patches.size(), 1u);
}

TEST(BankReader, ChunkSizeBeyondTheChunkIsCutToTheChunk)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 2, 1);
    Bytes raw = bankgen::rawFile(bankgen::messagesOf(gen));
    ByteChunk chunk;
    chunk.PutBytes(raw.data(), static_cast<int>(raw.size()));
    PatchLibrarian lib;
    PatchFile bank;
    lib.loadFromChunk(&chunk, static_cast<int>(raw.size()) + 5000, &bank, 0);
    expectBankMatches(bank, gen);
}

TEST(BankReader, FindByteMovesPastTheByteOrEndsAtMinusOne)
{
    const uint8_t data[5] = {1, 2, 0, 3, 0};
    int pos = 0;
    EXPECT_TRUE(PatchLibrarian::findByte(data, 5, pos, 0));
    EXPECT_EQ(pos, 3);
    EXPECT_TRUE(PatchLibrarian::findByte(data, 5, pos, 0));
    EXPECT_EQ(pos, 5);
    EXPECT_FALSE(PatchLibrarian::findByte(data, 5, pos, 0));
    EXPECT_EQ(pos, -1);
    EXPECT_FALSE(PatchLibrarian::findByte(data, 5, pos, 1));
    EXPECT_EQ(pos, -1);
}

TEST(BankReader, ReadMismatchTellsWhetherTheLastCallStoredAMessage)
{
    PatchLibrarian lib;
    PatchFile bank;
    Bytes good = bankgen::makeDump(Kind::Programs, 0x20, 0, "G", 0, 1);
    Bytes file = {0x00, 0x20, 0x28};
    file.insert(file.end(), good.begin(), good.end());
    int pos = 0;
    int r = lib.readMIDIMessage(file.data(), int(file.size()), pos, &bank, 0, 0, 0);
    EXPECT_EQ(r, 3);
    EXPECT_EQ(lib.readMismatch, 1);
    r = lib.readMIDIMessage(file.data(), int(file.size()), pos, &bank, 0, 0, 0);
    EXPECT_EQ(r, int(file.size()) - 1);
    EXPECT_EQ(lib.readMismatch, 0);
    EXPECT_EQ(bank.patches.size(), 1u);
    r = lib.readMIDIMessage(file.data(), int(file.size()), pos, &bank, 0, 1, 0);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(lib.readMismatch, 1);
}

TEST(BankReader, JunkBetweenTheMessagesOfOneEntryKeepsEachMessagesStoredType)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Performances, 0x24, 2, 23);
    std::vector<Bytes> m = bankgen::messagesOf(gen);
    // A stray zero and a near-miss header between the first and second message of entry 0.
    Bytes file = m[0];
    for (uint8_t b : {0x00, 0x00, 0x20, 0x29, 0x7F}) file.push_back(b);
    for (size_t k = 1; k < m.size(); ++k) file.insert(file.end(), m[k].begin(), m[k].end());
    PatchFile bank = readBytes(file);
    ASSERT_EQ(bank.patches.size(), 2u);
    for (const LibrarianPatch& e : bank.patches) {
        ASSERT_EQ(e.messages.size(), 3u);
        EXPECT_EQ(e.messages[0].bytes[7], 0x07);
        EXPECT_EQ(e.messages[1].bytes[7], 0x1C);
        EXPECT_EQ(e.messages[2].bytes[7], 0x21);
    }
}
