// The Cocoa back end's prompts on the AppKit stand-in: native popup menus read back from the
// presenter, and text fields whose typed text becomes the parameter.
#include <AppKit/AppKit.h>
#include <CoreFoundation/CFPresenter.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/plugin/IGraphicsCocoa.h"
#include "kit/plugin/IGraphicsMac.h"
#include "plugin/graphics_offscreen.h"
#include "plugin/menu_sample.h"

namespace
{

enum { kBool = 0, kInt = 1, kDouble = 2, kText = 3, kEnum = 4 };

// The presenter for one test: scripted answers, what was shown kept.
struct ScriptedPresenter {
    cf_standin::Presenter p;
    cf_standin::Presenter* previous = cf_standin::setPresenter(&p);
    ~ScriptedPresenter() { cf_standin::setPresenter(previous); }
};

// An editor of 1500 by 757 at the window's origin, with captions on five parameter kinds.
struct Prompts {
    ScriptedPresenter presenter;
    SurfacePlug plug;
    IGraphicsMac* g = new IGraphicsMac(&plug, 1500, 757, 25);
    NSWindow* window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    IGraphicsCocoa_vQOR_au* view = nullptr;
    IText text{14};
    ICaptionControl* caption[5] = {};

    Prompts()
    {
        plug.GetParam(kBool)->InitBool("Sync", false);
        plug.GetParam(kInt)->InitInt("Program", 0, 0, 127);
        plug.GetParam(kDouble)->InitDouble("Cutoff", 50.0, 0.0, 100.0, 0.1);
        plug.GetParam(kText)->InitText();
        plug.GetParam(kEnum)->InitEnum("Shape", 0, 3);
        for (int i = 0; i < 3; ++i)
            plug.GetParam(kEnum)->SetDisplayText(i, i == 0 ? "Saw" : i == 1 ? "Square" : "Pulse");
        plug.AttachGraphics(g);
        g->AttachControl(new IPanelControl(&plug, IRECT(0, 0, 1500, 757), nullptr));
        for (int i = 0; i < 5; ++i) {
            caption[i] = new ICaptionControl(&plug, IRECT(100, 200 + 40 * i, 180, 220 + 40 * i), i, &text, false);
            caption[i]->DisablePrompt(false);
            g->AttachControl(caption[i]);
        }
        window->initWithContentRect(NSMakeRect(0, 0, 1500, 757), NSTitledWindowMask, NSBackingStoreBuffered, false);
        view = static_cast<IGraphicsCocoa_vQOR_au*>(g->OpenWindow(window->contentView()));
        ns_standin::runFor(0.04);
    }
    ~Prompts()
    {
        window->release();
        ns_standin::drainLoopPool();
    }
    // Mouse events at a surface pixel.
    void Mouse(NSEventType type, int x, int y, int clicks = 1)
    {
        ns_standin::dispatch(NSEvent::mouseEventWithType(type, NSMakePoint(x + 2.5, 757 - 3 - y + 0.5), 0, 0,
                                                         window->windowNumber(), nullptr, 0, clicks, 1));
    }
    void Click(int x, int y)
    {
        Mouse(NSLeftMouseDown, x, y);
        Mouse(NSLeftMouseUp, x, y);
    }
    void ClickCaption(int i) { Click(120, 210 + 40 * i); }
    void Key(const char* chars, unsigned short code = 0xFF)
    {
        NSString* s = NSString::stringWithUTF8String(chars);
        ns_standin::dispatch(NSEvent::keyEventWithType(NSKeyDown, NSMakePoint(0, 0), 0, 0, window->windowNumber(),
                                                       nullptr, s, s, false, code));
    }
    void Type(const std::string& text)
    {
        for (char c : text) Key(std::string(1, c).c_str());
    }
    std::string FieldText() const
    {
        return view->TextField() ? view->TextField()->stringValue()->UTF8String() : "(closed)";
    }
    std::vector<double> Changes(int idx) const { return plug.ChangesOf(idx); }
};

} // namespace

