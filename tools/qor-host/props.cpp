// Property commands of the stand-in host: get, info and set of any property with its value
// printed by kind, class information saved from one instance and given to another, and
// connections between instances.
#include <cstdlib>
#include <cstring>

#include "host.h"

namespace {

AudioUnitScope Scope(const std::vector<std::string>& a, size_t i)
{
    if (i >= a.size()) return kAudioUnitScope_Global;
    const std::string& s = a[i];
    if (s == "in" || s == "input") return kAudioUnitScope_Input;
    if (s == "out" || s == "output") return kAudioUnitScope_Output;
    if (s == "global") return kAudioUnitScope_Global;
    return AudioUnitScope(std::strtoul(s.c_str(), nullptr, 0));
}

UInt32 U(const std::vector<std::string>& a, size_t i, unsigned long def = 0)
{
    return i < a.size() ? UInt32(std::strtoul(a[i].c_str(), nullptr, 0)) : UInt32(def);
}

std::string Text(CFStringRef s)
{
    if (!s) return "(null)";
    const char* p = CFStringGetCStringPtr(s, kCFStringEncodingUTF8);
    return p ? p : "(null)";
}

CFStringRef Key(const char* k) { return CFStringCreateWithCString(nullptr, k, kCFStringEncodingUTF8); }

} // namespace

void Host::PrintPropertyValue(AudioUnitPropertyID id, const void* data, UInt32 size)
{
    std::string v;
    char buf[256];
    switch (id) {
    case kAudioUnitProperty_SampleRate:
    case kAudioUnitProperty_Latency:
    case kAudioUnitProperty_TailTime: {
        Float64 d;
        std::memcpy(&d, data, sizeof d);
        std::snprintf(buf, sizeof buf, "%.9g", d);
        v = buf;
        break;
    }
    case kAudioUnitProperty_ElementCount:
    case kAudioUnitProperty_MaximumFramesPerSlice:
    case kAudioUnitProperty_BypassEffect:
    case kAudioUnitProperty_LastRenderError:
    case kAudioUnitProperty_SupportedChannelLayoutTags:
    case kMusicDeviceProperty_InstrumentCount: {
        UInt32 u;
        std::memcpy(&u, data, sizeof u);
        std::snprintf(buf, sizeof buf, "%u", unsigned(u));
        v = buf;
        break;
    }
    case kAudioUnitProperty_SupportedNumChannels:
        for (UInt32 i = 0; i + 4 <= size; i += 4) {
            SInt16 io[2];
            std::memcpy(io, static_cast<const char*>(data) + i, sizeof io);
            std::snprintf(buf, sizeof buf, "%s%d-%d", v.empty() ? "" : ",", io[0], io[1]);
            v += buf;
        }
        break;
    case kAudioUnitProperty_ElementName: {
        CFStringRef s;
        std::memcpy(&s, data, sizeof s);
        v = "\"" + Text(s) + "\"";
        if (s) CFRelease(s);
        break;
    }
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset: {
        AUPreset p;
        std::memcpy(&p, data, sizeof p);
        std::snprintf(buf, sizeof buf, "%d \"%s\"", int(p.presetNumber), Text(p.presetName).c_str());
        v = buf;
        if (p.presetName) CFRelease(p.presetName);
        break;
    }
    case kAudioUnitProperty_FactoryPresets:
    case kAudioUnitProperty_ParameterValueStrings: {
        CFArrayRef arr;
        std::memcpy(&arr, data, sizeof arr);
        std::snprintf(buf, sizeof buf, "array of %ld", long(CFArrayGetCount(arr)));
        v = buf;
        if (arr) CFRelease(arr);
        break;
    }
    case kAudioUnitProperty_StreamFormat: {
        AudioStreamBasicDescription f;
        std::memcpy(&f, data, sizeof f);
        std::snprintf(buf, sizeof buf, "%.0f Hz %u ch flags 0x%X", f.mSampleRate, unsigned(f.mChannelsPerFrame),
                      unsigned(f.mFormatFlags));
        v = buf;
        break;
    }
    case kAudioUnitProperty_ClassInfo: {
        CFPropertyListRef plist;
        std::memcpy(&plist, data, sizeof plist);
        std::snprintf(buf, sizeof buf, "dictionary of %ld", long(CFDictionaryGetCount(static_cast<CFDictionaryRef>(plist))));
        v = buf;
        if (plist) CFRelease(plist);
        break;
    }
    case kAudioUnitProperty_ParameterStringFromValue: {
        AudioUnitParameterStringFromValue rec;
        std::memcpy(&rec, data, sizeof rec);
        v = "\"" + Text(rec.outString) + "\"";
        if (rec.outString) CFRelease(rec.outString);
        break;
    }
    case kAudioUnitProperty_ParameterIDName:
    case kAudioUnitProperty_ParameterClumpName: {
        AudioUnitParameterNameInfo rec;
        std::memcpy(&rec, data, sizeof rec);
        v = "\"" + Text(rec.outName) + "\"";
        if (rec.outName) CFRelease(rec.outName);
        break;
    }
    case kAudioUnitProperty_CocoaUI: {
        AudioUnitCocoaViewInfo info;
        std::memcpy(&info, data, sizeof info);
        v = Text(info.mCocoaAUViewClass[0]);
        if (info.mCocoaAUViewClass[0]) CFRelease(info.mCocoaAUViewClass[0]);
        if (info.mCocoaAUViewBundleLocation) CFRelease(info.mCocoaAUViewBundleLocation);
        break;
    }
    case kAudioUnitProperty_FastDispatch:
        v = *static_cast<void* const*>(data) ? "procedure" : "null";
        break;
    case kAudioUnitProperty_ParameterList:
        std::snprintf(buf, sizeof buf, "%u ids", unsigned(size / 4));
        v = buf;
        break;
    default:
        v = "-";
    }
    Print("  value %s", v.c_str());
}

