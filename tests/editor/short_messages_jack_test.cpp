// Short messages against the synthesizer simulator on the private JACK server: its panel plays
// controllers, NRPNs and program changes into the editor, host messages come in through the
// controller's host side, and the simulator's record shows what the editor sends back.
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/SysexFamily.h"
#include "kit/plugin/IGraphics.h"
#include "controller_editor_support.h"
#include "host_script_support.h"
#include "sim_jack_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace qorid;
using Bytes = std::vector<uint8_t>;

namespace
{

constexpr int kGlobal = 15; // the simulator's device id, and so its global channel

// Each simulator under a name of its own, so no port of the last one is taken for it.
int serial = 0;

struct Rig {
    explicit Rig(const std::vector<std::string>& options = {})
    {
        std::string error;
        std::vector<std::string> args{
            "--name",      "shortmsg" + std::to_string(::getpid()) + "-" + std::to_string(++serial),
            "--record",    record,
            "--device-id", "15"};
        args.insert(args.end(), options.begin(), options.end());
        started = sim.start(SYNTH_SIM_EXE, args, error);
        EXPECT_TRUE(started) << error;
        if (!started) return;
        e = std::make_unique<editortest::Editor>("a\nnormal\nyes\n\n\n", true);
        QOR& q = *e->plug;
        simjack::connect(q, sim);
        EXPECT_TRUE(q.midiIOSet);
        EXPECT_TRUE(simjack::waitIdle(q));
        q.GetParam(kGlobalMidiChannel)->Set(kGlobal);
        q.deviceId = kGlobal;
        // Program changes are blocked at start-up.
        simjack::edit(q, kMIDIFilterHWPCPassThrough, 1);
        simjack::edit(q, kMIDIFilterDAWPCPassThrough, 1);
        // The simulator's global settings switch local control on: off, so its messages come back.
        q.localControlOn = false;
        arrived();
    }
    ~Rig()
    {
        if (e) e->plug->midiManager->stopAndJoin();
        if (started) sim.stop();
    }
    // One panel command, sent by the simulator and given time to be handled.
    void play(const std::string& command)
    {
        testing::internal::CaptureStdout();
        sim.command(command);
        sim.command("wait 0");
        sim.command("stats");
        std::string line;
        while (sim.readLine(line, 5000) && line.rfind("stats", 0) != 0) {
        }
        usleep(200 * 1000);
        testing::internal::GetCapturedStdout();
    }
    void host(uint8_t status, uint8_t d1, uint8_t d2 = 0)
    {
        IMidiMsg msg(0, status, d1, d2);
        testing::internal::CaptureStdout();
        e->plug->ProcessMidiMsg(&msg, false);
        testing::internal::GetCapturedStdout();
    }
    // The short messages that reached the simulator since the last call.
    std::vector<Bytes> back()
    {
        std::vector<Bytes> out;
        for (const auto& line : simjack::arrived(record, seen))
            if (line.bytes[0] != 0xF0) out.push_back(line.bytes);
        return out;
    }
    // And the SysEx messages among them: the editor's requests.
    std::vector<synthsim::RecordLine> arrived() { return simjack::arrived(record, seen); }
    bool waitIdle(int seconds = 10)
    {
        testing::internal::CaptureStdout();
        const bool idle = simjack::waitIdle(*e->plug, seconds);
        testing::internal::GetCapturedStdout();
        return idle;
    }
    double value(int id) const { return e->value(id); }
    // The simulator's whole record, for a failure's message.
    std::string recordText() const
    {
        std::string text;
        for (const auto& line : synthsim::readRecordFile(record))
            text += line.direction + " " + std::to_string(line.bytes.size()) + " bytes " + line.note + "\n";
        return text;
    }

    testsupport::TempDir simDir;
    std::string record = simDir.file("record.txt");
    synthsim::SimProcess sim;
    bool started = false;
    std::unique_ptr<editortest::Editor> e;
    size_t seen = 0;
};

size_t countOf(const std::vector<Bytes>& list, const Bytes& b)
{
    return size_t(std::count(list.begin(), list.end(), b));
}

bool isRequest(const synthsim::RecordLine& line)
{
    return line.bytes.size() > SysexFamily::kTypeAt && line.bytes[0] == 0xF0 &&
           line.bytes[SysexFamily::kTypeAt] == SysexFamily::kTypeRequestEditBuffer;
}

} // namespace

