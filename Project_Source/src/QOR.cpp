#include "QOR.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "ControlDisplay.h"
#include "DataFolder.h"
#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "QORParams.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "TabSwitchFunctions.h"
#include "UIConfigManager.h"
#include "debugger.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IGraphicsMac.h"

namespace {

constexpr int kVendorVersion = 0x00010009;
constexpr int kUniqueID = 0x616E6E71; // "annq"
constexpr int kMfrID = 0x56654231;    // "VeB1"
constexpr int kLatency = 128;
constexpr const char* kChannelIO = "2-2";
constexpr const char* kMfrName = "Tessmoor Audio";

} // namespace

QOR::QOR(IPluginInstanceInfo instanceInfo)
    : IPluginAU(instanceInfo, 2208, kChannelIO, 0, DataFolder::kEffectName, "", kMfrName, kVendorVersion, kUniqueID,
                kMfrID, kLatency, true, true, true, 0)
{
    try {
        for (int i = 0; i < kPartSlots; ++i) partOrder[size_t(i)] = i;
        std::srand(unsigned(std::time(nullptr)));
        hostSampleRate = GetSampleRate();

        logFilePath = DataFolder::logFilePath();
        logEnabled = DebuggerOutput::openDebugFile(logFilePath);
        uiFilePath = DataFolder::uiFilePath();
        readUISettings();

        log("INITIALIZATION STARTED!");
        SetLatency(kLatency);
        log("Data folder located at " + getDataFolder());

        initialize(instanceInfo, 0, qorid::kParameterCount, kChannelIO, 0, DataFolder::kEffectName, "", kMfrName,
                   kVendorVersion, kUniqueID, kMfrID, kLatency, true, true, true, 0);
        addNonAutomateParamCount(qorid::kParameterCount);

        patchManager = new PatchManager(this);
        log("PATCH MANAGER INITIALIZED...");

        patchLibrarian = new PatchLibrarian(this);
        patchLibrarian->logEnabled = logEnabled;
        patchLibrarian->logFilePath = logFilePath;
        patchLibrarian->upperFileIndex = 0;
        patchLibrarian->lowerFileIndex = 0;
        log("PATCH LIBRARIAN INITIALIZED...");
        patchLibrarian->loadPatchesFromFilesystem(getPatchesFolderStr());
        log("PATCH LIBRARIAN COMPLETED LOADING SINGLES...");

        // The editor at the UI file's size; the products are truncated (1500 x 1.15 is 1724).
        const int width = int(1500 * uiScale), height = int(757 * uiScale);
        auto* graphics = new IGraphicsMac(this, width, height, 0);
        graphics->SetBundleID(QOR_BUNDLE_ID);
        // Its debug switch is off: the reader writes no lines of its own.
        uiConfigManager = new UIConfigManager();
        log("STARTING USER INTERFACE CONFIGURATION...");
        try {
            uiConfigManager->readUIConfig(graphics, this, patchLibrarian, 0, uiScale);
        } catch (...) {
            delete graphics; // not the framework's yet
            throw;
        }
        librarianView = uiConfigManager->librarianView;
        log("USER INTERFACE CONFIGURATION COMPLETED... BUILDING UI");
        keepNamedLayers();
        graphics->AttachBackground(104, "resources/img/main-bg-frame.png", uiScale);
        AttachGraphics(graphics);
        log("Layers attached...");
        buildProgressOverlay(width, height);
        buildUnsavedMark();
        buildConflictNoticeCloser();

        midiManager = new MIDIMessageManager(this, patchManager, patchLibrarian, graphics);
        // Declares no presets, so nothing is made; the snapshot must follow it.
        MakeDefaultPreset("-", 64);
        patchManager->init();
        keepFirstControls();
        patchSearchControl = firstControl(qorid::kPatchSearch);
        quickTabAction = GetParam(qorid::kQuickTab)->GetControlAction();
        mainTabAction = GetParam(qorid::kMainTab)->GetControlAction();
        log("Control set 1 attached");

        buildBankLists();
        setStartControls();
        log("Control set 2 attached... Resetting");

        Reset();
        for (IControl* list : {upperSelectionControl, lowerSelectionControl})
            if (list) list->SetValueFromPlug(0.0);
        graphics->SetParameterFromPlug(qorid::kOverrideTempo, 1.0, false);
        overrideTempoAction = GetParam(qorid::kOverrideTempo)->GetControlAction();
        graphics->SetParameterFromPlug(qorid::kCurrentModel, 0.0, false);
        currentModel = int(GetParam(qorid::kCurrentModel)->Value());
        // The bank switch shows the top of its range whatever its steps.
        GetParam(qorid::kControlProgBank)->Set(1.0);
        graphics->SetParameterFromPlug(qorid::kControlProgBank, 1.0, true);
        graphics->SetParameterFromPlug(qorid::kQuickTab, 0.0, false);
        selectedPart = int(GetParam(qorid::kQuickTab)->Value());
        graphics->SetParameterFromPlug(qorid::kLibSyncTimer, 2.0, false);
        graphics->AttachLayer(progressLayer); // last, so it lies on top

        const std::string& size = uiSettingsLines[1];
        const int sizeValue = size == "small" ? 0 : size == "normal" ? 1 : size == "large" ? 2 : -1;
        if (sizeValue >= 0) graphics->SetParameterFromPlug(qorid::kUserInterfaceSize, sizeValue, false);

        if (uiSettingsLines[2] == "no") {
            if (ControlLayer* notice = keptLayer("firstRunNotification")) notice->Hide(false);
            firstRunNoticeShown = true;
            for (const char* kind : {"partPanning", "progPanning"})
                for (int n = 1; n <= 8; ++n)
                    if (ControlLayer* layer = keptLayer(kind + std::to_string(n))) layer->Hide(true);
        }

        setFilterSwitches();
        refreshControls();
        if (GetParam(qorid::kGlobalLocalControl)->Value() == 0.0) localControlOn = false;
        log("Plug-in is ready to load!");
        if (defaultPortsStored && uiSettingsLines[2] == "yes") reopenDefaultPorts();

        graphics->SetParameterFromPlug(qorid::kMainTab, 2.0, false);
        TabSwitchFunctions::mainTabSwitch(this, qorid::kMainTab, 2, currentModel, selectedPart);
        startupComplete = true;
    } catch (...) {
        // The destructor does not run for a half-built object; what was made is freed here.
        shutdown();
        throw;
    }
}

