// The layer's two top-level window classes and the owner/owned relation between them.
#pragma once

#include "kit/wapi/wapi-dialogs.h"
#include "kit/wapi/wapi-internal.h"

// One window owned by another; newest first.
struct OwnedWindowListRec {
  NSWindow* window;  // not retained: an owned window unlinks itself when it goes
  OwnedWindowListRec* next;
};

// A window that owns others (wapiAddOwnedWindow: and its kin).
class WapiOwnerWindow : public WapiTopLevelWindow {
 public:
  virtual void wapiSetOwner(NSObject* owner) = 0;
  virtual OwnedWindowListRec** wapiGetOwnerWindowHead() = 0;
  virtual void wapiAddOwnedWindow(NSObject* window) = 0;
  virtual void wapiRemoveOwnedWindow(NSObject* window) = 0;
  virtual void wapiResetOwnedWindowLevels() = 0;

 protected:
  ~WapiOwnerWindow() = default;
};

// What the modeless window and the dialog box share: owner and owned windows, activation,
// the close box, sizes asked from the procedure.
template <class Base>
class WapiFramedWindow : public Base, public WapiOwnerWindow {
 public:
  ~WapiFramedWindow() override;

  NSObject* wapiGetOwner() override { return m_owner; }
  void wapiSetOwner(NSObject* owner) override { m_owner = owner; }
  OwnedWindowListRec** wapiGetOwnerWindowHead() override { return &m_ownedwnds; }
  void wapiAddOwnedWindow(NSObject* window) override;
  void wapiRemoveOwnedWindow(NSObject* window) override;
  void wapiDestroyAllOwnedWindows() override;
  void wapiResetOwnedWindowLevels() override;
  void wapiDoDestroyStuff() override;

  bool wapiEnabled() const { return m_enabled != 0; }
  void wapiSetEnabled(bool on) { m_enabled = on; }
  bool canBecomeKeyWindow() override;
  bool acceptsFirstResponder() override { return m_enabled != 0; }
  void becomeKeyWindow() override;
  void resignKeyWindow() override;
  bool windowShouldClose(NSObject* sender) override;
  void windowDidMove(NSObject* notification) override;
  void setFrame(NSRect frame, bool display) override;
  NSSize minSize() const override;
  NSSize maxSize() const override;

 protected:
  // The menu bar when the content view has none.
  virtual HMENU defaultMenu() const = 0;
  // Registers with the owner: the parent, or the window of a parent view.
  void registerWithOwner(NSObject* parent);
  // Clears the records and makes the platform window.
  void initFrame(NSRect content, NSUInteger style);

  NSSize lastFrameSize{};
  NSObject* m_owner = nullptr;  // a layer window
  OwnedWindowListRec* m_ownedwnds = nullptr;
  char m_enabled = 1;
};

class Wapi_vQOR_modelesswindow : public WapiFramedWindow<NSWindow> {
  NS_STANDIN_CLASS(Wapi_vQOR_modelesswindow)

 public:
  Wapi_vQOR_modelesswindow() = default;
  // A window of its own for the resource (or a plain one of the forced styles); the content view
  // goes to *outputHwnd. Not ordered front.
  Wapi_vQOR_modelesswindow* initModeless(const WAPI_DialogResourceIndex* res, NSObject* parent, DLGPROC proc,
                                         LPARAM param, HWND* outputHwnd, NSUInteger forceStyles);
  // A window around an existing view, which becomes its content view.
  Wapi_vQOR_modelesswindow* initModelessForChild(NSView* child, NSObject* owner, NSUInteger styleMask);
  int wantRaiseAmount() const { return m_wantraiseamt; }
  void setWantRaiseAmount(int amount) { m_wantraiseamt = amount; }
  bool wantsInitialKeyWindowOnShow() const { return m_wantInitialKeyWindowOnShow; }
  void setWantsInitialKeyWindowOnShow(bool on) { m_wantInitialKeyWindowOnShow = on; }

 protected:
  HMENU defaultMenu() const override;

 private:
  int m_wantraiseamt = 0;
  bool m_wantInitialKeyWindowOnShow = false;
};

class Wapi_vQOR_dialogbox : public WapiFramedWindow<NSPanel> {
  NS_STANDIN_CLASS(Wapi_vQOR_dialogbox)

 public:
  Wapi_vQOR_dialogbox() = default;
  Wapi_vQOR_dialogbox* initDialogBox(const WAPI_DialogResourceIndex* res, NSObject* parent, DLGPROC proc, LPARAM param);
  void wapiSetModalRetVal(LRESULT value) {
    m_rv = value;
    m_hasrv = true;
  }
  LRESULT wapiGetModalRetVal() const { return m_rv; }
  bool wapiHasModalRetVal() const { return m_hasrv; }

 protected:
  HMENU defaultMenu() const override;

 private:
  LRESULT m_rv = 0;
  bool m_hasrv = false;
};

// Whether the view lies in the tree below the searched view.
bool IsWindowImpl(NSView* find, NSView* search);
// The frame rebuild of SetWindowLong(GWL_STYLE) on a content view; answers 0.
LONG_PTR wapiRebuildFrameForStyle(NSView* content, LONG_PTR style);
// SetParent's top-level paths: a content view into a parent view, a child view out to a window.
HWND wapiSetParentFromTopLevel(NSView* content, HWND parent);
HWND wapiSetParentToTopLevel(NSView* child);
