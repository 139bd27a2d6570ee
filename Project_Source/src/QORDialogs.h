#pragma once
// The editor's dialogs over the window layer: the bank-name entry dialog resource, centring a
// dialog on its parent and the simple message box. Main thread only.
#include "kit/wapi/wapi-dialogs.h"

class QOR;

enum : int {
    IDD_PATCH_SAVE = 10014,
    IDC_BANK_NAME = 10013,
    IDC_BANK_NAME_OK = 10006,
};

// The module's dialog resources, filled by static initialisation before any lookup.
extern WAPI_DialogResourceIndex* WAPI_curmodule_dialogresource_head;

// Moves the dialog, keeping its size and place in the window order, so that its centre lies on
// the parent's.
void centerDialog(HWND parent, HWND dialog);
// The procedure of a simple message box: centred when it opens, ended with 1 by the OK command.
LRESULT MessageBoxProg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the module's dialog resource of that id modally over the window with MessageBoxProg and
// the plug-in as its parameter; the dialog's result, -1 for an unregistered id.
LRESULT showMessageBox(HWND parent, QOR* plugin, int resourceId, void* unused);
