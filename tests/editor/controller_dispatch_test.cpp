// The controller's own parameters, dispatched in process with the shipped configuration: what
// each edit leaves in the controller's fields, on screen, in the status lines, in the UI-size
// file and on the MIDI output.
#include "Project_Source/src/ControlAction.h"
#include "controller_dispatch_support.h"
#include "librarian_menus_support.h"

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>

using namespace qorid;
using dispatchtest::Desk;

namespace
{

const char* const kPanningStrips[] = {"partPanning1", "partPanning8", "progPanning1", "progPanning8"};

bool stripsHidden(const Desk& d)
{
    for (const char* strip : kPanningStrips)
        if (d.shown(strip)) return false;
    return true;
}

} // namespace

TEST(ControllerDispatch, EditsLeaveFieldsLayersAndStatusAsTheirCaseSays)
{
    Desk d;
    QOR& q = *d.plug;
    const struct {
        const char* what;
        std::vector<std::pair<int, double>> edits;
        std::function<bool()> holds;
    } cases[] = {
        {"waveform above its range",
         {{kOscillator2Waveform + 3, 99.7}},
         [&] { return d.value(kOscillator2Waveform + 3) == q.GetParam(kOscillator2Waveform + 3)->GetMax(); }},
        {"waveform below its range",
         {{kOscillator1Waveform, -4}},
         [&] { return d.value(kOscillator1Waveform) == q.GetParam(kOscillator1Waveform)->GetMin(); }},
        {"envelope 2 on alone dispatches the triggering bit field's own NRPN on part 3's channel",
         {{kEnvelope1Triggering + 2, 0},
          {kEnvelope2Triggering + 2, 0},
          {kEnvelope3Triggering + 2, 0},
          {kEnvelope2Triggering + 2, 1}},
         [&] {
             const std::vector<std::string> sent = d.plug->takeShorts();
             return d.value(kEnvelopeTriggering + 2) == 2.0 && sent.size() == 12 && sent[9] == "B2 63 00" &&
                    sent[10] == "B2 62 01" && sent[11] == "B2 06 24";
         }},
        {"envelope 1 on beside it",
         {{kEnvelope1Triggering + 2, 1}},
         [&] { return d.value(kEnvelopeTriggering + 2) == 6.0; }},
        {"envelope 2 off leaves envelope 1",
         {{kEnvelope2Triggering + 2, 0}},
         [&] { return d.value(kEnvelopeTriggering + 2) == 4.0; }},
        {"filter type 3", {{kFilterType, 3}}, [&] { return d.shown("filterSlopeOverlayer"); }},
        {"filter type 2 flashes the indicator",
         {{kFilterType, 3}, {kFilterType, 2}},
         [&] {
             const auto calls = d.plug->copy(d.plug->indicator);
             return !d.shown("filterSlopeOverlayer") && calls.size() >= 2 &&
                    calls[calls.size() - 2] == testsupport::Bytes{1} && calls.back() == testsupport::Bytes{0};
         }},
        {"part 7 refused on model 1",
         {{kCurrentModel, 0}, {kQuickTab, 2}, {kCurrentModel, 1}, {kQuickTab, 6}},
         [&] {
             return q.selectedPart == 2 && d.value(kQuickTab) == 2.0 &&
                    d.status1() == "Part 7 & 8 available for Tirravel II";
         }},
        {"part 7 chosen before model 1 ends at part 1",
         {{kCurrentModel, 0}, {kQuickTab, 6}, {kCurrentModel, 1}, {kQuickTab, 6}},
         [&] { return q.selectedPart == 0 && d.value(kQuickTab) == 0.0 && q.currentModel == 1; }},
        {"to the host buffer",
         {{kMIDIFilterToDAWBuffer, 1}},
         [&] { return q.routeMidiToHostBuffer && d.value(kMIDIFilterDirectToHardware) == 0.0; }},
        {"straight to the port",
         {{kMIDIFilterToDAWBuffer, 1}, {kMIDIFilterDirectToHardware, 1}},
         [&] { return !q.routeMidiToHostBuffer && d.value(kMIDIFilterToDAWBuffer) == 0.0; }},
        {"output offset", {{kAdjustDAWOffset, 37}}, [&] { return q.dawOffset == 74 + q.GetBlockSize(); }},
        {"global channel is the device id", {{kGlobalMidiChannel, 4}}, [&] { return q.deviceId == 4; }},
        {"local control", {{kGlobalLocalControl, 1}}, [&] { return bool(q.localControlOn); }},
        {"master keyboard on, then 2 is off",
         {{kMasterKeyboard, 1}, {kMasterKeyboard, 2}},
         [&] { return !q.masterKeyboardOn; }},
        {"clock info", {{kSendMIDIClockInfo, 1}}, [&] { return q.sendClockInfo && !q.continuousClockStarted; }},
        {"filter settings shown",
         {{kViewMIDIFilterSettings, 1}},
         [&] { return d.shown("midiFilterSettings") && stripsHidden(d); }},
        {"about window", {{kDisplayAboutWindow, 1}}, [&] { return d.shown("aboutWindow") && stripsHidden(d); }},
        {"about window closed",
         {{kDisplayAboutWindow, 1}, {kExitAboutWindow, 1}},
         [&] { return !d.shown("aboutWindow"); }},
        {"cancel", {{kCancelDataRequest, 1}}, [&] { return bool(q.midiManager->sender->cancelRequested); }},
        {"main tab", {{kMainTab, 3}}, [&] { return q.keptLayer("root")->selectedChildId == 3; }},
        {"the multi settings command shows the performance page and leaves the main tab",
         {{kMainTab, 3}, {kMultiSettings, 1}},
         [&] { return q.keptLayer("root")->selectedChildId == 0 && d.value(kMainTab) == 3.0; }},
        {"a part's settings show the main tab's page again",
         {{kMainTab, 3}, {kMultiSettings, 1}, {kMultiPartSettings + 2, 1}},
         [&] { return q.keptLayer("root")->selectedChildId == 3; }},
        {"a matrix choice shows its band on the modulation page of the selected part",
         {{kMainTab, 4}, {kQuickTab, 1}, {kMatrixSelector + 1, 1}},
         [&] {
             ControlLayer* matrix = q.keptLayer("lfoModMatrix");
             ControlLayer* panel = matrix ? matrix->childLayers.Get(matrix->selectedChildId) : nullptr;
             return matrix && matrix->selectedChildId == 1 && panel && panel->selectedChildId == 11;
         }},
        {"lights follow outgoing messages", {{kMIDIFilterTrackIncomingMIDI, 0}}, [&] { return !q.trackIncomingMidi; }},
    };
    for (const auto& c : cases) {
        d.plug->takeShorts();
        for (const auto& [id, v] : c.edits) d.edit(id, v);
        EXPECT_TRUE(c.holds()) << c.what << ": part " << q.selectedPart << ", quick tab " << d.value(kQuickTab)
                               << ", status " << d.status1();
        q.selectedPart = 0, q.currentModel = 0, q.midiManager->sender->cancelRequested = false;
        d.edit(kQuickTab, 0);
    }
}

