// The plug-in base: two-phase set-up, identity, channels and labels, buffers, edits from the
// editor under the plug-in mutex, the editor surface, parameter values in state chunks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <stdexcept>
#include <thread>

#include "test_plug.h"

namespace {

// The set-up the plug-in class performs: 5124 parameters, none published to the host.
void InitLikeQor(RecordingPlug& p, const char* io = "2-2")
{
    p.initialize(0, kQorParams, io, 0, "QOR Editor", "", "Tessmoor Audio", kQorVersion, kQorUniqueID, kQorMfrID, 128,
                 false, true, true);
    p.addNonAutomateParamCount(kQorParams);
}

// A plug-in whose first parameters are published, for the paths that loop over them.
void InitWithAutomatable(RecordingPlug& p, int nAutomatable, int nTotal)
{
    p.initialize(nAutomatable, nTotal, "2-2", 0, "t", "t", "t", kQorVersion, kQorUniqueID, kQorMfrID, 0, false, true,
                 true);
}

} // namespace

TEST(PluginBaseSetup, QorSetupGives5124PlainParametersAndStereoInOutAndCutsOverlongNames)
{
    RecordingPlug p;
    InitLikeQor(p);
    ASSERT_EQ(p.NParams(), kQorParams);
    const IParam* last = p.GetParam(kQorParams - 1);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Type(), IParam::kTypeNone);
    EXPECT_EQ(last->GetMax(), 1.0);
    EXPECT_TRUE(p.GetParam(kQorParams) == nullptr && p.GetParam(-1) == nullptr);
    EXPECT_EQ(std::vector<int>({p.NPresets(), p.NAutomatedParams(), p.NNonAutomatedParams(), p.NInChannels(), p.NOutChannels()}),
              std::vector<int>({0, 0, kQorParams, 2, 2}));
    EXPECT_FALSE(p.IsInChannelConnected(0) || p.IsOutChannelConnected(1));

    RecordingPlug cut;
    std::string longName(400, 'q');
    cut.initialize(0, 1, "2-2", 0, longName.c_str(), longName.c_str(), longName.c_str(), 0, 0, 0, 0, false, false, false);
    EXPECT_EQ(std::strlen(cut.GetEffectName()), 127u);
    EXPECT_EQ(std::strlen(cut.GetMfrName()), 127u);
}

