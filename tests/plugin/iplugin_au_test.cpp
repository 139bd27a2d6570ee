// The Audio Unit binding in process: published parameters and their properties, parameter
// procedures, scheduled events, listeners, notifications, views, and the entry's answers to bad
// calls.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IPluginAU.h"
#include "kit/plugin/IPluginAU_ViewFactory.h"

namespace {

constexpr int kUid = 0x616E6E71, kMfr = 0x56654231;

// A plug-in with published parameters, for the paths the editor itself (none published) never reaches.
class TestAU : public IPluginAU {
public:
    static inline bool failMake = false;
    TestAU()
        : IPluginAU(IPluginInstanceInfo(), 6, "2-2", 0, "Test AU", "", "Maker", 0x00010009, kUid, kMfr, 0, true,
                    true, true, 0)
    {
        IPluginInstanceInfo info;
        info.bundleID.Set(QOR_BUNDLE_ID);
        initialize(info, 4, 6, "2-2", 0, "Test AU", "", "Maker", 0x00010009, kUid, kMfr, 0, true, true, true, 0);
        GetParam(0)->InitBool("Switch", false, "", "Main");
        GetParam(1)->InitEnum("Wave", 1, 3, "", "Osc");
        const char* words[] = {"Saw", "Square", "Noise"};
        for (int i = 0; i < 3; ++i) GetParam(1)->SetDisplayText(i, words[i]);
        GetParam(2)->InitDouble("A rather long parameter name", 0.5, -1.0, 1.0, 0.01, "dB", "Main");
        GetParam(3)->InitInt("Count", 3, 0, 10);
    }
    std::vector<int> changes;
    void OnParamChange(int idx) override { changes.push_back(idx); }
};

struct Instance {
    Component comp = nullptr;
    AudioUnit unit = nullptr;
    TestAU* plug = nullptr;
    Instance()
    {
        ComponentDescription cd{kAudioUnitType_MusicDevice, OSType(kUid), OSType(kMfr), 0, 0};
        comp = RegisterComponentEntry(&cd, &IPluginAU::IPluginAUEntry);
        EXPECT_EQ(OpenAComponent(comp, &unit), noErr);
        plug = static_cast<TestAU*>(GetComponentInstanceStorage(unit));
    }
    ~Instance()
    {
        if (unit) CloseComponent(unit);
        UnregisterComponentEntry(comp);
    }
    template <class T> OSStatus Get(AudioUnitPropertyID id, AudioUnitElement el, T* out)
    {
        UInt32 size = sizeof(T);
        return AudioUnitGetProperty(unit, id, 0, el, out, &size);
    }
};

// Takes a string the binding handed over, as its receiver must.
std::string Take(CFStringRef s)
{
    const char* p = s ? CFStringGetCStringPtr(s, kCFStringEncodingUTF8) : nullptr;
    std::string t = p ? p : "(null)";
    if (s) CFRelease(s);
    return t;
}

} // namespace

IPluginAU* MakePlug()
{
    if (TestAU::failMake) throw std::runtime_error("no plug-in today");
    return new TestAU;
}

TEST(AuParameters, PublishedParametersAreListedAndDescribed)
{
    Instance in;
    UInt32 size = 0;
    Boolean w = false;
    ASSERT_EQ(AudioUnitGetPropertyInfo(in.unit, kAudioUnitProperty_ParameterList, 0, 0, &size, &w), noErr);
    ASSERT_EQ(size, 16u);
    UInt32 ids[4] = {9, 9, 9, 9};
    ASSERT_EQ(AudioUnitGetProperty(in.unit, kAudioUnitProperty_ParameterList, 0, 0, ids, &size), noErr);
    EXPECT_EQ(std::vector<UInt32>(ids, ids + 4), (std::vector<UInt32>{0, 1, 2, 3}));
    // Flags: readable, writable, name string to release, and a clump when grouped. Clump ids
    // follow the first appearance of each group.
    const UInt32 base = 0xC8000010u, clumped = base | kAudioUnitParameterFlag_HasClump;
    const struct { UInt32 flags, unit, clump; std::string unitName; float min, max, def; } table[] = {
        {clumped, kAudioUnitParameterUnit_Boolean, 1, "(null)", 0, 1, 0},
        {clumped, kAudioUnitParameterUnit_Indexed, 2, "(null)", 0, 2, 1},
        {clumped, kAudioUnitParameterUnit_CustomUnit, 1, "dB", -1, 1, 0.5},
        {base, kAudioUnitParameterUnit_Indexed, 0, "(null)", 0, 10, 3},
    };
    for (UInt32 i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        AudioUnitParameterInfo info;
        ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterInfo, i, &info), noErr);
        const auto& row = table[i];
        EXPECT_EQ(std::vector<UInt32>({info.flags, info.unit, info.clumpID}), std::vector<UInt32>({row.flags, row.unit, row.clump}));
        EXPECT_EQ(Take(info.unitName), row.unitName);
        EXPECT_EQ(std::vector<float>({info.minValue, info.maxValue, info.defaultValue}), std::vector<float>({row.min, row.max, row.def}));
        EXPECT_EQ(Take(info.cfNameString), info.name);
    }
    AudioUnitParameterNameInfo clump{2, kAudioUnitParameterName_Full, nullptr};
    ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterClumpName, 0, &clump), noErr);
    EXPECT_EQ(Take(clump.outName), "Osc");
    clump.inID = 3;
    EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterClumpName, 0, &clump), kAudioUnitErr_PropertyNotInUse);
    AudioUnitParameterInfo info;
    EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterInfo, 4, &info), kAudioUnitErr_InvalidElement);
}

