// The plug-in closed while a whole bank comes in from the synthesizer, again and again: every
// close ends the request, leaks no thread, and leaves each library slot either as it was or
// whole with the synthesizer's program, the filled ones in order from the first.
#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "kit/plugin/IParam.h"
#include "kit/threadname.h"
#include "launcher.h"
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"
#include "tools/synth-sim/syxfile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;

// A controller that shows its library bank to the test once its workers are joined on close.
class ClosingQOR : public QOR
{
public:
    using QOR::QOR;
    void onWorkersJoined(std::function<void()> check)
    {
        mShutdownStep = [check](const char* step) {
            if (std::strcmp(step, "workers joined") == 0) check();
        };
    }
};

// The threads our code started that still run: a client that the port layer keeps after its
// activation failed may leave the JACK library's threads, which carry the name of the thread of
// ours that opened it, for the life of the process.
int ourThreadCount()
{
    return int(KIT_OurThreads().size());
}

std::string ourThreadNames()
{
    std::string names;
    for (const std::string& n : KIT_OurThreads()) names += " " + n;
    return names;
}

Bytes bytesOf(const SysexBytes& b)
{
    return Bytes(b.begin(), b.end());
}

} // namespace

TEST(CloseDuringBankRequestJack, TwoHundredClosesLeaveNoThreadAndNoSlotHalfWritten)
{
    testsupport::TempDir dir;
    // The synthesizer's bank A ("A0".."A127") against a library bank of other programs.
    testsupport::writeFile(dir.file("seed.syx"), bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));
    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                          {"--name", "closing" + std::to_string(::getpid()), "--device-id", "15", "--load",
                           dir.file("seed.syx")},
                          error))
        << error;
    testsupport::TempDir memory;
    sim.command("dump " + memory.path);
    std::string line;
    while (sim.readLine(line, 5000) && line.rfind("ok dump", 0) != 0) {
    }
    synthsim::SplitResult synth;
    ASSERT_TRUE(synthsim::readSyxFile(memory.file("programs-A.syx"), synth, error)) << error;
    ASSERT_EQ(synth.messages.size(), 128u);

    const bankgen::Bank library = bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, 7);
    mkdir(dir.file("Patches").c_str(), 0755);
    testsupport::writeFile(dir.file("Patches/Library.syx"), bankgen::rawFile(bankgen::messagesOf(library)));
    setenv("QOR_DATA_FOLDER", dir.path.c_str(), 1);
    setenv("QOR_BUNDLE_PATH", (testsupport::binaryDir() + "/QOR.component").c_str(), 1);
    // A second instance without ports stays open throughout, as in a host's project, and keeps
    // the shared bitmaps loaded, so each round does not decode them again.
    testsupport::writeFile(dir.file("QOR Editor UI.txt"), "\nnormal\nyes\n\n\n");
    testing::internal::CaptureStdout();
    auto bystander = std::make_unique<QOR>(IPluginInstanceInfo());
    testing::internal::GetCapturedStdout();
    ASSERT_FALSE(bystander->midiIOSet);
    // The stored ports reopen by name at start-up and nothing is sent until asked.
    testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                           "\nnormal\nyes\n" + sim.inputPort() + "\n" + sim.outputPort() + "\n");

    int threadsBefore = -1, filledMost = 0, emptyCloses = 0;
    const int kCloses = 200;
    for (int round = 0; round < kCloses; ++round) {
        // Counted once the first instance has gone: what it started for the whole process stays.
        if (round == 1) threadsBefore = ourThreadCount();
        testing::internal::CaptureStdout();
        auto plug = std::make_unique<ClosingQOR>(IPluginInstanceInfo());
        testing::internal::GetCapturedStdout();
        QOR& q = *plug;
        ASSERT_TRUE(q.midiIOSet) << "round " << round;
        PatchLibrarian& lib = *q.patchLibrarian;
        ASSERT_EQ(lib.singleFiles.size(), 1u);
        const std::vector<LibrarianPatch> before = lib.singleFiles[0]->patches;
        ASSERT_EQ(before.size(), 128u);
        q.GetParam(qorid::kLibSyncTimer)->Set(0); // 50 ms
        ASSERT_TRUE(q.midiManager->sendAllPatchRequestSysexFromLibrarian(0));

        int filled = -1;
        plug->onWorkersJoined([&] {
            std::lock_guard<std::recursive_mutex> hold(lib.mLock);
            const std::vector<LibrarianPatch>& now = lib.singleFiles[0]->patches;
            ASSERT_EQ(now.size(), 128u);
            filled = 0;
            for (size_t s = 0; s < now.size(); ++s) {
                ASSERT_EQ(now[s].messages.size(), 1u) << "round " << round << " slot " << s;
                const Bytes b = bytesOf(now[s].messages[0].bytes);
                const bool old = b == bytesOf(before[s].messages[0].bytes);
                // Filled slots make an unbroken run from slot 0.
                if (!old && size_t(filled) == s) {
                    EXPECT_EQ(b, synth.messages[s]) << "round " << round << " slot " << s;
                    ++filled;
                } else {
                    EXPECT_TRUE(old) << "round " << round << " slot " << s << " changed out of turn";
                }
            }
        });
        // Closed at a different moment of the bank each round: before the first answer up to
        // a few slots in (a slot takes about 60 ms).
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 37 % 160));
        // The count sees an open instance's threads: its bank request's, its ports'.
        if (round == 1) {
            EXPECT_GT(ourThreadCount(), threadsBefore);
        }
        plug.reset();
        EXPECT_GE(filled, 0) << "round " << round << ": the workers were not joined on close";
        filledMost = std::max(filledMost, filled);
        if (filled == 0) ++emptyCloses;
        if (HasFatalFailure()) break;
    }
    EXPECT_EQ(ourThreadCount(), threadsBefore) << "still running:" << ourThreadNames();
    bystander.reset();
    unsetenv("QOR_BUNDLE_PATH");
    sim.stop();
    // The closes fell both before the first slot and after some had been filled.
    EXPECT_GT(emptyCloses, 0);
    EXPECT_GE(filledMost, 2);
    std::printf("%d closes: up to %d slots filled before a close, %d closes before the first\n", kCloses, filledMost,
                emptyCloses);
}
