// MIDI records, the block's event queue and the byte chunk that carries saved state.
#include <gtest/gtest.h>

#include <vector>

#include "kit/plugin/IMidiQueue.h"
#include "kit/plugin/IPluginStructs.h"

TEST(MidiMsg, ConstructorsTruncateTowardZeroAndKeepTheLowBitsOutOfRange)
{
    IMidiMsg pc, cc, big, off, pw;
    pc.MakeProgramChangeMsg(5.0 / 127.0 + 0.001, 3);
    cc.MakeControlChangeMsg(kCCChannelVolume, 0.5, 0);
    big.MakeControlChangeMsg(kCCPan, 3.0, 1); // 381 keeps its low eight bits
    off.MakeNoteOffMsg(60, 17, 2, 64);
    pw.MakePitchWheelMsg(0.0, 5);
    const struct { IMidiMsg* m; int status, data1, data2; } table[] = {
        {&pc, 0xC3, 5, 0xFF}, {&cc, 0xB0, 7, 63}, {&big, 0xB1, 10, 381 & 0xFF}, {&off, 0x82, 60, 64}, {&pw, 0xE5, 0, 0x40}};
    for (const auto& row : table)
        EXPECT_EQ(std::vector<int>({row.m->mStatus, row.m->mData1, row.m->mData2}),
                  std::vector<int>({row.status, row.data1, row.data2}));
    EXPECT_EQ(pc.Program() * 10 + cc.Program(), 49);
    EXPECT_DOUBLE_EQ(cc.ControlChange(kCCChannelVolume), 63.0 / 127.0);
    EXPECT_DOUBLE_EQ(cc.ControlChange(kCCPan), -1.0);
    EXPECT_EQ(off.mOffset * 100 + off.Velocity(), 1764);
    EXPECT_DOUBLE_EQ(pw.PitchWheel(), 0.0);
    pw.MakePitchWheelMsg(7.0, 0);
    EXPECT_EQ(pw.mData1 * 1000 + pw.mData2, 0x7F * 1000 + 0x7F) << "clamped to the top";
    pw.MakePitchWheelMsg(-1.0, 0);
    EXPECT_EQ(pw.mData1 + pw.mData2, 0);
}

TEST(MidiMsg, StatusKindsNamesAndSysExText)
{
    EXPECT_TRUE(IMidiMsg(0, 0xF8, 0, 0).StatusMsg() == IMidiMsg::kNone && IMidiMsg(0, 0x40, 0, 0).StatusMsg() == IMidiMsg::kNone);
    IMidiMsg at(0, 0xA1, 33, 9);
    EXPECT_EQ(std::vector<int>({at.NoteNumber(), at.Velocity(), at.Channel()}), std::vector<int>({33, -1, 1}));
    const struct { int status; const char* name; } names[] = {
        {IMidiMsg::kNoteOn, "noteon "}, {20, "unknown"}, {3, "unknown"}, {IMidiMsg::kChannelAftertouch, "channelaftertouch"}};
    for (const auto& n : names) EXPECT_STREQ(StatusMsgStr(IMidiMsg::EStatusMsg(n.status)), n.name) << n.status;
    const uint8_t bytes[] = {0xF0, 0x01, 0x02, 0x03, 0xF7};
    char buf[32];
    EXPECT_STREQ(SysExStr(buf, 9, bytes, 5), "F0 01 02");
    EXPECT_STREQ(SysExStr(buf, 32, bytes, 5), "F0 01 02 03 F7");
    EXPECT_STREQ(SysExStr(buf, 32, nullptr, 5), "");
}

TEST(MidiQueue, AFullQueueCompactsBeforeGrowingAndFlushShiftsOffsets)
{
    IMidiQueue q(2), none(0);
    IMidiMsg a(100, 0xB0, 1, 0), b(700, 0xB0, 2, 0);
    q.Add(&a);
    q.Add(&a);
    q.Remove();
    q.Add(&b); // front > 0: compacted, capacity unchanged
    EXPECT_EQ(q.GetSize() * 10 + q.ToDo(), 22);
    q.Add(&a); // front 0: grows by the granularity
    EXPECT_EQ(q.GetSize(), 4);
    q.Remove();
    q.Remove();
    q.Flush(512);
    EXPECT_EQ(q.Peek()->mOffset * 10 + q.ToDo(), 1881) << "offsets move back by the block";
    q.Resize(100);
    EXPECT_EQ(q.GetSize() * 10 + q.Peek()->mData1, 5122) << "rounded to 512, contents kept";
    none.Add(&a);
    EXPECT_TRUE(none.Empty()) << "grow 0 drops the message";
}

TEST(ByteChunk, StringLengthsThatDoNotFitAreRejectedAndZeroLengthEmptiesTheText)
{
    const struct { int32_t length; const char* body; int bodyLen, pos, result; const char* text; } table[] = {
        {-5, "xxxxxxxx", 8, 0, -1, "keep"},          // negative length
        {0x7FFFFFFF, "ab", 2, 0, -1, "keep"},        // past the end
        {0x7FFFFFFF, "ab", 2, 0x7FFFFFFE, -1, "keep"}, // no overflow near the top
        {0, "", 0, 0, 4, ""},                        // an empty name replaces the old one
        {5, "ab\0cd", 5, 0, 9, "ab"},                // stops at the first zero byte
    };
    for (const auto& row : table) {
        ByteChunk c;
        c.Put(&row.length);
        c.PutBytes(row.body, row.bodyLen);
        KIT_String s("keep");
        EXPECT_EQ(c.GetStr(&s, row.pos), row.result) << row.length << " at " << row.pos;
        EXPECT_STREQ(s.Get(), row.text);
    }
}

TEST(MidiQueue, MessagesStandByOffsetAndEqualOffsetsKeepTheirArrival)
{
    IMidiQueue q(8);
    const int offsets[] = {10, 5, 10, 0};
    for (int i = 0; i < 4; ++i) {
        IMidiMsg m(offsets[i], 0xB0, uint8_t(i), 0);
        q.Add(&m);
    }
    std::vector<int> order;
    for (; !q.Empty(); q.Remove()) order.push_back(q.Peek()->mOffset * 10 + q.Peek()->mData1);
    EXPECT_EQ(order, (std::vector<int>{3, 51, 100, 102})) << "offset then the message's arrival";
}

TEST(ByteChunk, AStringIsItsLengthAndCharactersAndAReadPastTheEndAnswersMinusOne)
{
    ByteChunk c;
    EXPECT_EQ(c.PutStr("abc"), 7);
    const uint8_t expected[] = {3, 0, 0, 0, 'a', 'b', 'c'};
    ASSERT_EQ(c.Size(), 7);
    EXPECT_EQ(std::vector<uint8_t>(c.GetBytes(), c.GetBytes() + 7), std::vector<uint8_t>(expected, expected + 7));
    KIT_String s;
    EXPECT_EQ(c.GetStr(&s, 0), 7);
    EXPECT_STREQ(s.Get(), "abc");
    double d = 1.5;
    c.Put(&d);
    double back = 0.0;
    EXPECT_EQ(c.Get(&back, 7), 15);
    EXPECT_EQ(back, 1.5);
    back = 9.0;
    EXPECT_EQ(c.Get(&back, c.Size() - 4), -1);
    EXPECT_EQ(back, 9.0) << "nothing read";
}
