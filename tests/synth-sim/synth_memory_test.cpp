// What the simulated synthesizer stores: edit buffers and banks written by the editor read
// back byte for byte, program changes and bank selects load them, seeds and memory dumps.
#include "memory.h"
#include "synth.h"
#include "syxfile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>

using synthsim::Bytes;
using synthsim::Handled;
using synthsim::Options;
using synthsim::Synth;

namespace {

Options device3()
{
    Options o;
    o.deviceId = 3;
    return o;
}

Bytes header(uint8_t type, uint8_t device = 3, uint8_t model = 0x20)
{
    return {0xF0, 0x00, 0x20, 0x29, 0x01, model, device, type};
}

// A message of the given type and length whose data bytes after the header follow a pattern
// seeded by `seed`, so that two writes are told apart.
Bytes patterned(uint8_t type, size_t length, std::initializer_list<uint8_t> address, int seed,
                uint8_t device = 3)
{
    Bytes m;
    m.reserve(length);
    m = header(type, device);
    for (uint8_t a : address) m.push_back(a);
    for (size_t i = m.size(); i + 1 < length; ++i) m.push_back(uint8_t((i * 31 + size_t(seed) * 7) & 0x7F));
    m.push_back(0xF7);
    return m;
}

Bytes storedRequest(uint8_t code, uint8_t slot) { return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x13, code, slot, 0xF7}; }
Bytes editRequest() { return {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x08, 0xF7}; }

// A performance whose part k listens on channel k, with its program bank byte set.
Bytes performanceOnChannels(uint8_t bankCode)
{
    Bytes m = patterned(0x05, 381, {}, 11);
    for (int k = 0; k < 8; ++k) {
        m[size_t(28 + 44 * k + 0)] = 0;
        m[size_t(28 + 44 * k + 1)] = bankCode;
        m[size_t(28 + 44 * k + 2)] = uint8_t(k);
    }
    return m;
}

std::string tempDir()
{
    char tmpl[] = "/tmp/synthsim-test-XXXXXX";
    const char* d = ::mkdtemp(tmpl);
    return d ? d : "/tmp";
}

} // namespace

TEST(StoredProgramWrite, IsReadBackIdenticalFromItsBankAndSlot)
{
    Synth s(device3());
    const Bytes written = patterned(0x02, 297, {0x07, 5}, 1); // bank C, slot 5
    EXPECT_TRUE(s.receive(written, 0).replies.empty()) << "a store is not answered";
    Handled h = s.receive(storedRequest(0x07, 5), 0);
    ASSERT_EQ(h.replies.size(), 1u);
    EXPECT_EQ(h.replies[0].bytes, written);
    EXPECT_EQ(s.counters().stores, 1);
}

TEST(StoredProgramWrite, LeavesTheNeighbouringSlotsAndBanksAlone)
{
    Synth s(device3());
    const Bytes before = s.receive(storedRequest(0x07, 6), 0).replies.at(0).bytes;
    s.receive(patterned(0x02, 297, {0x07, 5}, 1), 0);
    EXPECT_EQ(s.receive(storedRequest(0x07, 6), 0).replies.at(0).bytes, before);
    Bytes otherBank = s.receive(storedRequest(0x08, 5), 0).replies.at(0).bytes;
    EXPECT_EQ(std::string(otherBank.begin() + 10, otherBank.begin() + 26), "Init Program    ");
}

TEST(StoredProgramWrite, ThatIsTruncatedOrAddressedElsewhereChangesNothing)
{
    Synth s(device3());
    const Bytes before = s.receive(storedRequest(0x05, 0), 0).replies.at(0).bytes;
    Bytes truncated = patterned(0x02, 297, {0x05, 0}, 2);
    truncated.erase(truncated.end() - 2);
    s.receive(truncated, 0);
    s.receive(patterned(0x02, 297, {0x05, 0}, 3, /*device*/ 4), 0);
    Bytes highByte = patterned(0x02, 297, {0x05, 0}, 4);
    highByte[100] = 0x80;
    s.receive(highByte, 0);
    EXPECT_EQ(s.receive(storedRequest(0x05, 0), 0).replies.at(0).bytes, before);
    EXPECT_EQ(s.counters().stores, 0);
    EXPECT_EQ(s.counters().ignored, 3);
}

