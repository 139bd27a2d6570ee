// The device menus and status lines while the chosen synthesizer goes and comes back, with the
// port layer's own follower over a fake MIDI system (no JACK server): what the follower changes
// reaches the menus only on the editor's timer, a menu open while the lists change takes the
// device the user clicked, and the fields never draw over their labels. QOR_SCREENSHOT_DIR, when
// set, keeps the screenshots.
#include <AppKit/AppKit.h>
#include <CoreFoundation/CFPresenter.h>

#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/ControlAction.h"
#include "controller_dispatch_support.h"
#include "kit/plugin/IGraphicsCocoa.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/plugin/IMidiFollow.h"
#include "kit/plugin/IMidiPorts.h"
#include "kit/plugin/IParam.h"
#include "support/insynth.h"
#include "tests/support/window_screenshot.h"

#include <algorithm>
#include <functional>
#include <thread>

using namespace qorid;

namespace
{

// Port names per direction ([1] the inputs); a change tells the clients' hooks, as a JACK
// server's notification does.
class FakeSystem
{
public:
    void set(bool input, std::vector<std::string> names)
    {
        std::vector<std::pair<void (*)(void*), void*>> hooks;
        {
            std::lock_guard<std::mutex> hold(mLock);
            mNames[input] = std::move(names);
            hooks = mHooks;
        }
        for (auto& h : hooks) h.first(h.second);
    }
    std::vector<std::string> names(bool input)
    {
        std::lock_guard<std::mutex> hold(mLock);
        return mNames[input];
    }
    void hook(void (*h)(void*), void* data)
    {
        std::lock_guard<std::mutex> hold(mLock);
        mHooks.emplace_back(h, data);
    }

private:
    std::mutex mLock;
    std::vector<std::string> mNames[2];
    std::vector<std::pair<void (*)(void*), void*>> mHooks;
};

class FakeClient : public IMidiClient
{
public:
    FakeClient(FakeSystem& s, bool input) : mSystem(s), mInput(input) {}
    unsigned PortCount() override { return unsigned(mSystem.names(mInput).size()); }
    std::string PortName(unsigned n) override
    {
        const auto names = mSystem.names(mInput);
        return n < names.size() ? names[n] : "";
    }
    bool OpenPort(unsigned n, const char*) override
    {
        std::lock_guard<std::mutex> hold(mLock);
        mOpened = PortName(n);
        return !mOpened.empty();
    }
    void ClosePort() override
    {
        std::lock_guard<std::mutex> hold(mLock);
        mOpened.clear();
    }
    bool IsPortOpen() override
    {
        std::lock_guard<std::mutex> hold(mLock);
        return !mOpened.empty();
    }
    bool IsConnected() override
    {
        const auto names = mSystem.names(mInput);
        std::lock_guard<std::mutex> hold(mLock);
        return !mOpened.empty() && std::find(names.begin(), names.end(), mOpened) != names.end();
    }
    void SetPortsChangedHook(void (*hook)(void*), void* data) override { mSystem.hook(hook, data); }
    bool Send(const unsigned char*, size_t, bool) override { return IsPortOpen(); }
    size_t LargestMessage() const override { return size_t(-1); }
    bool SetCallback(Callback, void*) override { return true; }

private:
    FakeSystem& mSystem;
    const bool mInput;
    std::mutex mLock;
    std::string mOpened;
};

// The controller, its synthesizer in process, counting the follower's reports and the enquiries.
class FollowQOR : public testsupport::InSynthQOR
{
public:
    FollowQOR() { midiIOSet = false; }                  // as the start-up left it, with no device open
    ~FollowQOR() override { CloseExternalMIDIPorts(); } // the follower calls in here
    // The fake system's clients become the ports, as a MIDI system that starts after the editor.
    void plugIn(FakeSystem& s)
    {
        KIT_MutexLock hold(&mutex);
        StopMIDIInDelivery();
        for (bool input : {false, true}) {
            auto* client = new FakeClient(s, input);
            client->SetPortsChangedHook(&IMidiFollower::WakeHook, &mFollower);
            std::lock_guard<std::mutex> out(midiOutLock);
            (input ? midiIn : midiOut) = client;
        }
    }
    void wake() { WakeFollower(); }
    void OnExternalMIDIFollowed() override
    {
        InSynthQOR::OnExternalMIDIFollowed();
        ++mFollowed;
    }
    std::atomic<int> mFollowed{0};
};

struct Size {
    const char* word;
    double scale;
};

// The controller from the bundle with stored devices, its editor in a window, the fake system
// plugged in when given.
struct Desk {
    Desk(const std::string& out, const std::string& in, FakeSystem* system = nullptr, const char* size = "normal")
    {
        testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
        testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                               std::string("notes\n") + size + "\nyes\n" + out + "\n" + in + "\n");
        q = testsupport::makeFromBundle<FollowQOR>(dir.path);
        q->midiManager->sender->onPause = [](int& ms) { ms = 0; };
        q->midiManager->sender->beforeJob = [this](int job) { enquiries += job == kJobDeviceIdEnquiry; };
        previous = cf_standin::setPresenter(&presenter);
        g = static_cast<IGraphicsMac*>(q->GetGUI());
        window->initWithContentRect(NSMakeRect(0, 0, g->Width(), g->Height()), NSTitledWindowMask,
                                    NSBackingStoreBuffered, false);
        g->OpenWindow(window->contentView());
        if (system) plug(*system);
    }
    ~Desk()
    {
        g->CloseWindow();
        window->release();
        ns_standin::drainLoopPool();
        cf_standin::setPresenter(previous);
    }
    void plug(FakeSystem& s)
    {
        const int before = q->mFollowed;
        q->plugIn(s);
        q->wake();
        EXPECT_TRUE(followed(before));
        settle();
        q->OnEditorTimer();
    }
    // Until the follower has reported after before, reading both menus meanwhile as drawing does.
    bool followed(int before)
    {
        for (int i = 0; i < 5000; ++i) {
            for (int id : {kDeviceOutSelection, kDeviceInSelection}) shown(id);
            if (q->mFollowed > before) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    void settle()
    {
        while (!q->midiManager->threadIdle(kJobThread)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::string shown(int id) const
    {
        const IParam* p = q->GetParam(id);
        return p->CopyDisplayText(int(p->Value()));
    }
    std::vector<std::string> entries(int id) const
    {
        std::vector<std::string> out;
        const IParam* p = q->GetParam(id);
        for (int i = 0; i < p->GetNDisplayTexts(); ++i) out.push_back(p->CopyDisplayText(i));
        return out;
    }
    // A sound parameter that sends a control change.
    int knob() const
    {
        for (int i = 0; i < kNumAutomatedParams; ++i)
            if (const ControlAction* a = q->GetParam(i)->GetControlAction();
                a && a->kind == ControlAction::kControlChange)
                return i;
        return -1;
    }
    std::string status1() const { return text(q->statusDisplay); }
    std::string status2() const { return text(q->valueDisplay); }
    static std::string text(ITextControl* c)
    {
        KIT_String s("", 0, 256);
        if (c) c->GetTextCopy(&s);
        return s.Get();
    }
    // A click on the device field; whileOpen runs while the menu shows, then answer is chosen.
    void choose(int id, int answer, std::function<void()> whileOpen = nullptr)
    {
        presenter.whileOpen = std::move(whileOpen);
        presenter.menuAnswers.push_back({answer});
        IMouseMod mod;
        mod.L = true;
        testing::internal::CaptureStdout();
        q->firstControl(id)->OnMouseDown(0, 0, &mod);
        testing::internal::GetCapturedStdout();
        settle();
    }

    struct Presenter : cf_standin::Presenter {
        std::vector<int> Menu(const cf_standin::MenuShown& m) override
        {
            if (whileOpen) whileOpen();
            whileOpen = nullptr;
            return cf_standin::Presenter::Menu(m);
        }
        std::function<void()> whileOpen;
    };

    testsupport::TempDir dir;
    std::unique_ptr<FollowQOR> q;
    std::atomic<int> enquiries{0};
    Presenter presenter;
    cf_standin::Presenter* previous = nullptr;
    IGraphicsMac* g = nullptr;
    NSWindow* window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
};

} // namespace

// Each row sends devices away and brings them back; the menus change only when the editor's
// timer runs, name the chosen device once, marked, and a return asks the synthesizer once.
TEST(DeviceMenus, TheFollowersChangesReachTheMenusOnTheEditorsTimerAndTellTheTruthOnce)
{
    FakeSystem s;
    Desk d("Synth Out", "Synth In");
    // Stored devices that are off at start-up: both are said, once the start-up is done.
    EXPECT_EQ(d.shown(kDeviceOutSelection), "Synth Out (absent)");
    EXPECT_EQ(d.shown(kDeviceInSelection), "Synth In (absent)");
    d.q->OnEditorTimer();
    EXPECT_EQ(d.status1(), "MIDI Out absent: Synth Out");
    EXPECT_EQ(d.status2(), "MIDI In absent: Synth In");
    s.set(false, {"Other Out", "Synth Out"});
    s.set(true, {"Synth In"});
    d.plug(s);
    EXPECT_EQ(d.enquiries, 1) << "the return asks once";
    const std::vector<std::string> outs{"Select MIDI Device", "Other Out", "Synth Out"};
    EXPECT_EQ(d.entries(kDeviceOutSelection), outs);
    EXPECT_EQ(d.shown(kDeviceOutSelection), "Synth Out");
    EXPECT_EQ(d.status1(), "MIDI device back");
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
        d.q->OnEditorTimer();
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
        d.q->OnEditorTimer();
        EXPECT_EQ(d.status1(), knob) << "said once";

        before = d.q->mFollowed;
        s.set(false, {"Other Out", "Synth Out"});
        s.set(true, {"Synth In"});
        while (d.q->GetExternalMIDIOpenIndex(false) == 0 || d.q->GetExternalMIDIOpenIndex(true) == 0)
            ASSERT_TRUE(d.followed(d.q->mFollowed));
        d.settle();
        d.q->OnEditorTimer();
        EXPECT_EQ(d.enquiries, ++asked) << "the return asks once";
        EXPECT_EQ(d.entries(kDeviceOutSelection), outs);
        EXPECT_EQ(d.shown(kDeviceInSelection), "Synth In");
        EXPECT_EQ(d.status1(), "MIDI device back");
        EXPECT_EQ(d.status2().find("absent"), std::string::npos) << d.status2();
    }
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
            d.q->OnEditorTimer(); // the menu's own loop runs the timer
        });
        EXPECT_EQ(d.q->GetExternalMIDIChoice(false), row.device);
        EXPECT_GT(d.q->GetExternalMIDIOpenIndex(false), 0);
        EXPECT_EQ(d.shown(kDeviceOutSelection), row.device);
        EXPECT_EQ(d.shown(kDeviceInSelection), "Keys");
    }
}

