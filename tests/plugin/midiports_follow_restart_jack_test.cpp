// The follower on both JACK paths against a program that holds the device's port on the private
// server: ended and started again at once under the same name, and listed but taking no
// connection.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "kit/plugin/IMidiJack.h"
#include "kit/plugin/IMidiLister.h"
#include "midiports_open.h"
#include "support/kept_log.h"

namespace
{

// A plain JACK client with one receiving MIDI port that counts what arrives.
class Holder
{
public:
    explicit Holder(const std::string& name) : mName(name) {}
    ~Holder() { Stop(); }
    bool Start()
    {
        mClient = jack_client_open(mName.c_str(), JackOptions(JackNoStartServer | JackUseExactName), nullptr);
        mPort =
            mClient ? jack_port_register(mClient, "from-plug", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0) : nullptr;
        if (mPort) jack_set_process_callback(mClient, Process, this);
        mFailed = mPort && jack_activate(mClient) != 0;
        return mPort && !mFailed;
    }
    void Stop()
    {
        // One whose activation failed may still start its thread: kept, as the port layer keeps one.
        if (mClient && mFailed)
            IAbandonJackClient(mClient);
        else if (mClient)
            jack_client_close(mClient);
        mClient = nullptr;
    }
    // Out of the graph: its connections go, its port stays listed and takes none.
    bool Refuse() { return jack_deactivate(mClient) == 0; }
    // The port goes and comes back under the same client, as a bridge re-registers a device's.
    bool Reregister()
    {
        jack_port_t* port = mPort.exchange(nullptr);
        if (jack_port_unregister(mClient, port) != 0) return false;
        mPort = jack_port_register(mClient, "from-plug", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        return mPort != nullptr;
    }
    std::string Port() const { return mName + ":from-plug"; }
    unsigned Received() const { return mReceived; }

private:
    static int Process(jack_nframes_t frames, void* self)
    {
        auto* h = static_cast<Holder*>(self);
        if (jack_port_t* port = h->mPort) h->mReceived += jack_midi_get_event_count(jack_port_get_buffer(port, frames));
        return 0;
    }
    const std::string mName;
    jack_client_t* mClient = nullptr;
    bool mFailed = false; // its activation
    std::atomic<jack_port_t*> mPort{nullptr};
    std::atomic<unsigned> mReceived{0};
};

std::string HolderName()
{
    static int made = 0;
    return "qorholder" + std::to_string(getpid()) + "n" + std::to_string(made++);
}

// Sends until one message reaches the holder, for at most ms.
bool Reaches(PortPlug& plug, Holder& holder, int ms)
{
    const unsigned before = holder.Received();
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        IMidiMsg cc(0, 0xB0, 7, 64);
        plug.SendMidiMsg(&cc);
        if (holder.Received() > before) return true;
        Pause(20);
    }
    return false;
}

// The closes and reopens made on either JACK path, and those made holding the plug-in mutex: a
// server that lost a client stalls them for seconds, and every host call would wait.
std::atomic<PortPlug*> gWatched{nullptr};
std::atomic<unsigned> gCloses{0}, gOpens{0}, gCallsUnderMutex{0};
void WatchCalls(const char* call)
{
    PortPlug* plug = gWatched;
    if (!plug) return;
    const std::string name(call);
    if (name == "deactivate" || name == "unregister" || name == "library close")
        ++gCloses;
    else if (name == "register" || name == "connect" || name == "library open")
        ++gOpens;
    if (plug->Mutex().IsHeldByCaller()) ++gCallsUnderMutex;
}

unsigned Lines(testsupport::KeptLog& log, const char* text)
{
    unsigned n = 0;
    for (const auto& line : log.lines()) n += line.second.find(text) != std::string::npos;
    return n;
}

} // namespace

// The holder ends and starts again at once, or its port goes and comes back under the same
// client, three times: the follower hears of it on either path (the MIDI library says nothing)
// and connects again each time. Neither is a port that dropped our connection.
TEST(MidiFollowRestart, ADeviceRestartedAtOnceOrReregisteredIsConnectedAgainOnEitherJackPath)
{
    const struct Row {
        const char* api;
        bool reregister;
    } rows[] = {{"jack", false}, {"rtjack", false}, {"jack", true}, {"rtjack", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.api) + (row.reregister ? ", re-registered" : ", restarted"));
        setenv("QOR_MIDI_API", row.api, 1);
        testsupport::KeptLog log;
        Holder holder(HolderName());
        ASSERT_TRUE(holder.Start());
        PortPlug plug;
        plug.getExternalMIDIOutNames();
        int port = 1;
        ASSERT_GT(plug.setExternalMIDIOut(port, holder.Port().c_str()), 0);
        ASSERT_TRUE(Reaches(plug, holder, 5000));
        // Restarted before the follower first looked, the device could have refused for all it knows.
        for (int i = 0; i < 250 && !plug.FollowerSawOpen(false); ++i) Pause(20);
        gCloses = gOpens = gCallsUnderMutex = 0;
        gWatched = &plug;
        ISetJackServerCallHook(WatchCalls);
        for (int again = 1; again <= 3; ++again) {
            if (row.reregister) {
                ASSERT_TRUE(holder.Reregister());
            } else {
                holder.Stop();
                ASSERT_TRUE(holder.Start());
            }
            EXPECT_TRUE(Reaches(plug, holder, 5000)) << "time " << again;
        }
        EXPECT_EQ(Lines(log, "could not be opened"), 0u) << "a departure was logged as a refusal";
        EXPECT_EQ(Lines(log, "drops our connection"), 0u) << "a departure was logged as a refusal";
        ISetJackServerCallHook(nullptr);
        gWatched = nullptr;
        // A re-registered port may take our connection back by itself, unclosed.
        if (!row.reregister) {
            EXPECT_GE(gCloses, 3u) << "no close seen";
            EXPECT_GE(gOpens, 3u) << "no reopen seen";
        }
        EXPECT_EQ(gCallsUnderMutex, 0u) << "the follower called the server holding the plug-in mutex";
        plug.CloseExternalMIDIPorts();
    }
}

