#include <cstring>

#include "kit/plugin/IPluginAU.h"
#include "kit/plugin/Log.h"

namespace {

bool IsKind(CFTypeRef cf, CFTypeID type) { return cf && CFGetTypeID(cf) == type; }

void PutIntInDict(CFMutableDictionaryRef dict, const char* key, SInt32 value)
{
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &value);
    if (k && n) CFDictionarySetValue(dict, k, n);
    if (n) CFRelease(n);
    if (k) CFRelease(k);
}

// A value that is missing, or not a number, fails.
bool GetIntFromDict(CFDictionaryRef dict, const char* key, SInt32* value)
{
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    if (!k) return false;
    const void* v = CFDictionaryGetValue(dict, k);
    CFRelease(k);
    if (!IsKind(v, CFNumberGetTypeID())) return false;
    CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt32Type, value);
    return true;
}

} // namespace

ComponentResult IPluginAU::GetState(CFPropertyListRef* out)
{
    if (!out) return kAudioUnitErr_InvalidPropertyValue;
    ComponentDescription cd;
    OSErr err = GetComponentInfo(reinterpret_cast<Component>(ci), &cd, nullptr, nullptr, nullptr);
    if (err != noErr) return err;
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (!dict) return kAudioUnitErr_InvalidPropertyValue;
    PutIntInDict(dict, "version", GetEffectVersion(false));
    PutIntInDict(dict, "type", SInt32(cd.componentType));
    PutIntInDict(dict, "subtype", SInt32(cd.componentSubType));
    PutIntInDict(dict, "manufacturer", SInt32(cd.componentManufacturer));
    PutStrInDict(dict, "name", GetPresetName(currentPresetIdx));
    ByteChunk chunk;
    if (SerializeState(&chunk)) {
        CFDataRef data = CFDataCreate(nullptr, chunk.GetBytes(), chunk.Size());
        if (data) {
            CFStringRef k = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
            if (k) {
                CFDictionarySetValue(dict, k, data);
                CFRelease(k);
            }
            CFRelease(data);
        }
    }
    *out = dict;
    return noErr;
}

ComponentResult IPluginAU::SetState(CFPropertyListRef in)
{
    ComponentDescription cd;
    OSErr err = GetComponentInfo(reinterpret_cast<Component>(ci), &cd, nullptr, nullptr, nullptr);
    if (err != noErr) return err;
    if (!IsKind(in, CFDictionaryGetTypeID())) return kAudioUnitErr_InvalidPropertyValue;
    auto dict = static_cast<CFDictionaryRef>(in);
    SInt32 version = 0, type = 0, subtype = 0, mfr = 0;
    if (!GetIntFromDict(dict, "version", &version) || !GetIntFromDict(dict, "type", &type) ||
        !GetIntFromDict(dict, "subtype", &subtype) || !GetIntFromDict(dict, "manufacturer", &mfr))
        return kAudioUnitErr_InvalidPropertyValue;
    char name[64];
    if (!GetStrFromDict(dict, "name", name, sizeof name)) return kAudioUnitErr_InvalidPropertyValue;
    if (OSType(type) != cd.componentType || OSType(subtype) != cd.componentSubType ||
        OSType(mfr) != cd.componentManufacturer)
        return kAudioUnitErr_InvalidPropertyValue;
    RestorePreset(name);
    ByteChunk chunk;
    if (!GetDataFromDict(dict, "data", &chunk)) return kAudioUnitErr_InvalidPropertyValue;
    int pos = UnserializeState(&chunk, 0);
    if (pos == 0) return kAudioUnitErr_InvalidPropertyValue;
    // Hosts rely on a short chunk still counting as restored; the values it lacked kept or
    // took their defaults, which is worth a line in the log.
    if (pos < 0) LogLine("PROJECT RECALL: class information chunk of %d bytes ended early", chunk.Size());
    RedrawParamControls();
    return noErr;
}
