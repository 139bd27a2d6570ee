// Window appearance and shell services over the platform's windows and workspace.
#include "kit/wapi/wapi-shell.h"

#include "kit/wapi/wapi-controls.h"
#include "kit/wapi/wapi-toplevel.h"

#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

namespace {

// The window a handle stands for: a window, or a view's window.
NSWindow* windowOf(HWND hwnd) {
  NSObject* o = wapiObject(hwnd);
  if (auto* w = wapiAs<NSWindow>(o)) return w;
  if (auto* v = wapiAs<NSView>(o)) return v->window();
  return nullptr;
}

bool enumChildren(NSView* v, WNDENUMPROC proc, LPARAM lParam) {
  // Every child of the copy is held until the walk is over, so that a callback destroying one
  // cannot free a view still to be visited.
  std::vector<NSView*> children = v->subviews();
  for (NSView* c : children) c->retain();
  bool go = true;
  for (NSView* c : children) {
    if (!proc(wapiHandle(c), lParam) || !enumChildren(c, proc, lParam)) {
      go = false;
      break;
    }
  }
  for (NSView* c : children) c->release();
  return go;
}

std::string mapped(const char* text) {
  if (!text) return "";
  if (!strcasecmp(text, "explorer.exe")) return "";
  return text;
}

bool endsWithApp(const std::string& s) {
  return s.size() >= 5 && !strcasecmp(s.c_str() + s.size() - 4, ".app");
}

}  // namespace

int WAPI_GetWindowWantRaiseAmt(HWND hwnd) {
  auto* m = wapiAs<Wapi_vQOR_modelesswindow>(windowOf(hwnd));
  return m ? m->wantRaiseAmount() : 0;
}

void WAPI_SetWindowWantRaiseAmt(HWND hwnd, int amount) {
  auto* m = wapiAs<Wapi_vQOR_modelesswindow>(windowOf(hwnd));
  if (!m) return;
  const int old = m->wantRaiseAmount();
  m->setWantRaiseAmount(amount);
  if (amount != old && NSApp->isActive()) m->setLevel(m->level() + (amount - old));
}

int WAPI_SetWindowLevel(HWND hwnd, int level) {
  NSWindow* w = windowOf(hwnd);
  if (!w) return 0;
  const int old = int(w->level());
  w->setLevel(level);
  return old;
}

void SetOpaque(HWND hwnd, bool opaque) {
  if (auto* v = wapiAs<Wapi_vQOR_hwnd>(wapiObject(hwnd))) v->setOpaque(opaque);
}

void SetTransparent(HWND hwnd) {
  NSWindow* w = windowOf(hwnd);
  if (!w) return;
  w->setBackgroundRGBA(0, 0, 0, 0);
  w->setOpaque(false);
}

void WAPI_SetWindowShadow(HWND hwnd, bool on) {
  if (NSWindow* w = windowOf(hwnd)) w->setHasShadow(on);
}

void WAPI_SetWindowRepre(HWND hwnd, const char* fileName, bool modified) {
  NSWindow* w = windowOf(hwnd);
  if (!w) return;
  if (w->contentView() && GetProp(wapiHandle(w->contentView()), "WAPI_DisableWindowRepre")) return;
  w->setDocumentEdited(modified);
  w->setRepresentedFilename(wapiNSString(fileName ? fileName : ""));
}

int WAPI_GetDefaultButtonID(HWND view, bool onlyEnabled) {
  NSWindow* w = windowOf(view);
  NSButtonCell* cell = w ? w->defaultButtonCell() : nullptr;
  NSButton* b = cell ? cell->controlView() : nullptr;
  if (!b || (onlyEnabled && !b->isEnabled())) return 0;
  return int(b->tag());
}

BOOL EnumChildWindows(HWND hwnd, WNDENUMPROC proc, LPARAM lParam) {
  auto* v = wapiAs<NSView>(wapiObject(hwnd));
  if (!v || !proc || v->subviews().empty()) return true;
  return enumChildren(v, proc, lParam);
}

void WAPI_GetDesiredControlSize(HWND hwnd, RECT* out) {
  auto* c = wapiAs<NSControl>(wapiObject(hwnd));
  if (!c || !out) return;
  const NSRect saved = c->frame();
  c->sizeToFit();
  const NSRect fitted = c->frame();
  c->setFrame(saved);
  *out = RECT{0, 0, wapiToInt(fitted.size.width), wapiToInt(fitted.size.height)};
}

bool WAPI_IsGroupBox(HWND hwnd) {
  return wapiAs<Wapi_vQOR_box>(wapiObject(hwnd)) != nullptr;
}

bool WAPI_IsButton(HWND hwnd) {
  return wapiAs<Wapi_vQOR_button>(wapiObject(hwnd)) != nullptr;
}

bool WAPI_IsStaticText(HWND hwnd) {
  return wapiAs<NSTextField>(wapiObject(hwnd)) != nullptr;
}

BOOL ShellExecute(HWND, const char*, const char* file, const char* parameters, const char*, int) {
  NSAutoreleasePool pool;
  NSWorkspace* ws = NSWorkspace::sharedWorkspace();
  if (file && !strncasecmp(file, "http://", 7)) return ws->openURL(NSURL::URLWithString(wapiNSString(file)));
  std::string f = mapped(file);
  if (!strcasecmp(f.c_str(), "notepad.exe") || !strcasecmp(f.c_str(), "notepad")) f = "TextEdit.app";
  const std::string p = mapped(parameters);
  if (!f.empty() && !p.empty()) return ws->openFile(wapiNSString(p.c_str()), wapiNSString(f.c_str()), true);
  const std::string& target = !f.empty() ? f : p;
  if (target.empty()) return false;
  return endsWithApp(target) ? ws->launchApplication(wapiNSString(target.c_str()))
                             : ws->openFile(wapiNSString(target.c_str()));
}
