#pragma once
// The controller with its editor in a window over a fake MIDI system (no JACK server), whose
// ports the port layer's own follower follows; the synthesizer answers in process.
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
#include "kit/threadname.h"
#include "support/insynth.h"
#include "tests/support/window_screenshot.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>

namespace devicemenus
{

using namespace qorid;

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
    // Listed, but no client opens it: each is spent by its try, as by an activation that fails.
    void refuse(bool input, std::vector<std::string> names)
    {
        std::lock_guard<std::mutex> hold(mLock);
        mRefused[input] = std::move(names);
    }
    bool refuses(bool input, const std::string& name)
    {
        std::lock_guard<std::mutex> hold(mLock);
        return std::find(mRefused[input].begin(), mRefused[input].end(), name) != mRefused[input].end();
    }
    void hook(void (*h)(void*), void* data)
    {
        std::lock_guard<std::mutex> hold(mLock);
        mHooks.emplace_back(h, data);
    }
    // While holdLooks is set, the follower's looks wait in the input's list, as behind a system
    // slow to answer; no other thread does.
    std::atomic<bool> holdLooks{false};
    void lookHeld()
    {
        char name[16] = "";
        pthread_getname_np(pthread_self(), name, sizeof name);
        if (std::strcmp(name, KIT_THREAD_PREFIX "follow") != 0) return;
        while (holdLooks) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

private:
    std::mutex mLock;
    std::vector<std::string> mNames[2], mRefused[2];
    std::vector<std::pair<void (*)(void*), void*>> mHooks;
};

class FakeClient : public IMidiClient
{
public:
    FakeClient(FakeSystem& s, bool input) : mSystem(s), mInput(input) {}
    unsigned PortCount() override
    {
        if (mInput) mSystem.lookHeld();
        return unsigned(mSystem.names(mInput).size());
    }
    std::string PortName(unsigned n) override
    {
        const auto names = mSystem.names(mInput);
        return n < names.size() ? names[n] : "";
    }
    bool OpenPort(unsigned n, const char*) override
    {
        std::lock_guard<std::mutex> hold(mLock);
        mSpent = mSpent || mSystem.refuses(mInput, PortName(n));
        mOpened = mSpent ? "" : PortName(n);
        return !mOpened.empty();
    }
    bool Spent() const override { return mSpent; }
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
    bool mSpent = false; // opens only, under the plug-in mutex
};

// The controller, its synthesizer in process, counting the follower's reports and the enquiries.
class FollowQOR : public testsupport::InSynthQOR
{
public:
    FollowQOR() { midiIOSet = mOutputChosen.load(); }   // as the start-up left it, with no device open
    ~FollowQOR() override { CloseExternalMIDIPorts(); } // the follower calls in here
    // The fake system's clients become the ports, as a MIDI system that starts after the editor.
    void plugIn(FakeSystem& s)
    {
        KIT_MutexLock hold(&mutex);
        StopMIDIInDelivery();
        // Fresh clients in place of spent ones come from the same system.
        mMakeMidiClient = [this, &s](bool input, const std::string&) {
            auto* client = new FakeClient(s, input);
            client->SetPortsChangedHook(&IMidiFollower::WakeHook, &mFollower);
            return client;
        };
        for (bool input : {false, true}) {
            auto* client = new FakeClient(s, input);
            client->SetPortsChangedHook(&IMidiFollower::WakeHook, &mFollower);
            std::lock_guard<std::mutex> out(midiOutLock);
            std::lock_guard<std::mutex> follow(mFollowLock); // the follower reads the clients under it
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
        // The job's own waits, only the long sweep steps cut: the synthesizer's answer comes on a
        // thread of its own, which a loaded machine may not run before a short wait has timed out.
        q->midiManager->sender->onPause = [](int& ms) { ms = std::min(ms, 200); };
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
        tick();
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
    // The editor's timer, the follower's step that holds the plug-in mutex waited out first.
    void tick()
    {
        KIT_MutexLock hold(q->GetMutex());
        q->OnEditorTimer();
    }
    // The follower's step done, then the job it started.
    void settle()
    {
        {
            KIT_MutexLock wait(q->GetMutex());
        }
        while (!q->midiManager->threadIdle(kJobThread)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // A few audio blocks, then the job they started.
    void render(int blocks = 3)
    {
        for (int i = 0; i < blocks; ++i) {
            testing::internal::CaptureStdout();
            q->ProcessDoubleReplacing(nullptr, nullptr, 64);
            testing::internal::GetCapturedStdout();
            settle();
        }
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

} // namespace devicemenus
