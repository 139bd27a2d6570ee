// The Audio Unit binding in process: parameters published to the host and their properties,
// parameter procedures, scheduled events, several output buses, host time edge cases, events
// for listeners, and the host's buffer sizes checked on both property directions.
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

// A plug-in with published parameters, for the paths that the editor itself (none published)
// never reaches.
class TestAU : public IPluginAU {
public:
    static inline const char* channelIO = "2-2";
    static inline int published = 4;
    static inline bool failMake = false;

    TestAU()
        : IPluginAU(IPluginInstanceInfo(), 6, channelIO, 0, "Test AU", "", "Maker", 0x00010009, kUid, kMfr, 0, true,
                    true, true, 0)
    {
        IPluginInstanceInfo info;
        info.bundleID.Set(QOR_BUNDLE_ID);
        initialize(info, published, 6, channelIO, 0, "Test AU", "", "Maker", 0x00010009, kUid, kMfr, 0, true, true,
                   true, 0);
        GetParam(0)->InitBool("Switch", false, "", "Main");
        GetParam(1)->InitEnum("Wave", 1, 3, "", "Osc");
        GetParam(1)->SetDisplayText(0, "Saw");
        GetParam(1)->SetDisplayText(1, "Square");
        GetParam(1)->SetDisplayText(2, "Noise");
        GetParam(2)->InitDouble("A rather long parameter name", 0.5, -1.0, 1.0, 0.01, "dB", "Main");
        GetParam(3)->InitInt("Count", 3, 0, 10);
    }
    std::vector<int> changes;
    double processedFrames = 0;
    void OnParamChange(int idx) override { changes.push_back(idx); }
    void ProcessDoubleReplacing(double** in, double** out, int nFrames) override
    {
        processedFrames += nFrames;
        IPluginAU::ProcessDoubleReplacing(in, out, nFrames);
    }
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
    template <class T> OSStatus Get(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement el, T* out)
    {
        UInt32 size = sizeof(T);
        return AudioUnitGetProperty(unit, id, scope, el, out, &size);
    }
};

std::string Text(CFStringRef s)
{
    const char* p = s ? CFStringGetCStringPtr(s, kCFStringEncodingUTF8) : nullptr;
    return p ? p : "(null)";
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
    for (UInt32 i = 0; i < 4; ++i) EXPECT_EQ(ids[i], i);

    AudioUnitParameterInfo info[4];
    for (int i = 0; i < 4; ++i) ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterInfo, 0, UInt32(i), &info[i]), noErr);
    // readable, writable (automatable), name string to release, and a clump when grouped
    EXPECT_EQ(info[0].flags, 0xC8000010u | kAudioUnitParameterFlag_HasClump);
    EXPECT_EQ(info[3].flags, 0xC8000010u);
    EXPECT_EQ(info[0].unit, kAudioUnitParameterUnit_Boolean);
    EXPECT_EQ(info[1].unit, kAudioUnitParameterUnit_Indexed);
    EXPECT_EQ(info[2].unit, kAudioUnitParameterUnit_CustomUnit);
    EXPECT_EQ(Text(info[2].unitName), "dB");
    EXPECT_EQ(info[3].unit, kAudioUnitParameterUnit_Indexed);
    EXPECT_STREQ(info[2].name, "A rather long parameter name");
    EXPECT_EQ(Text(info[2].cfNameString), "A rather long parameter name");
    EXPECT_EQ(info[2].minValue, -1.0f);
    EXPECT_EQ(info[2].maxValue, 1.0f);
    EXPECT_EQ(info[3].defaultValue, 3.0f);
    // Clump ids follow first appearance of each group; the same group keeps its id.
    EXPECT_EQ(info[0].clumpID, 1u);
    EXPECT_EQ(info[1].clumpID, 2u);
    EXPECT_EQ(info[2].clumpID, 1u);
    EXPECT_EQ(info[3].clumpID, 0u);
    for (auto& i : info) {
        CFRelease(i.cfNameString);
        if (i.unitName) CFRelease(i.unitName);
    }
    AudioUnitParameterNameInfo clump{2, kAudioUnitParameterName_Full, nullptr};
    ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterClumpName, 0, 0, &clump), noErr);
    EXPECT_EQ(Text(clump.outName), "Osc");
    CFRelease(clump.outName);
    clump.inID = 3;
    EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterClumpName, 0, 0, &clump), kAudioUnitErr_PropertyNotInUse);
    EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterInfo, 0, 4, &info[0]), kAudioUnitErr_InvalidElement);
}

