// A project saved by the host and recalled into a second instance while the first is still
// open: every sound value, the quick tab and model, the ports by name and the bank and program
// selections come back.
#include "launcher.h"
#include "editor/host_script_support.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

namespace
{

constexpr int kLastSoundValue = 4975;

// The host's "getparam" lines from the nth round of readings on, by id; the round is over when
// its line of last has been printed.
std::map<int, std::string> readings(const std::string& out, size_t nth, int last)
{
    const std::string end = "getparam " + std::to_string(last) + ": ";
    std::map<int, std::string> values;
    if (hostscript::printed(out, end, nth).empty()) return values;
    std::ifstream in(out);
    size_t round = 1;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("getparam ", 0) != 0) continue;
        const int id = std::atoi(line.c_str() + 9);
        if (round == nth) values[id] = line.substr(line.find(": ") + 2);
        if (line.rfind(end, 0) == 0) ++round;
    }
    return values;
}

} // namespace

TEST(ProjectRecallJack, ASecondInstanceTakesTheWholeProjectWhileTheFirstStaysOpen)
{
    testsupport::TempDir dir;
    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                          {"--name", "recall" + std::to_string(::getpid()), "--device-id", "15", "--edit-reply",
                           "performance"},
                          error))
        << error;
    const std::string ui = dir.file("QOR Editor UI.txt");
    testsupport::writeFile(ui, "\nnormal\nyes\n" + sim.inputPort() + "\n" + sim.outputPort() + "\n");
    const std::string out = dir.file("host.txt");
    FILE* host = hostscript::startHost(dir, out);
    ASSERT_NE(host, nullptr);
    auto send = [host](const std::string& lines) { hostscript::send(host, lines); };
    // Everything the project keeps, asked for in one go.
    std::string readAll;
    for (int id = 0; id <= kLastSoundValue; ++id) readAll += "getparam " + std::to_string(id) + "\n";
    const int kept[] = {5018, 5019, 4346, 4347, 5119, 5120};
    for (int id : kept) readAll += "getparam " + std::to_string(id) + "\n";

    // Instance 0 opens the simulator's ports, is edited away from its start values and saved.
    send("use 0\nopen\nsetparam 1505 74\nsetparam 1130 5\nsetparam 4305 3\nsetparam 4226 99\nsetparam 4346 1\n"
         "setparam 4347 1\nsetparam 5119 1\nsetparam 5120 2\nsaveclass 0\n");
    EXPECT_NE(hostscript::printed(out, "saveclass 0: 0 keys 6 data "), "");
    send(readAll);
    const std::map<int, std::string> first = readings(out, 1, kept[5]);
    ASSERT_EQ(first.size(), size_t(kLastSoundValue + 1 + 4)); // 4346 and 4347 are among the values
    EXPECT_EQ(first.at(1505), "0 value 74");
    EXPECT_EQ(first.at(5120), "0 value 2");
    EXPECT_EQ(first.at(5119), "0 value 1");
    EXPECT_EQ(first.at(4346), "0 value 1");
    EXPECT_EQ(first.at(4347), "0 value 1");
    EXPECT_NE(first.at(5018), "0 value 0");

    // Instance 1 starts without ports of its own; the recall opens them by name.
    testsupport::writeFile(ui, "\nnormal\nyes\n\n\n");
    send("use 1\nopen\nloadclass 0\n");
    EXPECT_EQ(hostscript::printed(out, "loadclass 0: "), "loadclass 0: 0");
    send(readAll);
    const std::map<int, std::string> second = readings(out, 2, kept[5]);
    ASSERT_EQ(second.size(), first.size());
    int differing = 0;
    for (const auto& [id, value] : first)
        if (second.at(id) != value && ++differing <= 10) ADD_FAILURE() << "parameter " << id << ": " << value << " then " << second.at(id);
    EXPECT_EQ(differing, 0);

    // The first instance is untouched by the second's recall.
    send("use 0\n" + readAll);
    EXPECT_EQ(readings(out, 3, kept[5]), first);
    send("use 1\nclose\nuse 0\nclose\n");
    EXPECT_EQ(pclose(host), 0);
    sim.stop();
}
