#pragma once
// The protocol hub: the worker threads with their job records, the hand-off that starts a job on
// one of them, the stop that ends them, the librarian's receive buffers and the flags that the
// MIDI input, audio and worker threads share.
#include <Poco/Thread.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

#include "LibrarianPatch.h"
#include "MIDIMessageSender.h"

class IControl;
class IGraphics;
struct IMidiMsg;
struct ISysEx;
class PatchLibrarian;
class PatchManager;
class QOR;

class MIDIMessageManager
{
public:
    MIDIMessageManager(QOR* controller, PatchManager* patchManager, PatchLibrarian* librarian, IGraphics* graphics);
    // Stops and joins the workers first, so no job outlives the sender it runs.
    ~MIDIMessageManager();
    MIDIMessageManager(const MIDIMessageManager&) = delete;
    MIDIMessageManager& operator=(const MIDIMessageManager&) = delete;

    // Starts job record.job on the thread its number belongs to (threadForJob), so a clock job
    // never holds up a dump. False when that thread is busy or the workers are stopping: then
    // nothing is written, nothing runs and afterClaim is not called. afterClaim runs once the
    // thread is claimed and before it starts, for flags that may be set only when the job
    // really starts; when it throws, the claim is given back and false answered. Never throws.
    bool startJob(const SenderJobRecord& record)
    {
        return startJob(record, [] {});
    }
    template <class AfterClaim> bool startJob(const SenderJobRecord& record, AfterClaim&& afterClaim)
    {
        const int thread = threadForJob(record.job);
        if (!sender->claim(thread)) return false;
        try {
            afterClaim();
        } catch (...) {
            sender->release(thread, 2);
            return false;
        }
        return launchClaimed(thread, record);
    }
    // A job the user asked for (a menu, a button, the program menu), on the main thread and
    // often under the plug-in mutex, so it never waits for the thread: as startJob, but a job
    // thread whose job was cancelled (a Cancel, a port change) takes it to follow that job, with
    // afterClaim run on the worker as it begins; a thread busy otherwise refuses it with
    // kBusyText, which stays in sight past the running job's end. True when started or to follow.
    bool startAsked(const SenderJobRecord& record, std::function<void()> afterClaim = {});
    static constexpr const char* kBusyText = MIDIMessageSender::kBusyText;
    // True while thread runs no job, and once stopAndJoin has ended it.
    bool threadIdle(int thread) const { return sender->idle(thread); }

    // Cancels the running jobs, ends the clock loop, wakes every pause and joins all three
    // threads; later starts are dropped. Runs on the host's main thread at shut-down.
    void stopAndJoin();

    // The receive buffers of the librarian: at most one armed, all under mRequestLock. Each
    // takes only whole messages of the family, of its own lengths and types (accepts); what it
    // takes it brings into its library form with slot in byte 9 and names the entry from it.
    struct LibraryPerformanceRequest {
        int expectedMessages = 1;
        std::atomic<bool> active{false};
        LibrarianPatch patch;
        int device = -1; // the device byte of the performance taken
        // The performance (381 or 383 bytes) first, then, with isModel1, its follow-up (25 or 27)
        // from the same device: a sweep asks every id, and two units' replies may interleave.
        bool accepts(const unsigned char* data, int length, bool isModel1) const;
        // True once the performance is complete, which disarms the buffer.
        bool addMessageData(const unsigned char* data, int length, bool isModel1, int slot);
    };
    struct LibraryPatchRequest {
        std::atomic<bool> active{false};
        LibrarianPatch patch;
        // A program dump (296 bytes, type 00 or the writer's bank code) or a stored program (297, 02).
        static bool accepts(const unsigned char* data, int length);
        // One message completes a program and disarms the buffer.
        void addMessageData(const unsigned char* data, int length, int slot);
    };
    struct LibraryPatternRequest {
        std::atomic<bool> active{false};
        LibrarianPatch patch;
        // A pattern frame (204 bytes) or a library pattern (220), type 0C.
        static bool accepts(const unsigned char* data, int length);
        void addMessageData(const unsigned char* data, int length, int slot);
    };
    // Empties the buffer of kind (0 programs, 1 performances, 2 patterns) and arms it alone.
    void armRequestBuffer(int kind);
    void disarmRequestBuffers();
    // The performance buffer holds a dump and waits for its follow-up: a sweep's re-arm would
    // throw the dump away.
    bool holdsPartialPerformance();

