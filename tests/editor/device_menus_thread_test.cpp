// The device menus and status lines while the chosen synthesizer goes and comes back, with the
// port layer's own follower over a fake MIDI system: what the follower changes reaches the menus
// only on the editor's timer, and a menu open while the lists change takes the device the user
// clicked.
#include "device_menus_support.h"
#include "Project_Source/src/SysexFamily.h"

#include <sstream>

using namespace qorid;
using devicemenus::Desk;
using devicemenus::FakeSystem;

// Each row sends devices away and brings them back; the menus change only when the editor's
// timer runs, name the chosen device once, marked, and a return asks the synthesizer once.
TEST(DeviceMenus, TheFollowersChangesReachTheMenusOnTheEditorsTimerAndTellTheTruthOnce)
{
    FakeSystem s;
    Desk d("Synth Out", "Synth In");
    std::atomic<uint32_t> now{0};
    d.q->mLedClock = [&now] { return now.load(); };
    // Stored devices that are off at start-up: both are said, once the start-up is done.
    EXPECT_EQ(d.shown(kDeviceOutSelection), "Synth Out (absent)");
    EXPECT_EQ(d.shown(kDeviceInSelection), "Synth In (absent)");
    d.tick();
    EXPECT_EQ(d.status1(), "MIDI Out absent: Synth Out");
    EXPECT_EQ(d.status2(), "MIDI In absent: Synth In");
    s.set(false, {"Other Out", "Synth Out"});
    s.set(true, {"Synth In"});
    d.plug(s);
    EXPECT_EQ(d.enquiries, 1) << "the return asks once";
    const std::vector<std::string> outs{"Select MIDI Device", "Other Out", "Synth Out"};
    EXPECT_EQ(d.entries(kDeviceOutSelection), outs);
    EXPECT_EQ(d.shown(kDeviceOutSelection), "Synth Out");
    EXPECT_EQ(d.status1(), "Plug-in is ready to go!") << "the return's enquiry is not covered";
    EXPECT_EQ(d.status2(), "") << "the input's absent text goes too";

    const struct Row {
        const char* what;
        bool out, in;
        const char *line1, *line2; // line2 null: what was there stays
        const char* back2;         // line 2 once a knob's read-out has been shown a while
    } rows[] = {
        {"output", true, false, "MIDI Out absent: Synth Out", nullptr, ""},
        {"input", false, true, "MIDI In absent: Synth In", nullptr, ""},
        {"both", true, true, "MIDI Out absent: Synth Out", "MIDI In absent: Synth In", "MIDI In absent: Synth In"},
    };
    int asked = d.enquiries;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string outBefore = d.shown(kDeviceOutSelection), inBefore = d.shown(kDeviceInSelection);
        int before = d.q->mFollowed;
        if (row.out) s.set(false, {"Other Out"});
        if (row.in) s.set(true, {});
        ASSERT_TRUE(d.followed(before));
        while ((d.q->GetExternalMIDIOpenIndex(false) > 0) == row.out ||
               (d.q->GetExternalMIDIOpenIndex(true) > 0) == row.in)
            ASSERT_TRUE(d.followed(d.q->mFollowed));
        // The follower has closed the ports; the menus wait for the main thread.
        EXPECT_EQ(d.shown(kDeviceOutSelection), outBefore);
        EXPECT_EQ(d.shown(kDeviceInSelection), inBefore);
        d.tick();
        const std::vector<std::string> marked{"Select MIDI Device", "Other Out", "Synth Out (absent)"};
        EXPECT_EQ(d.entries(kDeviceOutSelection), row.out ? marked : outs);
        EXPECT_EQ(d.shown(kDeviceOutSelection), row.out ? "Synth Out (absent)" : "Synth Out");
        EXPECT_EQ(d.shown(kDeviceInSelection), row.in ? "Synth In (absent)" : "Synth In");
        EXPECT_EQ(d.status1(), row.line1);
        if (row.line2) {
            EXPECT_EQ(d.status2(), row.line2);
        }
        // Chosen again while away: still followed and marked, still said, and edits are no
        // reason to ask for a choice.
        const int id = row.out ? kDeviceOutSelection : kDeviceInSelection;
        dispatchtest::edit(*d.q, id, d.q->GetParam(id)->Value());
        EXPECT_EQ(d.q->GetExternalMIDIChoice(!row.out), row.out ? "Synth Out" : "Synth In");
        EXPECT_EQ(d.shown(id), row.out ? "Synth Out (absent)" : "Synth In (absent)");
        EXPECT_EQ(d.status1(), row.line1);
        dispatchtest::edit(*d.q, d.knob(), 30 + asked);
        const std::string knob = d.status1();
        EXPECT_NE(knob, "Set MIDI I/O First!");
        if (row.out) {
            EXPECT_EQ(knob, row.line1) << "the edit says where it went";
        }
        d.tick();
        EXPECT_EQ(d.status1(), knob) << "said once";
        // The read-out has been read: the absent texts are back, once.
        now += 2000;
        d.tick();
        EXPECT_EQ(d.status1(), row.line1);
        EXPECT_EQ(d.status2(), row.back2);
        d.tick();
        EXPECT_EQ(d.status2(), row.back2);

        before = d.q->mFollowed;
        s.set(false, {"Other Out", "Synth Out"});
        s.set(true, {"Synth In"});
        while (d.q->GetExternalMIDIOpenIndex(false) == 0 || d.q->GetExternalMIDIOpenIndex(true) == 0)
            ASSERT_TRUE(d.followed(d.q->mFollowed));
        d.settle();
        d.tick();
        EXPECT_EQ(d.enquiries, ++asked) << "the return asks once";
        EXPECT_EQ(d.entries(kDeviceOutSelection), outs);
        EXPECT_EQ(d.shown(kDeviceInSelection), "Synth In");
        EXPECT_EQ(d.status1(), "Plug-in is ready to go!") << "the return's enquiry is not covered";
        EXPECT_EQ(d.status2().find("absent"), std::string::npos) << d.status2();
    }

    // Away, then two ports of its name under other numbers: neither is taken, and the status
    // says why.
    int before = d.q->mFollowed;
    s.set(false, {"Other Out"});
    while (d.q->GetExternalMIDIOpenIndex(false) > 0) ASSERT_TRUE(d.followed(before = d.q->mFollowed));
    s.set(false, {"Other Out", "Synth Out 24:0", "Synth Out 25:0"});
    while (d.q->GetExternalMIDIFollowWhy(false).empty()) ASSERT_TRUE(d.followed(before = d.q->mFollowed));
    d.tick();
    EXPECT_EQ(d.q->GetExternalMIDIOpenIndex(false), 0);
    EXPECT_EQ(d.status1(), "MIDI Out absent: Synth Out");
    EXPECT_NE(d.status2().find("none opened"), std::string::npos) << d.status2();
}

