// Seeded sequences of what a user asks of the synthesizer (program picks, the performance, the
// edit buffer and stored entries into the library, whole banks, Cancel, a port that goes and
// comes back, a new device id, pauses of any length) against an in-process synthesizer whose
// manners are drawn per sequence (reply shapes, stored or plain answers, late answers, silent
// spells, answers only to the N-th try, enquiries ignored, global dumps reversed, dumps nobody
// asked for), and now and then a second unit on the same input. Every pause of the editor and
// every delay of the synthesizer runs on one virtual clock, so no sequence sleeps; each message
// reaches the editor once its bytes have crossed the cable at 31,250 baud.
//
// The oracle reads only the synthesizer: its memory, what it answered and when each answer
// arrived. What the editor holds is measured through the dump writers (the editor's program of
// a part, its performance) and the library slots' bytes.
//
// QOR_SEQUENCE_SEED=N runs the sequence of seed N (QOR_SEQUENCE_COUNT=M: M seeds from N on)
// instead of the fixed set; a failing seed is printed with its sequence. QOR_SEQUENCE_LOG=1 adds
// each job's log and every request and reply with its times.
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/PatchManager.h"
#include "Project_Source/src/PerformanceDump.h"
#include "Project_Source/src/ProgramDump.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/SysexFamily.h"
#include "kit/kitstring.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"
#include "support/bankgen.h"
#include "support/insynth.h"
#include "support/tempdir.h"
#include "tools/synth-sim/midi_stream.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace qorid;
using Bytes = std::vector<uint8_t>;

namespace
{

// The sanitizers run each sequence many times slower: the first of the fixed seeds.
#if defined(__SANITIZE_THREAD__)
constexpr int kFixedSeeds = 20;
#elif defined(__SANITIZE_ADDRESS__)
constexpr int kFixedSeeds = 40;
#else
constexpr int kFixedSeeds = 200;
#endif
// Seeds past the fixed ones that once failed, run with them in release: a synthesizer later
// than a sync's quiet wait; a second answer to a stored request; an enquiry job's answers late
// past its own end, or taken for an earlier enquiry's; an unasked dump behind late answers;
// the vocoder lock in the follow-up; a follow-up kept by a picked part's gate; an ended
// request's sweep answered late into a later slot (three), an unasked dump as a request went;
// an id adopted between the two dumps of an enquiry's answer; another unit's dump in a job's
// last pauses (nine); a shifted reply, a stored program with bytes out of range, in the last
// pauses of a request cancelled before it went.
constexpr bool kRunFoundSeeds = kFixedSeeds == 200;
const uint32_t kFoundSeeds[] = {173485137, 902146,  900182,  500211,  900560,    901397,  610859323, 7300932,
                                8100074,   8101794, 8102172, 8100890, 609680645, 7000368, 7000456,   7000738,
                                7001204,   7001341, 7001491, 7001746, 7002646,   7002800, 52000752};

const int kPeriods[] = {50, 75, 100, 200, 300, 400, 500}; // kLibSyncTimer 0..6

// ---- a sequence -------------------------------------------------------------------------------

enum class Kind {
    Pick,                 // a program chosen on a part: program change, then job 7
    Performance,          // the Request button: job 6 into the editor
    PerformanceToLibrary, // job 6 into the selected performance slot
    EditToLibrary,        // job 11, the selected part's edit buffer
    StoredProgram,        // job 11
    StoredPerformance,    // job 9
    ProgramBank,          // job 12
    PerformanceBank,      // job 10
    PortCycle,            // the output goes and comes back: then the device's enquiry (job 18)
    NewId,                // the synthesizer's device id changes, the editor's with it or not
    PanelPerformance,     // a performance chosen on the synthesizer's own panel
};
const char* const kKindNames[] = {"pick",
                                  "performance",
                                  "performance into library",
                                  "edit buffer into library",
                                  "stored program",
                                  "stored performance",
                                  "program bank",
                                  "performance bank",
                                  "port closed and reopened",
                                  "new device id",
                                  "panel performance"};

enum class Act { None, Cancel, PortClose, NewId };
const char* const kActNames[] = {"", "Cancel", "port closed", "synthesizer's id changed"};

struct Step {
    Kind kind = Kind::Pick;
    int part = 0, program = 0, bank = 0, slot = 0;
    int pauseMs = 0; // before the step, nothing running
    int spellMs = 0; // the synthesizer answers nothing for this long from the step's start
    Act act = Act::None;
    int actAfterMs = 0; // after the job's start
    int newId = -1;
    bool editorFollows = false; // NewId: the user sets the editor's id too
    // PortCycle: the port closes once the first dump of an enquiry's answer has come, and
    // opens again before the second.
    bool betweenDumps = false;
};

struct Behaviour {
    synthsim::EditReply shape = synthsim::EditReply::Follow;
    uint8_t model = 0x20;
    bool plainPrograms = false, plainPerformances = false;
    int periodIndex = 2;
    int lateMs = 0, jitterMs = 0;
    int answerOnTry = 1;
    bool ignoreEnquiry = false, globalsReversed = false, unasked = false;
    int deviceId = 9;
    // The editor's section lock of this section (0 the first oscillator) on the parts of the mask.
    int lockSection = -1, lockedParts = 0;
    // A second unit at this id (-1: none), on a cable of its own merged into the same input,
    // sends program and performance dumps now and then, unasked; with unitBetween also a program
    // dump between the two dumps of each enquiry's answer (and with unitOnlyBetween only then).
    int unitId = -1;
    bool unitBetween = false, unitOnlyBetween = false;
    // The performances' follow-up names this part in its byte 8 (-1: as seeded).
    int followUpPart = -1;
};

struct Sequence {
    uint32_t seed = 0;
    Behaviour behaviour;
    std::vector<Step> steps;
};

const char* shapeName(synthsim::EditReply s)
{
    switch (s) {
    case synthsim::EditReply::Follow: return "follow";
    case synthsim::EditReply::Program: return "program";
    case synthsim::EditReply::Performance: return "performance";
    case synthsim::EditReply::Both: return "both";
    case synthsim::EditReply::AllParts: return "parts";
    case synthsim::EditReply::AllPartsThenPerformance: return "parts-performance";
    case synthsim::EditReply::ProgramThenPerformance: return "program-performance";
    }
    return "?";
}

std::string describe(const Sequence& s)
{
    const Behaviour& b = s.behaviour;
    std::ostringstream o;
    o << "seed " << s.seed << ": synthesizer at id " << b.deviceId << ", model " << std::hex << int(b.model) << std::dec
      << ", edit reply " << shapeName(b.shape) << ", stored programs " << (b.plainPrograms ? "plain" : "stored")
      << ", stored performances " << (b.plainPerformances ? "plain" : "stored") << ", period "
      << kPeriods[b.periodIndex] << " ms, late " << b.lateMs << "+" << b.jitterMs << " ms, answers try "
      << b.answerOnTry << (b.ignoreEnquiry ? ", ignores enquiries" : "")
      << (b.globalsReversed ? ", globals reversed" : "") << (b.unasked ? ", unasked dumps" : "");
    if (b.lockSection >= 0) o << ", section lock " << b.lockSection << " on part mask " << b.lockedParts;
    if (b.unitId >= 0)
        o << ", a second unit at id " << b.unitId
          << (b.unitOnlyBetween ? " between an answer's dumps only"
              : b.unitBetween   ? " and between an answer's dumps"
                                : "");
    if (b.followUpPart >= 0) o << ", follow-up naming part " << b.followUpPart + 1;
    o << "\n";
    for (size_t i = 0; i < s.steps.size(); ++i) {
        const Step& t = s.steps[i];
        o << "  " << i + 1 << ". after " << t.pauseMs << " ms: " << kKindNames[int(t.kind)];
        switch (t.kind) {
        case Kind::Pick: o << " program " << t.program << " on part " << t.part + 1; break;
        case Kind::EditToLibrary: o << " part " << t.part + 1 << " to slot " << t.slot; break;
        case Kind::StoredProgram:
        case Kind::StoredPerformance: o << " bank " << t.bank << " slot " << t.slot; break;
        case Kind::PerformanceToLibrary: o << " to slot " << t.slot; break;
        case Kind::ProgramBank:
        case Kind::PerformanceBank: o << " " << t.bank; break;
        case Kind::NewId: o << " " << t.newId << (t.editorFollows ? ", the editor set to it" : ""); break;
        case Kind::PanelPerformance: o << " slot " << t.program; break;
        default: break;
        }
        if (t.betweenDumps) o << " between the dumps of an answer";
        if (t.spellMs) o << "; silent for " << t.spellMs << " ms";
        if (t.act != Act::None) {
            o << "; " << kActNames[int(t.act)] << " after " << t.actAfterMs << " ms";
            if (t.act == Act::NewId) o << " (to " << t.newId << ")";
        }
        o << "\n";
    }
    return o.str();
}

Sequence generate(uint32_t seed)
{
    std::mt19937 rng(seed);
    const auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const auto chance = [&rng](double p) { return std::bernoulli_distribution(p)(rng); };
    Sequence s;
    s.seed = seed;
    Behaviour& b = s.behaviour;
    b.shape = synthsim::EditReply(pick(0, 6));
    b.model = chance(0.5) ? 0x21 : 0x20;
    b.plainPrograms = chance(0.4);
    b.plainPerformances = chance(0.4);
    b.periodIndex = pick(0, 6);
    const int period = kPeriods[b.periodIndex];
    // Mostly prompt; sometimes a period or two late; sometimes past the time-outs, but within
    // the longest reply wait (66 periods), after which nothing is owed any more.
    const int lateness = pick(0, 9);
    b.lateMs = lateness < 5 ? 0 : lateness < 8 ? pick(1, 3 * period) : (40 + (pick(40, 80) - 40) * 22 / 40) * period;
    b.jitterMs = chance(0.3) ? pick(1, period) : 0;
    b.answerOnTry = chance(0.2) ? pick(2, 3) : 1;
    b.ignoreEnquiry = chance(0.25);
    b.globalsReversed = chance(0.3);
    b.unasked = chance(0.3);
    b.deviceId = pick(8, 15);
    if (chance(0.25))
        b.lockSection = pick(0, (kSectionLockVocoder - kSectionLockOsc1) / 8), b.lockedParts = pick(1, 255);
    const int longest = (66 + 16) * period;
    const int steps = pick(3, 8);
    int id = b.deviceId;
    for (int i = 0; i < steps; ++i) {
        Step t;
        const int k = pick(0, 99);
        t.kind = k < 22   ? Kind::Pick
                 : k < 34 ? Kind::Performance
                 : k < 40 ? Kind::PerformanceToLibrary
                 : k < 50 ? Kind::EditToLibrary
                 : k < 60 ? Kind::StoredProgram
                 : k < 68 ? Kind::StoredPerformance
                 : k < 74 ? Kind::ProgramBank
                 : k < 78 ? Kind::PerformanceBank
                 : k < 86 ? Kind::PortCycle
                 : k < 92 ? Kind::NewId
                          : Kind::PanelPerformance;
        t.part = pick(0, 7);
        t.program = pick(0, t.kind == Kind::PanelPerformance ? 7 : 15);
        t.bank = t.kind == Kind::StoredPerformance || t.kind == Kind::PerformanceBank ? 0 : pick(0, 1);
        t.slot = pick(0, 127);
        const int p = pick(0, 9);
        t.pauseMs = p < 3   ? 0
                    : p < 5 ? pick(1, period)
                    : p < 8 ? pick(period, 20 * period)
                            : pick(longest, 2 * longest);
        t.spellMs = chance(0.12) ? pick(1, 60 * period) : 0;
        const bool job = t.kind != Kind::NewId && t.kind != Kind::PanelPerformance && t.kind != Kind::PortCycle;
        if (job && chance(0.3)) {
            const int a = pick(0, 9);
            t.act = a < 6 ? Act::Cancel : a < 8 ? Act::PortClose : Act::NewId;
            t.actAfterMs =
                pick(0, t.kind == Kind::ProgramBank || t.kind == Kind::PerformanceBank ? 200 * period : 60 * period);
        }
        if (t.kind == Kind::NewId || t.act == Act::NewId) {
            do t.newId = pick(8, 15);
            while (t.newId == id);
            id = t.newId;
            t.editorFollows = t.kind == Kind::NewId && chance(0.6);
        }
        s.steps.push_back(t);
    }
    // Drawn after the rest, so that the seeds kept for their sequences keep them.
    if (chance(0.3)) b.unitId = pick(0, 7); // the synthesizer's ids are 8 to 15
    // A follow-up that names a picked part passes that part's gate while its program is awaited.
    const auto firstPick =
        std::find_if(s.steps.begin(), s.steps.end(), [](const Step& t) { return t.kind == Kind::Pick; });
    if (b.model == 0x21 && firstPick != s.steps.end() && chance(0.6)) b.followUpPart = firstPick->part;
    // A Cancel at the start of a job lands in its wait for the sync's answer or for quiet.
    for (Step& t : s.steps) {
        const bool job = t.kind != Kind::NewId && t.kind != Kind::PanelPerformance && t.kind != Kind::PortCycle;
        if (job && t.act == Act::None && chance(0.2)) t.act = Act::Cancel, t.actAfterMs = pick(0, 2 * period);
    }
    b.unitBetween = b.unitId >= 0 && chance(0.3);
    for (Step& t : s.steps) t.betweenDumps = t.kind == Kind::PortCycle && chance(0.3);
    return s;
}

// ---- the rig --------------------------------------------------------------------------------

class Rig;

// The controller's port, wired to the rig's virtual cable.
class Controller : public testsupport::InSynthQOR
{
public:
    Controller(const synthsim::Options& o, Rig* rig) : InSynthQOR(o), rig(rig) {}
    bool SendMidiSysex(unsigned char* data, int size) override;
    bool SendMidiSysex2(std::vector<unsigned char> bytes) override;
    bool SendMidiMsg(IMidiMsg* msg) override;
    void ProcessSysEx(ISysEx* msg, bool fromDevice) override;
    // The banks under test are in memory only: a rescan after a cancelled bank would drop them.
    void OnParamChange(int idx) override
    {
        if (idx != kRefreshFolders) InSynthQOR::OnParamChange(idx);
    }
    Rig* rig;

protected:
    void toWire(const Bytes& bytes) override;
};

// One message of the synthesizer on its way, and what it answered.
struct Reply {
    int64_t dueMs;
    Bytes bytes;
    int job;         // the job whose request it answers, -1 for none
    bool enquiry;    // the answer of an enquiry
    int asked;       // the slot a stored request asked for, -1 for other requests
    int64_t arrived; // -1 until delivered, -2 lost with the port
    int64_t askedMs; // when its request was sent, or when the synthesizer made a dump nobody asked for
    bool unit = false;  // the second unit's
    int64_t order = -1; // its place among the sends and arrivals, once arrived
    bool pairFirst = false; // the first of an enquiry's two global dumps
};

struct Sent {
    int64_t atMs;
    Bytes bytes;
    int job;
    int64_t order;
};

enum class Component { Part, Performance, ProgramSlot, PerformanceSlot };

class Rig
{
public:
    Rig(const Sequence& s) : seq(s), behaviour(s.behaviour), period(kPeriods[s.behaviour.periodIndex]) {}
    ~Rig()
    {
        if (plug) {
            plug->midiManager->stopAndJoin();
            plug->session.output().stop();
        }
        plug.reset();
    }

