#pragma once
// The plug-in object: builds every manager of the editor in one fixed order, resets the per-block
// state for the host, and takes everything apart again when the host closes the instance.
//
// Flags and numbers that the audio, MIDI input or worker threads read are atomics; strings,
// pointers and the UI-size lines are written only on the host's main thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "DeferredPrinter.h"
#include "KnownParts.h"
#include "kit/plugin/IMidiQueue.h"
#include "kit/plugin/IPluginAU.h"

class ControlLayer;
class FileCopyPopupMenu;
class FileEditPopupMenu;
class IControl;
class ITextControl;
struct ControlAction;
class LibrarianViewControl;
class LeftPatchPopupMenu;
class RightPatchPopupMenu;
class LeftPerfPopupMenu;
class RightPerfPopupMenu;
class LeftPatternPopupMenu;
class RightPatternPopupMenu;
class RightCategoryPopupMenu;
class RightSearchPopupMenu;
class ProgramNumberPopupMenu;
class BankNumberPopupMenu;
class BankEditPopupMenu;
class PerfBankNamePopupMenu;
class ProgBankNamePopupMenu;
class MIDIMessageManager;
class PatchLibrarian;
struct PatchFile;
class PatchManager;
class ProgressIndicator;
class UIConfigManager;

class QOR : public IPluginAU
{
public:
    static constexpr int kUILines = 5;
    static constexpr int kMaxUIFileBytes = 64 * 1024;
    // The lines of the UI-size file's bytes, each without its trailing blanks; missing lines
    // are empty.
    static void parseUISettings(const std::string& bytes, std::array<std::string, kUILines>& lines);
    static constexpr int kMidiFilterCount = 14;
    static constexpr int kRandomTableSize = 545;
    static constexpr int kPartSlots = 16;

    explicit QOR(IPluginInstanceInfo instanceInfo);
    ~QOR() override;

    // ---- overrides of the base ----
    void Reset() override;
    void OnParamChange(int idx) override;
    void OnParamChange2(int idx) override;
    void ProcessDoubleReplacing(double** in, double** out, int nFrames) override;
    void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override;
    void ProcessSysEx(ISysEx* msg, bool fromDevice) override;
    // A message the editor delivers to itself (library loads and stores, init templates): it
    // takes the device road of ProcessSysEx, but no request gate or synthesizer SysEx filter
    // refuses it, since neither concerns what the editor built itself.
    void deliverOwnSysEx(ISysEx* msg);
    // True on the thread, and for the time, of such a delivery.
    static bool deliveringOwnSysEx();
    bool SerializeState(ByteChunk* chunk) override;
    int UnserializeState(ByteChunk* chunk, int startPos) override;

    // The state chunk: tag, quick tab, model, the published values and the values of parameters
    // 0 to 4975. full adds the patch manager block and the device, bank and patch selections.
    bool SerializeState2(ByteChunk* chunk, bool full);
    // Reads that chunk back at startPos: values, names, devices by name, switches, and sends the
    // recalled performance. A chunk that is not whole is refused (logged) before anything
    // changes: -1. Else the position after the last field read.
    int UnserializeState2(ByteChunk* chunk, int startPos, bool full);

    // ---- controls by incoming MIDI address (null when the configuration mapped none) ----
    IControl* getSysexControl(int k1, int k2, int k3, int k4, int k5);
    IControl* getMsbLsbControl(int k1, int k2, int k3, int k4, int k5);
    IControl* getCCControls(int k1, int k2, int k3);
    // Per-part program values by three keys; 0 when absent. Any thread.
    int getProgramValueByParts(int k1, int k2, int k3);
    void setProgramValueByParts(int k1, int k2, int k3, int value);

    // ---- data folder ----
    std::string getDataFolder() const;
    std::string getPatchesFolderStr() const;
    int getPatchesFolderLength() const;

    // One log line, written only while logging is on.
    void log(const std::string& text) const;
    void log(const char* text) const;

