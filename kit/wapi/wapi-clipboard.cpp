// The clipboard: registered format names, the pending records of SetClipboardData, the formats
// found at opening and the handles handed out by GetClipboardData.
#include "kit/wapi/wapi-clipboard.h"

#include "kit/wapi/wapi-internal.h"

#include <AppKit/AppKit.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kPrivateBoard = "WAPI_APP";

struct Pending {
  UINT format;
  HANDLE mem;
};

struct Clipboard {
  std::vector<std::string> formats;  // id = position + 1; never shrinks
  std::vector<UINT> current;         // ids found on the private pasteboard at the last open
  std::vector<Pending> pending;      // each owns its handle
  std::vector<HANDLE> handedOut;     // freed at the next close
};

Clipboard& clip() {
  static Clipboard c;
  return c;
}

void freePending() {
  std::vector<Pending>& p = clip().pending;
  while (!p.empty()) {
    const HANDLE mem = p.back().mem;
    p.pop_back();
    // A handle set for several records is freed with the last of them.
    if (std::none_of(p.begin(), p.end(), [mem](const Pending& q) { return q.mem == mem; })) GlobalFree(mem);
  }
}

UINT textFormat() {
  return RegisterClipboardFormat(WAPI_CF_TEXT_NAME);
}

const std::string* nameOf(UINT format) {
  const std::vector<std::string>& f = clip().formats;
  return format >= 1 && format <= f.size() ? &f[format - 1] : nullptr;
}

// A fresh handle holding the bytes; null when they do not fit a handle's size.
HANDLE handleWith(const char* bytes, size_t size) {
  if (size > size_t(INT_MAX)) return nullptr;
  HANDLE h = GlobalAlloc(0, int(size));
  void* p = h ? GlobalLock(h) : nullptr;
  if (!p) {
    if (h) GlobalFree(h);
    return nullptr;
  }
  if (size) std::memcpy(p, bytes, size);
  GlobalUnlock(h);
  clip().handedOut.push_back(h);
  return h;
}

}  // namespace

UINT RegisterClipboardFormat(const char* name) {
  const std::string stored = name && !std::strcmp(name, WAPI_CF_TEXT_NAME) ? NSStringPboardType : (name ? name : "");
  std::vector<std::string>& f = clip().formats;
  const auto it = std::find(f.begin(), f.end(), stored);
  if (it != f.end()) return UINT(it - f.begin()) + 1;
  f.push_back(stored);
  return UINT(f.size());
}

BOOL OpenClipboard(HWND) {
  freePending();
  textFormat();
  NSPasteboard* board = NSPasteboard::pasteboardWithName(kPrivateBoard);
  std::vector<UINT>& cur = clip().current;
  cur.clear();
  const std::vector<std::string>& f = clip().formats;
  for (const std::string& type : board->types()) {
    const auto it = std::find(f.begin(), f.end(), type);
    if (it == f.end()) continue;
    const UINT id = UINT(it - f.begin()) + 1;
    if (std::find(cur.begin(), cur.end(), id) == cur.end()) cur.push_back(id);
  }
  return true;
}

void EmptyClipboard() {
  freePending();
}

void SetClipboardData(UINT format, HANDLE mem) {
  // A handle GetClipboardData gave out belongs to the pending record now, not to the next close.
  std::vector<HANDLE>& out = clip().handedOut;
  out.erase(std::remove(out.begin(), out.end(), mem), out.end());
  clip().pending.push_back({format, mem});
}

void CloseClipboard() {
  std::vector<HANDLE>& out = clip().handedOut;
  while (!out.empty()) {
    GlobalFree(out.back());
    out.pop_back();
  }
  const std::vector<Pending>& pending = clip().pending;
  if (pending.empty()) return;
  NSAutoreleasePool pool;
  const UINT text = textFormat();
  const bool anyText = std::any_of(pending.begin(), pending.end(), [&](const Pending& p) { return p.format == text; });
  NSPasteboard* board = anyText ? NSPasteboard::generalPasteboard() : NSPasteboard::pasteboardWithName(kPrivateBoard);
  std::vector<std::string> types;
  for (const Pending& p : pending)
    if (const std::string* name = nameOf(p.format)) types.push_back(*name);
  if (!types.empty()) {
    board->declareTypes(types, nullptr);
    for (const Pending& p : pending) {
      const std::string* name = nameOf(p.format);
      const char* bytes = name ? static_cast<const char*>(GlobalLock(p.mem)) : nullptr;
      if (!bytes) continue;
      const int size = GlobalSize(p.mem);
      if (size >= 0) {
        // Text is written whole by its size and then terminated.
        const std::string data(bytes, size_t(size));
        if (p.format == text)
          board->setString(wapiNSString(data.c_str()), name->c_str());
        else
          board->setData(data, name->c_str());
      }
      GlobalUnlock(p.mem);
    }
  }
  freePending();
}

UINT EnumClipboardFormats(UINT previous) {
  const std::vector<UINT>& cur = clip().current;
  if (cur.empty()) return 0;
  if (previous == 0) return cur.front();
  const auto it = std::find(cur.begin(), cur.end(), previous);
  return it == cur.end() || it + 1 == cur.end() ? 0 : *(it + 1);
}

HANDLE GetClipboardData(UINT format) {
  const std::string* name = nameOf(format);
  if (!name) return nullptr;
  NSAutoreleasePool pool;
  if (format == textFormat()) {
    NSPasteboard* board = NSPasteboard::generalPasteboard();
    (void)board->types();
    NSString* s = board->stringForType(name->c_str());
    if (!s) return nullptr;
    const char* utf8 = s->UTF8String();
    return handleWith(utf8, std::strlen(utf8) + 1);
  }
  const std::string* data = NSPasteboard::pasteboardWithName(kPrivateBoard)->dataForType(name->c_str());
  return data ? handleWith(data->data(), data->size()) : nullptr;
}
