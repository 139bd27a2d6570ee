// State services around windows that are not about structure: the foreground window, text-view
// equivalence, enabling, scrolling a view's children, flushing and closing, and the records that
// come with dropped files and gestures. Main thread only.
#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-internal.h"

#include "kit/wapi/wapi.h"

#include <cstring>

void SetForegroundWindow(HWND hwnd) {
  SetFocus(hwnd);
}

HWND GetForegroundWindow() {
  NSWindow* key = NSApp->keyWindow();
  if (!key) return nullptr;
  if (auto* v = wapiAs<NSView>(key->firstResponder())) return wapiHandle(v);
  return wapiHandle(key);
}

BOOL IsEquivalentTextView(HWND a, HWND b) {
  NSObject* oa = wapiObject(a);
  NSObject* ob = wapiObject(b);
  if (!oa || !ob) return 0;
  if (oa == ob) return 1;
  auto* field = wapiAs<NSTextField>(oa);
  auto* text = wapiAs<NSTextView>(ob);
  if (!field || !text) {
    field = wapiAs<NSTextField>(ob);
    text = wapiAs<NSTextView>(oa);
  }
  if (!field || !text) return 0;
  // The field editor sits in a clip view inside the field: two levels.
  NSView* up = text->superview();
  return up && up->superview() == field;
}

void EnableWindow(HWND hwnd, BOOL enable) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  if (auto* control = wapiAs<NSControl>(v))
    control->setEnabled(enable != 0);
  else if (auto* layer = wapiAs<Wapi_vQOR_hwnd>(v))
    layer->setEnabled(enable != 0);
  // A disabled label fades its text; a field only stops taking input.
  if (auto* label = wapiAs<Wapi_vQOR_textfield>(v); label && label->isLabel()) {
    NSColor* colour = label->textColor() ? label->textColor() : NSColor::controlTextColor();
    label->setTextColor(colour->colorWithAlphaComponent(enable ? 1.0 : 0.5));
  }
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT*, const RECT*) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  if (!v || (dx == 0 && dy == 0)) return 0;
  std::vector<NSView*> children = v->subviews();
  for (NSView* s : children) s->retain();
  for (NSView* s : children) {
    const NSRect f = s->frame();
    s->setFrameOrigin(NSMakePoint(f.origin.x + dx, f.origin.y + dy));
    s->release();
  }
  v->setNeedsDisplay(true);
  return 1;
}

void WAPI_CloseWindow(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  NSWindow* w = wapiAs<NSWindow>(o);
  if (auto* v = wapiAs<NSView>(o)) w = v->window();
  if (w) w->close();
}

namespace {

// The header of a dropped-file block: offset of the name list, drop point, non-client flag.
struct DropHeader {
  int32_t filesOffset;
  int32_t x, y;
  int32_t nonClient;
};

}  // namespace

BOOL DragQueryPoint(HANDLE drop, POINT* p) {
  if (!drop || GlobalSize(drop) < int(sizeof(DropHeader))) return 0;
  DropHeader h;
  std::memcpy(&h, drop, sizeof h);
  if (p) *p = POINT{h.x, h.y};
  return h.nonClient == 0;
}

UINT DragQueryFile(HANDLE drop, UINT index, char* buffer, UINT size) {
  if (!drop) return 0;
  const int total = GlobalSize(drop);
  if (total < int(sizeof(DropHeader))) return 0;
  const auto* block = static_cast<const char*>(GlobalLock(drop));
  DropHeader h;
  std::memcpy(&h, block, sizeof h);
  UINT result = 0;
  // Only bytes inside the block are read: a list without its closing name ends at the block.
  if (h.filesOffset >= 0 && h.filesOffset < total) {
    const char* p = block + h.filesOffset;
    const char* end = block + total;
    auto nameLength = [&](const char* at) {
      const void* zero = std::memchr(at, 0, size_t(end - at));
      return zero ? size_t(static_cast<const char*>(zero) - at) : size_t(-1);
    };
    UINT n = 0;
    for (;;) {
      if (p >= end) break;
      const size_t len = nameLength(p);
      if (len == size_t(-1) || len == 0) break;
      if (index != 0xFFFFFFFF && n == index) {
        if (buffer && size > 0) {
          const size_t copied = len < size - 1 ? len : size - 1;
          std::memcpy(buffer, p, copied);
          buffer[copied] = 0;
          result = UINT(copied);
        } else {
          result = UINT(len);
        }
        break;
      }
      ++n;
      p += len + 1;
    }
    if (index == 0xFFFFFFFF) result = n;
  }
  GlobalUnlock(drop);
  return result;
}

void DragFinish(HANDLE) {}

BOOL WAPI_GetGestureInfo(LPARAM lParam, GESTUREINFO* info) {
  if (!lParam || !info) return 0;
  std::memcpy(info, reinterpret_cast<const void*>(lParam), sizeof *info);
  return 1;
}