    // ---- what the worker jobs call ----
    // Shows or hides the progress overlay around a transfer.
    virtual void DisplayProcessingIndicator(bool on);
    // A SysEx message of the synthesizer's family to the output port; without a port, a notice.
    void checksumCheckAndSend(unsigned char* bytes, int length);
    // Arms the librarian's receive buffer of the current kind, or disarms them all.
    void SetLibrarianRequestActive(bool active);
    // The pause in milliseconds between a request and the next look at its reply.
    int getTimerValue();
    // After data has arrived in library slots (received true): the request buffers disarmed, the
    // bank marked edited, the save and discard choices shown with the kind's received text.
    void SetLibrarianStatusUnsaved(bool received);
    // Once the library holds no edit that its files lack (saved or discarded): the bank marked
    // unedited, and on the librarian page the upper bank menu and the keep choice back.
    void SetLibrarianStatusSaved();
    // True, with "Save bank or Discard changes!" on the status line, while the upper bank has
    // unsaved edits: what would replace that bank or read it from disk again is refused.
    bool refuseWhileUnsaved();
    // The status line's text; any thread.
    void showStatus(const char* text);
    // The librarian's slot grid is repainted at the next redraw tick; any thread.
    void setLibrarianViewDirty();

    // ---- read-outs (any thread: the surface keeps texts safe against drawing) ----
    void displayText(std::string name, std::string value, std::string cc);
    void displayCategoryName(std::string text);
    void displayPatchName(std::string text);
    void displayBuild(std::string text);
    // "%.0f" of the value, whole whatever its size.
    std::string getValueString(double value);
    // "Part " + (part + 1) + " " + text.
    std::string getPanelString(int part, std::string text);
    // Shows the data folder in the system's file browser.
    void OpenDataDirectory();

    // ---- part selection on the synthesizer ----
    // Selects part on the synthesizer (NRPN 98/113, then data entry 76 + part); the flags are
    // kept for the transfer's duration, the last two have no effect. The last send's result.
    bool sendPatchAndPatternToDevice(int part, bool blockIncoming, bool sendAllParts, bool sendGlobals, bool, bool);

    // ---- what the start-up looked up (null when the configuration lacks it) ----
    ControlLayer* keptLayer(const std::string& name) const;
    IControl* firstControl(int paramId) const;

    // ---- edits to MIDI, output routing and activity lights (QORControlActions.cpp, QORMidiOut.cpp) ----
    // The message of an edit: action's kind with the synthesizer's special encodings, sent on the
    // part's channel; nothing when the integer part of value is the one last acted on.
    void processControlAction(ControlAction* action, int paramId, double value);
    // A short message to the port now, or into midiOutQueue for the next audio block.
    void MIDIOutRoutingSwitch(IMidiMsg* msg);
    // A short message to the port, lighting its part's activity light; printed in any case.
    void sendMidiMsgAndLog(IMidiMsg* msg) { sendShortMessage(msg); }
    // The same, answering whether the port took it. From the render call the print is left to
    // mOutPrints and "Set MIDI I/O First!" to the editor's timer.
    bool sendShortMessage(IMidiMsg* msg);
    void OnEditorTimer() override;
    // Control change 123 to part, or with all to every enabled part.
    void AllSoundsOff(int part, bool all);
    // Asks for the device id and the global settings; pauses 100 ms unless a transfer runs.
    void sendSysExInitialization();
    // A user's choice of input that cut a recall's enquiry short: what it left owed is asked
    // for again, or sent with no input, once that job has ended.
    void payOwedAfterChoice() { startOwedSend(true); }
    // The MIDI channel 0 to 15 of part 0 to 7; any other part, or a part channel outside 0 to
    // 15, gives the global channel.
    int partChannel(int part) const;
    int globalChannel() const;
    // The first part 0..7 whose channel parameter, truncated, is channel; -1 when none. The
    // global channel's -2, and 16 and above, match no channel.
    int firstPartOnChannel(int channel) const;
    // Lights part's activity light unless lit already, so its 100 ms run from the first message.
    // The lights follow incoming messages while trackIncomingMidi is set, outgoing ones otherwise.
    void lightPartLed(int part, bool incoming = false);
    // The awaited dump has arrived whole.
    std::atomic<bool> dataRequestCompleted{false};
    // A status the render call left for the editor's timer, or null.
    std::atomic<const char*> mRenderCallStatus{nullptr};
    // The tick source of the activity lights and of the read-out's hold (GetTickCount when
    // empty); set before use.
    std::function<uint32_t()> mLedClock;

