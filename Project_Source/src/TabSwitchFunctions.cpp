// Page and part switching. A layer the configuration lacks is null and skipped; a value outside
// its range selects nothing.
#include "TabSwitchFunctions.h"

#include <cstdio>
#include <string>

#include "LibrarianViewControl.h"
#include "QOR.h"
#include "QORParams.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IParam.h"

namespace
{

using namespace qorid;

// Hidden by every switch of the main tab, in this order (the randomize button is greyed after
// the menus).
const char* const kMenuLayers[] = {
    "UPPERPOPUPMENU",       "LOWERPOPUPMENU",        "LeftPerformancePopupMenu", "RightPerformancePopupMenu",
    "LeftPatternPopupMenu", "RightPatternPopupMenu", "RightPatchPopupMenu",      "RightSearchPopupMenu",
    "BANKEDITMENU",
};
struct LayerRun {
    const char* format;
    int first, last;
};
const LayerRun kHiddenLayers[] = {
    {"multiModeSettingsPage1", 0, 0},   {"effectConfig%02d", 1, 19},
    {"step%02doverlayer", 2, 32},       {"miniMixerDelayPart%d", 1, 8},
    {"miniMixerDelayProg%d", 1, 8},     {"vocoderLayer", 0, 0},
    {"filterSlopeOverlayer", 0, 0},     {"arpTempoLayer", 0, 0},
    {"ruvoPartDisable", 0, 0},          {"categoryLimit", 0, 0},
    {"discardChangesLayerRight", 0, 0}, {"keepBankOpenLayer", 0, 0},
    {"saveChangesLayer", 0, 0},         {"searchField", 0, 0},
};

std::string numbered(const char* format, int n)
{
    char name[64];
    std::snprintf(name, sizeof name, format, n);
    return name;
}

void hide(QOR* plug, const std::string& name, bool hidden = true)
{
    if (ControlLayer* layer = plug->keptLayer(name)) layer->Hide(hidden);
}
void show(QOR* plug, const std::string& name)
{
    hide(plug, name, false);
}
void gray(QOR* plug, const std::string& name, bool grayed)
{
    if (ControlLayer* layer = plug->keptLayer(name)) layer->GrayOut(grayed);
}
void hideRun(QOR* plug, const char* format, int first, int last)
{
    for (int n = first; n <= last; ++n) hide(plug, numbered(format, n));
}

void grayRandomize(QOR* plug, bool grayed)
{
    if (IControl* button = plug->firstControl(kRandomize)) button->GrayOut(grayed);
}

void showProgress(QOR* plug, bool shown)
{
    if (plug->progressIndicator) plug->progressIndicator->Hide(!shown);
    if (plug->progressLayer) plug->progressLayer->Hide(!shown);
}

bool validPart(int part)
{
    return part >= 0 && part < 8;
}

// The integer value of a per-part parameter; the part is checked by the caller.
int partValue(QOR* plug, int base, int part)
{
    return int(plug->GetParam(base + part)->Value());
}

// The child at a position of the list (not an id); null past the end.
ControlLayer* childAt(ControlLayer* layer, int position)
{
    if (!layer || position < 0 || position >= layer->childLayers.GetSize()) return nullptr;
    return layer->childLayers.Get(position);
}

// The child with id shown, the others hidden, id remembered for the next show of the layer.
void selectChild(ControlLayer* layer, int id)
{
    if (!layer) return;
    layer->selectedChildId = id;
    for (int i = 0, n = layer->childLayers.GetSize(); i < n; ++i) {
        ControlLayer* child = layer->childLayers.Get(i);
        child->Hide(child->id != id);
    }
}

void showBankAndProgram(QOR* plug, int part)
{
    hideRun(plug, "bankAndProgram%02d", 1, 8);
    hide(plug, "bankAndProgramMulti");
    if (plug->performanceMode)
        show(plug, "bankAndProgramMulti");
    else if (validPart(part))
        show(plug, numbered("bankAndProgram%02d", part + 1));
}

void showNames(QOR* plug, int namePart, int categoryPart)
{
    if (validPart(namePart)) {
        char name[IParam::kDisplayTextLen];
        plug->GetParam(kPatchName + namePart)->GetDisplayForHost(name);
        plug->displayPatchName(name);
    }
    if (validPart(categoryPart) && plug->uiConfigManager) {
        const auto& lists = plug->uiConfigManager->valueLists;
        auto it = lists.find("categoryName");
        const int at = partValue(plug, kCategoryName, categoryPart);
        const bool found = it != lists.end() && at >= 0 && size_t(at) < it->second.size();
        plug->displayCategoryName(found ? it->second[size_t(at)] : std::string());
    }
}

// Each oscillator's pulse-width zone: usable only for the waveforms that have a pulse width.
void oscillatorZones(QOR* plug, int part)
{
    const int waveforms[] = {kOscillator1Waveform, kOscillator2Waveform, kOscillator3Waveform};
    for (int n = 0; n < 3; ++n) {
        ControlLayer* oscillators = plug->keptLayer("oscillators");
        ControlLayer* zones = childAt(oscillators, oscillators ? oscillators->selectedChildId : -1);
        if (!zones) return;
        const int zone = 10 * (n + 1);
        const int w = partValue(plug, waveforms[n], part);
        zones->showMultiLayers(zone);
        zones->GrayOutCustomZone(!(w == 0 || w == 4), zone);
    }
}

void filterSlope(QOR* plug, int part)
{
    hide(plug, "filterSlopeOverlayer", partValue(plug, kFilterType, part) < 3);
}

void modulationMatrix(QOR* plug, int part)
{
    ControlLayer* matrix = plug->keptLayer("lfoModMatrix");
    if (ControlLayer* page = childAt(matrix, matrix ? matrix->selectedChildId : -1))
        page->showMultiLayers(partValue(plug, kMatrixSelector, part) + 10);
}

void effectRouting(QOR* plug, int part)
{
    const int used = partValue(plug, kMultiPartEffectsUsed, part);
    const int routing = partValue(plug, used == 0 ? kFXMultiRoutingConfig : kFXRoutingConfig, part);
    ControlLayer* effects = plug->keptLayer("effectsLayer");
    if (ControlLayer* page = childAt(effects, effects ? effects->selectedChildId : -1))
        page->showMultiLayers(used + 10);
    if (routing >= 0 && routing <= 18) show(plug, numbered("effectConfig%02d", routing + 1));
}

void librarianPage(QOR* plug)
{
    grayRandomize(plug, true);
    showProgress(plug, true);
    if (plug->librarianView) plug->librarianView->mDragEnabled = true;
    show(plug, "BANKEDITMENU");
    hide(plug, "keepBankOpenLayer");
    show(plug, "categoryLimit");
    show(plug, "saveChangesLayer");
    show(plug, plug->GetParam(kBankEditUnsaved)->Value() == 1.0 ? "discardChangesLayerRight" : "keepBankOpenLayer");
    if (plug->performanceMode) {
        show(plug, "LeftPerformancePopupMenu");
        show(plug, "RightPerformancePopupMenu");
    } else if (plug->patternMode) {
        show(plug, "LeftPatternPopupMenu");
        show(plug, "RightPatternPopupMenu");
    } else {
        show(plug, "UPPERPOPUPMENU");
        if (plug->categoryListShown) {
            show(plug, "RightPatchPopupMenu");
        } else if (!plug->searchListShown) {
            show(plug, "LOWERPOPUPMENU");
        } else {
            hide(plug, "categoryLimit");
            show(plug, "searchField");
            show(plug, "RightSearchPopupMenu");
        }
    }
    showProgress(plug, false);
}

} // namespace

