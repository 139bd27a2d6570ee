// Several threads write SysEx to the one output port at once, as the editor and the protocol
// workers do: every message must arrive whole and in its sender's order.
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
        int stream = m[1]; // the sender
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

TEST(MidiPortsSendThreads, SysExFromFourThreadsArrivesWhole)
{
    std::vector<Bytes> expected;
    for (int t = 0; t < kSenders; ++t)
        for (int i = 0; i < kPerSender; ++i) expected.push_back(Tagged(t, i));

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
            for (std::thread& th : threads) th.join();
        },
        expected);
    for (const std::string& d : o.defects) ADD_FAILURE() << d;
    EXPECT_EQ(o.missing, 0u) << "messages lost in three runs";
}
