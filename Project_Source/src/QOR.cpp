#include "QOR.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "DataFolder.h"
#include "QORParams.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "UIConfigManager.h"
#include "debugger.h"
#include "kit/plugin/IControl.h"

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

        // Declares no presets, so nothing is made; the snapshot must follow it.
        MakeDefaultPreset("-", 64);
        patchManager->init();

        Reset();
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
    if (uiConfigManager) {
        uiConfigManager->ClearImageCache();
        delete uiConfigManager;
        uiConfigManager = nullptr;
        shutdownStep("configuration manager deleted");
    }
}

void QOR::readUISettings()
{
    for (std::string& line : uiSettingsLines) line.clear();
    // Only the head of the file is read: five short lines never need more, and an odd file
    // (huge, or a device) cannot hold up the start-up.
    std::string bytes;
    if (FILE* f = std::fopen(uiFilePath.c_str(), "rb")) {
        bytes.resize(kMaxUIFileBytes);
        bytes.resize(std::fread(&bytes[0], 1, bytes.size(), f));
        std::fclose(f);
    }
    size_t pos = 0;
    for (std::string& line : uiSettingsLines) {
        if (pos >= bytes.size()) break;
        size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) end = bytes.size();
        line.assign(bytes, pos, end - pos);
        pos = end + 1;
        size_t keep = line.find_last_not_of(" \n\r\t");
        line.erase(keep == std::string::npos ? 0 : keep + 1);
    }
    const std::string& size = uiSettingsLines[1];
    uiScale = size == "small" ? 0.85 : size == "large" ? 1.15 : 1.0;
    defaultPortsStored = !uiSettingsLines[3].empty();
}

std::string QOR::getDataFolder() const { return DataFolder::getDataFolder(); }

std::string QOR::getPatchesFolderStr() const { return DataFolder::getPatchesFolderStr(); }

int QOR::getPatchesFolderLength() const { return DataFolder::getPatchesFolderLength(); }

void QOR::log(const std::string& text) const
{
    if (logEnabled) DebuggerOutput::printDebugInfo(logFilePath, text);
}

void QOR::DisplayProcessingIndicator(bool) {}

void QOR::checksumCheckAndSend(unsigned char* bytes, int length)
{
    if (!midiIOSet) {
        showStatus("Set MIDI I/O First!");
        return;
    }
    if (!bytes || length < 1) return;
    SendMidiSysex(bytes, length);
}

void QOR::SetLibrarianRequestActive(bool) {}

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
    if (statusDisplay) statusDisplay->SetTextFromPlug(text);
}

// The parameter dispatch, the per-block work and the incoming MIDI routing build on managers the
// start-up does not make yet; until then these keep the framework's behaviour.
void QOR::OnParamChange(int idx) { IPluginAU::OnParamChange(idx); }

void QOR::OnParamChange2(int idx) { IPluginAU::OnParamChange2(idx); }

void QOR::ProcessDoubleReplacing(double** in, double** out, int nFrames)
{
    IPluginAU::ProcessDoubleReplacing(in, out, nFrames);
}

void QOR::ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) { IPluginAU::ProcessMidiMsg(msg, fromDevice); }

void QOR::ProcessSysEx(ISysEx* msg, bool fromDevice) { IPluginAU::ProcessSysEx(msg, fromDevice); }

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
