#pragma once
// The body of the three worker threads. Each thread has its own job record: a starter claims the
// thread, writes the record and starts the thread; run copies the record once, runs the job (and
// the one a user asked to follow it, see ask) and gives the claim back as its last step. So a
// starter for one thread never overwrites the job of another, and a busy thread drops a job
// without touching anything.
#include <Poco/Runnable.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Poco {
class Thread;
}
class PatchManager;
class QOR;
struct LibrarianPatch;

// The jobs, by number.
enum SenderJob : int {
    kJobSendArrangement = 0,
    kJobSendGlobal = 1,
    kJobSendPart = 2,
    kJobSendSequence = 3,
    kJobSendPatchFromLibrarian = 4,
    kJobStoreAllPatches = 5,
    kJobRequestActiveArrangement = 6,
    kJobRequestPart = 7,
    kJobRequestSequence = 8,
    kJobRequestSingleMulti = 9,
    kJobRequestAllMultis = 10,
    kJobRequestSinglePatch = 11,
    kJobRequestAllPatches = 12,
    kJobRequestSingleSequence = 13,
    kJobRequestAllSequences = 14,
    kJobInitPerformance = 15,
    kJobInitClassicPatch = 16,
    kJobInitSequence = 17,
    kJobDeviceIdEnquiry = 18,
    kJobNothing = 19,
    kJobStartClock = 20,
    kJobContinuousClock = 21,
    kJobStopClock = 22,
};

// The worker threads, by what they run: jobs 0 to 18, jobs 20 and 22, job 21.
enum SenderThread : int { kJobThread = 0, kClockTransportThread = 1, kClockThread = 2, kSenderThreadCount = 3 };

// The thread a job runs on: 20 and 22 on the clock transport thread, 21 on the clock thread,
// every other number (19, above 22 and negative too) on the job thread.
constexpr int threadForJob(int job)
{
    return job == kJobStartClock || job == kJobStopClock ? kClockTransportThread
           : job == kJobContinuousClock                  ? kClockThread
                                                         : kJobThread;
}

// What a send that an answer may end asks for: a stored program or performance, an edit buffer
// (either kind, and every message of one reply), or the device id (its global dumps).
enum class DueKind { StoredProgram, StoredPerformance, EditBuffer, Enquiry };

// One job and its arguments, as a starter writes them.
struct SenderJobRecord {
    int job = kJobNothing;
    LibrarianPatch* patch = nullptr;
    int storeMode = 0;
    int storeStartSlot = 0;
    int part = 0;
    int storeBank = 0;
    // Job 5 writes storeCount entries from storeStartSlot on into the slots from storeTargetSlot on.
    int storeCount = 128;
    int storeTargetSlot = 0;
    int bank = 0;
    bool toEditor = false;
    bool currentBuffer = false;
    bool storeIntoLibrary = false;
    bool passOn = false;
    int deviceId = 0;
    // Job 7: once its reply is in, the part's program goes back to the synthesizer (a program
    // step with a section lock on, whose locked sections the reply leaves as they were).
    bool sendPartAfterReply = false;
    // Job 18: once the enquiry has ended with an answer or a time-out, the performance send a
    // project recall owes follows it.
    bool thenOwedSend = false;
};

class MIDIMessageSender : public Poco::Runnable {
public:
    // threads: the thread objects of kJobThread, kClockTransportThread and kClockThread.
    MIDIMessageSender(QOR* controller, PatchManager* patchManager, std::array<Poco::Thread*, kSenderThreadCount> threads);
    ~MIDIMessageSender() override;
    MIDIMessageSender(const MIDIMessageSender&) = delete;
    MIDIMessageSender& operator=(const MIDIMessageSender&) = delete;

    void run() override;

