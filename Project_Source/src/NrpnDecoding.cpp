#include "NrpnDecoding.h"

#include <cstddef>

namespace NrpnDecoding {
namespace {

// How a range turns the data value into the control's value.
enum class Shift { Base, Same, Minus, Plus, Fixed };

struct Range {
    int lo, hi;
    int base;
    Shift shift = Shift::Base;
    int arg = 0;
    bool qt = false;
    int global = 0;
    int lsb = -1; // another LSB key, -1 for the number's own
    bool msbToZero = false;
    Outcome outcome = Outcome::Lookup;
};

constexpr Range plain(int lo, int hi, int base, bool qt = false) { return {lo, hi, base, Shift::Base, 0, qt}; }
constexpr Range global(int lo, int hi, int base) { return {lo, hi, base, Shift::Base, 0, false, 1}; }
constexpr Range shifted(int lo, int hi, int base, Shift shift, int arg, int lsb = -1)
{
    return {lo, hi, base, shift, arg, false, 0, lsb};
}
constexpr Range action(int lo, int hi, Outcome outcome) { return {lo, hi, 0, Shift::Base, 0, false, 0, -1, false, outcome}; }

constexpr Range kMsb0Lsb0[] = {
    plain(0, 9, 0, true),     plain(10, 14, 10, true),   plain(15, 19, 0, true),   plain(20, 24, 20, true),
    plain(25, 29, 0, true),   plain(30, 34, 30),         plain(35, 39, 35),        plain(40, 44, 40),
    plain(45, 69, 45),        plain(70, 94, 70),         plain(95, 119, 95),       plain(120, 121, 120, true),
    plain(122, 123, 122, true), plain(124, 125, 124, true), plain(126, 127, 126, true),
};
constexpr Range kMsb0Lsb1[] = {
    plain(0, 2, 0, true),     plain(3, 14, 3, true),     plain(15, 15, 0, true),   plain(16, 19, 16, true),
    plain(20, 23, 20, true),  plain(24, 25, 24, true),   plain(26, 27, 26, true),  plain(28, 30, 28, true),
    plain(31, 33, 31, true),  plain(34, 41, 34, true),   plain(42, 51, 42, true),  plain(52, 54, 52, true),
    plain(55, 58, 55, true),  plain(59, 69, 59, true),   plain(70, 71, 70, true),  plain(72, 73, 72, true),
    plain(74, 75, 74, true),  plain(76, 78, 76, true),   plain(79, 80, 79, true),  plain(81, 85, 81, true),
    plain(86, 89, 86, true),  plain(90, 91, 90, true),   plain(92, 93, 92, true),  plain(94, 97, 0, true),
    plain(98, 101, 98, true), plain(102, 104, 102, true), plain(105, 106, 105, true), plain(107, 121, 0, true),
    {122, 127, 122, Shift::Same, 0, true},
};
constexpr Range kMsb0Lsb84[] = {
    plain(0, 24, 0),   plain(25, 49, 25), plain(50, 74, 50), plain(75, 76, 75), plain(77, 79, 77),
    shifted(80, 82, 77, Shift::Minus, 76), shifted(83, 83, 77, Shift::Fixed, 13), plain(84, 85, 84),
    plain(86, 87, 86), plain(88, 127, 0),
};
constexpr Range kMsb0Lsb100[] = {
    plain(0, 34, 0),     plain(35, 36, 35),    plain(37, 57, 37),   plain(58, 78, 58),
    plain(79, 80, 79),   plain(81, 82, 81),    plain(83, 89, 83),   plain(90, 91, 0),
    plain(92, 93, 92),   action(94, 95, Outcome::Nothing),          plain(96, 97, 96),
    plain(98, 99, 98),   plain(100, 101, 100), plain(102, 109, 102), shifted(110, 111, 96, Shift::Minus, 99),
    plain(112, 114, 0),  plain(115, 116, 115), plain(117, 127, 0),
};
constexpr Range kMsb0Lsb109[] = {
    plain(0, 0, 0),    plain(1, 4, 1),    plain(5, 8, 5),      plain(9, 47, 0),     plain(48, 65, 48),
    plain(66, 79, 0),  plain(80, 95, 80), plain(96, 113, 96),  plain(114, 127, 0),
};
constexpr Range kMsb0Lsb110[] = {
    plain(0, 33, 0),     plain(34, 36, 34),  plain(37, 39, 0),    plain(40, 74, 40),
    shifted(75, 75, 110, Shift::Fixed, 0),   plain(76, 77, 76),   plain(78, 79, 78),
    plain(80, 114, 80),  shifted(115, 115, 110, Shift::Fixed, 1), plain(116, 117, 116),
    plain(118, 119, 118), plain(120, 125, 0), shifted(126, 126, 77, Shift::Fixed, 3, 84),
    shifted(127, 127, 77, Shift::Fixed, 7, 84),
};
constexpr Range kMsb0Lsb111[] = {
    plain(0, 39, 0), plain(40, 88, 40), shifted(89, 114, 80, Shift::Minus, 80), plain(115, 127, 0),
};
constexpr Range kMsb0Lsb113[] = {
    shifted(0, 3, 1, Shift::Minus, 1),  shifted(4, 8, 77, Shift::Plus, 4, 84), plain(9, 10, 0),
    plain(11, 15, 11),                  global(16, 17, 16),                    global(18, 25, 18),
    plain(26, 27, 0),                   global(28, 33, 28),                    plain(34, 35, 0),
    plain(36, 54, 36, true),            action(55, 62, Outcome::SetStatus),    action(63, 70, Outcome::SetStatus),
    plain(71, 75, 71),                  action(76, 83, Outcome::SetQuickTab),  plain(84, 88, 0),
    plain(89, 91, 89),                  plain(92, 95, 0),                      global(96, 111, 96),
    global(112, 127, 112),
};
constexpr Range kMsb0Lsb122[] = {
    {0, 3, 1, Shift::Same},
    plain(4, 127, 0),
};
// Three switches in one value: the value picks the switch (its base) and its state.
constexpr Range kSwitchTriple[] = {
    shifted(0, 0, 0, Shift::Fixed, 1), shifted(1, 1, 2, Shift::Fixed, 1), shifted(2, 2, 4, Shift::Fixed, 1),
    shifted(3, 3, 0, Shift::Fixed, 0), shifted(4, 4, 2, Shift::Fixed, 0), shifted(5, 5, 4, Shift::Fixed, 0),
    plain(6, 127, 0),
};
constexpr Range kMsb14Lsb122[] = {{1, 2, 52, Shift::Plus, 2, false, 0, 1, true}};
constexpr Range kMsb43Lsb122[] = {{0, 1, 76, Shift::Plus, 3, false, 0, 1, true}};
constexpr Range kMsb116Lsb120[] = {plain(0, 127, 56)};

struct Number {
    int msb, lsb;
    const Range* ranges;
    size_t count;
};

template <size_t N>
constexpr Number number(int msb, int lsb, const Range (&ranges)[N])
{
    return {msb, lsb, ranges, N};
}

constexpr Number kNumbers[] = {
    number(0, 0, kMsb0Lsb0),        number(0, 1, kMsb0Lsb1),      number(0, 84, kMsb0Lsb84),
    number(0, 100, kMsb0Lsb100),    number(0, 109, kMsb0Lsb109),  number(0, 110, kMsb0Lsb110),
    number(0, 111, kMsb0Lsb111),    number(0, 113, kMsb0Lsb113),  number(0, 122, kMsb0Lsb122),
    number(7, 120, kSwitchTriple),  number(34, 122, kSwitchTriple), number(14, 122, kMsb14Lsb122),
    number(43, 122, kMsb43Lsb122),  number(116, 120, kMsb116Lsb120), number(117, 120, kMsb116Lsb120),
};

const Range* findRange(int msb, int lsb, int v)
{
    for (const Number& n : kNumbers) {
        if (n.msb != msb || n.lsb != lsb) continue;
        for (size_t i = 0; i < n.count; ++i)
            if (v >= n.ranges[i].lo && v <= n.ranges[i].hi) return &n.ranges[i];
        return nullptr;
    }
    return nullptr;
}

} // namespace

Decoded decode(int msb, int lsb, int v)
{
    Decoded d;
    d.msb = msb;
    d.lsb = lsb;
    d.value = v;
    const Range* r = findRange(msb, lsb, v);
    if (!r) return d;
    d.outcome = r->outcome;
    if (r->outcome == Outcome::SetStatus) {
        const bool on = v <= 62;
        d.statusPart = v - (on ? 55 : 63);
        d.statusValue = on ? 1.0 : 0.0;
        return d;
    }
    if (r->outcome == Outcome::SetQuickTab) {
        d.value = v - 76;
        return d;
    }
    if (r->outcome == Outcome::Nothing) return d;
    d.base = r->base;
    d.global = r->global;
    d.quickTab = r->qt;
    if (r->lsb >= 0) d.lsb = r->lsb;
    if (r->msbToZero) {
        d.msbToZero = true;
        d.msb = 0;
    }
    switch (r->shift) {
    case Shift::Base: d.value = v - r->base; break;
    case Shift::Same: d.value = v; break;
    case Shift::Minus: d.value = v - r->arg; break;
    case Shift::Plus: d.value = v + r->arg; break;
    case Shift::Fixed: d.value = r->arg; break;
    }
    return d;
}

} // namespace NrpnDecoding
