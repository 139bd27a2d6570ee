// The window half of the Windows-style layer: window handles, messages and their dispatch,
// window longs, dialog items, showing, destroying, properties and the window queries.
// Main (user-interface) thread only.
#pragma once

#include "kit/wapi/wapi-types.h"

#include <cstdint>

// A window handle is the address of a platform view or window object. Every function resolves
// it against the platform's set of live objects first: null, foreign and stale handles give
// the neutral answer.
typedef struct WAPI_HWND__* HWND;
typedef struct WAPI_HMENU__* HMENU;
typedef uint32_t UINT;
// Pointer-sized: they carry records, controls and creation parameters.
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef intptr_t LONG_PTR;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef LRESULT (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef BOOL (*PROPENUMPROCEX)(HWND, const char* name, void* value, LPARAM);

// Packed values are formed in 32-bit unsigned arithmetic, then sign-extended.
#define MAKELONG(lo, hi) ((LPARAM)(int32_t)(((uint32_t)(uint16_t)(lo)) | (((uint32_t)(uint16_t)(hi)) << 16)))
#define MAKELPARAM(lo, hi) MAKELONG(lo, hi)
#define MAKEWPARAM(lo, hi) ((WPARAM)(uint32_t)MAKELONG(lo, hi))
#define LOWORD(v) ((uint16_t)((uintptr_t)(v)&0xFFFF))
#define HIWORD(v) ((uint16_t)(((uintptr_t)(v) >> 16) & 0xFFFF))
#define GET_X_LPARAM(v) ((int)(short)LOWORD(v))
#define GET_Y_LPARAM(v) ((int)(short)HIWORD(v))

enum : UINT {
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_SIZE = 0x0005,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_ERASEBKGND = 0x0014,
  WM_SHOWWINDOW = 0x0018,
  WM_SETCURSOR = 0x0020,
  WM_MOUSEACTIVATE = 0x0021,
  WM_GETOBJECT = 0x003D,
  WM_NOTIFY = 0x004E,
  WM_CONTEXTMENU = 0x007B,
  WM_DISPLAYCHANGE = 0x007E,
  WM_NCCALCSIZE = 0x0083,
  WM_NCHITTEST = 0x0084,
  WM_NCPAINT = 0x0085,
  WM_NCRBUTTONUP = 0x00A5,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_INITDIALOG = 0x0110,
  WM_COMMAND = 0x0111,
  WM_TIMER = 0x0113,
  WM_HSCROLL = 0x0114,
  WM_GESTURE = 0x0119,
  WM_CTLCOLORBTN = 0x0135,
  WM_CTLCOLORDLG = 0x0136,
  WM_CTLCOLORSTATIC = 0x0138,
  WM_MOUSEMOVE = 0x0200,
  WM_RBUTTONUP = 0x0205,
  WM_MOUSEWHEEL = 0x020A,
  WM_MOUSEHWHEEL = 0x020E,
  WM_CAPTURECHANGED = 0x0215,
  WM_DROPFILES = 0x0233,
  WM_USER = 0x0400,

  BM_GETCHECK = 0x00F0,
  BM_SETCHECK = 0x00F1,
  BM_GETIMAGE = 0x00F6,
  BM_SETIMAGE = 0x00F7,
  CB_ADDSTRING = 0x0143,
  CB_INITSTORAGE = 0x0161,
  TBM_GETPOS = 0x0400,
  TBM_GETRANGEMIN = 0x0401,
  TBM_GETRANGEMAX = 0x0402,
  TBM_GETTIC = 0x0403,
  TBM_SETTIC = 0x0404,
  TBM_SETPOS = 0x0405,
  TBM_SETRANGE = 0x0406,
  // This layer's own numbers for the edit messages.
  EM_GETSEL = 0xF0B0,
  EM_SETSEL = 0xF0B1,
  EM_SETPASSWORDCHAR = 0xF0CC,
};

enum : int { HTNOWHERE = 0, HTCLIENT = 1 };
enum : int { EN_CHANGE = 0x0300 };
enum : int { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2 };
// The key answer that hands a key back to the platform.
enum : LRESULT { WAPI_KEY_NOT_HANDLED = 69 };
// WM_INITDIALOG's answer that focuses the dialog view itself.
enum : LRESULT { WAPI_INITDIALOG_FOCUS_SELF = 0xBEEF };

enum : int {
  GWL_WNDPROC = -4,
  DWL_DLGPROC = -8,
  GWL_ID = -12,
  GWL_STYLE = -16,
  GWL_EXSTYLE = -20,
  GWL_USERDATA = -21,
};
enum : LONG_PTR {
  WS_CHILD = 0x40000000,
  WS_CAPTION = 0x00C00000,
  WS_THICKFRAME = 0x00040000,
  WS_GROUP = 0x00020000,
  WS_EX_ACCEPTFILES = 0x10,
  BS_AUTOCHECKBOX = 3,
  BS_AUTO3STATE = 6,
  BS_AUTORADIOBUTTON = 9,
};
// What GWL_USERDATA reads on a plain platform text object, which has no user data.
enum : LONG_PTR { WAPI_NO_USERDATA = 0xDEADF00B };
// The layer's show commands.
enum : int { SW_HIDE = 0, SW_SHOWNA = 1, SW_SHOW = 2, SW_SHOWMINIMIZED = 3 };
enum : UINT { GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4, GW_CHILD = 5 };

// The 64-bit layout of the non-client size record: three rectangles and a pointer.
// What BeginPaint hands out: the paint context, the erase flag and the area being painted.
struct PAINTSTRUCT {
  HDC hdc;
  int fErase;
  RECT rcPaint;
};

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  void* lppos;
};