    // ---- the hand-off ----
    // Takes the thread for one job; false while it runs one or once the workers are stopping.
    // A claim has two holders, the starter until its start returns and the run until it ends,
    // so the next starter never joins a thread whose start is still under way.
    bool claim(int thread);
    // A job the user asked for, taken at once or not at all, never waited for: the asker may
    // hold the plug-in mutex, which the end of the running job may need.
    enum class Ask { Claimed, Follows, Refused };
    // Claims thread (Claimed: the asker starts the job). Else, when begin is set and the job
    // thread runs a job that was cancelled (a Cancel, a port change), record becomes the one job
    // that follows it on the same run (Follows): begin runs on the worker just before it. Else
    // Refused, with kBusyText shown, which the texts of the running job do not cover: they are
    // kept for its end, which shows the last of them and kBusyText on the second line. Never
    // waits: the lock it takes is held only for a few steps, by the asker and by a job's end.
    Ask ask(int thread, const SenderJobRecord& record, std::function<void()> begin);
    // The user's Cancel: the running job ends at its next look, and a job asked to follow it
    // is dropped unstarted.
    void cancel();
    // Where a busy thread would drop a job silently, a user's click is told; in the past tense,
    // since it is still on screen once the running job has ended.
    static constexpr const char* kBusyText = "Not taken: a transfer was still running!";
    void release(int thread, int holders = 1);
    // True while no job holds the thread, and once the stop has joined it.
    bool idle(int thread) const;
    // Takes the thread for good once stop() has been called; false while a job still holds it.
    bool holdForStop(int thread);
    // The stop has joined the held thread: it counts as idle from now on, and no claim takes it.
    void ended(int thread);
    // Ends every pause at once and makes later claims, pauses and sends fail.
    void stop();
    bool stopping() const { return mStopping.load(); }
    // The text a job ends with (cancelled, completed, timed out): run shows it as the job's last
    // act, after everything the job still does, so a request made once the text is seen finds
    // the thread free. Status texts the job shows after it wait the same way (holdEndText), and
    // the last one is shown. Called off the workers, it shows at once.
    void endWith(const char* text);
    // A status text of a job past its endWith, or shown after a click was refused under it:
    // kept to be shown at its end; true when kept.
    bool holdEndText(const char* text);

    // One pause of a job: false when it ended because the workers are stopping. 0 ms pauses
    // 100 microseconds, as the system's own sleep does.
    bool pause(int ms);
    // For tests: runs on the worker with the length of each pause before it is taken, so a test
    // can record the pauses, hold a job inside one, or shorten it (a test that counts passes
    // sets ms to 0). Set it while no job runs.
    std::function<void(int& ms)> onPause;

    // ---- waiting for a reply ----
    enum class WaitEnd { Reply, Cancel, TimeOut, Stopped };
    // How one request job waits: passes of periodMs, counted from 1. In the pass sweepPass
    // the request goes to each device id 0 to 15 in turn (request(id)), sweepStepMs apart,
    // until a reply or a cancel; at timeOutPass the wait gives up. cancelFirst tests the cancel
    // as soon as the sleep ends; otherwise after the sweep and time-out tests. Either way the
    // cancel is tested before the reply.
    struct WaitPlan {
        int sweepPass = 0;
        int timeOutPass = 0;
        int sweepStepMs = 0;
        std::function<void(int device)> request;
        int periodMs = 100;
        bool cancelFirst = false;
        // When set, a pass in which it answers true counts again from the first, so a reply
        // that is on its way is not given up on.
        std::function<bool()> restartWhen;
        // When set, a raised reply flag counts only while it answers true (the reply is the
        // one asked for, not one raised by an earlier request's late answer).
        std::function<bool()> replyIsOurs;
    };
    WaitEnd waitForReply(const WaitPlan& plan);
    // The device ids a sweep asks, 0 to 15.
    static constexpr int kSweepIds = 16;
    // A port was closed or opened: the waiting job, if any, ends at once as a cancelled one
    // does, and shows text at its end instead of its cancel text (empty: the cancel text). Any
    // thread; takes no lock but the text's own.
    void endForPort(const std::string& text);
    // Before a job runs: a request into the library while no bank of its kind is open (its
    // answer would have nowhere to go) is refused with a status text; nothing is sent and the
    // receive buffer is disarmed. True when refused.
    bool refusedWithoutBank(const SenderJobRecord& record);

    // ---- framing ----
    // A request or the enquiry as it is handed to the send, without F0 and F7.
    struct Request {
        uint8_t bytes[9];
        int length;
    };
    // The seven bytes from the maker id to the type. The model byte and, for device -1, the
    // controller's device id are read now; the device-id sweeps pass their own device.
    void writeEnvelope(uint8_t* out, uint8_t type, int device = -1) const;
    // The edit-buffer request or the enquiry: 7 bytes.
    Request buildRequest(uint8_t type, int device = -1) const;
    // The request of a stored entry: 9 bytes, the envelope with type 13, bank code and slot.
    Request buildStoredRequest(int bankCode, int slot, int device = -1) const;
    // A dump, F0 to F7, through the controller's port check and log; requests through it too
    // where the protocol says so (the enquiry, the current-performance request).
    bool sendChecked(uint8_t* bytes, int length);
    // Straight to the port; a buffer without F0 gets F0 and F7 on the way.
    bool sendDirect(uint8_t* bytes, int length);
    // A stored message, sent as it is.
    bool sendStored(const std::vector<uint8_t>& bytes);

