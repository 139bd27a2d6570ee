// The layout walk: layers, per-part copies, the slot grid, backgrounds and the controls that send
// no MIDI message of their own. The MIDI controls are in UIConfigManagerLayoutControls.cpp.
#include "LayoutElement.h"
#include "LibrarianViewControl.h"
#include "ParamTable.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"

#include <tinyxml2.h>

#include <algorithm>

namespace
{

// A per-part parameter owns eight ids: a ninth copy would address the next parameter.
constexpr int kMaxCopies = kPartCount;
// Nested copies multiply; the walk builds no more layers and controls than this.
constexpr long kMaxLayoutBuilt = 100000;
// Nor does it look at more nodes than this, built or not: an element that builds nothing (of an
// unknown kind, skipped, or text) still costs its visit, once for every copy around it. The
// editor's own layout visits about 4,000.
constexpr long kMaxLayoutVisited = 250000;

bool isLayer(const std::string& tag)
{
    return tag == "layer" || tag == "sublayer";
}

// The elements that build without a parameter: a broken reference there only costs the tail.
bool needsNoParam(const std::string& tag)
{
    return isLayer(tag) || tag == "multilayer" || tag == "patchBrowser" || tag == "background";
}

bool isMIDIControl(const std::string& tag)
{
    return tag == "knobcontrol" || tag == "buttoncontrol" || tag == "menucontrol" || tag == "slidercontrol";
}

bool isPlainControl(const std::string& tag)
{
    return tag == "display" || tag == "switch" || tag == "autooff" || tag == "radio" || tag == "dropMenu" ||
           tag == "multiFx";
}

} // namespace

void UIConfigManager::processLayout(tinyxml2::XMLElement* root)
{
    mLayoutBuilt = 0;
    mLayoutVisited = 0;
    mLayoutStopped = false;
    processXMLElement(root->FirstChild(), nullptr, -1);
}

// Siblings in a loop and only children by recursion, so that the stack grows with the depth of
// the document (which the parser bounds), not with its length.
void UIConfigManager::processXMLElement(tinyxml2::XMLNode* node, ControlLayer* layer, int part)
{
    if (!graphics) return;
    for (; node && !mLayoutStopped && countLayoutVisit(); node = node->NextSibling())
        if (tinyxml2::XMLElement* element = node->ToElement()) processLayoutElement(element, layer, part);
}

bool UIConfigManager::countLayoutVisit()
{
    if (mLayoutVisited >= kMaxLayoutVisited) {
        log("CONFIG READER: layout stopped after " + std::to_string(kMaxLayoutVisited) + " elements");
        mLayoutStopped = true;
        return false;
    }
    ++mLayoutVisited;
    return true;
}

void UIConfigManager::processLayoutElement(tinyxml2::XMLElement* xml, ControlLayer* layer, int part)
{
    const LayoutElement element(xml);
    const std::string& tag = element.tag;
    int paramId = -1;
    const bool resolved = resolveLayoutParam(element, part, &paramId);
    const bool control = isPlainControl(tag) || isMIDIControl(tag);
    if (!needsNoParam(tag) && (!resolved || (control && paramId < 0))) {
        skipLayoutElement(element, "");
        return;
    }

    if (isLayer(tag)) {
        buildLayoutLayer(element, layer, part);
    } else if (tag == "multilayer") {
        buildLayoutCopies(element, layer);
    } else if (tag == "patchBrowser") {
        buildPatchBrowser(element, layer);
    } else if (tag == "background") {
        buildBackground(element, layer);
    } else if (isPlainControl(tag)) {
        if (!buildPlainControl(element, paramId, layer, part)) return;
    } else if (isMIDIControl(tag)) {
        if (!buildMIDIControl(element, paramId, layer, part)) return;
    }
    if (mLayoutStopped) return;

    // The tail: the part whose channel the parameter sends on, replacing what a creator set.
    IPluginBase* plug = graphics->GetPlug();
    IParam* param = paramId >= 0 && plug ? plug->GetParam(paramId) : nullptr;
    if (ControlAction* action = param ? param->GetControlAction() : nullptr)
        action->part = part >= 0 ? part : element.channel - 1;
}