// One registered dialog resource. The create function builds the controls into the view.
struct WAPI_DialogResourceIndex {
  const char* resid;  // an integer id in a pointer, as Windows resource names are
  const char* title;
  int windowTypeFlags;  // 1 child view, 2 resizable, 4 flipped, 8 for the layout code, 0x10 opaque, 0x20 drops
  void (*createFunc)(HWND, int windowTypeFlags);
  int width, height;
  WAPI_DialogResourceIndex* _next;
};

// Conversions between UTF-8 C strings and platform strings. The platform string is a new
// CoreFoundation string the caller releases; it is never null (bad bytes become U+FFFD). The C
// string is always terminated and never ends inside a character; nothing is written for a
// size below 1.
typedef const struct __CFString* CFStringRef;
CFStringRef WAPI_CStringToCFString(const char* text);
void WAPI_CFStringToCString(CFStringRef str, char* buffer, int size);

// Dispatch.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT WapiDialogDefaultWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void WAPI_BroadcastMessage(UINT msg, WPARAM wParam, LPARAM lParam);
// Applies the dialog's static and button text colours to its platform controls.
void WAPI_DoDialogColorUpdates(HWND hwnd, DLGPROC proc, bool useDefault);

// Window API.
HWND GetDlgItem(HWND parent, int id);
LONG_PTR GetWindowLong(HWND hwnd, int index);
LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value);
BOOL IsWindowVisible(HWND hwnd);
BOOL GetDlgItemText(HWND hwnd, int id, char* buffer, int size);
BOOL SetDlgItemText(HWND hwnd, int id, const char* text);
BOOL SetDlgItemInt(HWND hwnd, int id, int value, bool isSigned);
int GetDlgItemInt(HWND hwnd, int id, bool* translated, bool isSigned);
void CheckDlgButton(HWND hwnd, int id, int state);
int IsDlgButtonChecked(HWND hwnd, int id);
void ShowWindow(HWND hwnd, int command);
void DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
void CenterWindow(HWND hwnd);
BOOL IsChild(HWND parent, HWND child);
int EnumPropsEx(HWND hwnd, PROPENUMPROCEX proc, LPARAM lParam);
void* GetProp(HWND hwnd, const char* name);
BOOL SetProp(HWND hwnd, const char* name, void* value);
void* RemoveProp(HWND hwnd, const char* name);
HWND FindWindowEx(HWND parent, HWND childAfter, const char* className, const char* windowName);

// Focus, parent and geometry queries.
HWND GetFocus();
void SetFocus(HWND hwnd);
HWND GetParent(HWND hwnd);
HWND GetWindow(HWND hwnd, UINT command);
void ScreenToClient(HWND hwnd, POINT* p);
BOOL ClientToScreen(HWND hwnd, POINT* p);
BOOL GetWindowRect(HWND hwnd, RECT* r);
HWND WindowFromPoint(POINT p);

