#pragma once
// Audio Unit components: types, selectors, status codes, callback shapes and the calls a host
// (or a unit pulling from another unit) makes. Each call goes to the unit's entry routine with
// its selector and its arguments after the unit, last argument in slot 0.
#include <CoreServices/Components.h>

#include "CoreAudioTypes.h"

typedef ComponentInstance AudioUnit;
typedef ComponentInstance AudioComponentInstance;
typedef UInt32 AudioUnitPropertyID;
typedef UInt32 AudioUnitScope;
typedef UInt32 AudioUnitElement;
typedef UInt32 AudioUnitParameterID;
typedef Float32 AudioUnitParameterValue;
typedef UInt32 AudioUnitRenderActionFlags;

enum : UInt32 {
    kAudioUnitType_MusicDevice = 0x61756D75, // 'aumu'
};

enum : AudioUnitScope {
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2,
};

enum : AudioUnitRenderActionFlags {
    kAudioUnitRenderAction_PreRender = 1u << 2,
    kAudioUnitRenderAction_PostRender = 1u << 3,
};

enum : SInt16 {
    kAudioUnitInitializeSelect = 1,
    kAudioUnitUninitializeSelect = 2,
    kAudioUnitGetPropertyInfoSelect = 3,
    kAudioUnitGetPropertySelect = 4,
    kAudioUnitSetPropertySelect = 5,
    kAudioUnitGetParameterSelect = 6,
    kAudioUnitSetParameterSelect = 7,
    kAudioUnitResetSelect = 9,
    kAudioUnitAddPropertyListenerSelect = 10,
    kAudioUnitRemovePropertyListenerSelect = 11,
    kAudioUnitRenderSelect = 14,
    kAudioUnitAddRenderNotifySelect = 15,
    kAudioUnitRemoveRenderNotifySelect = 16,
    kAudioUnitScheduleParametersSelect = 17,
    kAudioUnitRemovePropertyListenerWithUserDataSelect = 18,
};

enum : OSStatus {
    kAudioUnitErr_InvalidProperty = -10879,
    kAudioUnitErr_InvalidParameter = -10878,
    kAudioUnitErr_InvalidElement = -10877,
    kAudioUnitErr_NoConnection = -10876,
    kAudioUnitErr_FailedInitialization = -10875,
    kAudioUnitErr_TooManyFramesToProcess = -10874,
    kAudioUnitErr_InvalidFile = -10871,
    kAudioUnitErr_FormatNotSupported = -10868,
    kAudioUnitErr_Uninitialized = -10867,
    kAudioUnitErr_InvalidScope = -10866,
    kAudioUnitErr_PropertyNotWritable = -10865,
    kAudioUnitErr_InvalidPropertyValue = -10851,
    kAudioUnitErr_PropertyNotInUse = -10850,
};

typedef OSStatus (*AURenderCallback)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                     const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber, UInt32 inNumberFrames,
                                     AudioBufferList* ioData);

struct AURenderCallbackStruct {
    AURenderCallback inputProc;
    void* inputProcRefCon;
};

typedef void (*AudioUnitPropertyListenerProc)(void* inRefCon, AudioUnit inUnit, AudioUnitPropertyID inID,
                                              AudioUnitScope inScope, AudioUnitElement inElement);

// The fast-dispatch procedures a unit hands out; the first argument is the unit's own object.
typedef ComponentResult (*AudioUnitRenderProc)(void* inComponentStorage, AudioUnitRenderActionFlags* ioActionFlags,
                                               const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber,
                                               UInt32 inNumberFrames, AudioBufferList* ioData);
typedef ComponentResult (*AudioUnitGetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                                     AudioUnitScope inScope, AudioUnitElement inElement,
                                                     AudioUnitParameterValue* outValue);
typedef ComponentResult (*AudioUnitSetParameterProc)(void* inComponentStorage, AudioUnitParameterID inID,
                                                     AudioUnitScope inScope, AudioUnitElement inElement,
                                                     AudioUnitParameterValue inValue, UInt32 inBufferOffsetInFrames);

typedef UInt32 AUParameterEventType;
enum : AUParameterEventType { kParameterEvent_Immediate = 1, kParameterEvent_Ramped = 2 };

struct AudioUnitParameterEvent {
    AudioUnitScope scope;
    AudioUnitElement element;
    AudioUnitParameterID parameter;
    AUParameterEventType eventType;
    union {
        struct {
            SInt32 startBufferOffset;
            UInt32 durationInFrames;
            AudioUnitParameterValue startValue;
            AudioUnitParameterValue endValue;
        } ramp;
        struct {
            UInt32 bufferOffset;
            AudioUnitParameterValue value;
        } immediate;
    } eventValues;
};

OSStatus AudioUnitInitialize(AudioUnit inUnit);
OSStatus AudioUnitUninitialize(AudioUnit inUnit);
OSStatus AudioUnitGetPropertyInfo(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                                  AudioUnitElement inElement, UInt32* outDataSize, Boolean* outWritable);
OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, UInt32* ioDataSize);
OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, UInt32 inDataSize);
OSStatus AudioUnitAddPropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                      AudioUnitPropertyListenerProc inProc, void* inProcUserData);
OSStatus AudioUnitRemovePropertyListener(AudioUnit inUnit, AudioUnitPropertyID inID,
                                         AudioUnitPropertyListenerProc inProc);
OSStatus AudioUnitRemovePropertyListenerWithUserData(AudioUnit inUnit, AudioUnitPropertyID inID,
                                                     AudioUnitPropertyListenerProc inProc, void* inProcUserData);
OSStatus AudioUnitAddRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData);
OSStatus AudioUnitRemoveRenderNotify(AudioUnit inUnit, AURenderCallback inProc, void* inProcUserData);
OSStatus AudioUnitGetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue* outValue);
OSStatus AudioUnitSetParameter(AudioUnit inUnit, AudioUnitParameterID inID, AudioUnitScope inScope,
                               AudioUnitElement inElement, AudioUnitParameterValue inValue,
                               UInt32 inBufferOffsetInFrames);
OSStatus AudioUnitScheduleParameters(AudioUnit inUnit, const AudioUnitParameterEvent* inParameterEvent,
                                     UInt32 inNumParamEvents);
OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags,
                         const AudioTimeStamp* inTimeStamp, UInt32 inOutputBusNumber, UInt32 inNumberFrames,
                         AudioBufferList* ioData);
OSStatus AudioUnitReset(AudioUnit inUnit, AudioUnitScope inScope, AudioUnitElement inElement);

// A float argument travels in its slot as its bit pattern.
inline intptr_t AUFloatArg(Float32 v)
{
    UInt32 bits;
    __builtin_memcpy(&bits, &v, sizeof bits);
    return intptr_t(bits);
}
inline Float32 AUArgFloat(intptr_t slot)
{
    UInt32 bits = UInt32(slot);
    Float32 v;
    __builtin_memcpy(&v, &bits, sizeof v);
    return v;
}
