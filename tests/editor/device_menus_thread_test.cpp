// The device menus and status lines while the chosen synthesizer goes and comes back, with the
// port layer's own follower over a fake MIDI system: what the follower changes reaches the menus
// only on the editor's timer, and a menu open while the lists change takes the device the user
// clicked.
#include "device_menus_support.h"

using namespace qorid;
using devicemenus::Desk;
using devicemenus::FakeSystem;

// Each row sends devices away and brings them back; the menus change only when the editor's
// timer runs, name the chosen device once, marked, and a return asks the synthesizer once.
TEST(DeviceMenus, TheFollowersChangesReachTheMenusOnTheEditorsTimerAndTellTheTruthOnce)
{
    FakeSystem s;
    Desk d("Synth Out", "Synth In");
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
    } rows[] = {
        {"output", true, false, "MIDI Out absent: Synth Out", nullptr},
        {"input", false, true, "MIDI In absent: Synth In", nullptr},
        {"both", true, true, "MIDI Out absent: Synth Out", "MIDI In absent: Synth In"},
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
        if (row.line2) EXPECT_EQ(d.status2(), row.line2);
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
        d.tick();
        EXPECT_EQ(d.status1(), knob) << "said once";

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