TEST(ShortMessagesJack, AControllerMovesItsPartsControlAndComesBackOnlyWithoutLocalControl)
{
    for (const bool local : {false, true}) {
        SCOPED_TRACE(local);
        Rig r;
        ASSERT_TRUE(r.started);
        r.e->plug->localControlOn = local;
        r.play("cc 2 74 90");
        EXPECT_EQ(r.value(kFilterCutoff + 2), 90);
        EXPECT_EQ(r.value(kFilterCutoff + 1), r.value(kFilterCutoff + 3));
        EXPECT_EQ(countOf(r.back(), {0xB2, 74, 90}), local ? 0u : 1u);
    }
}

TEST(ShortMessagesJack, NrpnStateQuickTabChainedChannelsAndTheBankSelectPair)
{
    Rig r;
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    MIDIMessageManager& m = *q.midiManager;
    // Part select on the global channel: the quick tab, and the data entry's own mapping (part 4 on).
    q.GetParam(kMultiPartStatus + 3)->Set(0);
    r.play("nrpn 15 0 113 58");
    EXPECT_EQ(r.value(kQuickTab), 3);
    EXPECT_EQ(r.value(kMultiPartStatus + 3), 1);
    // A data entry keeps the number (read under its base from now on); another controller resets it.
    r.play("nrpn 2 0 84 30");
    EXPECT_EQ(m.nrpnMsb.load(), 0);
    EXPECT_EQ(m.nrpnLsb.load(), 25);
    r.play("cc 2 7 100");
    EXPECT_EQ(m.nrpnLsb.load(), 128);
    r.back();
    // The synthesizer's bank-select pair is neither mapped nor passed back; a lone CC 32 is both.
    const double bank = r.value(kMultiPartBank + 2);
    r.play("cc 2 0 0");
    r.play("cc 2 32 66");
    EXPECT_EQ(r.value(kMultiPartBank + 2), bank);
    EXPECT_TRUE(r.back().empty());
    r.play("cc 2 32 66");
    EXPECT_EQ(r.value(kMultiPartBank + 2), 2);
    const std::vector<Bytes> lone = r.back();
    EXPECT_EQ(countOf(lone, {0xB2, 32, 66}), 1u);
    EXPECT_EQ(countOf(lone, {0xB2, 32, 2 + 5}), 1u); // the bank change the editor sends for it
    r.host(0xB2, 32, 64);
    EXPECT_TRUE(r.back().empty());
    // Part 0 on channel 5 and part 5 on channel 0: channel 5 reaches part 6's controls.
    q.GetParam(kMultiPartMIDICh + 0)->Set(5);
    q.GetParam(kMultiPartMIDICh + 5)->Set(0);
    r.play("cc 5 74 61");
    EXPECT_EQ(r.value(kFilterCutoff + 5), 61);
}

