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
    EXPECT_EQ(pc.Program(), 5);
    EXPECT_EQ(cc.Program(), -1);
    EXPECT_DOUBLE_EQ(cc.ControlChange(kCCChannelVolume), 63.0 / 127.0);
    EXPECT_DOUBLE_EQ(cc.ControlChange(kCCPan), -1.0);
    EXPECT_EQ(off.mOffset, 17);
    EXPECT_EQ(off.Velocity(), 64);
    EXPECT_DOUBLE_EQ(pw.PitchWheel(), 0.0);
    for (double v : {1.0, 7.0}) {
        pw.MakePitchWheelMsg(v, 0);
        EXPECT_EQ(pw.mData1 * 1000 + pw.mData2, 0x7F * 1000 + 0x7F) << "clamped to the top";
    }
    pw.MakePitchWheelMsg(-1.0, 0);
    EXPECT_EQ(pw.mData1 + pw.mData2, 0);
}

TEST(MidiMsg, StatusKindsNamesAndSysExText)
{
    EXPECT_EQ(IMidiMsg(0, 0xF8, 0, 0).StatusMsg(), IMidiMsg::kNone);
    EXPECT_EQ(IMidiMsg(0, 0x40, 0, 0).StatusMsg(), IMidiMsg::kNone);
    IMidiMsg at(0, 0xA1, 33, 9);
    EXPECT_EQ(at.NoteNumber(), 33);
    EXPECT_EQ(at.Velocity(), -1);
    EXPECT_EQ(at.Channel(), 1);
    const struct { int status; const char* name; } names[] = {
        {IMidiMsg::kNoteOn, "noteon "}, {20, "unknown"}, {3, "unknown"}, {IMidiMsg::kChannelAftertouch, "channelaftertouch"}};
    for (const auto& n : names) EXPECT_STREQ(StatusMsgStr(IMidiMsg::EStatusMsg(n.status)), n.name) << n.status;

    const uint8_t bytes[] = {0xF0, 0x01, 0x02, 0x03, 0xF7};
    char buf[32];
    EXPECT_STREQ(SysExStr(buf, 9, bytes, 5), "F0 01 02");
    EXPECT_STREQ(SysExStr(buf, 32, bytes, 5), "F0 01 02 03 F7");
    EXPECT_STREQ(SysExStr(buf, 32, nullptr, 5), "");
}

TEST(MidiQueue, EqualOffsetsKeepArrivalOrderAndAFullQueueCompactsBeforeGrowing)
{
    IMidiQueue q(4);
    IMidiMsg a(10, 0xB0, 1, 0), b(5, 0xB0, 2, 0), c(10, 0xB0, 3, 0), d(0, 0xB0, 4, 0);
    for (IMidiMsg* m : {&a, &b, &c, &d}) q.Add(m);
    std::vector<int> out;
    for (; !q.Empty(); q.Remove()) out.push_back(q.Peek()->mOffset * 100 + q.Peek()->mData1);
    EXPECT_EQ(out, (std::vector<int>{4, 502, 1001, 1003}));

    IMidiQueue g(2);
    g.Add(&a);
    g.Add(&a);
    g.Remove();
    g.Add(&a); // front > 0: compacted, capacity unchanged
    EXPECT_EQ(g.GetSize() * 10 + g.ToDo(), 22);
    g.Add(&a); // front 0: grows by the granularity
    EXPECT_EQ(g.GetSize(), 4);
    IMidiQueue none(0);
    none.Add(&a);
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
    EXPECT_EQ(q.Peek()->mData1, 2) << "contents survive a resize";
}

TEST(ByteChunk, ValuesRoundTripAndAReadPastTheEndFailsLeavingTheValue)
{
    ByteChunk c;
    c.PutStr("abc");
    const uint8_t expect[] = {3, 0, 0, 0, 'a', 'b', 'c'};
    ASSERT_EQ(c.Size(), 7);
    EXPECT_EQ(0, std::memcmp(c.GetBytes(), expect, 7));
    double d = 2.5, rd = 0;
    int32_t i = -7, ri = 0;
    bool rb = false;
    c.Put(&d);
    c.Put(&i);
    c.PutBool(true);
    EXPECT_EQ(c.GetBool(&rb, c.Get(&ri, c.Get(&rd, 7))), c.Size());
    EXPECT_TRUE(rd == 2.5 && ri == -7 && rb);
    EXPECT_EQ(c.Get(&rd, c.Size() - 4), -1) << "a double 4 bytes before the end";
    EXPECT_EQ(rd, 2.5);
    c.Resize(40);
    EXPECT_EQ(c.GetBytes()[39], 0) << "growth is zero-filled";
    ByteChunk two;
    two.PutChunk(&c);
    two.PutChunk(&c);
    EXPECT_EQ(two.Size(), 80);
}

TEST(ByteChunk, StringLengthsThatDoNotFitAreRejectedAndZeroLengthEmptiesTheText)
{
    const struct { int32_t length; const char* body; int bodyLen, pos, result; const char* text; } table[] = {
        {-5, "xxxxxxxx", 8, 0, -1, "keep"},          // negative length
        {0x7FFFFFFF, "ab", 2, 0, -1, "keep"},        // past the end
        {0x7FFFFFFF, "ab", 2, -3, -1, "keep"},       // negative position
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
