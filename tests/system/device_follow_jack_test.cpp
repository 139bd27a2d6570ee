// The synthesizer switched off and on again while the editor's ports are chosen: the simulator
// stopped and started again under the same names, with the bundle in qor-host. The editor says
// the device is away while it is, and takes it up again by itself when it returns.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "editor/host_script_support.h"
#include "kit/plugin/IMidiJack.h"
#include "kit/plugin/IParam.h"
#include "launcher.h"
#include "support/bankgen.h"
#include "support/kept_log.h"
#include "tools/synth-sim/syxfile.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr int kCutoff = 1504; // part 1's cutoff, controller 74 on channel 1
constexpr int kDeviceOut = 5018, kDeviceIn = 5019;
constexpr int kKnobMode = 4335; // a global: global settings 2, byte 22, bit 4
const char* const kReady = "Plug-in is ready to go!";

// The synthesizer switched off for a while with the chosen ports.
struct Row {
    const char* what;
    bool in, out;
    int awayMs; // longer than the enquiry's sweep in the last row
};

class Follow : public ::testing::Test
{
protected:
    ~Follow() override
    {
        if (mJack) jack_client_close(mJack);
    }
    void SetUp() override
    {
        testsupport::writeFile(mDir.file("QOR Editor LOG.txt"), ""); // written only when there at the start
        startSim();
        ASSERT_TRUE(mSim);
        mHost = hostscript::startHostOnPorts(mDir, mOut, mSim->inputPort(), mSim->outputPort(), mApi,
                                             mDir.file("host-stderr.txt"));
        ASSERT_NE(mHost, nullptr);
        send("open\neditor-open\n");
        mOutIndex = param(kDeviceOut);
        mInIndex = param(kDeviceIn);
        // Ports are chosen again from this project by name: their places in the menus change
        // when the lists are read again.
        mSaved = ask("saveclass 0");
    }
    void TearDown() override
    {
        stopRendering();
        // A simulator started after the host holds the host's script pipe open too.
        if (mSim) mSim->stop();
        if (mHost) closeHost();
    }
    // The host's exit. Its output, standard error, log and the synthesizer's records are kept when
    // the test failed or the exit took more than a few seconds (a JACK server that cannot remove a
    // client holds it up); kept at once while it is held up, since the test's time limit may end it.
    void closeHost()
    {
        constexpr auto kSlowExit = std::chrono::seconds(5);
        send("close\n");
        std::mutex lock;
        std::condition_variable doneSignal;
        bool done = false;
        std::thread keeper([&] {
            std::unique_lock<std::mutex> hold(lock);
            if (!doneSignal.wait_for(hold, kSlowExit, [&] { return done; })) keepFolder("the host's exit is held up");
        });
        const auto began = std::chrono::steady_clock::now();
        const int status = pclose(mHost);
        const auto took = std::chrono::steady_clock::now() - began;
        {
            std::lock_guard<std::mutex> hold(lock);
            done = true;
        }
        doneSignal.notify_one();
        keeper.join();
        EXPECT_EQ(status, 0);
        const long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(took).count());
        if (took > kSlowExit)
            keepFolder("the host's exit took " + std::to_string(ms) + " ms");
        else if (HasFailure())
            keepFolder("the test failed");
    }
    // Beside the server's logs when the fixture names them, else in the build folder.
    void keepFolder(const std::string& why)
    {
        const char* serverLog = std::getenv("QOR_JACK_LOG");
        const std::string beside =
            serverLog ? std::filesystem::path(serverLog).parent_path().string() : testsupport::binaryDir();
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string kept =
            beside + "/kept-follow/" + test->test_suite_name() + "." + test->name() + "-" + std::to_string(::getpid());
        std::error_code error;
        std::filesystem::create_directories(kept, error);
        std::filesystem::copy(
            mDir.path, kept,
            std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, error);
        const std::string trouble = error ? " (" + error.message() + ")" : "";
        std::fprintf(stderr, "%s: the host's output, standard error and log are kept in %s%s\n", why.c_str(),
                     kept.c_str(), trouble.c_str());
    }
    void send(const std::string& lines) { hostscript::send(mHost, lines); }
    void startRendering() { mRenderer.start(mHost); }
    void stopRendering() { mRenderer.stop(); }
    size_t stored(const std::string& where, size_t from = 0)
    {
        const std::vector<synthsim::RecordLine> record = synthsim::readRecordFile(mRecord);
        size_t n = 0;
        for (size_t i = from; i < record.size(); ++i)
            n += record[i].direction == "in" && record[i].note.rfind("stored into " + where, 0) == 0;
        return n;
    }
    // Whether the synthesizer's last global settings 2 carry the knob mode bit.
    int deviceKnobMode()
    {
        int bit = -1;
        for (const auto& line : synthsim::readRecordFile(mRecord))
            if (line.direction == "in" && line.note.rfind("stored into global settings 2", 0) == 0)
                bit = line.bytes.size() > 22 && (line.bytes[22] & 0x10) != 0;
        return bit;
    }
    // Every connection of the synthesizer's ports undone for ms, as a patchbay would.
    void cutSynthesizer(int ms)
    {
        if (!mJack) mJack = jack_client_open("follow-check", JackNoStartServer, nullptr);
        ASSERT_NE(mJack, nullptr);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            for (const std::string& port : {mName + ":in", mName + "-out:out"}) {
                jack_port_t* p = jack_port_by_name(mJack, port.c_str());
                const char** peers = p ? jack_port_get_all_connections(mJack, p) : nullptr;
                for (size_t i = 0; peers && peers[i]; ++i)
                    jack_port_flags(p) & JackPortIsInput ? jack_disconnect(mJack, peers[i], port.c_str())
                                                         : jack_disconnect(mJack, port.c_str(), peers[i]);
                if (peers) jack_free(peers);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The ports chosen again, the input last, whose enquiry brings the synthesizer's globals; then
    // the knob mode global saved in the project opposite to the synthesizer's, and set back.
    // Returns the project's value.
    int projectOppositeToDevice()
    {
        chooseBothAgain();
        const int device = param(kKnobMode), project = 1 - device;
        ask("setparam " + std::to_string(kKnobMode) + " " + std::to_string(project));
        EXPECT_EQ(ask("saveclass 0").rfind("saveclass 0: 0 ", 0), 0u);
        ask("setparam " + std::to_string(kKnobMode) + " " + std::to_string(device));
        return project;
    }
    // Both ports chosen again, the input last; true once the enquiry's answer says ready, a failure else.
    bool chooseBothAgain()
    {
        ask("setparam 5019 0");
        ask("setparam 5018 0");
        ask("setparam 5018 " + std::to_string(mOutIndex));
        ask("setparam 5019 " + std::to_string(mInIndex));
        std::string shown;
        const bool ready = within20s([&] { return (shown = texts()).find(kReady) != std::string::npos; });
        if (!ready) ADD_FAILURE() << "not ready: " << shown;
        return ready;
    }
    // The host's reply to one command: its line starts with the command and its first argument.
    std::string ask(const std::string& command)
    {
        send(command + "\n");
        const std::string key = command.substr(0, command.find(' ', command.find(' ') + 1)) + ": ";
        return hostscript::printed(mOut, key, ++mAsked[key]);
    }
    void startSim()
    {
        mSim = std::make_unique<synthsim::SimProcess>();
        mRecord = mDir.file("record" + std::to_string(++mRuns) + ".txt");
        std::string error;
        if (!mSim->start(SYNTH_SIM_EXE, {"--name", mName, "--device-id", "15", "--record", mRecord}, error)) {
            ADD_FAILURE() << error;
            mSim.reset();
        }
    }
    void stopSim()
    {
        mSim->stop();
        mSim.reset();
    }
    // Polls cond every 100 ms for 20 s at most.
    template <class Cond> bool within20s(Cond cond)
    {
        for (int i = 0; i < 200; ++i) {
            if (cond()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
    int param(int id)
    {
        const std::string line = ask("getparam " + std::to_string(id));
        const size_t at = line.find(" value ");
        return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + 7);
    }
    std::string texts()
    {
        ask("tick");
        return ask("texts");
    }
    // A controller from the synthesizer moves the editor's knob.
    bool controllerArrives(int value)
    {
        return within20s([&] {
            mSim->command("cc 0 74 " + std::to_string(value));
            return param(kCutoff) == value;
        });
    }
    // A knob turned in the editor reaches the synthesizer. A value the editor sent already is not
    // sent again: each try turns it on.
    bool knobArrives(int& value)
    {
        std::vector<synthsim::Bytes> turned;
        return within20s([&] {
            value = value % 120 + 1;
            ask("setparam " + std::to_string(kCutoff) + " " + std::to_string(value));
            turned.push_back({0xB0, 74, uint8_t(value)});
            for (const auto& line : synthsim::readRecordFile(mRecord))
                if (line.direction == "in" && std::find(turned.begin(), turned.end(), line.bytes) != turned.end())
                    return true;
            return false;
        });
    }
    // The items of a device menu as the user sees it (normal size: the fields at the top right).
    std::string deviceMenu(bool out)
    {
        send(std::string("menu-next dismiss\n") + (out ? "click 1420 18\n" : "click 1420 40\n"));
        return hostscript::printed(mOut, "menu: ", ++mMenus);
    }
    int enquiries()
    {
        int n = 0;
        for (const auto& line : synthsim::readRecordFile(mRecord)) n += line.note.rfind("device-id enquiry", 0) == 0;
        return n;
    }
    // The ports the editor has open on the server, on either path, as another client sees them.
    int editorPorts()
    {
        if (!mJack) mJack = jack_client_open("follow-check", JackNoStartServer, nullptr);
        if (!mJack) return -1;
        int n = 0;
        const char** ports = jack_get_ports(mJack, nullptr, nullptr, 0);
        for (size_t i = 0; ports && ports[i]; ++i) {
            const std::string name = ports[i];
            const std::string port = name.substr(name.find(':') + 1);
            n += port == "RtMidi Output" || port == "RtMidi Input";
        }
        if (ports) jack_free(ports);
        return n;
    }
    // The ports chosen for the row, the synthesizer off and on again: said absent and closed while
    // it is away, and reached again with no choice once it is back.
    void offAndOn(const Row& row, int& value)
    {
        SCOPED_TRACE(row.what);
        // The menus keep their places: the synthesizer comes back under the names they hold. The
        // input last: its choice runs the enquiry, whose answer is then the last status.
        ask("setparam 5019 0");
        ask("setparam 5018 0");
        if (row.out) ask("setparam 5018 " + std::to_string(mOutIndex));
        if (row.in) ask("setparam 5019 " + std::to_string(mInIndex));
        std::string shown;
        // The choice's own enquiry ends before the synthesizer is switched off.
        if (row.in && row.out) {
            EXPECT_TRUE(within20s([&] { return (shown = texts()).find(kReady) != std::string::npos; }));
        }
        EXPECT_EQ(editorPorts(), int(row.in) + int(row.out));
        stopSim();
        const auto wentAt = std::chrono::steady_clock::now();
        const std::string away =
            row.out ? "MIDI Out absent: " + mName + ":in" : "MIDI In absent: " + mName + "-out:out";
        EXPECT_TRUE(within20s([&] { return (shown = texts()).find(away) != std::string::npos; })) << shown;
        // Nothing is sent to, or taken from, a port that leads nowhere.
        EXPECT_TRUE(within20s([&] { return editorPorts() == 0; })) << "a port left open while the device is away";
        EXPECT_LT(std::chrono::steady_clock::now() - wentAt, std::chrono::seconds(4)) << "closed late";
        // The menus keep the choice, checked as an entry after the ports, marked absent.
        EXPECT_GT(param(row.in ? kDeviceIn : kDeviceOut), 0);
        const std::string gone = row.out ? mName + ":in" : mName + "-out:out";
        const std::string menu = deviceMenu(row.out);
        EXPECT_NE(menu.find("*" + gone + " (absent)"), std::string::npos) << menu;
        std::this_thread::sleep_for(std::chrono::milliseconds(row.awayMs)); // how long it stays away
        EXPECT_EQ(texts().find("checking DeviceID"), std::string::npos) << "no sweep while it is away";
        startSim();
        ASSERT_TRUE(mSim);
        const auto backAt = std::chrono::steady_clock::now();
        EXPECT_TRUE(within20s([&] { return editorPorts() == int(row.in) + int(row.out); }));
        EXPECT_LT(std::chrono::steady_clock::now() - backAt, std::chrono::seconds(4)) << "reopened late";
        if (row.in && row.out) {
            EXPECT_TRUE(within20s([&] {
                return enquiries() > 0 && (shown = texts()).find(kReady) != std::string::npos;
            })) << shown;
            EXPECT_EQ(enquiries(), 1) << "asked once when it came back";
        }
        if (row.in) {
            EXPECT_TRUE(controllerArrives(value = value % 120 + 1));
        }
        if (row.out) {
            EXPECT_TRUE(knobArrives(value));
        }
    }

    // A project recalled, nothing chosen before it, while another program holds the synthesizer's
    // names and undoes each connection of ours; then the synthesizer back under its names. The
    // recalled send is owed, and said so, until the returned synthesizer has answered an enquiry;
    // then it goes whole and once, with the project's globals, which its answer leaves alone.
    void recallWhileAHolderUndoesConnections()
    {
        const int project = projectOppositeToDevice();
        startRendering();
        // Nothing chosen: no return of the device to the holder runs an enquiry, and the recall
        // finds the job thread idle, free to send at once.
        ask("setparam 5019 0");
        ask("setparam 5018 0");
        stopSim();
        synthsim::SimProcess holder;
        std::string error;
        ASSERT_TRUE(holder.start(PORT_HOLDER_EXE, {mName, "1"}, error)) << error;
        const auto heldAt = std::chrono::steady_clock::now();
        EXPECT_EQ(ask("loadclass 0"), "loadclass 0: 0");
        std::this_thread::sleep_until(heldAt + std::chrono::seconds(3));
        std::ifstream in(mDir.file("QOR Editor LOG.txt"));
        const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // Owed: until its connection shows (the library's systems), or until the device answers.
        const bool owed =
            log.find("the stored MIDI output is not connected yet, the performance is sent once it is") !=
                std::string::npos ||
            log.find("the performance is sent once the device of the stored MIDI output answers") != std::string::npos;
        EXPECT_TRUE(owed) << "the send is not said to be owed:\n" << log;
        holder.stop();
        startSim();
        ASSERT_TRUE(mSim);
        EXPECT_TRUE(within20s([&] { return stored("performance edit buffer") > 0; }));
        std::this_thread::sleep_for(std::chrono::seconds(1)); // a second send would come by now
        const std::vector<synthsim::RecordLine> record = synthsim::readRecordFile(mRecord);
        std::string seen;
        for (const auto& line : record) seen += "\n  " + line.direction + " " + line.note;
        EXPECT_EQ(stored("performance edit buffer"), 1u) << seen;
        EXPECT_EQ(stored("global settings 2"), 1u) << seen;
        // Nothing of the send before the enquiry's answer (its sweep may ask other ids first).
        for (const auto& line : record) {
            if (line.direction == "out") break;
            EXPECT_NE(line.note.rfind("stored into", 0), 0u) << "before the answer: " << line.note;
        }
        // The project's globals: the synthesizer's, and still the editor's.
        EXPECT_EQ(deviceKnobMode(), project);
        EXPECT_EQ(param(kKnobMode), project);
    }

    // A project recalled with its synthesizer there, the host rendering; the connections undone
    // once for 0.3 s during the send the enquiry's answer starts, or the synthesizer quitting 0.3 s
    // into it and starting again 3 s later. The send is owed again, and the synthesizer ends with
    // all of it, asked again only for its id.
    void recallSendCutOnce()
    {
        const struct {
            const char* what;
            const char* after; // what the synthesizer stored when the connections go
            int cutMs;
            int quitMs; // how long the synthesizer's process stays away, 0 when it stays
        } rows[] = {{"after the first global dump", "global settings 1", 300, 0},
                    {"after the third program", "part 3 edit buffer", 300, 0},
                    {"after the eighth program, near the end", "part 8 edit buffer", 300, 0},
                    {"the synthesizer quits after the first global dump", "global settings 1", 300, 3000}};
        startRendering();
        for (const auto& row : rows) {
            SCOPED_TRACE(row.what);
            const int project = projectOppositeToDevice();
            const size_t before = synthsim::readRecordFile(mRecord).size();
            EXPECT_EQ(ask("loadclass 0"), "loadclass 0: 0");
            ASSERT_TRUE(within20s([&] { return stored(row.after, before) > 0; }));
            size_t cutAt = synthsim::readRecordFile(mRecord).size();
            if (row.quitMs) {
                std::this_thread::sleep_for(std::chrono::milliseconds(row.cutMs));
                stopSim();
                std::this_thread::sleep_for(std::chrono::milliseconds(row.quitMs));
                startSim(); // at power-on, with a record of its own
                ASSERT_TRUE(mSim);
                cutAt = 0;
            } else {
                cutSynthesizer(row.cutMs);
            }
            const char* const whole[] = {
                "global settings 1",  "global settings 2",       "part 1 edit buffer",
                "part 2 edit buffer", "part 3 edit buffer",      "part 4 edit buffer",
                "part 5 edit buffer", "part 6 edit buffer",      "part 7 edit buffer",
                "part 8 edit buffer", "performance edit buffer", "performance follow-up edit buffer"};
            EXPECT_TRUE(within20s([&] {
                for (const char* where : whole)
                    if (stored(where, cutAt) == 0) return false;
                return true;
            }));
            std::string seen;
            for (const char* where : whole)
                seen += std::string(" ") + where + ": " + std::to_string(stored(where, cutAt));
            EXPECT_EQ(stored("performance edit buffer", cutAt), 1u) << "after the cut:" << seen;
            EXPECT_EQ(deviceKnobMode(), project);
            EXPECT_EQ(param(kKnobMode), project);
        }
    }

    // The synthesizer killed, as by a crash or a power cut, the host rendering and reading a
    // parameter: a synchronous server stalls every client's call for seconds after a client dies,
    // and no host call may wait more than a quarter of that while the follower closes the ports.
    // Timed against the stall, measured by a call of the test's own client, not against a clock
    // of this machine. A kill the server did not stall on judges nothing: the synthesizer is
    // started and killed again, three kills at most, and a server that never stalls fails the row.
    void killedWhileTheHostCalls()
    {
        constexpr long kStallFloorMs = 1000;
        if (!mJack) mJack = jack_client_open("follow-check", JackNoStartServer, nullptr);
        ASSERT_NE(mJack, nullptr);
        startRendering();
        long stallMs = 0, longestMs = 0;
        for (int attempt = 1; attempt <= 3 && stallMs < kStallFloorMs; ++attempt) {
            if (!chooseBothAgain()) return;
            std::atomic<bool> probing{true};
            std::atomic<long> longest{0};
            std::thread prober([&] { // the only thread that talks to the host meanwhile
                for (int call = 0; probing; ++call) {
                    const auto began = std::chrono::steady_clock::now();
                    // A parameter read, and the editor's timer, which shows the menus' lists.
                    if (call % 2)
                        ask("tick");
                    else
                        param(kCutoff);
                    longest = std::max(longest.load(), long(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                                std::chrono::steady_clock::now() - began)
                                                                .count()));
                }
            });
            const auto killedAt = std::chrono::steady_clock::now();
            ::kill(mSim->pid(), SIGKILL);
            // A client opening waits until the server has let the killed one go.
            if (jack_client_t* probe = jack_client_open("follow-stall", JackNoStartServer, nullptr))
                jack_client_close(probe);
            const auto stalledUntil = std::chrono::steady_clock::now();
            stallMs = long(std::chrono::duration_cast<std::chrono::milliseconds>(stalledUntil - killedAt).count());
            // The departure is told once the server lets the killed client go: a moment more.
            std::this_thread::sleep_until(stalledUntil + std::chrono::seconds(1));
            probing = false;
            prober.join();
            longestMs = longest;
            std::fprintf(stderr, "kill %d: the server stalled %ld ms, the longest host call took %ld ms\n", attempt,
                         stallMs, longestMs);
            std::string shown;
            EXPECT_TRUE(within20s([&] { return (shown = texts()).find("absent") != std::string::npos; })) << shown;
            stopSim();
            startSim();
            ASSERT_TRUE(mSim);
        }
        ASSERT_GE(stallMs, kStallFloorMs) << "the server never stalled on a killed client: nothing was judged";
        EXPECT_LT(longestMs * 4, stallMs) << "a host call waited on the server";
    }

    testsupport::TempDir mDir;
    const std::string mOut = mDir.file("host.txt");
    const std::string mName = "follow" + std::to_string(::getpid());
    std::unique_ptr<synthsim::SimProcess> mSim;
    std::string mRecord;
    int mRuns = 0;
    FILE* mHost = nullptr;
    std::map<std::string, size_t> mAsked;
    size_t mMenus = 0;
    int mOutIndex = 0, mInIndex = 0;
    std::string mSaved;
    const char* mApi = "jack";
    jack_client_t* mJack = nullptr;
    hostscript::Renderer mRenderer;
};

// A synchronous server of the test's own, whose short time-out for a client keeps the stall after
// a killed one to seconds: the fixture's stalls for minutes. 200 ms is still forty cycles, more
// than a loaded machine holds a live client up.
class FollowOnAStallingServer : public Follow
{
protected:
    FollowOnAStallingServer()
    {
        const char* was = std::getenv("JACK_DEFAULT_SERVER");
        mWas = was ? was : "";
        mStarted =
            std::system(("QOR_JACK_TIMEOUT_MS=200 " + mScript + " start " + mServer + " " + mPidFile + " >/dev/null")
                            .c_str()) == 0;
        setenv("JACK_DEFAULT_SERVER", mServer.c_str(), 1);
    }
    void SetUp() override
    {
        ASSERT_TRUE(mStarted) << "the test's own JACK server did not start";
        Follow::SetUp();
    }
    void TearDown() override
    {
        Follow::TearDown();
        if (mJack) jack_client_close(mJack);
        mJack = nullptr;
        (void)std::system((mScript + " stop " + mServer + " " + mPidFile).c_str());
        mWas.empty() ? unsetenv("JACK_DEFAULT_SERVER") : setenv("JACK_DEFAULT_SERVER", mWas.c_str(), 1);
    }
    const std::string mScript = testsupport::sourceDir() + "/scripts/jack-fixture.sh";
    const std::string mServer = "qorstall" + std::to_string(::getpid());
    const std::string mPidFile = mDir.file("jackd.pid");
    std::string mWas;
    bool mStarted = false;
};

class FollowOnAStallingServerOnLibraryJack : public FollowOnAStallingServer
{
protected:
    FollowOnAStallingServerOnLibraryJack() { mApi = "rtjack"; }
};

// The same through the MIDI library's own JACK client, which tells nothing of ports that come and
// go: the follower looks by itself.
class FollowOnLibraryJack : public Follow
{
protected:
    FollowOnLibraryJack() { mApi = "rtjack"; }
};

// A patchbay on the server: a monitor's input and a second device's output, connected beside the
// synthesizer to the editor's ports and taken away again.
class Patchbay
{
public:
    Patchbay()
    {
        mClient = jack_client_open(("qorpatch" + std::to_string(::getpid())).c_str(), JackNoStartServer, nullptr);
        if (!mClient) return;
        mMonitor = jack_port_register(mClient, "monitor", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        mSecond = jack_port_register(mClient, "second", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (mSecond) jack_set_process_callback(mClient, Process, this);
        mFailed = mMonitor && mSecond && jack_activate(mClient) != 0;
        mOk = mMonitor && mSecond && !mFailed && !(mEditorOut = EditorPort(true)).empty() &&
              !(mEditorIn = EditorPort(false)).empty();
    }
    ~Patchbay()
    {
        // One whose activation failed may still start its thread: kept, as the port layer keeps one.
        if (mClient && mFailed)
            IAbandonJackClient(mClient);
        else if (mClient)
            jack_client_close(mClient);
    }
    bool ok() const { return mOk; }
    // The monitor on the editor's output, or the second device on its input; made, then taken away.
    bool connectAndRemove(bool output)
    {
        const std::string from = output ? mEditorOut : jack_port_name(mSecond);
        const std::string to = output ? jack_port_name(mMonitor) : mEditorIn;
        if (jack_connect(mClient, from.c_str(), to.c_str()) != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return jack_disconnect(mClient, from.c_str(), to.c_str()) == 0;
    }

private:
    // As a device that plays nothing: its output empty every cycle.
    static int Process(jack_nframes_t frames, void* self)
    {
        jack_midi_clear_buffer(jack_port_get_buffer(static_cast<Patchbay*>(self)->mSecond, frames));
        return 0;
    }
    // This process's editor port of the direction.
    std::string EditorPort(bool output)
    {
        const std::string ours = (output ? "RtMidi Output Client " : "RtMidi Input Client ") + std::to_string(::getpid());
        const char** ports = jack_get_ports(mClient, nullptr, JACK_DEFAULT_MIDI_TYPE, 0);
        std::string found;
        for (size_t i = 0; ports && ports[i]; ++i)
            if (std::string(ports[i]).rfind(ours, 0) == 0) found = ports[i];
        if (ports) jack_free(ports);
        return found;
    }
    jack_client_t* mClient = nullptr;
    jack_port_t *mMonitor = nullptr, *mSecond = nullptr;
    std::string mEditorOut, mEditorIn;
    bool mOk = false;
    bool mFailed = false; // its activation
};

unsigned linesWith(testsupport::KeptLog& log, const char* text)
{
    unsigned n = 0;
    for (const auto& line : log.lines()) n += line.second.find(text) != std::string::npos;
    return n;
}

} // namespace

TEST_F(Follow, ASynthesizerThatComesBackUnderItsNamesIsReachedAgainWithoutAChoice)
{
    ASSERT_GT(mOutIndex, 0);
    ASSERT_GT(mInIndex, 0);
    ASSERT_EQ(mSaved.rfind("saveclass 0: 0 ", 0), 0u) << mSaved;
    const Row rows[] = {
        {"input only", true, false, 2000},
        {"output only", false, true, 2000},
        {"both", true, true, 2000},
        {"both, 12 s away", true, true, 12000},
    };
    int value = 10;
    for (const Row& row : rows) offAndOn(row, value);

    // A project recalled while its synthesizer is away keeps it, and takes it when it starts.
    startRendering();
    stopSim();
    ask("setparam 5019 0");
    ask("setparam 5018 0");
    EXPECT_EQ(ask("loadclass 0"), "loadclass 0: 0");
    std::string shown;
    EXPECT_TRUE(within20s([&] { return (shown = texts()).find("absent") != std::string::npos; })) << shown;
    EXPECT_GT(param(kDeviceOut), 0);
    startSim();
    ASSERT_TRUE(mSim);
    EXPECT_TRUE(controllerArrives(value = value % 120 + 1));
    EXPECT_TRUE(knobArrives(value));
}

TEST_F(Follow, ARecallWhileAnotherProgramUndoesOurConnectionsReachesTheReturningSynthesizerWholeOnce)
{
    recallWhileAHolderUndoesConnections();
}

TEST_F(FollowOnLibraryJack, ARecallWhileAnotherProgramUndoesOurConnectionsReachesTheReturningSynthesizerWholeOnce)
{
    recallWhileAHolderUndoesConnections();
}

TEST_F(Follow, ARecalledSendWhoseConnectionGoesDuringItIsSentWholeAgainOnceTheSynthesizerAnswers)
{
    recallSendCutOnce();
}

TEST_F(FollowOnLibraryJack, ARecalledSendWhoseConnectionGoesDuringItIsSentWholeAgainOnceTheSynthesizerAnswers)
{
    recallSendCutOnce();
}

TEST_F(FollowOnLibraryJack, ASynthesizerThatComesBackIsReachedAgainThoughTheSystemTellsNothing)
{
    ASSERT_GT(mOutIndex, 0);
    ASSERT_GT(mInIndex, 0);
    int value = 10;
    offAndOn({"both", true, true, 1000}, value);
}

TEST_F(FollowOnAStallingServer, ASynthesizerKilledOnASynchronousServerHoldsNoHostCallForMoreThanAPartOfTheServersStall)
{
    killedWhileTheHostCalls();
}

TEST_F(FollowOnAStallingServerOnLibraryJack,
       ASynthesizerKilledOnASynchronousServerHoldsNoHostCallForMoreThanAPartOfTheServersStall)
{
    killedWhileTheHostCalls();
}

// A bank request under way when the synthesizer goes away for longer than a request waits ends
// as a time-out does, every slot holds its old program or the synthesizer's of its number, and
// the synthesizer is taken up again when it returns. Another connection made and taken away
// beside the synthesizer's, on either side, is neither a departure nor a refusal: during the
// request, which goes on, and while idle, a knob turned right after reaching the synthesizer.
TEST(FollowBankRequest, ARequestWhoseSynthesizerGoesAwayEndsFilesNothingAstrayAndTheSynthesizerIsTakenUpAgain)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("seed.syx"), bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));
    const std::vector<std::string> args = {"--name",   "followbank" + std::to_string(::getpid()),
                                           "--device-id", "15",
                                           "--load",   dir.file("seed.syx"),
                                           "--record", dir.file("record.txt")};
    auto sim = std::make_unique<synthsim::SimProcess>();
    std::string error, line;
    ASSERT_TRUE(sim->start(SYNTH_SIM_EXE, args, error)) << error;
    testsupport::TempDir memory;
    sim->command("dump " + memory.path);
    while (sim->readLine(line, 5000) && line.rfind("ok dump", 0) != 0) {
    }
    synthsim::SplitResult synth;
    ASSERT_TRUE(synthsim::readSyxFile(memory.file("programs-A.syx"), synth, error)) << error;
    ASSERT_EQ(synth.messages.size(), 128u);
    const bankgen::Bank library = bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, 7);
    mkdir(dir.file("Patches").c_str(), 0755);
    testsupport::writeFile(dir.file("Patches/Library.syx"), bankgen::rawFile(bankgen::messagesOf(library)));
    setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
    setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
    testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                           "\nnormal\nyes\n" + sim->inputPort() + "\n" + sim->outputPort() + "\n");
    // The plug-in prints every message it sends: kept out of the way, and shown with the test's
    // own failures (which the capture takes too) when it failed, on every way out.
    struct Quiet {
        Quiet() { testing::internal::CaptureStdout(); }
        ~Quiet()
        {
            const std::string printed = testing::internal::GetCapturedStdout();
            if (testing::Test::HasFailure()) std::fputs(printed.c_str(), stderr);
        }
    } quiet;
    auto plug = std::make_unique<QOR>(IPluginInstanceInfo());
    QOR& q = *plug;
    ASSERT_TRUE(q.midiIOSet);
    PatchLibrarian& lib = *q.patchLibrarian;
    ASSERT_EQ(lib.singleFiles.size(), 1u);
    const std::vector<LibrarianPatch> before = lib.singleFiles[0]->patches;
    q.GetParam(qorid::kLibSyncTimer)->Set(0); // 50 ms: a request gives up after about 3.3 s
    auto filled = [&] {
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        int n = 0;
        for (size_t s = 0; s < before.size(); ++s)
            n += lib.singleFiles[0]->patches[s].messages[0].bytes != before[s].messages[0].bytes;
        return n;
    };
    // The first true answer counts: a condition that turns a knob each time is not asked again.
    auto within20s = [](auto cond) {
        for (int i = 0; i < 200; ++i) {
            if (cond()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    Patchbay patchbay;
    ASSERT_TRUE(patchbay.ok());
    ASSERT_TRUE(q.midiManager->sendAllPatchRequestSysexFromLibrarian(0));
    EXPECT_TRUE(within20s([&] { return filled() >= 2; }));
    {
        testsupport::KeptLog log;
        for (const bool output : {true, false}) EXPECT_TRUE(patchbay.connectAndRemove(output));
        const int before = filled();
        EXPECT_TRUE(within20s([&] { return filled() >= before + 4; })) << "the request stopped at " << before;
        for (const char* told : {"went away", "drops our connection", "could not be opened"})
            EXPECT_EQ(linesWith(log, told), 0u) << told;
    }
    sim->stop();
    // Away until the request has given up.
    EXPECT_TRUE(within20s([&] { return q.midiManager->threadIdle(kJobThread); }));
    sim = std::make_unique<synthsim::SimProcess>();
    ASSERT_TRUE(sim->start(SYNTH_SIM_EXE, args, error)) << error;
    {
        std::lock_guard<std::recursive_mutex> hold(lib.mLock);
        const std::vector<LibrarianPatch>& now = lib.singleFiles[0]->patches;
        int run = 0;
        for (size_t s = 0; s < now.size(); ++s) {
            const bankgen::Bytes b(now[s].messages[0].bytes.begin(), now[s].messages[0].bytes.end());
            if (b == bankgen::Bytes(before[s].messages[0].bytes.begin(), before[s].messages[0].bytes.end())) continue;
            EXPECT_EQ(b, synth.messages[s]) << "slot " << s;
            EXPECT_EQ(int(s), run++) << "slot " << s << " filled out of turn";
        }
        EXPECT_LT(run, 128) << "the request ended while the synthesizer was away";
    }
    int value = 0;
    EXPECT_TRUE(within20s([&] {
        value = value % 120 + 1;
        sim->command("cc 0 74 " + std::to_string(value));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return q.GetParam(qorid::kFilterCutoff)->Value() == value;
    })) << "a controller of the returned synthesizer reaches the editor";
    // Idle: a knob turned, or a controller played, right after a removal beside the synthesizer.
    EXPECT_TRUE(patchbay.connectAndRemove(true));
    IMidiMsg knob(0, 0xB0, 74, 33);
    q.SendMidiMsg(&knob);
    EXPECT_TRUE(within20s([&] {
        for (const auto& line : synthsim::readRecordFile(dir.file("record.txt")))
            if (line.direction == "in" && line.bytes == synthsim::Bytes{0xB0, 74, 33}) return true;
        return false;
    })) << "the knob after a removal beside the output";
    EXPECT_TRUE(patchbay.connectAndRemove(false));
    sim->command("cc 0 74 44");
    EXPECT_TRUE(within20s([&] { return q.GetParam(qorid::kFilterCutoff)->Value() == 44; }))
        << "a controller after a removal beside the input";
    plug.reset();
    unsetenv("QOR_BUNDLE_PATH");
    sim->stop();
}
