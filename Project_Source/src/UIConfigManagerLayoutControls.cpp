// The layout's MIDI controls: knobcontrol, buttoncontrol, menucontrol and slidercontrol. The
// element name only admits an element here; its type alone chooses the creator.
#include "LayerNameSets.h"
#include "LayoutElement.h"
#include "UIConfigManager.h"

#include <string>

namespace
{

enum class MIDIType {
    SysExKnob,
    SysExSlider,
    SysExButton,
    CCSlider,
    CCKnob,
    CCButton,
    NRPNKnob,
    NRPNButton,
    NRPNMenu,
    SysExMenu,
    CCMenu,
};

struct MIDITypeRow {
    const char* type;
    MIDIType kind;
    EDirection direction; // the sliders'
    int positions;        // position values used: the menus take a width
    int bounds;           // valueBounds values used
};

const MIDITypeRow kMIDITypes[] = {
    {"seKnob", MIDIType::SysExKnob, kVertical, 2, 4},
    {"seSliderVer", MIDIType::SysExSlider, kVertical, 2, 4},
    {"seSliderHor", MIDIType::SysExSlider, kHorizontal, 2, 4},
    {"seButton", MIDIType::SysExButton, kVertical, 2, 1},
    {"ccSliderVer", MIDIType::CCSlider, kVertical, 2, 3},
    {"ccSliderHor", MIDIType::CCSlider, kHorizontal, 2, 3},
    {"ccKnob", MIDIType::CCKnob, kVertical, 2, 4},
    {"ccButton", MIDIType::CCButton, kVertical, 2, 3},
    {"msbLsbKnob", MIDIType::NRPNKnob, kVertical, 2, 4},
    {"msbLsbButton", MIDIType::NRPNButton, kVertical, 2, 3},
    {"msbLsbMenu", MIDIType::NRPNMenu, kVertical, 3, 3},
    {"seMenu", MIDIType::SysExMenu, kVertical, 3, 3},
    {"ccMenu", MIDIType::CCMenu, kVertical, 3, 3},
};
static_assert(sizeof(kMIDITypes) / sizeof(kMIDITypes[0]) == 13, "thirteen type values");

// The layout gives no menu height.
constexpr int kMenuHeight = 13;

const MIDITypeRow* midiType(const std::string& type)
{
    for (const MIDITypeRow& row : kMIDITypes)
        if (type == row.type) return &row;
    return nullptr;
}

} // namespace

bool UIConfigManager::buildMIDIControl(const LayoutElement& e, int id, ControlLayer* layer, int part)
{
    const MIDITypeRow* row = midiType(e.text("type"));
    // Any other type, or none, builds nothing; the tail still runs.
    if (!row) return true;
    int pos[3], vb[4];
    readLayoutList(e, "position", pos, row->positions, true);
    readLayoutList(e, "valueBounds", vb, row->bounds, false);
    if (row->kind == MIDIType::SysExKnob || row->kind == MIDIType::SysExSlider) {
        const long long messages = (long long)vb[2] - vb[1] + 1;
        if (messages > kMaxControlValues) {
            skipLayoutElement(e, ": " + std::to_string(messages) + " messages");
            return false;
        }
    }
    if (!countLayoutBuild()) return false;

    int links[3];
    getBiDirectLinkValues(e.text("biDirectLink"), links, part);
    const LinkInfo link{links[0], links[1], links[2]};
    std::string group = e.group;
    // Id 0 is the first part's pulse width, which keeps its own group.
    if (layer && id > 0)
        if (const char* panel = layersets::panelGroup(layer)) group = panel;

    const int x = pos[0], y = pos[1], length = e.boundedInteger("length");
    const int ccNumber = e.integer("ccNumber"), channel = e.channel;
    const int msb = e.integer("msbValue"), lsb = e.integer("lsbValue"), lsbControl = e.integer("lsbControl");
    const int sysexIndex = e.integer("sysexIndex"), changingByte = e.integer("changingByte");
    const int msgZeroVal = e.integer("msgZeroVal");
    int a = -1, b = -1;
    switch (row->kind) {
    case MIDIType::SysExKnob:
        createSysExKnobControl(e.name, id, x, y, e.imageId, vb[0], vb[1], vb[2], vb[3], msgZeroVal, sysexIndex,
                               changingByte, part, link, layer, group);
        break;
    case MIDIType::SysExSlider:
        createSysExSliderControl(e.name, id, x, y, length, e.imageId, vb[0], vb[1], vb[2], vb[3], msgZeroVal,
                                 sysexIndex, changingByte, part, link, layer, group, row->direction, false);
        break;
    case MIDIType::SysExButton:
        createSysExBoolControl(e.name, id, x, y, e.imageId, vb[0], msgZeroVal, sysexIndex, changingByte, part, link,
                               layer, group);
        break;
    case MIDIType::CCSlider:
        createCCSliderControl(ccNumber, channel, e.name, id, x, y, length, e.imageId, vb[0], vb[1], vb[2], link, part,
                              layer, group, row->direction, false);
        break;
    case MIDIType::CCKnob:
        createCCKnobControl(ccNumber, channel, e.name, id, x, y, e.imageId, vb[0], vb[1], vb[2], vb[3], link, part,
                            layer, group);
        break;
    case MIDIType::CCButton:
        createCCBoolControl(ccNumber, channel, e.name, id, x, y, e.imageId, vb[0], vb[1], vb[2], link, part, layer,
                            group);
        break;
    case MIDIType::NRPNKnob:
        createMsbLsbKnobControl(ccNumber, msb, lsb, lsbControl, channel, e.name, id, x, y, e.imageId, vb[0], vb[1],
                                vb[2], vb[3], link, part, layer, group);
        break;
    case MIDIType::NRPNButton:
        createMsbLsbBoolControl(ccNumber, msb, lsb, lsbControl, channel, e.name, id, x, y, e.imageId, vb[0], vb[1],
                                vb[2], link, part, layer, group);
        break;
    case MIDIType::NRPNMenu:
        e.pair("valueDisplay", &a, &b);
        createMsbLsbSelectionCCControl(ccNumber, msb, lsb, lsbControl, channel, e.name, id, x, y, pos[2], kMenuHeight,
                                       vb[0], vb[1], vb[2], a, b, layoutValueList(e), part, layer, group);
        break;
    case MIDIType::SysExMenu:
        e.pair("valueDisplay", &a, &b);
        createMultiSelectionSysExControl(e.name, id, x, y, pos[2], kMenuHeight, vb[0], vb[1], vb[2], a, b,
                                         layoutValueList(e), msgZeroVal, e.integer("color"), sysexIndex, changingByte,
                                         part, layer, group);
        break;
    case MIDIType::CCMenu:
        e.pair("valueDisplay", &a, &b);
        createMultiSelectionCCControl(ccNumber, channel, e.name, id, x, y, pos[2], kMenuHeight, vb[0], vb[1], vb[2], a,
                                      b, layoutValueList(e), part, layer, group);
        break;
    }
    return true;
}
