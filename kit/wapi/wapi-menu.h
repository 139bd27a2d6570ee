// Menus: the menu handle over the platform's menus, items by command id or position, checked,
// greyed, item data and keyboard equivalents, the menu bar of a window, popup menus and menus
// built from lists and resources. Main thread only.
#pragma once

#include "kit/wapi/wapi-dialogs.h"

// The item record of the item-info calls. cbSize is sizeof(MENUITEMINFO) and not checked.
struct MENUITEMINFO {
  UINT cbSize;
  UINT fMask;
  UINT fType;
  UINT fState;
  UINT wID;
  HMENU hSubMenu;
  void* hbmpChecked;
  void* hbmpUnchecked;
  uintptr_t dwItemData;
  char* dwTypeData;  // the text, or an icon handle for an image item
  UINT cch;          // the text buffer's size for GetMenuItemInfo
};

// This layer's numbers.
enum : UINT {
  MIIM_ID = 1,
  MIIM_STATE = 2,
  MIIM_TYPE = 4,
  MIIM_SUBMENU = 8,
  MIIM_DATA = 16,
  MFT_STRING = 0,
  MFT_BITMAP = 4,
  MFT_SEPARATOR = 0x800,
  MFS_GRAYED = 3,
  MFS_CHECKED = 8,
  MF_GRAYED = 1,
  MF_DISABLED = 2,
  MF_BITMAP = 4,
  MF_CHECKED = 8,
  MF_POPUP = 0x10,
  MF_BYPOSITION = 0x400,
  MF_SEPARATOR = 0x800,
  TPM_NONOTIFY = 0x80,
  TPM_RETURNCMD = 0x100,
};
// Keyboard-equivalent modifiers: 32 is the Control key.
enum : int { FVIRTKEY = 1, FSHIFT = 4, FCONTROL = 8, FALT = 16, FLWIN = 32 };

// A row of WAPI_GenerateMenuFromList: "/.BO^O:" and a title open a submenu, "EN%%%^:" closes it,
// null is a separator; ids of 0x10000 or more are greyed.
struct WAPI_MenuListRow {
  const char* text;
  int id;
};
// One registered menu resource.
struct WAPI_MenuResourceIndex {
  const char* resid;  // an integer id in a pointer
  void (*createFunc)(HMENU menu);
  WAPI_MenuResourceIndex* _next;
};

HMENU CreatePopupMenu();
HMENU CreatePopupMenuEx(const char* title);
void DestroyMenu(HMENU menu);
HMENU WAPI_DuplicateMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuItemID(HMENU menu, int position);
int AddMenuItem(HMENU menu, int position, const char* name, int id);
void WAPI_Menu_AddMenuItem(HMENU menu, const char* name, int id, int flags);
void WAPI_InsertMenu(HMENU menu, int position, unsigned int flags, UINT_PTR idOrSubmenu, const char* text);
void InsertMenuItem(HMENU menu, int position, BOOL byPosition, MENUITEMINFO* info);
BOOL SetMenuItemInfo(HMENU menu, int index, BOOL byPosition, MENUITEMINFO* info);
BOOL GetMenuItemInfo(HMENU menu, int index, BOOL byPosition, MENUITEMINFO* info);
bool SetMenuItemText(HMENU menu, int index, int flags, const char* text);
bool EnableMenuItem(HMENU menu, int index, int flags);
bool CheckMenuItem(HMENU menu, int index, int flags);
bool SetMenuItemModifier(HMENU menu, int index, int flags, int key, int modifiers);
bool DeleteMenu(HMENU menu, int index, int flags);
// Routes the menu's commands (items with a non-zero id) to the destination's onWapiCommand:.
void WAPI_SetMenuDestination(HMENU menu, HWND destination);
int TrackPopupMenu(HMENU menu, int flags, int x, int y, int reserved, HWND hwnd, const RECT* r);
int WAPI_GenerateMenuFromList(HMENU menu, const WAPI_MenuListRow* rows, int count);
HMENU WAPI_LoadMenu(const WAPI_MenuResourceIndex* head, int id);
BOOL SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
HMENU WAPI_GetCurrentMenu();
void WAPI_SetCurrentMenu(HMENU menu);
void DrawMenuBar(HWND hwnd);
