// The in-process synthesizer: what the controller sends reaches the simulator, and its answers
// come back through the device input, late when it is told to be.
#include "Project_Source/src/SysexFamily.h"
#include "support/insynth.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

TEST(InProcessSynthesizer, AnEnquiryToItsDeviceIsAnsweredWithBothGlobalDumpsThroughTheInput)
{
    const struct {
        int device, delayMs;
        std::vector<size_t> sizes;
    } cases[] = {{9, 0, {281, 297}}, {9, 40, {281, 297}}, {3, 0, {}}};
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
        synthsim::Options options;
        options.replyDelayMs = c.delayMs;
        testing::internal::CaptureStdout();
        testsupport::InSynthQOR plug(options);
        testing::internal::GetCapturedStdout();
        plug.deviceId = c.device;
        MIDIMessageSender::Request r = plug.midiManager->sender->buildRequest(SysexFamily::kTypeDeviceEnquiry);
        plug.midiManager->sender->sendChecked(r.bytes, r.length);
        plug.session.output().drain();
        std::vector<size_t> sizes;
        for (const auto& m : plug.copy(plug.received)) sizes.push_back(m.size());
        EXPECT_EQ(sizes, c.sizes) << c.device;
    }
}
