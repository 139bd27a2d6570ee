// The plug-in base: two-phase set-up, identity, channels and labels, edits from the editor
// under the plug-in mutex, the editor surface, parameter ranges in state chunks, destruction.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>

#include "test_plug.h"

namespace {

// The set-up the plug-in class performs: 5124 parameters, none published to the host.
void InitLikeQor(RecordingPlug& p, const char* io = "2-2", int presets = 0)
{
    p.initialize(0, kQorParams, io, presets, "QOR Editor", "", "Tessmoor Audio", kQorVersion,
                 kQorUniqueID, kQorMfrID, 128, false, true, true);
    p.addNonAutomateParamCount(kQorParams);
}

// A plug-in whose first parameters are published, for the paths that loop over them.
void InitWithAutomatable(RecordingPlug& p, int nAutomatable, int nTotal)
{
    p.initialize(nAutomatable, nTotal, "2-2", 0, "t", "t", "t", kQorVersion, kQorUniqueID, kQorMfrID, 0,
                 false, true, true);
}

} // namespace

TEST(PluginBaseSetup, QorSetupGives5124PlainParametersNoPresetsAndStereoInOut)
{
    RecordingPlug p;
    InitLikeQor(p);
    ASSERT_EQ(p.NParams(), kQorParams);
    for (int i = 0; i < kQorParams; ++i) {
        const IParam* param = p.GetParam(i);
        ASSERT_NE(param, nullptr);
        EXPECT_EQ(param->Type(), IParam::kTypeNone);
        EXPECT_EQ(param->Value(), 0.0);
        EXPECT_EQ(param->GetMax(), 1.0);
    }
    EXPECT_EQ(p.GetParam(kQorParams), nullptr);
    EXPECT_EQ(p.GetParam(-1), nullptr);
    EXPECT_EQ(p.NPresets(), 0);
    EXPECT_EQ(p.NAutomatedParams(), 0);
    EXPECT_EQ(p.NNonAutomatedParams(), kQorParams);
    EXPECT_EQ(p.NInChannels(), 2);
    EXPECT_EQ(p.NOutChannels(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(p.IsInChannelConnected(i));
        EXPECT_FALSE(p.IsOutChannelConnected(i));
    }
    EXPECT_FALSE(p.IsInChannelConnected(2));
}

TEST(PluginBaseSetup, OverlongNamesAreCutToTheirFields)
{
    RecordingPlug p;
    std::string longName(400, 'q');
    p.initialize(0, 1, "2-2", 0, longName.c_str(), longName.c_str(), longName.c_str(), 0, 0, 0, 0, false,
                 false, false);
    EXPECT_EQ(std::strlen(p.GetEffectName()), 127u);
    EXPECT_EQ(std::strlen(p.GetMfrName()), 127u);
}

TEST(PluginBaseIdentity, ApiNamesAndAnUnknownApi)
{
    const struct { int api; const char* name; } table[] = {
        {kAPIAU, "AU"}, {kAPIVST2, "VST2"}, {kAPISA, "Standalone"}, {7, ""}, {-1, ""}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.api);
        EXPECT_STREQ(RecordingPlug(EAPI(row.api)).GetAPIString(), row.name);
    }
}

TEST(PluginBaseIdentity, HostIsLookedUpByNameWithItsVersion)
{
    RecordingPlug p;
    p.SetHost("Reaper", 0x00050102);
    EXPECT_EQ(p.GetHost(), kHostReaper);
    EXPECT_EQ(p.GetHostVersion(false), 0x00050102);
    EXPECT_EQ(p.GetHostVersion(true), 50102);
    char s[32];
    p.GetHostVersionStr(s);
    EXPECT_STREQ(s, "v5.1.2");
    p.SetHost("Some Unheard Of Host", 0);
    EXPECT_EQ(p.GetHost(), kHostUnknown);
}