    // ---- requests into library slots (MIDIMessageManagerLibrary.cpp) ----
    // Job 11 for the selected part's edit buffer (currentBuffer) or the stored program of bank at
    // the librarian's upper slot; job 12 for the 128 programs of bank. The program buffer is
    // armed and requestComplete cleared only once the job thread is taken: false when it is busy.
    bool sendSinglePatchRequestSysexFromLibrarian(bool currentBuffer, int bank);
    bool sendAllPatchRequestSysexFromLibrarian(int bank);
    // What an answer of the synthesizer that is a stored program or performance (or its
    // follow-up) must name in bytes 8 and 9 to be taken into a slot: storedAddress of the entry
    // a request of stored entries waits for, kAnyAnswer before any such request, kNoAnswer once
    // one has ended. Anything else it names is a late answer or the repeat of a sweep, and would
    // fill a slot not its own: it is dropped. Written by the request jobs under the librarian's
    // lock, with the slot they fill. The editor's own deliveries are no answers.
    static constexpr int kAnyAnswer = -1;
    static constexpr int kNoAnswer = -2;
    static constexpr int storedAddress(int bankCode, int slot) { return bankCode * 128 + slot; }
    std::atomic<int> awaitedAnswer{kAnyAnswer};
    // storedAddress of the last answer placed into a slot, or kAnyAnswer for one that names no
    // stored entry; the request jobs set it to kNoAnswer before each request.
    std::atomic<int> takenAnswer{kNoAnswer};
    // A synthesizer may answer a stored request with a plain dump, which names no entry: the
    // first plain answer of the awaited request is placed.
    static constexpr int kDeviceBytes = 128;
    // A whole message of the family: F0, the maker's id, 01, a model byte the library knows,
    // data bytes only and F7 at its end.
    static bool familyMessage(const unsigned char* data, int length);
    // The storedAddress a stored program, performance or follow-up names; kAnyAnswer for any
    // other message.
    static int namedAddress(const unsigned char* data, int length);

