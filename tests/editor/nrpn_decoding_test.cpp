// Data entries under an NRPN number decode into lookup keys and a value by the value's range.
#include "Project_Source/src/NrpnDecoding.h"

#include <gtest/gtest.h>

#include <vector>

using NrpnDecoding::Outcome;

TEST(NrpnDecoding, EachRangeGivesItsKeysValueAndFlags)
{
    const struct {
        int msb, lsb, v;
        Outcome outcome;
        std::vector<int> keys; // msb, base, lsb, global
        int value;
        bool quickTab, msbToZero;
    } rows[] = {
        {0, 84, 30, Outcome::Lookup, {0, 25, 84, 0}, 5, false, false},
        {0, 84, 81, Outcome::Lookup, {0, 77, 84, 0}, 5, false, false},  // sustain 4..6 come as value + 76
        {0, 84, 83, Outcome::Lookup, {0, 77, 84, 0}, 13, false, false},
        {0, 110, 126, Outcome::Lookup, {0, 77, 84, 0}, 3, false, false}, // sustain 3, sent at LSB 110
        {0, 113, 6, Outcome::Lookup, {0, 77, 84, 0}, 10, false, false},  // sustain 8..12, sent at LSB 113
        {0, 113, 0, Outcome::Lookup, {0, 1, 113, 0}, -1, false, false},
        {0, 113, 20, Outcome::Lookup, {0, 18, 113, 1}, 2, false, false},
        {0, 0, 12, Outcome::Lookup, {0, 10, 0, 0}, 2, true, false},
        {0, 0, 30, Outcome::Lookup, {0, 30, 0, 0}, 0, false, false},
        {0, 1, 125, Outcome::Lookup, {0, 122, 1, 0}, 125, true, false},
        {0, 100, 110, Outcome::Lookup, {0, 96, 100, 0}, 11, false, false},
        {0, 111, 100, Outcome::Lookup, {0, 80, 111, 0}, 20, false, false},
        {0, 122, 2, Outcome::Lookup, {0, 1, 122, 0}, 2, false, false},
        {7, 120, 1, Outcome::Lookup, {7, 2, 120, 0}, 1, false, false},
        {34, 122, 3, Outcome::Lookup, {34, 0, 122, 0}, 0, false, false},
        {14, 122, 2, Outcome::Lookup, {0, 52, 1, 0}, 4, false, true},
        {43, 122, 0, Outcome::Lookup, {0, 76, 1, 0}, 3, false, true},
        {14, 122, 5, Outcome::Lookup, {14, 0, 122, 0}, 5, false, false},
        {117, 120, 60, Outcome::Lookup, {117, 56, 120, 0}, 4, false, false},
        {5, 0, 77, Outcome::Lookup, {5, 0, 0, 0}, 77, false, false}, // a number without ranges
        {0, 128, 40, Outcome::Lookup, {0, 0, 128, 0}, 40, false, false}, // the idle state
        {0, 100, 94, Outcome::Nothing, {0, 0, 100, 0}, 94, false, false},
        {0, 113, 80, Outcome::SetQuickTab, {0, 0, 113, 0}, 4, false, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.msb << "/" << r.lsb << " = " << r.v);
        const NrpnDecoding::Decoded d = NrpnDecoding::decode(r.msb, r.lsb, r.v);
        EXPECT_EQ(d.outcome, r.outcome);
        EXPECT_EQ(std::vector<int>({d.msb, d.base, d.lsb, d.global}), r.keys);
        EXPECT_EQ(d.value, r.value);
        EXPECT_EQ(d.quickTab, r.quickTab);
        EXPECT_EQ(d.msbToZero, r.msbToZero);
    }
    for (int v : {55, 62, 63, 70}) {
        const NrpnDecoding::Decoded d = NrpnDecoding::decode(0, 113, v);
        EXPECT_EQ(d.outcome, Outcome::SetStatus) << v;
        EXPECT_EQ(d.statusPart, v < 63 ? v - 55 : v - 63) << v;
        EXPECT_EQ(d.statusValue, v < 63 ? 1.0 : 0.0) << v;
    }
}
