// The start-up exchange as a new user makes it: the bundle in the stand-in host, the data
// folder naming a synthesizer simulator's ports on the private JACK server, and the output
// chosen again. The simulator answers only at device id 3, so the editor sweeps up to it.
#include "host_script_support.h"
#include "launcher.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

using hostscript::printedParam;

TEST(DeviceIdEnquiryJack, TheEditorSweepsToTheSynthesizersIdAndTakesItsGlobals)
{
    testsupport::TempDir dir;
    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(
        SYNTH_SIM_EXE,
        {"--name", "enquiry" + std::to_string(::getpid()), "--record", dir.file("record.txt"), "--device-id", "3"},
        error))
        << error;
    const std::string out = dir.file("host.txt");
    FILE* host = hostscript::startHostOnPorts(dir, out, sim.inputPort(), sim.outputPort());
    ASSERT_NE(host, nullptr);
    std::fputs("open\ngetparam 5018\n", host);
    std::fflush(host);
    const double port = printedParam(out, 5018);
    ASSERT_GT(port, 0) << "the stored default output was not chosen";
    std::fprintf(host, "setparam 5018 %g\n", port);
    std::fflush(host);

    // The enquiry at 0F, 15 periods of 100 ms, then the sweep 00 to 03 at 500 ms each.
    std::vector<std::string> enquiries;
    int answers = 0;
    for (int i = 0; i < 600 && answers < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        enquiries.clear(), answers = 0;
        for (const auto& line : synthsim::readRecordFile(dir.file("record.txt"))) {
            const std::string hex = synthsim::toHex(line.bytes);
            if (line.direction == "in" && line.bytes.size() == 9 && line.bytes[7] == 0x10) enquiries.push_back(hex);
            if (line.direction == "out" && line.bytes.size() >= 281) ++answers;
        }
    }
    // The editor has taken the answer once its status says so; then its globals are read.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::fputs("getparam 4322\ngetparam 4342\n", host);
    std::fflush(host);
    const double channel = printedParam(out, 4322);
    const double volume = printedParam(out, 4342);
    std::fputs("close\n", host);
    EXPECT_EQ(pclose(host), 0);
    sim.stop();
    EXPECT_EQ(enquiries, (std::vector<std::string>{"F0 00 20 29 01 20 0F 10 F7", "F0 00 20 29 01 20 00 10 F7",
                                                   "F0 00 20 29 01 20 01 10 F7", "F0 00 20 29 01 20 02 10 F7",
                                                   "F0 00 20 29 01 20 03 10 F7"}));
    EXPECT_EQ(answers, 2);
    EXPECT_EQ(channel, 3);
    // The simulator's power-on master volume is 127, the editor's own 100.
    EXPECT_EQ(volume, 127);
}
