// The simulator's own chart against the editor's listing (resources/midi-chart.md of the
// build): every listed parameter, sent at its lowest, middle and highest value the way the
// editor sends it, must land in the simulator under that name and come back in its dump.
#include "chart.h"
#include "script.h"
#include "session.h"
#include "synth.h"

#include "simwire.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <sstream>

namespace
{

using synthsim::Bytes;
using synthsim::Via;

constexpr int kPart = 2;    // part 3, on channel 2 at power-on
constexpr uint8_t kDev = 9; // the simulator's device id, also the global channel

struct Listed {
    Via via;
    int a = 0, b = 0, base = 0;
    std::string name;
    int lo = 0, hi = 0;
    bool global = false;
};

std::vector<std::string> cells(const std::string& line)
{
    std::vector<std::string> out;
    std::stringstream in(line);
    std::string c;
    std::getline(in, c, '|');
    while (std::getline(in, c, '|')) {
        const size_t b = c.find_first_not_of(" `"), e = c.find_last_not_of(" `");
        out.push_back(b == std::string::npos ? "" : c.substr(b, e - b + 1));
    }
    if (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

// The three address tables of the listing.
std::vector<Listed> readListing()
{
    std::ifstream in(testsupport::binaryDir() + "/resources/midi-chart.md");
    std::vector<Listed> rows;
    Via via = Via::CC;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("## Control change", 0) == 0)
            via = Via::CC;
        else if (line.rfind("## NRPN", 0) == 0)
            via = Via::NRPN;
        else if (line.rfind("## SysEx", 0) == 0)
            via = Via::SysEx;
        else if (line.rfind("## ", 0) == 0)
            break;
        const std::vector<std::string> c = cells(line);
        if (c.size() < 6 || c[0].empty() || c[0] == "CC" || !std::isxdigit(static_cast<unsigned char>(c[0][0])))
            continue;
        Listed r;
        r.via = via;
        size_t n = 0;
        if (via == Via::CC)
            r.a = std::stoi(c[n++]);
        else if (via == Via::NRPN)
            r.a = std::stoi(c[n++]), r.b = std::stoi(c[n++]), r.base = std::stoi(c[n++]);
        else
            r.a = std::stoi(c[n++], nullptr, 16), r.b = std::stoi(c[n++], nullptr, 16);
        r.name = c[n++];
        ++n; // ids
        const std::string& values = c[n++];
        r.lo = std::stoi(values);
        r.hi = std::stoi(values.substr(values.find('-') + 1));
        r.global = c[n] == "channel 16";
        rows.push_back(r);
    }
    return rows;
}

Bytes cc(int ch, int num, int v)
{
    return {uint8_t(0xB0 | ch), uint8_t(num), uint8_t(v)};
}

// The messages the editor sends for a value: the listed address and the encodings of its
// parameter-to-MIDI rules. Values that share one data byte go out with the other at 0.
std::vector<Bytes> editorMessages(const Listed& r, int v)
{
    const int ch = r.global ? kDev : kPart;
    if (r.via == Via::SysEx)
        return {{0xF0, 0x3E, 0x0F, kDev, uint8_t(r.a), uint8_t(r.global ? 0 : kPart), uint8_t(r.b), uint8_t(v), 0xF7}};
    if (r.via == Via::CC) {
        int d = v;
        if (r.name == "kFXReverbRoom" || r.name == "kFXMultiReverbRoom") d = 8 * v;
        if ((r.name == "kGlobalLocalControl" || r.name == "kArpLatch") && v == 1) d = 127;
        return {cc(ch, r.a, d)};
    }
    int msb = r.a, lsb = r.b, d = r.base + v;
    if (r.name == "kGlobalMidiChannel") d += 32;
    if (r.name == "kArpNoteOrdering") d = 122 + 2 * v;
    if (r.name == "kArpFillIn") d = 122 + v;
    if ((r.name == "kFXDelayRatio" || r.name == "kFXMultiDelayRatio") && v >= 11) msb = 0, lsb = 100, d = v + 99;
    if (r.name == "kGlobalRXPC") d = v ? 36 : 34;
    if (r.name == "kMultiPartPolyphony") d -= 1;
    if (r.name == "kMultiPartSustain") {
        if (v == 3)
            lsb = 110, d = 126;
        else if (v >= 4 && v <= 6)
            d = v + 76;
        else if (v == 7)
            lsb = 110, d = 127;
        else if (v >= 8 && v <= 12)
            lsb = 113, d = v - 4;
        else if (v == 13)
            d = 83;
    }
    return {cc(ch, 99, msb), cc(ch, 98, lsb), cc(ch, 6, d)};
}

// The effects of the performance twins sound only while the part leaves its program's effects.
void playPerformanceEffects(synthsim::Synth& s, int part)
{
    synthsim::SynthMemory m = s.memory();
    m.partBlock(part)[synthsim::kPartBlockSettings] &= uint8_t(~0x40);
    std::vector<std::string> notes;
    ASSERT_EQ(s.load({synthsim::buildPerformanceDump(0x20, kDev, m.performanceEdit.data())}, notes), 1);
}

// The dump the note names, fetched by the request that returns it.
Bytes requestDump(synthsim::Synth& s, const std::string& dump, int device)
{
    synthsim::Options o = s.options();
    o.editReply = dump == "program" ? synthsim::EditReply::AllParts : synthsim::EditReply::Performance;
    s.setOptions(o);
    const bool global = dump.rfind("global", 0) == 0 || dump == "device id";
    const synthsim::Handled h =
        s.receive(global ? simtest::enquiry(uint8_t(device)) : simtest::editRequest(uint8_t(device)), 0);
    if (h.replies.empty()) return {};
    if (dump == "program") return h.replies.at(kPart).bytes;
    return h.replies.at(dump == "global 2" ? 1 : 0).bytes;
}

Bytes nrpn(int ch, int msb, int lsb, int d, std::vector<Bytes>* into = nullptr)
{
    std::vector<Bytes> m = {cc(ch, 99, msb), cc(ch, 98, lsb), cc(ch, 6, d)};
    if (into) into->insert(into->end(), m.begin(), m.end() - 1);
    return m.back();
}

Bytes paramSysEx(int type, int part, int param, int v, uint8_t device = kDev)
{
    return {0xF0, 0x3E, 0x0F, device, uint8_t(type), uint8_t(part), uint8_t(param), uint8_t(v), 0xF7};
}

// Sends the messages and gives the note of the last.
std::string play(synthsim::Synth& s, const std::vector<Bytes>& messages)
{
    std::string note;
    for (const Bytes& m : messages) note = s.receive(m, 0).note;
    return note;
}

// One byte of a dump as the synthesizer would send it now.
int dumpByte(const synthsim::Synth& s, const std::string& dump, int part, int pos)
{
    const synthsim::SynthMemory m = s.memory();
    Bytes b;
    if (dump == "program")
        b = synthsim::buildProgramDump(0x20, kDev, uint8_t(part), m.partEdit[size_t(part)].data());
    else if (dump == "performance")
        b = synthsim::buildPerformanceDump(0x20, kDev, m.performanceEdit.data());
    else if (dump == "global 1")
        b = synthsim::buildGlobal1(0x20, kDev, m.global1.data());
    else
        b = synthsim::buildGlobal2(0x20, kDev, m.global2.data());
    return b.at(size_t(pos));
}

// What went wrong for one listed parameter at one value, "" when nothing did.
std::string check(synthsim::Synth& s, const Listed& r, int v)
{
    synthsim::Options o;
    s.reset(o);
    if (r.name.rfind("kFXMulti", 0) == 0 && r.via != Via::SysEx) playPerformanceEffects(s, kPart);
    std::string note;
    for (const Bytes& m : editorMessages(r, v)) note = s.receive(m, 0).note;
    const std::regex said("param " + r.name +
                          " part (\\S+) = (-?\\d+) \\((?:([a-z0-9 ]+) byte (\\d+)|(no dump byte))\\)");
    std::smatch got;
    if (!std::regex_search(note, got, said)) return "not taken: " + note;
    if (!r.global && got[1] != std::to_string(kPart + 1)) return "other part: " + note;
    if (note.find("clamped") != std::string::npos) return "clamped: " + note;
    if (std::stoi(got[2]) != v) return "value " + got[2].str() + ": " + note;
    if (got[5].matched) return "no dump byte";
    const std::string dump = got[3];
    const int pos = std::stoi(got[4]);
    const Bytes reply = requestDump(s, dump, s.options().deviceId);
    if (int(reply.size()) <= pos) return "no " + dump + " dump at the device id";
    const auto rows = synthsim::rowsNamed(r.name);
    for (const synthsim::ChartRow* row : rows)
        if (synthsim::dumpPosition(*row, kPart) == pos && synthsim::readValue(*row, reply[size_t(pos)], kPart) == v)
            return "";
    return dump + " byte " + std::to_string(pos) + " holds " + std::to_string(reply[size_t(pos)]);
}

} // namespace