void TabSwitchFunctions::mainTabSwitch(QOR* plug, int, int tab, int model, int part)
{
    ControlLayer* root = plug->keptLayer("root");
    selectChild(root, tab);
    hide(plug, "miniMixer", tab == 0);
    hide(plug, "miniMixer2", tab == 0);
    for (const char* menu : kMenuLayers) hide(plug, menu);
    grayRandomize(plug, true);
    for (const LayerRun& run : kHiddenLayers)
        if (run.last == 0)
            hide(plug, run.format);
        else
            hideRun(plug, run.format, run.first, run.last);
    showBankAndProgram(plug, part);
    hideRun(plug, "partPanning%d", 1, 8);
    hideRun(plug, "progPanning%d", 1, 8);
    showNames(plug, part, part);

    if (tab == 0) {
        // The performance page: its mixer, and each part's panning strip of the effects it uses.
        show(plug, "multiModeMixer2");
        gray(plug, "multiModeMixer2", model == 1);
        show(plug, "multiModeSettingsPage1");
        for (int p = 1; p <= 8; ++p) {
            const char* format = partValue(plug, kMultiPartEffectsUsed, p - 1) != 0 ? "progPanning%d" : "partPanning%d";
            const std::string name = numbered(format, p);
            show(plug, name);
            if (p >= 7) gray(plug, name, model == 2);
        }
        return;
    }
    if (tab < 0) return;

    hide(plug, "multiModeMixer2");
    show(plug, "miniMixer2");
    gray(plug, "miniMixer2", model == 1);
    if (model == 1) show(plug, "ruvoPartDisable");
    for (int p = 1; p <= 8; ++p) {
        const bool program = partValue(plug, kMultiPartEffectsUsed, p - 1) != 0;
        show(plug, numbered(program ? "miniMixerDelayProg%d" : "miniMixerDelayPart%d", p));
    }
    grayRandomize(plug, false);
    selectChild(childAt(root, tab), part);

    if (tab == 1) return librarianPage(plug);
    if (tab == 5) {
        show(plug, "vocoderLayer");
        gray(plug, "vocoderLayer", model != 1);
    }
    if (tab == 6) show(plug, "arpTempoLayer");
    if (!validPart(part)) return;
    if (tab == 2) oscillatorZones(plug, part);
    if (tab == 3) filterSlope(plug, part);
    if (tab == 4) modulationMatrix(plug, part);
    if (tab == 5) effectRouting(plug, part);
}

