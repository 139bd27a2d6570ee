#include "kit/plugin/IPluginAU.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "kit/plugin/IGraphics.h"
#include "kit/plugin/Log.h"

IPluginAU::IPluginAU(IPluginInstanceInfo, int nParams, const char* channelIOStr, int nPresets,
                     const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
                     int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                     int)
    : IPluginBase(nParams, channelIOStr, nPresets, effectName, productName, mfrName, vendorVersion, uniqueID, mfrID,
                  latency, plugDoesMidi, plugDoesChunks, plugIsInst, kAPIAU)
{
    TRACE;
}

void IPluginAU::initialize(IPluginInstanceInfo instanceInfo, int nAutomatable, int nTotal,
                           const char* channelIOStr, int nPresets, const char* effectName,
                           const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
                           int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
                           int plugScChans)
{
    TRACE;
    IPluginBase::initialize(nAutomatable, nTotal, channelIOStr, nPresets, effectName, productName, mfrName,
                            vendorVersion, uniqueID, mfrID, latency, plugDoesMidi, plugDoesChunks, plugIsInst);
    std::memset(&hostCallbacks, 0, sizeof hostCallbacks);
    std::memset(paramDisplayStr, 0, sizeof paramDisplayStr);
    bundleID.Set(instanceInfo.bundleID.Get());
    cocoaViewFactoryClassName.Set(instanceInfo.cocoaViewFactoryClassName.Get());

    int nInputs = NInChannels(), nOutputs = NOutChannels();
    if (plugScChans > nInputs) plugScChans = nInputs;
    if (plugScChans > 0 && nInputs > 0) {
        auto* main = new BusChannels;
        main->nPlugChannels = nInputs - plugScChans;
        auto* side = new BusChannels;
        side->plugChannelStartIdx = nInputs - plugScChans;
        side->nPlugChannels = plugScChans;
        inBuses.Add(main);
        inBuses.Add(side);
        inBusConnections.Add(new InputBusConnection);
        inBusConnections.Add(new InputBusConnection);
        SetInputBusLabel(0, "main input");
        SetInputBusLabel(1, "aux input");
    } else if (nInputs > 0) {
        auto* bus = new BusChannels;
        bus->nPlugChannels = nInputs;
        inBuses.Add(bus);
        inBusConnections.Add(new InputBusConnection);
        SetInputBusLabel(0, "input");
        SetInputBusLabel(1, "aux input");
    }

    if (plugIsInst) {
        int nBuses = (nOutputs + 1) / 2;
        for (int i = 0; i < nBuses; ++i) {
            auto* bus = new BusChannels;
            bus->plugChannelStartIdx = 2 * i;
            bus->nPlugChannels = nOutputs - 2 * i < 2 ? nOutputs - 2 * i : 2;
            outBuses.Add(bus);
            char label[32];
            std::snprintf(label, sizeof label, "output %i", i + 1);
            SetOutputBusLabel(i, label);
        }
    } else if (nOutputs > 0) {
        auto* bus = new BusChannels;
        bus->nPlugChannels = nOutputs;
        outBuses.Add(bus);
        SetOutputBusLabel(0, "output");
    }

    AssessInputConnections();
    SetBlockSize(1024);
}

IPluginAU::~IPluginAU()
{
    TRACE;
    renderNotify.Empty(true);
    inBuses.Empty(true);
    outBuses.Empty(true);
    inBusConnections.Empty(true);
    propertyListeners.Empty(true);
}

void IPluginAU::ClearConnections()
{
    for (int i = 0, n = inBuses.GetSize(); i < n; ++i) {
        if (InputBusConnection* c = inBusConnections.Get(i)) *c = InputBusConnection();
        BusChannels* bus = inBuses.Get(i);
        bus->connected = false;
        bus->nHostChannels = -1;
    }
    for (int i = 0, n = outBuses.GetSize(); i < n; ++i) {
        BusChannels* bus = outBuses.Get(i);
        bus->connected = false;
        bus->nHostChannels = -1;
    }
}

