#include "kit/plugin/IPluginBase.h"

#include <cstdio>
#include <cstring>

#include "kit/plugin/IGraphics.h"
#include "kit/plugin/Log.h"

namespace {

void CopyName(char* dst, const char* src, size_t size)
{
    if (!src) src = "";
    std::snprintf(dst, size, "%s", src);
}

} // namespace

IPluginBase::IPluginBase(int /*nParams*/, const char* /*channelIOStr*/, int /*nPresets*/,
                         const char* /*effectName*/, const char* /*productName*/, const char* /*mfrName*/,
                         int versionIn, int uniqueIDIn, int mfrIDIn, int latencyIn, bool /*flag1*/,
                         bool stateChunksIn, bool isInstrumentIn, EAPI apiIn)
    : uniqueID(uniqueIDIn), mfrID(mfrIDIn), version(versionIn), api(apiIn), stateChunks(stateChunksIn),
      isInstrument(isInstrumentIn), latency(latencyIn)
{
}

void IPluginBase::initialize(int nAutomatable, int nTotal, const char* channelIOStr, int nPresets,
                             const char* effectNameIn, const char* productNameIn, const char* mfrNameIn,
                             int, int, int, int, bool, bool, bool)
{
    TRACE;
    if (nTotal < 0) nTotal = 0;
    nonAutomatedParamCount = nTotal - nAutomatable;
    previousPath.Set("");

    for (int i = 0; i < nTotal; ++i) params.Add(new IParam);
    for (int i = 0; i < nPresets; ++i) presets.Add(new IPreset);

    // Names longer than the fields are cut rather than overrunning them.
    CopyName(effectName, effectNameIn, sizeof effectName);
    CopyName(productName, productNameIn, sizeof productName);
    CopyName(mfrName, mfrNameIn, sizeof mfrName);

    int maxIn = 0, maxOut = 0;
    if (channelIOStr) {
        std::string copy(channelIOStr);
        char* save = nullptr;
        for (char* tok = strtok_r(&copy[0], " ", &save); tok; tok = strtok_r(nullptr, " ", &save)) {
            ChannelIO* io = new ChannelIO;
            std::sscanf(tok, "%d-%d", &io->nIn, &io->nOut);
            channelIO.Add(io);
            if (io->nIn > maxIn) maxIn = io->nIn;
            if (io->nOut > maxOut) maxOut = io->nOut;
        }
    }

    inData.Resize(maxIn);
    outData.Resize(maxOut);
    for (int i = 0; i < maxIn; ++i) {
        InChannel* ch = new InChannel;
        ch->src = inData.Get() + i;
        *ch->src = nullptr;
        inChannels.Add(ch);
    }
    for (int i = 0; i < maxOut; ++i) {
        OutChannel* ch = new OutChannel;
        ch->dest = outData.Get() + i;
        *ch->dest = nullptr;
        outChannels.Add(ch);
    }
}

IPluginBase::~IPluginBase()
{
    TRACE;
    // Input delivery stops before anything it could reach is deleted.
    CloseExternalMIDIPorts();
    delete graphics;
    graphics = nullptr;
    params.Empty(true);
    presets.Empty(true);
    inChannels.Empty(true);
    outChannels.Empty(true);
    channelIO.Empty(true);
    inputBusLabels.Empty(true);
    outputBusLabels.Empty(true);
    delete latencyDelay;
    latencyDelay = nullptr;
}

// ---- default hooks ----

void IPluginBase::Reset()
{
    KIT_MutexLock lock(&mutex);
}

void IPluginBase::OnParamChange(int)
{
    KIT_MutexLock lock(&mutex);
}

void IPluginBase::OnParamChange2(int)
{
    KIT_MutexLock lock(&mutex);
}

void IPluginBase::OnActivate(bool)
{
    KIT_MutexLock lock(&mutex);
}

bool IPluginBase::MidiNoteName(int, char* name)
{
    if (name) *name = '\0';
    return false;
}

void IPluginBase::ProcessDoubleReplacing(double** in, double** out, int nFrames)
{
    if (!out || nFrames < 1) return;
    int nIn = NInChannels(), nOut = NOutChannels();
    for (int i = 0; i < nOut; ++i) {
        if (!out[i]) continue;
        if (i < nIn && in && in[i]) std::memmove(out[i], in[i], size_t(nFrames) * sizeof(double));
        else std::memset(out[i], 0, size_t(nFrames) * sizeof(double));
    }
}

