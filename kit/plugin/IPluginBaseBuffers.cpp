#include <cstring>

#include "kit/plugin/IPluginBase.h"

// Binding and moving audio between the host's buffers and the plug-in's double channels. The
// render path calls these on the audio thread; nothing here allocates.

namespace {

// Calls f on each connected channel from idx up to the smaller of idx + n and the list size.
template <class Channel, class F> void ForConnected(KIT_PtrList<Channel>& list, int idx, int n, F f)
{
    if (idx < 0) return;
    int end = list.GetSize();
    if (int64_t(idx) + n < end) end = idx + n;
    for (int i = idx; i < end; ++i) {
        Channel* ch = list.Get(i);
        if (ch->connected) f(ch);
    }
}

} // namespace

void IPluginBase::AttachInputBuffers(int idx, int n, float** data, int nFrames)
{
    if (!data) return;
    ForConnected(inChannels, idx, n, [&](InChannel* ch) {
        float* src = *data++;
        double* dst = ch->scratchBuf.Get();
        // Never past the scratch buffer, whatever the caller claims.
        int count = nFrames < ch->scratchBuf.GetSize() ? nFrames : ch->scratchBuf.GetSize();
        if (src && dst)
            for (int s = 0; s < count; ++s) dst[s] = double(src[s]);
        *ch->src = dst;
    });
}

void IPluginBase::AttachInputBuffers(int idx, int n, double** data, int)
{
    if (!data) return;
    ForConnected(inChannels, idx, n, [&](InChannel* ch) { *ch->src = *data++; });
}

void IPluginBase::AttachOutputBuffers(int idx, int n, float** data)
{
    if (!data) return;
    ForConnected(outChannels, idx, n, [&](OutChannel* ch) {
        *ch->dest = ch->scratchBuf.Get();
        ch->fDest = *data++;
    });
}

void IPluginBase::AttachOutputBuffers(int idx, int n, double** data)
{
    if (!data) return;
    ForConnected(outChannels, idx, n, [&](OutChannel* ch) { *ch->dest = *data++; });
}

namespace {

// Converts each connected output channel's doubles to its float destination.
void ConvertOutputs(KIT_PtrList<OutChannel>& channels, int nFrames, bool accumulate)
{
    for (int i = 0, n = channels.GetSize(); i < n; ++i) {
        OutChannel* ch = channels.Get(i);
        if (!ch->connected || !ch->fDest || !*ch->dest) continue;
        const double* src = *ch->dest;
        float* dst = ch->fDest;
        if (accumulate)
            for (int s = 0; s < nFrames; ++s) dst[s] += float(src[s]);
        else
            for (int s = 0; s < nFrames; ++s) dst[s] = float(src[s]);
    }
}

} // namespace

void IPluginBase::PassThroughBuffers(double, int nFrames)
{
    if (nFrames < 1) return;
    double** in = inData.Get();
    double** out = outData.Get();
    int nIn = NInChannels(), nOut = NOutChannels();
    for (int i = 0; i < nOut; ++i) {
        if (!out[i]) continue;
        if (i < nIn && in[i]) std::memmove(out[i], in[i], size_t(nFrames) * sizeof(double));
        else std::memset(out[i], 0, size_t(nFrames) * sizeof(double));
    }
}

void IPluginBase::PassThroughBuffers(float, int nFrames)
{
    PassThroughBuffers(0.0, nFrames);
    if (nFrames > 0) ConvertOutputs(outChannels, nFrames, false);
}

namespace
{

thread_local bool tInRenderCall = false;

// Marks the calling thread as the host's render thread for the length of one call.
class RenderCall
{
public:
    RenderCall() : mOuter(tInRenderCall) { tInRenderCall = true; }
    ~RenderCall() { tInRenderCall = mOuter; }
    RenderCall(const RenderCall&) = delete;
    RenderCall& operator=(const RenderCall&) = delete;

private:
    const bool mOuter;
};

} // namespace

bool IPluginBase::InRenderCall()
{
    return tInRenderCall;
}

void IPluginBase::ProcessBuffers(double, int nFrames)
{
    RenderCall render;
    FlushParkedMidiOut();
    ProcessDoubleReplacing(inData.Get(), outData.Get(), nFrames);
}

void IPluginBase::ProcessBuffers(float, int nFrames)
{
    RenderCall render;
    FlushParkedMidiOut();
    ProcessDoubleReplacing(inData.Get(), outData.Get(), nFrames);
    if (nFrames > 0) ConvertOutputs(outChannels, nFrames, false);
}

void IPluginBase::ProcessBuffersAccumulating(float, int nFrames)
{
    RenderCall render;
    FlushParkedMidiOut();
    ProcessDoubleReplacing(inData.Get(), outData.Get(), nFrames);
    if (nFrames > 0) ConvertOutputs(outChannels, nFrames, true);
}

void IPluginBase::ZeroScratchBuffers()
{
    for (int i = 0, n = NInChannels(); i < n; ++i) {
        KIT_TypedBuf<double>& b = inChannels.Get(i)->scratchBuf;
        if (b.Get()) std::memset(b.Get(), 0, size_t(b.GetSize()) * sizeof(double));
    }
    for (int i = 0, n = NOutChannels(); i < n; ++i) {
        KIT_TypedBuf<double>& b = outChannels.Get(i)->scratchBuf;
        if (b.Get()) std::memset(b.Get(), 0, size_t(b.GetSize()) * sizeof(double));
    }
}

double IPluginBase::GetSamplesPerBeat()
{
    double t = GetTempo();
    return t > 0.0 ? sampleRate * 60.0 / t : 0.0;
}
