#include <cstdlib>
#include <cstring>

#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IPluginAU.h"
#include "kit/plugin/auutil/au-utilities.h"

namespace {

constexpr OSStatus kCFArrayCreateFailed = -4960;

template <class T> void Put(void* data, const T& v)
{
    std::memcpy(data, &v, sizeof v);
}

template <class T> T Get(const void* data)
{
    T v;
    std::memcpy(&v, data, sizeof v);
    return v;
}

CFStringRef MakeString(const char* text)
{
    return CFStringCreateWithCString(nullptr, text ? text : "", kCFStringEncodingUTF8);
}

// The text of a host string, cut to fit out (size bytes with the terminator).
void StringText(CFStringRef s, char* out, size_t size)
{
    out[0] = '\0';
    const char* p = s ? CFStringGetCStringPtr(s, kCFStringEncodingUTF8) : nullptr;
    if (!p) return;
    size_t n = std::strlen(p);
    if (n > size - 1) n = size - 1;
    std::memcpy(out, p, n);
    out[n] = '\0';
}

struct AUChannelInfo {
    SInt16 inChannels;
    SInt16 outChannels;
};

enum class Scopes { kAny, kGlobal, kGlobalOrInput };

// What the getter answers for each property before its value: the scopes it answers in (any
// other is an invalid property), the size of its value (0: the case works it out) and whether
// the host may set it. A property missing here is invalid.
struct PropertyRule {
    AudioUnitPropertyID id;
    Scopes scopes;
    UInt32 size;
    bool writable;
};

constexpr PropertyRule kPropertyRules[] = {
    {kAudioUnitProperty_ClassInfo, Scopes::kAny, sizeof(CFPropertyListRef), true},
    {kAudioUnitProperty_MakeConnection, Scopes::kGlobalOrInput, sizeof(AudioUnitConnection), true},
    {kAudioUnitProperty_SampleRate, Scopes::kAny, sizeof(Float64), true},
    {kAudioUnitProperty_ParameterList, Scopes::kAny, 0, false},
    {kAudioUnitProperty_ParameterInfo, Scopes::kGlobal, sizeof(AudioUnitParameterInfo), false},
    {kAudioUnitProperty_FastDispatch, Scopes::kAny, 0, false},
    {kAudioUnitProperty_StreamFormat, Scopes::kAny, sizeof(AudioStreamBasicDescription), true},
    {kAudioUnitProperty_ElementCount, Scopes::kAny, sizeof(UInt32), false},
    {kAudioUnitProperty_Latency, Scopes::kGlobal, sizeof(Float64), false},
    {kAudioUnitProperty_TailTime, Scopes::kGlobal, sizeof(Float64), false},
    {kAudioUnitProperty_SupportedNumChannels, Scopes::kGlobal, 0, false},
    {kAudioUnitProperty_MaximumFramesPerSlice, Scopes::kGlobal, sizeof(UInt32), true},
    {kAudioUnitProperty_ParameterValueStrings, Scopes::kGlobal, sizeof(CFArrayRef), false},
    {kAudioUnitProperty_GetUIComponentList, Scopes::kAny, sizeof(ComponentDescription), false},
    {kAudioUnitProperty_AudioChannelLayout, Scopes::kAny, 0, false},
    {kAudioUnitProperty_BypassEffect, Scopes::kGlobal, sizeof(UInt32), true},
    {kAudioUnitProperty_LastRenderError, Scopes::kGlobal, sizeof(OSStatus), false},
    {kAudioUnitProperty_SetRenderCallback, Scopes::kGlobalOrInput, sizeof(AURenderCallbackStruct), true},
    {kAudioUnitProperty_FactoryPresets, Scopes::kAny, sizeof(CFArrayRef), false},
    {kAudioUnitProperty_HostCallbacks, Scopes::kGlobal, sizeof(HostCallbackInfo), true},
    {kAudioUnitProperty_CurrentPreset, Scopes::kAny, sizeof(AUPreset), true},
    {kAudioUnitProperty_PresentPreset, Scopes::kAny, sizeof(AUPreset), true},
    {kAudioUnitProperty_ElementName, Scopes::kAny, sizeof(CFStringRef), false},
    {kAudioUnitProperty_CocoaUI, Scopes::kAny, sizeof(AudioUnitCocoaViewInfo), false},
    {kAudioUnitProperty_SupportedChannelLayoutTags, Scopes::kAny, sizeof(AudioChannelLayoutTag), true},
    // The parameter text records give their size in every scope and answer only in the global one.
    {kAudioUnitProperty_ParameterStringFromValue, Scopes::kAny, sizeof(AudioUnitParameterStringFromValue), false},
    {kAudioUnitProperty_ParameterIDName, Scopes::kAny, sizeof(AudioUnitParameterIDName), false},
    {kAudioUnitProperty_ParameterClumpName, Scopes::kAny, sizeof(AudioUnitParameterNameInfo), false},
    {kAudioUnitProperty_ParameterValueFromString, Scopes::kAny, sizeof(AudioUnitParameterValueFromString), false},
    {kMusicDeviceProperty_InstrumentCount, Scopes::kGlobal, sizeof(UInt32), false},
};

const PropertyRule* RuleFor(AudioUnitPropertyID id)
{
    for (const PropertyRule& r : kPropertyRules)
        if (r.id == id) return &r;
    return nullptr;
}

bool InScope(Scopes scopes, AudioUnitScope scope)
{
    switch (scopes) {
    case Scopes::kGlobal: return scope == kAudioUnitScope_Global;
    case Scopes::kGlobalOrInput: return scope == kAudioUnitScope_Global || scope == kAudioUnitScope_Input;
    default: return true;
    }
}

} // namespace

