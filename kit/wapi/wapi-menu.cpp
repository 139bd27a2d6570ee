// Menus over the platform's menus: an HMENU is a Wapi_vQOR_menu, its items NSMenuItems whose tag,
// title, state, enabled flag, submenu, represented object, image and key equivalent carry what a
// Windows menu item holds. Popups report their choice through a receiver of their own.
#include "kit/wapi/wapi-menu.h"

#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-gdi.h"

#include <cstring>
#include <string>

namespace {

class Wapi_vQOR_menu : public NSMenu {
  NS_STANDIN_CLASS(Wapi_vQOR_menu)

 public:
  Wapi_vQOR_menu() = default;
};

// The receiver of one popup: the command chosen and the window told of submenus.
class Wapi_vQOR_trackpopupmenurecv : public NSObject {
  NS_STANDIN_CLASS(Wapi_vQOR_trackpopupmenurecv)

 public:
  Wapi_vQOR_trackpopupmenurecv() = default;
  Wapi_vQOR_trackpopupmenurecv* initWithWnd(HWND hwnd) {
    mHwnd = hwnd;
    return this;
  }
  int isCommand() const { return mCommand; }
  int mCommand = 0;
  HWND mHwnd = nullptr;
};

}  // namespace

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_menu, NSMenu)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_trackpopupmenurecv, NSObject)

namespace {

SEL commandSelector() {
  return sel_registerName("onWapiCommand:");
}

NSMenu* menuOf(HMENU m) {
  return wapiAs<NSMenu>(wapiObject(reinterpret_cast<HWND>(m)));
}
HMENU handleOf(const NSMenu* m) {
  return reinterpret_cast<HMENU>(const_cast<NSMenu*>(m));
}

NSMenu* newMenu() {
  auto* m = static_cast<NSMenu*>(Wapi_vQOR_menu::class_()->alloc());
  m->init();
  m->setAutoenablesItems(false);
  return m;
}

// The title rule: up to a TAB, mnemonic ampersands dropped, at most 1023 bytes.
NSString* titleOf(const char* text) {
  return wapiNSString(wapiStripAmpersands(text, 1023, true).c_str());
}

// By position in this menu, or by command id here and then in the submenus, depth first.
NSMenuItem* findItem(NSMenu* menu, int index, bool byPosition) {
  if (!menu) return nullptr;
  if (byPosition) return menu->itemAtIndex(index);
  if (NSMenuItem* item = menu->itemWithTag(index)) return item;
  for (NSInteger i = 0; i < menu->numberOfItems(); ++i)
    if (NSMenuItem* found = findItem(menu->itemAtIndex(i)->submenu(), index, false)) return found;
  return nullptr;
}

// Takes over the caller's reference: the parent owns the submenu from here on.
void attachSubmenu(NSMenu* parent, NSMenuItem* item, NSMenu* sub) {
  parent->setSubmenu(sub, item);
  sub->release();
}

void setItemData(NSMenuItem* item, uintptr_t value) {
  auto* holder = static_cast<Wapi_vQOR_sdh*>(Wapi_vQOR_sdh::class_()->alloc());
  holder->init(value);
  item->setRepresentedObject(holder);
  holder->release();
}

void setTitleWithSubmenu(NSMenuItem* item, const char* text) {
  NSString* title = titleOf(text);
  item->setTitle(title);
  if (NSMenu* sub = item->submenu()) sub->setTitle(title);
}

std::string utf8Of(uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s.push_back(char(cp));
  } else if (cp < 0x800) {
    s.push_back(char(0xC0 | (cp >> 6)));
    s.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    s.push_back(char(0xE0 | (cp >> 12)));
    s.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(char(0x80 | (cp & 0x3F)));
  }
  return s;
}

// The platform character of a virtual key, 0 for none.
uint32_t keyCharacter(int key, int modifiers) {
  static const unsigned char kPunctuation[] = {0x21, 0x22, 0x27, 0x2C, 0x2E, 0x2F, 0x3F, 0x5B, 0x5D, 0x5C, 0x7C};
  bool plain = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
  if (!plain && !(modifiers & FVIRTKEY) && key > 0 && key < 0x80)
    plain = std::memchr(kPunctuation, key, sizeof kPunctuation) != nullptr;
  if (plain) {
    uint32_t c = uint32_t(key) & 0x7F;
    if (!(modifiers & FSHIFT) && c >= 'A' && c <= 'Z') c += 'a' - 'A';
    return c;
  }
  if (key >= 0x70 && key <= 0x7B) return uint32_t(key) + 0xF694;  // F1..F12
  static const struct {
    int key;
    uint32_t character;
  } kKeys[] = {{0x08, 0x08},   {0x21, 0xF72C}, {0x22, 0xF72D}, {0x23, 0xF72B}, {0x24, 0xF729}, {0x25, 0xF702},
               {0x26, 0xF700}, {0x27, 0xF703}, {0x28, 0xF701}, {0x2D, 0xF727}, {0x2E, 0x7F},   {0x6D, 0x2D}};
  for (const auto& k : kKeys)
    if (k.key == key) return k.character;
  return 0;
}

