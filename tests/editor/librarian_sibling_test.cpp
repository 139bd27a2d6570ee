// Converting program messages of the sibling synthesizers.
#include <gtest/gtest.h>

#include <algorithm>

#include "Project_Source/src/PatchLibrarian.h"

namespace {
PatchSysexMessage message(size_t size, uint8_t fill)
{
    PatchSysexMessage m;
    m.bytes.assign(size, fill);
    m.bytes[0] = 0xF0;
    m.bytes.back() = 0xF7;
    return m;
}
} // namespace

// Messages of any length come out at the conversion's own length; nothing past them is read.
TEST(SiblingConversion, MessagesAreBroughtToTheirLengthWithoutReadingPastThem)
{
    PatchLibrarian lib;
    for (size_t size : {30u, 392u, 400u}) {
        PatchSysexMessage q = message(size, 0x01), s = message(size, 0x02);
        lib.alterPatchFromQuarnelFormat(&q);
        lib.alterPatchFromStrovaneFormat(&s);
        EXPECT_EQ(q.bytes.size(), 393u);
        EXPECT_EQ(q.bytes[392], size == 30 ? 0x00 : size == 392 ? 0xF7 : 0x01);
        EXPECT_EQ(s.bytes.size(), 392u);
        EXPECT_EQ(s.bytes[391], size == 30 ? 0x00 : size == 392 ? 0xF7 : 0x02);
    }
}

TEST(QuarnelConversion, EveryListedIndexTakesItsRuleAndItsNeighboursMoveUnchanged)
{
    const std::vector<size_t> folded = {252, 253, 256, 257, 260, 261, 264, 265,
                                        292, 295, 298, 301, 304, 307, 310, 313};
    std::vector<size_t> raised;
    for (size_t i = 269; raised.size() < 16; i += 3) raised.push_back(i);
    ASSERT_EQ(raised.back(), 314u);

    PatchSysexMessage m = message(393, 0x00);
    m.bytes[1] = 0x20; // a later model: the every-third bytes are raised
    for (size_t i = 252; i <= 391; ++i) m.bytes[i] = 33;
    const std::vector<uint8_t> before = m.bytes;
    PatchLibrarian lib;
    lib.alterPatchFromQuarnelFormat(&m);
    ASSERT_EQ(m.bytes.size(), 393u);
    EXPECT_EQ(m.bytes[252], 33); // keeps its value, unmapped, and is also moved up
    for (size_t i = 252; i <= 391; ++i) {
        bool isFolded = std::find(folded.begin(), folded.end(), i) != folded.end();
        bool isRaised = std::find(raised.begin(), raised.end(), i) != raised.end();
        uint8_t expected = isFolded ? 45 : isRaised ? 34 : 33;
        EXPECT_EQ(m.bytes[i + 1], expected) << "source index " << i;
    }
    // Source byte 392 is dropped: the result ends with what was at 391.
    EXPECT_EQ(m.bytes[392], before[391]);
}

TEST(QuarnelConversion, RangeMappingKeepsLowValuesRaisesThe31To36BandAndZeroesTheRest)
{
    for (int v : {0, 30, 31, 36, 37, 127}) {
        PatchSysexMessage m = message(393, 0x00);
        m.bytes[292] = static_cast<uint8_t>(v);
        PatchLibrarian lib;
        lib.alterPatchFromQuarnelFormat(&m);
        const int expected = v < 31 ? v : v <= 36 ? v + 12 : 0;
        EXPECT_EQ(m.bytes[293], expected) << v;
    }
}

TEST(QuarnelConversion, WaveByte151AndTheOscillatorBytesFollowTheirTables)
{
    const std::pair<int, int> wave[] = {{0, 0}, {3, 3}, {4, 5}, {7, 4}, {8, 9}, {9, 32}, {10, 33}, {11, 12}};
    for (auto [in, out] : wave) {
        PatchSysexMessage m = message(393, 0x00);
        m.bytes[151] = static_cast<uint8_t>(in);
        PatchLibrarian lib;
        lib.alterPatchFromQuarnelFormat(&m);
        EXPECT_EQ(m.bytes[151], out) << in;
    }
    PatchSysexMessage m = message(393, 0x00);
    for (size_t i : {13u, 29u, 45u}) m.bytes[i] = 5;
    for (size_t i : {15u, 31u, 47u}) m.bytes[i] = 1;
    m.bytes[47] = 0;
    m.bytes[124] = 1;
    m.bytes[135] = 3;
    PatchLibrarian lib;
    lib.alterPatchFromQuarnelFormat(&m);
    for (size_t i : {13u, 29u, 45u}) EXPECT_EQ(m.bytes[i], 8) << i;
    EXPECT_EQ(m.bytes[15], 0);
    EXPECT_EQ(m.bytes[31], 0);
    EXPECT_EQ(m.bytes[47], 0); // 0 stays 0
    EXPECT_EQ(m.bytes[124], 1);
    EXPECT_EQ(m.bytes[135], 3);
}