QOR::~QOR() { shutdown(); }

void QOR::shutdown()
{
    // Input first, so no message reaches an object that is being taken apart.
    CloseExternalMIDIPorts();
    shutdownStep("MIDI ports closed");
    midiIOSet = false;
    shutdownStep("midiIOSet cleared");
    // No job may outlive what it works on: cancelled, clock stopped and joined before any
    // manager or bank goes.
    if (midiManager) {
        midiManager->stopAndJoin();
        shutdownStep("workers joined");
        delete midiManager;
        midiManager = nullptr;
        shutdownStep("protocol manager deleted");
    }
    if (patchLibrarian) {
        patchLibrarian->releaseRetiredBanks();
        delete patchLibrarian;
        patchLibrarian = nullptr;
        shutdownStep("librarian deleted");
    }
    if (patchManager) {
        delete patchManager;
        patchManager = nullptr;
        shutdownStep("patch manager deleted");
    }
    releaseSlotMenus(true);
    if (uiConfigManager) {
        uiConfigManager->ClearImageCache();
        delete uiConfigManager;
        uiConfigManager = nullptr;
        shutdownStep("configuration manager deleted");
    }
}

void QOR::readUISettings()
{
    // Only the head of the file is read: five short lines never need more, and an odd file
    // (huge, or a device) cannot hold up the start-up.
    std::string bytes;
    if (FILE* f = std::fopen(uiFilePath.c_str(), "rb")) {
        bytes.resize(kMaxUIFileBytes);
        bytes.resize(std::fread(&bytes[0], 1, bytes.size(), f));
        std::fclose(f);
    }
    parseUISettings(bytes, uiSettingsLines);
    const std::string& size = uiSettingsLines[1];
    uiScale = size == "small" ? 0.85 : size == "large" ? 1.15 : 1.0;
    defaultPortsStored = !uiSettingsLines[3].empty();
}

void QOR::parseUISettings(const std::string& bytes, std::array<std::string, kUILines>& lines)
{
    for (std::string& line : lines) line.clear();
    size_t pos = 0;
    for (std::string& line : lines) {
        if (pos >= bytes.size()) break;
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        line.assign(bytes, pos, end - pos);
        pos = end + 1;
        size_t keep = line.find_last_not_of(" \n\r\t");
        line.erase(keep == std::string::npos ? 0 : keep + 1);
    }
}

std::string QOR::getDataFolder() const { return DataFolder::getDataFolder(); }

