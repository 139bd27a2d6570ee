// The bank edit menu's stores, round trip, Save As and import in the stand-in host, against the
// synthesizer simulator on the private JACK server: what reaches the simulator's memory and the
// library's files, byte for byte, and the menus that offer the new files at once.
#include "bank_edit_host_support.h"
#include "host_sim_support.h"
#include "sim_jack_support.h"
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <map>
#include <string>
#include <thread>
#include <vector>

using bankedithost::body;
using bankedithost::messagesOfRaw;
using bankedithost::statusShows;
using Bytes = bankgen::Bytes;

namespace
{

// Slot centres at the normal size: the grid stands at (379, 208), columns 133 apart, rows of 14,
// the lower pane at 482.
std::string cell(bool upperPane, int slot)
{
    return std::to_string(379 + slot / 16 * 133 + 52) + " " + std::to_string((upperPane ? 216 : 489) + slot % 16 * 14);
}

// The host with its menus: the strip of the bank edit menu, the panes' folder menus and the
// header's bank-name menu; each click waits for the menu it pops up.
struct Menus {
    FILE* host;
    std::string out;
    size_t shown = 0;
    // The items of the menu that answer (item indexes joined by dots, or "dismiss") pops up at x y.
    std::string pick(const std::string& answer, const char* at)
    {
        hostscript::send(host, "menu-next " + answer + "\nclick " + at + "\ntick\n");
        const std::string line = hostscript::printed(out, "menu: ", ++shown);
        const size_t items = line.find(": ", 6);
        return items == std::string::npos ? line : line.substr(items + 2);
    }
    std::string edit(const std::string& answer) { return pick(answer, "860 196"); }
    std::string upperFolder(const std::string& answer) { return pick(answer, "500 196"); }
    std::string lowerFolder(const std::string& answer) { return pick(answer, "500 470"); }
    std::string bankName(const std::string& answer) { return pick(answer, "1160 70"); }
    // The index of file among the items of a folder menu of files alone, -1 when absent.
    int indexOf(const std::string& items, const std::string& file) const
    {
        int index = 0;
        for (size_t at = 0; at <= items.size(); ++index) {
            size_t end = items.find(" | ", at);
            if (end == std::string::npos) end = items.size();
            std::string item = items.substr(at, end - at);
            if (!item.empty() && item[0] == '*') item.erase(0, 1);
            if (item == file) return index;
            at = end + 3;
        }
        return -1;
    }
    // Makes file the bank of a pane through its folder menu.
    void choose(bool upperPane, const std::string& file)
    {
        const std::string items = upperPane ? upperFolder("dismiss") : lowerFolder("dismiss");
        const int index = indexOf(items, file);
        ASSERT_GE(index, 0) << file << " in " << items;
        if (upperPane)
            upperFolder(std::to_string(index));
        else
            lowerFolder(std::to_string(index));
    }
};

// Polls until done holds, up to seconds; whether it did.
template <class Done> bool within(int seconds, Done&& done)
{
    for (int i = 0; i < seconds * 10; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

// The files below folder with their sizes.
std::map<std::string, uintmax_t> listing(const std::string& folder)
{
    std::map<std::string, uintmax_t> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        out[e.path().string()] = e.is_regular_file() ? e.file_size() : 0;
    return out;
}

} // namespace

TEST(BankStoreHostJack, StoresRoundTripSaveAsAndImportReachTheSynthesizerAndTheLibraryFiles)
{
    testsupport::TempDir dir;
    const std::string root = dir.file("Patches"), elsewhere = dir.file("Elsewhere");
    mkdir(root.c_str(), 0755);
    mkdir(elsewhere.c_str(), 0755);
    // The simulator's banks A to C; library banks of the synthesizer's banks D to G ("D5", "E17").
    const std::vector<Bytes> all = bankgen::synthBanks(bankgen::Kind::Programs, 7);
    auto bank = [&all](int b) { return std::vector<Bytes>(all.begin() + b * 128, all.begin() + b * 128 + 128); };
    const std::vector<Bytes> up = bank(3), low = bank(4), another = bank(5), fresh = bank(6);
    testsupport::writeFile(dir.file("seed.syx"), bankgen::rawFile(std::vector<Bytes>(all.begin(), all.begin() + 384)));
    testsupport::writeFile(root + "/Up.syx", bankgen::rawFile(up));
    testsupport::writeFile(root + "/Low.syx", bankgen::rawFile(low));
    testsupport::writeFile(root + "/Round.syx", bankgen::rawFile(another));
    testsupport::writeFile(elsewhere + "/Fresh.syx", bankgen::rawFile(fresh));

    synthsim::SimProcess sim;
    std::string error;
    ASSERT_TRUE(hostscript::startSeededSim(sim, "bankstore", dir.file("record.txt"), dir.file("seed.syx"), error))
        << error;
    const std::string memory = dir.file("memory");
    mkdir(memory.c_str(), 0755);
    Menus menus{hostscript::startHostOnPorts(dir, dir.file("host.txt"), sim.inputPort(), sim.outputPort()),
                dir.file("host.txt")};
    ASSERT_NE(menus.host, nullptr);
    auto send = [&menus](const std::string& lines) { hostscript::send(menus.host, lines); };
    size_t asked = 0;
    // The shortest pause between the stored slots.
    send("open\neditor-open\nsetparam 5118 1\nsetparam 5078 0\ntick 2\n");

    // Import of a raw bank file: a copy of it in the library root, in both folder menus at once.
    send("panel-next " + elsewhere + "/Fresh.syx\n");
    EXPECT_NE(menus.edit("10.1").find("Import..."), std::string::npos);
    EXPECT_TRUE(within(5, [&] { return std::filesystem::exists(root + "/Fresh.syx"); }));
    EXPECT_EQ(testsupport::readFile(root + "/Fresh.syx"), bankgen::rawFile(fresh));
    EXPECT_GE(menus.indexOf(menus.upperFolder("dismiss"), "Fresh.syx"), 0);
    EXPECT_GE(menus.indexOf(menus.lowerFolder("dismiss"), "Fresh.syx"), 0);

    // Lower 17 dropped onto upper 5, part 1 in bank B, then stored on the selected slot and bank:
    // the simulator's bank B holds it in slot 5 alone.
    menus.choose(true, "Up.syx");
    menus.choose(false, "Low.syx");
    send("setparam 4185 1\ntick\n");
    const std::vector<Bytes> bankB = simjack::memoryFile(sim, memory, "programs-B.syx");
    ASSERT_EQ(bankB.size(), 128u);
    send("press " + cell(false, 17) + "\ndrag " + cell(true, 5) + "\nrelease " + cell(true, 5) + "\ntick\n");
    menus.edit("2.0");
    std::vector<Bytes> stored;
    EXPECT_TRUE(within(10, [&] {
        stored = simjack::memoryFile(sim, memory, "programs-B.syx");
        return stored.size() == 128 && stored[5] != bankB[5];
    }));
    ASSERT_EQ(stored.size(), 128u);
    ASSERT_GT(stored[5].size(), 10u);
    EXPECT_EQ(Bytes(stored[5].begin() + 7, stored[5].begin() + 10), (Bytes{0x02, 0x06, 0x05}));
    EXPECT_EQ(body(stored[5]), body(low[17]));
    for (size_t s = 0; s < 128; ++s) {
        if (s != 5) {
            EXPECT_EQ(stored[s], bankB[s]) << s;
        }
    }
    ASSERT_TRUE(statusShows(menus.host, menus.out, "Data write completed!", asked, 10));

    // All of the upper bank, as edited, to bank C: every slot retyped to its own slot of bank C.
    std::vector<Bytes> edited = up;
    edited[5] = low[17];
    std::vector<Bytes> bankC;
    menus.edit("2.4");
    EXPECT_TRUE(within(150, [&] {
        bankC = simjack::memoryFile(sim, memory, "programs-C.syx");
        return bankC.size() == 128 && body(bankC[127]) == body(edited[127]);
    }));
    ASSERT_EQ(bankC.size(), 128u);
    for (size_t s = 0; s < 128; ++s) {
        ASSERT_GT(bankC[s].size(), 10u);
        EXPECT_EQ(Bytes(bankC[s].begin() + 7, bankC[s].begin() + 10), (Bytes{0x02, 0x07, uint8_t(s)})) << s;
        EXPECT_EQ(body(bankC[s]), body(edited[s])) << s;
    }
    ASSERT_TRUE(statusShows(menus.host, menus.out, "Data write completed!", asked, 10));

    // Saved, the edited bank lets the upper folder menu choose again. Bank C requested back into
    // another bank and saved over its file: the same bodies.
    menus.edit("7");
    EXPECT_TRUE(within(5, [&] {
        const std::vector<Bytes> file = messagesOfRaw(testsupport::readFile(root + "/Up.syx"));
        return file.size() == 128 && body(file[5]) == body(low[17]) && body(file[6]) == body(up[6]);
    }));
    menus.choose(true, "Round.syx");
    menus.edit("0.6");
    ASSERT_TRUE(statusShows(menus.host, menus.out, "Data request completed!", asked, 60));
    menus.edit("7");
    std::vector<Bytes> saved;
    EXPECT_TRUE(within(5, [&] {
        saved = messagesOfRaw(testsupport::readFile(root + "/Round.syx"));
        return saved.size() == 128 && body(saved[0]) == body(edited[0]);
    }));
    ASSERT_EQ(saved.size(), 128u);
    for (size_t s = 0; s < 128; ++s) EXPECT_EQ(body(saved[s]), body(edited[s])) << s;

    // Save As a raw bank file: the bank's messages as saved over its file, offered at once by the
    // upper folder menu and, with the header on the library, the bank-name menu. Cancelled:
    // nothing written.
    send("panel-next " + root + "/Copy.qor\n");
    menus.edit("8.1");
    Bytes copy;
    EXPECT_TRUE(within(5, [&] { return (copy = testsupport::readFile(root + "/Copy.qor")).size() >= 128 * 297; }));
    EXPECT_EQ(messagesOfRaw(copy), saved);
    EXPECT_EQ(copy, testsupport::readFile(root + "/Round.syx"));
    EXPECT_GE(menus.indexOf(menus.upperFolder("dismiss"), "Copy.qor"), 0);
    send("setparam 5096 1\ntick\n");
    EXPECT_GE(menus.indexOf(menus.bankName("dismiss"), "Copy.qor"), 0);
    send("setparam 5096 0\ntick\n");
    const auto before = listing(root);
    send("panel-next cancel\n");
    menus.edit("8.1");
    send("panel-next cancel\n");
    menus.edit("8.0");
    send("texts\n");
    hostscript::printed(menus.out, "texts: ", ++asked);
    EXPECT_EQ(listing(root), before);

    send("editor-close\nclose\n");
    EXPECT_EQ(pclose(menus.host), 0);
    sim.stop();
}
