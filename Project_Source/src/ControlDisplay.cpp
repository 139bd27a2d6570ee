// The read-out's texts. Which id shows which text is data: the ids that leave the read-out alone,
// and the families, tried in order, each naming its ids and the rule that makes the value text.
#include "ControlDisplay.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <vector>

#include "QOR.h"
#include "QORParams.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IParam.h"

namespace
{

using namespace qorid;

// The last id a named parameter owns: eight for a per-part parameter, else its own.
struct Owned {
    int id, count;
};
constexpr Owned kOwned[] = {
#define QOR_READOUT_OWNED_ROW(name, id, parts) {id, parts},
    QOR_PARAMETER_TABLE(QOR_READOUT_OWNED_ROW)
#undef QOR_READOUT_OWNED_ROW
};
constexpr int lastOwned(int base)
{
    for (const Owned& o : kOwned)
        if (o.id == base) return base + o.count - 1;
    return base;
}

struct IdRange {
    int first, last;
};
constexpr IdRange one(int base)
{
    return {base, lastOwned(base)};
}

// Ids that change nothing: the names, the triggers, the editor's and librarian's own commands.
constexpr IdRange kUnchanged[] = {
    {kOverrideTempo, kMultiName},
    one(kPatchName),
    {kDeviceID_old, kDeviceID_old},
    one(kEnvelopeTriggering),
    {4976, 4980},
    {4997, 5005},
    {5009, 5012},
    {5018, 5019},
    {5038, 5040},
    {5054, 5061},
    {5078, 5095},
    {5097, 5100},
    {5102, 5103},
    {5105, 5111},
    {5113, 5120},
    {5122, 5122},
};

enum class Rule {
    Centre,  // a signed offset from `centre`, up to `top`
    List,    // entry S of the value list `text`
    Words,   // words[v]
    Vocoder, // the balance between carrier and modulator
    Pan,     // per cent to the left or right
    Pattern, // "OFF" or the pattern number
    Tempo,   // the tempo list's entry and " BMP"
    Fixed,   // `text` whatever the value
    PlusOne, // v + 1
};

struct Words {
    int count;
    const char* text[3];
};
constexpr Words kOffOn = {2, {"OFF", "ON"}};
constexpr Words kOnOff = {2, {"ON", "OFF"}};
constexpr Words kEnabled = {2, {"ENABLED", "DISABLED"}};
constexpr Words kDisabled = {2, {"DISABLED", "ENABLED"}};
constexpr Words kMultiSingle = {2, {"Multi", "Single"}};
constexpr Words kFreeKeysync = {2, {"Freewheel", "Keysync"}};
constexpr Words kMonoPoly = {2, {"Mono", "Poly"}};
constexpr Words kChorusTypes = {3, {"Quad chorus", "Chorus/flanger", "Phaser"}};
constexpr Words kGlissando = {2, {"Normal", "Glissando"}};
constexpr Words kExponential = {2, {"Linear", "Exponential"}};
constexpr Words kPolyModes = {2, {"mode 1 (modern)", "mode 2 (vintage)"}};
constexpr Words kOscModes = {2, {"Percussive (punchy)", "Ensemble (free running)"}};
constexpr Words kDcoVco = {2, {"DCO (Juno 106 & 60 style)", "VCO (Imperfect tuning)"}};
constexpr Words kPartProgram = {2, {"Part", "Program"}};
constexpr Words kSibilance = {2, {"Hpass", "Noise"}};
constexpr Words kSoftHard = {2, {"Soft", "Hard"}};
constexpr Words kClock = {2, {"Internal", "External"}};
constexpr Words kLatchModes = {2, {"Constant", "Pattern"}};

struct Family {
    IdRange ids;
    Rule rule;
    int centre = 0, top = 0;
    const char* text = nullptr; // a value list's name, or the fixed text
    const Words* words = nullptr;
};
constexpr Family centre(IdRange ids, int c, int top)
{
    return {ids, Rule::Centre, c, top};
}
constexpr Family list(int base, const char* name)
{
    return {one(base), Rule::List, 0, 0, name};
}
constexpr Family words(IdRange ids, const Words& w)
{
    return {ids, Rule::Words, 0, 0, nullptr, &w};
}
constexpr Family rule(IdRange ids, Rule r)
{
    return {ids, r};
}

// The families in the order they are tried; every id of none of them shows its plain number.
constexpr Family kFamilies[] = {
    // 1: centre 64
    centre({0, 1095}, 64, 127),
    centre(one(kFXMultiChorusMWheel), 64, 127),
    centre(one(kFXMultiDelayMWheel), 64, 127),
    centre(one(kFXMultiReverbMWheel), 64, 127),
    centre(one(kFXMultiChorusFeedback), 64, 127),
    centre(one(kFXMultiDistortionOverdriveMW), 64, 127),
    centre(one(kFXMultiCombFilterBoost), 64, 127),
    centre(one(kFXMultiEQBass), 64, 127),
    centre(one(kFXMultiEQTreble), 64, 127),
    centre(one(kFXDelayMWheel), 64, 127),
    centre(one(kFXReverbMWheel), 64, 127),
    centre(one(kFXChorusFeedback), 64, 127),
    centre(one(kFXDistortionOverdriveMW), 64, 127),
    centre(one(kFXCombFilterBoost), 64, 127),
    centre(one(kFXEQBass), 64, 127),
    centre(one(kFXEQTreble), 64, 127),
    centre(one(kMultiPartDetune), 64, 127),
    centre(one(kFXChorusMWheel), 64, 127),
    centre(one(kGlobalMasterTune), 64, 127),
    // 2: semitones and bend ranges
    centre(one(kOscillator1Semitone), 12, 25),
    centre(one(kOscillator2Semitone), 12, 25),
    centre(one(kOscillator3Semitone), 12, 25),
    centre(one(kOscillator1BendRange), 12, 25),
    centre(one(kOscillator2BendRange), 12, 25),
    centre(one(kOscillator3BendRange), 12, 25),
    // 3, 4
    centre(one(kMultiPartTranspose), 24, 48),
    centre(one(kGlobalAudioIn1Trim), 10, 20),
    centre(one(kGlobalAudioIn2Trim), 10, 20),
    // 5
    list(kOscillator1Octave, "oscillatorOctave"),
    list(kOscillator2Octave, "oscillatorOctave"),
    list(kOscillator3Octave, "oscillatorOctave"),
    // 6
    rule(one(kVocoderBalance), Rule::Vocoder),
    // 7
    list(kOscillator1Waveform, "oscillatorShape"),
    list(kOscillator2Waveform, "oscillatorShape"),
    list(kOscillator3Waveform, "oscillatorShape"),
    // 8, 9, 10
    rule(one(kMultiPartPanning), Rule::Pan),
    rule(one(kPartPattern), Rule::Pattern),
    rule(one(kGlobalTempo), Rule::Tempo),
    rule(one(kArpSpeed), Rule::Tempo),
    // 11 to 23
    list(kFXReverbRoom, "roomType"),
    list(kFXMultiReverbRoom, "roomType"),
    list(kGlideType, "glideType"),
    list(kUnisonMode, "unisonMode"),
    list(kFilterSlope, "filterSlope"),
    list(kFilterType, "filterType"),
    list(kFilterWidth, "filterWidth"),
    list(kGlobalMidiChannel, "globalChannel"),
    list(kLFO1Waveform, "lfoShape"),
    list(kLFO2Waveform, "lfoShape"),
    list(kMultiPartKeyLow, "keyList"),
    list(kMultiPartKeyHigh, "keyList"),
    list(kMultiPartMIDICh, "partMidiChannel"),
    list(kMultiPartOutput, "outputList"),
    list(kFXPassToFXConfig, "passToEffects"),
    list(kFXMultiPassToFXConfig, "passToEffects"),
    list(kFXRoutingConfig, "fxRouting"),
    list(kFXMultiRoutingConfig, "fxRouting"),
    list(kMultiPartSustain, "sustainPedal"),
    list(kFXMultiDelaySync, "syncRatio"),
    list(kLFO1Sync, "syncRatio"),
    list(kLFO2Sync, "syncRatio"),
    list(kFXDelaySync, "syncRatio"),
    list(kFXDelayRatio, "delayRatio"),
    list(kFXMultiDelayRatio, "delayRatio"),
    list(kLFO1Range, "lfoRange"),
    list(kLFO2Range, "lfoRange"),
    // 24, 25
    words(one(kMultiPartProgramChange), kEnabled),
    words(one(kMultiPartControlChange), kEnabled),
    words(one(kMultiPartExpressionPdl), kEnabled),
    words(one(kGlobalRXPC), kEnabled),
    words(one(kGlobalTXCC), kEnabled),
    words(one(kGlobalTXPC), kEnabled),
    words(one(kGlobalTXAT), kEnabled),
    {one(kGlobalRXCC), Rule::Fixed, 0, 0, "Adjust from Hardware"},
    // 26 to 40
    words(one(kLFO1DelayTrigger), kMultiSingle),
    words(one(kLFO2DelayTrigger), kMultiSingle),
    words(one(kLFO1Triggering), kFreeKeysync),
    words(one(kLFO2Triggering), kFreeKeysync),
    list(kMultiPartPolyphony, "multiPartPolyphony"),
    words(one(kProgramPolyphony), kMonoPoly),
    words(one(kFXChorusType), kChorusTypes),
    words(one(kFXMultiChorusType), kChorusTypes),
    words(one(kMultiPartStatus), kDisabled),
    words(one(kPortamentoType), kGlissando),
    words(one(kPortamentoMode), kExponential),
    words(one(kPolyMode), kPolyModes),
    words(one(kOscMode), kOscModes),
    words(one(kDCOVCOMode), kDcoVco),
    words(one(kMultiPartEffectsUsed), kPartProgram),
    words(one(kVocoderSibilanceType), kSibilance),
    words(one(kEnvelope1Triggering), kMultiSingle),
    words(one(kEnvelope2Triggering), kMultiSingle),
    words(one(kEnvelope3Triggering), kMultiSingle),
    words(one(kGlobalVelocitySensitivity), kSoftHard),
    // 41 to 45
    list(kGlobalBreathMode, "breathModeList"),
    list(kGlobalPedalSensitivity, "controlList"),
    list(kGlobalBreathSensing, "breathSensing"),
    words(one(kGlobalMIDIClock), kClock),
    list(kGlobalInputSw1, "inputSwitchList"),
    list(kGlobalInputSw2, "inputSwitchList"),
    list(kVocoderInput, "vocoderInput"),
    list(kVocoderInsert, "vocoderInsert"),
    list(kGlobalPedalSw3, "pedalSwitchList"),
    list(kFXPanType, "panType"),
    list(kFXMultiPanType, "panType"),
    // 46: 1 is "ON"; the lock ids run through all eight parts of the last section lock
    words(one(kArpFillIn), kOffOn),
    words(one(kArpLatch), kOffOn),
    words(one(kArpMuteStatus), kOffOn),
    words(one(kConstantGate), kOffOn),
    words(one(kUnisonSwitch), kOffOn),
    words(one(kFXMultiPanWithFX), kOffOn),
    words(one(kFXPanWithFX), kOffOn),
    words(one(kArpConstantPitch), kOffOn),
    words({kPartLock, lastOwned(kSectionLockVocoder)}, kOffOn),
    words(one(kGlobalLocalControl), kOffOn),
    words(one(kSectionLockGlobal), kOffOn),
    words(one(kControlProgBank), kOffOn),
    words(one(kCategorySelection), kOffOn),
    words(one(kControlLibrary), kOffOn),
    words(one(kKeepSelectedBank), kOffOn),
    // 47: 0 is "ON"
    words(one(kMultiArpSwitch), kOnOff),
    words(one(kArpOutputRanging), kOnOff),
    words(one(kArpKeySync), kOnOff),
    words(one(kArpSwitch), kOnOff),
    words(one(kArpRealtimeTranspose), kOnOff),
    // 48 to 52
    list(kArpBank, "arpBank"),
    list(kArpVelocity, "arpVelocity"),
    list(kArpQuantize, "arpQuantize"),
    words(one(kArpLatchMode), kLatchModes),
    list(kArpSync, "arpSyncRatio"),
    list(kArpSendNotesTo, "arpNotesTo"),
    list(kArpNoteOrdering, "arpNoteOrdering"),
    list(kMultiPartVeloCurve, "velocityCurve"),
    // 53 to 57: the pattern blocks, the data type, the pattern length
    {{3161, 3672}, Rule::List, 0, 0, "keyList"},
    {{2649, 3160}, Rule::List, 0, 0, "arpGateVelo"},
    list(kDatatype, "dataType"),
    rule(one(kArpPatternLength), Rule::PlusOne),
    centre({3673, 4184}, 64, 127),
};

bool contains(const IdRange& r, int id)
{
    return id >= r.first && id <= r.last;
}

// Toward zero, held to the int range; NaN gives 0.
int truncated(double value)
{
    if (!(value == value)) return 0;
    if (value <= double(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    if (value >= double(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    return int(value);
}

std::string listEntry(QOR* plug, const char* name, int at)
{
    if (!plug->uiConfigManager) return std::string();
    const auto& lists = plug->uiConfigManager->valueLists;
    auto it = lists.find(name);
    if (it == lists.end() || at < 0 || size_t(at) >= it->second.size()) return std::string();
    return it->second[size_t(at)];
}

std::string centreText(int v, int c, int top)
{
    if (v < 0 || v > top) return std::string();
    if (v == c) return "0";
    return (v > c ? "+" : "") + std::to_string(v - c);
}

std::string panText(int v)
{
    // In double precision, truncated: 1 reads 97, 63 and 65 read 1.
    if (v == 0) return "LEFT 100%";
    if (v >= 1 && v <= 63) return "LEFT " + std::to_string(int((v - 64) * -1.55)) + "%";
    if (v == 64) return "< CENTER >";
    if (v >= 65 && v <= 126) return "RIGHT " + std::to_string(int((v - 64) * 1.55)) + "%";
    if (v == 127) return "RIGHT 100%";
    return std::string();
}

std::string vocoderText(int v)
{
    if (v == 0) return "Vocoder off";
    if (v >= 1 && v <= 62) return "Carrier >> Vocoder";
    if (v == 63 || v == 64) return "Vocoder only";
    if (v >= 65 && v <= 126) return "Vocoder << Modulator";
    if (v == 127) return "Modulator only";
    return std::string();
}

const Family* familyOf(int paramId)
{
    for (const Family& f : kFamilies)
        if (contains(f.ids, paramId)) return &f;
    return nullptr;
}

} // namespace

std::string ControlDisplay::getValueString(double value)
{
    // Sized to the text, so a value of any size comes out whole.
    const int length = std::snprintf(nullptr, 0, "%.0f", value);
    if (length <= 0) return std::string();
    std::string text(size_t(length) + 1, '\0');
    std::snprintf(&text[0], text.size(), "%.0f", value);
    text.pop_back();
    return text;
}

std::string ControlDisplay::valueText(QOR* plug, int paramId, double value, bool* bracketed)
{
    const int v = truncated(value);
    const Family* f = familyOf(paramId);
    *bracketed = f != nullptr;
    if (!f) return getValueString(v);
    // Lists follow the stored value, everything else the value passed in.
    const int s = truncated(plug->GetParam(paramId)->Value());
    switch (f->rule) {
    case Rule::Centre: return centreText(v, f->centre, f->top);
    case Rule::List: return listEntry(plug, f->text, s);
    case Rule::Words: return v >= 0 && v < f->words->count ? f->words->text[v] : "";
    case Rule::Vocoder: return vocoderText(v);
    case Rule::Pan: return panText(v);
    case Rule::Pattern: return v == 0 ? "OFF" : "PTRN # " + std::to_string(v);
    case Rule::Tempo: {
        const std::string tempo = listEntry(plug, "tempoValues", s);
        return tempo.empty() ? tempo : tempo + " BMP";
    }
    case Rule::Fixed: return f->text;
    case Rule::PlusOne: return v < std::numeric_limits<int>::max() ? std::to_string(v + 1) : "";
    }
    return std::string();
}

void ControlDisplay::controlDisplay(QOR* plug, int paramId, double value, bool selectedPartOnly)
{
    if (!plug->startupComplete.load() || paramId < 0 || paramId >= plug->NParams()) return;
    for (const IdRange& r : kUnchanged)
        if (contains(r, paramId)) return;
    // The library switch speaks only while the host's program changes are blocked.
    constexpr size_t kHostProgramChanges = kMIDIFilterDAWPCPassThrough - kMIDIFilterDAWCCPassThrough;
    if (paramId == kControlLibrary && !plug->midiFilterSwitches[kHostProgramChanges].load()) return;

    std::string name = plug->GetParam(paramId)->GetNameForHost();
    if (selectedPartOnly) {
        // Per-part names are "[p] name": the second character is the part's digit.
        const char digit = char('1' + plug->selectedPart.load());
        if (name.size() < 2 || name[1] != digit) return;
    }
    const Family* f = familyOf(paramId);
    if (f && f->rule == Rule::Tempo && plug->GetParam(kOverrideTempo)->Value() == 1.0)
        name = "Tempo Synced to HOST! Check ARP Tab";

    bool bracketed = false;
    std::string line = valueText(plug, paramId, value, &bracketed);
    if (bracketed) line += " [" + std::to_string(truncated(value)) + "]";
    plug->showStatus(name.c_str());
    if (plug->valueDisplay) plug->valueDisplay->SetTextFromPlug(line.c_str());
    plug->noteReadout(name, line);
}
