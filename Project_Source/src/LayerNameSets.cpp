#include "LayerNameSets.h"

#include "ControlAction.h"
#include "ParamTable.h"
#include "kit/plugin/IGraphicsLayer.h"

namespace layersets
{

namespace
{

struct LayerRow {
    const char* name;
    unsigned sets;
};

const LayerRow kLayers[] = {
    {"miniMixer", kMixer},
    {"multiModeMixer", kMixer},
    {"miniMixer2", kMixer},
    {"multiModeMixer2", kMixer},
    {"multiModeSettingsPage1", kMixer},
    {"additionalSettingsPart1", kAdditionalSettings},
    {"additionalSettingsPart2", kAdditionalSettings},
    {"additionalSettingsPart3", kAdditionalSettings},
    {"additionalSettingsPart4", kAdditionalSettings},
    {"additionalSettingsPart5", kAdditionalSettings},
    {"additionalSettingsPart6", kAdditionalSettings},
    {"additionalSettingsPart7", kAdditionalSettings},
    {"additionalSettingsPart8", kAdditionalSettings},
    {"vocoderLayer", kVocoder},
    {"arpTempoLayer", kArpTempo},
    {"miniMixerDelayPart1", kPartStrip},
    {"miniMixerDelayPart2", kPartStrip},
    {"miniMixerDelayPart3", kPartStrip},
    {"miniMixerDelayPart4", kPartStrip},
    {"miniMixerDelayPart5", kPartStrip},
    {"miniMixerDelayPart6", kPartStrip},
    {"miniMixerDelayPart7", kPartStrip},
    {"miniMixerDelayPart8", kPartStrip},
    {"partPanning1", kPartStrip},
    {"partPanning2", kPartStrip},
    {"partPanning3", kPartStrip},
    {"partPanning4", kPartStrip},
    {"partPanning5", kPartStrip},
    {"partPanning6", kPartStrip},
    {"partPanning7", kPartStrip},
    {"partPanning8", kPartStrip},
    {"effects2Panel0", kEffectsPanel},
    {"effects2Panel1", kEffectsPanel},
    {"effects2Panel2", kEffectsPanel},
    {"effects2Panel3", kEffectsPanel},
    {"effects2Panel4", kEffectsPanel},
    {"effects2Panel5", kEffectsPanel},
    {"effects2Panel6", kEffectsPanel},
    {"effects2Panel7", kEffectsPanel},
    {"effectsUsed", kEffectsPanel},
    {"effects1Panel0", kModulationPanel},
    {"effects1Panel1", kModulationPanel},
    {"effects1Panel2", kModulationPanel},
    {"effects1Panel3", kModulationPanel},
    {"effects1Panel4", kModulationPanel},
    {"effects1Panel5", kModulationPanel},
    {"effects1Panel6", kModulationPanel},
    {"effects1Panel7", kModulationPanel},
    {"lfo1destination1", kModulationPanel},
    {"lfo1destination2", kModulationPanel},
    {"lfo1destination3", kModulationPanel},
    {"lfo1destination4", kModulationPanel},
    {"filtersEnvelopesPanel0", kFilterPanel},
    {"filtersEnvelopesPanel1", kFilterPanel},
    {"filtersEnvelopesPanel2", kFilterPanel},
    {"filtersEnvelopesPanel3", kFilterPanel},
    {"filtersEnvelopesPanel4", kFilterPanel},
    {"filtersEnvelopesPanel5", kFilterPanel},
    {"filtersEnvelopesPanel6", kFilterPanel},
    {"filtersEnvelopesPanel7", kFilterPanel},
    {"oscillatorsPanel0", kOscillatorPanel},
    {"oscillatorsPanel1", kOscillatorPanel},
    {"oscillatorsPanel2", kOscillatorPanel},
    {"oscillatorsPanel3", kOscillatorPanel},
    {"oscillatorsPanel4", kOscillatorPanel},
    {"oscillatorsPanel5", kOscillatorPanel},
    {"oscillatorsPanel6", kOscillatorPanel},
    {"oscillatorsPanel7", kOscillatorPanel},
    {"o1pw", kOscillatorPanel},
    {"o2pw", kOscillatorPanel},
    {"o3pw", kOscillatorPanel},
    {"sequencerPanel0", kArpeggiatorPanel},
    {"sequencerPanel1", kArpeggiatorPanel},
    {"sequencerPanel2", kArpeggiatorPanel},
    {"sequencerPanel3", kArpeggiatorPanel},
    {"sequencerPanel4", kArpeggiatorPanel},
    {"sequencerPanel5", kArpeggiatorPanel},
    {"sequencerPanel6", kArpeggiatorPanel},
    {"sequencerPanel7", kArpeggiatorPanel},
};

struct PanelGroup {
    unsigned set;
    const char* group;
};

const PanelGroup kPanelGroups[] = {
    {kEffectsPanel, "Effects"},
    {kModulationPanel, "LFOs / Mod Matrix"},
    {kFilterPanel, "Filter / Envelopes"},
    {kOscillatorPanel, "Oscillators"},
    {kArpeggiatorPanel, "Arpeggiator"},
};

struct IdRange {
    int first, last;
};

constexpr IdRange kMultiEffect{kFXMultiDistortionOverdrive, kFXMultiCMorph + kPartCount - 1};
constexpr IdRange kVocoderRanges[] = {{kVocoderBalance, kVocoderInput + kPartCount - 1},
                                      {kVocoderWidth, kVocoderInsert + kPartCount - 1}};
static_assert(kMultiEffect.first == 2209 && kMultiEffect.last == 2496, "multi-effect block moved");
static_assert(kVocoderRanges[0].last == 1799 && kVocoderRanges[1].last == 2544, "vocoder blocks moved");

bool inRange(int id, IdRange r)
{
    return id >= r.first && id <= r.last;
}

} // namespace

bool inSets(const ControlLayer* layer, unsigned sets)
{
    if (!layer) return false;
    for (const LayerRow& row : kLayers)
        if ((row.sets & sets) && layer->name == row.name) return true;
    return false;
}

const char* panelGroup(const ControlLayer* layer)
{
    for (const PanelGroup& panel : kPanelGroups)
        if (inSets(layer, panel.set)) return panel.group;
    return nullptr;
}

std::string partPrefixed(const std::string& name, int part)
{
    return "[" + std::to_string(part + 1) + "] " + name;
}

std::string nameOnLayer(const std::string& name, int part, const ControlLayer* layer, unsigned sets)
{
    return inSets(layer, sets) ? name : partPrefixed(name, part);
}

bool isMultiEffect(int paramId)
{
    return inRange(paramId, kMultiEffect);
}

bool isVocoder(int paramId)
{
    return inRange(paramId, kVocoderRanges[0]) || inRange(paramId, kVocoderRanges[1]);
}

bool inPartBlock(int paramId, int base)
{
    return inRange(paramId, {base, base + kPartCount - 1});
}

void setChannelKeys(ControlAction* action, bool byChannel, int channel, int part, int paramId)
{
    action->channelKey = byChannel ? channel : part + 1;
    action->globalKey = !byChannel && isMultiEffect(paramId) ? 1 : 0;
}

} // namespace layersets
