// The editor's panels as a person uses them, through the real window at each size: the MIDI filter
// window opened, ticked and closed; a library slot renamed by typing; the longest status texts
// kept inside the read-out panel. QOR_SCREENSHOT_DIR, when set, keeps the screenshots.
#include <AppKit/AppKit.h>
#include <CoreFoundation/CFPresenter.h>

#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QORParams.h"
#include "controller_editor_support.h"
#include "kit/plugin/IGraphicsCocoa.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/plugin/IParam.h"
#include "kit/raster/rast_bitmap.h"
#include "tests/support/window_screenshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace qorid;

namespace
{

struct Size {
    const char* word;
    double scale;
};
const Size kSizes[] = {{"small", 0.85}, {"normal", 1.0}, {"large", 1.15}};

// The controller at one size with a library bank of 128 programs, its editor open in a window.
struct Desk {
    explicit Desk(const Size& s, bool withBank = true)
        : size(s),
          e((std::string("notes\n") + s.word + "\nyes\n\n\n").c_str(), true,
            withBank ? std::vector<std::pair<std::string, bankgen::Bytes>>{{"Panels.syx",
                                                                            bankgen::rawFile(bankgen::messagesOf(
                                                                                bankgen::makeBank(
                                                                                    bankgen::Kind::Programs, 0x20,
                                                                                    128)))}}
                     : std::vector<std::pair<std::string, bankgen::Bytes>>{})
    {
        previous = cf_standin::setPresenter(&presenter);
        g = static_cast<IGraphicsMac*>(e.plug->GetGUI());
        window->initWithContentRect(NSMakeRect(0, 0, g->Width(), g->Height()), NSTitledWindowMask,
                                    NSBackingStoreBuffered, false);
        view = static_cast<IGraphicsCocoa_vQOR_au*>(g->OpenWindow(window->contentView()));
        e.plug->startupComplete = true;
    }
    ~Desk()
    {
        g->CloseWindow();
        window->release();
        ns_standin::drainLoopPool();
        cf_standin::setPresenter(previous);
    }
    QOR& q() { return *e.plug; }
    ControlLayer* layer(const char* name) { return q().keptLayer(name); }
    void mouse(NSEventType type, int x, int y)
    {
        ns_standin::dispatch(NSEvent::mouseEventWithType(type, NSMakePoint(x + 2.5, g->Height() - 3 - y + 0.5), 0, 0,
                                                         window->windowNumber(), nullptr, 0, 1, 1));
    }
    void click(int x, int y, NSEventType down = NSLeftMouseDown, NSEventType up = NSLeftMouseUp)
    {
        mouse(down, x, y);
        mouse(up, x, y);
    }
    // A click in the middle of the shown control bound to the parameter (on that layer, when
    // given); false when none shows.
    bool clickControl(int paramId, const char* on = nullptr)
    {
        int first = 0;
        IControl* c = on ? shownIn(layer(on), paramId, &first) : shownControl(paramId);
        if (!c) return false;
        click((c->GetRECT()->L + c->GetRECT()->R) / 2, (c->GetRECT()->T + c->GetRECT()->B) / 2);
        return true;
    }
    IControl* shownControl(int paramId, int nth = 0)
    {
        for (int i = 0; i < g->NLayers(); ++i)
            if (IControl* c = shownIn(g->GetLayer(i), paramId, &nth)) return c;
        for (int i = 0; i < g->NControls(); ++i) {
            IControl* c = g->GetControl(i);
            if (c->ParamIdx() == paramId && !c->IsHidden() && nth-- == 0) return c;
        }
        return nullptr;
    }
    static IControl* shownIn(ControlLayer* l, int paramId, int* nth)
    {
        if (!l->IsVisible()) return nullptr;
        for (int i = 0; i < l->childLayers.GetSize(); ++i)
            if (IControl* c = shownIn(l->childLayers.Get(i), paramId, nth)) return c;
        for (int i = 0; i < l->controls.GetSize(); ++i) {
            IControl* c = l->controls.Get(i);
            if (c->ParamIdx() == paramId && !c->IsHidden() && (*nth)-- == 0) return c;
        }
        return nullptr;
    }
    void key(const char* chars, unsigned short code)
    {
        NSString* s = NSString::stringWithUTF8String(chars);
        ns_standin::dispatch(NSEvent::keyEventWithType(NSKeyDown, NSMakePoint(0, 0), 0, 0, window->windowNumber(),
                                                       nullptr, s, s, false, code));
    }
    void type(const std::string& text)
    {
        for (char c : text) key(std::string(1, c).c_str(), 0xFF);
    }
    // The whole editor drawn as the window shows it.
    const uint32_t* draw()
    {
        ns_standin::runFor(0.05);
        IRECT all(0, 0, g->Width(), g->Height());
        g->Draw(&all);
        return static_cast<const uint32_t*>(g->GetBits());
    }
    // The window as it shows, native text fields included.
    void shot(const std::string& name)
    {
        draw();
        ns_standin::displayWindows();
        if (const char* keep = std::getenv("QOR_SCREENSHOT_DIR"))
            testsupport::writeWindowScreenshot(window, std::string(keep) + "/panels-" + size.word + "-" + name + ".png");
    }
    // The pixels of r as the window last showed them: what the editor's timer had drawn.
    std::vector<uint32_t> shown(const IRECT& r)
    {
        ns_standin::runFor(0.05);
        CGContextRef store = window->backingStore();
        std::vector<uint32_t> out;
        if (!store) return out;
        const auto* words = static_cast<const uint32_t*>(CGBitmapContextGetData(store));
        const size_t span = CGBitmapContextGetBytesPerRow(store) / 4;
        for (int y = r.T; y < r.B; ++y) out.insert(out.end(), words + y * span + r.L, words + y * span + r.R);
        return out;
    }
    void page(int tab)
    {
        g->SetParameterFromPlug(kMainTab, tab, false);
        q().OnParamChange(kMainTab);
    }

