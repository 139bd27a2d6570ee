// Cursors: the layer's cursor ids, three built-in images, cursors from the application's
// resources and from cursor files, setting, showing and hiding (with the relative mouse mode
// used while hidden), and the cursor position.
#include "kit/wapi/wapi-input.h"

#include "kit/wapi/wapi-internal.h"
#include "kit/wapi/wapi.h"

#include <CoreGraphics/CoreGraphics.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

WAPI_CursorResourceIndex* WAPI_curmodule_cursorresource_head = nullptr;

namespace {

NSCursor* m_last_setcursor = nullptr;
int m_curvis_cnt = 0;
bool g_wapi_mouse_relmode = false;
POINT g_wapi_mouse_relmode_curpos = {0, 0};

// 16 x 16, one byte per pixel: grey in the high nibble, opacity in the low one. The art reads
// '#' black, 'o' white, '.' clear; each image has a white rim so that it shows on any ground.
constexpr int kSide = 16;
const char* const kFourWayArrow[kSide] = {
    "......oooo......", ".....oo##oo.....", "....oo####oo....", "....o######o....",
    "..ooooo##ooooo..", ".oo#o.o##o.o#oo.", "oo##ooo##ooo##oo", "o##############o",
    "o##############o", "oo##ooo##ooo##oo", ".oo#o.o##o.o#oo.", "..ooooo##ooooo..",
    "....o######o....", "....oo####oo....", ".....oo##oo.....", "......oooo......",
};
const char* const kDiagonalArrow[kSide] = {
    "oooooooo........", "o######o........", "o#####oo........", "o####oo.........",
    "o#####oo........", "o##o###oo.......", "o#ooo###oo......", "ooo.oo###oo.....",
    ".....oo###oo.ooo", "......oo###ooo#o", ".......oo###o##o", "........oo#####o",
    ".........oo####o", "........oo#####o", "........o######o", "........oooooooo",
};
const char* const kCircleWithBar[kSide] = {
    "....oooooooo....", "...oo######oo...", "..oo########oo..", ".oo###oooo###oo.",
    "oo####oo.ooo##oo", "o######oo..o###o", "o##oo###oo.oo##o", "o##ooo###oo.o##o",
    "o##o.oo###ooo##o", "o##oo.oo###oo##o", "o###o..oo######o", "oo##ooo.oo####oo",
    ".oo###oooo###oo.", "..oo########oo..", "...oo######oo...", "....oooooooo....",
};

unsigned char artByte(char c) {
  return c == '#' ? 0x0F : c == 'o' ? 0xFF : 0x00;
}

// A cursor from a built-in image, its rows reversed for the mirrored one.
NSCursor* builtInCursor(const char* const art[kSide], bool mirrored) {
  auto* rep = static_cast<NSBitmapImageRep*>(NSBitmapImageRep::class_()->alloc());
  rep = rep->initWithBitmapDataPlanes(nullptr, kSide, kSide, 8, 2, true, false, NSCalibratedWhiteColorSpace, 32, 16);
  if (!rep) return nullptr;
  unsigned char* out = rep->bitmapData();
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const unsigned char b = artByte(art[y][mirrored ? kSide - 1 - x : x]);
      out[y * 32 + x * 2] = (unsigned char)((b >> 4) * 0x11);
      out[y * 32 + x * 2 + 1] = (unsigned char)((b & 15) * 0x11);
    }
  auto* image = static_cast<NSImage*>(NSImage::class_()->alloc())->initWithSize(NSMakeSize(kSide, kSide));
  image->addRepresentation(rep);
  rep->release();
  auto* cursor = static_cast<NSCursor*>(NSCursor::class_()->alloc())->initWithImage(image, NSMakePoint(8, 8));
  image->release();
  return cursor;
}

double displayHeight() {
  return double(CGDisplayPixelsHigh(CGMainDisplayID()));
}

// ---- Cursor files ----

// A cursor file is accepted up to this size; its one image must lie inside it.
constexpr off_t kMaxCursorFileBytes = 4 << 20;

uint16_t le16(const unsigned char* p) {
  return uint16_t(p[0] | p[1] << 8);
}
uint32_t le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool readAll(int fd, void* buf, size_t n) {
  auto* p = static_cast<char*>(buf);
  while (n > 0) {
    const ssize_t got = ::read(fd, p, n);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    p += got;
    n -= size_t(got);
  }
  return true;
}

