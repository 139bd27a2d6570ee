#include "QORDialogs.h"

#include "kit/wapi/wapi-dlggen.h"

WAPI_DialogResourceIndex* WAPI_curmodule_dialogresource_head = nullptr;

namespace
{

// The bank-name dialog's controls in dialog units, after the empty first row of the table.
const WAPI_DialogListRow kPatchSaveRows[] = {
    {{0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {{reinterpret_cast<intptr_t>("__WAPI_LABEL"), -1, reinterpret_cast<intptr_t>("Bank Name"), 0, 10, 10, 200, 8, 0}},
    {{reinterpret_cast<intptr_t>("__WAPI_EDIT"), 0, reinterpret_cast<intptr_t>(""), IDC_BANK_NAME, 10, 20, 200, 12,
      0x10000}},
    {{reinterpret_cast<intptr_t>("__WAPI_BUTTON"), 0, reinterpret_cast<intptr_t>("&Cancel"), IDCANCEL, 160, 60, 50, 14,
      0}},
    {{reinterpret_cast<intptr_t>("__WAPI_BUTTON"), 0, reinterpret_cast<intptr_t>("&OK    "), IDC_BANK_NAME_OK, 100, 60,
      50, 14, 0}},
};
const int kPatchSaveRowCount = int(sizeof kPatchSaveRows / sizeof kPatchSaveRows[0]);

void WAPI__dlg_cf__IDD_PATCH_SAVE(HWND parent, int flags)
{
    // Flag 8 asks for the controls at their designed sizes.
    WAPI_MakeSetCurParms(1.8f, 1.8f, 0, 0, parent, false, !(flags & 8));
    WAPI_GenerateDialogFromList(kPatchSaveRows + 1, kPatchSaveRowCount - 1);
}

WAPI_DialogResourceIndex gPatchSave = {reinterpret_cast<const char*>(intptr_t(IDD_PATCH_SAVE)),
                                       "Enter Bank Name",
                                       0xc,
                                       WAPI__dlg_cf__IDD_PATCH_SAVE,
                                       396,
                                       144,
                                       nullptr};

// Once per module, before main runs and before any lookup.
const bool kRegistered = [] {
    for (WAPI_DialogResourceIndex* r = WAPI_curmodule_dialogresource_head; r; r = r->_next)
        if (r == &gPatchSave) return true;
    gPatchSave._next = WAPI_curmodule_dialogresource_head;
    WAPI_curmodule_dialogresource_head = &gPatchSave;
    return true;
}();

} // namespace

void centerDialog(HWND parent, HWND dialog)
{
    RECT p, d;
    GetWindowRect(parent, &p);
    GetWindowRect(dialog, &d);
    // In 64 bits: the differences of far-apart edges may pass the int range.
    const int64_t pw = int64_t(p.right) - p.left, ph = int64_t(p.bottom) - p.top;
    const int64_t dw = int64_t(d.right) - d.left, dh = int64_t(d.bottom) - d.top;
    const int64_t x = p.left + pw / 2 - dw / 2;
    const int64_t y = p.top + ph / 2 - dh / 2;
    SetWindowPos(dialog, nullptr, int(x), int(y), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

LRESULT MessageBoxProg(HWND hwnd, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: CenterWindow(hwnd); return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) EndDialog(hwnd, 1);
        return 1;
    default: return 0;
    }
}

LRESULT showMessageBox(HWND parent, QOR* plugin, int resourceId, void*)
{
    return WAPI_DialogBox(WAPI_curmodule_dialogresource_head, resourceId, parent, MessageBoxProg,
                          reinterpret_cast<LPARAM>(plugin));
}
