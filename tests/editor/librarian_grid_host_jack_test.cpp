// The slot grid as a new user meets it: the bundle in the stand-in host with a library bank in
// its data folder, the synthesizer simulator on the private JACK server, the librarian tab
// clicked; then a drag, the right-click menus, a fetch by program number, a double click and a key.
#include "host_script_support.h"
#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_png.h"
#include "launcher.h"
#include "support/bankgen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

// Upper slot i's cell centre and a lower one's at the normal size: the grid stands at
// (379, 208), columns 133 apart, rows of 14, the lower pane 274 further down.
struct Point {
    int x, y;
};
Point upper(int slot)
{
    return {379 + slot / 16 * 133 + 52, 209 + slot % 16 * 14 + 7};
}
Point lower(int slot)
{
    return {379 + slot / 16 * 133 + 52, 482 + slot % 16 * 14 + 7};
}
// Inside the grid, between the first two columns.
constexpr Point kGap{489, 300};

struct Host {
    Host(const testsupport::TempDir& dirIn) : dir(dirIn), out(dirIn.file("host.txt"))
    {
        pipe = hostscript::startHost(dir, out);
    }
    ~Host()
    {
        if (pipe) pclose(pipe);
    }
    // Sends one command and waits for its result line: the last line that starts with key.
    std::string run(const std::string& command, const std::string& key = "")
    {
        // Most results start "command:", those of getparam, setparam and key "command ARG:".
        const size_t first = command.find(' ');
        const std::string word = command.substr(0, first);
        const bool named = word == "getparam" || word == "setparam" || word == "key";
        const std::string k = !key.empty() ? key
                              : named      ? command.substr(0, command.find(' ', first + 1)) + ":"
                                           : word + ":";
        std::fprintf(pipe, "%s\n", command.c_str());
        std::fflush(pipe);
        return hostscript::printed(out, k, ++counts[k]);
    }
    // Whether the editor shows text within ten seconds, its timers run meanwhile.
    bool shows(const std::string& text)
    {
        for (int i = 0; i < 200; ++i) {
            if (run("texts").find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            run("tick");
        }
        return false;
    }
    std::string at(const char* what, Point p)
    {
        return run(std::string(what) + " " + std::to_string(p.x) + " " + std::to_string(p.y));
    }
    const testsupport::TempDir& dir;
    std::string out;
    FILE* pipe = nullptr;
    std::map<std::string, size_t> counts;
};

// The pixels of a rectangle of a screenshot, row by row.
std::vector<RAST_PixelValue> crop(const std::string& png, int l, int t, int w, int h)
{
    std::unique_ptr<RAST_IBitmap> bitmap(RAST_LoadPNG(png.c_str()));
    std::vector<RAST_PixelValue> out;
    if (!bitmap) return out;
    for (int y = t; y < t + h; ++y)
        for (int x = l; x < l + w; ++x) out.push_back(bitmap->getBits()[y * bitmap->getRowSpan() + x]);
    return out;
}

// The messages of the simulator's record in one direction whose hex starts with prefix.
std::vector<std::string> recorded(const std::string& record, const char* direction, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const auto& line : synthsim::readRecordFile(record)) {
        const std::string hex = synthsim::toHex(line.bytes);
        if (line.direction == direction && hex.compare(0, prefix.size(), prefix) == 0) out.push_back(hex);
    }
    return out;
}

// Waits up to five seconds for the record to hold more than count such messages.
std::vector<std::string> awaitRecorded(const std::string& record, const char* direction, const std::string& prefix,
                                       size_t count)
{
    std::vector<std::string> got;
    for (int i = 0; i < 250 && (got = recorded(record, direction, prefix)).size() <= count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return got;
}

// The program name a program dump carries (bytes 9..24 of the hex's bytes).
std::string nameOf(const std::string& hex)
{
    std::string name;
    for (size_t at = 9 * 3; at + 2 <= hex.size() && name.size() < 16; at += 3)
        name += char(std::stoi(hex.substr(at, 2), nullptr, 16));
    return name.substr(0, name.find(' '));
}

} // namespace

