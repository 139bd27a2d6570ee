// Choosing the synthesizer's ports against the simulator on the private JACK server: the status
// line ends on what the device-id enquiry found, however fast the synthesizer answers; an output
// chosen first waits with its enquiry for the input; and choosing the checked devices again
// reaches a synthesizer restarted under the same name.
#include "controller_editor_support.h"
#include "librarian_menus_support.h"
#include "sim_jack_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace qorid;

namespace
{

// The simulator's arguments: a name of this process's own, its record in folder, device id 15.
std::vector<std::string> simArgs(const std::string& name, const testsupport::TempDir& folder)
{
    return {"--name", name + std::to_string(::getpid()), "--record", folder.file("record.txt"), "--device-id", "15"};
}

} // namespace

TEST(PortChoiceJack, TheEnquirysAnswerIsTheLastStatusOnceTheOutputIsChosen)
{
    // The enquiry looks for the answer after one poll period: at 50 ms it has it well before the
    // output's own line, at 100 ms about then.
    for (const int timer : {0, 2}) {
        SCOPED_TRACE(timer);
        testsupport::TempDir simDir;
        synthsim::SimProcess sim;
        std::string error;
        ASSERT_TRUE(sim.start(SYNTH_SIM_EXE,
                              {"--name", "portchoice" + std::to_string(::getpid()) + "t" + std::to_string(timer),
                               "--record", simDir.file("record.txt"), "--device-id", "15"},
                              error))
            << error;
        editortest::Editor e("a\nnormal\nyes\n\n\n");
        QOR& q = *e.plug;
        q.GetParam(kLibSyncTimer)->Set(timer);
        IText font;
        editortest::TextRecorder status(&q, &font);
        ITextControl* const shown = q.statusDisplay;
        q.statusDisplay = &status;
        simjack::connect(q, sim); // the input first, then the output
        EXPECT_TRUE(simjack::waitIdle(q));
        q.statusDisplay = shown;
        const std::vector<std::string> texts = status.texts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), "Plug-in is ready to go!");
        const auto at = [&texts](const std::string& t) {
            return std::find(texts.begin(), texts.end(), t) - texts.begin();
        };
        EXPECT_LT(at("Default MIDI input set."), at("Default MIDI output set."));
        EXPECT_LT(at("Default MIDI output set."), at("Connecting to Hardware"));
        EXPECT_EQ(q.deviceId, 15);
        q.midiManager->stopAndJoin();
        sim.stop();
    }
}

