#pragma once
// Reference-counted preset records for the host's preset arrays. The first two fields have the
// layout of AUPreset, so a record is handed to the host as one.
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>

struct CFAUPreset {
    AUPreset auPreset;
    uintptr_t version;
    CFAllocatorRef allocator;
    CFIndex retainCount;
};
typedef CFAUPreset* CFAUPresetRef;

// Null when the record cannot be allocated; the name is retained (a copy in spirit: strings are
// immutable here). Count 1.
CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, SInt32 presetNumber, CFStringRef presetName);
CFAUPresetRef CFAUPresetRetain(void* preset);
void CFAUPresetRelease(void* preset);

const void* CFAUPresetArrayRetainCallBack(CFAllocatorRef allocator, const void* value);
void CFAUPresetArrayReleaseCallBack(CFAllocatorRef allocator, const void* value);
Boolean CFAUPresetArrayEqualCallBack(const void* value1, const void* value2);
CFStringRef CFAUPresetArrayCopyDescriptionCallBack(const void* value);
void CFAUPresetArrayCallBacks_Init(CFArrayCallBacks* callbacks);

extern const CFArrayCallBacks kCFAUPresetArrayCallBacks;