TEST(LibrarianGridJack, DragMenusFetchAndSendsInTheHost)
{
    testsupport::TempDir dir;
    mkdir(dir.file("Patches").c_str(), 0755);
    const std::string bank = dir.file("Patches/Bank A.syx");
    testsupport::writeFile(bank, bankgen::rawFile(bankgen::synthBanks(bankgen::Kind::Programs, 1)));
    synthsim::SimProcess sim;
    std::string error;
    const std::string record = dir.file("record.txt");
    ASSERT_TRUE(sim.start(
        SYNTH_SIM_EXE,
        {"--name", "grid" + std::to_string(::getpid()), "--record", record, "--device-id", "15", "--load", bank},
        error))
        << error;
    testsupport::writeFile(dir.file("QOR Editor UI.txt"),
                           "a\nnormal\nyes\n" + sim.inputPort() + "\n" + sim.outputPort() + "\n");
    Host host(dir);
    ASSERT_NE(host.pipe, nullptr);
    host.run("open");
    host.run("getparam 5018");
    const double port = hostscript::printedParam(host.out, 5018);
    ASSERT_GT(port, 0);
    host.run("setparam 5018 " + std::to_string(int(port)));
    host.run("editor-open");
    host.run("setparam 5118 1");
    host.run("tick");
    // The device's enquiry ends first: its "ready" would otherwise replace the drop's text.
    EXPECT_TRUE(host.shows("Plug-in is ready to go!")) << host.run("texts");
    const std::string shown = dir.file("shown.png");
    host.run("screenshot " + shown);
    // Upper slot 0 is highlighted: its right end is the fill (alpha, red, green, blue bytes).
    const RAST_PixelValue fill = 0xFF | 225u << 8 | 225u << 16 | 225u << 24;
    EXPECT_EQ(crop(shown, upper(0).x + 50, upper(0).y, 1, 1), std::vector<RAST_PixelValue>{fill});
    EXPECT_NE(crop(shown, upper(1).x + 50, upper(1).y, 1, 1), std::vector<RAST_PixelValue>{fill});

    // Lower 17 dragged onto upper 5: the marker under the pointer, then the entry in the slot.
    host.at("press", lower(17));
    host.at("drag", upper(5));
    host.run("tick");
    const std::string dragging = dir.file("drag.png");
    host.run("screenshot " + dragging);
    EXPECT_EQ(crop(dragging, upper(5).x - 52, upper(5).y - 7, 105, 14), std::vector<RAST_PixelValue>(105 * 14, fill));
    host.at("release", upper(5));
    host.run("tick");
    EXPECT_NE(host.run("texts").find("Program received to slot(s)"), std::string::npos);
    host.at("click", kGap);
    host.run("tick");
    const std::string dropped = dir.file("dropped.png");
    host.run("screenshot " + dropped);
    EXPECT_EQ(crop(dropped, upper(5).x - 52, upper(5).y - 7, 105, 14),
              crop(dropped, lower(17).x - 52, lower(17).y - 7, 105, 14));

    // Copy lower 17, the edit menu on upper 9, Paste.
    host.run("menu-next 0");
    host.at("rclick", lower(17));
    host.run("menu-next 0");
    host.at("rclick", upper(9));
    const std::string menu = hostscript::printed(host.out, "menu:", 2);
    EXPECT_EQ(menu.substr(menu.find(": ", 6)),
              ": Paste | --- | Rename | --- | Initialize Slot | Get DATA from.. { Plug-in (active patch) | --- | "
              "Hardware Edit Buffer | Hardware by Prog No. }");

    // Hardware by Prog No. for part 1 in bank B (1): the stored request for slot 17, answered.
    const std::string request = "F0 00 20 29 01 20 0F 13 06 11 F7";
    host.run("setparam 4185 1");
    host.run("menu-next 5.3");
    host.at("rclick", upper(17));
    EXPECT_EQ(awaitRecorded(record, "in", request, 0), std::vector<std::string>{request});
    EXPECT_EQ(awaitRecorded(record, "out", "F0 00 20 29 01 20 0F 02 06 11", 0).size(), 1u);

    // The request job ends before the next send can start.
    for (int i = 0; i < 100 && host.run("texts").find("Data request completed!") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    // A double click sends upper 5 (now lower 17's entry), the key down slot 6.
    const std::string program = "F0 00 20 29 01 20 0F 00 ";
    const size_t before = recorded(record, "in", program).size();
    host.at("dblclick", upper(5));
    auto sent = awaitRecorded(record, "in", program, before);
    ASSERT_EQ(sent.size(), before + 1);
    EXPECT_EQ(nameOf(sent.back()), "A17");
    // The send's job ends with its pauses; a key pressed before then would be dropped.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    host.run("key down");
    sent = awaitRecorded(record, "in", program, before + 1);
    ASSERT_EQ(sent.size(), before + 2);
    EXPECT_EQ(nameOf(sent.back()), "A6");
    // No output device: nothing is sent.
    host.run("setparam 5018 0");
    host.at("dblclick", upper(7));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(recorded(record, "in", program).size(), before + 2);

    host.run("close");
    EXPECT_EQ(pclose(host.pipe), 0);
    host.pipe = nullptr;
    sim.stop();
}
