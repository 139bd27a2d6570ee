// Window appearance and shell services: levels and the raise amount, opacity and shadow, the
// represented file, the default button's id, child enumeration, natural control sizes, class
// tests and opening documents, folders, addresses and applications.
#pragma once

#include "kit/wapi/wapi-internal.h"

#include <AppKit/AppKit.h>

int WAPI_GetWindowWantRaiseAmt(HWND hwnd);
void WAPI_SetWindowWantRaiseAmt(HWND hwnd, int amount);
// The previous level; 0 and nothing done for a handle that is no window.
int WAPI_SetWindowLevel(HWND hwnd, int level);
void SetOpaque(HWND hwnd, bool opaque);
void SetTransparent(HWND hwnd);
void WAPI_SetWindowShadow(HWND hwnd, bool on);
void WAPI_SetWindowRepre(HWND hwnd, const char* fileName, bool modified);
int WAPI_GetDefaultButtonID(HWND view, bool onlyEnabled);

typedef BOOL (*WNDENUMPROC)(HWND child, LPARAM lParam);
// Depth first, a parent before its children, over the children as they were when the walk
// began; false from the callback stops the whole walk with false.
BOOL EnumChildWindows(HWND hwnd, WNDENUMPROC proc, LPARAM lParam);
void WAPI_GetDesiredControlSize(HWND hwnd, RECT* out);
bool WAPI_IsGroupBox(HWND hwnd);
bool WAPI_IsButton(HWND hwnd);
bool WAPI_IsStaticText(HWND hwnd);
// "explorer.exe" opens the folder given as parameters, "notepad" opens in the text editor,
// texts beginning "http://" are addresses; names reach the workspace as one unchanged argument.
BOOL ShellExecute(HWND hwnd, const char* verb, const char* file, const char* parameters, const char* directory,
                  int showCommand);

// A translucent grey rectangle in a borderless window kept in *holder: moved when the parent
// window is the same, replaced for another, removed for a null rectangle.
void WAPI_DrawFocusRect(HWND parent, const RECT* rect, void** holder);
// Mouse events (types 1 to 7) go to the outermost layer view under the mouse that claims the
// point as non-client (WM_NCHITTEST other than 0 and 1); false when none does, or while the mouse
// is captured.
bool WAPI_HandleMouseEvent(NSEvent* event);
// 0 or below: the options at the first call; 1: auto-hide dock and menu bar; 2 or more: hide the
// dock, auto-hide the menu bar. False on systems before 10.6.
bool WAPI_SetAppAutoHideMenuAndDock(int mode);