TEST(AuParameters, ValueStringsNamesAndConversions)
{
    Instance in;
    CFArrayRef words = nullptr;
    ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterValueStrings, 0, 1, &words), noErr);
    ASSERT_EQ(CFArrayGetCount(words), 3);
    EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(words, 2))), "Noise");
    CFRelease(words);
    EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterValueStrings, 0, 3, &words), kAudioUnitErr_InvalidProperty);

    AudioUnitParameterIDName name{2, 10, nullptr};
    ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterIDName, 0, 0, &name), noErr);
    EXPECT_EQ(Text(name.outName), "A rather l");
    CFRelease(name.outName);
    name.inDesiredLength = kAudioUnitParameterName_Full;
    ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterIDName, 0, 0, &name), noErr);
    EXPECT_EQ(Text(name.outName), "A rather long parameter name");
    CFRelease(name.outName);
    name.inID = 6;
    EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterIDName, 0, 0, &name), kAudioUnitErr_InvalidParameter);

    const struct { UInt32 id; float value; const char* text; } toText[] = {{1, 2.0f, "Noise"}, {2, 0.257f, "0.26"}};
    for (const auto& row : toText) {
        AudioUnitParameterValue v = row.value;
        AudioUnitParameterStringFromValue s{row.id, &v, nullptr};
        ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterStringFromValue, 0, 0, &s), noErr) << row.text;
        EXPECT_EQ(Text(s.outString), row.text);
        CFRelease(s.outString);
    }
    AudioUnitParameterValue v = 0;
    AudioUnitParameterStringFromValue s{99, &v, nullptr};
    EXPECT_EQ(in.Get(kAudioUnitProperty_ParameterStringFromValue, 0, 0, &s), kAudioUnitErr_InvalidParameter);

    // A word with no match leaves the value as it was.
    const struct { UInt32 id; const char* text; float value; } fromText[] = {
        {1, "Square", 1.0f}, {1, "Triangle", -7.0f}, {2, "0.75", 0.75f}};
    for (const auto& row : fromText) {
        CFStringRef str = CFStringCreateWithCString(nullptr, row.text, kCFStringEncodingUTF8);
        AudioUnitParameterValueFromString f{row.id, str, -7.0f};
        ASSERT_EQ(in.Get(kAudioUnitProperty_ParameterValueFromString, 0, 0, &f), noErr) << row.text;
        EXPECT_EQ(f.outValue, row.value) << row.text;
        CFRelease(str);
    }
}