TEST(PluginBaseIdentity, ApiNamesAndTheHostLookedUpByNameWithItsVersion)
{
    const struct { int api; const char* name; } table[] = {
        {kAPIAU, "AU"}, {kAPIVST2, "VST2"}, {kAPISA, "Standalone"}, {7, ""}, {-1, ""}};
    for (const auto& row : table) EXPECT_STREQ(RecordingPlug(EAPI(row.api)).GetAPIString(), row.name) << row.api;
    RecordingPlug p;
    p.SetHost("Reaper", 0x00050102);
    EXPECT_EQ(p.GetHost(), kHostReaper);
    EXPECT_EQ(std::vector<int>({p.GetHostVersion(false), p.GetHostVersion(true), p.GetEffectVersion(true)}),
              std::vector<int>({0x00050102, 50102, 10009}));
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
    int nIn = -1, nOut = -1;
    p.GetChannelIO(1, &nIn, &nOut);
    EXPECT_EQ(nIn * 10 + nOut, 30);
    EXPECT_FALSE(p.GetChannelIO(3, &nIn, &nOut));
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

TEST(PluginBaseChannels, ConnectionsStayInsideTheListAndUnconnectedChannelsReadTheirOwnZeroedScratch)
{
    RecordingPlug p;
    InitLikeQor(p, "4-4");
    p.SetOutputChannelConnections(0, 4, true);
    p.SetInputChannelConnections(1, 100, true);
    EXPECT_FALSE(p.IsInChannelConnected(0));
    EXPECT_TRUE(p.IsInChannelConnected(3));
    p.LimitToStereoIO();
    EXPECT_TRUE(p.IsInChannelConnected(1));
    EXPECT_FALSE(p.IsInChannelConnected(2) || p.IsInChannelConnected(3));
    EXPECT_TRUE(p.IsOutChannelConnected(2) && p.IsOutChannelConnected(3));
    p.SetOutputChannelConnections(-1, 3, false); // nothing below index 0
    EXPECT_TRUE(p.IsOutChannelConnected(0));

    RecordingPlug q;
    InitLikeQor(q);
    q.SetInputChannelConnections(0, 2, false);
    EXPECT_EQ(q.InData()[0], nullptr); // no block size yet, so no scratch memory
    q.SetBlockSize(64);
    q.SetInputChannelConnections(0, 2, false);
    q.SetOutputChannelConnections(0, 2, false);
    ASSERT_NE(q.InData()[0], nullptr);
    ASSERT_NE(q.OutData()[1], nullptr);
    // Growing the block moves the scratch memory; unconnected slots follow it.
    q.SetBlockSize(8192);
    for (int i = 0; i < 8192; ++i) ASSERT_EQ(q.InData()[1][i], 0.0);
    q.OutData()[0][8191] = 1.0;
}

TEST(PluginBaseBuffers, DefaultProcessingCopiesInputsClearsOtherOutputsAndConvertsToFloat)
{
    RecordingPlug p;
    InitLikeQor(p, "1-2");
    double in0[4] = {1, 2, 3, 4}, out0[4] = {9, 9, 9, 9}, out1[4] = {9, 9, 9, 9};
    double* ins[1] = {in0};
    double* outs[2] = {out0, out1};
    p.ProcessDoubleReplacing(ins, outs, 4);
    EXPECT_EQ(std::vector<double>(out0, out0 + 4), std::vector<double>(in0, in0 + 4));
    EXPECT_EQ(std::vector<double>(out1, out1 + 4), std::vector<double>(4, 0.0));
    float fin[2] = {0.5f, -0.5f}, fo0[2] = {7, 7}, fo1[2] = {7, 7};
    float* fins[1] = {fin};
    float* fouts[2] = {fo0, fo1};
    p.ProcessSingleReplacing(fins, fouts, 2);
    EXPECT_EQ(fo0[1], -0.5f);
    EXPECT_EQ(fo1[0], 0.0f);

    // The render path: host doubles pointed at directly, floats through scratch memory.
    p.SetBlockSize(4);
    p.SetInputChannelConnections(0, 1, true);
    p.SetOutputChannelConnections(0, 2, true);
    std::fill(out1, out1 + 4, 9.0);
    p.AttachInputBuffers(0, 1, ins, 4);
    p.AttachOutputBuffers(0, 2, outs);
    p.PassThroughBuffers(0.0, 4);
    p.ProcessBuffers(0.0, 4);
    EXPECT_EQ(out0[3], 4.0);
    EXPECT_EQ(out1[3], 0.0);
    float f0[4] = {}, f1[4] = {1, 1, 1, 1};
    float* fs[2] = {f0, f1};
    p.AttachOutputBuffers(0, 2, fs);
    p.PassThroughBuffers(0.0f, 4);
    EXPECT_EQ(f0[2], 3.0f);
    p.ProcessBuffersAccumulating(0.0f, 4);
    EXPECT_EQ(f0[2], 6.0f);
    p.ZeroScratchBuffers();
    p.ProcessBuffers(0.0f, 4);
    EXPECT_EQ(f0[2], 3.0f);
    EXPECT_EQ(f1[0], 0.0f);
}

TEST(PluginBaseEdits, AnEditRunsItsPathsChangeHookOnceUnderTheMutexUnlessNothingChanged)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(10)->InitInt("kTest", 0, 0, 10);
    p.SetParameterFromGUI(10, 0.5);
    EXPECT_EQ(p.GetParam(10)->Value(), 5.0);
    ASSERT_EQ(p.calls.size(), 2u);
    // The host hears the normalized value as received; the hook sees the new value.
    EXPECT_EQ(p.calls[0].what + std::to_string(p.calls[0].idx) + "=" + std::to_string(p.calls[0].value), "Inform10=0.500000");
    EXPECT_EQ(p.calls[1].what + std::to_string(p.calls[1].idx) + "=" + std::to_string(p.calls[1].value), "OnParamChange10=5.000000");
    EXPECT_TRUE(p.calls[0].mutexHeld && p.calls[1].mutexHeld);
    EXPECT_FALSE(p.Mutex().IsHeldByCaller());
    p.calls.clear();
    p.SetParameterFromGUI2(7, 1.0); // the second path runs the second hook only
    EXPECT_EQ(p.CountOf("OnParamChange"), 0);
    EXPECT_EQ(p.CountOf("OnParamChange2"), 1);
    EXPECT_TRUE(p.calls.back().mutexHeld);
    // An unchanged value informs the host but skips the hook, unless the parameter is text.
    p.calls.clear();
    p.SetParameterFromGUI(10, 0.52);
    EXPECT_EQ(p.CountOf("Inform"), 1);
    EXPECT_EQ(p.CountOf("OnParamChange"), 0);
    p.GetParam(4)->InitText();
    p.SetParameterFromGUI(4, 0.0);
    EXPECT_EQ(p.CountOf("OnParamChange"), 1);
}

