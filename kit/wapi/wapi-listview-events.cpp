// What the list view does on its own: list-box messages, notifications, the mouse, cell texts
// and the drawing of selections, status images and owner-drawn rows.
#include "kit/wapi/wapi-listview.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_listviewcell, NSTextFieldCell)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_statuscell, Wapi_vQOR_listviewcell)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_ODlistviewcell, NSCell)

int wapiListSortedPosition(Wapi_vQOR_listview* lv, const char* text, bool descending);
int wapiListInsertText(Wapi_vQOR_listview* lv, int pos, const char* text);
bool wapiTreeHasSelColors(NSView* view);

namespace {

constexpr NSEventModifierFlags kControlFlag = 0x40000;

LPARAM packPoint(POINT p) {
  return LPARAM((uint32_t(p.x) & 0xFFFFu) | ((uint32_t(p.y) & 0xFFFFu) << 16));
}

HWND targetOf(NSControl* c) {
  return wapiHandle(c->target());
}

// The cursor in screen coordinates, x low and y high.
LPARAM cursorWord() {
  POINT p{};
  GetCursorPos(&p);
  return packPoint(p);
}

}  // namespace

LRESULT Wapi_vQOR_listview::onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  // Numbers come from the low 32 bits, so that -1 still means "past the end".
  const auto index = uint32_t(wParam);
  switch (msg) {
    case LB_ADDSTRING: {
      const char* text = reinterpret_cast<const char*>(lParam);
      int pos = rowCount();
      if (mLbMode && (mStyle & LBS_SORT)) pos = wapiListSortedPosition(this, text ? text : "", false);
      return wapiListInsertText(this, pos, text);
    }
    case LB_INSERTSTRING:
      return wapiListInsertText(this, int(std::min<uint32_t>(index, uint32_t(rowCount()))),
                                reinterpret_cast<const char*>(lParam));
    case LB_DELETESTRING: ListView_DeleteItem(wapiHandle(this), int(index)); return 0;
    case LB_GETTEXT:
      if (lParam) ListView_GetItemText(wapiHandle(this), int(index), 0, reinterpret_cast<char*>(lParam), 4096);
      return 0;
    case LB_RESETCONTENT: ListView_DeleteAllItems(wapiHandle(this)); return 0;
    case LB_SETSEL:
      ListView_SetItemState(wapiHandle(this), int(lParam), index ? UINT(LVIS_SELECTED) : 0u, LVIS_SELECTED);
      return 0;
    case LB_SETCURSEL:
      if (index < uint32_t(rowCount()))
        selectRowIndexes(NSIndexSet::indexSetWithIndex(index), false);
      else
        deselectAll(nullptr);
      return 0;
    case LB_GETSEL: return index < uint32_t(rowCount()) && isRowSelected(NSInteger(index)) ? 1 : 0;
    case LB_GETCURSEL: return selectedRow();
    case LB_GETCOUNT: return rowCount();
    case LB_GETSELCOUNT: return numberOfSelectedRows();
    case LB_GETITEMDATA: {
      const WAPI_ListView_Row* r = row(int(index));
      return r ? r->param : 0;
    }
    case LB_SETITEMDATA:
      if (WAPI_ListView_Row* r = row(int(index))) r->param = lParam;
      return 0;
    default: return 0;
  }
}

NSString* Wapi_vQOR_listview::tableViewObjectValue(NSTableView*, NSTableColumn* column, NSInteger r) {
  auto it = std::find(mCols.begin(), mCols.end(), column);
  const int col = it == mCols.end() ? -1 : int(it - mCols.begin());
  int image = 0;
  std::string text;
  if (ownerData()) {
    char buffer[1024];
    buffer[0] = 0;
    NMLVDISPINFO info{};
    info.hdr.hwndFrom = wapiHandle(this);
    info.hdr.idFrom = UINT_PTR(tag());
    info.hdr.code = LVN_GETDISPINFO;
    info.item.mask = LVIF_TEXT | (mStatusImageListType == 1   ? UINT(LVIF_STATE)
                                  : mStatusImageListType == 2 ? UINT(LVIF_IMAGE)
                                                              : 0u);
    info.item.iItem = int(r);
    info.item.iSubItem = col;
    info.item.pszText = buffer;
    info.item.cchTextMax = 1023;
    info.item.iImage = -1;
    SendMessage(targetOf(this), WM_NOTIFY, WPARAM(tag()), LPARAM(&info));
    // Whatever the owner wrote, the text ends inside the buffer.
    buffer[sizeof buffer - 1] = 0;
    text = buffer;
    image = mStatusImageListType == 2   ? info.item.iImage + 1
            : mStatusImageListType == 1 ? int((info.item.state >> 16) & 255)
                                        : 0;
  } else if (const WAPI_ListView_Row* rw = row(int(r))) {
    if (col >= 0 && size_t(col) < rw->texts.size()) text = rw->texts[size_t(col)];
    if (mStatusImageListType == 1 || mStatusImageListType == 2) image = rw->image;
    if ((mStyle & LBS_OWNERDRAWFIXED))
      if (auto* od = wapiAs<Wapi_vQOR_ODlistviewcell>(column->dataCell())) od->setItemIdx(int(r));
  }
  if (!mLbMode && !mStatusImageList.empty())
    if (auto* status = wapiAs<Wapi_vQOR_statuscell>(column->dataCell())) {
      HGDIOBJ icon = image > 0 ? ImageList_GetIcon(mStatusImageList[0], image - 1) : nullptr;
      status->setStatusImage(icon);
    }
  return wapiNSString(text.c_str());
}

