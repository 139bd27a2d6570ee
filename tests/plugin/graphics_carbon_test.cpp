// The Carbon back end on the Carbon stand-in: the pane and its handlers, the redraw timer,
// popup menus read back from the presenter and the composited text entry.
#include <AppKit/AppKit.h>
#include <Carbon/Carbon.h>
#include <CoreFoundation/CFPresenter.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "kit/plugin/IGraphicsCarbon.h"
#include "kit/plugin/IGraphicsMac.h"
#include "plugin/graphics_offscreen.h"
#include "plugin/menu_sample.h"

namespace
{

enum { kBool = 0, kInt = 1, kDouble = 2, kText = 3 };

std::vector<std::string> gSeen;

class Spy : public IControl
{
public:
    Spy(IPluginBase* plug, IRECT r) : IControl(plug, r) {}
    void OnMouseDown(int x, int y, IMouseMod* m) override { Say("down", x, y, m); }
    void OnMouseUp(int x, int y, IMouseMod* m) override { Say("up", x, y, m); }
    void OnMouseDblClick(int x, int y, IMouseMod* m) override { Say("dbl", x, y, m); }
    void OnMouseDrag(int x, int y, int, int, IMouseMod* m) override { Say("drag", x, y, m); }
    void OnMouseWheel(int x, int y, IMouseMod* m, int d) override { Say("wheel" + std::to_string(d), x, y, m); }
    bool OnKeyDown(int x, int y, int key) override
    {
        gSeen.push_back("key " + std::to_string(key) + " at " + std::to_string(x) + "," + std::to_string(y));
        return true;
    }
    bool Draw(IGraphics*) override { return true; }
    void TextFromTextEntry(const char* text) override { typed = text; }
    void TextEntryCancelled() override { cancelled = true; }
    std::string typed;
    bool cancelled = false;

private:
    static void Say(const std::string& what, int x, int y, IMouseMod* m)
    {
        gSeen.push_back(what + " " + std::to_string(x) + "," + std::to_string(y) + (m->L ? " L" : "") +
                        (m->R ? " R" : "") + (m->S ? " S" : "") + (m->C ? " C" : "") + (m->A ? " A" : ""));
    }
};

struct Presenting {
    cf_standin::Presenter p;
    cf_standin::Presenter* previous = cf_standin::setPresenter(&p);
    ~Presenting() { cf_standin::setPresenter(previous); }
};

// An editor of 1500 by 757 in a Carbon window whose content starts at (100, 100).
struct CarbonEditor {
    Presenting presenter;
    SurfacePlug plug;
    IGraphicsMac* g = new IGraphicsMac(&plug, 1500, 757, 25);
    WindowRef window = nullptr;
    ControlRef pane = nullptr;
    IText text{14};
    ICaptionControl* caption[4] = {};