bool UIConfigManager::countLayoutBuild()
{
    if (mLayoutBuilt >= kMaxLayoutBuilt) {
        if (!mLayoutStopped)
            log("CONFIG READER: layout stopped after " + std::to_string(kMaxLayoutBuilt) + " layers and controls");
        mLayoutStopped = true;
        return false;
    }
    ++mLayoutBuilt;
    return true;
}

bool UIConfigManager::resolveLayoutParam(const LayoutElement& element, int part, int* id)
{
    *id = -1;
    if (element.paramRef.empty()) return true;
    std::vector<std::string> items;
    Tokenize(element.paramRef, items, "+");
    if (items.empty()) return false;
    const int base = getParamByName(items[0]);
    if (base < 0) return false;
    long long resolved = (long long)base + std::max(part, 0);
    if (items.size() >= 2) resolved += layout::bounded(layout::number(items[1].c_str()));
    if (resolved < 0 || resolved >= kParameterCount) return false;
    *id = int(resolved);
    return true;
}

void UIConfigManager::skipLayoutElement(const LayoutElement& element, const std::string& why)
{
    log("CONFIG READER: " + element.tag + " " + element.label() + " skipped" + why);
}

void UIConfigManager::readLayoutList(const LayoutElement& element, const char* attribute, int* values, int count,
                                     bool bounded)
{
    std::fill(values, values + count, 0);
    const std::string text = element.text(attribute);
    getCSValues(text, values, count);
    std::vector<std::string> items;
    Tokenize(text, items, ",");
    if (!text.empty() && items.size() < size_t(count))
        log("CONFIG READER: " + element.tag + " " + element.label() + " " + attribute + " gives " +
            std::to_string(items.size()) + " of " + std::to_string(count) + " values");
    if (bounded)
        for (int i = 0; i < count; ++i) values[i] = layout::bounded(values[i]);
}

bool UIConfigManager::attachLayoutLayer(ControlLayer* layer, ControlLayer* parent)
{
    const bool attached =
        parent ? parent->childLayers.Add(layer) != nullptr : graphics->GetLayer(graphics->AttachLayer(layer)) == layer;
    if (!attached) delete layer;
    return attached;
}

void UIConfigManager::buildLayoutLayer(const LayoutElement& element, ControlLayer* parent, int part)
{
    if (!countLayoutBuild()) return;
    auto* layer = new ControlLayer(element.integer("id"), element.name);
    if (!attachLayoutLayer(layer, parent)) return;
    // Pages are found by their position too, so a nameless layer still works.
    if (element.name.empty())
        log("CONFIG READER: " + element.tag + " without name left out of the layer map");
    else
        layers[element.name] = layer;
    processXMLElement(element.element->FirstChild(), layer, part);
    // After the children, so that the setting reaches the child layers and the first control.
    layer->setIgnoreHiddenWhenUpdatingScreen(element.flag("overlay"));
}

void UIConfigManager::buildLayoutCopies(const LayoutElement& element, ControlLayer* parent)
{
    int copies = element.integer("create");
    if (copies > kMaxCopies) {
        log("CONFIG READER: multilayer " + element.name + " create " + std::to_string(copies) + " cut to " +
            std::to_string(kMaxCopies));
        copies = kMaxCopies;
    }
    for (int i = 0; i < copies && countLayoutBuild(); ++i) {
        const std::string copyName = element.name + std::to_string(i);
        auto* copy = new ControlLayer(i, copyName);
        if (!attachLayoutLayer(copy, parent)) return;
        processXMLElement(element.element->FirstChild(), copy, i);
        // After the children: a descendant of the copy's name gives way to the copy.
        layers[copyName] = copy;
    }
}

void UIConfigManager::buildPatchBrowser(const LayoutElement& element, ControlLayer* layer)
{
    if (!countLayoutBuild()) return;
    IBitmap bitmap = getImageByName(graphics, element.imageId);
    int bounds[4];
    readLayoutList(element, "bounds", bounds, 4, true);
    const IRECT area = scaledRect(bounds[0], bounds[1], bounds[2], bounds[3]);
    // The grid is always the librarian area's, whatever the element names.
    librarianView =
        new LibrarianViewControl(controller, area.L, area.T, kLibrarianArea, &bitmap, area, librarian, scale);
    placeControl(librarianView, layer);
}

