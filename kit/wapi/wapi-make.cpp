// Controls from dialog descriptions: the creation parameters, dialog units to pixel frames with
// the auto-right layout, the maker of each kind and the row dispatch of a control list.
#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-listview.h"
#include "kit/wapi/wapi-combo.h"

#include <cmath>
#include <cstring>
#include <strings.h>

int g_wapi_want_nice_style = 1;

namespace {

struct CreatorRec {
  WAPI_CustomControlCreator creator;
  int count;
  CreatorRec* next;
};

// The current creation parameters: one set for the layer, overwritten by each
// WAPI_MakeSetCurParms.
struct MakeParams {
  float xoff = 0, yoff = 0, xscale = 1, yscale = 1;
  NSView* owner = nullptr;  // not retained: checked for life before each use
  float parentH = 100;
  bool doAutoRight = false, sizeToFits = false;
  // The auto-right memory: right edge and vertical middle of the last control, and its overrun.
  float lastX = 0, lastY = -100, lastW = 0;
  CreatorRec* creators = nullptr;
};
MakeParams gMake;

const char* const kIconText = "ICONTEMP";

// Rounded as the layer rounds: plus one half, truncated toward zero.
float rounded(float v) {
  return float(wapiToInt(double(v + 0.5f)));
}

// The owner, unless it was freed or its destruction has begun.
NSView* liveOwner() {
  auto* owner = wapiAs<NSView>(wapiObject(wapiHandle(gMake.owner)));
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(owner);
  return layer && layer->wapiHasBeenDestroyed() ? nullptr : owner;
}

// A frame in the owner from dialog units; both extents negative give pixels.
NSRect makeCoords(int x, int y, int w, int h, bool wantAutoRight, bool ignoreYScaleForHeight) {
  if (w < 0 && h < 0) return NSMakeRect(-double(x), -double(y), -double(w), -double(h));
  float px = rounded((float(x) + gMake.xoff) * gMake.xscale);
  const float pw = rounded(float(w) * gMake.xscale);
  const float ph = rounded(std::fabs(ignoreYScaleForHeight ? 1.0f : gMake.yscale) * float(h));
  const float scaledY = rounded(-((float(y) + gMake.yoff) * gMake.yscale));
  // A bottom-up owner: the scaled y is the top edge's distance from the owner's top.
  const float py = gMake.yscale < 0 ? scaledY : gMake.parentH + scaledY - ph;
  if (gMake.doAutoRight && wantAutoRight) {
    const float unshifted = px;
    if (std::fabs(px - gMake.lastX) < 32 && gMake.lastY >= py && gMake.lastY < py + ph) px += std::trunc(gMake.lastW);
    gMake.lastX = unshifted + pw;
    gMake.lastY = py + ph * 0.5f;
    gMake.lastW = 0;
  }
  return NSMakeRect(px, py, pw, ph);
}

// The overrun of the control just placed, carried to the next one on its line.
void recordOverrun(NSView* control) {
  if (!gMake.doAutoRight) return;
  const NSRect f = control->frame();
  gMake.lastW = float(f.origin.x + f.size.width) - gMake.lastX;
}

NSFont* fontByScale() {
  if (gMake.xscale >= 1.81f) return nullptr;
  return NSFont::systemFontOfSize(gMake.xscale < 1.0f ? 8 : 10);
}

// The text of buttons, labels, boxes and statics: mnemonic ampersands removed from texts shorter
// than 1024 bytes; resource numbers show as an icon placeholder.
NSString* controlText(const char* text) {
  if (reinterpret_cast<uintptr_t>(text) < 0x10000) return wapiNSString(text ? kIconText : "");
  const size_t n = strnlen(text, 1024);
  if (n < 1024 && std::memchr(text, '&', n)) return wapiNSString(wapiStripAmpersands(text, 1023, false).c_str());
  return wapiNSString(text);
}

template <class T>
T* make(NSRect frame) {
  auto* c = static_cast<T*>(T::class_()->alloc());
  c->initWithFrame(frame);
  return c;
}

// Adds the control to the owner, which takes the only reference, and answers its handle.
HWND place(NSView* owner, NSView* control, int style, bool overrun) {
  if (uint32_t(style) & WAPI_STYLE_HIDDEN) control->setHidden(true);
  owner->addSubview(control);
  if (overrun) recordOverrun(control);
  control->release();
  return wapiHandle(control);
}

void routeTo(NSControl* control, NSView* owner) {
  control->setTarget(owner);
  control->setAction(sel_registerName("onWapiCommand:"));
}

Wapi_vQOR_textfield* makeStaticText(NSRect frame) {
  auto* label = make<Wapi_vQOR_textfield>(frame);
  label->setEditable(false);
  label->setSelectable(false);
  label->setBordered(false);
  label->setBezeled(false);
  label->setDrawsBackground(false);
  if (NSFont* f = fontByScale()) label->setFont(f);
  return label;
}

HWND makeButtonOfKind(NSView* owner, const char* text, int id, int style, int x, int y, int w, int h) {
  auto* b = make<Wapi_vQOR_button>(makeCoords(x, y, w, h, true, false));
  b->setTag(id);
  const int kind = style & 15;
  bool ownerDrawn = false;
  if (kind == BS_AUTOCHECKBOX || kind == BS_AUTO3STATE) {
    b->setButtonType(NSSwitchButton);
    b->setAllowsMixedState(kind == BS_AUTO3STATE);
  } else if (kind == BS_AUTORADIOBUTTON) {
    b->setButtonType(NSRadioButton);
    b->wapiSetRadioFlags((style & WS_GROUP) ? 3 : 1);
  } else if (kind == BS_OWNERDRAW) {
    ownerDrawn = true;
    wapiSetOwnerDrawnCell(b);
  }
  if (NSFont* f = fontByScale()) b->setFont(f);
  b->setTitle(controlText(text));
  routeTo(b, owner);
  if (style & BS_LEFTTEXT) b->setImagePosition(3);
  if (uint32_t(style) & WAPI_STYLE_HIDDEN) b->setHidden(true);
  owner->addSubview(b);
  if (gMake.sizeToFits && !ownerDrawn) b->sizeToFit();
  recordOverrun(b);
  b->release();
  return wapiHandle(b);
}

HWND makeStatic(NSView* owner, const char* text, int id, int style, int x, int y, int w, int h) {
  Wapi_vQOR_textfield* label = makeStaticText(makeCoords(x, y, w, h, true, false));
  if (text && (reinterpret_cast<uintptr_t>(text) < 0x10000 || *text)) label->setStringValue(controlText(text));
  const int kind = style & 0x1F;
  label->setAlignment(kind == SS_CENTER  ? NSCenterTextAlignment
                      : kind == SS_RIGHT ? NSRightTextAlignment
                                         : NSLeftTextAlignment);
  label->cell()->setWraps(kind != SS_LEFTNOWORDWRAP);
  label->setTag(id);
  if (kind == SS_BLACKRECT) label->setHidden(true);
  return place(owner, label, style, false);
}

HWND makeSlider(NSView* owner, int id, const char* className, int style, int x, int y, int w, int h) {
  auto* slider = make<NSSlider>(makeCoords(x, y, w, h, false, false));
  slider->setTag(id);
  slider->setMinValue(0);
  slider->setMaxValue(1000);
  if (!strcasecmp(className, "msctls_trackbar32")) slider->setControlSize(2);
  routeTo(slider, owner);
  return place(owner, slider, style, false);
}

}  // namespace

