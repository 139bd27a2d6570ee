// Top-level windows and dialog boxes: the dialog resources, modeless windows and modal dialog
// boxes around a content HWND view, the owner/owned relation with its window levels, activation
// with the menu bar, the close box, the sizes asked from the procedure, and the frame rebuilds of
// SetWindowLong and SetParent. Main thread only.
#include "kit/wapi/wapi-toplevel.h"

#include <vector>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_modelesswindow, NSWindow)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_dialogbox, NSPanel)

int WAPI_owned_windows_levelincrease = 0;

namespace {

HMENU gDefaultWindowMenu = nullptr;
HMENU gDefaultModalWindowMenu = nullptr;
// The window that last resigned key status; only compared and checked for life, never read.
NSWindow* gLastKeyWindow = nullptr;

const NSUInteger kTitled = NSTitledWindowMask, kClosable = NSClosableWindowMask;
const NSUInteger kMiniaturizable = NSMiniaturizableWindowMask, kResizable = NSResizableWindowMask;
const double kNoLimit = 1000000.0;

int raiseOf(NSObject* w) {
  auto* m = wapiAs<Wapi_vQOR_modelesswindow>(w);
  return m ? m->wantRaiseAmount() : 0;
}

HWND contentOf(const NSWindow* w) {
  return wapiHandle(w->contentView());
}

// The reference rectangle new windows are placed against: the parent's, else the screen's.
RECT referenceRect(NSObject* parent) {
  RECT r;
  if (!parent || !GetWindowRect(wapiHandle(parent), &r)) WAPI_GetViewPort(&r, nullptr, false);
  return r;
}

// A fresh empty layer view becomes the old window's content view, so that the view leaving it
// keeps its handle.
void replaceContentWithEmptyView(NSWindow* old) {
  auto* fresh = static_cast<Wapi_vQOR_hwnd*>(Wapi_vQOR_hwnd::class_()->alloc());
  fresh->initChild(nullptr, old, nullptr, 0);
  fresh->release();
}

}  // namespace

// ---- Shared by both window classes ----

template <class Base>
WapiFramedWindow<Base>::~WapiFramedWindow() {
  wapiDoDestroyStuff();
}

template <class Base>
void WapiFramedWindow<Base>::initFrame(NSRect content, NSUInteger style) {
  lastFrameSize = NSMakeSize(0, 0);
  m_owner = nullptr;
  m_ownedwnds = nullptr;
  m_enabled = 1;
  Base::initWithContentRect(content, style, NSBackingStoreBuffered, false);
  Base::setAcceptsMouseMovedEvents(true);
}

template <class Base>
void WapiFramedWindow<Base>::registerWithOwner(NSObject* parent) {
  if (auto* owner = dynamic_cast<WapiOwnerWindow*>(parent)) {
    owner->wapiAddOwnedWindow(this);
  } else if (auto* view = wapiAs<NSView>(parent)) {
    if (auto* viewOwner = dynamic_cast<WapiOwnerWindow*>(view->window())) viewOwner->wapiAddOwnedWindow(this);
  }
}

template <class Base>
void WapiFramedWindow<Base>::wapiAddOwnedWindow(NSObject* window) {
  auto* w = wapiAs<NSWindow>(window);
  if (!w) return;
  for (OwnedWindowListRec* r = m_ownedwnds; r; r = r->next)
    if (r->window == w) return;
  m_ownedwnds = new OwnedWindowListRec{w, m_ownedwnds};
  if (auto* owned = dynamic_cast<WapiOwnerWindow*>(w)) owned->wapiSetOwner(this);
  if (WAPI_owned_windows_levelincrease && NSApp->isActive()) w->setLevel(this->level() + 1 + raiseOf(w));
}

template <class Base>
void WapiFramedWindow<Base>::wapiRemoveOwnedWindow(NSObject* window) {
  for (OwnedWindowListRec** link = &m_ownedwnds; *link; link = &(*link)->next) {
    if ((*link)->window != window) continue;
    OwnedWindowListRec* r = *link;
    *link = r->next;
    delete r;
    return;
  }
}

template <class Base>
void WapiFramedWindow<Base>::wapiResetOwnedWindowLevels() {
  if (!WAPI_owned_windows_levelincrease) return;
  const bool active = NSApp->isActive();
  for (OwnedWindowListRec* r = m_ownedwnds; r; r = r->next) {
    r->window->setLevel(active ? this->level() + 1 + raiseOf(r->window) : this->level());
    if (auto* owned = dynamic_cast<WapiOwnerWindow*>(r->window)) owned->wapiResetOwnedWindowLevels();
  }
}