    // Everything the run found wrong, empty when the sequence passed.
    std::string run();

    // ---- the cable, the clock ----
    void fromEditor(const Bytes& message)
    {
        std::lock_guard<std::mutex> lock(mLock);
        sent.push_back({clockMs, message, currentJob, ++order});
        if (message.empty() || !plug) return;
        const bool request = message[0] == 0xF0;
        if (request && clockMs < spellEndMs) return; // a silent spell: nothing is answered
        for (const Bytes& m : synthsim::splitMidiInput(message.data(), message.size())) {
            synthsim::Handled h = plug->session.synth().receive(m, double(clockMs) / 1000.0);
            const bool enquiry = m.size() > 7 && m[0] == 0xF0 && m[7] == 0x10;
            const int asked = m.size() == 11 && m[0] == 0xF0 && m[7] == 0x13 ? m[9] : -1;
            // The reply leaves after its delay, behind whatever is still on the cable.
            const int64_t late =
                behaviour.lateMs + (behaviour.jitterMs ? int64_t(rng() % unsigned(behaviour.jitterMs)) : 0);
            for (size_t k = 0; k < h.replies.size(); ++k) {
                const int64_t due = onCable(clockMs + late, h.replies[k].bytes.size());
                pending.push_back({due, std::move(h.replies[k].bytes), currentJob, enquiry, asked, -1, clockMs});
                pending.back().pairFirst = enquiry && k == 0 && h.replies.size() == 2;
            }
        }
    }
    // Dumps the synthesizer sends with no request.
    void unasked(const std::vector<Bytes>& messages)
    {
        std::lock_guard<std::mutex> lock(mLock);
        for (const Bytes& m : messages) pending.push_back({onCable(clockMs, m.size()), m, -1, false, -1, -1, clockMs});
    }
    // A message that starts to cross its cable (the synthesizer's, or the second unit's) at
    // fromMs, or once the one before it has crossed, at 31,250 baud: when its last byte has
    // arrived. The merger hands each message on whole once it came, whichever cable it came on.
    // Under mLock.
    int64_t onCable(int64_t fromMs, size_t size, bool unit = false)
    {
        constexpr int64_t kByteUs = 320;
        int64_t& freeUs = unit ? unitCableFreeUs : cableFreeUs;
        freeUs = std::max(freeUs, fromMs * 1000) + int64_t(size) * kByteUs;
        return (freeUs + 999) / 1000;
    }
    // The first of an answer's two dumps, not yet come, and its second; nullptr when none.
    // Under mLock.
    std::pair<const Reply*, const Reply*> nextPair() const
    {
        for (size_t k = 0; k + 1 < pending.size(); ++k)
            if (pending[k].pairFirst && pending[k].arrived == -1) return {&pending[k], &pending[k + 1]};
        return {nullptr, nullptr};
    }
    // The second unit's next dumps, at unitNextMs on its own time. Under mLock.
    void unitSends()
    {
        const std::vector<Bytes>& group = unitDumps[unitRng() % unitDumps.size()];
        for (const Bytes& m : group) {
            pending.push_back({onCable(clockMs, m.size(), true), m, -1, false, -1, -1, clockMs});
            pending.back().unit = true;
        }
        unitNextMs = clockMs + 1 + int64_t(unitRng() % unsigned(kUnitSpellPeriods * period));
    }
    // A program dump of the second unit that arrives between an answer's first dump, come now,
    // and its second. Under mLock.
    void unitBetween(const Reply& second)
    {
        const Bytes& m = unitDumps[2 * (unitRng() % 8)].front();
        const int64_t at = clockMs + std::max<int64_t>(1, (second.dueMs - clockMs) / 2);
        const int64_t start = at - (int64_t(m.size()) * 320 + 999) / 1000;
        if (unitCableFreeUs > start * 1000) return; // its cable is busy with another
        pending.push_back({onCable(start, m.size(), true), m, -1, false, -1, -1, start});
        pending.back().unit = true;
    }
    int64_t now()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return clockMs;
    }
    // Time passes; what comes due meanwhile arrives, through the synthesizer's output thread, each
    // at its own time: the editor's input hands a message over as it comes, whatever its jobs
    // wait for, and the clock stands at that time while the editor takes it.
    void passTime(int ms)
    {
        int64_t end;
        {
            std::lock_guard<std::mutex> lock(mLock);
            end = clockMs + std::max(ms, 1);
            if (inDelivery) { // a pause inside a delivery: the rest arrives after it
                clockMs = end;
                return;
            }
        }
        for (;;) {
            std::vector<Bytes> due;
            {
                std::lock_guard<std::mutex> lock(mLock);
                int64_t next = std::max(end, clockMs);
                if (unitNextMs >= 0 && unitNextMs <= next) next = std::max(unitNextMs, clockMs);
                for (const Reply& r : pending)
                    if (r.arrived == -1 && r.dueMs <= next) next = std::max(r.dueMs, clockMs);
                clockMs = next;
                if (unitNextMs >= 0 && unitNextMs <= clockMs) unitSends();
                const size_t count = pending.size();
                for (size_t k = 0; k < count; ++k) {
                    Reply& r = pending[k];
                    if (r.arrived == -1 && r.dueMs <= clockMs) {
                        r.arrived = portOpen ? clockMs : -2;
                        if (portOpen) due.push_back(r.bytes), r.order = ++order;
                        if (r.pairFirst && behaviour.unitBetween && k + 1 < count && pending[k + 1].dueMs > clockMs)
                            unitBetween(pending[k + 1]);
                    }
                }
                if (due.empty() && clockMs >= end) return;
            }
            for (Bytes& b : due) plug->session.output().post(std::move(b), 0, "");
            if (!due.empty()) plug->session.output().drain();
        }
    }
    // The output closes or opens, as the port layer tells the editor.
    void setPort(bool open)
    {
        portOpen = open;
        plug->midiIOSet = open;
        static_cast<IPluginBase&>(*plug).OnExternalMIDIPortChanged(false);
        std::lock_guard<std::mutex> lock(mLock);
        portChangedMs.push_back(clockMs);
    }
    // Answers whose two dumps came with a dump of the second unit, or a port change, between them.
    int splitAnswers(bool byPort)
    {
        std::lock_guard<std::mutex> lock(mLock);
        int n = 0;
        for (size_t k = 0; k + 1 < pending.size(); ++k) {
            const int64_t from = pending[k].arrived, to = pending[k + 1].arrived;
            if (!pending[k].pairFirst || from < 0 || to < 0) continue;
            const auto between = [&](int64_t t) { return t >= from && t <= to; };
            bool split = false;
            if (byPort) split = std::any_of(portChangedMs.begin(), portChangedMs.end(), between);
            for (const Reply& r : pending) split = split || (!byPort && r.unit && r.arrived > from && r.arrived < to);
            n += split;
        }
        return n;
    }
    // Nothing runs: time passes in steps of a period.
    void idle(int ms)
    {
        for (int left = ms; left > 0; left -= period) passTime(std::min(left, period));
    }