NSView* wapiMakeOwner() {
  return liveOwner();
}
NSRect wapiMakeCoords(int x, int y, int w, int h, bool wantAutoRight, bool ignoreYScaleForHeight) {
  return makeCoords(x, y, w, h, wantAutoRight, ignoreYScaleForHeight);
}
void wapiMakeRecordOverrun(NSView* control) {
  recordOverrun(control);
}

void WAPI_MakeSetCurParms(float xscale, float yscale, float xtrans, float ytrans, HWND parent, bool doAutoRight,
                          bool sizeToFit) {
  gMake.sizeToFits = sizeToFit;
  gMake.doAutoRight = doAutoRight;
  gMake.xoff = xtrans;
  gMake.yoff = ytrans;
  gMake.xscale = xscale;
  gMake.yscale = yscale;
  gMake.lastX = 0;
  gMake.lastY = -100.0f;
  gMake.lastW = 0;
  gMake.owner = wapiViewOf(wapiObject(parent));
  gMake.parentH = 100.0f;
  if (gMake.owner) {
    gMake.parentH = float(gMake.owner->bounds().size.height);
    if (gMake.yscale > 0 && gMake.owner->isFlipped()) gMake.yscale = -gMake.yscale;
  }
}

HWND WAPI_MakeButton(int isDefault, const char* text, int id, int x, int y, int w, int h, int style) {
  NSView* owner = liveOwner();
  if (!owner) return nullptr;
  auto* b = static_cast<Wapi_vQOR_button*>(Wapi_vQOR_button::class_()->alloc());
  b->initWithFrame(NSMakeRect(0, 0, 0, 0));
  b->setTag(id);
  b->setBezelStyle(g_wapi_want_nice_style == 1 ? 6 : 1);
  NSRect frame = makeCoords(x, y, w, h, true, false);
  if (g_wapi_want_nice_style != 1 && frame.size.height >= 18 && frame.size.height < 24) frame.size.height = 24;
  b->setFrame(frame);
  if (NSFont* f = fontByScale()) b->setFont(f);
  b->setTitle(controlText(text));
  routeTo(b, owner);
  b->retain();
  const HWND made = place(owner, b, style, true);
  if (isDefault && owner->window()) owner->window()->setDefaultButtonCell(b->cell());
  b->release();
  return made;
}

