// Rectangles, integer helpers, strings, GUIDs and global memory blocks.
#include "kit/wapi/wapi.h"

#include <sys/random.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

BOOL WAPI_PtInRect(const RECT* r, POINT p) {
  if (!r) return 0;
  int top = r->top < r->bottom ? r->top : r->bottom;
  int bottom = r->top < r->bottom ? r->bottom : r->top;
  return p.x >= r->left && p.x < r->right && p.y >= top && p.y < bottom;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return 0;
  double v = std::trunc(double(a) * double(b) / double(c));
  // A result outside int cannot be represented: answer -1 as a failed division does.
  if (!(v >= double(INT_MIN) && v <= double(INT_MAX))) return -1;
  return int(v);
}

unsigned int _controlfp(unsigned int newValue, unsigned int mask) {
#if defined(__i386__) || defined(__x86_64__)
  unsigned short cw = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
  cw = static_cast<unsigned short>(cw & ~((mask & 0x300u) << 2));
  cw = static_cast<unsigned short>(cw | (newValue << 2));
  if (mask & 0x300u) __asm__ __volatile__("fldcw %0" : : "m"(cw));
  return cw >> 2;
#else
  (void)newValue;
  (void)mask;
  return 0;
#endif
}

BOOL WinOffsetRect(RECT* r, int dx, int dy) {
  if (!r) return 0;
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
  return 1;
}

BOOL WinSetRect(RECT* r, int left, int top, int right, int bottom) {
  if (!r) return 0;
  r->left = left;
  r->top = top;
  r->right = right;
  r->bottom = bottom;
  return 1;
}

BOOL WinIntersectRect(RECT* out, const RECT* a, const RECT* b) {
  if (!out) return 0;
  memset(out, 0, sizeof(*out));
  if (!a || !b) return 0;
  if (a->right <= a->left || a->bottom <= a->top || b->right <= b->left || b->bottom <= b->top)
    return 0;
  out->left = a->left > b->left ? a->left : b->left;
  out->top = a->top > b->top ? a->top : b->top;
  out->right = a->right < b->right ? a->right : b->right;
  out->bottom = a->bottom < b->bottom ? a->bottom : b->bottom;
  return out->right > out->left && out->bottom > out->top;
}

void WinUnionRect(RECT* out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return;
  RECT r;
  r.left = a->left < b->left ? a->left : b->left;
  r.top = a->top < b->top ? a->top : b->top;
  r.right = a->right > b->right ? a->right : b->right;
  r.bottom = a->bottom > b->bottom ? a->bottom : b->bottom;
  *out = r;
}

char* lstrcpyn(char* dest, const char* src, int n) {
  if (!dest || n < 1) return dest;
  int i = 0;
  if (src)
    for (; i < n - 1 && src[i]; ++i) dest[i] = src[i];
  dest[i] = 0;
  return dest;
}

void WAPI_GenerateGUID(GUID* out) {
  uint8_t b[16];
  size_t got = 0;
  while (got < sizeof(b)) {
    ssize_t n = getrandom(b + got, sizeof(b) - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      // No kernel randomness: fall back to the C library's generator.
      for (; got < sizeof(b); ++got) b[got] = uint8_t(rand());
      break;
    }
    got += size_t(n);
  }
  b[6] = uint8_t((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = uint8_t((b[8] & 0x3F) | 0x80);  // variant 1
  if (out) memcpy(out->bytes, b, sizeof(b));
}

namespace {
struct GlobalHeader {
  int32_t size;
  int32_t locks;
};
static_assert(sizeof(GlobalHeader) == 8, "the header is 8 bytes");

GlobalHeader* header(HANDLE mem) {
  return reinterpret_cast<GlobalHeader*>(static_cast<char*>(mem) - sizeof(GlobalHeader));
}
}  // namespace

HANDLE GlobalAlloc(int, int size) {
  if (size < 0) size = 0;
  GlobalHeader* h = static_cast<GlobalHeader*>(malloc(sizeof(GlobalHeader) + size_t(size)));
  if (!h) return nullptr;
  h->size = size;
  h->locks = 0;
  return h + 1;
}

void* GlobalLock(HANDLE mem) {
  if (!mem) return nullptr;
  header(mem)->locks++;
  return mem;
}

void GlobalUnlock(HANDLE mem) {
  if (mem) header(mem)->locks--;
}

int GlobalSize(HANDLE mem) { return mem ? header(mem)->size : 0; }

void GlobalFree(HANDLE mem) {
  if (mem) free(header(mem));
}
