#pragma once
// The Audio Unit binding of the plug-in base: the component entry and its selector dispatch,
// properties, the render call with host timing, class information, and the Carbon view entry.
#include <AudioToolbox/AudioToolbox.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>

#include <atomic>

#include "kit/plugin/IPluginBase.h"

// What the creation glue hands the plug-in constructor, copied by value.
struct IPluginInstanceInfo {
    KIT_String bundleID{"", 0, 128};
    KIT_String cocoaViewFactoryClassName{"", 0, 128};

    IPluginInstanceInfo() = default;
    IPluginInstanceInfo(const IPluginInstanceInfo& other)
    {
        bundleID.Set(other.bundleID.Get());
        cocoaViewFactoryClassName.Set(other.cocoaViewFactoryClassName.Get());
    }
    IPluginInstanceInfo& operator=(const IPluginInstanceInfo& other)
    {
        bundleID.Set(other.bundleID.Get());
        cocoaViewFactoryClassName.Set(other.cocoaViewFactoryClassName.Get());
        return *this;
    }
};

// The reverse-domain identifier of the plug-in bundle, used everywhere the bundle is named.
#define QOR_BUNDLE_ID "com.tessmooraudio.audiounit.qoreditor"
#define QOR_COCOA_VIEW_CLASS "QOR_View"

class IPluginAU : public IPluginBase {
public:
    IPluginAU(IPluginInstanceInfo instanceInfo, int nParams, const char* channelIOStr, int nPresets,
              const char* effectName, const char* productName, const char* mfrName, int vendorVersion,
              int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst,
              int plugScChans);
    ~IPluginAU() override;

    void initialize(IPluginInstanceInfo instanceInfo, int nAutomatable, int nTotal, const char* channelIOStr,
                    int nPresets, const char* effectName, const char* productName, const char* mfrName,
                    int vendorVersion, int uniqueID, int mfrID, int latency, bool plugDoesMidi, bool plugDoesChunks,
                    bool plugIsInst, int plugScChans);

    // Component and Carbon view entries; storage is the plug-in object (the view record).
    static ComponentResult IPluginAUEntry(ComponentParameters* params, void* storage);
    static ComponentResult IPluginAUCarbonViewEntry(ComponentParameters* params, void* storage);

    // ---- overrides of the base ----
    void BeginInformHostOfParamChange(int idx) override;
    void InformHostOfParamChange(int idx, double normalizedValue) override;
    void EndInformHostOfParamChange(int idx) override;
    void InformHostOfProgramChange() override;
    bool IsRenderingOffline() override { return isOffline; }
    int GetSamplePos() override;
    double GetTempo() override;
    void GetTimeSig(int* num, int* denom) override;
    void GetTime(ITimeInfo* info) override;
    EHost GetHost() override;
    void ResizeGraphics(int w, int h) override;
    void SetLatency(int samples) override;
    bool SendMidiVST(IMidiMsg*) override { return false; }
    // The send slots go out through the external output port (the base's port code).
    bool SendMidiMsg(IMidiMsg* msg) override { return SendExternalMidiMsg(msg); }
    bool SendMidiSysex(unsigned char* data, int size) override { return SendExternalSysex(data, size); }
    bool SendPatchSysex(unsigned char* data, int size) override
    {
        return size > 0 && SendExternalBytes(data, size_t(size));
    }
    bool SendMidiSysex2(std::vector<unsigned char> bytes) override
    {
        return SendExternalBytes(bytes.data(), bytes.size());
    }
    void HostSpecificInit() override;
    void SetBlockSize(int nFrames) override;

    // ---- render ----
    static ComponentResult RenderProc(void* plug, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* timestamp,
                                      UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* outBuffers);

