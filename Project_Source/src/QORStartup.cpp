// The editor part of the start-up: the layers and controls the controller keeps, the progress
// overlay, the bank-name lists, the controller's own control values and the default ports.
// Whatever the configuration lacks is logged once by name and left null; later steps skip it.
#include <cmath>
#include <cstdio>
#include <limits>

#include "BankDisplayNames.h"
#include "ControlAction.h"
#include "LibrarianBankEditMenu.h"
#include "LibrarianBankNameMenus.h"
#include "LibrarianFolderMenus.h"
#include "LibrarianNumberMenus.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "QOR.h"
#include "QORParams.h"
#include "UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"

namespace
{

using namespace qorid;

enum class AtStart { Keep, Show, Hide };

// The layers kept by name, in the order they are looked up: a name is the format with each
// number from first to last ("%d" rows), or the format itself.
struct LayerRow {
    const char* format;
    int first, last;
    AtStart atStart;
};
constexpr LayerRow kLayerRows[] = {
    {"root", 0, 0, AtStart::Show},
    {"oscillators", 0, 0, AtStart::Keep},
    {"filterSlopeOverlayer", 0, 0, AtStart::Keep},
    {"effectsLayer", 0, 0, AtStart::Keep},
    {"vocoderLayer", 0, 0, AtStart::Hide},
    {"ruvoPartDisable", 0, 0, AtStart::Hide},
    {"lfoModMatrix", 0, 0, AtStart::Keep},
    {"miniMixer", 0, 0, AtStart::Keep},
    {"miniMixer2", 0, 0, AtStart::Keep},
    {"multiModeMixer2", 0, 0, AtStart::Keep},
    {"patchLibrarian", 0, 0, AtStart::Keep},
    {"multiModeSettingsPage1", 0, 0, AtStart::Show},
    {"effectConfig%02d", 1, 19, AtStart::Keep},
    {"miniMixerDelayPart%d", 1, 8, AtStart::Keep},
    {"miniMixerDelayProg%d", 1, 8, AtStart::Keep},
    {"partPanning%d", 1, 8, AtStart::Keep},
    {"progPanning%d", 1, 8, AtStart::Keep},
    {"bankAndProgram%02d", 1, 1, AtStart::Show},
    {"bankAndProgram%02d", 2, 8, AtStart::Hide},
    {"bankAndProgramMulti", 0, 0, AtStart::Hide},
    {"saveChangesLayer", 0, 0, AtStart::Hide},
    {"discardChangesLayerRight", 0, 0, AtStart::Hide},
    {"keepBankOpenLayer", 0, 0, AtStart::Hide},
    {"arpTempoLayer", 0, 0, AtStart::Keep},
    {"aboutWindow", 0, 0, AtStart::Hide},
    {"firstRunNotification", 0, 0, AtStart::Hide},
    {"bankPatchConflictWindow", 0, 0, AtStart::Hide},
    {"midiFilterSettings", 0, 0, AtStart::Hide},
    {"step%02doverlayer", 2, 32, AtStart::Keep},
    {"patchRename", 0, 0, AtStart::Hide},
    {"categoryLimit", 0, 0, AtStart::Hide},
    {"searchField", 0, 0, AtStart::Hide},
};

// The parameters whose first control the controller keeps.
constexpr int kKeptControls[] = {
    kDeviceOutSelection,
    kDeviceInSelection,
    kPatchRename,
    kControlDisplayName,
    kControlDisplayValue,
    kControlDisplayCategory,
    kControlDisplayPatch,
    kControlDisplayCC,
    kControlDisplayBuild,
    kControlDisplayMIDIOutDelay,
    kControlLibrary,
    kKeepSelectedBank,
    kPatchSearch,
    kRandomize,
    kPatchSelectionListUpper,
    kPatchSelectionListLower,
    kGlobalMidiChannel,
    kMIDIFilterTrackIncomingMIDI,
    kMIDIFilterDirectToHardware,
    kMIDIFilterToDAWBuffer,
    kSendMIDIClockPointer,
    kSendMIDIClockInfo,
};

// The filter and clock switches as the start-up sets them, with the field each one sets: a
// filter field blocks, so it is the opposite of its pass-through switch.
struct SwitchRow {
    int paramId;
    double value;
    std::atomic<bool> QOR::*field; // null: a filter (the id gives its place) or no field
};
constexpr SwitchRow kSwitchRows[] = {
    {kMIDIFilterDAWCCPassThrough, 1.0, nullptr},
    {kMIDIFilterDAWPCPassThrough, 0.0, nullptr},
    {kMIDIFilterDAWNotePassThrough, 1.0, nullptr},
    {kMIDIFilterDAWPPPassThrough, 1.0, nullptr},
    {kMIDIFilterDAWPAPassThrough, 1.0, nullptr},
    {kMIDIFilterDAWCAPassThrough, 1.0, nullptr},
    {kMIDIFilterDAWSEPassThrough, 0.0, nullptr},
    {kMIDIFilterHWCCPassThrough, 1.0, nullptr},
    {kMIDIFilterHWPCPassThrough, 0.0, nullptr},
    {kMIDIFilterHWNotePassThrough, 1.0, nullptr},
    {kMIDIFilterHWPPPassThrough, 1.0, nullptr},
    {kMIDIFilterHWPAPassThrough, 1.0, nullptr},
    {kMIDIFilterHWCAPassThrough, 1.0, nullptr},
    {kMIDIFilterHWSEPassThrough, 1.0, nullptr},
    {kMIDIFilterTrackIncomingMIDI, 1.0, &QOR::trackIncomingMidi},
    {kMIDIFilterDirectToHardware, 1.0, nullptr},
    {kMIDIFilterToDAWBuffer, 0.0, &QOR::routeMidiToHostBuffer},
    {kSendMIDIClockPointer, 0.0, &QOR::sendClockPointer},
    {kSendMIDIClockInfo, 0.0, &QOR::sendClockInfo},
};
static_assert(kMIDIFilterHWSEPassThrough - kMIDIFilterDAWCCPassThrough + 1 == QOR::kMidiFilterCount,
              "one filter field per filter switch");

// The librarian menus, each alone in a layer of its own, in the order of their ids; the
// rectangle is in unscaled editor pixels.
struct LibrarianMenuRow {
    int layerId;
    const char* layerName;
    int left, top, right, bottom;
    bool shown;
    IControl* (*make)(QOR& q, IRECT r);
};
const LibrarianMenuRow kLibrarianMenuRows[] = {
    {70, "UPPERPOPUPMENU", 379, 188, 795, 207, false,
     [](QOR& q, IRECT r) -> IControl* { return q.mLeftPatchMenu = new LeftPatchPopupMenu(&q, q.patchLibrarian, r, &q); }},
    {71, "LOWERPOPUPMENU", 379, 461, 795, 480, false,
     [](QOR& q, IRECT r) -> IControl* { return q.mRightPatchMenu = new RightPatchPopupMenu(&q, q.patchLibrarian, r, &q); }},
    {72, "LeftPerformancePopupMenu", 379, 188, 795, 207, false,
     [](QOR& q, IRECT r) -> IControl* { return q.mLeftPerfMenu = new LeftPerfPopupMenu(&q, q.patchLibrarian, r, &q); }},
    {73, "RightPerformancePopupMenu", 379, 461, 795, 480, false,
     [](QOR& q, IRECT r) -> IControl* { return q.mRightPerfMenu = new RightPerfPopupMenu(&q, q.patchLibrarian, r, &q); }},
    {74, "BANKEDITMENU", 824, 187, 901, 205, false,
     [](QOR& q, IRECT r) -> IControl* { return q.bankEditMenu = new BankEditPopupMenu(&q, q.patchLibrarian, r, &q); }},
    {75, "RightPatchPopupMenu", 379, 461, 795, 480, false,
     [](QOR& q, IRECT r) -> IControl* {
         return q.mRightCategoryMenu = new RightCategoryPopupMenu(&q, q.patchLibrarian, r, &q);
     }},
    {76, "PROGRAMNUMBERMENU", 1184, 60, 1229, 84, true,
     [](QOR& q, IRECT r) -> IControl* {
         return q.programNumberMenu = new ProgramNumberPopupMenu(&q, q.patchLibrarian, r, &q);
     }},
    {77, "BANKNUMBERMENUPROGRAMS", 1142, 60, 1180, 84, true,
     [](QOR& q, IRECT r) -> IControl* { return q.bankNumberMenu = new BankNumberPopupMenu(&q, q.patchLibrarian, r, &q); }},
    {78, "RightSearchPopupMenu", 394, 461, 795, 480, false,
     [](QOR& q, IRECT r) -> IControl* { return q.mRightSearchMenu = new RightSearchPopupMenu(&q, q.patchLibrarian, r, &q); }},
    {79, "PERFBANKNAMEMENUPROGRAMS", 1142, 60, 1180, 84, false,
     [](QOR& q, IRECT r) -> IControl* {
         return q.perfBankNameMenu = new PerfBankNamePopupMenu(&q, q.patchLibrarian, r, &q);
     }},
    {80, "PROGBANKNAMEMENUPROGRAMS", 1142, 60, 1180, 84, false,
     [](QOR& q, IRECT r) -> IControl* {
         return q.progBankNameMenu = new ProgBankNamePopupMenu(&q, q.patchLibrarian, r, &q);
     }},
    {81, "LeftPatternPopupMenu", 379, 188, 795, 207, false,
     [](QOR& q, IRECT r) -> IControl* { return q.mLeftPatternMenu = new LeftPatternPopupMenu(&q, q.patchLibrarian, r, &q); }},
    {82, "RightPatternPopupMenu", 379, 461, 795, 480, false,
     [](QOR& q, IRECT r) -> IControl* {
         return q.mRightPatternMenu = new RightPatternPopupMenu(&q, q.patchLibrarian, r, &q);
     }},
};

// Lies over a notice and puts it away on a click, which then goes no further: until then the
// notice takes every click on its area, so the controls under it would not answer.
class NoticeCloser : public IControl
{
public:
    NoticeCloser(IPluginBase* plug, IRECT r, ControlLayer* notice) : IControl(plug, r), mNotice(notice) {}
    void OnMouseDown(int, int, IMouseMod*) override { mNotice->Hide(true); }
    bool Draw(IGraphics*) override { return true; }

private:
    ControlLayer* mNotice;
};

} // namespace

