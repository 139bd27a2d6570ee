// The macOS back end on the AppKit stand-in: the redraw timer, the screen copy, the view's
// mouse and key events, the system services and the resource loader.
#include <AppKit/AppKit.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "kit/plugin/BundleResources.h"
#include "kit/plugin/IGraphicsCocoa.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/plugin/IPluginAU.h"
#include "plugin/graphics_offscreen.h"
#include "support/tempdir.h"

namespace {

std::vector<std::string> gSeen;

class Spy : public IControl {
public:
    Spy(IPluginBase* plug, IRECT r) : IControl(plug, r) {}
    void OnMouseDown(int x, int y, IMouseMod* m) override { Say("down", x, y, m); }
    void OnMouseUp(int x, int y, IMouseMod* m) override { Say("up", x, y, m); }
    void OnMouseDblClick(int x, int y, IMouseMod* m) override { Say("dbl", x, y, m); }
    void OnMouseDrag(int x, int y, int, int, IMouseMod* m) override { Say("drag", x, y, m); }
    void OnMouseWheel(int x, int y, IMouseMod* m, int d) override { Say("wheel" + std::to_string(d), x, y, m); }
    bool OnKeyDown(int, int, int key) override
    {
        gSeen.push_back("key " + std::to_string(key));
        return takeKeys;
    }
    bool Draw(IGraphics*) override { return true; }
    bool takeKeys = true;

private:
    static void Say(const std::string& what, int x, int y, IMouseMod* m)
    {
        gSeen.push_back(what + " " + std::to_string(x) + "," + std::to_string(y) + (m->L ? " L" : "") +
                        (m->R ? " R" : "") + (m->S ? " S" : "") + (m->C ? " C" : "") + (m->A ? " A" : ""));
    }
};

// Keys that reach the host's content view.
class HostContent : public NSView {
    NS_STANDIN_CLASS(HostContent)
public:
    void keyDown(NSEvent* e) override { gSeen.push_back(std::string("host ") + e->charactersIgnoringModifiers()->UTF8String()); }
};
NS_STANDIN_CLASS_IMPL(HostContent, NSView)

// A host window whose content view holds the editor view at the origin.
struct Editor {
    SurfacePlug plug;
    IGraphicsMac* g;
    NSWindow* window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    IGraphicsCocoa_vQOR_au* view = nullptr;
    Editor(int w = 1500, int h = 757)
    {
        g = new IGraphicsMac(&plug, w, h, 25);
        plug.AttachGraphics(g);
        window->initWithContentRect(NSMakeRect(0, 0, w + 40, h + 20), NSTitledWindowMask, NSBackingStoreBuffered,
                                    false);
        auto* content = static_cast<HostContent*>(HostContent::class_()->alloc());
        content->initWithFrame(NSMakeRect(0, 0, w + 40, h + 20));
        window->setContentView(content);
        content->release();
        view = static_cast<IGraphicsCocoa_vQOR_au*>(g->OpenWindow(window->contentView()));
        ns_standin::displayWindows();
        gSeen.clear();
    }
    ~Editor()
    {
        window->release();
        ns_standin::drainLoopPool();
    }
    void Send(NSEventType type, double x, double y, NSEventModifierFlags flags = 0, int clicks = 1)
    {
        ns_standin::dispatch(
            NSEvent::mouseEventWithType(type, NSMakePoint(x, y), flags, 0, window->windowNumber(), nullptr, 0, clicks, 1));
    }
    void Key(const char* chars, unsigned short code = 0)
    {
        NSString* s = NSString::stringWithUTF8String(chars);
        ns_standin::dispatch(
            NSEvent::keyEventWithType(NSKeyDown, NSMakePoint(0, 0), 0, 0, window->windowNumber(), nullptr, s, s, false, code));
    }
};

} // namespace

