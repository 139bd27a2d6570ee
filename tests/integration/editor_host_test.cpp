// The test bundle's demo editor in qor-host: screenshots at the three sizes, and what clicks,
// drags, keys and message boxes do through the Cocoa view.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "integration/au_host_runner.h"
#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_png.h"
#include "kit/raster/rast_scaled.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace {

std::string Env(const testsupport::TempDir& data) { return "QOR_DATA_FOLDER=" + data.path; }

// Pixel (x, y) of a decoded image as 0xRRGGBB.
unsigned Rgb(RAST_IBitmap* bm, int x, int y)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bm->getBits() + size_t(y) * bm->getRowSpan() + x);
    return unsigned(p[1]) << 16 | unsigned(p[2]) << 8 | p[3];
}

} // namespace

TEST(EditorHost, ScreenshotsHaveEachSizeAndShowTheScaledBackgroundWhereNoControlSits)
{
    testsupport::TempDir data;
    const std::string bg = testsupport::binaryDir() + "/tests/QORStandin.component/Contents/Resources/img/main-bg.png";
    std::unique_ptr<RAST_IBitmap> source(RAST_LoadPNG(bg.c_str()));
    ASSERT_NE(source, nullptr);
    struct Size {
        const char* word;
        double scale;
        int w, h;
    } sizes[] = {{"small", 0.85, 1275, 643}, {"normal", 1.0, 1500, 757}, {"large", 1.15, 1724, 870}};
    for (const Size& s : sizes) {
        const std::string shot = data.file(std::string(s.word) + ".png");
        HostRun r = RunHost(std::string("uisize ") + s.word + "\nopen\neditor-open\ntick\nscreenshot " + shot +
                                "\neditor-close\nclose\n",
                            Env(data));
        ASSERT_TRUE(r.Has("screenshot: " + shot + " " + std::to_string(s.w) + "x" + std::to_string(s.h))) << r.out;
        std::unique_ptr<RAST_IBitmap> got(RAST_LoadPNG(shot.c_str()));
        ASSERT_NE(got, nullptr);
        RAST_MemBitmap scaled(s.w, s.h, 4);
        RAST_ScaledBlit(&scaled, source.get(), 0, 0, s.w, s.h, 0.0f, 0.0f, 1500.0f, 757.0f, 1.0f, 0x100); // bilinear, as bitmaps load
        // Below the control panel and right of it nothing is drawn over the background.
        int differ = 0, compared = 0;
        for (int y = int(300 * s.scale); y < int(680 * s.scale); y += 3)
            for (int x = 0; x < s.w; x += 3, ++compared) differ += Rgb(got.get(), x, y) != Rgb(&scaled, x, y);
        for (int y = 0; y < int(60 * s.scale); ++y)
            for (int x = int(1010 * s.scale); x < s.w; x += 2, ++compared) differ += Rgb(got.get(), x, y) != Rgb(&scaled, x, y);
        EXPECT_GT(compared, 1000);
        EXPECT_EQ(differ, 0) << s.word;
    }
}

TEST(EditorHost, ClicksDragsKeysAndMessageBoxesReachTheDemoControls)
{
    testsupport::TempDir data;
    const std::string before = data.file("before.png"), after = data.file("after.png");
    HostRun r = RunHost("open\neditor-open\nscreenshot " + before + "\nclick 260 125\ntick\nscreenshot " + after +
                            "\npress 130 130\ndrag 130 100\nrelease 130 100\n"
                            "move 600 150\nkey a\nkey %\nmove 1200 500\nkey a\n"
                            "click 850 120\nalert-next alternate\nclick 850 120\nalert-next default\nclick 850 120\n"
                            "editor-close\ntick\nclose\n",
                        Env(data));
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_TRUE(r.Has("plug: param 5001 1")) << r.out;
    // A drag 30 pixels up a knob 60 high moves it by 30 / 60 / 4 of its range of 100.
    EXPECT_TRUE(r.Has("plug: param 5000 62.5")) << r.out;
    EXPECT_EQ(r.Starting("plug: key "), std::vector<std::string>{"plug: key 15"}) << r.out;
    EXPECT_EQ(r.Starting("key "), (std::vector<std::string>{"key a: kept", "key %: passed on", "key a: passed on"}));
    EXPECT_EQ(r.Starting("plug: message box"),
              (std::vector<std::string>{"plug: message box 0", "plug: message box 7", "plug: message box 1"}));
    EXPECT_TRUE(r.Has("tick: fired 0 drew 0")) << r.out;
    std::unique_ptr<RAST_IBitmap> a(RAST_LoadPNG(before.c_str())), b(RAST_LoadPNG(after.c_str()));
    ASSERT_TRUE(a && b);
    int changed = 0;
    for (int y = 115; y < 145; ++y)
        for (int x = 250; x < 310; ++x) changed += Rgb(a.get(), x, y) != Rgb(b.get(), x, y);
    EXPECT_GT(changed, 1000) << "the switch shows its new frame";
}

TEST(EditorHost, ASmallerTableKeepsTheDemoControlsAtItsTop)
{
    testsupport::TempDir data;
    const struct {
        const char* size;
        const char* created;
        const char* switched; // the switch, second of the seven controls' parameters
    } cases[] = {
        {"256", "params=256", "plug: param 250 1"},
        {"7", "params=7", "plug: param 1 1"},
        {"6", "params=5124", "plug: param 5001 1"}, // no room for the editor's: the full table
        {"99999", "params=5124", "plug: param 5001 1"},
    };
    for (const auto& c : cases) {
        HostRun r = RunHost("open\neditor-open\nclick 260 125\neditor-close\nclose\n",
                            Env(data) + " QOR_STANDIN_PARAMS=" + c.size);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        EXPECT_TRUE(r.Has(std::string("plug: created QOR Editor Tessmoor Audio ") + c.created)) << c.size << r.out;
        EXPECT_TRUE(r.Has(c.switched)) << c.size << r.out;
    }
}

