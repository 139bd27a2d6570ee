// The plug-in base: two-phase set-up, identity, channels and labels, buffers, edits from the
// editor under the plug-in mutex, the editor surface, parameter values in state chunks.
#include <gtest/gtest.h>

#include <cstring>

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

TEST(PluginBaseSetup, QorSetupGives5124PlainParametersAndTheIdentityAndCutsOverlongNames)
{
    RecordingPlug p;
    InitLikeQor(p);
    ASSERT_EQ(p.NParams(), kQorParams);
    EXPECT_EQ(p.GetParam(kQorParams - 1)->Type(), IParam::kTypeNone);
    EXPECT_TRUE(p.GetParam(kQorParams) == nullptr && p.GetParam(-1) == nullptr);
    EXPECT_EQ(std::vector<int>({p.NPresets(), p.NAutomatedParams(), p.NNonAutomatedParams(), p.NInChannels(), p.NOutChannels()}),
              std::vector<int>({0, 0, kQorParams, 2, 2}));
    EXPECT_FALSE(p.IsInChannelConnected(0) || p.IsOutChannelConnected(1));
    p.SetHost("Reaper", 0x00050102);
    EXPECT_EQ(p.GetHost(), kHostReaper);
    EXPECT_EQ(std::vector<int>({p.GetHostVersion(false), p.GetHostVersion(true), p.GetEffectVersion(true)}),
              std::vector<int>({0x00050102, 50102, 10009}));
    char s[32];
    p.GetHostVersionStr(s);
    EXPECT_STREQ(s, "v5.1.2");
    EXPECT_EQ(p.GetSamplesPerBeat(), 44100.0 * 60.0 / 120.0);
    auto* g = new RecordingGraphics(&p);
    p.AttachGraphics(g);
    p.RedrawParamControls();
    p.DirtyParameters(); // nothing published: the host hears of nothing
    // Attaching and the redraw push every value in one pass each (graphics_index_test).
    EXPECT_EQ(g->prepDraws * 10 + p.calls.size(), 10u) << "drawing prepared once; the host hears of nothing";
    const struct { int api; const char* name; } apis[] = {{kAPIAU, "AU"}, {kAPIVST2, "VST2"}, {kAPISA, "Standalone"}, {7, ""}};
    for (const auto& row : apis) EXPECT_STREQ(RecordingPlug(EAPI(row.api)).GetAPIString(), row.name) << row.api;
    RecordingPlug cut;
    std::string longName(400, 'q');
    cut.initialize(0, 1, "2-2", 0, longName.c_str(), longName.c_str(), longName.c_str(), 0, 0, 0, 0, false, false, false);
    EXPECT_EQ(std::strlen(cut.GetEffectName()) + std::strlen(cut.GetMfrName()), 2 * 127u);
}

TEST(PluginBaseChannels, ConnectionsStayInsideTheListAndUnconnectedChannelsReadTheirOwnZeroedScratch)
{
    RecordingPlug p;
    InitLikeQor(p, "4-4");
    p.SetOutputChannelConnections(0, 4, true);
    p.SetInputChannelConnections(1, 100, true);
    EXPECT_FALSE(p.IsInChannelConnected(0));
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
    // Growing the block moves the scratch memory; unconnected slots follow it.
    q.SetBlockSize(8192);
    for (int i = 0; i < 8192; ++i) ASSERT_EQ(q.InData()[1][i], 0.0);
    q.OutData()[0][8191] = 1.0;
    // So do connected channels whose floats went through it, when the next render attaches none.
    q.SetInputChannelConnections(0, 2, true);
    q.SetOutputChannelConnections(0, 2, true);
    float f[4] = {1, 2, 3, 4};
    float* fs[2] = {f, f};
    q.SetBlockSize(4);
    q.AttachInputBuffers(0, 2, fs, 4);
    q.AttachOutputBuffers(0, 2, fs);
    q.SetBlockSize(4096);
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(q.InData()[0][i] + q.OutData()[1][i], 0.0) << i;
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
    EXPECT_EQ(fo0[1] + fo1[0], -0.5f);
    // The render path: host doubles pointed at directly, floats through scratch memory.
    p.SetBlockSize(4);
    p.SetInputChannelConnections(0, 1, true);
    p.SetOutputChannelConnections(0, 2, true);
    std::fill(out1, out1 + 4, 9.0);
    p.AttachInputBuffers(0, 1, ins, 4);
    p.AttachOutputBuffers(0, 2, outs);
    p.PassThroughBuffers(0.0, 4);
    p.ProcessBuffers(0.0, 4);
    EXPECT_EQ(out0[3] + out1[3], 4.0);
    float f0[4] = {}, f1[4] = {1, 1, 1, 1};
    float* fs[2] = {f0, f1};
    p.AttachOutputBuffers(0, 2, fs);
    p.PassThroughBuffers(0.0f, 4);
    EXPECT_EQ(f0[2], 3.0f);
    p.ProcessBuffersAccumulating(0.0f, 4);
    EXPECT_EQ(f0[2], 6.0f);
    p.ZeroScratchBuffers();
    p.ProcessBuffers(0.0f, 4);
    EXPECT_EQ(f0[2] + f1[0], 3.0f);
}