void TabSwitchFunctions::quickTabSwitch(QOR* plug, int paramId, int part, int, bool sendToDevice)
{
    const int q = int(plug->GetParam(paramId)->Value());
    showBankAndProgram(plug, part);
    ControlLayer* root = plug->keptLayer("root");
    const int page = root ? root->selectedChildId : 0;
    if (page <= 0) return;

    bool arp = false;
    if (ControlLayer* pageLayer = childAt(root, page)) {
        selectChild(pageLayer, part);
        plug->selectedPart = q;
        if (page == 1) {
            showProgress(plug, true);
            if (validPart(q))
                plug->GetGUI()->SetParameterFromPlug(kRequestFromBank, partValue(plug, kMultiPartBank, q), false);
            showProgress(plug, false);
        } else if (validPart(q)) {
            if (page == 2) oscillatorZones(plug, q);
            if (page == 3) filterSlope(plug, q);
            if (page == 4) modulationMatrix(plug, q);
            if (page == 5) {
                hideRun(plug, "effectConfig%02d", 1, 19);
                effectRouting(plug, q);
            }
        }
        if (page == 6) {
            hideRun(plug, "step%02doverlayer", 2, 32);
            arp = true;
        }
        showNames(plug, part, q);
    }
    if (sendToDevice)
        plug->sendPatchAndPatternToDevice(part, true, false, false, arp, false);
    else
        plug->partSelectSendFlag = true;
}

void TabSwitchFunctions::showPartNames(QOR* plug, int namePart, int categoryPart)
{
    showNames(plug, namePart, categoryPart);
}