    Size size;
    editortest::Editor e;
    cf_standin::Presenter presenter;
    cf_standin::Presenter* previous = nullptr;
    IGraphicsMac* g = nullptr;
    NSWindow* window = static_cast<NSWindow*>(NSWindow::class_()->alloc());
    IGraphicsCocoa_vQOR_au* view = nullptr;
};

} // namespace

TEST(EditorPanels, TheMidiFilterWindowStaysOpenTakesATickAndClosesWithItsCloseButton)
{
    for (const Size& s : kSizes) {
        Desk d(s);
        ASSERT_TRUE(d.clickControl(kViewMIDIFilterSettings)) << s.word;
        EXPECT_EQ(d.e.value(kViewMIDIFilterSettings), 1.0) << s.word;
        EXPECT_TRUE(d.layer("midiFilterSettings")->IsVisible()) << s.word << ": shown after the click";
        const double before = d.e.value(kMIDIFilterHWSEPassThrough);
        ASSERT_TRUE(d.clickControl(kMIDIFilterHWSEPassThrough, "midiFilterSettings")) << s.word;
        EXPECT_NE(d.e.value(kMIDIFilterHWSEPassThrough), before) << s.word << ": the box is ticked";
        d.shot("midi-filters");
        // The window's own Close.
        ASSERT_TRUE(d.clickControl(kViewMIDIFilterSettings, "midiFilterSettings")) << s.word;
        EXPECT_EQ(d.e.value(kViewMIDIFilterSettings), 0.0) << s.word;
        EXPECT_FALSE(d.layer("midiFilterSettings")->IsVisible()) << s.word << ": closed";
    }
}

