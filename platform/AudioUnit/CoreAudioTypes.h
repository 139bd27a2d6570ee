#pragma once
// Audio time stamps, buffer lists, stream formats and channel layout tags.
#include <CoreServices/MacTypes.h>

struct SMPTETime {
    SInt16 mSubframes;
    SInt16 mSubframeDivisor;
    UInt32 mCounter;
    UInt32 mType;
    UInt32 mFlags;
    SInt16 mHours;
    SInt16 mMinutes;
    SInt16 mSeconds;
    SInt16 mFrames;
};

struct AudioTimeStamp {
    Float64 mSampleTime;
    UInt64 mHostTime;
    Float64 mRateScalar;
    UInt64 mWordClockTime;
    SMPTETime mSMPTETime;
    UInt32 mFlags;
    UInt32 mReserved;
};

enum : UInt32 {
    kAudioTimeStampSampleTimeValid = 1u << 0,
    kAudioTimeStampHostTimeValid = 1u << 1,
};

struct AudioBuffer {
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void* mData;
};

// Variable length: mNumberBuffers entries follow in place of the one declared.
struct AudioBufferList {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
};

struct AudioStreamBasicDescription {
    Float64 mSampleRate;
    UInt32 mFormatID;
    UInt32 mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};

enum : UInt32 {
    kAudioFormatLinearPCM = 0x6C70636D, // 'lpcm'
    kAudioFormatFlagIsFloat = 1u << 0,
    kAudioFormatFlagIsPacked = 1u << 3,
    kAudioFormatFlagIsNonInterleaved = 1u << 5,
};

typedef UInt32 AudioChannelLayoutTag;
enum : AudioChannelLayoutTag {
    kAudioChannelLayoutTag_Mono = (100u << 16) | 1,
    kAudioChannelLayoutTag_Stereo = (101u << 16) | 2,
    kAudioChannelLayoutTag_Unknown = 0xFFFF0000u,
};