HWND WAPI_MakeEditField(int id, int x, int y, int w, int h, int style) {
  NSView* owner = liveOwner();
  if (!owner) return nullptr;
  const NSRect frame = makeCoords(x, y, w, h, true, false);
  const bool editable = !(style & ES_READONLY);
  if (!(style & (WS_VSCROLL | WS_HSCROLL))) {
    NSTextField* field = (style & ES_PASSWORD) ? static_cast<NSTextField*>(make<NSSecureTextField>(frame))
                                               : make<Wapi_vQOR_textfield>(frame);
    field->setEditable(editable);
    field->setSelectable(true);
    field->setBezeled(true);
    if (NSFont* f = fontByScale()) field->setFont(f);
    field->setAlignment((style & ES_CENTER)  ? NSCenterTextAlignment
                        : (style & ES_RIGHT) ? NSRightTextAlignment
                                             : NSLeftTextAlignment);
    if (std::abs(h) < 20) {
      field->cell()->setWraps(false);
      field->cell()->setScrollable(true);
    }
    field->setTag(id);
    field->setDelegate(owner);
    routeTo(field, owner);
    return place(owner, field, style, true);
  }
  auto* text = make<Wapi_vQOR_textview>(frame);
  text->setEditable(editable);
  if (NSFont* f = fontByScale()) text->setFont(f);
  text->setTag(id);
  text->setDelegate(owner);
  text->setHorizontallyResizable(false);
  if (!(style & WS_VSCROLL)) {
    text->setVerticallyResizable(false);
    return place(owner, text, style, true);
  }
  text->setVerticallyResizable(true);
  auto* scroll = make<NSScrollView>(frame);
  scroll->setHasVerticalScroller(true);
  scroll->setHasHorizontalScroller((style & WS_HSCROLL) != 0);
  scroll->setAutohidesScrollers(true);
  scroll->setDrawsBackground(false);
  text->setFrame(NSMakeRect(0, 0, scroll->contentSize().width, scroll->contentSize().height));
  scroll->setDocumentView(text);
  text->release();
  return place(owner, scroll, style, true);
}

