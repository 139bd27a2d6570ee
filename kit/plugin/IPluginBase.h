#pragma once
// The abstract base of the plug-in object: parameter table, presets, legal channel
// configurations and per-channel buffers, identity strings and versions, host identity, sample
// rate, block size and latency, the editor surface, the external MIDI clients and the
// recursive plug-in mutex. Host bindings derive from it and supply the host-facing operations.
//
// Construction has two phases: the constructor only stores the identity numbers; initialize()
// creates the parameters, presets and channels and copies the names.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kit/heapbuf.h"
#include "kit/kitstring.h"
#include "kit/mutex.h"
#include "kit/ptrlist.h"
#include "kit/plugin/Hosts.h"
#include "kit/plugin/IMidiFollow.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginStructs.h"
#include "kit/plugin/IPreset.h"

class IGraphics;
class IMidiClient;
class IMidiPortLister;

enum EAPI { kAPIVST2 = 0, kAPIVST3 = 1, kAPIAU = 2, kAPIRTAS = 3, kAPIAAX = 4, kAPISA = 5 };

// One legal channel configuration.
struct ChannelIO {
    int32_t nIn = 0, nOut = 0;
};

struct InChannel {
    bool connected = false;
    double** src = nullptr;                // this channel's slot in inData
    KIT_TypedBuf<double> scratchBuf{4096}; // silent source of an unconnected channel
    KIT_String label{"", 0, 128};
};

struct OutChannel {
    bool connected = false;
    double** dest = nullptr; // this channel's slot in outData
    float* fDest = nullptr;  // the host's float buffer while rendering
    KIT_TypedBuf<double> scratchBuf{4096};
    KIT_String label{"", 0, 128};
};

// A delay line that would hold back bypassed audio by the latency. Nothing creates one in this
// system, so the bypass adds no delay; the base still owns and frees one when present.
struct LatencyDelayLine {
    KIT_TypedBuf<double> history{4096};
};

// The first preset not yet filled, or null.
IPreset* GetNextUninitializedPreset(KIT_PtrList<IPreset>* presets);

