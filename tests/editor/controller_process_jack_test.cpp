// The per-block work of the bundle in the stand-in host, rendering against the synthesizer
// simulator on the private JACK server, whose ports the data folder names as the default ports:
// the first block asks for the device id once however many follow, the transport's edges send
// Start and Stop, a randomize sends the part and the next free block reads it back; and closing
// while the enquiry waits on a silent synthesizer and the clock runs ends every thread.
#include "host_script_support.h"
#include "launcher.h"
#include "sim_jack_support.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

using hostscript::printedParam;
using simjack::stat;

namespace
{

using Bytes = std::vector<uint8_t>;

// What reached the simulator: messages of size bytes, and the enquiry's requests at device id.
size_t arrived(const std::string& record, size_t size)
{
    size_t n = 0;
    for (const auto& line : synthsim::readRecordFile(record)) n += line.direction == "in" && line.bytes.size() == size;
    return n;
}

void blocks(FILE* host, int n)
{
    for (int i = 0; i < n; ++i) {
        std::fputs("render 512\n", host);
        std::fflush(host);
        std::this_thread::sleep_for(std::chrono::milliseconds(12));
    }
}

// Asks for parameter id until the host prints value, up to fifty times.
bool waitParam(const std::string& out, int id, double value, FILE* host)
{
    const std::string key = "getparam " + std::to_string(id) + ":";
    size_t nth = 0;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) nth += line.compare(0, key.size(), key) == 0;
    for (int i = 0; i < 50; ++i) {
        std::fprintf(host, "getparam %d\n", id);
        std::fflush(host);
        if (printedParam(out, id, ++nth) == value) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return false;
}

} // namespace

TEST(ControllerProcessJack, BlocksAskOnceFollowTheTransportAndReadARandomizedPartBack)
{
    testsupport::TempDir dir;
    synthsim::SimProcess sim;
    std::string error;
    const std::string record = dir.file("record.txt");
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                          {"--name", "process" + std::to_string(::getpid()), "--record", record, "--device-id", "3"},
                          error))
        << error;
    const std::string out = dir.file("host.txt");
    FILE* host = hostscript::startHostOnPorts(dir, out, sim.inputPort(), sim.outputPort());
    ASSERT_NE(host, nullptr);
    std::fputs("open\ncallbacks\ntempo 120\n", host);
    blocks(host, 5);
    // The enquiry at 0F, then the sweep 00 to 03: one enquiry whatever the blocks.
    EXPECT_TRUE(waitParam(out, 4322, 3, host)) << "the device id did not follow";
    blocks(host, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(arrived(record, 9), 5u);

    // Start and Stop once each on the edges, with the clock pointer setting.
    std::fputs("setparam 5109 1\nplay\n", host);
    blocks(host, 5);
    std::fputs("stop\n", host);
    blocks(host, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(stat(sim, "start"), 1);
    EXPECT_EQ(stat(sim, "stop"), 1);

    // Randomize on page 2: the part's dump, then the request the blocks make for it. The
    // enquiry's last pause is over first, so the send finds the job thread free.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    std::fputs("setparam 5117 1\n", host);
    blocks(host, 20);
    EXPECT_TRUE(waitParam(out, 5117, 0, host));
    for (int i = 0; i < 100 && arrived(record, 9) < 6; ++i) blocks(host, 2);
    const auto lines = synthsim::readRecordFile(record);
    std::vector<size_t> sizes;
    for (const auto& line : lines)
        if (line.direction == "in" && line.bytes.size() > 3) sizes.push_back(line.bytes.size());
    // The part's dump, then a request after it.
    std::string seen;
    for (size_t n : sizes) seen += std::to_string(n) + " ";
    const auto dump = std::find(sizes.begin(), sizes.end(), size_t(296));
    ASSERT_NE(dump, sizes.end()) << seen;
    EXPECT_NE(std::find(dump, sizes.end(), size_t(9)), sizes.end()) << seen;
    std::fputs("close\n", host);
    EXPECT_EQ(pclose(host), 0);
    sim.stop();
}

TEST(ControllerProcessJack, ClosingWhileTheEnquiryWaitsAndTheClockRunsEndsEveryThread)
{
    testsupport::TempDir dir;
    synthsim::SimProcess sim;
    std::string error;
    const std::string record = dir.file("record.txt");
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                          {"--name", "silent" + std::to_string(::getpid()), "--record", record, "--silent"}, error))
        << error;
    const std::string out = dir.file("host.txt");
    FILE* host = hostscript::startHostOnPorts(dir, out, sim.inputPort(), sim.outputPort());
    ASSERT_NE(host, nullptr);
    std::fputs("open\ncallbacks\ntempo 120\nsetparam 5108 1\n", host);
    blocks(host, 5);
    // The clock ticks and the enquiry has gone out unanswered.
    for (int i = 0; i < 100 && stat(sim, "clock") < 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(stat(sim, "clock"), 3);
    EXPECT_GE(arrived(record, 9), 1u);
    std::fputs("close\n", host);
    std::fflush(host);
    EXPECT_NE(hostscript::printed(out, "close:"), "");
    EXPECT_EQ(pclose(host), 0);
    sim.stop();
}