    // ---- the jobs ----
    void sendArrangementToDevice(bool storeIntoLibrary, bool passOn);
    // How a send that paid a recall's debt ended: gone whole, its output's connection lost during
    // it, or no look of the follower in time to tell.
    enum class Verdict { Whole, Cut, Unseen };
    // After a send that paid a recall's debt (QOR::kPays...): cleared, or owed again unless whole.
    void settleRecallDebt(int pays, Verdict verdict);
    // Asks the port follower for a look and waits for it; false when none ended in time or the
    // job stops. True at once when nothing follows the ports.
    bool followerLooked();
    void sendGlobalToDevice(int deviceId);
    // The program dump of part from the editor's values, to the synthesizer or, in the library
    // form, into the selected library slot (MIDIMessageSenderProgram.cpp).
    void sendPartToDevice(int part, bool storeIntoLibrary, bool passOn);
    void sendSequenceToDevice();
    void sendPatchToDeviceFromLibrarian(LibrarianPatch* patch, int part);
    void storeAllPatchesToDeviceFromLibrarian(int storeMode, int storeStartSlot, int storeBank, int storeCount = 128,
                                              int storeTargetSlot = 0);
    // The current performance into the editor, or into the armed library buffer. part is the
    // pattern's part (0..7) the pattern parser compares; any other number leaves it.
    void sendActiveArrangementRequestSysex(bool toEditor, int part);
    // Asks for the edit buffer of the synthesizer's selected part, for the editor or the library;
    // with sendPartAfterReply, sends the part's program back once the reply has arrived.
    void sendPartRequestSysex(int part, bool toEditor, bool sendPartAfterReply = false);
    void sendSequenceRequestSysex();
    void sendSingleMultiRequestSysex(int bank);
    void sendAllMultiRequestSysex(int bank);
    // part: the part whose edit buffer a currentBuffer request asks for.
    void sendSinglePatchRequestSysex(bool currentBuffer, int bank, int part);
    void sendAllPatchRequestSysex(int bank);
    void sendSingleSequenceRequestSysex();
    void sendAllSequenceRequestSysex();
    void initPerformance();
    void initClassicPatch();
    void initSequence();
    // Hands message to the controller's SysEx input as if the synthesizer had sent it, marked as
    // the editor's own (QOR::deliverOwnSysEx).
    void deliverToEditor(std::vector<uint8_t>& message);
    // After a delivery into the library slot: the bank is unsaved when the slot took it, else
    // the log says what was not taken.
    void markSlotTaken(const char* what);
    void sendDeviceIdEnquiry(bool thenOwedSend = false);
    // The whole performance, globals and programs first, when a recall still owes it and its
    // output is open; answered: the enquiry's answer gave the id, and the debt ends here (a send
    // that ended it meanwhile wins). Unanswered, it stays owed, sent at most once to an id.
    void sendOwedPerformance(bool answered);
    void startMIDIClockOutput();
    void sendContinuousMIDIClock();
    void stopMIDIClockOutput();
    // The 11-byte tap-pattern code of 33 step entries.
    static void GenTapPatternCode(char* code, char* steps);
    // The performance dump's sustain code, part settings byte and effect routing byte of part
    // 0..7 from the editor's values, as the performance send writes them; 0 for any other part.
    int buildSustainValues(int part) const;
    int calculateMultiSettings1Values(int part) const;
    int calculateMultiSettings2Values(int part) const;
    // stop true ends the timing-clock loop; false lets the next one run.
    void resetContinuousClock(bool stop);
    // This instance's timing clock: whether its loop may run, and the nanoseconds between two
    // ticks that the last job 21 chose (0 before any, or when it found no tempo).
    bool clockRunning() const { return mClockRunning.load(); }
    int64_t clockInterval() const { return mClockInterval.load(); }
    // For tests: the steady clock the timing loop reads, in nanoseconds, in place of the system
    // clock, so that a test can make the loop wake late. Set it while no job runs.
    std::function<int64_t()> clockForTests;