    // ---- properties and parameters ----
    ComponentResult GetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                UInt32* dataSize, Boolean* writable, void* data);
    ComponentResult SetProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                UInt32* dataSize, const void* data);
    static ComponentResult GetParamProc(void* plug, AudioUnitParameterID id, AudioUnitScope scope,
                                        AudioUnitElement element, AudioUnitParameterValue* value);
    static ComponentResult SetParamProc(void* plug, AudioUnitParameterID id, AudioUnitScope scope,
                                        AudioUnitElement element, AudioUnitParameterValue value, UInt32 offsetFrames);
    static ComponentResult GetProc(AudioUnitElement selector, UInt32* dataSize, void** proc);
    void InformListeners(AudioUnitPropertyID id, AudioUnitScope scope);
    void SendAUEvent(AudioUnitEventType type, ComponentInstance instance, int idx);

    // ---- class information ----
    ComponentResult GetState(CFPropertyListRef* out);
    ComponentResult SetState(CFPropertyListRef in);

    // ---- channels ----
    struct BusChannels {
        bool connected = false;
        int32_t nHostChannels = -1;
        int32_t nPlugChannels = 0;
        int32_t plugChannelStartIdx = 0;
    };
    enum EAUInputType { eNotConnected = 0, eDirectFastProc = 1, eDirectNoFastProc = 2, eRenderCallback = 3 };
    struct InputBusConnection {
        void* upstreamObj = nullptr;
        AudioUnit upstreamUnit = nullptr;
        int32_t upstreamBusIdx = 0;
        AudioUnitRenderProc upstreamRenderProc = nullptr;
        AURenderCallbackStruct upstreamRenderCallback{nullptr, nullptr};
        int32_t inputType = eNotConnected;
    };
    struct PropertyListener {
        AudioUnitPropertyID propID = 0;
        AudioUnitPropertyListenerProc listenerProc = nullptr;
        void* userData = nullptr;
    };

    static int NHostChannelsConnected(const KIT_PtrList<BusChannels>* buses, int excludeIdx = -1);
    bool CheckLegalIO();
    bool CheckLegalIO(AudioUnitScope scope, int busIdx, int nChannels);
    void AssessInputConnections();
    static AudioChannelLayoutTag GetTagForNumChannels(int n);
    int GetChannelLayoutTags(AudioUnitScope scope, AudioUnitElement element, AudioChannelLayoutTag* tags);
    static void MakeDefaultASBD(AudioStreamBasicDescription* asbd, double sampleRate, int nChannels, bool interleaved);

    int NInBuses() const { return inBuses.GetSize(); }
    int NOutBuses() const { return outBuses.GetSize(); }
    const BusChannels* GetInBus(int i) const { return inBuses.Get(i); }
    const BusChannels* GetOutBus(int i) const { return outBuses.Get(i); }
    const InputBusConnection* GetInBusConnection(int i) const { return inBusConnections.Get(i); }
    int NPropertyListeners() const { return propertyListeners.GetSize(); }
    int NRenderNotify() const { return renderNotify.GetSize(); }
    bool IsActive() const { return active; }
    ComponentInstance GetComponentInstance() const { return ci; }
    const char* GetBundleID() const { return bundleID.Get(); }

protected:
    BusChannels* GetBus(AudioUnitScope scope, AudioUnitElement element);
    ComponentResult Dispatch(ComponentParameters* params);
    ComponentResult GetParameterInfo(int idx, AudioUnitParameterInfo* info);
    ComponentResult SetStreamFormat(AudioUnitScope scope, AudioUnitElement element, const AudioStreamBasicDescription* asbd);
    ComponentResult MakeConnection(AudioUnitScope scope, const AudioUnitConnection* conn);
    void ClearConnections();

    KIT_String bundleID{"", 0, 128};
    KIT_String cocoaViewFactoryClassName{"", 0, 128};
    char paramDisplayStr[56] = {};
    ComponentInstance ci = nullptr;
    bool active = false;
    bool isOffline = false;
    double renderTimestamp = -1.0;
    // Set while the render pulls this unit's inputs: a connection that leads back here (the
    // unit itself, or a ring of units) must not pull again without end.
    bool mPullingInputs = false;
    // Read by the audio thread and by workers without a lock.
    std::atomic<double> tempo{138.0};
    HostCallbackInfo hostCallbacks{};
    KIT_TypedBuf<float> inScratchBuf{4096};
    KIT_TypedBuf<float> outScratchBuf{4096};
    KIT_PtrList<AURenderCallbackStruct> renderNotify{4096};
    KIT_PtrList<BusChannels> inBuses{4096};
    KIT_PtrList<BusChannels> outBuses{4096};
    KIT_PtrList<InputBusConnection> inBusConnections{4096};
    KIT_PtrList<PropertyListener> propertyListeners{4096};
};

// The plug-in object of a new instance, made by the plug-in's own creation glue.
IPluginAU* MakePlug();

// The class-information dictionary helpers.
void PutStrInDict(CFMutableDictionaryRef dict, const char* key, const char* value);
bool GetStrFromDict(CFDictionaryRef dict, const char* key, char* out, int outSize = 64);
bool GetDataFromDict(CFDictionaryRef dict, const char* key, ByteChunk* chunk);
