#include <climits>
#include <cstring>

#include "kit/plugin/IPluginAU.h"

namespace {

// Room for the channels of one pulled input bus; the buffer list lives on the stack.
constexpr int kMaxBusChannels = 32;

struct StackBufferList {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[kMaxBusChannels];
};

AudioBufferList* AsList(StackBufferList* l) { return reinterpret_cast<AudioBufferList*>(l); }

// Float slice of a scratch buffer, or null when it would not lie inside it.
float* ScratchSlice(KIT_TypedBuf<float>& buf, int channel, UInt32 nFrames)
{
    float* base = buf.Get();
    if (!base || channel < 0) return nullptr;
    int64_t end = (int64_t(channel) + 1) * int64_t(nFrames);
    if (end > buf.GetSize()) return nullptr;
    return base + int64_t(channel) * int64_t(nFrames);
}

void Notify(KIT_PtrList<AURenderCallbackStruct>& list, int n, AudioUnitRenderActionFlags what,
            const AudioTimeStamp* ts, UInt32 bus, UInt32 nFrames, AudioBufferList* buffers)
{
    for (int i = 0; i < n; ++i) {
        const AURenderCallbackStruct* cb = list.Get(i);
        if (!cb || !cb->inputProc) continue;
        AudioUnitRenderActionFlags flags = what;
        cb->inputProc(cb->inputProcRefCon, &flags, ts, bus, nFrames, buffers);
    }
}

} // namespace

ComponentResult IPluginAU::RenderProc(void* plugPtr, AudioUnitRenderActionFlags*, const AudioTimeStamp* timestamp,
                                      UInt32 outputBusIdx, UInt32 nFrames, AudioBufferList* outBuffers)
{
    auto* plug = static_cast<IPluginAU*>(plugPtr);
    if (!plug || !timestamp || !outBuffers) return kAudioUnitErr_InvalidPropertyValue;
    if (!(timestamp->mFlags & kAudioTimeStampSampleTimeValid) || int64_t(outputBusIdx) >= plug->NOutBuses() ||
        int64_t(nFrames) > plug->blockSize)
        return kAudioUnitErr_InvalidPropertyValue;
    // The host's buffers must hold the frames asked for: the plug-in writes that many.
    for (UInt32 i = 0; i < outBuffers->mNumberBuffers; ++i) {
        const AudioBuffer& b = outBuffers->mBuffers[i];
        if (b.mData && uint64_t(b.mDataByteSize) < uint64_t(nFrames) * sizeof(float))
            return kAudioUnitErr_InvalidPropertyValue;
    }

    if (plug->mPullingInputs) return kAudioUnitErr_NoConnection;

    int nNotify = plug->renderNotify.GetSize();
    Notify(plug->renderNotify, nNotify, kAudioUnitRenderAction_PreRender, timestamp, outputBusIdx, nFrames, outBuffers);

    // Inputs are pulled once per time, however many output buses the host renders.
    if (timestamp->mSampleTime != plug->renderTimestamp) {
        plug->mPullingInputs = true;
        for (int i = 0, n = plug->NInBuses(); i < n; ++i) {
            BusChannels* bus = plug->inBuses.Get(i);
            InputBusConnection* conn = plug->inBusConnections.Get(i);
            if (!bus->connected || !conn) continue;
            int nCh = bus->nHostChannels < 0 ? 0 : bus->nHostChannels;
            if (nCh > kMaxBusChannels) nCh = kMaxBusChannels;
            StackBufferList list;
            list.mNumberBuffers = UInt32(nCh);
            for (int b = 0; b < nCh; ++b) {
                list.mBuffers[b].mNumberChannels = 1;
                list.mBuffers[b].mDataByteSize = UInt32(nFrames * sizeof(float));
                list.mBuffers[b].mData = nullptr;
            }
            AudioUnitRenderActionFlags flags = 0;
            ComponentResult r = noErr;
            switch (conn->inputType) {
            case eDirectFastProc:
                r = conn->upstreamRenderProc(conn->upstreamObj, &flags, timestamp, UInt32(conn->upstreamBusIdx),
                                             nFrames, AsList(&list));
                break;
            case eDirectNoFastProc:
                r = AudioUnitRender(conn->upstreamUnit, &flags, timestamp, UInt32(conn->upstreamBusIdx), nFrames,
                                    AsList(&list));
                break;
            case eRenderCallback:
                for (int b = 0; b < nCh; ++b)
                    list.mBuffers[b].mData = ScratchSlice(plug->inScratchBuf, bus->plugChannelStartIdx + b, nFrames);
                r = conn->upstreamRenderCallback.inputProc(conn->upstreamRenderCallback.inputProcRefCon, &flags,
                                                           timestamp, UInt32(i), nFrames, AsList(&list));
                break;
            default:
                break;
            }
            if (r != noErr) {
                plug->mPullingInputs = false;
                return r;
            }
            for (int c = 0; c < nCh; ++c) {
                float* data = static_cast<float*>(list.mBuffers[c].mData);
                plug->AttachInputBuffers(bus->plugChannelStartIdx + c, 1, &data, int(nFrames));
            }
        }
        plug->mPullingInputs = false;
        plug->renderTimestamp = timestamp->mSampleTime;
    }

    BusChannels* outBus = plug->outBuses.Get(int(outputBusIdx));
    int start = outBus->plugChannelStartIdx;
    int nBuffers = int(outBuffers->mNumberBuffers);
    if (!outBus->connected || outBus->nHostChannels != nBuffers) {
        // A bus whose format the host never set carries the plug-in's own channel count.
        int hostCh = outBus->nHostChannels < 0 ? outBus->nPlugChannels : outBus->nHostChannels;
        int k = hostCh < nBuffers ? hostCh : nBuffers;
        if (k > outBus->nPlugChannels) k = outBus->nPlugChannels;
        plug->SetOutputChannelConnections(start, k, true);
        int rest = outBus->nPlugChannels - k;
        if (rest > 0) plug->SetOutputChannelConnections(start + k, rest, false);
        outBus->connected = true;
    }
    for (int i = 0; i < nBuffers; ++i) {
        AudioBuffer& b = outBuffers->mBuffers[i];
        if (!b.mData) b.mData = ScratchSlice(plug->outScratchBuf, start + i, nFrames);
        float* data = static_cast<float*>(b.mData);
        plug->AttachOutputBuffers(start + i, 1, &data);
    }

    int last = -1;
    for (int i = 0, n = plug->NOutBuses(); i < n && plug->outBuses.Get(i)->connected; ++i) last = i;
    if (int(outputBusIdx) == last) {
        int nOutBuses = plug->NOutBuses();
        if (int(outputBusIdx) + 1 < nOutBuses) {
            int from = 2 * (int(outputBusIdx) + 1);
            plug->SetOutputChannelConnections(from, 2 * nOutBuses - from, false);
        }
        if (plug->bypassed) plug->PassThroughBuffers(0.0f, int(nFrames));
        else plug->ProcessBuffers(0.0f, int(nFrames));
    }

    Notify(plug->renderNotify, nNotify, kAudioUnitRenderAction_PostRender, timestamp, outputBusIdx, nFrames, outBuffers);
    return noErr;
}