// Where the listing and the dump layouts part ways the simulator follows the dumps; each
// such parameter is named here with what its dump says, so a new disagreement fails and a
// mended one is noticed.
TEST(SimulatorChart, EveryListedParameterLandsInItsDumpAtItsLowestMiddleAndHighestValue)
{
    const std::vector<Listed> listing = readListing();
    ASSERT_GT(listing.size(), 300u) << "the build's midi-chart.md is read";
    const std::map<std::string, std::string> known = {
        // No byte in the program dump: 78 and 112 are reserved, 270 holds the part's panning.
        {"kOscillator2SoftenLevel", "no dump byte"},
        {"kOscillator3SoftenLevel", "no dump byte"},
        {"kFXPanPosition", "no dump byte"},
        // In no dump at all.
        {"kMultiArpSource", "no dump byte"},
        {"kArpPattern", "no dump byte"},
        {"kArpMaxNotes", "no dump byte"},
        {"kArpClock", "no dump byte"},
        {"kArpDirection", "no dump byte"},
        {"kArpSortOrder", "no dump byte"},
        {"kArpVelocityMode", "no dump byte"},
        {"kArpTimeFactor", "no dump byte"},
        {"kArpSameNoteOverlap", "no dump byte"},
        {"kArpPatternReset", "no dump byte"},
        {"kArpPatternLength", "no dump byte"},
        {"kPartPattern", "no dump byte"},
        {"kGlobalSysExTxDelay", "no dump byte"},
        {"kGlobalTempDisplayTime", "no dump byte"},
        {"kVocoderInsert", "no dump byte"},
    };
    // Values sharing a byte go out with the other half as it stands; switches may say on
    // with any value but 0.
    const std::set<std::string> panelSendsItsOwn = {"kFXReverbRoom",          "kFXReverbEarlyRef", "kFXMultiReverbRoom",
                                                    "kFXMultiReverbEarlyRef", "kArpNoteOrdering",  "kArpFillIn",
                                                    "kFXPanWithFX",           "kFXMultiPanWithFX"};
    synthsim::Synth s{synthsim::Options{}};
    std::map<std::string, std::string> faults;
    for (const Listed& r : listing) {
        for (int v : {r.lo, (r.lo + r.hi) / 2, r.hi}) {
            std::string why = check(s, r, v);
            // The same parameter moved on the synthesizer's panel leaves as the editor's message.
            std::vector<Bytes> sent;
            s.reset(synthsim::Options{});
            s.panelParam(r.name, r.global ? 0 : kPart + 1, v, sent);
            if (why.empty() && !panelSendsItsOwn.count(r.name) && sent != editorMessages(r, v))
                why = "the panel sends " + std::to_string(sent.size()) + " other messages at " + std::to_string(v);
            if (!why.empty() && !faults.count(r.name)) faults[r.name] = why;
        }
        int lo = 127, hi = 0;
        for (const synthsim::ChartRow* row : synthsim::rowsNamed(r.name))
            lo = std::min(lo, int(row->lo)), hi = std::max(hi, int(row->hi));
        if ((lo != r.lo || hi != r.hi) && !faults.count(r.name))
            faults[r.name] = "range " + std::to_string(lo) + "-" + std::to_string(hi);
    }
    for (const auto& f : faults) {
        const auto k = known.find(f.first);
        EXPECT_TRUE(k != known.end() && f.second.rfind(k->second, 0) == 0) << f.first << ": " << f.second;
    }
    for (const auto& k : known) EXPECT_TRUE(faults.count(k.first)) << k.first << " now agrees: take it off the list";
}