template <class Base>
void WapiFramedWindow<Base>::wapiDestroyAllOwnedWindows() {
  // Detached first: each window destroyed unlinks itself from a list that is no longer there.
  OwnedWindowListRec* list = m_ownedwnds;
  m_ownedwnds = nullptr;
  while (list) {
    OwnedWindowListRec* r = list;
    list = r->next;
    if (wapiObject(wapiHandle(r->window))) DestroyWindow(wapiHandle(r->window));
    delete r;
  }
}

template <class Base>
void WapiFramedWindow<Base>::wapiDoDestroyStuff() {
  if (gLastKeyWindow == this) gLastKeyWindow = nullptr;
  wapiDestroyAllOwnedWindows();
  NSObject* owner = wapiObject(wapiHandle(m_owner));
  m_owner = nullptr;
  if (auto* ownerRecord = dynamic_cast<WapiOwnerWindow*>(owner)) {
    ownerRecord->wapiRemoveOwnedWindow(this);
    if (this->isKeyWindow()) {
      if (auto* ownerWindow = wapiAs<NSWindow>(owner)) ownerWindow->makeKeyWindow();
    }
  }
}

template <class Base>
bool WapiFramedWindow<Base>::canBecomeKeyWindow() {
  return m_enabled && !g_wapi_terminating;
}

template <class Base>
void WapiFramedWindow<Base>::becomeKeyWindow() {
  Base::becomeKeyWindow();
  if (g_wapi_terminating) return;
  NSWindow* other = nullptr;
  if (gLastKeyWindow && IsWindow(wapiHandle(gLastKeyWindow))) {
    auto* otherContent = wapiAs<Wapi_vQOR_hwnd>(gLastKeyWindow->contentView());
    if (!otherContent || !otherContent->wapiHasBeenDestroyed()) other = gLastKeyWindow;
  }
  auto* content = wapiAs<Wapi_vQOR_hwnd>(this->contentView());
  if (content && content->wapiHasBeenDestroyed()) return;
  HMENU menu = content ? content->wapiGetMenu() : nullptr;
  if (!menu) menu = defaultMenu();
  auto* platformMenu = wapiAs<NSMenu>(wapiObject(reinterpret_cast<HWND>(menu)));
  if (platformMenu && NSApp->mainMenu() != platformMenu) NSApp->setMainMenu(platformMenu);
  const HWND self = contentOf(this);
  SendMessage(self, WM_ACTIVATE, 1, reinterpret_cast<LPARAM>(other ? contentOf(other) : nullptr));
  SendMessage(self, WM_MOUSEACTIVATE, 0, 0);
}

template <class Base>
void WapiFramedWindow<Base>::resignKeyWindow() {
  Base::resignKeyWindow();
  if (g_wapi_terminating) return;
  SendMessage(contentOf(this), WM_ACTIVATE, 0, 0);
  gLastKeyWindow = this;
}

template <class Base>
bool WapiFramedWindow<Base>::windowShouldClose(NSObject*) {
  // The procedure decides; the window never closes itself.
  const HWND content = contentOf(this);
  if (SendMessage(content, WM_CLOSE, 0, 0) == 0) SendMessage(content, WM_COMMAND, IDCANCEL, 0);
  return false;
}

template <class Base>
void WapiFramedWindow<Base>::windowDidMove(NSObject*) {
  const NSPoint at = this->frame().origin;
  SendMessage(contentOf(this), WM_MOVE, 0, MAKELPARAM(wapiToInt(at.x), wapiToInt(at.y)));
}

template <class Base>
void WapiFramedWindow<Base>::setFrame(NSRect frame, bool display) {
  Base::setFrame(frame, display);
  const HWND content = contentOf(this);
  const NSSize size = NSMakeSize(wapiToInt(frame.size.width), wapiToInt(frame.size.height));
  if (size.width == lastFrameSize.width && size.height == lastFrameSize.height) return;
  SendMessage(content, WM_SIZE, 0, 0);
  NSView* view = this->contentView();
  if (view && view->isOpaque()) InvalidateRect(content, nullptr, 0);
  lastFrameSize = size;
}