IPluginAU::BusChannels* IPluginAU::GetBus(AudioUnitScope scope, AudioUnitElement element)
{
    if (element > AudioUnitElement(INT32_MAX)) return nullptr;
    int e = int(element);
    switch (scope) {
    case kAudioUnitScope_Input: return inBuses.Get(e);
    case kAudioUnitScope_Output: return outBuses.Get(e);
    case kAudioUnitScope_Global: return outBuses.GetSize() > 0 ? outBuses.Get(e) : nullptr;
    default: return nullptr;
    }
}

ComponentResult IPluginAU::GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                       UInt32* dataSize, Boolean* writable, void* data)
{
    UInt32 localSize = 0;
    Boolean localWritable = false;
    if (!dataSize) dataSize = &localSize;
    if (!writable) writable = &localWritable;
    const int nPublished = NAutomatedParams();
    const bool global = scope == kAudioUnitScope_Global;
    const PropertyRule* rule = RuleFor(id);
    if (!rule || !InScope(rule->scopes, scope)) return kAudioUnitErr_InvalidProperty;
    // Size and writability go to the host once the property is known to answer.
    auto answer = [&] {
        *dataSize = rule->size;
        *writable = rule->writable;
    };

    switch (id) {
    case kAudioUnitProperty_ClassInfo:
        answer();
        return data ? GetState(static_cast<CFPropertyListRef*>(data)) : noErr;

    case kAudioUnitProperty_MakeConnection:
        answer();
        return noErr;

    case kAudioUnitProperty_SampleRate:
        answer();
        if (data) Put<Float64>(data, sampleRate);
        return noErr;

    case kAudioUnitProperty_ParameterList:
        if (!global) {
            *dataSize = 0;
            return noErr;
        }
        *dataSize = UInt32(sizeof(AudioUnitParameterID) * size_t(nPublished));
        if (data)
            for (int i = 0; i < nPublished; ++i) Put<AudioUnitParameterID>(static_cast<char*>(data) + 4 * i, UInt32(i));
        return noErr;

    case kAudioUnitProperty_ParameterInfo:
        if (int64_t(element) >= nPublished) return kAudioUnitErr_InvalidElement;
        answer();
        return data ? GetParameterInfo(int(element), static_cast<AudioUnitParameterInfo*>(data)) : noErr;

    case kAudioUnitProperty_FastDispatch:
        return GetProc(element, dataSize, static_cast<void**>(data));

    case kAudioUnitProperty_StreamFormat: {
        BusChannels* bus = GetBus(scope, element);
        if (!bus) return kAudioUnitErr_InvalidProperty;
        answer();
        if (data) {
            AudioStreamBasicDescription asbd;
            int nCh = bus->nHostChannels < 0 ? bus->nPlugChannels : bus->nHostChannels;
            MakeDefaultASBD(&asbd, sampleRate, nCh, false);
            Put(data, asbd);
        }
        return noErr;
    }

    case kAudioUnitProperty_ElementCount:
        answer();
        if (data) {
            UInt32 n = 0;
            if (global) n = 1;
            else if (scope == kAudioUnitScope_Input) n = UInt32(NInBuses());
            else if (scope == kAudioUnitScope_Output) n = UInt32(NOutBuses());
            Put<UInt32>(data, n);
        }
        return noErr;

    case kAudioUnitProperty_Latency:
    case kAudioUnitProperty_TailTime:
        answer();
        if (data) Put<Float64>(data, sampleRate > 0.0 ? double(latency) / sampleRate : 0.0);
        return noErr;

    case kAudioUnitProperty_SupportedNumChannels: {
        int n = NChannelIO();
        *dataSize = UInt32(sizeof(AUChannelInfo) * size_t(n));
        if (data) {
            for (int i = 0; i < n; ++i) {
                int nIn = 0, nOut = 0;
                GetChannelIO(i, &nIn, &nOut);
                AUChannelInfo info{SInt16(nIn), SInt16(nOut)};
                Put(static_cast<char*>(data) + sizeof(AUChannelInfo) * size_t(i), info);
            }
        }
        return noErr;
    }

    case kAudioUnitProperty_MaximumFramesPerSlice:
        answer();
        if (data) Put<UInt32>(data, UInt32(blockSize));
        return noErr;

    case kAudioUnitProperty_ParameterValueStrings: {
        if (int64_t(element) >= nPublished) return kAudioUnitErr_InvalidElement;
        IParam* param = GetParam(int(element));
        int n = param->GetNDisplayTexts();
        if (n == 0) {
            *dataSize = 0;
            return kAudioUnitErr_InvalidProperty;
        }
        answer();
        if (data) {
            CFMutableArrayRef array = CFArrayCreateMutable(nullptr, n, &kCFTypeArrayCallBacks);
            if (!array) return kCFArrayCreateFailed;
            for (int i = 0; i < n; ++i) {
                CFStringRef s = MakeString(param->GetDisplayText(i));
                if (s) {
                    CFArrayAppendValue(array, s);
                    CFRelease(s);
                }
            }
            Put<CFArrayRef>(data, array);
        }
        return noErr;
    }

    case kAudioUnitProperty_GetUIComponentList:
        if (!GetGUI()) return kAudioUnitErr_InvalidProperty;
        answer();
        if (data) {
            ComponentDescription cd{kAudioUnitCarbonViewComponentType, OSType(uniqueID), OSType(mfrID), 0, 0};
            Put(data, cd);
        }
        return noErr;

    case kAudioUnitProperty_AudioChannelLayout:
        return kAudioUnitErr_InvalidPropertyValue;

    case kAudioUnitProperty_BypassEffect:
        answer();
        if (data) Put<UInt32>(data, bypassed ? 1 : 0);
        return noErr;

    case kAudioUnitProperty_LastRenderError:
        answer();
        if (data) Put<OSStatus>(data, noErr);
        return noErr;

    case kAudioUnitProperty_SetRenderCallback:
        if (int64_t(element) >= NInBuses()) return kAudioUnitErr_InvalidProperty;
        answer();
        return noErr;

    case kAudioUnitProperty_FactoryPresets:
        answer();
        if (data) {
            CFMutableArrayRef array = CFArrayCreateMutable(nullptr, NPresets(), &kCFAUPresetArrayCallBacks);
            if (!array) return kCFArrayCreateFailed;
            for (int i = 0, n = NPresets(); i < n; ++i) {
                CFStringRef name = MakeString(GetPresetName(i));
                CFAUPresetRef preset = CFAUPresetCreate(nullptr, i, name);
                if (name) CFRelease(name);
                if (preset) {
                    CFArrayAppendValue(array, preset);
                    CFAUPresetRelease(preset);
                }
            }
            Put<CFArrayRef>(data, array);
        }
        return noErr;

    case kAudioUnitProperty_HostCallbacks:
        answer();
        return noErr;

    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        answer();
        if (data) {
            AUPreset preset{currentPresetIdx, MakeString(GetPresetName(currentPresetIdx))};
            Put(data, preset);
        }
        return noErr;

    case kAudioUnitProperty_ElementName: {
        const char* label = nullptr;
        if (scope == kAudioUnitScope_Output) {
            if (int64_t(element) >= NOutputBusLabels()) return kAudioUnitErr_InvalidElement;
            label = GetOutputBusLabel(int(element));
        } else if (scope == kAudioUnitScope_Input) {
            if (element > 1 || int64_t(element) >= NInputBusLabels()) return kAudioUnitErr_InvalidElement;
            label = GetInputBusLabel(int(element));
        } else {
            return kAudioUnitErr_InvalidScope;
        }
        answer();
        if (!data) return kAudioUnitErr_InvalidProperty;
        Put<CFStringRef>(data, MakeString(label));
        return noErr;
    }

    case kAudioUnitProperty_CocoaUI: {
        if (!GetGUI()) return kAudioUnitErr_InvalidProperty;
        answer();
        if (data) {
            CFStringRef id = MakeString(bundleID.Get());
            CFBundleRef bundle = id ? CFBundleGetBundleWithIdentifier(id) : nullptr;
            if (id) CFRelease(id);
            CFURLRef url = bundle ? CFBundleCopyBundleURL(bundle) : nullptr;
            // Without the bundle the host could not load the view class: say so instead of
            // handing out an empty location.
            if (!url) return kAudioUnitErr_InvalidProperty;
            AudioUnitCocoaViewInfo info;
            info.mCocoaAUViewBundleLocation = url;
            info.mCocoaAUViewClass[0] = MakeString(cocoaViewFactoryClassName.Get());
            Put(data, info);
        }
        return noErr;
    }

    case kAudioUnitProperty_SupportedChannelLayoutTags:
        if (!isInstrument || NOutBuses() == 1) return kAudioUnitErr_InvalidProperty;
        answer();
        if (scope != kAudioUnitScope_Output) return kAudioUnitErr_InvalidScope;
        if (data) {
            const BusChannels* bus = GetOutBus(int(element));
            if (!bus) return kAudioUnitErr_InvalidElement;
            Put<AudioChannelLayoutTag>(data, GetTagForNumChannels(bus->nPlugChannels));
        }
        return noErr;

    case kAudioUnitProperty_ParameterStringFromValue: {
        answer();
        if (!global || !data) return noErr;
        auto* rec = static_cast<AudioUnitParameterStringFromValue*>(data);
        IParam* param = GetParam(rec->inParamID > UInt32(INT32_MAX) ? -1 : int(rec->inParamID));
        if (!param) return kAudioUnitErr_InvalidParameter;
        double v = rec->inValue ? double(*rec->inValue) : param->value;
        param->GetDisplayForHost(v, false, paramDisplayStr, true);
        rec->outString = MakeString(paramDisplayStr);
        return noErr;
    }

    case kAudioUnitProperty_ParameterIDName: {
        answer();
        if (!global || !data) return noErr;
        auto* rec = static_cast<AudioUnitParameterIDName*>(data);
        IParam* param = GetParam(rec->inID > UInt32(INT32_MAX) ? -1 : int(rec->inID));
        if (!param) return kAudioUnitErr_InvalidParameter;
        char name[IParam::kNameLen];
        std::snprintf(name, sizeof name, "%s", param->GetNameForHost());
        if (rec->inDesiredLength != kAudioUnitParameterName_Full) {
            int cut = rec->inDesiredLength < 54 ? rec->inDesiredLength : 54;
            if (cut < 0) cut = 0;
            if (size_t(cut) < std::strlen(name)) name[cut] = '\0';
        }
        rec->outName = MakeString(name);
        return noErr;
    }

    case kAudioUnitProperty_ParameterClumpName: {
        answer();
        if (!global || !data) return noErr;
        auto* rec = static_cast<AudioUnitParameterNameInfo*>(data);
        if (rec->inID < 1 || int64_t(rec->inID) > paramGroups.GetSize()) return kAudioUnitErr_PropertyNotInUse;
        rec->outName = MakeString(paramGroups.Get(int(rec->inID) - 1));
        return noErr;
    }

    case kAudioUnitProperty_ParameterValueFromString: {
        answer();
        if (!global || !data) return noErr;
        auto* rec = static_cast<AudioUnitParameterValueFromString*>(data);
        IParam* param = GetParam(rec->inParamID > UInt32(INT32_MAX) ? -1 : int(rec->inParamID));
        if (!param) return kAudioUnitErr_InvalidParameter;
        char text[256];
        StringText(rec->inString, text, sizeof text);
        if (param->GetNDisplayTexts()) {
            int v = 0;
            if (param->MapDisplayText(text, &v)) rec->outValue = AudioUnitParameterValue(v);
        } else {
            double v = std::atof(text);
            if (param->GetNegateDisplay()) v = -v;
            rec->outValue = AudioUnitParameterValue(v);
        }
        return noErr;
    }

    case kMusicDeviceProperty_InstrumentCount:
        if (!isInstrument) return kAudioUnitErr_InvalidProperty;
        answer();
        if (data) Put<UInt32>(data, 1);
        return noErr;

    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

ComponentResult IPluginAU::GetParameterInfo(int idx, AudioUnitParameterInfo* info)
{
    IParam* param = GetParam(idx);
    if (!param) return kAudioUnitErr_InvalidParameter;
    std::memset(info, 0, sizeof *info);
    info->flags = kAudioUnitParameterFlag_CFNameRelease | kAudioUnitParameterFlag_HasCFNameString |
                  kAudioUnitParameterFlag_IsReadable;
    if (param->GetIsMeta()) info->flags |= kAudioUnitParameterFlag_IsHighResolution;
    if (param->GetCanAutomate()) info->flags |= kAudioUnitParameterFlag_IsWritable;
    const char* name = param->GetNameForHost();
    info->cfNameString = MakeString(name);
    std::snprintf(info->name, sizeof info->name, "%.51s", name);
    switch (param->Type()) {
    case IParam::kTypeBool: info->unit = kAudioUnitParameterUnit_Boolean; break;
    case IParam::kTypeInt:
    case IParam::kTypeEnum: info->unit = kAudioUnitParameterUnit_Indexed; break;
    default: {
        const char* label = param->GetLabelForHost();
        if (label && *label) {
            info->unit = kAudioUnitParameterUnit_CustomUnit;
            info->unitName = MakeString(label);
        }
        break;
    }
    }
    double lo, hi;
    param->GetBounds(&lo, &hi);
    info->minValue = AudioUnitParameterValue(lo);
    info->maxValue = AudioUnitParameterValue(hi);
    info->defaultValue = AudioUnitParameterValue(param->value);
    const char* group = param->GetParamGroupForHost();
    if (group && *group) {
        int clump = 0;
        for (int i = paramGroups.GetSize() - 1; i >= 0; --i) {
            if (std::strcmp(paramGroups.Get(i), group) == 0) {
                clump = i + 1;
                break;
            }
        }
        if (!clump) {
            paramGroups.Add(group);
            clump = paramGroups.GetSize();
        }
        info->clumpID = UInt32(clump);
        info->flags |= kAudioUnitParameterFlag_HasClump;
    }
    return noErr;
}

ComponentResult IPluginAU::SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                       UInt32* dataSize, const void* data)
{
    InformListeners(id, scope);
    const bool global = scope == kAudioUnitScope_Global;
    size_t needed;
    switch (id) {
    case kAudioUnitProperty_ClassInfo: needed = sizeof(CFPropertyListRef); break;
    case kAudioUnitProperty_MakeConnection: needed = sizeof(AudioUnitConnection); break;
    case kAudioUnitProperty_SampleRate: needed = sizeof(Float64); break;
    case kAudioUnitProperty_StreamFormat: needed = sizeof(AudioStreamBasicDescription); break;
    case kAudioUnitProperty_SetRenderCallback: needed = sizeof(AURenderCallbackStruct); break;
    case kAudioUnitProperty_HostCallbacks: needed = sizeof(HostCallbackInfo); break;
    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset: needed = sizeof(AUPreset); break;
    case kAudioUnitProperty_AUHostIdentifier: needed = sizeof(AUHostVersionIdentifier); break;
    case kAudioUnitProperty_MaximumFramesPerSlice:
    case kAudioUnitProperty_BypassEffect:
    case kAudioUnitProperty_OfflineRender: needed = sizeof(UInt32); break;
    default: return kAudioUnitErr_InvalidProperty;
    }
    // The host's value is read only when it is there and as large as its record; a caller that
    // gives no size (the plug-in's own calls) vouches for it.
    if (!data || (dataSize && *dataSize < needed)) return kAudioUnitErr_InvalidPropertyValue;

    switch (id) {
    case kAudioUnitProperty_ClassInfo:
        return SetState(Get<CFPropertyListRef>(data));

    case kAudioUnitProperty_MakeConnection:
        return MakeConnection(scope, static_cast<const AudioUnitConnection*>(data));

    case kAudioUnitProperty_SampleRate:
        SetSampleRate(Get<Float64>(data));
        Reset();
        return noErr;

    case kAudioUnitProperty_StreamFormat:
        return SetStreamFormat(scope, element, static_cast<const AudioStreamBasicDescription*>(data));

    case kAudioUnitProperty_MaximumFramesPerSlice: {
        UInt32 frames = Get<UInt32>(data);
        // Scratch memory is sized from this; a count no host renders is refused.
        if (frames > (1u << 20)) return kAudioUnitErr_InvalidPropertyValue;
        SetBlockSize(int(frames));
        Reset();
        return noErr;
    }

    case kAudioUnitProperty_BypassEffect:
        bypassed = Get<UInt32>(data) != 0;
        OnActivate(!bypassed);
        Reset();
        return noErr;

    case kAudioUnitProperty_SetRenderCallback: {
        if (scope != kAudioUnitScope_Input || int64_t(element) >= inBusConnections.GetSize())
            return kAudioUnitErr_InvalidProperty;
        InputBusConnection* conn = inBusConnections.Get(int(element));
        *conn = InputBusConnection();
        AURenderCallbackStruct cb = Get<AURenderCallbackStruct>(data);
        if (cb.inputProc) conn->upstreamRenderCallback = cb;
        AssessInputConnections();
        return noErr;
    }

    case kAudioUnitProperty_HostCallbacks:
        if (!global) return kAudioUnitErr_InvalidProperty;
        std::memcpy(&hostCallbacks, data, sizeof hostCallbacks);
        return noErr;

    case kAudioUnitProperty_CurrentPreset:
    case kAudioUnitProperty_PresentPreset:
        RestorePreset(int(Get<AUPreset>(data).presetNumber));
        return noErr;

    case kAudioUnitProperty_OfflineRender:
        isOffline = Get<UInt32>(data) != 0;
        return noErr;

    case kAudioUnitProperty_AUHostIdentifier: {
        AUHostVersionIdentifier hostID = Get<AUHostVersionIdentifier>(data);
        char name[256];
        StringText(hostID.hostName, name, sizeof name);
        int ver = (int(hostID.hostVersion.majorRev) << 16) + ((hostID.hostVersion.minorAndBugRev & 0xF0) << 4) +
                  (hostID.hostVersion.minorAndBugRev & 0x0F);
        SetHost(name, ver);
        OnHostIdentified();
        return noErr;
    }

    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

ComponentResult IPluginAU::SetStreamFormat(AudioUnitScope scope, AudioUnitElement element,
                                           const AudioStreamBasicDescription* asbd)
{
    int nHost = int(asbd->mChannelsPerFrame > 0x7FFF ? 0x7FFF : asbd->mChannelsPerFrame);
    BusChannels* bus = GetBus(scope, element);
    if (!bus) return kAudioUnitErr_InvalidProperty;
    bus->nHostChannels = 0;
    bool ok = nHost > 0 && CheckLegalIO(scope, int(element), nHost) && asbd->mFormatID == kAudioFormatLinearPCM &&
              (asbd->mFormatFlags & (kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked));
    if (ok) {
        bus->nHostChannels = nHost;
        if (asbd->mSampleRate > 0.0) SetSampleRate(asbd->mSampleRate);
    }
    AssessInputConnections();
    return ok ? ComponentResult(noErr) : ComponentResult(kAudioUnitErr_InvalidProperty);
}

ComponentResult IPluginAU::MakeConnection(AudioUnitScope scope, const AudioUnitConnection* conn)
{
    if ((scope != kAudioUnitScope_Global && scope != kAudioUnitScope_Input) ||
        int64_t(conn->destInputNumber) >= inBusConnections.GetSize())
        return kAudioUnitErr_InvalidProperty;
    InputBusConnection* rec = inBusConnections.Get(int(conn->destInputNumber));
    *rec = InputBusConnection();
    ComponentResult result = noErr;
    if (conn->sourceAudioUnit) {
        AudioStreamBasicDescription asbd;
        UInt32 size = sizeof asbd;
        ComponentResult r = AudioUnitGetProperty(conn->sourceAudioUnit, kAudioUnitProperty_StreamFormat,
                                                 kAudioUnitScope_Output, conn->sourceOutputNumber, &asbd, &size);
        if (r == noErr)
            r = SetProperty(kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, conn->destInputNumber, &size, &asbd);
        if (r != noErr) {
            result = kAudioUnitErr_InvalidProperty;
        } else {
            rec->upstreamUnit = conn->sourceAudioUnit;
            rec->upstreamBusIdx = int32_t(conn->sourceOutputNumber);
            AudioUnitRenderProc proc = nullptr;
            UInt32 procSize = sizeof proc;
            if (AudioUnitGetProperty(conn->sourceAudioUnit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                     kAudioUnitRenderSelect, &proc, &procSize) == noErr &&
                proc) {
                rec->upstreamRenderProc = proc;
                rec->upstreamObj = GetComponentInstanceStorage(conn->sourceAudioUnit);
            }
        }
    }
    AssessInputConnections();
    return result;
}

int IPluginAU::NHostChannelsConnected(const KIT_PtrList<BusChannels>* buses, int excludeIdx)
{
    bool any = false;
    int sum = 0;
    for (int i = 0, n = buses->GetSize(); i < n; ++i) {
        const BusChannels* bus = buses->Get(i);
        if (i == excludeIdx || bus->nHostChannels < 0) continue;
        sum += bus->nHostChannels;
        any = true;
    }
    return any ? sum : -1;
}

bool IPluginAU::CheckLegalIO()
{
    int nIn = NHostChannelsConnected(&inBuses), nOut = NHostChannelsConnected(&outBuses);
    return (nIn == 0 && nOut == 0) || LegalIO(nIn, nOut);
}

bool IPluginAU::CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels)
{
    int nIn, nOut;
    if (scope == kAudioUnitScope_Input) {
        int others = NHostChannelsConnected(&inBuses, busIdx);
        nIn = (others > 0 ? others : 0) + nChannels;
        nOut = active ? NHostChannelsConnected(&outBuses) : -1;
    } else {
        nIn = active ? NHostChannelsConnected(&inBuses) : -1;
        int others = NHostChannelsConnected(&outBuses, busIdx);
        nOut = (others > 0 ? others : 0) + nChannels;
    }
    return LegalIO(nIn, nOut);
}

void IPluginAU::AssessInputConnections()
{
    KIT_MutexLock lock(&mutex);
    SetInputChannelConnections(0, NInChannels(), false);
    for (int i = 0, n = inBuses.GetSize(); i < n; ++i) {
        BusChannels* bus = inBuses.Get(i);
        InputBusConnection* conn = inBusConnections.Get(i);
        if (!conn) continue;
        if (conn->upstreamRenderProc && conn->upstreamObj) conn->inputType = eDirectFastProc;
        else if (conn->upstreamUnit) conn->inputType = eDirectNoFastProc;
        else if (conn->upstreamRenderCallback.inputProc) conn->inputType = eRenderCallback;
        else conn->inputType = eNotConnected;
        if (conn->inputType == eNotConnected) {
            bus->connected = false;
            continue;
        }
        bus->connected = true;
        if (bus->nHostChannels < 0) bus->nHostChannels = bus->nPlugChannels;
        SetInputChannelConnections(bus->plugChannelStartIdx, bus->nHostChannels, true);
        int rest = bus->nPlugChannels - bus->nHostChannels;
        if (rest > 0) SetInputChannelConnections(bus->plugChannelStartIdx + bus->nHostChannels, rest, false);
    }
}

AudioChannelLayoutTag IPluginAU::GetTagForNumChannels(int n)
{
    if (n == 1) return kAudioChannelLayoutTag_Mono;
    if (n == 2) return kAudioChannelLayoutTag_Stereo;
    return kAudioChannelLayoutTag_Unknown;
}

int IPluginAU::GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, AudioChannelLayoutTag* tags)
{
    if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output) return 0;
    if (scope == kAudioUnitScope_Input && NInBuses() == 0) return 0;
    BusChannels* bus = GetBus(scope, element);
    if (!bus) return 0;
    if (tags) *tags = GetTagForNumChannels(bus->nPlugChannels);
    return 1;
}

