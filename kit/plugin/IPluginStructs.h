#pragma once
// The plain records that carry MIDI and state through the framework.
#include <cstdint>
#include <cstring>

#include "kit/heapbuf.h"
#include "kit/kitstring.h"

// Controller numbers 0..127. The named ones carry a kCC prefix: the editor's parameter ids use
// the plain names (kModWheel is a parameter too).
enum EControlChangeMsg {
    kCCModWheel = 1,
    kCCBreathController = 2,
    kCCFootController = 4,
    kCCPortamentoTime = 5,
    kCCChannelVolume = 7,
    kCCBalance = 8,
    kCCPan = 10,
    kCCExpressionController = 11,
    kCCSustainOnOff = 64,
    kCCPortamentoOnOff = 65,
    kCCNRPNDataEntry = 6,
    kCCNRPNLSB = 98,
    kCCNRPNMSB = 99,
    kCCAllNotesOff = 123,
};

struct IMidiMsg {
    int32_t mOffset = 0;
    uint8_t mStatus = 0, mData1 = 0, mData2 = 0;

    enum EStatusMsg {
        kNone = 0,
        kNoteOff = 8,
        kNoteOn = 9,
        kPolyAftertouch = 10,
        kControlChange = 11,
        kProgramChange = 12,
        kChannelAftertouch = 13,
        kPitchWheel = 14,
    };

    IMidiMsg() = default;
    IMidiMsg(int offset, uint8_t status, uint8_t data1, uint8_t data2)
        : mOffset(offset), mStatus(status), mData1(data1), mData2(data2)
    {
    }

    // The channel is or-ed in unmasked: callers keep it in 0..15.
    void MakeNoteOnMsg(int note, int velocity, int offset, int channel = 0);
    void MakeNoteOffMsg(int note, int offset, int channel = 0, int velocity = 0);
    void MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel = 0);
    void MakeProgramChangeMsg(double value, int channel = 0);
    void MakePitchWheelMsg(double value, int channel = 0);
    void Clear() { mOffset = 0; mStatus = mData1 = mData2 = 0; }

    EStatusMsg StatusMsg() const;
    int Channel() const { return mStatus & 0x0F; }
    int ControlChangeIdx() const { return mData1; }
    int NoteNumber() const;
    int Velocity() const;
    int Program() const;
    double PitchWheel() const;
    double ControlChange(EControlChangeMsg idx) const;
    int MidiChannelIdx() const { return mStatus; }
    void LogMsg() {}
};

// Name of a message kind; "unknown" for kinds without a name.
const char* StatusMsgStr(IMidiMsg::EStatusMsg kind);

// A view of one SysEx message (F0..F7 included); the producer keeps the bytes alive.
struct ISysEx {
    int32_t mOffset = 0;
    int32_t mSize = 0;
    const uint8_t* mData = nullptr;

    ISysEx() = default;
    ISysEx(int offset, const uint8_t* data, int size) : mOffset(offset), mSize(size), mData(data) {}
    void Clear() { mOffset = mSize = 0; mData = nullptr; }
    void LogMsg() {}
};

// The bytes as "%02X " text for the first min(bufSize / 3, size) bytes, the last blank
// replaced by the terminator. bufSize must be at least 3.
char* SysExStr(char* buf, int bufSize, const uint8_t* data, int size);

// Growable byte buffer for state chunks: values raw and little-endian, strings as an int32
// length and the characters without a terminator. Reads answer the next position or -1.
class ByteChunk {
public:
    ByteChunk() : mBytes(4096) {}

    template <class T> int Put(const T* value) { return PutBytes(value, int(sizeof(T))); }

    template <class T> int Get(T* value, int pos) const { return GetBytes(value, int(sizeof(T)), pos); }

    int PutBytes(const void* data, int size)
    {
        if (uint8_t* p = PutRoom(size)) std::memcpy(p, data, size_t(size));
        return Size();
    }

    // Room for size more bytes at the end, for the caller to fill: one growth for a run of
    // values. Null, the chunk unchanged, when size is not positive or the chunk cannot grow.
    uint8_t* PutRoom(int size)
    {
        int n = Size();
        if (size <= 0 || int64_t(n) + size > INT32_MAX) return nullptr;
        uint8_t* p = mBytes.Resize(n + size, false);
        return p ? p + n : nullptr;
    }

    // Copies size bytes at pos into data; -1 (data untouched) when they do not lie in the chunk.
    int GetBytes(void* data, int size, int pos) const
    {
        if (pos < 0 || size < 0 || int64_t(pos) + size > Size()) return -1;
        if (size) std::memcpy(data, mBytes.Get() + pos, size_t(size));
        return pos + size;
    }

    int PutBool(bool b)
    {
        uint8_t v = b ? 1 : 0;
        return Put(&v);
    }
    int GetBool(bool* b, int pos) const
    {
        uint8_t v = 0;
        pos = Get(&v, pos);
        if (pos >= 0) *b = v != 0;
        return pos;
    }

    int PutStr(const char* text)
    {
        int32_t n = text ? int32_t(std::strlen(text)) : 0;
        Put(&n);
        return PutBytes(text, n);
    }

    // A negative length, or one reaching past the end, answers -1 and leaves text unchanged.
    // A zero length reads as the empty string.
    int GetStr(KIT_String* text, int pos) const
    {
        int32_t n = 0;
        pos = Get(&n, pos);
        if (pos < 0 || n < 0 || int64_t(pos) + n > Size()) return -1;
        if (n == 0) text->Set("");
        else text->Set(reinterpret_cast<const char*>(mBytes.Get() + pos), n);
        return pos + n;
    }

    int PutChunk(const ByteChunk* other) { return PutBytes(other->GetBytes(), other->Size()); }

    int Size() const { return mBytes.GetSize(); }
    uint8_t* GetBytes() const { return mBytes.Get(); }

    // Bytes added by growing are zero.
    int Resize(int n)
    {
        int old = Size();
        if (n < 0) n = 0;
        uint8_t* p = mBytes.Resize(n);
        if (p && n > old) std::memset(p + old, 0, size_t(n - old));
        return Size();
    }
    void Clear() { mBytes.Resize(0, false); }

    bool IsEqual(const ByteChunk& other) const
    {
        return Size() == other.Size() && (Size() == 0 || std::memcmp(GetBytes(), other.GetBytes(), size_t(Size())) == 0);
    }

private:
    KIT_TypedBuf<uint8_t> mBytes;
};

// Host time of one block. Doubles stay at their previous value while the host reports 0 or
// less for them.
struct ITimeInfo {
    double tempo = 120.0;
    double samplePos = -1.0;
    double ppqPos = -1.0;
    double lastBar = -1.0;
    double cycleStart = -1.0;
    double cycleEnd = -1.0;
    int32_t numerator = 4;
    int32_t denominator = 4;
    bool transportIsRunning = false;
    bool transportLoopEnabled = false;
};
