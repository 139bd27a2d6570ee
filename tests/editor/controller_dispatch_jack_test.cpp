// Choosing the MIDI ports in the editor against a synthesizer's ports on the private JACK
// server: the port opens by its whole name, becomes the stored default, and the output hands the
// device-id enquiry to the job thread.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "kit/plugin/IParam.h"
#include "plugin/midiports_synth_side.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>

using editortest::Editor;
using namespace qorid;

namespace
{

int indexOf(const std::vector<std::string>* names, const std::string& name)
{
    const auto at = std::find(names->begin(), names->end(), name);
    return at == names->end() ? -1 : int(at - names->begin());
}

std::vector<std::string> lines(const std::string& path)
{
    std::vector<std::string> out;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

void edit(QOR& q, int id, double value)
{
    q.GetParam(id)->Set(value);
    testing::internal::CaptureStdout();
    q.OnParamChange(id);
    testing::internal::GetCapturedStdout();
}

} // namespace

TEST(ControllerDispatchPorts, ChosenPortsOpenByTheirWholeNameAndBecomeTheStoredDefaults)
{
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    // A receiving port whose name is longer than the device menu shows.
    RtMidiIn wide(RtMidi::UNIX_JACK, "qordispatch" + std::to_string(getpid()) + "-a-client-of-some-length");
    wide.openVirtualPort("a-port-whose-name-runs-on-past-the-menu");
    Editor e("keep\nnormal\nyes\n\n\n");
    QOR& q = *e.plug;
    std::mutex lock;
    std::vector<int> jobs;
    q.midiManager->sender->beforeJob = [&](int job) {
        std::lock_guard<std::mutex> g(lock);
        jobs.push_back(job);
    };
    const std::string uiPath = e.dir.file("QOR Editor UI.txt");
    const std::vector<std::string>* outs = q.getExternalMIDIOutNames();
    const int out = indexOf(outs, synth.ReceivingPort());
    ASSERT_GT(out, 0);

    IText font;
    editortest::TextRecorder status(&q, &font);
    ITextControl* const shown = q.statusDisplay;
    q.statusDisplay = &status;
    edit(q, kDeviceOutSelection, out);
    EXPECT_TRUE(q.midiIOSet);
    EXPECT_EQ(q.midiOutIndex, out);
    EXPECT_EQ(lines(uiPath), (std::vector<std::string>{"keep", "normal", "yes", synth.ReceivingPort(), ""}));
    while (!q.midiManager->threadIdle(kJobThread)) usleep(1000);
    q.statusDisplay = shown;
    EXPECT_EQ(status.texts(), std::vector<std::string>{"Default MIDI output set."});
    {
        std::lock_guard<std::mutex> g(lock);
        EXPECT_EQ(jobs, std::vector<int>{}) << "no input is open yet: the enquiry waits for it";
    }

    edit(q, kDeviceOutSelection, 0);
    EXPECT_FALSE(q.midiIOSet);
    EXPECT_EQ(lines(uiPath)[3], synth.ReceivingPort()) << "entry 0 keeps the stored default";

    const std::string wideName = std::find_if(outs->begin(), outs->end(), [](const std::string& n) {
        return n.find("a-port-whose-name-runs-on") != std::string::npos;
    })[0];
    ASSERT_GT(wideName.size(), 55u);
    edit(q, kDeviceOutSelection, indexOf(outs, wideName));
    EXPECT_TRUE(q.midiIOSet);
    EXPECT_EQ(lines(uiPath)[3], wideName);

    const int in = indexOf(q.getExternalMIDIInNames(), synth.SendingPort());
    ASSERT_GT(in, 0);
    editortest::TextRecorder inputStatus(&q, &font);
    q.statusDisplay = &inputStatus;
    edit(q, kDeviceInSelection, in);
    while (!q.midiManager->threadIdle(kJobThread)) usleep(1000);
    q.statusDisplay = shown;
    EXPECT_EQ(q.midiInIndex, in);
    EXPECT_EQ(lines(uiPath)[4], synth.SendingPort());
    ASSERT_GE(inputStatus.texts().size(), 2u);
    EXPECT_EQ(inputStatus.texts()[0], "Default MIDI input set.");
    EXPECT_EQ(inputStatus.texts()[1], "Connecting to Hardware") << "the enquiry the output left waiting starts";
    edit(q, kDeviceInSelection, 0);
    EXPECT_EQ(q.midiInIndex, 0);
    EXPECT_EQ(lines(uiPath)[4], synth.SendingPort());
    q.midiManager->stopAndJoin();
}