    // ---- what the editor holds ----
    double value(int id)
    {
        const IParam* p = plug->GetParam(id);
        return p ? p->Value() : 0.0;
    }
    std::string name(int index)
    {
        std::lock_guard<std::mutex> lock(plug->patchManager->namesLock);
        const auto& names = plug->patchManager->patch.names;
        return size_t(index) < names.size() ? names[size_t(index)] : std::string();
    }
    Bytes partBytes(const ProgramDump::ValueOf& v, int part, const std::string& name)
    {
        Bytes d(ProgramDump::kSize);
        ProgramDump::write(v, part, behaviour.model, name, d.data());
        return Bytes(d.begin() + 9, d.begin() + 295);
    }
    Bytes performanceBytes(const PerformanceDump::ValueOf& v, const std::string& name)
    {
        Bytes d(SysexFamily::kPerformanceDumpSize);
        PerformanceDump::writeDump(v, behaviour.model, name, d.data());
        Bytes out(d.begin() + 8, d.begin() + 380);
        if (behaviour.model == 0x21) {
            Bytes f(SysexFamily::kFollowUpSize);
            PerformanceDump::writeFollowUp(v, behaviour.model, f.data());
            out.insert(out.end(), f.begin() + 8, f.begin() + 24);
        }
        return out;
    }
    Bytes partNow(int part)
    {
        return partBytes([this](int id) { return value(id); }, part, name(part + 1));
    }
    Bytes performanceNow()
    {
        return performanceBytes([this](int id) { return value(id); }, name(0));
    }
    // What the editor's parsers set from a dump it takes: a program dump (on its part, past the
    // part's section locks), a performance dump or its follow-up, each value as the editor sets
    // it, held to the parameter's range and steps; and the name it gives.
    struct Taken {
        std::map<int, double> values;
        int named = -2; // the part named, -1 the performance, -2 none
        std::string name;
    };
    Taken taken(const Bytes& m)
    {
        Taken t;
        const auto set = [this, &t](int id, double v) {
            const IParam* p = plug->GetParam(id);
            if (!p) return;
            // As the editor surface sets a parameter from a dump.
            IParam held;
            held.type = p->type, held.min = p->min, held.max = p->max, held.step = p->step, held.shape = p->shape;
            held.SetNormalized(p->GetNormalized(v));
            t.values[id] = held.Value();
        };
        const auto editor = [this](int id) { return value(id); };
        PerformanceDump::ReadOptions o;
        o.outputsLocked = value(kSectionLockMultiOutputs) == 1.0;
        o.partIndexChannels = plug->libraryPerformanceTransfer;
        o.vocoderLocked = value(kSectionLockVocoder) == 1.0;
        if (ProgramDump::isProgramDump(m.data(), m.size())) {
            const int part = m[ProgramDump::kPartAt];
            ProgramDump::readParameters(m.data(), part, ProgramDump::Locks(editor, part), set);
            t.named = part, t.name = ProgramDump::nameOf(m.data());
        } else if (PerformanceDump::readDump(m.data(), m.size(), set, o)) {
            t.named = -1, t.name = PerformanceDump::readName(m.data());
        } else {
            PerformanceDump::readFollowUp(m.data(), m.size(), set, o);
        }
        return t;
    }
    // What a component that held these bytes holds once the editor has taken t: read back
    // through the parsers, t laid over, written again.
    Bytes takenOver(Component c, int part, const Bytes& held, const Taken& t)
    {
        std::map<int, double> v;
        const auto keep = [&v](int id, double x) { v[id] = x; };
        const auto none = [](int) { return 0.0; };
        std::string name(held.begin(), held.begin() + 16);
        if (c == Component::Part) {
            Bytes d(ProgramDump::kSize);
            ProgramDump::write(none, part, behaviour.model, "", d.data());
            std::copy(held.begin(), held.end(), d.begin() + 9);
            ProgramDump::readParameters(d.data(), part, ProgramDump::Locks(none, part), keep);
        } else {
            Bytes d(SysexFamily::kPerformanceDumpSize), f(SysexFamily::kFollowUpSize);
            PerformanceDump::writeDump(none, behaviour.model, "", d.data());
            PerformanceDump::writeFollowUp(none, behaviour.model, f.data());
            std::copy(held.begin(), held.begin() + 372, d.begin() + 8);
            PerformanceDump::readDump(d.data(), d.size(), keep, {});
            if (held.size() > 372) {
                std::copy(held.begin() + 372, held.end(), f.begin() + 8);
                PerformanceDump::readFollowUp(f.data(), f.size(), keep, {});
            }
        }
        for (const auto& [id, x] : t.values) v[id] = x;
        if (t.named == (c == Component::Part ? part : -1)) name = t.name;
        const auto now = [this, &v](int id) {
            const auto it = v.find(id);
            return it != v.end() ? it->second : value(id);
        };
        return c == Component::Part ? partBytes(now, part, name) : performanceBytes(now, name);
    }
    PatchFile* bank(bool performances)
    {
        PatchLibrarian& lib = *plug->patchLibrarian;
        auto& list = performances ? lib.multiFiles : lib.singleFiles;
        return list.empty() ? nullptr : list[0];
    }
    // A slot's data bytes: each message from byte 10 to before its F7.
    Bytes slotNow(bool performances, int slot)
    {
        std::lock_guard<std::recursive_mutex> hold(plug->patchLibrarian->mLock);
        PatchFile* f = bank(performances);
        Bytes out;
        if (!f || size_t(slot) >= f->patches.size()) return out;
        for (const auto& m : f->patches[size_t(slot)].messages) {
            if (m.bytes.size() < 11) {
                out.push_back(0xFF); // no data: never a synthesizer's entry
                continue;
            }
            out.insert(out.end(), m.bytes.begin() + 10, m.bytes.end() - 1);
        }
        return out;
    }
    std::string status()
    {
        KIT_String s("", 0, 256);
        if (plug->statusDisplay) plug->statusDisplay->GetTextCopy(&s);
        return s.Get();
    }

    const Sequence& seq;
    const Behaviour& behaviour;
    const int period;
    testsupport::TempDir dir;
    std::unique_ptr<Controller> plug;
    std::mutex mLock;
    int64_t clockMs = 0, spellEndMs = 0;
    int64_t cableFreeUs = 0, unitCableFreeUs = 0; // when each cable is free, in microseconds
    int64_t order = 0;       // sends and arrivals counted
    std::vector<Reply> pending;
    std::vector<Sent> sent;
    int currentJob = -1;
    std::atomic<bool> portOpen{true};
    std::vector<int64_t> portChangedMs;
    std::minstd_rand rng{1};
    const std::thread::id mainThread = std::this_thread::get_id();
    // The second unit: what it sends, when next (-1: never), its own draws.
    static constexpr int kUnitSpellPeriods = 30;
    std::vector<std::vector<Bytes>> unitDumps;
    int64_t unitNextMs = -1;
    std::minstd_rand unitRng{1};
    // Jobs that may have taken an unasked dump for their reply.
    std::set<int> limitedJobs;
    static thread_local bool inDelivery;

    // The act of the running job's step, done once in one of its pauses.
    std::mutex mActLock;
    const Step* actStep = nullptr;
    int64_t jobStartMs = 0;
    bool acted = false;
    Act actedKind = Act::None;
    int64_t actedAtMs = -1;

private:
    void build();
    void seedSynth();

public:
    // One line per job: its times and how it ended.
    std::ostringstream journal;
    // What went wrong at a step that met a limit nothing on the line can overcome.
    std::ostringstream limits;
};

thread_local bool Rig::inDelivery = false;

bool Controller::SendMidiSysex(unsigned char* data, int size)
{
    if (!rig->portOpen) return false;
    return InSynthQOR::SendMidiSysex(data, size);
}
bool Controller::SendMidiSysex2(std::vector<unsigned char> bytes)
{
    if (!rig->portOpen) return false;
    return InSynthQOR::SendMidiSysex2(std::move(bytes));
}
bool Controller::SendMidiMsg(IMidiMsg* msg)
{
    if (!rig->portOpen) return false;
    return InSynthQOR::SendMidiMsg(msg);
}
void Controller::ProcessSysEx(ISysEx* msg, bool fromDevice)
{
    Rig::inDelivery = true;
    InSynthQOR::ProcessSysEx(msg, fromDevice);
    Rig::inDelivery = false;
}
void Controller::toWire(const Bytes& bytes)
{
    rig->fromEditor(bytes);
}

} // namespace

namespace
{

uint32_t mix(uint32_t a, uint32_t b)
{
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u + (a << 6) + (a >> 2));
    h ^= h >> 15, h *= 0x2C1B3C6Du, h ^= h >> 12;
    return h;
}

// The ids a writer reads for one part.
std::set<int> idsRead(const std::function<void(const ProgramDump::ValueOf&)>& write)
{
    std::set<int> ids;
    write([&ids](int id) {
        ids.insert(id);
        return 0.0;
    });
    return ids;
}

void Rig::build()
{
    synthsim::Options o;
    o.deviceId = behaviour.deviceId;
    o.model = behaviour.model;
    o.editReply = behaviour.shape;
    o.storedProgramReply = behaviour.plainPrograms ? synthsim::StoredForm::Dump : synthsim::StoredForm::Stored;
    o.storedPerformanceReply = behaviour.plainPerformances ? synthsim::StoredForm::Dump : synthsim::StoredForm::Stored;
    o.answerOnTry = behaviour.answerOnTry;
    o.ignoreEnquiry = behaviour.ignoreEnquiry;
    o.globalsReversed = behaviour.globalsReversed;
    rng.seed(seq.seed);
    plug = testsupport::makeFromBundle<Controller>(dir.path, o, this);
    Controller& q = *plug;
    q.currentModel = behaviour.model - 0x20;
    q.GetParam(kLibSyncTimer)->Set(behaviour.periodIndex);
    q.GetParam(kGlobalMidiChannel)->Set(behaviour.deviceId);
    q.deviceId = behaviour.deviceId;
    q.midiManager->dueClock = [this] { return now(); };
    q.midiManager->sender->onPause = [this](int& ms) {
        passTime(ms);
        ms = 0;
        // A pause of the user's own thread (a program change's) comes before the job is claimed,
        // and the claim clears a Cancel: the act is the job's, in one of its pauses.
        if (std::this_thread::get_id() == mainThread) return;
        std::lock_guard<std::mutex> lock(mActLock);
        if (!actStep || acted || now() < jobStartMs + actStep->actAfterMs) return;
        acted = true;
        actedKind = actStep->act;
        actedAtMs = now();
        if (actStep->act == Act::Cancel) {
            plug->midiManager->sender->cancelRequested = true;
        } else if (actStep->act == Act::PortClose) {
            setPort(false);
        } else if (actStep->act == Act::NewId) {
            synthsim::Options n = plug->session.synth().options();
            n.deviceId = actStep->newId;
            plug->session.synth().setOptions(n);
        }
    };
    // One bank of each kind in the upper pane, empty.
    PatchLibrarian& lib = *q.patchLibrarian;
    for (auto* list : {&lib.singleFiles, &lib.multiFiles}) {
        auto* bank = new PatchFile;
        bank->patches.resize(128);
        bank->fileName = "Upper.syx";
        list->push_back(lib.adoptBank(bank));
    }
    seedSynth();
}

