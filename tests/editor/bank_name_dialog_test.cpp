// The editor's dialogs over the window layer: the bank-name dialog run modally and filled in by a
// person, centring a dialog on its parent, and the simple message box.
#include "Project_Source/src/QORDialogs.h"
#include "kit/wapi/wapi-controls.h"
#include "tests/support/tempdir.h"
#include "tests/support/window_screenshot.h"

#include <AppKit/AppKitStandin.h>
#include <CoreFoundation/CFPresenter.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

class EditorDialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        NSApplicationLoad();
        mSaved = cf_standin::setPresenter(&mPresenter);
    }
    void TearDown() override
    {
        cf_standin::setPresenter(mSaved);
        for (NSWindow* w : std::vector<NSWindow*>(NSApp->windows())) w->close();
        for (NSObject* o : mOwned) o->release();
        ns_standin::drainLoopPool();
        EXPECT_EQ(ns_standin::liveCount(Wapi_vQOR_hwnd::class_()), 0u) << "a layer view outlived the test";
    }
    NSWindow* window(NSRect frame)
    {
        auto* w = static_cast<NSWindow*>(NSWindow::class_()->alloc());
        w->initWithContentRect(frame, NSTitledWindowMask, NSBackingStoreBuffered, false);
        mOwned.push_back(w);
        return w;
    }
    static HWND H(const NSObject* o) { return wapiHandle(o); }
    static RECT rectOf(HWND h)
    {
        RECT r;
        GetWindowRect(h, &r);
        return r;
    }
    // A person's click on a control: down and up inside it.
    static void press(HWND control)
    {
        NSView* v = wapiAs<NSView>(wapiObject(control));
        if (!v) return;
        ns_standin::mouseAtView(v, NSLeftMouseDown, NSMakePoint(5, 5));
        ns_standin::mouseAtView(v, NSLeftMouseUp, NSMakePoint(5, 5));
    }
    // A person typing the text into the window's focused field.
    static void type(NSWindow* w, const char* text)
    {
        for (const char* p = text; *p; ++p) {
            const char one[2] = {*p, 0};
            ns_standin::keyToWindow(w, NSKeyDown, 0, one);
        }
    }

    cf_standin::Presenter mPresenter;
    cf_standin::Presenter* mSaved = nullptr;
    std::vector<NSObject*> mOwned;
};

// The bank-name dialog's procedure as the editor's caller would write it: centred on its parent,
// and on OK the name is read and the dialog ended with the OK id.
struct BankNameRun {
    HWND parent = nullptr;
    std::string name;
    std::vector<UINT> messages;
};
BankNameRun* gRun = nullptr;

LRESULT BankNameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM)
{
    gRun->messages.push_back(msg);
    if (msg == WM_INITDIALOG) {
        centerDialog(gRun->parent, hwnd);
        return 1;
    }
    if (msg == WM_COMMAND && LOWORD(wParam) == IDC_BANK_NAME_OK) {
        char text[64];
        GetDlgItemText(hwnd, IDC_BANK_NAME, text, sizeof text);
        gRun->name = text;
        EndDialog(hwnd, IDC_BANK_NAME_OK);
        return 1;
    }
    return 0;
}

void writeScreenshot(NSWindow* w, const std::string& path)
{
    ASSERT_TRUE(testsupport::writeWindowScreenshot(w, path));
}

// Whether some pixel inside the frame (in top-down window coordinates) is dark: text drawn there.
bool hasDarkPixel(NSWindow* w, NSRect frame)
{
    CGContextRef store = w->backingStore();
    const auto* base = static_cast<const uint8_t*>(CGBitmapContextGetData(store));
    const size_t span = CGBitmapContextGetBytesPerRow(store);
    for (int y = int(frame.origin.y); y < int(frame.origin.y + frame.size.height); ++y)
        for (int x = int(frame.origin.x); x < int(frame.origin.x + frame.size.width); ++x) {
            const uint8_t* p = base + size_t(y) * span + size_t(x) * 4;
            if (p[1] < 96 && p[2] < 96 && p[3] < 96) return true;
        }
    return false;
}