// The bytes of the dump layouts, byte-exact, for the plain and the shared encodings.
TEST(SimulatorChart, ControllersAndParameterSysExWriteTheDumpBytesOfTheLayouts)
{
    struct Case {
        const char* what;
        std::vector<Bytes> messages;
        const char* dump;
        int part, pos, byte;
        const char* notes; // fragments the record must hold, '|' between them
    };
    std::vector<Bytes> pre;
    const std::vector<Case> cases = {
        {"cutoff", {cc(2, 74, 100)}, "program", 2, 220, 100, "param kFilterCutoff part 3 = 100 (program byte 220)"},
        {"octave 2", {cc(2, 99, 0), cc(2, 98, 0), cc(2, 6, 32)}, "program", 2, 32, 32, "kOscillator1Octave part 3 = 2"},
        {"bend 12", {paramSysEx(0x20, 2, 0x00, 12)}, "program", 2, 35, 64, "kOscillator1BendRange part 3 = 12"},
        {"polyphony 1, no unison",
         {paramSysEx(0x20, 2, 0x04, 0), paramSysEx(0x20, 2, 0x03, 0), paramSysEx(0x20, 2, 0x09, 1)},
         "program",
         2,
         247,
         0x42,
         "kProgramPolyphony part 3 = 1"},
        {"reverb 43", {cc(2, 19, 43)}, "program", 2, 278, 43, "kFXReverbRoom part 3 = 5|kFXReverbEarlyRef part 3 = 3"},
        {"envelopes 1 and 3",
         {cc(2, 99, 0), cc(2, 98, 1), cc(2, 6, 39)},
         "program",
         2,
         244,
         39,
         "kEnvelope1Triggering part 3 = 1|kEnvelope2Triggering part 3 = 0|kEnvelope3Triggering part 3 = 1"},
        {"ordering 2 fill-in 1",
         {cc(2, 99, 0), cc(2, 98, 1), cc(2, 6, 127)},
         "program",
         2,
         253,
         127,
         "kArpNoteOrdering part 3 = 2|kArpFillIn part 3 = 1"},
        {"delay ratio 12",
         {cc(2, 99, 0), cc(2, 98, 100), cc(2, 6, 111)},
         "program",
         2,
         290,
         108,
         "kFXDelayRatio part 3 = 12"},
        {"sustain 3",
         {cc(2, 99, 0), cc(2, 98, 110), cc(2, 6, 126)},
         "performance",
         0,
         28 + 88 + 4,
         126,
         "kMultiPartSustain part 3 = 3"},
        {"sustain 10",
         {cc(2, 99, 0), cc(2, 98, 113), cc(2, 6, 6)},
         "performance",
         0,
         28 + 88 + 4,
         6,
         "kMultiPartSustain part 3 = 10"},
        {"sustain 13",
         {cc(2, 99, 0), cc(2, 98, 84), cc(2, 6, 83)},
         "performance",
         0,
         28 + 88 + 4,
         83,
         "kMultiPartSustain part 3 = 13"},
        {"polyphony one less",
         {cc(2, 99, 0), cc(2, 98, 113), cc(2, 6, 2)},
         "performance",
         0,
         28 + 88 + 10,
         0x42, // effects on, and both receptions on at power-on
         "kMultiPartPolyphony part 3 = 2"},
        {"transpose 24",
         {paramSysEx(0x26, 2, 0x01, 24)},
         "performance",
         0,
         28 + 88 + 5,
         64,
         "kMultiPartTranspose part 3 = 24"},
        {"part 8 off", {paramSysEx(0x26, 7, 0x0A, 0)}, "performance", 0, 24, 0x70, "kMultiPartStatus part 8 = 0"},
        {"part 2 off", {paramSysEx(0x26, 1, 0x0A, 0)}, "performance", 0, 27, 0x02, "kMultiPartStatus part 2 = 0"},
        {"tempo", {cc(kDev, 9, 77)}, "performance", 0, 25, 77, "kGlobalTempo part - = 77"},
        {"receive program changes off",
         {cc(kDev, 99, 0), cc(kDev, 98, 110), cc(kDev, 6, 34)},
         "global 2",
         0,
         22,
         0x04,
         "kGlobalRXPC part - = 0"},
        {"receive program changes on",
         {cc(kDev, 99, 0), cc(kDev, 98, 110), cc(kDev, 6, 36)},
         "global 2",
         0,
         22,
         0x06,
         "kGlobalRXPC part - = 1"},
        {"breath 0, local off",
         {paramSysEx(0x27, 0, 0x09, 0), cc(kDev, 119, 0)},
         "global 2",
         0,
         9,
         0x34,
         "kGlobalLocalControl part - = 0"},
        {"clock", {paramSysEx(0x27, 0, 0x0A, 1)}, "global 1", 0, 14, 106, "kGlobalMIDIClock part - = 1"},
        {"vocoder width", {paramSysEx(0x28, 0, 0x03, 31)}, "program", 6, 262, 31, "kVocoderWidth part 1-8 = 31"},
    };
    synthsim::Synth s{synthsim::Options{}};
    for (const Case& c : cases) {
        s.reset(synthsim::Options{});
        std::string record;
        for (const Bytes& m : c.messages) record += s.receive(m, 0).note + "\n";
        std::stringstream want(c.notes);
        std::string fragment;
        while (std::getline(want, fragment, '|'))
            EXPECT_NE(record.find(fragment), std::string::npos) << c.what << ": " << record;
        const int got = dumpByte(s, c.dump, c.part, c.pos);
        // The width shares its byte with the arpeggiator's gate, in bits 0-1.
        if (std::string(c.what) == "vocoder width")
            EXPECT_EQ(got >> 2, c.byte) << c.what;
        else
            EXPECT_EQ(got, c.byte) << c.what;
    }
}