TEST(StrovaneConversion, EveryListedIndexTakesItsRule)
{
    const std::vector<size_t> filters = {17, 33, 49, 57, 96, 101, 116, 121, 130, 268, 271, 274, 277, 280, 283, 286, 289};
    const std::vector<size_t> cleared = {19, 20, 21, 22, 23, 35, 36, 37, 38, 39, 55, 76, 89, 109};
    const std::vector<size_t> modTargets = {252, 253, 256, 257, 260, 261, 264, 265, 292, 295, 298, 301, 304, 307, 310, 313};
    const std::vector<size_t> below31 = {269, 272, 275, 278, 281, 284, 287, 290};
    const std::vector<size_t> below54 = {293, 296, 299, 302, 305, 308, 311, 314};
    PatchLibrarian lib;

    // Filter types: 10, 12, 14 and above 16 go; 15 and 16 swap onto 12 and 11; the rest stay.
    const std::pair<int, int> filterMap[] = {{0, 0}, {9, 9}, {10, 0}, {11, 11}, {12, 0}, {13, 13},
                                             {14, 0}, {15, 12}, {16, 11}, {17, 0}, {127, 0}};
    for (auto [in, out] : filterMap) {
        PatchSysexMessage m = message(392, static_cast<uint8_t>(in));
        lib.alterPatchFromStrovaneFormat(&m);
        for (size_t i : filters) EXPECT_EQ(m.bytes[i], out) << "index " << i << " value " << in;
    }
    PatchSysexMessage m = message(392, 60);
    lib.alterPatchFromStrovaneFormat(&m);
    for (size_t i : cleared) EXPECT_EQ(m.bytes[i], 0) << i;
    for (size_t i : below31) EXPECT_EQ(m.bytes[i], 0) << i;
    for (size_t i : below54) EXPECT_EQ(m.bytes[i], 0) << i;
    for (size_t i : modTargets) EXPECT_EQ(m.bytes[i], 60) << i; // only 24 is mapped there
    EXPECT_EQ(m.bytes[84], 1);
    EXPECT_EQ(m.bytes[104], 1);
    EXPECT_EQ(m.bytes[15], 0);
    EXPECT_EQ(m.bytes[31], 0);
    EXPECT_EQ(m.bytes[270], 60);

    PatchSysexMessage edge = message(392, 24);
    lib.alterPatchFromStrovaneFormat(&edge);
    for (size_t i : modTargets) EXPECT_EQ(edge.bytes[i], 0) << i;
    for (size_t i : below31) EXPECT_EQ(edge.bytes[i], 24) << i;
    EXPECT_EQ(edge.bytes[84], 1);
    PatchSysexMessage low = message(392, 6);
    lib.alterPatchFromStrovaneFormat(&low);
    EXPECT_EQ(low.bytes[15], 6);
    EXPECT_EQ(low.bytes[151], 7);
    EXPECT_EQ(low.bytes[84], 6);
}

TEST(StrovaneConversion, EveryCategoryNumberWritesItsNameAndKeepsTheBytesBeyondIt)
{
    const char* names[] = {"Init", "Arp", "Atmo", "Bass", "Drum", "FX", "Keys", "Lead", "Mono", "Pad", "Perc", "Poly", "Seq"};
    PatchLibrarian lib;
    for (int number = 0; number <= 14; ++number) {
        PatchSysexMessage m = message(392, 0x55);
        m.bytes[387] = static_cast<uint8_t>(number);
        lib.alterStrovaneCategoryFormat(&m);
        std::string name = number <= 12 ? names[number] : "Init";
        std::string expected = name + std::string(4 - name.size(), 'U');
        EXPECT_EQ(std::string(m.bytes.begin() + 386, m.bytes.begin() + 390), expected) << number;
    }
    // A message too short to hold the category is left alone.
    PatchSysexMessage shortOne = message(300, 0x55);
    lib.alterStrovaneCategoryFormat(&shortOne);
    EXPECT_EQ(shortOne.bytes, message(300, 0x55).bytes);
}
