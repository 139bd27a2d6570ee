// The device-id enquiry and the global settings send against the in-process synthesizer: what
// went out, what the status line said at every pause, and what the editor took in. The pauses
// do not sleep: each lets the simulator's answers arrive, so the passes are counted exactly.
#include "insynth_bench.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace qorid;

namespace
{

using insynthtest::Bench;
using insynthtest::kPeriod;

std::vector<int> sweepUpTo(int last)
{
    std::vector<int> v{15};
    for (int id = 0; id <= last; ++id) v.push_back(id);
    return v;
}
std::vector<std::string> checking(int upTo)
{
    std::vector<std::string> v;
    for (int id = 1; id <= upTo; ++id) v.push_back("Please wait, checking DeviceID " + std::to_string(id));
    return v;
}
template <class T> std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(DeviceIdEnquiry, TheSynthesizerAnswersAndTheEditorTakesItsDeviceId)
{
    const std::vector<std::string> ready{"Plug-in is ready to go!"};
    const std::vector<std::string> noResponse{"No response from Hardware)"};
    synthsim::Options tryTwice;
    tryTwice.deviceId = 15, tryTwice.answerOnTry = 2;
    const struct {
        const char* name;
        synthsim::Options options;
        std::vector<int> sent;
        std::vector<std::string> statuses;
        int deviceId;
        bool stillExpecting;
    } cases[] = {
        {"device 3",
         [] {
             synthsim::Options o;
             o.deviceId = 3;
             return o;
         }(),
         sweepUpTo(3), std::vector<std::string>{"Connecting to Hardware"} + checking(4) + ready, 3, false},
        {"device 15",
         [] {
             synthsim::Options o;
             o.deviceId = 15;
             return o;
         }(),
         {15},
         {"Connecting to Hardware", "Plug-in is ready to go!"},
         15,
         false},
        {"late, on the second try",
         [] {
             synthsim::Options o;
             o.deviceId = 15, o.answerOnTry = 2, o.replyDelayMs = 300;
             return o;
         }(),
         sweepUpTo(15), std::vector<std::string>{"Connecting to Hardware"} + checking(16) + ready, 15, false},
        {"foreign SysEx first",
         [] {
             synthsim::Options o;
             o.deviceId = 15, o.foreignSysEx = true;
             return o;
         }(),
         {15},
         {"Connecting to Hardware", "Plug-in is ready to go!"},
         15,
         false},
        {"silent",
         [] {
             synthsim::Options o;
             o.deviceId = 3, o.silent = true;
             return o;
         }(),
         sweepUpTo(15), std::vector<std::string>{"Connecting to Hardware"} + checking(16) + noResponse, 15, true},
        {"truncated",
         [] {
             synthsim::Options o;
             o.deviceId = 3, o.truncateBy = 1;
             return o;
         }(),
         sweepUpTo(15), std::vector<std::string>{"Connecting to Hardware"} + checking(16) + noResponse, 15, true},
        {"overlong",
         [] {
             synthsim::Options o;
             o.deviceId = 3, o.overlongBy = 1;
             return o;
         }(),
         sweepUpTo(15), std::vector<std::string>{"Connecting to Hardware"} + checking(16) + noResponse, 15, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bench b(c.options);
        b.enquire();
        EXPECT_EQ(b.enquiries(), c.sent);
        EXPECT_EQ(b.statuses, c.statuses);
        EXPECT_EQ(b.plug->deviceId, c.deviceId);
        EXPECT_EQ(b.value(kGlobalMidiChannel), c.deviceId);
        EXPECT_EQ(bool(b.plug->expectGlobalDump), c.stillExpecting);
        EXPECT_EQ(bool(b.plug->replyArrived), !c.stillExpecting);
        EXPECT_EQ(b.plug->pendingRequestPart, -1);
        EXPECT_EQ(bool(b.plug->midiManager->sender->finished), c.stillExpecting);
        // The passes: one period each up to the sweep's, 500 ms per swept id, one period
        // after a reply; with no reply the wait gives up in the 25th pass.
        const int swept = int(c.sent.size()) - 1;
        const int passes = c.stillExpecting ? 25 : swept ? 15 : 1;
        std::vector<int> want(size_t(c.stillExpecting ? 15 : passes), kPeriod);
        want.insert(want.end(), size_t(swept), 500);
        want.insert(want.end(), size_t(c.stillExpecting ? 10 : 1), kPeriod);
        EXPECT_EQ(b.pauses, want);
    }
}

TEST(DeviceIdEnquiry, ACancelDuringTheSweepEndsItAfterTheCurrentStep)
{
    synthsim::Options o;
    o.silent = true;
    Bench b(o);
    b.onPause = [&](int, int ms) {
        if (ms == 500 && b.enquiries().size() == 3) b.plug->midiManager->sender->cancelRequested = true;
    };
    b.enquire();
    EXPECT_EQ(b.enquiries(), sweepUpTo(1));
    EXPECT_EQ(b.status(), "Data request CANCELLED!");
    EXPECT_TRUE(b.plug->expectGlobalDump);
}

TEST(DeviceIdEnquiry, WithoutAPortTheJobSaysSoAndWaitsOutItsTimeOut)
{
    Bench b(synthsim::Options{});
    b.plug->midiIOSet = false;
    b.enquire();
    EXPECT_EQ(b.statuses.front(), "Set MIDI I/O First!");
    EXPECT_EQ(b.status(), "No response from Hardware)");
    EXPECT_TRUE(b.enquiries().empty());
    EXPECT_EQ(b.pauses.size(), 25u + 16u);
}

TEST(DeviceIdEnquiry, SettingsTwoFirstEndsTheExchangeAndSettingsOneIsLoggedNotParsed)
{
    synthsim::Options o;
    o.deviceId = 15, o.globalsReversed = true;
    Bench b(o);
    b.plug->logEnabled = true;
    b.plug->logFilePath = b.dir.file("QOR Editor LOG.txt");
    b.plug->GetParam(kGlobalMasterTune)->Set(3);
    b.plug->GetParam(kGlobalMIDIClock)->Set(1);
    b.enquire();
    EXPECT_EQ(b.status(), "Plug-in is ready to go!");
    EXPECT_EQ(b.plug->deviceId, 15);
    EXPECT_EQ(b.value(kGlobalMasterTune), 3);
    EXPECT_EQ(b.value(kGlobalMIDIClock), 1);
    EXPECT_NE(b.logText().find("SYSEX ROUTER: global settings 1 not parsed, no enquiry pending"), std::string::npos);
}

TEST(GlobalSettingsSend, TheSynthesizerKeepsWhatWasSentAndTheEnquiryBringsItBack)
{
    const std::map<int, double> sent = {
        {kGlobalMidiChannel, 3},
        {kGlobalMasterTune, 70},
        {kGlobalPedalSensitivity, 2},
        {kGlobalMIDIClock, 1},
        {kGlobalMasterVolume, 99},
        {kGlobalBreathMode, 3},
        {kGlobalBreathSensing, 8},
        {kGlobalLocalControl, 0},
        {kGlobalPedalSw3, 2},
        {kGlobalVelocitySensitivity, 0},
        {kGlobalRXPC, 0},
        {kGlobalRXCC, 1},
        {kGlobalKnobMode, 1},
        {kGlobalTXPC, 1},
        {kGlobalTXCC, 0},
        {kGlobalTXAT, 1},
        {kGlobalInputSw1, 5},
        {kGlobalInputSw2, 6},
        {kGlobalAudioIn1Trim, 7},
        {kGlobalAudioIn2Trim, 12},
    };
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        synthsim::Options o;
        o.deviceId = 3;
        Bench b(o);
        b.plug->currentModel = model;
        b.plug->deviceId = 3;
        for (const auto& [id, v] : sent) b.plug->GetParam(id)->Set(v);
        b.run(kJobSendGlobal);
        const auto handed = b.plug->copy(b.plug->handed);
        ASSERT_EQ(handed.size(), 2u);
        EXPECT_EQ(handed[0].size(), 281u);
        EXPECT_EQ(handed[1].size(), 297u);
        EXPECT_EQ(handed[0][5], 0x20 + model);
        EXPECT_EQ(handed[1][5], 0x20 + model);
        EXPECT_EQ(b.pauses, (std::vector<int>{kPeriod, kPeriod}));
        const synthsim::SynthMemory mem = b.plug->session.synth().memory();
        EXPECT_TRUE(std::equal(mem.global1.begin(), mem.global1.end(), handed[0].begin() + 8));
        EXPECT_TRUE(std::equal(mem.global2.begin(), mem.global2.end(), handed[1].begin() + 8));

        // Other values in the editor; the enquiry brings the synthesizer's back.
        for (const auto& [id, v] : sent)
            if (id != kGlobalMidiChannel) b.plug->GetParam(id)->Set(b.plug->GetParam(id)->GetMin());
        b.plug->deviceId = 15;
        b.plug->GetParam(kGlobalMidiChannel)->Set(15);
        b.enquire();
        for (const auto& [id, v] : sent) EXPECT_EQ(b.value(id), v) << id;
        EXPECT_FALSE(b.plug->localControlOn);
    }
}