TEST(StoredPerformanceWrite, WithItsFollowUpIsReadBackIdenticalForModel21)
{
    Options o = device3();
    o.model = 0x21;
    Synth s(o);
    Bytes perf = patterned(0x07, 383, {0x03, 99}, 5);
    Bytes follow = patterned(0x1C, 27, {0x03, 99}, 6);
    perf[5] = follow[5] = 0x21;
    s.receive(perf, 0);
    s.receive(follow, 0);
    Bytes req = storedRequest(0x03, 99);
    req[5] = 0x21;
    Handled h = s.receive(req, 0);
    ASSERT_EQ(h.replies.size(), 2u);
    EXPECT_EQ(h.replies[0].bytes, perf);
    EXPECT_EQ(h.replies[1].bytes, follow);
}

TEST(PartProgramDump, WritesThatPartsEditBufferWhichTheEditRequestReturns)
{
    Options o = device3();
    o.editReply = synthsim::EditReply::Program;
    Synth s(o);
    s.receive(performanceOnChannels(0x05), 0);
    const Bytes dump = patterned(0x00, 296, {2}, 7);
    s.receive(dump, 0);
    // Selecting part 3 by a program change would load from the bank; select by the quick tab.
    s.receive({0xB3, 99, 0}, 0);
    s.receive({0xB3, 98, 113}, 0);
    s.receive({0xB3, 6, 78}, 0);
    EXPECT_EQ(s.selectedPart(), 2);
    Handled h = s.receive(editRequest(), 0);
    ASSERT_EQ(h.replies.size(), 1u);
    EXPECT_EQ(h.replies[0].bytes, dump);
}

TEST(PartProgramDump, ForAPartAbove8IsIgnored)
{
    Synth s(device3());
    s.receive(patterned(0x00, 296, {8}, 7), 0);
    EXPECT_EQ(s.counters().stores, 0);
}

TEST(PerformanceDump, AndFollowUpWriteTheEditBufferThatTheEditRequestReturns)
{
    Options o = device3();
    o.model = 0x21;
    o.editReply = synthsim::EditReply::Performance;
    Synth s(o);
    Bytes perf = patterned(0x05, 381, {}, 8);
    Bytes follow = patterned(0x1B, 25, {}, 9);
    perf[5] = follow[5] = 0x21;
    s.receive(perf, 0);
    s.receive(follow, 0);
    Bytes req = editRequest();
    req[5] = 0x21;
    Handled h = s.receive(req, 0);
    ASSERT_EQ(h.replies.size(), 2u);
    EXPECT_EQ(h.replies[0].bytes, perf);
    EXPECT_EQ(h.replies[1].bytes, follow);
}

TEST(GlobalDumps, WrittenByTheEditorAreWhatTheNextEnquiryReturns)
{
    Synth s(device3());
    const Bytes g1 = patterned(0x0F, 281, {}, 10);
    const Bytes g2 = patterned(0x15, 297, {}, 11);
    s.receive(g1, 0);
    s.receive(g2, 0);
    Handled h = s.receive({0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x03, 0x10, 0xF7}, 0);
    ASSERT_EQ(h.replies.size(), 2u);
    EXPECT_EQ(h.replies[0].bytes, g1);
    EXPECT_EQ(h.replies[1].bytes, g2);
}

TEST(PatternFrame, IsStoredInItsSlotAndDumpedAsAFrame)
{
    Synth s(device3());
    const Bytes frame = patterned(0x0C, 204, {0x00, 17}, 12);
    s.receive(frame, 0);
    synthsim::SynthMemory mem = s.memory();
    EXPECT_EQ(Bytes(mem.patterns[17].begin(), mem.patterns[17].end()), Bytes(frame.begin() + 10, frame.end() - 1));
    Bytes wrongBank = patterned(0x0C, 204, {0x01, 18}, 13);
    s.receive(wrongBank, 0);
    EXPECT_EQ(s.counters().stores, 1);
}

