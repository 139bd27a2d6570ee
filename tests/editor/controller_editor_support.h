#pragma once
// A controller built in process over a data folder of its own, from the build's bundle: its
// configuration, images and, when given, a log file, a UI-size file and a library of banks.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QOR.h"
#include "kit/kitstring.h"
#include "kit/plugin/IControl.h"
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <string>
#include <utility>
#include <vector>

namespace editortest
{

struct Editor {
    explicit Editor(const char* uiFile = nullptr, bool withLog = true,
                    const std::vector<std::pair<std::string, bankgen::Bytes>>& banks = {})
    {
        if (withLog) testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
        if (uiFile) testsupport::writeFile(dir.file("QOR Editor UI.txt"), std::string(uiFile));
        if (!banks.empty()) mkdir(dir.file("Patches").c_str(), 0755);
        for (const auto& [name, bytes] : banks) testsupport::writeFile(dir.file("Patches/" + name), bytes);
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
        testing::internal::CaptureStdout();
        plug = std::make_unique<QOR>(IPluginInstanceInfo());
        testing::internal::GetCapturedStdout();
        unsetenv("QOR_BUNDLE_PATH");
    }
    std::vector<std::string> log() const { return bankgen::logTexts(dir.file("QOR Editor LOG.txt")); }
    double value(int id) const { return plug->GetParam(id)->Value(); }
    std::string text(ITextControl* control) const
    {
        KIT_String s("", 0, 256);
        if (control) control->GetTextCopy(&s);
        return s.Get();
    }
    testsupport::TempDir dir;
    std::unique_ptr<QOR> plug;
};

// A text display that keeps every text it is given, whatever thread gives it.
struct TextRecorder : ITextControl {
    TextRecorder(IPluginBase* plug, IText* font) : ITextControl(plug, IRECT(), font) {}
    void SetDirty(bool) override
    {
        KIT_String s("", 0, 256);
        GetTextCopy(&s);
        std::lock_guard<std::mutex> hold(mShownLock);
        mShown.push_back(s.Get());
    }
    std::vector<std::string> texts()
    {
        std::lock_guard<std::mutex> hold(mShownLock);
        return mShown;
    }
    std::mutex mShownLock;
    std::vector<std::string> mShown;
};

// Holds the job thread inside a job of its own until released.
struct JobHold {
    explicit JobHold(MIDIMessageManager& m) : manager(m)
    {
        m.sender->beforeJob = [this](int job) {
            std::unique_lock<std::mutex> lock(mutex);
            jobs.push_back(job);
            flagsAtStart.push_back(manager.controller->incomingMidiBlocked &&
                                   manager.controller->deviceTransferActive && manager.controller->sendGlobalsFirst &&
                                   manager.controller->sendingAllParts && manager.sendInProgress);
            woken.notify_all();
            if (job == kJobNothing) woken.wait(lock, [this] { return released; });
        };
    }
    ~JobHold()
    {
        release();
        for (int i = 0; i < 500 && !manager.threadIdle(kJobThread); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        manager.sender->beforeJob = nullptr;
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        woken.notify_all();
    }
    bool waitForJobs(size_t count, int ms = 5000)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return woken.wait_for(lock, std::chrono::milliseconds(ms), [&] { return jobs.size() >= count; });
    }
    MIDIMessageManager& manager;
    std::mutex mutex;
    std::condition_variable woken;
    std::vector<int> jobs;
    std::vector<bool> flagsAtStart;
    bool released = false;
};

} // namespace editortest
