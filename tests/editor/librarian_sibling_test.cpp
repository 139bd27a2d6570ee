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

TEST(QuarnelConversion, Message392BytesLongBecomes393WithItsTailMovedUp)
{
    PatchSysexMessage m = message(392, 0x05);
    for (size_t i = 252; i < 391; ++i) m.bytes[i] = static_cast<uint8_t>(i & 0x1F);
    const std::vector<uint8_t> before = m.bytes;
    PatchLibrarian lib;
    lib.alterPatchFromQuarnelFormat(&m);
    ASSERT_EQ(m.bytes.size(), 393u);
    EXPECT_EQ(m.bytes.back(), 0xF7);
    EXPECT_EQ(m.bytes[252], before[252]);
    // Unmapped bytes move one place up unchanged.
    for (size_t i : {254u, 255u, 258u, 300u, 390u}) EXPECT_EQ(m.bytes[i + 1], before[i]) << i;
    // S[1] is 0: the every-third bytes are not raised.
    EXPECT_EQ(m.bytes[270], before[269]);
}

namespace {
struct ByteRule {
    size_t from;
    uint8_t in;
    size_t to; // where the result lands
    uint8_t out;
};

// Sets every rule's input byte in a message of size filled with fill, converts it, and checks
// each result.
template <typename Convert>
void expectRules(size_t size, uint8_t fill, std::initializer_list<ByteRule> rules, Convert convert)
{
    PatchSysexMessage m = message(size, fill);
    for (const ByteRule& r : rules) m.bytes[r.from] = r.in;
    convert(&m);
    for (const ByteRule& r : rules) EXPECT_EQ(m.bytes[r.to], r.out) << "byte " << r.from << " = " << int(r.in);
}
} // namespace

TEST(QuarnelConversion, SingleBytesAreRemapped)
{
    PatchLibrarian lib;
    // Byte 1 at 20 marks a later model: the every-third bytes are raised.
    expectRules(392, 0x00,
                {{151, 10, 151, 33}, {124, 0, 124, 127}, {13, 4, 13, 4}, {29, 5, 29, 8}, {15, 3, 15, 2}, {135, 4, 135, 5},
                 {252, 33, 253, 45}, // folded up by 12, moved up one place
                 {253, 40, 254, 0},  // out of range
                 {269, 7, 270, 8}, {1, 20, 1, 20}},
                [&](PatchSysexMessage* m) { lib.alterPatchFromQuarnelFormat(m); });
}

TEST(QuarnelConversion, ShortMessageIsPaddedWithoutReadingPastIt)
{
    PatchSysexMessage m = message(30, 0x01);
    PatchLibrarian lib;
    lib.alterPatchFromQuarnelFormat(&m);
    EXPECT_EQ(m.bytes.size(), 393u);
    EXPECT_EQ(m.bytes[392], 0x00);
}

TEST(StrovaneConversion, MessageIsBroughtTo392Bytes)
{
    PatchLibrarian lib;
    PatchSysexMessage longer = message(400, 0x02);
    lib.alterPatchFromStrovaneFormat(&longer);
    EXPECT_EQ(longer.bytes.size(), 392u);
    PatchSysexMessage exact = message(392, 0x02);
    lib.alterPatchFromStrovaneFormat(&exact);
    EXPECT_EQ(exact.bytes.size(), 392u);
    EXPECT_EQ(exact.bytes.back(), 0xF7);
}

TEST(StrovaneConversion, ValuesOutsideOurRangesAreMapped)
{
    PatchLibrarian lib;
    expectRules(392, 0x03,
                {{15, 7, 15, 0}, {17, 15, 17, 12}, {33, 16, 33, 11}, {49, 12, 49, 0}, {57, 13, 57, 13}, {19, 3, 19, 0},
                 {84, 18, 84, 1}, {151, 6, 151, 7}, {252, 24, 252, 0}, {269, 31, 269, 0}, {293, 53, 293, 53},
                 {200, 3, 200, 3}},
                [&](PatchSysexMessage* m) { lib.alterPatchFromStrovaneFormat(m); });
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