    // ---- parameter-change dispatch (QORParamChanges.cpp) ----
    // Writes uiSettingsLines over the UI-size file, which must exist; when it is missing or
    // cannot be replaced, the old file stays, both status lines say so and false is answered.
    bool writeUISettings();
    // The second status line (the value read-out's text).
    void showStatus2(const char* text);
    // The entry of the tempo list that kGlobalTempo and kArpSpeed last chose.
    std::atomic<int32_t> tempoIndex{0};
    // While set, values from the synthesizer move the controls without their action running.
    bool mSendSuppressed = false;

    // ---- program and bank changes (QORProgramChange.cpp) ----
    // Part 0..7's program, or its bank (controller 32 = bank + 5), set on screen and sent on the
    // part's channel, then 25 ms; without a port nothing at all.
    void SendProgramChangeCommand(int program, int part);
    void SendBankChangeCommand(int bank, int part);
    // Another enabled part (status exactly 1.0) is known to play part's bank and program.
    bool CheckBankConflict(int part);
    // All sound off, controller 0, controller 32 and the program change for part, or for the
    // performance in performance mode, with their pauses; false, with the conflict window
    // shown and nothing sent, when another enabled part holds the same bank and program. Only
    // a sent sequence makes the part's bank and program its known ones.
    bool BankChangeMessage(int part);
    // A pick of the header menus or the step buttons: the bank or program parameter id takes
    // value, then BankChangeMessage(part). Refused, the parameter is put back as it was.
    bool pickBankOrProgram(int id, int value, int part);
    // One pause of the calling thread between messages of a transfer, taken through the
    // workers' wait (its test hook sees it; shut-down ends it). False when shut-down ended it.
    bool transferPause(int ms);

    // ---- library transfers to the synthesizer (QORLibrarianTransfers.cpp) ----
    // The entry at slot of the bank that pane shows (0 upper, else lower) to the synthesizer's
    // edit buffer for part (job 4); in performance mode the parts follow it and the
    // performance comes back. The bank is filled up to 128 empty entries first. afterClaim runs
    // only once job 4 has really started. False when the pane has no bank or the slot is empty:
    // nothing was sent.
    bool sendPatchToDeviceFromLibrarian(int slot, int pane, int part, std::function<void()> afterClaim = {});
    // The pane's bank from firstEntry on into the synthesizer's bank (job 5).
    void storeAllPatchesToDeviceFromLibrarian(int pane, int firstEntry, int bank);
    // The pane's entry at slot alone into the same slot of the synthesizer's bank (job 5).
    void storeEntryToDeviceFromLibrarian(int pane, int slot, int bank);
    // The bank pane shows (0 the upper pane's of the current kind; else the lower pane's, a
    // category or search bank while one of those lists is shown), or nullptr. Under the
    // librarian's lock.
    PatchFile* libraryPaneBank(int pane) const;
    // The list of banks that pane picks its bank from, as above, or nullptr. Under the
    // librarian's lock.
    const std::vector<PatchFile*>* libraryPaneList(int pane) const;
    // The selected slot of the pane the slot view selects in, for the selected part.
    void SendSingleProgramFromLibrarian(bool);
    // The whole bank of the pane the slot view selects in, into the synthesizer's bank.
    void SendAllProgramsFromLibrarian(int bank);
    // After a program change: part's program goes back out (job 2) when a section lock of the
    // part keeps some of the editor's values. A job holding the thread is not waited for: the
    // resend is given up with a status text.
    void sendPartDataBackToHardware(int part);
    // Frees the banks a rescan of the library has dropped, unless a job may still read one:
    // only while the job thread is idle. False when it had to leave them.
    bool releaseRetiredBanks();
    // Nothing to do: the bank is saved through the librarian's own save.
    void saveEditedPatch(std::string, bool, bool) {}
    // The dispatch rows of bank select (5079), program step (5080..5095) and the store of the
    // editor's data into the selected library slot (4978).
    void requestFromBank(int value);
    void stepProgram(int part, bool up, int value);
    void overwriteBank(int value);

