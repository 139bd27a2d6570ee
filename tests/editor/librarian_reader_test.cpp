// Reading bank files: raw SysEx and Standard MIDI Files, every kind and model, damaged files.
#include "Project_Source/src/PatchFileImage.h"
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

Bytes program(size_t size, uint32_t seed)
{
    return bankgen::makeDump(Kind::Programs, 0x20, 0, "Prog " + std::to_string(seed), 3, seed, bankgen::DumpOptions{0xFF, size});
}

Bytes closedAfter(Bytes dump, size_t keep)
{
    dump.resize(keep);
    dump.push_back(0xF7);
    return dump;
}

// Every stored message slot by slot; an empty slot shows as no bytes.
std::vector<Bytes> slots(const PatchFile& bank)
{
    std::vector<Bytes> out;
    for (const LibrarianPatch& e : bank.patches) {
        if (e.messages.empty()) out.emplace_back();
        for (const PatchSysexMessage& m : e.messages) out.push_back(m.bytes);
    }
    return out;
}

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
        size_t size, stored;
        const char* name;
    } cases[] = {{0x0C, 204, 220, "Arpeggio********"}, // appended at the end, named by the tag
                 {0x22, 205, 220, "Arpeggio********"}, // loses the byte after its type
                 {0x0C, 195, 211, "*******         "}, // its name field runs short: no byte past it is read
                 {0x0C, 188, 220, "Arpeggio********"}}; // one short of the name field: filled up to it
    for (const auto& c : cases) {
        bankgen::DumpOptions o;
        o.type = c.type;
        o.size = c.size;
        Bytes dump = bankgen::makeDump(Kind::Patterns, 0x21, 0, "", 0, 4, o);
        PatchFile bank = readBank(dump);
        ASSERT_EQ(bank.patches.size(), 1u) << c.size;
        const Bytes& kept = bank.patches[0].messages.at(0).bytes;
        EXPECT_EQ(kept.size(), c.stored);
        EXPECT_EQ(kept[7], 0x0C);
        EXPECT_EQ(kept.back(), 0xF7);
        EXPECT_EQ(bank.patches[0].name, c.name);
        EXPECT_TRUE(std::equal(dump.end() - 10, dump.end() - 1, kept.begin() + long(c.size - (c.type == 0x22 ? 11 : 10))));
        // Written and read again, the message stays as it is.
        const PatchFile again = readBank(PatchFileImage::build(bank, false));
        ASSERT_EQ(again.patches.size(), 1u);
        EXPECT_EQ(Bytes(again.patches[0].messages.at(0).bytes.begin(), again.patches[0].messages.at(0).bytes.end()),
                  Bytes(kept.begin(), kept.end()));
    }
}