ControlLayer* QOR::keptLayer(const std::string& name) const
{
    auto it = namedLayers.find(name);
    return it == namedLayers.end() ? nullptr : it->second;
}

IControl* QOR::firstControl(int paramId) const
{
    auto it = firstControls.find(paramId);
    return it == firstControls.end() ? nullptr : it->second;
}

void QOR::keepNamedLayers()
{
    for (const LayerRow& row : kLayerRows) {
        for (int n = row.first; n <= row.last; ++n) {
            char name[64];
            std::snprintf(name, sizeof name, row.format, n);
            auto it = uiConfigManager->layers.find(name); // looked up, never inserted
            ControlLayer* layer = it == uiConfigManager->layers.end() ? nullptr : it->second;
            namedLayers[name] = layer;
            if (!layer) {
                log(std::string("Start-up: layer ") + name + " missing");
                continue;
            }
            if (row.atStart != AtStart::Keep) layer->Hide(row.atStart == AtStart::Hide);
        }
        // Greyed before the rename layer, as the configuration's order expects.
        if (row.format == std::string("step%02doverlayer")) {
            ControlAction* action = GetParam(kRandomize)->GetControlAction();
            if (action && !action->controls.empty()) action->controls.front()->GrayOut(true);
        }
    }
}

void QOR::keepFirstControls()
{
    auto keep = [this](int id) {
        ControlAction* action = GetParam(id)->GetControlAction();
        IControl* control = action && !action->controls.empty() ? action->controls.front() : nullptr;
        firstControls[id] = control;
        if (!control) log("Start-up: control of parameter " + std::to_string(id) + " missing");
    };
    for (int id : kKeptControls) keep(id);
    for (int part = 0; part < 8; ++part) keep(kMultiPartMIDICh + part);
    for (int id = kMIDIFilterDAWCCPassThrough; id <= kMIDIFilterHWSEPassThrough; ++id) keep(id);

    const struct {
        ITextControl** member;
        int id;
    } readOuts[] = {
        {&statusDisplay, kControlDisplayName}, {&valueDisplay, kControlDisplayValue},
        {&ccDisplay, kControlDisplayCC},       {&categoryDisplay, kControlDisplayCategory},
        {&patchDisplay, kControlDisplayPatch}, {&buildDisplay, kControlDisplayBuild},
        {&dawOffsetDisplay, kControlDisplayMIDIOutDelay},
    };
    for (const auto& r : readOuts) *r.member = dynamic_cast<ITextControl*>(firstControl(r.id));
    upperSelectionControl = firstControl(kPatchSelectionListUpper);
    lowerSelectionControl = firstControl(kPatchSelectionListLower);
}

