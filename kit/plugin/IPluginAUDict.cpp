// The class-information dictionary helpers: strings and data under text keys. Values of the
// wrong kind count as missing.
#include <cstring>

#include "kit/plugin/IPluginAU.h"

namespace {

bool IsKind(CFTypeRef cf, CFTypeID type) { return cf && CFGetTypeID(cf) == type; }

} // namespace

void PutStrInDict(CFMutableDictionaryRef dict, const char* key, const char* value)
{
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFStringRef v = CFStringCreateWithCString(nullptr, value ? value : "", kCFStringEncodingUTF8);
    if (k && v) CFDictionarySetValue(dict, k, v);
    if (v) CFRelease(v);
    if (k) CFRelease(k);
}

bool GetStrFromDict(CFDictionaryRef dict, const char* key, char* out, int outSize)
{
    out[0] = '\0';
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    if (!k) return false;
    const void* v = CFDictionaryGetValue(dict, k);
    CFRelease(k);
    if (!IsKind(v, CFStringGetTypeID())) return false;
    // A name longer than the buffer is cut rather than refused: only the preset lookup reads it.
    const char* text = CFStringGetCStringPtr(static_cast<CFStringRef>(v), kCFStringEncodingUTF8);
    size_t n = text ? std::strlen(text) : 0;
    if (n > size_t(outSize) - 1) n = size_t(outSize) - 1;
    if (n) std::memcpy(out, text, n);
    out[n] = '\0';
    return true;
}

bool GetDataFromDict(CFDictionaryRef dict, const char* key, ByteChunk* chunk)
{
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    if (!k) return false;
    const void* v = CFDictionaryGetValue(dict, k);
    CFRelease(k);
    if (!IsKind(v, CFDataGetTypeID())) return false;
    auto data = static_cast<CFDataRef>(v);
    CFIndex len = CFDataGetLength(data);
    if (len > INT32_MAX) return false;
    // Copied once: no zeroing first.
    chunk->Clear();
    return chunk->PutBytes(CFDataGetBytePtr(data), int(len)) == int(len);
}