class IPluginBase
{
public:
    IPluginBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName, const char* productName,
                const char* mfrName, int version, int uniqueID, int mfrID, int latency, bool flag1, bool stateChunks,
                bool isInstrument, EAPI api);
    virtual ~IPluginBase();
    IPluginBase(const IPluginBase&) = delete;
    IPluginBase& operator=(const IPluginBase&) = delete;

    // Second phase: nTotal parameters (the last nTotal - nAutomatable not published to the
    // host), nPresets empty presets, the channel configurations of channelIOStr ("2-2 1-1") and
    // one channel per input and output of the largest configuration. The numbers after the
    // names were stored by the constructor and are not used again.
    void initialize(int nAutomatable, int nTotal, const char* channelIOStr, int nPresets, const char* effectName,
                    const char* productName, const char* mfrName, int version, int uniqueID, int mfrID, int latency,
                    bool flag1, bool stateChunks, bool isInstrument);
    // Replaces (does not add to) the number of non-automatable parameters.
    void addNonAutomateParamCount(int n) { nonAutomatedParamCount = n; }

    // ---- virtual operations, in slot order ----
    virtual void Reset();
    virtual void OnParamChange(int idx);
    virtual void OnParamChange2(int idx);
    virtual void ProcessDoubleReplacing(double** in, double** out, int nFrames);
    virtual void ProcessSingleReplacing(float** in, float** out, int nFrames);
    virtual void OnGUIOpen() {}
    virtual void OnGUIClose() {}
    virtual void OnIdle() {}
    virtual void OnActivate(bool active);
    virtual void ProcessMidiMsg(IMidiMsg* /*msg*/, bool /*fromExternalPort*/) {}
    virtual void ProcessSysEx(ISysEx* /*msg*/, bool /*fromExternalPort*/) {}
    virtual bool MidiNoteName(int note, char* name);
    virtual bool SerializeState(ByteChunk* chunk) { return SerializeParams(chunk); }
    virtual int UnserializeState(ByteChunk* chunk, int startPos) { return UnserializeParams(chunk, startPos); }
    virtual bool CompareState(const unsigned char* data, int startPos);
    virtual void OnWindowResize() {}
    virtual bool HostRequestingAboutBox() { return false; }
    virtual void OnHostIdentified() {}
    virtual void PopupHostContextMenuForParam(int /*idx*/, int /*x*/, int /*y*/) {}
    virtual void SetParameterFromGUI(int idx, double normalized);
    virtual void SetParameterFromGUI2(int idx, double normalized);
    virtual void BeginInformHostOfParamChange(int idx) = 0;
    virtual void InformHostOfParamChange(int idx, double normalized) = 0;
    virtual void EndInformHostOfParamChange(int idx) = 0;
    virtual void InformHostOfProgramChange() = 0;
    virtual bool IsRenderingOffline() { return false; }
    virtual int GetSamplePos() = 0;
    virtual double GetTempo() = 0;
    virtual void GetTimeSig(int* num, int* denom) = 0;
    virtual void GetTime(ITimeInfo* info) = 0;
    virtual EHost GetHost() { return EHost(host); }
    virtual EAPI GetAPI() { return EAPI(api); }
    virtual void ResizeGraphics(int w, int h) = 0;
    virtual void RedrawParamControls();
    virtual void SetLatency(int samples) { latency = samples; }
    virtual bool SendMidiVST(IMidiMsg* msg) = 0;
    virtual bool SendMidiMsg(IMidiMsg* msg) = 0;
    virtual bool SendMidiSysex(unsigned char* /*data*/, int /*size*/) { return false; }
    virtual bool SendPatchSysex(unsigned char* /*data*/, int /*size*/) { return false; }
    virtual bool SendMidiSysex2(std::vector<unsigned char> /*bytes*/) { return false; }
    virtual void HostSpecificInit() {}
    virtual void AttachGraphics(IGraphics* pGraphics);
    virtual bool SendSysEx(ISysEx* /*msg*/) { return false; }
    virtual void DirtyPTCompareState() {}
    virtual void PresetsChangedByHost() {}
    virtual void SetBlockSize(int nFrames);

    // ---- identity ----
    int GetEffectVersion(bool decimal) const;
    void GetEffectVersionStr(char* out) const; // out holds 32 characters
    void SetHost(const char* hostName, int version);
    int GetHostVersion(bool decimal);
    void GetHostVersionStr(char* out); // out holds 32 characters
    const char* GetAPIString();
    const char* GetArchString() const { return "x86"; }
    const char* GetEffectName() const { return effectName; }
    const char* GetProductName() const { return productName; }
    const char* GetMfrName() const { return mfrName; }
    int GetUniqueID() const { return uniqueID; }
    int GetMfrID() const { return mfrID; }
    bool DoesStateChunks() const { return stateChunks; }
    bool IsInstrument() const { return isInstrument; }

    // ---- timing ----
    void SetSampleRate(double rate) { sampleRate = rate; }
    double GetSampleRate() const { return sampleRate; }
    int GetBlockSize() const { return blockSize; }
    int GetLatency() const { return latency; }
    bool IsBypassed() const { return bypassed; }

    // ---- channels ----
    bool LegalIO(int nIn, int nOut) const;
    void LimitToStereoIO();
    void SetInputChannelConnections(int idx, int n, bool connected);
    void SetOutputChannelConnections(int idx, int n, bool connected);
    void SetInputLabel(int idx, const char* label);
    void SetOutputLabel(int idx, const char* label);
    void SetInputBusLabel(int idx, const char* label);
    void SetOutputBusLabel(int idx, const char* label);
    int NInChannels() const { return inChannels.GetSize(); }
    int NOutChannels() const { return outChannels.GetSize(); }
    bool IsInChannelConnected(int idx) const;
    bool IsOutChannelConnected(int idx) const;
    int NChannelIO() const { return channelIO.GetSize(); }
    // False (nothing written) for an index outside the list.
    bool GetChannelIO(int idx, int* nIn, int* nOut) const;
    const char* GetInputLabel(int idx) const;
    const char* GetOutputLabel(int idx) const;
    int NInputBusLabels() const { return inputBusLabels.GetSize(); }
    int NOutputBusLabels() const { return outputBusLabels.GetSize(); }
    const char* GetInputBusLabel(int idx) const;
    const char* GetOutputBusLabel(int idx) const;

    // ---- audio buffers (render path) ----
    // Float data is converted into each connected channel's scratch buffer; double data is
    // pointed at directly. Unconnected channels are skipped.
    void AttachInputBuffers(int idx, int n, float** data, int nFrames);
    void AttachInputBuffers(int idx, int n, double** data, int nFrames);
    void AttachOutputBuffers(int idx, int n, float** data);
    void AttachOutputBuffers(int idx, int n, double** data);
    void PassThroughBuffers(float, int nFrames);
    void PassThroughBuffers(double, int nFrames);
    void ProcessBuffers(float, int nFrames);
    void ProcessBuffers(double, int nFrames);
    void ProcessBuffersAccumulating(float, int nFrames);
    void ZeroScratchBuffers();
    double GetSamplesPerBeat();

    // ---- parameters and editor ----
    int NParams() const { return params.GetSize(); }
    // Null for an id outside the table.
    IParam* GetParam(int idx) const { return params.Get(idx); }
    int NAutomatedParams() const;
    int NNonAutomatedParams() const { return nonAutomatedParamCount; }
    void OnParamReset();
    void DirtyParameters();
    IGraphics* GetGUI() const { return graphics; }

    // ---- parameter values in state chunks (plain doubles, id ascending) ----
    bool SerializeParams(ByteChunk* chunk);
    bool SerializeNonAutomatedParams(ByteChunk* chunk, int count);
    int UnserializeParams(ByteChunk* chunk, int startPos);
    int UnserializeNonAutomatedParams(ByteChunk* chunk, int startPos, int count);

    // ---- presets ----
    int NPresets() const { return presets.GetSize(); }
    void MakeDefaultPreset(const char* name, int count);
    bool MakePresetFromChunk(const char* name, ByteChunk* chunk);
    // One value per published parameter, in id order: int for boolean, integer and enumeration
    // parameters, double for the others.
    bool MakePreset(const char* name, ...);
    // count pairs of (int id, value typed as above); parameters not named keep their current
    // value. An id outside the published range ends the list (its value's type is unknown).
    bool MakePresetFromNamedParams(const char* name, int count, ...);
    // Base64 text decoded into size zeroed bytes (at most size written).
    bool MakePresetFromBlob(const char* name, const char* base64, int size);
    // Developer output: the current values as source text, and the current preset as Base64.
    bool DumpPresetSrcCode(const char* path, const char* paramEnumNames[]);
    bool DumpPresetBlob(const char* path);
    void EnsureDefaultPreset();
    void PruneUninitializedPresets();
    bool RestorePreset(int idx);
    bool RestorePreset(const char* name);
    // The empty string for an index outside the list.
    const char* GetPresetName(int idx) const;
    void ModifyCurrentPreset(const char* name = nullptr);
    void MakeDefaultUserPresetName(KIT_PtrList<IPreset>* list, char* out); // out holds 64 characters
    bool SerializePresets(ByteChunk* chunk);
    int UnserializePresets(ByteChunk* chunk, int startPos);
    IPreset* GetPreset(int idx) const { return presets.Get(idx); }

    // ---- program (.fxp) and bank (.fxb) files ----
    // The whole file as bytes, and a file's bytes checked and applied. A refused file changes
    // nothing.
    bool MakeProgramFile(ByteChunk* out);
    bool ApplyProgramFile(const uint8_t* data, int size);
    bool MakeBankFile(ByteChunk* out);
    bool ApplyBankFile(const uint8_t* data, int size);
    // On disk: written through a temporary file renamed over the target; read whole, at most
    // 64 MiB.
    bool SaveProgramToPath(const char* path);
    bool LoadProgramFromPath(const char* path);
    bool SaveBankToPath(const char* path);
    bool LoadBankFromPath(const char* path);
    // The same through the editor's file prompt; false without an editor or a chosen name.
    bool SaveProgramAsFXP(const char* defaultFileName);
    bool SaveBankAsFXB(const char* defaultFileName);
    bool LoadProgramFromFXP();
    bool LoadBankFromFXB();
    static void InitChunkWithIPluginVer(ByteChunk* chunk);
    static int GetIPluginVerFromChunk(ByteChunk* chunk, int* version);
    int GetCurrentPresetIdx() const { return currentPresetIdx; }

    // ---- external MIDI ports (IMidiPorts.cpp) ----
    // Name lists: entry 0 is "Select MIDI Device", then the system's ports in its order, this
    // instance's own left out (so an index is not the system's port number plus 1). Made on
    // the first request and kept until a device that comes back is not in them; without a MIDI
    // system they hold only that first entry. They change only under the plug-in mutex.
    std::vector<std::string>* getExternalMIDIOutNames();
    std::vector<std::string>* getExternalMIDIInNames();
    // Opens the port called name (port 0 closes); port and the result become the list index
    // opened, or 0.
    int setExternalMIDIOut(int& port, const char* name);
    int setExternalMIDIIn(int& port, const char* name);
    int getExternalMIDIOutDevice(const char* name); // -1 when absent
    int getExternalMIDIInDevice(const char* name);  // -1 when absent
    int GetMIDIOutPortNumber(const char* name);
    int GetMIDIInPortNumber(const char* name);
    bool initializeVirtualOutput(std::string name);
    static void MIDICallback(double deltaTime, std::vector<unsigned char>* message, void* userData);
    static void processMIDIInput(double deltaTime, std::vector<unsigned char>* message, void* userData);
    // A message that came through the input opened under serial: it reaches the plug-in only while
    // that opening is still the open input. processMIDIInput takes the input open now.
    static void DeliverMIDIInput(uint32_t serial, double deltaTime, std::vector<unsigned char>* message,
                                 void* userData);
    // For tests: runs on the input's delivering thread just before a delivery takes the plug-in
    // mutex. Set it before a port opens.
    std::function<void()> mBeforeInputDelivery;
    // A chosen device is followed by its name (IMidiFollow.cpp): the choice stays while the
    // device is away, its port closes, and it opens again by itself when a port of that name
    // appears. The chosen name, empty when none is chosen:
    std::string GetExternalMIDIChoice(bool input);
    // Whether a device is chosen for the direction: an atomic, so the render call may ask.
    bool IsExternalMIDIChosen(bool input) const { return mMidiChosen[input].load(); }
    // How often the follower has found the direction's open port without its connection (seen
    // before it decides to close it): a send that must reach the device compares it before and
    // after.
    uint32_t ExternalMIDICuts(bool input) const { return mMidiCuts[input].load(); }
    // The follower's look at a loss may come after the last message of a send: a send asks for a
    // look of its own (any thread, no lock) and waits until ExternalMIDILooked says one begun after
    // the ask has ended, its finds counted above; a look the system stopped answering is not one.
    // 0 when no follower runs: there is none to wait for.
    uint64_t AskExternalMIDILook();
    bool ExternalMIDILooked(uint64_t asked) const;
    // Why the follower opened no port for the choice although one could be it (two of its name
    // came), empty when nothing is to be said; each change is followed by OnExternalMIDIFollowed.
    std::string GetExternalMIDIFollowWhy(bool input);
    // The list index of the direction's open port, 0 while none is open.
    int GetExternalMIDIOpenIndex(bool input);
    // The last open found the chosen port listed, and could not open it as the system gave up on
    // the direction's client (an activation that failed): the device is there, not away.
    bool ExternalMIDIRefused(bool input);
    // A recall's opens: while set, an open on a system of the library counts only once the
    // follower sees it connected (the setters return 0 until then), so that what the recall owes
    // the device waits for it rather than go to a port that leads nowhere.
    std::atomic<bool> mOpensAwaitConnection{false};
    // The direction's port is open, and the follower has not seen it connected yet.
    bool ExternalMIDIAwaitsConnection(bool input);
    // On the port layer's follower thread, holding the plug-in mutex: after it closed the port of
    // a device that went or opened one that came back (the name lists may have been read again).
    virtual void OnExternalMIDIFollowed() {}
    // The same thread and lock, once every chosen port is open after one came back. False when
    // it could not be done now: it is asked again a little later.
    virtual bool OnExternalMIDIReturned() { return true; }
    // On the thread that makes the change, holding the plug-in mutex, at once: a port of the
    // direction was closed or opened (a choice, a recall, the follower). Answers still owed by the
    // port before it are not coming through this one.
    virtual void OnExternalMIDIPortChanged(bool input) { (void)input; }
    // Stops the follower and input delivery first, then closes and deletes both clients. A plug-in class calls it
    // at the start of its own destructor so that no message reaches a half-destroyed object.
    void CloseExternalMIDIPorts();
    // The bodies of the binding's send slots. One lock serialises every write to the output, so
    // messages sent from several threads never interleave. False when nothing was sent. Inside
    // the host's render call a send never waits: what the output cannot take at once (a port
    // being changed, a full queue) is dropped and counted, and the count is logged later.
    bool SendExternalMidiMsg(const IMidiMsg* msg);
    bool SendExternalSysex(const unsigned char* data, int size);    // framed with F0 ... F7 when bare
    bool SendExternalBytes(const unsigned char* data, size_t size); // unchanged
    // SendMidiMsg for each message in order; true when every one was sent (so for none).
    bool SendMidiMsgs(KIT_TypedBuf<IMidiMsg>* msgs);
    // Logs how many sends of the render call were dropped since the last report. Only for
    // threads that may log: the port operations, sends outside the render call, the editor's
    // timer call it.
    void ReportDroppedMidiOut();
    // True on a thread while it runs the host's render call (ProcessBuffers...).
    static bool InRenderCall();
    // At the start of a render call: what it parked earlier goes out if the output is free.
    void FlushParkedMidiOut();
    // The editor's timer, on the main thread: says what the render call could not say itself
    // (it may not log or show a status). The base reports the dropped output.
    virtual void OnEditorTimer() { ReportDroppedMidiOut(); }

    KIT_Mutex* GetMutex() { return &mutex; }
    const char* GetPreviousPath() const { return previousPath.Get(); }
    void SetPreviousPath(const char* path) { previousPath.Set(path); }