template <class Base>
NSSize WapiFramedWindow<Base>::minSize() const {
  const NSSize platform = Base::minSize();
  MINMAXINFO info{};
  info.ptMinTrackSize = POINT{wapiToInt(platform.width), wapiToInt(platform.height)};
  SendMessage(contentOf(this), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  return NSMakeSize(info.ptMinTrackSize.x, info.ptMinTrackSize.y);
}

template <class Base>
NSSize WapiFramedWindow<Base>::maxSize() const {
  const NSSize platform = Base::maxSize();
  auto clamp = [](double v) { return v < 1 ? 1 : v > kNoLimit ? int32_t(kNoLimit) : wapiToInt(v); };
  MINMAXINFO info{};
  info.ptMaxTrackSize = POINT{clamp(platform.width), clamp(platform.height)};
  SendMessage(contentOf(this), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  // A handler that leaves the limit open gets the platform's own.
  return NSMakeSize(info.ptMaxTrackSize.x < kNoLimit ? info.ptMaxTrackSize.x : platform.width,
                    info.ptMaxTrackSize.y < kNoLimit ? info.ptMaxTrackSize.y : platform.height);
}

template class WapiFramedWindow<NSWindow>;
template class WapiFramedWindow<NSPanel>;

// ---- The two window classes ----

Wapi_vQOR_modelesswindow* Wapi_vQOR_modelesswindow::initModeless(const WAPI_DialogResourceIndex* res, NSObject* parent,
                                                                 DLGPROC proc, LPARAM param, HWND* outputHwnd,
                                                                 NSUInteger forceStyles) {
  m_wantraiseamt = 0;
  m_wantInitialKeyWindowOnShow = false;
  const NSSize size = res ? NSMakeSize(res->width, res->height) : NSMakeSize(10, 10);
  const RECT ref = referenceRect(parent);
  NSUInteger style = forceStyles;
  if (res) style |= kTitled | kClosable | kMiniaturizable | ((res->windowTypeFlags & 0x02) ? kResizable : 0);
  initFrame(NSMakeRect(ref.left + 50, ref.bottom - 100 - size.height, size.width, size.height), style);
  // Destroying the window is its last release.
  setReleasedWhenClosed(true);
  if (res) SetDlgItemText(wapiHandle(this), 0, res->title ? res->title : "");
  registerWithOwner(parent);
  retain();
  auto* view = static_cast<Wapi_vQOR_hwnd*>(Wapi_vQOR_hwnd::class_()->alloc());
  view->initChild(res, this, proc, param);
  view->wapiSetCreateWindowFlags(unsigned(style));
  if (outputHwnd) *outputHwnd = wapiHandle(view);
  view->release();
  display();
  release();
  return this;
}

Wapi_vQOR_modelesswindow* Wapi_vQOR_modelesswindow::initModelessForChild(NSView* child, NSObject* owner,
                                                                         NSUInteger styleMask) {
  m_wantraiseamt = 0;
  m_wantInitialKeyWindowOnShow = false;
  const NSSize size = child->bounds().size;
  const RECT ref = referenceRect(owner);
  initFrame(NSMakeRect(ref.left + 50, ref.bottom - 100 - size.height, size.width, size.height), styleMask);
  setReleasedWhenClosed(true);
  registerWithOwner(owner);
  setContentView(child);
  display();
  return this;
}

HMENU Wapi_vQOR_modelesswindow::defaultMenu() const {
  return gDefaultWindowMenu;
}

Wapi_vQOR_dialogbox* Wapi_vQOR_dialogbox::initDialogBox(const WAPI_DialogResourceIndex* res, NSObject* parent,
                                                        DLGPROC proc, LPARAM param) {
  m_rv = 0;
  m_hasrv = false;
  const NSUInteger style = kTitled | kClosable | ((res->windowTypeFlags & 0x02) ? kResizable : 0);
  initFrame(NSMakeRect(0, 0, res->width, res->height), style);
  // WAPI_DialogBox releases the panel itself, closed or not.
  setReleasedWhenClosed(false);
  registerWithOwner(parent);
  SetDlgItemText(wapiHandle(this), 0, res->title ? res->title : "");
  auto* view = static_cast<Wapi_vQOR_hwnd*>(Wapi_vQOR_hwnd::class_()->alloc());
  view->initChild(res, this, proc, param);
  view->wapiSetCreateWindowFlags(unsigned(style));
  view->setHidden(false);
  view->release();
  display();
  return this;
}

HMENU Wapi_vQOR_dialogbox::defaultMenu() const {
  return gDefaultModalWindowMenu ? gDefaultModalWindowMenu : gDefaultWindowMenu;
}

// ---- The dialog functions ----

const WAPI_DialogResourceIndex* WAPI_FindDialogResource(const WAPI_DialogResourceIndex* head, int id) {
  for (const WAPI_DialogResourceIndex* r = head; r; r = r->_next)
    if (reinterpret_cast<intptr_t>(r->resid) == intptr_t(id)) return r;
  return nullptr;
}

HWND WAPI_CreateDialog(const WAPI_DialogResourceIndex* head, int id, HWND parent, DLGPROC proc, LPARAM param) {
  NSUInteger forced = 0;
  bool forceTopLevel = false;
  if (id >= 0x400000 && id <= 0x40000F) {
    const int n = id - 0x400000;
    forced =
        kTitled | ((n & 0x04) ? 0 : kClosable) | ((n & 0x02) ? 0 : kMiniaturizable) | ((n & 0x01) ? kResizable : 0);
    forceTopLevel = n != 0;
    id = 0;
  }
  const WAPI_DialogResourceIndex* res = id ? WAPI_FindDialogResource(head, id) : nullptr;
  if (id && !res) return nullptr;
  NSObject* p = wapiObject(parent);
  NSObject* parentView = nullptr;
  if (wapiAs<NSView>(p) || wapiAs<NSSavePanel>(p))
    parentView = p;
  else if (auto* w = wapiAs<NSWindow>(p))
    parentView = w->contentView();
  if (parentView && (res ? (res->windowTypeFlags & 0x01) != 0 : !forceTopLevel)) {
    auto* view = static_cast<Wapi_vQOR_hwnd*>(Wapi_vQOR_hwnd::class_()->alloc());
    view->initChild(res, parentView, proc, param);
    view->wapiSetCreateWindowFlags(15);
    const HWND h = wapiHandle(view);
    view->release();
    return h;
  }
  HWND content = nullptr;
  auto* window = static_cast<Wapi_vQOR_modelesswindow*>(Wapi_vQOR_modelesswindow::class_()->alloc());
  window->initModeless(res, p, proc, param, &content, forced);
  return content;
}

LRESULT WAPI_DialogBox(const WAPI_DialogResourceIndex* head, int id, HWND parent, DLGPROC proc, LPARAM param) {
  const WAPI_DialogResourceIndex* res = WAPI_FindDialogResource(head, id);
  if (!res || (res->windowTypeFlags & 0x01)) return -1;
  auto* box = static_cast<Wapi_vQOR_dialogbox*>(Wapi_vQOR_dialogbox::class_()->alloc());
  box->initDialogBox(res, wapiObject(parent), proc, param);
  LRESULT result;
  if (box->wapiHasModalRetVal()) {
    // EndDialog ran inside WM_INITDIALOG: no loop.
    result = box->wapiGetModalRetVal();
    SendMessage(contentOf(box), WM_DESTROY, 0, 0);
  } else {
    NSApp->runModalForWindow(box);
    result = box->wapiHasModalRetVal() ? box->wapiGetModalRetVal() : 0;
  }
  box->release();
  return result;
}

void EndDialog(HWND hwnd, LRESULT result) {
  NSObject* o = wapiObject(hwnd);
  NSWindow* w = wapiAs<NSWindow>(o);
  if (auto* v = wapiAs<NSView>(o)) w = v->window();
  if (!w) return;
  if (auto* box = wapiAs<Wapi_vQOR_dialogbox>(w)) box->wapiSetModalRetVal(result);
  if (NSApp->modalWindow() != w) return;
  w->retain();
  SendMessage(contentOf(w), WM_DESTROY, 0, 0);
  // The result is the dialog's own; the run's code only ends it.
  NSEvent* event = NSApp->currentEvent();
  if (event && event->window() == w) NSApp->stopModal();
  NSApp->abortModal();
  w->close();
  w->release();
}

HWND WAPI_CreateModelessFrameForWindow(HWND view, HWND owner, unsigned int styleMask) {
  auto* v = wapiAs<NSView>(wapiObject(view));
  if (!v) return nullptr;
  auto* window = static_cast<Wapi_vQOR_modelesswindow*>(Wapi_vQOR_modelesswindow::class_()->alloc());
  window->initModelessForChild(v, wapiObject(owner), styleMask);
  return wapiHandle(window);
}

HMENU WAPI_GetDefaultWindowMenu() {
  return gDefaultWindowMenu;
}
void WAPI_SetDefaultWindowMenu(HMENU menu) {
  gDefaultWindowMenu = menu;
}
HMENU WAPI_GetDefaultModalWindowMenu() {
  return gDefaultModalWindowMenu;
}
void WAPI_SetDefaultModalWindowMenu(HMENU menu) {
  gDefaultModalWindowMenu = menu;
}

// ---- Validity and frame rebuilds ----

bool IsWindowImpl(NSView* find, NSView* search) {
  for (NSView* v : search->subviews())
    if (v == find) return true;
  for (NSView* v : search->subviews())
    if (IsWindowImpl(find, v)) return true;
  return false;
}

LONG_PTR wapiRebuildFrameForStyle(NSView* content, LONG_PTR style) {
  NSWindow* old = content->window();
  const NSUInteger mask = old->styleMask();
  const LONG_PTR current = (mask & kTitled) ? (WS_CAPTION | ((mask & kResizable) ? LONG_PTR(WS_THICKFRAME) : LONG_PTR(0))) : 0;
  if (current == (style & (WS_CAPTION | WS_THICKFRAME))) return 0;
  const HWND h = wapiHandle(content);
  const bool visible = IsWindowVisible(h);
  NSWindow* parentWindow = old->parentWindow();
  char title[2048];
  GetDlgItemText(h, 0, title, sizeof title);
  const NSRect frame = old->frame();
  auto* oldTop = dynamic_cast<WapiOwnerWindow*>(old);
  NSObject* owner = oldTop ? oldTop->wapiGetOwner() : nullptr;
  const NSInteger level = old->level();
  const unsigned styleMask = !(style & WS_CAPTION) ? 0 : (style & WS_THICKFRAME) ? 15 : 1;

  old->retain();
  content->retain();
  replaceContentWithEmptyView(old);
  auto* fresh = wapiAs<NSWindow>(wapiObject(WAPI_CreateModelessFrameForWindow(h, wapiHandle(owner), styleMask)));
  if (!fresh) {
    old->setContentView(content);
    content->release();
    old->release();
    return 0;
  }
  content->release();
  auto* freshTop = dynamic_cast<WapiOwnerWindow*>(fresh);
  if (oldTop && freshTop) {
    OwnedWindowListRec** from = oldTop->wapiGetOwnerWindowHead();
    *freshTop->wapiGetOwnerWindowHead() = *from;
    *from = nullptr;
    for (OwnedWindowListRec* r = *freshTop->wapiGetOwnerWindowHead(); r; r = r->next)
      if (auto* owned = dynamic_cast<WapiOwnerWindow*>(r->window)) owned->wapiSetOwner(fresh);
  }
  const std::vector<NSWindow*> children = old->childWindows();
  for (NSWindow* child : children) {
    child->retain();
    old->removeChildWindow(child);
    fresh->addChildWindow(child, NSWindowAbove);
    child->release();
  }
  if (parentWindow) parentWindow->addChildWindow(fresh, NSWindowAbove);
  if (title[0]) SetDlgItemText(h, 0, title);
  fresh->setFrame(frame, visible);
  fresh->setLevel(level);
  if (visible) ShowWindow(wapiHandle(fresh), SW_SHOW);
  DestroyWindow(wapiHandle(old));
  old->release();
  return 0;
}

HWND wapiSetParentFromTopLevel(NSView* content, HWND parent) {
  NSView* to = wapiViewOf(wapiObject(parent));
  // A view cannot move into its own tree.
  if (!to || to->isDescendantOf(content)) return nullptr;
  const HWND h = wapiHandle(content);
  char title[2048];
  GetDlgItemText(h, 0, title, sizeof title);
  NSWindow* old = content->window();
  auto* oldTop = dynamic_cast<WapiOwnerWindow*>(old);
  if (auto* layer = wapiAs<Wapi_vQOR_hwnd>(content))
    layer->wapiSetLastTopLevelOwner(oldTop ? oldTop->wapiGetOwner() : nullptr);
  old->retain();
  content->retain();
  replaceContentWithEmptyView(old);
  to->addSubview(content);
  content->release();
  DestroyWindow(wapiHandle(old));
  old->release();
  if (title[0]) SetDlgItemText(h, 0, title);
  return wapiHandle(to);
}

HWND wapiSetParentToTopLevel(NSView* child) {
  const HWND h = wapiHandle(child);
  char title[2048];
  GetDlgItemText(h, 0, title, sizeof title);
  child->retain();
  child->removeFromSuperview();
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(child);
  const unsigned flags = layer ? layer->wapiCreateWindowFlags() : 15;
  NSWindow* owner = nullptr;
  if (NSObject* remembered = layer ? layer->wapiLastTopLevelOwner() : nullptr) {
    for (NSWindow* w : NSApp->windows())
      if (w == remembered || w->contentView() == remembered) {
        owner = w;
        break;
      }
  }
  if (auto* w = wapiAs<NSWindow>(wapiObject(WAPI_CreateModelessFrameForWindow(h, wapiHandle(owner), flags))))
    w->display();
  child->release();
  if (title[0]) SetDlgItemText(h, 0, title);
  return nullptr;
}
