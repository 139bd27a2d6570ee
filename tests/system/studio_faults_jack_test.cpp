// The editor as a studio runs it: the bundle in qor-host, the simulator on the private JACK
// server, and what goes wrong on the cable between them.
#include "launcher.h"
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
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

// The editor's request of the edit buffer and performance (5107) through qor-host against a
// simulator started with the given options, its performance edit buffer holding one of other
// values; asked twice when again is set.
struct Request {
    std::string status;  // the status line the last request ended in
    std::string readOut; // the texts then
    double seconds = -1; // from the first request to the end of the last
    std::vector<std::string> before, after; // a few performance values
    std::string story;                      // the editor's log and the simulator's record
};

std::string fileText(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Request requestAgainst(const std::vector<std::string>& options, bool again)
{
    testsupport::TempDir dir;
    bankgen::Bytes performance = bankgen::makeDump(bankgen::Kind::Performances, 0x20, 0, "", 0, 11,
                                                   bankgen::DumpOptions{0x05, 381});
    performance[6] = 0x0F; // the device
    const std::string name = "Far Away Multi  ";
    std::copy(name.begin(), name.end(), performance.begin() + 8);
    testsupport::writeFile(dir.file("seed.syx"), bankgen::rawFile({performance}));
    synthsim::SimProcess sim;
    std::string error;
    std::vector<std::string> args = {"--name",       "fault" + std::to_string(::getpid()),
                                     "--device-id",  "15",
                                     "--edit-reply", "performance",
                                     "--load",       dir.file("seed.syx"),
                                     "--record",     dir.file("record.txt")};
    args.insert(args.end(), options.begin(), options.end());
    Request r;
    EXPECT_TRUE(sim.start(SYNTH_SIM_EXE, args, error)) << error;
    if (!error.empty()) return r;
    // The stored ports reopen by name: no enquiry, the templates' device id.
    testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                           "\nnormal\nyes\n" + sim.inputPort() + "\n" + sim.outputPort() + "\n");
    testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
    Host host(dir);
    EXPECT_EQ(host.run("open"), "open: 0");
    host.run("setparam 5078 0"); // the shortest poll period, 50 ms
    host.run("editor-open");
    // Part 1 and 2's level, panning, transpose and key range, and the name.
    const int probed[] = {4225, 4226, 4233, 4234, 4241, 4257, 4265, 4348};
    for (int id : probed) r.before.push_back(host.run("getparam " + std::to_string(id)));
    // Asked once the editor is idle (its name, or the end of a start-up enquiry, on line 1): a
    // click while a job runs is refused.
    const auto idle = [&r] {
        for (const char* text : {"texts: Brixtane QOR Plug-in |", "texts: Plug-in is ready to go!"})
            if (r.readOut.compare(0, std::strlen(text), text) == 0) return true;
        return false;
    };
    for (int i = 0; i < 250 && !idle(); ++i) {
        host.run("tick");
        r.readOut = host.run("texts");
        if (!idle()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto t0 = std::chrono::steady_clock::now();
    for (int ask = 0; ask < (again ? 2 : 1); ++ask) {
        // The job ends half a period after its end text.
        if (ask) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        host.run("setparam 5107 0");
        host.run("setparam 5107 1");
        // The second request ends in texts of its own.
        const std::string previous = r.readOut;
        r.status.clear();
        bool moved = false; // the texts left the last request's end, which the second may repeat
        for (int i = 0; i < 400 && r.status.empty(); ++i) {
            host.run("tick");
            r.readOut = host.run("texts");
            moved = moved || r.readOut != previous;
            for (const char* end : {"Data request completed!", "CONNECTION TIMED OUT!"})
                if (moved && r.readOut.compare(0, 7 + std::strlen(end), std::string("texts: ") + end) == 0)
                    r.status = end;
            if (r.readOut.find("Not taken") != std::string::npos) r.status = "refused";
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    // What is still on its way arrives; then the read-out and the values are read.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    host.run("tick");
    r.readOut = host.run("texts");
    for (int id : probed) r.after.push_back(host.run("getparam " + std::to_string(id)));
    host.run("close");
    EXPECT_EQ(host.close(), 0);
    sim.stop();
    r.story = "editor's log:\n" + fileText(dir.file("QOR Editor LOG.txt")) + "simulator's record:\n" +
              fileText(dir.file("record.txt"));
    return r;
}

} // namespace

// Each fault of the cable or the synthesizer ends the request in its status text within its
// time, and the editor's performance is either the one it had or the synthesizer's, whole.
TEST(StudioFaultsJack, EveryFaultEndsInItsStatusWithoutHangingOrHalfAProgram)
{
    const Request clean = requestAgainst({}, false);
    ASSERT_EQ(clean.status, "Data request completed!");
    ASSERT_NE(clean.after, clean.before);
    struct Fault {
        const char* what;
        std::vector<std::string> options;
        bool again;         // the user asks a second time after the first has ended
        const char* status; // of the last request
        bool takesPerformance;
        double atLeast, atMost; // seconds
    };
    // At 50 ms a request gives up after 50 periods and a sweep of 16 more: about 3.3 s.
    const Fault faults[] = {
        {"no answer", {"--silent"}, false, "CONNECTION TIMED OUT!", false, 3.0, 6},
        {"late answers", {"--reply-delay-ms", "600"}, false, "Data request completed!", true, 0.6, 3},
        // The request is sent twice at the device's id (first and in the sweep) and left
        // unanswered, so the user's next request first asks the device id, which this
        // synthesizer leaves unanswered too: the request goes once the line has been quiet for
        // twice the longest wait of any request (10 s at 50 ms), and its third try is answered.
        {"third try", {"--answer-on-try", "3"}, true, "Data request completed!", true, 6.0, 20},
        {"truncated", {"--truncate", "7"}, false, "CONNECTION TIMED OUT!", false, 3.0, 6},
        {"overlong", {"--overlong", "7"}, false, "CONNECTION TIMED OUT!", false, 3.0, 6},
        {"cable speed", {"--throttle"}, false, "Data request completed!", true, 0.2, 3},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        const Request r = requestAgainst(f.options, f.again);
        std::printf("%-12s %5.2f s: %s\n", f.what, r.seconds, r.readOut.c_str());
        EXPECT_EQ(r.status, f.status) << r.readOut << "\n" << r.story;
        EXPECT_GE(r.seconds, f.atLeast);
        EXPECT_LE(r.seconds, f.atMost);
        EXPECT_EQ(r.after, f.takesPerformance ? clean.after : r.before);
    }
}

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

// Global settings 2 before 1: the second ends the exchange and is taken; the first then finds
// no enquiry pending and is logged, not half taken.
TEST(StudioFaultsJack, ReversedGlobalDumpsEndTheEnquiryOnTheSecondAndLogTheFirst)
{
    testsupport::TempDir dir;
    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                          {"--name", "reversed" + std::to_string(::getpid()), "--device-id", "15",
                           "--edit-reply", "performance", "--globals-reversed"},
                          error))
        << error;
    testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                           "\nnormal\nyes\n" + sim.inputPort() + "\n" + sim.outputPort() + "\n");
    testsupport::writeFile(dir.file("QOR Editor LOG.txt"), "");
    Host host(dir);
    ASSERT_EQ(host.run("open"), "open: 0");
    host.run("setparam 5078 0");
    host.run("editor-open");
    const std::string port = host.run("getparam 5018");
    // Choosing the output again starts the enquiry; its answer comes at once.
    const auto t0 = std::chrono::steady_clock::now();
    host.run("setparam 5018 " + port.substr(port.rfind(' ') + 1));
    const std::string logFile = dir.file("QOR Editor LOG.txt");
    const std::string dropped = "SYSEX ROUTER: global settings 1 not parsed, no enquiry pending";
    for (int i = 0; i < 150 && !bankgen::hasLineStarting(bankgen::logTexts(logFile), dropped); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("enquiry answered in reverse order: %.2f s\n", seconds);
    EXPECT_TRUE(bankgen::hasLineStarting(bankgen::logTexts(logFile), dropped));
    EXPECT_EQ(host.run("getparam 4322"), "getparam 4322: 0 value 15");
    // The editor stays usable: a request after it completes. The enquiry holds the job thread
    // for a period after its answer, and a request made meanwhile is dropped: asked again until
    // one starts.
    const std::string ready = "texts: Plug-in is ready to go!";
    std::string texts;
    for (int i = 0; i < 100 && texts.compare(0, ready.size(), ready) != 0; ++i) {
        host.run("tick");
        texts = host.run("texts");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (int i = 0; i < 100 && texts.compare(0, ready.size(), ready) == 0; ++i) {
        host.run("setparam 5107 0");
        host.run("setparam 5107 1");
        host.run("tick");
        texts = host.run("texts");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (int i = 0; i < 100 && texts.find("Data request completed!") == std::string::npos; ++i) {
        host.run("tick");
        texts = host.run("texts");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(texts.compare(0, 30, "texts: Data request completed!"), 0) << texts;
    host.run("close");
    EXPECT_EQ(host.close(), 0);
    sim.stop();
}