    // ---- requests still due (MIDIMessageManagerDue.cpp) ----
    // The synthesizer answers in the order it is asked, each reply a burst. While a request
    // waits, every dump of the family (25 bytes or more) from an id it was sent to (its sweep's
    // included) is its own, whatever its kinds, number and order; a stored-form dump only when
    // it names the entry asked for. Before the request is sent, and from ids it never asked,
    // dumps are dropped. A request goes only once its device has been quiet (a reply has ended
    // with quiet), and on a loose line (below) only after a sync: a device-id enquiry whose
    // answer comes after everything still owed.
    using DueKind = ::DueKind;
    // Awaited: the waiting request's. Early: came before its request was sent. Unasked: from
    // an id it never asked. Stray: names another entry. Stale: the rest of an ended request's
    // reply. Sync: the answer of a sync enquiry, applied nowhere. Earlier: the answer of an
    // enquiry before the last one at its device. None: no answer at all.
    enum class Due { Awaited, Early, Unasked, Stray, Stale, Sync, Earlier, None };
    // A new request (a slot, a single entry, a part, the performance): the awaited one from now.
    uint64_t beginRequest();
    // request ends, answered or not. Each id it asked that did not answer, and each id the sweep
    // asked again after its answer, stays owed (below), and the line is loose. What else its
    // answering ids send until they have been quiet for quietMs goes nowhere, or with
    // editorTakes to the editor's parsers (its job's last pause); never into a library slot.
    void endRequest(uint64_t request, bool editorTakes = false, int64_t quietMs = 0);
    // One send of request at deviceByte, filed before it goes out so that no answer can come
    // first. address: the storedAddress asked for, kAnyAnswer otherwise. An enquiry is a sync's
    // (request 0: the enquiry job's); each is owed an answer at its device until one came.
    // unsend: the port refused it, and the line is loose.
    void noteSent(uint64_t request, int deviceByte, int address, DueKind kind);
    void unsend(uint64_t request, int deviceByte, DueKind kind);
    // Files a message from the synthesizer (the router's first step) and says whose it is.
    // What is owed (an enquiry not answered, an id of an ended request that did not answer) is
    // owed for one longest reply wait from its send, no longer; before that, an answer of a
    // request sent after it from the same device discharges an owed id (an enquiry only its own
    // answer), as does a sync's answer everything sent before the sync: the synthesizer answers
    // in order. An answer of an owed id is dropped. The two global dumps of one answer count
    // once, whatever comes between them.
    Due answerOf(const unsigned char* data, int length);
    // The line is loose: a request ended with ids that did not answer, the sweep asked the
    // answering id twice, a send failed, or a port or the device id changed while something
    // was asked.
    bool looseLine();
    // The last sync's enquiry was answered; lineClean: the sync has ended.
    bool syncAnswered();
    void lineClean();
    // The device-id enquiry job starts, and ends: it is itself the sync, and leaves the line
    // clean when its first enquiry was answered before any other went and no earlier enquiry
    // at its device was owed, or when the line has settled (below); else loose (answers to its
    // sweep, or to what was asked before it, may still come).
    // Its answer, from whichever enquiry, settles what its device owes.
    void enquiryStarts(int periodMs);
    void enquiryEnded(bool answeredFirst, int64_t settleMs);
    // The longest wait of a request at this poll period: the performance request to the
    // editor's, its passes and a whole sweep, or the fixed wait into the library. What is owed
    // is forgotten after it; a synthesizer slower than that is not served.
    static int64_t replyWaitMs(int periodMs);
    // The poll period of the request that is about to wait: what is owed ages by it.
    void agesAt(int periodMs);
    // Milliseconds until no answer to a request can still be on its way: no dump came, and no
    // request was sent, for settleMs. 0 or less: settled.
    int64_t settleLeft(int64_t settleMs);
    // Enquiries sent at deviceByte, not answered and not yet forgotten.
    int enquiriesOwed(int deviceByte);
    // Milliseconds until no plain dump has come from deviceByte (-1: any dump from any device)
    // for gapMs, counted from sinceMs at the earliest; 0 or less: quiet now.
    int64_t quietLeft(int deviceByte, int64_t gapMs, int64_t sinceMs = std::numeric_limits<int64_t>::min() / 2);
    // The waiting request's sends at deviceByte.
    int dueCount(int deviceByte);
    // Every request asked until now: a port closed or opened, so their answers come no more.
    void clearDue();
    // A job that waits for answers begins: only the ids its own requests ask, and its device's,
    // reach the editor in its last pauses.
    void jobBegins();
    // Milliseconds of a steady clock that the waits and quiet read; the steady clock when
    // dueClock is empty. Set it while no job runs.
    int64_t dueNow() const;
    std::function<int64_t()> dueClock;
    // A send count stops here.
    static constexpr int kDueCap = 64;