// ---- the component entry ----

namespace {

bool HasArgs(const ComponentParameters* p, int n)
{
    return p->paramSize >= size_t(n) * sizeof(intptr_t);
}

template <class T> T* ArgPtr(const ComponentParameters* p, int nArgs, int i)
{
    return reinterpret_cast<T*>(ComponentArg(p, nArgs, i));
}

UInt32 ArgU32(const ComponentParameters* p, int nArgs, int i)
{
    return UInt32(ComponentArg(p, nArgs, i));
}

constexpr OSStatus kParamErr = -50;

// Truncates towards zero and keeps the value a MIDI data byte; NaN and huge values give 0 or 127.
int FloatToMidiByte(Float32 v)
{
    if (!(v > 0.0f)) return 0;
    if (v >= 127.0f) return 127;
    return int(v);
}

} // namespace

ComponentResult IPluginAU::IPluginAUEntry(ComponentParameters* params, void* storage)
{
    if (!params) return kParamErr;
    IPluginAU* plug = static_cast<IPluginAU*>(storage);

    if (params->what == kComponentOpenSelect) {
        if (!HasArgs(params, 1)) return kParamErr;
        auto instance = ArgPtr<ComponentInstanceRecord>(params, 1, 0);
        // A plug-in that cannot be built reports failure instead of unwinding into the host.
        // Only the object made here is freed: whatever the storage argument holds is the host's.
        IPluginAU* made = nullptr;
        try {
            made = MakePlug();
            if (!made) return kAudioUnitErr_FailedInitialization;
            made->HostSpecificInit();
            made->PruneUninitializedPresets();
        } catch (const std::exception& e) {
            LogLine("QOR_Entry: the plug-in could not be made: %s", e.what());
            delete made;
            return kAudioUnitErr_FailedInitialization;
        } catch (...) {
            LogLine("QOR_Entry: the plug-in could not be made");
            delete made;
            return kAudioUnitErr_FailedInitialization;
        }
        made->ci = instance;
        SetComponentInstanceStorage(instance, made);
        return noErr;
    }

    if (params->what == kComponentCloseSelect) {
        if (plug) {
            plug->ClearConnections();
            delete plug;
        }
        return noErr;
    }

    if (!plug) return badComponentInstance;
    KIT_MutexLock lock(&plug->mutex);
    try {
        return plug->Dispatch(params);
    } catch (...) {
        return kAudioUnitErr_FailedInitialization;
    }
}

