// The bundle in the stand-in host, its stored default ports being a synthesizer simulator's on
// the private JACK server: parameter sets of the host leave as the synthesizer reads them.
#include "launcher.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

TEST(ControllerEditsJack, HostParameterSetsReachTheSynthesizerByteForByte)
{
    testsupport::TempDir dir;
    synthsim::SimProcess sim;
    std::string error;
    // The editor's start-up device id and global channel are 15.
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                          {"--name", "edits" + std::to_string(::getpid()), "--record", dir.file("record.txt"),
                           "--device-id", "15"},
                          error))
        << error;
    testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                           "a\nnormal\nyes\n" + sim.inputPort() + "\n" + sim.outputPort() + "\n");
    const std::string& b = testsupport::binaryDir();
    const std::string cmd = "QOR_MIDI_API=jack QOR_DATA_FOLDER='" + dir.path + "' " + b +
                            "/tools/qor-host/qor-host --bundle " + b + "/QOR.component --script - >/dev/null 2>&1";
    FILE* host = popen(cmd.c_str(), "w");
    ASSERT_NE(host, nullptr);
    // A knob of part 2, a part's sustain (NRPN), a SysEx switch of part 3.
    std::fputs("open\nsetparam 1505 74\nsetparam 4305 3\nsetparam 1202 1\n", host);
    std::fflush(host);
    const std::vector<std::string> expected = {"B1 4A 4A", "B0 63 00", "B0 62 6E", "B0 06 7E",
                                               "F0 3E 0F 0F 20 02 04 01 F7"};
    std::vector<std::string> got;
    std::string notes;
    for (int i = 0; i < 500 && got.size() < expected.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        got.clear(), notes.clear();
        for (const auto& line : synthsim::readRecordFile(dir.file("record.txt"))) {
            if (line.direction != "in") continue;
            got.push_back(synthsim::toHex(line.bytes));
            notes += line.note + "\n";
        }
    }
    std::fputs("close\n", host);
    EXPECT_EQ(pclose(host), 0);
    sim.stop();
    EXPECT_EQ(got, expected);
    for (const char* moved : {"param kFilterCutoff part 2 = 74", "param kMultiPartSustain part 1 = 3",
                              "param kUnisonSwitch part 3 = 1"})
        EXPECT_NE(notes.find(moved), std::string::npos) << moved << "\n" << notes;
}
