// Reading bank files: raw SysEx and Standard MIDI Files, every kind and model, damaged files.
#include "librarian_support.h"

using namespace libtest;

namespace {

// Appends one SysEx event of a MIDI track: delta time, status (F0 or F7), length, data.
void appendEvent(Bytes& events, const Bytes& delta, uint8_t status, Bytes::const_iterator from, Bytes::const_iterator to)
{
    events.insert(events.end(), delta.begin(), delta.end());
    events.push_back(status);
    Bytes len = bankgen::varLen(static_cast<uint32_t>(to - from));
    events.insert(events.end(), len.begin(), len.end());
    events.insert(events.end(), from, to);
}

Bytes storedProgram(const Bytes& dump, int modelCode = 0) { return bankgen::expectedStored(dump, Kind::Programs, modelCode, 0); }

class EveryKindAndModel : public ::testing::TestWithParam<bankgen::KindModel> {};

} // namespace

// Raw file, its MIDI twin, the twin with meta events, another track and an unknown chunk, and the
// raw file with junk between the messages all read to the same entries.
TEST_P(EveryKindAndModel, EveryLayoutReadsToTheDevicesEntries)
{
    bankgen::Bank gen = bankgen::makeBank(GetParam().kind, GetParam().modelByte, 128, 11);
    std::vector<Bytes> messages = bankgen::messagesOf(gen);
    bankgen::MidiOptions odd;
    odd.metaEventsBetween = odd.extraTrack = odd.unknownChunk = true;
    odd.laterDelta = 0;
    for (const Bytes& file : {bankgen::rawFile(messages), bankgen::midiFile(messages), bankgen::midiFile(messages, odd),
                              bankgen::withJunkBetween(messages, 2)}) {
        PatchFile bank = readBank(file);
        expectBankMatches(bank, gen);
        EXPECT_EQ(bank.kind, int(GetParam().kind));
    }
}

INSTANTIATE_TEST_SUITE_P(Banks, EveryKindAndModel, ::testing::ValuesIn(bankgen::kEveryKindAndModel));

TEST(BankReader, PatternsAreStoredWith220BytesAndNamedFromTheirTail)
{
    const struct {
        uint8_t type;
        size_t size;
        size_t stored;
        const char* name;
    } cases[] = {{0x0C, 204, 220, "Arpeggio********"}, // appended at the end, named by the tag
                 {0x22, 205, 220, "Arpeggio********"}, // loses the byte after its type
                 {0x0C, 195, 211, "*******         "}}; // its name field runs short: no byte past it is read
    for (const auto& c : cases) {
        bankgen::DumpOptions o;
        o.type = c.type;
        o.size = c.size;
        Bytes dump = bankgen::makeDump(Kind::Patterns, 0x21, 0, "", 0, 4, o);
        PatchFile bank = readBank(bankgen::rawFile({dump}));
        ASSERT_EQ(bank.patches.size(), 1u) << c.size;
        const Bytes& stored = bank.patches[0].messages.at(0).bytes;
        EXPECT_EQ(stored.size(), c.stored);
        EXPECT_EQ(stored[7], 0x0C);
        EXPECT_EQ(stored.back(), 0xF7);
        EXPECT_EQ(bank.patches[0].name, c.name);
        EXPECT_TRUE(std::equal(dump.end() - 10, dump.end() - 1, stored.begin() + long(c.size - (c.type == 0x22 ? 11 : 10))));
    }
}

// Patterns start every entry at message index 0: after a run of patterns the messages of the
// next entries keep their own stored types.
TEST(BankReader, MessageIndexStartsAfreshAfterEveryPattern)
{
    std::vector<Bytes> messages;
    for (int k = 0; k < 3; ++k) messages.push_back(bankgen::makeDump(Kind::Patterns, 0x21, 0, "", 0, 1 + k));
    std::vector<Bytes> perf = bankgen::messagesOf(bankgen::makeBank(Kind::Performances, 0x21, 2, 5));
    messages.insert(messages.end(), perf.begin(), perf.end());
    PatchFile bank = readBank(bankgen::rawFile(messages));
    std::vector<int> types;
    for (const LibrarianPatch& e : bank.patches)
        for (const PatchSysexMessage& m : e.messages)
            if (m.bytes[7] != 0x0C) types.push_back(m.bytes[7]);
    EXPECT_EQ(types, (std::vector<int>{0x07, 0x1C, 0x07, 0x1C}));
}