TEST(AuParameters, ValueStringsNamesAndConversions)
{
    Instance in;
    CFArrayRef words = nullptr;
    ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterValueStrings, 1, &words), noErr);
    ASSERT_EQ(CFArrayGetCount(words), 3);
    EXPECT_STREQ(CFStringGetCStringPtr(static_cast<CFStringRef>(CFArrayGetValueAtIndex(words, 2)), kCFStringEncodingUTF8), "Noise");
    CFRelease(words);
    EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterValueStrings, 3, &words), kAudioUnitErr_InvalidProperty);
    const struct { UInt32 id; SInt32 length; OSStatus status; const char* name; } names[] = {
        {2, 10, noErr, "A rather l"}, {2, kAudioUnitParameterName_Full, noErr, "A rather long parameter name"},
        {6, 10, kAudioUnitErr_InvalidParameter, "(null)"}};
    for (const auto& row : names) {
        AudioUnitParameterIDName name{row.id, row.length, nullptr};
        EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterIDName, 0, &name), row.status) << row.name;
        EXPECT_EQ(Take(name.outName), row.name);
    }
    const struct { UInt32 id; float value; OSStatus status; const char* text; } toText[] = {
        {1, 2.0f, noErr, "Noise"}, {2, 0.257f, noErr, "0.26"}, {99, 0, kAudioUnitErr_InvalidParameter, "(null)"}};
    for (const auto& row : toText) {
        AudioUnitParameterValue v = row.value;
        AudioUnitParameterStringFromValue s{row.id, &v, nullptr};
        EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterStringFromValue, 0, &s), row.status) << row.text;
        EXPECT_EQ(Take(s.outString), row.text);
    }
    // A word with no match leaves the value as it was.
    const struct { UInt32 id; const char* text; float value; } fromText[] = {
        {1, "Square", 1.0f}, {1, "Triangle", -7.0f}, {2, "0.75", 0.75f}};
    for (const auto& row : fromText) {
        CFStringRef str = CFStringCreateWithCString(nullptr, row.text, kCFStringEncodingUTF8);
        AudioUnitParameterValueFromString f{row.id, str, -7.0f};
        EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterValueFromString, 0, &f), noErr) << row.text;
        EXPECT_EQ(f.outValue, row.value) << row.text;
        CFRelease(str);
    }
}

TEST(AuParameters, SetClampsIntoTheRangeRunsTheHookAndScheduledEventsStopAtTheFirstFailure)
{
    Instance in;
    // Not a number counts as the minimum; another scope or an unknown id is refused.
    const struct { UInt32 id, scope; float value; OSStatus status; double stored; } sets[] = {
        {3, 0, 25.0f, noErr, 10.0}, {2, 0, -4.0f, noErr, -1.0}, {2, 0, 0.5f, noErr, 0.5},
        {2, 0, std::nanf(""), noErr, -1.0}, {2, kAudioUnitScope_Input, 0.5f, kAudioUnitErr_InvalidProperty, -1.0},
        {6, 0, 0.5f, kAudioUnitErr_InvalidParameter, -1.0}};
    for (const auto& row : sets) {
        EXPECT_EQ(AudioUnitSetParameter(in.unit, row.id, row.scope, 0, row.value, 0), row.status) << row.id;
        AudioUnitParameterValue v = 0;
        AudioUnitGetParameter(in.unit, row.id == 6 ? 2 : row.id, 0, 0, &v);
        EXPECT_EQ(v, float(row.stored)) << row.id;
    }
    EXPECT_EQ(in.plug->changes, (std::vector<int>{3, 2, 2, 2}));
    // Immediate events apply, ramps are skipped, an unknown id stops the rest.
    AudioUnitParameterEvent ev[4];
    std::memset(ev, 0, sizeof ev);
    const UInt32 ids[] = {3, 2, 99, 0};
    for (int i = 0; i < 4; ++i) {
        ev[i].parameter = ids[i];
        ev[i].eventType = i == 1 ? kParameterEvent_Ramped : kParameterEvent_Immediate;
        ev[i].eventValues.immediate.value = i ? 1.0f : 7.0f;
    }
    EXPECT_EQ(AudioUnitScheduleParameters(in.unit, ev, 4), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(in.plug->GetParam(3)->Value(), 7.0);
    EXPECT_EQ(in.plug->GetParam(2)->Value(), -1.0);
    EXPECT_EQ(in.plug->GetParam(0)->Value(), 0.0);
}

namespace {

std::vector<AudioUnitEventType> gEvents;
void OnEvent(void*, void*, const AudioUnitEvent* e, UInt64, AudioUnitParameterValue)
{
    gEvents.push_back(e->mEventType * 100 + e->mArgument.mParameter.mParameterID);
}

int gListenerCalls = 0;
void CountListener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) { ++gListenerCalls; }

} // namespace

