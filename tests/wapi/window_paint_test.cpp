// The paint path of layer views into a window's backing store: non-client messages, clipping to
// the client rectangle, the parent's brush behind a non-opaque child, platform controls drawn
// over the layer's paint, BeginPaint and GetDC, and the mouse capture record.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-gdi.h"
#include "tests/support/tempdir.h"
#include "tests/support/window_screenshot.h"
#include "tools/pngwriter/png_writer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

// Fills the whole paint rectangle (or a given part of the view) with a colour.
void fillPaint(HWND h, int colour, const RECT* part = nullptr) {
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(h, &ps);
  ASSERT_NE(hdc, nullptr);
  HGDIOBJ brush = CreateSolidBrush(colour);
  WAPI_FillRect(hdc, part ? part : &ps.rcPaint, brush);
  DeleteObject(brush);
  EndPaint(h, &ps);
}

HGDIOBJ gParentBrush = nullptr;

LRESULT ContentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_PAINT) fillPaint(h, kRed);
  if (m == WM_CTLCOLORDLG) return reinterpret_cast<LRESULT>(gParentBrush);
  return 0;
}

// Paints only its left half: the right half shows what lies behind.
LRESULT HalfProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_PAINT) {
    const RECT left{0, 0, 50, 80};
    fillPaint(h, kBlue, &left);
  }
  return 0;
}

// Insets its client area by 10 and paints far beyond it.
LRESULT InsetProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_NCCALCSIZE) {
    RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(l)->rgrc[0];
    r.left += 10, r.top += 10, r.right -= 10, r.bottom -= 10;
  }
  if (m == WM_PAINT) {
    const RECT all{-50, -50, 500, 500};
    fillPaint(h, kYellow, &all);
  }
  return 0;
}

class WindowPaint : public WindowTest {
 protected:
  // A shown layer view: the window's content view, or a child at the frame.
  Wapi_vQOR_hwnd* shown(NSObject* parent, DLGPROC proc, NSRect frame = NSMakeRect(0, 0, 0, 0)) {
    Wapi_vQOR_hwnd* v = makeView(nullptr, parent, proc);
    if (!wapiAs<NSWindow>(parent)) v->setFrame(frame);
    v->setHidden(false);
    return v;
  }
  // The pixel at x, y from the top left of the window's content, as 0xRRGGBB.
  static int pixel(NSWindow* w, int x, int y) {
    CGContextRef store = w->backingStore();
    const auto* row =
        static_cast<const uint8_t*>(CGBitmapContextGetData(store)) + size_t(y) * CGBitmapContextGetBytesPerRow(store);
    const uint8_t* p = row + size_t(x) * 4;
    return p[1] << 16 | p[2] << 8 | p[3];
  }

  static void writeScreenshot(NSWindow* w, const std::string& path) {
    ASSERT_TRUE(testsupport::writeWindowScreenshot(w, path));
  }
};