// The lists are read again while the output menu is open (an input that was away comes back
// under a name they lacked, and a new output comes first): the click takes the device it named.
TEST(DeviceMenus, AListChangeWhileTheMenuIsOpenKeepsTheDeviceTheUserClicked)
{
    const struct Row {
        int clicked;
        const char* device;
    } rows[] = {{1, "A"}, {2, "Synth Out"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.device);
        FakeSystem s;
        s.set(false, {"A", "Synth Out"});
        Desk d("Synth Out", "Keys", &s);
        ASSERT_EQ(d.entries(kDeviceOutSelection), (std::vector<std::string>{"Select MIDI Device", "A", "Synth Out"}));
        const int before = d.q->mFollowed;
        d.choose(kDeviceOutSelection, row.clicked, [&] {
            s.set(false, {"New Out", "A", "Synth Out"});
            s.set(true, {"Keys"});
            while (d.q->GetExternalMIDIOpenIndex(true) == 0) ASSERT_TRUE(d.followed(before));
            d.tick(); // the menu's own loop runs the timer
        });
        EXPECT_EQ(d.q->GetExternalMIDIChoice(false), row.device);
        EXPECT_GT(d.q->GetExternalMIDIOpenIndex(false), 0);
        EXPECT_EQ(d.shown(kDeviceOutSelection), row.device);
        EXPECT_EQ(d.shown(kDeviceInSelection), "Keys");
    }
}

