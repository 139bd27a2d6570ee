#include "host.h"

#include <dlfcn.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// The text of <key>name</key><string>...</string> after position from, or empty.
std::string PlistString(const std::string& s, const std::string& key, size_t from = 0)
{
    std::string k = "<key>" + key + "</key>";
    size_t at = s.find(k, from);
    if (at == std::string::npos) return {};
    size_t open = s.find("<string>", at + k.size());
    if (open == std::string::npos) return {};
    open += 8;
    size_t close = s.find("</string>", open);
    return close == std::string::npos ? std::string() : s.substr(open, close - open);
}

OSType FourCC(const std::string& s)
{
    if (s.size() != 4) return 0;
    return (OSType(uint8_t(s[0])) << 24) | (OSType(uint8_t(s[1])) << 16) | (OSType(uint8_t(s[2])) << 8) |
           OSType(uint8_t(s[3]));
}

std::string FourCCText(OSType v)
{
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = char((v >> (24 - 8 * i)) & 0xFF);
    return s;
}

AudioUnitScope ScopeOf(const std::string& s)
{
    if (s == "in" || s == "input" || s == "1") return kAudioUnitScope_Input;
    if (s == "out" || s == "output" || s == "2") return kAudioUnitScope_Output;
    if (s == "global" || s == "0") return kAudioUnitScope_Global;
    return AudioUnitScope(std::strtoul(s.c_str(), nullptr, 0));
}

} // namespace

Host::~Host()
{
    for (CFPropertyListRef s : mSavedStates)
        if (s) CFRelease(s);
    for (AudioUnit& u : mUnits)
        if (u) CloseComponent(u);
    if (mComponent) UnregisterComponentEntry(mComponent);
    if (mViewComponent) UnregisterComponentEntry(mViewComponent);
    if (mLib) dlclose(mLib);
}

void Host::Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(mOut, format, args);
    va_end(args);
    std::fputc('\n', mOut);
    std::fflush(mOut);
}