NSObject* OnCommand(NSObject* self, SEL, NSObject* sender) {
  auto* item = wapiAs<NSMenuItem>(sender);
  if (item && item->tag()) static_cast<Wapi_vQOR_trackpopupmenurecv*>(self)->mCommand = int(item->tag());
  return nullptr;
}

NSObject* OnMenuNeedsUpdate(NSObject* self, SEL, NSObject* menu) {
  auto* receiver = static_cast<Wapi_vQOR_trackpopupmenurecv*>(self);
  if (!receiver->mHwnd) return nullptr;
  SendMessage(receiver->mHwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  WAPI_SetMenuDestination(reinterpret_cast<HMENU>(menu), wapiHandle(receiver));
  return nullptr;
}

[[maybe_unused]] const bool kReceiverMethods = [] {
  Wapi_vQOR_trackpopupmenurecv::class_()->addMethod(commandSelector(), &OnCommand);
  Wapi_vQOR_trackpopupmenurecv::class_()->addMethod(sel_registerName("menuNeedsUpdate:"), &OnMenuNeedsUpdate);
  return true;
}();

}  // namespace

HMENU CreatePopupMenu() {
  return handleOf(newMenu());
}

HMENU CreatePopupMenuEx(const char* title) {
  NSMenu* m = newMenu();
  if (title) m->setTitle(titleOf(title));
  return handleOf(m);
}

void DestroyMenu(HMENU menu) {
  NSMenu* m = menuOf(menu);
  if (!m) return;
  WAPI_SetMenuDestination(menu, nullptr);
  m->release();
}

HMENU WAPI_DuplicateMenu(HMENU menu) {
  NSMenu* m = menuOf(menu);
  return m ? handleOf(m->copy()) : nullptr;
}

int GetMenuItemCount(HMENU menu) {
  NSMenu* m = menuOf(menu);
  return m ? int(m->numberOfItems()) : 0;
}

HMENU GetSubMenu(HMENU menu, int position) {
  NSMenuItem* item = findItem(menuOf(menu), position, true);
  return item ? handleOf(item->submenu()) : nullptr;
}

int GetMenuItemID(HMENU menu, int position) {
  NSMenuItem* item = findItem(menuOf(menu), position, true);
  if (!item) return 0;
  return item->hasSubmenu() ? -1 : int(item->tag());
}

int AddMenuItem(HMENU menu, int position, const char* name, int id) {
  NSMenu* m = menuOf(menu);
  if (!m) return -1;
  auto* item = static_cast<NSMenuItem*>(NSMenuItem::class_()->alloc());
  item->initWithTitle(wapiNSString(name), nullptr, wapiNSString(""));
  item->setTag(id);
  item->setEnabled(true);
  m->insertItem(item, position);
  item->release();
  return 0;
}

void WAPI_Menu_AddMenuItem(HMENU menu, const char* name, int id, int flags) {
  MENUITEMINFO info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
  info.fType = name ? UINT(MFT_STRING) : UINT(MFT_SEPARATOR);
  info.fState = flags ? UINT(MFS_GRAYED) : 0u;
  info.wID = UINT(id);
  info.dwTypeData = const_cast<char*>(name);
  InsertMenuItem(menu, GetMenuItemCount(menu), 1, &info);
}

