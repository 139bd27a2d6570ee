// The editor as a studio runs it: the bundle in qor-host, the simulator on the private JACK
// server, and what goes wrong on the cable between them.
#include "launcher.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace
{

// qor-host on the real bundle with its script on a pipe, printing into a file.
class Host {
public:
    Host(const testsupport::TempDir& dir) : mOut(dir.file("host.txt"))
    {
        const std::string& b = testsupport::binaryDir();
        const std::string cmd = "QOR_MIDI_API=jack QOR_DATA_FOLDER='" + dir.path + "' " + b +
                                "/tools/qor-host/qor-host --bundle " + b + "/QOR.component --script - >'" + mOut +
                                "' 2>/dev/null";
        mPipe = popen(cmd.c_str(), "w");
    }
    ~Host()
    {
        if (mPipe) pclose(mPipe);
    }
    bool ok() const { return mPipe != nullptr; }
    // The result line of the command ("cmd: ..." or "cmd ARG: ..."), or "" after ten seconds.
    std::string run(const std::string& command)
    {
        const size_t before = lines().size();
        std::fprintf(mPipe, "%s\n", command.c_str());
        std::fflush(mPipe);
        const std::string name = command.substr(0, command.find(' '));
        for (int i = 0; i < 500; ++i) {
            const std::vector<std::string> all = lines();
            for (size_t n = before; n < all.size(); ++n)
                if (all[n].compare(0, name.size(), name) == 0 && all[n].find(": ") != std::string::npos) return all[n];
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }
    int close()
    {
        const int rc = pclose(mPipe);
        mPipe = nullptr;
        return rc;
    }
    std::vector<std::string> lines() const
    {
        std::vector<std::string> all;
        std::ifstream in(mOut);
        for (std::string line; std::getline(in, line);) all.push_back(line);
        return all;
    }

private:
    std::string mOut;
    FILE* mPipe = nullptr;
};

int countIn(const std::string& record, uint8_t type, bool in)
{
    int n = 0;
    for (const auto& line : synthsim::readRecordFile(record))
        if (line.direction == (in ? "in" : "out") && line.bytes.size() > 8 && line.bytes[7] == type) ++n;
    return n;
}

} // namespace

TEST(StudioFaultsJack, ForeignSysExBeforeEveryAnswerLeavesTheEnquiryAndTheRequestWhole)
{
    testsupport::TempDir dir;
    synthsim::SimProcess sim;
    std::string error;
    const std::string record = dir.file("record.txt");
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                          {"--name", "foreign" + std::to_string(::getpid()), "--record", record, "--device-id", "15",
                           "--edit-reply", "both", "--foreign-sysex"},
                          error))
        << error;
    testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                           "\nnormal\nyes\n" + sim.inputPort() + "\n" + sim.outputPort() + "\n");
    Host host(dir);
    ASSERT_TRUE(host.ok());
    // The plug-in's own unterminated "Unable to open file" does not swallow the result.
    EXPECT_EQ(host.run("open"), "open: 0");
    const std::string port = host.run("getparam 5018");
    ASSERT_EQ(port.compare(0, 21, "getparam 5018: 0 valu"), 0) << port;
    host.run("setparam 5018 " + port.substr(port.rfind(' ') + 1));
    for (int i = 0; i < 250 && countIn(record, 0x15, false) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(host.run("getparam 4322"), "getparam 4322: 0 value 15");
    EXPECT_EQ(host.run("editor-open"), "editor-open: 1500x757");

    host.run("setparam 5107 1");
    std::string texts;
    for (int i = 0; i < 100; ++i) {
        host.run("tick");
        texts = host.run("texts");
        if (texts.find("Data request completed!") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(texts.compare(0, 30, "texts: Data request completed!"), 0) << texts;
    EXPECT_EQ(countIn(record, 0x08, true), 1);
    // The program of the answer reaches the read-out despite the noise.
    EXPECT_NE(texts.find("Init Program"), std::string::npos) << texts;

    host.run("setparam 1504 90");
    host.run("tick");
    EXPECT_EQ(host.run("texts").compare(0, 22, "texts: [1] Cutoff | 90"), 0);
    host.run("editor-close");
    host.run("close");
    EXPECT_EQ(host.close(), 0);
    sim.stop();
    for (const std::string& line : host.lines())
        EXPECT_TRUE(line == "Unable to open file" || line.find("Unable to open file") == std::string::npos) << line;
}
