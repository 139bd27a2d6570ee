// Files dropped onto an HWND view: the dropped-file block, WM_DROPFILES and the application's
// drop callbacks.
#include "kit/wapi/wapi-input.h"

#include "kit/wapi/wapi-internal.h"
#include "kit/wapi/wapi.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

void (*WAPI_DDrop_onDragEnter)(HANDLE drop, int x, int y) = nullptr;
void (*WAPI_DDrop_onDragOver)(int x, int y) = nullptr;
void (*WAPI_DDrop_onDragLeave)() = nullptr;
const char* (*WAPI_DDrop_getDroppedFileTargetPath)(const char* fileType) = nullptr;

namespace {

constexpr int kMaxName = 4095;       // bytes of one file name
constexpr int kMaxTypeName = 255;    // bytes of the type handed to the target-path callback
constexpr int32_t kHeaderBytes = 16;

// A platform string as at most max bytes of UTF-8, cut on a character boundary.
std::string cut(const char* text, int max) {
  std::vector<char> buf(size_t(max) + 1);
  wapiCopyUtf8(text ? text : "", text ? std::strlen(text) : 0, buf.data(), max + 1);
  return buf.data();
}

std::vector<std::string> listOf(NSPasteboard* pb, const char* type) {
  std::vector<std::string> out;
  NSArray* list = pb ? pb->propertyListForType(type) : nullptr;
  for (NSUInteger i = 0; list && i < list->count(); ++i)
    if (auto* s = wapiAs<NSString>(list->objectAtIndex(i))) out.push_back(s->UTF8String());
  return out;
}

// The drag's position in screen coordinates, each as (value + 0.5) truncated.
POINT screenPosition(NSDraggingInfo* info) {
  NSPoint p = info->draggingLocation();
  if (NSWindow* w = info->draggingDestinationWindow()) p = NSMakePoint(p.x + w->frame().origin.x, p.y + w->frame().origin.y);
  return POINT{wapiToInt(p.x + 0.5), wapiToInt(p.y + 0.5)};
}

// Header (name-list offset, drop point, 0), the names, one more zero byte; null when the block
// would pass the int range of a memory block.
HANDLE buildBlock(const std::vector<std::string>& names, POINT at) {
  int64_t total = kHeaderBytes + 1;
  for (const std::string& n : names) total += int64_t(n.size()) + 1;
  if (total > INT_MAX) return nullptr;
  HANDLE h = GlobalAlloc(0, int(total));
  if (!h) return nullptr;
  auto* p = static_cast<char*>(GlobalLock(h));
  const int32_t header[4] = {kHeaderBytes, at.x, at.y, 0};
  std::memcpy(p, header, sizeof header);
  char* at_ = p + kHeaderBytes;
  for (const std::string& n : names) {
    std::memcpy(at_, n.c_str(), n.size() + 1);
    at_ += n.size() + 1;
  }
  *at_ = 0;
  GlobalUnlock(h);
  return h;
}

std::string joined(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

}  // namespace

void Wapi_vQOR_hwnd::wapiSetAcceptsDrops(bool on) {
  m_supports_ddrop = on;
  if (on)
    registerForDraggedTypes({NSFilenamesPboardType, NSFilesPromisePboardType});
  else
    registerForDraggedTypes({});
}

HANDLE Wapi_vQOR_hwnd::wapiExtendedDragOp(NSDraggingInfo* info, bool retGlob) {
  NSPasteboard* pb = info ? info->draggingPasteboard() : nullptr;
  if (!pb) return nullptr;
  std::vector<std::string> names;
  const std::vector<std::string> files = listOf(pb, NSFilenamesPboardType);
  if (!files.empty() && pb->availableTypeFromArray({NSFilenamesPboardType})) {
    for (const std::string& f : files) names.push_back(cut(f.c_str(), kMaxName));
  } else if (pb->availableTypeFromArray({NSFilesPromisePboardType})) {
    const std::vector<std::string> types = listOf(pb, NSFilesPromisePboardType);
    if (retGlob) {
      // Not written yet: only their types are known.
      for (const std::string& t : types) names.push_back(cut(("tmp." + t).c_str(), kMaxName));
    } else {
      if (!WAPI_DDrop_getDroppedFileTargetPath || types.empty()) return nullptr;
      const char* given = WAPI_DDrop_getDroppedFileTargetPath(cut(types[0].c_str(), kMaxTypeName).c_str());
      const std::string folder = given && *given ? given : "/tmp/";
      NSArray* written =
          info->namesOfPromisedFilesDroppedAtDestination(NSURL::fileURLWithPath(NSString::stringWithUTF8String(folder.c_str())));
      for (NSUInteger i = 0; written && i < written->count(); ++i)
        if (auto* s = wapiAs<NSString>(written->objectAtIndex(i)))
          names.push_back(cut(joined(folder, s->UTF8String()).c_str(), kMaxName));
    }
  }
  if (names.empty()) return nullptr;
  const NSPoint local = convertPoint(info->draggingLocation(), nullptr);
  HANDLE block = buildBlock(names, POINT{wapiToInt(local.x + 0.5), wapiToInt(local.y + 0.5)});
  if (!block || retGlob) return block;
  retain();
  if (!m_hashaddestroy && m_wndproc) m_wndproc(wapiHandle(this), WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
  release();
  GlobalFree(block);
  return reinterpret_cast<HANDLE>(1);
}

NSUInteger Wapi_vQOR_hwnd::draggingEntered(NSDraggingInfo* info) {
  if (!m_supports_ddrop) return NSDragOperationNone;
  if (WAPI_DDrop_onDragEnter) {
    HANDLE block = wapiExtendedDragOp(info, true);
    const POINT p = screenPosition(info);
    WAPI_DDrop_onDragEnter(block, p.x, p.y);
    GlobalFree(block);
  }
  return NSDragOperationGeneric;
}

NSUInteger Wapi_vQOR_hwnd::draggingUpdated(NSDraggingInfo* info) {
  if (!m_supports_ddrop) return NSDragOperationNone;
  if (WAPI_DDrop_onDragOver) {
    const POINT p = screenPosition(info);
    WAPI_DDrop_onDragOver(p.x, p.y);
  }
  return NSDragOperationGeneric;
}

void Wapi_vQOR_hwnd::draggingExited(NSDraggingInfo*) {
  if (m_supports_ddrop && WAPI_DDrop_onDragLeave) WAPI_DDrop_onDragLeave();
}

bool Wapi_vQOR_hwnd::performDragOperation(NSDraggingInfo* info) {
  if (!m_supports_ddrop || !info) return false;
  if (WAPI_DDrop_onDragLeave) WAPI_DDrop_onDragLeave();
  retain();
  NSWindow* w = window();
  NSView* content = w ? w->contentView() : nullptr;
  auto* source = wapiAs<NSView>(info->draggingSource());
  // A drag within one window: the window keeps its look while the drop is handled.
  const bool sameWindow = source && w && source->window() == w && content;
  if (sameWindow) SetProp(wapiHandle(content), "WAPI_DisableWindowRepre", reinterpret_cast<void*>(1));
  bool accepted = false;
  NSView* under = content ? content->hitTest(info->draggingLocation()) : nullptr;
  if (under && !under->isDescendantOf(this)) under = nullptr;
  for (NSView* v = under; v && v != this && !accepted; v = v->superview())
    if (auto* layer = wapiAs<Wapi_vQOR_hwnd>(v)) accepted = layer->wapiExtendedDragOp(info, false) != nullptr;
  if (!accepted) accepted = wapiExtendedDragOp(info, false) != nullptr;
  if (sameWindow) RemoveProp(wapiHandle(content), "WAPI_DisableWindowRepre");
  release();
  return accepted;
}