TEST_F(EditorDialogs, TheBankNameDialogTakesANameAndEndsWithOK)
{
    NSWindow* parent = window(NSMakeRect(0, 0, 800, 600));
    BankNameRun run;
    run.parent = H(parent->contentView());
    gRun = &run;
    struct Expected {
        const char* text;
        NSRect frame;
    } expected[] = {
        {"Bank Name", NSMakeRect(18, 18, 360, 14)},
        {"", NSMakeRect(18, 36, 360, 22)},
        {"Cancel", NSMakeRect(288, 108, 90, 25)},
        {"OK    ", NSMakeRect(180, 108, 90, 25)},
    };
    RECT during{};
    testsupport::TempDir dir;
    mPresenter.modalActions.push_back([&] {
        NSWindow* dialog = NSApp->modalWindow();
        ASSERT_NE(dialog, nullptr);
        NSView* content = dialog->contentView();
        ASSERT_EQ(content->subviews().size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            NSView* v = content->subviews()[i];
            char text[32];
            GetDlgItemText(H(v), 0, text, sizeof text);
            EXPECT_STREQ(text, expected[i].text) << i;
            EXPECT_EQ(v->frame().origin.x, expected[i].frame.origin.x) << i;
            EXPECT_EQ(v->frame().origin.y, expected[i].frame.origin.y) << i;
            EXPECT_EQ(v->frame().size.width, expected[i].frame.size.width) << i << ": not sized to fit";
            EXPECT_EQ(v->frame().size.height, expected[i].frame.size.height) << i;
            EXPECT_FALSE(v->isHiddenOrHasHiddenAncestor()) << i;
        }
        EXPECT_EQ(wapiAs<NSTextField>(content->subviews()[0])->font()->pointSize(), 10);
        EXPECT_EQ(wapiAs<NSTextField>(content->subviews()[1])->font()->pointSize(), 10);
        EXPECT_EQ(wapiAs<NSButton>(content->subviews()[3])->font()->pointSize(), 10);
        EXPECT_EQ(GetDlgItem(H(content), IDCANCEL), H(content->subviews()[2]));
        during = rectOf(H(dialog));
        press(GetDlgItem(H(content), IDC_BANK_NAME));
        type(dialog, "Bank A");
        ns_standin::displayWindows();
        writeScreenshot(dialog, dir.file("bank-name.png"));
        if (const char* keep = std::getenv("QOR_SCREENSHOT_DIR"))
            writeScreenshot(dialog, std::string(keep) + "/bank_name_dialog.png");
        EXPECT_TRUE(hasDarkPixel(dialog, expected[0].frame)) << "the label's text";
        EXPECT_TRUE(hasDarkPixel(dialog, NSInsetRect(expected[1].frame, 2, 2))) << "the typed name";
        press(GetDlgItem(H(content), IDC_BANK_NAME_OK));
    });
    EXPECT_EQ(WAPI_DialogBox(WAPI_curmodule_dialogresource_head, IDD_PATCH_SAVE, run.parent, BankNameProc, 0),
              IDC_BANK_NAME_OK);
    EXPECT_EQ(run.name, "Bank A");
    ASSERT_FALSE(run.messages.empty());
    EXPECT_EQ(run.messages.back(), WM_DESTROY);
    ASSERT_EQ(mPresenter.modalRuns.size(), 1u);
    EXPECT_EQ(mPresenter.modalRuns[0].title, "Enter Bank Name");
    // Centred on the parent.
    EXPECT_EQ(during.left, 202);
    EXPECT_EQ(during.top, 228);
    EXPECT_EQ(during.right - during.left, 396);
    EXPECT_EQ(during.bottom - during.top, 144);
    gRun = nullptr;
}

