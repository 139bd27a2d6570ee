// The layer's view class and the helpers its window functions share. The platform's objects
// are C++ classes; what the platform asks by selector ("does the object implement this
// method?") the layer asks by the capability interfaces below, which its classes implement.
#pragma once

#include "kit/wapi/wapi-window.h"

#include <AppKit/AppKit.h>

// Answers layer messages (onWapiMessage:p1:p2:).
class WapiMessageTarget {
 public:
  virtual LRESULT onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~WapiMessageTarget() = default;
};

// Keeps user data (getWapiUserData, setWapiUserData:).
class WapiUserDataHolder {
 public:
  virtual LONG_PTR getWapiUserData() = 0;
  virtual void setWapiUserData(LONG_PTR value) = 0;

 protected:
  ~WapiUserDataHolder() = default;
};

// A view of the layer that keeps its own control id (tag() is the platform's, virtual already).
class WapiTagHolder {
 public:
  virtual void setTag(NSInteger tag) = 0;

 protected:
  ~WapiTagHolder() = default;
};

// The window record of a layer view: procedures, extra slots, extended style, text, properties.
class WapiWindowRecord : public WapiTagHolder {
 public:
  virtual WNDPROC getWapiWindowProc() = 0;
  virtual void setWapiWindowProc(WNDPROC proc) = 0;
  virtual DLGPROC getWapiDialogProc() = 0;
  virtual void setWapiDialogProc(DLGPROC proc) = 0;
  virtual LONG_PTR getWapiExtraData(int offset) = 0;
  virtual void setWapiExtraData(int offset, LONG_PTR value) = 0;
  virtual LONG_PTR wapiGetExtendedStyle() = 0;
  virtual void wapiSetExtendedStyle(LONG_PTR style) = 0;
  virtual const char* onWapiGetText() = 0;
  virtual void onWapiSetText(const char* text) = 0;
  virtual int wapiEnumProps(PROPENUMPROCEX proc, LPARAM lParam) = 0;
  virtual void* wapiGetProp(const char* name, bool remove) = 0;
  virtual int wapiSetProp(const char* name, void* value) = 0;

 protected:
  ~WapiWindowRecord() = default;
};

// One property: the name is an atom below 0x10000 or an owned copy of a string.
struct WindowPropRec {
  char* name;
  void* value;
  WindowPropRec* next;
};

enum : int { WAPI_EXTRA_SLOTS = 32 };

// The view behind every window and dialog of the layer.
class Wapi_vQOR_hwnd : public NSView, public WapiMessageTarget, public WapiUserDataHolder, public WapiWindowRecord {
  NS_STANDIN_CLASS(Wapi_vQOR_hwnd)

 public:
  Wapi_vQOR_hwnd() = default;
  ~Wapi_vQOR_hwnd() override;
  // Creates and attaches the view and its controls and sends WM_CREATE or WM_INITDIALOG.
  Wapi_vQOR_hwnd* initChild(const WAPI_DialogResourceIndex* res, NSObject* parent, DLGPROC proc, LPARAM param);

  LRESULT onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  WNDPROC getWapiWindowProc() override { return m_wndproc; }
  void setWapiWindowProc(WNDPROC proc) override { m_wndproc = proc; }
  DLGPROC getWapiDialogProc() override { return m_dlgproc; }
  void setWapiDialogProc(DLGPROC proc) override { m_dlgproc = proc; }
  LONG_PTR getWapiUserData() override { return m_userdata; }
  void setWapiUserData(LONG_PTR value) override { m_userdata = value; }
  LONG_PTR getWapiExtraData(int offset) override;
  void setWapiExtraData(int offset, LONG_PTR value) override;
  LONG_PTR wapiGetExtendedStyle() override { return m_supports_ddrop ? LONG_PTR(WS_EX_ACCEPTFILES) : 0; }
  void wapiSetExtendedStyle(LONG_PTR style) override { wapiSetAcceptsDrops((style & WS_EX_ACCEPTFILES) != 0); }
  // Takes dropped files or not: the view registers for the file types while it does.
  void wapiSetAcceptsDrops(bool on);
  NSInteger tag() const override { return m_tag; }
  void setTag(NSInteger tag) override { m_tag = int(tag); }
  const char* onWapiGetText() override { return m_titlestr; }
  void onWapiSetText(const char* text) override;
  int wapiEnumProps(PROPENUMPROCEX proc, LPARAM lParam) override;
  void* wapiGetProp(const char* name, bool remove) override;
  int wapiSetProp(const char* name, void* value) override;