TEST(PluginBaseEdits, AHookMayEditAgainOnItsThreadWhileOtherThreadsWaitAndAThrowReleasesTheMutex)
{
    RecordingPlug p;
    InitLikeQor(p);
    std::atomic<bool> otherGotIn{false};
    bool otherDuringHook = true;
    std::thread other;
    p.onParamChange = [&](int idx) {
        if (idx == 1) p.SetParameterFromGUI(2, 1.0);
        if (idx != 2) return;
        other = std::thread([&] {
            p.Mutex().Enter();
            otherGotIn = true;
            p.Mutex().Leave();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        otherDuringHook = otherGotIn.load();
    };
    auto done = std::async(std::launch::async, [&] { p.SetParameterFromGUI(1, 1.0); });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    ASSERT_TRUE(other.joinable());
    other.join();
    EXPECT_FALSE(otherDuringHook);
    EXPECT_TRUE(otherGotIn);
    EXPECT_EQ(p.CountOf("OnParamChange"), 2);

    p.onParamChange = [](int) { throw std::runtime_error("hook"); };
    EXPECT_THROW(p.SetParameterFromGUI(0, 1.0), std::runtime_error);
    auto after = std::async(std::launch::async, [&] {
        p.Mutex().Enter();
        p.Mutex().Leave();
    });
    EXPECT_EQ(after.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(PluginBaseEdits, ResetAndDirtyWalkOnlyThePublishedRangeInOrder)
{
    RecordingPlug p;
    InitWithAutomatable(p, 3, 10);
    p.GetParam(1)->InitInt("x", 5, 0, 10);
    p.OnParamReset();
    std::string seen;
    for (const auto& c : p.calls) seen += c.what + std::to_string(c.idx) + " ";
    EXPECT_EQ(seen, "OnParamChange0 OnParamChange1 OnParamChange2 Reset-1 ");
    p.calls.clear();
    p.DirtyParameters();
    ASSERT_EQ(p.calls.size(), 3u);
    EXPECT_TRUE(p.calls[1].what == "Inform" && p.calls[1].value == 0.5 && p.calls[1].mutexHeld);
}

TEST(PluginBaseGraphics, AttachingPushesNormalizedValuesBeforeStoringAndRedrawPushesPlainOnes)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.RedrawParamControls(); // nothing attached: nothing to do
    p.GetParam(4)->InitInt("i", 3, 0, 4);
    p.AttachGraphics(nullptr);
    EXPECT_EQ(p.GetGUI(), nullptr);
    auto* g = new RecordingGraphics(&p);
    p.AttachGraphics(g);
    EXPECT_EQ(p.GetGUI(), g);
    ASSERT_EQ(g->pushes.size(), size_t(kQorParams));
    const auto& pushed = g->pushes[4];
    EXPECT_TRUE(pushed.idx == 4 && pushed.normalized && !pushed.attachedYet && pushed.value == 0.75);
    EXPECT_EQ(g->prepDraws, 1);
    EXPECT_FALSE(g->attachedAtPrepDraw);

    g->pushes.clear();
    p.GetParam(9)->InitInt("i", 0, 0, 10);
    p.GetParam(9)->Set(12.0);
    p.RedrawParamControls();
    ASSERT_EQ(g->pushes.size(), size_t(kQorParams));
    EXPECT_EQ(g->pushes[9].value, 12.0);
    EXPECT_FALSE(g->pushes[9].normalized);
    EXPECT_EQ(p.GetParam(9)->Value(), 10.0); // the surface clamps a plain value into range
}

TEST(PluginBaseState, NonAutomatableValuesAreWrittenAsDoublesInIdOrderAndAShortChunkStopsAtItsBound)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(0)->Set(0.25);
    p.GetParam(4975)->Set(1.0);
    ByteChunk chunk;
    EXPECT_TRUE(p.SerializeNonAutomatedParams(&chunk, 4976));
    ASSERT_EQ(chunk.Size(), 39808);
    double v;
    chunk.Get(&v, 4975 * 8);
    EXPECT_EQ(v, 1.0);
    ByteChunk none;
    EXPECT_TRUE(p.SerializeNonAutomatedParams(&none, 1000000)); // no more than the table
    EXPECT_EQ(none.Size(), kQorParams * 8);

    // The first missing value is set to its bound, then the read stops.
    p.GetParam(1)->InitInt("b", 7, 2, 9);
    p.GetParam(2)->Set(0.75);
    ByteChunk shortChunk;
    double first = 0.5;
    int32_t tail = 0;
    shortChunk.Put(&first);
    shortChunk.Put(&tail);
    EXPECT_EQ(p.UnserializeNonAutomatedParams(&shortChunk, 0, 3), -1);
    EXPECT_EQ(p.GetParam(0)->Value(), 0.5);
    EXPECT_EQ(p.GetParam(1)->Value(), 2.0); // 0.0 bounded by the range
    EXPECT_EQ(p.GetParam(2)->Value(), 0.75);
    EXPECT_EQ(p.UnserializeNonAutomatedParams(&shortChunk, -1, 3), -1);
    EXPECT_EQ(p.UnserializeNonAutomatedParams(&shortChunk, 4, 0), 4);
}

TEST(PluginBaseState, ReadValuesAreBoundedAndCompareStateToleratesSinglePrecisionNoise)
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
    double stored[3] = {99.0, 10.0 + 1e-9, 0.0};
    EXPECT_TRUE(p.CompareState(reinterpret_cast<const unsigned char*>(stored), 1));
    stored[2] = 0.01;
    EXPECT_FALSE(p.CompareState(reinterpret_cast<const unsigned char*>(stored), 1));
}