// The synthesizer's programs A 0..15, its performances A 0..7 and its edit buffers are written
// from seeded values in each parameter's range, so that whatever reaches the editor can be read
// back through the writers. The other entries are the generator's.
void Rig::seedSynth()
{
    Controller& q = *plug;
    std::vector<std::string> notes;
    synthsim::Synth& synth = q.session.synth();
    synth.load(bankgen::synthBanks(bankgen::Kind::Programs, 2), notes);
    synth.load(bankgen::synthBanks(bankgen::Kind::Performances, 1), notes);
    const uint8_t model = behaviour.model, dev = uint8_t(behaviour.deviceId);
    // The vocoder settings are the same in every program: any program sets them for all parts.
    const std::set<int> part0 = idsRead([&](const ProgramDump::ValueOf& v) {
        Bytes d(ProgramDump::kSize);
        ProgramDump::write(v, 0, model, "", d.data());
    });
    const std::set<int> part1 = idsRead([&](const ProgramDump::ValueOf& v) {
        Bytes d(ProgramDump::kSize);
        ProgramDump::write(v, 1, model, "", d.data());
    });
    std::set<int> shared;
    std::set_intersection(part0.begin(), part0.end(), part1.begin(), part1.end(), std::inserter(shared, shared.end()));
    const auto random = [this, &shared](uint32_t entry, int id) {
        const IParam* p = plug->GetParam(id);
        if (!p) return 0.0;
        const int lo = int(p->GetMin());
        int hi = int(p->GetMax());
        if (id == kVocoderWidth) hi = std::min(hi, 16); // above 16 it has no byte
        const uint32_t h = mix(shared.count(id) ? 7u : entry, uint32_t(id) ^ seq.seed);
        return double(lo + int(h % uint32_t(hi - lo + 1)));
    };
    for (int id : shared) q.GetParam(id)->Set(random(0, id));
    for (int k = 0; k < 8; ++k)
        if (behaviour.lockedParts >> k & 1) q.GetParam(kSectionLockOsc1 + 8 * behaviour.lockSection + k)->Set(1);
    std::vector<Bytes> load;
    for (int slot = 0; slot < 16; ++slot) {
        Bytes d(ProgramDump::kSize);
        const std::string n = "Pick " + std::to_string(seq.seed % 1000) + "/" + std::to_string(slot);
        ProgramDump::write([&](int id) { return random(uint32_t(100 + slot), id); }, 0, model, n, d.data());
        load.push_back(synthsim::buildStoredProgram(model, dev, 5, uint8_t(slot), d.data() + 9));
    }
    std::set<int> picked;
    for (const Step& t : seq.steps)
        if (t.kind == Kind::Pick) picked.insert(t.part);
    const auto pinned = [&](uint32_t entry, int id) {
        if (id == kMultiSmallCase08 && behaviour.followUpPart >= 0) {
            const double seeded = random(entry, id);
            return picked.count(int(seeded)) ? seeded : double(behaviour.followUpPart);
        }
        for (int k = 0; k < 8; ++k) {
            if (id == kMultiPartMIDICh + k) return double(k);
            if (id == kMultiPartBank + k) return 0.0;
            if (id == kMultiPartProgramChange + k || id == kMultiPartControlChange + k)
                return double(plug->GetParam(id)->GetMax());
        }
        return random(entry, id);
    };
    for (int slot = 0; slot < 8; ++slot) {
        Bytes d(SysexFamily::kPerformanceDumpSize), f(SysexFamily::kFollowUpSize);
        const auto v = [&](int id) { return pinned(uint32_t(200 + slot), id); };
        PerformanceDump::writeDump(v, model, "Perf " + std::to_string(slot), d.data());
        PerformanceDump::writeFollowUp(v, model, f.data());
        load.push_back(synthsim::buildStoredPerformance(model, dev, 1, uint8_t(slot), d.data() + 8));
        load.push_back(synthsim::buildStoredFollowUp(model, dev, 1, uint8_t(slot), f.data() + 8));
    }
    synth.load(load, notes);
    if (behaviour.unitId >= 0) {
        // The second unit's own entries, with the settings every program shares.
        const uint8_t unit = uint8_t(behaviour.unitId);
        for (int k = 0; k < 8; ++k) {
            Bytes d(ProgramDump::kSize), p(SysexFamily::kPerformanceDumpSize), f(SysexFamily::kFollowUpSize);
            ProgramDump::write([&](int id) { return random(uint32_t(300 + k), id); }, k, model,
                               "Unit " + std::to_string(k), d.data());
            unitDumps.push_back({synthsim::buildProgramDump(model, unit, uint8_t(k), d.data() + 9)});
            const auto v = [&](int id) { return pinned(uint32_t(400 + k), id); };
            PerformanceDump::writeDump(v, model, "Unit perf " + std::to_string(k), p.data());
            PerformanceDump::writeFollowUp(v, model, f.data());
            std::vector<Bytes> m{synthsim::buildPerformanceDump(model, unit, p.data() + 8)};
            if (model == 0x21) m.push_back(synthsim::buildFollowUp(model, unit, f.data() + 8));
            unitDumps.push_back(m);
        }
        unitRng.seed(mix(seq.seed, 109));
        if (!behaviour.unitOnlyBetween) unitNextMs = int64_t(unitRng() % unsigned(kUnitSpellPeriods * period));
    }
    // The panel: performance A 0, then program k on part k.
    synth.panel({uint8_t(0xC0 | behaviour.deviceId), 0});
    for (int k = 0; k < 8; ++k) synth.panel({uint8_t(0xC0 | k), uint8_t(k)});
    // The editor's parts on the same channels and bank.
    for (int k = 0; k < 8; ++k) {
        q.GetParam(kMultiPartMIDICh + k)->Set(k);
        q.GetParam(kMultiPartBank + k)->Set(0);
    }
}

} // namespace

namespace
{

constexpr const char* kCompleted = "Data request completed!";
constexpr const char* kTimedOut = "CONNECTION TIMED OUT!";
constexpr const char* kReady = "Plug-in is ready to go!";
constexpr const char* kNoResponse = "No response from Hardware)";

// What the editor holds, measured.
struct State {
    std::array<Bytes, 8> parts;
    Bytes performance;
    std::array<Bytes, 128> programSlots, performanceSlots;
};

struct Expect {
    // Per component, the values allowed after a job; a component not named keeps its value.
    std::map<std::pair<Component, int>, std::vector<Bytes>> allowed;
    // Parts with a section lock: taken when they carry the answer's name.
    std::set<int> mixed;
    void allow(Component c, int index, const Bytes& old, const Bytes* fresh, bool onlyFresh)
    {
        auto& list = allowed[{c, index}];
        list.clear();
        if (!onlyFresh || !fresh) list.push_back(old);
        if (fresh) list.push_back(*fresh);
    }
};

const char* componentName(Component c)
{
    switch (c) {
    case Component::Part: return "part";
    case Component::Performance: return "performance";
    case Component::ProgramSlot: return "program slot";
    case Component::PerformanceSlot: return "performance slot";
    }
    return "?";
}

Bytes body(const Bytes& m, size_t from, size_t to)
{
    return m.size() >= to ? Bytes(m.begin() + long(from), m.begin() + long(to)) : Bytes();
}

} // namespace

