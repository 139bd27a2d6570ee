// Drags out of a layer view: one promised file, written by the application's procedure only when
// it is dropped in a folder (a taken name is asked about first), or a list of existing files.
#include "kit/wapi/wapi-bridges.h"
#include "kit/wapi/wapi-internal.h"
#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-imagelist.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The pending promised-file drag (main thread only).
char* s_dragdropsrcfn = nullptr;
WAPI_DragDropWriteProc s_dragdropsrccallback = nullptr;

// A destination path and its terminator must fit this many bytes; a longer one is never cut.
constexpr size_t kMaxDestination = 4096;

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

const char* afterLastSlash(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

// "Keep Both Files": the first free name numbered past the one the file has (" 7" goes on from
// 8), or from 1 with " " appended. Empty when every number up to 999 is taken or too long.
std::string freeName(const std::string& path) {
  const size_t nameStart = path.find_last_of('/') + 1;
  const size_t dot = path.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && dot >= nameStart;
  std::string base = hasExtension ? path.substr(0, dot) : path;
  const std::string extension = hasExtension ? path.substr(dot) : "";
  size_t digits = 0;
  while (digits < base.size() - nameStart && digits < 4 && base[base.size() - 1 - digits] >= '0' &&
         base[base.size() - 1 - digits] <= '9')
    ++digits;
  int start = 0;
  const size_t nameLength = base.size() - nameStart;
  const char before = nameLength > digits ? base[base.size() - 1 - digits] : 0;
  if (digits >= 1 && digits <= 3 && nameLength > digits + 1 && (before == ' ' || before == '_' || before == '-')) {
    start = std::atoi(base.c_str() + base.size() - digits);
    base.resize(base.size() - digits);
  } else {
    base += ' ';
  }
  for (int n = start + 1; n <= 999; ++n) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", n);
    const std::string candidate = base + number + extension;
    if (candidate.size() >= kMaxDestination) return {};
    if (!exists(candidate)) return candidate;
  }
  return {};
}

// The icon as a platform image drawn upside down (autoreleased), or null when it has none or
// does not convert.
NSImage* flippedCopyOf(HGDIOBJ icon) {
  void* held = GetNSImageFromHICON(icon);
  if (!held) return nullptr;
  NSImage* copy = nullptr;
  if (auto* platform = wapiAs<NSImage>(wapiObject(static_cast<HWND>(held)))) {
    copy = platform->copy();
  } else {
    const auto* pixels = static_cast<const WAPI_Image*>(held);
    auto* rep = static_cast<NSBitmapImageRep*>(NSBitmapImageRep::class_()->alloc())
                    ->initWithBitmapDataPlanes(nullptr, pixels->width, pixels->height, 8, 4, true, false,
                                               NSDeviceRGBColorSpace, NSInteger(pixels->width) * 4, 32);
    if (!rep) return nullptr;
    // Alpha, red, green, blue to red, green, blue, alpha.
    const size_t count = size_t(pixels->width) * size_t(pixels->height);
    unsigned char* out = rep->bitmapData();
    for (size_t i = 0; i < count; ++i) {
      const uint8_t* p = pixels->argb + i * 4;
      out[i * 4] = p[1], out[i * 4 + 1] = p[2], out[i * 4 + 2] = p[3], out[i * 4 + 3] = p[0];
    }
    copy = static_cast<NSImage*>(NSImage::class_()->alloc())->initWithSize(NSMakeSize(pixels->width, pixels->height));
    copy->addRepresentation(rep);
    rep->release();
  }
  copy->setFlipped(true);
  copy->autorelease();
  return copy;
}

}  // namespace

void WAPI_FinishDragDrop() {
  std::free(s_dragdropsrcfn);
  s_dragdropsrcfn = nullptr;
  s_dragdropsrccallback = nullptr;
}

void WAPI_InitiateDragDrop(HWND hwnd, const RECT* source, const char* fileName, WAPI_DragDropWriteProc write) {
  WAPI_FinishDragDrop();
  auto* view = wapiAs<Wapi_vQOR_hwnd>(wapiObject(hwnd));
  if (!view || !source || !fileName) return;
  s_dragdropsrcfn = strdup(fileName);
  s_dragdropsrccallback = write;
  // The type is the file name's extension; a name without one is its own type.
  const char* name = afterLastSlash(fileName);
  const char* dot = std::strrchr(name, '.');
  NSArray* types = NSArray::arrayWithObjects({wapiNSString(dot ? dot + 1 : name)});
  const NSRect from =
      NSMakeRect(source->left, source->top, double(source->right) - source->left, double(source->bottom) - source->top);
  view->retain();
  view->dragPromisedFilesOfTypes(types, from, view, true, NSApp->currentEvent());
  view->release();
}

NSArray* WAPI_DoDragDrop(NSURL* folder) {
  NSString* folderPath = folder ? folder->path() : nullptr;
  if (!folderPath || !s_dragdropsrcfn || !s_dragdropsrccallback) {
    WAPI_FinishDragDrop();
    return nullptr;
  }
  const WAPI_DragDropWriteProc write = s_dragdropsrccallback;
  const std::string name = afterLastSlash(s_dragdropsrcfn);
  WAPI_FinishDragDrop();
  std::string path = std::string(folderPath->UTF8String()) + "/" + name;
  // Cut to fit, the path would name another file: write nothing instead.
  if (path.size() >= kMaxDestination) return nullptr;
  if (exists(path)) {
    NSString* message = wapiNSString(
        "An item named \"%@\" already exists in this location. Do you want to replace it with the one you're moving?");
    const NSInteger answer = NSRunAlertPanel(wapiNSString("Copy"), message, wapiNSString("Keep Both Files"),
                                             wapiNSString("Stop"), wapiNSString("Replace"), wapiNSString(name.c_str()));
    if (answer == NSAlertDefaultReturn) {
      path = freeName(path);
      if (path.empty()) return nullptr;
    } else if (answer != NSAlertOtherReturn) {
      return nullptr;
    }
  }
  write(path.c_str());
  if (!exists(path)) return nullptr;
  return NSArray::arrayWithObjects({wapiNSString(afterLastSlash(path.c_str()))});
}

NSArray* Wapi_vQOR_hwnd::namesOfPromisedFilesDroppedAtDestination(NSURL* folder) {
  return WAPI_DoDragDrop(folder);
}

void WAPI_InitiateDragDropOfFileList(HWND hwnd, const RECT* source, const char** paths, int count, HGDIOBJ icon) {
  WAPI_FinishDragDrop();
  auto* view = wapiAs<Wapi_vQOR_hwnd>(wapiObject(hwnd));
  if (!view || !source || !paths || count < 0) return;
  std::vector<NSObject*> names;
  for (int i = 0; i < count; ++i)
    if (paths[i]) names.push_back(wapiNSString(paths[i]));
  NSArray* list = NSArray::arrayWithVector(names);
  NSPasteboard* pb = NSPasteboard::pasteboardWithName(NSDragPboard);
  pb->declareTypes({NSFilenamesPboardType}, view);
  pb->setPropertyList(list, NSFilenamesPboardType);
  NSImage* image = flippedCopyOf(icon);
  if (!image) image = NSWorkspace::sharedWorkspace()->iconForFiles(list);
  view->retain();
  view->dragImage(image, NSMakePoint(source->left, source->top), NSMakeSize(0, 0), NSApp->currentEvent(), pb, view,
                  true);
  view->release();
}
