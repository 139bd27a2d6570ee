// The two global settings dumps: the packed positions both ways, the fixed frame and which
// messages the readers take.
#include "Project_Source/src/GlobalDumps.h"
#include "Project_Source/src/QORParams.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace qorid;

namespace
{

using Values = std::map<int, double>;

std::vector<uint8_t> first(const Values& v, uint8_t model = 0x20)
{
    std::vector<uint8_t> out(281);
    GlobalDumps::writeFirst([&](int id) { return v.count(id) ? v.at(id) : 0.0; }, model, out.data());
    return out;
}
std::vector<uint8_t> second(const Values& v, uint8_t model = 0x20)
{
    std::vector<uint8_t> out(297);
    GlobalDumps::writeSecond([&](int id) { return v.count(id) ? v.at(id) : 0.0; }, model, out.data());
    return out;
}
// What a reader sets, by id; the order of the calls goes to order.
Values read(bool (*reader)(const uint8_t*, size_t, const GlobalDumps::SetValue&), const std::vector<uint8_t>& b,
            std::vector<int>* order = nullptr)
{
    Values got;
    reader(b.data(), b.size(), [&](int id, double value) {
        got[id] = value;
        if (order) order->push_back(id);
    });
    return got;
}

} // namespace

TEST(GlobalDumps, PackedPositionsAreWrittenAndReadBackByTheirRules)
{
    const struct {
        Values set;
        size_t at;
        uint8_t byte;
        Values readBack; // empty: what was set
    } cases[] = {
        {{{kGlobalBreathSensing, 5}, {kGlobalLocalControl, 1}}, 9, 0x00, {}},
        {{{kGlobalBreathSensing, 0}, {kGlobalLocalControl, 0}}, 9, 0x34, {}},
        {{{kGlobalBreathSensing, 10}, {kGlobalLocalControl, 1}}, 9, 0x28, {}},
        // Outside 0..10 the code is 0; a switch at 7 counts as on.
        {{{kGlobalBreathSensing, 11}, {kGlobalLocalControl, 7}},
         9,
         0x00,
         {{kGlobalBreathSensing, 5}, {kGlobalLocalControl, 1}}},
        {{{kGlobalBreathSensing, -1}, {kGlobalLocalControl, 0}},
         9,
         0x04,
         {{kGlobalBreathSensing, 5}, {kGlobalLocalControl, 0}}},
        {{{kGlobalVelocitySensitivity, 0}, {kGlobalKnobMode, 1}, {kGlobalRXCC, 1}, {kGlobalRXPC, 0}}, 22, 0x1C, {}},
        {{{kGlobalVelocitySensitivity, 1}, {kGlobalKnobMode, 0}, {kGlobalRXCC, 0}, {kGlobalRXPC, 1}}, 22, 0x02, {}},
        {{{kGlobalTXPC, 1}, {kGlobalTXCC, 0}, {kGlobalTXAT, 1}}, 24, 0x0A, {}},
        {{{kGlobalTXPC, 0}, {kGlobalTXCC, 1}, {kGlobalTXAT, 0}, {kGlobalFinderDemos, 1}},
         24,
         0x05,
         {{kGlobalTXPC, 0}, {kGlobalTXCC, 1}, {kGlobalTXAT, 0}}},
        {{{kGlobalBreathMode, 3}}, 10, 0x30, {}},
        {{{kGlobalPedalSw3, 2}}, 20, 13, {}},
        {{{kGlobalAudioIn1Trim, -4}, {kGlobalAudioIn2Trim, 20}}, 32, 50, {}},
        {{{kGlobalAudioIn2Trim, 20}}, 33, 74, {}},
        // Clamped into a data byte.
        {{{kGlobalAudioIn2Trim, 100}}, 33, 127, {{kGlobalAudioIn2Trim, 73}}},
        {{{kGlobalInputSw1, 6.9}}, 25, 6, {{kGlobalInputSw1, 6}}},
        {{{kGlobalMidiChannel, 3}}, 6, 3, {}},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> b = second(c.set);
        EXPECT_EQ(b[c.at], c.byte) << "position " << c.at;
        const Values got = read(GlobalDumps::readSecond, b);
        for (const auto& [id, value] : c.readBack.empty() ? c.set : c.readBack)
            EXPECT_EQ(got.at(id), value) << "position " << c.at << " id " << id;
    }
}