// The performance's effects while the part leaves its program's: the shared controller moves
// the part's block, and the program keeps its byte.
TEST(SimulatorChart, ASharedEffectControllerFollowsThePartsEffectsSetting)
{
    synthsim::Synth s{synthsim::Options{}};
    const int programByte = dumpByte(s, "program", kPart, 278);
    ASSERT_NO_FATAL_FAILURE(playPerformanceEffects(s, kPart));
    EXPECT_NE(s.receive(cc(kPart, 19, 43), 0).note.find("param kFXMultiReverbRoom part 3 = 5 (performance byte 143)"),
              std::string::npos);
    EXPECT_EQ(dumpByte(s, "performance", 0, 28 + 88 + 27), 43);
    EXPECT_EQ(dumpByte(s, "program", kPart, 278), programByte);
}

// A new global channel moves the device id: the enquiry is answered there, and no longer at
// the old one.
TEST(SimulatorChart, TheGlobalChannelMovesTheDeviceId)
{
    synthsim::Synth s{synthsim::Options{}};
    std::vector<Bytes> m;
    const Bytes last = nrpn(kDev, 0, 99, 33 + 3, &m);
    m.push_back(last);
    EXPECT_NE(play(s, m).find("param kGlobalMidiChannel part - = 3 (device id byte 6)"), std::string::npos);
    EXPECT_TRUE(s.receive(simtest::enquiry(kDev), 0).replies.empty());
    const synthsim::Handled h = s.receive(simtest::enquiry(3), 0);
    ASSERT_EQ(h.replies.size(), 2u);
    EXPECT_EQ(h.replies[0].bytes[6], 3);
    EXPECT_EQ(h.replies[1].bytes[6], 3);
}

