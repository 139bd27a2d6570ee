// The performance send (job 0) and the current-performance request (job 6) against the
// in-process synthesizer: what leaves and in which order, the pauses, what the synthesizer
// keeps, every value's way back, and how the request ends without an answer.
#include "Project_Source/src/ControlDisplay.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/PatchManager.h"
#include "insynth_bench.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace qorid;
using insynthtest::Bench;
using insynthtest::kPeriod;

namespace
{

const std::vector<int> kFollowUpIds = {kMultiSmallCase08, kMultiSmallCase13,     kVocoderInput,         kVocoderInsert,
                                       kVocoderWidth,     kVocoderBalance,       kVocoderSibilanceLevel, kVocoderSibilanceType};

bool inFollowUp(int id)
{
    return std::find(kFollowUpIds.begin(), kFollowUpIds.end(), id) != kFollowUpIds.end();
}

// Every parameter the performance dump and its follow-up carry.
std::vector<int> carried()
{
    std::vector<int> ids = {kMultiLargeCase24Param1, kMultiLargeCase24Param3, kMultiLargeCase24Param4,
                            kMultiLargeCase24Param5, kMultiLargeCase24Param6, kGlobalTempo,
                            kQuickTab};
    ids.insert(ids.end(), kFollowUpIds.begin(), kFollowUpIds.end());
    const int perPart[] = {
        kMultiPartStatus, kMultiPartPatch, kMultiPartBank, kMultiPartMIDICh, kMultiPartOutput, kMultiPartSustain,
        kMultiPartTranspose, kMultiPartDetune, kMultiPartVeloCurve, kMultiPartKeyLow, kMultiPartKeyHigh,
        kMultiPartPolyphony, kMultiPartProgramChange, kMultiPartControlChange, kMultiArpSwitch,
        kMultiPartExpressionPdl, kMultiPartEffectsUsed, kMultiPartLevel, kFXMultiDistortionOverdrive,
        kFXMultiDistortionOverdriveMW, kFXMultiEQBass, kFXMultiEQTreble, kFXMultiCombFilterFrequency,
        kFXMultiCombFilterBoost, kFXMultiPanDryLevel, kFXMultiPanPosition, kFXMultiPanSpeed, kFXMultiPanDepth,
        kFXMultiPanType, kFXMultiReverbSend, kFXMultiReverbMWheel, kFXMultiReverbDecay, kFXMultiReverbHFDamp,
        kFXMultiReverbEarlyRef, kFXMultiReverbRoom, kFXMultiChorusSend, kFXMultiChorusMWheel,
        kFXMultiChorusSpeed1, kFXMultiChorusModDepth, kFXMultiChorusFeedback, kFXMultiChorusType,
        kFXMultiPassToFXAudio, kFXMultiPanWithFX, kFXMultiPassToFXConfig, kFXMultiDelaySend, kFXMultiDelayMWheel,
        kFXMultiDelayTime, kFXMultiDelayFeedback, kFXMultiDelayHFDamp, kFXMultiDelayRatio,
        kFXMultiDelayStereoWidth, kFXMultiDelaySync, kFXMultiRoutingConfig, kFXMultiCMorph};
    for (int base : perPart)
        for (int k = 0; k < 8; ++k) ids.push_back(base + k);
    return ids;
}

// A seeded value in each parameter's range. The width's byte is width + 111: above 16 it has
// no byte, whatever the control offers.
std::map<int, double> randomValues(Bench& b, unsigned seed)
{
    std::mt19937 random(seed);
    std::map<int, double> values;
    for (int id : carried()) {
        const IParam* p = b.plug->GetParam(id);
        const int hi = id == kVocoderWidth ? 16 : int(p->GetMax());
        values[id] = std::uniform_int_distribution<int>(int(p->GetMin()), hi)(random);
    }
    return values;
}

// A synthesizer at the editor's start-up device id.
synthsim::Options atEditorsId()
{
    synthsim::Options o;
    o.deviceId = 15;
    return o;
}

Bench& prepared(Bench& b, int model)
{
    b.plug->currentModel = model;
    b.plug->sendGlobalsFirst = false;
    b.plug->sendingAllParts = false;
    return b;
}

SenderJobRecord request(bool toEditor, int part = 0)
{
    SenderJobRecord r;
    r.job = kJobRequestActiveArrangement;
    r.toEditor = toEditor;
    r.part = part;
    return r;
}

std::vector<int> sizes(const std::vector<testsupport::Bytes>& messages)
{
    std::vector<int> out;
    for (const auto& m : messages) out.push_back(int(m.size()));
    return out;
}

std::string performanceName(Bench& b)
{
    std::lock_guard<std::mutex> lock(b.plug->patchManager->namesLock);
    return b.plug->patchManager->patch.names[0];
}

} // namespace