TEST(EditorPanels, ASlotIsRenamedByTypingAtOnceAndPressingReturnAndItsUnsavedStripGoesWithTheSave)
{
    for (const Size& s : kSizes) {
        Desk d(s);
        d.page(1);
        const IRECT strip = *d.layer("discardChangesLayerRight")->controls.Get(0)->GetRECT();
        const std::vector<uint32_t> saved = d.shown(strip);
        LibrarianViewControl& grid = *d.q().librarianView;
        const IRECT cell = grid.cellRect(LibrarianViewControl::kUpperPane, 3);
        d.presenter.menuAnswers.push_back({2}); // "Rename" of the slot's edit menu
        d.click((cell.L + cell.R) / 2, (cell.T + cell.B) / 2, NSRightMouseDown, NSRightMouseUp);
        ASSERT_TRUE(d.layer("patchRename")->IsVisible()) << s.word;
        ASSERT_NE(d.view->TextField(), nullptr) << s.word << ": the name field has the keyboard";
        d.key("\xEF\x9C\x80", 126); // an arrow key stays in the field
        EXPECT_EQ(grid.upperSelection.load(), 3) << s.word;
        d.type("Lead 42");
        d.shot("rename");
        d.key("\r", 36);
        EXPECT_FALSE(d.layer("patchRename")->IsVisible()) << s.word;
        EXPECT_EQ(d.view->TextField(), nullptr) << s.word;
        std::lock_guard<std::recursive_mutex> hold(d.q().patchLibrarian->mLock);
        EXPECT_EQ(d.q().patchLibrarian->singleFiles.at(0)->patches.at(3).name, "Lead 42         ") << s.word;
        EXPECT_EQ(d.e.value(kBankEditUnsaved), 1.0) << s.word;
        // The page says so beside the upper bank's menu.
        EXPECT_TRUE(d.layer("discardChangesLayerRight")->IsVisible()) << s.word;
        EXPECT_NE(d.shown(strip), saved) << s.word;
        d.shot("librarian-unsaved");
        // Saved over its file: the strip's place is drawn again at once, not at the next page.
        d.presenter.menuAnswers.push_back({7}); // "Save (Overwrite current bank)"
        ASSERT_TRUE(d.clickControl(-1, "BANKEDITMENU")) << s.word;
        EXPECT_EQ(d.e.value(kBankEditUnsaved), 0.0) << s.word;
        EXPECT_EQ(d.shown(strip), saved) << s.word;
        d.shot("librarian-saved");
    }
}

// The rename field left with Return or Escape: either way the panel closes and the grid's keys
// work at once; only Return renames.
TEST(EditorPanels, ReturnOrEscapeEndsTheRenameAndTheArrowKeysMoveTheSlotAtOnce)
{
    const struct {
        const char *key, *chars;
        unsigned short code;
        const char* name; // slot 3's name after
        double unsaved;
    } rows[] = {{"return", "\r", 36, "Lead 42         ", 1.0}, {"escape", "\x1B", 53, nullptr, 0.0}};
    for (const auto& row : rows) {
        Desk d(kSizes[1]);
        d.page(1);
        LibrarianViewControl& grid = *d.q().librarianView;
        std::string before;
        {
            std::lock_guard<std::recursive_mutex> hold(d.q().patchLibrarian->mLock);
            before = d.q().patchLibrarian->singleFiles.at(0)->patches.at(3).name;
        }
        const IRECT cell = grid.cellRect(LibrarianViewControl::kUpperPane, 3);
        d.click((cell.L + cell.R) / 2, (cell.T + cell.B) / 2); // the keys move from slot 3
        d.presenter.menuAnswers.push_back({2});                // "Rename"
        d.click((cell.L + cell.R) / 2, (cell.T + cell.B) / 2, NSRightMouseDown, NSRightMouseUp);
        ASSERT_NE(d.view->TextField(), nullptr) << row.key;
        d.type("Lead 42");
        d.key(row.chars, row.code);
        EXPECT_FALSE(d.layer("patchRename")->IsVisible()) << row.key;
        EXPECT_EQ(d.view->TextField(), nullptr) << row.key;
        EXPECT_TRUE(d.q().renameIdle) << row.key;
        EXPECT_EQ(d.e.value(kBankEditUnsaved), row.unsaved) << row.key;
        {
            std::lock_guard<std::recursive_mutex> hold(d.q().patchLibrarian->mLock);
            EXPECT_EQ(d.q().patchLibrarian->singleFiles.at(0)->patches.at(3).name, row.name ? row.name : before)
                << row.key;
        }
        d.key("\xEF\x9C\x81", 125); // down
        EXPECT_EQ(grid.upperSelection.load(), 4) << row.key << ": the key reached the grid";
        EXPECT_EQ(d.q().patchLibrarian->upperSlot, 4) << row.key;
    }
}