TEST(ProgramChange, OnAPartChannelLoadsThatBankAndSlotIntoThePart)
{
    Synth s(device3());
    s.receive(performanceOnChannels(0x05), 0);
    const Bytes stored = patterned(0x02, 297, {0x06, 10}, 14); // bank B slot 10
    s.receive(stored, 0);
    s.receive({0xB4, 0, 0}, 0);
    s.receive({0xB4, 32, 0x06}, 0); // bank B on part 5's channel: bank + 5
    s.receive({0xC4, 10}, 0);
    EXPECT_EQ(s.selectedPart(), 4);
    EXPECT_EQ(s.selectedKind(), synthsim::SelectedKind::Program);
    Handled h = s.receive(editRequest(), 0);
    ASSERT_EQ(h.replies.size(), 1u);
    const Bytes& d = h.replies[0].bytes;
    ASSERT_EQ(d.size(), 296u);
    EXPECT_EQ(d[8], 4);
    EXPECT_EQ(Bytes(d.begin() + 9, d.end() - 1), Bytes(stored.begin() + 10, stored.end() - 1));
    // The performance remembers the part's new program and bank.
    synthsim::SynthMemory mem = s.memory();
    EXPECT_EQ(mem.partBlock(4)[0], 10);
    EXPECT_EQ(mem.partBlock(4)[1], 0x06);
}

TEST(ProgramChange, OnTheGlobalChannelLoadsThePerformanceOfTheSelectedPerformanceBank)
{
    Options o = device3();
    o.model = 0x21;
    Synth s(o);
    Bytes perf = patterned(0x07, 383, {0x02, 3}, 15);
    perf[5] = 0x21;
    s.receive(perf, 0);
    s.receive({0xB3, 0, 0}, 0);
    s.receive({0xB3, 32, 97}, 0); // performance bank B: bank + 96
    s.receive({0xC3, 3}, 0);
    EXPECT_EQ(s.performanceBank(), 1);
    EXPECT_EQ(s.selectedKind(), synthsim::SelectedKind::Performance);
    Bytes req = editRequest();
    req[5] = 0x21;
    Handled h = s.receive(req, 0);
    ASSERT_EQ(h.replies.size(), 2u) << "follow mode answers with the performance now";
    EXPECT_EQ(Bytes(h.replies[0].bytes.begin() + 8, h.replies[0].bytes.end() - 1),
              Bytes(perf.begin() + 10, perf.end() - 1));
}

TEST(ProgramChange, OnAChannelNoPartListensOnChangesNothing)
{
    Synth s(device3()); // the neutral performance leaves every part on the global channel
    const synthsim::SynthMemory before = s.memory();
    Handled h = s.receive({0xC9, 5}, 0);
    EXPECT_NE(h.note.find("no part"), std::string::npos) << h.note;
    EXPECT_EQ(s.memory().partEdit, before.partEdit);
}

TEST(NeutralMemory, HoldsTheInitTemplatesWithTheirDocumentedBytes)
{
    synthsim::SynthMemory mem;
    // Program body: name, then the reserved bytes 29, 78 and 112 of the dump (body index - 9).
    EXPECT_EQ(std::string(mem.programs[0][0].begin(), mem.programs[0][0].begin() + 16), "Init Program    ");
    EXPECT_EQ(mem.programs[7][127][29 - 9], 0x30);
    EXPECT_EQ(mem.programs[7][127][78 - 9], 0x7F);
    EXPECT_EQ(mem.programs[7][127][112 - 9], 0x7F);
    // Performance body: name, then every part on channel 17 (the global channel) in bank A.
    EXPECT_EQ(std::string(mem.performanceEdit.begin(), mem.performanceEdit.begin() + 16), "Init Perf       ");
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(mem.partBlock(k)[2], 0x11) << k;
        EXPECT_EQ(mem.partBlock(k)[1], 0x05) << k;
    }
    EXPECT_EQ(Bytes(mem.followUpEdit.begin(), mem.followUpEdit.begin() + 7),
              (Bytes{0x25, 0x12, 0x21, 0x70, 0x00, 0x04, 0x60}));
    for (uint8_t b : mem.patterns[5]) ASSERT_EQ(b, 0);
}