// What the follower asks the lister once our connection is lost, as the lister's notices tell it
// (our own client may hear of the loss later): a port that went with its link is no program's
// refusal until a link is made again; one that only dropped the link is still its program's.
TEST(MidiFollowRestart, ThePortThatWentWithItsLinkIsNoProgramsUntilLinkedAgain)
{
    Holder holder(HolderName());
    ASSERT_TRUE(holder.Start());
    jack_client_t* ours = jack_client_open(HolderName().c_str(), JackNoStartServer, nullptr);
    ASSERT_NE(ours, nullptr);
    jack_port_t* out = jack_port_register(ours, "to-holder", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    ASSERT_TRUE(out && jack_set_process_callback(
                           ours, [](jack_nframes_t, void*) { return 0; }, nullptr) == 0);
    ASSERT_EQ(jack_activate(ours), 0);
    static std::atomic<unsigned> told{0};
    auto lister = IMidiPortLister::Make(
        IMidiSystem::kJack, [](void*) { ++told; }, nullptr);
    std::vector<std::string> names;
    ASSERT_TRUE(lister->List(false, &names));
    const uint64_t program = lister->Owner(holder.Port());
    ASSERT_NE(program, 0u);
    const struct Step {
        const char* what;
        int act; // 0 link, 1 re-register, 2 undo the link
        bool owned;
    } steps[] = {{"linked", 0, true}, {"re-registered", 1, false}, {"linked again", 0, true}, {"dropped", 2, true}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const unsigned before = told;
        ASSERT_TRUE(step.act == 0   ? jack_connect(ours, jack_port_name(out), holder.Port().c_str()) == 0
                    : step.act == 1 ? holder.Reregister()
                                    : jack_disconnect(ours, jack_port_name(out), holder.Port().c_str()) == 0);
        // Each step ends in a notice of a link made or undone, or of the port registered again.
        for (int i = 0; i < 250 && (told == before || (step.act == 1 && lister->Departures(holder.Port()) < 2)); ++i)
            Pause(20);
        EXPECT_EQ(lister->Owner(holder.Port()), step.owned ? program : 0u);
    }
    jack_client_close(ours);
}

// The library opens a port that takes no connection and says nothing: the device stays absent,
// is never said to be back, and the real one that replaces the holder is taken up.
TEST(MidiFollowRestart, AHolderThatRefusesConnectionsOnTheLibrarysPathStaysAbsent)
{
    setenv("QOR_MIDI_API", "rtjack", 1);
    testsupport::KeptLog log;
    Holder holder(HolderName());
    ASSERT_TRUE(holder.Start());
    ASSERT_TRUE(holder.Refuse());
    PortPlug plug;
    plug.getExternalMIDIOutNames();
    int port = 1;
    plug.setExternalMIDIOut(port, holder.Port().c_str());
    // A connection has two seconds to show before the port counts as refused.
    for (int i = 0; i < 150 && plug.OpenIndex(false) > 0; ++i) Pause(20);
    EXPECT_EQ(plug.OpenIndex(false), 0) << "a port that takes no connection is open";
    for (int i = 0; i < 25; ++i) {
        Pause(100);
        ASSERT_EQ(plug.OpenIndex(false), 0) << "reopened after " << (i + 1) * 100 << " ms";
    }
    EXPECT_EQ(Lines(log, "is back"), 0u);
    EXPECT_EQ(Lines(log, "could not be opened"), 1u);
    EXPECT_EQ(Lines(log, "a fresh client"), 0u) << "the holder's refusal taken for our client's failed activation";

    holder.Stop();
    ASSERT_TRUE(holder.Start());
    EXPECT_TRUE(Reaches(plug, holder, 9000)) << "the real one was not taken up";
    EXPECT_EQ(Lines(log, "is back"), 1u);
    plug.CloseExternalMIDIPorts();
}

// Two editors side by side on the library's path: the input list of each offers the other's
// output as any program's, never its own.
TEST(MidiFollowRestart, TwoEditorsEachListTheOthersOutputNeverTheirOwn)
{
    setenv("QOR_MIDI_API", "rtjack", 1);
    Holder holder(HolderName());
    ASSERT_TRUE(holder.Start());
    PortPlug a, b;
    for (PortPlug* plug : {&a, &b}) {
        plug->getExternalMIDIOutNames();
        int port = 1;
        ASSERT_GT(plug->setExternalMIDIOut(port, holder.Port().c_str()), 0);
    }
    auto editorOutputs = [](PortPlug& plug) {
        int n = 0;
        for (const std::string& name : *plug.getExternalMIDIInNames())
            n += name.find(":RtMidi Output") != std::string::npos;
        return n;
    };
    EXPECT_EQ(editorOutputs(a), 1);
    EXPECT_EQ(editorOutputs(b), 1);
    EXPECT_NE(*a.getExternalMIDIInNames(), *b.getExternalMIDIInNames());
}