TEST(BankReader, NearMissHeaderIsSkippedAndTheNextMessageTakesItsEntryNumber)
{
    const std::pair<int, uint8_t> fields[] = {{2, 0x21}, {3, 0x28}, {4, 0x10}, {5, 0x25},
                                              {5, 0x1F}, {6, 0x80}, {7, 0x01}, {7, 0x7F}};
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 4, 21);
    std::vector<Bytes> m = bankgen::messagesOf(gen);
    for (auto [field, value] : fields) {
        PatchFile bank = readBank(bankgen::rawFile({m[0], bankgen::nearMiss(m[1], field, value), m[2], m[3]}));
        ASSERT_EQ(bank.patches.size(), 3u) << field;
        for (int slot : {0, 1, 2}) EXPECT_EQ(bank.patches[slot].name, shownName(gen.names[slot ? slot + 1 : 0]));
    }
}

TEST(BankReader, KindAndModelFollowTheLastValidMessage)
{
    Bytes prog = bankgen::makeDump(Kind::Programs, 0x21, 0, "Prog", 1, 1);
    Bytes perf = bankgen::makeDump(Kind::Performances, 0x20, 0, "Perf", 0, 2);
    PatchFile bank = readBank(bankgen::rawFile({prog, perf}));
    EXPECT_EQ(bank.kind, kPatchFilePerformances);
    EXPECT_EQ(bank.modelCode, 0);
    EXPECT_EQ(bank.patches.at(1).patchType, 6);
    // A later message with a valid model but a bad type still sets the model code.
    Bytes badType = bankgen::nearMiss(bankgen::makeDump(Kind::Programs, 0x23, 0, "x", 0, 3), 7, 0x01);
    PatchFile bank2 = readBank(bankgen::rawFile({prog, badType}));
    EXPECT_EQ(bank2.modelCode, 3);
    EXPECT_EQ(bank2.kind, kPatchFilePrograms);
}

TEST(BankReader, FilesTooShortOrTooLongAreNotRead)
{
    PatchLibrarian lib;
    EXPECT_TRUE(readBank({0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x00, 0x00, 1, 2, 3, 4, 5, 0xF7}, &lib).patches.empty());
    EXPECT_TRUE(lib.categoryNames.empty());
    Bytes file(static_cast<size_t>(PatchLibrarian::kMaxBankFileBytes) + 1, 0x00);
    Bytes dump = bankgen::makeDump(Kind::Programs, 0x20, 0, "Big", 0, 1);
    std::copy(dump.begin(), dump.end(), file.begin());
    EXPECT_TRUE(readBank(file).patches.empty());
    file.pop_back();
    EXPECT_EQ(readBank(file).patches.size(), 1u);
    // A chunk size beyond the chunk's bytes is cut to them.
    ByteChunk chunk;
    chunk.PutBytes(dump.data(), static_cast<int>(dump.size()));
    PatchFile bank;
    lib.loadFromChunk(&chunk, static_cast<int>(dump.size()) + 5000, &bank, 0);
    EXPECT_EQ(bank.patches.at(0).messages.at(0).bytes, storedProgram(dump));
}

TEST(BankReader, MessageWithoutF7IsDroppedAndTheFollowingEntriesKeepTheirSlots)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 5, 13);
    PatchFile bank = readBank(bankgen::withoutF7(bankgen::messagesOf(gen), 2));
    ASSERT_EQ(bank.patches.size(), 5u);
    EXPECT_TRUE(bank.patches[2].messages.empty() && bank.patches[2].name.empty());
    for (int slot : {0, 1, 3, 4}) EXPECT_EQ(bank.patches[slot].messages.at(0).bytes, storedProgram(gen.entries[slot][0]));
}

// The last message cut off by the end of the file keeps what is left of it, closed with F7, once
// its header (up to the type byte) is there; it is named when its name field survives.
TEST(BankReader, LastMessageCutOffByTheEndIsClosedAndStored)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x21, 3, 17);
    std::vector<Bytes> m = bankgen::messagesOf(gen);
    const Bytes full = bankgen::rawFile(m);
    for (bool midi : {false, true}) {
        const struct {
            size_t keep; // bytes of the last dump left, F0 included
            bool stored;
            bool named;
        } cases[] = {{7, false, false}, {8, false, false}, {23, false, false}, {24, true, false},
                     {199, true, false}, {200, true, true}, {296, true, true}};
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.keep) + (midi ? " midi" : " raw"));
            Bytes file = bankgen::truncatedLast(full, 297 - c.keep);
            if (midi) file = bankgen::truncatedLast(bankgen::midiFile(m), 4 + 297 - c.keep); // no End of Track either
            PatchFile bank = readBank(file);
            ASSERT_EQ(bank.patches.size(), c.stored ? 3u : 2u);
            for (int slot : {0, 1}) EXPECT_EQ(bank.patches[slot].messages.at(0).bytes, storedProgram(m[slot], 1));
            if (!c.stored) continue;
            Bytes cutDump(m[2].begin(), m[2].begin() + long(c.keep));
            cutDump.push_back(0xF7);
            EXPECT_EQ(bank.patches[2].messages.at(0).bytes, storedProgram(cutDump, 1));
            EXPECT_EQ(bank.patches[2].name, c.named ? shownName(gen.names[2]) : "");
            EXPECT_EQ(bank.patches[2].category, c.named ? categoryOf(gen.categories[2]) : "");
        }
    }
}

