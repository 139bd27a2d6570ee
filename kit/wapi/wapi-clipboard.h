// The clipboard over the platform pasteboards: formats registered by name (ids from 1), data
// set between opening and closing written to a pasteboard when the clipboard closes, data read
// into fresh memory handles that the clipboard frees at its next close. Text travels on the
// general pasteboard, every other format on the private pasteboard "WAPI_APP". Main thread only.
#pragma once

#include "kit/wapi/wapi.h"
#include "kit/wapi/wapi-window.h"

// The name that stands for text: its id is the text format.
#define WAPI_CF_TEXT_NAME "WAPI__CF_TEXT"

UINT RegisterClipboardFormat(const char* name);
// Always true; pending data not yet closed is dropped.
BOOL OpenClipboard(HWND owner);
void EmptyClipboard();
// The handle belongs to the clipboard from this call on.
void SetClipboardData(UINT format, HANDLE mem);
void CloseClipboard();
// The format after previous among those on the private pasteboard at the last open; the first
// for 0; 0 at the end or for a format not listed.
UINT EnumClipboardFormats(UINT previous);
// Valid until the next CloseClipboard; null without such data, for an unregistered id or for
// data past the size a memory handle holds.
HANDLE GetClipboardData(UINT format);
