#include "KnownParts.h"

#include <algorithm>
#include <climits>

#include "PerformanceDump.h"
#include "QORParams.h"

namespace
{

uint16_t half(int value)
{
    return uint16_t(int16_t(std::clamp(value, int(INT16_MIN), int(INT16_MAX))));
}

uint32_t pair(int bank, int program)
{
    return uint32_t(half(bank)) << 16 | half(program);
}

int bankOf(uint32_t word)
{
    return int16_t(uint16_t(word >> 16));
}

int programOf(uint32_t word)
{
    return int16_t(uint16_t(word & 0xFFFF));
}

bool isPart(int part)
{
    return part >= 0 && part < KnownParts::kParts;
}

// One half changed, the other kept as another thread may have written it meanwhile.
template <class Change> void update(std::atomic<uint32_t>& word, Change change)
{
    uint32_t was = word;
    while (!word.compare_exchange_weak(was, change(was))) {
    }
}

} // namespace

void KnownParts::set(int part, int bank, int program)
{
    if (isPart(part)) mPairs[size_t(part)] = pair(bank, program);
}

void KnownParts::setBank(int part, int bank)
{
    if (isPart(part)) update(mPairs[size_t(part)], [bank](uint32_t was) { return pair(bank, programOf(was)); });
}

void KnownParts::setProgram(int part, int program)
{
    if (isPart(part)) update(mPairs[size_t(part)], [program](uint32_t was) { return pair(bankOf(was), program); });
}

void KnownParts::setFromPerformance(const uint8_t* dump, size_t size)
{
    if (!dump) return;
    std::array<int, kParts> banks{}, programs{};
    const bool whole = PerformanceDump::readDump(
        dump, size,
        [&](int id, double value) {
            if (id >= qorid::kMultiPartBank && id < qorid::kMultiPartBank + kParts)
                banks[size_t(id - qorid::kMultiPartBank)] = int(value);
            else if (id >= qorid::kMultiPartPatch && id < qorid::kMultiPartPatch + kParts)
                programs[size_t(id - qorid::kMultiPartPatch)] = int(value);
        },
        PerformanceDump::ReadOptions());
    if (!whole) return;
    for (int k = 0; k < kParts; ++k) set(k, banks[size_t(k)], programs[size_t(k)]);
}

KnownParts::Numbers KnownParts::numbers(int part) const
{
    if (!isPart(part)) return {};
    const uint32_t word = mPairs[size_t(part)];
    return {bankOf(word), programOf(word)};
}
