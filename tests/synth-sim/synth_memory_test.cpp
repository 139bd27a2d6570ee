// What the simulated synthesizer stores and selects: writes read back byte for byte, what it
// refuses, its power-on memory, program changes, and bank and part selection.
#include "memory.h"
#include "simwire.h"
#include "synth.h"
#include "syxfile.h"

#include <gtest/gtest.h>

using namespace simtest;
using synthsim::Options;
using synthsim::Synth;
using synthsim::SynthMemory;

namespace {

Options with(uint8_t model, synthsim::EditReply reply = synthsim::EditReply::Follow)
{
    Options o;
    o.model = model, o.editReply = reply;
    return o;
}

std::vector<Bytes> answersTo(Synth& s, const Bytes& request)
{
    std::vector<Bytes> out;
    for (const auto& r : s.receive(request, 0).replies) out.push_back(r.bytes);
    return out;
}

template <class Body> Bytes bytesOf(const Body& b) { return Bytes(b.begin(), b.end()); }

} // namespace

TEST(Writes, AreReadBackByteForByteByTheMatchingRequest)
{
    using synthsim::EditReply;
    const struct {
        Options options;
        std::vector<Bytes> writes;
        Bytes request;
    } rows[] = {
        {with(0x20), {wire(0x02, {0x07, 5}, 297, 1)}, storedRequest(0x07, 5)},
        {with(0x21), {wire(0x07, {0x03, 99}, 383, 2, 9, 0x21), wire(0x1C, {0x03, 99}, 27, 3, 9, 0x21)},
         storedRequest(0x03, 99, 9, 0x21)},
        {with(0x20, EditReply::Program), {wire(0x00, {0}, 296, 4)}, editRequest()},
        {with(0x21, EditReply::Performance), {wire(0x05, {}, 381, 5, 9, 0x21), wire(0x1B, {}, 25, 6, 9, 0x21)},
         editRequest(9, 0x21)},
        {with(0x20), {wire(0x0F, {}, 281, 7), wire(0x15, {}, 297, 8)}, enquiry()},
    };
    for (const auto& r : rows) {
        Synth s(r.options);
        for (const Bytes& w : r.writes) EXPECT_TRUE(s.receive(w, 0).replies.empty()) << r.request[7];
        EXPECT_EQ(answersTo(s, r.request), r.writes);
        EXPECT_EQ(s.counters().stores, long(r.writes.size()));
    }
    Synth s{Options{}};
    s.receive(wire(0x0C, {0x00, 17}, 204, 9), 0); // patterns are kept, never asked for
    EXPECT_EQ(bytesOf(s.memory().patterns[17]), slice(wire(0x0C, {0x00, 17}, 204, 9), 10, 203));
}

TEST(Writes, DamagedMisaddressedAndLibraryOnlyFormsChangeNothingFromTheWireButLoadFromFiles)
{
    Bytes truncated = wire(0x02, {0x05, 0}, 297, 1), highByte = truncated;
    truncated.erase(truncated.end() - 2);
    highByte[100] = 0x80;
    const Bytes libraryPerformance = wire(0x05, {0x01, 2}, 383, 2), libraryFollowUp = wire(0x1B, {0x01, 2}, 27, 3);
    const Bytes libraryPattern = wire(0x0C, {0x00, 5}, 220, 4);
    const struct {
        Bytes bytes;
        const char* note;
    } rows[] = {
        {truncated, "type 02 of 296 bytes"},
        {wire(0x02, {0x05, 0}, 297, 1, 4), "addressed to device 4"},
        {highByte, "data byte above 7F"},
        {wire(0x00, {8}, 296, 1), "type 00 of 296 bytes"},
        {wire(0x0C, {0x01, 18}, 204, 1), "type 0C of 204 bytes"},
        {libraryPerformance, "library-only form, type 05 of 383 bytes"},
        {libraryFollowUp, "library-only form, type 1B of 27 bytes"},
        {libraryPattern, "library-only form, type 0C of 220 bytes"},
    };
    const SynthMemory powerOn;
    for (const auto& r : rows) {
        Synth s{Options{}};
        EXPECT_NE(s.receive(r.bytes, 0).note.find(r.note), std::string::npos) << r.note;
        const SynthMemory m = s.memory();
        EXPECT_TRUE(s.counters().stores == 0 && m.programs == powerOn.programs && m.partEdit == powerOn.partEdit &&
                    m.performances == powerOn.performances && m.followUps == powerOn.followUps &&
                    m.patterns == powerOn.patterns)
            << r.note;
    }
    Bytes file = libraryPerformance;
    file.insert(file.end(), libraryFollowUp.begin(), libraryFollowUp.end());
    file.insert(file.end(), libraryPattern.begin(), libraryPattern.end());
    const synthsim::SplitResult split = synthsim::splitSysEx(file.data(), file.size());
    Synth s{Options{}};
    std::vector<std::string> notes;
    EXPECT_EQ(s.load(split.messages, notes), 3);
    const SynthMemory m = s.memory();
    EXPECT_EQ(bytesOf(m.performances[0][2]), slice(libraryPerformance, 10, 382));
    EXPECT_EQ(bytesOf(m.followUps[0][2]), slice(libraryFollowUp, 10, 26));
    // The pattern's body, not its name.
    EXPECT_EQ(bytesOf(m.patterns[5]), slice(libraryPattern, 10, 203));
}