  HMENU wapiGetMenu() const { return m_menu; }
  // Keeps the menu (without a reference of its own) and routes it to this view.
  void wapiSetMenu(HMENU menu);
  unsigned int wapiCreateWindowFlags() const { return m_create_windowflags; }
  void wapiSetCreateWindowFlags(unsigned int flags) { m_create_windowflags = flags; }
  // The owner of the window the view last left (SetParent); only compared, never read.
  NSObject* wapiLastTopLevelOwner() const { return m_lastTopLevelOwner; }
  void wapiSetLastTopLevelOwner(NSObject* owner) { m_lastTopLevelOwner = owner; }
  bool wapiCanPostMessage() const { return m_hashaddestroy == 0; }
  bool wapiHasBeenDestroyed() const { return m_hashaddestroy != 0; }
  bool wapiCapChangeNotify() const { return true; }
  void setEnabled(bool on) { m_enabled = on; }
  bool isEnabled() const { return m_enabled; }
  unsigned char wapiDirtyBits() const { return (unsigned char)m_isdirty; }
  // The OpenGL context of the view (retained), or null; setting one takes over the caller's
  // reference.
  NSObject* wapiGLContext() const { return m_glctx; }
  void wapiSetGLContext(NSObject* context) { m_glctx = context; }
  void wapiSetDirtyBits(unsigned char bits) { m_isdirty = (char)bits; }

  bool isFlipped() const override { return m_flip != 0; }
  bool isOpaque() override { return m_isopaque != 0; }
  void setOpaque(bool on) { m_isopaque = on; }
  // Input: mouse, wheel, keys and gestures become messages to the procedure (wapi-input.cpp).
  bool acceptsFirstResponder() override;
  bool acceptsFirstMouse(NSEvent* e) override;
  void mouseDown(NSEvent* e) override;
  void mouseUp(NSEvent* e) override;
  void mouseDragged(NSEvent* e) override;
  void rightMouseDown(NSEvent* e) override;
  void rightMouseUp(NSEvent* e) override;
  void rightMouseDragged(NSEvent* e) override;
  void otherMouseDown(NSEvent* e) override;
  void otherMouseUp(NSEvent* e) override;
  void otherMouseDragged(NSEvent* e) override;
  void mouseMoved(NSEvent* e) override;
  void scrollWheel(NSEvent* e) override;
  void keyDown(NSEvent* e) override;
  void keyUp(NSEvent* e) override;
  void magnifyWithEvent(NSEvent* e) override;
  void rotateWithEvent(NSEvent* e) override;
  void swipeWithEvent(NSEvent* e) override;
  // Dropped files (wapi-drop.cpp): only a view with the accept-files style takes them.
  NSUInteger draggingEntered(NSDraggingInfo* info) override;
  NSUInteger draggingUpdated(NSDraggingInfo* info) override;
  void draggingExited(NSDraggingInfo* info) override;
  bool wantsPeriodicDraggingUpdates() override { return false; }
  bool performDragOperation(NSDraggingInfo* info) override;
  // The dropped-file block of the drag: handed back when asked for (the caller frees it), else
  // sent as WM_DROPFILES and freed, answering non-null. Null when the drag holds no files.
  HANDLE wapiExtendedDragOp(NSDraggingInfo* info, bool retGlob);
  void setFrame(NSRect frame) override;
  void viewDidHide() override;
  void viewDidUnhide() override;

  // Painting: the draw handler opens a paint context for the procedure; a content view paints
  // its whole tree of layer views into one context and leaves platform views to the platform.
  void drawRect(NSRect rect) override;
  void recursiveDisplayIfNeeded(CGContextRef store) override;
  // A new subview marks a dirty descendant up the tree; a leaving one repaints this view and
  // its ancestors.
  void didAddSubview(NSView* view) override;
  void willRemoveSubview(NSView* view) override;
  // Only while a paint context is open: fills the structure and marks the context used.
  bool getWapiPaintInfo(PAINTSTRUCT* ps);
  HDC wapiPaintContext() const { return m_paintctx_hdc; }
  friend void DrawWapiViewRectImpl(Wapi_vQOR_hwnd* view, NSRect rect, HDC hdc);
  // A drag this view started ended in a folder: the pending promised file is written there.
  NSArray* namesOfPromisedFilesDroppedAtDestination(NSURL* folder) override;

  // Accessibility: the procedure may name an object (WM_GETOBJECT) that speaks for the view.
  bool accessibilityIsIgnored() override;
  NSObject* accessibilityHitTest(NSPoint point) override;
  NSObject* accessibilityFocusedUIElement() override;
  NSArray* accessibilityAttributeValue(const char* attribute) override;

 private:
  NSObject* accessibilityObject();
  signed char m_enabled = 1;
  DLGPROC m_dlgproc = nullptr;
  WNDPROC m_wndproc = nullptr;
  LONG_PTR m_userdata = 0;
  LONG_PTR m_extradata[WAPI_EXTRA_SLOTS] = {};
  int m_tag = 0;
  int m_isfakerightmouse = 0;
  char m_hashaddestroy = 0;  // 0 alive, 1 WM_DESTROY in progress, 2 destroyed
  HMENU m_menu = nullptr;
  signed char m_flip = 1;
  bool m_supports_ddrop = false;
  bool m_paintctx_used = false;
  HDC m_paintctx_hdc = nullptr;
  WindowPropRec* m_props = nullptr;
  NSRect m_paintctx_rect{};
  signed char m_isopaque = 1;
  char m_titlestr[1024] = {};
  unsigned int m_create_windowflags = 15;
  NSObject* m_glctx = nullptr;  // retained
  char m_isdirty = 3;
  NSObject* m_lastTopLevelOwner = nullptr;
  NSObject* m_access_cacheptrs[6] = {};  // retained
};