// A choice made while a chosen device is away: nothing is asked through the output that is away
// (the start-up's request included), and the lines name what is away.
TEST(DeviceMenus, AChoiceWhileADeviceIsAwayAsksNothingThroughItAndSaysWhatIsAway)
{
    const struct Row {
        const char* what;
        std::vector<std::string> outs, ins;
        const char* chosen;
        const char *line1, *line2, *knob; // null: not checked
        std::vector<std::string> refused = {}; // listed outputs that no client opens
    } rows[] = {
        {"the stored output off at start-up, chosen again",
         {"Other Out"},
         {"Synth In"},
         "Synth Out",
         "MIDI Out absent: Synth Out",
         nullptr,
         "MIDI Out absent: Synth Out"},
        {"another output while the input is away",
         {"Synth Out", "Other Out"},
         {},
         "Other Out",
         "Default MIDI output set.",
         "MIDI In absent: Synth In",
         nullptr},
        {"the stored output listed but refused, chosen again",
         {"Synth Out"},
         {"Synth In"},
         "Synth Out",
         "MIDI Out could not be opened: Synth Out",
         nullptr,
         "MIDI Out could not be opened: Synth Out",
         {"Synth Out"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeSystem s;
        s.set(false, row.outs);
        s.set(true, row.ins);
        s.refuse(false, row.refused);
        Desk d("Synth Out", "Synth In", &s);
        // The start-up's request waits while the stored output is away.
        ASSERT_EQ(d.q->initialRequestPending.load(), d.q->GetExternalMIDIOpenIndex(false) == 0);
        dispatchtest::edit(*d.q, kDeviceOutSelection, d.q->deviceEntry(false, row.chosen));
        d.render();
        EXPECT_EQ(d.enquiries, 0) << "nothing could hear it, or nothing could take it";
        EXPECT_EQ(d.status1(), row.line1);
        if (row.line2) {
            EXPECT_EQ(d.status2(), row.line2);
        }
        dispatchtest::edit(*d.q, d.knob(), 40);
        if (row.knob) {
            EXPECT_EQ(d.status1(), row.knob);
        }
    }
}

// A project recalled while the synthesizer is off owes it the performance: paid once it is
// back, at the id an enquiry adopts, whatever ended the first enquiry; the user's Cancel ends
// the debt; while the chosen input is away it waits for the input's enquiry, even with the
// output back.
TEST(DeviceMenus, ARecallsSendIsPaidOnceToTheDeviceThatIsThere)
{
    enum class Then { ChooseInput, Cancel, InputLater, PushAway, RecalledWhileBusy, CutDuringSend };
    const struct Row {
        const char* what;
        Then then;
        std::vector<int> ids; // the device byte of each performance dump sent
        const char* line2;    // null: not checked
        bool renders = true;  // a host may not render at all while it plays nothing
    } rows[] = {
        {"its enquiry ended by a choice of input", Then::ChooseInput, {9}, nullptr},
        {"its enquiry ended by a choice of input, no render call", Then::ChooseInput, {9}, nullptr, false},
        {"its enquiry cancelled by the user", Then::Cancel, {}, "Recalled performance not sent"},
        {"the output back first, the input later", Then::InputLater, {9}, nullptr},
        {"pushed while it is off", Then::PushAway, {9}, nullptr},
        {"recalled while it is on and a job is still ending", Then::RecalledWhileBusy, {9}, nullptr},
        {"its send cut by the output going, paid again on its return", Then::CutDuringSend, {9, 9}, nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        FakeSystem s;                    // outlives the clients it lends the controller
        Desk d("Synth Out", "Synth In"); // the synthesizer is off
        std::atomic<bool> hold{false}, held{false}, cut{row.then == Then::CutDuringSend};
        std::atomic<size_t> sentBefore{size_t(-1)};
        // Its last message handed: nothing more the send does fails for the cut.
        const auto performanceSent = [&] {
            const std::vector<testsupport::Bytes> handed = d.q->copy(d.q->handed);
            for (size_t i = sentBefore; i + 1 < handed.size(); ++i)
                if (handed[i].size() == SysexFamily::kPerformanceDumpSize) return true;
            return false;
        };
        // Short waits: a late answer only ends the sweep later, the id it gives is the same.
        d.q->midiManager->sender->onPause = [&](int& ms) {
            ms = std::min(ms, 100);
            while (hold || (cut && performanceSent())) held = true, std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        auto openBoth = [&](bool in, bool out) {
            while ((d.q->GetExternalMIDIOpenIndex(true) > 0) != in || (d.q->GetExternalMIDIOpenIndex(false) > 0) != out)
                ASSERT_TRUE(d.followed(d.q->mFollowed));
            KIT_MutexLock stepDone(d.q->GetMutex()); // the follower's step, with what it started
        };
        d.q->GetParam(kGlobalMidiChannel)->Set(11); // the synthesizer's own is 9
        const bool busy = row.then == Then::RecalledWhileBusy;
        if (busy) { // on, its return's enquiry held while the recall cuts it short
            hold = true;
            s.set(false, {"Synth Out"});
            s.set(true, {"Synth In"});
            d.q->plugIn(s);
            d.q->wake();
            openBoth(true, true);
            while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ByteChunk project;
        ASSERT_TRUE(d.q->SerializeState(&project));
        ASSERT_EQ(d.q->UnserializeState(&project, 0), project.Size());
        const bool owed = d.q->recalledSendOwed.load();
        hold = false;
        ASSERT_TRUE(owed);
        const size_t before = d.q->copy(d.q->handed).size();
        sentBefore = before;
        if (busy) d.settle();

        if (row.then == Then::PushAway) {
            dispatchtest::edit(*d.q, kPushArrangement, 1);
            d.settle();
            ASSERT_TRUE(d.q->recalledSendOwed.load()) << "a push that reaches nothing pays nothing";
        }
        hold = row.then != Then::InputLater && row.then != Then::PushAway && !cut && !busy;
        s.set(false, {"Synth Out"});
        if (row.then != Then::InputLater) s.set(true, {"Synth In"});
        if (!busy) {
            d.q->plugIn(s); // it is on
            d.q->wake();
        }
        openBoth(row.then != Then::InputLater, true);
        if (hold) {
            while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (row.then == Then::ChooseInput && !row.renders) {
                // The choice waits for the job it cut short, which ends once let go.
                std::thread letGo([&] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    hold = false;
                });
                dispatchtest::edit(*d.q, kDeviceInSelection, d.q->deviceEntry(true, "Synth In"));
                letGo.join();
            } else if (row.then == Then::ChooseInput)
                dispatchtest::edit(*d.q, kDeviceInSelection, d.q->deviceEntry(true, "Synth In"));
            else
                dispatchtest::edit(*d.q, kCancelDataRequest, 1);
            hold = false;
            d.settle();
        }
        if (row.then == Then::CutDuringSend) {
            // The enquiry answered, its end text held, the send handed whole: the output goes.
            while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            s.set(false, {});
            while (d.q->GetExternalMIDIOpenIndex(false) > 0) ASSERT_TRUE(d.followed(d.q->mFollowed));
            cut = false;
            d.settle();
            EXPECT_EQ(d.status1(), "MIDI Out absent: Synth Out") << "the job's end covers the absent text";
            d.tick();
            EXPECT_EQ(d.status1(), "MIDI Out absent: Synth Out");
            EXPECT_TRUE(d.q->recalledSendOwed.load()) << "a send cut short is still owed";
            s.set(false, {"Synth Out"});
            openBoth(true, true);
            d.settle();
        }
        if (row.renders) d.render(); // the debt left over is paid at the job thread's next idle block
        if (row.then == Then::InputLater) {
            d.tick();
            EXPECT_EQ(d.status1(), "MIDI In absent: Synth In");
            EXPECT_EQ(d.status2().find("MIDI Out absent"), std::string::npos) << "the output is back";
            s.set(true, {"Synth In"});
            openBoth(true, true);
            d.render();
        }
        if (row.line2) {
            EXPECT_EQ(d.status2(), row.line2);
        }
        std::vector<int> ids;
        const std::vector<testsupport::Bytes> handed = d.q->copy(d.q->handed);
        for (size_t i = before; i < handed.size(); ++i)
            if (handed[i].size() == SysexFamily::kPerformanceDumpSize) ids.push_back(handed[i][6]);
        EXPECT_EQ(ids, row.ids);
        EXPECT_FALSE(d.q->recalledSendOwed.load());
        d.render();
        EXPECT_EQ(d.q->copy(d.q->handed).size(), handed.size()) << "nothing more is sent";
    }
}

// The follower slow to look after a recall's send: what the synthesizer plays meanwhile reaches
// the editor, and the send is paid once the look comes; a look that does not come in time leaves
// it owed, said as such, and the next render call pays it whole, unless no answer confirmed the
// send: that one waits for the device's answer, as it would have whole.
TEST(DeviceMenus, TheLookAfterARecallsSendLetsMIDIInAndOneThatNeverComesLeavesTheSendOwed)
{
    const struct Row {
        const char* what;
        bool looks;       // the look comes before its time is up
        bool silent;      // the synthesizer answers nothing
        const char* said; // the log's line, null when none
        int sends;        // performances sent, a render call after the verdict included
        bool owedAtEnd;
    } rows[] = {
        {"the look comes late", true, false, nullptr, 1, false},
        {"no look in time", false, false, "not looked at in time after the recalled send; it is sent again", 2, false},
        {"no look in time, no answer", false, true, "not looked at in time after the recalled send; it stays owed", 1,
         true},
    };
    FakeSystem s;
    s.set(false, {"Synth Out"});
    s.set(true, {"Synth In"});
    Desk d("Synth Out", "Synth In", &s);
    std::atomic<int> longest{100};
    d.q->midiManager->sender->onPause = [&longest](int& ms) { ms = std::min(ms, longest.load()); };
    ByteChunk project;
    ASSERT_TRUE(d.q->SerializeState(&project));
    std::ostringstream said;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const size_t before = d.q->copy(d.q->handed).size();
        const std::string logFile = d.dir.file("QOR Editor LOG.txt");
        const size_t logged = testsupport::readText(logFile).size();
        const auto sent = [&](size_t size) {
            int n = 0;
            const std::vector<testsupport::Bytes> handed = d.q->copy(d.q->handed);
            for (size_t i = before; i < handed.size(); ++i) n += handed[i].size() == size;
            return n;
        };
        d.q->session.runCommand(std::string("option silent ") + (row.silent ? "1" : "0"), said);
        longest = row.silent ? 1 : 100; // nothing to wait for
        s.holdLooks = true;
        ASSERT_EQ(d.q->UnserializeState(&project, 0), project.Size());
        for (int i = 0; i < 10000 && !sent(SysexFamily::kFollowUpSize); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(sent(SysexFamily::kFollowUpSize), 1);
        if (row.looks) {
            bool heard = false;
            // A controller of the synthesizer, played again and again for less than the look may
            // take, until the editor has it.
            const int value = (int(d.q->GetParam(kFilterCutoff)->Value()) + 50) % 128;
            for (int i = 0; i < 300 && !heard; ++i) {
                d.q->session.runCommand("cc 0 74 " + std::to_string(value), said);
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                heard = int(d.q->GetParam(kFilterCutoff)->Value()) == value;
            }
            EXPECT_TRUE(heard) << "the controller played while the look was awaited";
        } else {
            longest = 1; // the look's time runs out soon
            while (!d.q->midiManager->threadIdle(kJobThread)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            longest = row.silent ? 1 : 100;
        }
        s.holdLooks = false;
        d.settle();
        const std::string log = testsupport::readText(logFile).substr(logged);
        EXPECT_EQ(log.find("connection went"), std::string::npos) << log;
        EXPECT_EQ(log.find("not looked at in time") != std::string::npos, row.said != nullptr) << log;
        if (row.said) {
            EXPECT_NE(log.find(row.said), std::string::npos) << log;
        }
        d.render();
        EXPECT_EQ(sent(SysexFamily::kPerformanceDumpSize), row.sends);
        EXPECT_EQ(d.q->recalledSendOwed.load(), row.owedAtEnd);
    }
}
