// Property commands of the stand-in host: get, info and set of any property with its value
// printed by kind, class information saved from one instance and given to another, and
// connections between instances.
#include <cstdlib>
#include <cstring>

#include "host.h"

namespace {

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

namespace {

// The class information saved in a slot, to be edited in place.
CFMutableDictionaryRef SavedDict(const std::vector<CFPropertyListRef>& saved, size_t slot)
{
    return slot < saved.size() ? const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(saved[slot]))
                               : nullptr;
}

} // namespace

std::vector<Host::Command> Host::PropertyCommands()
{
    using A = const Args&;
    using S = const std::string&;
    return {
        {"info", "ID SCOPE EL", true,
         [](Host& h, S, A a) {
             UInt32 size = 0xDEAD;
             Boolean writable = 2;
             OSStatus r = AudioUnitGetPropertyInfo(h.Unit(), a.U32(0), a.Scope(1), a.U32(2), &size, &writable);
             h.Print("info %u %u %u: %d size %u writable %d", unsigned(a.U32(0)), unsigned(a.Scope(1)),
                     unsigned(a.U32(2)), int(r), unsigned(size), int(writable));
         }},
        {"getprop", "ID SCOPE EL", true,
         [](Host& h, S, A a) {
             // The info call first, then the get whatever the info said, as a probing host does.
             UInt32 infoSize = 0;
             Boolean writable = false;
             AudioUnitPropertyID id = a.U32(0);
             OSStatus ri = AudioUnitGetPropertyInfo(h.Unit(), id, a.Scope(1), a.U32(2), &infoSize, &writable);
             std::vector<unsigned char> data(size_t(infoSize) + 256, 0);
             UInt32 got = UInt32(data.size());
             OSStatus rg = AudioUnitGetProperty(h.Unit(), id, a.Scope(1), a.U32(2), data.data(), &got);
             h.Print("getprop %u %u %u: info %d size %u writable %d get %d size %u", unsigned(id),
                     unsigned(a.Scope(1)), unsigned(a.U32(2)), int(ri), unsigned(infoSize), int(writable), int(rg),
                     unsigned(got));
             if (rg == noErr && got) h.PrintPropertyValue(id, data.data(), got);
         }},
        {"saveclass", "N", true,
         [](Host& h, S, A a) {
             size_t slot = size_t(a.U32(0));
             if (slot >= h.mSavedStates.size()) return;
             CFPropertyListRef plist = nullptr;
             UInt32 size = sizeof plist;
             OSStatus r = AudioUnitGetProperty(h.Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                               &plist, &size);
             if (h.mSavedStates[slot]) CFRelease(h.mSavedStates[slot]);
             h.mSavedStates[slot] = r == noErr ? plist : nullptr;
             long keys = plist ? long(CFDictionaryGetCount(static_cast<CFDictionaryRef>(plist))) : 0;
             long bytes = 0;
             if (plist) {
                 CFStringRef k = Key("data");
                 CFDataRef d = static_cast<CFDataRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(plist), k));
                 CFRelease(k);
                 bytes = d ? long(CFDataGetLength(d)) : -1;
             }
             h.Print("saveclass %zu: %d keys %ld data %ld", slot, int(r), keys, bytes);
         }},
        {"loadclass", "N", true,
         [](Host& h, S, A a) {
             size_t slot = size_t(a.U32(0));
             CFPropertyListRef plist = slot < h.mSavedStates.size() ? h.mSavedStates[slot] : nullptr;
             OSStatus r = AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0,
                                               &plist, sizeof plist);
             h.Print("loadclass %zu: %d", slot, int(r));
         }},
        {"dropkey", "N KEY", true, &Host::EditSavedKey},
        {"setkey", "N KEY VALUE", true, &Host::EditSavedKey},
        {"cutdata", "N LEN", true,
         [](Host& h, S, A a) {
             // Keeps only the first LEN bytes of the saved state's "data".
             size_t slot = size_t(a.U32(0));
             CFMutableDictionaryRef dict = SavedDict(h.mSavedStates, slot);
             CFStringRef k = Key("data");
             auto data = dict ? static_cast<CFDataRef>(CFDictionaryGetValue(dict, k)) : nullptr;
             if (data) {
                 CFIndex len = CFDataGetLength(data), keep = CFIndex(a.U32(1));
                 CFDataRef cut = CFDataCreate(nullptr, CFDataGetBytePtr(data), keep < len ? keep : len);
                 CFDictionarySetValue(dict, k, cut);
                 CFRelease(cut);
             }
             CFRelease(k);
             h.Print("cutdata %zu: %s", slot, data ? "ok" : "nothing saved");
         }},
        {"connect", "FROM SRCBUS DSTBUS [SCOPE]", true,
         [](Host& h, S, A a) {
             size_t from = size_t(a.U32(0));
             AudioUnitConnection c{from < h.mUnits.size() ? h.mUnits[from] : nullptr, a.U32(1), a.U32(2)};
             OSStatus r =
                 AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_MakeConnection, a.Scope(3), 0, &c, sizeof c);
             h.Print("connect %zu: %d", from, int(r));
         }},
        {"setu32", "ID SCOPE EL VALUE", true,
         [](Host& h, S, A a) {
             UInt32 v = a.U32(3);
             OSStatus r = AudioUnitSetProperty(h.Unit(), a.U32(0), a.Scope(1), a.U32(2), &v, sizeof v);
             h.Print("setu32 %u %u %u: %d", unsigned(a.U32(0)), unsigned(a.Scope(1)), unsigned(a.U32(2)), int(r));
         }},
        {"setf64", "ID SCOPE EL VALUE", true,
         [](Host& h, S, A a) {
             Float64 v = a.Num(3);
             OSStatus r = AudioUnitSetProperty(h.Unit(), a.U32(0), a.Scope(1), a.U32(2), &v, sizeof v);
             h.Print("setf64 %u %u %u: %d", unsigned(a.U32(0)), unsigned(a.Scope(1)), unsigned(a.U32(2)), int(r));
         }},
    };
}

void Host::EditSavedKey(Host& h, const std::string& cmd, const Args& a)
{
    size_t slot = size_t(a.U32(0));
    CFMutableDictionaryRef dict = SavedDict(h.mSavedStates, slot);
    if (!dict || a.size() < 2) return h.Print("%s: nothing saved", cmd.c_str());
    CFStringRef k = Key(a.Word(1));
    if (cmd == "dropkey") {
        CFDictionaryRemoveValue(dict, k);
    } else {
        SInt32 v = SInt32(std::strtoll(a.Word(2, "0"), nullptr, 0));
        CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
        CFDictionarySetValue(dict, k, n);
        CFRelease(n);
    }
    CFRelease(k);
    h.Print("%s %zu %s: ok", cmd.c_str(), slot, a.Word(1));
}