TEST(CocoaView, TheTimerInvalidatesTheDirtyRectangleFlippedEveryFortyMilliseconds)
{
    Editor e;
    e.g->AttachControl(new Spy(&e.plug, IRECT(0, 0, 1500, 757)));
    e.g->AttachControl(new Spy(&e.plug, IRECT(10, 20, 30, 40)));
    EXPECT_EQ(cf_standin::advanceClock(0.039), 0);
    EXPECT_FALSE(e.view->needsDisplay());
    EXPECT_EQ(cf_standin::advanceClock(0.001), 1);
    const NSRect r = e.view->dirtyRect();
    EXPECT_EQ(std::vector<double>({r.origin.x, r.origin.y, r.size.width, r.size.height}),
              std::vector<double>({10, 716, 21, 21}));
    ns_standin::runFor(0); // the display pass draws and so cleans the control
    EXPECT_EQ(cf_standin::advanceClock(0.04), 1);
    EXPECT_FALSE(e.view->needsDisplay());
}

TEST(CocoaView, MouseEventsReachTheSurfaceOffsetAndWithTheirModifiers)
{
    Editor e;
    e.g->AttachControl(new Spy(&e.plug, IRECT(0, 0, 1500, 757)));
    e.Send(NSLeftMouseDown, 102.7, 700.2);
    e.Send(NSLeftMouseUp, 102.7, 700.2, NSShiftKeyMask | NSAlternateKeyMask);
    e.Send(NSLeftMouseDown, 12, 747, NSCommandKeyMask | NSControlKeyMask);
    e.Send(NSLeftMouseDown, 12, 747, 0, 2);
    e.Send(NSRightMouseDown, 12, 747);
    ns_standin::dispatch(ns_standin::scrollWheelEvent(e.window, NSMakePoint(12, 747), NSCommandKeyMask, -2.7));
    EXPECT_EQ(gSeen, (std::vector<std::string>{"down 100,54 L", "up 100,54 L S A", "down 10,7 L R C", "dbl 10,7 L",
                                               "down 10,7 R", "wheel-2 10,7 L R"}));
}

TEST(CocoaView, PointsAndWheelDeltasPastTheIntRangeAreHeldToIt)
{
    Editor e;
    e.g->AttachControl(new Spy(&e.plug, IRECT(0, 0, 1500, 757)));
    e.Send(NSLeftMouseDown, 12, 747);
    e.Send(NSLeftMouseDragged, 1e42, -1e42); // the capture takes it wherever it is
    e.Send(NSLeftMouseDragged, std::nan(""), 747);
    ns_standin::dispatch(ns_standin::scrollWheelEvent(e.window, NSMakePoint(12, 747), 0, 1e30));
    ns_standin::dispatch(ns_standin::scrollWheelEvent(e.window, NSMakePoint(12, 747), 0, -1e30));
    EXPECT_EQ(gSeen, (std::vector<std::string>{"down 10,7 L", "drag 999999998,1000000754 L", "drag -2,7 L",
                                               "wheel2147483647 10,7 L", "wheel-2147483648 10,7 L"}));
}

TEST(CocoaView, KeysMapToTheSurfaceNumbersAndOthersGoToTheNextResponder)
{
    struct Case {
        const char* chars;
        unsigned short code;
        std::string seen;
    } cases[] = {
        {"\xEF\x9C\x80", 126, "key 1"}, {"\xEF\x9C\x81", 125, "key 2"}, {"\xEF\x9C\x82", 123, "key 3"},
        {"\xEF\x9C\x83", 124, "key 4"}, {" ", 49, "key 0"},             {"0", 29, "key 5"},
        {"9", 25, "key 14"},           {"A", 0, "key 15"},             {"z", 6, "key 40"},
        {"%", 23, "host %"},           {"ab", 0, ""},
    };
    for (const Case& c : cases) {
        Editor e;
        e.g->AttachControl(new Spy(&e.plug, IRECT(0, 0, 1500, 757)));
        e.Key(c.chars, c.code);
        EXPECT_EQ(gSeen, c.seen.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.seen}) << c.chars;
    }
    Editor e;
    auto* spy = new Spy(&e.plug, IRECT(0, 0, 1500, 757));
    spy->takeKeys = false;
    e.g->AttachControl(spy);
    e.Key("q");
    EXPECT_EQ(gSeen, (std::vector<std::string>{"key 31", "host q"}));
}

