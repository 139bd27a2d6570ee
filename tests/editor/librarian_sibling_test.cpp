// Converting program messages of the sibling synthesizers.
#include <gtest/gtest.h>

#include "Project_Source/src/PatchLibrarian.h"

namespace {
using Indices = std::vector<size_t>;

PatchSysexMessage message(size_t size, uint8_t fill)
{
    PatchSysexMessage m;
    m.bytes.assign(size, fill);
    m.bytes[0] = 0xF0;
    m.bytes.back() = 0xF7;
    return m;
}

struct ByteRule {
    uint8_t model; // byte 1
    Indices at;
    uint8_t in, out;
};

Indices every3(size_t from, size_t to)
{
    Indices out;
    for (size_t i = from; i <= to; i += 3) out.push_back(i);
    return out;
}

const Indices kModTargets = {252, 253, 256, 257, 260, 261, 264, 265, 292, 295, 298, 301, 304, 307, 310, 313};
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

// Bytes from 252 on move up by one, unmapped ones unchanged; the others stay where they are.
TEST(QuarnelConversion, EveryListedByteTakesItsRule)
{
    const ByteRule rules[] = {
        {0x20, {13, 29, 45}, 5, 8},  {0x20, {13}, 4, 4},     {0x20, {15, 31, 47}, 1, 0}, {0x20, {47}, 0, 0},
        {0x20, {124}, 0, 0x7F},      {0x20, {124}, 1, 1},    {0x20, {135}, 3, 3},        {0x20, {135}, 4, 5},
        {0x20, {151}, 3, 3},         {0x20, {151}, 4, 5},    {0x20, {151}, 7, 4},        {0x20, {151}, 9, 32},
        {0x20, {151}, 10, 33},       {0x20, {151}, 11, 12},  {0x20, kModTargets, 30, 30}, {0x20, kModTargets, 31, 43},
        {0x20, kModTargets, 36, 48}, {0x20, kModTargets, 37, 0}, {0x20, every3(269, 314), 33, 34},
        {0x13, every3(269, 314), 33, 33}, {0x20, {254, 270, 391}, 33, 33}};
    PatchLibrarian lib;
    for (const ByteRule& r : rules) {
        PatchSysexMessage m = message(393, 0x00);
        m.bytes[1] = r.model;
        for (size_t i : r.at) m.bytes[i] = r.in;
        lib.alterPatchFromQuarnelFormat(&m);
        for (size_t i : r.at) EXPECT_EQ(m.bytes[i < 252 ? i : i + 1], r.out) << i << " from " << int(r.in);
    }
}

TEST(StrovaneConversion, EveryListedByteTakesItsRule)
{
    const Indices filters = {17, 33, 49, 57, 96, 101, 116, 121, 130, 268, 271, 274, 277, 280, 283, 286, 289};
    std::vector<ByteRule> rules = {
        {0, {19, 20, 21, 22, 23, 35, 36, 37, 38, 39, 55, 76, 89, 109}, 60, 0},
        {0, every3(269, 290), 31, 0}, {0, every3(269, 290), 30, 30}, {0, every3(293, 314), 54, 0},
        {0, every3(293, 314), 53, 53}, {0, kModTargets, 24, 0},     {0, kModTargets, 60, 60},
        {0, {84, 104}, 18, 1},        {0, {84, 104}, 17, 17},       {0, {15, 31}, 7, 0},
        {0, {15, 31}, 6, 6},          {0, {151}, 6, 7},             {0, {151}, 60, 60}};
    // Filter types: 10, 12, 14 and above 16 go; 15 and 16 swap onto 12 and 11; the rest stay.
    const std::pair<int, int> filterMap[] = {{9, 9}, {10, 0}, {11, 11}, {12, 0}, {13, 13},
                                             {14, 0}, {15, 12}, {16, 11}, {17, 0}, {127, 0}};
    for (auto [in, out] : filterMap) rules.push_back({0, filters, uint8_t(in), uint8_t(out)});
    PatchLibrarian lib;
    for (const ByteRule& r : rules) {
        PatchSysexMessage m = message(392, 0x00);
        for (size_t i : r.at) m.bytes[i] = r.in;
        lib.alterPatchFromStrovaneFormat(&m);
        for (size_t i : r.at) EXPECT_EQ(m.bytes[i], r.out) << i << " from " << int(r.in);
    }
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
        EXPECT_EQ(std::string(m.bytes.begin() + 386, m.bytes.begin() + 390), name + std::string(4 - name.size(), 'U'));
    }
    PatchSysexMessage shortOne = message(300, 0x55); // too short to hold the category: left alone
    lib.alterStrovaneCategoryFormat(&shortOne);
    EXPECT_EQ(shortOne.bytes, message(300, 0x55).bytes);
}
