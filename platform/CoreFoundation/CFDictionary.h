#pragma once
// Dictionaries of the CoreFoundation stand-in: key and value pairs in insertion order, keys
// compared through the key callbacks (CFEqual for kCFTypeDictionaryKeyCallBacks).
#include <utility>
#include <vector>

#include "CFArray.h"
#include "CFBase.h"
#include "CFString.h"

typedef CFStringRef (*CFDictionaryCopyDescriptionCallBack)(const void* value);
typedef Boolean (*CFDictionaryEqualCallBack)(const void* value1, const void* value2);
typedef CFIndex (*CFDictionaryHashCallBack)(const void* value);

struct CFDictionaryKeyCallBacks {
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
    CFDictionaryHashCallBack hash;
};

struct CFDictionaryValueCallBacks {
    CFIndex version;
    CFArrayRetainCallBack retain;
    CFArrayReleaseCallBack release;
    CFDictionaryCopyDescriptionCallBack copyDescription;
    CFDictionaryEqualCallBack equal;
};

extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

typedef const struct __CFDictionary* CFDictionaryRef;
typedef struct __CFDictionary* CFMutableDictionaryRef;
typedef CFTypeRef CFPropertyListRef;

struct __CFDictionary : CFRuntimeObject {
    __CFDictionary(const CFDictionaryKeyCallBacks* k, const CFDictionaryValueCallBacks* v);
    ~__CFDictionary() override;
    CFDictionaryKeyCallBacks keyCallBacks{};
    CFDictionaryValueCallBacks valueCallBacks{};
    std::vector<std::pair<const void*, const void*>> entries;
};

CFTypeID CFDictionaryGetTypeID(void);
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
// Adds the pair, or replaces the value of an equal key.
void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key);
// Null when the key is absent (or the object is not a dictionary).
const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value);
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
