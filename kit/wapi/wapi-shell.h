// Window appearance and shell services: levels and the raise amount, opacity and shadow, the
// represented file, the default button's id, child enumeration, natural control sizes, class
// tests and opening documents, folders, addresses and applications.
#pragma once

#include "kit/wapi/wapi-internal.h"

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
