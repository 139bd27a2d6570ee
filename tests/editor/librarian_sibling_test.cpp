// Converting program messages of the sibling synthesizers.
#include <gtest/gtest.h>

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

TEST(QuarnelConversion, SingleBytesAreRemapped)
{
    PatchSysexMessage m = message(392, 0x00);
    m.bytes[151] = 10;
    m.bytes[124] = 0;
    m.bytes[13] = 4;
    m.bytes[29] = 5;
    m.bytes[15] = 3;
    m.bytes[135] = 4;
    m.bytes[252] = 33;
    m.bytes[253] = 40;
    m.bytes[269] = 7;
    m.bytes[1] = 20;
    PatchLibrarian lib;
    lib.alterPatchFromQuarnelFormat(&m);
    EXPECT_EQ(m.bytes[151], 33);
    EXPECT_EQ(m.bytes[124], 127);
    EXPECT_EQ(m.bytes[13], 4);
    EXPECT_EQ(m.bytes[29], 8);
    EXPECT_EQ(m.bytes[15], 2);
    EXPECT_EQ(m.bytes[135], 5);
    EXPECT_EQ(m.bytes[253], 45); // 33 folded up by 12, moved up one place
    EXPECT_EQ(m.bytes[254], 0);  // 40 is out of range
    EXPECT_EQ(m.bytes[270], 8);  // raised for the later model
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
    PatchSysexMessage m = message(392, 0x03);
    m.bytes[15] = 7;
    m.bytes[17] = 15;
    m.bytes[33] = 16;
    m.bytes[49] = 12;
    m.bytes[57] = 13;
    m.bytes[84] = 18;
    m.bytes[151] = 6;
    m.bytes[252] = 24;
    m.bytes[269] = 31;
    m.bytes[293] = 53;
    PatchLibrarian lib;
    lib.alterPatchFromStrovaneFormat(&m);
    EXPECT_EQ(m.bytes[15], 0);
    EXPECT_EQ(m.bytes[17], 12);
    EXPECT_EQ(m.bytes[33], 11);
    EXPECT_EQ(m.bytes[49], 0);
    EXPECT_EQ(m.bytes[57], 13);
    EXPECT_EQ(m.bytes[19], 0);
    EXPECT_EQ(m.bytes[84], 1);
    EXPECT_EQ(m.bytes[151], 7);
    EXPECT_EQ(m.bytes[252], 0);
    EXPECT_EQ(m.bytes[269], 0);
    EXPECT_EQ(m.bytes[293], 53);
    EXPECT_EQ(m.bytes[200], 3);
}

TEST(StrovaneConversion, CategoryNumberBecomesItsName)
{
    PatchLibrarian lib;
    PatchSysexMessage fx = message(392, 0x55);
    fx.bytes[387] = 5;
    lib.alterStrovaneCategoryFormat(&fx);
    EXPECT_EQ(std::string(fx.bytes.begin() + 386, fx.bytes.begin() + 390), "FXUU");
    PatchSysexMessage init = message(392, 0x55);
    init.bytes[387] = 0;
    lib.alterStrovaneCategoryFormat(&init);
    EXPECT_EQ(std::string(init.bytes.begin() + 386, init.bytes.begin() + 390), "Init");
    PatchSysexMessage shortOne = message(300, 0x55);
    lib.alterStrovaneCategoryFormat(&shortOne);
    EXPECT_EQ(shortOne.bytes.size(), 300u);
}