TEST_F(WindowPaint, ATreeOfViewsPaintsIntoTheBackingStore) {
  gParentBrush = CreateSolidBrush(kGreen);
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 400, 300));
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, ContentProc);
  content->setHidden(false);
  Wapi_vQOR_hwnd* half = makeView(nullptr, content, HalfProc);
  half->setOpaque(false);
  half->setFrame(NSMakeRect(20, 20, 100, 80));
  half->setHidden(false);
  Wapi_vQOR_hwnd* inset = makeView(nullptr, content, InsetProc);
  inset->setFrame(NSMakeRect(150, 20, 100, 80));
  inset->setHidden(false);
  NSButton* button = addControl<NSButton>(content, 7, NSMakeRect(20, 150, 120, 30));
  button->setTitle(NSString::stringWithUTF8String("Press"));
  log().clear();

  ASSERT_TRUE(InvalidateRect(H(content), nullptr));
  ns_standin::displayWindows();

  testsupport::TempDir dir;
  writeScreenshot(w, dir.file("tree.png"));
  if (const char* keep = std::getenv("QOR_SCREENSHOT_DIR")) writeScreenshot(w, std::string(keep) + "/wapi_tree.png");

  struct Probe {
    int x, y, colour;
    const char* what;
  } probes[] = {
      {5, 5, kRed, "the content view's own fill"},
      {390, 290, kRed, "the content view's far corner"},
      {30, 50, kBlue, "the non-opaque child's own half"},
      {110, 50, kGreen, "the parent's brush behind the child's unpainted half"},
      {155, 25, kYellow, "the inset child inside its client rectangle"},
      {235, 85, kRed, "nothing of the inset child outside its client rectangle"},
      {245, 95, kRed, "nothing of the inset child in its far frame"},
      {22, 152, 0xEBEBEB, "the button's face"},
  };
  for (const Probe& p : probes) EXPECT_EQ(pixel(w, p.x, p.y), p.colour) << p.what << " at " << p.x << "," << p.y;

  int ink = 0;
  for (int y = 152; y < 178; ++y)
    for (int x = 22; x < 138; ++x) ink += pixel(w, x, y) < 0x404040;
  EXPECT_GT(ink, 20) << "the button title's ink";
  EXPECT_EQ(pixel(w, 20, 150) & 0xFF, 0x40) << "the button's frame";

  for (Wapi_vQOR_hwnd* v : {content, half, inset}) {
    std::vector<UINT> painted;
    for (UINT m : messagesTo(H(v)))
      if (m == WM_NCCALCSIZE || m == WM_NCPAINT || m == WM_PAINT) painted.push_back(m);
    // The inset view's clip asks GetClientRect, which asks WM_NCCALCSIZE once more.
    const std::vector<UINT> expected = v == inset
                                           ? std::vector<UINT>{WM_NCCALCSIZE, WM_NCPAINT, WM_NCCALCSIZE, WM_PAINT}
                                           : std::vector<UINT>{WM_NCCALCSIZE, WM_NCPAINT, WM_PAINT};
    EXPECT_EQ(painted, expected);
  }
  EXPECT_EQ(content->wapiDirtyBits(), 0);
  EXPECT_FALSE(content->needsDisplay());

  // A second pass with nothing invalidated paints nothing.
  log().clear();
  ns_standin::displayWindows();
  EXPECT_TRUE(log().empty());
  DeleteObject(gParentBrush);
}

TEST_F(WindowPaint, AnInvalidatedChildRepaintsAloneOverItsRectangle) {
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 400, 300));
  Wapi_vQOR_hwnd* content = shown(w, ContentProc);
  Wapi_vQOR_hwnd* inset = shown(content, InsetProc, NSMakeRect(150, 20, 100, 80));
  ns_standin::displayWindows();
  log().clear();

  const RECT part{0, 0, 30, 20};
  InvalidateRect(H(inset), &part);
  EXPECT_EQ(content->wapiDirtyBits(), 2);
  ns_standin::displayWindows();
  EXPECT_TRUE(messagesTo(H(content)).empty()) << "the parent is not repainted";
  ASSERT_FALSE(messagesTo(H(inset)).empty());
  EXPECT_EQ(pixel(w, 165, 35), kYellow);
}

TEST_F(WindowPaint, APlatformControlMarkedUnderCleanLayerViewsIsRedrawnAlone) {
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 400, 300));
  Wapi_vQOR_hwnd* content = shown(w, ContentProc);
  Wapi_vQOR_hwnd* inner = shown(content, LoggingProc, NSMakeRect(20, 20, 200, 100));
  NSButton* button = addControl<NSButton>(inner, 7, NSMakeRect(10, 10, 120, 30));
  ns_standin::displayWindows();
  log().clear();
  const long draws = ns_standin::drawCount();

  button->setTitle(NSString::stringWithUTF8String("Again"));
  ns_standin::displayWindows();
  EXPECT_EQ(ns_standin::drawCount(), draws + 1) << "the button is drawn again";
  EXPECT_TRUE(log().empty()) << "the layer views around it are not repainted";
  EXPECT_EQ(content->wapiDirtyBits(), 0);
  EXPECT_EQ(inner->wapiDirtyBits(), 0);
  ns_standin::displayWindows();
  EXPECT_EQ(ns_standin::drawCount(), draws + 1) << "and only once";
}