TEST(CocoaMenu, ThePresenterSeesTheNumberedItemsWithTheirMarks)
{
    Prompts e;
    IPopupMenu menu;
    FillSample(&menu);
    IRECT r(100, 200, 180, 220);
    EXPECT_EQ(e.g->CreateIPopupMenu(&menu, &r), nullptr);
    ASSERT_EQ(e.presenter.p.menus.size(), 1u);
    const cf_standin::MenuShown& shown = e.presenter.p.menus[0];
    EXPECT_EQ(cf_standin::MenuLine(shown), "01: A | --- | 03: B | *04: C | -05: D | >06: E");
    ASSERT_EQ(shown.items.size(), 6u);
    EXPECT_TRUE(shown.items[1].separator);
    EXPECT_TRUE(shown.items[3].checked && shown.items[3].enabled);
    EXPECT_FALSE(shown.items[4].enabled);
    EXPECT_TRUE(shown.items[5].indented && !shown.items[5].checked);
}

TEST(CocoaMenu, ASubmenuChoiceReturnsTheSubmenuAndDismissingChangesNothing)
{
    Prompts e;
    IPopupMenu top, sub;
    top.AddItem("first");
    top.AddItem("more", &sub);
    for (const char* t : {"x", "y", "z"}) sub.AddItem(t);
    IRECT r(100, 200, 180, 220);
    e.presenter.p.menuAnswers = {{1, 2}, {}, {1}, {0, 9}, {4}};
    EXPECT_EQ(e.g->CreateIPopupMenu(&top, &r), &sub);
    EXPECT_EQ(sub.GetChosenItemIdx(), 2);
    EXPECT_EQ(top.GetChosenItemIdx(), -1);
    EXPECT_EQ(cf_standin::MenuLine(e.presenter.p.menus[0]), "first | more { x | y | z }");
    // Dismissed, a submenu's parent, a path off the end, an item that is not there.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(e.g->CreateIPopupMenu(&top, &r), nullptr) << i;
    EXPECT_EQ(sub.GetChosenItemIdx(), 2);
    EXPECT_EQ(top.GetChosenItemIdx(), -1);
}

TEST(CocoaMenu, DisabledItemsAndSeparatorsCannotBeChosen)
{
    Prompts e;
    IPopupMenu menu;
    FillSample(&menu);
    IRECT r(100, 200, 180, 220);
    e.presenter.p.menuAnswers = {{1}, {4}, {5}};
    EXPECT_EQ(e.g->CreateIPopupMenu(&menu, &r), nullptr);
    EXPECT_EQ(e.g->CreateIPopupMenu(&menu, &r), nullptr);
    EXPECT_EQ(e.g->CreateIPopupMenu(&menu, &r), &menu);
    EXPECT_EQ(menu.GetChosenItemIdx(), 5);
}

TEST(CocoaMenu, AnchorsBelowTheControlInWindowPixelsAndReleasesTheCapture)
{
    Prompts e;
    IPopupMenu menu;
    menu.AddItem("only");
    IRECT r(100, 200, 180, 220);
    e.Mouse(NSLeftMouseDown, 50, 50); // the panel takes the capture
    ASSERT_NE(e.g->GetMouseCapture(), nullptr);
    e.g->CreateIPopupMenu(&menu, &r);
    EXPECT_EQ(e.g->GetMouseCapture(), nullptr);
    ns_standin::setBackingScaleFactor(2.0);
    e.g->CreateIPopupMenu(&menu, &r);
    ns_standin::setBackingScaleFactor(1.0);
    ASSERT_EQ(e.presenter.p.menus.size(), 2u);
    EXPECT_EQ(std::vector<double>({e.presenter.p.menus[0].x, e.presenter.p.menus[0].y}),
              std::vector<double>({100, 532}));
    EXPECT_EQ(std::vector<double>({e.presenter.p.menus[1].x, e.presenter.p.menus[1].y}),
              std::vector<double>({50, 266}));
}