TEST(SeedFile, LoadsLibraryFormsAndSkipsDamagedMessages)
{
    const std::string dir = tempDir();
    const std::string path = dir + "/seed.syx";
    Bytes prog = patterned(0x02, 297, {0x05, 9}, 16);
    Bytes perfLib = patterned(0x05, 383, {0x01, 2}, 17); // library form of a performance
    Bytes followLib = patterned(0x1B, 27, {0x01, 2}, 18);
    Bytes damaged = patterned(0x02, 297, {0x05, 10}, 19);
    damaged.pop_back(); // no F7: runs into the next message
    std::string err;
    ASSERT_TRUE(synthsim::writeSyxFile(path, {prog, damaged, perfLib, followLib}, err)) << err;

    synthsim::SplitResult split;
    ASSERT_TRUE(synthsim::readSyxFile(path, split, err)) << err;
    Synth s(device3());
    std::vector<std::string> notes;
    EXPECT_EQ(s.load(split.messages, notes), 3);
    EXPECT_EQ(split.skippedBytes, damaged.size());
    EXPECT_EQ(s.receive(storedRequest(0x05, 9), 0).replies.at(0).bytes, prog);
    const Bytes perf = s.receive(storedRequest(0x01, 2), 0).replies.at(0).bytes;
    EXPECT_EQ(Bytes(perf.begin() + 10, perf.end()), Bytes(perfLib.begin() + 10, perfLib.end()));
    const synthsim::SynthMemory mem = s.memory();
    EXPECT_EQ(Bytes(mem.followUps[0][2].begin(), mem.followUps[0][2].end()),
              Bytes(followLib.begin() + 10, followLib.end() - 1));
    std::remove(path.c_str());
    ::rmdir(dir.c_str());
}

TEST(MemoryDump, WritesEverySlotAsSyxFilesThatSeedAnIdenticalSynth)
{
    Synth a(device3());
    a.receive(patterned(0x02, 297, {0x0C, 127}, 20), 0); // bank H, last slot
    a.receive(patterned(0x07, 383, {0x04, 1}, 21), 0);
    a.receive(patterned(0x0C, 204, {0x00, 3}, 22), 0);
    a.receive(patterned(0x0F, 281, {}, 23), 0);
    a.receive(patterned(0x00, 296, {6}, 24), 0);
    const std::string dir = tempDir();
    std::string err;
    ASSERT_TRUE(a.dumpMemory(dir, err)) << err;

    Synth b(device3());
    const char* files[] = {"globals.syx", "edit-buffers.syx", "programs-A.syx", "programs-H.syx",
                           "performances-A.syx", "performances-D.syx", "patterns.syx"};
    size_t total = 0;
    for (const char* f : files) {
        synthsim::SplitResult split;
        ASSERT_TRUE(synthsim::readSyxFile(dir + "/" + f, split, err)) << err;
        EXPECT_EQ(split.skippedBytes, 0u) << f;
        std::vector<std::string> notes;
        EXPECT_EQ(b.load(split.messages, notes), int(split.messages.size())) << f;
        total += split.messages.size();
    }
    EXPECT_EQ(total, 2u + 10u + 128u + 128u + 256u + 256u + 128u);
    const synthsim::SynthMemory ma = a.memory(), mb = b.memory();
    EXPECT_EQ(ma.programs[7], mb.programs[7]);
    EXPECT_EQ(ma.performances[3], mb.performances[3]);
    EXPECT_EQ(ma.patterns, mb.patterns);
    EXPECT_EQ(ma.global1, mb.global1);
    EXPECT_EQ(ma.partEdit, mb.partEdit);
    for (int bank = 0; bank < 8; ++bank) unlink((dir + "/programs-" + char('A' + bank) + ".syx").c_str());
    for (int bank = 0; bank < 4; ++bank) unlink((dir + "/performances-" + char('A' + bank) + ".syx").c_str());
    for (const char* f : {"globals.syx", "edit-buffers.syx", "patterns.syx"}) unlink((dir + "/" + f).c_str());
    ::rmdir(dir.c_str());
}

TEST(QuickTab, EitherNrpn113RangeOnTheGlobalChannelSelectsThePart)
{
    Synth s(device3());
    s.receive({0xB3, 99, 0}, 0);
    s.receive({0xB3, 98, 113}, 0);
    s.receive({0xB3, 6, 55 + 6}, 0);
    EXPECT_EQ(s.selectedPart(), 6) << "55..62 stand for parts 1..8";
    s.receive({0xB3, 6, 76 + 1}, 0);
    EXPECT_EQ(s.selectedPart(), 1) << "and so do 76..83";
    s.receive({0xB3, 6, 63}, 0);
    s.receive({0xB3, 6, 84}, 0);
    EXPECT_EQ(s.selectedPart(), 1) << "values outside both ranges select nothing";
    s.receive({0xB4, 99, 0}, 0);
    s.receive({0xB4, 98, 113}, 0);
    s.receive({0xB4, 6, 58}, 0);
    EXPECT_EQ(s.selectedPart(), 1) << "only on the global channel";
}

