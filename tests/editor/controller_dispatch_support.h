#pragma once
// The configured controller with a recording output and a host tempo of the test's choosing: an
// edit goes through OnParamChange, and the fields, layers, status lines, the UI-size file and the
// short messages handed to the port show what it did.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "kit/kitstring.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace dispatchtest
{

class DispatchQOR : public testsupport::RecordingQOR
{
public:
    double GetTempo() override { return tempo; }
    bool SendMidiMsg(IMidiMsg* msg) override
    {
        char text[16];
        std::snprintf(text, sizeof text, "%02X %02X %02X", msg->mStatus, msg->mData1, msg->mData2);
        std::lock_guard<std::mutex> lock(mLock);
        shorts.push_back(text);
        return true;
    }
    // Every id that reaches the dispatch, in order, the dispatch's own calls included.
    void OnParamChange(int idx) override
    {
        {
            std::lock_guard<std::mutex> lock(mLock);
            dispatched.push_back(idx);
        }
        QOR::OnParamChange(idx);
    }
    std::vector<int> dispatched;
    std::vector<std::string> takeShorts()
    {
        std::lock_guard<std::mutex> lock(mLock);
        std::vector<std::string> out;
        out.swap(shorts);
        return out;
    }
    double tempo = 120.0;
    std::vector<std::string> shorts;
};

// One edit as the editor makes it: the value, then the dispatch (its print dropped).
inline void edit(QOR& q, int id, double value)
{
    q.GetParam(id)->Set(value);
    testing::internal::CaptureStdout();
    q.OnParamChange(id);
    testing::internal::GetCapturedStdout();
}

// uiFile null: no UI-size file in the data folder.
struct Desk {
    explicit Desk(const char* uiFile = "notes\nnormal\nyes\n\n\n")
    {
        testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
        if (uiFile) testsupport::writeFile(uiPath(), std::string(uiFile));
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
        testing::internal::CaptureStdout();
        plug = std::make_unique<DispatchQOR>();
        testing::internal::GetCapturedStdout();
        unsetenv("QOR_BUNDLE_PATH");
    }
    std::string uiPath() const { return dir.file("QOR Editor UI.txt"); }
    std::string uiFile() const
    {
        std::ifstream in(uiPath(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void edit(int id, double value) { dispatchtest::edit(*plug, id, value); }
    double value(int id) const { return plug->GetParam(id)->Value(); }
    bool shown(const std::string& layer) const
    {
        ControlLayer* l = plug->keptLayer(layer);
        return l && l->IsVisible();
    }
    static std::string text(ITextControl* control)
    {
        KIT_String s("", 0, 256);
        if (control) control->GetTextCopy(&s);
        return s.Get();
    }
    std::string status1() const { return text(plug->statusDisplay); }
    std::string status2() const { return text(plug->valueDisplay); }
    // Every pause is taken as 0 ms; those of the calling thread are kept in pauses.
    void recordPauses(std::vector<int>& pauses)
    {
        const std::thread::id me = std::this_thread::get_id();
        plug->midiManager->sender->onPause = [&pauses, me](int& ms) {
            if (std::this_thread::get_id() == me) pauses.push_back(ms);
            ms = 0;
        };
    }
    // Waits until the job thread has ended its job.
    void settle() const
    {
        while (!plug->midiManager->threadIdle(kJobThread)) usleep(1000);
    }

    testsupport::TempDir dir;
    std::unique_ptr<DispatchQOR> plug;
};

} // namespace dispatchtest