    // ---- librarian selection menus, mode change and import (QORLibrarianMenus.cpp,
    //      QORLibrarianView.cpp, QORImport.cpp); main thread unless said otherwise ----
    // The library's lists of bank files, as the bank-list parameters name them.
    enum BankListSelector {
        kBankListPrograms = 0,
        kBankListCategories = 1,
        kBankListPerformances = 2,
        kBankListPatterns = 3,
        kBankListSearchResults = 4,
    };
    // The bank-list parameters that list feeds with texts, or with reset those it resets, in the
    // order of the reset; none for a list outside 0..4.
    static std::vector<int> bankListParams(int list, bool reset);
    // The display names of fileNames, in order, become the texts 0, 1, ... of each parameter of
    // paramIds; each shortened name is logged once.
    void setBankListTexts(const std::vector<std::string>& fileNames, const std::vector<int>& paramIds);
    // The texts of the parameters list feeds, from the library's list; texts past its end stay.
    void rebuildBankListTexts(int list);
    // The texts of the current mode's list, then both grid columns reloaded.
    void ResetPatchSelectionMenus();
    // The folder menus of the current mode rebuilt, each checking its pane's remembered bank
    // file; a pane whose bank that moves is reloaded.
    void refreshPopUpMenus();
    // The program-number menu and, unless skipped in library-control mode, the bank-number menu
    // rebuilt for the current bank and program, and the matching bank-menu layer shown. In
    // library-control mode the program becomes the selected upper slot.
    void updateBankAndProgramMenuNames(bool skipBankNumberMenu);
    // The program-number menu rebuilt checking what it stands for now: the selected upper slot
    // in library-control mode, else the program of the performance or of the selected part.
    void refreshProgramNumberMenu();
    // The library rescanned when asked, kind's first bank file in both panes, the grid
    // reloaded; for a list 0..4 its bank-list parameters reset and refilled and the menus
    // refreshed.
    void patchTypeChanged(int kind, int list, bool rescan);
    // The library rescanned for the current data type (the lower pane keeps the category
    // banks when they are shown): what Refresh Folders does; its dispatch refuses it while the
    // upper bank has unsaved edits.
    void rescanLibrary();
    // The library rescanned after a Save As or an import: each pane then shows again the bank
    // file of the folder and file name it showed (the upper pane, after a Save As, the file
    // written), and its first bank when that file is gone.
    void rescanKeepingPanes(bool upperSaved);
    // 0 the upper grid column, 1 the lower, 2 both are reloaded and drawn once more; any other
    // value does nothing. Any thread.
    void updatePatchLibrarianView(int which);
    // Asks for a Standard MIDI (mid) or SysEx file and copies it into the library root under its
    // own name, or the next free one. True when a file was written; the library shows it after
    // its next scan. A chosen file that could not be copied is said on the status line.
    bool saveImportedFile(bool mid);

    // ---- the librarian's rows of the parameter dispatch (QORParamChangesLibrarian.cpp) ----
    // kTriggerProgControl, kTriggerLibControl: target toggles (1 becomes 0, anything else 1),
    // is dispatched, then shown.
    void toggleLibrarianSwitch(int target);
    // The four bank steps: the pane's bank one back or on, round the pane's list; the upper pane
    // refuses while its bank has unsaved edits.
    void stepPaneBank(bool upper, bool next);
    // kCurrentPatchBank: the upper pane shows bank, held to the bank list.
    void showUpperPaneBank(int bank);
    // The main rows: kControlProgBank, kPatchSearchString, kPatchSearch, kCategorySelection,
    // kControlLibrary, kDiscardBankData, kPatchRename, kDatatype, kRefreshFolders; and the
    // bank-edit menu of kMainTab, before its page switch.
    void librarianParamChange(int idx, int value);
    // A slot rename ends without a new name (Escape in the field, a click on the grid): the
    // rename panel closes and the keys and transfers work again.
    void abandonRename();
    // Both panes show the upper bank and it holds unsaved edits: the lower pane's title marks
    // it, so that no pane shows unsaved programs under the file's name alone.
    bool lowerPaneShowsUnsavedBank() const;
    // The pane titles drawn again: what they mark may have changed. Any thread.
    void redrawPaneTitles();
    // The Refresh Folders button is held down: its release rescans nothing more.
    bool mRefreshButtonHeld = false;
    // Set by nothing: a part's bank always moves the upper pane.
    bool mUpperBankLocked = false;

