#pragma once
// A plug-in on the bare base that records what the base calls on it, and an editor surface that
// records what the base pushes to it.
#include <functional>
#include <string>
#include <vector>

#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IPluginBase.h"

constexpr int kQorVersion = 0x00010009;
constexpr int kQorUniqueID = 0x616E6E71; // "annq"
constexpr int kQorMfrID = 0x56654231;    // "VeB1"
constexpr int kQorParams = 5124;

class RecordingPlug : public IPluginBase {
public:
    explicit RecordingPlug(EAPI apiId = kAPIAU, int ver = kQorVersion, bool chunks = true)
        : IPluginBase(2208, "2-2", 0, "QOR Editor", "", "Tessmoor Audio", ver, kQorUniqueID, kQorMfrID, 128, false,
                      chunks, true, apiId)
    {
    }
    struct Call {
        std::string what;
        int idx;
        double value;
        bool mutexHeld;
    };
    std::vector<Call> calls;
    std::function<void(int)> onParamChange; // runs inside OnParamChange when set
    int programChanges = 0, presetsChanged = 0;
    int CountOf(const std::string& what) const
    {
        int n = 0;
        for (const Call& c : calls) n += c.what == what;
        return n;
    }
    void Note(const char* what, int idx, double value) { calls.push_back({what, idx, value, mutex.IsHeldByCaller()}); }
    double ValueOf(int idx) { return GetParam(idx) ? GetParam(idx)->value : 0.0; }
    void Reset() override
    {
        IPluginBase::Reset();
        Note("Reset", -1, 0.0);
    }
    void OnParamChange(int idx) override
    {
        Note("OnParamChange", idx, ValueOf(idx));
        if (onParamChange) onParamChange(idx);
    }
    void OnParamChange2(int idx) override { Note("OnParamChange2", idx, ValueOf(idx)); }
    void InformHostOfProgramChange() override { ++programChanges; }
    void PresetsChangedByHost() override { ++presetsChanged; }
    void BeginInformHostOfParamChange(int) override {}
    void InformHostOfParamChange(int idx, double normalized) override { Note("Inform", idx, normalized); }
    void EndInformHostOfParamChange(int) override {}
    int GetSamplePos() override { return 0; }
    double GetTempo() override { return 120.0; }
    void GetTimeSig(int* num, int* denom) override { *num = *denom = 4; }
    void GetTime(ITimeInfo*) override {}
    void ResizeGraphics(int, int) override {}
    bool SendMidiVST(IMidiMsg*) override { return false; }
    bool SendMidiMsg(IMidiMsg*) override { return false; }
    KIT_Mutex& Mutex() { return mutex; }
    double** InData() { return inData.Get(); }
    double** OutData() { return outData.Get(); }
};

class RecordingGraphics : public IGraphics {
public:
    struct Push {
        int idx;
        double value;
        bool normalized;
        bool attachedYet;
    };
    std::vector<Push> pushes;
    int prepDraws = 0;
    bool attachedAtPrepDraw = true;
    explicit RecordingGraphics(IPluginBase* plug) : IGraphics(plug, 1500, 757, 0) {}
    void PrepDraw() override
    {
        ++prepDraws;
        attachedAtPrepDraw = mPlug->GetGUI() == this;
    }
    void SetParameterFromPlug(int idx, double value, bool normalized) override
    {
        pushes.push_back({idx, value, normalized, mPlug->GetGUI() == this});
        IGraphics::SetParameterFromPlug(idx, value, normalized);
    }
};
