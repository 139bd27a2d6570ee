// The host's project state: the chunk the configured controller saves, a recall into a second
// controller, chunks refused whole, and the lookups by MIDI address.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchManager.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/UIConfigManager.h"
#include "controller_editor_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace qorid;
using Bytes = std::vector<uint8_t>;
using editortest::JobHold;

namespace
{

Bytes save(QOR& q)
{
    ByteChunk chunk;
    EXPECT_TRUE(q.SerializeState(&chunk));
    return Bytes(chunk.GetBytes(), chunk.GetBytes() + chunk.Size());
}

int recall(QOR& q, const Bytes& bytes)
{
    ByteChunk chunk;
    chunk.PutBytes(bytes.data(), int(bytes.size()));
    return q.UnserializeState(&chunk, 0);
}

template <class T> void append(Bytes& out, T v)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    out.insert(out.end(), p, p + sizeof v);
}

// The project chunk as the layout gives it, from the parameters, the blob and the names that
// are expected in it.
Bytes referenceChunk(QOR& q, const std::vector<std::string>& names)
{
    Bytes out{0, 0, 0, 1};
    append(out, q.GetParam(kQuickTab)->Value());
    append(out, q.GetParam(kCurrentModel)->Value());
    out.insert(out.end(), {0, 0, 0, 1, 0, 0, 0, 1});
    const KIT_HeapBuf& blob = q.patchManager->patch.data;
    const uint32_t n = uint32_t(blob.GetSize());
    out.insert(out.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    const auto* b = static_cast<const uint8_t*>(blob.Get());
    out.insert(out.end(), b, b + n);
    for (const std::string& name : names) {
        append(out, int32_t(name.size()));
        out.insert(out.end(), name.begin(), name.end());
    }
    for (int id : {kDeviceInSelection, kDeviceOutSelection, kBankSelection, kPatchSelection})
        append(out, q.GetParam(id)->GetNormalized(q.GetParam(id)->Value()));
    for (int id = 0; id < 4976; ++id) append(out, q.GetParam(id)->Value());
    return out;
}

// Logged lines that start with prefix, in order.
std::vector<std::string> linesFrom(const std::vector<std::string>& log, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& line : log)
        if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    return found;
}

} // namespace

TEST(ProjectState, ASaveAfterOpenMatchesTheLayoutByteForByteAndCutsLongNames)
{
    const std::string longDevice(40, 'd'), longMulti = "Twenty Characters!!!";
    const struct {
        const char* inText; // text of the input selection's current value; null: as configured
        const char* outText;
        std::string multi;
        std::vector<std::string> names;
    } cases[] = {
        {nullptr, nullptr, "INIT", {}},
        {longDevice.c_str(), "", longMulti, {}},
    };
    for (const auto& c : cases) {
        editortest::Editor e;
        QOR& q = *e.plug;
        if (c.inText) q.GetParam(kDeviceInSelection)->SetDisplayText(0, c.inText);
        if (c.outText) q.GetParam(kDeviceOutSelection)->SetDisplayText(0, c.outText);
        q.patchManager->patch.names[0] = c.multi;
        std::vector<std::string> names(25, "INIT");
        names.push_back(q.GetParam(kDeviceInSelection)->GetDisplayText(0));
        names.push_back(q.GetParam(kDeviceOutSelection)->GetDisplayText(0));
        if (c.inText) names[25] = longDevice.substr(0, 32), names[26] = "Set Name", names[0] = longMulti.substr(0, 16);
        const Bytes chunk = save(q);
        size_t characters = 0;
        for (const std::string& name : names) characters += name.size();
        EXPECT_EQ(chunk.size(), 79808 + characters);
        ASSERT_GT(chunk.size(), size_t(36));
        EXPECT_EQ(Bytes(chunk.begin() + 20, chunk.begin() + 36),
                  (Bytes{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0x9B, 0x94, 0, 0, 0, 1}));
        EXPECT_EQ(q.patchManager->patch.data.GetSize(), 39828);
        EXPECT_EQ(chunk, referenceChunk(q, names));
        std::string stored;
        q.patchManager->getName(&stored, 26);
        EXPECT_EQ(stored, names[26]);
    }
}