TEST(EditorHost, ClosingTheUnitWithTheEditorOpenLeavesTheHostRunning)
{
    testsupport::TempDir data;
    HostRun r = RunHost("open\neditor-open\nclick 260 125\nclose\ntick 3\nopen\neditor-open\nclose\n", Env(data));
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.Starting("plug: destroyed").size(), 2u) << r.out;
    EXPECT_TRUE(r.Has("tick: fired 0 drew 0")) << r.out;
}

TEST(EditorHost, CaptionsPromptThroughTheNativeMenuAndTextField)
{
    testsupport::TempDir data;
    const std::string shot = data.file("field.png");
    HostRun r = RunHost("open\neditor-open\nmenu-next 3\nclick 1010 110\nclick 1010 150\ntype 42\nscreenshot " + shot +
                            "\nkey return\nclick 1010 150\nkey backspace\ntype 7x\nkey enter\n"
                            "menu-next 9\nclick 1010 110\neditor-close\nclose\n",
                        Env(data));
    EXPECT_EQ(r.exitCode, 0) << r.out;
    // Menus are modal: the answer was queued, the menu prints, then the change arrives.
    const std::vector<std::string> seq = r.Starting("");
    auto at = [&](const std::string& line) { return std::find(seq.begin(), seq.end(), line) - seq.begin(); };
    const auto menu = at("menu: at 1020,652: *Poly | Mono | Legato | Unison");
    EXPECT_LT(menu, at("plug: param 5004 3")) << r.out;
    EXPECT_LT(at("plug: param 5004 3"), at("click: 1010 110")) << r.out;
    EXPECT_EQ(r.Starting("plug: param 5005"), (std::vector<std::string>{"plug: param 5005 42", "plug: param 5005 7"}));
    // Item 9 does not exist: the second menu changes nothing.
    EXPECT_TRUE(r.Has("menu: at 1020,652: Poly | Mono | Legato | *Unison")) << r.out;
    EXPECT_EQ(r.Starting("plug: param 5004").size(), 1u);
    std::unique_ptr<RAST_IBitmap> got(RAST_LoadPNG(shot.c_str()));
    ASSERT_NE(got, nullptr);
    // The field (30 by 16 on the caption's centre, 1070 150) is white around its text.
    for (int y : {144, 156})
        for (int x : {1057, 1083}) EXPECT_EQ(Rgb(got.get(), x, y), 0xFFFFFFu) << x << "," << y;
    EXPECT_NE(Rgb(got.get(), 1050, 150), 0xFFFFFFu);
}

TEST(EditorHost, CarbonWindowsShowTheSameEditorAsCocoaAtEachSize)
{
    testsupport::TempDir data;
    for (const char* size : {"small", "normal", "large"}) {
        const std::string cocoa = data.file(std::string(size) + "-cocoa.png");
        const std::string composited = data.file(std::string(size) + "-composited.png");
        const std::string plain = data.file(std::string(size) + "-plain.png");
        HostRun r = RunHost(std::string("uisize ") + size + "\nopen\neditor-open\ntick\nscreenshot " + cocoa +
                                "\ncarbon-editor composited\ntick\nscreenshot " + composited +
                                "\ncarbon-editor plain\ntick\nscreenshot " + plain + "\neditor-close\nclose\n",
                            Env(data));
        ASSERT_EQ(r.exitCode, 0) << r.out;
        std::unique_ptr<RAST_IBitmap> a(RAST_LoadPNG(cocoa.c_str())), b(RAST_LoadPNG(composited.c_str())),
            c(RAST_LoadPNG(plain.c_str()));
        ASSERT_TRUE(a && b && c) << r.out;
        ASSERT_EQ(a->getWidth(), b->getWidth());
        ASSERT_EQ(a->getHeight(), c->getHeight());
        int differ = 0;
        for (int y = 0; y < a->getHeight(); ++y)
            for (int x = 0; x < a->getWidth(); ++x)
                differ += (Rgb(a.get(), x, y) != Rgb(b.get(), x, y)) + (Rgb(a.get(), x, y) != Rgb(c.get(), x, y));
        EXPECT_EQ(differ, 0) << size;
    }
}

TEST(EditorHost, TheCarbonEditorTakesMenusTypedValuesAndKeys)
{
    testsupport::TempDir data;
    HostRun r = RunHost("open\ncarbon-editor composited\nmenu-next 1\nclick 1010 110\nclick 1010 150\ntype 42\n"
                        "key return\nclick 260 125\nmove 600 150\nkey a\nkey %\neditor-close\ncarbon-editor plain\n"
                        "click 1010 150\ntype 7\nkey return\nclose\n",
                        Env(data));
    EXPECT_EQ(r.exitCode, 0) << r.out;
    // The menu hangs 5 pixels below the caption, in global coordinates.
    EXPECT_TRUE(r.Has("menu: at 1100,225: *Poly | Mono | Legato | Unison")) << r.out;
    EXPECT_EQ(r.Starting("plug: param 5004"), std::vector<std::string>{"plug: param 5004 1"});
    // Plain windows open no text entry.
    EXPECT_EQ(r.Starting("plug: param 5005"), std::vector<std::string>{"plug: param 5005 42"});
    EXPECT_TRUE(r.Has("plug: param 5001 1")) << r.out;
    EXPECT_EQ(r.Starting("plug: key "), std::vector<std::string>{"plug: key 15"}) << r.out;
    EXPECT_TRUE(r.Has("key %: passed on")) << r.out;
}
