// A machine so loaded that the JACK library's new thread starts only after the library gave up
// waiting for it: the activation fails, and that thread still runs later. The client must not
// have been closed under it.
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kit/plugin/IMidiJack.h"
#include "midiports_open.h"
#include "support/kept_log.h"
#include "support/testpaths.h"

namespace {

// Threads the JACK library makes from the test's own thread while this is set start only once
// it is cleared again: later than the library waits for them, however loaded the machine.
std::atomic<bool> gHoldThreads{false};
std::atomic<int> gJackThreads{0}; // made by the JACK library from the test's thread
pthread_t gTestThread;

// A held thread sleeps until it is let go rather than looking every millisecond: on a loaded
// core such a waker was seen to keep the server's runnable threads off that core for minutes,
// and every call of the test then waited for the server.
std::mutex gHoldLock;
std::condition_variable gLetGo;
bool gHeld = false; // a thread is being held; under gHoldLock

void LetHeldThreadsGo()
{
    {
        std::lock_guard<std::mutex> hold(gHoldLock);
        gHeld = false;
    }
    gLetGo.notify_all();
}

struct Late {
    void* (*run)(void*);
    void* arg;
};

void* StartLate(void* p)
{
    const Late late = *static_cast<Late*>(p);
    delete static_cast<Late*>(p);
    {
        std::unique_lock<std::mutex> hold(gHoldLock);
        gLetGo.wait(hold, [] { return !gHeld; });
    }
    return late.run(late.arg);
}

bool FromJack(void* caller)
{
    Dl_info info;
    return dladdr(caller, &info) && info.dli_fname && std::strstr(info.dli_fname, "libjack");
}

} // namespace

// Seen before the C library's by every library of the process.
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*run)(void*), void* arg)
{
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (pthread_equal(pthread_self(), gTestThread) && FromJack(__builtin_return_address(0))) {
        ++gJackThreads;
        if (gHoldThreads) {
            std::lock_guard<std::mutex> hold(gHoldLock);
            gHeld = true;
            return real(thread, attr, StartLate, new Late{run, arg});
        }
    }
    return real(thread, attr, run, arg);
}

// How the next activations the test's thread asks for fail, in turn: their thread held, or
// refused outright, as a loaded server refuses a client that starts no thread (the look client
// beside the library's), once or from then on. Our own client activates as its port opens; the
// library's as its client is made, and says nothing of a failure. Read and written on the test's
// thread only.
enum class Fail { kLate, kRefused, kRefusedEvermore };
std::vector<Fail> gFailing;
std::vector<std::string> gFailed; // the clients whose activation failed

extern "C" int jack_activate(jack_client_t* client)
{
    using Activate = int (*)(jack_client_t*);
    static const Activate real = reinterpret_cast<Activate>(dlsym(RTLD_NEXT, "jack_activate"));
    if (!pthread_equal(pthread_self(), gTestThread) || gFailing.empty()) return real(client);
    const Fail fail = gFailing.front();
    if (fail != Fail::kRefusedEvermore) gFailing.erase(gFailing.begin());
    gFailed.push_back(jack_get_client_name(client));
    if (fail != Fail::kLate) return -1;
    gHoldThreads = true;
    const int result = real(client);
    gHoldThreads = false;
    return result;
}

