#include <gtest/gtest.h>

#include <vector>

#include "kit/plugin/IMidiQueue.h"
#include "kit/plugin/IPluginStructs.h"

TEST(MidiMsg, ConstructorsTruncateTowardZero)
{
    IMidiMsg m;
    m.MakeProgramChangeMsg(5.0 / 127.0 + 0.001, 3);
    EXPECT_EQ(m.mStatus, 0xC3);
    EXPECT_EQ(m.mData1, 5);
    EXPECT_EQ(m.mData2, 0xFF);
    EXPECT_EQ(m.Program(), 5);
    m.MakeProgramChangeMsg(1.0, 0);
    EXPECT_EQ(m.mData1, 127);

    m.MakeControlChangeMsg(kChannelVolume, 0.5, 0);
    EXPECT_EQ(m.mStatus, 0xB0);
    EXPECT_EQ(m.mData1, 7);
    EXPECT_EQ(m.mData2, 63);
    EXPECT_EQ(m.Program(), -1);
    EXPECT_DOUBLE_EQ(m.ControlChange(kChannelVolume), 63.0 / 127.0);
    EXPECT_DOUBLE_EQ(m.ControlChange(kPan), -1.0);
    // Out of range values keep the low eight bits of the truncated product.
    m.MakeControlChangeMsg(kPan, 3.0, 1);
    EXPECT_EQ(m.mData2, (381 & 0xFF));

    m.MakeNoteOffMsg(60, 17, 2, 64);
    EXPECT_EQ(m.mStatus, 0x82);
    EXPECT_EQ(m.mOffset, 17);
    EXPECT_EQ(m.Velocity(), 64);
    EXPECT_EQ(m.NoteNumber(), 60);
}

TEST(MidiMsg, PitchWheelClampsAndSplitsSevenBits)
{
    const struct { double value; int channel, status, data1, data2; } table[] = {
        {1.0, 0, 0xE0, 0x7F, 0x7F}, {-1.0, 0, 0xE0, 0, 0}, {0.0, 5, 0xE5, 0, 0x40}};
    IMidiMsg m;
    for (const auto& row : table) {
        SCOPED_TRACE(row.value);
        m.MakePitchWheelMsg(row.value, row.channel);
        EXPECT_EQ(m.mStatus, row.status);
        EXPECT_EQ(m.mData1, row.data1);
        EXPECT_EQ(m.mData2, row.data2);
    }
    EXPECT_DOUBLE_EQ(m.PitchWheel(), 0.0);
}

TEST(MidiMsg, StatusKindsAndNames)
{
    IMidiMsg clock(0, 0xF8, 0, 0);
    EXPECT_EQ(clock.StatusMsg(), IMidiMsg::kNone);
    IMidiMsg data(0, 0x40, 0, 0);
    EXPECT_EQ(data.StatusMsg(), IMidiMsg::kNone);
    IMidiMsg at(0, 0xA1, 33, 9);
    EXPECT_EQ(at.NoteNumber(), 33);
    EXPECT_EQ(at.Velocity(), -1);
    EXPECT_EQ(at.Channel(), 1);
    EXPECT_EQ(at.MidiChannelIdx(), 0xA1);
    const struct { int status; const char* name; } names[] = {
        {IMidiMsg::kNoteOn, "noteon "}, {20, "unknown"}, {3, "unknown"}, {IMidiMsg::kChannelAftertouch, "channelaftertouch"}};
    for (const auto& n : names) EXPECT_STREQ(StatusMsgStr(IMidiMsg::EStatusMsg(n.status)), n.name) << n.status;
}

TEST(SysExText, HexBytesWithinTheBuffer)
{
    const uint8_t bytes[] = {0xF0, 0x01, 0x02, 0x03, 0xF7};
    char buf[32];
    EXPECT_STREQ(SysExStr(buf, 9, bytes, 5), "F0 01 02");
    EXPECT_STREQ(SysExStr(buf, 32, bytes, 5), "F0 01 02 03 F7");
    EXPECT_STREQ(SysExStr(buf, 32, bytes, 0), "");
    EXPECT_STREQ(SysExStr(buf, 32, nullptr, 5), "");
}

namespace {
std::vector<int> drain(IMidiQueue& q)
{
    std::vector<int> out;
    while (!q.Empty()) {
        out.push_back(q.Peek()->mOffset * 100 + q.Peek()->mData1);
        q.Remove();
    }
    return out;
}
} // namespace

TEST(MidiQueue, EqualOffsetsKeepArrivalOrder)
{
    IMidiQueue q(4);
    IMidiMsg a(10, 0xB0, 1, 0), b(5, 0xB0, 2, 0), c(10, 0xB0, 3, 0), d(0, 0xB0, 4, 0);
    q.Add(&a);
    q.Add(&b);
    q.Add(&c);
    q.Add(&d);
    EXPECT_EQ(drain(q), (std::vector<int>{4, 502, 1001, 1003}));
}

