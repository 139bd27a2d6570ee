// Combo controls, track bars and owner-drawn buttons: the functions that fill and query them by
// dialog and control id, the combo-box and button-image messages on plain controls, and the
// combo maker.
#include "kit/wapi/wapi-combo.h"

#include "kit/wapi/wapi-gdi-internal.h"
#include "kit/wapi/wapi-imagelist.h"
#include "kit/wapi/wapi-listview.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <strings.h>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_pub, NSPopUpButton)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_cbox, NSComboBox)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_ODbuttoncell, NSButtonCell)

WAPI_REPAINT_PROPAGATION(Wapi_vQOR_pub, NSPopUpButton)
WAPI_REPAINT_PROPAGATION(Wapi_vQOR_cbox, NSComboBox)

void Wapi_vQOR_cbox::insertId(int index) {
  const int n = idCount();
  index = std::clamp(index, 0, n);
  if (!m_ids.Resize((n + 1) * int(sizeof(void*)), false) || m_ids.GetSize() != (n + 1) * int(sizeof(void*))) return;
  void** list = ids();
  std::memmove(list + index + 1, list + index, size_t(n - index) * sizeof(void*));
  list[index] = nullptr;
}

void Wapi_vQOR_cbox::removeId(int index) {
  const int n = idCount();
  if (index < 0 || index >= n) return;
  void** list = ids();
  std::memmove(list + index, list + index + 1, size_t(n - index - 1) * sizeof(void*));
  m_ids.Resize((n - 1) * int(sizeof(void*)), false);
}

