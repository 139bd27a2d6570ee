// The project's chart and its generator: the shipped chart passes every check and makes the
// same documents each time, the fixed addresses stand where the protocol needs them, and a
// chart broken in one row fails naming that row.
#include "chart.h"
#include "shipped_chart.h"

#include "Project_Source/src/ParamTable.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>

using namespace makeconfig;

namespace {

using chartfiles::readFile;
using chartfiles::shipped;

std::string joinedErrors(const std::vector<std::string>& errors)
{
    std::string all;
    for (const std::string& e : errors) all += e + "\n";
    return all;
}

// The line of the shipped chart whose first column is name, and its number.
std::string rowOf(const std::string& chart, const std::string& name, int* lineNo = nullptr)
{
    std::istringstream in(chart);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
        if (line.rfind(name + "\t", 0) == 0) {
            if (lineNo) *lineNo = n;
            return line;
        }
    return "";
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

} // namespace

TEST(ShippedChart, PassesEveryCheckAndMakesTheSameDocumentsEachTimeAsTheBuildDid)
{
    Outputs first, second;
    std::vector<std::string> errors;
    ASSERT_TRUE(generate(shipped(), &first, &errors)) << joinedErrors(errors);
    ASSERT_TRUE(generate(shipped(), &second, &errors));
    EXPECT_EQ(first.uiconfig, second.uiconfig);
    EXPECT_EQ(first.sysex, second.sysex);
    EXPECT_EQ(first.listing, second.listing);
    const std::string built = testsupport::binaryDir() + "/resources/";
    EXPECT_EQ(readFile(built + "uiconfig.xml"), first.uiconfig);
    EXPECT_EQ(readFile(built + "sysex.xml"), first.sysex);
    EXPECT_EQ(readFile(built + "midi-chart.md"), first.listing);
    EXPECT_LT(first.uiconfig.size(), static_cast<size_t>(kMaxLayoutBytes));
}

TEST(ShippedChart, TheAddressesTheProtocolFixesStandWhereItNeedsThem)
{
    Chart chart;
    Outputs out;
    std::vector<std::string> errors;
    ASSERT_TRUE(generate(shipped(), &out, &errors, &chart)) << joinedErrors(errors);
    std::map<std::string, const Row*> rows;
    for (const Row& r : chart.rows) rows[r.name] = &r;
    auto addr = [&](const char* name) {
        const Row* r = rows[name];
        if (!r) return std::string("missing");
        const Address& a = r->address;
        switch (a.kind) {
        case AddressKind::CC: return "cc " + std::to_string(a.cc);
        case AddressKind::NRPN:
            return "nrpn " + std::to_string(a.msb) + "/" + std::to_string(a.lsb) + "/" + std::to_string(a.base);
        case AddressKind::SysEx: return std::string("sysex");
        default: return std::string("none");
        }
    };
    const struct {
        const char* name;
        std::string address;
        const char* type; // empty: any type of the kind
    } pins[] = {
        {"kGlobalTempo", "cc 9", ""},
        {"kArpSpeed", "cc 9", ""},
        {"kGlobalLocalControl", addr("kGlobalLocalControl"), "ccButton"},
        {"kArpLatch", addr("kArpLatch"), "ccButton"},
        {"kEnvelopeTriggering", "nrpn 0/1/34", ""}, // the dump's byte 244 carries value + 34
        {"kArpNoteOrdering", "nrpn 0/1/122", ""},
        {"kArpFillIn", "nrpn 0/1/122", ""},
        {"kMultiPartSustain", "nrpn 0/84/77", ""},
        {"kGlobalRXPC", "nrpn 0/110/34", ""},
        {"kOscillator2Octave", "nrpn 0/0/35", ""},
        {"kLFO1Waveform", "nrpn 0/1/16", ""},
        {"kPartPattern", "sysex", ""},
        {"kFXReverbEarlyRef", addr("kFXReverbRoom"), ""},
        {"kFXMultiReverbEarlyRef", addr("kFXMultiReverbRoom"), ""},
    };
    for (const auto& p : pins) {
        SCOPED_TRACE(p.name);
        ASSERT_TRUE(rows[p.name]);
        EXPECT_EQ(addr(p.name), p.address);
        if (*p.type) {
            EXPECT_EQ(rows[p.name]->type, p.type);
        }
    }
    EXPECT_EQ(addr("kFXReverbRoom").rfind("cc ", 0), 0u);
    for (const char* name : {"kGlobalMidiChannel", "kMultiPartPolyphony", "kFXDelayRatio", "kFXMultiDelayRatio"})
        EXPECT_EQ(addr(name).rfind("nrpn ", 0), 0u) << name;
    // Filing orders of the two shared addresses: the second of each pair is the one found.
    EXPECT_LT(rows["kFXReverbRoom"]->line, rows["kFXReverbEarlyRef"]->line);
    EXPECT_LT(rows["kFXMultiReverbRoom"]->line, rows["kFXMultiReverbEarlyRef"]->line);
    EXPECT_LT(rows["kArpFillIn"]->line, rows["kArpNoteOrdering"]->line);
    // The part's effects: CC, except the delay-ratio block to the routing, whose NRPN LSB is its base.
    for (const Row& r : chart.rows) {
        if (r.id < kFXDistortionOverdrive || r.id > kFXCMorph) continue;
        const bool nrpn = r.id >= kFXDelayRatio && r.id < kFXCMorph;
        EXPECT_EQ(r.address.kind, nrpn ? AddressKind::NRPN : AddressKind::CC) << r.name;
        if (nrpn) {
            EXPECT_EQ(r.address.lsb, r.address.base) << r.name;
        }
    }
}

// Each case breaks the shipped chart (or its lists) in one place; the generator fails and names it.
TEST(BrokenChart, EachCheckFailsTheBuildAndNamesTheRow)
{
    const Inputs good = shipped();
    int cutoffLine = 0, resoLine = 0, slopeLine = 0, roomLine = 0;
    const std::string cutoff = rowOf(good.chart, "kFilterCutoff", &cutoffLine);
    const std::string reso = rowOf(good.chart, "kFilterResonance", &resoLine);
    const std::string slope = rowOf(good.chart, "kFilterSlope", &slopeLine);
    const std::string octave2 = rowOf(good.chart, "kOscillator2Octave");
    const std::string tune = rowOf(good.chart, "kGlobalMasterTune");
    const std::string room = rowOf(good.chart, "kFXReverbRoom", &roomLine);
    const std::string early = rowOf(good.chart, "kFXReverbEarlyRef");
    const std::string twin = rowOf(good.chart, "kFXMultiEQBass");
    const std::string deviceOut = rowOf(good.chart, "kDeviceOutSelection");
    int requestLine = 0, bankLine = 0;
    const std::string request = rowOf(good.chart, "kRequestFromBank", &requestLine);
    const std::string bank = rowOf(good.chart, "kMultiPartBank", &bankLine);
    int unusedLine = 0;
    const std::string unused = rowOf(good.chart, "kUnusedParam01", &unusedLine);
    const int last = static_cast<int>(std::count(good.chart.begin(), good.chart.end(), '\n')) + 1;
    const std::string at = "chart.tsv:" + std::to_string(last) + ": ";
    const std::string knob = "\tK\tccKnob\tIKNOBROTATERCONTROL_ID2\t0,0,127,1\t-\tcc:3\t-\t-\toscillatorsPanel\t-";
    const struct {
        const char* check;
        std::string chart, lists, error;
    } cases[] = {
        {"unregistered name", good.chart + "kNoSuchThing" + knob + "\n", "", at + "kNoSuchThing: name is not registered"},
        {"per-part name past the table", good.chart + "kLibrarianArea" + knob + "\n", "",
         at + "kLibrarianArea: name + 7 lies past 5123"},
        {"wire value", replaced(good.chart, cutoff, replaced(cutoff, "127,0,127", "127,0,200")), "",
         "chart.tsv:" + std::to_string(cutoffLine) + ": kFilterCutoff: value 128 lies outside 0 to 127"},
        {"reserved CC", replaced(good.chart, cutoff, replaced(cutoff, "cc:74", "cc:38")), "",
         "chart.tsv:" + std::to_string(cutoffLine) + ": kFilterCutoff: CC 38 is reserved"},
        {"menu list length", replaced(good.chart, slope, replaced(slope, "0,0,2", "0,0,3")), "",
         "chart.tsv:" + std::to_string(slopeLine) + ": kFilterSlope: list filterSlope holds 2 texts for 3 entries"},
        {"menu without MIDI: list length", replaced(good.chart, request, replaced(request, "0,0,8", "0,0,9")), "",
         "chart.tsv:" + std::to_string(requestLine) +
             ": kRequestFromBank: list bankNumber holds 8 texts for 9 entries"},
        {"menu without MIDI: numbered entries", replaced(good.chart, bank, replaced(bank, "0:7", "0:3")), "",
         "chart.tsv:" + std::to_string(bankLine) + ": kMultiPartBank: value display 0:3 numbers 4 entries, not 8"},
        {"read-out list", replaced(good.chart, slope, replaced(replaced(slope, "seMenu\t-", "seKnob\tIKNOBROTATERCONTROL_ID5"), "0,0,2\tfilterSlope", "0,0,4,1\t-")), "",
         "chart.tsv:" + std::to_string(slopeLine) + ": kFilterSlope: read-out list filterSlope does not cover 0 to 4"},
        {"shared keys", replaced(good.chart, reso, replaced(reso, "cc:71", "cc:74")), "",
         "chart.tsv:" + std::to_string(resoLine) + ": kFilterResonance: shares its incoming keys with kFilterCutoff"},
        {"NRPN that decodes elsewhere", replaced(good.chart, octave2, replaced(octave2, "nrpn:0/0/35", "nrpn:0/0/36")),
         "", "kOscillator2Octave: value 0 (data 36) does not decode to the row's own keys"},
        {"SysEx minimum", replaced(good.chart, tune, replaced(tune, "64,0,127", "64,1,127")), "",
         "kGlobalMasterTune: a SysEx row's minimum is not 0"},
        {"SysEx type 13", good.chart + "kArpClock\tC\tseKnob\tIKNOBROTATERCONTROL_ID2\t0,0,15,1\t-\tsx:13/1\t-\t-\tsequencerPanel\t-\n",
         "", at + "kArpClock: SysEx type 13 is the pattern dump"},
        {"SysEx number repeats",
         good.chart + "kArpPatternLength\tL\tseKnob\tIKNOBROTATERCONTROL_ID2\t0,0,31,1\t-\tsx:32/0\t-\t-\tsequencerPanel\t-\n",
         "", at + "kArpPatternLength: SysEx parameter number 0 of type 32 repeats"},
        {"channel missing", replaced(good.chart, tune, replaced(tune, "\t16\t", "\t-\t")), "",
         "kGlobalMasterTune: channel missing on a control outside the per-part layers"},
        {"channel 16 elsewhere",
         good.chart + "kUnusedParam01\tU\tccMenu\t-\t0,0,2\tfilterSlope\tcc:3\t16\t-\tmultiModeSettingsPage1\t-\n", "",
         at + "kUnusedParam01: channel 16 on a control not sent on the global channel"},
        {"keyed by part outside the panels",
         good.chart + "kGlobalMasterVolume\tV\tccKnob\tIKNOBROTATERCONTROL_ID2\t0,0,127,1\t-\tcc:3\t16\t-\tmultiModeSettingsPage1\t-\n",
         "", at + "kGlobalMasterVolume: on layer multiModeSettingsPage1 the creator keys by part"},
        {"effect without twin", replaced(good.chart, twin + "\n", ""), "", "kFXEQBass: has no twin"},
        {"shared address in the wrong order", replaced(replaced(good.chart, room, "@@"), early, room), "",
         "kFXReverbRoom: filed after kFXReverbEarlyRef"},
        {"outside the layout", good.chart + "kArpClock" + replaced(knob, "oscillatorsPanel\t-", "sequencerPanel\t@1480,700") + "\n",
         "", at + "kArpClock: placed outside the 1500x757 layout"},
        {"overlap", good.chart + "kArpClock" + replaced(knob, "oscillatorsPanel\t-", "sequencerPanel\t-") + "\n", "",
         "kArpClock: overlaps kQuickTab"},
        {"name too long for its cell", replaced(good.chart, "kFilterCutoff\tCutoff\t", "kFilterCutoff\tFilter Cutoff Frequency Amount\t"),
         "", "kFilterCutoff: its name \"Filter Cutoff Frequency Amount\" does not fit 74x24"},
        {"name under a control", good.chart, "", "kEnv1Release: overlaps kFilterCutoff's name"},
        {"names crossing in one picture", good.chart, "",
         "labels.tsv:0: LFO_DESTINATION_ID: the name \"Cutoff by Mod Wheel\" of layer lfo1destination2 crosses"},
        {"device menu under a layer", replaced(good.chart, deviceOut, replaced(deviceOut, "devices", "@1142,60")), "",
         "kDeviceOutSelection: the device menu lies under the layer bankAndProgram01"},
        {"window under the menus", good.chart, "", "sections.tsv:0: aboutWindow: the window lies under the bank and program menus"},
        {"dump byte without a range", replaced(good.chart, unused + "\n", ""), "",
         "chart.tsv: kUnusedParam01: the program dump byte 27 carries it, but no row gives it a range"},
        {"plain dump byte in a narrower range", replaced(good.chart, unused, replaced(unused, "0,0,128", "0,0,100")), "",
         "chart.tsv:" + std::to_string(unusedLine) +
             ": kUnusedParam01: the program dump byte 27 carries it as a plain byte, but its range is 0 to 99"},
        {"fixed list length", good.chart, replaced(good.lists, "\tB7", ""), "lists.tsv:0: keyList: list holds 127 texts, not 128"},
        {"a routing missing", good.chart, replaced(good.lists, "\tRouting 19", ""),
         "lists.tsv:0: fxRouting: list holds 18 texts, not 19"},
        {"layout too large",
         good.chart + "kGlobalSysExTxDelay\t" + std::string(kMaxLayoutBytes, 'x') +
             "\tseKnob\tIKNOBROTATERCONTROL_ID2\t0,0,127,1\t-\tsx:39/100\t16\t-\tmultiModeSettingsPage1\t@1000,600\n",
         "", "uiconfig.xml: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.check);
        Inputs in = good;
        in.chart = c.chart;
        // The swap case leaves a marker where the room row stood: put the early row there.
        in.chart = replaced(in.chart, "@@", early);
        if (!c.lists.empty()) in.lists = c.lists;
        if (std::string(c.check) == "name under a control") // the envelopes moved up over the filter's names
            in.sections = replaced(in.sections, "envelopes\tfiltersEnvelopesPanel\t-\t80\t300", "envelopes\tfiltersEnvelopesPanel\t-\t80\t160");
        if (std::string(c.check) == "names crossing in one picture") // two matrix pages on one picture
            in.sections = replaced(in.sections, "lfo1destination2\teffects1Panel\tRING_DESTINATION_ID", "lfo1destination2\teffects1Panel\tLFO_DESTINATION_ID");
        if (std::string(c.check) == "window under the menus")
            in.sections = replaced(in.sections, "aboutWindow\t-\tBG_ABOUT_ID\t450\t200", "aboutWindow\t-\tBG_ABOUT_ID\t1100\t50");
        Outputs out;
        std::vector<std::string> errors;
        EXPECT_FALSE(generate(in, &out, &errors));
        const std::string all = joinedErrors(errors);
        EXPECT_NE(all.find(c.error), std::string::npos) << all;
        EXPECT_LT(errors.size(), 20u) << all; // the failure is told, not drowned
    }
}
