// Arbitrary bytes for every record a host hands the Audio Unit binding: the class-information
// dictionary it restores a project from (any keys, kinds and identity, and the plug-in's own
// saved dictionary with its data changed), a parameter value given as text, the host's
// identifier, and MIDI and SysEx through the music-device selectors. The first byte picks the
// record.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "kit/plugin/IPluginAU.h"

namespace {

constexpr int kUid = 0x616E6E71, kMfr = 0x56654231;

// A plug-in with a parameter of each kind a text can be read into, that reads every SysEx
// byte it is given.
class FuzzAU : public IPluginAU {
public:
    FuzzAU()
        : IPluginAU(IPluginInstanceInfo(), 6, "2-2", 3, "Fuzz AU", "", "Maker", 0x00010009, kUid, kMfr, 0, true,
                    true, true, 0)
    {
        IPluginInstanceInfo info;
        info.bundleID.Set(QOR_BUNDLE_ID);
        initialize(info, 4, 6, "2-2", 3, "Fuzz AU", "", "Maker", 0x00010009, kUid, kMfr, 0, true, true, true, 0);
        GetParam(0)->InitBool("Switch", false);
        GetParam(1)->InitEnum("Wave", 1, 3);
        const char* words[] = {"Saw", "Square", "Noise"};
        for (int i = 0; i < 3; ++i) GetParam(1)->SetDisplayText(i, words[i]);
        GetParam(2)->InitDouble("Level", 0.5, -1.0, 1.0, 0.01);
        GetParam(3)->InitInt("Count", 3, 0, 10);
    }
    void ProcessSysEx(ISysEx* msg, bool) override
    {
        unsigned sum = 0;
        for (int i = 0; i < msg->mSize; ++i) sum += msg->mData[i];
        sysexSum += sum;
    }
    volatile unsigned sysexSum = 0;
};

CFStringRef text(const uint8_t* data, size_t size)
{
    std::string s(reinterpret_cast<const char*>(data), size);
    s = s.c_str(); // up to the first zero, as a C string would be
    return CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8);
}

void put(CFMutableDictionaryRef dict, const char* key, CFTypeRef value)
{
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFDictionarySetValue(dict, k, value);
    CFRelease(k);
    CFRelease(value);
}

CFNumberRef number(int32_t v) { return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v); }

int32_t read32(const uint8_t*& p, const uint8_t* end)
{
    uint32_t v = 0;
    for (int i = 0; i < 4 && p < end; ++i) v = v << 8 | *p++;
    return int32_t(v);
}

// Restores a dictionary the input describes: flags say which keys are there and whether they
// hold the kind the binding expects; numbers, name and data come from the input.
void restoreMadeDictionary(AudioUnit unit, const uint8_t* p, const uint8_t* end)
{
    const uint8_t flags = p < end ? *p++ : 0;
    const uint8_t kinds = p < end ? *p++ : 0;
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    const char* keys[] = {"version", "type", "subtype", "manufacturer"};
    const int32_t right[] = {0x00010009, int32_t(kAudioUnitType_MusicDevice), kUid, kMfr};
    for (int k = 0; k < 4; ++k) {
        if (!(flags & (1 << k))) continue;
        const int32_t v = (kinds & (1 << k)) ? read32(p, end) : right[k];
        put(dict, keys[k], (flags & 0x40) && k == 3 ? CFTypeRef(text(p, size_t(end - p))) : CFTypeRef(number(v)));
    }
    const size_t nameLength = p < end ? *p++ % 80 : 0;
    const size_t n = std::min(nameLength, size_t(end - p));
    if (flags & 0x10) put(dict, "name", (kinds & 0x10) ? CFTypeRef(number(7)) : CFTypeRef(text(p, n)));
    p += n;
    if (flags & 0x20)
        put(dict, "data", (kinds & 0x20) ? CFTypeRef(text(p, size_t(end - p))) : CFTypeRef(CFDataCreate(nullptr, p, end - p)));
    CFPropertyListRef list = dict;
    AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &list, sizeof list);
    CFRelease(dict);
}

// Restores the plug-in's own saved dictionary with its data cut and changed by the input.
void restoreChangedOwnState(AudioUnit unit, const uint8_t* p, const uint8_t* end)
{
    CFPropertyListRef saved = nullptr;
    UInt32 size = sizeof saved;
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &saved, &size) != noErr ||
        !saved)
        return;
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const char* name : {"version", "type", "subtype", "manufacturer", "name"}) {
        CFStringRef k = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
        if (CFTypeRef v = CFDictionaryGetValue(static_cast<CFDictionaryRef>(saved), k)) CFDictionarySetValue(dict, k, v);
        CFRelease(k);
    }
    CFStringRef key = CFStringCreateWithCString(nullptr, "data", kCFStringEncodingUTF8);
    auto data = static_cast<CFDataRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(saved), key));
    if (!data) {
        CFRelease(key);
        CFRelease(dict);
        CFRelease(saved);
        return;
    }
    std::string bytes(reinterpret_cast<const char*>(CFDataGetBytePtr(data)), size_t(CFDataGetLength(data)));
    const size_t cut = end - p >= 2 ? (size_t(p[0]) << 8 | p[1]) % (bytes.size() + 1) : bytes.size();
    for (const uint8_t* q = p + 2; q + 1 < end && !bytes.empty(); q += 2) bytes[*q % bytes.size()] = char(q[1]);
    bytes.resize(cut);
    CFRelease(saved);
    CFDataRef changed = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), CFIndex(bytes.size()));
    CFDictionarySetValue(dict, key, changed);
    CFRelease(changed);
    CFRelease(key);
    CFPropertyListRef list = dict;
    AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &list, sizeof list);
    CFRelease(dict);
}

} // namespace

IPluginAU* MakePlug() { return new FuzzAU; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One instance for the whole run, opened through the component entry as a host opens it.
    static Component comp = [] {
        ComponentDescription cd{kAudioUnitType_MusicDevice, OSType(kUid), OSType(kMfr), 0, 0};
        return RegisterComponentEntry(&cd, &IPluginAU::IPluginAUEntry);
    }();
    static AudioUnit unit = [] {
        AudioUnit u = nullptr;
        if (OpenAComponent(comp, &u) != noErr) __builtin_trap();
        return u;
    }();
    if (size < 1 || size > (1u << 20)) return 0;
    const uint8_t* p = data + 1;
    const uint8_t* end = data + size;
    switch (data[0] & 7) {
    case 0: restoreMadeDictionary(unit, p, end); break;
    case 1: restoreChangedOwnState(unit, p, end); break;
    case 2: {
        AudioUnitParameterValueFromString rec{};
        rec.inParamID = p < end ? AudioUnitParameterID(int8_t(*p++)) : 0;
        rec.inString = text(p, size_t(end - p));
        UInt32 bytes = sizeof rec;
        AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueFromString, kAudioUnitScope_Global, 0, &rec,
                             &bytes);
        CFRelease(rec.inString);
        break;
    }
    case 3: {
        AUHostVersionIdentifier id{};
        if (end - p >= 2) {
            id.hostVersion.majorRev = *p++;
            id.hostVersion.minorAndBugRev = *p++;
        }
        id.hostName = text(p, size_t(end - p));
        AudioUnitSetProperty(unit, kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, &id, sizeof id);
        CFRelease(id.hostName);
        break;
    }
    case 4:
        MusicDeviceSysEx(unit, p, UInt32(end - p));
        break;
    default:
        for (; end - p >= 4; p += 4) MusicDeviceMIDIEvent(unit, p[0], p[1], p[2], p[3]);
        break;
    }
    return 0;
}
