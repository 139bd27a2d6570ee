#include <cstring>
#include <new>

#include "CFArray.h"
#include "CFData.h"
#include "CFDictionary.h"
#include "CFNumber.h"

namespace {

const void* RetainCF(CFAllocatorRef, const void* v) { return v ? CFRetain(v) : v; }
void ReleaseCF(CFAllocatorRef, const void* v)
{
    if (v) CFRelease(v);
}
Boolean EqualCF(const void* a, const void* b) { return CFEqual(a, b); }
CFIndex HashCF(const void* v)
{
    const auto* o = static_cast<const CFRuntimeObject*>(v);
    if (o && o->typeID == kCFStandInStringTypeID) {
        CFIndex h = 0;
        for (unsigned char c : static_cast<const __CFString*>(v)->utf8) h = h * 31 + c;
        return h;
    }
    return CFIndex(reinterpret_cast<intptr_t>(v));
}

bool IsArray(CFArrayRef a) { return a && a->typeID == kCFStandInArrayTypeID; }
bool IsDict(CFDictionaryRef d) { return d && d->typeID == kCFStandInDictionaryTypeID; }

} // namespace

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, RetainCF, ReleaseCF, nullptr, EqualCF};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0, RetainCF, ReleaseCF, nullptr, EqualCF, HashCF};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, RetainCF, ReleaseCF, nullptr, EqualCF};

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2)
{
    if (cf1 == cf2) return true;
    if (!cf1 || !cf2) return false;
    const auto* a = static_cast<const CFRuntimeObject*>(cf1);
    const auto* b = static_cast<const CFRuntimeObject*>(cf2);
    if (a->typeID != b->typeID) return false;
    switch (a->typeID) {
    case kCFStandInStringTypeID:
        return static_cast<const __CFString*>(cf1)->utf8 == static_cast<const __CFString*>(cf2)->utf8;
    case kCFStandInNumberTypeID: {
        const auto* x = static_cast<const __CFNumber*>(cf1);
        const auto* y = static_cast<const __CFNumber*>(cf2);
        double dx = x->isFloat ? x->floatValue : double(x->intValue);
        double dy = y->isFloat ? y->floatValue : double(y->intValue);
        if (!x->isFloat && !y->isFloat) return x->intValue == y->intValue;
        return dx == dy;
    }
    case kCFStandInDataTypeID:
        return static_cast<const __CFData*>(cf1)->bytes == static_cast<const __CFData*>(cf2)->bytes;
    default:
        return false;
    }
}

// ---- arrays ----

__CFArray::__CFArray(const CFArrayCallBacks* cb, bool mut) : CFRuntimeObject(kCFStandInArrayTypeID), isMutable(mut)
{
    if (cb) callBacks = *cb;
}

__CFArray::~__CFArray()
{
    if (callBacks.release)
        for (const void* v : values) callBacks.release(nullptr, v);
}

CFTypeID CFArrayGetTypeID(void) { return kCFStandInArrayTypeID; }

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex numValues, const CFArrayCallBacks* callBacks)
{
    if (numValues < 0 || (numValues > 0 && !values)) return nullptr;
    auto* a = new (std::nothrow) __CFArray(callBacks, false);
    if (!a) return nullptr;
    try {
        a->values.reserve(size_t(numValues));
    } catch (const std::bad_alloc&) {
        delete a;
        return nullptr;
    }
    for (CFIndex i = 0; i < numValues; ++i)
        a->values.push_back(a->callBacks.retain ? a->callBacks.retain(nullptr, values[i]) : values[i]);
    return a;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex, const CFArrayCallBacks* callBacks)
{
    return new (std::nothrow) __CFArray(callBacks, true);
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
{
    if (!IsArray(theArray) || !theArray->isMutable) return;
    const void* v = theArray->callBacks.retain ? theArray->callBacks.retain(nullptr, value) : value;
    try {
        theArray->values.push_back(v);
    } catch (const std::bad_alloc&) {
        if (theArray->callBacks.release) theArray->callBacks.release(nullptr, v);
    }
}

CFIndex CFArrayGetCount(CFArrayRef theArray)
{
    return IsArray(theArray) ? CFIndex(theArray->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx)
{
    if (!IsArray(theArray) || idx < 0 || size_t(idx) >= theArray->values.size()) return nullptr;
    return theArray->values[size_t(idx)];
}

// ---- dictionaries ----

__CFDictionary::__CFDictionary(const CFDictionaryKeyCallBacks* k, const CFDictionaryValueCallBacks* v)
    : CFRuntimeObject(kCFStandInDictionaryTypeID)
{
    if (k) keyCallBacks = *k;
    if (v) valueCallBacks = *v;
}

__CFDictionary::~__CFDictionary()
{
    for (auto& e : entries) {
        if (keyCallBacks.release) keyCallBacks.release(nullptr, e.first);
        if (valueCallBacks.release) valueCallBacks.release(nullptr, e.second);
    }
}

CFTypeID CFDictionaryGetTypeID(void) { return kCFStandInDictionaryTypeID; }

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex, const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
    return new (std::nothrow) __CFDictionary(keyCallBacks, valueCallBacks);
}

static std::vector<std::pair<const void*, const void*>>::iterator FindKey(__CFDictionary* d, const void* key)
{
    for (auto it = d->entries.begin(); it != d->entries.end(); ++it) {
        bool same = d->keyCallBacks.equal ? d->keyCallBacks.equal(it->first, key) : it->first == key;
        if (same) return it;
    }
    return d->entries.end();
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
    if (!IsDict(theDict)) return;
    const void* v = theDict->valueCallBacks.retain ? theDict->valueCallBacks.retain(nullptr, value) : value;
    auto it = FindKey(theDict, key);
    if (it != theDict->entries.end()) {
        if (theDict->valueCallBacks.release) theDict->valueCallBacks.release(nullptr, it->second);
        it->second = v;
        return;
    }
    const void* k = theDict->keyCallBacks.retain ? theDict->keyCallBacks.retain(nullptr, key) : key;
    try {
        theDict->entries.emplace_back(k, v);
    } catch (const std::bad_alloc&) {
        if (theDict->keyCallBacks.release) theDict->keyCallBacks.release(nullptr, k);
        if (theDict->valueCallBacks.release) theDict->valueCallBacks.release(nullptr, v);
    }
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key)
{
    if (!IsDict(theDict)) return;
    auto it = FindKey(theDict, key);
    if (it == theDict->entries.end()) return;
    auto entry = *it;
    theDict->entries.erase(it);
    if (theDict->keyCallBacks.release) theDict->keyCallBacks.release(nullptr, entry.first);
    if (theDict->valueCallBacks.release) theDict->valueCallBacks.release(nullptr, entry.second);
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value)
{
    if (!IsDict(theDict)) return false;
    auto* d = const_cast<__CFDictionary*>(theDict);
    auto it = FindKey(d, key);
    if (it == d->entries.end()) return false;
    if (value) *value = it->second;
    return true;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
{
    const void* v = nullptr;
    return CFDictionaryGetValueIfPresent(theDict, key, &v) ? v : nullptr;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
{
    return IsDict(theDict) ? CFIndex(theDict->entries.size()) : 0;
}
