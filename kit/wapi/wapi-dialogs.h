// Dialogs and top-level windows: the registered dialog resources, modeless dialogs (a child view
// in a parent or a window of their own), modal dialog boxes with their result, the owner of a
// window, and the menus a window shows while it is key. Main thread only.
#pragma once

#include "kit/wapi/wapi-window.h"

enum : UINT {
  WM_MOVE = 0x0003,
  WM_ACTIVATE = 0x0006,
  WM_GETMINMAXINFO = 0x0024,
  WM_INITMENUPOPUP = 0x0117,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDRETRY = 4, IDYES = 6, IDNO = 7 };

// What WM_GETMINMAXINFO carries: reserved, maximum size, maximum position, minimum and maximum
// tracking sizes.
struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

// The first resource of the list with that id, or null.
const WAPI_DialogResourceIndex* WAPI_FindDialogResource(const WAPI_DialogResourceIndex* head, int id);

// A modeless dialog: a child view when the resource says so (or, without a resource, when a parent
// view is given), else a window of its own that the caller shows. Ids 0x400000 to 0x40000F ask for
// a plain window without a resource: titled, closable unless bit 4, miniaturizable unless bit 2,
// resizable with bit 1. Null for an unregistered id.
HWND WAPI_CreateDialog(const WAPI_DialogResourceIndex* head, int id, HWND parent, DLGPROC proc, LPARAM param);
// Runs the dialog modally; the value given to EndDialog, 0 when none was, -1 for an unknown or a
// child resource.
LRESULT WAPI_DialogBox(const WAPI_DialogResourceIndex* head, int id, HWND parent, DLGPROC proc, LPARAM param);
void EndDialog(HWND hwnd, LRESULT result);
// A window of its own around an existing view (which becomes its content view); null on failure.
HWND WAPI_CreateModelessFrameForWindow(HWND view, HWND owner, unsigned int styleMask);

// The menu bar shown while a layer window whose view has no menu is key, and while a dialog box is.
HMENU WAPI_GetDefaultWindowMenu();
void WAPI_SetDefaultWindowMenu(HMENU menu);
HMENU WAPI_GetDefaultModalWindowMenu();
void WAPI_SetDefaultModalWindowMenu(HMENU menu);
// When set, owned windows float above their owner while the application is active.
extern int WAPI_owned_windows_levelincrease;

// Common dialogs. The next file dialog puts the template's dialog (a child resource) into its
// panel, then forgets the template; one without both id and procedure stays unused.
void BrowseFile_SetTemplate(int dialogId, DLGPROC proc, const WAPI_DialogResourceIndex* head);
// Extension lists: description and pattern-list pairs of zero-terminated strings ending with an
// empty description ("Banks\0*.syx;*.mid\0\0"). A chosen path must fit 2047 bytes and the buffer:
// else, as on cancel, false (or null).
bool BrowseForSaveFile(const char* title, const char* initialDir, const char* initialFile, const char* extensions,
                       char* result, int size);
bool BrowseForDirectory(const char* title, const char* initialDir, char* result, int size);
// A list the caller frees with free(): one path and two zero bytes, or with several chosen a zero
// byte, each path and its zero byte, and a final zero byte. Null on cancel.
char* BrowseForFiles(const char* title, const char* initialDir, const char* initialFile, bool allowMultiple,
                     const char* extensions);
// Types 0 (OK), 1 (OK, Cancel), 3 (Yes, Cancel, No), 4 (Yes, No), 5 (Retry, Cancel); any other
// shows nothing and answers 0. The owner is not used.
int MessageBox(HWND owner, const char* text, const char* caption, int type);
