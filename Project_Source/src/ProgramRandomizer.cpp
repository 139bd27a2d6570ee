// The program randomizer: the entry table laid out on the program dump, the fitting rule, and
// the manager's three operations (draw, fit, walk) that the randomize command runs.
#include "ProgramRandomizer.h"

#include <array>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "MIDIMessageManager.h"
#include "QOR.h"
#include "QORParams.h"
#include "SysexFamily.h"

namespace ProgramRandomizer
{
namespace
{

using namespace qorid;

// The byte each position from 295 on takes its field from: the next field of that byte not yet
// placed. 0 for the three positions that feed nothing.
constexpr uint16_t kPackedPositionBytes[] = {218, 218, 218, 218, 0,   0,   0,   246, 246,
                                             247, 247, 253, 284, 278, 262, 258, 258, 255};
constexpr int kPackedFrom = int(ProgramDump::kLastParameterAt) + 1;
static_assert(kPackedFrom + int(sizeof kPackedPositionBytes / sizeof kPackedPositionBytes[0]) == kLastPosition + 1,
              "one byte per position from 295 to the last");

// Byte 244 carries the envelope triggering code; the table puts the third envelope's switch
// there instead, under the first envelope's lock.
constexpr int kEnvelopeSwitchAt = int(ProgramDump::kEnvelopeTriggeringAt);

using Table = std::array<Entry, kLastPosition + 1>;

Table build()
{
    Table t{};
    for (const ProgramDump::Field& f : ProgramDump::fields()) {
        // Fields no section guards (name category, unused bytes, the effect routing) stay as they are.
        if (f.lock == ProgramDump::kNoLock) continue;
        const Entry e{f.id, f.lock, f.baseOnly};
        if (t[f.at].id < 0) {
            t[f.at] = e;
            continue;
        }
        for (int k = kPackedFrom; k <= kLastPosition; ++k) {
            if (kPackedPositionBytes[k - kPackedFrom] == f.at && t[size_t(k)].id < 0) {
                t[size_t(k)] = e;
                break;
            }
        }
    }
    t[kEnvelopeSwitchAt] = {int16_t(ProgramDump::kEnvelopeSwitchIds[2]), int16_t(kSectionLockEnv1), false};
    return t;
}

long long truncated(double v)
{
    return SysexFamily::wholeValue(v);
}

} // namespace

const Entry& entryAt(int k)
{
    static const Table table = build();
    static const Entry none{};
    return k >= 0 && k <= kLastPosition ? table[size_t(k)] : none;
}

int fit(int v, double min, double max)
{
    const long long m = truncated(max);
    const long long s = truncated(max - min);
    const long long value = v;
    if (value <= s) return v;
    // Subtracting trunc(max) would never end at 0 or below: the value is taken modulo the span.
    if (m <= 0) return s >= 0 ? int(value % (s + 1)) : 0;
    const long long step = m == 1 ? 2 : m;
    return int(value - (value - s + step - 1) / step * step);
}

} // namespace ProgramRandomizer

void MIDIMessageManager::randomGenerator()
{
    const std::time_t now = randomSeedClock ? randomSeedClock() : std::time(nullptr);
    std::srand(unsigned(now));
    auto& table = controller->randomTable;
    for (int i = 0; i < ProgramRandomizer::kDrawnEntries && size_t(i) < table.size(); ++i)
        table[size_t(i)] = std::rand() % 256;
}

int MIDIMessageManager::randomizer(int paramIdx, int k)
{
    const IParam* p = controller->GetParam(paramIdx);
    const auto& table = controller->randomTable;
    if (!p || k < 0 || size_t(k) >= table.size()) return 0;
    return ProgramRandomizer::fit(table[size_t(k)], p->GetMin(), p->GetMax());
}

void MIDIMessageManager::randomizePatchSettings(int part)
{
    if (part < 0 || part >= ProgramDump::kParts) return;
    // Read once, before anything is set.
    const ProgramDump::Locks locks(
        [this](int id) {
            const IParam* p = controller->GetParam(id);
            return p ? p->Value() : 0.0;
        },
        part);
    for (int k = ProgramRandomizer::kFirstPosition; k <= ProgramRandomizer::kLastPosition; ++k) {
        const ProgramRandomizer::Entry& e = ProgramRandomizer::entryAt(k);
        if (e.id < 0 || locks.locked(e.lock)) continue;
        const int id = ProgramRandomizer::idFor(e, part);
        setFromDump(id, double(randomizer(id, k)));
    }
}