void IPluginBase::ProcessSingleReplacing(float** in, float** out, int nFrames)
{
    if (!out || nFrames < 1) return;
    int nIn = NInChannels(), nOut = NOutChannels();
    for (int i = 0; i < nOut; ++i) {
        if (!out[i]) continue;
        if (i < nIn && in && in[i]) std::memmove(out[i], in[i], size_t(nFrames) * sizeof(float));
        else std::memset(out[i], 0, size_t(nFrames) * sizeof(float));
    }
}

void IPluginBase::SetBlockSize(int nFrames)
{
    if (nFrames == blockSize) return;
    if (nFrames < 0) nFrames = 0;
    // A connected channel fed from floats reads its scratch memory too: it follows the move as
    // well, or a render that attaches nothing new would read freed memory.
    for (int i = 0, n = NInChannels(); i < n; ++i) {
        InChannel* ch = inChannels.Get(i);
        const double* old = ch->scratchBuf.Get();
        double* p = ch->scratchBuf.Resize(nFrames);
        if (p) std::memset(p, 0, size_t(nFrames) * sizeof(double));
        if (!ch->connected || *ch->src == old) *ch->src = p;
    }
    for (int i = 0, n = NOutChannels(); i < n; ++i) {
        OutChannel* ch = outChannels.Get(i);
        const double* old = ch->scratchBuf.Get();
        double* p = ch->scratchBuf.Resize(nFrames);
        if (p) std::memset(p, 0, size_t(nFrames) * sizeof(double));
        if (!ch->connected || *ch->dest == old) *ch->dest = p;
    }
    blockSize = nFrames;
}

// ---- identity ----

int IPluginBase::GetEffectVersion(bool decimal) const
{
    return decimal ? GetDecimalVersion(version) : version;
}

void IPluginBase::GetEffectVersionStr(char* out) const
{
    GetVersionStr(version, out);
}

void IPluginBase::SetHost(const char* hostName, int versionIn)
{
    host = LookUpHost(hostName);
    hostVersion = versionIn;
}

int IPluginBase::GetHostVersion(bool decimal)
{
    GetHost();
    return decimal ? GetDecimalVersion(hostVersion) : hostVersion;
}

void IPluginBase::GetHostVersionStr(char* out)
{
    GetHost();
    GetVersionStr(hostVersion, out);
}

const char* IPluginBase::GetAPIString()
{
    static const char* const names[] = {"VST2", "VST3", "AU", "RTAS", "AAX", "Standalone"};
    int a = int(GetAPI());
    return a >= 0 && a < 6 ? names[a] : "";
}

// ---- channels ----

bool IPluginBase::LegalIO(int nIn, int nOut) const
{
    for (int i = 0, n = channelIO.GetSize(); i < n; ++i) {
        const ChannelIO* io = channelIO.Get(i);
        bool match;
        if (nIn < 0) match = nOut < 0 || io->nOut == nOut;
        else if (nOut < 0) match = io->nIn == nIn;
        else match = io->nIn == nIn && io->nOut == nOut;
        if (match) return true;
    }
    return false;
}

void IPluginBase::LimitToStereoIO()
{
    int nIn = NInChannels(), nOut = NOutChannels();
    if (nIn > 2) SetInputChannelConnections(2, nIn - 2, false);
    if (nOut > 2) SetOutputChannelConnections(2, nOut - 2, true);
}

void IPluginBase::SetInputChannelConnections(int idx, int n, bool connected)
{
    if (idx < 0) return;
    int end = NInChannels();
    if (int64_t(idx) + n < end) end = idx + n;
    for (int i = idx; i < end; ++i) {
        InChannel* ch = inChannels.Get(i);
        // The scratch buffer held the last converted input; as a silent source it must be
        // silent, or a removed source would keep sounding its last block.
        if (ch->connected && !connected && ch->scratchBuf.Get())
            std::memset(ch->scratchBuf.Get(), 0, size_t(ch->scratchBuf.GetSize()) * sizeof(double));
        ch->connected = connected;
        if (!connected) *ch->src = ch->scratchBuf.Get();
    }
}