void QOR::buildProgressOverlay(int width, int height)
{
    IGraphics* g = GetGUI();
    progressLayer = new ControlLayer(0, "PROGRESS");
    IBitmap overlay = g->LoadIBitmap(122, "resources/img/qor-progress-overlay.png", 1.0, 1, false);
    progressIndicator =
        new ProgressIndicator(progressLayer, this, 0, 0, width, height, -1, &overlay, IRECT(0, 0, width, height));
    cancelRequestSwitch1 = uiConfigManager->createAutoOffSwitchControl(
        "Cancel Data Request", kCancelDataRequest, 835, 457, "BUTTON_LIB_CANCEL_ID", 0, progressLayer, "Global");
    cancelRequestSwitch2 = uiConfigManager->createAutoOffSwitchControl(
        "Cancel Data Request", kCancelDataRequest, 740, 83, "BUTTON_LIB_CANCEL_ID", 0, progressLayer, "Global");
    progressIndicator->Hide(true);
    progressLayer->Hide(true);
}

void QOR::buildUnsavedMark()
{
    // The strip the librarian page shows exactly while the upper bank holds unsaved edits, right
    // of the bank-edit menu (unscaled editor pixels).
    ControlLayer* strip = keptLayer("discardChangesLayerRight");
    if (!strip) return;
    const IColor accent(255, 255, 61, 139);
    IText text(int(11 * uiScale), &accent, "Arial", IText::kStyleBold, IText::kAlignNear);
    const IRECT r(int(1040 * uiScale), int(187 * uiScale), int(1160 * uiScale), int(206 * uiScale));
    strip->controls.Add(new ITextControl(this, r, &text, "UNSAVED CHANGES"));
    // A save hides it on its own page, where nothing else is drawn over its place: the place is
    // drawn again as the layer hides.
    strip->setIgnoreHiddenWhenUpdatingScreen(true);
}