HWND WAPI_MakeLabel(int align, const char* text, int id, int x, int y, int w, int h, int style) {
  NSView* owner = liveOwner();
  if (!owner) return nullptr;
  Wapi_vQOR_textfield* label = makeStaticText(NSMakeRect(0, 0, 0, 0));
  if (style & SS_NOTIFY) routeTo(label, owner);
  label->setStringValue(controlText(text));
  label->setAlignment(align < 0 ? NSLeftTextAlignment : align == 0 ? NSCenterTextAlignment : NSRightTextAlignment);
  label->cell()->setWraps(h >= 13);
  label->setTag(id);
  label->setFrame(makeCoords(x, y, w, h, true, false));
  if (uint32_t(style) & WAPI_STYLE_HIDDEN) label->setHidden(true);
  owner->addSubview(label);
  if (gMake.sizeToFits && text && reinterpret_cast<uintptr_t>(text) >= 0x10000 && std::strlen(text) >= 2)
    label->sizeToFit();
  recordOverrun(label);
  label->release();
  return wapiHandle(label);
}

HWND WAPI_MakeCheckBox(const char* text, int id, int x, int y, int w, int h, int style) {
  return WAPI_MakeControl(text, id, "Button", style | BS_AUTOCHECKBOX, x, y, w, h, 0);
}

HWND WAPI_MakeGroupBox(const char* text, int id, int x, int y, int w, int h, int style) {
  NSView* owner = liveOwner();
  if (!owner) return nullptr;
  const NSRect frame = (w < 0 && h < 0) ? NSMakeRect(-double(x), 1.0 - y, -double(w), -3.0 - h)
                                        : makeCoords(x, y - 1, w, h + 3, false, false);
  auto* box = make<Wapi_vQOR_box>(frame);
  box->setTitle(controlText(text));
  box->setTag(id);
  if (style & (BS_LEFT | BS_RIGHT)) box->titleCell()->setAlignment(NSCenterTextAlignment);
  // Below every other control, so that later controls draw over it.
  owner->addSubview(box, NSWindowBelow, nullptr);
  box->release();
  return wapiHandle(box);
}

HWND WAPI_MakeControl(const char* text, int id, const char* className, int style, int x, int y, int w, int h,
                      int exStyle) {
  NSView* owner = liveOwner();
  if (!owner) return nullptr;
  if (gMake.creators) {
    const NSRect f = makeCoords(x, y, w, h, false, false);
    for (CreatorRec* r = gMake.creators; r; r = r->next) {
      HWND made = r->creator(wapiHandle(owner), text, id, className, style, wapiToInt(f.origin.x),
                             wapiToInt(f.origin.y), wapiToInt(f.size.width), wapiToInt(f.size.height));
      if (!made) continue;
      if (exStyle) {
        if (WapiWindowRecord* rec = wapiWindowRecord(wapiObject(made))) rec->wapiSetExtendedStyle(exStyle);
      }
      return made;
    }
  }
  if (!className) return nullptr;
  if (!strcasecmp(className, "Edit")) return WAPI_MakeEditField(id, x, y, w, h, style);
  if (!strcasecmp(className, "static")) return makeStatic(owner, text, id, style, x, y, w, h);
  if (!strcasecmp(className, "Button")) {
    const uint32_t bits = uint32_t(style);
    if (bits & 0x20000000u) return WAPI_MakeGroupBox(text, id, x, y, w, h, int(bits & ~0x20000000u));
    if (bits & 0x10000000u) return WAPI_MakeButton(1, text, id, x, y, w, h, int(bits & ~0x10000000u));
    if (bits & 0x08000000u) return WAPI_MakeButton(0, text, id, x, y, w, h, int(bits & ~0x08000000u));
    return makeButtonOfKind(owner, text, id, style, x, y, w, h);
  }
  if (!strcasecmp(className, "VORHALhfader") || !strcasecmp(className, "msctls_trackbar32"))
    return makeSlider(owner, id, className, style, x, y, w, h);
  if (!strcasecmp(className, "SysTabControl32")) {
    const NSRect f = (w < 0 && h < 0) ? NSMakeRect(-double(x), 1.0 - y, -double(w), -6.0 - h)
                                      : makeCoords(x, y - 1, w, h + 6, false, false);
    return wapiMakeTabControl(owner, id, style, f);
  }
  const bool listBox = !strcasecmp(className, "SysListView32_LB");
  if (listBox || !strcasecmp(className, "SysListView32"))
    return wapiMakeListView(owner, id, style, makeCoords(x, y, w, h, false, false), listBox);
  if (!strcasecmp(className, "SysTreeView32"))
    return wapiMakeTreeView(owner, id, style, makeCoords(x, y, w, h, false, false));
  if (!strcasecmp(className, "msctls_progress32"))
    return wapiMakeProgressBar(owner, id, style, makeCoords(x, y, w, h, false, false));
  // Combos come with their own classes.
  return nullptr;
}

