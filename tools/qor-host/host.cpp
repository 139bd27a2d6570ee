#include "host.h"

#include <AppKit/AppKit.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

// Whether the last byte that left standard output ended a line. The plug-in prints to the same
// stream without line ends at times ("Unable to open file"); a result must not be glued to it.
bool gStdoutAtLineStart = true;

ssize_t WriteStdout(void*, const char* buf, size_t size)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(STDOUT_FILENO, buf + done, size - done);
        if (n < 0) return done ? ssize_t(done) : -1;
        done += size_t(n);
    }
    if (size) gStdoutAtLineStart = buf[size - 1] == '\n';
    return ssize_t(size);
}

// The largest slice `render` asks for; the plug-in refuses it long before.
constexpr int kMaxRenderFrames = 1 << 20;

// The values of the elements under an accessibility object, depth first: the texts it shows.
void CollectAccessibleTexts(NSObject* o, std::vector<std::string>* out, int depth = 0)
{
    auto* a = dynamic_cast<NSAccessibility*>(o);
    if (!a || depth > 64) return;
    if (NSString* v = a->accessibilityValue()) out->push_back(v->UTF8String());
    NSArray* children = NSAccessibilityUnignoredChildren(a->accessibilityAttributeValue(NSAccessibilityChildrenAttribute));
    for (NSUInteger i = 0; children && i < children->count(); ++i)
        CollectAccessibleTexts(children->objectAtIndex(i), out, depth + 1);
}

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

} // namespace

Host::~Host()
{
    // The view's code lives in the bundle: it goes before the bundle is unloaded.
    ForgetAllButFirstInstance();
    if (mUnits[0]) CloseComponent(mUnits[0]);
    if (mComponent) UnregisterComponentEntry(mComponent);
    if (mViewComponent) UnregisterComponentEntry(mViewComponent);
    if (mLib) dlclose(mLib);
}

void Host::ForgetAllButFirstInstance()
{
    CloseEditor();
    ForgetPresented();
    for (CFPropertyListRef& s : mSavedStates) {
        if (s) CFRelease(s);
        s = nullptr;
    }
    for (size_t i = 1; i < mUnits.size(); ++i) {
        if (mUnits[i]) CloseComponent(mUnits[i]);
        mUnits[i] = nullptr;
    }
    mCurrent = 0;
    transport = HostTransport();
    mInputValue = 0.0f;
    mPulls = 0;
    mNotifyFlags.clear();
    mListenerCalls.clear();
    mSampleTime = 0.0;
}

void Host::TrackStdoutLines()
{
    std::fflush(stdout);
    cookie_io_functions_t io{};
    io.write = WriteStdout;
    if (FILE* tracked = fopencookie(nullptr, "w", io)) {
        std::setvbuf(tracked, nullptr, _IOLBF, BUFSIZ);
        stdout = tracked;
    }
}