TEST(ControllerDispatch, EachFilterSwitchBlocksItsOwnKindWhenNotPassing)
{
    Desk d;
    for (int id = kMIDIFilterDAWCCPassThrough; id <= kMIDIFilterHWSEPassThrough; ++id) {
        const size_t k = size_t(id - kMIDIFilterDAWCCPassThrough);
        for (const double pass : {0.0, 1.0, 0.0}) {
            d.edit(id, pass);
            EXPECT_EQ(d.plug->midiFilterSwitches[k], pass != 1.0) << id;
        }
        d.edit(id, 1.0);
    }
    for (const auto& blocked : d.plug->midiFilterSwitches) EXPECT_FALSE(blocked);
}

TEST(ControllerDispatch, TempoEditsSendControlChangeNineOnTheLastChannel)
{
    Desk d;
    QOR& q = *d.plug;
    d.plug->takeShorts();
    d.plug->tempo = 120.7;
    d.edit(kOverrideTempo, 1);
    EXPECT_EQ(d.plug->takeShorts(), std::vector<std::string>{"BF 09 37"});
    EXPECT_EQ(d.value(kGlobalTempo), 55.0);
    EXPECT_EQ(d.value(kArpSpeed), 55.0);
    EXPECT_EQ(d.Desk::text(q.ccDisplay), "CC|9");

    d.edit(kArpSpeed, 50);
    EXPECT_EQ(d.plug->takeShorts(), std::vector<std::string>{"BF 09 32"});
    EXPECT_EQ(d.value(kGlobalTempo), 50.0);
    EXPECT_EQ(q.tempoIndex, 50);

    d.edit(kGlobalTempo, 200);
    EXPECT_EQ(d.plug->takeShorts(), std::vector<std::string>{"BF 09 7F"}) << "clamped as every edit is";
    EXPECT_EQ(d.value(kArpSpeed), 127.0) << "kept in its own range";

    for (const double odd : {std::nan(""), std::numeric_limits<double>::infinity(), 1e12}) {
        d.plug->tempo = odd;
        d.edit(kOverrideTempo, 1);
        EXPECT_TRUE(d.plug->takeShorts().empty()) << odd;
        EXPECT_EQ(d.value(kGlobalTempo), 200.0) << odd;
    }
    d.edit(kOverrideTempo, 0);
    EXPECT_EQ(d.plug->takeShorts(), std::vector<std::string>{"BF 09 7F"}) << "the arpeggiator's speed";

    q.midiIOSet = false;
    d.edit(kArpSpeed, 20);
    EXPECT_TRUE(d.plug->takeShorts().empty());
}