    // ---- the slot grid's right-click menus (QORSlotMenus.cpp) ----
    // A new menu at the click point, kept in place of the previous one (freed) and popped at once.
    void showFileEditMenu(int x, int y);
    void showFileCopyMenu(int x, int y);
    FileEditPopupMenu* fileEditMenu = nullptr;
    FileCopyPopupMenu* fileCopyMenu = nullptr;

    // ---- start-up results ----
    std::string logFilePath;
    std::string uiFilePath;
    bool logEnabled = false;
    std::array<std::string, kUILines> uiSettingsLines;
    double uiScale = 1.0;
    std::atomic<bool> defaultPortsStored{false};
    bool firstRunNoticeShown = false;
    std::atomic<bool> initialRequestPending{false};
    std::atomic<bool> startupComplete{false};
    std::string upperBankName, upperBankFolder, lowerBankName, lowerBankFolder;

    // ---- host and per-block state ----
    ITimeInfo hostTime;
    IMidiQueue midiOutQueue{1024};
    std::atomic<double> hostSampleRate{0.0};
    std::atomic<bool> hostTransportPlaying{false};
    std::atomic<bool> allSoundsOffPending{false};
    std::atomic<int32_t> dawOffset{0};
    std::atomic<bool> clockStartSent{false};
    std::atomic<bool> continuousClockStarted{false};
    std::array<std::atomic<int32_t>, kPartSlots> midiLedOn{};
    std::array<std::atomic<int32_t>, kPartSlots> midiLedOnTime{};
    // Tempo sync (QORProcess.cpp): the host's whole BPM minus 65 last seen, and whether the tempo
    // parameters hold it.
    std::atomic<int32_t> lastTempoIndex{0};
    std::atomic<bool> tempoSynced{false};
    // Shows how far the queue advances per block; the first control of the offset read-out.
    ITextControl* dawOffsetDisplay = nullptr;
    // Counts the SysEx messages the protocol manager has taken: a dump moves values without
    // dispatch, so an action that sees a new count forgets the value it last sent.
    std::atomic<uint32_t> mDumpsTaken{0};

    // ---- MIDI set-up and routing ----
    std::atomic<bool> midiIOSet{false};
    // The device name a menu entry stands for, the chosen one that is away included; and the
    // entry that stands for a name now, -1 when none. Main thread.
    std::string deviceChoiceName(bool input, int index);
    int deviceEntry(bool input, const std::string& name);
    // On the editor's timer: what the follower changed reaches the device menus and the status
    // lines, once. Main thread.
    void showFollowedDevices();
    // On the follower's thread, under the plug-in mutex (QORDeviceFollow.cpp).
    void OnExternalMIDIFollowed() override;
    bool OnExternalMIDIReturned() override;
    // The device menu of a direction read again from its name list; a chosen device that is away
    // is named once, as its last entry, marked (QORDeviceFollow.cpp).
    void showDevice(bool input);
    // The status lines name every chosen device that is away, or say one came back after they
    // named it.
    void sayDevices();
    // The list index of the open port, 0 while none is open; the render call reads them.
    std::atomic<int32_t> midiInIndex{0};
    std::atomic<int32_t> midiOutIndex{0};
    // An output is chosen (kept while its device is away). Main or follower thread, under the
    // plug-in mutex, after each open of the output.
    std::atomic<bool> mOutputChosen{false};
    void noteOutputOpened(int index);
    // The chosen output's device is away: sends end at its closed port, and nothing is asked.
    bool outputAway() const { return midiIOSet && mOutputChosen && midiOutIndex <= 0; }
    // Line 1 names the chosen output that is away (a send found it so). Not on the render call.
    void sayOutputAway();
    // The status's words for the chosen port of a direction that is not open: "absent", or, for
    // one that is listed but that a spent client could not open, that it could not be opened.
    std::string awayText(bool input);
    // What a job that ends shows in place of its end text: the first absent line while a chosen
    // device is away (the follower's word may have come during the job, and "ready" would not be
    // true), the text itself otherwise. Any thread; the timer then says both lines anew.
    std::string jobEndText(const std::string& text);
    // What line 2 says while the output's enquiry waits for an input: the chosen one that is
    // away, or that none is set.
    std::string inputAwaitedText();
    // A read-out of a value has covered the status lines; while a device is away its absent
    // texts come back once the read-out has been shown a while. Under the plug-in mutex.
    void noteReadout(const std::string& line1, const std::string& line2);
    // The output was chosen while no input was open: the device-id enquiry, which could hear no
    // answer, waits for the input's choice. Main thread, under the plug-in mutex.
    bool mEnquiryAwaitsInput = false;
    std::atomic<int32_t> deviceId{15};
    std::atomic<int32_t> currentModel{0};
    std::array<std::atomic<bool>, kMidiFilterCount> midiFilterSwitches{};
    std::atomic<bool> routeMidiToHostBuffer{false};
    std::atomic<bool> trackIncomingMidi{true};
    std::atomic<bool> sendClockInfo{false};
    std::atomic<bool> sendClockPointer{false};
    std::atomic<bool> localControlOn{false};
    std::atomic<bool> masterKeyboardOn{false};
    std::atomic<bool> changeFromHardware{false};
    std::array<std::atomic<int32_t>, 3> lastIncomingMessage{};