// Addresses outside the chart, and parameter SysEx for another device, change nothing and
// say so; values past a range are held clamped, and the record says from what.
TEST(SimulatorChart, UnmappedAndForeignMessagesChangeNothingAndClampingIsRecorded)
{
    struct Case {
        Bytes message;
        const char* note;
    };
    const std::vector<Case> unmapped = {
        {cc(kPart, 38, 5), "cc 38 = 5: unmapped"},
        {cc(kPart, 6, 5), "cc 6 = 5: unmapped (no NRPN number)"},
        {cc(12, 74, 5), "cc 74 = 5: unmapped"},
        {cc(kPart, 119, 0), "cc 119 = 0: unmapped"},
        {paramSysEx(0x20, kPart, 0x7F, 1), "parameter 20/7F part byte 2 = 1: unmapped"},
        {paramSysEx(0x20, 8, 0x00, 1), "parameter 20/00 part byte 8 = 1: unmapped"},
        {paramSysEx(0x20, kPart, 0x00, 1, 3), "ignored: addressed to device 3"},
        {{0xF0, 0x3E, 0x0F, kDev, 0x20, 2, 0x00, 1, 0, 0xF7}, "ignored: parameter sysex of 10 bytes"},
    };
    synthsim::Synth s{synthsim::Options{}};
    const synthsim::SynthMemory before = s.memory();
    for (const Case& c : unmapped) EXPECT_EQ(s.receive(c.message, 0).note, c.note);
    std::vector<Bytes> m;
    m.push_back(nrpn(kPart, 0, 0, 5, &m));
    EXPECT_EQ(play(s, m), "nrpn 0/0 = 5: unmapped");
    m.clear();
    m.push_back(nrpn(kPart, 0, 113, 9, &m));
    EXPECT_EQ(play(s, m), "nrpn 0/113 = 9: unmapped");
    const synthsim::SynthMemory after = s.memory();
    EXPECT_TRUE(after.partEdit == before.partEdit && after.performanceEdit == before.performanceEdit &&
                after.global1 == before.global1 && after.global2 == before.global2);
    EXPECT_EQ(s.counters().unmapped, 8);
    EXPECT_EQ(s.counters().paramsApplied, 0);
    EXPECT_EQ(s.options().deviceId, kDev);

    EXPECT_EQ(s.receive(cc(kPart, 34, 100), 0).note,
              "cc 34 = 100: param kOscillator1Waveform part 3 = 4 (program byte 31), clamped from 100");
    m.clear();
    m.push_back(nrpn(kPart, 1, 0, 20, &m));
    EXPECT_EQ(play(s, m), "nrpn 1/0 = 20: param kFXDelayRatio part 3 = 10 (program byte 290), clamped from 20");
    EXPECT_EQ(dumpByte(s, "program", kPart, 31), 4);
    EXPECT_EQ(dumpByte(s, "program", kPart, 290), 106);
}