LRESULT Wapi_vQOR_listview::sendClick(int code, int r, int column, const NSPoint* p, LPARAM param) {
  NMLISTVIEW nm{};
  nm.hdr.hwndFrom = wapiHandle(this);
  nm.hdr.idFrom = UINT_PTR(tag());
  nm.hdr.code = code;
  nm.iItem = r;
  nm.iSubItem = column;
  if (p) nm.ptAction = POINT{int32_t(std::floor(p->x)), int32_t(std::floor(p->y))};
  nm.lParam = param;
  return SendMessage(targetOf(this), WM_NOTIFY, WPARAM(tag()), LPARAM(&nm));
}

void Wapi_vQOR_listview::mouseDown(NSEvent* e) {
  if ((e->modifierFlags() & kControlFlag) && IsRightClickEmulateEnabled()) {
    mFakeRightMouse = true;
    mStartItem = mStartSubitem = -1;
    return;
  }
  mLeftMouseMoveCnt = 0;
  mFakeRightMouse = false;
  const NSPoint p = convertPoint(e->locationInWindow(), nullptr);
  mStartItem = int(rowAtPoint(p));
  mStartSubitem = int(columnAtPoint(p));
  mStartItemClickMode = 0;
  if (mStartItem < 0) return;
  if (mStartSubitem >= 0 && (mFastClickMask & (1 << (mStartSubitem & 31)))) {
    const WAPI_ListView_Row* r = row(mStartItem);
    sendClick(NM_CLICK, mStartItem, mStartSubitem, &p, r ? r->param : 0);
    mStartItemClickMode = 4;
  } else if (mStatusImageListType == 1 && !mStatusImageList.empty() && p.x <= rowHeight()) {
    mStartItemClickMode = 1;
  }
}

void Wapi_vQOR_listview::mouseDragged(NSEvent*) {
  ++mLeftMouseMoveCnt;
  if (mLeftMouseMoveCnt == 4) {
    if (mStartItem >= 0 && mStartItem < rowCount() && !(mStartItemClickMode & 3) && !mLbMode) {
      if (!(mStartItemClickMode & 4) && !isRowSelected(mStartItem))
        selectRowIndexes(NSIndexSet::indexSetWithIndex(NSUInteger(mStartItem)), GetAsyncKeyState(VK_CONTROL) != 0);
      sendClick(LVN_BEGINDRAG, mStartItem, mStartSubitem, nullptr, 0);
      mStartItemClickMode |= 2;
    }
  } else if (mLeftMouseMoveCnt > 4 && !(mStartItemClickMode & 1)) {
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(targetOf(this), &p);
    SendMessage(targetOf(this), WM_MOUSEMOVE, 0, packPoint(p));
  }
}

void Wapi_vQOR_listview::mouseUp(NSEvent* e) {
  retain();
  if (mFakeRightMouse || (e->modifierFlags() & kControlFlag)) {
    rightMouseUp(e);
  } else if (!(mStartItemClickMode & 1)) {
    if (!(mStartItemClickMode & 4) && mLeftMouseMoveCnt <= 3) {
      // The owner hears of a change from the selection the click found, not the cleared one.
      const NSIndexSet* found = selectedRowIndexes();
      const std::set<NSUInteger> before = found ? found->indexes() : std::set<NSUInteger>();
      if (mLbMode && !allowsMultipleSelection()) deselectAll(nullptr);
      selectByPress(e, before);
      NSTableView::mouseUp(e);
    } else if (mLeftMouseMoveCnt > 3) {
      POINT p{};
      GetCursorPos(&p);
      ScreenToClient(targetOf(this), &p);
      SendMessage(targetOf(this), WM_LBUTTONUP, 0, packPoint(p));
    }
  }
  if (!mLbMode && !(mStartItemClickMode & 6)) {
    const NSPoint p = convertPoint(e->locationInWindow(), nullptr);
    const int r = int(rowAtPoint(p));
    const WAPI_ListView_Row* rw = row(r);
    sendClick(NM_CLICK, r, int(columnAtPoint(p)), &p, rw ? rw->param : 0);
  }
  release();
}