namespace {

constexpr int kAddPosition = -1000;

NSObject* control(HWND dlg, int id) {
  return wapiObject(GetDlgItem(dlg, id));
}

NSInteger itemCount(NSObject* o) {
  if (auto* p = wapiAs<NSPopUpButton>(o)) return p->numberOfItems();
  if (auto* c = wapiAs<NSComboBox>(o)) return c->numberOfItems();
  return 0;
}

// The item's text: a combo box's object value, a pop-up item's title; null outside the items.
NSString* itemText(NSObject* o, NSInteger i) {
  if (i < 0 || i >= itemCount(o)) return nullptr;
  if (auto* p = wapiAs<NSPopUpButton>(o)) return p->itemAtIndex(i)->title();
  if (auto* c = wapiAs<NSComboBox>(o)) return c->itemObjectValueAtIndex(i);
  return nullptr;
}

// The sorted position of a new text: the bisection of the list view's sorted insert.
int sortedPosition(NSObject* o, const char* text, int count) {
  auto cmp = [&](int i) {
    NSString* s = itemText(o, i);
    return std::strcmp(text, s ? s->UTF8String() : "");
  };
  int lo = 0, n = count;
  while (n > 0) {
    const int mid = lo + n / 2;
    const int c = cmp(mid);
    if (c == 0) return mid;
    if (c < 0) {
      n /= 2;
      continue;
    }
    lo = mid + 1;
    if (lo >= count || cmp(lo) <= 0) return lo;
    n = (n - 1) / 2;
  }
  return 0;
}

int insertString(NSObject* o, int pos, const char* text) {
  if (!text) text = "";
  const int count = int(itemCount(o));
  const bool add = pos == kAddPosition;
  int position = add ? count : std::clamp(pos, 0, count);
  auto* styled = dynamic_cast<WapiStyleHolder*>(o);
  if (add && styled && (styled->getWapiStyle() & CBS_SORT)) position = sortedPosition(o, text, count);
  NSString* title = wapiNSString(text);
  if (auto* c = wapiAs<NSComboBox>(o)) {
    if (position == count)
      c->addItemWithObjectValue(title);
    else
      c->insertItemWithObjectValue(title, position);
    if (auto* box = wapiAs<Wapi_vQOR_cbox>(o)) box->insertId(position);
    c->setNumberOfVisibleItems(count + 1);
  } else if (auto* p = wapiAs<NSPopUpButton>(o); p && p->menu()) {
    auto* item = static_cast<NSMenuItem*>(NSMenuItem::class_()->alloc());
    item->initWithTitle(title, nullptr, wapiNSString(""));
    p->menu()->insertItem(item, position);
    item->setEnabled(true);
    item->release();
  }
  return position;
}

void deleteString(NSObject* o, int index) {
  if (index < 0 || index >= itemCount(o)) return;
  if (auto* c = wapiAs<NSComboBox>(o)) {
    c->removeItemAtIndex(index);
    if (auto* box = wapiAs<Wapi_vQOR_cbox>(o)) box->removeId(index);
  } else if (auto* p = wapiAs<NSPopUpButton>(o)) {
    p->menu()->removeItem(p->itemAtIndex(index));
  }
}

int curSel(NSObject* o) {
  if (auto* p = wapiAs<NSPopUpButton>(o)) return int(p->indexOfSelectedItem());
  if (auto* c = wapiAs<NSComboBox>(o)) return int(c->indexOfSelectedItem());
  return -1;
}

void setCurSel(NSObject* o, int index) {
  if (index < 0 || index >= itemCount(o)) return;
  if (auto* p = wapiAs<NSPopUpButton>(o)) p->selectItemAtIndex(index);
  if (auto* c = wapiAs<NSComboBox>(o)) c->selectItemAtIndex(index);
}

int getItemText(NSObject* o, int index, char* buffer, int size) {
  if (buffer && size > 0) buffer[0] = 0;
  NSString* s = itemText(o, index);
  if (!s) return 0;
  if (buffer) wapiNSStringToCString(s, buffer, size);
  return 1;
}

void empty(NSObject* o) {
  if (auto* p = wapiAs<NSPopUpButton>(o)) p->removeAllItems();
  if (auto* c = wapiAs<NSComboBox>(o)) c->removeAllItems();
  if (auto* box = wapiAs<Wapi_vQOR_cbox>(o)) box->clearIds();
}

LRESULT getItemData(NSObject* o, int index) {
  if (auto* p = wapiAs<NSPopUpButton>(o)) {
    NSMenuItem* item = index >= 0 ? p->itemAtIndex(index) : nullptr;
    auto* holder = item ? wapiAs<Wapi_vQOR_sdh>(item->representedObject()) : nullptr;
    return holder ? LRESULT(holder->getValue()) : 0;
  }
  if (auto* box = wapiAs<Wapi_vQOR_cbox>(o))
    return index >= 0 && index < box->idCount() ? LRESULT(reinterpret_cast<intptr_t>(box->ids()[index])) : 0;
  return 0;
}

void setItemData(NSObject* o, int index, LRESULT value) {
  if (index < 0 || index >= itemCount(o)) return;
  if (auto* p = wapiAs<NSPopUpButton>(o)) {
    auto* holder = static_cast<Wapi_vQOR_sdh*>(Wapi_vQOR_sdh::class_()->alloc())->init(UINT_PTR(value));
    p->itemAtIndex(index)->setRepresentedObject(holder);
    holder->release();
  } else if (auto* box = wapiAs<Wapi_vQOR_cbox>(o); box && index < box->idCount()) {
    box->ids()[index] = reinterpret_cast<void*>(intptr_t(value));
  }
}

int findString(NSObject* o, int start, const char* text, bool exact) {
  if (!text) return -1;
  const size_t len = std::strlen(text);
  const int count = int(itemCount(o));
  char buf[4096];
  for (int i = start < 0 ? 0 : start + 1; i < count; ++i) {
    buf[0] = 0;
    if (NSString* s = itemText(o, i)) wapiNSStringToCString(s, buf, int(sizeof(buf)));
    if (exact ? strcasecmp(buf, text) == 0 : strncasecmp(buf, text, len) == 0) return i;
  }
  return -1;
}

// The platform image of an image object: its pixels as straight RGBA; null for anything else.
NSImage* platformImage(LPARAM lParam) {
  auto* obj = reinterpret_cast<GDP_OBJECT*>(lParam);
  if (!wapiIsHandle(obj) || !wapiObjectIs(obj, WAPI_GDI_IMAGE) || !obj->image) return nullptr;
  const auto* img = static_cast<const WAPI_Image*>(obj->image);
  auto* rep = static_cast<NSBitmapImageRep*>(NSBitmapImageRep::class_()->alloc())
                  ->initWithBitmapDataPlanes(nullptr, img->width, img->height, 8, 4, true, false, NSDeviceRGBColorSpace,
                                             NSInteger(img->width) * 4, 32);
  if (!rep) return nullptr;
  for (int y = 0; y < img->height; ++y) {
    const int from = img->flipped ? img->height - 1 - y : y;
    const uint8_t* s = img->argb + size_t(from) * size_t(img->width) * 4;
    unsigned char* d = rep->bitmapData() + size_t(y) * size_t(rep->bytesPerRow());
    for (int x = 0; x < img->width; ++x, s += 4, d += 4) {
      d[0] = s[1];
      d[1] = s[2];
      d[2] = s[3];
      d[3] = s[0];
    }
  }
  auto* image = static_cast<NSImage*>(NSImage::class_()->alloc())->initWithSize(NSMakeSize(img->width, img->height));
  image->addRepresentation(rep);
  rep->release();
  return image;
}

bool emulateImage(Wapi_vQOR_button* b, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  if (wParam > 1) return true;
  const HGDIOBJ old = b->getWapiGDIImage();
  if (msg == BM_SETIMAGE) {
    NSImage* image = platformImage(lParam);
    b->setImage(image);
    b->setWapiGDIImage(image ? reinterpret_cast<HGDIOBJ>(lParam) : nullptr);
    if (image) image->release();
  }
  *result = LRESULT(reinterpret_cast<intptr_t>(old));
  return true;
}

}  // namespace