// A parameter moved on the panel leaves (a switch as 127), and the far end reads the message back
// as the same value; shared bytes keep their other half; a name outside the chart sends nothing.
TEST(SimulatorChart, APanelParameterLeavesAsTheListedMessageAndReadsBackTheSame)
{
    struct Case {
        const char* name;
        int part, value;
        std::vector<Bytes> bytes;
    };
    const std::vector<Case> cases = {
        {"kFilterCutoff", 3, 100, {{0xB2, 74, 100}}},
        {"kArpLatch", 1, 1, {{0xB0, 64, 127}}},
        {"kMultiPartSustain", 2, 9, {{0xB1, 99, 0}, {0xB1, 98, 113}, {0xB1, 6, 5}}},
        {"kGlobalMidiChannel", 0, 4, {{0xB9, 99, 0}, {0xB9, 98, 99}, {0xB9, 6, 37}}},
    };
    for (const Case& c : cases) {
        synthsim::Synth panel{synthsim::Options{}}, far{synthsim::Options{}};
        std::vector<Bytes> sent;
        const synthsim::Played p = panel.panelParam(c.name, c.part, c.value, sent);
        EXPECT_EQ(sent, c.bytes) << c.name << " " << c.value;
        EXPECT_TRUE(p.transmitted) << c.name;
        const std::string want = std::string("param ") + c.name + " part ";
        EXPECT_EQ(p.note.rfind(want, 0), 0u) << p.note;
        EXPECT_NE(play(far, sent).find(p.note), std::string::npos) << c.name << ": the far end reads " << p.note;
    }
    // Room and early reflections share their value: moving one keeps the other.
    synthsim::Synth s{synthsim::Options{}};
    std::vector<Bytes> sent;
    s.panelParam("kFXReverbEarlyRef", 3, 3, sent);
    s.panelParam("kFXReverbRoom", 3, 5, sent);
    EXPECT_EQ(sent, (std::vector<Bytes>{{0xB2, 19, 43}}));
    EXPECT_EQ(s.panelParam("kNoSuchParameter", 1, 1, sent).note, "no parameter kNoSuchParameter in the chart");
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(s.panelParam("kFilterCutoff", 0, 1, sent).note, "kFilterCutoff needs a part from 1 to 8");
}