TEST(AuParameters, SetClampsIntoTheRangeAndRunsTheChangeHook)
{
    Instance in;
    EXPECT_EQ(AudioUnitSetParameter(in.unit, 3, 0, 0, 25.0f, 0), noErr);
    AudioUnitParameterValue v = 0;
    EXPECT_EQ(AudioUnitGetParameter(in.unit, 3, 0, 0, &v), noErr);
    EXPECT_EQ(v, 10.0f);
    EXPECT_EQ(AudioUnitSetParameter(in.unit, 2, 0, 0, -4.0f, 0), noErr);
    EXPECT_EQ(in.plug->GetParam(2)->Value(), -1.0);
    EXPECT_EQ(AudioUnitSetParameter(in.unit, 2, 0, 0, std::nanf(""), 0), noErr);
    EXPECT_EQ(in.plug->GetParam(2)->Value(), -1.0); // not a number counts as the minimum
    EXPECT_EQ(in.plug->changes, (std::vector<int>{3, 2, 2}));
    EXPECT_EQ(AudioUnitSetParameter(in.unit, 2, kAudioUnitScope_Input, 0, 0.5f, 0), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(AudioUnitSetParameter(in.unit, 6, 0, 0, 0.5f, 0), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(in.plug->changes.size(), 3u);
}

TEST(AuParameters, ScheduledImmediateEventsApplyRampsAreSkippedAndAFailureStops)
{
    Instance in;
    AudioUnitParameterEvent ev[4];
    std::memset(ev, 0, sizeof ev);
    ev[0].parameter = 3;
    ev[0].eventType = kParameterEvent_Immediate;
    ev[0].eventValues.immediate.value = 7.0f;
    ev[1].parameter = 2;
    ev[1].eventType = kParameterEvent_Ramped;
    ev[1].eventValues.ramp.endValue = 1.0f;
    ev[2].parameter = 99;
    ev[2].eventType = kParameterEvent_Immediate;
    ev[3].parameter = 0;
    ev[3].eventType = kParameterEvent_Immediate;
    ev[3].eventValues.immediate.value = 1.0f;
    EXPECT_EQ(AudioUnitScheduleParameters(in.unit, ev, 4), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(in.plug->GetParam(3)->Value(), 7.0);
    EXPECT_EQ(in.plug->GetParam(2)->Value(), 0.5);
    EXPECT_EQ(in.plug->GetParam(0)->Value(), 0.0);
}

namespace {

struct EventLog {
    std::vector<AudioUnitEventType> types;
    std::vector<AudioUnitParameterID> ids;
};

void OnEvent(void* user, void*, const AudioUnitEvent* e, UInt64, AudioUnitParameterValue)
{
    auto* log = static_cast<EventLog*>(user);
    log->types.push_back(e->mEventType);
    log->ids.push_back(e->mArgument.mParameter.mParameterID);
}

} // namespace

TEST(AuParameters, ChangesFromTheEditorArePostedAsGestureAndValueEvents)
{
    Instance in;
    EventLog log;
    AUEventListenerRef l = nullptr;
    ASSERT_EQ(AUEventListenerCreateWithProc(&OnEvent, &log, &l), noErr);
    in.plug->BeginInformHostOfParamChange(2);
    in.plug->SetParameterFromGUI(2, 1.0);
    in.plug->EndInformHostOfParamChange(2);
    AUListenerDispose(l);
    EXPECT_EQ(log.types, (std::vector<AudioUnitEventType>{1, 0, 2}));
    EXPECT_EQ(log.ids, (std::vector<AudioUnitParameterID>{2, 2, 2}));
}

namespace {

int gListenerCalls = 0;
void CountListener(void*, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) { ++gListenerCalls; }

} // namespace

TEST(AuListeners, OneEntryPerPropertyAndProcedureAndRemovalMatchesProcedureAndUserData)
{
    Instance in;
    int a = 0, b = 0;
    AudioUnitAddPropertyListener(in.unit, 36, &CountListener, &a);
    AudioUnitAddPropertyListener(in.unit, 36, &CountListener, &b); // same id and procedure: kept once
    ASSERT_EQ(AudioUnitAddPropertyListener(in.unit, 12, &CountListener, &a), noErr); // another id: a second entry
    EXPECT_EQ(in.plug->NPropertyListeners(), 2);
    gListenerCalls = 0;
    in.plug->InformHostOfProgramChange(); // property 36 only
    EXPECT_EQ(gListenerCalls, 1);
    in.plug->SetLatency(64); // property 12 hears of it
    EXPECT_EQ(gListenerCalls, 2);
    EXPECT_EQ(AudioUnitRemovePropertyListenerWithUserData(in.unit, 36, &CountListener, &b), noErr);
    EXPECT_EQ(in.plug->NPropertyListeners(), 2); // the kept entry carries &a
    EXPECT_EQ(AudioUnitRemovePropertyListener(in.unit, 36, &CountListener), noErr);
    EXPECT_EQ(in.plug->NPropertyListeners(), 1);
}

TEST(AuHostBuffers, AHostBufferTooSmallForTheValueIsRefused)
{
    Instance in;
    Float64 rate = 0;
    UInt32 size = 4;
    EXPECT_EQ(AudioUnitGetProperty(in.unit, kAudioUnitProperty_SampleRate, 0, 0, &rate, &size),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(rate, 0.0);
    AudioStreamBasicDescription f{};
    EXPECT_EQ(AudioUnitSetProperty(in.unit, kAudioUnitProperty_StreamFormat, 1, 0, &f, 8),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitSetProperty(in.unit, kAudioUnitProperty_SampleRate, 0, 0, nullptr, 8),
              kAudioUnitErr_InvalidPropertyValue);
}

TEST(AuEntry, CloseWithoutAnObjectAndUnknownSelectorsAnswerAsTheComponentManagerExpects)
{
    intptr_t arg = 0;
    std::vector<unsigned char> block(sizeof(ComponentParameters) + sizeof(intptr_t));
    auto* p = reinterpret_cast<ComponentParameters*>(block.data());
    p->what = kComponentCloseSelect;
    p->paramSize = sizeof(intptr_t);
    p->params[0] = arg;
    EXPECT_EQ(IPluginAU::IPluginAUEntry(p, nullptr), noErr);
    p->what = kAudioUnitResetSelect;
    EXPECT_EQ(IPluginAU::IPluginAUEntry(p, nullptr), badComponentInstance);
    EXPECT_EQ(IPluginAU::IPluginAUEntry(nullptr, nullptr), -50);
    Instance in;
    p->what = kAudioUnitGetPropertySelect;
    p->paramSize = 2 * sizeof(intptr_t); // five arguments expected
    EXPECT_EQ(IPluginAU::IPluginAUEntry(p, in.plug), -50);
}

TEST(AuRenderBuses, TwoOutputBusesPullOnceAndProcessOnTheLastConnected)
{
    TestAU::channelIO = "2-4";
    Instance in;
    TestAU::channelIO = "2-2";
    ASSERT_EQ(in.plug->NOutBuses(), 2);
    EXPECT_EQ(in.plug->GetOutBus(1)->plugChannelStartIdx, 2);
    std::vector<float> l(64, 1.0f), r(64, 1.0f);
    std::vector<unsigned char> block(sizeof(AudioBufferList) + sizeof(AudioBuffer));
    auto* list = reinterpret_cast<AudioBufferList*>(block.data());
    list->mNumberBuffers = 2;
    list->mBuffers[0] = {1, 64 * 4, l.data()};
    list->mBuffers[1] = {1, 64 * 4, r.data()};
    AudioTimeStamp ts{};
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    ASSERT_EQ(AudioUnitRender(in.unit, &flags, &ts, 0, 64, list), noErr);
    EXPECT_EQ(in.plug->processedFrames, 64.0); // bus 0 is the last connected one so far
    ASSERT_EQ(AudioUnitRender(in.unit, &flags, &ts, 1, 64, list), noErr);
    EXPECT_EQ(in.plug->processedFrames, 128.0); // now bus 1 is
    ASSERT_EQ(AudioUnitRender(in.unit, &flags, &ts, 0, 64, list), noErr);
    EXPECT_EQ(in.plug->processedFrames, 128.0); // bus 0 no longer processes
    EXPECT_EQ(AudioUnitRender(in.unit, &flags, &ts, 2, 64, list), kAudioUnitErr_InvalidPropertyValue);
    // A buffer smaller than the frames asked for is refused.
    list->mBuffers[0].mDataByteSize = 16;
    EXPECT_EQ(AudioUnitRender(in.unit, &flags, &ts, 1, 64, list), kAudioUnitErr_InvalidPropertyValue);
    ts.mFlags = 0;
    list->mBuffers[0].mDataByteSize = 256;
    EXPECT_EQ(AudioUnitRender(in.unit, &flags, &ts, 1, 64, list), kAudioUnitErr_InvalidPropertyValue);
}

namespace {

OSStatus ZeroTransport(void*, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling, Float64* cs,
                       Float64* ce)
{
    *playing = true;
    *changed = false;
    *sample = 0.0;
    *cycling = true;
    *cs = 0.0;
    *ce = 16.0;
    return noErr;
}

OSStatus HugeTransport(void*, Boolean*, Boolean*, Float64* sample, Boolean*, Float64*, Float64*)
{
    *sample = 1e30;
    return noErr;
}

} // namespace

TEST(AuHostTime, PositionsReportedAsZeroKeepTheirPreviousValues)
{
    Instance in;
    HostCallbackInfo cb{nullptr, nullptr, nullptr, &ZeroTransport};
    ASSERT_EQ(AudioUnitSetProperty(in.unit, kAudioUnitProperty_HostCallbacks, 0, 0, &cb, sizeof cb), noErr);
    ITimeInfo t;
    in.plug->GetTime(&t);
    EXPECT_EQ(t.samplePos, -1.0);
    EXPECT_EQ(t.cycleStart, -1.0);
    EXPECT_EQ(t.cycleEnd, 16.0);
    EXPECT_TRUE(t.transportIsRunning);
    EXPECT_TRUE(t.transportLoopEnabled);
    EXPECT_EQ(t.tempo, 120.0);   // no beat-and-tempo procedure
    EXPECT_EQ(t.numerator, 4);   // no musical-time procedure
    EXPECT_EQ(in.plug->GetTempo(), 138.0);
    EXPECT_EQ(in.plug->GetSamplesPerBeat(), 44100.0 * 60.0 / 138.0);
    cb.transportStateProc = &HugeTransport;
    AudioUnitSetProperty(in.unit, kAudioUnitProperty_HostCallbacks, 0, 0, &cb, sizeof cb);
    EXPECT_EQ(in.plug->GetSamplePos(), INT32_MAX); // past the int range it stops at the end
}

namespace {

class WindowGraphics : public IGraphics {
public:
    using IGraphics::IGraphics;
    int opened = 0;
    void* OpenWindow(void* parent) override
    {
        ++opened;
        lastParent = parent;
        return this;
    }
    void* lastParent = reinterpret_cast<void*>(1);
};

} // namespace

TEST(AuViews, TheCocoaFactoryHandsOutTheEditorViewOnlyWhenThereIsOne)
{
    Instance in;
    QOR_View factory;
    ASSERT_EQ(factory.init(), &factory);
    EXPECT_EQ(factory.interfaceVersion(), 0u);
    EXPECT_EQ(Text(factory.description()), "QOR Editor View");
    EXPECT_EQ(factory.uiViewForAudioUnit(in.unit, CGSize{100, 100}), nullptr); // no editor surface yet
    EXPECT_EQ(factory.Plug(), in.plug);
    auto* g = new WindowGraphics(in.plug, 10, 10, 0);
    in.plug->AttachGraphics(g);
    EXPECT_EQ(factory.uiViewForAudioUnit(in.unit, CGSize{0, 0}), g);
    EXPECT_EQ(g->opened, 1);
    EXPECT_EQ(g->lastParent, nullptr);
    EXPECT_EQ(factory.uiViewForAudioUnit(nullptr, CGSize{0, 0}), nullptr);
    // The Carbon view entry reaches the same surface.
    ComponentDescription vd{kAudioUnitCarbonViewComponentType, OSType(kUid), OSType(kMfr), 0, 0};
    Component vc = RegisterComponentEntry(&vd, &IPluginAU::IPluginAUCarbonViewEntry);
    ComponentInstance view = nullptr;
    ASSERT_EQ(OpenAComponent(vc, &view), noErr);
    ControlRef control = nullptr;
    EXPECT_EQ(AudioUnitCarbonViewCreate(view, in.unit, nullptr, nullptr, nullptr, nullptr, &control), noErr);
    EXPECT_EQ(control, nullptr); // the plain surface makes no Carbon control
    EXPECT_EQ(CloseComponent(view), noErr);
    UnregisterComponentEntry(vc);
}

namespace {

struct NotifyLog {
    std::vector<std::string> seen; // "<tag> <flags>" per call
};

struct TaggedLog {
    NotifyLog* log;
    const char* tag;
};

OSStatus TaggedNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                      AudioBufferList*)
{
    auto* t = static_cast<TaggedLog*>(refCon);
    t->log->seen.push_back(std::string(t->tag) + " " + std::to_string(*flags));
    return noErr;
}

OSStatus OtherNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32 bus,
                     UInt32 frames, AudioBufferList* list)
{
    return TaggedNotify(refCon, flags, ts, bus, frames, list);
}

// Renders one 16-frame block on output bus 0 at the given sample time.
OSStatus RenderBlock(AudioUnit unit, double sampleTime)
{
    static float l[16], r[16];
    std::vector<unsigned char> block(sizeof(AudioBufferList) + sizeof(AudioBuffer));
    auto* list = reinterpret_cast<AudioBufferList*>(block.data());
    list->mNumberBuffers = 2;
    list->mBuffers[0] = {1, sizeof l, l};
    list->mBuffers[1] = {1, sizeof r, r};
    AudioTimeStamp ts{};
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    ts.mSampleTime = sampleTime;
    AudioUnitRenderActionFlags flags = 0;
    return AudioUnitRender(unit, &flags, &ts, 0, 16, list);
}

} // namespace

TEST(AuRenderNotify, DuplicatesAreCalledInOrderAndRemovalTakesTheFirstWithThatProcedure)
{
    Instance in;
    NotifyLog log;
    TaggedLog a{&log, "a"}, b{&log, "b"}, c{&log, "c"};
    ASSERT_EQ(AudioUnitAddRenderNotify(in.unit, &TaggedNotify, &a), noErr);
    ASSERT_EQ(AudioUnitAddRenderNotify(in.unit, &OtherNotify, &c), noErr);
    ASSERT_EQ(AudioUnitAddRenderNotify(in.unit, &TaggedNotify, &b), noErr); // same procedure: kept as well
    ASSERT_EQ(RenderBlock(in.unit, 0.0), noErr);
    EXPECT_EQ(log.seen, (std::vector<std::string>{"a 4", "c 4", "b 4", "a 8", "c 8", "b 8"}));

    // The user data is not compared: the entry carrying &a goes although &b is named.
    log.seen.clear();
    ASSERT_EQ(AudioUnitRemoveRenderNotify(in.unit, &TaggedNotify, &b), noErr);
    ASSERT_EQ(RenderBlock(in.unit, 16.0), noErr);
    EXPECT_EQ(log.seen, (std::vector<std::string>{"c 4", "b 4", "c 8", "b 8"}));

    // A refused render call notifies nobody.
    log.seen.clear();
    AudioTimeStamp ts{};
    AudioUnitRenderActionFlags flags = 0;
    AudioBufferList list{};
    EXPECT_EQ(AudioUnitRender(in.unit, &flags, &ts, 0, 16, &list), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_TRUE(log.seen.empty());
}

TEST(AuEntry, AnOpenThatCannotMakeThePlugInAnswersAStatusAndLeavesTheStorageArgumentAlone)
{
    std::vector<unsigned char> block(sizeof(ComponentParameters) + sizeof(intptr_t));
    auto* p = reinterpret_cast<ComponentParameters*>(block.data());
    p->what = kComponentOpenSelect;
    p->paramSize = sizeof(intptr_t);
    p->params[0] = 0;
    // Whatever the host hands in as storage is not the entry's to free.
    auto* hostsOwn = new TestAU;
    TestAU::failMake = true;
    EXPECT_EQ(IPluginAU::IPluginAUEntry(p, hostsOwn), kAudioUnitErr_FailedInitialization);
    TestAU::failMake = false;
    EXPECT_EQ(hostsOwn->NParams(), 6); // still alive
    delete hostsOwn;
}