// Dumps split into packets come back whole whatever the delay between the packets (with none,
// the next packet's 00 F7 looks like the end of the dump) and wherever the first packet ends,
// even inside the dump's header.
TEST(BankReader, DumpsSentInPacketsReadLikeTheRawFile)
{
    const std::pair<Kind, uint8_t> banks[] = {{Kind::Programs, 0x20}, {Kind::Programs, 0x22}, {Kind::Performances, 0x23}, {Kind::Patterns, 0x21}};
    for (auto [kind, model] : banks) {
        bankgen::Bank gen = bankgen::makeBank(kind, model, 6, 19);
        for (uint32_t delta : {0u, 1u, 500u, 20000u})
            for (size_t first : {0u, 1u, 3u, 6u, 7u, 8u}) {
                SCOPED_TRACE(std::to_string(delta) + " " + std::to_string(first));
                bankgen::MidiOptions o;
                o.splitPackets = true;
                o.laterDelta = delta;
                o.firstPacket = first;
                expectBankMatches(readBank(bankgen::midiFile(bankgen::messagesOf(gen), o)), gen);
            }
    }
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x21, 2, 23);
    const Bytes& m = gen.entries[0][0];
    Bytes events; // three packets: bytes 1..99, 100..199, 200..end
    appendEvent(events, {0x00}, 0xF0, m.begin() + 1, m.begin() + 100);
    appendEvent(events, {0x00}, 0xF7, m.begin() + 100, m.begin() + 200);
    appendEvent(events, {0x00}, 0xF7, m.begin() + 200, m.end());
    appendEvent(events, {0x83, 0x74}, 0xF0, gen.entries[1][0].begin() + 1, gen.entries[1][0].end());
    expectBankMatches(readBank(events), gen);
}

TEST(BankReader, SplitDumpWhoseRestIsMissingIsDroppedAndLaterEntriesKeepTheirSlots)
{
    bankgen::Bank gen = bankgen::makeBank(Kind::Programs, 0x20, 3, 29);
    const Bytes &first = gen.entries[0][0], &cut = gen.entries[1][0], &third = gen.entries[2][0];
    Bytes events; // dump 1's first packet of 150 bytes is followed by the next dump, not its rest
    appendEvent(events, {0x00}, 0xF0, first.begin() + 1, first.end());
    appendEvent(events, {0x83, 0x74}, 0xF0, cut.begin() + 1, cut.begin() + 151);
    appendEvent(events, {0x83, 0x74}, 0xF0, third.begin() + 1, third.end());
    PatchFile bank = readBank(events);
    ASSERT_EQ(bank.patches.size(), 3u);
    EXPECT_TRUE(bank.patches[1].messages.empty());
    for (int slot : {0, 2}) EXPECT_EQ(bank.patches[slot].messages.at(0).bytes, storedProgram(gen.entries[slot][0]));
    // Cut off by the end of the file inside its last packet, a split dump keeps what is left.
    bankgen::MidiOptions o;
    o.splitPackets = true;
    o.laterDelta = 0;
    Bytes file = bankgen::midiFile(bankgen::messagesOf(gen), o);
    PatchFile shortened = readBank(Bytes(file.begin(), file.end() - 44)); // End of Track and 40 bytes
    ASSERT_EQ(shortened.patches.size(), 3u);
    Bytes cutDump(third.begin(), third.end() - 40);
    cutDump.push_back(0xF7);
    EXPECT_EQ(shortened.patches[2].messages.at(0).bytes, storedProgram(cutDump));
}

