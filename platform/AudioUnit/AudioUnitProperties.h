#pragma once
// Audio Unit property ids and the records that travel with them.
#include <CoreFoundation/CoreFoundation.h>

#include "AUComponent.h"

enum : AudioUnitPropertyID {
    kAudioUnitProperty_ClassInfo = 0,
    kAudioUnitProperty_MakeConnection = 1,
    kAudioUnitProperty_SampleRate = 2,
    kAudioUnitProperty_ParameterList = 3,
    kAudioUnitProperty_ParameterInfo = 4,
    kAudioUnitProperty_FastDispatch = 5,
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_ElementCount = 11,
    kAudioUnitProperty_Latency = 12,
    kAudioUnitProperty_SupportedNumChannels = 13,
    kAudioUnitProperty_MaximumFramesPerSlice = 14,
    kAudioUnitProperty_ParameterValueStrings = 16,
    kAudioUnitProperty_GetUIComponentList = 18,
    kAudioUnitProperty_AudioChannelLayout = 19,
    kAudioUnitProperty_TailTime = 20,
    kAudioUnitProperty_BypassEffect = 21,
    kAudioUnitProperty_LastRenderError = 22,
    kAudioUnitProperty_SetRenderCallback = 23,
    kAudioUnitProperty_FactoryPresets = 24,
    kAudioUnitProperty_HostCallbacks = 27,
    kAudioUnitProperty_CurrentPreset = 28,
    kAudioUnitProperty_ElementName = 30,
    kAudioUnitProperty_CocoaUI = 31,
    kAudioUnitProperty_SupportedChannelLayoutTags = 32,
    kAudioUnitProperty_ParameterStringFromValue = 33,
    kAudioUnitProperty_ParameterIDName = 34,
    kAudioUnitProperty_ParameterClumpName = 35,
    kAudioUnitProperty_PresentPreset = 36,
    kAudioUnitProperty_OfflineRender = 37,
    kAudioUnitProperty_ParameterValueFromString = 38,
    kAudioUnitProperty_AUHostIdentifier = 46,
    kMusicDeviceProperty_InstrumentCount = 1000,
};

struct AudioUnitConnection {
    AudioUnit sourceAudioUnit;
    UInt32 sourceOutputNumber;
    UInt32 destInputNumber;
};

typedef UInt32 AudioUnitParameterUnit;
enum : AudioUnitParameterUnit {
    kAudioUnitParameterUnit_Generic = 0,
    kAudioUnitParameterUnit_Indexed = 1,
    kAudioUnitParameterUnit_Boolean = 2,
    kAudioUnitParameterUnit_CustomUnit = 26,
};

enum : UInt32 {
    kAudioUnitParameterFlag_HasClump = 1u << 20,
    kAudioUnitParameterFlag_CFNameRelease = 1u << 4,
    kAudioUnitParameterFlag_IsReadable = 1u << 30,
    kAudioUnitParameterFlag_IsWritable = 1u << 31,
    kAudioUnitParameterFlag_HasCFNameString = 1u << 27,
    kAudioUnitParameterFlag_IsHighResolution = 1u << 29,
};

struct AudioUnitParameterInfo {
    char name[52];
    CFStringRef unitName;
    UInt32 clumpID;
    CFStringRef cfNameString;
    AudioUnitParameterUnit unit;
    AudioUnitParameterValue minValue;
    AudioUnitParameterValue maxValue;
    AudioUnitParameterValue defaultValue;
    UInt32 flags;
};

struct AUPreset {
    SInt32 presetNumber;
    CFStringRef presetName;
};

typedef OSStatus (*HostCallback_GetBeatAndTempo)(void* inHostUserData, Float64* outCurrentBeat,
                                                 Float64* outCurrentTempo);
typedef OSStatus (*HostCallback_GetMusicalTimeLocation)(void* inHostUserData, UInt32* outDeltaSampleOffsetToNextBeat,
                                                        Float32* outTimeSig_Numerator,
                                                        UInt32* outTimeSig_Denominator,
                                                        Float64* outCurrentMeasureDownBeat);
typedef OSStatus (*HostCallback_GetTransportState)(void* inHostUserData, Boolean* outIsPlaying,
                                                   Boolean* outTransportStateChanged,
                                                   Float64* outCurrentSampleInTimeLine, Boolean* outIsCycling,
                                                   Float64* outCycleStartBeat, Float64* outCycleEndBeat);

struct HostCallbackInfo {
    void* hostUserData;
    HostCallback_GetBeatAndTempo beatAndTempoProc;
    HostCallback_GetMusicalTimeLocation musicalTimeLocationProc;
    HostCallback_GetTransportState transportStateProc;
};

struct AudioUnitCocoaViewInfo {
    CFURLRef mCocoaAUViewBundleLocation;
    CFStringRef mCocoaAUViewClass[1];
};

struct AUHostVersionIdentifier {
    CFStringRef hostName;
    NumVersion hostVersion;
};

struct AudioUnitParameterStringFromValue {
    AudioUnitParameterID inParamID;
    const AudioUnitParameterValue* inValue;
    CFStringRef outString;
};

struct AudioUnitParameterValueFromString {
    AudioUnitParameterID inParamID;
    CFStringRef inString;
    AudioUnitParameterValue outValue;
};

enum : SInt32 { kAudioUnitParameterName_Full = -1 };

struct AudioUnitParameterNameInfo {
    AudioUnitParameterID inID;
    SInt32 inDesiredLength;
    CFStringRef outName;
};
typedef AudioUnitParameterNameInfo AudioUnitParameterIDName;
