#pragma once
// Arrays of the CoreFoundation stand-in, with the callbacks that retain and release values.
#include <vector>

#include "CFBase.h"
#include "CFString.h"

typedef const void* (*CFArrayRetainCallBack)(CFAllocatorRef allocator, const void* value);
typedef void (*CFArrayReleaseCallBack)(CFAllocatorRef allocator, const void* value);
typedef CFStringRef (*CFArrayCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFArrayEqualCallBack)(const void* value1, const void* value2);

struct CFArrayCallBacks {
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFArrayCopyDescriptionCallBack copyDescription;
    CFArrayEqualCallBack equal;
};

// Retains and releases CF objects.
extern const CFArrayCallBacks kCFTypeArrayCallBacks;

typedef const struct __CFArray* CFArrayRef;
typedef struct __CFArray* CFMutableArrayRef;

struct __CFArray : CFRuntimeObject {
    __CFArray(const CFArrayCallBacks* cb, bool isMutable);
    ~__CFArray() override;
    CFArrayCallBacks callBacks{};
    const bool isMutable;
    std::vector<const void*> values;
};

CFTypeID CFArrayGetTypeID(void);
// Values are taken through the retain callback; null callbacks keep them as plain pointers.
CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks);
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks* callBacks);
void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value);
CFIndex CFArrayGetCount(CFArrayRef theArray);
// Null for an index outside the array.
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);

// Equality of two objects by kind: strings by text, numbers by value, data by bytes, others by
// identity.
Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