void WAPI_InsertMenu(HMENU menu, int position, unsigned int flags, UINT_PTR idOrSubmenu, const char* text) {
  MENUITEMINFO info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
  info.fType = MFT_STRING;
  info.fState = flags & ~UINT(MF_BYPOSITION);
  info.wID = UINT(idOrSubmenu);
  info.dwTypeData = const_cast<char*>(text);
  if (flags & MF_POPUP) {
    info.hSubMenu = reinterpret_cast<HMENU>(idOrSubmenu);
    info.wID = 0;
    info.fMask |= MIIM_SUBMENU;
    info.fState &= ~UINT(MF_POPUP);
  }
  if (flags & MF_SEPARATOR) {
    info.fMask = MIIM_TYPE;
    info.fType = MFT_SEPARATOR;
    info.fState &= ~0xC00u;
  } else if (flags & MF_BITMAP) {
    info.fType = MFT_BITMAP;
    info.fState &= ~UINT(MF_BITMAP);
  }
  InsertMenuItem(menu, position, (flags & MF_BYPOSITION) != 0, &info);
}

void InsertMenuItem(HMENU menu, int position, BOOL byPosition, MENUITEMINFO* info) {
  NSMenu* m = menuOf(menu);
  if (!m || !info) return;
  const NSInteger count = m->numberOfItems();
  NSInteger at = byPosition ? position : m->indexOfItemWithTag(position);
  if (at < 0 || at > count) at = count;
  NSMenuItem* item;
  if (info->fType == MFT_BITMAP) {
    item = static_cast<NSMenuItem*>(NSMenuItem::class_()->alloc());
    item->initWithTitle(wapiNSString(""), nullptr, wapiNSString(""));
    auto* icon = reinterpret_cast<HGDIOBJ>(info->dwTypeData);
    if (auto* image = wapiAs<NSImage>(wapiObject(reinterpret_cast<HWND>(icon ? GetNSImageFromHICON(icon) : nullptr))))
      item->setImage(image);
  } else if (info->fType == MFT_STRING) {
    item = static_cast<NSMenuItem*>(NSMenuItem::class_()->alloc());
    item->initWithTitle(info->dwTypeData ? titleOf(info->dwTypeData) : wapiNSString("(null)"), nullptr,
                        wapiNSString(""));
  } else {
    item = static_cast<NSMenuItem*>(NSMenuItem::separatorItem()->retain());
  }
  m->insertItem(item, at);
  item->release();
  NSMenu* sub = (info->fMask & MIIM_SUBMENU) ? menuOf(info->hSubMenu) : nullptr;
  if (sub) {
    if (info->fType == MFT_STRING) sub->setTitle(item->title());
    attachSubmenu(m, item, sub);
  }
  if (count == 0) m->setAutoenablesItems(false);
  item->setEnabled(true);
  if (info->fMask & MIIM_STATE) {
    if (info->fState & MFS_GRAYED) item->setEnabled(false);
    if (info->fState & MFS_CHECKED) item->setState(NSOnState);
  }
  if (info->fMask & MIIM_DATA)
    setItemData(item, info->dwItemData);
  else
    item->setRepresentedObject(nullptr);
  if (info->fMask & MIIM_ID) item->setTag(NSInteger(int(info->wID)));
  // An item added to a routed menu is routed as well.
  NSMenuItem* first = m->itemAtIndex(0);
  if (first && first != item) {
    if (first->action()) item->setAction(first->action());
    if (first->target()) item->setTarget(first->target());
  }
}

BOOL SetMenuItemInfo(HMENU menu, int index, BOOL byPosition, MENUITEMINFO* info) {
  NSMenuItem* item = info ? findItem(menuOf(menu), index, byPosition) : nullptr;
  if (!item) return 0;
  if ((info->fMask & MIIM_SUBMENU) && menuOf(info->hSubMenu)) attachSubmenu(item->menu(), item, menuOf(info->hSubMenu));
  if ((info->fMask & MIIM_TYPE) && info->fType == MFT_STRING && info->dwTypeData)
    setTitleWithSubmenu(item, info->dwTypeData);
  if (info->fMask & MIIM_STATE) {
    item->setState((info->fState & MFS_CHECKED) ? NSOnState : NSOffState);
    item->setEnabled(!(info->fState & MFS_GRAYED));
  }
  if (info->fMask & MIIM_ID) item->setTag(NSInteger(int(info->wID)));
  if (info->fMask & MIIM_DATA) setItemData(item, info->dwItemData);
  return 1;
}