TEST(PowerOn, EachPartListensOnItsOwnChannelAndProgramChangesAreFollowedAsTheGlobalSettingsSay)
{
    const SynthMemory m;
    std::vector<const synthsim::PerformanceBody*> performances = {&m.performanceEdit};
    for (const auto& bank : m.performances)
        for (const auto& slot : bank) performances.push_back(&slot);
    for (const auto* perf : performances)
        for (size_t k = 0; k < 8; ++k) {
            const uint8_t* block = perf->data() + 20 + 44 * k; // dump position 28 + 44k
            ASSERT_EQ(block[2], k) << "channel of part " << k + 1;
            // Bits 2 and 3 set would switch the part's program and control reception off.
            ASSERT_EQ(block[10] & 0x0C, 0) << "part " << k + 1 << " receives program and control changes";
        }
    EXPECT_TRUE((m.global2[22 - 8] & 0x07) == 0x06 && (m.global2[24 - 8] & 0x06) == 0x06) << "received and sent";

    Synth s{Options{}};
    const Bytes bankA = wire(0x02, {0x05, 10}, 297, 1), bankB = wire(0x02, {0x06, 3}, 297, 2);
    s.receive(bankA, 0);
    s.receive(bankB, 0);
    s.receive({0xC2, 10}, 0); // channel 2: part 3
    const SynthMemory after = s.memory();
    EXPECT_TRUE(bytesOf(after.partEdit[2]) == slice(bankA, 10, 296) && after.partEdit[1] == m.partEdit[1]);
    EXPECT_EQ(after.partBlock(2)[0], 10) << "the performance remembers the part's program";
    // A bank select on a part's channel chooses the bank of its next program change.
    s.receive({0xB4, 32, 0x06}, 0);
    s.receive({0xC4, 3}, 0);
    Bytes part5 = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x09, 0x00, 0x04};
    part5.insert(part5.end(), bankB.begin() + 10, bankB.end());
    EXPECT_EQ(answersTo(s, editRequest()), std::vector<Bytes>{part5});
    // On the global channel: a performance of the performance bank chosen there.
    const Bytes perf = wire(0x07, {0x02, 3}, 383, 3);
    s.receive(perf, 0);
    s.receive({0xB9, 32, 97}, 0);
    s.receive({0xC9, 3}, 0);
    EXPECT_EQ(s.selectedKind(), synthsim::SelectedKind::Performance);
    EXPECT_EQ(slice(answersTo(s, editRequest()).at(0), 8, 380), slice(perf, 10, 382));

    // Global settings that switch receive and transmit off are followed; the panel still plays.
    Bytes g2 = wire(0x15, {}, 297, 1);
    g2[22] = 0x08;
    g2[24] = 0x00;
    s.reset(Options{});
    s.receive(g2, 0);
    const SynthMemory before = s.memory();
    EXPECT_NE(s.receive({0xC2, 10}, 0).note.find("not received"), std::string::npos);
    EXPECT_NE(s.receive({0xB9, 98, 113}, 0).note.find("not received"), std::string::npos);
    s.receive({0xB9, 6, 79}, 0);
    EXPECT_TRUE(s.memory().partEdit == before.partEdit && s.selectedPart() == 0 && s.counters().programChanges == 0);
    EXPECT_FALSE(s.panel({0xC2, 10}).transmitted);
    EXPECT_EQ(s.selectedPart(), 2);
}

TEST(PartSelect, WorksWithoutAnNrpnMsbAndKeepsTheNumberPerChannel)
{
    Options o;
    o.deviceId = 3;
    Synth s(o);
    s.receive({0xB3, 0x62, 0x71}, 0);
    s.receive({0xB3, 0x06, 0x4F}, 0);
    EXPECT_EQ(answersTo(s, editRequest(3)).at(0).at(8), 3) << "the dump of part 4";
    // Another channel's number leaves channel 3's alone; only the global channel selects.
    const struct {
        Bytes cc;
        int part;
    } rows[] = {{{0xB4, 98, 1}, 3},  {{0xB3, 6, 55 + 6}, 6}, {{0xB3, 6, 76 + 1}, 1}, {{0xB3, 6, 63}, 1},
                {{0xB3, 6, 84}, 1}, {{0xB4, 98, 113}, 1},   {{0xB4, 6, 58}, 1}};
    for (const auto& r : rows) {
        s.receive(r.cc, 0);
        EXPECT_EQ(s.selectedPart(), r.part) << int(r.cc[2]);
    }
}