TEST(PerformanceRoundTrip, EveryValueTheSendCarriesComesBackWithTheRequest)
{
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        synthsim::Options o;
        o.deviceId = 15, o.model = uint8_t(0x20 + model), o.editReply = synthsim::EditReply::Performance;
        Bench b(o);
        prepared(b, model);
        std::map<int, double> values = randomValues(b, 44u + unsigned(model));
        for (int k = 4; k < 8; ++k) values[kMultiPartBank + k] = k; // banks E to H
        for (const auto& [id, v] : values) b.plug->GetParam(id)->Set(v);
        b.plug->GetParam(kMultiName)->SetDisplayText(0, "Round Trip");
        b.run(kJobSendArrangement);

        const auto handed = b.plug->copy(b.plug->handed);
        ASSERT_EQ(sizes(handed), (std::vector<int>{381, 25}));
        EXPECT_EQ(handed[0][7], 0x05);
        EXPECT_EQ(handed[1][7], 0x1B);
        EXPECT_EQ(handed[0][5], 0x20 + model);
        EXPECT_EQ(b.pauses, (std::vector<int>{200, 200, 500}));
        const synthsim::SynthMemory mem = b.plug->session.synth().memory();
        EXPECT_TRUE(std::equal(mem.performanceEdit.begin(), mem.performanceEdit.end(), handed[0].begin() + 8));
        EXPECT_TRUE(std::equal(mem.followUpEdit.begin(), mem.followUpEdit.end(), handed[1].begin() + 8));
        // Where the synthesizer itself finds a part's program, bank and channel.
        for (int k = 0; k < 8; ++k) {
            const uint8_t* block = mem.partBlock(k);
            EXPECT_EQ(block[synthsim::kPartBlockProgram], values.at(kMultiPartPatch + k)) << k;
            EXPECT_EQ(block[synthsim::kPartBlockBank], values.at(kMultiPartBank + k) + 5) << k;
            EXPECT_EQ(block[synthsim::kPartBlockChannel], values.at(kMultiPartMIDICh + k)) << k;
        }
        EXPECT_EQ(performanceName(b), "Round Trip");
        EXPECT_FALSE(b.plug->incomingMidiBlocked);
        EXPECT_FALSE(b.plug->deviceTransferActive);
        EXPECT_FALSE(b.plug->midiManager->sendInProgress);

        // Other values in the editor; the request brings the synthesizer's back, the first
        // model's without the follow-up.
        std::map<int, double> expected = values;
        for (const auto& [id, v] : values) {
            IParam* p = b.plug->GetParam(id);
            p->Set(v == p->GetMin() ? p->GetMax() : p->GetMin());
            if (model == 0 && inFollowUp(id)) expected[id] = p->Value();
        }
        b.plug->GetParam(kMultiName)->SetDisplayText(0, "Other");
        b.plug->selectedPart = values.at(kQuickTab) == 0 ? 1 : 0;
        b.pauses.clear();
        b.run(request(true, 2));
        for (const auto& [id, v] : expected) EXPECT_EQ(b.value(id), v) << id;
        EXPECT_EQ(b.plug->GetParam(kMultiName)->CopyDisplayText(0), "Round Trip      ");
        EXPECT_EQ(b.plug->selectedPart, values.at(kQuickTab));
        EXPECT_EQ(b.status(), "Data request completed!");
        EXPECT_EQ(b.pauses, (std::vector<int>{kPeriod, kPeriod / 2}));
        EXPECT_FALSE(b.plug->midiManager->performanceRequestActive);
        EXPECT_EQ(b.plug->pendingRequestPart, -1);
        EXPECT_EQ(b.plug->patternRequestPart, 2);
        EXPECT_EQ(b.plug->copy(b.plug->handed).back(), (testsupport::Bytes{0x00, 0x20, 0x29, 0x01, uint8_t(0x20 + model), 0x0F, 0x08}));
    }
}