ComponentResult IPluginAU::Dispatch(ComponentParameters* p)
{
    switch (p->what) {
    case kComponentVersionSelect:
        return GetEffectVersion(false);

    case kComponentCanDoSelect: {
        if (!HasArgs(p, 1)) return kParamErr;
        int s = int(SInt16(ComponentArg(p, 1, 0)));
        return (s >= 1 && s <= 7) || (s >= 9 && s <= 11) || (s >= 14 && s <= 17) ? 1 : 0;
    }

    case kAudioUnitInitializeSelect:
        if (!CheckLegalIO()) return badComponentSelector;
        active = true;
        OnParamReset();
        OnActivate(true);
        return noErr;

    case kAudioUnitUninitializeSelect:
        active = false;
        OnActivate(false);
        return noErr;

    case kAudioUnitGetPropertyInfoSelect: {
        if (!HasArgs(p, 5)) return kParamErr;
        UInt32 localSize = 0;
        Boolean localWritable = false;
        UInt32* size = ArgPtr<UInt32>(p, 5, 3);
        Boolean* writable = ArgPtr<Boolean>(p, 5, 4);
        if (!size) size = &localSize;
        if (!writable) writable = &localWritable;
        *size = 0;
        *writable = false;
        return GetProperty(ArgU32(p, 5, 0), ArgU32(p, 5, 1), ArgU32(p, 5, 2), size, writable, nullptr);
    }

    case kAudioUnitGetPropertySelect: {
        if (!HasArgs(p, 5)) return kParamErr;
        UInt32 localSize = 0;
        Boolean writable = false;
        UInt32* size = ArgPtr<UInt32>(p, 5, 4);
        void* data = ArgPtr<void>(p, 5, 3);
        AudioUnitPropertyID id = ArgU32(p, 5, 0);
        AudioUnitScope scope = ArgU32(p, 5, 1);
        AudioUnitElement element = ArgU32(p, 5, 2);
        if (!size) size = &localSize;
        // The value is written only into a buffer the host says is large enough for it.
        if (data) {
            UInt32 needed = 0;
            Boolean w = false;
            GetProperty(id, scope, element, &needed, &w, nullptr);
            if (needed > *size) return kAudioUnitErr_InvalidPropertyValue;
        }
        return GetProperty(id, scope, element, size, &writable, data);
    }

    case kAudioUnitSetPropertySelect: {
        if (!HasArgs(p, 5)) return kParamErr;
        UInt32 size = ArgU32(p, 5, 4);
        return SetProperty(ArgU32(p, 5, 0), ArgU32(p, 5, 1), ArgU32(p, 5, 2), &size, ArgPtr<const void>(p, 5, 3));
    }

    case kAudioUnitGetParameterSelect:
        if (!HasArgs(p, 4)) return kParamErr;
        return GetParamProc(this, ArgU32(p, 4, 0), ArgU32(p, 4, 1), ArgU32(p, 4, 2),
                            ArgPtr<AudioUnitParameterValue>(p, 4, 3));

    case kAudioUnitSetParameterSelect:
        if (!HasArgs(p, 5)) return kParamErr;
        return SetParamProc(this, ArgU32(p, 5, 0), ArgU32(p, 5, 1), ArgU32(p, 5, 2),
                            AUArgFloat(ComponentArg(p, 5, 3)), 0);

    case kAudioUnitResetSelect:
        Reset();
        return noErr;

    case kAudioUnitAddPropertyListenerSelect: {
        if (!HasArgs(p, 3)) return kParamErr;
        PropertyListener l;
        l.propID = ArgU32(p, 3, 0);
        l.listenerProc = reinterpret_cast<AudioUnitPropertyListenerProc>(ComponentArg(p, 3, 1));
        l.userData = ArgPtr<void>(p, 3, 2);
        for (int i = 0, n = propertyListeners.GetSize(); i < n; ++i) {
            const PropertyListener* e = propertyListeners.Get(i);
            if (e->propID == l.propID && e->listenerProc == l.listenerProc) return noErr;
        }
        propertyListeners.Add(new PropertyListener(l));
        return noErr;
    }

    case kAudioUnitRemovePropertyListenerSelect:
    case kAudioUnitRemovePropertyListenerWithUserDataSelect: {
        bool withUserData = p->what == kAudioUnitRemovePropertyListenerWithUserDataSelect;
        int nArgs = withUserData ? 3 : 2;
        if (!HasArgs(p, nArgs)) return kParamErr;
        AudioUnitPropertyID id = ArgU32(p, nArgs, 0);
        auto proc = reinterpret_cast<AudioUnitPropertyListenerProc>(ComponentArg(p, nArgs, 1));
        void* userData = withUserData ? ArgPtr<void>(p, nArgs, 2) : nullptr;
        for (int i = 0, n = propertyListeners.GetSize(); i < n; ++i) {
            const PropertyListener* e = propertyListeners.Get(i);
            if (e->propID == id && e->listenerProc == proc && (!withUserData || e->userData == userData)) {
                propertyListeners.Delete(i, true);
                break;
            }
        }
        return noErr;
    }

    case kAudioUnitRenderSelect:
        if (!HasArgs(p, 5)) return kParamErr;
        return RenderProc(this, ArgPtr<AudioUnitRenderActionFlags>(p, 5, 0), ArgPtr<const AudioTimeStamp>(p, 5, 1),
                          ArgU32(p, 5, 2), ArgU32(p, 5, 3), ArgPtr<AudioBufferList>(p, 5, 4));

    case kAudioUnitAddRenderNotifySelect: {
        if (!HasArgs(p, 2)) return kParamErr;
        auto* cb = new AURenderCallbackStruct;
        cb->inputProc = reinterpret_cast<AURenderCallback>(ComponentArg(p, 2, 0));
        cb->inputProcRefCon = ArgPtr<void>(p, 2, 1);
        renderNotify.Add(cb);
        return noErr;
    }

    case kAudioUnitRemoveRenderNotifySelect: {
        if (!HasArgs(p, 2)) return kParamErr;
        auto proc = reinterpret_cast<AURenderCallback>(ComponentArg(p, 2, 0));
        for (int i = 0, n = renderNotify.GetSize(); i < n; ++i) {
            if (renderNotify.Get(i)->inputProc == proc) {
                renderNotify.Delete(i, true);
                break;
            }
        }
        return noErr;
    }

    case kAudioUnitScheduleParametersSelect: {
        if (!HasArgs(p, 2)) return kParamErr;
        const AudioUnitParameterEvent* events = ArgPtr<const AudioUnitParameterEvent>(p, 2, 0);
        UInt32 n = ArgU32(p, 2, 1);
        if (!events) return n ? kParamErr : noErr;
        for (UInt32 i = 0; i < n; ++i) {
            const AudioUnitParameterEvent& e = events[i];
            if (e.eventType != kParameterEvent_Immediate) continue;
            ComponentResult r = SetParamProc(this, e.parameter, e.scope, e.element, e.eventValues.immediate.value, 0);
            if (r != noErr) return r;
        }
        return noErr;
    }

    case kMusicDeviceMIDIEventSelect: {
        if (!HasArgs(p, 4)) return kParamErr;
        IMidiMsg msg(int(ArgU32(p, 4, 3)), uint8_t(ArgU32(p, 4, 0)), uint8_t(ArgU32(p, 4, 1)), uint8_t(ArgU32(p, 4, 2)));
        ProcessMidiMsg(&msg, false);
        return noErr;
    }

    case kMusicDeviceSysExSelect: {
        if (!HasArgs(p, 2)) return kParamErr;
        const uint8_t* data = ArgPtr<const uint8_t>(p, 2, 0);
        UInt32 length = ArgU32(p, 2, 1);
        // A length the record cannot carry, or bytes that are not there, are not passed on.
        if ((!data && length) || length > UInt32(INT32_MAX)) return kParamErr;
        ISysEx sysex(0, data, int(length));
        ProcessSysEx(&sysex, false);
        return noErr;
    }

    case kMusicDevicePrepareInstrumentSelect:
    case kMusicDeviceReleaseInstrumentSelect:
        return noErr;

    case kMusicDeviceStartNoteSelect: {
        if (!HasArgs(p, 5)) return kParamErr;
        NoteInstanceID* noteID = ArgPtr<NoteInstanceID>(p, 5, 2);
        const MusicDeviceNoteParams* note = ArgPtr<const MusicDeviceNoteParams>(p, 5, 4);
        if (!note) return kParamErr;
        // Host floats may be anything; MIDI data bytes are 7-bit.
        int pitch = FloatToMidiByte(note->mPitch);
        if (noteID) *noteID = NoteInstanceID(pitch);
        IMidiMsg msg;
        msg.MakeNoteOnMsg(pitch, FloatToMidiByte(note->mVelocity), int(ArgU32(p, 5, 3)), 0);
        ProcessMidiMsg(&msg, false);
        return noErr;
    }

    case kMusicDeviceStopNoteSelect: {
        if (!HasArgs(p, 3)) return kParamErr;
        IMidiMsg msg;
        msg.MakeNoteOffMsg(int(ArgU32(p, 3, 1) & 0x7F), int(ArgU32(p, 3, 2)), 0, 64);
        ProcessMidiMsg(&msg, false);
        return noErr;
    }

    default:
        return badComponentSelector;
    }
}