    // ---- incoming SysEx (MIDIMessageManagerSysEx.cpp) ----
    // The first step for a message from the synthesizer, before anything looks at it: the entry
    // it answers ends. True when it is dropped (and logged): an answer of a request no longer
    // awaited, one nothing asked for while a request waits or from an id no request of the
    // running job asked (its device aside) while the editor takes dumps, or a sync's (whose
    // global dumps are applied nowhere). The editor's own deliveries are no answers.
    bool lateAnswer(const ISysEx* msg);
    // Routes one message: host messages change nothing; device messages go to the global
    // dumps' readers while the start-up enquiry waits for them. False when the message was
    // not kept: dropped as late, unasked, stray or repeated, or refused.
    bool ProcessSysEx(ISysEx* msg, bool fromDevice);
    // Global settings 1 and 2; each takes only its own whole message and sets the controller's
    // device id from it. Settings 2 completes the request and ends the start-up exchange.
    void sysexSettings1Parse(ISysEx* msg);
    void sysexSettings2Parse(ISysEx* msg);
    // The enquiry's global dumps set only the device id: the editor's own globals, recalled
    // with a project, are about to be sent and must not be overwritten by the device's. Set
    // with each enquiry's start.
    std::atomic<bool> enquiryAdoptsOnlyId{false};
    // A program dump into the editor: the name and every parameter of its part that no section
    // lock of the part guards; any other message changes nothing (MIDIMessageManagerProgram.cpp).
    void sysexPatchParse(ISysEx* msg);
    // The 33 step entries of an 11-byte tap-pattern code.
    static void decodeTapPatternCode(unsigned char* code, char* steps);
    // Fills decodedBits with the bits of a 7-bit value, entry 0 = bit 6.
    void eightBitDecoder(int value);
    // ---- the performance (MIDIMessageManagerMulti.cpp) ----
    // The performance dump and its follow-up; each takes only its own whole message. The dump
    // completes a request at the first model, the follow-up at the second. Every call of
    // sysexMultiParse ends by showing the selected part's name and category again.
    void sysexMultiParse(ISysEx* msg);
    void sysexMultiParsePT2(ISysEx* msg);
    // decodedBits := [byte / 64, bit 5, bit 4, bit 3, bit 2, byte mod 4].
    void eightBitDecoderWONumTwo(int value);
    // decodedBits := [byte / 32, bit 4, bit 3, bit 2, byte mod 4].
    void eightBitDecoderWONumTwoAndSixtyFour(int value);
    std::vector<int> decodedBits;
    // ---- pattern names and single incoming values (MIDIMessageManagerPattern.cpp) ----
    // A second-family pattern dump gives its name to the part in patternRequestPart; every call
    // sets dumpTaken.
    void sysexPatternParse(ISysEx* msg);
    // Sets the control filed under the five SysEx keys (or the given control) from a received
    // value; bend ranges arrive offset by 40, part transposes by 16.
    void getNormalControl(int key1, int key2, int key3, int key4, int key5, int value, bool flagIncoming);
    void processSysExToUI(IControl* control, int value, bool refreshMainTab, bool flagIncoming);

    // ---- incoming controllers (QORIncomingCC.cpp) ----
    // Moves the editor control at the address of one control change (a data entry 6 decoded
    // under the NRPN number) to its value; from the synthesizer a few parameters go through
    // their derived parameters instead. partPlusOne is the part + 1, up to 16 for a channel
    // that no part listens on.
    void getLegacyCCparam(int cc, int partPlusOne, int value, bool reapplyQuickTab, bool fromDevice);

    // ---- incoming short messages (MIDIMessageManagerShort.cpp) ----
    // One channel message from the synthesizer: the input filters, the NRPN number, the part of
    // the channel, the editor's controls, the activity light, and the message back out unless
    // local control is on. Data bytes above 127 count as 127.
    void ProcessMidiMsgFromDevice(IMidiMsg* msg);
    // One channel message from the host, only while a port is open; passed on after the same
    // handling. part is the controller's first match; the channel rules here decide the part.
    void ProcessMidiMsgFromDAW(IMidiMsg* msg, int part);
    // A program change for part 0..7 or the performance: a dump request for it, or in librarian
    // mode the library entry at its number to the synthesizer.
    void MakeProgramChangeMessages(int part, IMidiMsg* msg, bool isPerformance);
    // The synthesizer's program changes on a part's channel that arrive while a dump is awaited
    // are dropped; the last of each part is kept here and followed on the job thread once the
    // wait has ended, so the editor ends on what the synthesizer plays.
    void keepDroppedProgram(const IMidiMsg& msg);
    void forgetDroppedPrograms();
    void followDroppedPrograms();
    // A kept change is followed only into the port, the project and the job it was kept under
    // (keepForThisJob as each job of the job thread is launched, or begins after a cancelled
    // one). endKeptPrograms: a recall or a port's close or open forgets what is kept (the old
    // project's, the old port's); they, a Cancel and Library control switched leave what the
    // job keeps from then on only known as the part's program: no program change or request.
    void keepForThisJob() { mKeptOnlyRecorded = false; }
    void endKeptPrograms(bool forget);
    // A pick the editor sent while the performance is asked for: the answer, the performance
    // as it was when asked, leaves that part's bank and program as picked.
    void pickSent(int part);