TEST(PluginBaseChannels, ConfigurationsGiveTheLargestChannelCountsAndUnreadableTokensCountAsZero)
{
    const struct { const char* io; int configs, in, out; } table[] = {
        {"2-2", 1, 2, 2}, {"1-1 2-2", 2, 2, 2}, {"0-4 3 x-y", 3, 3, 4}, {nullptr, 0, 0, 0}};
    for (const auto& row : table) {
        SCOPED_TRACE(row.io ? row.io : "(none)");
        RecordingPlug p;
        InitLikeQor(p, row.io);
        EXPECT_EQ(p.NChannelIO(), row.configs);
        EXPECT_EQ(p.NInChannels(), row.in);
        EXPECT_EQ(p.NOutChannels(), row.out);
    }
    RecordingPlug p;
    InitLikeQor(p, "0-4 3 x-y");
    int nIn, nOut;
    p.GetChannelIO(1, &nIn, &nOut);
    EXPECT_EQ(nIn, 3);
    EXPECT_EQ(nOut, 0);
    p.GetChannelIO(2, &nIn, &nOut);
    EXPECT_EQ(nIn, 0);
    EXPECT_EQ(nOut, 0);
}

TEST(PluginBaseChannels, LegalLayoutsMatchAConfigurationWithMinusOneForAnyCount)
{
    const struct { const char* io; int in, out; bool legal; } table[] = {
        {"2-2", 2, 2, true},      {"2-2", -1, -1, true},    {"2-2", -1, 2, true},     {"2-2", 2, -1, true},
        {"2-2", 0, 2, false},     {"2-2", 2, 0, false},     {"2-2", 1, 1, false},     {"2-2", 1, 2, false},
        {"2-2", 2, 1, false},     {"2-2", -1, 1, false},    {"2-2", 1, -1, false},    {"2-2", 0, 0, false},
        {"1-1 2-2", 2, -1, true}, {"1-1 2-2", -1, 1, true}, {"1-1 2-2", 1, 1, true},  {"1-1 2-2", 1, 2, false},
        {nullptr, -1, -1, false}, {nullptr, 0, 0, false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(row.io ? row.io : "(none)") + " " + std::to_string(row.in) + "-" +
                     std::to_string(row.out));
        RecordingPlug p;
        InitLikeQor(p, row.io);
        EXPECT_EQ(p.LegalIO(row.in, row.out), row.legal);
    }
}

TEST(PluginBaseChannels, ConnectionsStayInsideTheChannelList)
{
    RecordingPlug p;
    InitLikeQor(p, "4-4");
    p.SetOutputChannelConnections(0, 4, true);
    p.SetInputChannelConnections(1, 100, true);
    EXPECT_FALSE(p.IsInChannelConnected(0));
    EXPECT_TRUE(p.IsInChannelConnected(1));
    EXPECT_TRUE(p.IsInChannelConnected(3));
    p.LimitToStereoIO();
    EXPECT_TRUE(p.IsInChannelConnected(1));
    EXPECT_FALSE(p.IsInChannelConnected(2));
    EXPECT_FALSE(p.IsInChannelConnected(3));
    EXPECT_TRUE(p.IsOutChannelConnected(2));
    EXPECT_TRUE(p.IsOutChannelConnected(3));
    p.SetOutputChannelConnections(-1, 3, false); // nothing below index 0
    EXPECT_TRUE(p.IsOutChannelConnected(0));
}

TEST(PluginBaseChannels, AnUnconnectedChannelReadsItsOwnScratchBuffer)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.SetInputChannelConnections(0, 2, false);
    EXPECT_EQ(p.InData()[0], nullptr); // no block size yet, so no scratch memory
    p.SetBlockSize(64);
    p.SetInputChannelConnections(0, 2, false);
    p.SetOutputChannelConnections(0, 2, false);
    ASSERT_NE(p.InData()[0], nullptr);
    ASSERT_NE(p.OutData()[1], nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(p.InData()[0][i], 0.0);
    // Growing the block moves the scratch memory; unconnected slots follow it.
    p.SetBlockSize(8192);
    for (int i = 0; i < 8192; ++i) ASSERT_EQ(p.InData()[1][i], 0.0);
    p.OutData()[0][8191] = 1.0;
}

