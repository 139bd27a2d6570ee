// The performance over JACK against the synthesizer simulator program: the send leaves as the
// dump and its follow-up, the simulator keeps them, and the current-performance request brings
// every value back, at both models; the push sends globals, the eight programs and the
// performance in that order.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "sim_jack_support.h"
#include "kit/plugin/IParam.h"
#include "launcher.h"
#include "syxfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>

using namespace qorid;

using simjack::edit;

namespace
{

// The SysEx dumps the simulator took in, in order.
std::vector<synthsim::Bytes> dumpsIn(const std::string& record)
{
    std::vector<synthsim::Bytes> out;
    for (const auto& line : synthsim::readRecordFile(record))
        if (line.direction == "in" && line.bytes.size() >= 25) out.push_back(line.bytes);
    return out;
}

// Parameters of every part and of the whole performance, in range; the vocoder width only up to
// 16, the most its byte carries. The follow-up's only with the second model, which answers with it.
std::map<int, double> randomValues(QOR& q, int model)
{
    std::vector<int> whole = {kGlobalTempo, kMultiLargeCase24Param1, kMultiLargeCase24Param6};
    if (model == 1) whole.insert(whole.end(), {kVocoderInput, kVocoderWidth, kVocoderSibilanceLevel, kMultiSmallCase13});
    const int perPart[] = {kMultiPartPatch,    kMultiPartBank,         kMultiPartMIDICh,    kMultiPartOutput,
                           kMultiPartSustain,  kMultiPartTranspose,    kMultiPartVeloCurve, kMultiPartPolyphony,
                           kMultiArpSwitch,    kMultiPartStatus,       kFXMultiPanType,     kFXMultiReverbRoom,
                           kFXMultiReverbEarlyRef, kFXMultiChorusType, kFXMultiPassToFXConfig, kFXMultiDelayRatio,
                           kFXMultiCMorph};
    std::vector<int> ids = whole;
    for (int base : perPart)
        for (int k = 0; k < 8; ++k) ids.push_back(base + k);
    std::mt19937 random(4400u + unsigned(model));
    std::map<int, double> values;
    for (int id : ids) {
        const IParam* p = q.GetParam(id);
        const int hi = id == kVocoderWidth ? 16 : int(p->GetMax());
        values[id] = std::uniform_int_distribution<int>(int(p->GetMin()), hi)(random);
    }
    return values;
}

} // namespace

TEST(PerformanceJack, TheSendReachesTheSynthesizerAndTheRequestBringsEveryValueBack)
{
    for (int model : {0, 1}) {
        SCOPED_TRACE(model);
        // The simulator first: the editor lists the ports that stand when it opens.
        testsupport::TempDir simDir;
        const std::string record = simDir.file("record.txt");
        synthsim::SimProcess sim;
        std::string error;
        const std::vector<std::string> options = {"--name",       "perf" + std::to_string(::getpid()) + "m" + std::to_string(model),
                                                  "--record",     record,
                                                  "--device-id",  "15",
                                                  "--edit-reply", "performance",
                                                  "--model",      model ? "0x21" : "0x20"};
        ASSERT_TRUE(sim.start(SYNTH_SIM_EXE, options, error)) << error;
        editortest::Editor e("a\nnormal\nyes\n\n\n");
        QOR& q = *e.plug;
        q.currentModel = model;
        simjack::connect(q, sim); // the output starts the enquiry, which the simulator answers at once
        ASSERT_TRUE(q.midiIOSet);
        ASSERT_TRUE(simjack::waitIdle(q));
        ASSERT_TRUE(q.startupComplete);

        const std::map<int, double> values = randomValues(q, model);
        for (const auto& [id, v] : values) q.GetParam(id)->Set(v);
        q.GetParam(kMultiName)->SetDisplayText(0, "Over Jack");
        q.sendGlobalsFirst = false;
        q.sendingAllParts = false;
        SenderJobRecord send;
        send.job = kJobSendArrangement;
        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(q.midiManager->startJob(send));
        ASSERT_TRUE(simjack::waitIdle(q));
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("job 0 without globals or programs: %.3f s\n", seconds);

        std::vector<synthsim::Bytes> dumps;
        for (int i = 0; i < 250 && dumps.size() < 4; ++i) usleep(20000), dumps = dumpsIn(record);
        // The enquiry's answers are outgoing; in: the dump, then its follow-up.
        ASSERT_EQ(dumps.size(), 2u);
        EXPECT_EQ(dumps[0].size(), 381u);
        EXPECT_EQ(dumps[0][7], 0x05);
        EXPECT_EQ(dumps[1].size(), 25u);
        EXPECT_EQ(dumps[1][7], 0x1B);
        EXPECT_EQ(std::string(dumps[0].begin() + 8, dumps[0].begin() + 24), "Over Jack       ");
        // The simulator's performance edit buffer and follow-up hold what it received.
        sim.command("dump " + simDir.path);
        std::string line;
        ASSERT_TRUE(sim.readLine(line, 5000));
        synthsim::SplitResult edits;
        ASSERT_TRUE(synthsim::readSyxFile(simDir.file("edit-buffers.syx"), edits, error)) << error;
        std::vector<synthsim::Bytes> kept;
        for (const auto& m : edits.messages)
            if (m.size() == 381 || m.size() == 25) kept.push_back(synthsim::Bytes(m.begin() + 8, m.end() - 1));
        ASSERT_EQ(kept.size(), 2u);
        EXPECT_EQ(kept[0], synthsim::Bytes(dumps[0].begin() + 8, dumps[0].end() - 1));
        EXPECT_EQ(kept[1], synthsim::Bytes(dumps[1].begin() + 8, dumps[1].end() - 1));

        for (const auto& [id, v] : values) {
            IParam* p = q.GetParam(id);
            p->Set(v == p->GetMin() ? p->GetMax() : p->GetMin());
        }
        SenderJobRecord request;
        request.job = kJobRequestActiveArrangement;
        request.toEditor = true;
        ASSERT_TRUE(q.midiManager->startJob(request));
        ASSERT_TRUE(simjack::waitIdle(q));
        EXPECT_EQ(e.text(q.statusDisplay), "Data request completed!");
        for (const auto& [id, v] : values) EXPECT_EQ(e.value(id), v) << id;
        EXPECT_FALSE(q.midiManager->performanceRequestActive);

        // The push: both global dumps, the eight programs in part order, then the performance.
        if (model == 0) {
            const auto pushed = std::chrono::steady_clock::now();
            edit(q, kPushArrangement, 1);
            ASSERT_TRUE(simjack::waitIdle(q));
            std::printf("push arrangement: %.3f s\n",
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - pushed).count());
            for (int i = 0; i < 250 && dumps.size() < 14; ++i) usleep(20000), dumps = dumpsIn(record);
            std::vector<size_t> lengths;
            for (size_t i = 2; i < dumps.size(); ++i) lengths.push_back(dumps[i].size());
            EXPECT_EQ(lengths, (std::vector<size_t>{281, 297, 296, 296, 296, 296, 296, 296, 296, 296, 381, 25}));
            for (size_t part = 0; part < 8 && 4 + part < dumps.size(); ++part) EXPECT_EQ(dumps[4 + part][8], part);
            EXPECT_FALSE(q.incomingMidiBlocked);
            EXPECT_FALSE(q.sendingAllParts);
        }
        q.midiManager->stopAndJoin();
        sim.stop();
    }
}
