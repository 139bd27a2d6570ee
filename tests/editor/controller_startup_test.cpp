// The controller object: UI-size file, log switch, start-up snapshot, reset and shut-down order.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchManager.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/UIConfigManager.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using testsupport::TempDir;

// A controller built over the data folder dir; out keeps what the build printed.
static std::unique_ptr<QOR> build(const TempDir& dir, std::string* out = nullptr)
{
    setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
    testing::internal::CaptureStdout();
    auto plug = std::make_unique<QOR>(IPluginInstanceInfo());
    std::string printed = testing::internal::GetCapturedStdout();
    if (out) *out = printed;
    return plug;
}

TEST(ControllerStartUp, TheUISizeFileGivesFiveTrimmedLinesTheScaleAndTheStoredPortsFlag)
{
    std::string huge(1 << 20, 'b'); // the 64 KiB cut falls inside the blanks
    huge.replace(0, 65540, std::string(65530, 'a') + std::string(10, ' '));
    const struct {
        const char* content; // null: no file
        std::vector<std::string> lines;
        double scale;
        bool portsStored;
    } cases[] = {
        {nullptr, {"", "", "", "", ""}, 1.0, false},
        {"keep me\nsmall\n", {"keep me", "small", "", "", ""}, 0.85, false},
        {"\nlarge", {"", "large", "", "", ""}, 1.15, false},
        {"x\nnormal   \n", {"x", "normal", "", "", ""}, 1.0, false},
        {"x\r\nsmall \t\r\n", {"x", "small", "", "", ""}, 0.85, false},
        {"x\n small\n", {"x", " small", "", "", ""}, 1.0, false},
        {"a\nsmall\nno", {"a", "small", "no", "", ""}, 0.85, false},
        {"1\nlarge\nyes\nOut  \nIn\n6\n7\n", {"1", "large", "yes", "Out", "In"}, 1.15, true},
        {huge.c_str(), {std::string(65530, 'a'), "", "", "", ""}, 1.0, false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        if (c.content) testsupport::writeFile(dir.file("QOR Editor UI.txt"), std::string(c.content));
        auto plug = build(dir);
        EXPECT_EQ(std::vector<std::string>(plug->uiSettingsLines.begin(), plug->uiSettingsLines.end()), c.lines);
        EXPECT_EQ(plug->uiScale, c.scale) << c.lines[1];
        EXPECT_EQ(plug->defaultPortsStored.load(), c.portsStored) << c.lines[3];
    }
}

TEST(ControllerStartUp, WithoutALogFileNoneIsMadeAndTheSnapshotIsTheShortStateChunk)
{
    TempDir dir;
    std::string out;
    auto plug = build(dir, &out);
    EXPECT_NE(out.find("Unable to open file"), std::string::npos);
    EXPECT_TRUE(dir.list().empty()) << "no log file was created";
    const KIT_HeapBuf& blob = plug->patchManager->patch.data;
    ASSERT_EQ(blob.GetSize(), 39828);
    const auto* bytes = static_cast<const uint8_t*>(blob.Get());
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0, 0, 0, 1}));
    EXPECT_TRUE(plug->startupComplete.load());
}

TEST(ControllerReset, TheQueueKeepsWaitingMessagesInOrderWithRoomForTheBlockOrAllOfThemAndASetOffsetStays)
{
    const struct {
        int block, waiting, room;
    } cases[] = {{100, 0, 512}, {512, 0, 512}, {513, 0, 1024}, {100, 700, 1024}, {513, 1100, 1536}};
    TempDir dir;
    auto plug = build(dir);
    IMidiQueue& q = plug->midiOutQueue;
    for (const auto& c : cases) {
        q.Clear();
        for (int i = 0; i < c.waiting + 2; ++i) {
            IMidiMsg m(i / 10, 0xB0, uint8_t(i % 128), 0);
            q.Add(&m);
        }
        q.Remove(); // two taken already, so the waiting ones do not start the buffer
        q.Remove();
        plug->SetBlockSize(c.block);
        plug->Reset();
        EXPECT_EQ(q.GetSize(), c.room) << c.block << " " << c.waiting;
        ASSERT_EQ(q.ToDo(), c.waiting);
        for (int i = 2; i < c.waiting + 2; ++i, q.Remove()) ASSERT_EQ(q.Peek()->mData1, i % 128) << i;
    }
    // The start-up reset set the offset; later ones keep it.
    EXPECT_EQ(plug->dawOffset.load(), 1024);
    plug->dawOffset = 77;
    plug->Reset();
    EXPECT_EQ(plug->dawOffset.load(), 77);
}

TEST(ControllerShutDown, PortsCloseFirstThenWorkersStopThenTheManagersGo)
{
    // Records, at each shut-down step, which of the controller's objects are still there.
    struct RecordingQOR : QOR {
        explicit RecordingQOR(std::vector<std::string>* seen) : QOR(IPluginInstanceInfo())
        {
            midiIOSet = true;
            // A job held on the clock thread in a pause that only the shut-down's stop ends: the
            // shut-down must stop and join it. (The clock job itself returns at once while clock
            // output is off, so it cannot be what keeps the thread busy.)
            SenderJobRecord clock;
            clock.job = kJobContinuousClock;
            MIDIMessageSender* sender = midiManager->sender;
            sender->beforeJob = [this, sender](int) {
                mHeld = true;
                sender->pause(600000);
            };
            EXPECT_TRUE(midiManager->startJob(clock));
            while (!mHeld) std::this_thread::yield();
            QOR* self = this; // the hook runs inside ~QOR, where only the base is whole
            mShutdownStep = [self, seen](const char* step) {
                seen->push_back(std::string(step) + (self->midiIOSet ? " io" : "") +
                                (self->midiManager && !self->midiManager->threadIdle(kClockThread) ? " busy" : "") +
                                (self->midiManager ? " mm" : "") + (self->patchLibrarian ? " lib" : "") +
                                (self->patchManager ? " pm" : "") + (self->uiConfigManager ? " cfg" : ""));
            };
        }
        std::atomic<bool> mHeld{false};
    };
    TempDir dir;
    std::vector<std::string> seen;
    build(dir).reset(); // the same folder for the recording one
    testing::internal::CaptureStdout();
    delete new RecordingQOR(&seen);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(seen, (std::vector<std::string>{"MIDI ports closed io busy mm lib pm cfg",
                                              "midiIOSet cleared busy mm lib pm cfg", "workers joined mm lib pm cfg",
                                              "protocol manager deleted lib pm cfg", "librarian deleted pm cfg",
                                              "patch manager deleted cfg", "configuration manager deleted"}));
}