TEST(CocoaView, TheWindowShowsTheSurfacePixelsAfterRandomEditsAtEachSize)
{
    for (double scale : {0.85, 1.0, 1.15}) {
        const int w = int(1500 * scale), h = int(757 * scale);
        Editor e(w, h);
        IColor knob(255, 240, 200, 40);
        // A bitmap background, as the editor's: its blit keeps to the rectangle being drawn.
        IBitmap bg = MakeStrip(1, w, h, [](int) { return IColor(255, 90, 90, 100); });
        IBitmap strip = MakeStrip(2, 40, 30, [](int f) { return IColor(255, f * 100, 50, 200); });
        std::unique_ptr<RAST_IBitmap> keep(strip.mData), keepBg(bg.mData);
        e.g->AttachControl(new IBitmapControl(&e.plug, 0, 0, -1, &bg, kBlendCopy));
        for (int i = 0; i < 6; ++i) {
            e.g->AttachControl(new IKnobLineControl(&e.plug, IRECT(40 + i * 150, 60, 120 + i * 150, 140), i, &knob));
            e.g->AttachControl(new ISwitchControl(&e.plug, 40 + i * 150, 300, 8 + i, &strip));
        }
        e.view->setNeedsDisplay(true); // as a host shows an editor whose controls exist
        std::mt19937 rng(unsigned(scale * 100));
        std::uniform_int_distribution<int> px(0, w - 1), py(0, h - 1), kind(0, 3);
        for (int step = 0; step < 40; ++step) {
            const double x = px(rng) + 0.5, y = py(rng) + 0.5;
            switch (kind(rng)) {
            case 0: e.Send(NSLeftMouseDown, x, y); e.Send(NSLeftMouseUp, x, y); break;
            case 1: e.Send(NSLeftMouseDown, x, y); e.Send(NSLeftMouseDragged, x + 7, y - 23); e.Send(NSLeftMouseUp, x, y); break;
            case 2: ns_standin::dispatch(ns_standin::scrollWheelEvent(e.window, NSMakePoint(x, y), 0, 5)); break;
            default: break;
            }
            ns_standin::runFor(0.04);
        }
        RAST_IBitmap* surface = e.g->GetDrawBitmap();
        CGContextRef store = e.window->backingStore();
        const size_t storeH = CGBitmapContextGetHeight(store), bpr = CGBitmapContextGetBytesPerRow(store);
        const uint8_t* base = static_cast<const uint8_t*>(CGBitmapContextGetData(store));
        int differ = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                // The view sits at the window's bottom left: surface row y is store row storeH - h + y.
                const uint8_t* s = base + (storeH - size_t(h) + size_t(y)) * bpr + size_t(x) * 4;
                const uint32_t p = surface->getBits()[size_t(y) * surface->getRowSpan() + size_t(x)];
                const uint8_t* q = reinterpret_cast<const uint8_t*>(&p);
                differ += s[1] != q[1] || s[2] != q[2] || s[3] != q[3];
            }
        EXPECT_EQ(differ, 0) << "scale " << scale;
    }
}

TEST(CocoaView, ClosingTheEditorStopsTheTimerAndAClosedOrFreedViewLeavesNoPointer)
{
    {
        Editor e;
        e.g->AttachControl(new Spy(&e.plug, IRECT(0, 0, 1500, 757)));
        const int timers = cf_standin::scheduledTimerCount();
        e.g->CloseWindow();
        EXPECT_EQ(cf_standin::scheduledTimerCount(), timers - 1);
        EXPECT_FALSE(e.g->WindowIsOpen());
        EXPECT_TRUE(e.window->contentView()->subviews().empty());
        e.Send(NSLeftMouseDown, 50, 50);
        EXPECT_TRUE(gSeen.empty());
    }
    {
        // The host takes the view out itself: the surface's side closes too.
        Editor e;
        e.view->removeFromSuperview();
        EXPECT_FALSE(e.g->WindowIsOpen());
    }
    {
        // The plug-in goes while the view is in the host's window.
        auto* e = new Editor;
        NSWindow* w = e->window;
        w->retain();
        delete e; // the surface goes with the plug-in; the window is still held here
        EXPECT_TRUE(w->contentView()->subviews().empty());
        ns_standin::runFor(0.1);
        w->release();
    }
}