TEST(CocoaPrompt, ABooleanShowsItsWordsWithTheCurrentOneCheckedAndTheChoiceReachesThePlugIn)
{
    Prompts e;
    e.presenter.p.menuAnswers = {{1}};
    e.ClickCaption(kBool);
    ASSERT_EQ(e.presenter.p.menus.size(), 1u);
    EXPECT_EQ(cf_standin::MenuLine(e.presenter.p.menus[0]), "*off | on");
    EXPECT_EQ(e.Changes(kBool), std::vector<double>{1.0});
    e.ClickCaption(kBool); // dismissed: nothing changes
    EXPECT_EQ(cf_standin::MenuLine(e.presenter.p.menus[1]), "off | *on");
    EXPECT_EQ(e.Changes(kBool), std::vector<double>{1.0});
}

TEST(CocoaPrompt, TheFieldOpensWithTheCurrentTextSelectedAndTypingReplacesIt)
{
    Prompts e;
    e.plug.GetParam(kInt)->Set(7);
    e.ClickCaption(kInt);
    EXPECT_EQ(e.FieldText(), "7");
    NSTextView* editor = e.view->TextField()->currentEditor();
    ASSERT_NE(editor, nullptr);
    // The window's field editor sits two levels below the field and takes the keys.
    EXPECT_EQ(editor->superview()->superview(), e.view->TextField());
    EXPECT_EQ(e.window->firstResponder(), editor);
    EXPECT_EQ(editor->selectionLength(), 1u);
    e.Type("5");
    EXPECT_EQ(e.FieldText(), "5");
    e.Key("\r", 36);
    EXPECT_EQ(e.FieldText(), "(closed)");
    EXPECT_EQ(e.Changes(kInt), std::vector<double>{5.0});
    EXPECT_EQ(e.window->firstResponder(), e.view);
    EXPECT_EQ(NSCursor::currentCursor(), NSCursor::arrowCursor());
}

TEST(CocoaPrompt, EscapeEndsTheEntryWithTheTextItOpenedWithAndTellsThePlugInNothing)
{
    Prompts e;
    e.plug.GetParam(kInt)->Set(7);
    e.plug.GetParam(kText)->SetDisplayText(0, "Lead");
    // A text parameter hears every commit, even of its own word: Escape must not be one.
    for (const int param : {kInt, kText}) {
        e.ClickCaption(param);
        e.Type("5");
        e.Key("\x1B", 53);
        EXPECT_EQ(e.FieldText(), "(closed)") << param;
        EXPECT_TRUE(e.Changes(param).empty()) << param;
        EXPECT_EQ(e.window->firstResponder(), e.view) << param;
    }
    EXPECT_EQ(e.plug.GetParam(kInt)->Value(), 7.0);
    EXPECT_STREQ(e.plug.GetParam(kText)->GetDisplayText(0), "Lead");
}

TEST(CocoaPrompt, ATextParameterTogglesThenSettlesOnZeroWithTheTypedWord)
{
    Prompts e;
    e.ClickCaption(kText);
    e.Type("Bass (1)");
    e.Key("\x03", 76); // Enter
    EXPECT_EQ(e.Changes(kText).size(), 2u);
    EXPECT_EQ(e.caption[kText]->GetValue(), 0.0);
    EXPECT_STREQ(e.plug.GetParam(kText)->GetDisplayText(0), "Bass (1)");
}

TEST(CocoaPrompt, EachKindsFieldRefusesCharactersOutsideItsSet)
{
    struct Case {
        int param;
        const char* typed;
        const char* kept;
    } cases[] = {
        {kDouble, "1e.5", "1.5"},
        {kInt, "-4.2x", "-42"},
        {kText, "a(~b)", "a(b)"},
        {kText, "\xC3\xA9z", "z"}, // no letters beyond ASCII
    };
    for (const Case& c : cases) {
        Prompts e;
        e.ClickCaption(c.param);
        e.Type(c.typed);
        EXPECT_EQ(e.FieldText(), c.kept) << c.typed;
    }
}