TEST(MidiPortsLateThread, AFailedActivationLeavesTheClientToItsLateThreadAndTheNextOpenWorks)
{
    gTestThread = pthread_self();
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    const struct {
        const char* api;
        bool input;
        std::vector<Fail> failing; // the client's activation, then the library's look client's
    } rows[] = {{"jack", false, {Fail::kLate}},
                {"rtjack", false, {Fail::kLate}},
                {"rtjack", true, {Fail::kLate}},
                {"rtjack", false, {Fail::kLate, Fail::kRefused}},
                {"rtjack", true, {Fail::kLate, Fail::kRefused}},
                {"rtjack", false, {Fail::kLate, Fail::kRefusedEvermore}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.api) + (row.input ? " input" : " output") +
                     (row.failing.size() < 2                         ? ""
                      : row.failing.back() == Fail::kRefusedEvermore ? ", every look client failing"
                                                                     : ", its look client failing too"));
        setenv("QOR_MIDI_API", row.api, 1);
        // Probes until one arrives through the plug-in's port of the row's direction, for at
        // most ms: the follower opens the chosen port again by itself.
        auto arrives = [&](PortPlug& plug, int ms) {
            for (int waited = 0; waited < ms; waited += 50) {
                if (row.input) {
                    synth.Send({0xBF, 0x7F, 0x7F});
                    if (plug.WaitFor([](const std::vector<Delivered>& seen) { return !seen.empty(); }, 50)) return true;
                } else {
                    plug.SendMidiSysex2({0xFE});
                    if (synth.WaitForCount(1, 50)) return true;
                }
            }
            return false;
        };
        {
            // The next open makes a fresh client, under a name the lists leave out.
            PortPlug plug;
            auto choose = [&] {
                int port = 1;
                return row.input
                           ? (plug.getExternalMIDIInNames(), plug.setExternalMIDIIn(port, synth.SendingPort().c_str()))
                           : (plug.getExternalMIDIOutNames(),
                              plug.setExternalMIDIOut(port, synth.ReceivingPort().c_str()));
            };
            gFailing = row.failing;
            gFailed.clear();
            {
                KIT_MutexLock noReopen(plug.GetMutex()); // what the open itself said, before the follower
                EXPECT_LE(choose(), 0) << "the activation was expected to fail";
                EXPECT_TRUE(gFailing.empty() || gFailing[0] == Fail::kRefusedEvermore)
                    << "not every activation failing was asked for";
                EXPECT_GE(gFailed.size(), row.failing.size() + (gFailing.empty() ? 0 : 1))
                    << "a look client that failed is made again";
                for (size_t i = 1; i < gFailed.size(); ++i)
                    EXPECT_NE(gFailed[i].find(" look"), std::string::npos) << gFailed[i];
                EXPECT_TRUE(plug.ExternalMIDIRefused(row.input)) << "a listed port called absent";
                gFailing.clear();
            }
            // The choice stands: its port opens again through a fresh client, as when chosen again.
            EXPECT_TRUE(arrives(plug, 10000));
            EXPECT_FALSE(plug.ExternalMIDIRefused(row.input));
            Pause(60); // probes still on the way
            synth.Clear();
            plug.ClearSeen();
            choose();
            EXPECT_TRUE(arrives(plug, 2000)) << "chosen again";
            const char* own = row.input ? ":RtMidi Input" : ":RtMidi Output";
            for (const std::string& name :
                 *(row.input ? plug.getExternalMIDIOutNames() : plug.getExternalMIDIInNames()))
                EXPECT_EQ(name.find(own), std::string::npos) << "the editor's own port listed: " << name;
            synth.Clear();
        }
        // The held thread starts after the instance has gone.
        LetHeldThreadsGo();
        Pause(500);
        PortPlug next;
        EXPECT_GT(row.input ? OpenIn(next, synth) : OpenOut(next, synth), 0);
        EXPECT_TRUE(arrives(next, 2000));
        synth.Clear();
    }
    setenv("QOR_MIDI_API", "jack", 1);
}

// The library's client activates as it is made, and one whose thread comes late is never judged
// when the instance only lists ports: it goes with the instance, and its thread starts after.
TEST(MidiPortsLateThread, AListingClientWhoseThreadCameLateIsKeptPastItsInstance)
{
    gTestThread = pthread_self();
    SynthSide synth;
    ASSERT_TRUE(synth.Ok());
    setenv("QOR_MIDI_API", "rtjack", 1);
    for (const bool input : {false, true}) {
        SCOPED_TRACE(input ? "input" : "output");
        {
            PortPlug plug;
            gFailing = {Fail::kLate};
            gFailed.clear();
            const size_t listed = (input ? plug.getExternalMIDIInNames() : plug.getExternalMIDIOutNames())->size();
            EXPECT_TRUE(gFailing.empty()) << "the library's client was not made";
            EXPECT_GT(listed, 1u) << "the synthesizer's port listed";
            gFailing.clear();
        }
        LetHeldThreadsGo(); // on the memory of a closed client, it would crash the process
        Pause(500);
        PortPlug next;
        EXPECT_GT(input ? OpenIn(next, synth) : OpenOut(next, synth), 0);
    }
    setenv("QOR_MIDI_API", "jack", 1);
}

