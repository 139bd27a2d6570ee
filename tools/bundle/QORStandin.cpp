// The framework's test bundle: a stand-in plug-in class behind MakePlug that reports on standard
// output what reaches it from the host, so the host binding can be tested on its own.
#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "Project_Source/src/DataFolder.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/plugin/IPluginAU.h"

namespace {

constexpr int kVersion = 0x00010009;
constexpr int kUniqueID = 0x616E6E71; // "annq"
constexpr int kMfrID = 0x56654231;    // "VeB1"
constexpr int kNumParams = 5124;
constexpr int kEditorParams = 7; // the demo editor's, at the top of the table

// The size of the parameter table: kNumParams, or QOR_STANDIN_PARAMS between room for the demo
// editor's and kNumParams. Every walk of the table (state, class information, opening, the
// editor's attach) costs in proportion: a fuzzer running thousands of scripts a second takes a
// small table, where each walk reaches the same code.
int ParamCount()
{
    const char* text = std::getenv("QOR_STANDIN_PARAMS");
    const long n = text ? std::strtol(text, nullptr, 10) : 0;
    return n >= kEditorParams && n <= kNumParams ? int(n) : kNumParams;
}

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

// The scale of the UI-size file's second line: "small" 0.85, "large" 1.15, else 1.0.
double UIScale()
{
    char head[256] = {};
    if (FILE* f = std::fopen(DataFolder::uiFilePath().c_str(), "rb")) {
        head[std::fread(head, 1, sizeof head - 1, f)] = 0;
        std::fclose(f);
    }
    const char* second = std::strchr(head, '\n');
    if (!second) return 1.0;
    ++second;
    size_t len = std::strcspn(second, " \r\n\t");
    if (len == 5 && !std::strncmp(second, "small", 5)) return 0.85;
    if (len == 5 && !std::strncmp(second, "large", 5)) return 1.15;
    return 1.0;
}

// Takes every key the surface knows and prints it.
class KeyPad : public IPanelControl {
public:
    using IPanelControl::IPanelControl;
    bool OnKeyDown(int, int, int key) override
    {
        Say("key %d", key);
        return true;
    }
};

// A click asks a question in a type-1 message box and prints the answer.
class AskButton : public IPanelControl {
public:
    using IPanelControl::IPanelControl;
    void OnMouseDown(int, int, IMouseMod*) override
    {
        if (IGraphics* g = GetGUI()) Say("message box %d", g->ShowMessageBox("Send the program?", "QOR Editor", 1));
    }
};

class QORStandIn : public IPluginAU {
public:
    explicit QORStandIn(IPluginInstanceInfo info)
        : IPluginAU(info, 2208, "2-2", 0, "QOR Editor", "", "Tessmoor Audio", kVersion, kUniqueID, kMfrID, 128,
                    true, true, true, 0)
    {
        initialize(info, 0, ParamCount(), "2-2", 0, "QOR Editor", "", "Tessmoor Audio", kVersion, kUniqueID, kMfrID,
                   128, true, true, true, 0);
        addNonAutomateParamCount(NParams());
        SetLatency(128);
        // Lets tests of the bare parameter table run without an editor.
        if (const char* off = std::getenv("QOR_STANDIN_NO_EDITOR"); !off || *off != '1') BuildEditor();
        Say("created %s %s params=%d", GetEffectName(), GetMfrName(), NParams());
    }

    // The demo editor at the UI file's size: background, knob, switch, radio group, fader,
    // caption, status text, key pad, question button, three prompting captions and a hidden
    // progress layer.
    void BuildEditor()
    {
        // High ids, away from the ones the property tests read: 5000 to 5006 in the full table.
        const int top = std::min(5000, NParams() - kEditorParams);
        const int kKnob = top, kSwitch = top + 1, kRadio = top + 2, kFader = top + 3, kMode = top + 4,
                  kProgram = top + 5, kName = top + 6;
        GetParam(kKnob)->InitDouble("Cutoff", 50.0, 0.0, 100.0, 0.1, "Hz");
        GetParam(kSwitch)->InitBool("Sync", false);
        GetParam(kRadio)->InitEnum("Wave", 0, 3);
        GetParam(kFader)->InitDouble("Level", 0.0, 0.0, 1.0, 0.01);
        GetParam(kMode)->InitEnum("Mode", 0, 4);
        const char* modes[] = {"Poly", "Mono", "Legato", "Unison"};
        for (int i = 0; i < 4; ++i) GetParam(kMode)->SetDisplayText(i, modes[i]);
        GetParam(kProgram)->InitInt("Program", 0, 0, 127);
        GetParam(kName)->InitText();
        const double s = UIScale();
        auto at = [s](int v) { return int(v * s); };
        IGraphicsMac* g = MakeGraphics(this, int(1500 * s), int(757 * s), 25);
        g->AttachBackground(0, "main-bg.png", s);
        IBitmap knob = g->LoadIBitmap(1, "knob.png", s, 32);
        IBitmap sw = g->LoadIBitmap(2, "switch.png", s, 2);
        IBitmap radio = g->LoadIBitmap(3, "radio.png", s, 2);
        IBitmap fader = g->LoadIBitmap(4, "fader.png", s);
        IBitmap progress = g->LoadIBitmap(5, "progress.png", s);
        g->AttachControl(new IKnobMultiControl(this, IRECT(at(100), at(100), at(100) + knob.W, at(100) + knob.H / 32),
                                               kKnob, &knob));
        g->AttachControl(new ISwitchControl(this, at(250), at(115), kSwitch, &sw));
        g->AttachControl(new IRadioButtonsControl(this, IRECT(at(350), at(90), at(350) + radio.W, at(190)), kRadio, 3,
                                                  &radio));
        g->AttachControl(new IFaderControl(this, at(440), at(80), at(170), kFader, &fader));
        IColor white(255, 235, 235, 235), pad(255, 40, 60, 90), ask(255, 120, 50, 50);
        IText text(int(14 * s), &white);
        g->AttachControl(new ICaptionControl(this, IRECT(at(90), at(180), at(230), at(200)), kKnob, &text));
        g->AttachControl(new ITextControl(this, IRECT(at(90), at(695), at(750), at(725)), &text, "QOR Editor stand-in"));
        g->AttachControl(new KeyPad(this, IRECT(at(560), at(90), at(780), at(250)), &pad));
        g->AttachControl(new AskButton(this, IRECT(at(820), at(100), at(960), at(160)), &ask));
        // Captions that prompt: a menu of words, and fields for a number and a name.
        const int prompting[] = {kMode, kProgram, kName};
        for (int i = 0; i < 3; ++i) {
            auto* c = new ICaptionControl(this, IRECT(at(1000), at(100 + 40 * i), at(1140), at(120 + 40 * i)),
                                          prompting[i], &text, false);
            c->DisablePrompt(false);
            g->AttachControl(c);
        }
        auto* layer = new ControlLayer(1, "PROGRESS");
        new ProgressIndicator(layer, this, at(600), at(350), progress.W, progress.H, -1, &progress,
                              IRECT(at(600), at(350), at(600) + progress.W, at(350) + progress.H));
        layer->Hide(true);
        g->AttachLayer(layer);
        AttachGraphics(g);
    }

    void OnParamChange(int idx) override { Say("param %d %g", idx, GetParam(idx)->Value()); }
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