    // ---- transfers and requests ----
    std::atomic<bool> deviceTransferActive{false};
    std::atomic<bool> incomingMidiBlocked{false};
    std::atomic<bool> sendGlobalsFirst{false};
    std::atomic<bool> sendingAllParts{false};
    // A performance send to the synthesizer runs: every part ends where its parameters say.
    std::atomic<bool> arrangementSending{false};
    // A project was recalled while its output device was away: once the device is back, its id
    // is asked and the performance goes out, globals and programs first, with the values of then.
    // A choice of output, a push of the performance or another recall ends it.
    std::atomic<bool> recalledSendOwed{false};
    // The device id the owed performance went to while nothing could answer (no input, or no
    // answer), -1 while it has not gone: an enquiry that then adopts this id ends the debt, one
    // that adopts another sends it again.
    std::atomic<int32_t> mOwedSentAt{-1};
    // A whole performance send that pays the recall's debt, raised as its job is claimed and taken
    // by the send: it counts as paid only if the output stayed connected to its last message, and
    // otherwise stays owed. kPaysOnce clears the debt when whole; kPaysUnconfirmed (no answer
    // heard) leaves it to an answer from mOwedSentAt.
    enum { kPaysNothing = 0, kPaysOnce = 1, kPaysUnconfirmed = 2 };
    std::atomic<int> mSendPaysRecall{kPaysNothing};
    // Changes whenever a recall, a choice of output or a push decides the debt anew: a send that
    // began under another decision leaves the debt alone.
    std::atomic<uint32_t> mRecallDebtDecisions{0};
    // Changes with every open or close of the output and every loss of its connection the
    // follower saw: equal before and after a send, the send stayed connected.
    std::atomic<uint32_t> mOutputChanges{0};
    uint32_t outputCuts() const { return mOutputChanges.load() + ExternalMIDICuts(false); }
    // The flags of a whole performance send, raised only once the job thread is taken: left set
    // by a send that never ran, they would block all incoming MIDI for good.
    void raiseWholeSendFlags();
    std::atomic<bool> libraryPerformanceTransfer{false};
    std::atomic<bool> partRequestPending{false};
    std::atomic<bool> replyArrived{false};
    std::atomic<bool> expectGlobalDump{false};
    // The part whose program dump is awaited, -1 for none: the SysEx router's part gate. Set by
    // the part request job (and a starter whose request really started); ended by the answer,
    // and by every request job's end, cancelled, timed out or ended by a port alike.
    std::atomic<int32_t> pendingRequestPart{-1};
    std::atomic<int32_t> patternRequestPart{0};