    // What the starters write: one record per thread.
    std::array<SenderJobRecord, kSenderThreadCount> records;
    // For tests: runs on the worker with the job number before each job, so that a test can
    // hold a job of any thread (the clock jobs have no step of their own to hold). Set it while
    // no job runs.
    std::function<void(int job)> beforeJob;
    // For tests: runs on the launcher once a job's thread has started, before the launcher
    // gives its hold back, as a loaded machine may delay it. Set it while no job runs.
    std::function<void(int thread)> afterStart;
    std::atomic<bool> finished{false};
    std::atomic<bool> cancelRequested{false};
    PatchManager* patchManager;
    QOR* controller;

private:
    void dispatch(const SenderJobRecord& record);
    // ---- requests into library slots (MIDIMessageSenderLibrary.cpp) ----
    // The 128 entries of one bank, slot after slot, into the upper pane's bank.
    void requestBankIntoLibrary(int bankCode, bool performances);
    // One entry into the upper slot (at most 127); build gives the request for the slot and a
    // device id (-1: the controller's).
    // bankCode: that of the stored entry asked for, -1 for the edit buffer.
    void requestSlotIntoLibrary(const std::function<Request(int slot, int device)>& build, int bankCode);
    // The librarian's upper slot, read and written under the library's lock.
    int librarySlot() const;
    void setLibrarySlot(int slot);
    // Under the library's lock: the upper slot (slot >= 0) and the answer the request of a
    // stored entry takes next (MIDIMessageManager::awaitedAnswer), nothing taken yet.
    void awaitAnswer(int address, int slot = -1);
    // The answer last placed is the one awaited, or names no entry (a dump form).
    bool answerTaken(int address) const;
    // Sends one request a dump may answer, filed as due first and taken back when the port
    // refused it; checked: through the controller's port check.
    bool sendDue(Request r, uint64_t request, int address, DueKind kind, bool checked = false);
    // Before request goes (its first send, each slot of a bank): on a loose line one device-id
    // enquiry, and the wait for its answer or for quiet as long as twice plan's whole wait (a
    // synthesizer that ignores enquiries); then until the editor's device has sent no plain
    // dump for max(periodMs / 4, kQuietMs), at most plan's time-out. Cancel checked each
    // period; the request's own counts start after. Reply: go. (The protocol sends at once; a
    // reply of several dumps still coming would be taken for the next request's.) gapMs, when
    // not negative, replaces that quiet: for a reply whose end was seen.
    WaitEnd readyToAsk(uint64_t request, const WaitPlan& plan, int periodMs, int64_t gapMs = -1);
    // The quiet that ends a reply: a 383-byte dump at the cable's speed.
    static constexpr int kQuietMs = 130;
    static int64_t quietGap(int periodMs) { return periodMs / 4 > kQuietMs ? periodMs / 4 : kQuietMs; }
    // A waiting job starts: no cancel, no port change yet (on the job thread, since its claim).
    void beginWaitingJob();
    // The port change's text when one ended the job, else cancelText.
    void showCancelled(const char* cancelText);
    bool endedByPort() const { return mPortEnded.load(); }
    // The indicator shown and hidden around a job that sends nothing yet.
    void flashIndicator();

    std::array<Poco::Thread*, kSenderThreadCount> mThreads;
    // Holders of each thread's claim, or kEnded once the stop has joined the thread.
    static constexpr int kEnded = -1;
    std::array<std::atomic<int>, kSenderThreadCount> mClaimed{};
    // Under mAskedLock: a run is under way (it passes its end step, which takes the job to
    // follow); the job to follow, if any.
    std::mutex mAskedLock;
    std::array<bool, kSenderThreadCount> mRunning{};
    struct Follower {
        SenderJobRecord record;
        std::function<void()> begin;
    };
    std::optional<Follower> mFollower;
    // A click was refused while the thread's job ran: set by ask, cleared by the next claim and
    // by the job's end, which shows kBusyText again below its own end text.
    std::array<std::atomic<bool>, kSenderThreadCount> mRefused{};
    // Under mAskedLock, at the end of a job: shows its kept texts, then hands over the job to
    // follow (true, record and begin set) or gives the thread back (false).
    bool endJob(int thread, SenderJobRecord& record, std::function<void()>& begin);
    // Written and read by each worker on its own entries only.
    std::array<std::string, kSenderThreadCount> mEndText;
    std::array<bool, kSenderThreadCount> mHoldingEndText{};
    // The worker this call runs on, or -1.
    int currentThread() const;
    std::atomic<bool> mStopping{false};
    std::mutex mPauseLock;
    std::condition_variable mPauseWake;
    std::atomic<bool> mPortEnded{false};
    std::mutex mPortTextLock;
    std::string mPortEndText;

    // ---- the timing clock (MIDIMessageSenderMIDIClock.cpp) ----
    // Beats per minute for the loop, or 0 (with a log line) when there is no usable tempo.
    int clockTempo() const;
    // The system clock in nanoseconds, or previous when the read fails.
    int64_t readSystemClock(int64_t previous) const;
    std::atomic<bool> mClockRunning{false};
    std::atomic<int64_t> mClockInterval{0};
};