TEST(ProjectState, ARecallBringsBackValuesNamesAndSwitchesAndSendsNothingWithoutTheStoredDevice)
{
    editortest::Editor from;
    QOR& a = *from.plug;
    for (int id = 0; id < 4976; ++id) {
        IParam* p = a.GetParam(id);
        p->Set(p->GetMin() + (p->GetMax() - p->GetMin()) * double(id % 7) / 6.0);
    }
    for (int id = kMIDIFilterDAWCCPassThrough; id <= kMIDIFilterToDAWBuffer; ++id) a.GetParam(id)->Set(0.0);
    // Passed: host program change and device SysEx; routed to the host buffer.
    for (int id : {kMIDIFilterDAWPCPassThrough, kMIDIFilterHWSEPassThrough, kMIDIFilterToDAWBuffer})
        a.GetParam(id)->Set(1.0);
    a.GetParam(kGlobalMidiChannel)->Set(11);
    a.GetParam(kAdjustDAWOffset)->Set(a.GetParam(kAdjustDAWOffset)->GetMax());
    a.GetParam(kQuickTab)->Set(3);
    a.GetParam(kCurrentModel)->Set(1);
    a.GetParam(kBankSelection)->Set(a.GetParam(kBankSelection)->GetMax());
    a.GetParam(kSendMIDIClockInfo)->Set(0.0);
    a.GetParam(kUserInterfaceSize)->Set(0.0);
    a.patchManager->patch.names[0] = "Big Multi";
    for (int p = 0; p < 8; ++p) {
        a.patchManager->patch.names[size_t(1 + p)] = "Prog " + std::to_string(p);
        a.patchManager->patch.names[size_t(17 + p)] = "Pat " + std::to_string(p);
    }
    // A device that is not there: the recall follows it by name and owes it the performance.
    a.GetParam(kDeviceOutSelection)->SetDisplayText(0, "Gone Synth");
    const Bytes chunk = save(a);
    a.GetParam(kDeviceInSelection)->SetDisplayText(0, "Gone In");
    const Bytes bothGone = save(a);

    const struct {
        const char* name;
        bool outputBefore;
        const Bytes& chunk;
        const char* away; // the second line, which names what is away under the recall's own text
    } rows[] = {{"no output chosen before", false, chunk, "MIDI Out absent: Gone Synth"},
                {"an output chosen before", true, chunk, "MIDI Out absent: Gone Synth"},
                {"the input gone too", false, bothGone, "MIDI Out absent: Gone Synth; MIDI In absent: Gone In"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        editortest::Editor to;
        QOR& b = *to.plug;
        b.startupComplete = false;
        if (row.outputBefore) b.GetParam(kDeviceOutSelection)->Set(1);
        b.GetParam(kSendMIDIClockInfo)->Set(1.0);
        b.GetParam(kUserInterfaceSize)->Set(2.0);
        JobHold hold(*b.midiManager);
        // Every value comes back whatever the output: the host's next save keeps the project.
        EXPECT_EQ(recall(b, row.chunk), int(row.chunk.size()));

        for (int id = 0; id < 4976; ++id) ASSERT_EQ(b.GetParam(id)->Value(), a.GetParam(id)->Value()) << id;
        EXPECT_EQ(b.GetParam(kQuickTab)->Value(), 3.0);
        EXPECT_EQ(b.selectedPart.load(), 3);
        EXPECT_EQ(b.currentModel.load(), 1);
        EXPECT_EQ(b.GetParam(kBankSelection)->Value(), a.GetParam(kBankSelection)->Value());
        EXPECT_EQ(b.GetParam(kUserInterfaceSize)->Value(), 2.0) << "the editor's own ids from 4976 on stay";
        EXPECT_EQ(b.deviceId.load(), 11);
        EXPECT_EQ(b.dawOffset.load(), 2 * int(a.GetParam(kAdjustDAWOffset)->GetMax()) + b.GetBlockSize());
        EXPECT_STREQ(b.GetParam(kMultiName)->GetDisplayText(0), "Big Multi");
        EXPECT_STREQ(b.GetParam(kPatchName + 7)->GetDisplayText(0), "Prog 7");
        EXPECT_STREQ(b.GetParam(kPatternName + 7)->GetDisplayText(0), "Pat 7");
        EXPECT_EQ(to.text(b.patchDisplay), "Prog 3") << "the read-out shows the shown part's recalled program";
        std::vector<bool> blocked, expected(14, true);
        for (const auto& s : b.midiFilterSwitches) blocked.push_back(s.load());
        expected[1] = expected[13] = false;
        EXPECT_EQ(blocked, expected);
        EXPECT_TRUE(b.routeMidiToHostBuffer.load());
        EXPECT_FALSE(b.trackIncomingMidi.load());
        EXPECT_TRUE(b.sendClockInfo.load()) << "its parameter is the editor's own: b's value decides";
        EXPECT_TRUE(b.startupComplete.load());
        EXPECT_EQ(to.text(b.statusDisplay), "Project Data Recalled");
        EXPECT_EQ(to.text(b.valueDisplay), "MIDI Out absent: Gone Synth");
        b.OnEditorTimer(); // shows the followed devices: what is away is named once, under the recall's text
        EXPECT_EQ(to.text(b.statusDisplay), "Project Data Recalled");
        EXPECT_EQ(to.text(b.valueDisplay), row.away);

        // Nothing is sent while the stored device is away, now or at the next edit.
        EXPECT_TRUE(b.outputAway()) << "the stored device is absent: no output is open";
        EXPECT_EQ(b.GetExternalMIDIChoice(false), "Gone Synth") << "followed by its name";
        EXPECT_FALSE(hold.waitForJobs(1, 200)) << "no performance send";
        EXPECT_FALSE(b.incomingMidiBlocked.load() || b.deviceTransferActive.load());
        b.GetParam(kFilterCutoff + 1)->Set(90);
        b.OnParamChange(kFilterCutoff + 1);
        EXPECT_EQ(to.text(b.statusDisplay), "MIDI Out absent: Gone Synth") << "the next edit says where it went";
        EXPECT_EQ(b.midiLedOn[1].load(), 0);

        // The log's order is checked over JACK, with real devices.
        EXPECT_EQ(linesFrom(to.log(), "PROJECT RECALL: Part 7 "),
                  std::vector<std::string>{"PROJECT RECALL: Part 7 name Prog 7 | Pattern name Pat 7"});
    }
}

TEST(ProjectState, AChunkThatIsNotWholeIsRefusedBeforeAnythingChanges)
{
    editortest::Editor from;
    from.plug->patchManager->patch.names[0] = "Changed";
    from.plug->GetParam(100)->Set(from.plug->GetParam(100)->GetMax());
    const Bytes good = save(*from.plug);
    const size_t names = 32 + 39828, devices = names + 25 * 8, selections = good.size() - 39808 - 32;
    auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + long(n)); };
    auto patched = [&](size_t at, std::initializer_list<uint8_t> with) {
        Bytes b = good;
        std::copy(with.begin(), with.end(), b.begin() + long(at));
        return b;
    };
    Bytes doubles;
    for (int id = 0; id < 5124; ++id) append(doubles, from.plug->GetParam(id)->Value());
    const struct {
        const char* what;
        Bytes chunk;
        const char* reason;
    } cases[] = {
        {"empty", {}, "head cut short"},
        {"inside the head", cut(13), "head cut short"},
        {"inside the blob length", cut(30), "patch block head cut short"},
        {"inside the blob", cut(20000), "blob length 39828 runs past the end"},
        {"inside name 0's length", cut(names + 2), "name 0 cut short"},
        {"inside name 0", cut(names + 6), "name 0 cut short"},
        {"inside name 24", cut(devices - 1), "name 24 cut short"},
        {"inside name 25", cut(devices + 5), "name 25 cut short"},
        {"inside name 26", cut(selections - 2), "name 26 cut short"},
        {"inside the selections", cut(selections + 20), "values cut short"},
        {"before the values", cut(selections + 32), "values cut short"},
        {"inside the last value", cut(good.size() - 1), "values cut short"},
        {"a head tag of another kind", patched(3, {0}), "tag is not 00 00 00 01"},
        {"a block tag of another kind", patched(27, {2}), "patch block tag is not 00 00 00 01"},
        {"a blob length past the end", patched(28, {0x7F}), "blob length 2130746260 runs past the end"},
        {"a negative name length", patched(names + 3, {0x80}), "name 0 cut short"},
        {"plain doubles", doubles, "tag is not 00 00 00 01"},
    };
    editortest::Editor to;
    QOR& b = *to.plug;
    b.GetParam(kDeviceOutSelection)->Set(1);
    b.midiIOSet = true;
    const Bytes before = save(b);
    for (const auto& c : cases) {
        EXPECT_EQ(recall(b, c.chunk), -1) << c.what;
        EXPECT_EQ(save(b), before) << c.what;
        EXPECT_TRUE(b.midiIOSet.load()) << c.what;
        const std::vector<std::string> lines = linesFrom(to.log(), "PROJECT RECALL: ");
        ASSERT_FALSE(lines.empty()) << c.what;
        EXPECT_EQ(lines.back(),
                  "PROJECT RECALL: state chunk of " + std::to_string(c.chunk.size()) + " bytes refused: " + c.reason)
            << c.what;
    }
    Bytes trailing = good;
    trailing.insert(trailing.end(), 100, 0xEE);
    EXPECT_EQ(recall(b, trailing), int(good.size())) << "bytes after the last field are ignored";
    EXPECT_STREQ(b.GetParam(kMultiName)->GetDisplayText(0), "Changed");

    // The short form carries no names and no selections: head and values alone.
    ByteChunk shortForm;
    from.plug->SerializeState2(&shortForm, false);
    ASSERT_EQ(shortForm.Size(), 39828);
    shortForm.Resize(39827);
    EXPECT_EQ(b.UnserializeState2(&shortForm, 0, false), -1);
    shortForm.Resize(0);
    b.GetParam(100)->Set(b.GetParam(100)->GetMin());
    b.midiIOSet = true; // the short form touches no device: an open output lets it take the values
    from.plug->SerializeState2(&shortForm, false);
    EXPECT_EQ(b.UnserializeState2(&shortForm, 0, false), 39828);
    EXPECT_EQ(b.GetParam(100)->Value(), b.GetParam(100)->GetMax());
}