TEST(MacServices, MessageBoxesPathsPromptsAndURLsGoThroughThePresenter)
{
    cf_standin::Presenter script;
    cf_standin::Presenter* old = cf_standin::setPresenter(&script);
    Editor e;
    struct Case {
        int type;
        unsigned long answer;
        int result;
        const char *def, *alt, *other;
    } cases[] = {
        {1, kCFUserNotificationAlternateResponse, 7, "", "Cancel", ""},
        {1, kCFUserNotificationDefaultResponse, 1, "", "Cancel", ""},
        {4, kCFUserNotificationAlternateResponse, 7, "Yes", "No", ""},
        {3, kCFUserNotificationOtherResponse, 2, "Yes", "No", "Cancel"},
        {0, kCFUserNotificationCancelResponse, 0, "", "", ""},
    };
    for (const Case& c : cases) {
        script.alertAnswers = {c.answer};
        EXPECT_EQ(e.g->ShowMessageBox("text", "caption", c.type), c.result) << c.type;
        const cf_standin::AlertShown& a = script.alerts.back();
        EXPECT_EQ(a.header + a.message + "|" + a.defaultButton + "|" + a.alternateButton + "|" + a.otherButton,
                  std::string("captiontext|") + c.def + "|" + c.alt + "|" + c.other);
    }
    EXPECT_EQ(e.g->ShowMessageBox("t", "c", 1), 0); // nothing scripted: dismissed

    KIT_String file("old.syx", 0, 128), dir("", 0, 128);
    char exts[] = "syx mid";
    e.g->PromptForFile(&file, kFileOpen, &dir, exts);
    EXPECT_STREQ(file.Get(), "");
    EXPECT_STREQ(dir.Get(), "~/Desktop");
    EXPECT_EQ(script.panels.back().fileTypes, (std::vector<std::string>{"syx", "mid"}));
    EXPECT_EQ(script.panels.back().proposedName, "old.syx");
    script.panelAnswers = {"/data/banks/a.syx"};
    e.g->PromptForFile(&file, kFileSave, &dir, exts);
    EXPECT_STREQ(file.Get(), "/data/banks/a.syx");
    EXPECT_STREQ(dir.Get(), "/data/banks/");
    EXPECT_TRUE(script.panels.back().save);

    EXPECT_TRUE(e.g->OpenURL("http://example.org/x"));
    EXPECT_TRUE(e.g->OpenURL("/tmp/manual.pdf"));
    EXPECT_EQ(script.urls, (std::vector<std::string>{"http://example.org/x", "file:///tmp/manual.pdf"}));
    cf_standin::setPresenter(old);

    e.g->CloseWindow();
    file.Set("x");
    e.g->PromptForFile(&file, kFileOpen, &dir, exts);
    EXPECT_STREQ(file.Get(), "");

    const char* home = std::getenv("HOME");
    std::string saved = home ? home : "";
    ::unsetenv("HOME");
    KIT_String desk("", 0, 128);
    e.g->DesktopPath(&desk);
    EXPECT_STREQ(desk.Get(), "/Desktop");
    if (home) ::setenv("HOME", saved.c_str(), 1);
    EXPECT_EQ(e.g->GetUserOSVersion(), 0x1068);
    EXPECT_STREQ(e.g->GetGUIAPI(), "Cocoa gui");
}

TEST(MacServices, TheCursorHidesOnceAndComesBackWhereTheMouseWas)
{
    Editor e;
    e.Send(NSMouseMoved, 300, 80);
    const int hidden = cg_standin::cursorHideCount();
    e.g->HideMouseCursor();
    e.g->HideMouseCursor();
    EXPECT_EQ(cg_standin::cursorHideCount(), hidden + 1);
    e.g->ShowMouseCursor();
    EXPECT_EQ(cg_standin::cursorHideCount(), hidden);
    EXPECT_EQ(cg_standin::cursorPosition().x, 300);
    EXPECT_EQ(cg_standin::cursorPosition().y, 1080 - 80);
}