void QOR::buildConflictNoticeCloser()
{
    ControlLayer* notice = keptLayer("bankPatchConflictWindow");
    IControl* panel = notice ? notice->controls.Get(0) : nullptr;
    if (!panel) return;
    notice->controls.Add(new NoticeCloser(this, *panel->GetRECT(), notice));
    // Its place is drawn again as it hides: the page under it is not dirty.
    notice->setIgnoreHiddenWhenUpdatingScreen(true);
}

void QOR::buildBankLists()
{
    const std::vector<PatchFile*>& banks = patchLibrarian->singleFiles;
    std::vector<std::string> fileNames;
    for (const PatchFile* bank : banks) fileNames.push_back(bank->fileName);
    auto fill = [&](int paramId, const char* listName, std::string* name, std::string* folder) {
        IParam* param = GetParam(paramId);
        // The layout's placeholder words go: the list is the library's alone.
        param->ResetDisplayTexts();
        param->InitEnum(listName, 0, int(banks.size()), "", "", -1, -1);
        setBankListTexts(fileNames, {paramId});
        *name = param->GetDisplayText(0);
        const double at = param->Value();
        if (!banks.empty() && at >= 0.0 && at < double(banks.size())) *folder = banks[size_t(at)]->folderName;
    };
    fill(kPatchSelectionListUpper, "Bank Selection List 1", &upperBankName, &upperBankFolder);
    attachLibrarianMenu(70);
    fill(kPatchSelectionListLower, "Bank Selection List 2", &lowerBankName, &lowerBankFolder);
    for (int id = 71; id <= 82; ++id) attachLibrarianMenu(id);
    log("Librarian menus attached");
}