// Each damaged file against the messages it must still give, slot by slot, and the name and
// category of its last entry where given.
TEST(BankReader, DamagedFilesKeepEverySlotTheyCanRead)
{
    struct Case {
        std::string what;
        Bytes file;
        std::vector<Bytes> slots;
        std::string last = "?"; // name|category of the last entry; "?": not looked at
    };
    std::vector<Case> cases;
    bankgen::Bank five = bankgen::makeBank(Kind::Programs, 0x21, 5, 13);
    std::vector<Bytes> m = bankgen::messagesOf(five);
    auto s = [](const Bytes& dump) { return stored(dump, 1); };
    cases.push_back({"no F7: dropped, later slots kept", bankgen::withoutF7(m, 2), {s(m[0]), s(m[1]), {}, s(m[3]), s(m[4])}});
    const std::pair<int, uint8_t> nearMisses[] = {{2, 0x21}, {4, 0x10}, {5, 0x25}, {6, 0x80}, {7, 0x7F}};
    for (auto [field, value] : nearMisses)
        cases.push_back({"near miss in field " + std::to_string(field), bankgen::rawFile({m[0], bankgen::nearMiss(m[1], field, value), m[2]}),
                         {s(m[0]), s(m[2])}});
    for (size_t size : {24u, 25u}) // 24 bytes and fewer are dropped
        cases.push_back({"program of " + std::to_string(size), bankgen::rawFile({m[0], program(size, 2), m[2]}),
                         {s(m[0]), size < 25 ? Bytes{} : stored(program(size, 2)), s(m[2])}});
    // A dump of 129, 257 or 385 bytes is announced with a length ending in 00 right before the
    // dump's own 00; that 00 still opens it, first in the track or later.
    cases.push_back({"MIDI length ending in 00", bankgen::midiFile({m[0], program(257, 42), m[2]}),
                     {s(m[0]), stored(program(257, 42)), s(m[2])}});
    cases.push_back({"first MIDI length ending in 00", bankgen::midiFile({program(129, 42), m[2]}),
                     {stored(program(129, 42)), s(m[2])}});
    // Split into packets: a first packet followed by the next dump instead of its rest is dropped;
    // one cut off by the end of the file keeps what is left.
    Bytes events;
    appendEvent(events, {0x00}, 0xF0, m[0].begin() + 1, m[0].end());
    appendEvent(events, {0x83, 0x74}, 0xF0, m[1].begin() + 1, m[1].begin() + 151);
    appendEvent(events, {0x83, 0x74}, 0xF0, m[2].begin() + 1, m[2].end());
    cases.push_back({"split dump without its rest", events, {s(m[0]), {}, s(m[2])}});
    bankgen::MidiOptions split;
    split.splitPackets = true;
    split.laterDelta = 0;
    cases.push_back({"split dump cut off", bankgen::truncatedLast(bankgen::midiFile({m[0], m[1], m[2]}, split), 44),
                     {s(m[0]), s(m[1]), s(closedAfter(m[2], 297 - 40))}});
    // The last message cut off by the end of the file keeps what is left, closed with F7, once its
    // header is there; it is named when its name field survives (the MIDI file loses its End of
    // Track too).
    const std::string named = shownName(five.names[2]) + "|" + categoryOf(five.categories[2]);
    for (bool midi : {false, true})
        for (size_t keep : {23u, 24u, 200u}) {
            std::vector<Bytes> three(m.begin(), m.begin() + 3), kept = {s(m[0]), s(m[1])};
            if (keep >= 24) kept.push_back(s(closedAfter(m[2], keep)));
            cases.push_back({"cut off at " + std::to_string(keep) + (midi ? " midi" : ""),
                             midi ? bankgen::truncatedLast(bankgen::midiFile(three), 4 + 297 - keep)
                                  : bankgen::truncatedLast(bankgen::rawFile(three), 297 - keep),
                             kept, keep < 24 ? "?" : keep < 200 ? "|" : named});
        }
    // Dumps in packets read like the raw file whatever the delay between the packets (with none,
    // the next packet's 00 F7 looks like the end of the dump) and wherever the first packet ends.
    const std::vector<Bytes> dumps = bankgen::messagesOf(bankgen::makeBank(Kind::Performances, 0x23, 4, 19));
    for (auto [delta, first] : {std::pair<uint32_t, size_t>{0, 0}, {0, 1}, {1, 3}, {20000, 7}, {0, 8}}) {
        bankgen::MidiOptions o;
        o.splitPackets = true;
        o.laterDelta = delta;
        o.firstPacket = first;
        cases.push_back({"packets " + std::to_string(delta) + " " + std::to_string(first), bankgen::midiFile(dumps, o),
                         slots(readBank(bankgen::rawFile(dumps)))});
    }
    // Junk between the messages of one entry keeps each message's stored type, and patterns start
    // every entry at message index 0.
    std::vector<Bytes> perf = bankgen::messagesOf(bankgen::makeBank(Kind::Performances, 0x24, 2, 23));
    Bytes junk = perf[0];
    for (uint8_t b : {0x00, 0x00, 0x20, 0x29, 0x7F}) junk.push_back(b);
    for (size_t k = 1; k < perf.size(); ++k) junk.insert(junk.end(), perf[k].begin(), perf[k].end());
    std::vector<Bytes> perfStored;
    for (size_t k = 0; k < perf.size(); ++k) perfStored.push_back(bankgen::expectedStored(perf[k], Kind::Performances, 2, int(k % 3)));
    cases.push_back({"junk inside an entry", junk, perfStored});
    std::vector<Bytes> mixed, mixedStored;
    for (uint32_t k = 1; k <= 2; ++k) mixed.push_back(bankgen::makeDump(Kind::Patterns, 0x21, 0, "", 0, k));
    for (const Bytes& p : bankgen::messagesOf(bankgen::makeBank(Kind::Performances, 0x21, 2, 5))) mixed.push_back(p);
    for (size_t k = 0; k < mixed.size(); ++k)
        mixedStored.push_back(bankgen::expectedStored(mixed[k], k < 2 ? Kind::Patterns : Kind::Performances, 1, k < 2 ? 0 : int(k % 2)));
    cases.push_back({"performances after patterns", bankgen::rawFile(mixed), mixedStored});
    for (const Case& c : cases) {
        PatchFile bank = readBank(c.file);
        EXPECT_EQ(slots(bank), c.slots) << c.what;
        if (c.last != "?") {
            EXPECT_EQ(bank.patches.back().name + "|" + bank.patches.back().category, c.last) << c.what;
        }
    }
}