bool wapiEmulateComboMessage(NSObject* o, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (msg == BM_GETIMAGE || msg == BM_SETIMAGE) {
    auto* b = wapiAs<Wapi_vQOR_button>(o);
    return b && emulateImage(b, msg, wParam, lParam, result);
  }
  if (msg < CB_ADDSTRING || msg > CB_INITSTORAGE || (!wapiAs<NSPopUpButton>(o) && !wapiAs<NSComboBox>(o))) return false;
  const char* text = reinterpret_cast<const char*>(lParam);
  const int index = int(wParam);
  LRESULT r = 0;
  switch (msg) {
    case CB_ADDSTRING: r = insertString(o, kAddPosition, text); break;
    case CB_DELETESTRING:
      deleteString(o, index);
      r = 1;
      break;
    case CB_GETCOUNT: r = LRESULT(itemCount(o)); break;
    case CB_GETCURSEL: r = curSel(o); break;
    case CB_GETLBTEXT: r = getItemText(o, index, reinterpret_cast<char*>(lParam), 1024); break;
    case CB_INSERTSTRING: r = insertString(o, index, text); break;
    case CB_RESETCONTENT: empty(o); break;
    case CB_FINDSTRING: r = findString(o, index, text, false); break;
    case CB_SETCURSEL: setCurSel(o, index); break;
    case CB_GETITEMDATA: r = getItemData(o, index); break;
    case CB_SETITEMDATA: setItemData(o, index, lParam); break;
    case CB_FINDSTRINGEXACT: r = findString(o, index, text, true); break;
    default: break;
  }
  *result = r;
  return true;
}

int WAPI_CB_AddString(HWND dlg, int id, const char* text) {
  return WAPI_CB_InsertString(dlg, id, kAddPosition, text);
}

int WAPI_CB_InsertString(HWND dlg, int id, int pos, const char* text) {
  NSObject* o = control(dlg, id);
  return o ? insertString(o, pos, text) : 0;
}

void WAPI_CB_DeleteString(HWND dlg, int id, int index) {
  if (NSObject* o = control(dlg, id)) deleteString(o, index);
}

int WAPI_CB_GetNumItems(HWND dlg, int id) {
  return int(itemCount(control(dlg, id)));
}

int WAPI_CB_GetCurSel(HWND dlg, int id) {
  return curSel(control(dlg, id));
}

void WAPI_CB_SetCurSel(HWND dlg, int id, int index) {
  if (NSObject* o = control(dlg, id)) setCurSel(o, index);
}

int WAPI_CB_GetItemText(HWND dlg, int id, int index, char* buffer, int size) {
  if (buffer && size > 0) buffer[0] = 0;
  NSObject* o = control(dlg, id);
  return o ? getItemText(o, index, buffer, size) : 0;
}

void WAPI_CB_Empty(HWND dlg, int id) {
  if (NSObject* o = control(dlg, id)) empty(o);
}

LRESULT WAPI_CB_GetItemData(HWND dlg, int id, int index) {
  NSObject* o = control(dlg, id);
  return o ? getItemData(o, index) : 0;
}

void WAPI_CB_SetItemData(HWND dlg, int id, int index, LRESULT value) {
  if (NSObject* o = control(dlg, id)) setItemData(o, index, value);
}

int WAPI_CB_FindString(HWND dlg, int id, int start, const char* text, bool exact) {
  NSObject* o = control(dlg, id);
  return o ? findString(o, start, text, exact) : 0;
}