    // ---- editor and librarian selections ----
    std::atomic<int32_t> selectedPart{0};
    std::atomic<bool> partSelectSendFlag{true};
    std::atomic<bool> performanceMode{false};
    std::atomic<bool> patternMode{false};
    std::atomic<bool> libraryControlMode{false};
    std::atomic<bool> progBankMode{true};
    std::atomic<bool> categoryListShown{false};
    std::atomic<bool> searchListShown{false};
    bool renameIdle = true;
    int32_t currentProgramNumber = 0;
    // Each part's bank and program as the synthesizer was last told or told us (KnownParts.h
    // names the writers). A performance dump that answers an ask leaves a part picked after the
    // ask as picked (MIDIMessageManager::pickSent).
    KnownParts knownParts;
    std::array<int32_t, kPartSlots> partOrder{};
    std::array<int32_t, 8> savedPartChannels{};
    std::vector<int32_t> randomTable = std::vector<int32_t>(kRandomTableSize, 0);
    // The bank file last chosen in a folder menu, per pane and kind. Menu rebuilds run on other
    // threads too: read and write them under the librarian's lock.
    std::string upperProgramFileName, upperProgramFolderName, lowerProgramFileName, lowerProgramFolderName;
    std::string upperPerformanceFileName, upperPerformanceFolderName, lowerPerformanceFileName,
        lowerPerformanceFolderName;
    std::string upperPatternFileName, upperPatternFolderName, lowerPatternFileName, lowerPatternFolderName;

    // ---- managers (the librarian and the managers are the controller's; see ~QOR) ----
    PatchManager* patchManager = nullptr;
    PatchLibrarian* patchLibrarian = nullptr;
    UIConfigManager* uiConfigManager = nullptr;
    MIDIMessageManager* midiManager = nullptr;