TEST(BankReader, FilesTooShortOrTooLongAreNotRead)
{
    PatchLibrarian lib;
    EXPECT_TRUE(readBank({0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x00, 0x00, 1, 2, 3, 4, 5, 0xF7}, &lib).patches.empty());
    EXPECT_TRUE(lib.categoryNames.empty());
    Bytes file(static_cast<size_t>(PatchLibrarian::kMaxBankFileBytes) + 1, 0x00);
    Bytes dump = program(297, 1);
    std::copy(dump.begin(), dump.end(), file.begin());
    EXPECT_TRUE(readBank(file).patches.empty());
    file.pop_back();
    EXPECT_EQ(readBank(file).patches.size(), 1u);
    // A chunk size beyond the chunk's bytes is cut to them.
    ByteChunk chunk;
    chunk.PutBytes(dump.data(), static_cast<int>(dump.size()));
    PatchFile bank;
    lib.loadFromChunk(&chunk, static_cast<int>(dump.size()) + 5000, &bank, 0);
    EXPECT_EQ(slots(bank), std::vector<Bytes>{stored(dump)});
}

// A file whose messages change kind, or the number of messages an entry takes, part-way: the
// later run fills new entries after the earlier ones, each message at its index in its entry.
TEST(BankReader, ARunOfAnotherKindStartsNewEntriesAfterTheEarlierOnes)
{
    struct Run {
        Kind kind;
        uint8_t model;
        int count;
    };
    const std::pair<Run, Run> cases[] = {
        {{Kind::Patterns, 0x21, 5}, {Kind::Performances, 0x21, 3}},
        {{Kind::Programs, 0x22, 5}, {Kind::Performances, 0x22, 2}},
        {{Kind::Programs, 0x20, 3}, {Kind::Programs, 0x24, 2}},
        {{Kind::Performances, 0x23, 1}, {Kind::Programs, 0x21, 4}},
    };
    for (const auto& [first, second] : cases) {
        std::vector<Bytes> file;
        std::vector<std::vector<Bytes>> expected;
        uint32_t seed = 7;
        for (const Run& run : {first, second}) {
            const bankgen::Bank gen = bankgen::makeBank(run.kind, run.model, run.count, seed++);
            for (const std::vector<Bytes>& entry : gen.entries) {
                expected.emplace_back();
                for (size_t i = 0; i < entry.size(); ++i) {
                    file.push_back(entry[i]);
                    expected.back().push_back(bankgen::expectedStored(entry[i], run.kind, bankgen::modelCodeOf(run.model), int(i)));
                }
            }
        }
        const PatchFile bank = readBank(bankgen::rawFile(file));
        std::vector<std::vector<Bytes>> got;
        for (const LibrarianPatch& e : bank.patches) {
            got.emplace_back();
            for (const PatchSysexMessage& m : e.messages) got.back().push_back(m.bytes);
        }
        EXPECT_EQ(got, expected) << int(first.kind) << "/" << int(first.model) << " then " << int(second.kind) << "/"
                                 << int(second.model);
    }
    // A program too short to store, of a model of two messages an entry, between two programs
    // of one message: the next program is still the first and only message of its entry.
    const std::vector<Bytes> m = bankgen::messagesOf(bankgen::makeBank(Kind::Programs, 0x21, 2, 3));
    const Bytes dropped = bankgen::makeDump(Kind::Programs, 0x24, 0, "Other", 1, 9, bankgen::DumpOptions{0xFF, 24});
    const PatchFile bank = readBank(bankgen::rawFile({m[0], dropped, m[1]}));
    EXPECT_EQ(slots(bank), (std::vector<Bytes>{stored(m[0], 1), {}, stored(m[1], 1)}));
}