bool Host::RunPropertyCommand(const std::string& cmd, const std::vector<std::string>& a)
{
    if (cmd == "info") {
        UInt32 size = 0xDEAD;
        Boolean writable = 2;
        OSStatus r = AudioUnitGetPropertyInfo(Unit(), U(a, 0), Scope(a, 1), U(a, 2), &size, &writable);
        Print("info %u %u %u: %d size %u writable %d", unsigned(U(a, 0)), unsigned(Scope(a, 1)), unsigned(U(a, 2)),
              int(r), unsigned(size), int(writable));
    } else if (cmd == "getprop") {
        // The info call first, then the get whatever the info said, as a probing host does.
        UInt32 infoSize = 0;
        Boolean writable = false;
        AudioUnitPropertyID id = U(a, 0);
        OSStatus ri = AudioUnitGetPropertyInfo(Unit(), id, Scope(a, 1), U(a, 2), &infoSize, &writable);
        std::vector<unsigned char> data(size_t(infoSize) + 256, 0);
        UInt32 got = UInt32(data.size());
        OSStatus rg = AudioUnitGetProperty(Unit(), id, Scope(a, 1), U(a, 2), data.data(), &got);
        Print("getprop %u %u %u: info %d size %u writable %d get %d size %u", unsigned(id), unsigned(Scope(a, 1)),
              unsigned(U(a, 2)), int(ri), unsigned(infoSize), int(writable), int(rg), unsigned(got));
        if (rg == noErr && got) PrintPropertyValue(id, data.data(), got);
    } else if (cmd == "saveclass") {
        size_t slot = size_t(U(a, 0));
        if (slot >= mSavedStates.size()) return true;
        CFPropertyListRef plist = nullptr;
        UInt32 size = sizeof plist;
        OSStatus r = AudioUnitGetProperty(Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist, &size);
        if (mSavedStates[slot]) CFRelease(mSavedStates[slot]);
        mSavedStates[slot] = r == noErr ? plist : nullptr;
        long keys = plist ? long(CFDictionaryGetCount(static_cast<CFDictionaryRef>(plist))) : 0;
        long bytes = 0;
        if (plist) {
            CFStringRef k = Key("data");
            CFDataRef d = static_cast<CFDataRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(plist), k));
            CFRelease(k);
            bytes = d ? long(CFDataGetLength(d)) : -1;
        }
        Print("saveclass %zu: %d keys %ld data %ld", slot, int(r), keys, bytes);
    } else if (cmd == "loadclass") {
        size_t slot = size_t(U(a, 0));
        CFPropertyListRef plist = slot < mSavedStates.size() ? mSavedStates[slot] : nullptr;
        OSStatus r = AudioUnitSetProperty(Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &plist,
                                          sizeof plist);
        Print("loadclass %zu: %d", slot, int(r));
    } else if (cmd == "dropkey" || cmd == "setkey") {
        size_t slot = size_t(U(a, 0));
        auto dict = slot < mSavedStates.size()
                        ? const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(mSavedStates[slot]))
                        : nullptr;
        if (!dict || a.size() < 2) {
            Print("%s: nothing saved", cmd.c_str());
            return true;
        }
        CFStringRef k = Key(a[1].c_str());
        if (cmd == "dropkey") {
            CFDictionaryRemoveValue(dict, k);
        } else {
            SInt32 v = SInt32(std::strtoll(a.size() > 2 ? a[2].c_str() : "0", nullptr, 0));
            CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
            CFDictionarySetValue(dict, k, n);
            CFRelease(n);
        }
        CFRelease(k);
        Print("%s %zu %s: ok", cmd.c_str(), slot, a[1].c_str());
    } else if (cmd == "cutdata") {
        // Keeps only the first LEN bytes of the saved state's "data".
        size_t slot = size_t(U(a, 0));
        auto dict = slot < mSavedStates.size()
                        ? const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(mSavedStates[slot]))
                        : nullptr;
        CFStringRef k = Key("data");
        auto data = dict ? static_cast<CFDataRef>(CFDictionaryGetValue(dict, k)) : nullptr;
        if (data) {
            CFIndex len = CFDataGetLength(data), keep = CFIndex(U(a, 1));
            CFDataRef cut = CFDataCreate(nullptr, CFDataGetBytePtr(data), keep < len ? keep : len);
            CFDictionarySetValue(dict, k, cut);
            CFRelease(cut);
        }
        CFRelease(k);
        Print("cutdata %zu: %s", slot, data ? "ok" : "nothing saved");
    } else if (cmd == "connect") {
        size_t from = size_t(U(a, 0));
        AudioUnitConnection c{from < mUnits.size() ? mUnits[from] : nullptr, U(a, 1), U(a, 2)};
        OSStatus r = AudioUnitSetProperty(Unit(), kAudioUnitProperty_MakeConnection, Scope(a, 3), 0, &c, sizeof c);
        Print("connect %zu: %d", from, int(r));
    } else if (cmd == "setu32") {
        UInt32 v = U(a, 3);
        OSStatus r = AudioUnitSetProperty(Unit(), U(a, 0), Scope(a, 1), U(a, 2), &v, sizeof v);
        Print("setu32 %u %u %u: %d", unsigned(U(a, 0)), unsigned(Scope(a, 1)), unsigned(U(a, 2)), int(r));
    } else if (cmd == "setf64") {
        Float64 v = a.size() > 3 ? std::strtod(a[3].c_str(), nullptr) : 0.0;
        OSStatus r = AudioUnitSetProperty(Unit(), U(a, 0), Scope(a, 1), U(a, 2), &v, sizeof v);
        Print("setf64 %u %u %u: %d", unsigned(U(a, 0)), unsigned(Scope(a, 1)), unsigned(U(a, 2)), int(r));
    } else {
        Print("%s: unknown command", cmd.c_str());
        return false;
    }
    return true;
}