void UIConfigManager::buildBackground(const LayoutElement& element, ControlLayer* layer)
{
    if (!countLayoutBuild()) return;
    IBitmap bitmap = getImageByName(graphics, element.imageId);
    int position[2];
    readLayoutList(element, "position", position, 2, true);
    placeControl(new IBitmapControl(graphics->GetPlug(), plugdraw::TruncInt(position[0] * scale),
                                    plugdraw::TruncInt(position[1] * scale), -1, &bitmap),
                 layer);
}

std::vector<std::string> UIConfigManager::layoutValueList(const LayoutElement& element)
{
    return valueLists[element.text("valueList")];
}

bool UIConfigManager::buildPlainControl(const LayoutElement& e, int id, ControlLayer* layer, int part)
{
    const std::string& tag = e.tag;
    const std::string type = e.text("type");
    int pos[4], bounds[4], vb[4], first[1];
    if (tag == "radio") {
        const int buttons = e.boundedInteger("buttons");
        if (buttons > kMaxControlValues) {
            skipLayoutElement(e, ": " + std::to_string(buttons) + " buttons");
            return false;
        }
        if (!countLayoutBuild()) return false;
        readLayoutList(e, "position", pos, 2, true);
        createRadioControl(e.name, id, pos[0], pos[1], e.imageId, buttons, part, layer, e.group);
        return true;
    }
    const bool builds = tag == "display" || tag == "switch" || tag == "autooff" ||
                        (tag == "dropMenu" && (type == "textSelection" || type == "deviceSelection" ||
                                               type == "nameSelection" || type == "dropSelection")) ||
                        (tag == "multiFx" && (type == "Knob" || type == "Menu"));
    // Another type builds nothing; its tail still runs.
    if (!builds) return true;
    if (!countLayoutBuild()) return false;

    if (tag == "display") {
        readLayoutList(e, "bounds", bounds, 4, true);
        readLayoutList(e, "displaySize", first, 1, true);
        createControlDisplay("Display", id, bounds[0], bounds[1], bounds[2], bounds[3], part, layer, e.group, first[0]);
    } else if (tag == "switch") {
        readLayoutList(e, "position", pos, 2, true);
        readLayoutList(e, "valueBounds", vb, 1, false);
        createBoolControl(e.name, id, vb[0], pos[0], pos[1], e.imageId, part, layer, e.group);
    } else if (tag == "autooff") {
        readLayoutList(e, "position", pos, 2, true);
        createSwitchControl(e.name, id, 0, pos[0], pos[1], e.imageId, part, layer, e.group);
    } else if (tag == "dropMenu") {
        readLayoutList(e, "bounds", bounds, 4, true);
        if (type == "textSelection") {
            createDropDownMenu(e.name, id, bounds[0], bounds[1], bounds[2], bounds[3], part, layer, e.group);
        } else if (type == "deviceSelection") {
            readLayoutList(e, "inputDev", first, 1, false);
            createMIDIDeviceSelectionControl("MIDI Setup", id, bounds[0], bounds[1], bounds[2], bounds[3], first[0],
                                             part, layer, e.group);
        } else if (type == "nameSelection") {
            createNameDisplay(e.name, id, bounds[0], bounds[1], bounds[2], bounds[3], e.boundedInteger("nameLen"), part,
                              layer, e.group);
        } else {
            readLayoutList(e, "valueBounds", vb, 3, false);
            createDropDownMenu2(e.name, id, bounds[0], bounds[1], bounds[2], bounds[3], vb[0], vb[1], vb[2],
                                layoutValueList(e), part, layer, e.group);
        }
    } else if (type == "Knob") {
        readLayoutList(e, "position", pos, 2, true);
        readLayoutList(e, "valueBounds", vb, 4, false);
        createNoValKnobControl(e.name, id, pos[0], pos[1], e.imageId, vb[0], vb[1], vb[2], vb[3], part, layer, e.group);
    } else {
        readLayoutList(e, "position", pos, 4, true);
        readLayoutList(e, "valueBounds", vb, 3, false);
        readLayoutList(e, "visible", first, 1, false);
        int a, b;
        e.pair("valueDisplay", &a, &b);
        createNoValDropDown(e.name, id, pos[0], pos[1], pos[2], pos[3], vb[0], vb[1], vb[2], a, b, first[0],
                            layoutValueList(e), part, layer, e.group, e.integer("white") != 0);
    }
    return true;
}