TEST(AuListeners, EditorChangesArePostedAsGestureAndValueEventsAndPropertyListenersAreKeptOnce)
{
    Instance in;
    AUEventListenerRef l = nullptr;
    ASSERT_EQ(AUEventListenerCreateWithProc(&OnEvent, nullptr, &l), noErr);
    in.plug->BeginInformHostOfParamChange(2);
    in.plug->SetParameterFromGUI(2, 1.0);
    in.plug->EndInformHostOfParamChange(2);
    AUListenerDispose(l);
    EXPECT_EQ(gEvents, (std::vector<AudioUnitEventType>{102, 2, 202})) << "begin, value, end of parameter 2";
    int a = 0, b = 0;
    AudioUnitAddPropertyListener(in.unit, 36, &CountListener, &a);
    AudioUnitAddPropertyListener(in.unit, 36, &CountListener, &b); // same id and procedure: kept once
    ASSERT_EQ(AudioUnitAddPropertyListener(in.unit, 12, &CountListener, &a), noErr);
    EXPECT_EQ(in.plug->NPropertyListeners(), 2);
    in.plug->InformHostOfProgramChange(); // property 36 only
    EXPECT_EQ(gListenerCalls, 1);
    in.plug->SetLatency(64); // property 12 hears of it
    EXPECT_EQ(gListenerCalls, 2);
    EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(in.unit, 36, &CountListener, &b), noErr);
    EXPECT_EQ(in.plug->NPropertyListeners(), 2); // the kept entry carries &a
    EXPECT_EQ(AudioUnitRemovePropertyListener(in.unit, 36, &CountListener), noErr);
    EXPECT_EQ(in.plug->NPropertyListeners(), 1);
}

