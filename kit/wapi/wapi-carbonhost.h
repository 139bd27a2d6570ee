// The hosting view: a layer view that keeps a Carbon window above its host window, over its own
// rectangle, and carries the Carbon window's keys and bounds changes back to the Cocoa side.
#pragma once

#include "kit/wapi/wapi-bridges.h"
#include "kit/wapi/wapi-internal.h"

class Wapi_vQOR_hwndcarbonhost : public Wapi_vQOR_hwnd {
  NS_STANDIN_CLASS(Wapi_vQOR_hwndcarbonhost)

 public:
  Wapi_vQOR_hwndcarbonhost() = default;
  ~Wapi_vQOR_hwndcarbonhost() override;
  // A view in the parent with a new plain Carbon window at the rectangle (global, y downward),
  // shown, and timer 1 that keeps it in place. Without a Carbon window when that fails.
  Wapi_vQOR_hwndcarbonhost* initCarbonChild(NSObject* parent, const Rect& rect, bool composited);
  // Removes the handlers and closes the Carbon window.
  void close();
  // Puts the Carbon window over the view and redraws it.
  void wapiDoRepos();
  // Timer 1 keeps the Carbon window attached while the view shows; other timers are killed.
  void WAPI_Timer(UINT_PTR id);
  LRESULT onWapiMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool wapiIsCarbonHostingView() const { return true; }
  bool isOpaque() override { return false; }
  void viewDidMoveToWindow() override;
  void viewDidMoveToSuperview() override;
  void setFrame(NSRect frame) override;
  void setFrameSize(NSSize size) override;
  void setFrameOrigin(NSPoint origin) override;
  void windowDidBecomeKey(NSObject*) {}
  void windowDidResignKey(NSObject*) {}

  WindowRef carbonWindow() const;
  NSWindow* carbonCocoaWindow() const { return m_cwnd; }
  void setWantAllKeys(bool on) { m_wantallkeys = on; }
  friend OSStatus CarbonEvtHandler(EventHandlerCallRef, EventRef, void*);

 private:
  NSWindow* m_cwnd = nullptr;  // retained
  bool m_whileresizing = false;
  EventHandlerRef m_wndhandler = nullptr;
  EventHandlerRef m_ctlhandler = nullptr;
  bool m_wantallkeys = false;
  WindowRef mCarbonWindow = nullptr;  // made here, disposed of at close
  bool mInSetFrame = false;
};