// The live object behind a handle, or null for null, foreign and stale handles.
NSObject* wapiObject(HWND hwnd);
inline HWND wapiHandle(const NSObject* o) {
  return reinterpret_cast<HWND>(const_cast<NSObject*>(o));
}
template <class T>
T* wapiAs(NSObject* o) {
  return o && o->isKindOfClass(T::class_()) ? static_cast<T*>(o) : nullptr;
}
inline WapiMessageTarget* wapiMessageTarget(NSObject* o) {
  return dynamic_cast<WapiMessageTarget*>(o);
}
inline WapiWindowRecord* wapiWindowRecord(NSObject* o) {
  return dynamic_cast<WapiWindowRecord*>(o);
}
// A coordinate truncated toward zero, saturating: huge or non-finite values never overflow.
inline int32_t wapiToInt(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return int32_t(v);
}
// A view that is its window's content view.
bool wapiIsContentView(const NSView* v);
// The view a handle stands for: a view itself, a window's content view; else null.
NSView* wapiViewOf(NSObject* o);
// A platform string made through WAPI_CStringToCFString (autoreleased).
NSString* wapiNSString(const char* text);
// At most size - 1 bytes of the text into the buffer, cut on a character boundary, terminated;
// nothing for a size below 1.
void wapiCopyUtf8(const char* text, size_t length, char* buffer, int size);
// An NSString's UTF-8 into the buffer, cut as WAPI_CFStringToCString cuts.
void wapiNSStringToCString(NSString* s, char* buffer, int size);

// The layer's top-level windows: an owner (wapiGetOwner), the windows they own, and their own
// clean-up when destroyed.
class WapiTopLevelWindow {
 public:
  virtual NSObject* wapiGetOwner() = 0;
  virtual void wapiDestroyAllOwnedWindows() = 0;
  virtual void wapiDoDestroyStuff() = 0;

 protected:
  ~WapiTopLevelWindow() = default;
};

// Controls that keep their own style word (getWapiStyle, setWapiStyle:).
class WapiStyleHolder {
 public:
  virtual LONG_PTR getWapiStyle() = 0;
  virtual void setWapiStyle(LONG_PTR style) = 0;

 protected:
  ~WapiStyleHolder() = default;
};

// The text colour of a platform button (the NSButton(TextColor) category): its attributed
// title's colour, else the control text colour; setting it colours the whole title.
NSColor* WAPI_ButtonTextColor(NSButton* button);
void WAPI_ButtonSetTextColor(NSButton* button, NSColor* colour);

// Steps of a view's destruction that later parts of the layer fill: each does nothing while
// no capture, posted message, timer or owned window of the view can exist.
void wapiReleaseCaptureOf(NSView* view);
void WAPI_MessageQueue_Clear(HWND hwnd);

// What the application delegate answers for the posted-message queue (wapiPostMessage:msg:wp:lp:,
// wapiPostMessageTick:, wapiPostMessageClearQ:); it normally forwards to the WAPI_Internal_ calls.
class WapiPostMessageDelegate {
 public:
  virtual BOOL wapiPostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual void wapiPostMessageTick() = 0;
  virtual void wapiPostMessageClearQ(HWND hwnd) = 0;

 protected:
  ~WapiPostMessageDelegate() = default;
};
// Layer views accept posts from creation until their WM_DESTROY begins; posting threads read
// only this record, never the view.
void wapiAcceptPosts(HWND hwnd, bool accept);

// While set, only timers of this window fire (WAPI_RunRunLoopEx).
extern HWND g_wapi_only_timerhwnd;

// The target of a timer with a procedure (or without a window): calls the procedure.
class Wapi_vQOR_tft : public NSObject {
  NS_STANDIN_CLASS(Wapi_vQOR_tft)

 public:
  Wapi_vQOR_tft() = default;
  Wapi_vQOR_tft* init(UINT_PTR id, HWND hwnd, TIMERPROC proc) {
    mId = id;
    mHwnd = hwnd;
    mProc = proc;
    return this;
  }
  void WAPI_Timer();

 private:
  UINT_PTR mId = 0;
  HWND mHwnd = nullptr;
  TIMERPROC mProc = nullptr;
};

// One pointer-sized value as a timer's user info: a window timer's id.
class Wapi_vQOR_sdh : public NSObject {
  NS_STANDIN_CLASS(Wapi_vQOR_sdh)

 public:
  Wapi_vQOR_sdh() = default;
  Wapi_vQOR_sdh* init(UINT_PTR value) {
    mValue = value;
    return this;
  }
  UINT_PTR getValue() const { return mValue; }

 private:
  UINT_PTR mValue = 0;
};