TEST(AuEntry, BadCallsAnswerAStatusAndTouchNothing)
{
    Instance in;
    Float64 rate = 0;
    UInt32 size = 4;
    EXPECT_EQ(AudioUnitGetProperty(in.unit, kAudioUnitProperty_SampleRate, 0, 0, &rate, &size),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(rate, 0.0) << "a host buffer too small for the value";
    AudioStreamBasicDescription f{};
    EXPECT_EQ(AudioUnitSetProperty(in.unit, kAudioUnitProperty_StreamFormat, 1, 0, &f, 8),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitSetProperty(in.unit, kAudioUnitProperty_SampleRate, 0, 0, nullptr, 8),
              kAudioUnitErr_InvalidPropertyValue);
    std::vector<unsigned char> block(sizeof(ComponentParameters) + sizeof(intptr_t));
    auto* p = reinterpret_cast<ComponentParameters*>(block.data());
    p->paramSize = sizeof(intptr_t);
    p->params[0] = 0;
    const struct { SInt16 what; bool withPlug; OSStatus status; } calls[] = {
        {kComponentCloseSelect, false, noErr}, {kAudioUnitResetSelect, false, badComponentInstance},
        {kAudioUnitGetPropertySelect, true, -50}}; // five arguments expected
    for (const auto& c : calls) {
        p->what = c.what;
        EXPECT_EQ(IPluginAU::IPluginAUEntry(p, c.withPlug ? in.plug : nullptr), c.status) << c.what;
    }
    EXPECT_EQ(IPluginAU::IPluginAUEntry(nullptr, nullptr), -50);
    // An open that cannot make the plug-in leaves whatever the host handed in as storage alone.
    p->what = kComponentOpenSelect;
    auto* hostsOwn = new TestAU;
    TestAU::failMake = true;
    EXPECT_EQ(IPluginAU::IPluginAUEntry(p, hostsOwn), kAudioUnitErr_FailedInitialization);
    TestAU::failMake = false;
    EXPECT_EQ(hostsOwn->NParams(), 6); // still alive
    delete hostsOwn;
}

namespace {

class WindowGraphics : public IGraphics {
public:
    using IGraphics::IGraphics;
    int opened = 0;
    void* lastParent = reinterpret_cast<void*>(1);
    void* OpenWindow(void* parent) override
    {
        ++opened;
        lastParent = parent;
        return this;
    }
};

} // namespace

TEST(AuViews, TheViewEntriesHandOutTheEditorViewOnlyWhenThereIsOne)
{
    Instance in;
    NSAutoreleasePool pool;
    QOR_View& factory = *static_cast<QOR_View*>(NSClassFromString(NSString::stringWithUTF8String("QOR_View"))->alloc());
    ASSERT_EQ(factory.init(), &factory);
    EXPECT_TRUE(factory.isKindOfClass(NSObject::class_()));
    EXPECT_EQ(factory.interfaceVersion(), 0u);
    EXPECT_STREQ(CFStringGetCStringPtr(factory.description(), kCFStringEncodingUTF8), "QOR Editor View");
    EXPECT_EQ(factory.uiViewForAudioUnit(in.unit, CGSize{100, 100}), nullptr); // no editor surface yet
    EXPECT_EQ(factory.Plug(), in.plug);
    auto* g = new WindowGraphics(in.plug, 10, 10, 0);
    in.plug->AttachGraphics(g);
    EXPECT_EQ(static_cast<void*>(factory.uiViewForAudioUnit(in.unit, CGSize{0, 0})), g);
    EXPECT_EQ(g->opened, 1);
    EXPECT_EQ(g->lastParent, nullptr);
    EXPECT_EQ(factory.uiViewForAudioUnit(nullptr, CGSize{0, 0}), nullptr);
    factory.release();
}

namespace {

// What the host reports in the time test; zeros are "nothing to report".
struct HostTime {
    Float64 beat, tempo, sample, cycleStart, cycleEnd, downBeat;
    Float32 numerator;
    UInt32 denominator;
    Boolean playing, cycling;
};

OSStatus BeatAndTempo(void* user, Float64* beat, Float64* tempo)
{
    auto* t = static_cast<HostTime*>(user);
    *beat = t->beat, *tempo = t->tempo;
    return noErr;
}

OSStatus MusicalTime(void* user, UInt32* toNextBeat, Float32* numerator, UInt32* denominator, Float64* downBeat)
{
    auto* t = static_cast<HostTime*>(user);
    *toNextBeat = 0, *numerator = t->numerator, *denominator = t->denominator, *downBeat = t->downBeat;
    return noErr;
}

OSStatus Transport(void* user, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling,
                   Float64* cycleStart, Float64* cycleEnd)
{
    auto* t = static_cast<HostTime*>(user);
    *playing = t->playing, *changed = false, *sample = t->sample, *cycling = t->cycling;
    *cycleStart = t->cycleStart, *cycleEnd = t->cycleEnd;
    return noErr;
}

} // namespace

TEST(AuHostTime, ReportedFieldsFillTheTimeAndZerosKeepTheDoublesButNotTheSignatureOrFlags)
{
    Instance in;
    HostTime host{3.5, 97.5, 2000.0, 8.0, 16.0, 12.0, 7.9f, 8, true, true};
    HostCallbackInfo callbacks{&host, &BeatAndTempo, &MusicalTime, &Transport};
    ASSERT_EQ(AudioUnitSetProperty(in.unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &callbacks,
                                   sizeof callbacks),
              noErr);
    ITimeInfo t;
    in.plug->GetTime(&t);
    EXPECT_EQ(std::vector<double>({t.tempo, t.ppqPos, t.samplePos, t.cycleStart, t.cycleEnd, t.lastBar}),
              std::vector<double>({97.5, 3.5, 2000.0, 8.0, 16.0, 12.0}));
    EXPECT_EQ(std::vector<int>({t.numerator, t.denominator, t.transportIsRunning, t.transportLoopEnabled}),
              std::vector<int>({7, 8, 1, 1}));
    host = HostTime{0, 0, 0, 0, 0, 0, 0.0f, 0, false, false};
    in.plug->GetTime(&t);
    EXPECT_EQ(std::vector<double>({t.tempo, t.ppqPos, t.samplePos, t.cycleStart, t.cycleEnd, t.lastBar}),
              std::vector<double>({97.5, 3.5, 2000.0, 8.0, 16.0, 12.0}));
    EXPECT_EQ(std::vector<int>({t.numerator, t.denominator, t.transportIsRunning, t.transportLoopEnabled}),
              std::vector<int>({0, 0, 0, 0}));
    int num = -1, den = -1;
    host.numerator = 5.5f, host.denominator = 16;
    in.plug->GetTimeSig(&num, &den);
    EXPECT_EQ(num * 100 + den, 516);
}