bool writeAll(int fd, const void* buf, size_t n) {
  auto* p = static_cast<const char*>(buf);
  while (n > 0) {
    const ssize_t put = ::write(fd, p, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    n -= size_t(put);
  }
  return true;
}

// Copies a one-image cursor file as an icon file into fd, taking its hot spot out of the
// directory entry; false for anything else.
bool cursorAsIcon(int in, int out, POINT* hotSpot) {
  struct stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxCursorFileBytes) return false;
  unsigned char head[6 + 16];
  if (st.st_size < off_t(sizeof head) || !readAll(in, head, sizeof head)) return false;
  if (le16(head) != 0 || le16(head + 2) != 2 || le16(head + 4) != 1) return false;
  unsigned char* entry = head + 6;
  if (entry[3] != 0) return false;
  const int width = entry[0] ? entry[0] : 256, height = entry[1] ? entry[1] : 256;
  const int hx = le16(entry + 4), hy = le16(entry + 6);
  const uint32_t size = le32(entry + 8), offset = le32(entry + 12);
  if (hx >= width || hy >= height || offset < sizeof head || offset > st.st_size || size > st.st_size - offset)
    return false;
  head[2] = 1;  // an icon file
  entry[4] = 1;  // one plane
  entry[5] = 0;
  entry[6] = 0;  // bit count left to the image
  entry[7] = 0;
  if (!writeAll(out, head, sizeof head)) return false;
  char block[4096];
  for (;;) {
    const ssize_t got = ::read(in, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    if (!writeAll(out, block, size_t(got))) return false;
  }
  *hotSpot = POINT{hx, hy};
  return true;
}

// The image of a cursor file, through a private temporary icon file in TEMP that is gone
// again when this returns; null when the file is not a one-image cursor file.
NSImage* imageFromCursorFile(const char* path, POINT* hotSpot, bool* hasHotSpot) {
  const int in = ::open(path, O_RDONLY | O_CLOEXEC);
  if (in < 0) return nullptr;
  const char* dir = std::getenv("TEMP");
  if (!dir || !*dir) dir = "/tmp";
  char name[300];
  std::snprintf(name, sizeof name, "%.200s/wapicurXXXXXX.ico", dir);
  const int out = ::mkstemps(name, 4);
  if (out < 0) {
    ::close(in);
    return nullptr;
  }
  POINT spot{0, 0};
  bool ok = cursorAsIcon(in, out, &spot);
  ::close(in);
  ok = ::close(out) == 0 && ok;
  NSImage* image = nullptr;
  if (ok) {
    image = static_cast<NSImage*>(NSImage::class_()->alloc())->initWithContentsOfFile(NSString::stringWithUTF8String(name));
  }
  ::unlink(name);
  // The directory's size may belie the image: the hot spot must lie inside what was read.
  if (image && (spot.x >= image->size().width || spot.y >= image->size().height)) {
    image->release();
    image = nullptr;
  }
  if (image) {
    if (hotSpot) *hotSpot = spot;
    if (hasHotSpot) *hasHotSpot = true;
  }
  return image;
}

bool endsWithCur(const char* name, size_t len) {
  return len >= 5 && strcasecmp(name + len - 4, ".cur") == 0;
}

// The image a cursor name stands for (owned by the caller), with the file's hot spot when it
// gives one.
NSImage* loadCursorImage(const char* name, POINT* hotSpot, bool* hasHotSpot) {
  if (hasHotSpot) *hasHotSpot = false;
  if (!name) return nullptr;
  const size_t len = std::strlen(name);
  const bool resource = !std::strchr(name, '/') && len < 1024;
  if (resource) {
    char bundle[4096];
    GetModuleFileName(nullptr, bundle, sizeof bundle);
    const std::string path = std::string(bundle) + "/Contents/Resources/" + name + ".cur";
    if (NSImage* image = imageFromCursorFile(path.c_str(), hotSpot, hasHotSpot)) return image;
    NSImage* named = NSImage::imageNamed(NSString::stringWithUTF8String(name));
    return named ? static_cast<NSImage*>(named->retain()) : nullptr;
  }
  if (endsWithCur(name, len)) {
    if (NSImage* image = imageFromCursorFile(name, hotSpot, hasHotSpot)) return image;
  }
  return static_cast<NSImage*>(NSImage::class_()->alloc())->initWithContentsOfFile(NSString::stringWithUTF8String(name));
}

NSCursor* cursorWithImage(NSImage* image, POINT hotSpot) {
  auto* cursor = static_cast<NSCursor*>(NSCursor::class_()->alloc());
  cursor->initWithImage(image, NSMakePoint(hotSpot.x, hotSpot.y));
  image->release();
  return cursor;
}

}  // namespace