TEST_F(EditorDialogs, CenterDialogPutsTheCentresTogetherKeepingTheSize)
{
    struct Case {
        const char* what;
        NSRect parent;
        NSSize dialog;
        int x, y;
    } cases[] = {
        {"the bank-name dialog over 800 by 600", NSMakeRect(0, 0, 800, 600), NSMakeSize(396, 144), 202, 228},
        {"odd sizes truncate", NSMakeRect(100, 50, 101, 61), NSMakeSize(50, 20), 125, 70},
        {"larger than the parent overhangs both sides", NSMakeRect(100, 100, 200, 100), NSMakeSize(400, 300), 0, 0},
        {"overhang left of the screen", NSMakeRect(0, 0, 100, 50), NSMakeSize(301, 101), -100, -25},
    };
    for (const Case& c : cases) {
        NSWindow* parent = window(c.parent);
        NSWindow* dialog = window(NSMakeRect(500, 500, c.dialog.width, c.dialog.height));
        centerDialog(H(parent), H(dialog->contentView()));
        const RECT r = rectOf(H(dialog));
        EXPECT_EQ(r.left, c.x) << c.what;
        EXPECT_EQ(r.top, c.y) << c.what;
        EXPECT_EQ(r.right - r.left, int(c.dialog.width)) << c.what;
        EXPECT_EQ(r.bottom - r.top, int(c.dialog.height)) << c.what;
    }
}

TEST_F(EditorDialogs, MessageBoxProgCentresAndEndsOnlyOnOK)
{
    NSWindow* w = window(NSMakeRect(3, 4, 200, 100));
    const HWND h = H(w->contentView());
    EXPECT_EQ(MessageBoxProg(h, WM_INITDIALOG, 0, 0), 1);
    EXPECT_EQ(w->frame().origin.x, (1920 - 200) / 2) << "centred on the main screen";
    EXPECT_EQ(w->frame().origin.y, (1080 - 100) / 2);
    struct Case {
        UINT msg;
        WPARAM wParam;
        LRESULT answer;
    } cases[] = {{WM_COMMAND, 5, 1}, {WM_COMMAND, MAKEWPARAM(1, 0x300), 1}, {WM_PAINT, 0, 0}, {WM_CLOSE, 1, 0}};
    for (const Case& c : cases) EXPECT_EQ(MessageBoxProg(h, c.msg, c.wParam, 0), c.answer) << c.msg;
}

// A message box resource of the module whose OK button has id 1.
void createNotice(HWND parent, int)
{
    WAPI_MakeSetCurParms(1.8f, 1.8f, 0, 0, parent, false, false);
    WAPI_MakeLabel(-1, "Done.", 0, 10, 10, 100, 8, 0);
    WAPI_MakeButton(1, "OK", IDOK, 60, 30, 50, 14, 0);
}

TEST_F(EditorDialogs, ShowMessageBoxRunsAModuleResource)
{
    WAPI_DialogResourceIndex notice{reinterpret_cast<const char*>(intptr_t(20001)),
                                    "Notice",
                                    0x04,
                                    createNotice,
                                    200,
                                    80,
                                    WAPI_curmodule_dialogresource_head};
    WAPI_curmodule_dialogresource_head = &notice;
    NSWindow* parent = window(NSMakeRect(0, 0, 800, 600));
    mPresenter.modalActions.push_back([&] {
        NSView* content = NSApp->modalWindow()->contentView();
        press(GetDlgItem(H(content), 7)); // nothing there
        SendMessage(H(content), WM_COMMAND, 2, 0);
        EXPECT_EQ(NSApp->modalWindow()->contentView(), content) << "other commands leave it open";
        press(GetDlgItem(H(content), IDOK));
    });
    EXPECT_EQ(showMessageBox(H(parent), nullptr, 20001, nullptr), 1);
    EXPECT_EQ(showMessageBox(H(parent), nullptr, 20002, nullptr), -1);
    EXPECT_EQ(mPresenter.modalRuns.size(), 1u) << "an unknown id shows nothing";
    WAPI_curmodule_dialogresource_head = notice._next;

    // Over the bank-name dialog, whose OK is not id 1, nothing ends it: the person gives up.
    mPresenter.modalActions.push_back([&] {
        NSView* content = NSApp->modalWindow()->contentView();
        press(GetDlgItem(H(content), IDC_BANK_NAME_OK));
    });
    EXPECT_EQ(showMessageBox(H(parent), nullptr, IDD_PATCH_SAVE, nullptr), 0);
    EXPECT_EQ(mPresenter.modalRuns.size(), 2u);
}

} // namespace