    explicit CarbonEditor(bool composited = true)
    {
        plug.GetParam(kBool)->InitBool("Sync", false);
        plug.GetParam(kInt)->InitInt("Program", 0, 0, 127);
        plug.GetParam(kDouble)->InitDouble("Cutoff", 50.0, 0.0, 100.0, 0.1);
        plug.GetParam(kText)->InitText();
        plug.AttachGraphics(g);
        g->AttachControl(new Spy(&plug, IRECT(0, 0, 1500, 757)));
        for (int i = 0; i < 4; ++i) {
            caption[i] = new ICaptionControl(&plug, IRECT(100, 200 + 40 * i, 180, 220 + 40 * i), i, &text, false);
            caption[i]->DisablePrompt(false);
            g->AttachControl(caption[i]);
        }
        const Rect bounds{100, 100, 100 + 757, 100 + 1500};
        CreateNewWindow(kDocumentWindowClass, composited ? UInt32(kWindowCompositingAttribute) : UInt32(0), &bounds, &window);
        pane = static_cast<ControlRef>(g->OpenWindow(window, nullptr, 0, 0));
        carbon_standin::displayWindows();
        gSeen.clear();
    }
    ~CarbonEditor()
    {
        g->CloseWindow();
        DisposeWindow(window);
    }
    OSStatus Mouse(UInt32 kind, int x, int y, UInt32 mods = 0, UInt16 button = 1, UInt32 clicks = 1)
    {
        return MouseAt(kind, HIPoint{x + 2.5, y + 3.5}, mods, button, clicks);
    }
    OSStatus MouseAt(UInt32 kind, HIPoint at, UInt32 mods = 0, UInt16 button = 1, UInt32 clicks = 1)
    {
        EventRef e = nullptr;
        CreateEvent(nullptr, kEventClassMouse, kind, 0, 0, &e);
        SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof at, &at);
        SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof mods, &mods);
        SetEventParameter(e, kEventParamMouseButton, typeMouseButton, sizeof button, &button);
        SetEventParameter(e, kEventParamClickCount, typeUInt32, sizeof clicks, &clicks);
        const OSStatus r = SendEventToEventTarget(e, GetWindowEventTarget(window));
        ReleaseEvent(e);
        carbon_standin::displayWindows();
        return r;
    }
    OSStatus Wheel(int x, int y, EventMouseWheelAxis axis, SInt32 delta)
    {
        EventRef e = nullptr;
        CreateEvent(nullptr, kEventClassMouse, kEventMouseWheelMoved, 0, 0, &e);
        const HIPoint at{x + 2.5, y + 3.5};
        SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof at, &at);
        SetEventParameter(e, kEventParamMouseWheelAxis, typeMouseWheelAxis, sizeof axis, &axis);
        SetEventParameter(e, kEventParamMouseWheelDelta, typeSInt32, sizeof delta, &delta);
        const OSStatus r = SendEventToEventTarget(e, GetWindowEventTarget(window));
        ReleaseEvent(e);
        return r;
    }
    void Click(int x, int y)
    {
        Mouse(kEventMouseDown, x, y);
        Mouse(kEventMouseUp, x, y);
    }
    // To the focused control, else the window.
    OSStatus Key(char c, UInt32 code = 0xFF)
    {
        EventRef e = nullptr;
        CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
        SetEventParameter(e, kEventParamKeyMacCharCodes, typeChar, 1, &c);
        SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
        ControlRef focus = nullptr;
        GetKeyboardFocus(window, &focus);
        const OSStatus r =
            SendEventToEventTarget(e, focus ? GetControlEventTarget(focus) : GetWindowEventTarget(window));
        ReleaseEvent(e);
        return r;
    }
    void Type(const std::string& s)
    {
        for (char c : s) Key(c);
    }
    IGraphicsCarbon* Carbon() const { return g->GetCarbon(); }
    std::string EntryText() const
    {
        ControlRef entry = Carbon()->GetTextEntryView();
        return entry ? carbon_standin::controlText(entry) : "(closed)";
    }
    std::vector<double> Changes(int idx) const { return plug.ChangesOf(idx); }
};

} // namespace

TEST(CarbonMenu, ThePresenterSeesTheSameMenuAsInCocoaBelowTheControl)
{
    CarbonEditor e;
    IPopupMenu menu;
    FillSample(&menu);
    IRECT r(100, 200, 180, 220);
    EXPECT_EQ(e.g->CreateIPopupMenu(&menu, &r), nullptr);
    ASSERT_EQ(e.presenter.p.menus.size(), 1u);
    EXPECT_EQ(cf_standin::MenuLine(e.presenter.p.menus[0]), "01: A | --- | 03: B | *04: C | -05: D | >06: E");
    // Left at the control's left, top 5 below its bottom, in global coordinates.
    EXPECT_EQ(e.presenter.p.menus[0].x, 200);
    EXPECT_EQ(e.presenter.p.menus[0].y, 325);
    EXPECT_EQ(carbon_standin::menuListCount(), 0);
    EXPECT_EQ(carbon_standin::liveMenuCount(), 0);
}

TEST(CarbonMenu, ASubmenuChoiceReturnsTheSubmenuAndEveryMenuLeavesTheList)
{
    CarbonEditor e;
    IPopupMenu top, sub, empty;
    top.AddItem("first");
    top.AddItem("more", &sub);
    for (const char* t : {"x", "y", "z"}) sub.AddItem(t);
    IRECT r(100, 200, 180, 220);
    e.presenter.p.menuAnswers = {{1, 2}, {}, {1}, {0}};
    EXPECT_EQ(e.g->CreateIPopupMenu(&top, &r), &sub);
    EXPECT_EQ(sub.GetChosenItemIdx(), 2);
    EXPECT_EQ(top.GetChosenItemIdx(), -1);
    EXPECT_EQ(e.g->CreateIPopupMenu(&top, &r), nullptr); // dismissed
    EXPECT_EQ(e.g->CreateIPopupMenu(&top, &r), nullptr); // a submenu's parent
    EXPECT_EQ(sub.GetChosenItemIdx(), 2);
    EXPECT_EQ(carbon_standin::menuListCount(), 0);
    EXPECT_EQ(carbon_standin::liveMenuCount(), 0);
    // An empty menu is not shown.
    EXPECT_EQ(e.g->CreateIPopupMenu(&empty, &r), nullptr);
    EXPECT_EQ(e.presenter.p.menus.size(), 3u);
    EXPECT_EQ(e.g->CreateIPopupMenu(&top, &r), &top);
    EXPECT_EQ(top.GetChosenItemIdx(), 0);
}