TEST(PerformanceSend, GlobalsFirstAndAnEmptyNameAndTheLibrarysChannels)
{
    Bench b(atEditorsId());
    prepared(b, 0);
    b.plug->sendGlobalsFirst = true;
    b.plug->GetParam(kMultiName)->SetDisplayText(0, "");
    b.plug->libraryPerformanceTransfer = true;
    for (int k = 0; k < 8; ++k) b.plug->GetParam(kMultiPartMIDICh + k)->Set(k), b.plug->savedPartChannels[size_t(k)] = 7 - k;
    b.run(kJobSendArrangement);
    const auto handed = b.plug->copy(b.plug->handed);
    ASSERT_EQ(sizes(handed), (std::vector<int>{281, 297, 381, 25}));
    EXPECT_EQ(b.pauses, (std::vector<int>{kPeriod, kPeriod, 200, 200, 500}));
    EXPECT_EQ(std::string(handed[2].begin() + 8, handed[2].begin() + 24), std::string(16, ' '));
    EXPECT_EQ(performanceName(b), "Set Name");
    // The dump keeps the channels it was built with; the parts take the library's own.
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(handed[2][size_t(28 + 44 * k + 2)], k);
        EXPECT_EQ(b.value(kMultiPartMIDICh + k), 7 - k);
    }
}

TEST(PerformanceSend, IntoTheLibraryNothingLeavesForTheSynthesizer)
{
    Bench b(synthsim::Options{});
    prepared(b, 0);
    b.plug->performanceMode = true;
    PatchLibrarian& lib = *b.plug->patchLibrarian;
    lib.currentKind = 1;
    lib.upperSlot = 4;
    lib.multiFiles.push_back(lib.adoptBank(new PatchFile));
    SenderJobRecord r;
    r.job = kJobSendArrangement;
    r.storeIntoLibrary = true;
    b.run(r);
    EXPECT_TRUE(b.plug->copy(b.plug->handed).empty());
    EXPECT_EQ(b.pauses, (std::vector<int>{200, 200}));
    // At the first model the dump alone completes the entry; it lands in the upper slot.
    EXPECT_FALSE(b.plug->midiManager->libraryPerformanceRequest.active);
    ASSERT_EQ(lib.multiFiles[0]->patches.size(), 128u);
    ASSERT_EQ(lib.multiFiles[0]->patches[4].messages.size(), 1u);
    EXPECT_EQ(lib.multiFiles[0]->patches[4].messages[0].bytes.size(), 383u);
    EXPECT_FALSE(b.plug->midiManager->sendInProgress);
}

TEST(PerformanceRequest, WithoutTheAnswerItNeedsTheRequestEndsAndClearsItsFlag)
{
    const auto checking = [] {
        std::vector<std::string> v;
        for (int id = 1; id <= 16; ++id) v.push_back("Please wait, checking DeviceID " + std::to_string(id));
        v.push_back("CONNECTION TIMED OUT!");
        return v;
    }();
    synthsim::Options silent;
    silent.silent = true;
    // The second model waits for the follow-up, which a first-model synthesizer never sends.
    synthsim::Options firstModel;
    firstModel.deviceId = 15, firstModel.editReply = synthsim::EditReply::Performance;
    for (const auto& [name, options] : {std::pair<const char*, synthsim::Options>{"silent", silent}, {"no follow-up", firstModel}}) {
        SCOPED_TRACE(name);
        Bench b(options);
        prepared(b, 1);
        int sweepStart = 0;
        b.onPause = [&](int count, int) {
            if (!sweepStart && b.status() == "Please wait, checking DeviceID 1") sweepStart = count;
        };
        b.run(request(true));
        // 50 periods, the sweep's 16 in the 30th, then half a period.
        std::vector<int> want(66, kPeriod);
        want.push_back(kPeriod / 2);
        EXPECT_EQ(b.pauses, want);
        EXPECT_EQ(sweepStart, 31);
        ASSERT_GE(b.statuses.size(), checking.size());
        EXPECT_EQ(std::vector<std::string>(b.statuses.end() - long(checking.size()), b.statuses.end()), checking);
        EXPECT_EQ(sizes(b.plug->copy(b.plug->handed)), std::vector<int>(17, 7));
        EXPECT_TRUE(b.plug->midiManager->sender->finished);
        EXPECT_FALSE(b.plug->midiManager->performanceRequestActive);
    }
}

