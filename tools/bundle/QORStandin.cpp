// The framework's test bundle: a stand-in plug-in class behind MakePlug that reports on standard
// output what reaches it from the host, so the host binding can be tested on its own.
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "kit/plugin/IPluginAU.h"

namespace {

constexpr int kVersion = 0x00010009;
constexpr int kUniqueID = 0x616E6E71; // "annq"
constexpr int kMfrID = 0x56654231;    // "VeB1"
constexpr int kNumParams = 5124;

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::fputs("plug: ", stdout);
    std::vfprintf(stdout, format, args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    va_end(args);
}

class QORStandIn : public IPluginAU {
public:
    explicit QORStandIn(IPluginInstanceInfo info)
        : IPluginAU(info, 2208, "2-2", 0, "QOR Editor", "", "Tessmoor Audio", kVersion, kUniqueID, kMfrID, 128,
                    true, true, true, 0)
    {
        initialize(info, 0, kNumParams, "2-2", 0, "QOR Editor", "", "Tessmoor Audio", kVersion, kUniqueID, kMfrID,
                   128, true, true, true, 0);
        addNonAutomateParamCount(kNumParams);
        SetLatency(128);
        Say("created %s %s params=%d", GetEffectName(), GetMfrName(), NParams());
    }
    ~QORStandIn() override { Say("destroyed"); }

    void Reset() override
    {
        IPluginAU::Reset();
        Say("reset rate=%.0f block=%d", GetSampleRate(), GetBlockSize());
    }
    void OnActivate(bool on) override
    {
        IPluginAU::OnActivate(on);
        Say("activate %d", on ? 1 : 0);
    }
    void OnHostIdentified() override { Say("host %d version 0x%08X", int(host), unsigned(hostVersion)); }

    void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override
    {
        Say("midi status=0x%02X data1=%d data2=%d offset=%d fromDevice=%d", msg->mStatus, msg->mData1, msg->mData2,
            int(msg->mOffset), fromDevice ? 1 : 0);
    }
    void ProcessSysEx(ISysEx* msg, bool fromDevice) override
    {
        char text[3 * 64 + 1] = "";
        if (msg->mData && msg->mSize > 0) SysExStr(text, sizeof text, msg->mData, msg->mSize);
        Say("sysex size=%d bytes=%s fromDevice=%d", int(msg->mSize), text, fromDevice ? 1 : 0);
    }

    // The editor sends no audio: outputs are silent, so a bypassed block is told apart.
    void ProcessDoubleReplacing(double**, double** out, int nFrames) override
    {
        for (int c = 0; c < NOutChannels(); ++c)
            if (out[c]) std::memset(out[c], 0, size_t(nFrames) * sizeof(double));
        ITimeInfo t;
        GetTime(&t);
        int num = 0, den = 0;
        GetTimeSig(&num, &den);
        Say("block frames=%d samplepos=%d tempo=%.2f timesig=%d/%d playing=%d ppq=%.2f pos=%.1f", nFrames,
            GetSamplePos(), GetTempo(), num, den, t.transportIsRunning ? 1 : 0, t.ppqPos, t.samplePos);
    }

    // The state is the parameter table as doubles, so class information has something to carry.
    bool SerializeState(ByteChunk* chunk) override { return SerializeNonAutomatedParams(chunk, NParams()); }
    int UnserializeState(ByteChunk* chunk, int pos) override
    {
        return UnserializeNonAutomatedParams(chunk, pos, NParams());
    }
};

} // namespace

IPluginAU* MakePlug()
{
    static KIT_Mutex makeLock;
    KIT_MutexLock lock(&makeLock);
    IPluginInstanceInfo info;
    info.bundleID.Set(QOR_BUNDLE_ID);
    info.cocoaViewFactoryClassName.Set(QOR_COCOA_VIEW_CLASS);
    // Lets tests see a construction failure reach the host as a status.
    if (const char* fail = std::getenv("QOR_STANDIN_FAIL_OPEN"); fail && *fail == '1')
        throw std::runtime_error("construction refused by QOR_STANDIN_FAIL_OPEN");
    return new QORStandIn(info);
}