void Host::Print(const char* format, ...)
{
    if (mOut == stdout) {
        std::fflush(stdout);
        if (!gStdoutAtLineStart) std::fputc('\n', stdout);
    }
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

double Host::Args::Num(size_t i, double def) const
{
    return i < w.size() ? std::strtod(w[i].c_str(), nullptr) : def;
}

int Host::Args::Int(size_t i, int def) const
{
    const double n = Num(i, def);
    if (!(n == n)) return def;
    return int(std::max(double(INT_MIN), std::min(n, double(INT_MAX))));
}

UInt32 Host::Args::U32(size_t i, unsigned long def) const
{
    return UInt32(i < w.size() ? std::strtoul(w[i].c_str(), nullptr, 0) : def);
}

AudioUnitScope Host::Args::Scope(size_t i) const
{
    if (i >= w.size()) return kAudioUnitScope_Global;
    const std::string& s = w[i];
    if (s == "in" || s == "input") return kAudioUnitScope_Input;
    if (s == "out" || s == "output") return kAudioUnitScope_Output;
    if (s == "global") return kAudioUnitScope_Global;
    return AudioUnitScope(std::strtoul(s.c_str(), nullptr, 0));
}

bool Host::Run(const std::string& line)
{
    std::istringstream in(line);
    std::string cmd;
    if (!(in >> cmd) || cmd[0] == '#') return true;
    Args a;
    // The rest of the line as written, for commands whose argument may hold blanks.
    const size_t restAt = line.find_first_not_of(" \t", line.find(cmd) + cmd.size());
    if (restAt != std::string::npos) a.rest = line.substr(restAt, line.find_last_not_of(" \t\r\n") + 1 - restAt);
    for (std::string w; in >> w;) a.w.push_back(w);
    for (const Command& c : Commands()) {
        if (cmd != c.name) continue;
        if (c.needsUnit && !Unit()) Print("%s: no open instance", cmd.c_str());
        else c.run(*this, cmd, a);
        return true;
    }
    Print("%s: unknown command", cmd.c_str());
    return false;
}

const std::vector<Host::Command>& Host::Commands()
{
    using A = const Args&;
    using S = const std::string&;
    static const std::vector<Command> table = [] {
        std::vector<Command> t = {
            {"help", "", false,
             [](Host& h, S, A) {
                 for (const Command& c : Commands()) h.Print("help: %s %s", c.name, c.usage);
             }},
            {"use", "N", false,
             [](Host& h, S, A a) {
                 int slot = a.Int(0);
                 if (slot < 0 || slot >= int(h.mUnits.size())) return h.Print("use: no slot %d", slot);
                 h.mCurrent = slot;
                 h.Print("use: %d", slot);
             }},
            {"open", "", false,
             [](Host& h, S, A) {
                 if (h.Unit()) return h.Print("open: slot %d is open", h.mCurrent);
                 AudioUnit u = nullptr;
                 OSStatus r = OpenAComponent(h.mComponent, &u);
                 h.mUnits[size_t(h.mCurrent)] = u;
                 h.Print("open: %d", int(r));
             }},
            {"close", "", true,
             [](Host& h, S, A) {
                 h.CloseCarbonEditor(); // the view component goes before its unit
                 OSStatus r = CloseComponent(h.Unit());
                 h.mUnits[size_t(h.mCurrent)] = nullptr;
                 h.Print("close: %d", int(r));
             }},
            {"version", "", true,
             [](Host& h, S, A) { h.Print("version: 0x%08X", unsigned(CallComponentVersion(h.Unit()))); }},
            {"cando", "SEL", true,
             [](Host& h, S, A a) {
                 SInt16 sel = SInt16(std::strtol(a.Word(0, "0"), nullptr, 0));
                 h.Print("cando %d: %d", int(sel), int(CallComponentCanDo(h.Unit(), sel)));
             }},
            {"selector", "SEL", true,
             [](Host& h, S, A a) {
                 SInt16 sel = SInt16(std::strtol(a.Word(0, "0"), nullptr, 0));
                 h.Print("selector %d: %d", int(sel), int(CallComponent(h.Unit(), sel, 0, nullptr)));
             }},
            {"init", "", true, [](Host& h, S, A) { h.Print("initialize: %d", int(AudioUnitInitialize(h.Unit()))); }},
            {"uninit", "", true,
             [](Host& h, S, A) { h.Print("uninitialize: %d", int(AudioUnitUninitialize(h.Unit()))); }},
            {"reset", "", true,
             [](Host& h, S, A) { h.Print("reset: %d", int(AudioUnitReset(h.Unit(), kAudioUnitScope_Global, 0))); }},
            {"format", "SCOPE EL CH [RATE [FMT [FLAGS]]]", true,
             [](Host& h, S, A a) {
                 AudioStreamBasicDescription f;
                 std::memset(&f, 0, sizeof f);
                 f.mSampleRate = a.Num(3, 0.0);
                 f.mFormatID = a.size() > 4 ? FourCC(a.w[4]) : kAudioFormatLinearPCM;
                 f.mFormatFlags = a.size() > 5 ? a.U32(5)
                                               : kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked |
                                                     kAudioFormatFlagIsNonInterleaved;
                 f.mBytesPerPacket = f.mBytesPerFrame = 4;
                 f.mFramesPerPacket = 1;
                 f.mBitsPerChannel = 32;
                 f.mChannelsPerFrame = a.U32(2);
                 OSStatus r =
                     AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_StreamFormat, a.Scope(0), a.U32(1), &f, sizeof f);
                 h.Print("format %s %u %u: %d", a.Word(0, "?"), unsigned(a.U32(1)), unsigned(a.U32(2)), int(r));
             }},
            {"getformat", "SCOPE EL", true,
             [](Host& h, S, A a) {
                 AudioStreamBasicDescription f;
                 std::memset(&f, 0, sizeof f);
                 UInt32 size = sizeof f;
                 OSStatus r =
                     AudioUnitGetProperty(h.Unit(), kAudioUnitProperty_StreamFormat, a.Scope(0), a.U32(1), &f, &size);
                 h.Print("getformat %s %u: %d size %u channels %u rate %.0f flags 0x%X format %s", a.Word(0, "?"),
                         unsigned(a.U32(1)), int(r), unsigned(size), unsigned(f.mChannelsPerFrame), f.mSampleRate,
                         unsigned(f.mFormatFlags), FourCCText(f.mFormatID).c_str());
             }},
            {"callbacks", "[SCOPE]", true,
             [](Host& h, S, A a) {
                 HostCallbackInfo cb{&h, &Host::BeatAndTempo, &Host::MusicalTime, &Host::TransportState};
                 h.Print("callbacks: %d", int(AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_HostCallbacks,
                                                                   a.Scope(0), 0, &cb, sizeof cb)));
             }},
            {"hostid", "NAME MAJOR MINORBUG", true,
             [](Host& h, S, A a) {
                 AUHostVersionIdentifier id;
                 id.hostName = CFStringCreateWithCString(nullptr, a.Word(0), kCFStringEncodingUTF8);
                 id.hostVersion = NumVersion{UInt8(a.U32(1)), UInt8(a.U32(2)), 0, 0};
                 OSStatus r = AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_AUHostIdentifier,
                                                   kAudioUnitScope_Global, 0, &id, sizeof id);
                 if (id.hostName) CFRelease(id.hostName);
                 h.Print("hostid: %d", int(r));
             }},
            {"midi", "ST D1 D2 OFFSET", true,
             [](Host& h, S, A a) {
                 h.Print("midi: %d", int(MusicDeviceMIDIEvent(h.Unit(), a.U32(0), a.U32(1), a.U32(2), a.U32(3))));
             }},
            {"sysex", "HEX...", true,
             [](Host& h, S, A a) {
                 std::vector<UInt8> bytes;
                 for (const std::string& w : a.w) bytes.push_back(UInt8(std::strtoul(w.c_str(), nullptr, 16)));
                 h.Print("sysex: %d", int(MusicDeviceSysEx(h.Unit(), bytes.data(), UInt32(bytes.size()))));
             }},
            {"note-on", "PITCH VEL OFFSET", true,
             [](Host& h, S, A a) {
                 MusicDeviceNoteParams p;
                 std::memset(&p, 0, sizeof p);
                 p.argCount = 2;
                 p.mPitch = Float32(a.Num(0));
                 p.mVelocity = Float32(a.Num(1));
                 NoteInstanceID id = 0;
                 OSStatus r = MusicDeviceStartNote(h.Unit(), 0xFFFFFFFF, 0, &id, a.U32(2), &p);
                 h.Print("note-on: %d id %u", int(r), unsigned(id));
             }},
            {"note-off", "ID OFFSET", true,
             [](Host& h, S, A a) {
                 h.Print("note-off: %d", int(MusicDeviceStopNote(h.Unit(), 0, a.U32(0), a.U32(1))));
             }},
            {"listen", "PROP", true,
             [](Host& h, S, A a) {
                 h.Print("listen %u: %d", unsigned(a.U32(0)),
                         int(AudioUnitAddPropertyListener(h.Unit(), a.U32(0), &Host::ListenerProc, &h)));
             }},
            {"unlisten", "PROP", true,
             [](Host& h, S, A a) {
                 h.Print("unlisten %u: %d", unsigned(a.U32(0)),
                         int(AudioUnitRemovePropertyListenerWithUserData(h.Unit(), a.U32(0), &Host::ListenerProc, &h)));
             }},
            {"listeners", "", true,
             [](Host& h, S, A) {
                 if (h.mListenerCalls.empty()) h.Print("listeners: none");
                 for (auto& kv : h.mListenerCalls) h.Print("listener %u: %d calls", kv.first, kv.second);
                 h.mListenerCalls.clear();
             }},
            {"rate", "HZ", true,
             [](Host& h, S, A a) {
                 Float64 r = a.Num(0, 44100.0);
                 h.Print("rate: %d", int(AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_SampleRate,
                                                              kAudioUnitScope_Global, 0, &r, sizeof r)));
             }},
            {"maxframes", "N", true,
             [](Host& h, S, A a) {
                 UInt32 n = a.U32(0);
                 h.Print("maxframes %u: %d", unsigned(n),
                         int(AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_MaximumFramesPerSlice,
                                                  kAudioUnitScope_Global, 0, &n, sizeof n)));
             }},
            {"bypass", "0/1", true,
             [](Host& h, S, A a) {
                 UInt32 on = a.U32(0);
                 h.Print("bypass %u: %d", unsigned(on),
                         int(AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global,
                                                  0, &on, sizeof on)));
             }},
            {"input", "VALUE", true,
             [](Host& h, S, A a) {
                 h.mInputValue = Float32(a.Num(0));
                 AURenderCallbackStruct cb{&Host::InputProc, &h};
                 h.Print("input: %d", int(AudioUnitSetProperty(h.Unit(), kAudioUnitProperty_SetRenderCallback,
                                                               kAudioUnitScope_Input, 0, &cb, sizeof cb)));
             }},
            {"notify", "", true,
             [](Host& h, S, A) { h.Print("notify: %d", int(AudioUnitAddRenderNotify(h.Unit(), &Host::NotifyProc, &h))); }},
            {"unnotify", "", true,
             [](Host& h, S, A) {
                 h.Print("unnotify: %d", int(AudioUnitRemoveRenderNotify(h.Unit(), &Host::NotifyProc, nullptr)));
             }},
            {"tempo", "BPM", true,
             [](Host& h, S, A a) {
                 h.transport.tempo = a.Num(0);
                 h.Print("tempo: %g", h.transport.tempo);
             }},
            {"beat", "B", true,
             [](Host& h, S, A a) {
                 h.transport.beat = a.Num(0);
                 h.Print("beat: %g", h.transport.beat);
             }},
            {"pos", "SAMPLES", true,
             [](Host& h, S, A a) {
                 h.transport.samplePos = a.Num(0);
                 h.Print("pos: %g", h.transport.samplePos);
             }},
            {"play", "", true,
             [](Host& h, S, A) {
                 h.transport.changed = !h.transport.playing;
                 h.transport.playing = true;
                 h.Print("play: playing");
             }},
            {"stop", "", true,
             [](Host& h, S, A) {
                 h.transport.changed = h.transport.playing;
                 h.transport.playing = false;
                 h.Print("stop: stopped");
             }},
            {"timesig", "N D", true,
             [](Host& h, S, A a) {
                 h.transport.numerator = Float32(a.Num(0, 4));
                 h.transport.denominator = unsigned(std::max(0, a.Int(1, 4)));
                 h.Print("timesig: %g/%u", double(h.transport.numerator), h.transport.denominator);
             }},
            {"cycle", "ON START END", true,
             [](Host& h, S, A a) {
                 h.transport.cycling = a.Num(0) != 0.0;
                 h.transport.cycleStart = a.Num(1);
                 h.transport.cycleEnd = a.Num(2);
                 h.Print("cycle: %s %g %g", h.transport.cycling ? "on" : "off", h.transport.cycleStart,
                         h.transport.cycleEnd);
             }},
            {"render", "FRAMES [TIME [BUS]]", true, &Host::RenderCommand},
            {"render-null", "FRAMES [TIME [BUS]]", true, &Host::RenderCommand},
            {"getparam", "ID [SCOPE]", true,
             [](Host& h, S, A a) {
                 AudioUnitParameterValue v = 0;
                 OSStatus r = AudioUnitGetParameter(h.Unit(), a.U32(0), a.Scope(1), 0, &v);
                 h.Print("getparam %u: %d value %g", unsigned(a.U32(0)), int(r), double(v));
             }},
            {"setparam", "ID VALUE [SCOPE]", true,
             [](Host& h, S, A a) {
                 OSStatus r = AudioUnitSetParameter(h.Unit(), a.U32(0), a.Scope(2), 0, Float32(a.Num(1)), 0);
                 h.Print("setparam %u: %d", unsigned(a.U32(0)), int(r));
             }},
            {"texts", "", false,
             [](Host& h, S, A) {
                 // What the open editor shows in its status lines and read-outs, as assistive
                 // software reads it.
                 if (!h.mEditorView) return h.Print("texts: no editor");
                 NSAutoreleasePool pool;
                 std::vector<std::string> texts;
                 CollectAccessibleTexts(h.mEditorView, &texts);
                 std::string line;
                 for (const std::string& t : texts) line += (line.empty() ? "" : " | ") + t;
                 h.Print("texts: %s", line.c_str());
             }},
            {"carbon-view", "", true,
             [](Host& h, S, A) {
                 if (!h.mViewComponent) return h.Print("carbon-view: no view entry");
                 ComponentInstance view = nullptr;
                 OSStatus r = OpenAComponent(h.mViewComponent, &view);
                 ControlRef control = nullptr;
                 OSStatus c = r == noErr ? AudioUnitCarbonViewCreate(view, h.Unit(), nullptr, nullptr, nullptr,
                                                                     nullptr, &control)
                                         : r;
                 if (view) CloseComponent(view);
                 h.Print("carbon-view: open %d create %d", int(r), int(c));
             }},
        };
        std::vector<Command> props = PropertyCommands();
        t.insert(t.end(), props.begin(), props.end());
        std::vector<Command> editor = EditorCommands();
        t.insert(t.end(), editor.begin(), editor.end());
        return t;
    }();
    return table;
}

void Host::RenderCommand(Host& h, const std::string& cmd, const Args& a)
{
    // A slice far past what any host renders is cut (the buffers are made before the plug-in
    // can refuse it).
    const int frames = std::max(-kMaxRenderFrames, std::min(a.Int(0, 512), kMaxRenderFrames));
    double time = a.size() > 1 ? a.Num(1) : h.mSampleTime;
    h.Render(frames, time, cmd == "render-null", unsigned(a.U32(2)));
    h.mSampleTime = time + frames;
}
