#pragma once
// The layers whose controls are named and keyed without their part, and the id ranges the
// creators key by: one table, read by every creator that asks.
#include <string>

class ControlLayer;
struct ControlAction;

namespace layersets
{

// Sets a layer name can belong to; a creator asks for the union it cares about.
enum : unsigned {
    kMixer = 1u << 0,              // the shared mixer and settings pages
    kAdditionalSettings = 1u << 1, // one page per part, keyed by the element's channel
    kVocoder = 1u << 2,
    kArpTempo = 1u << 3,
    kPartStrip = 1u << 4, // one strip per part, its knobs keyed by the element's channel
    // Panels whose knobs, buttons, menus and faders all take the panel's group text.
    kEffectsPanel = 1u << 5,
    kModulationPanel = 1u << 6,
    kFilterPanel = 1u << 7,
    kOscillatorPanel = 1u << 8,
    kArpeggiatorPanel = 1u << 9,
    kNamedMixer = kMixer | kVocoder,
    kWideMixer = kNamedMixer | kArpTempo,
    kNRPNChannel = kMixer | kAdditionalSettings,
};

// Whether the layer's name is in any of the sets; a missing layer is in none.
bool inSets(const ControlLayer* layer, unsigned sets);

// The parameter's name on its layer: bare in the sets, else "[part + 1] " before it.
std::string nameOnLayer(const std::string& name, int part, const ControlLayer* layer, unsigned sets);
std::string partPrefixed(const std::string& name, int part);

// The group text a panel layer imposes on its MIDI controls, or null for a layer of no panel.
// Only the layer's own name counts, not an enclosing layer's.
const char* panelGroup(const ControlLayer* layer);

// The multi-mode effect parameters (2209 to 2496), keyed globally on a per-part layer.
bool isMultiEffect(int paramId);
// The vocoder parameters (1776 to 1799 and 2521 to 2544), keyed by the element's channel.
bool isVocoder(int paramId);
// Whether the id is one of the eight of the per-part parameter at base.
bool inPartBlock(int paramId, int base);

// The first and last keys of a CC or NRPN control: the element's channel and 0 when it is keyed
// by channel, else part + 1, and 1 for the multi-effect parameters.
void setChannelKeys(ControlAction* action, bool byChannel, int channel, int part, int paramId);

} // namespace layersets