TEST(PerformanceRequest, ACancelAndTheLibrarysWaitEndItToo)
{
    synthsim::Options silent;
    silent.silent = true;
    {
        Bench b(silent);
        prepared(b, 0);
        b.onPause = [&](int count, int) {
            if (count == 3) b.plug->midiManager->sender->cancelRequested = true;
        };
        b.run(request(true));
        EXPECT_EQ(b.status(), "Data request CANCELLED!");
        EXPECT_EQ(b.pauses, (std::vector<int>{kPeriod, kPeriod, kPeriod, kPeriod / 2}));
        EXPECT_FALSE(b.plug->midiManager->performanceRequestActive);
    }
    {
        Bench b(silent);
        prepared(b, 0);
        b.plug->performanceMode = true;
        // A performance bank for the answer that never comes.
        PatchLibrarian& lib = *b.plug->patchLibrarian;
        lib.currentKind = kPatchFilePerformances;
        lib.multiFiles.push_back(lib.adoptBank(new PatchFile));
        b.run(request(false));
        std::vector<int> want(200, 25);
        want.push_back(kPeriod / 2);
        EXPECT_EQ(b.pauses, want);
        EXPECT_EQ(b.status(), "CONNECTION TIMED OUT!");
        EXPECT_EQ(b.statuses.at(1), "Processing, please wait...");
        EXPECT_TRUE(b.plug->midiManager->libraryPerformanceRequest.active);
        EXPECT_FALSE(b.plug->midiManager->performanceRequestActive);
    }
}

TEST(PerformanceSend, ThePushSendsGlobalsEightProgramsAndThePerformanceWithIncomingBlocked)
{
    Bench b(atEditorsId());
    prepared(b, 0);
    b.plug->startupComplete = true;
    std::vector<bool> blocked;
    b.onPause = [&](int, int ms) {
        if (ms == 150) blocked.push_back(b.plug->incomingMidiBlocked);
    };
    b.plug->GetParam(kPushArrangement)->Set(1);
    testing::internal::CaptureStdout();
    b.plug->OnParamChange(kPushArrangement);
    while (b.plug->midiManager->sender->records[kJobThread].job != kJobSendArrangement ||
           !b.plug->midiManager->threadIdle(kJobThread))
        usleep(1000);
    testing::internal::GetCapturedStdout();

    const auto handed = b.plug->copy(b.plug->handed);
    std::vector<int> want = {281, 297, 296, 296, 296, 296, 296, 296, 296, 296, 381, 25};
    ASSERT_EQ(sizes(handed), want);
    for (int part = 0; part < 8; ++part) EXPECT_EQ(handed[size_t(2 + part)][8], part);
    std::vector<int> pauses = {kPeriod, kPeriod};
    for (int part = 0; part < 8; ++part) pauses.insert(pauses.end(), {150, 200});
    pauses.insert(pauses.end(), {200, 200, 500});
    EXPECT_EQ(b.pauses, pauses);
    EXPECT_EQ(blocked, std::vector<bool>(8, true));
    EXPECT_FALSE(b.plug->incomingMidiBlocked);
    EXPECT_FALSE(b.plug->deviceTransferActive);
    EXPECT_FALSE(b.plug->sendingAllParts);
    EXPECT_FALSE(b.plug->midiManager->sendInProgress);
}

TEST(PerformanceRequest, AfterItARequestForTheEighthPartCompletes)
{
    synthsim::Options o;
    o.deviceId = 15, o.editReply = synthsim::EditReply::Performance;
    Bench b(o);
    prepared(b, 0);
    b.run(request(true));
    ASSERT_EQ(b.status(), "Data request completed!");
    // At power-on every part takes program and control changes.
    for (int k = 0; k < 8; ++k)
        for (int id : {kMultiPartProgramChange + k, kMultiPartControlChange + k}) {
            bool bracketed = false;
            EXPECT_EQ(ControlDisplay::valueText(b.plug.get(), id, b.value(id), &bracketed), "ENABLED") << id;
        }

    // The synthesizer's eighth part selected on its global channel, and its program asked for.
    o.editReply = synthsim::EditReply::Program;
    b.plug->session.synth().setOptions(o);
    b.plug->session.onMessage({0xBF, 0x62, 0x71});
    b.plug->session.onMessage({0xBF, 0x06, 76 + 7});
    SenderJobRecord part;
    part.job = kJobRequestPart;
    part.part = 7;
    part.toEditor = true;
    b.run(part);
    EXPECT_EQ(b.plug->copy(b.plug->received).back()[8], 7);
    EXPECT_EQ(b.status(), "Data request completed!");
}