TEST(CarbonHost, MouseEventsMapButtonsModifiersAndClickCounts)
{
    CarbonEditor e;
    struct Case {
        UInt32 kind, mods;
        UInt16 button;
        UInt32 clicks;
        const char* seen;
    } cases[] = {
        {kEventMouseDown, 0, 1, 1, "down 10,20 L"},
        {kEventMouseUp, shiftKey | optionKey, 1, 1, "up 10,20 L S A"},
        {kEventMouseDown, cmdKey | controlKey, 1, 1, "down 10,20 L R C"},
        {kEventMouseDown, 0, 2, 1, "down 10,20 L R"},
        {kEventMouseDown, 0, 1, 2, "dbl 10,20 L"},
        {kEventMouseDragged, 0, 1, 1, "drag 10,20 L"},
    };
    for (const Case& c : cases) {
        gSeen.clear();
        e.Mouse(kEventMouseDown, 10, 25); // a capture for the drag to move from
        gSeen.clear();
        EXPECT_EQ(e.Mouse(c.kind, 10, 20, c.mods, c.button, c.clicks), noErr);
        EXPECT_EQ(gSeen, std::vector<std::string>{c.seen}) << c.seen;
    }
    gSeen.clear();
    EXPECT_EQ(e.Wheel(10, 20, kEventMouseWheelAxisX, 3), eventNotHandledErr);
    EXPECT_EQ(e.Wheel(10, 20, kEventMouseWheelAxisY, -2), noErr);
    EXPECT_EQ(gSeen, std::vector<std::string>{"wheel-2 10,20 L"});

    // A host's point past the int range, or not a number, is held to it: the capture takes it.
    gSeen.clear();
    e.Mouse(kEventMouseDown, 10, 25);
    e.MouseAt(kEventMouseDragged, HIPoint{1e42, -1e42});
    e.MouseAt(kEventMouseDragged, HIPoint{std::nan(""), 3});
    EXPECT_EQ(gSeen, (std::vector<std::string>{"down 10,25 L", "drag 999999998,-1000000003 L", "drag -2,0 L"}));
}

TEST(CarbonHost, KeysMapAsInCocoaAtTheLastMousePosition)
{
    CarbonEditor e;
    e.Mouse(kEventMouseMoved, 30, 40, 0, 0, 0);
    EXPECT_EQ(e.Key('a', 0), noErr);
    EXPECT_EQ(e.Key('7', 26), noErr);
    EXPECT_EQ(e.Key(0x1E, 126), noErr); // up
    EXPECT_EQ(e.Key('%', 23), eventNotHandledErr);
    EXPECT_EQ(gSeen, (std::vector<std::string>{"key 15 at 30,40", "key 12 at 30,40", "key 1 at 30,40"}));
}

TEST(CarbonHost, TheTimerStopsOnCloseAndTheInterfaceNamesItsKind)
{
    const int before = cf_standin::scheduledTimerCount();
    {
        CarbonEditor e;
        EXPECT_STREQ(e.g->GetGUIAPI(), "Carbon Composited gui");
        EXPECT_EQ(cf_standin::scheduledTimerCount(), before + 1);
        e.g->CloseWindow();
        EXPECT_EQ(cf_standin::scheduledTimerCount(), before);
        EXPECT_FALSE(e.g->WindowIsOpen());
        EXPECT_STREQ(e.g->GetGUIAPI(), "Cocoa gui");
    }
    CarbonEditor plain(false);
    EXPECT_STREQ(plain.g->GetGUIAPI(), "Carbon Non-Composited gui");
    EXPECT_TRUE(plain.g->WindowIsOpen());
}