TEST(MacServices, ResizeFollowsWithTheViewAndPathsComeFromTheBundle)
{
    Editor e(100, 50);
    e.g->Resize(120, 60);
    EXPECT_EQ(e.view->frame().size.width, 120);
    EXPECT_EQ(e.view->frame().size.height, 60);
    EXPECT_EQ(e.g->Height(), 60);

    testsupport::TempDir dir;
    ::mkdir(dir.file("QOR.component").c_str(), 0755);
    ::setenv("QOR_BUNDLE_PATH", dir.file("QOR.component").c_str(), 1);
    e.g->SetBundleID(QOR_BUNDLE_ID);
    KIT_String plugin("", 0, 128), host("x", 0, 128);
    e.g->PluginPath(&plugin);
    e.g->HostPath(&host); // a bundle named by the variable has no known executable
    ::unsetenv("QOR_BUNDLE_PATH");
    EXPECT_EQ(std::string(plugin.Get()), dir.path + "/");
    EXPECT_STREQ(host.Get(), "");
    e.g->SetBundleID("com.example.none");
    e.g->PluginPath(&plugin);
    EXPECT_STREQ(plugin.Get(), "");
}

TEST(MacResources, OSLoadFileCutsAtTheCapEndsInZerosAndAMissingFileGivesNone)
{
    testsupport::TempDir dir;
    ::setenv("QOR_BUNDLE_PATH", dir.path.c_str(), 1);
    SurfacePlug plug;
    IGraphicsMac g(&plug, 10, 10, 0);
    g.SetBundleID(QOR_BUNDLE_ID);
    const std::string big(size_t(kResourceBufferSize) + 100, 'y');
    for (const std::string& content : {std::string("abc"), big}) {
        testsupport::writeFile(dir.file("r.tea"), content);
        const size_t kept = std::min(content.size(), size_t(kResourceBufferSize));
        std::unique_ptr<char[]> buffer(g.LoadFile(0, "resources/r.tea"));
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(g.loadedFileSize, int(kept));
        EXPECT_EQ(std::string(buffer.get()), content.substr(0, kept));
    }
    g.loadedFileSize = 77;
    testing::internal::CaptureStdout();
    EXPECT_EQ(g.LoadFile(0, "resources/none.tea"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "failed to open file\n");
    EXPECT_EQ(g.loadedFileSize, 77);
    // Bitmaps: only png names, found by their last path component.
    auto png = pngw::encodeArgbWords(std::vector<uint32_t>(6, 0xFF102030).data(), 3, 2, 3);
    ASSERT_TRUE(pngw::writeFile(png, dir.file("k.png")));
    std::unique_ptr<RAST_IBitmap> bm(g.OSLoadBitmap(0, "img/k.PNG"));
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->getWidth(), 3);
    EXPECT_EQ(g.OSLoadBitmap(0, "img/k.tea"), nullptr);
    ::unsetenv("QOR_BUNDLE_PATH");
}

TEST(CocoaView, AssistiveSoftwareReadsTheShownTextsInTheEditorsOrder)
{
    Editor e;
    IText font;
    auto* status = new ITextControl(&e.plug, IRECT(0, 0, 100, 20), &font, "Set MIDI I/O First!");
    auto* hidden = new ITextControl(&e.plug, IRECT(0, 20, 100, 40), &font, "behind a closed page");
    auto* empty = new ITextControl(&e.plug, IRECT(0, 40, 100, 60), &font, "");
    auto* value = new ITextControl(&e.plug, IRECT(0, 60, 100, 80), &font, "64");
    e.g->AttachControl(status);
    e.g->AttachControl(new ICaptionControl(&e.plug, IRECT(0, 80, 100, 100), 0, &font));
    e.g->AttachControl(hidden);
    e.g->AttachControl(empty);
    e.g->AttachControl(value);
    hidden->Hide(true);
    value->SetTextFromPlug("+12 [76]");

    NSAutoreleasePool pool;
    NSArray* children = NSAccessibilityUnignoredChildren(
        e.window->contentView()->accessibilityAttributeValue(NSAccessibilityChildrenAttribute));
    std::vector<std::string> texts;
    for (NSUInteger i = 0; children && i < children->count(); ++i) {
        auto* element = dynamic_cast<NSAccessibility*>(children->objectAtIndex(i));
        ASSERT_NE(element, nullptr);
        NSString* v = element->accessibilityValue();
        texts.push_back(v ? v->UTF8String() : "(none)");
    }
    EXPECT_EQ(texts, std::vector<std::string>({"Set MIDI I/O First!", "+12 [76]"}));
}