protected:
    bool SerializeRange(ByteChunk* chunk, int first, int count);
    int UnserializeRange(ByteChunk* chunk, int startPos, int first, int count);
    void SetParameterFromGUIImpl(int idx, double normalized, bool second);
    // Once this returns no delivery is inside the plug-in and none will enter it until an input
    // opens again. Called with or without the plug-in mutex held.
    void StopMIDIInDelivery();

    // The follower's body; one look at a direction, holding no lock that a sender or the host's
    // calls take, true while its device is missing; the changes that looks found, holding the
    // plug-in mutex, true while a device is missing still.
    struct FollowAct;
    struct FollowListers;
    void FollowExternalMIDI();
    bool FollowLook(bool input, FollowListers& listers, FollowAct* act, bool* tells);
    bool FollowStep(FollowAct* acts, bool* returned);
    // After FollowStep, without the plug-in mutex: the closes it took away from the senders.
    void FollowCloseLater(FollowAct* acts);
    // After FollowStep, without the plug-in mutex, under mPortsLock: the reopens it found due,
    // unless a choice came since. True when one was due: FollowStep then tells what it opened.
    bool FollowOpenLater(FollowAct* acts, FollowListers& listers);
    // Whether the device's port called port lists ours among its connections, as the lister of
    // system sees them; true when the lister cannot say.
    bool FollowConnected(bool input, FollowListers& listers, int system, const std::string& port);
    // A client the port layer made on system (an IMidiSystem) becomes the direction's client.
    void NoteMadeClient(bool input, IMidiClient* client, int system);
    // Under the plug-in mutex (and midiOutLock for the output): makes the direction's client
    // under its client name, or a fresh one under a new name in place of a spent one, a few
    // times per instance; false once no more may be made and the client is spent: the open refuses.
    void MakeExternalMIDIClient(bool input);
    bool RenewSpentMIDIClient(bool input);
    // The port part of an open, under mPortsLock, the output's under midiOutLock or detached:
    // closes the direction's port, renews a spent client and opens the port for name as the
    // setters say. The choice and the telling are the caller's.
    int OpenExternalMIDIOut(int& port, const char* name, bool* refused);
    int OpenExternalMIDIIn(int& port, const char* name, bool* refused);
    void SetExternalMIDIChoice(bool input, int port, const char* name);
    // After an open: the name of the port opened, empty when none; an open port is the choice;
    // refused as OpenByName says. True when the open counts only once the follower sees it
    // connected: the absent device chosen again on a system of the library, which opens whether
    // or not anything connects.
    bool NoteOpenedPort(bool input, const std::string& opened, bool refused = false);
    // Starts the follower, or wakes it; never waits for it.
    void WakeFollower();
    // The names of the client's ports now, "Select MIDI Device" first.
    std::vector<std::string> CurrentMidiNames(bool input);
    // The direction's name list becomes names ("Select MIDI Device", then the system's ports; ours
    // are left out); the open port stays as it is.
    void UseMidiNames(bool input, std::vector<std::string> names);

    int32_t nonAutomatedParamCount = 0;
    IMidiClient* midiIn = nullptr;
    IMidiClient* midiOut = nullptr;
    int32_t midiInPort = 0;
    int32_t midiOutPort = 0;
    KIT_PtrList<ChannelIO> channelIO{4096};
    KIT_Mutex mutex;
    char effectName[128] = {};
    char productName[128] = {};
    char mfrName[128] = {};
    int32_t uniqueID;
    int32_t mfrID;
    int32_t version;
    std::vector<std::string> midiOutNames;
    std::vector<std::string> midiInNames;
    int32_t api;
    int32_t host = kHostUninit;
    int32_t hostVersion = 0;
    bool stateChunks;
    bool isInstrument;
    bool bypassed = false;
    int32_t currentPresetIdx = 0;
    double sampleRate = 44100.0;
    int32_t blockSize = 0;
    int32_t latency;
    KIT_String previousPath{"", 0, 128};
    LatencyDelayLine* latencyDelay = nullptr;
    KIT_PtrList<const char> paramGroups{4096};
    IGraphics* graphics = nullptr;
    KIT_PtrList<IParam> params{4096};
    KIT_PtrList<IPreset> presets{4096};
    KIT_TypedBuf<double*> inData{4096};
    KIT_TypedBuf<double*> outData{4096};
    KIT_PtrList<InChannel> inChannels{4096};
    KIT_PtrList<OutChannel> outChannels{4096};
    KIT_PtrList<KIT_String> inputBusLabels{4096};
    KIT_PtrList<KIT_String> outputBusLabels{4096};
    // External MIDI port state (IMidiPorts.cpp).
    std::mutex midiOutLock;                  // held for every use of midiOut
    // One opener or closer of the ports at a time: the user's choice, a recall and the follower.
    // Taken after the plug-in mutex and before midiOutLock; the follower takes it alone, without
    // the plug-in mutex, for a close or a reopen that the server may stall, so no host call waits
    // for that.
    std::recursive_mutex mPortsLock; // the follower's own reopen goes through the setters
    // Under midiOutLock: the follower closes or reopens the output's port without midiOutLock, and
    // senders leave the client alone meanwhile. Set by the follower as it takes the port away
    // under the plug-in mutex, or before its reopen; cleared by it once that is done, or by any
    // open, which takes the client back under midiOutLock and mPortsLock.
    bool mMidiOutDetached = false;
    std::atomic<uint32_t> midiOutDropped{0}; // sends of the render call not taken, not yet logged
    // Short messages of the render call that found the output held by another sender: sent, in
    // order, by the next one to take the output, before its own. One writer, the render call;
    // readers hold midiOutLock.
    struct ParkedMidiOut {
        unsigned char bytes[3];
        unsigned char size;
    };
    static constexpr uint32_t kParkedMidiOut = 256;
    ParkedMidiOut mParkedMidiOut[kParkedMidiOut];
    std::atomic<uint32_t> mParkedWritten{0}, mParkedRead{0};
    // Under midiOutLock: the parked messages go to the open port (or, with none, or as the port
    // changes, are counted as dropped).
    void SendParkedMidiOut(bool drop = false);
    // Holds midiOutLock (from the start when take); once it lets go, what the render call parked
    // meanwhile goes out if the output is free, so that no parked message waits for a later
    // render call. Every holder of the output holds it so.
    class MidiOutHold
    {
    public:
        explicit MidiOutHold(IPluginBase* plug, bool take = true)
            : mPlug(plug), mLock(plug->midiOutLock, std::defer_lock)
        {
            if (take) mLock.lock();
        }
        ~MidiOutHold();
        MidiOutHold(const MidiOutHold&) = delete;
        MidiOutHold& operator=(const MidiOutHold&) = delete;
        std::unique_lock<std::mutex>& Lock() { return mLock; }

    private:
        IPluginBase* const mPlug;
        std::unique_lock<std::mutex> mLock;
    };
    // A delivery polls this while it waits for the plug-in mutex: port code clears it before it
    // closes the input, so that a delivery the closer would wait for gives up instead.
    std::atomic<uint32_t> mMidiInLive{0}; // the number of the open input, 0 while none delivers
    uint32_t mMidiInOpens = 0;            // inputs opened so far; port code only
    // Set in mMidiInLive while the port that number connected is not yet known to be the one named.
    static constexpr uint32_t kMidiInUnchecked = 0x80000000u;
    // Following the chosen devices: the choices and opened names under mFollowLock, which is
    // taken after the plug-in mutex and midiOutLock and held for no call of a MIDI system; [1]
    // the input. Port code also sets midiIn and midiOut under it, so that the follower may ask
    // the client whether its port is connected.
    IMidiFollower mFollower;
    std::mutex mFollowLock;
    std::string mMidiChoice[2], mMidiOpened[2];
    std::atomic<bool> mMidiChosen[2] = {false, false}; // !mMidiChoice[i].empty(), for lock-free readers
    std::atomic<uint32_t> mMidiCuts[2] = {0, 0};
    bool mMidiRefused[2] = {false, false};   // see ExternalMIDIRefused
    std::string mFollowWhy[2];               // the follower's last word on a name it could not match
    uint32_t mFollowChanges[2] = {0, 0};     // choices and opens so far
    std::vector<std::string> mFollowSeen[2]; // the ports of the follower's last look that listed the open one
    int mFollowFailures[2] = {0, 0};         // reopens that failed in a row
    int64_t mFollowRetryAtMs[2] = {0, 0};    // steady clock: no reopen before
    int64_t mFollowReopenedMs[2] = {0, 0};   // steady clock: a reopen not yet seen connected
    int64_t mFollowOpenedMs[2] = {0, 0};     // steady clock: the last open, by anyone
    IMidiClient* mFollowClient[2] = {nullptr, nullptr}; // the clients port code made, and on which system
    int mFollowSystem[2] = {-1, -1};
    bool mFollowerOpens = false;                 // under mPortsLock: the follower's reopen, not a choice
    bool mFollowKept[2] = {false, false};        // the choice under way is the absent device chosen again
    bool mFollowAwaitsFresh[2] = {false, false}; // the open awaiting its connection is a recall's, not a return
    bool mFollowSettling[2] = {false, false};    // its device went: a program starting may refuse once
    uint64_t mFollowOwner[2] = {0, 0};           // the lister's number for the program whose port took our connection
    uint64_t mFollowDropped[2] = {0, 0};         // ... for one that dropped it while staying listed
    uint64_t mFollowGone[2] = {0, 0};            // the lister's count of that port's unregistrations then
    int64_t mFollowDropSeenMs[2] = {0, 0};       // steady clock: the open port first seen dropped, not yet decided
    // The names this instance's clients go by, [1] the input's: our own ports are known by them.
    // A fresh client in place of one the system gave up on takes a new one: written under
    // mPortsLock and mFollowLock, read under either.
    std::string mMidiClientName[2] = {IMidiOwnClientName(false), IMidiOwnClientName(true)};
    int mMidiFreshClients[2] = {0, 0}; // made in place of spent ones; port code only
    // Makes the port layer's client of a direction under a client name; tests put in clients of
    // their own.
    std::function<IMidiClient*(bool input, const std::string& clientName)> mMakeMidiClient;
    // Makes the follower's lister for a system; tests put in listers of their own.
    std::function<std::unique_ptr<IMidiPortLister>(int system)> mMakeFollowLister;
    std::atomic<bool> mFollowEnquiry{false}; // a device came back; OnExternalMIDIReturned is due
};