TEST(MidiQueue, FullQueueCompactsBeforeGrowingAndDropsWithoutGrowth)
{
    IMidiQueue q(2);
    IMidiMsg m(0, 0x90, 1, 1);
    q.Add(&m);
    q.Add(&m);
    q.Remove();
    q.Add(&m); // front > 0: compacted, capacity unchanged
    EXPECT_EQ(q.GetSize(), 2);
    EXPECT_EQ(q.ToDo(), 2);
    q.Add(&m); // front 0: grows by the granularity
    EXPECT_EQ(q.GetSize(), 4);

    IMidiQueue none(0);
    none.Add(&m);
    EXPECT_TRUE(none.Empty()) << "grow 0 drops the message";
}

TEST(MidiQueue, FlushShiftsOffsetsAndResizeRoundsTo512)
{
    IMidiQueue q(1024);
    IMidiMsg a(100, 0xB0, 1, 0), b(700, 0xB0, 2, 0);
    q.Add(&a);
    q.Add(&b);
    q.Remove();
    q.Flush(512);
    ASSERT_EQ(q.ToDo(), 1);
    EXPECT_EQ(q.Peek()->mOffset, 188);
    q.Resize(100);
    EXPECT_EQ(q.GetSize(), 512);
    q.Resize(1024);
    EXPECT_EQ(q.GetSize(), 1024);
    EXPECT_EQ(q.Peek()->mData1, 2) << "contents survive a resize";
}

TEST(ByteChunk, StringsAreLengthThenBytes)
{
    ByteChunk c;
    c.PutStr("abc");
    ASSERT_EQ(c.Size(), 7);
    const uint8_t expect[] = {3, 0, 0, 0, 'a', 'b', 'c'};
    EXPECT_EQ(0, std::memcmp(c.GetBytes(), expect, 7));
    KIT_String s;
    EXPECT_EQ(c.GetStr(&s, 0), 7);
    EXPECT_STREQ(s.Get(), "abc");

    double d = 2.5;
    int32_t i = -7;
    c.Put(&d);
    c.Put(&i);
    c.PutBool(true);
    double rd = 0;
    int32_t ri = 0;
    bool rb = false;
    int pos = c.Get(&rd, 7);
    pos = c.Get(&ri, pos);
    pos = c.GetBool(&rb, pos);
    EXPECT_EQ(pos, c.Size());
    EXPECT_EQ(rd, 2.5);
    EXPECT_EQ(ri, -7);
    EXPECT_TRUE(rb);
    EXPECT_EQ(c.Get(&rd, c.Size() - 4), -1) << "a double 4 bytes before the end";
    EXPECT_EQ(rd, 2.5) << "a failed read leaves the value";
}

TEST(ByteChunk, BadLengthsAndPositionsAreRejected)
{
    ByteChunk c;
    int32_t neg = -5;
    c.Put(&neg);
    c.PutBytes("xxxxxxxx", 8);
    KIT_String s("keep");
    EXPECT_EQ(c.GetStr(&s, 0), -1) << "negative length";
    EXPECT_STREQ(s.Get(), "keep");

    ByteChunk big;
    int32_t huge = 0x7FFFFFFF;
    big.Put(&huge);
    big.PutBytes("ab", 2);
    EXPECT_EQ(big.GetStr(&s, 0), -1) << "length past the end";
    EXPECT_EQ(big.GetStr(&s, -3), -1);
    EXPECT_EQ(big.GetStr(&s, 0x7FFFFFFE), -1) << "no overflow near the top";

    ByteChunk z;
    z.PutStr("");
    s.Set("old");
    EXPECT_EQ(z.GetStr(&s, 0), 4);
    EXPECT_STREQ(s.Get(), "");

    ByteChunk emb;
    int32_t n = 5;
    emb.Put(&n);
    emb.PutBytes("ab\0cd", 5);
    EXPECT_EQ(emb.GetStr(&s, 0), 9);
    EXPECT_STREQ(s.Get(), "ab") << "stops at the first zero byte";
}

TEST(ByteChunk, ResizeZeroFillsAndPutChunkAppends)
{
    ByteChunk a, b;
    a.PutStr("x");
    a.Resize(8);
    EXPECT_EQ(a.Size(), 8);
    for (int i = 5; i < 8; ++i) EXPECT_EQ(a.GetBytes()[i], 0);
    b.PutChunk(&a);
    b.PutChunk(&a);
    EXPECT_EQ(b.Size(), 16);
    a.Clear();
    EXPECT_EQ(a.Size(), 0);
    EXPECT_EQ(a.GetBytes(), nullptr);
}