// Geometry and stacking. A view inside a scroll view's clip view is represented by the scroll
// view; a window handle starts from its content view; other objects give null.
HWND WAPI_NavigateUpScrollClipViews(HWND hwnd);
// The content view's bounds on the screen for a window or its content view; else GetWindowRect.
void GetWindowContentViewRect(HWND hwnd, RECT* r);
enum : int { SWP_NOMOVE = 1, SWP_NOSIZE = 2, SWP_NOZORDER = 4 };
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)
// Moves, sizes (a negative height by its magnitude) and restacks among the siblings; windows
// are not restacked, and nothing moves above or below the view holding the mouse capture.
void SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, int flags);
// Moves a child view to another parent and answers the old one.
HWND SetParent(HWND hwnd, HWND parent);
// The screen (its work area when asked) around the source rectangle's centre; (0, 0, 1600,
// 1200) without screens.
void WAPI_GetViewPort(RECT* result, const RECT* source, bool workArea);
enum : int { SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21 };
int GetSystemMetrics(int index);
BOOL InvalidateRect(HWND hwnd, const RECT* r, BOOL erase = 1);

// Client area, painting and drawing contexts.
BOOL GetClientRect(HWND hwnd, RECT* r);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, PAINTSTRUCT* ps);
void UpdateWindow(HWND hwnd);
HDC GetDC(HWND hwnd);
HDC GetWindowDC(HWND hwnd);
void ReleaseDC(HWND hwnd, HDC hdc);

// The mouse capture: a record the views consult when routing mouse events.
HWND SetCapture(HWND hwnd);
void ReleaseCapture();
HWND GetCapture();

// Timers and the posted-message queue. Timers repeat until killed; an id of (UINT_PTR)-1 or
// 0xFFFFFFFF kills every timer of the window. From other threads, SetTimer, KillTimer and
// PostMessage are queued for the main thread once the queue exists.
typedef uintptr_t UINT_PTR;
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT intervalMs, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);
void WAPI_RunRunLoop(int ms);
void WAPI_RunRunLoopEx(int ms, HWND onlyTimersOf);
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void WAPI_Internal_PostMessage_Init();
BOOL WAPI_Internal_PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void WAPI_MessageQueue_Flush();
void WAPI_Internal_PMQ_ClearAllMessages(HWND hwnd);

// The application. Main thread.
// Sends the user-interface events waiting now (at most 100, none waited for past 1 ms).
void WAPI_RunEvents();
// Tells the application to quit; from then on g_wapi_terminating is 1.
void WAPI_PostQuitMessage(void* sender);
extern int g_wapi_terminating;
// Adds to the count of requests that keep the process out of idle throttling; an activity is
// held while the count is positive.
void WAPI_DisableAppNap(int delta);

// Focus, enabling, scrolling and closing.
void SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
// A text field and the field editor that edits it count as one.
BOOL IsEquivalentTextView(HWND a, HWND b);
void EnableWindow(HWND hwnd, BOOL enable);
// Moves every child by (dx, dy); the rectangles are not used.
BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip);
void WAPI_CloseWindow(HWND hwnd);
// Flushes the window of a clean view (or the window itself) unless a view still waits to draw.
void WAPI_FlushWindow(HWND hwnd);
void WAPI_HideApp();

// Modal runs: a token for the window of a view (or the window), one step at a time (true while
// it runs; the ending code goes to *result), and the end, which stops a run still going.
void* WAPI_ModalWindowStart(HWND hwnd);
bool WAPI_ModalWindowRun(void* token, int* result);
void WAPI_ModalWindowEnd(void* token);

// Dropped files: a global-memory block of a 16-byte header (offset of the name list, drop point,
// non-client flag) and zero-terminated names closed by an empty one. Only bytes inside the block
// are read.
BOOL DragQueryPoint(HANDLE drop, POINT* p);
// Index 0xFFFFFFFF counts the names; otherwise the length copied (or, without a buffer, the
// name's length); 0 past the list.
UINT DragQueryFile(HANDLE drop, UINT index, char* buffer, UINT size);
void DragFinish(HANDLE drop);

// The record sent with WM_GESTURE, in this platform's natural layout.
struct GESTUREINFO {
  UINT cbSize;
  DWORD dwFlags;
  DWORD dwID;
  HWND hwndTarget;
  int16_t ptsLocation[2];
  DWORD dwInstanceID;
  DWORD dwSequenceID;
  uint64_t ullArguments;
  UINT cbExtraArgs;
};
BOOL WAPI_GetGestureInfo(LPARAM lParam, GESTUREINFO* info);