void IPluginAU::MakeDefaultASBD(AudioStreamBasicDescription* asbd, double rate, int nChannels, bool interleaved)
{
    std::memset(asbd, 0, sizeof *asbd);
    asbd->mSampleRate = rate;
    asbd->mFormatID = kAudioFormatLinearPCM;
    asbd->mFramesPerPacket = 1;
    asbd->mChannelsPerFrame = UInt32(nChannels < 0 ? 0 : nChannels);
    asbd->mBitsPerChannel = 32;
    if (interleaved) {
        asbd->mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
        asbd->mBytesPerFrame = asbd->mBytesPerPacket = asbd->mChannelsPerFrame * 4;
    } else {
        asbd->mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
        asbd->mBytesPerFrame = asbd->mBytesPerPacket = 4;
    }
}

// ---- parameters through the fast-dispatch procedures ----

ComponentResult IPluginAU::GetParamProc(void* plugPtr, AudioUnitParameterID id, AudioUnitScope scope,
                                        AudioUnitElement, AudioUnitParameterValue* value)
{
    auto* plug = static_cast<IPluginAU*>(plugPtr);
    if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
    if (!plug || !value) return kAudioUnitErr_InvalidPropertyValue;
    KIT_MutexLock lock(&plug->mutex);
    IParam* param = plug->GetParam(id > UInt32(INT32_MAX) ? -1 : int(id));
    if (!param) return kAudioUnitErr_InvalidParameter;
    *value = AudioUnitParameterValue(param->value);
    return noErr;
}

