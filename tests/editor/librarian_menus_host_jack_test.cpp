// The librarian's folder menu and the header's program menu of the bundle in the stand-in host,
// against the synthesizer simulator on the private JACK server: the menus as the host prints
// them, the bank chosen two folders down (and one whose name is not UTF-8), the upper pane and
// bank list that follow, and a program change that pulls the synthesizer's program back.
#include "host_sim_support.h"
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

using hostscript::printed;
using hostscript::printedParam;

namespace
{

// The messages that reached the simulator after its first seen lines; seen moves past them.
std::vector<synthsim::RecordLine> arrivedSince(const std::string& record, size_t& seen, size_t atLeast)
{
    std::vector<synthsim::RecordLine> in;
    for (int i = 0; i < 250; ++i) {
        in.clear();
        size_t n = 0;
        for (const auto& r : synthsim::readRecordFile(record)) {
            if (r.direction != "in") continue;
            if (n++ >= seen) in.push_back(r);
        }
        if (in.size() >= atLeast) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    seen += in.size();
    return in;
}

// A program bank whose entries are named prefix and their slot ("Targ 007").
bankgen::Bytes namedBank(const std::string& prefix, uint32_t seed)
{
    bankgen::Bank bank = bankgen::makeBank(bankgen::Kind::Programs, 0x20, 128, seed);
    for (size_t slot = 0; slot < bank.entries.size(); ++slot) {
        char name[17];
        std::snprintf(name, sizeof name, "%-16s", (prefix + " " + std::to_string(1000 + slot).substr(1)).c_str());
        std::copy(name, name + 16, bank.entries[slot][0].begin() + 10);
    }
    return bankgen::rawFile(bankgen::messagesOf(bank));
}

// The items of a printed menu line, after its anchor.
std::string itemsOf(const std::string& line)
{
    const size_t at = line.find(": ", 6);
    return at == std::string::npos ? line : line.substr(at + 2);
}

} // namespace

TEST(LibrarianMenusHostJack, FolderChoicesLoadTheUpperPaneAndProgram123PullsTheSynthesizersProgram)
{
    testsupport::TempDir dir;
    const std::string root = dir.file("Patches");
    for (const char* folder : {"", "/Deep", "/Deep/Inner", "/Other"}) mkdir((root + folder).c_str(), 0755);
    uint32_t seed = 1;
    for (const std::string file : {"/Deep/Inner/another.syx", "/Deep/Inner/target.syx", "/Deep/d1.syx",
                                   "/Other/caf\xe9.syx", "/Other/o1.syx"})
        testsupport::writeFile(root + file, namedBank(file.substr(file.rfind('/') + 1, 3), seed++));
    testsupport::writeFile(dir.file("seed.syx"), bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));

    synthsim::SimProcess sim;
    std::string error;
    const std::string record = dir.file("record.txt");
    ASSERT_TRUE(hostscript::startSeededSim(sim, "libhost", record, dir.file("seed.syx"), error)) << error;
    const std::string out = dir.file("host.txt");
    FILE* host = hostscript::startHostOnPorts(dir, out, sim.inputPort(), sim.outputPort());
    ASSERT_NE(host, nullptr);
    auto send = [host](const std::string& lines) { hostscript::send(host, lines); };
    const std::string shots = testsupport::binaryDir() + "/tests/librarian_menus_host";
    mkdir(shots.c_str(), 0755);

    // The librarian page, program mode; the strip over the upper pane.
    send("open\neditor-open\nsetparam 5118 1\ntick 2\nscreenshot " + shots + "/before.png\nmenu-next 0.0.1\n"
         "click 500 196\ntick 2\ngetparam 5114\nscreenshot " + shots + "/chosen.png\n");
    EXPECT_EQ(itemsOf(printed(out, "menu: ")),
              "Deep { Inner { *another.syx | target.syx } | d1.syx } | Other { caf\xe9.syx | "
              "o1.syx }");
    EXPECT_EQ(printedParam(out, 5114, 1), 1) << "target.syx is the second program bank";
    // The upper pane and the upper bank list show target.syx's names (looked at in the
    // screenshots): the picture changes.
    ASSERT_NE(printed(out, "screenshot: ", 2), "");
    EXPECT_NE(testsupport::readFile(shots + "/before.png"), testsupport::readFile(shots + "/chosen.png"));

    // Dismissed: the same bank again, checked.
    send("menu-next dismiss\nclick 500 196\ntick 2\ngetparam 5114\nscreenshot " + shots + "/dismissed.png\n");
    EXPECT_EQ(itemsOf(printed(out, "menu: ", 2)),
              "Deep { Inner { another.syx | *target.syx } | d1.syx } | Other { caf\xe9.syx | "
              "o1.syx }");
    EXPECT_EQ(printedParam(out, 5114, 2), 1);
    ASSERT_NE(printed(out, "screenshot: ", 3), "");
    EXPECT_EQ(testsupport::readFile(shots + "/chosen.png"), testsupport::readFile(shots + "/dismissed.png"));

    // The name that is not UTF-8.
    send("menu-next 1.0\nclick 500 196\ntick 2\ngetparam 5114\n");
    EXPECT_EQ(printedParam(out, 5114, 3), 3);


    // Part 3 (selectedPart 2), the bank switch at its start value: bank A program 123 goes out,
    // then the part's edit buffer is asked for, and the editor shows what came back.
    send("setparam 5120 2\ntick\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    size_t seen = 0;
    arrivedSince(record, seen, 0);
    send("menu-next 12.3\nclick 1200 70\n");
    const auto lines = arrivedSince(record, seen, 5);
    std::vector<std::vector<uint8_t>> shorts;
    bool requested = false;
    for (const auto& l : lines) {
        if (l.bytes.size() <= 3) shorts.push_back(l.bytes);
        else if (!shorts.empty() && l.bytes.size() > 3 && l.bytes[0] == 0xF0) requested = true;
    }
    EXPECT_EQ(shorts, (std::vector<std::vector<uint8_t>>{{0xB2, 0x7B, 0x00}, {0xB2, 0x00, 0x00}, {0xB2, 0x20, 0x05},
                                                          {0xC2, 0x7B}}));
    EXPECT_TRUE(requested) << "the edit-buffer request follows";
    std::string shown;
    for (int i = 0; i < 100 && shown.find("A123") == std::string::npos; ++i) {
        send("tick\ntexts\n");
        shown = printed(out, "texts: ", size_t(1 + i));
    }
    EXPECT_NE(shown.find("A123"), std::string::npos) << shown;

    // Part 1, enabled now, was last sent bank A program 0: choosing that for part 3 sends nothing.
    send("setparam 4201 1\ntick\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    arrivedSince(record, seen, 0);
    send("menu-next 0.0\nclick 1200 70\ntick 2\ngetparam 4195\n");
    printedParam(out, 4195, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(arrivedSince(record, seen, 0).empty());

    send("screenshot " + shots + "/program.png\neditor-close\nclose\n");
    EXPECT_EQ(pclose(host), 0);
    sim.stop();
}