TEST(ControllerDispatch, ValuesFromTheSynthesizerMoveTheReadOutAndSendNothing)
{
    Desk d;
    QOR& q = *d.plug;
    d.plug->takeShorts();
    q.midiManager->expectingEditDump = true;
    q.GetParam(kUnisonSwitch + 1)->Set(1); // a SysEx parameter
    q.OnParamChange2(kUnisonSwitch + 1);
    q.GetParam(kFilterCutoff + 2)->Set(70);
    q.OnParamChange2(kFilterCutoff + 2);
    q.GetParam(kQuickTab)->Set(4);
    q.OnParamChange2(kQuickTab);
    EXPECT_TRUE(d.plug->takeShorts().empty());
    EXPECT_TRUE(d.plug->copy(d.plug->handed).empty());
    EXPECT_FALSE(q.midiManager->expectingEditDump);
    EXPECT_FALSE(q.changeFromHardware);
    EXPECT_EQ(d.status2(), "70") << d.status1();
    EXPECT_TRUE(q.keptLayer("root")->IsVisible());
}

TEST(ControllerDispatch, SizeAndNoticeRewriteTheirLineAndKeepTheOthers)
{
    const struct {
        const char* what;
        const char* before;
        int id;
        double value;
        const char* after;
        const char* status1;
        const char* status2;
        double shown; // kUserInterfaceSize afterwards
    } cases[] = {
        {"large", "first  \r\nsmall\nyes\nOut A\t\nIn B", kUserInterfaceSize, 2, "first\nlarge\nyes\nOut A\nIn B\n",
         "Size changes applied...", "Reload project!", 2},
        {"a size no word names keeps line 2", "x\nnormal\nno\n\n\n", kUserInterfaceSize, 5, "x\nnormal\nno\n\n\n",
         "Size changes applied...", "Reload project!", 2},
        {"notice dismissed", "x\nsmall\nno\n\n\n", kFirstRunExit, 1, "x\nsmall\nyes\n\n\n", "Set MIDI In and MIDI Out",
         nullptr, 0},
    };
    for (const auto& c : cases) {
        Desk d(c.before);
        d.edit(c.id, c.value);
        EXPECT_EQ(d.uiFile(), c.after) << c.what;
        EXPECT_EQ(d.status1(), c.status1) << c.what;
        if (c.status2) {
            EXPECT_EQ(d.status2(), c.status2) << c.what;
        }
        if (c.id == kFirstRunExit) {
            EXPECT_FALSE(d.shown("firstRunNotification"));
            EXPECT_FALSE(d.plug->firstRunNoticeShown);
        } else {
            EXPECT_EQ(d.value(kUserInterfaceSize), c.shown) << c.what;
        }
    }
    Desk large("a\nnormal\nyes\n\n\n");
    large.edit(kUserInterfaceSize, 2);
    EXPECT_EQ(large.plug->uiScale, 1.15);
}

TEST(ControllerDispatch, AMissingOrUnwritableSizeFileIsReportedAndNotMade)
{
    {
        Desk d(nullptr);
        d.edit(kUserInterfaceSize, 0);
        EXPECT_EQ(d.status1(), "QOR Editor UI.txt MISSING!");
        EXPECT_EQ(d.status2(), "Contact support");
        EXPECT_EQ(d.plug->uiScale, 0.85) << "the setting changes all the same";
        EXPECT_NE(access(d.uiPath().c_str(), F_OK), 0);
    }
    // A full disk: no file may grow beyond a few bytes while the edit runs.
    const char* before = "keep\nnormal\nyes\nsome output port\nsome input port\n";
    Desk d(before);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 4;
    setrlimit(RLIMIT_FSIZE, &tiny);
    d.edit(kUserInterfaceSize, 2);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(d.uiFile(), before);
    EXPECT_EQ(d.status1(), "QOR Editor UI.txt MISSING!");
    EXPECT_EQ(d.status2(), "Contact support");
}

TEST(ControllerDispatch, ADeviceMenusCheckedEntryRunsItsChoiceAgainToReopenThePort)
{
    // Without a MIDI system each list holds only the no-device entry, checked.
    const struct {
        int id;
        std::vector<int> answer; // empty: the menu is dismissed
        const char* status;      // "": the choice does not run
    } cases[] = {
        {kDeviceOutSelection, {0}, "Default MIDI output set."},
        {kDeviceInSelection, {0}, "Default MIDI input set."},
        {kDeviceOutSelection, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << (c.answer.empty() ? " dismissed" : " chosen"));
        menutest::MenuDesk d;
        IControl* menu = d.plug->firstControl(c.id);
        ASSERT_NE(menu, nullptr);
        d.plug->dispatched.clear();
        d.answer(c.answer);
        IMouseMod left(true);
        menu->OnMouseDown(0, 0, &left);
        EXPECT_EQ(d.lastMenu(), "*Select MIDI Device");
        const std::vector<int> runs = *c.status ? std::vector<int>{c.id} : std::vector<int>{};
        EXPECT_EQ(d.plug->dispatched, runs);
        if (*c.status) {
            EXPECT_EQ(d.status1(), c.status);
        }
    }
}