TEST(CarbonHost, ResizingKeepsTheWindowsTopLeftAndFitsThePane)
{
    CarbonEditor e;
    e.g->Resize(1000, 600);
    Rect r{};
    GetWindowBounds(e.window, kWindowContentRgn, &r);
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}), std::vector<int>({100, 100, 1100, 700}));
    HIRect f{};
    HIViewGetFrame(e.pane, &f);
    EXPECT_EQ(std::vector<double>({f.origin.x, f.origin.y, f.size.width, f.size.height}),
              std::vector<double>({0, 0, 1000, 600}));
}

TEST(CarbonHost, WithoutAWindowNoHostIsKept)
{
    SurfacePlug plug;
    auto* g = new IGraphicsMac(&plug, 300, 200, 25);
    plug.AttachGraphics(g);
    EXPECT_EQ(g->OpenWindow(nullptr, nullptr, 0, 0), nullptr);
    EXPECT_FALSE(g->WindowIsOpen());
}

TEST(CarbonHost, TheTimerInvalidatesTheDirtyRectangleOfThePane)
{
    CarbonEditor e;
    e.g->AttachControl(new Spy(&e.plug, IRECT(10, 20, 30, 40)));
    HIViewSetNeedsDisplay(e.pane, false);
    cf_standin::advanceClock(0.04);
    EXPECT_TRUE(HIViewGetNeedsDisplay(e.pane));
    const long drawn = carbon_standin::drawCount();
    carbon_standin::displayWindows();
    EXPECT_EQ(carbon_standin::drawCount(), drawn + 1);
}

TEST(CarbonEntry, TypingIntoAnIntegerGivesThePlainValueOnReturn)
{
    CarbonEditor e;
    e.g->SetParameterFromPlug(kInt, 9, false);
    e.Click(120, 250);
    EXPECT_EQ(e.EntryText(), "9");
    int s = -1, t = -1;
    carbon_standin::controlSelection(e.Carbon()->GetTextEntryView(), &s, &t);
    EXPECT_EQ(std::vector<int>({s, t}), std::vector<int>({0, 1}));
    e.Type("5x");
    EXPECT_EQ(e.EntryText(), "5");
    EXPECT_EQ(e.Key('\r', 36), noErr);
    EXPECT_EQ(e.EntryText(), "(closed)");
    EXPECT_EQ(e.Changes(kInt), std::vector<double>{5.0});
    EXPECT_EQ(carbon_standin::currentThemeCursor(), kThemeArrowCursor);
    EXPECT_EQ(GetUserFocusWindow(), nullptr);
}

TEST(CarbonEntry, CharacterRulesFollowTheParameterKind)
{
    struct Case {
        int param;
        const char* typed;
        const char* kept;
    } cases[] = {
        {kDouble, "1e.5", "1.5"}, {kInt, "-4.2", "-42"}, {kText, "a(~b", "a(~b"}, // text entries take any character
    };
    for (const Case& c : cases) {
        CarbonEditor e;
        e.Click(120, 210 + 40 * c.param);
        e.Key(8, 51); // clears the selected text
        e.Type(c.typed);
        EXPECT_EQ(e.EntryText(), c.kept) << c.typed;
    }
}

TEST(CarbonEntry, TheSeventeenthCharacterIsSwallowedAndASecondEntryIgnored)
{
    CarbonEditor e;
    e.Click(120, 330);
    e.Key(8, 51);
    e.Type("abcdefghijklmnopq");
    EXPECT_EQ(e.EntryText(), "abcdefghijklmnop");
    ControlRef first = e.Carbon()->GetTextEntryView();
    IRECT r(300, 300, 400, 320);
    e.g->CreateTextEntry(e.caption[kInt], &e.text, &r, "1", e.plug.GetParam(kInt));
    EXPECT_EQ(e.Carbon()->GetTextEntryView(), first);
}

TEST(CarbonEntry, ClicksInsideAreTheFieldsOutsideCommitAndDragsAreIgnored)
{
    CarbonEditor e;
    e.Click(120, 250);
    e.Type("3");
    gSeen.clear();
    EXPECT_EQ(e.Mouse(kEventMouseDown, 128, 246), eventNotHandledErr); // inside the 30 by 16 entry
    EXPECT_EQ(e.EntryText(), "3");
    EXPECT_EQ(e.Mouse(kEventMouseDragged, 500, 500), noErr);
    EXPECT_TRUE(gSeen.empty());
    e.Click(600, 600);
    EXPECT_EQ(e.EntryText(), "(closed)");
    EXPECT_EQ(e.Changes(kInt), std::vector<double>{3.0});
}