TEST(PluginBaseEdits, AnEditRunsItsPathsChangeHookOnceUnderTheMutexUnlessNothingChanged)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(10)->InitInt("kTest", 0, 0, 10);
    p.SetParameterFromGUI(10, 0.5);
    ASSERT_EQ(p.calls.size(), 2u);
    // The host hears the normalized value as received; the hook sees the new value.
    EXPECT_EQ(p.calls[0].what + std::to_string(p.calls[0].idx) + "=" + std::to_string(p.calls[0].value), "Inform10=0.500000");
    EXPECT_EQ(p.calls[1].what + std::to_string(p.calls[1].idx) + "=" + std::to_string(p.calls[1].value), "OnParamChange10=5.000000");
    EXPECT_TRUE(p.calls[0].mutexHeld && p.calls[1].mutexHeld);
    EXPECT_FALSE(p.Mutex().IsHeldByCaller());
    p.calls.clear();
    p.SetParameterFromGUI2(7, 1.0); // the second path runs the second hook only
    EXPECT_EQ(p.CountOf("OnParamChange") * 10 + p.CountOf("OnParamChange2"), 1);
    EXPECT_TRUE(p.calls.back().mutexHeld);
    // An unchanged value informs the host but skips the hook, unless the parameter is text.
    p.calls.clear();
    p.SetParameterFromGUI(10, 0.52);
    EXPECT_EQ(p.CountOf("Inform") * 10 + p.CountOf("OnParamChange"), 10);
    p.GetParam(4)->InitText();
    p.SetParameterFromGUI(4, 0.0);
    EXPECT_EQ(p.CountOf("OnParamChange"), 1);
}

TEST(PluginBaseState, ValuesAreWrittenAsDoublesInIdOrderReadBoundedAndAShortChunkStopsAtItsBound)
{
    RecordingPlug p;
    InitLikeQor(p);
    p.GetParam(4975)->Set(1.0);
    ByteChunk chunk, none;
    EXPECT_TRUE(p.SerializeNonAutomatedParams(&chunk, 4976));
    ASSERT_EQ(chunk.Size(), 39808);
    double v;
    chunk.Get(&v, 4975 * 8);
    EXPECT_EQ(v, 1.0);
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
    EXPECT_EQ(std::vector<double>({p.GetParam(0)->Value(), p.GetParam(1)->Value(), p.GetParam(2)->Value()}),
              std::vector<double>({0.5, 2.0, 0.75}));
    EXPECT_EQ(p.UnserializeNonAutomatedParams(&shortChunk, -1, 3), -1);
    EXPECT_EQ(p.UnserializeNonAutomatedParams(&shortChunk, 4, 0), 4);
    RecordingPlug q;
    InitWithAutomatable(q, 2, 4);
    q.GetParam(0)->InitInt("a", 0, 0, 10);
    q.GetParam(1)->InitInt("b", 0, 0, 10);
    ByteChunk published;
    double hi = 50.0, lo = -3.0;
    published.Put(&hi);
    published.Put(&lo);
    EXPECT_EQ(q.UnserializeParams(&published, 0), 16);
    EXPECT_EQ(q.GetParam(0)->Value() * 100 + q.GetParam(1)->Value(), 1000.0);
    // Comparing state tolerates single-precision noise.
    double stored[3] = {99.0, 10.0 + 1e-9, 0.0};
    EXPECT_TRUE(q.CompareState(reinterpret_cast<const unsigned char*>(stored), 1));
    stored[2] = 0.01;
    EXPECT_FALSE(q.CompareState(reinterpret_cast<const unsigned char*>(stored), 1));
}

TEST(PluginBaseChannels, EachLayoutIsLegalWithAnUnsetSideAndBusLabelsStayInIndexOrder)
{
    RecordingPlug p;
    InitLikeQor(p, "1-1 2-2");
    EXPECT_EQ(std::vector<int>({p.NChannelIO(), p.NInChannels(), p.NOutChannels()}), std::vector<int>({2, 2, 2}));
    const struct { int in, out; bool legal; } ios[] = {
        {2, -1, true}, {-1, 1, true}, {-1, -1, true}, {1, 1, true}, {2, 2, true}, {1, 2, false}, {2, 1, false},
        {-1, 3, false}, {3, -1, false}, {0, 0, false}};
    for (const auto& io : ios) EXPECT_EQ(p.LegalIO(io.in, io.out), io.legal) << io.in << "-" << io.out;
    RecordingPlug none;
    InitLikeQor(none, "");
    EXPECT_EQ(none.NChannelIO(), 0);
    EXPECT_FALSE(none.LegalIO(-1, -1) || none.LegalIO(2, 2));

    RecordingPlug labels;
    InitLikeQor(labels, "");
    labels.SetInputBusLabel(2, "third");
    EXPECT_EQ(labels.NInputBusLabels(), 0) << "inputs have two labels at the most";
    labels.SetOutputBusLabel(5, "six");
    EXPECT_STREQ(labels.GetOutputBusLabel(0), "six") << "index 5 of an empty list goes to position 0";
    labels.SetOutputBusLabel(1, "two");
    labels.SetOutputBusLabel(0, "first");
    EXPECT_EQ(std::string(labels.GetOutputBusLabel(0)) + "|" + labels.GetOutputBusLabel(1), "first|two");
    EXPECT_EQ(labels.NOutputBusLabels(), 2) << "a label at a taken index replaces the one there";

    const struct { int version; const char* text; } versions[] = {
        {0x00010009, "v1.0.9"}, {0x00020100, "v2.1"}, {0x00030000, "v3"}};
    for (const auto& v : versions) {
        char text[32];
        RecordingPlug(kAPIAU, v.version).GetEffectVersionStr(text);
        EXPECT_STREQ(text, v.text);
    }
}
