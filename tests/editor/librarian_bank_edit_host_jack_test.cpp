// The bank edit menu of the bundle in the stand-in host, against the synthesizer simulator on the
// private JACK server: a whole bank requested into the upper pane, saved over its file and as a
// new Standard MIDI File.
#include "bank_edit_host_support.h"
#include "host_sim_support.h"
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

using bankedithost::body;
using bankedithost::messagesOfRaw;
using bankedithost::statusShows;
using hostscript::printed;

TEST(BankEditHostJack, ABankRequestedIntoTheUpperPaneIsSavedOverItsFileAndAsANewMidiFile)
{
    testsupport::TempDir dir;
    const std::string root = dir.file("Patches");
    mkdir(root.c_str(), 0755);
    // The upper bank before the request: the simulator's bank B.
    const std::vector<bankgen::Bytes> synth = bankgen::synthBanks(bankgen::Kind::Programs, 2);
    const std::vector<bankgen::Bytes> bankA(synth.begin(), synth.begin() + 128), bankB(synth.begin() + 128, synth.end());
    testsupport::writeFile(root + "/mine.syx", bankgen::rawFile(bankB));
    testsupport::writeFile(dir.file("seed.syx"), bankgen::rawFile(synth));

    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(hostscript::startSeededSim(sim, "bankedit", dir.file("record.txt"), dir.file("seed.syx"), error)) << error;
    const std::string out = dir.file("host.txt");
    FILE* host = hostscript::startHostOnPorts(dir, out, sim.inputPort(), sim.outputPort());
    ASSERT_NE(host, nullptr);
    auto send = [host](const std::string& lines) { hostscript::send(host, lines); };
    const std::string shots = testsupport::binaryDir() + "/tests/librarian_bank_edit_host";
    mkdir(shots.c_str(), 0755);

    // The librarian page; the menu's strip right of the upper folder menu.
    send("open\neditor-open\nsetparam 5118 1\ntick 2\nscreenshot " + shots + "/before.png\nmenu-next 0.4\nclick 860 196\n");
    EXPECT_NE(printed(out, "menu: ").find("Request HW Patch Data"), std::string::npos);
    size_t asked = 0;
    ASSERT_TRUE(statusShows(host, out, "Data request completed!", asked, 60)) << printed(out, "texts: ", asked);
    // The upper pane shows bank A's names (looked at in the screenshot): the picture changes.
    send("screenshot " + shots + "/requested.png\n");
    ASSERT_NE(printed(out, "screenshot: ", 2), "");
    EXPECT_NE(testsupport::readFile(shots + "/before.png"), testsupport::readFile(shots + "/requested.png"));

    // Saved over its file: the bank file now holds bank A's programs.
    send("menu-next 7\nclick 860 196\ntick\n");
    std::vector<bankgen::Bytes> saved;
    for (int i = 0; i < 100 && saved.size() != 128; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        saved = messagesOfRaw(testsupport::readFile(root + "/mine.syx"));
        if (!saved.empty() && body(saved[0]) != body(bankA[0])) saved.clear();
    }
    ASSERT_EQ(saved.size(), 128u);
    for (size_t s = 0; s < 128; ++s) EXPECT_EQ(body(saved[s]), body(bankA[s])) << s;

    // Save As a Standard MIDI File (the in-process tests read its menus back).
    send("panel-next " + root + "/copy.mid\nmenu-next 8.0\nclick 860 196\ntick 2\n");
    printed(out, "menu: ", 3);
    bankgen::Bytes mid;
    for (int i = 0; i < 100 && mid.size() < 4; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (std::filesystem::exists(root + "/copy.mid")) mid = testsupport::readFile(root + "/copy.mid");
    }
    ASSERT_GE(mid.size(), 4u);
    EXPECT_EQ(std::string(mid.begin(), mid.begin() + 4), "MThd");
    EXPECT_EQ(messagesOfRaw(mid).size(), 128u) << "one SysEx event per program";
    // Cancelled: nothing written.
    send("panel-next cancel\nmenu-next 8.1\nclick 860 196\ntick\n");
    printed(out, "menu: ", 4);
    send("tick 2\ntexts\n");
    printed(out, "texts: ", ++asked);
    EXPECT_FALSE(std::filesystem::exists(root + "/mine.qor"));

    send("editor-close\nclose\n");
    EXPECT_EQ(pclose(host), 0);
    sim.stop();
}
