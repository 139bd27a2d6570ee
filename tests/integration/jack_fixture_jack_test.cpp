// The private JACK server carries MIDI between two RtMidi clients: the ground every MIDI test
// stands on.
#include <RtMidi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Received {
    std::mutex lock;
    std::vector<std::vector<unsigned char>> messages;
};

void onMessage(double, std::vector<unsigned char>* msg, void* user)
{
    auto* r = static_cast<Received*>(user);
    std::lock_guard<std::mutex> g(r->lock);
    r->messages.push_back(*msg);
}

int findPort(RtMidi& m, const std::string& part)
{
    for (unsigned i = 0; i < m.getPortCount(); ++i)
        if (m.getPortName(i).find(part) != std::string::npos) return int(i);
    return -1;
}

} // namespace

TEST(JackFixture, ControlChangeAndLongSysExCrossBetweenTwoClients)
{
    Received got;
    RtMidiIn in(RtMidi::UNIX_JACK, "qorfixture-in");
    in.ignoreTypes(false, true, true);
    in.setCallback(onMessage, &got);
    in.openVirtualPort("sink");

    RtMidiOut out(RtMidi::UNIX_JACK, "qorfixture-out");
    int port = findPort(out, "qorfixture-in:sink");
    ASSERT_GE(port, 0) << "the receiving port is listed by the JACK server";
    out.openPort(unsigned(port));

    std::vector<unsigned char> cc = {0xB3, 74, 100};
    std::vector<unsigned char> sysex(300);
    sysex.front() = 0xF0;
    sysex.back() = 0xF7;
    for (size_t i = 1; i + 1 < sysex.size(); ++i) sysex[i] = (unsigned char)(i * 7 & 0x7F);

    out.sendMessage(&cc);
    out.sendMessage(&sysex);

    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        {
            std::lock_guard<std::mutex> g(got.lock);
            if (got.messages.size() >= 2) break;
        }
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "messages did not arrive";
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard<std::mutex> g(got.lock);
    ASSERT_EQ(got.messages.size(), 2u);
    EXPECT_EQ(got.messages[0], cc);
    EXPECT_EQ(got.messages[1], sysex);
}