    // ---- controls and layers kept without a search (owned by the graphics object) ----
    ITextControl* statusDisplay = nullptr;
    ITextControl* valueDisplay = nullptr;
    ITextControl* ccDisplay = nullptr;
    ITextControl* categoryDisplay = nullptr;
    ITextControl* patchDisplay = nullptr;
    ITextControl* buildDisplay = nullptr;
    IControl* upperSelectionControl = nullptr;
    IControl* lowerSelectionControl = nullptr;
    IControl* patchSearchControl = nullptr;
    ProgressIndicator* progressIndicator = nullptr;
    IControl* cancelRequestSwitch1 = nullptr;
    IControl* cancelRequestSwitch2 = nullptr;
    LibrarianViewControl* librarianView = nullptr;
    // The librarian menus, each alone in its layer (kept in namedLayers under its name).
    LeftPatchPopupMenu* mLeftPatchMenu = nullptr;
    RightPatchPopupMenu* mRightPatchMenu = nullptr;
    LeftPerfPopupMenu* mLeftPerfMenu = nullptr;
    RightPerfPopupMenu* mRightPerfMenu = nullptr;
    RightCategoryPopupMenu* mRightCategoryMenu = nullptr;
    RightSearchPopupMenu* mRightSearchMenu = nullptr;
    LeftPatternPopupMenu* mLeftPatternMenu = nullptr;
    RightPatternPopupMenu* mRightPatternMenu = nullptr;
    ProgramNumberPopupMenu* programNumberMenu = nullptr;
    BankNumberPopupMenu* bankNumberMenu = nullptr;
    BankEditPopupMenu* bankEditMenu = nullptr;
    PerfBankNamePopupMenu* perfBankNameMenu = nullptr;
    ProgBankNamePopupMenu* progBankNameMenu = nullptr;
    ControlLayer* progressLayer = nullptr;
    ControlAction* overrideTempoAction = nullptr;
    ControlAction* quickTabAction = nullptr;
    ControlAction* mainTabAction = nullptr;
    // The layers of the configuration the controller switches, by name.
    std::map<std::string, ControlLayer*> namedLayers;
    // The first control of each parameter the controller sets or reads directly.
    std::map<int, IControl*> firstControls;

protected:
    // Called with the name of each shut-down step as ~QOR reaches it, so a test can see the order.
    std::function<void(const char* step)> mShutdownStep;

private:
    void readUISettings();
    // ---- per-block steps (QORProcess.cpp), on the audio thread ----
    void followTransport(bool running);
    void startContinuousClock();
    void syncHostTempo();
    // The samples the queue advances in a block of nFrames; shows them in host-buffer mode.
    int blockAdvance(int nFrames);
    void advanceQueue(int samples, bool running);
    void timeOutLights();
    void requestRandomizedPart();
    // Sets expectingGlobalDump and starts the enquiry job; false when no port is open, a
    // transfer runs (then nothing was tried) or the job thread is busy. thenOwedSend: the
    // answer gives only the device id, and the send a recall owes follows the enquiry.
    // asked: a user's choice, which follows a job that a port change has just ended.
    bool startDeviceIdEnquiry(bool thenOwedSend = false, bool asked = false);
    // The send a recall owes, now that its output is back: after the enquiry, or alone when no
    // input could hear the answer. False when the job thread is busy; asked as above.
    bool startOwedSend(bool asked = false);
    // On the render call: a debt that no return of the follower pays (a cancelled enquiry, an
    // input that does not come back) is paid once the job thread is idle with the output open.
    void payOwedSend();
    // Enquiries started, and their count at the follower's last change: one started since has
    // asked the returned device already.
    std::atomic<uint32_t> mEnquiriesStarted{0};
    uint32_t mEnquiriesAtFollow = 0;
    // The due messages of one block, taken under the queue's lock and sent after it; kept, so a
    // block allocates nothing once it has seen its largest batch.
    std::vector<IMidiMsg> mDueMessages;
    int mShownOffsetMs = -1;
    int mShownBlockSize = -1;
    void keepNamedLayers();
    void buildProgressOverlay(int width, int height);
    // The words that show beside the upper bank's menu while the bank has unsaved edits.
    void buildUnsavedMark();
    // The bank-conflict notice goes away on a click anywhere on it.
    void buildConflictNoticeCloser();
    void keepFirstControls();
    void buildBankLists();
    // patchTypeChanged's steps for a list 0..4: its bank-list parameters emptied and set to
    // 0, both selection controls to 0 as user input, the texts rebuilt, the menus refreshed.
    void resetBankLists(int list);
    // After a rescan: the menus that keep the tree they were made with are built anew.
    void rebuildMenusAfterRescan();
    // Makes the librarian menu of layer id in its own layer (start-up step 15b).
    void attachLibrarianMenu(int layerId);
    void setStartControls();
    void setFilterSwitches();
    void refreshControls();
    void reopenDefaultPorts();
    // After an open by name: the device menu of paramId shows what was opened (showDevice).
    void showOpenedDevice(int paramId, int index, const std::string& name);
    // Set by the follower after a port of a chosen device closed or opened: the menus and the
    // status lines owe the truth, which the main thread tells (showFollowedDevices).
    std::atomic<bool> mDevicesDue{false};
    // The device each entry of a menu stands for ([1] the input): the names as last shown.
    std::vector<std::string> mDeviceEntries[2];
    // The absent texts last said on each status line, empty when none.
    std::string mAbsentSaid1, mAbsentSaid2;
    // What the two lines say of the devices that are away now (sayDevices' plain case).
    void absentTexts(std::string* line1, std::string* line2);
    // The read-out that covers the absent texts, and the tick it was shown at.
    std::string mReadoutSaid[2];
    std::atomic<bool> mReadoutCovers{false};
    std::atomic<uint32_t> mReadoutAt{0};
    uint32_t ticks() const;
    // Once the read-out has been shown long enough, the absent texts take back the lines that
    // still show it.
    void sayDevicesAfterReadout();
    // A port of the direction closed or opened: the requests still due are forgotten, and a
    // waiting request ends (QORPortChanges.cpp).
    void OnExternalMIDIPortChanged(bool input) override;
    // The end of a whole state chunk at pos, or -1 with why.
    int checkStateChunk(const ByteChunk& chunk, int pos, bool full, std::string* why) const;
    // The first control of the parameter as user input: the parameter's value, not the
    // control's position. Nothing without a control.
    void setAsUserInput(int paramId, double value);
    // The shut-down order; also frees what a constructor that failed half-way had made.
    void shutdown();
    // Frees the slot menus that were replaced, unless one of them is still popped up.
    void releaseSlotMenus(bool all);
    // Slot menus popped up and not yet closed; replaced ones wait for the last to close.
    int mSlotMenusOpen = 0;
    std::vector<IControl*> mReplacedSlotMenus;
    void shutdownStep(const char* step) const
    {
        if (mShutdownStep) mShutdownStep(step);
    }

public:
    // What the render call prints and logs, written by a thread that may. Last of the members:
    // it goes first, while the log it writes to is still there.
    mutable DeferredPrinter mOutPrints{"Plug-in MIDI Out ", [this](const char* line) { log(line); }};
};