TEST(PluginBaseChannels, InputBusLabelsOnlyForTheFirstTwoBuses)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.SetInputBusLabel(2, "third");
    EXPECT_EQ(p.NInputBusLabels(), 0);
    p.SetInputBusLabel(1, "side");
    EXPECT_EQ(p.NInputBusLabels(), 1);
    EXPECT_STREQ(p.GetInputBusLabel(0), "side"); // inserted at min(idx, count)
    p.SetInputBusLabel(0, "main");
    EXPECT_EQ(p.NInputBusLabels(), 1);
    EXPECT_STREQ(p.GetInputBusLabel(0), "main");
}

TEST(PluginBaseChannels, OutputBusLabelsReplaceInPlaceAndAppendPastTheEnd)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.SetOutputBusLabel(5, "first");
    ASSERT_EQ(p.NOutputBusLabels(), 1);
    EXPECT_STREQ(p.GetOutputBusLabel(0), "first");
    p.SetOutputBusLabel(1, "second");
    p.SetOutputBusLabel(2, "third");
    p.SetOutputBusLabel(1, "SECOND");
    p.SetOutputBusLabel(-1, "never");
    ASSERT_EQ(p.NOutputBusLabels(), 3);
    EXPECT_STREQ(p.GetOutputBusLabel(0), "first");
    EXPECT_STREQ(p.GetOutputBusLabel(1), "SECOND");
    EXPECT_STREQ(p.GetOutputBusLabel(2), "third");
    EXPECT_STREQ(p.GetOutputBusLabel(3), "");
}

TEST(PluginBaseEdits, AnEditRunsItsPathsChangeHookOnceUnderTheMutex)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(10)->InitInt("kTest", 0, 0, 10);
    p.SetParameterFromGUI(10, 0.5);
    EXPECT_EQ(p.GetParam(10)->Value(), 5.0);
    ASSERT_EQ(p.calls.size(), 2u);
    EXPECT_EQ(p.calls[0].what, "Inform");
    EXPECT_EQ(p.calls[0].idx, 10);
    EXPECT_EQ(p.calls[0].value, 0.5); // the normalized value as received
    EXPECT_TRUE(p.calls[0].mutexHeld);
    EXPECT_EQ(p.calls[1].what, "OnParamChange");
    EXPECT_EQ(p.calls[1].idx, 10);
    EXPECT_EQ(p.calls[1].value, 5.0); // the hook sees the new value
    EXPECT_TRUE(p.calls[1].mutexHeld);
    EXPECT_FALSE(p.Mutex().IsHeldByCaller());
    // The second path runs the second hook only.
    p.calls.clear();
    p.SetParameterFromGUI2(7, 1.0);
    EXPECT_EQ(p.CountOf("OnParamChange"), 0);
    EXPECT_EQ(p.CountOf("OnParamChange2"), 1);
    EXPECT_EQ(p.calls.back().idx, 7);
    EXPECT_TRUE(p.calls.back().mutexHeld);
}

TEST(PluginBaseEdits, AnUnchangedValueInformsTheHostButSkipsTheHookUnlessTheParameterIsText)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(3)->InitInt("kTest", 5, 0, 10);
    p.SetParameterFromGUI(3, 0.52); // rounds to 5 again
    EXPECT_EQ(p.CountOf("Inform"), 1);
    EXPECT_EQ(p.CountOf("OnParamChange"), 0);
    p.GetParam(4)->InitText();
    p.SetParameterFromGUI(4, 0.0);
    EXPECT_EQ(p.CountOf("OnParamChange"), 1);
}

TEST(PluginBaseEdits, AHookMayEditAgainOnTheSameThreadWithoutBlocking)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.onParamChange = [&](int idx) {
        if (idx == 1) p.SetParameterFromGUI(2, 1.0);
    };
    auto done = std::async(std::launch::async, [&] { p.SetParameterFromGUI(1, 1.0); });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(p.CountOf("OnParamChange"), 2);
    EXPECT_EQ(p.GetParam(2)->Value(), 1.0);
}