TEST(SeedFile, ALibraryPatternOf221BytesSeedsItsSlotFromItsFrame)
{
    // The library keeps a pattern as its 204-byte frame, then a 16-character tag and a
    // second F7; only the frame is a message on the wire.
    Bytes lib = patterned(0x0C, 204, {0x00, 40}, 23);
    const std::string tag = "Requested Arp***";
    lib.insert(lib.end(), tag.begin(), tag.end());
    lib.push_back(0xF7);
    ASSERT_EQ(lib.size(), 221u);
    synthsim::SplitResult split = synthsim::splitSysEx(lib.data(), lib.size());
    Synth s(device3());
    std::vector<std::string> notes;
    EXPECT_EQ(s.load(split.messages, notes), 1);
    EXPECT_EQ(split.skippedBytes, 17u) << "the tag and its F7";
    const synthsim::SynthMemory mem = s.memory();
    EXPECT_EQ(Bytes(mem.patterns[40].begin(), mem.patterns[40].end()), Bytes(lib.begin() + 10, lib.begin() + 203));
    EXPECT_EQ(mem.patterns[41], synthsim::SynthMemory().patterns[41]);
}

namespace {

Bytes hexBytes(const char* text)
{
    Bytes out;
    std::istringstream in(text);
    std::string tok;
    while (in >> tok) out.push_back(uint8_t(std::stoul(tok, nullptr, 16)));
    return out;
}

Bytes slice(const Bytes& b, size_t from, size_t to) { return Bytes(b.begin() + long(from), b.begin() + long(to)); }

} // namespace

// Rows copied by hand from the synthesizer's published neutral messages, so that a slip in
// the simulator's own copy shows up here.
TEST(InitTemplates, CarryTheNeutralMessagesByteForByte)
{
    const Bytes& prog = synthsim::initProgramTemplate();
    ASSERT_EQ(prog.size(), 297u);
    EXPECT_EQ(slice(prog, 0, 16), hexBytes("F0 00 20 29 01 20 0F 02 05 00 49 6E 69 74 20 50"));
    EXPECT_EQ(slice(prog, 176, 192), hexBytes("40 00 19 7C 00 16 00 00 40 40 40 00 1B 7E 1C 1F"));
    EXPECT_EQ(slice(prog, 240, 256), hexBytes("00 00 2A 78 7B 22 3F 00 42 38 4C 00 56 4B 7B 55"));
    EXPECT_EQ(slice(prog, 288, 297), hexBytes("4B 14 14 65 7F 07 00 00 F7"));

    const Bytes& perf = synthsim::initPerformanceTemplate();
    ASSERT_EQ(perf.size(), 383u);
    EXPECT_EQ(slice(perf, 16, 32), hexBytes("65 72 66 20 20 20 20 20 20 20 30 7F 00 00 00 05"));
    EXPECT_EQ(slice(perf, 32, 48), hexBytes("11 62 4D 40 40 50 00 7F 42 40 00 40 40 40 40 40"));
    EXPECT_EQ(slice(perf, 368, 383), hexBytes("1B 21 40 25 00 40 40 32 14 60 7F 00 00 00 F7"));
    // Parts 2 to 8 have alike blocks (part 1 differs in its settings byte).
    for (int k = 1; k < 8; ++k)
        EXPECT_EQ(slice(perf, size_t(30 + 44 * k), size_t(74 + 44 * k)), slice(perf, 74, 118)) << k;

    EXPECT_EQ(synthsim::initFollowUpTemplate(),
              hexBytes("F0 00 20 29 01 21 0F 1C 01 00 25 12 21 70 00 04 60 00 00 00 00 00 00 00 00 00 F7"));

    const Bytes& pattern = synthsim::initPatternTemplate();
    ASSERT_EQ(pattern.size(), 204u);
    EXPECT_EQ(slice(pattern, 0, 8), hexBytes("F0 00 20 29 01 21 00 0C"));
    for (size_t i = 8; i < 203; ++i) ASSERT_EQ(pattern[i], 0) << i;
    EXPECT_EQ(pattern[203], 0xF7);
}