// Random streams of controllers, NRPNs (on the chart's numbers and others), program changes and
// parameter SysEx over every channel: memory keeps only data bytes and the device id a channel.
TEST(SimulatorChart, RandomControllerStreamsLeaveOnlyDataBytesInMemory)
{
    std::mt19937 rng(34);
    auto any = [&rng](int n) { return int(rng() % unsigned(n)); };
    const int lsbs[] = {0, 1, 84, 99, 100, 110, 113, 120, 122};
    synthsim::Synth s{synthsim::Options{}};
    for (int i = 0; i < 20000; ++i) {
        const int ch = any(16), kind = any(8);
        std::vector<Bytes> m;
        if (kind < 4) {
            m.push_back(cc(ch, any(128), any(128)));
        } else if (kind < 6) {
            const Bytes last = nrpn(ch, any(3) ? any(5) : any(128), any(4) ? lsbs[any(9)] : any(128), any(128), &m);
            m.push_back(last);
        } else if (kind == 6) {
            m.push_back(paramSysEx(0x20 + any(10), any(10), any(0x30), any(128), uint8_t(s.options().deviceId)));
        } else {
            m.push_back({uint8_t(0xC0 | ch), uint8_t(any(128))});
        }
        ASSERT_FALSE(play(s, m).empty());
    }
    const synthsim::SynthMemory mem = s.memory();
    auto dataOnly = [](const uint8_t* p, size_t n) {
        return std::all_of(p, p + n, [](uint8_t b) { return b < 0x80; });
    };
    for (const auto& part : mem.partEdit) EXPECT_TRUE(dataOnly(part.data(), part.size()));
    EXPECT_TRUE(dataOnly(mem.performanceEdit.data(), mem.performanceEdit.size()));
    EXPECT_TRUE(dataOnly(mem.global1.data(), mem.global1.size()));
    EXPECT_TRUE(dataOnly(mem.global2.data(), mem.global2.size()));
    EXPECT_GE(s.options().deviceId, 0);
    EXPECT_LE(s.options().deviceId, 15);
    EXPECT_GT(s.counters().paramsApplied, 1000);
}

TEST(SimulatorChart, TheParamCommandTakesANameAPartAndAValue)
{
    synthsim::Command c;
    std::string err;
    ASSERT_TRUE(synthsim::parseCommand("param kFilterCutoff 3 100", c, err)) << err;
    EXPECT_TRUE(c.kind == synthsim::Command::Param && c.arg == "kFilterCutoff" && c.part == 3 && c.number == 100);
    for (const char* line : {"param kFilterCutoff 9 1", "param kFilterCutoff 1", "param kFilterCutoff 1 128",
                             "param kFilterCutoff one 1", "param"})
        EXPECT_FALSE(synthsim::parseCommand(line, c, err) || err.empty()) << line;
}