void WAPI_RegisterCustomControlCreator(WAPI_CustomControlCreator creator) {
  if (!creator) return;
  CreatorRec** link = &gMake.creators;
  for (; *link; link = &(*link)->next)
    if ((*link)->creator == creator) {
      ++(*link)->count;
      return;
    }
  *link = new CreatorRec{creator, 1, nullptr};
}

void WAPI_UnregisterCustomControlCreator(WAPI_CustomControlCreator creator) {
  if (!creator) return;
  for (CreatorRec** link = &gMake.creators; *link; link = &(*link)->next) {
    CreatorRec* r = *link;
    if (r->creator != creator) continue;
    if (--r->count <= 0) {
      *link = r->next;
      delete r;
    }
    return;
  }
}

void WAPI_GenerateDialogFromList(const void* rows, int count) {
  if (!rows || count < 1) return;
  const auto* row = static_cast<const WAPI_DialogListRow*>(rows);
  auto text = [](intptr_t word) { return reinterpret_cast<const char*>(word); };
  for (int i = 0; i < count; ++i, ++row) {
    const intptr_t* r = row->w;
    const char* kind = text(r[0]);
    const bool named = reinterpret_cast<uintptr_t>(kind) >= 0x10000;
    auto is = [&](const char* name) { return named && std::strcmp(kind, name) == 0; };
    const int x = int(r[4]), y = int(r[5]), w = int(r[6]), h = int(r[7]);
    if (is("__WAPI_BUTTON")) {
      WAPI_MakeButton(int(r[1]), text(r[2]), int(r[3]), x, y, w, h, int(r[8]));
    } else if (is("__WAPI_EDIT")) {
      WAPI_MakeEditField(int(r[3]), x, y, w, h, int(r[8]));
    } else if (is("__WAPI_COMBO")) {
      WAPI_MakeCombo(int(r[3]), x, y, w, h, int(r[8]));
    } else if (is("__WAPI_LISTBOX")) {
      WAPI_MakeControl("", int(r[3]), "SysListView32_LB", int(r[8]), x, y, w, h, 0);
    } else if (is("__WAPI_GROUP")) {
      WAPI_MakeGroupBox(text(r[2]), int(r[3]), x, y, w, h, int(r[8]));
    } else if (is("__WAPI_CHECKBOX")) {
      WAPI_MakeControl(text(r[2]), int(r[3]), "Button", int(r[8]) | BS_AUTOCHECKBOX, x, y, w, h, 0);
    } else if (is("__WAPI_LABEL")) {
      WAPI_MakeLabel(int(r[1]), text(r[2]), int(r[3]), x, y, w, h, int(r[8]));
    } else {
      const char* className = text(r[2]);
      if (reinterpret_cast<uintptr_t>(className) < 0x10000 || !*className) continue;
      WAPI_MakeControl(kind, int(r[1]), className, int(r[3]), x, y, w, h, int(r[8]));
    }
  }
}