TEST(PortChoiceJack, AnOutputChosenFirstSendsAtOnceButItsEnquiryWaitsForTheInputOrEndsWithoutIt)
{
    testsupport::TempDir simDir;
    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(sim.start(SYNTH_SIM_EXE, simArgs("outfirst", simDir), error)) << error;
    editortest::Editor e("a\nnormal\nyes\n\n\n");
    QOR& q = *e.plug;
    q.GetParam(kLibSyncTimer)->Set(0);
    IText font;
    editortest::TextRecorder line1(&q, &font), line2(&q, &font);
    ITextControl* const shown[] = {q.statusDisplay, q.valueDisplay};
    q.statusDisplay = &line1;
    q.valueDisplay = &line2;
    const int out = simjack::indexOf(q.getExternalMIDIOutNames(), sim.inputPort());
    const int in = simjack::indexOf(q.getExternalMIDIInNames(), sim.outputPort());
    simjack::edit(q, kDeviceOutSelection, out);
    EXPECT_TRUE(q.midiIOSet.load()) << "edits go out with the output alone";
    EXPECT_TRUE(q.midiManager->threadIdle(kJobThread)) << "no enquiry that cannot hear its answer";
    ASSERT_FALSE(line2.texts().empty());
    EXPECT_EQ(line2.texts().back(), "MIDI In not set");
    // Unset again, the output leaves nothing waiting: its notice goes, and no enquiry starts.
    simjack::edit(q, kDeviceOutSelection, 0);
    EXPECT_EQ(line2.texts().back(), "") << "the notice goes with the output";
    EXPECT_FALSE(q.mEnquiryAwaitsInput);
    EXPECT_TRUE(q.midiManager->threadIdle(kJobThread));
    simjack::edit(q, kDeviceOutSelection, out);
    EXPECT_EQ(line2.texts().back(), "MIDI In not set");
    simjack::edit(q, kDeviceInSelection, in);
    EXPECT_TRUE(simjack::waitIdle(q, 5));
    EXPECT_EQ(line2.texts().back(), "") << "the notice goes once the input is chosen";
    ASSERT_FALSE(line1.texts().empty());
    EXPECT_EQ(line1.texts().back(), "Plug-in is ready to go!") << "the enquiry ran once the input was there";

    // A project recall that opens the input ends the wait too; the job thread is its own
    // enquiry's, whose answer lets the performance go to the synthesizer.
    ByteChunk chunk;
    ASSERT_TRUE(q.SerializeState(&chunk));
    simjack::edit(q, kDeviceInSelection, 0);
    simjack::edit(q, kDeviceOutSelection, out);
    EXPECT_EQ(line2.texts().back(), "MIDI In not set");
    const size_t before = line1.texts().size();
    size_t seen = synthsim::readRecordFile(simDir.file("record.txt")).size();
    EXPECT_EQ(q.UnserializeState(&chunk, 0), chunk.Size());
    EXPECT_GT(q.midiInIndex, 0);
    EXPECT_EQ(line2.texts().back(), "") << "the notice goes with the recall's input";
    EXPECT_FALSE(q.mEnquiryAwaitsInput);
    EXPECT_TRUE(simjack::waitIdle(q));
    std::vector<std::string> stored;
    for (const auto& line : simjack::arrived(simDir.file("record.txt"), seen)) stored.push_back(line.note);
    EXPECT_NE(std::find(stored.begin(), stored.end(), "stored into performance edit buffer"), stored.end());
    const std::vector<std::string> texts = line1.texts();
    // The recall's own; on a loaded machine another enquiry has followed it once in 50 runs,
    // after the send was paid.
    EXPECT_GE(std::count(texts.begin() + long(before), texts.end(), "Connecting to Hardware"), 1)
        << "the recall's enquiry";
    EXPECT_FALSE(q.recalledSendOwed.load());

    // A project saved with no input, recalled while the output is open, leaves the enquiry
    // waiting for one and says so, as a choice of the output does.
    simjack::edit(q, kDeviceInSelection, 0);
    ByteChunk noInput;
    ASSERT_TRUE(q.SerializeState(&noInput));
    simjack::edit(q, kDeviceInSelection, in);
    EXPECT_EQ(q.UnserializeState(&noInput, 0), noInput.Size());
    EXPECT_EQ(q.midiInIndex, 0);
    EXPECT_EQ(line2.texts().back(), "MIDI In not set");
    EXPECT_TRUE(q.mEnquiryAwaitsInput);
    EXPECT_TRUE(simjack::waitIdle(q));
    q.statusDisplay = shown[0];
    q.valueDisplay = shown[1];
    q.midiManager->stopAndJoin();
    sim.stop();
}

TEST(PortChoiceJack, ChoosingTheCheckedDevicesAgainReachesASynthesizerRestartedUnderItsName)
{
    testsupport::TempDir simDir;
    const std::vector<std::string> args = simArgs("restarted", simDir);
    synthsim::SimProcess before;
    std::string error;
    ASSERT_TRUE(before.start(SYNTH_SIM_EXE, args, error)) << error;
    editortest::Editor e("a\nnormal\nyes\n\n\n");
    QOR& q = *e.plug;
    q.GetParam(kLibSyncTimer)->Set(0);
    simjack::connect(q, before);
    EXPECT_TRUE(simjack::waitIdle(q));
    before.stop();
    synthsim::SimProcess after;
    ASSERT_TRUE(after.start(SYNTH_SIM_EXE, args, error)) << error;

    menutest::OpenEditor editor(q);
    IText font;
    editortest::TextRecorder status(&q, &font);
    ITextControl* const shown = q.statusDisplay;
    q.statusDisplay = &status;
    IMouseMod left(true);
    for (const int id : {kDeviceInSelection, kDeviceOutSelection}) {
        editor.answer({int(q.GetParam(id)->Value())});
        q.firstControl(id)->OnMouseDown(0, 0, &left);
    }
    EXPECT_TRUE(simjack::waitIdle(q));
    q.statusDisplay = shown;
    ASSERT_FALSE(status.texts().empty());
    EXPECT_EQ(status.texts().back(), "Plug-in is ready to go!") << "the enquiry reached the new synthesizer";
    q.midiManager->stopAndJoin();
    after.stop();
}