ComponentResult IPluginAU::SetParamProc(void* plugPtr, AudioUnitParameterID id, AudioUnitScope scope,
                                        AudioUnitElement, AudioUnitParameterValue value, UInt32)
{
    auto* plug = static_cast<IPluginAU*>(plugPtr);
    if (scope != kAudioUnitScope_Global) return kAudioUnitErr_InvalidProperty;
    if (!plug) return kAudioUnitErr_InvalidPropertyValue;
    KIT_MutexLock lock(&plug->mutex);
    int idx = id > UInt32(INT32_MAX) ? -1 : int(id);
    IParam* param = plug->GetParam(idx);
    if (!param) return kAudioUnitErr_InvalidParameter;
    double v = double(value);
    // A value that is not a number has no place in the range; it counts as the minimum.
    param->value = !(v >= param->min) ? param->min : (v > param->max ? param->max : v);
    if (plug->GetGUI()) plug->GetGUI()->SetParameterFromPlug(idx, double(value), false);
    plug->OnParamChange(idx);
    return noErr;
}

ComponentResult IPluginAU::GetProc(AudioUnitElement selector, UInt32* dataSize, void** proc)
{
    void* p;
    switch (selector) {
    case kAudioUnitRenderSelect: p = reinterpret_cast<void*>(&RenderProc); break;
    case kAudioUnitSetParameterSelect: p = reinterpret_cast<void*>(&SetParamProc); break;
    case kAudioUnitGetParameterSelect: p = reinterpret_cast<void*>(&GetParamProc); break;
    default: return kAudioUnitErr_InvalidElement;
    }
    if (dataSize) *dataSize = sizeof(void*);
    if (proc) *proc = p;
    return noErr;
}