HCURSOR WAPI_LoadCursor(const char* id) {
  switch (intptr_t(id)) {
    case -999: return NSCursor::arrowCursor();
    case -1000: return NSCursor::resizeLeftRightCursor();
    case -1001: return NSCursor::resizeUpDownCursor();
    case -1004: return NSCursor::resizeUpCursor();
    case -1005: return NSCursor::IBeamCursor();
    case 32649: return NSCursor::openHandCursor();
    case -1002:
    case -1003:
    case -1006:
    case -1007: {
      static NSCursor* built[4] = {};
      const int slot = intptr_t(id) == -1002 ? 0 : intptr_t(id) == -1003 ? 1 : intptr_t(id) == -1006 ? 2 : 3;
      if (!built[slot]) {
        const char* const* art = slot == 0 ? kFourWayArrow : slot == 1 ? kCircleWithBar : kDiagonalArrow;
        built[slot] = builtInCursor(art, slot == 3);
      }
      return built[slot];
    }
    default: break;
  }
  for (WAPI_CursorResourceIndex* r = WAPI_curmodule_cursorresource_head; r; r = r->_next) {
    if (intptr_t(r->resid) != intptr_t(id)) continue;
    if (r->cachedCursor) return r->cachedCursor;
    POINT spot{r->hsx, r->hsy};
    bool fromFile = false;
    NSImage* image = loadCursorImage(r->resname, &spot, &fromFile);
    if (!image) continue;
    if (fromFile) {
      r->hsx = spot.x;
      r->hsy = spot.y;
    }
    r->cachedCursor = cursorWithImage(image, POINT{r->hsx, r->hsy});
    return r->cachedCursor;
  }
  return nullptr;
}

HCURSOR WAPI_LoadCursorFromFile(const char* name) {
  POINT spot{0, 0};
  NSImage* image = loadCursorImage(name, &spot, nullptr);
  return image ? cursorWithImage(image, spot) : nullptr;
}

void WAPI_SetCursor(HCURSOR cursor) {
  // Only a live cursor object counts: a stale or foreign pointer is never touched.
  NSObject* o = wapiObject(reinterpret_cast<HWND>(cursor));
  if (o && o->isKindOfClass(NSCursor::class_())) {
    m_last_setcursor = cursor;
    cursor->set();
  } else {
    m_last_setcursor = nullptr;
    NSCursor::arrowCursor()->set();
  }
}

HCURSOR WAPI_GetCursor() {
  return NSCursor::currentCursor();
}

HCURSOR WAPI_GetLastSetCursor() {
  return m_last_setcursor;
}

int WAPI_ShowCursor(bool show) {
  const CGDirectDisplayID display = CGMainDisplayID();
  if (show) {
    if (++m_curvis_cnt == 0) {
      CGDisplayShowCursor(display);
      CGAssociateMouseAndMouseCursorPosition(true);
      g_wapi_mouse_relmode = false;
      const POINT p = g_wapi_mouse_relmode_curpos;
      CGWarpMouseCursorPosition(CGPointMake(p.x, displayHeight() - p.y));
    }
  } else if (--m_curvis_cnt == -1) {
    if (!g_wapi_mouse_relmode) {
      const NSPoint m = NSEvent::mouseLocation();
      g_wapi_mouse_relmode_curpos = POINT{wapiToInt(std::floor(m.x)), wapiToInt(std::ceil(m.y))};
    }
    CGDisplayHideCursor(display);
    CGAssociateMouseAndMouseCursorPosition(false);
    g_wapi_mouse_relmode = true;
  }
  return m_curvis_cnt;
}

bool WAPI_IsCursorVisible() {
  return m_curvis_cnt >= 0;
}

BOOL GetCursorPos(POINT* p) {
  if (!p) return 0;
  if (g_wapi_mouse_relmode) {
    *p = g_wapi_mouse_relmode_curpos;
  } else {
    const NSPoint m = NSEvent::mouseLocation();
    *p = POINT{wapiToInt(std::floor(m.x)), wapiToInt(std::ceil(m.y))};
  }
  return 1;
}

DWORD GetMessagePos() {
  POINT p{0, 0};
  GetCursorPos(&p);
  return (uint32_t(p.y) << 16) | (uint32_t(p.x) & 0xFFFF);
}

bool WAPI_SetCursorPos(int x, int y) {
  if (g_wapi_mouse_relmode) {
    g_wapi_mouse_relmode_curpos = POINT{x, y};
    return true;
  }
  return CGWarpMouseCursorPosition(CGPointMake(x, displayHeight() - y)) == kCGErrorSuccess;
}

NSPoint wapiProcessMouseEvent(UINT msg, NSView* view, NSEvent* event) {
  if (!view || !event) return NSMakePoint(0, 0);
  if (!g_wapi_mouse_relmode) return view->convertPoint(event->locationInWindow(), nullptr);
  if (msg == WM_MOUSEMOVE) {
    // 32-bit unsigned steps: a far move wraps instead of overflowing.
    POINT& v = g_wapi_mouse_relmode_curpos;
    v.x = int32_t(uint32_t(v.x) + uint32_t(wapiToInt(event->deltaX())));
    v.y = int32_t(uint32_t(v.y) - uint32_t(wapiToInt(event->deltaY())));
  }
  POINT p = g_wapi_mouse_relmode_curpos;
  ScreenToClient(wapiHandle(view), &p);
  return NSMakePoint(p.x, p.y);
}