void Wapi_vQOR_listview::rightMouseUp(NSEvent* e) {
  if (!mLbMode) {
    const NSPoint p = convertPoint(e->locationInWindow(), nullptr);
    const int r = int(rowAtPoint(p));
    if (r >= 0 && !isRowSelected(r)) selectRowIndexes(NSIndexSet::indexSetWithIndex(NSUInteger(r)), false);
    if (sendClick(NM_RCLICK, r, int(columnAtPoint(p)), &p, 0)) {
      mFakeRightMouse = false;
      return;
    }
  }
  SendMessage(targetOf(this), WM_CONTEXTMENU, WPARAM(wapiHandle(this)), cursorWord());
  mFakeRightMouse = false;
}

void Wapi_vQOR_listview::highlightSelectionInClipRect(NSRect clip) {
  NSColor* fill = selectionFill();
  NSGraphicsContext* g = NSGraphicsContext::currentContext();
  if (!fill) {
    NSTableView::highlightSelectionInClipRect(clip);
    return;
  }
  if (!g) return;
  CGContextRef c = g->graphicsPort();
  CGContextSetRGBFillColor(c, fill->redComponent(), fill->greenComponent(), fill->blueComponent(), 1);
  const double bottom = clip.origin.y + clip.size.height;
  for (NSInteger r = std::max<NSInteger>(0, rowAtPoint(NSMakePoint(0, clip.origin.y))); r < rowCount(); ++r) {
    const NSRect rr = rectOfRow(r);
    if (rr.origin.y >= bottom) break;
    if (!isRowSelected(r)) continue;
    const NSRect x = NSIntersectionRect(rr, clip);
    if (x.size.width > 0 && x.size.height > 0) CGContextFillRect(c, x);
  }
}

NSColor* Wapi_vQOR_listviewcell::highlightColorWithFrame(NSRect frame, NSView* view) {
  auto* lv = wapiAs<Wapi_vQOR_listview>(view);
  if ((lv && lv->hasSelColors()) || wapiTreeHasSelColors(view)) return nullptr;
  return NSTextFieldCell::highlightColorWithFrame(frame, view);
}

void Wapi_vQOR_statuscell::drawInteriorWithFrame(NSRect frame, NSView* view) {
  const double side = frame.size.height;
  NSGraphicsContext* g = NSGraphicsContext::currentContext();
  if (mStatus && g) {
    // The image square, composited source over at full opacity.
    HDC dc = WAPI_CreateGfxContext(g->graphicsPort());
    const int x = wapiToInt(frame.origin.x), y = wapiToInt(frame.origin.y), s = wapiToInt(side);
    const RECT r{x, y, x + s, y + s};
    DrawImageInRect(dc, mStatus, &r);
    WAPI_DeleteGfxContext(dc);
  }
  Wapi_vQOR_listviewcell::drawInteriorWithFrame(
      NSMakeRect(frame.origin.x + side + 2, frame.origin.y, std::max(0.0, frame.size.width - side - 2), side), view);
}

void Wapi_vQOR_ODlistviewcell::drawInteriorWithFrame(NSRect frame, NSView* view) {
  if (!mOwnCtl || !ns_standin::isLive(mOwnCtl)) {
    NSCell::drawInteriorWithFrame(frame, view);
    return;
  }
  HWND owner = wapiHandle(mOwnCtl);
  // Inside the display pass the current context is already the view's; GetDC otherwise.
  NSGraphicsContext* g = NSGraphicsContext::currentContext();
  HDC dc = g ? WAPI_CreateGfxContext(g->graphicsPort()) : GetDC(wapiHandle(view));
  if (!dc) return;
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_LISTBOX;
  dis.CtlID = UINT(mOwnCtl->tag());
  dis.itemID = UINT(mLastIdx);
  dis.hwndItem = owner;
  dis.hDC = dc;
  const int x = wapiToInt(frame.origin.x + 0.5), y = wapiToInt(frame.origin.y + 0.5);
  dis.rcItem = RECT{x, y, x + wapiToInt(frame.size.width + 0.5), y + wapiToInt(frame.size.height + 0.5)};
  const WAPI_ListView_Row* r = mOwnCtl->row(mLastIdx);
  dis.itemData = r ? uintptr_t(r->param) : 0;
  SendMessage(GetParent(owner), WM_DRAWITEM, WPARAM(mOwnCtl->tag()), LPARAM(&dis));
  if (g)
    WAPI_DeleteGfxContext(dc);
  else
    ReleaseDC(wapiHandle(view), dc);
}

WAPI_REPAINT_PROPAGATION(Wapi_vQOR_listview, NSTableView)
