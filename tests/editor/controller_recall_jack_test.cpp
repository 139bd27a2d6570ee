// A project saved and reopened in the stand-in host with a synthesizer simulator on the private
// JACK server: the second instance opens no ports of its own, and the recall reopens the saved
// devices by name; without the synthesizer it still takes the values, and a cut chunk is
// refused.
#include "host_script_support.h"
#include "launcher.h"
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

using hostscript::printed;
using hostscript::printedParam;

namespace
{

std::vector<std::string> recallLines(const std::string& logPath)
{
    std::vector<std::string> found;
    for (const std::string& line : bankgen::logTexts(logPath))
        if (line.rfind("PROJECT RECALL: ", 0) == 0) found.push_back(line);
    return found;
}

} // namespace

TEST(ProjectStateJack, AReopenedProjectOpensTheSavedDevicesByNameAndTakesItsValues)
{
    testsupport::TempDir dir;
    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(
        SYNTH_SIM_EXE,
        {"--name", "recall" + std::to_string(::getpid()), "--record", dir.file("record.txt"), "--device-id", "15"},
        error))
        << error;
    const std::string ui = dir.file("QOR Editor UI.txt"), log = dir.file("QOR Editor LOG.txt");
    testsupport::writeFile(ui, "a\nnormal\nyes\n" + sim.inputPort() + "\n" + sim.outputPort() + "\n");
    testsupport::writeFile(log, "");
    const std::string out = dir.file("host.txt");
    FILE* host = hostscript::startHost(dir, out);
    ASSERT_NE(host, nullptr);
    auto send = [host](const std::string& lines) {
        std::fputs(lines.c_str(), host);
        std::fflush(host);
    };

    // Instance 0 chooses the simulator's ports in its device selections, edits and is saved.
    send("use 0\nopen\ngetparam 5018\ngetparam 5019\n");
    const double outPort = printedParam(out, 5018, 1), inPort = printedParam(out, 5019, 1);
    ASSERT_GT(outPort, 0);
    ASSERT_GT(inPort, 0);
    send("setparam 5018 " + std::to_string(int(outPort)) + "\nsetparam 5019 " + std::to_string(int(inPort)) +
         "\nsetparam 1505 74\nsetparam 4305 3\nsaveclass 0\n");
    EXPECT_NE(printed(out, "saveclass 0: 0 keys 6 data "), "");

    // Instance 1 starts without ports; the recall opens them by the saved names.
    testsupport::writeFile(ui, "a\nnormal\nno\n\n\n");
    send("use 1\nopen\nloadclass 0\ngetparam 1505\ngetparam 4305\ngetparam 5018\ngetparam 5019\n");
    EXPECT_EQ(printed(out, "loadclass 0: "), "loadclass 0: 0");
    EXPECT_EQ(printedParam(out, 1505, 1), 74);
    EXPECT_EQ(printedParam(out, 4305, 1), 3);
    EXPECT_GT(printedParam(out, 5018, 2), 0) << "the output is open";
    EXPECT_GT(printedParam(out, 5019, 2), 0) << "the input is open";
    std::vector<std::string> expected = {
        "PROJECT RECALL: MIDI In device stored " + sim.outputPort(),
        "PROJECT RECALL: MIDI Out device stored " + sim.inputPort(),
        "PROJECT RECALL: MIDI In device after checking devices " + sim.outputPort(),
        "PROJECT RECALL: MIDI Out device after checking devices " + sim.inputPort(),
        "PROJECT RECALL: hardware DeviceID 15",
        "PROJECT RECALL: Multi name INIT",
    };
    for (int p = 0; p < 8; ++p)
        expected.push_back("PROJECT RECALL: Part " + std::to_string(p) + " name INIT | Pattern name INIT");
    std::vector<std::string> lines = recallLines(log);
    lines.resize(std::min(lines.size(), expected.size()));
    EXPECT_EQ(lines, expected);

    // The recalled performance reaches the synthesizer: the global settings, the eight parts'
    // programs, then the performance.
    std::vector<std::string> expectedStored = {"global settings 1", "global settings 2"};
    for (int part = 1; part <= 8; ++part) expectedStored.push_back("part " + std::to_string(part) + " edit buffer");
    expectedStored.push_back("performance edit buffer");
    expectedStored.push_back("performance follow-up edit buffer");
    std::vector<std::string> stored;
    for (int i = 0; i < 500 && stored.size() < expectedStored.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        stored.clear();
        for (const auto& r : synthsim::readRecordFile(dir.file("record.txt")))
            if (r.direction == "in" && r.note.rfind("stored into ", 0) == 0) stored.push_back(r.note.substr(12));
    }
    EXPECT_EQ(stored, expectedStored);

    // Without the synthesizer and with no output chosen before, the recall takes the values all
    // the same and owes the performance to the stored device.
    sim.stop();
    send("close\nuse 2\nopen\ngetparam 1505\nloadclass 0\ngetparam 1505\n");
    EXPECT_EQ(printedParam(out, 1505, 3), 74) << "the values are taken";
    lines = recallLines(log);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "PROJECT RECALL: the stored MIDI output is away, the performance is sent when it is back"),
              lines.end());

    // A chunk cut inside the names is refused as a whole.
    send("cutdata 0 40000\nloadclass 0\ngetparam 5018\n");
    printedParam(out, 5018, 3);
    lines = recallLines(log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "PROJECT RECALL: state chunk of 40000 bytes refused: name 17 cut short");
    send("close\nuse 0\nclose\n");
    EXPECT_EQ(pclose(host), 0);
}