std::string QOR::getPatchesFolderStr() const { return DataFolder::getPatchesFolderStr(); }

int QOR::getPatchesFolderLength() const { return DataFolder::getPatchesFolderLength(); }

void QOR::log(const std::string& text) const
{
    log(text.c_str());
}

void QOR::log(const char* text) const
{
    if (!logEnabled) return;
    // The render call may write neither the file nor the echo on standard output.
    if (InRenderCall())
        mOutPrints.laterLine(text);
    else
        DebuggerOutput::printDebugInfo(logFilePath, text);
}

void QOR::DisplayProcessingIndicator(bool on)
{
    deviceTransferActive = false;
    auto hide = [](auto* thing, bool hidden) {
        if (thing) thing->Hide(hidden);
    };
    const bool librarianTab = GetParam(qorid::kMainTab)->Value() == 1.0;
    if (on) {
        hide(progressIndicator, false);
        hide(progressLayer, false);
        hide(cancelRequestSwitch1, true);
        hide(cancelRequestSwitch2, true);
        if (librarianTab) {
            hide(cancelRequestSwitch1, false);
            hide(keptLayer("categoryLimit"), true);
            hide(keptLayer("searchField"), true);
            if (patchSearchControl) patchSearchControl->GrayOut(true);
        } else {
            hide(cancelRequestSwitch2, false);
        }
        return;
    }
    hide(progressIndicator, true);
    hide(progressLayer, true);
    hide(cancelRequestSwitch1, true);
    hide(cancelRequestSwitch2, true);
    if (midiManager) midiManager->expectingEditDump = false;
    if (librarianTab && !patternMode && !performanceMode) {
        const bool searching = GetParam(qorid::kPatchSearch)->Value() == 1.0;
        hide(keptLayer(searching ? "searchField" : "categoryLimit"), false);
        if (patchSearchControl) patchSearchControl->GrayOut(false);
    }
}

int QOR::getTimerValue()
{
    static constexpr int kPeriods[] = {50, 75, 100, 200, 300, 400, 500};
    const IParam* param = GetParam(qorid::kLibSyncTimer);
    const double v = param ? param->Value() : -1.0;
    // Truncated toward zero, so -0.5 is still entry 0; NaN fails both tests.
    if (!(v > -1.0 && v < 7.0)) return 100;
    return kPeriods[int(v)];
}

void QOR::showStatus(const char* text)
{
    // A worker job past its end text shows its texts once it has ended.
    if (midiManager && midiManager->sender && midiManager->sender->holdEndText(text)) return;
    if (statusDisplay) statusDisplay->SetTextFromPlug(text);
}

void QOR::setLibrarianViewDirty()
{
    // Dirty without handing the control's value to its parameter.
    if (librarianView) librarianView->SetDirty(false);
}

void QOR::displayText(std::string name, std::string value, std::string cc)
{
    showStatus(name.c_str());
    if (valueDisplay) valueDisplay->SetTextFromPlug(value.c_str());
    if (ccDisplay) ccDisplay->SetTextFromPlug(cc.c_str());
}

void QOR::displayCategoryName(std::string text)
{
    if (categoryDisplay) categoryDisplay->SetTextFromPlug(text.c_str());
}

void QOR::displayPatchName(std::string text)
{
    if (patchDisplay) patchDisplay->SetTextFromPlug(text.c_str());
}

void QOR::displayBuild(std::string text)
{
    if (buildDisplay) buildDisplay->SetTextFromPlug(text.c_str());
}

std::string QOR::getValueString(double value) { return ControlDisplay::getValueString(value); }

std::string QOR::getPanelString(int part, std::string text)
{
    // Returned by value: callers on several threads would otherwise share one member.
    return "Part " + std::to_string(static_cast<long long>(part) + 1) + " " + text;
}

void QOR::OpenDataDirectory()
{
    if (IGraphics* g = GetGUI()) g->OpenURL(getDataFolder().c_str(), nullptr, nullptr, nullptr);
}

// The creation glue, beside the constructor so that whatever builds a QOR also links the
// framework's MakePlug: the host's open selector reaches it.
IPluginAU* MakePlug()
{
    // One instance is built at a time, whatever threads the host opens them from.
    static KIT_Mutex makeLock;
    KIT_MutexLock lock(&makeLock);
    IPluginInstanceInfo info;
    info.bundleID.Set(QOR_BUNDLE_ID);
    info.cocoaViewFactoryClassName.Set(QOR_COCOA_VIEW_CLASS);
    return new QOR(info);
}