TEST(CarbonEntry, DeactivationTheWheelAndEscapeEndWithoutCommit)
{
    CarbonEditor e;
    e.Click(120, 250);
    e.Type("4");
    EventRef deactivate = nullptr;
    CreateEvent(nullptr, kEventClassWindow, kEventWindowDeactivated, 0, 0, &deactivate);
    EXPECT_EQ(SendEventToEventTarget(deactivate, GetWindowEventTarget(e.window)), eventNotHandledErr);
    ReleaseEvent(deactivate);
    EXPECT_EQ(e.EntryText(), "(closed)");
    e.Click(120, 250);
    e.Type("6");
    e.Wheel(600, 600, kEventMouseWheelAxisY, 1);
    EXPECT_EQ(e.EntryText(), "(closed)");
    EXPECT_TRUE(e.Changes(kInt).empty());
    // Escape, and the control hears that its entry was cancelled.
    IRECT r(600, 320, 680, 340);
    auto* taker = new Spy(&e.plug, r);
    e.g->AttachControl(taker);
    e.g->CreateTextEntry(taker, &e.text, &r, "old", nullptr);
    e.Type("x");
    EXPECT_EQ(e.Key(27, 53), noErr);
    EXPECT_EQ(e.EntryText(), "(closed)");
    EXPECT_EQ(std::make_pair(taker->typed, taker->cancelled), std::make_pair(std::string(), true));
}

TEST(CarbonEntry, ACommittedTextIsCutAtACharacterBoundary)
{
    CarbonEditor e;
    // 62 letters and a two-byte character: 64 bytes, one more than the buffer holds.
    const std::string initial = std::string(62, 'a') + "\xC3\xA9";
    IRECT r(600, 320, 680, 340);
    auto* taker = new Spy(&e.plug, r);
    e.g->AttachControl(taker);
    e.g->CreateTextEntry(taker, &e.text, &r, initial.c_str(), nullptr); // no parameter: the control takes it
    EXPECT_EQ(e.EntryText(), initial);
    e.Key('\r', 36);
    EXPECT_EQ(taker->typed, std::string(62, 'a'));
}

TEST(CarbonEntry, PlainWindowsOpenNoEntry)
{
    CarbonEditor e(false);
    e.Click(120, 250);
    EXPECT_EQ(e.Carbon()->GetTextEntryView(), nullptr);
}

TEST(SubWindow, TheEditorWindowIsCentredOverTheHostAndOrderedFrontAgainLater)
{
    struct Case {
        short hostWidth;
        double x;
    } cases[] = {{1700, 200}, {1501, 100}, {1503, 101}, {1400, 100}};
    for (const Case& c : cases) {
        SurfacePlug plug;
        auto* g = new IGraphicsMac(&plug, 1500, 757, 25);
        plug.AttachGraphics(g);
        WindowRef carbon = nullptr;
        const Rect bounds{100, 100, 100 + 800, short(100 + c.hostWidth)};
        ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, kWindowCompositingAttribute, &bounds, &carbon), noErr);
        const size_t windowsBefore = NSApp->windows().size();
        g->AttachSubWindow(carbon);
        auto* view = static_cast<NSView*>(g->GetWindow());
        ASSERT_NE(view, nullptr);
        NSWindow* child = view->window();
        ASSERT_NE(child, nullptr);
        NSWindow* host = child->parentWindow();
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(host->windowRef(), carbon);
        EXPECT_EQ(child->frame().origin.x, c.x) << c.hostWidth;
        EXPECT_EQ(child->frame().origin.y, 100);
        EXPECT_TRUE(child->canBecomeKeyWindow());
        EXPECT_FALSE(child->hasShadow());
        EXPECT_EQ(child->orderFrontCount(), 0);
        EXPECT_EQ(host->orderFrontCount(), 1);
        cf_standin::advanceClock(0.049);
        EXPECT_EQ(child->orderFrontCount(), 0);
        cf_standin::advanceClock(0.001);
        EXPECT_EQ(child->orderFrontCount(), 1);
        EXPECT_EQ(NSApp->windows().size(), windowsBefore + 2);
        g->RemoveSubWindow();
        EXPECT_EQ(NSApp->windows().size(), windowsBefore);
        EXPECT_FALSE(g->WindowIsOpen());
        ns_standin::drainLoopPool();
        DisposeWindow(carbon);
    }
}