// Without a server the library's open fails after starting a thread of its own, which meets
// the same end: no client is opened then, on either path. With JACK_PROMISCUOUS_SERVER set the
// library reaches only the socket without the user's number, so a server on the user's own is
// none; the one line names where the library would look.
TEST(MidiPortsLateThread, NoClientIsOpenedWhereNoServerListens)
{
    gTestThread = pthread_self();
    const std::string server = std::getenv("JACK_DEFAULT_SERVER"), none = "qor-none-" + std::to_string(getpid());
    const std::string uid = std::to_string(getuid());
    const struct {
        const char* what;
        std::string name;
        bool promiscuous;
        std::string looked; // the paths the line names
    } table[] = {
        {"a server name nobody runs", none, false,
         "/dev/shm/jack_" + none + "_" + uid + "_0, /dev/shm/jack-" + uid + "/" + none + "/jack_0, /tmp/jack-" + uid +
             "/" + none + "/jack_0"},
        {"promiscuous, only the user's own server running", server, true, "/dev/shm/jack_" + server + "_0"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(IJackServerListening()) << "the fixture's server"; // and said again once none listens
        testsupport::KeptLog log;
        setenv("JACK_DEFAULT_SERVER", row.name.c_str(), 1);
        if (row.promiscuous) setenv("JACK_PROMISCUOUS_SERVER", "1", 1);
        EXPECT_FALSE(IJackServerListening());
        gJackThreads = 0;
        for (const char* api : {"jack", "rtjack"}) {
            setenv("QOR_MIDI_API", api, 1);
            PortPlug plug;
            EXPECT_EQ(plug.getExternalMIDIOutNames()->size(), 1u) << api;
            EXPECT_EQ(plug.getExternalMIDIInNames()->size(), 1u) << api;
        }
        EXPECT_EQ(gJackThreads, 0);
        unsetenv("JACK_PROMISCUOUS_SERVER");
        setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
        setenv("QOR_MIDI_API", "jack", 1);
        const std::vector<std::string> lines = log.take();
        const std::string said = "no JACK server \"" + row.name + "\" listens (looked at " + row.looked + ")";
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(said), std::string::npos) << lines[0];
    }
}

// A server started with JACK_PROMISCUOUS_SERVER, which every program then has too, listens on a
// socket without the user's number: the library reaches it, and so do both paths. The library
// reads the variable once a process, so the check runs in a process of its own.
TEST(MidiPortsLateThread, APromiscuousServerIsUsedOnBothPaths)
{
    if (std::getenv("QOR_PROMISCUOUS_CHECK")) {
        SynthSide synth;
        ASSERT_TRUE(synth.Ok()) << "no client on the promiscuous server";
        for (const char* api : {"jack", "rtjack"}) {
            setenv("QOR_MIDI_API", api, 1);
            PortPlug plug;
            EXPECT_GT(OpenOut(plug, synth), 0) << api;
        }
        return;
    }
    const std::string own = "qorpromiscuous" + std::to_string(getpid()), pidfile = "/tmp/" + own + ".pid";
    const std::string fixture = testsupport::sourceDir() + "/scripts/jack-fixture.sh ";
    const std::string env = "JACK_PROMISCUOUS_SERVER=1 JACK_DEFAULT_SERVER=" + own + " ";
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    ASSERT_EQ(std::system((env + fixture + "start " + own + " " + pidfile + " >/dev/null").c_str()), 0);
    EXPECT_EQ(std::system((env + "QOR_PROMISCUOUS_CHECK=1 " + self +
                           " --gtest_brief=1 --gtest_filter=MidiPortsLateThread.APromiscuousServerIsUsedOnBothPaths")
                              .c_str()),
              0);
    std::system((fixture + "stop " + own + " " + pidfile).c_str());
}
