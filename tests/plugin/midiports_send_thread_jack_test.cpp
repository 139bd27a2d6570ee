// Several threads write to the one output port at once, as the editor, the audio thread and the
// protocol workers do: every message must arrive whole.
//
// Messages that meet while being written come out mixed, cut or doubled. A JACK server that is
// starved of processor time (no real-time scheduling here, many tests at once) drops whole
// cycles instead, and with them whole messages. So a run is judged on what arrived: anything
// mixed, cut, doubled or unknown fails at once; a run that only lost messages is tried again
// with fresh clients, up to three times.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "midiports_synth_side.h"
#include "midiports_test_plug.h"

namespace {

using Bytes = std::vector<unsigned char>;

const int kSenders = 4;
const int kPerSender = 40;
const int kBurst = 10;

// F0, sender, sequence number, a pattern of a size that differs per message, F7.
Bytes Tagged(int sender, int seq)
{
    Bytes m = PatternSysEx(size_t(60 + (sender * 97 + seq * 13) % 300), unsigned(sender * 1000 + seq));
    m[1] = (unsigned char)sender;
    m[2] = (unsigned char)seq;
    return m;
}

// Which sending thread's order a message belongs to: a tagged SysEx its sender, an edit 100;
// identical messages (clock) have no order to keep.
int StreamOf(const Bytes& m)
{
    if (m.size() > 3 && m[0] == 0xF0) return m[1];
    if (m.size() == 3 && m[0] == 0xB1) return 100;
    return -1;
}

struct Outcome {
    std::vector<std::string> defects; // mixed, cut, doubled or unknown messages; refused sends
    size_t missing = 0;
};

// One run: a fresh synthesizer side and plug-in with its output open, `send` driving the plug-in
// from several threads, then every arrival checked against `expected` (each message once).
Outcome Run(const std::function<void(PortPlug&, std::atomic<int>&)>& send, const std::vector<Bytes>& expected)
{
    Outcome out;
    SynthSide synth;
    PortPlug plug;
    plug.getExternalMIDIOutNames();
    int port = 1;
    if (!synth.Ok() || plug.setExternalMIDIOut(port, synth.ReceivingPort().c_str()) < 1 || !PrimeOutput(plug, synth)) {
        out.defects.push_back("the output port did not open");
        return out;
    }
    std::atomic<int> refused{0};
    send(plug, refused);
    if (refused) out.defects.push_back(std::to_string(refused.load()) + " sends refused");

    synth.WaitForCount(expected.size(), 3000);
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // anything doubled comes too
    std::map<Bytes, int> owed, position;
    for (size_t i = 0; i < expected.size(); ++i) {
        ++owed[expected[i]];
        position[expected[i]] = int(i);
    }
    std::map<int, int> lastOfStream; // messages from one thread keep their order
    for (const Bytes& m : synth.Received()) {
        auto it = owed.find(m);
        if (it == owed.end() || it->second == 0) {
            out.defects.push_back("unexpected message of " + std::to_string(m.size()) + " bytes");
            continue;
        }
        --it->second;
        int stream = StreamOf(m);
        if (stream < 0) continue;
        auto last = lastOfStream.find(stream);
        if (last != lastOfStream.end() && position[m] < last->second)
            out.defects.push_back("message out of order in stream " + std::to_string(stream));
        lastOfStream[stream] = position[m];
    }
    for (const auto& entry : owed) out.missing += size_t(entry.second);
    return out;
}

Outcome RunUntilNothingIsLost(const std::function<void(PortPlug&, std::atomic<int>&)>& send,
                              const std::vector<Bytes>& expected)
{
    Outcome o;
    for (int attempt = 0; attempt < 3; ++attempt) {
        o = Run(send, expected);
        if (!o.defects.empty() || o.missing == 0) break;
    }
    return o;
}

} // namespace

TEST(MidiPortsSendThreads, SysExFromFourThreadsWithClockAndEditsBetweenArrivesWhole)
{
    const int kClocks = 96, kEdits = 60;
    std::vector<Bytes> expected;
    for (int t = 0; t < kSenders; ++t)
        for (int i = 0; i < kPerSender; ++i) expected.push_back(Tagged(t, i));
    for (int i = 0; i < kClocks; ++i) expected.push_back({0xF8});
    for (int i = 0; i < kEdits; ++i) expected.push_back({0xB1, 74, (unsigned char)i});

    Outcome o = RunUntilNothingIsLost(
        [&](PortPlug& plug, std::atomic<int>& refused) {
            std::atomic<int> ready{0};
            std::vector<std::thread> threads;
            for (int t = 0; t < kSenders; ++t) {
                threads.emplace_back([&, t] {
                    ++ready;
                    while (ready < kSenders) std::this_thread::yield(); // start together
                    for (int i = 0; i < kPerSender; ++i) {
                        Bytes m = Tagged(t, i);
                        // Half go out already framed, half bare and framed by the sender.
                        bool ok = i % 2 ? plug.SendMidiSysex(m.data(), int(m.size()))
                                        : plug.SendMidiSysex(m.data() + 1, int(m.size()) - 2);
                        if (!ok) ++refused;
                        // Back to back within a burst, so the writes really meet; a pause between
                        // bursts lets the library's transfer buffer drain.
                        if (i % kBurst == kBurst - 1) std::this_thread::sleep_for(std::chrono::milliseconds(15));
                    }
                });
            }
            threads.emplace_back([&] {
                for (int i = 0; i < kClocks; ++i) {
                    if (!plug.SendMidiSysex2({0xF8})) ++refused;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
            threads.emplace_back([&] {
                for (int i = 0; i < kEdits; ++i) {
                    IMidiMsg cc(0, 0xB1, 74, (unsigned char)i);
                    if (!plug.SendMidiMsg(&cc)) ++refused;
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
            for (std::thread& th : threads) th.join();
        },
        expected);
    for (const std::string& d : o.defects) ADD_FAILURE() << d;
    EXPECT_EQ(o.missing, 0u) << "messages lost in three runs";
}