std::string Rig::run()
{
    build();
    Controller& q = *plug;
    const int P = period;
    std::ostringstream fail;
    const auto snapshot = [this] {
        State s;
        for (int k = 0; k < 8; ++k) s.parts[size_t(k)] = partNow(k);
        s.performance = performanceNow();
        for (int slot = 0; slot < 128; ++slot) {
            s.programSlots[size_t(slot)] = slotNow(false, slot);
            s.performanceSlots[size_t(slot)] = slotNow(true, slot);
        }
        return s;
    };
    const auto get = [](const State& s, Component c, int i) -> const Bytes& {
        switch (c) {
        case Component::Part: return s.parts[size_t(i)];
        case Component::Performance: return s.performance;
        case Component::ProgramSlot: return s.programSlots[size_t(i)];
        default: return s.performanceSlots[size_t(i)];
        }
    };
    const bool vocoderLocked = behaviour.model == 0x21 && behaviour.lockedParts & 1 &&
                               behaviour.lockSection == (kSectionLockVocoder - kSectionLockOsc1) / 8;
    // Every component is as allowed, or as it was.
    // to: where a component's failure goes (fail when none); one line per place.
    const auto check = [&](const State& before, const State& after, const Expect& e, const std::string& when,
                           const std::function<std::ostream&(Component, int)>& to = nullptr) {
        bool ok = true;
        std::set<std::ostream*> told;
        const auto one = [&](Component c, int i) {
            const Bytes& now = get(after, c, i);
            const auto it = e.allowed.find({c, i});
            bool fine = it == e.allowed.end()
                            ? now == get(before, c, i)
                            : std::find(it->second.begin(), it->second.end(), now) != it->second.end();
            // A part with a section lock keeps the locked fields, some of which share bytes with
            // others: the name tells which program it took, and one that took none is unchanged.
            if (!fine && c == Component::Part && e.mixed.count(i) && it != e.allowed.end() && now.size() > 16) {
                const Bytes name(now.begin(), now.begin() + 16);
                for (const Bytes& fresh : it->second)
                    fine = fine || (fresh.size() == now.size() && Bytes(fresh.begin(), fresh.begin() + 16) == name &&
                                    fresh != get(before, c, i));
            }
            // The vocoder lock of part 1 keeps the follow-up's vocoder fields: the rest is taken.
            if (!fine && c == Component::Performance && vocoderLocked && it != e.allowed.end()) {
                const Bytes& old = get(before, c, i);
                const size_t from = now.size() - std::min(now.size(), size_t(16));
                for (const Bytes& fresh : it->second) {
                    bool mixed = fresh.size() == now.size() && old.size() == now.size() && from > 0 &&
                                 std::equal(now.begin(), now.begin() + long(from), fresh.begin());
                    for (size_t k = from; mixed && k < now.size(); ++k) mixed = now[k] == fresh[k] || now[k] == old[k];
                    fine = fine || mixed;
                }
            }
            std::ostream& out = to ? to(c, i) : fail;
            if (!fine && told.insert(&out).second) {
                out << when << ": " << componentName(c) << " " << (c == Component::Part ? i + 1 : i)
                    << (it == e.allowed.end()      ? " changed"
                        : now == get(before, c, i) ? " kept its old value"
                                                   : " holds a value that is neither its old one nor the answer")
                    << "\n";
            }
            ok = ok && fine;
        };
        for (int k = 0; k < 8; ++k) one(Component::Part, k);
        one(Component::Performance, 0);
        for (int slot = 0; slot < 128; ++slot) one(Component::ProgramSlot, slot), one(Component::PerformanceSlot, slot);
        return ok;
    };

    State base = snapshot();
    // One job's outcome against what the synthesizer answered it, and when.
    const auto evaluate = [&](int index, Kind kind, int part, int program, int slot, int bank, int64_t endMs,
                              const std::string& status, const std::string& what) {
        const State after = snapshot();
        std::vector<Sent> mine;
        std::vector<Reply> replies, unaskedIn;
        int64_t actAt = -1;
        Act actKind = Act::None;
        {
            std::lock_guard<std::mutex> lock(mLock);
            for (const Sent& x : sent)
                if (x.job == index) mine.push_back(x);
            for (const Reply& x : pending)
                if (x.job < 0 && !x.unit && x.arrived >= jobStartMs && x.arrived <= endMs) unaskedIn.push_back(x);
            for (size_t k = 0; k < pending.size(); ++k) {
                // The enquiry job takes global dumps from wherever they come: they describe the
                // device as it is. Not the rest of an answer whose first dump came before it.
                const Reply& x = pending[k];
                const bool restOfEarlier = k > 0 && pending[k - 1].pairFirst && pending[k - 1].arrived >= 0 &&
                                           pending[k - 1].arrived < jobStartMs;
                if (x.arrived >= 0 &&
                    (kind == Kind::PortCycle ? x.arrived >= jobStartMs && x.arrived <= endMs && !restOfEarlier
                                             : x.job == index && !x.enquiry))
                    replies.push_back(x);
            }
        }
        {
            std::lock_guard<std::mutex> lock(mActLock);
            // The synthesizer's id changing is no end of the request: the sweep finds it.
            if (acted && actedKind != Act::NewId) actAt = actedAtMs, actKind = actedKind;
        }
        // In the order the input handed them over, which within a millisecond may be either cable's.
        const auto handedOver = [](const Reply& a, const Reply& b) { return a.order < b.order; };
        std::sort(replies.begin(), replies.end(), handedOver);
        const bool enquiryJob = kind == Kind::PortCycle;
        const bool bankJob = kind == Kind::ProgramBank || kind == Kind::PerformanceBank;
        const bool perfKind = kind == Kind::Performance || kind == Kind::PerformanceToLibrary ||
                              kind == Kind::StoredPerformance || kind == Kind::PerformanceBank;
        const bool second = behaviour.model == 0x21;
        const char* done = enquiryJob ? kReady : kCompleted;
        const char* out = enquiryJob ? kNoResponse : kTimedOut;
        // Into the library, the save choice's text may follow the completed one.
        const bool completed = status == done || (!enquiryJob && status.size() > 19 &&
                                                  status.compare(status.size() - 19, 19, "received to slot(s)") == 0);
        const uint8_t requestType = enquiryJob                                                                  ? 0x10
                                    : kind == Kind::StoredProgram || kind == Kind::StoredPerformance || bankJob ? 0x13
                                                                                                                : 0x08;
        const auto own = [&](const Sent& x) {
            return x.bytes.size() > 8 && x.bytes[0] == 0xF0 && x.bytes[7] == requestType;
        };
        const auto slotOf = [&](const Sent& x) { return bankJob && x.bytes.size() == 11 ? int(x.bytes[9]) : -1; };
        // The first send of the request itself (of the slot's, in a bank): the counts start there.
        const auto firstSend = [&](int forSlot) -> const Sent* {
            for (const Sent& x : mine)
                if (own(x) && (forSlot < 0 || (x.bytes.size() == 11 && x.bytes[9] == forSlot))) return &x;
            return nullptr;
        };
        const auto ownSend = [&](int forSlot) -> int64_t {
            const Sent* x = firstSend(forSlot);
            return x ? x->atMs : -1;
        };
        // The request (a bank's slot) under way when a message came: its latest send before it.
        const auto underWay = [&](int64_t order) -> const Sent* {
            const Sent* y = nullptr;
            for (const Sent& x : mine)
                if (own(x) && x.order < order) y = &x;
            return y;
        };
        // The second unit's dumps that came once the request's sweep had asked the unit's id may be
        // taken as its answer (in a bank, the slot's then asked). A performance of the unit's
        // whose dump came before that ask and its follow-up after is a dump still arriving
        // unasked, as below.
        int unitLimit = std::numeric_limits<int>::max();
        if (!enquiryJob && behaviour.unitId >= 0) {
            std::lock_guard<std::mutex> lock(mLock);
            for (size_t k = 0; k < pending.size(); ++k) {
                const Reply& x = pending[k];
                const Sent* y = x.unit && x.arrived >= 0 && x.arrived <= endMs ? underWay(x.order) : nullptr;
                if (!y) continue;
                int64_t firstAsk = -1;
                for (const Sent& z : mine)
                    if (own(z) && z.order < x.order && z.bytes[6] == behaviour.unitId && slotOf(z) == slotOf(*y)) {
                        firstAsk = z.order;
                        break;
                    }
                if (firstAsk < 0) continue;
                replies.push_back(x);
                replies.back().asked = bankJob ? slotOf(*y) : slot;
                if (x.bytes.size() == 25 && k > 0 && pending[k - 1].unit && pending[k - 1].order < firstAsk)
                    unitLimit = std::min(unitLimit, slotOf(*y));
            }
            std::sort(replies.begin(), replies.end(), handedOver);
        }
        // A dump the synthesizer sent unasked that had not wholly arrived when a request (a
        // bank's slot) first went: nothing on the line tells it from the reply. What that request
        // holds and how it ended is listed, not failed; in a bank from its slot on, whose replies
        // it may shift by one. Whether and when each request went is judged all the same, as is
        // every other slot.
        constexpr int kNever = -2; // a failure no limit covers; -1 names a single request
        int limitFrom = unitLimit;
        {
            std::lock_guard<std::mutex> lock(mLock);
            for (const Reply& x : pending) {
                // Taken for that request's reply, it leaves the reply owed by none: whichever
                // request it then reaches cannot tell it from its own, sent or not (a bank from
                // its first slot).
                const bool knockOn = x.job >= 0 && x.job != index && limitedJobs.count(x.job);
                if ((x.job >= 0 && !knockOn) || x.unit || x.arrived < jobStartMs || x.arrived > endMs) continue;
                if (const Sent* y = underWay(x.order))
                    limitFrom = std::min(limitFrom, slotOf(*y));
                else if (knockOn)
                    limitFrom = std::min(limitFrom, bankJob ? 0 : -1);
            }
        }
        // The enquiry job takes only global dumps: none of these is taken for its answer. It takes
        // an answer a limited request's sync left owed by none as its own, and its own answer is
        // then owed by none in turn.
        if (!enquiryJob && limitFrom != std::numeric_limits<int>::max()) limitedJobs.insert(index);
        if (enquiryJob && std::any_of(replies.begin(), replies.end(), [this](const Reply& x) {
                return x.enquiry && x.job >= 0 && limitedJobs.count(x.job);
            }))
            limitedJobs.insert(index);
        std::ostringstream limited;
        const auto dataFail = [&](int at) -> std::ostream& { return at >= limitFrom ? limited : fail; };
        const int64_t limit = kind == Kind::Pick                   ? int64_t(1 + 35 + 16) * P
                              : kind == Kind::Performance          ? int64_t(50 + 16) * P
                              : kind == Kind::PerformanceToLibrary ? 200 * 25
                              : enquiryJob                         ? int64_t(25) * P + 16 * 500
                                                                   : int64_t(30 + 16) * P;
        // The answer that completes a request, when it arrived, and the data it carries.
        struct Answer {
            int64_t at = -1;
            Bytes data;
        };
        const auto answerOf = [&](int forSlot) {
            Answer a;
            bool performanceSeen = false;
            for (const Reply& x : replies) {
                const Bytes& m = x.bytes;
                if (m.size() < 10) continue;
                const uint8_t type = m[7];
                const bool slotMatches = forSlot < 0 || x.asked == forSlot;
                switch (kind) {
                case Kind::Pick:
                case Kind::EditToLibrary:
                    if (type == 0x00 && m.size() == 296 && m[8] == part) return Answer{x.arrived, body(m, 9, 295)};
                    break;
                case Kind::Performance:
                case Kind::PerformanceToLibrary:
                    if (!performanceSeen && type == 0x05 && m.size() == 381) {
                        performanceSeen = true, a.data = body(m, 8, 380);
                        if (!second) return Answer{x.arrived, a.data};
                    } else if (performanceSeen && type == 0x1B && m.size() == 25) {
                        Bytes d = a.data, f = body(m, 8, 24);
                        d.insert(d.end(), f.begin(), f.end());
                        return Answer{x.arrived, d};
                    }
                    break;
                case Kind::StoredProgram:
                case Kind::ProgramBank:
                    if (type == 0x02 && m.size() == 297 && m[8] == bank + 5 &&
                        (forSlot < 0 ? m[9] == slot : m[9] == forSlot))
                        return Answer{x.arrived, body(m, 10, 296)};
                    if (type == 0x00 && m.size() == 296 && slotMatches && (forSlot >= 0 || x.asked == slot))
                        return Answer{x.arrived, body(m, 9, 295)};
                    break;
                case Kind::StoredPerformance:
                case Kind::PerformanceBank: {
                    const int want = forSlot < 0 ? slot : forSlot;
                    const bool stored = type == 0x07 && m.size() == 383 && m[8] == bank + 1 && m[9] == want;
                    const bool plain = type == 0x05 && m.size() == 381 && x.asked == want;
                    if (!performanceSeen && (stored || plain)) {
                        performanceSeen = true, a.data = stored ? body(m, 10, 382) : body(m, 8, 380);
                        if (!second) return Answer{x.arrived, a.data};
                    } else if (performanceSeen && ((type == 0x1C && m.size() == 27 && m[9] == want) ||
                                                   (type == 0x1B && m.size() == 25 && x.asked == want))) {
                        Bytes d = a.data, f = type == 0x1C ? body(m, 10, 26) : body(m, 8, 24);
                        d.insert(d.end(), f.begin(), f.end());
                        return Answer{x.arrived, d};
                    }
                    break;
                }
                default:
                    // The enquiry's answer is the second global dump, whichever order the two come in.
                    if (type == 0x15 && m.size() == 297) return Answer{x.arrived, {}};
                    break;
                }
            }
            return Answer{};
        };
        const synthsim::SynthMemory mem = plug->session.synth().memory();
        const auto stored = [&](int s) {
            if (kind == Kind::ProgramBank || kind == Kind::StoredProgram) {
                const auto& e = mem.programs[size_t(bank)][size_t(s)];
                return Bytes(e.begin(), e.end());
            }
            const auto& e = mem.performances[size_t(bank)][size_t(s)];
            Bytes d(e.begin(), e.end());
            if (second)
                d.insert(d.end(), mem.followUps[size_t(bank)][size_t(s)].begin(),
                         mem.followUps[size_t(bank)][size_t(s)].end());
            return d;
        };
        const auto timing = [&](int64_t send, const Answer& a) {
            std::ostringstream o;
            o << "sent at " << send << " ms, answer "
              << (a.at < 0 ? std::string("none") : "at " + std::to_string(a.at) + " ms") << ", limit " << limit
              << " ms, period " << P << " ms" << (actAt >= 0 ? ", act at " + std::to_string(actAt) + " ms" : "")
              << ", ended at " << endMs << " ms with \"" << status << "\"";
            return o.str();
        };
        // The editor sees an answer at its next look (the enquiry's sweep looks every half
        // second), then ends or moves on: an act until then comes while it still runs.
        const int64_t reaction = 3 * P + 130 + (enquiryJob ? 500 : 0);
        Expect e;
        // A performance dump whose follow-up had not come by the end: over the follow-up fields
        // the performance held.
        const auto dumpAlone = [&](const Bytes& dump) {
            auto& list = e.allowed[{Component::Performance, 0}];
            if (list.empty()) list.push_back(base.performance);
            const std::vector<Bytes> held = list;
            for (const Bytes& v : held) {
                Bytes d = dump;
                if (second) d.insert(d.end(), v.end() - 16, v.end());
                list.push_back(d);
            }
        };
        if (!bankJob) {
            const int64_t send = ownSend(-1);
            // A dump the synthesizer sent unasked that came only once the request was sent
            // (behind late answers, or at the same moment) cannot be told from the reply: it is
            // the reply's. It holds the edit buffer, as the reply does.
            const bool editBuffer = kind == Kind::Pick || kind == Kind::Performance ||
                                    kind == Kind::PerformanceToLibrary || kind == Kind::EditToLibrary;
            if (editBuffer && send >= 0) {
                for (const Reply& x : unaskedIn)
                    if (x.arrived > send) replies.push_back(x);
                std::sort(replies.begin(), replies.end(), handedOver);
            }
            const Answer a = answerOf(-1);
            const bool disrupted = actAt >= 0 && (a.at < 0 || actAt <= a.at + reaction);
            const bool strictDone = a.at >= 0 && send >= 0 && a.at <= send + limit - P && !disrupted;
            const bool strictOut = (a.at < 0 || (send >= 0 && a.at > send + limit + P)) && actAt < 0;
            const bool inJob = a.at >= 0 && a.at <= endMs;
            if (completed && a.at < 0)
                dataFail(-1) << what << ": \"" << done << "\" without its answer; " << timing(send, a) << "\n";
            else if (strictDone && !completed)
                dataFail(-1) << what << ": answered in time, but not completed; " << timing(send, a) << "\n";
            else if (strictOut && send >= 0 && status != out)
                dataFail(-1) << what << ": \"" << out << "\" owed; " << timing(send, a) << "\n";
            // Either end comes when it is due: an answer is taken at the next look (the
            // user sees it at once), a time-out at its pass.
            else if (actAt < 0 && completed && a.at >= 0 && endMs > a.at + reaction)
                dataFail(-1) << what << ": completed long after its answer; " << timing(send, a) << "\n";
            else if (actAt < 0 && status == out && send >= 0 && endMs > send + limit + 2 * P)
                fail << what << ": timed out long after its time-out pass; " << timing(send, a) << "\n";
            journal << what << ": " << timing(send, a) << "\n";
            const bool must = completed || strictDone;
            const Bytes* fresh = inJob || must ? &a.data : nullptr;
            if (a.at < 0) fresh = nullptr;
            const int libSlot = std::clamp(slot, 0, 127);
            switch (kind) {
            case Kind::Pick: {
                e.allow(Component::Part, part, base.parts[size_t(part)], fresh, must);
                if (behaviour.lockedParts >> part & 1) e.mixed.insert(part);
                // The choice itself: the part's program number in the performance.
                Bytes chosen = base.performance;
                chosen[synthsim::kPartBlockStart + synthsim::kPartBlockSize * size_t(part) +
                       synthsim::kPartBlockProgram] = uint8_t(program);
                e.allow(Component::Performance, 0, chosen, nullptr, false);
                // A follow-up whose byte 8 names the part passes the part's gate (as short
                // messages do) and is applied, whichever reply's it is.
                std::lock_guard<std::mutex> lock(mLock);
                for (const Reply& x : pending)
                    if (x.arrived >= jobStartMs && x.arrived <= endMs && x.bytes.size() == 25 && x.bytes[7] == 0x1B &&
                        x.bytes[8] == part) {
                        Bytes withFollowUp = chosen;
                        std::copy(x.bytes.begin() + 8, x.bytes.begin() + 24, withFollowUp.end() - 16);
                        e.allowed[{Component::Performance, 0}].push_back(withFollowUp);
                    }
                break;
            }
            case Kind::EditToLibrary:
            case Kind::StoredProgram:
                e.allow(Component::ProgramSlot, libSlot, base.programSlots[size_t(libSlot)], fresh, must);
                break;
            case Kind::PerformanceToLibrary:
            case Kind::StoredPerformance:
                e.allow(Component::PerformanceSlot, libSlot, base.performanceSlots[size_t(libSlot)], fresh, must);
                break;
            case Kind::Performance: {
                e.allow(Component::Performance, 0, base.performance, fresh, must);
                // At the cable's pace a reply can straddle the end: the dump taken, its follow-up not.
                for (size_t k = 0; second && k < replies.size(); ++k)
                    if (replies[k].bytes.size() == 381 && replies[k].bytes[7] == 0x05 && replies[k].arrived <= endMs &&
                        (k + 1 == replies.size() || replies[k + 1].arrived > endMs))
                        dumpAlone(body(replies[k].bytes, 8, 380));
                // The programs the reply held, each as the last of its part that came: owed with
                // the completing dump, taken or not after it while the job runs.
                // The second unit's, once the sweep asked it, may come between or after.
                std::map<int, std::pair<Bytes, bool>> programs;
                std::map<int, std::vector<Bytes>> units;
                for (const Reply& x : replies)
                    if (x.bytes.size() == 296 && x.bytes[7] == 0x00 && x.bytes[8] < 8 && x.arrived <= endMs) {
                        if (x.unit)
                            units[x.bytes[8]].push_back(body(x.bytes, 9, 295)), programs.insert({x.bytes[8], {}});
                        else
                            programs[x.bytes[8]] = {body(x.bytes, 9, 295), a.at >= 0 && x.arrived <= a.at};
                    }
                for (const auto& [k, data] : programs) {
                    const bool synth = !data.first.empty();
                    e.allow(Component::Part, k, base.parts[size_t(k)], synth ? &data.first : nullptr,
                            must && data.second);
                    for (const Bytes& u : units[k]) e.allowed[{Component::Part, k}].push_back(u);
                    if (behaviour.lockedParts >> k & 1) e.mixed.insert(k);
                }
                break;
            }
            default:
                if (status == kReady && plug->deviceId != plug->session.synth().options().deviceId) {
                    // The enquiry takes the first global dump that comes. One the synthesizer sent
                    // at its old id, before it changed, and that came only now, says the old id:
                    // nothing can tell it from a fresh one.
                    const auto first =
                        std::find_if(replies.begin(), replies.end(), [](const Reply& x) { return x.enquiry; });
                    const bool stale =
                        first != replies.end() && first->bytes.size() > SysexFamily::kDeviceAt &&
                        first->bytes[SysexFamily::kDeviceAt] == SysexFamily::deviceByteFor(plug->deviceId);
                    if (!stale) fail << what << ": ready, but the editor's id is " << plug->deviceId << "\n";
                }
                break;
            }
            // Once the request no longer waits (answered, acted on, or at its time-out pass), the
            // job's last pauses still take what comes to the editor unasked from an id the job
            // asked, as between jobs nothing does: the rest of an earlier reply still on the
            // cable, the second unit's dumps once a sweep asked it. The editor's own id counts as
            // asked, sent to or not.
            std::set<int> asked{SysexFamily::deviceByteFor(plug->deviceId)};
            for (const Sent& x : mine)
                if (own(x)) asked.insert(x.bytes[SysexFamily::kDeviceAt]);
            int64_t tail = endMs;
            if (a.at >= 0) tail = std::min(tail, a.at);
            if (actAt >= 0) tail = std::min(tail, actAt);
            if (send >= 0) tail = std::min(tail, send + limit - P);
            if (kind == Kind::Pick || kind == Kind::Performance) {
                std::lock_guard<std::mutex> lock(mLock);
                for (size_t k = 0; k < pending.size(); ++k) {
                    const Reply& x = pending[k];
                    if (x.enquiry || x.arrived <= tail || x.arrived > endMs ||
                        !asked.count(x.bytes[SysexFamily::kDeviceAt]))
                        continue;
                    // As the editor reads it (reserved bytes skipped, values held to their range,
                    // the vocoder shared by every part and the follow-up), over whatever each
                    // component may hold by then.
                    const Taken t = taken(x.bytes);
                    if (t.values.empty()) continue;
                    const auto over = [&](Component c, int i) {
                        auto& list = e.allowed[{c, i}];
                        if (list.empty()) list.push_back(get(base, c, i));
                        const std::vector<Bytes> held = list;
                        for (const Bytes& v : held) {
                            if (v.size() != get(base, c, i).size()) continue;
                            Bytes w = takenOver(c, i, v, t);
                            if (std::find(list.begin(), list.end(), w) == list.end()) list.push_back(std::move(w));
                        }
                    };
                    for (int i = 0; i < 8; ++i) over(Component::Part, i);
                    over(Component::Performance, 0);
                }
            }
        } else {
            const Component c = perfKind ? Component::PerformanceSlot : Component::ProgramSlot;
            const auto& old = perfKind ? base.performanceSlots : base.programSlots;
            const auto& now = perfKind ? after.performanceSlots : after.programSlots;
            // What the second unit sent into a slot's sweep may fill that slot.
            std::array<std::vector<Bytes>, 128> unitIn;
            for (size_t k = 0; k < replies.size(); ++k) {
                const Reply& x = replies[k];
                if (!x.unit || x.asked < 0 || x.asked > 127) continue;
                if (!perfKind && x.bytes.size() == 296 && x.bytes[7] == 0x00)
                    unitIn[size_t(x.asked)].push_back(body(x.bytes, 9, 295));
                if (perfKind && x.bytes.size() == 381 && x.bytes[7] == 0x05) {
                    Bytes d = body(x.bytes, 8, 380);
                    // Its follow-up is the unit's next message, whatever the synthesizer's came between.
                    size_t j = k + 1;
                    while (j < replies.size() && !replies[j].unit) ++j;
                    if (second && j < replies.size() && replies[j].bytes.size() == 25) {
                        const Bytes f = body(replies[j].bytes, 8, 24);
                        d.insert(d.end(), f.begin(), f.end());
                    }
                    unitIn[size_t(x.asked)].push_back(d);
                }
            }
            const auto holds = [&](int s, const Bytes& want) {
                const Bytes& v = now[size_t(s)];
                return v == want ||
                       std::find(unitIn[size_t(s)].begin(), unitIn[size_t(s)].end(), v) != unitIn[size_t(s)].end();
            };
            bool allInTime = true, strict = true;
            for (int s = 0; s < 128; ++s) {
                const Bytes want = stored(s);
                e.allow(c, s, old[size_t(s)], &want, false);
                for (const Bytes& u : unitIn[size_t(s)]) e.allowed[{c, s}].push_back(u);
                if (!strict) continue;
                const int64_t send = ownSend(s);
                const Answer a = answerOf(s);
                if (send < 0) {
                    allInTime = false;
                    if (s > 0 && actAt < 0)
                        fail << what << ": slot " << s - 1 << " was answered in time, but slot " << s
                             << " was never asked; ended with \"" << status << "\"\n";
                    strict = false;
                    continue;
                }
                const bool disrupted = actAt >= 0 && (a.at < 0 || actAt <= a.at + reaction);
                if (disrupted) {
                    allInTime = false, strict = false;
                    continue;
                }
                if (a.at >= 0 && a.at <= send + limit - P) {
                    if (!holds(s, want))
                        dataFail(s) << what << ": slot " << s << " answered in time holds another entry; "
                                    << timing(send, a) << "\n";
                    continue;
                }
                allInTime = false, strict = false;
                if ((a.at < 0 || a.at > send + limit + P) && status != out)
                    dataFail(s) << what << ": slot " << s << " unanswered in time, \"" << out << "\" owed; "
                                << timing(send, a) << "\n";
            }
            int filled = 0;
            while (filled < 128 && holds(filled, stored(filled))) ++filled;
            journal << what << ": slots 0 to " << filled - 1 << " hold their entries, ended at " << endMs
                    << " ms with \"" << status << "\"\n";
            if (allInTime && !completed)
                dataFail(127) << what << ": every slot answered in time, but ended \"" << status << "\"\n";
            // Filled from slot 0 on, each slot its own entry, the rest as they were.
            bool gap = false;
            for (int s = 0; s < 128; ++s) {
                const Bytes want = stored(s);
                const bool filled = holds(s, want);
                if (completed && !filled) {
                    dataFail(s) << what << ": completed, but slot " << s << " does not hold its entry\n";
                    break;
                }
                if (gap && filled && old[size_t(s)] != want) {
                    dataFail(s) << what << ": slot " << s << " filled after an unfilled slot\n";
                    break;
                }
                gap = gap || !filled;
            }
        }
        const Component slots = perfKind ? Component::PerformanceSlot : Component::ProgramSlot;
        check(base, after, e, what, [&](Component c, int i) -> std::ostream& {
            return dataFail(!bankJob ? -1 : c == slots ? i : kNever);
        });

        // The wait before the request's first send: after a sync the synthesizer answered, the
        // quiet gap after that answer and the last plain dump; without one, the longest reply
        // wait of quiet, and never more than two of them. Never before the sync's answer came or
        // that quiet held. A request never sent at all fails, unless the user's Cancel or the
        // port's close came before it was due and the request ended cancelled, or refused for
        // want of a port.
        const int64_t first = ownSend(bankJob ? 0 : -1);
        if (enquiryJob && first < 0) fail << what << ": the enquiry was never sent; ended with \"" << status << "\"\n";
        if (!enquiryJob) {
            const int64_t cut = first >= 0 ? first : endMs + 1; // what the editor could know when it went
            const int64_t gap = std::max<int64_t>(P / 4, 130), age = std::max<int64_t>(66 * P, 5000);
            int64_t syncSent = -1, syncAnswer = -1, syncFirstAnswer = -1, lastPlain = -1, lastDump = -1, lastAsk = -1;
            bool answered = true;      // every enquiry at the sync's id so far was answered
            std::vector<int64_t> busy; // a dump came or a request went
            {
                std::lock_guard<std::mutex> lock(mLock);
                int syncId = -1;
                for (const Sent& x : sent)
                    if (x.atMs < cut && x.bytes.size() > 7 && x.bytes[0] == 0xF0) {
                        if (x.bytes[7] == 0x08 || x.bytes[7] == 0x13)
                            lastAsk = std::max(lastAsk, x.atMs);
                        else if (x.bytes[7] == 0x10 && x.job == index)
                            syncSent = x.atMs, syncId = x.bytes[6];
                    }
                // One enquiry lost (a silent spell, another id) shifts the answers of those after
                // it to the one before, until one is forgotten: only a synthesizer that answered
                // them all is held to the sync's answer.
                for (const Sent& x : sent) {
                    if (x.bytes.size() < 8 || x.bytes[7] != 0x10 || x.atMs >= syncSent || x.bytes[6] != syncId)
                        continue;
                    answered = answered && std::any_of(pending.begin(), pending.end(), [&x](const Reply& r) {
                                   return r.enquiry && r.askedMs == x.atMs && r.arrived >= 0;
                               });
                }
                for (const Reply& x : pending) {
                    if (x.arrived < 0 || x.bytes.size() < 25) continue;
                    const bool sync = x.enquiry && x.job == index;
                    // An earlier enquiry's answer may pass for this sync's, no sooner than it came:
                    // one that an unasked dump, taken for that request's reply, left owed by none,
                    // or one later than the longest reply wait, when nothing is owed any more.
                    const bool passes = x.enquiry && syncSent >= 0 && x.arrived >= syncSent &&
                                        (limitedJobs.count(x.job) || x.arrived - x.askedMs >= age);
                    if ((sync || passes) && (syncFirstAnswer < 0 || x.arrived < syncFirstAnswer))
                        syncFirstAnswer = x.arrived;
                    if (x.arrived > cut) continue;
                    lastDump = std::max(lastDump, x.arrived);
                    if (sync) syncAnswer = std::max(syncAnswer, x.arrived);
                    const uint8_t type = x.bytes[7];
                    const bool named = type == 0x02 || type == 0x07 || type == 0x1C;
                    if (!named && type != 0x0F && type != 0x15) lastPlain = std::max(lastPlain, x.arrived);
                }
            }
            const bool synced = syncSent >= 0 && syncAnswer >= 0 && answered;
            const int64_t due =
                synced || syncSent < 0
                    ? std::max(synced ? syncAnswer : jobStartMs, lastPlain) + gap + 2 * P
                    : std::min(std::max({jobStartMs, lastDump, lastAsk}) + age, jobStartMs + 2 * age) + gap + 2 * P;
            const auto times = [&] {
                std::ostringstream o;
                o << "started at " << jobStartMs << " ms, sync "
                  << (syncSent < 0 ? std::string("none") : std::to_string(syncSent)) << ", its answer "
                  << syncFirstAnswer << " ms, last plain dump " << lastPlain << " ms, last dump " << lastDump
                  << " ms, last request " << lastAsk << " ms";
                return o.str();
            };
            const bool cancelled = status == "Data request CANCELLED!" || status == "Data request cancelled!" ||
                                   (actKind == Act::PortClose && status == "Set MIDI I/O First!");
            if (first < 0 && !(cancelled && actAt >= 0 && actAt <= due))
                fail << what << ": never sent, due by " << due << " ms (" << times() << "), ended at " << endMs
                     << " ms with \"" << status << "\"" << (actAt >= 0 ? ", act at " + std::to_string(actAt) : "")
                     << "\n";
            if (first > due)
                fail << what << ": first sent at " << first << " ms, due by " << due << " ms (" << times() << ")\n";
            if (first >= 0 && syncSent >= 0) {
                // The earliest the sync's wait may end without its answer: quiet for the longest
                // reply wait since the last dump or request, or twice that since the sync. What
                // came at the send itself (a prompt reply) came after it.
                {
                    std::lock_guard<std::mutex> lock(mLock);
                    for (const Sent& x : sent)
                        if (x.atMs < first && x.bytes.size() > 7 && (x.bytes[7] == 0x08 || x.bytes[7] == 0x13))
                            busy.push_back(x.atMs);
                    for (const Reply& x : pending)
                        if (x.arrived >= 0 && x.arrived < first && x.bytes.size() >= 25) busy.push_back(x.arrived);
                }
                std::sort(busy.begin(), busy.end());
                int64_t quiet = syncSent;
                for (int64_t t : busy)
                    if (t > quiet - age && t <= quiet) quiet = t + age;
                const int64_t earliest =
                    std::min({quiet, syncSent + 2 * age,
                              syncFirstAnswer >= 0 ? syncFirstAnswer : std::numeric_limits<int64_t>::max()});
                if (first < earliest)
                    fail << what << ": first sent at " << first << " ms, before its sync's answer or the quiet "
                         << "that stands for it, at " << earliest << " ms (" << times() << ")\n";
            }
            // A request (each slot of a bank) goes only once the editor's device has sent no plain
            // dump for the quiet gap, for a bank's later slots the settle after the last slot's
            // reply: a reply still arriving would be taken for its. Named dumps and global ones
            // cannot be taken for it.
            std::lock_guard<std::mutex> lock(mLock);
            for (int s = bankJob ? 0 : -1; s < (bankJob ? 128 : 0); ++s) {
                const Sent* y = firstSend(s);
                if (!y) break;
                int64_t last = -1;
                for (const Reply& x : pending) {
                    if (x.arrived < 0 || x.order > y->order || x.bytes.size() < 25 || x.bytes[6] != y->bytes[6])
                        continue;
                    const uint8_t type = x.bytes[7];
                    if (type != 0x02 && type != 0x07 && type != 0x1C && type != 0x0F && type != 0x15)
                        last = std::max(last, x.arrived);
                }
                const int64_t wait = s > 0 ? P / 4 : gap;
                if (last >= 0 && y->atMs < last + wait) {
                    fail << what << ": " << (s >= 0 ? "slot " + std::to_string(s) + " " : std::string()) << "sent at "
                         << y->atMs << " ms, " << y->atMs - last << " ms after a plain dump of its device ended, "
                         << "within the quiet of " << wait << " ms (" << times() << ")\n";
                    break;
                }
            }
        }
        // After the user's Cancel or the port's close, nothing more is asked, and the request
        // ends, once the editor has looked.
        if (actAt >= 0) {
            for (const Sent& x : mine)
                if (x.bytes.size() > 7 && x.bytes[0] == 0xF0 && x.atMs > actAt + reaction) {
                    fail << what << ": sent at " << x.atMs << " ms, more than " << reaction << " ms after the "
                         << kActNames[int(actKind)] << " at " << actAt << " ms\n";
                    break;
                }
            if (endMs > actAt + reaction)
                fail << what << ": ended at " << endMs << " ms with \"" << status << "\", more than " << reaction
                     << " ms after the " << kActNames[int(actKind)] << " at " << actAt << " ms\n";
        }
        std::istringstream lines(limited.str());
        for (std::string line; std::getline(lines, line);) limits << "LIMIT " << line << "\n";
    };
    int job = 0;
    for (size_t stepIndex = 0; stepIndex < seq.steps.size(); ++stepIndex) {
        const Step& t = seq.steps[stepIndex];
        const std::string where = "step " + std::to_string(stepIndex + 1);
        // The pause before the step, perhaps with a dump nobody asked for.
        if (behaviour.unasked && t.pauseMs > 0 && (rng() & 1)) {
            const int first = int(rng() % unsigned(t.pauseMs + 1));
            idle(first);
            const synthsim::SynthMemory mem = q.session.synth().memory();
            const uint8_t dev = uint8_t(q.session.synth().options().deviceId);
            if (rng() & 1) {
                const int part = int(rng() % 8);
                unasked({synthsim::buildProgramDump(behaviour.model, dev, uint8_t(part),
                                                    mem.partEdit[size_t(part)].data())});
            } else {
                std::vector<Bytes> m{synthsim::buildPerformanceDump(behaviour.model, dev, mem.performanceEdit.data())};
                if (behaviour.model == 0x21)
                    m.push_back(synthsim::buildFollowUp(behaviour.model, dev, mem.followUpEdit.data()));
                unasked(m);
            }
            idle(t.pauseMs - first);
        } else {
            idle(t.pauseMs);
        }
        {
            const State now = snapshot();
            if (!check(base, now, Expect(), where + ", before it (nothing running)")) base = now;
        }
        if (t.kind == Kind::NewId) {
            synthsim::Options n = q.session.synth().options();
            n.deviceId = t.newId;
            q.session.synth().setOptions(n);
            if (t.editorFollows) {
                q.GetParam(kGlobalMidiChannel)->Set(t.newId);
                q.deviceId = t.newId;
            }
            continue;
        }
        if (t.kind == Kind::PanelPerformance) {
            q.session.synth().panel({uint8_t(0xC0 | q.session.synth().options().deviceId), uint8_t(t.program)});
            continue;
        }
        // The jobs of the step: its own, and after a port that went, the device's enquiry.
        bool portCycle = t.kind == Kind::PortCycle;
        // Aimed: closed once the first dump of the next answer has come, open again before the
        // second; otherwise open again after some periods.
        int closedMs = P * (1 + t.slot % 20);
        if (portCycle && t.betweenDumps) {
            int64_t first = -1, second = -1;
            {
                std::lock_guard<std::mutex> lock(mLock);
                const auto pair = nextPair();
                if (pair.first) first = pair.first->dueMs, second = pair.second->dueMs;
            }
            if (first >= 0 && second > first + 1) {
                idle(int(first - now()));
                closedMs = int(std::max<int64_t>(1, (second - now()) / 2));
            }
        }
        if (portCycle) {
            setPort(false);
        }
        for (int round = 0; round < 2; ++round) {
            const bool enquiry = round == 1 || portCycle;
            if (round == 1 && portOpen) break;
            if (enquiry) {
                idle(closedMs);
                setPort(true);
                portCycle = false;
            }
            const int index = ++job;
            {
                std::lock_guard<std::mutex> lock(mLock);
                currentJob = index;
                spellEndMs = enquiry ? 0 : clockMs + t.spellMs;
            }
            {
                std::lock_guard<std::mutex> lock(mActLock);
                actStep = enquiry || t.act == Act::None ? nullptr : &t;
                acted = false;
                actedAtMs = -1;
                jobStartMs = now();
            }
            const Kind kind = enquiry ? Kind::PortCycle : t.kind;
            const bool perfJob =
                kind == Kind::PerformanceToLibrary || kind == Kind::StoredPerformance || kind == Kind::PerformanceBank;
            q.performanceMode = perfJob;
            q.patchLibrarian->currentKind = perfJob ? 1 : 0;
            int part = t.part;
            int slot = t.slot;
            {
                std::lock_guard<std::recursive_mutex> hold(q.patchLibrarian->mLock);
                q.patchLibrarian->upperSlot = slot;
            }
            testing::internal::CaptureStdout();
            bool started = true;
            MIDIMessageManager& m = *q.midiManager;
            SenderJobRecord r;
            switch (kind) {
            case Kind::Pick: {
                IMidiMsg pc(0, uint8_t(0xC0 | q.partChannel(part)), uint8_t(t.program), 0);
                m.MakeProgramChangeMessages(part, &pc, false);
                break;
            }
            case Kind::Performance:
                r.job = kJobRequestActiveArrangement, r.toEditor = true;
                started = m.startAsked(r, [&q, &m] {
                    q.SetLibrarianRequestActive(false);
                    m.expectingEditDump = true;
                });
                break;
            case Kind::PerformanceToLibrary:
                r.job = kJobRequestActiveArrangement, r.toEditor = false;
                started = m.startAsked(r);
                break;
            case Kind::EditToLibrary:
                q.selectedPart = part;
                started = m.sendSinglePatchRequestSysexFromLibrarian(true, 0);
                break;
            case Kind::StoredProgram: started = m.sendSinglePatchRequestSysexFromLibrarian(false, t.bank); break;
            case Kind::StoredPerformance:
                r.job = kJobRequestSingleMulti, r.bank = t.bank;
                started = m.startAsked(r, [&m] {
                    m.armRequestBuffer(SysexFamily::kKindPerformances);
                    m.requestComplete = false;
                });
                break;
            case Kind::ProgramBank: started = m.sendAllPatchRequestSysexFromLibrarian(t.bank); break;
            case Kind::PerformanceBank:
                r.job = kJobRequestAllMultis, r.bank = t.bank;
                started = m.startAsked(r, [&m] { m.requestComplete = false; });
                break;
            default:
                // As the port's return starts it.
                q.expectGlobalDump = true;
                r.job = kJobDeviceIdEnquiry;
                started = m.startAsked(r, [&m] {
                    m.requestComplete = false;
                    m.enquiryAdoptsOnlyId = false;
                });
                break;
            }
            // To its end: every pause moves the clock, so a job that never ends either stops
            // pausing (the real-time guard) or runs for hours of virtual time.
            const auto realStart = std::chrono::steady_clock::now();
            bool hung = false;
            while (!m.threadIdle(kJobThread)) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                const auto real = std::chrono::steady_clock::now() - realStart;
                if (real > std::chrono::seconds(60) || now() - jobStartMs > 4 * 3600 * 1000LL) {
                    hung = true;
                    m.sender->cancelRequested = true;
                }
                if (real > std::chrono::seconds(70)) break; // the stop at the end takes it
            }
            {
                const std::string log = testing::internal::GetCapturedStdout();
                if (std::getenv("QOR_SEQUENCE_LOG")) journal << "[log of job " << job << "]\n" << log;
            }
            const int64_t endMs = now();
            const std::string status = this->status();
            {
                std::lock_guard<std::mutex> lock(mActLock);
                actStep = nullptr;
            }
            {
                std::lock_guard<std::mutex> lock(mLock);
                currentJob = -1;
            }
            const std::string what = where + " (" + kKindNames[int(kind)] +
                                     (enquiry && t.kind != Kind::PortCycle ? ", after the port came back" : "") + ")";
            if (!started) {
                fail << what << ": refused with nothing running, status \"" << status << "\"\n";
                base = snapshot();
                continue;
            }
            if (hung) fail << what << ": never ended\n";
            evaluate(index, kind, part, t.program, slot, t.bank, endMs, status, what);
            base = snapshot();
        }
        if (!fail.str().empty()) break;
    }
    // What is still on its way arrives; nothing runs; nothing changes.
    idle(200 * P);
    idle(100000);
    if (std::getenv("QOR_SEQUENCE_LOG")) {
        std::lock_guard<std::mutex> lock(mLock);
        for (const Sent& x : sent)
            if (x.bytes.size() > 8 && x.bytes[0] == 0xF0)
                journal << "sent " << x.atMs << " job " << x.job << " type " << int(x.bytes[7]) << " dev "
                        << int(x.bytes[6]) << " size " << x.bytes.size() << "\n";
        for (const Reply& x : pending)
            journal << "reply due " << x.dueMs << " arrived " << x.arrived << " job " << x.job << " type "
                    << int(x.bytes[7]) << " dev " << int(x.bytes[6]) << " size " << x.bytes.size() << " byte 8 "
                    << int(x.bytes[8]) << (x.enquiry ? " enquiry" : "") << "\n";
    }
    const State last = snapshot();
    check(base, last, Expect(), "at the end (nothing running)");
    if (!q.midiManager->threadIdle(kJobThread)) fail << "the job thread is busy at the end\n";
    return fail.str();
}

