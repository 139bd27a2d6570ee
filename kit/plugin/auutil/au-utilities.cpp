#include "kit/plugin/auutil/au-utilities.h"

#include <cstdio>
#include <cstdlib>
#include <new>

CFAUPresetRef CFAUPresetCreate(CFAllocatorRef allocator, SInt32 presetNumber, CFStringRef presetName)
{
    auto* p = static_cast<CFAUPreset*>(std::malloc(sizeof(CFAUPreset)));
    if (!p) return nullptr;
    p->auPreset.presetNumber = presetNumber;
    p->auPreset.presetName = presetName ? static_cast<CFStringRef>(CFRetain(presetName)) : nullptr;
    p->version = 0;
    p->allocator = allocator;
    p->retainCount = 1;
    return p;
}

CFAUPresetRef CFAUPresetRetain(void* preset)
{
    auto* p = static_cast<CFAUPreset*>(preset);
    if (!p) return nullptr;
    if (p->auPreset.presetName) CFRetain(p->auPreset.presetName);
    p->retainCount += 1;
    return p;
}

void CFAUPresetRelease(void* preset)
{
    auto* p = static_cast<CFAUPreset*>(preset);
    if (!p || p->retainCount <= 0) return;
    if (p->auPreset.presetName) CFRelease(p->auPreset.presetName);
    p->retainCount -= 1;
    if (p->retainCount == 0) {
        p->auPreset.presetNumber = 0;
        p->auPreset.presetName = nullptr;
        std::free(p);
    }
}

const void* CFAUPresetArrayRetainCallBack(CFAllocatorRef, const void* value)
{
    return CFAUPresetRetain(const_cast<void*>(value));
}

void CFAUPresetArrayReleaseCallBack(CFAllocatorRef, const void* value)
{
    CFAUPresetRelease(const_cast<void*>(value));
}

Boolean CFAUPresetArrayEqualCallBack(const void* value1, const void* value2)
{
    auto* a = static_cast<const CFAUPreset*>(value1);
    auto* b = static_cast<const CFAUPreset*>(value2);
    if (a == b) return true;
    if (!a || !b) return false;
    return a->auPreset.presetNumber == b->auPreset.presetNumber && CFEqual(a->auPreset.presetName, b->auPreset.presetName);
}

CFStringRef CFAUPresetArrayCopyDescriptionCallBack(const void* value)
{
    auto* p = static_cast<const CFAUPreset*>(value);
    if (!p) return nullptr;
    const char* name = p->auPreset.presetName ? CFStringGetCStringPtr(p->auPreset.presetName, kCFStringEncodingUTF8) : nullptr;
    char text[512];
    std::snprintf(text, sizeof text, "AUPreset:\npreset number = %d\npreset name = %s", int(p->auPreset.presetNumber),
                  name ? name : "(null)");
    return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

const CFArrayCallBacks kCFAUPresetArrayCallBacks = {0, CFAUPresetArrayRetainCallBack, CFAUPresetArrayReleaseCallBack,
                                                    CFAUPresetArrayCopyDescriptionCallBack,
                                                    CFAUPresetArrayEqualCallBack};

void CFAUPresetArrayCallBacks_Init(CFArrayCallBacks* callbacks)
{
    if (callbacks) *callbacks = kCFAUPresetArrayCallBacks;
}