void IPluginBase::SetOutputChannelConnections(int idx, int n, bool connected)
{
    if (idx < 0) return;
    int end = NOutChannels();
    if (int64_t(idx) + n < end) end = idx + n;
    for (int i = idx; i < end; ++i) {
        OutChannel* ch = outChannels.Get(i);
        ch->connected = connected;
        if (!connected) *ch->dest = ch->scratchBuf.Get();
    }
}

bool IPluginBase::IsInChannelConnected(int idx) const
{
    const InChannel* ch = inChannels.Get(idx);
    return ch && ch->connected;
}

bool IPluginBase::IsOutChannelConnected(int idx) const
{
    const OutChannel* ch = outChannels.Get(idx);
    return ch && ch->connected;
}

bool IPluginBase::GetChannelIO(int idx, int* nIn, int* nOut) const
{
    const ChannelIO* io = channelIO.Get(idx);
    if (!io) return false;
    if (nIn) *nIn = io->nIn;
    if (nOut) *nOut = io->nOut;
    return true;
}

void IPluginBase::SetInputLabel(int idx, const char* label)
{
    if (InChannel* ch = inChannels.Get(idx)) ch->label.Set(label ? label : "");
}

void IPluginBase::SetOutputLabel(int idx, const char* label)
{
    if (OutChannel* ch = outChannels.Get(idx)) ch->label.Set(label ? label : "");
}

const char* IPluginBase::GetInputLabel(int idx) const
{
    const InChannel* ch = inChannels.Get(idx);
    return ch ? ch->label.Get() : "";
}

const char* IPluginBase::GetOutputLabel(int idx) const
{
    const OutChannel* ch = outChannels.Get(idx);
    return ch ? ch->label.Get() : "";
}

namespace {

// Replaces the label at idx, or inserts it at the end of a shorter list, keeping index order.
void PutBusLabel(KIT_PtrList<KIT_String>& list, int idx, const char* label)
{
    list.Delete(idx, true);
    int at = idx < list.GetSize() ? idx : list.GetSize();
    list.Insert(at, new KIT_String(label ? label : ""));
}

} // namespace

void IPluginBase::SetInputBusLabel(int idx, const char* label)
{
    if (idx == 0 || idx == 1) PutBusLabel(inputBusLabels, idx, label);
}

void IPluginBase::SetOutputBusLabel(int idx, const char* label)
{
    if (idx >= 0) PutBusLabel(outputBusLabels, idx, label);
}

const char* IPluginBase::GetInputBusLabel(int idx) const
{
    const KIT_String* s = inputBusLabels.Get(idx);
    return s ? s->Get() : "";
}

const char* IPluginBase::GetOutputBusLabel(int idx) const
{
    const KIT_String* s = outputBusLabels.Get(idx);
    return s ? s->Get() : "";
}

// ---- parameters and editor ----

int IPluginBase::NAutomatedParams() const
{
    int n = NParams() - nonAutomatedParamCount;
    if (n < 0) return 0;
    return n < NParams() ? n : NParams();
}

void IPluginBase::SetParameterFromGUIImpl(int idx, double normalized, bool second)
{
    KIT_MutexLock lock(&mutex);
    IParam* param = GetParam(idx);
    if (!param) return; // an id outside the table has nothing to change
    double before = param->value;
    param->SetNormalized(normalized);
    InformHostOfParamChange(idx, normalized);
    if (param->value != before || param->type == IParam::kTypeText) {
        if (second) OnParamChange2(idx);
        else OnParamChange(idx);
    }
}

void IPluginBase::SetParameterFromGUI(int idx, double normalized)
{
    SetParameterFromGUIImpl(idx, normalized, false);
}

void IPluginBase::SetParameterFromGUI2(int idx, double normalized)
{
    SetParameterFromGUIImpl(idx, normalized, true);
}

void IPluginBase::OnParamReset()
{
    for (int i = 0, n = NAutomatedParams(); i < n; ++i) OnParamChange(i);
    Reset();
}

void IPluginBase::RedrawParamControls()
{
    if (graphics) graphics->SetAllParametersFromPlug(false);
}

