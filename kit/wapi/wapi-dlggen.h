// Controls from dialog descriptions: the current creation parameters, the control list of a
// dialog resource and the maker functions. Coordinates are dialog units unless both the width
// and the height are negative, which gives pixels (-x, -y, -w, -h). Main thread only.
#pragma once

#include "kit/wapi/wapi-window.h"

// One row of a control list: nine pointer-sized words. Layout A starts with one of the kind
// names ("__WAPI_BUTTON", "__WAPI_EDIT", "__WAPI_COMBO", "__WAPI_LISTBOX", "__WAPI_GROUP",
// "__WAPI_CHECKBOX", "__WAPI_LABEL"): kind, flag, text, id, x, y, w, h, style. Layout B: text,
// id, class name, style, x, y, w, h, extended style.
struct WAPI_DialogListRow {
  intptr_t w[9];
};

enum : LONG_PTR {
  WS_VSCROLL = 0x00200000,
  WS_HSCROLL = 0x00100000,
  ES_CENTER = 0x1,
  ES_RIGHT = 0x2,
  ES_PASSWORD = 0x20,
  ES_READONLY = 0x800,
  SS_CENTER = 0x1,
  SS_RIGHT = 0x2,
  SS_BLACKRECT = 0x4,
  SS_LEFTNOWORDWRAP = 0xC,
  SS_NOTIFY = 0x100,
  BS_OWNERDRAW = 11,
  BS_LEFTTEXT = 0x20,
  BS_LEFT = 0x100,
  BS_RIGHT = 0x200,
};
// The style bit that makes a control hidden at creation.
enum : uint32_t { WAPI_STYLE_HIDDEN = 0x80000000u };

// Scale and offset of dialog units, the owner view (a window stands for its content view),
// auto-right layout and size-to-fit, for every control made afterwards.
void WAPI_MakeSetCurParms(float xscale, float yscale, float xtrans, float ytrans, HWND parent, bool doAutoRight,
                          bool sizeToFit);
void WAPI_GenerateDialogFromList(const void* rows, int count);

// Each answers the control made into the owner (which holds it), or null when no owner is set
// or it has gone.
HWND WAPI_MakeButton(int isDefault, const char* text, int id, int x, int y, int w, int h, int style);
// A single-line field, a multi-line text view (WS_HSCROLL) or the scroll view holding one
// (WS_VSCROLL).
HWND WAPI_MakeEditField(int id, int x, int y, int w, int h, int style);
// Alignment below 0 left, 0 centre, above 0 right.
HWND WAPI_MakeLabel(int align, const char* text, int id, int x, int y, int w, int h, int style);
HWND WAPI_MakeCheckBox(const char* text, int id, int x, int y, int w, int h, int style);
HWND WAPI_MakeGroupBox(const char* text, int id, int x, int y, int w, int h, int style);
// By class name (case ignored): "Edit", "static", "Button", "VORHALhfader", "msctls_trackbar32";
// registered creators are asked first. Null for other classes.
HWND WAPI_MakeControl(const char* text, int id, const char* className, int style, int x, int y, int w, int h,
                      int exStyle);

// A creator gets pixel coordinates and answers the control it made, or null.
typedef HWND (*WAPI_CustomControlCreator)(HWND owner, const char* text, int id, const char* className, int style, int x,
                                          int y, int w, int h);
void WAPI_RegisterCustomControlCreator(WAPI_CustomControlCreator creator);
void WAPI_UnregisterCustomControlCreator(WAPI_CustomControlCreator creator);

// The layer's look option, read when buttons are made: 1 gives square shadowless bezels.
extern int g_wapi_want_nice_style;