TEST(EditorPanels, APaneWithoutABankShowsNoTitle)
{
    Desk d(kSizes[1], false);
    d.page(1);
    d.draw();
    for (int id : {kPatchSelectionListUpper, kPatchSelectionListLower})
        EXPECT_EQ(d.e.text(static_cast<ITextControl*>(d.shownControl(id))), "") << id;
    d.shot("librarian-empty");
}

TEST(EditorPanels, TheLongestStatusTextsStayInsideTheirReadOutFields)
{
    // The longest texts each status line is given, with a read-out value of the longest kind.
    const struct {
        const char* line1;
        const char* line2;
    } texts[] = {
        {"Turn on PERFORMANCE mode from librarian first!", "Tip: Note that letter size matters.."},
        {"Tempo Synced to HOST! Check ARP Tab", "DCO (Juno 106 & 60 style) [0]"},
        {"Please wait, checking DeviceID 16", "Reload project!"},
    };
    for (const Size& s : kSizes) {
        Desk d(s);
        ITextControl* fields[] = {d.q().statusDisplay, d.q().valueDisplay};
        for (const auto& t : texts) {
            for (ITextControl* f : fields) f->SetTextFromPlug("");
            const size_t span = size_t(d.g->GetDrawBitmap()->getRowSpan());
            const std::vector<uint32_t> blank(d.draw(), d.draw() + span * d.g->Height());
            fields[0]->SetTextFromPlug(t.line1);
            fields[1]->SetTextFromPlug(t.line2);
            const uint32_t* shown = d.draw();
            if (t.line1 == texts[0].line1) d.shot("status");
            int inFields = 0, outside = 0;
            for (int y = 0; y < d.g->Height(); ++y)
                for (int x = 0; x < d.g->Width(); ++x) {
                    const size_t at = size_t(y) * span + x;
                    if (shown[at] == blank[at]) continue;
                    const bool in = fields[0]->GetRECT()->Contains(x, y) || fields[1]->GetRECT()->Contains(x, y);
                    (in ? inFields : outside)++;
                }
            EXPECT_GT(inFields, 0) << s.word << " " << t.line1;
            EXPECT_EQ(outside, 0) << s.word << " " << t.line1;
        }
        // The fields lie in the read-out panel.
        const IRECT panel(int(660 * s.scale), int(8 * s.scale), int(1130 * s.scale), int(96 * s.scale));
        for (ITextControl* f : fields) {
            const IRECT& r = *f->GetRECT();
            EXPECT_TRUE(r.L >= panel.L && r.R <= panel.R && r.T >= panel.T && r.B <= panel.B) << s.word;
        }
    }
}
TEST(EditorPanels, TheBottomStripHasNoSeamAtAnySize)
{
    // The two halves of the strip under the pages meet without a column of the window between.
    for (const Size& s : kSizes) {
        Desk d(s);
        d.page(2);
        const uint32_t* bits = d.draw();
        const size_t span = size_t(d.g->GetDrawBitmap()->getRowSpan());
        const int meet = int(785 * s.scale), top = int(712 * s.scale);
        for (int y = top + 1; y < top + 20; ++y)
            for (int x = meet - 3; x < meet + 3; ++x)
                EXPECT_EQ(bits[size_t(y) * span + x], bits[size_t(y) * span + meet - 4]) << s.word << " " << x << "," << y;
    }
}