BOOL GetMenuItemInfo(HMENU menu, int index, BOOL byPosition, MENUITEMINFO* info) {
  NSMenuItem* item = info ? findItem(menuOf(menu), index, byPosition) : nullptr;
  if (!item) return 0;
  if (info->fMask & MIIM_TYPE) {
    info->fType = item->isSeparatorItem() ? MFT_SEPARATOR : MFT_STRING;
    if (!item->isSeparatorItem() && info->dwTypeData && info->cch)
      wapiNSStringToCString(item->title(), info->dwTypeData, int(info->cch));
  }
  if (info->fMask & MIIM_DATA) {
    auto* holder = wapiAs<Wapi_vQOR_sdh>(item->representedObject());
    info->dwItemData = holder ? holder->getValue() : 0;
  }
  if (info->fMask & MIIM_STATE)
    info->fState = (item->state() == NSOnState ? UINT(MFS_CHECKED) : 0u) | (item->isEnabled() ? 0u : UINT(MFS_GRAYED));
  if (info->fMask & MIIM_ID) info->wID = UINT(item->tag());
  if ((info->fMask & MIIM_SUBMENU) && item->submenu()) info->hSubMenu = handleOf(item->submenu());
  return 1;
}

bool SetMenuItemText(HMENU menu, int index, int flags, const char* text) {
  NSMenuItem* item = findItem(menuOf(menu), index, (flags & MF_BYPOSITION) != 0);
  if (!item) return false;
  setTitleWithSubmenu(item, text);
  return true;
}

bool EnableMenuItem(HMENU menu, int index, int flags) {
  NSMenuItem* item = findItem(menuOf(menu), index, (flags & MF_BYPOSITION) != 0);
  if (!item) return false;
  item->setEnabled(!(flags & MF_GRAYED));
  return true;
}

bool CheckMenuItem(HMENU menu, int index, int flags) {
  NSMenuItem* item = findItem(menuOf(menu), index, (flags & MF_BYPOSITION) != 0);
  if (!item) return false;
  item->setState((flags & MF_CHECKED) ? NSOnState : NSOffState);
  return true;
}

bool SetMenuItemModifier(HMENU menu, int index, int flags, int key, int modifiers) {
  NSMenuItem* item = findItem(menuOf(menu), index, (flags & MF_BYPOSITION) != 0);
  if (!item) return false;
  const uint32_t c = keyCharacter(key, modifiers);
  NSUInteger mask = 0;
  if (modifiers & FCONTROL) mask |= 0x100000;
  if (modifiers & FALT) mask |= 0x80000;
  if (modifiers & FLWIN) mask |= 0x40000;
  // A shifted letter is its capital, without the Shift bit.
  if ((modifiers & FSHIFT) && !(key >= 'A' && key <= 'Z')) mask |= 0x20000;
  item->setKeyEquivalent(wapiNSString(c ? utf8Of(c).c_str() : ""));
  item->setKeyEquivalentModifierMask(mask);
  return true;
}

bool DeleteMenu(HMENU menu, int index, int flags) {
  NSMenuItem* item = findItem(menuOf(menu), index, (flags & MF_BYPOSITION) != 0);
  if (!item) return false;
  NSMenu* holder = item->menu();
  if (NSMenu* sub = item->submenu()) {
    WAPI_SetMenuDestination(handleOf(sub), nullptr);
    holder->setSubmenu(nullptr, item);
  }
  holder->removeItem(item);
  return true;
}

void WAPI_SetMenuDestination(HMENU menu, HWND destination) {
  NSMenu* m = menuOf(menu);
  if (!m) return;
  NSObject* to = wapiObject(destination);
  if (destination && (!to || !to->respondsToSelector(commandSelector()))) return;
  m->setDelegate(to);
  for (NSInteger i = 0; i < m->numberOfItems(); ++i) {
    NSMenuItem* item = m->itemAtIndex(i);
    if (NSMenu* sub = item->submenu()) {
      WAPI_SetMenuDestination(handleOf(sub), destination);
    } else if (item->tag()) {
      item->setTarget(to);
      if (to) item->setAction(commandSelector());
    }
  }
}