TEST_F(WindowPaint, BeginPaintAndGetDCFollowThePaintInProgress) {
  static HDC seenPaint = nullptr, seenDC = nullptr;
  static RECT seenRect{};
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 400, 300));
  auto proc = [](HWND h, UINT m, WPARAM wp, LPARAM) -> LRESULT {
    if (m != WM_PAINT) return 0;
    PAINTSTRUCT ps;
    seenPaint = BeginPaint(h, &ps);
    seenRect = ps.rcPaint;
    EXPECT_EQ(seenPaint, reinterpret_cast<HDC>(wp));
    seenDC = GetDC(h);
    ReleaseDC(h, seenDC);
    return 0;
  };
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, proc);
  content->setHidden(false);
  ns_standin::displayWindows();
  ASSERT_NE(seenPaint, nullptr);
  EXPECT_EQ(seenDC, seenPaint) << "GetDC during a paint gives the paint context";
  EXPECT_EQ(seenRect.right - seenRect.left, 400);
  EXPECT_EQ(seenRect.bottom - seenRect.top, 300);

  PAINTSTRUCT ps;
  std::memset(&ps, 0x55, sizeof ps);
  EXPECT_EQ(BeginPaint(H(content), &ps), nullptr) << "no paint in progress";
  EXPECT_EQ(ps.hdc, nullptr);
  EXPECT_EQ(BeginPaint(H(content), nullptr), nullptr);

  // Outside a paint: a fresh context drawing into the store, placed at the view.
  HDC hdc = GetDC(H(content));
  ASSERT_NE(hdc, nullptr);
  HGDIOBJ brush = CreateSolidBrush(kBlue);
  const RECT r{10, 10, 20, 20};
  WAPI_FillRect(hdc, &r, brush);
  DeleteObject(brush);
  ReleaseDC(H(content), hdc);
  EXPECT_EQ(pixel(w, 15, 15), kBlue);
  EXPECT_EQ(NSGraphicsContext::currentContext(), nullptr) << "the focus lock is released";

  content->setHidden(true);
  EXPECT_EQ(GetDC(H(content)), nullptr) << "a hidden view cannot draw";
  EXPECT_EQ(GetDC(nullptr), nullptr);
}

TEST_F(WindowPaint, GetClientRectKeepsTheOriginAndTakesTheInsetSize) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, ContentProc);
  Wapi_vQOR_hwnd* inset = makeView(nullptr, content, InsetProc);
  inset->setFrame(NSMakeRect(150, 20, 100, 80));
  RECT r;
  ASSERT_TRUE(GetClientRect(H(inset), &r));
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 80);
  EXPECT_EQ(r.bottom, 60);
  EXPECT_FALSE(GetClientRect(nullptr, &r));
  EXPECT_EQ(r.right, 0);

  // The far edges round; a view inside a scroll view's clip view measures the scroll view.
  auto* scroll = static_cast<NSScrollView*>(NSScrollView::class_()->alloc());
  scroll->initWithFrame(NSMakeRect(0, 100, 200.6, 100.4));
  content->addSubview(scroll);
  scroll->release();
  Wapi_vQOR_hwnd* document = makeView(nullptr, nullptr, LoggingProc);
  document->setFrame(NSMakeRect(0, 0, 400, 900));
  scroll->setDocumentView(document);
  inset->setFrameSize(NSMakeSize(100.6, 80.4));
  struct Row {
    const char* what;
    HWND h;
    RECT want;
  } rows[] = {
      {"an inset view", H(inset), {0, 0, 81, 60}},
      {"a document view", H(document), {0, 0, 201, 100}},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(GetClientRect(row.h, &r)) << row.what;
    EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}),
              std::vector<int>({row.want.left, row.want.top, row.want.right, row.want.bottom}))
        << row.what;
  }
}