bool Host::Load(const std::string& bundlePath)
{
    mBundlePath = bundlePath;
    while (mBundlePath.size() > 1 && mBundlePath.back() == '/') mBundlePath.pop_back();
    std::ifstream in(mBundlePath + "/Contents/Info.plist");
    if (!in) {
        Print("load: no Contents/Info.plist in %s", mBundlePath.c_str());
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string plist = text.str();
    mIdentifier = PlistString(plist, "CFBundleIdentifier");
    std::string exe = PlistString(plist, "CFBundleExecutable");
    size_t comps = plist.find("<key>AudioComponents</key>");
    if (comps == std::string::npos || exe.empty()) {
        Print("load: the bundle declares no component");
        return false;
    }
    mName = PlistString(plist, "name", comps);
    mDesc.componentType = FourCC(PlistString(plist, "type", comps));
    mDesc.componentSubType = FourCC(PlistString(plist, "subtype", comps));
    mDesc.componentManufacturer = FourCC(PlistString(plist, "manufacturer", comps));
    std::string factory = PlistString(plist, "factoryFunction", comps);

    std::string lib = mBundlePath + "/Contents/MacOS/" + exe;
    // Kept mapped to the end, as hosts do: the library's process-lifetime caches stay reachable.
    mLib = dlopen(lib.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!mLib) {
        Print("load: %s", dlerror());
        return false;
    }
    mEntry = reinterpret_cast<ComponentRoutineUPP>(dlsym(mLib, factory.c_str()));
    mViewEntry = reinterpret_cast<ComponentRoutineUPP>(dlsym(mLib, "QOR_ViewEntry"));
    if (!mEntry) {
        Print("load: no entry %s", factory.c_str());
        return false;
    }
    mComponent = RegisterComponentEntry(&mDesc, mEntry);
    if (mViewEntry) {
        ComponentDescription view{kAudioUnitCarbonViewComponentType, mDesc.componentSubType,
                                  mDesc.componentManufacturer, 0, 0};
        mViewComponent = RegisterComponentEntry(&view, mViewEntry);
    }
    Print("load: %s entry %s view entry %s", lib.c_str(), factory.c_str(), mViewEntry ? "QOR_ViewEntry" : "none");
    return true;
}

void Host::PrintIdentity()
{
    Print("name: %s", mName.c_str());
    Print("identifier: %s", mIdentifier.c_str());
    Print("component: %s %s %s", FourCCText(mDesc.componentType).c_str(), FourCCText(mDesc.componentSubType).c_str(),
          FourCCText(mDesc.componentManufacturer).c_str());
    Run("open");
    if (!Unit()) return;
    ComponentResult v = CallComponentVersion(Unit());
    Print("version: %d.%d.%d (0x%08X)", int(unsigned(v) >> 16), int((v >> 8) & 0xFF), int(v & 0xFF), unsigned(v));
    UInt32 size = 0;
    Boolean writable = false;
    if (AudioUnitGetPropertyInfo(Unit(), kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, &size,
                                 &writable) == noErr) {
        std::vector<SInt16> io(size / 2 + 1);
        AudioUnitGetProperty(Unit(), kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, io.data(), &size);
        for (UInt32 i = 0; i + 1 < size / 2 + 1 && 2 * i + 1 < io.size() && i < size / 4; ++i)
            Print("channels: %d-%d", io[2 * i], io[2 * i + 1]);
    }
    Float64 latency = 0.0;
    size = sizeof latency;
    if (AudioUnitGetProperty(Unit(), kAudioUnitProperty_Latency, kAudioUnitScope_Global, 0, &latency, &size) == noErr)
        Print("latency: %.6f s", latency);
    UInt32 instruments = 0;
    size = sizeof instruments;
    if (AudioUnitGetProperty(Unit(), kMusicDeviceProperty_InstrumentCount, kAudioUnitScope_Global, 0, &instruments,
                             &size) == noErr)
        Print("instruments: %u", unsigned(instruments));
    Run("close");
}

// ---- callbacks the plug-in calls ----

OSStatus Host::InputProc(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                         AudioBufferList* data)
{
    auto* h = static_cast<Host*>(refCon);
    ++h->mPulls;
    for (UInt32 b = 0; b < data->mNumberBuffers; ++b) {
        auto* p = static_cast<float*>(data->mBuffers[b].mData);
        if (!p) continue;
        float v = b % 2 ? -h->mInputValue : h->mInputValue;
        for (UInt32 i = 0; i < frames; ++i) p[i] = v;
    }
    return noErr;
}

OSStatus Host::NotifyProc(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                          AudioBufferList*)
{
    static_cast<Host*>(refCon)->mNotifyFlags.push_back(*flags);
    return noErr;
}

void Host::ListenerProc(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement)
{
    static_cast<Host*>(refCon)->mListenerCalls[id] += 1;
}

OSStatus Host::BeatAndTempo(void* user, Float64* beat, Float64* tempo)
{
    auto* h = static_cast<Host*>(user);
    if (beat) *beat = h->transport.beat;
    if (tempo) *tempo = h->transport.tempo;
    return noErr;
}

OSStatus Host::MusicalTime(void* user, UInt32* offset, Float32* num, UInt32* den, Float64* downBeat)
{
    auto* h = static_cast<Host*>(user);
    if (offset) *offset = 0;
    if (num) *num = h->transport.numerator;
    if (den) *den = h->transport.denominator;
    if (downBeat) *downBeat = h->transport.downBeat;
    return noErr;
}

OSStatus Host::TransportState(void* user, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling,
                              Float64* cycleStart, Float64* cycleEnd)
{
    auto* h = static_cast<Host*>(user);
    if (playing) *playing = h->transport.playing;
    if (changed) *changed = h->transport.changed;
    if (sample) *sample = h->transport.samplePos;
    if (cycling) *cycling = h->transport.cycling;
    if (cycleStart) *cycleStart = h->transport.cycleStart;
    if (cycleEnd) *cycleEnd = h->transport.cycleEnd;
    h->transport.changed = false;
    return noErr;
}

// ---- rendering ----

void Host::Render(int frames, double sampleTime, bool nullData, unsigned bus)
{
    std::vector<float> left(size_t(frames > 0 ? frames : 0) + 1, 7.0f), right(left);
    std::vector<unsigned char> block(sizeof(AudioBufferList) + sizeof(AudioBuffer));
    auto* list = reinterpret_cast<AudioBufferList*>(block.data());
    list->mNumberBuffers = 2;
    float* buffers[2] = {left.data(), right.data()};
    for (int b = 0; b < 2; ++b) {
        list->mBuffers[b].mNumberChannels = 1;
        list->mBuffers[b].mDataByteSize = UInt32(frames) * sizeof(float);
        list->mBuffers[b].mData = nullData ? nullptr : buffers[b];
    }
    AudioTimeStamp ts;
    std::memset(&ts, 0, sizeof ts);
    ts.mSampleTime = sampleTime;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    mPulls = 0;
    mNotifyFlags.clear();
    OSStatus r = AudioUnitRender(Unit(), &flags, &ts, bus, UInt32(frames), list);
    std::string notes;
    for (unsigned f : mNotifyFlags) notes += (notes.empty() ? "" : ",") + std::to_string(f);
    const float* out0 = static_cast<const float*>(list->mBuffers[0].mData);
    const float* out1 = static_cast<const float*>(list->mBuffers[1].mData);
    char samples[128] = "no data";
    if (out0 && out1 && frames > 0)
        std::snprintf(samples, sizeof samples, "out0=%.4f,%.4f out1=%.4f,%.4f", out0[0], out0[frames - 1], out1[0],
                      out1[frames - 1]);
    Print("render %d @%.0f: %d pulls %d notify %s %s%s", frames, sampleTime, int(r), mPulls,
          notes.empty() ? "none" : notes.c_str(), samples,
          nullData ? (out0 ? " (plug-in memory)" : " (still null)") : "");
}

// ---- the script ----

bool Host::Run(const std::string& line)
{
    std::istringstream in(line);
    std::string cmd;
    if (!(in >> cmd) || cmd[0] == '#') return true;
    std::vector<std::string> a;
    for (std::string w; in >> w;) a.push_back(w);
    auto num = [&](size_t i, double def = 0.0) { return i < a.size() ? std::strtod(a[i].c_str(), nullptr) : def; };
    auto u32 = [&](size_t i, unsigned long def = 0) {
        return UInt32(i < a.size() ? std::strtoul(a[i].c_str(), nullptr, 0) : def);
    };

    if (cmd == "use") {
        int slot = int(num(0));
        if (slot < 0 || slot >= int(mUnits.size())) {
            Print("use: no slot %d", slot);
            return true;
        }
        mCurrent = slot;
        Print("use: %d", slot);
        return true;
    }
    if (cmd == "open") {
        if (Unit()) {
            Print("open: slot %d is open", mCurrent);
            return true;
        }
        AudioUnit u = nullptr;
        OSStatus r = OpenAComponent(mComponent, &u);
        mUnits[size_t(mCurrent)] = u;
        Print("open: %d", int(r));
        return true;
    }
    if (!Unit()) {
        Print("%s: no open instance", cmd.c_str());
        return true;
    }
    if (cmd == "close") {
        OSStatus r = CloseComponent(Unit());
        mUnits[size_t(mCurrent)] = nullptr;
        Print("close: %d", int(r));
    } else if (cmd == "version") {
        Print("version: 0x%08X", unsigned(CallComponentVersion(Unit())));
    } else if (cmd == "cando") {
        SInt16 sel = SInt16(std::strtol(a.empty() ? "0" : a[0].c_str(), nullptr, 0));
        Print("cando %d: %d", int(sel), int(CallComponentCanDo(Unit(), sel)));
    } else if (cmd == "selector") {
        SInt16 sel = SInt16(std::strtol(a.empty() ? "0" : a[0].c_str(), nullptr, 0));
        Print("selector %d: %d", int(sel), int(CallComponent(Unit(), sel, 0, nullptr)));
    } else if (cmd == "init") {
        Print("initialize: %d", int(AudioUnitInitialize(Unit())));
    } else if (cmd == "uninit") {
        Print("uninitialize: %d", int(AudioUnitUninitialize(Unit())));
    } else if (cmd == "reset") {
        Print("reset: %d", int(AudioUnitReset(Unit(), kAudioUnitScope_Global, 0)));
    } else if (cmd == "format") {
        AudioStreamBasicDescription f;
        std::memset(&f, 0, sizeof f);
        f.mSampleRate = num(3, 0.0);
        f.mFormatID = a.size() > 4 ? FourCC(a[4]) : kAudioFormatLinearPCM;
        f.mFormatFlags = a.size() > 5 ? u32(5) : kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                                                      kAudioFormatFlagIsNonInterleaved;
        f.mBytesPerPacket = f.mBytesPerFrame = 4;
        f.mFramesPerPacket = 1;
        f.mBitsPerChannel = 32;
        f.mChannelsPerFrame = u32(2);
        OSStatus r = AudioUnitSetProperty(Unit(), kAudioUnitProperty_StreamFormat, ScopeOf(a.size() ? a[0] : "0"),
                                          u32(1), &f, sizeof f);
        Print("format %s %u %u: %d", a.size() ? a[0].c_str() : "?", unsigned(u32(1)), unsigned(u32(2)), int(r));
    } else if (cmd == "getformat") {
        AudioStreamBasicDescription f;
        std::memset(&f, 0, sizeof f);
        UInt32 size = sizeof f;
        OSStatus r = AudioUnitGetProperty(Unit(), kAudioUnitProperty_StreamFormat, ScopeOf(a.size() ? a[0] : "0"),
                                          u32(1), &f, &size);
        Print("getformat %s %u: %d size %u channels %u rate %.0f flags 0x%X format %s", a.size() ? a[0].c_str() : "?",
              unsigned(u32(1)), int(r), unsigned(size), unsigned(f.mChannelsPerFrame), f.mSampleRate,
              unsigned(f.mFormatFlags), FourCCText(f.mFormatID).c_str());
    } else if (cmd == "callbacks") {
        HostCallbackInfo cb{this, &Host::BeatAndTempo, &Host::MusicalTime, &Host::TransportState};
        Print("callbacks: %d", int(AudioUnitSetProperty(Unit(), kAudioUnitProperty_HostCallbacks,
                                                        ScopeOf(a.size() ? a[0] : "0"), 0, &cb, sizeof cb)));
    } else if (cmd == "hostid") {
        AUHostVersionIdentifier id;
        id.hostName = CFStringCreateWithCString(nullptr, a.size() ? a[0].c_str() : "", kCFStringEncodingUTF8);
        id.hostVersion = NumVersion{UInt8(u32(1)), UInt8(u32(2)), 0, 0};
        OSStatus r = AudioUnitSetProperty(Unit(), kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, &id,
                                          sizeof id);
        if (id.hostName) CFRelease(id.hostName);
        Print("hostid: %d", int(r));
    } else if (cmd == "midi") {
        Print("midi: %d", int(MusicDeviceMIDIEvent(Unit(), u32(0), u32(1), u32(2), u32(3))));
    } else if (cmd == "sysex") {
        std::vector<UInt8> bytes;
        for (const std::string& w : a) bytes.push_back(UInt8(std::strtoul(w.c_str(), nullptr, 16)));
        Print("sysex: %d", int(MusicDeviceSysEx(Unit(), bytes.data(), UInt32(bytes.size()))));
    } else if (cmd == "note-on") {
        MusicDeviceNoteParams p;
        std::memset(&p, 0, sizeof p);
        p.argCount = 2;
        p.mPitch = Float32(num(0));
        p.mVelocity = Float32(num(1));
        NoteInstanceID id = 0;
        OSStatus r = MusicDeviceStartNote(Unit(), 0xFFFFFFFF, 0, &id, u32(2), &p);
        Print("note-on: %d id %u", int(r), unsigned(id));
    } else if (cmd == "note-off") {
        Print("note-off: %d", int(MusicDeviceStopNote(Unit(), 0, u32(0), u32(1))));
    } else if (cmd == "listen") {
        Print("listen %u: %d", unsigned(u32(0)),
              int(AudioUnitAddPropertyListener(Unit(), u32(0), &Host::ListenerProc, this)));
    } else if (cmd == "unlisten") {
        Print("unlisten %u: %d", unsigned(u32(0)),
              int(AudioUnitRemovePropertyListenerWithUserData(Unit(), u32(0), &Host::ListenerProc, this)));
    } else if (cmd == "listeners") {
        if (mListenerCalls.empty()) Print("listeners: none");
        for (auto& kv : mListenerCalls) Print("listener %u: %d calls", kv.first, kv.second);
        mListenerCalls.clear();
    } else if (cmd == "rate") {
        Float64 r = num(0, 44100.0);
        Print("rate: %d", int(AudioUnitSetProperty(Unit(), kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &r,
                                                   sizeof r)));
    } else if (cmd == "maxframes") {
        UInt32 n = u32(0);
        Print("maxframes %u: %d", unsigned(n),
              int(AudioUnitSetProperty(Unit(), kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &n,
                                       sizeof n)));
    } else if (cmd == "bypass") {
        UInt32 on = u32(0);
        Print("bypass %u: %d", unsigned(on),
              int(AudioUnitSetProperty(Unit(), kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, &on,
                                       sizeof on)));
    } else if (cmd == "input") {
        mInputValue = Float32(num(0));
        AURenderCallbackStruct cb{&Host::InputProc, this};
        Print("input: %d", int(AudioUnitSetProperty(Unit(), kAudioUnitProperty_SetRenderCallback,
                                                    kAudioUnitScope_Input, 0, &cb, sizeof cb)));
    } else if (cmd == "notify") {
        Print("notify: %d", int(AudioUnitAddRenderNotify(Unit(), &Host::NotifyProc, this)));
    } else if (cmd == "unnotify") {
        Print("unnotify: %d", int(AudioUnitRemoveRenderNotify(Unit(), &Host::NotifyProc, nullptr)));
    } else if (cmd == "tempo") {
        transport.tempo = num(0);
    } else if (cmd == "beat") {
        transport.beat = num(0);
    } else if (cmd == "pos") {
        transport.samplePos = num(0);
    } else if (cmd == "play") {
        transport.changed = !transport.playing;
        transport.playing = true;
    } else if (cmd == "stop") {
        transport.changed = transport.playing;
        transport.playing = false;
    } else if (cmd == "timesig") {
        transport.numerator = Float32(num(0, 4));
        transport.denominator = unsigned(num(1, 4));
    } else if (cmd == "cycle") {
        transport.cycling = num(0) != 0.0;
        transport.cycleStart = num(1);
        transport.cycleEnd = num(2);
    } else if (cmd == "render" || cmd == "render-null") {
        int frames = int(num(0, 512));
        double time = a.size() > 1 ? num(1) : mSampleTime;
        Render(frames, time, cmd == "render-null", unsigned(u32(2)));
        mSampleTime = time + frames;
    } else if (cmd == "getparam") {
        AudioUnitParameterValue v = 0;
        OSStatus r = AudioUnitGetParameter(Unit(), u32(0), ScopeOf(a.size() > 1 ? a[1] : "0"), 0, &v);
        Print("getparam %u: %d value %g", unsigned(u32(0)), int(r), double(v));
    } else if (cmd == "setparam") {
        OSStatus r = AudioUnitSetParameter(Unit(), u32(0), ScopeOf(a.size() > 2 ? a[2] : "0"), 0, Float32(num(1)), 0);
        Print("setparam %u: %d", unsigned(u32(0)), int(r));
    } else if (cmd == "carbon-view") {
        if (!mViewComponent) {
            Print("carbon-view: no view entry");
            return true;
        }
        ComponentInstance view = nullptr;
        OSStatus r = OpenAComponent(mViewComponent, &view);
        ControlRef control = nullptr;
        OSStatus c = r == noErr ? AudioUnitCarbonViewCreate(view, Unit(), nullptr, nullptr, nullptr, nullptr, &control)
                                : r;
        if (view) CloseComponent(view);
        Print("carbon-view: open %d create %d", int(r), int(c));
    } else {
        return RunPropertyCommand(cmd, a);
    }
    return true;
}
