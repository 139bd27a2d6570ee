// The layer's text view and text field, its button and box: the edit messages a multi-line text
// view answers, repaint propagation to the enclosing layer views, and the radio groups of buttons.
#include "kit/wapi/wapi-controls.h"

#include "kit/wapi/wapi-gdi-internal.h"
#include "kit/wapi/wapi-text-engine.h"

#include <CoreText/CoreText.h>
#include <Foundation/NSFormatter.h>

#include <algorithm>
#include <cstring>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_textfield, NSTextField)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_textview, NSTextView)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_button, NSButton)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_box, NSBox)

void wapiMarkDirtyDescendant(NSView* view) {
  for (NSView* s = view ? view->superview() : nullptr; s; s = s->superview()) {
    auto* up = wapiAs<Wapi_vQOR_hwnd>(s);
    if (!up) continue;
    if (up->wapiDirtyBits() & 2) break;
    up->wapiSetDirtyBits(up->wapiDirtyBits() | 2);
  }
}

WAPI_REPAINT_PROPAGATION(Wapi_vQOR_textfield, NSTextField)
WAPI_REPAINT_PROPAGATION(Wapi_vQOR_textview, NSTextView)
WAPI_REPAINT_PROPAGATION(Wapi_vQOR_button, NSButton)
WAPI_REPAINT_PROPAGATION(Wapi_vQOR_box, NSBox)

void wapiEditSelection(int64_t length, WPARAM wParam, LPARAM lParam, size_t* start, size_t* end) {
  int64_t s = int32_t(wParam), e = int32_t(lParam);
  if (e == -1) e = length;
  if (s == -1) s = e = 0;
  if (uint64_t(uint32_t(s)) > uint64_t(length)) s = length;
  if (e > length) e = length;
  // Never a negative length: a start after the end selects the range between them.
  if (e < 0) e = 0;
  if (s > e) std::swap(s, e);
  *start = size_t(s);
  *end = size_t(e);
}

LRESULT Wapi_vQOR_textview::onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const size_t length = NSStandinCharacters(string() ? string()->UTF8String() : "").size();
  switch (msg) {
    case WM_SETFONT: {
      auto* font = reinterpret_cast<HGDIOBJ>(wParam);
      if (wapiIsHandle(font) && wapiObjectIs(font, WAPI_GDI_FONT) && font->font)
        setFont(NSFont::fontWithName(NSString::stringWithUTF8String(CTFontGetPostScriptNameUTF8(font->font)),
                                     CTFontGetSize(font->font)));
      break;
    }
    case EM_GETSEL:
      if (wParam) *reinterpret_cast<int*>(wParam) = int(selectionStart());
      if (lParam) *reinterpret_cast<int*>(lParam) = int(selectionStart() + selectionLength());
      break;
    case EM_SETSEL: {
      size_t start, end;
      wapiEditSelection(int64_t(length), wParam, lParam, &start, &end);
      setSelectedRange(start, end - start);
      break;
    }
    case EM_SCROLL:
      if (wParam == SB_BOTTOM)
        scrollRangeToVisible(length, 0);
      else if (wParam == SB_TOP)
        scrollRangeToVisible(0, 0);
      break;
    default: break;
  }
  return 0;
}

void wapiUpdateRadioGroup(Wapi_vQOR_button* button) {
  const int flags = button->wapiGetRadioFlags();
  NSView* parent = button->superview();
  if (!(flags & 1) || !parent) return;
  const std::vector<NSView*> siblings = parent->subviews();
  const auto at = std::find(siblings.begin(), siblings.end(), button);
  if (at == siblings.end()) return;
  auto turnOff = [](Wapi_vQOR_button* b) {
    if ((b->wapiGetRadioFlags() & 1) && b->state() != NSOffState) b->setState(NSOffState);
  };
  if (!(flags & 2)) {
    for (auto it = at; it != siblings.begin();) {
      auto* b = wapiAs<Wapi_vQOR_button>(*--it);
      if (!b) break;
      turnOff(b);
      if (b->wapiGetRadioFlags() & 2) break;
    }
  }
  for (auto it = at + 1; it != siblings.end(); ++it) {
    auto* b = wapiAs<Wapi_vQOR_button>(*it);
    if (!b || (b->wapiGetRadioFlags() & 2)) break;
    turnOff(b);
  }
}

std::string wapiStripAmpersands(const char* text, size_t maxBytes, bool stopAtTab) {
  std::string out;
  if (!text) return out;
  for (const char* p = text; *p && !(stopAtTab && *p == '\t'); ++p) {
    if (*p == '&') {
      if (!*++p) break;  // a final ampersand ends the text
    }
    out.push_back(*p);
  }
  if (out.size() > maxBytes) out.resize(size_t(WAPI_Utf8BoundaryPrefix(out.c_str(), int(maxBytes))));
  return out;
}