    // ---- the program randomizer (ProgramRandomizer.cpp): the user-interface thread only ----
    // Seeds the C library's generator with the calendar second and draws entries 0 to 392 of the
    // controller's random table, each 0 to 255.
    void randomGenerator();
    // Random table entry k fitted into parameter paramIdx's range.
    int randomizer(int paramIdx, int k);
    // Gives part's program new values from the random table, leaving the sections locked for the
    // part as they are. Changes the editor only: nothing is sent.
    void randomizePatchSettings(int part);
    // The calendar second that seeds the draw; time() when empty.
    std::function<std::time_t()> randomSeedClock;

    MIDIMessageSender* sender = nullptr;
    QOR* controller;
    PatchManager* patchManager;
    IGraphics* graphics;
    PatchLibrarian* librarian;
    LibraryPerformanceRequest libraryPerformanceRequest;
    LibraryPatchRequest libraryPatchRequest;
    LibraryPatternRequest libraryPatternRequest;
    std::mutex mRequestLock;

    // The wait for an edit dump: while set, the controller drops every short message (keeping the
    // synthesizer's program changes, above) and dumps go to the editor's parsers. Set only by a
    // starter whose job really started (in its afterClaim) or by that job itself; ended by the
    // dump parsed, by every job's end (DisplayProcessingIndicator(false)), by an edit of the user
    // and by arming a library buffer. Never set where no job follows: nothing else would end it.
    std::atomic<bool> expectingEditDump{false};
    std::atomic<bool> mainTabRefreshPending{false};
    std::atomic<bool> performanceRequestActive{false};
    std::atomic<bool> dumpTaken{false};
    std::atomic<bool> requestComplete{false};
    std::atomic<bool> sendInProgress{false};
    std::atomic<bool> bankSelectZeroSeen{false};
    std::atomic<bool> lastMessageFromHost{false};
    // A controller value received from the synthesizer is being applied to the editor.
    std::atomic<bool> applyingIncomingValue{false};
    std::atomic<int> nrpnMsb{0};
    std::atomic<int> nrpnLsb{0};
    // Per part the last dropped program + 1; 0 for none. Written by the MIDI input thread
    // (keepDroppedProgram) while a dump is awaited; read and emptied by the job thread after each
    // job (followDroppedPrograms); emptied by a performance dump of the synthesizer, a recall, a
    // port's open or close (endKeptPrograms), and never followed once the sender stops.
    std::array<std::atomic<int>, 8> droppedPrograms{};
    // Set by Library control switched, a recall or a port change (a Cancel is the sender's own
    // flag): what is kept from then on only records the part's program. Reset as each job of the
    // job thread is launched.
    std::atomic<bool> mKeptOnlyRecorded{false};
    // Per part: a pick went out while the performance was asked for (pickSent). Set on the
    // thread of the pick; read by the performance dump's parser; emptied as the performance
    // request is sent and as it ends.
    std::array<std::atomic<bool>, 8> mPickedWhileAsked{};
    void forgetPicks()
    {
        for (std::atomic<bool>& picked : mPickedWhileAsked) picked = false;
    }

    Poco::Thread jobThread{"jobThread"};
    Poco::Thread clockTransportThread{"clockTransportThread"};
    Poco::Thread clockThread{"clockThread"};

