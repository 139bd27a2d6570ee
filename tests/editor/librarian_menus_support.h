#pragma once
// The configured controller with its editor open in a host window, so that the librarian menus
// pop up through the real surface and the presenter answers them; pauses are recorded and taken
// as 0 ms, and the job thread's job numbers are kept.
#include <AppKit/AppKit.h>
#include <CoreFoundation/CFPresenter.h>

#include "Project_Source/src/PatchLibrarian.h"
#include "controller_dispatch_support.h"
#include "kit/plugin/IGraphicsMac.h"

#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace menutest
{

// Answers menus as scripted; whileShown runs while a menu is up, before the answer.
class Presenter : public cf_standin::Presenter {
public:
    std::vector<int> Menu(const cf_standin::MenuShown& menu) override
    {
        if (whileShown) whileShown();
        return cf_standin::Presenter::Menu(menu);
    }
    std::function<void()> whileShown;
};

// plug's editor open in a host window, its menus answered by the presenter.
struct OpenEditor {
    explicit OpenEditor(IPluginBase& plug) : g(static_cast<IGraphicsMac*>(plug.GetGUI()))
    {
        previous = cf_standin::setPresenter(&presenter);
        window->initWithContentRect(NSMakeRect(0, 0, g->Width(), g->Height()), NSTitledWindowMask,
                                    NSBackingStoreBuffered, false);
        g->OpenWindow(window->contentView());
    }
    ~OpenEditor()
    {
        g->CloseWindow();
        window->release();
        ns_standin::drainLoopPool();
        cf_standin::setPresenter(previous);
    }
    // The next menu's answer: item indexes from the top menu into submenus; empty dismisses.
    void answer(std::vector<int> path) { presenter.menuAnswers.push_back(std::move(path)); }
    std::string lastMenu() const
    {
        return presenter.menus.empty() ? std::string() : cf_standin::MenuLine(presenter.menus.back());
    }

    IGraphicsMac* g;
    Presenter presenter;
    cf_standin::Presenter* previous = nullptr;
    NSWindow* window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
};

struct MenuDesk : dispatchtest::Desk {
    explicit MenuDesk(const char* uiFile = "notes\nnormal\nyes\n\n\n") : dispatchtest::Desk(uiFile), editor(*plug)
    {
        recordPauses(pauses);
        plug->midiManager->sender->beforeJob = [this](int job) {
            // The record the starter wrote; read on the worker, which runs one job at a time.
            const SenderJobRecord& record = plug->midiManager->sender->records[kJobThread];
            std::lock_guard<std::mutex> lock(mJobs);
            jobs.push_back({job, plug->midiManager->expectingEditDump.load(), record,
                            record.patch ? record.patch->name : std::string()});
        };
    }
    ~MenuDesk() { plug->midiManager->stopAndJoin(); }
    struct Job {
        int job;
        bool expectingEditDump; // as the job began
        SenderJobRecord record{};
        std::string entry{}; // the name of the library entry the record names
        bool operator==(const Job& o) const { return job == o.job && expectingEditDump == o.expectingEditDump; }
    };
    std::vector<Job> takeJobs()
    {
        settle();
        std::lock_guard<std::mutex> lock(mJobs);
        return std::exchange(jobs, {});
    }
    void answer(std::vector<int> path) { editor.answer(std::move(path)); }
    std::string lastMenu() const { return editor.lastMenu(); }
    PatchLibrarian& lib() const { return *plug->patchLibrarian; }

    OpenEditor editor;
    Presenter& presenter = editor.presenter;
    std::vector<int> pauses;
    std::vector<Job> jobs;
    std::mutex mJobs;
};

} // namespace menutest