int WAPI_TB_GetPos(HWND dlg, int id) {
  NSObject* o = control(dlg, id);
  if (auto* s = wapiAs<NSSlider>(o)) return wapiToInt(s->doubleValue() + 0.5);
  if (WapiMessageTarget* t = wapiMessageTarget(o)) return int(t->onWapiMessage(TBM_GETPOS, 0, 0));
  return 0;
}

void WAPI_TB_SetPos(HWND dlg, int id, int pos) {
  NSObject* o = control(dlg, id);
  if (auto* s = wapiAs<NSSlider>(o))
    s->setDoubleValue(pos);
  else if (WapiMessageTarget* t = wapiMessageTarget(o))
    t->onWapiMessage(TBM_SETPOS, 1, pos);
}

void WAPI_TB_SetRange(HWND dlg, int id, int min, int max) {
  NSObject* o = control(dlg, id);
  if (auto* s = wapiAs<NSSlider>(o)) {
    s->setMinValue(min);
    s->setMaxValue(max);
  } else if (WapiMessageTarget* t = wapiMessageTarget(o)) {
    t->onWapiMessage(TBM_SETRANGE, 1, LPARAM((uint32_t(min) & 0xFFFF) | (uint32_t(max) << 16)));
  }
}

void WAPI_TB_SetTic(HWND dlg, int id, int pos) {
  NSObject* o = control(dlg, id);
  if (wapiAs<NSSlider>(o)) return;
  if (WapiMessageTarget* t = wapiMessageTarget(o)) t->onWapiMessage(TBM_SETTIC, 0, pos);
}

void Wapi_vQOR_ODbuttoncell::drawWithFrame(NSRect frame, NSView* view) {
  NSButton* button = controlView();
  if (!button) {
    NSButtonCell::drawWithFrame(frame, view);
    return;
  }
  const HWND self = wapiHandle(button);
  HDC hdc = GetDC(self);
  if (!hdc) return;
  DRAWITEMSTRUCT dis{};
  dis.CtlType = ODT_BUTTON;
  dis.CtlID = UINT(button->tag());
  dis.hwndItem = self;
  dis.hDC = hdc;
  dis.rcItem.left = wapiToInt(frame.origin.x + 0.5);
  dis.rcItem.top = wapiToInt(frame.origin.y + 0.5);
  dis.rcItem.right = dis.rcItem.left + wapiToInt(frame.size.width + 0.5);
  dis.rcItem.bottom = dis.rcItem.top + wapiToInt(frame.size.height + 0.5);
  SendMessage(GetParent(self), WM_DRAWITEM, WPARAM(button->tag()), reinterpret_cast<LPARAM>(&dis));
  ReleaseDC(self, hdc);
}

void wapiSetOwnerDrawnCell(NSButton* button) {
  auto* cell = static_cast<Wapi_vQOR_ODbuttoncell*>(Wapi_vQOR_ODbuttoncell::class_()->alloc());
  button->setCell(cell);
  cell->release();
}

HWND WAPI_MakeCombo(int id, int x, int y, int w, int, int style) {
  NSView* owner = wapiMakeOwner();
  if (!owner) return nullptr;
  NSControl* made;
  if ((style & 3) < CBS_DROPDOWNLIST) {
    auto* box = static_cast<Wapi_vQOR_cbox*>(Wapi_vQOR_cbox::class_()->alloc());
    box->initWithFrame(wapiMakeCoords(x, y - 1, w, 22, true, true));
    box->setFocusRingType(NSFocusRingTypeNone);
    box->setFont(NSFont::systemFontOfSize(10));
    box->setEditable(true);
    box->setWapiStyle(style);
    box->setDelegate(owner);
    made = box;
  } else {
    auto* pub = static_cast<Wapi_vQOR_pub*>(Wapi_vQOR_pub::class_()->alloc());
    pub->initWithFrame(wapiMakeCoords(x, y, w, 18, true, true));
    pub->setFont(NSFont::systemFontOfSize(10));
    pub->setWapiStyle(style);
    pub->setAutoenablesItems(false);
    if (g_wapi_want_nice_style == 1) {
      pub->setBezelStyle(6);
      pub->setArrowPosition(2);
    }
    made = pub;
  }
  made->setTag(id);
  made->setTarget(owner);
  made->setAction(sel_registerName("onWapiCommand:"));
  if (uint32_t(style) & WAPI_STYLE_HIDDEN) made->setHidden(true);
  owner->addSubview(made);
  wapiMakeRecordOverrun(made);
  made->release();
  return wapiHandle(made);
}