TEST(CocoaPrompt, TheSeventeenthCharacterIsRefusedAndBackspaceMakesRoom)
{
    Prompts e;
    e.ClickCaption(kText);
    e.Type("abcdefghijklmnopq");
    EXPECT_EQ(e.FieldText(), "abcdefghijklmnop");
    e.Key("\x7F", 51);
    e.Type("z");
    EXPECT_EQ(e.FieldText(), "abcdefghijklmnoz");
}

TEST(CocoaPrompt, ASecondEntryIsIgnoredAndDragsDoNotReachTheSurfaceWhileOpen)
{
    Prompts e;
    e.ClickCaption(kInt);
    NSTextField* first = e.view->TextField();
    IText text(12);
    IRECT r(300, 300, 400, 320);
    e.g->CreateTextEntry(e.caption[kDouble], &text, &r, "1", e.plug.GetParam(kDouble));
    EXPECT_EQ(e.view->TextField(), first);
    EXPECT_EQ(e.view->subviews().size(), 1u);

    // The drag that would move the panel's capture.
    e.Mouse(NSLeftMouseDragged, 130, 240);
    EXPECT_EQ(e.g->GetMouseCapture(), nullptr);
    EXPECT_EQ(e.FieldText(), "0");
}

TEST(CocoaPrompt, AClickElsewhereCommitsAndTheWheelOrAForcedEndDoNot)
{
    {
        Prompts e;
        e.ClickCaption(kInt);
        e.Type("12");
        e.Click(600, 600);
        EXPECT_EQ(e.FieldText(), "(closed)");
        EXPECT_EQ(e.Changes(kInt), std::vector<double>{12.0});
    }
    {
        Prompts e;
        e.ClickCaption(kInt);
        e.Type("12");
        ns_standin::dispatch(ns_standin::scrollWheelEvent(e.window, NSMakePoint(600, 100), 0, 1));
        EXPECT_EQ(e.FieldText(), "(closed)");
        e.ClickCaption(kInt);
        e.Type("3");
        e.g->ForceEndUserEdit();
        EXPECT_EQ(e.FieldText(), "(closed)");
        EXPECT_TRUE(e.Changes(kInt).empty());
        // Keys go to the editor view again.
        EXPECT_EQ(e.window->firstResponder(), e.view);
    }
}

TEST(CocoaPrompt, ReturnOnAnEmptyFieldCommitsZero)
{
    Prompts e;
    e.g->SetParameterFromPlug(kInt, 9, false);
    e.ClickCaption(kInt);
    EXPECT_EQ(e.FieldText(), "9");
    e.Key("\x7F", 51);
    e.Key("\r", 36);
    EXPECT_EQ(e.Changes(kInt), std::vector<double>{0.0});
}

TEST(CocoaPrompt, TheOpenFieldIsDrawnInTheWindowWithItsColours)
{
    Prompts e;
    e.caption[kInt]->GetText()->mTextEntryBGColor = IColor(255, 250, 240, 10);
    e.ClickCaption(kInt);
    e.Key("\x7F", 51); // nothing selected, so the background shows plainly
    ns_standin::runFor(0.04);
    CGContextRef store = e.window->backingStore();
    const uint8_t* base = static_cast<const uint8_t*>(CGBitmapContextGetData(store));
    const size_t bpr = CGBitmapContextGetBytesPerRow(store);
    auto rgb = [&](int x, int y) {
        const uint8_t* p = base + size_t(y) * bpr + size_t(x) * 4;
        return unsigned(p[1]) << 16 | unsigned(p[2]) << 8 | p[3];
    };
    // The field: 30 by 16 pixels centred on the caption (100, 240)..(180, 260), with the caret
    // in its middle; rows of the store count from the top.
    for (int y : {243, 249, 257})
        for (int x : {126, 132, 148, 154}) EXPECT_EQ(rgb(x, y), 0xFAF00Au) << x << "," << y;
    EXPECT_NE(rgb(120, 249), 0xFAF00Au);
    EXPECT_NE(rgb(140, 262), 0xFAF00Au);
}