TEST_F(WindowPaint, TheClientClipTakesTheRoundedFarEdges) {
  NSWindow* w = makeWindow(NSMakeRect(100, 100, 400, 300));
  Wapi_vQOR_hwnd* content = shown(w, ContentProc);
  shown(content, InsetProc, NSMakeRect(150, 20, 100.6, 80.6));
  ns_standin::displayWindows();
  EXPECT_EQ(pixel(w, 230, 50), kYellow) << "the client's last column";
  EXPECT_EQ(pixel(w, 200, 80), kYellow) << "the client's last row";
  EXPECT_EQ(pixel(w, 231, 50), kRed);
}

TEST_F(WindowPaint, CaptureChangesTellTheLosingLayerView) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, LoggingProc);
  Wapi_vQOR_hwnd* a = makeView(nullptr, content, LoggingProc);
  Wapi_vQOR_hwnd* b = makeView(nullptr, content, LoggingProc);
  NSButton* plain = addControl<NSButton>(content, 3);
  log().clear();

  EXPECT_EQ(SetCapture(H(a)), nullptr);
  EXPECT_EQ(SetCapture(H(a)), H(a));
  EXPECT_TRUE(messagesTo(H(a)).empty()) << "capturing twice sends nothing";
  EXPECT_EQ(SetCapture(H(b)), H(a));
  ASSERT_EQ(messagesTo(H(a)), std::vector<UINT>{WM_CAPTURECHANGED});
  EXPECT_EQ(log().back().lParam, LPARAM(H(b)));
  EXPECT_EQ(GetCapture(), H(b));
  ReleaseCapture();
  ASSERT_EQ(messagesTo(H(b)), std::vector<UINT>{WM_CAPTURECHANGED});
  EXPECT_EQ(log().back().lParam, 0);
  EXPECT_EQ(GetCapture(), nullptr);

  log().clear();
  SetCapture(H(plain));
  ReleaseCapture();
  EXPECT_TRUE(log().empty()) << "a platform control asks no notice";

  // A destroyed holder leaves no capture behind and hears nothing.
  SetCapture(H(a));
  log().clear();
  DestroyWindow(H(a));
  EXPECT_EQ(GetCapture(), nullptr);
  for (const LoggedMessage& m : log()) EXPECT_NE(m.msg, WM_CAPTURECHANGED);
}

TEST_F(WindowPaint, AddingASubviewMarksAncestorsUntilOneIsMarked) {
  const std::vector<Wapi_vQOR_hwnd*> chain = makeCleanChain(LoggingProc);
  Wapi_vQOR_hwnd *top = chain[0], *mid = chain[1], *low = chain[2];

  NSButton* first = addControl<NSButton>(low, 1);
  EXPECT_EQ(low->wapiDirtyBits(), 2);
  EXPECT_EQ(mid->wapiDirtyBits(), 2);
  EXPECT_EQ(top->wapiDirtyBits(), 2);

  // An ancestor that already carries the mark stops the walk.
  top->wapiSetDirtyBits(0);
  addControl<NSButton>(low, 2);
  EXPECT_EQ(top->wapiDirtyBits(), 0);

  // A leaving subview repaints its parent and every ancestor.
  for (Wapi_vQOR_hwnd* v : {top, mid, low}) {
    v->wapiSetDirtyBits(0);
    v->setNeedsDisplay(false);
  }
  first->removeFromSuperview();
  for (Wapi_vQOR_hwnd* v : {top, mid, low}) {
    EXPECT_EQ(v->wapiDirtyBits(), 3);
    EXPECT_TRUE(v->needsDisplay());
  }
}

}  // namespace