// A long name marked absent at every size: the mark whole, the name cut, and nothing drawn
// outside the field (its label is beside it).
TEST(DeviceMenus, ALongAbsentNameIsCutBeforeItsMarkAndStaysInsideItsField)
{
    const Size sizes[] = {{"small", 0.85}, {"normal", 1.0}, {"large", 1.15}};
    const std::string name = "Ruvo-Desktop-Synth-Module-Long";
    for (const Size& size : sizes) {
        SCOPED_TRACE(size.word);
        Desk d(name, name, nullptr, size.word);
        for (int id : {kDeviceOutSelection, kDeviceInSelection}) {
            ASSERT_EQ(d.shown(id), name + " (absent)");
            IParam* p = d.q->GetParam(id);
            const int value = int(p->Value());
            auto draw = [&] {
                IRECT all(0, 0, d.g->Width(), d.g->Height());
                d.g->Draw(&all);
                const auto* bits = static_cast<const uint32_t*>(d.g->GetBits());
                return std::vector<uint32_t>(bits, bits + size_t(d.g->GetDrawBitmap()->getRowSpan()) * d.g->Height());
            };
            p->SetDisplayText(value, "");
            const std::vector<uint32_t> blank = draw();
            p->SetDisplayText(value, (name + " (absent)").c_str());
            const std::vector<uint32_t> shown = draw();
            ITextControl* field = static_cast<ITextControl*>(d.q->firstControl(id));
            const IRECT& r = *field->GetRECT();
            const size_t span = size_t(d.g->GetDrawBitmap()->getRowSpan());
            int inside = 0, outside = 0;
            for (int y = 0; y < d.g->Height(); ++y)
                for (int x = 0; x < d.g->Width(); ++x)
                    if (shown[size_t(y) * span + size_t(x)] != blank[size_t(y) * span + size_t(x)])
                        ++(r.Contains(x, y) ? inside : outside);
            EXPECT_GT(inside, 0) << id;
            EXPECT_EQ(outside, 0) << id;
            const std::string text = Desk::text(field);
            EXPECT_NE(text.find(".. (absent)"), std::string::npos) << text;
            EXPECT_EQ(text.rfind(name.substr(0, 4), 0), 0u) << text;
        }
        if (const char* keep = std::getenv("QOR_SCREENSHOT_DIR")) {
            ns_standin::runFor(0.05);
            ns_standin::displayWindows();
            testsupport::writeWindowScreenshot(d.window, std::string(keep) + "/devices-" + size.word + ".png");
        }
    }
}