TEST(ShortMessagesJack, ProgramChangesFromTheSynthesizerRequestTheirPartOrThePerformance)
{
    const struct {
        const char* what;
        std::string command;
        bool lock2, librarian;
        std::vector<Bytes> back; // the short messages that reach the simulator
        bool requested;
        int recorded; // part 2's known program afterwards (-1 before)
        const char* status;
    } cases[] = {
        {"part 2", "pc 2 5", false, false, {{0xC2, 5}, {0xC2, 5}}, true, 5, "Data request completed!"},
        {"no part", "pc 12 5", false, false, {{0xC0, 5}, {0xCC, 5}}, true, -1, "Data request completed!"},
        // The simulator's performance that it brings has part 2 on program 0.
        {"the global channel", "pc 15 5", false, false, {{0xCF, 5}}, true, 0, "Data request completed!"},
        {"part 2 locked", "pc 2 5", true, false, {{0xC2, 5}}, false, 5, nullptr},
        {"librarian program mode",
         "pc 15 5",
         false,
         true,
         {{0xCF, 5}},
         false,
         -1,
         "Turn on PERFORMANCE mode from librarian first!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig r;
        ASSERT_TRUE(r.started);
        QOR& q = *r.e->plug;
        q.knownParts.setProgram(2, -1);
        q.GetParam(kPartLock + 2)->Set(c.lock2 ? 1 : 0);
        q.GetParam(kControlLibrary)->Set(c.librarian ? 1 : 0);
        r.play(c.command);
        ASSERT_TRUE(r.waitIdle());
        std::vector<Bytes> shortOnes;
        bool requested = false;
        for (const auto& line : r.arrived()) {
            if (line.bytes[0] != 0xF0) shortOnes.push_back(line.bytes);
            requested = requested || isRequest(line);
        }
        EXPECT_EQ(shortOnes, c.back) << r.recordText();
        EXPECT_EQ(requested, c.requested);
        EXPECT_EQ(q.knownParts.partProgramNumbers(2), c.recorded);
        if (c.status) {
            EXPECT_EQ(r.e->text(q.statusDisplay), c.status);
        }
    }
}

TEST(ShortMessagesJack, AProgramChangeLoadsThePartsDumpIntoTheEditor)
{
    Rig r;
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    q.GetParam(kFilterCutoff + 2)->Set(3);
    r.play("pc 2 5");
    ASSERT_TRUE(r.waitIdle());
    EXPECT_EQ(r.e->text(q.statusDisplay), "Data request completed!");
    EXPECT_EQ(r.value(kMultiPartPatch + 2), 5);
    // The editor shows the cutoff of the program dump the simulator answered with.
    Bytes dump;
    for (const auto& line : synthsim::readRecordFile(r.record))
        if (line.direction == "out" && ProgramDump::isProgramDump(line.bytes.data(), line.bytes.size()))
            dump = line.bytes;
    ASSERT_FALSE(dump.empty());
    EXPECT_EQ(dump[ProgramDump::kPartAt], 2);
    double cutoff = -1;
    const ProgramDump::Locks none([](int) { return 0.0; }, 2);
    ProgramDump::readParameters(dump.data(), 2, none, [&](int id, double v) {
        if (id == kFilterCutoff + 2) cutoff = v;
    });
    ASSERT_NE(cutoff, 3);
    EXPECT_EQ(r.value(kFilterCutoff + 2), cutoff);
}

TEST(ShortMessagesJack, WhileAPartDumpIsAwaitedControllersChangeNothingAndFlowAgainAfterIt)
{
    // The first request goes unanswered; the answer comes to the sweep's request, seconds later.
    // (A delayed answer would hold the panel's messages back behind it.)
    Rig r({"--answer-on-try", "2"});
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    q.GetParam(kFilterCutoff + 2)->Set(10);
    SenderJobRecord request;
    request.job = kJobRequestPart, request.part = 2, request.toEditor = true;
    testing::internal::CaptureStdout();
    // The synthesizer shows the part asked for: the request takes only that part's dump.
    q.sendPatchAndPatternToDevice(2, false, false, false, false, false);
    ASSERT_TRUE(q.midiManager->startJob(request));
    testing::internal::GetCapturedStdout();
    usleep(200 * 1000);
    for (int v = 20; v < 25; ++v) r.play("cc 2 74 " + std::to_string(v));
    EXPECT_EQ(r.value(kFilterCutoff + 2), 10);
    std::vector<Bytes> during = r.back();
    EXPECT_EQ(std::count_if(during.begin(), during.end(), [](const Bytes& b) { return b[0] == 0xB2; }), 0);
    // The start-up enquiry's first try went unanswered and stays owed: the request's sync waits
    // for quiet instead of taking the next answer for its own, then the request goes.
    ASSERT_TRUE(r.waitIdle(40));
    EXPECT_EQ(r.e->text(q.statusDisplay), "Data request completed!");
    r.back();
    r.play("cc 2 74 33");
    EXPECT_EQ(r.value(kFilterCutoff + 2), 33);
    EXPECT_EQ(countOf(r.back(), {0xB2, 74, 33}), 1u);
}

TEST(ShortMessagesJack, EachFilterBlocksItsKindOnItsSideOnly)
{
    Rig r;
    ASSERT_TRUE(r.started);
    QOR& q = *r.e->plug;
    q.GetParam(kPartLock + 2)->Set(1); // program changes request nothing
    IGraphics* gui = q.GetGUI();
    ASSERT_NE(gui, nullptr);
    const struct {
        const char* kind;
        std::string panel; // the simulator's panel, or raw bytes it sends
        Bytes message;
        int filter; // the host's byte; the synthesizer's is 7 further
    } kinds[] = {
        {"control change", "cc 2 74 40", {0xB2, 74, 40}, 0},  {"program change", "pc 2 6", {0xC2, 6}, 1},
        {"note", "raw 92 3C 64", {0x92, 60, 100}, 2},         {"pitch bend", "raw E2 00 50", {0xE2, 0, 80}, 3},
        {"poly pressure", "raw A2 3C 20", {0xA2, 60, 32}, 4}, {"channel pressure", "raw D2 21", {0xD2, 33}, 5},
    };
    for (const auto& k : kinds) {
        for (const bool fromDevice : {true, false}) {
            for (const bool filtered : {true, false}) {
                SCOPED_TRACE(std::string(k.kind) + (fromDevice ? " from the synthesizer" : " from the host") +
                             (filtered ? ", filtered" : ""));
                for (auto& f : q.midiFilterSwitches) f = false;
                q.midiFilterSwitches[size_t(k.filter + (fromDevice ? 7 : 0))] = filtered;
                q.midiLedOn[2] = 0;
                gui->SetParameterFromPlug(kFilterCutoff + 2, 0, false); // the control too
                if (fromDevice) {
                    r.play(k.panel);
                } else {
                    r.host(k.message[0], k.message[1], k.message.size() > 2 ? k.message[2] : 0);
                }
                EXPECT_EQ(q.midiLedOn[2].load(), filtered ? 0 : 1);
                EXPECT_EQ(countOf(r.back(), k.message), filtered ? 0u : 1u);
                if (k.filter == 0) {
                    EXPECT_EQ(r.value(kFilterCutoff + 2), filtered ? 0 : 40);
                }
            }
        }
    }
}

TEST(ShortMessagesJack, TheHostsMidiIsMappedAndPassedOnOnlyWhileAPortIsOpen)
{
    for (const bool withPort : {true, false}) {
        SCOPED_TRACE(withPort);
        testsupport::TempDir dir;
        synthsim::SimProcess sim;
        std::string error;
        ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                              {"--name", "shorthost" + std::to_string(::getpid()) + "-" + std::to_string(++serial),
                               "--record", dir.file("record.txt"), "--device-id", "15"},
                              error))
            << error;
        // The stored default ports, or none.
        testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                               "a\nnormal\nyes\n" + (withPort ? sim.inputPort() + "\n" + sim.outputPort() + "\n" : ""));
        const std::string out = dir.file("host.txt");
        FILE* host = hostscript::startHost(dir, out);
        ASSERT_NE(host, nullptr);
        // Part 2's cutoff by controller 74, and the host's own bank select.
        std::fputs("open\nmidi 0xB2 74 77 0\nmidi 0xB2 32 64 0\ngetparam 1506\n", host);
        std::fflush(host);
        const double cutoff = hostscript::printedParam(out, kFilterCutoff + 2);
        usleep(300 * 1000);
        std::fputs("close\n", host);
        EXPECT_EQ(pclose(host), 0);
        sim.stop();
        std::vector<Bytes> arrived;
        for (const auto& line : synthsim::readRecordFile(dir.file("record.txt")))
            if (line.direction == "in" && line.bytes[0] != 0xF0) arrived.push_back(line.bytes);
        if (withPort) {
            EXPECT_EQ(cutoff, 77);
            EXPECT_EQ(arrived, std::vector<Bytes>({{0xB2, 74, 77}}));
        } else {
            EXPECT_NE(cutoff, 77);
            EXPECT_TRUE(arrived.empty());
        }
    }
}