void IPluginBase::DirtyParameters()
{
    KIT_MutexLock lock(&mutex);
    for (int i = 0, n = NAutomatedParams(); i < n; ++i) InformHostOfParamChange(i, params.Get(i)->GetNormalized());
}

void IPluginBase::AttachGraphics(IGraphics* pGraphics)
{
    if (!pGraphics) return;
    KIT_MutexLock lock(&mutex);
    pGraphics->SetAllParametersFromPlug(true);
    pGraphics->PrepDraw();
    // The base owns its surface: one attached in place of another frees the old one.
    if (graphics && graphics != pGraphics) delete graphics;
    graphics = pGraphics;
}

// ---- parameter values in state chunks ----

// The values go into the chunk in one growth and come out of it without a bounds check each:
// a host saves and restores the whole table of thousands of parameters at once.
bool IPluginBase::SerializeRange(ByteChunk* chunk, int first, int count)
{
    KIT_MutexLock lock(&mutex);
    if (first < 0 || count > NParams() - first) count = first < 0 ? 0 : NParams() - first;
    if (count < 1) return true;
    if (int64_t(count) * int64_t(sizeof(double)) > INT32_MAX) return false;
    uint8_t* out = chunk->PutRoom(count * int(sizeof(double)));
    if (!out) return false;
    IParam* const* list = params.GetList() + first;
    for (int i = 0; i < count; ++i) {
        const double v = list[i]->value;
        std::memcpy(out + size_t(i) * sizeof v, &v, sizeof v);
    }
    return true;
}

// A chunk that ends inside the range sets the first value it lacks to 0 (held to the range) and
// leaves the rest; the answer is then -1.
int IPluginBase::UnserializeRange(ByteChunk* chunk, int startPos, int first, int count)
{
    KIT_MutexLock lock(&mutex);
    if (first < 0 || count > NParams() - first) count = first < 0 ? 0 : NParams() - first;
    if (count < 1) return startPos;
    const int size = chunk->Size();
    const int whole = startPos >= 0 && startPos <= size ? (size - startPos) / int(sizeof(double)) : 0;
    const int n = whole < count ? whole : count;
    IParam* const* list = params.GetList() + first;
    auto take = [](IParam* param, double v) {
        param->value = v < param->min ? param->min : (v < param->max ? v : param->max);
    };
    if (n > 0) {
        const uint8_t* in = chunk->GetBytes() + startPos;
        for (int i = 0; i < n; ++i) {
            double v;
            std::memcpy(&v, in + size_t(i) * sizeof v, sizeof v);
            take(list[i], v);
        }
    }
    if (n == count) return startPos + count * int(sizeof(double));
    take(list[n], 0.0);
    return -1;
}

bool IPluginBase::SerializeParams(ByteChunk* chunk)
{
    return SerializeRange(chunk, 0, NAutomatedParams());
}

bool IPluginBase::SerializeNonAutomatedParams(ByteChunk* chunk, int count)
{
    int first = NAutomatedParams();
    if (count > NParams() - first) count = NParams() - first;
    if (count < 1) return true;
    return SerializeRange(chunk, first, count);
}

int IPluginBase::UnserializeParams(ByteChunk* chunk, int startPos)
{
    if (startPos < 0) return startPos;
    return UnserializeRange(chunk, startPos, 0, NAutomatedParams());
}

int IPluginBase::UnserializeNonAutomatedParams(ByteChunk* chunk, int startPos, int count)
{
    if (startPos < 0 || count < 1) return startPos;
    int first = NAutomatedParams();
    if (count > NParams() - first) count = NParams() - first;
    return UnserializeRange(chunk, startPos, first, count);
}

bool IPluginBase::CompareState(const unsigned char* data, int startPos)
{
    bool equal = true;
    for (int i = 0, n = NAutomatedParams(); i < n; ++i) {
        double stored;
        std::memcpy(&stored, data + (size_t(startPos) + size_t(i)) * sizeof(double), sizeof stored);
        float a = float(params.Get(i)->value), b = float(stored);
        float diff = a > b ? a - b : b - a;
        equal = equal && double(diff) < 0.00001;
    }
    return equal;
}