namespace
{

std::vector<uint32_t> seedsToRun()
{
    std::vector<uint32_t> seeds;
    const char* seed = std::getenv("QOR_SEQUENCE_SEED");
    const char* count = std::getenv("QOR_SEQUENCE_COUNT");
    const uint32_t first = seed ? uint32_t(std::strtoul(seed, nullptr, 10)) : 1;
    const int n = count ? std::atoi(count) : seed ? 1 : kFixedSeeds;
    for (int i = 0; i < n; ++i) seeds.push_back(first + uint32_t(i));
    if (!seed && kRunFoundSeeds) seeds.insert(seeds.end(), std::begin(kFoundSeeds), std::end(kFoundSeeds));
    return seeds;
}

} // namespace

TEST(RequestSequences, EachRequestTakesItsOwnWholeReplyWhateverTheSynthesizerAndTheUserDo)
{
    int failed = 0;
    std::ostringstream report;
    const std::vector<uint32_t> seeds = seedsToRun();
    for (uint32_t seed : seeds) {
        const Sequence s = generate(seed);
        std::string found, journal;
        {
            Rig rig(s);
            found = rig.run();
            journal = rig.journal.str();
            if (!rig.limits.str().empty()) std::cout << "seed " << seed << ": " << rig.limits.str();
        }
        if (std::getenv("QOR_SEQUENCE_SHOW"))
            std::cerr << describe(s) << journal << (found.empty() ? "passed\n\n" : found + "\n");
        if (found.empty()) continue;
        ++failed;
        // The first few in full; the rest by seed.
        if (failed <= 5 || std::getenv("QOR_SEQUENCE_SEED"))
            report << describe(s) << journal << found << "\n";
        else
            report << "seed " << seed << ": " << found.substr(0, found.find('\n') + 1);
    }
    EXPECT_EQ(failed, 0) << failed << " of " << seeds.size() << " sequences failed\n" << report.str();
}