TEST(PluginBaseEdits, AnotherThreadWaitsWhileAnEditHoldsTheMutex)
{
    RecordingPlug p;
    InitLikeQor(p);
    std::atomic<bool> otherGotIn{false};
    bool otherDuringHook = true;
    std::thread other;
    p.onParamChange = [&](int) {
        other = std::thread([&] {
            p.Mutex().Enter();
            otherGotIn = true;
            p.Mutex().Leave();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        otherDuringHook = otherGotIn.load();
    };
    p.SetParameterFromGUI(0, 1.0);
    ASSERT_TRUE(other.joinable());
    other.join();
    EXPECT_FALSE(otherDuringHook);
    EXPECT_TRUE(otherGotIn);
}

TEST(PluginBaseEdits, AHookThatThrowsStillReleasesTheMutex)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.onParamChange = [](int) { throw std::runtime_error("hook"); };
    EXPECT_THROW(p.SetParameterFromGUI(0, 1.0), std::runtime_error);
    EXPECT_FALSE(p.Mutex().IsHeldByCaller());
    auto other = std::async(std::launch::async, [&] {
        p.Mutex().Enter();
        p.Mutex().Leave();
    });
    EXPECT_EQ(other.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(PluginBaseEdits, ResetOfAllNonAutomatableTableOnlyResets)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.OnParamReset();
    ASSERT_EQ(p.calls.size(), 1u);
    EXPECT_EQ(p.calls[0].what, "Reset");
    p.calls.clear();
    p.DirtyParameters();
    EXPECT_TRUE(p.calls.empty());
}

TEST(PluginBaseEdits, ResetAndDirtyWalkTheAutomatableRangeInOrder)
{
    RecordingPlug p;
    InitWithAutomatable(p, 3, 10);
    EXPECT_EQ(p.NAutomatedParams(), 3);
    p.GetParam(1)->InitInt("x", 5, 0, 10);
    p.OnParamReset();
    ASSERT_EQ(p.calls.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(p.calls[size_t(i)].what, "OnParamChange");
        EXPECT_EQ(p.calls[size_t(i)].idx, i);
    }
    EXPECT_EQ(p.calls[3].what, "Reset");
    p.calls.clear();
    p.DirtyParameters();
    ASSERT_EQ(p.calls.size(), 3u);
    EXPECT_EQ(p.calls[1].what, "Inform");
    EXPECT_EQ(p.calls[1].value, 0.5);
    EXPECT_TRUE(p.calls[1].mutexHeld);
}

TEST(PluginBaseDefaults, DefaultProcessingCopiesInputsAndClearsOtherOutputs)
{
    RecordingPlug p;
    InitLikeQor(p, "1-2");
    double in0[4] = {1, 2, 3, 4};
    double out0[4] = {9, 9, 9, 9}, out1[4] = {9, 9, 9, 9};
    double* ins[1] = {in0};
    double* outs[2] = {out0, out1};
    p.ProcessDoubleReplacing(ins, outs, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out0[i], in0[i]);
        EXPECT_EQ(out1[i], 0.0);
    }
    float fin[2] = {0.5f, -0.5f}, fo0[2] = {7, 7}, fo1[2] = {7, 7};
    float* fins[1] = {fin};
    float* fouts[2] = {fo0, fo1};
    p.ProcessSingleReplacing(fins, fouts, 2);
    EXPECT_EQ(fo0[1], -0.5f);
    EXPECT_EQ(fo1[0], 0.0f);
}

TEST(PluginBaseGraphics, AttachingPushesEveryNormalizedValueThenPreparesThenStores)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(4)->InitInt("i", 3, 0, 4);
    p.AttachGraphics(nullptr);
    EXPECT_EQ(p.GetGUI(), nullptr);
    auto* g = new RecordingGraphics(&p);
    p.AttachGraphics(g);
    EXPECT_EQ(p.GetGUI(), g);
    ASSERT_EQ(g->pushes.size(), size_t(kQorParams));
    for (int i = 0; i < kQorParams; ++i) {
        EXPECT_EQ(g->pushes[size_t(i)].idx, i);
        EXPECT_TRUE(g->pushes[size_t(i)].normalized);
        EXPECT_FALSE(g->pushes[size_t(i)].attachedYet);
    }
    EXPECT_EQ(g->pushes[4].value, 0.75);
    EXPECT_EQ(g->prepDraws, 1);
    EXPECT_FALSE(g->attachedAtPrepDraw);
}