void IPluginAU::SetBlockSize(int nFrames)
{
    if (nFrames < 0) nFrames = 0;
    int64_t inFloats = int64_t(NInChannels()) * nFrames, outFloats = int64_t(NOutChannels()) * nFrames;
    if (inFloats > INT32_MAX / 4 || outFloats > INT32_MAX / 4) return; // no buffer that large
    float* in = inScratchBuf.Resize(int(inFloats));
    float* out = outScratchBuf.Resize(int(outFloats));
    if (in) std::memset(in, 0, size_t(inFloats) * sizeof(float));
    if (out) std::memset(out, 0, size_t(outFloats) * sizeof(float));
    IPluginBase::SetBlockSize(nFrames);
}

void IPluginAU::SetLatency(int samples)
{
    InformListeners(kAudioUnitProperty_Latency, kAudioUnitScope_Global);
    IPluginBase::SetLatency(samples);
}

// ---- host time ----

int IPluginAU::GetSamplePos()
{
    if (!hostCallbacks.transportStateProc) return 0;
    Boolean playing = false, changed = false, cycling = false;
    Float64 sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
    hostCallbacks.transportStateProc(hostCallbacks.hostUserData, &playing, &changed, &sample, &cycling, &cycleStart,
                                     &cycleEnd);
    double v = sample + 0.5;
    // Positions past the int range stop at its ends instead of wrapping undefined.
    if (!(v > double(INT_MIN))) return v != v ? 0 : INT_MIN;
    if (v >= double(INT_MAX)) return INT_MAX;
    return int(v);
}

double IPluginAU::GetTempo()
{
    if (hostCallbacks.beatAndTempoProc) {
        Float64 beat = 0.0, t = 0.0;
        hostCallbacks.beatAndTempoProc(hostCallbacks.hostUserData, &beat, &t);
        if (t > 0.0) tempo.store(t, std::memory_order_relaxed);
    }
    return tempo.load(std::memory_order_relaxed);
}

namespace {

int TruncNumerator(Float32 n)
{
    if (!(n > -2147483648.0f && n < 2147483648.0f)) return 0;
    return int(n);
}

} // namespace

void IPluginAU::GetTimeSig(int* num, int* denom)
{
    if (!hostCallbacks.musicalTimeLocationProc) return;
    UInt32 offset = 0, den = 0;
    Float32 numerator = 0.0f;
    Float64 downBeat = 0.0;
    hostCallbacks.musicalTimeLocationProc(hostCallbacks.hostUserData, &offset, &numerator, &den, &downBeat);
    if (num) *num = TruncNumerator(numerator);
    if (denom) *denom = int(den);
}

void IPluginAU::GetTime(ITimeInfo* info)
{
    if (!info) return;
    if (hostCallbacks.beatAndTempoProc) {
        Float64 beat = 0.0, t = 0.0;
        hostCallbacks.beatAndTempoProc(hostCallbacks.hostUserData, &beat, &t);
        if (t > 0.0) info->tempo = t;
        if (beat > 0.0) info->ppqPos = beat;
    }
    if (hostCallbacks.transportStateProc) {
        Boolean playing = false, changed = false, cycling = false;
        Float64 sample = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
        hostCallbacks.transportStateProc(hostCallbacks.hostUserData, &playing, &changed, &sample, &cycling,
                                         &cycleStart, &cycleEnd);
        if (sample > 0.0) info->samplePos = sample;
        if (cycleStart > 0.0) info->cycleStart = cycleStart;
        if (cycleEnd > 0.0) info->cycleEnd = cycleEnd;
        info->transportIsRunning = playing;
        info->transportLoopEnabled = cycling;
    }
    if (hostCallbacks.musicalTimeLocationProc) {
        UInt32 offset = 0, den = 0;
        Float32 numerator = 0.0f;
        Float64 downBeat = 0.0;
        hostCallbacks.musicalTimeLocationProc(hostCallbacks.hostUserData, &offset, &numerator, &den, &downBeat);
        info->numerator = TruncNumerator(numerator);
        info->denominator = int32_t(den);
        if (downBeat > 0.0) info->lastBar = downBeat;
    }
}
