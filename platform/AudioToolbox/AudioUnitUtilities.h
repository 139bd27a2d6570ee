#pragma once
// Parameter and property events that a unit posts for whoever listens (hosts, editors).
#include <AudioUnit/AudioUnit.h>

typedef UInt32 AudioUnitEventType;
enum : AudioUnitEventType {
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3,
};

struct AudioUnitParameter {
    AudioUnit mAudioUnit;
    AudioUnitParameterID mParameterID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

struct AudioUnitProperty {
    AudioUnit mAudioUnit;
    AudioUnitPropertyID mPropertyID;
    AudioUnitScope mScope;
    AudioUnitElement mElement;
};

struct AudioUnitEvent {
    AudioUnitEventType mEventType;
    union {
        AudioUnitParameter mParameter;
        AudioUnitProperty mProperty;
    } mArgument;
};

typedef struct AUListenerBase* AUEventListenerRef;
typedef void (*AUEventListenerProc)(void* inUserData, void* inObject, const AudioUnitEvent* inEvent,
                                    UInt64 inEventHostTime, AudioUnitParameterValue inParameterValue);

// Delivers the event to every listener made with AUEventListenerCreateWithProc, in the order they
// were made; the sending listener (when given) is skipped. The value passed is the parameter's
// current value as the unit reports it, 0 when it cannot be read.
OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                               const AudioUnitEvent* inEvent);

// A listener that receives every event posted in this process (the stand-in does not filter by
// unit or parameter); released with AUListenerDispose.
OSStatus AUEventListenerCreateWithProc(AUEventListenerProc inProc, void* inUserData, AUEventListenerRef* outListener);
OSStatus AUListenerDispose(AUEventListenerRef inListener);
