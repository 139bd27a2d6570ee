// Shared set-up of the table-control tests: an owner dialog view in a key window whose procedure
// records the notifications (copied, as the records live on the sender's stack), and makers of
// the controls through the control factory.
#pragma once

#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-listview.h"

#include <string>
#include <vector>

struct SeenNotice {
  UINT msg;
  int code;
  int item;
  int subitem;
  POINT pt;
  LPARAM param;
  WPARAM wParam;
  LPARAM lParam;
};

class ListControls : public WindowTest {
 public:
  static std::vector<SeenNotice>& seen() {
    static std::vector<SeenNotice> s;
    return s;
  }
  // What the owner answers to NM_RCLICK.
  static LRESULT& rclickAnswer() {
    static LRESULT a = 0;
    return a;
  }
  // Each owner-data cell answers "r<row>c<col>" unless the row is 2 (buffer left alone).
  static LRESULT OwnerProc(HWND, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_NOTIFY) {
      const auto* h = reinterpret_cast<const NMHDR*>(l);
      SeenNotice n{m, h->code, 0, 0, {}, 0, w, l};
      if (h->code == NM_CLICK || h->code == NM_RCLICK || h->code == NM_DBLCLK || h->code == LVN_ITEMCHANGED ||
          h->code == LVN_BEGINDRAG || h->code == LVN_COLUMNCLICK) {
        const auto* nm = reinterpret_cast<const NMLISTVIEW*>(l);
        if (wapiAs<Wapi_vQOR_listview>(wapiObject(h->hwndFrom))) {
          n.item = nm->iItem;
          n.subitem = nm->iSubItem;
          n.pt = nm->ptAction;
          n.param = nm->lParam;
        }
      }
      if (h->code == LVN_GETDISPINFO) {
        auto* d = reinterpret_cast<NMLVDISPINFO*>(l);
        if (d->item.iItem != 2)
          snprintf(d->item.pszText, size_t(d->item.cchTextMax), "r%dc%d", d->item.iItem, d->item.iSubItem);
        return 0;
      }
      seen().push_back(n);
      return h->code == NM_RCLICK ? rclickAnswer() : 0;
    }
    if (m == WM_COMMAND)  // the code, and the id as the item
      seen().push_back({m, int(HIWORD(w)), int(LOWORD(w)), 0, {}, 0, w, l});
    if (m == WM_CONTEXTMENU || m == WM_LBUTTONUP || m == WM_MOUSEMOVE || m == WM_DRAWITEM)
      seen().push_back({m, 0, 0, 0, {}, 0, w, l});
    return 0;
  }
  static std::vector<int> codes() {
    std::vector<int> out;
    for (const SeenNotice& n : seen()) out.push_back(n.msg == WM_NOTIFY ? n.code : int(n.msg));
    return out;
  }

 protected:
  void SetUp() override {
    WindowTest::SetUp();
    seen().clear();
    rclickAnswer() = 0;
    mWindow = makeWindow(NSMakeRect(0, 0, 640, 480));
    mOwner = makeView(nullptr, mWindow, OwnerProc);
    mOwner->setHidden(false);
    mWindow->makeKeyAndOrderFront(nullptr);
    WAPI_MakeSetCurParms(1, 1, 0, 0, H(mOwner), false, false);
  }
  // Pixel frames: both extents negative.
  HWND make(const char* cls, int id, int style, int x, int y, int w, int h) {
    return WAPI_MakeControl("", id, cls, style, -x, -y, -w, -h, 0);
  }
  HWND reportList(int style = LVS_REPORT, int columns = 3) {
    HWND lv = make("SysListView32", 100, style, 10, 10, 300, 200);
    for (int i = 0; i < columns; ++i) {
      LVCOLUMN c{LVCF_WIDTH | LVCF_TEXT, 0, 90, i == 0 ? "Name" : i == 1 ? "Bank" : "Slot"};
      ListView_InsertColumn(lv, i, &c);
    }
    return lv;
  }
  static int insert(HWND lv, int at, const char* text, LPARAM param = 0) {
    LVITEM it{};
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = at;
    it.pszText = const_cast<char*>(text);
    it.lParam = param;
    return ListView_InsertItem(lv, &it);
  }
  static std::string text(HWND lv, int row, int sub = 0) {
    char b[64] = "junk";
    ListView_GetItemText(lv, row, sub, b, sizeof b);
    return b;
  }
  static std::vector<int> selected(HWND lv) {
    std::vector<int> out;
    for (int i = ListView_GetNextItem(lv, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(lv, i, LVNI_SELECTED))
      out.push_back(i);
    return out;
  }
  static NSTableView* table(HWND h) { return wapiAs<NSTableView>(wapiObject(h)); }
  // A press, drags and release at points of the table (flipped coordinates).
  static void click(HWND h, NSPoint p, int drags = 0, NSEventType down = NSLeftMouseDown,
                    NSEventType up = NSLeftMouseUp) {
    NSView* v = table(h);
    ns_standin::mouseAtView(v, down, p);
    for (int i = 0; i < drags; ++i) ns_standin::mouseAtView(v, NSLeftMouseDragged, NSMakePoint(p.x + i + 1, p.y));
    ns_standin::mouseAtView(v, up, NSMakePoint(p.x + drags, p.y));
  }
  static NSPoint rowPoint(int row, double x = 20) { return NSMakePoint(x, row * 18 + 5); }
  // The owner's notices in order: "cmd<code>" for a command, "<code>:<item>,<sub-item>,<param>"
  // for a notification, the message number for anything else.
  static std::string notices() {
    std::string out;
    for (const SeenNotice& n : seen()) {
      if (!out.empty()) out += " ";
      if (n.msg == WM_COMMAND)
        out += "cmd" + std::to_string(n.code);
      else if (n.msg == WM_NOTIFY)
        out += std::to_string(n.code) + ":" + std::to_string(n.item) + "," + std::to_string(n.subitem) + "," +
               std::to_string(n.param);
      else
        out += std::to_string(n.msg);
    }
    return out;
  }

  NSWindow* mWindow = nullptr;
  Wapi_vQOR_hwnd* mOwner = nullptr;
};