TEST(ControlLookups, FindOnlyAndTheProgramValuesKeepTheLastSet)
{
    editortest::Editor e;
    QOR& q = *e.plug;
    UIConfigManager& m = *q.uiConfigManager;
    IControl* marker = reinterpret_cast<IControl*>(&m); // any address: the maps never dereference it
    controlmaps::file(m.sysexControls.controls, marker, 900, 1, 2, 3, 4);
    controlmaps::file(m.nrpnControls.controls, marker, 900, 1, 2, 3, 4);
    controlmaps::file(m.ccControls, marker, 900, 1, 2);
    const auto sysex = m.sysexControls.controls;
    const auto nrpn = m.nrpnControls.controls;
    const auto cc = m.ccControls;
    const struct {
        int k[5];
        IControl* found;
    } cases[] = {
        {{900, 1, 2, 3, 4}, marker},  {{900, 1, 2, 3, 5}, nullptr}, // the last key missing
        {{900, 1, 9, 3, 4}, nullptr},                               // a middle key missing
        {{-77, 0, 0, 0, 0}, nullptr},                               // never mapped
        {{901, 1, 2, 3, 4}, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(q.getSysexControl(c.k[0], c.k[1], c.k[2], c.k[3], c.k[4]), c.found) << c.k[0] << " " << c.k[4];
        EXPECT_EQ(q.getMsbLsbControl(c.k[0], c.k[1], c.k[2], c.k[3], c.k[4]), c.found) << c.k[0] << " " << c.k[4];
        if (c.k[4] == 4) {
            EXPECT_EQ(q.getCCControls(c.k[0], c.k[1], c.k[2]), c.found) << c.k[0] << " " << c.k[2];
        }
        EXPECT_EQ(q.getCCControls(c.k[0], c.k[1], 7), nullptr);
        EXPECT_EQ(q.getProgramValueByParts(c.k[0], c.k[1], c.k[2]), 0);
    }
    EXPECT_TRUE(m.sysexControls.controls == sysex && m.nrpnControls.controls == nrpn && m.ccControls == cc);
    EXPECT_TRUE(m.programValues.empty()) << "a get inserts nothing";

    q.setProgramValueByParts(1, 2, 3, 40);
    q.setProgramValueByParts(1, 2, 3, 41);
    q.setProgramValueByParts(1, 2, 4, 0);
    EXPECT_EQ(q.getProgramValueByParts(1, 2, 3), 41);
    EXPECT_EQ(q.getProgramValueByParts(1, 2, 4), 0);
    EXPECT_EQ(q.getProgramValueByParts(1, 3, 3), 0);
    EXPECT_EQ(m.programValues.size(), size_t(1));
}
