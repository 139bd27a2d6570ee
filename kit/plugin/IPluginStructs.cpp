#include "kit/plugin/IPluginStructs.h"

#include <cstdio>

void IMidiMsg::MakeNoteOnMsg(int note, int velocity, int offset, int channel)
{
    mOffset = offset;
    mStatus = uint8_t(0x90 | channel);
    mData1 = uint8_t(note);
    mData2 = uint8_t(velocity);
}

void IMidiMsg::MakeNoteOffMsg(int note, int offset, int channel, int velocity)
{
    mOffset = offset;
    mStatus = uint8_t(0x80 | channel);
    mData1 = uint8_t(note);
    mData2 = uint8_t(velocity);
}

// Truncation toward zero, keeping the low eight bits, without undefined conversions.
static uint8_t lowByteOf(double product)
{
    if (!(product > -2147483648.0 && product < 2147483648.0)) return 0;
    return uint8_t(int32_t(product) & 0xFF);
}

void IMidiMsg::MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel)
{
    mOffset = 0;
    mStatus = uint8_t(0xB0 | channel);
    mData1 = uint8_t(idx);
    mData2 = lowByteOf(value * 127.0);
}

void IMidiMsg::MakeProgramChangeMsg(double value, int channel)
{
    mOffset = 0;
    mStatus = uint8_t(0xC0 | channel);
    mData1 = lowByteOf(value * 127.0);
    mData2 = 0xFF;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel)
{
    mOffset = 0;
    mStatus = uint8_t(0xE0 | channel);
    double p = value * 8192.0;
    int v = (p > -1e9 && p < 1e9) ? int(p) + 8192 : (p > 0 ? 16383 : 0);
    if (v < 0) v = 0;
    if (v > 16383) v = 16383;
    mData1 = uint8_t(v & 0x7F);
    mData2 = uint8_t(v >> 7);
}

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const
{
    if (mStatus >= 0x80 && mStatus <= 0xEF) return EStatusMsg(mStatus >> 4);
    return kNone;
}

int IMidiMsg::NoteNumber() const
{
    EStatusMsg k = StatusMsg();
    return (k == kNoteOff || k == kNoteOn || k == kPolyAftertouch) ? mData1 : -1;
}

int IMidiMsg::Velocity() const
{
    EStatusMsg k = StatusMsg();
    return (k == kNoteOff || k == kNoteOn) ? mData2 : -1;
}

int IMidiMsg::Program() const
{
    return StatusMsg() == kProgramChange ? mData1 : -1;
}

double IMidiMsg::PitchWheel() const
{
    if (StatusMsg() != kPitchWheel) return 0.0;
    return double((mData2 << 7) + mData1 - 8192) / 8192.0;
}

double IMidiMsg::ControlChange(EControlChangeMsg idx) const
{
    if (StatusMsg() == kControlChange && mData1 == int(idx)) return double(mData2) / 127.0;
    return -1.0;
}

const char* StatusMsgStr(IMidiMsg::EStatusMsg kind)
{
    static const char* const kNames[15] = {
        "none", "unknown", "unknown", "unknown", "unknown", "unknown", "unknown", "unknown",
        "noteoff", "noteon ", "aftertouch", "controlchange", "programchange", "channelaftertouch",
        "pitchwheel",
    };
    int k = int(kind);
    return (k >= 0 && k < 15) ? kNames[k] : "unknown";
}

char* SysExStr(char* buf, int bufSize, const uint8_t* data, int size)
{
    if (!buf || bufSize < 1) return buf;
    buf[0] = 0;
    if (!data || size <= 0 || bufSize < 3) return buf;
    int n = bufSize / 3 < size ? bufSize / 3 : size;
    static const char kHex[] = "0123456789ABCDEF";
    char* p = buf;
    for (int i = 0; i < n; ++i) {
        *p++ = kHex[data[i] >> 4];
        *p++ = kHex[data[i] & 15];
        *p++ = ' ';
    }
    p[-1] = 0;
    return buf;
}