// A dump of 129, 257 or 385 bytes is announced with a length ending in 00 (81 00, 82 00, 83 00)
// right before the dump's own 00; that dump's 00 still opens it, first in the track or later.
TEST(BankReader, DumpWhoseMidiLengthEndsInZeroIsStillFound)
{
    Bytes a = bankgen::makeDump(Kind::Programs, 0x20, 0, "First", 1, 41);
    Bytes c = bankgen::makeDump(Kind::Programs, 0x20, 0, "Third", 3, 43);
    for (size_t size : {129u, 257u, 385u}) {
        bankgen::DumpOptions o;
        o.size = size;
        Bytes b = bankgen::makeDump(Kind::Programs, 0x20, 0, "Odd size", 2, 42, o);
        for (const std::vector<Bytes>& dumps : {std::vector<Bytes>{a, b, c}, std::vector<Bytes>{b, c}}) {
            PatchFile bank = readBank(bankgen::midiFile(dumps));
            ASSERT_EQ(bank.patches.size(), dumps.size()) << size;
            for (size_t slot = 0; slot < dumps.size(); ++slot)
                EXPECT_EQ(bank.patches[slot].messages.at(0).bytes, storedProgram(dumps[slot])) << size;
        }
    }
    // A header cut off where its model byte should be, followed at once by a dump without its
    // F0: the 00 in the model byte's place opens that dump.
    Bytes d = bankgen::makeDump(Kind::Programs, 0x21, 0, "Third", 3, 43);
    Bytes junk(14, 0x01);
    for (uint8_t x : {0x00, 0x20, 0x29, 0x01}) junk.push_back(x);
    junk.insert(junk.end(), d.begin() + 1, d.end());
    PatchFile bank = readBank(junk);
    ASSERT_EQ(bank.patches.size(), 1u);
    EXPECT_EQ(bank.patches[0].messages[0].bytes, storedProgram(d, 1));
}

// A program of 24 bytes or fewer is dropped and its slot stays empty; one of 25 or 26 bytes is
// kept but is too short to hold a name (bytes 10..25) or category (byte 27).
TEST(BankReader, ProgramTooShortIsDroppedOrKeptWithoutNameAndCategory)
{
    for (size_t size : {20u, 24u, 25u, 26u}) {
        bankgen::DumpOptions o;
        o.size = size;
        Bytes a = bankgen::makeDump(Kind::Programs, 0x20, 0, "A", 0, 1);
        Bytes c = bankgen::makeDump(Kind::Programs, 0x20, 0, "C", 0, 3);
        PatchFile bank = readBank(bankgen::rawFile({a, bankgen::makeDump(Kind::Programs, 0x20, 0, "Short", 3, 2, o), c}));
        ASSERT_EQ(bank.patches.size(), 3u);
        const LibrarianPatch& e = bank.patches[1];
        EXPECT_EQ(e.messages.size(), size < 25 ? 0u : 1u) << size;
        EXPECT_EQ(e.name + e.category, "");
        EXPECT_EQ(bank.patches[2].name, shownName("C"));
    }
}

TEST(BankReader, FindByteAndReadMismatchReportWhereTheReadStands)
{
    const uint8_t data[5] = {1, 2, 0, 3, 0};
    int pos = 0;
    for (int expected : {3, 5}) {
        EXPECT_TRUE(PatchLibrarian::findByte(data, 5, pos, 0));
        EXPECT_EQ(pos, expected);
    }
    EXPECT_FALSE(PatchLibrarian::findByte(data, 5, pos, 0));
    EXPECT_FALSE(PatchLibrarian::findByte(data, 5, pos, 1));
    EXPECT_EQ(pos, -1);

    PatchLibrarian lib;
    PatchFile bank;
    Bytes good = bankgen::makeDump(Kind::Programs, 0x20, 0, "G", 0, 1);
    Bytes file = {0x00, 0x20, 0x28};
    file.insert(file.end(), good.begin(), good.end());
    pos = 0;
    const std::pair<int, int> calls[] = {{3, 1}, {int(file.size()) - 1, 0}, {-1, 1}}; // returned, readMismatch
    for (auto [returned, mismatch] : calls) {
        EXPECT_EQ(lib.readMIDIMessage(file.data(), int(file.size()), pos, &bank, 0, 0, 0), returned);
        EXPECT_EQ(lib.readMismatch, mismatch);
    }
    EXPECT_EQ(bank.patches.size(), 1u);
}

TEST(BankReader, JunkBetweenTheMessagesOfOneEntryKeepsEachMessagesStoredType)
{
    std::vector<Bytes> m = bankgen::messagesOf(bankgen::makeBank(Kind::Performances, 0x24, 2, 23));
    Bytes file = m[0];
    for (uint8_t b : {0x00, 0x00, 0x20, 0x29, 0x7F}) file.push_back(b); // a stray zero and a near-miss header
    for (size_t k = 1; k < m.size(); ++k) file.insert(file.end(), m[k].begin(), m[k].end());
    PatchFile bank = readBank(file);
    ASSERT_EQ(bank.patches.size(), 2u);
    for (const LibrarianPatch& e : bank.patches) {
        ASSERT_EQ(e.messages.size(), 3u);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(e.messages[k].bytes[7], (Bytes{0x07, 0x1C, 0x21}[k]));
    }
}