void QOR::attachLibrarianMenu(int layerId)
{
    for (const LibrarianMenuRow& row : kLibrarianMenuRows) {
        if (row.layerId != layerId) continue;
        auto* layer = new ControlLayer(row.layerId, row.layerName);
        const IRECT r(int(row.left * uiScale), int(row.top * uiScale), int(row.right * uiScale),
                      int(row.bottom * uiScale));
        layer->controls.Add(row.make(*this, r));
        GetGUI()->AttachLayer(layer);
        layer->Hide(!row.shown);
        namedLayers[row.layerName] = layer;
    }
}

void QOR::setAsUserInput(int paramId, double value)
{
    if (IControl* control = firstControl(paramId))
        control->SetValueFromUserInput(GetParam(paramId)->GetNormalized(value));
}

void QOR::setStartControls()
{
    setAsUserInput(kKeepSelectedBank, 1.0);
    partSelectSendFlag = true;
    for (int part = 0; part < 8; ++part) setAsUserInput(kMultiPartMIDICh + part, double(part));
    setAsUserInput(kGlobalMidiChannel, 15.0);
    deviceId = 15;
}

void QOR::setFilterSwitches()
{
    for (const SwitchRow& row : kSwitchRows) {
        setAsUserInput(row.paramId, row.value);
        const bool on = row.value != 0.0;
        if (row.field)
            (this->*row.field) = on;
        else if (row.paramId <= kMIDIFilterHWSEPassThrough)
            midiFilterSwitches[size_t(row.paramId - kMIDIFilterDAWCCPassThrough)] = !on;
    }
}

void QOR::refreshControls()
{
    IGraphics* g = GetGUI();
    for (int id = 0; id < NParams(); ++id) {
        const double v = GetParam(id)->Value();
        // Only whole numbers an int holds; NaN fails the test.
        if (!(v >= 1.0 && v < double(std::numeric_limits<int>::max()))) continue;
        g->SetParameterFromPlug(id, double(int(v)), false);
    }
}

void QOR::reopenDefaultPorts()
{
    IGraphics* g = GetGUI();
    const std::string& outName = uiSettingsLines[3];
    const std::string& inName = uiSettingsLines[4];
    log("DEFAULT SETTINGS: MIDI In device stored " + inName);
    int port = 1;
    midiInIndex = setExternalMIDIIn(port, inName.c_str());
    showOpenedDevice(kDeviceInSelection, midiInIndex, inName);
    log("DEFAULT SETTINGS: MIDI Out device stored " + outName);
    port = 1;
    noteOutputOpened(setExternalMIDIOut(port, outName.c_str()));
    showOpenedDevice(kDeviceOutSelection, midiOutIndex, outName);
    // An output that opened counts, and so does one that is away: it is followed by its name,
    // and edits say that it is away rather than ask for a choice. The start-up's request waits
    // for an open output.
    midiIOSet = (midiOutIndex > 0 && GetParam(kDeviceOutSelection)->Value() > 0.0) || mOutputChosen;
    g->SetParameterFromPlug(kDeviceInSelection, GetParam(kDeviceInSelection)->Value(), false);
    g->SetParameterFromPlug(kDeviceOutSelection, GetParam(kDeviceOutSelection)->Value(), false);
    initialRequestPending = true;
}