// ---- Carbon view component ----

namespace {

struct CarbonViewRecord {
    ComponentInstance viewInstance;
    IPluginAU* plug;
};

} // namespace

ComponentResult IPluginAU::IPluginAUCarbonViewEntry(ComponentParameters* params, void* storage)
{
    if (!params) return kParamErr;
    auto* view = static_cast<CarbonViewRecord*>(storage);
    switch (params->what) {
    case kComponentOpenSelect: {
        if (!HasArgs(params, 1)) return kParamErr;
        auto* record = new CarbonViewRecord{ArgPtr<ComponentInstanceRecord>(params, 1, 0), nullptr};
        SetComponentInstanceStorage(record->viewInstance, record);
        return noErr;
    }
    case kAudioUnitCarbonViewCreateSelect: {
        if (!view || !HasArgs(params, 6)) return badComponentSelector;
        AudioUnit unit = ArgPtr<ComponentInstanceRecord>(params, 6, 0);
        void* window = ArgPtr<void>(params, 6, 1);
        void* parentControl = ArgPtr<void>(params, 6, 2);
        void** outControl = ArgPtr<void*>(params, 6, 5);
        view->plug = static_cast<IPluginAU*>(GetComponentInstanceStorage(unit));
        if (!view->plug || !view->plug->GetGUI()) return badComponentSelector;
        void* control = view->plug->GetGUI()->OpenWindow(window, parentControl, 0, 0);
        if (outControl) *outControl = control;
        return noErr;
    }
    case kComponentCloseSelect:
        if (view) {
            if (view->plug && view->plug->GetGUI()) view->plug->GetGUI()->CloseWindow();
            delete view;
        }
        return noErr;
    default:
        return badComponentSelector;
    }
}