    // A value from a dump into the parameter and its controls, without the change hook.
    void setFromDump(int id, double value);
    // One value of a global dump, and what the controller keeps of it.
    void takeGlobal(int id, double value);

private:
    // An armed library buffer takes the message (steps of the router's library path); false
    // when no buffer is armed. kept: false when it was dropped or refused.
    bool takeIntoLibrary(const ISysEx* msg, bool& kept);
    // The message is the synthesizer's answer for a stored entry other than the awaited one.
    bool strayAnswer(int address) const;
    // Something owed: when it was sent, and its number among all sends (0: nothing).
    struct Owed {
        int64_t ms = 0;
        uint64_t send = 0;
    };
    // A request and where it was sent.
    struct Asking {
        uint64_t request = 0;
        int address = kAnyAnswer;
        bool sent = false; // its first send went
        bool editorTakes = false;
        int64_t endedMs = 0;
        int64_t lastMs = std::numeric_limits<int64_t>::min() / 2; // its last dump since it ended
        int64_t quietMs = 0;
        std::array<uint8_t, kDeviceBytes> sends{};
        std::array<bool, kDeviceBytes> answered{};
        std::array<Owed, kDeviceBytes> first{}, last{}; // its first and last send at each id
    };
    // Under mDueLock: all that was asked goes once the device id has changed.
    void followDeviceId();
    // Under mDueLock: every request asked.
    void forgetDue();
    // Under mDueLock: what is owed and older than the age goes; what was sent before send is
    // discharged at every id.
    void forgetAged(int64_t now);
    void discharge(uint64_t send);
    // Under mDueLock: the ids of asking that did not answer, or were asked again after their
    // answer, stay owed; true when there was any.
    bool owe(const Asking& asking);
    // A request waits for its answer, or a library buffer is armed for one.
    bool awaitingAnswer();
    // A request of the running job asked deviceByte, or it is the editor's device.
    bool askedInJob(int deviceByte);
    bool startLibraryProgramJob(const SenderJobRecord& record);
    void applyIncomingValue(IControl* control, int value, bool refreshMainTab, bool flagIncoming);
    bool launchClaimed(int thread, const SenderJobRecord& record) noexcept;
    Poco::Thread& threadObject(int thread);

    // A thread started since it was last joined; only the holder of its claim touches it.
    std::array<bool, kSenderThreadCount> mJoinPending{};
    std::mutex mDueLock;
    Asking mAsk;   // the waiting request
    Asking mEnded; // the last that ended, until its ids have been quiet
    std::array<int64_t, kDeviceBytes> mLastDumpMs = [] {
        std::array<int64_t, kDeviceBytes> never{};
        never.fill(std::numeric_limits<int64_t>::min() / 2);
        return never;
    }();
    int64_t mLastAnyDumpMs = std::numeric_limits<int64_t>::min() / 2;
    int64_t mLastAskedMs = std::numeric_limits<int64_t>::min() / 2; // the last send of a request
    uint64_t mLastRequest = 0;
    uint64_t mSyncRequest = 0; // a sync's enquiry waits for its answer
    bool mSyncAnswered = false;
    // The second global dump of an enquiry's answer, still to come (its type), or 0; its device
    // and what the first was.
    int mSyncTail = 0;
    int mSyncTailDevice = -1;
    Due mSyncTailDue = Due::None;
    int64_t mSyncTailMs = 0; // when the first came
    // Per device, enquiries sent and not yet answered, oldest first: the synthesizer answers in
    // order, so only the last answer is the last enquiry's.
    std::array<std::vector<Owed>, kDeviceBytes> mEnquiriesOwed;
    // Per device, the last send of an ended request that did not answer there.
    std::array<Owed, kDeviceBytes> mRequestOwed{};
    uint64_t mSends = 0;       // every send filed, numbered: the order the synthesizer answers in
    uint64_t mSyncSend = 0;    // the sync's enquiry, or the enquiry job's first
    int64_t mAgeMs = 0;        // how long what is owed stays owed
    // The send of the oldest thing owed, or later (what was discharged meanwhile stays counted).
    static constexpr int64_t kNeverOwed = std::numeric_limits<int64_t>::max() / 2;
    int64_t mOldestOwedMs = kNeverOwed;
    bool mEnquiryJob = false;
    bool mOwedAtEnquiry = false; // an enquiry was still owed when the enquiry job began
    int mDueDeviceId = -1;
    std::array<bool, kDeviceBytes> mJobAsked{}; // the ids the running job's requests asked
    bool mLoose = false;
    std::atomic<bool> mStopped{false};
};
