// Modal runs over the platform's modal sessions, flushing a window and hiding the application.
// Main thread only.
#include "kit/wapi/wapi-internal.h"

#include "kit/wapi/wapi.h"

void* WAPI_ModalWindowStart(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  NSWindow* w = wapiAs<NSWindow>(o);
  if (auto* v = wapiAs<NSView>(o)) w = v->window();
  return w ? NSApp->beginModalSessionForWindow(w) : nullptr;
}

bool WAPI_ModalWindowRun(void* token, int* result) {
  if (!token) return false;
  const NSModalResponse code = NSApp->runModalSession(static_cast<NSModalSession>(token));
  if (code == NSModalResponseContinue) return true;
  if (result) *result = int(code);
  return false;
}

void WAPI_ModalWindowEnd(void* token) {
  if (!token) return;
  auto* session = static_cast<NSModalSession>(token);
  if (NSApp->runModalSession(session) == NSModalResponseContinue) {
    NSApp->stopModal();
    while (NSApp->runModalSession(session) == NSModalResponseContinue) Sleep(10);
  }
  NSApp->endModalSession(session);
}

void WAPI_FlushWindow(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  NSWindow* w = wapiAs<NSWindow>(o);
  if (auto* v = wapiAs<NSView>(o)) {
    if (v->needsDisplay()) return;
    w = v->window();
  }
  if (w && !w->viewsNeedDisplay()) w->flushWindow();
}

void WAPI_HideApp() {
  NSApp->hide(nullptr);
}