TEST(GlobalDumps, ReceivedPackedBytesGiveTheirSettings)
{
    const struct {
        size_t at;
        uint8_t byte;
        Values want;
    } cases[] = {
        {9, 0x50, {{kGlobalBreathSensing, 4}, {kGlobalLocalControl, 1}}},
        {9, 0x54, {{kGlobalBreathSensing, 4}, {kGlobalLocalControl, 0}}},
        {9, 0x48, {{kGlobalBreathSensing, 3}, {kGlobalLocalControl, 1}}},
        {9, 0x32, {{kGlobalBreathSensing, 0}, {kGlobalLocalControl, 2}}}, // an odd remainder stands
        {22, 0x01, {{kGlobalRXPC, 1}, {kGlobalVelocitySensitivity, 1}, {kGlobalRXCC, 0}, {kGlobalKnobMode, 0}}},
        {22, 0x08, {{kGlobalRXPC, 0}, {kGlobalVelocitySensitivity, 0}, {kGlobalCase22Undefined, 0}}},
        {24, 0x01, {{kGlobalTXPC, 0}, {kGlobalTXCC, 0}, {kGlobalTXAT, 0}}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> b = second({});
        b[c.at] = c.byte;
        const Values got = read(GlobalDumps::readSecond, b);
        for (const auto& [id, value] : c.want) EXPECT_EQ(got.at(id), value) << "byte " << int(c.byte) << " id " << id;
        EXPECT_EQ(got.count(kGlobalFinderDemos), 0u);
    }
}

TEST(GlobalDumps, SettingsOneCarriesItsFiveParametersInTheFixedFrame)
{
    const Values v = {{kGlobalMidiChannel, 3},
                      {kGlobalMasterTune, 64},
                      {kGlobalPedalSensitivity, 2},
                      {kGlobalMIDIClock, 1},
                      {kGlobalMasterVolume, 100}};
    const std::vector<uint8_t> b = first(v, 0x21);
    const std::vector<uint8_t> head = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x21, 0x03, 0x0F, 0x0F, 0x5D, 64,   2,
                                       0x7F, 0x3C, 0x6A, 100,  0x01, 0x00, 0x02, 0x05, 0x00, 0x03, 0x34, 0x43};
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 24), head);
    for (size_t i = 24; i < 280; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[280], 0xF7);
    std::vector<int> order;
    EXPECT_EQ(read(GlobalDumps::readFirst, b, &order), v);
    EXPECT_EQ(order, (std::vector<int>{kGlobalMidiChannel, kGlobalMasterTune, kGlobalPedalSensitivity, kGlobalMIDIClock,
                                       kGlobalMasterVolume}));
}

TEST(GlobalDumps, SettingsTwoFixedBytesSurroundTheParameters)
{
    const std::vector<uint8_t> b = second({{kGlobalLocalControl, 1}, {kGlobalVelocitySensitivity, 1}});
    const std::vector<uint8_t> head = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x00, 0x15, 0x28, 0x30, 0x00, 0,
                                       0,    0,    0,    0,    0,    0,    0,    0,    11,   0x5F, 0x00, 0,
                                       0x00, 0,    0,    0x69, 0x1E, 0,    0x01, 0x40, 54,   54,   0x40, 0x40};
    EXPECT_EQ(std::vector<uint8_t>(b.begin(), b.begin() + 36), head);
    for (size_t i = 36; i < 296; ++i) ASSERT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[296], 0xF7);
}

TEST(GlobalDumps, ReadersTakeOnlyTheirOwnWholeMessage)
{
    auto setsAnything = [](bool (*reader)(const uint8_t*, size_t, const GlobalDumps::SetValue&),
                           std::vector<uint8_t> b) { return !read(reader, b).empty(); };
    std::vector<uint8_t> one = first({}), two = second({});
    EXPECT_TRUE(setsAnything(GlobalDumps::readFirst, one));
    EXPECT_TRUE(setsAnything(GlobalDumps::readSecond, two));
    const struct {
        size_t at;
        uint8_t byte;
    } breaks[] = {{1, 0x7F}, {2, 0x21}, {3, 0x28}, {4, 0x02}, {7, 0x02}};
    for (const auto& k : breaks) {
        auto a = one, b = two;
        a[k.at] = k.byte, b[k.at] = k.byte;
        EXPECT_FALSE(setsAnything(GlobalDumps::readFirst, a)) << k.at;
        EXPECT_FALSE(setsAnything(GlobalDumps::readSecond, b)) << k.at;
    }
    // One byte short or long, or the other kind.
    EXPECT_FALSE(setsAnything(GlobalDumps::readFirst, std::vector<uint8_t>(one.begin(), one.end() - 1)));
    two.push_back(0xF7);
    EXPECT_FALSE(setsAnything(GlobalDumps::readSecond, two));
    EXPECT_FALSE(setsAnything(GlobalDumps::readFirst, second({})));
    EXPECT_FALSE(GlobalDumps::readSecond(nullptr, 297, [](int, double) {}));
}