// ---- host identity and notifications ----

EHost IPluginAU::GetHost()
{
    if (host != kHostUninit) return EHost(host);
    if (CFBundleRef mainBundle = CFBundleGetMainBundle()) {
        CFStringRef id = CFBundleGetIdentifier(mainBundle);
        char text[256] = {};
        if (id && CFStringGetCString(id, text, sizeof text, kCFStringEncodingUTF8)) SetHost(text, 0);
    }
    if (host == kHostUninit) SetHost("", 0);
    return EHost(host);
}

void IPluginAU::HostSpecificInit()
{
    GetHost();
    OnHostIdentified();
}

void IPluginAU::SendAUEvent(AudioUnitEventType type, ComponentInstance instance, int idx)
{
    AudioUnitEvent event;
    std::memset(&event, 0, sizeof event);
    event.mEventType = type;
    event.mArgument.mParameter.mAudioUnit = instance;
    event.mArgument.mParameter.mParameterID = AudioUnitParameterID(idx);
    event.mArgument.mParameter.mScope = kAudioUnitScope_Global;
    event.mArgument.mParameter.mElement = 0;
    AUEventListenerNotify(nullptr, nullptr, &event);
}

void IPluginAU::BeginInformHostOfParamChange(int idx)
{
    SendAUEvent(kAudioUnitEvent_BeginParameterChangeGesture, ci, idx);
}

void IPluginAU::InformHostOfParamChange(int idx, double)
{
    SendAUEvent(kAudioUnitEvent_ParameterValueChange, ci, idx);
}

void IPluginAU::EndInformHostOfParamChange(int idx)
{
    SendAUEvent(kAudioUnitEvent_EndParameterChangeGesture, ci, idx);
}

void IPluginAU::InformHostOfProgramChange()
{
    InformListeners(kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global);
}

void IPluginAU::InformListeners(AudioUnitPropertyID id, AudioUnitScope scope)
{
    for (int i = 0; i < propertyListeners.GetSize(); ++i) {
        const PropertyListener* l = propertyListeners.Get(i);
        if (l->propID == id && l->listenerProc) l->listenerProc(l->userData, ci, id, scope, 0);
    }
}

void IPluginAU::ResizeGraphics(int, int)
{
    if (GetGUI()) OnWindowResize();
}