TEST(PluginBaseGraphics, RedrawPushesPlainValuesThroughTheParameterRange)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.RedrawParamControls(); // nothing attached: nothing to do
    auto* g = new RecordingGraphics(&p);
    p.AttachGraphics(g);
    g->pushes.clear();
    p.GetParam(9)->InitInt("i", 0, 0, 10);
    p.GetParam(9)->Set(12.0);
    p.RedrawParamControls();
    ASSERT_EQ(g->pushes.size(), size_t(kQorParams));
    EXPECT_EQ(g->pushes[9].value, 12.0);
    EXPECT_FALSE(g->pushes[9].normalized);
    EXPECT_EQ(p.GetParam(9)->Value(), 10.0); // the surface clamps a plain value into range
}

TEST(PluginBaseState, NonAutomatableValuesAreWrittenAsDoublesInIdOrder)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(0)->Set(0.25);
    p.GetParam(4975)->Set(1.0);
    ByteChunk chunk;
    EXPECT_TRUE(p.SerializeNonAutomatedParams(&chunk, 4976));
    ASSERT_EQ(chunk.Size(), 39808);
    double v;
    chunk.Get(&v, 0);
    EXPECT_EQ(v, 0.25);
    chunk.Get(&v, 4975 * 8);
    EXPECT_EQ(v, 1.0);
    ByteChunk none;
    EXPECT_TRUE(p.SerializeNonAutomatedParams(&none, 0));
    EXPECT_EQ(none.Size(), 0);
    EXPECT_TRUE(p.SerializeNonAutomatedParams(&none, 1000000)); // no more than the table
    EXPECT_EQ(none.Size(), kQorParams * 8);
}

TEST(PluginBaseState, AShortChunkSetsTheFirstMissingValueToItsBoundAndStops)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(1)->InitInt("b", 7, 2, 9);
    p.GetParam(2)->Set(0.75);
    ByteChunk chunk;
    double first = 0.5;
    chunk.Put(&first);
    int32_t tail = 0;
    chunk.Put(&tail);
    EXPECT_EQ(p.UnserializeNonAutomatedParams(&chunk, 0, 3), -1);
    EXPECT_EQ(p.GetParam(0)->Value(), 0.5);
    EXPECT_EQ(p.GetParam(1)->Value(), 2.0); // 0.0 bounded by the range
    EXPECT_EQ(p.GetParam(2)->Value(), 0.75);
    EXPECT_EQ(p.UnserializeNonAutomatedParams(&chunk, -1, 3), -1);
    EXPECT_EQ(p.UnserializeNonAutomatedParams(&chunk, 4, 0), 4);
}

TEST(PluginBaseState, ReadValuesAreBoundedByTheirRange)
{
    RecordingPlug p;
    InitWithAutomatable(p, 2, 4);
    p.GetParam(0)->InitInt("a", 0, 0, 10);
    p.GetParam(1)->InitInt("b", 0, 0, 10);
    ByteChunk chunk;
    double hi = 50.0, lo = -3.0;
    chunk.Put(&hi);
    chunk.Put(&lo);
    EXPECT_EQ(p.UnserializeParams(&chunk, 0), 16);
    EXPECT_EQ(p.GetParam(0)->Value(), 10.0);
    EXPECT_EQ(p.GetParam(1)->Value(), 0.0);
}

TEST(PluginBaseState, CompareStateToleratesSinglePrecisionNoise)
{
    RecordingPlug p;
    InitWithAutomatable(p, 2, 2);
    p.GetParam(0)->Set(0.3);
    p.GetParam(1)->Set(0.7);
    double stored[3] = {99.0, 0.3 + 1e-9, 0.7};
    EXPECT_TRUE(p.CompareState(reinterpret_cast<const unsigned char*>(stored), 1));
    stored[2] = 0.71;
    EXPECT_FALSE(p.CompareState(reinterpret_cast<const unsigned char*>(stored), 1));
}