int TrackPopupMenu(HMENU menu, int flags, int x, int y, int, HWND hwnd, const RECT*) {
  NSMenu* m = menuOf(menu);
  if (!m) return 0;
  NSObject* o = wapiObject(hwnd);
  NSView* view = wapiViewOf(o);
  if (!hwnd) view = NSApp->keyWindow() ? NSApp->keyWindow()->contentView() : nullptr;
  if (!view) return 0;
  NSWindow* w = view->window();
  NSPoint at = NSMakePoint(x, y);
  if (w) at = NSMakePoint(at.x - w->frame().origin.x, at.y - w->frame().origin.y);
  NSEvent* event = NSEvent::otherEventWithType(NSApplicationDefined, NSMakePoint(at.x, at.y - 4), 0, 0,
                                               w ? w->windowNumber() : 0, nullptr, 0, 0, 0);
  const bool notify = !(flags & TPM_NONOTIFY);
  auto* receiver = static_cast<Wapi_vQOR_trackpopupmenurecv*>(Wapi_vQOR_trackpopupmenurecv::class_()->alloc());
  receiver->initWithWnd(notify ? hwnd : nullptr);
  m->retain();
  view->retain();
  WAPI_SetMenuDestination(menu, wapiHandle(receiver));
  if (notify && hwnd) {
    SendMessage(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    WAPI_SetMenuDestination(menu, wapiHandle(receiver));  // the handler may have added items
  }
  NSMenu::popUpContextMenu(m, event, view);
  const int command = receiver->isCommand();
  WAPI_SetMenuDestination(menu, nullptr);
  receiver->release();
  view->release();
  m->release();
  if (command <= 0) return 0;
  if (flags & TPM_RETURNCMD) return command;
  if (!hwnd) return 1;
  SendMessage(hwnd, WM_COMMAND, WPARAM(command), 0);
  return 1;
}

int WAPI_GenerateMenuFromList(HMENU menu, const WAPI_MenuListRow* rows, int count) {
  static const char kSubmenu[] = "/.BO^O:";
  static const char kEnd[] = "EN%%%^:";
  int used = 0;
  while (used < count && rows) {
    const WAPI_MenuListRow& row = rows[used];
    MENUITEMINFO info{};
    info.cbSize = sizeof info;
    if (!row.text) {
      info.fMask = MIIM_TYPE;
      info.fType = MFT_SEPARATOR;
      info.wID = UINT(-1);
      ++used;
    } else if (std::strcmp(row.text, kEnd) == 0) {
      return used + 1;
    } else if (std::strncmp(row.text, kSubmenu, 7) == 0) {
      HMENU sub = CreatePopupMenuEx(row.text + 7);
      used += 1 + WAPI_GenerateMenuFromList(sub, rows + used + 1, count - used - 1);
      info.fMask = MIIM_STATE | MIIM_TYPE | MIIM_SUBMENU;
      info.hSubMenu = sub;
      info.dwTypeData = const_cast<char*>(row.text + 7);
    } else {
      info.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
      info.wID = UINT(row.id & 0xFFFF);
      info.fState = row.id >= 0x10000 ? UINT(MFS_GRAYED) : 0u;
      info.dwTypeData = const_cast<char*>(row.text);
      ++used;
    }
    InsertMenuItem(menu, GetMenuItemCount(menu), 1, &info);
  }
  return used;
}

HMENU WAPI_LoadMenu(const WAPI_MenuResourceIndex* head, int id) {
  for (const WAPI_MenuResourceIndex* r = head; r; r = r->_next) {
    if (reinterpret_cast<intptr_t>(r->resid) != intptr_t(id)) continue;
    HMENU menu = CreatePopupMenu();
    if (r->createFunc) r->createFunc(menu);
    return menu;
  }
  return nullptr;
}

void Wapi_vQOR_hwnd::wapiSetMenu(HMENU menu) {
  if (m_menu) WAPI_SetMenuDestination(m_menu, nullptr);
  m_menu = menu;
  if (menu) WAPI_SetMenuDestination(menu, wapiHandle(this));
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
  NSView* v = wapiViewOf(wapiObject(hwnd));
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(v);
  if (!layer || g_wapi_terminating) return 0;
  layer->wapiSetMenu(menu);
  if (!wapiIsContentView(layer)) return 1;
  NSWindow* w = layer->window();
  NSMenu* m = menuOf(menu);
  if (w == NSApp->keyWindow() && NSApp->mainMenu() != m) {
    NSApp->setMainMenu(m);
    if (m) SendMessage(wapiHandle(w), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  }
  return 1;
}

HMENU GetMenu(HWND hwnd) {
  auto* layer = wapiAs<Wapi_vQOR_hwnd>(wapiViewOf(wapiObject(hwnd)));
  return layer ? layer->wapiGetMenu() : nullptr;
}

HMENU WAPI_GetCurrentMenu() {
  return handleOf(NSApp->mainMenu());
}

void WAPI_SetCurrentMenu(HMENU menu) {
  if (NSMenu* m = menuOf(menu); m && !g_wapi_terminating) NSApp->setMainMenu(m);
}

void DrawMenuBar(HWND) {}