// A synthesizer 2 s late at P = 50 ms, answering stored requests with plain dumps: a request is
// left unanswered, a second goes after a long quiet with its sync and is cancelled, and the
// request for slot 77 of bank B syncs while the earlier sync's answer and the cancelled reply
// are on their way. Whatever comes between the two dumps of that earlier answer (a program dump
// of a second unit, the port closed and opened again, with the device's enquiry after it),
// slot 77 must wait for its own answer, not take the cancelled request's.
TEST(RequestSequences, WhatComesBetweenTheTwoDumpsOfAnAnswerCostsNoRequestItsOwnReply)
{
    const auto stored = [](int bank, int slot, int cancelAfterMs) {
        Step t;
        t.kind = Kind::StoredProgram, t.bank = bank, t.slot = slot;
        if (cancelAfterMs >= 0) t.act = Act::Cancel, t.actAfterMs = cancelAfterMs;
        return t;
    };
    Step portBetween;
    portBetween.kind = Kind::PortCycle, portBetween.betweenDumps = true;
    const struct {
        const char* name;
        bool unit;
        std::vector<Step> steps;
    } rows[] = {
        {"a second unit's dump", true, {stored(0, 5, 10), stored(0, 3, 400), stored(1, 77, -1)}},
        {"the port closed and opened", false, {stored(0, 5, 10), stored(0, 3, 400), portBetween, stored(1, 77, -1)}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Sequence s;
        s.seed = 115;
        Behaviour& b = s.behaviour;
        b.periodIndex = 0, b.lateMs = 2000, b.plainPrograms = true;
        if (row.unit) b.unitId = 3, b.unitBetween = b.unitOnlyBetween = true;
        s.steps = row.steps;
        s.steps[1].pauseMs = 8000; // past the longest reply wait: its sync does not hold it
        Rig rig(s);
        const std::string found = rig.run();
        if (std::getenv("QOR_SEQUENCE_SHOW")) std::cerr << describe(s) << rig.journal.str();
        EXPECT_EQ(found, "") << describe(s) << rig.journal.str();
        EXPECT_GE(rig.splitAnswers(!row.unit), 1) << "nothing came between the dumps of an answer";
        const synthsim::SynthMemory mem = rig.plug->session.synth().memory();
        const auto& e = mem.programs[1][77];
        EXPECT_EQ(rig.slotNow(false, 77), Bytes(e.begin(), e.end())) << describe(s) << rig.journal.str();
        EXPECT_EQ(rig.status().substr(0, 9), "Data requ") << rig.status();
    }
}
