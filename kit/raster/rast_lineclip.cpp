#include "kit/raster/rast_lineclip.h"

#include <climits>
#include <cmath>

#include "kit/raster/rast_fixed.h"

namespace {

inline int regionCode(long long x, long long y, long long w, long long h) {
  int c = 0;
  if (x < 0)
    c |= 1;
  else if (x >= w)
    c |= 2;
  if (y < 0)
    c |= 4;
  else if (y >= h)
    c |= 8;
  return c;
}

// Offset of the crossing from the first end, truncated toward zero. The moved end always lies
// between the two current ends, so the result stays in their range.
inline long long crossing(long long num, long long dmul, long long den) {
  return (long long)((double)num * (double)dmul / (double)den);
}

inline int clampInt(long long v) { return RAST_SaturateInt(v, INT_MIN, INT_MAX); }

inline int floatCode(float x, float y, float xmax, float ymax) {
  int c = 0;
  if (x < 0)
    c |= 1;
  else if (x >= xmax)
    c |= 2;
  if (y < 0)
    c |= 4;
  else if (y >= ymax)
    c |= 8;
  return c;
}

}  // namespace

bool rast::ClipLine64(long long* px1, long long* py1, long long* px2, long long* py2, long long w,
                      long long h) {
  long long x1 = *px1, y1 = *py1, x2 = *px2, y2 = *py2;
  bool ok = false;
  if (w > 0 && h > 0) {
    int c1 = regionCode(x1, y1, w, h), c2 = regionCode(x2, y2, w, h);
    // Each end is moved at most twice; the bound only guards against a rounding surprise.
    for (int guard = 0; guard < 16; guard++) {
      if (!(c1 | c2)) {
        ok = true;
        break;
      }
      if (c1 & c2) break;
      const int c = c1 ? c1 : c2;
      long long x, y;
      if (c & 8) {
        x = x1 + crossing(h - y1, x2 - x1, y2 - y1);
        y = h - 1;
      } else if (c & 4) {
        x = x1 + crossing(0 - y1, x2 - x1, y2 - y1);
        y = 0;
      } else if (c & 2) {
        y = y1 + crossing(w - x1, y2 - y1, x2 - x1);
        x = w - 1;
      } else {
        y = y1 + crossing(0 - x1, y2 - y1, x2 - x1);
        x = 0;
      }
      if (c == c1) {
        x1 = x;
        y1 = y;
        c1 = regionCode(x1, y1, w, h);
      } else {
        x2 = x;
        y2 = y;
        c2 = regionCode(x2, y2, w, h);
      }
    }
  }
  *px1 = x1;
  *py1 = y1;
  *px2 = x2;
  *py2 = y2;
  return ok;
}

bool ClipLine(int* x1, int* y1, int* x2, int* y2, int width, int height) {
  long long a = *x1, b = *y1, c = *x2, d = *y2;
  const bool ok = rast::ClipLine64(&a, &b, &c, &d, width, height);
  *x1 = clampInt(a);
  *y1 = clampInt(b);
  *x2 = clampInt(c);
  *y2 = clampInt(d);
  return ok;
}

bool ClipFLine(float* px1, float* py1, float* px2, float* py2, int width, int height) {
  float x1 = *px1, y1 = *py1, x2 = *px2, y2 = *py2;
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return false;
  const float xmax = (float)((long long)width - 1), ymax = (float)((long long)height - 1);
  int c1 = floatCode(x1, y1, xmax, ymax), c2 = floatCode(x2, y2, xmax, ymax);
  bool ok = !(c1 | c2);
  // Float rounding can make an end bounce between two edges; a bounded number of moves decides.
  for (int guard = 0; !ok && guard < 16; guard++) {
    if (c1 & c2) break;
    const int c = c1 ? c1 : c2;
    float x, y;
    if (c & 8) {
      x = x1 + (x2 - x1) * (ymax - y1) / (y2 - y1);
      y = ymax - 1;
    } else if (c & 4) {
      x = x1 + (x2 - x1) * y1 / (y1 - y2);
      y = 0;
    } else if (c & 2) {
      y = y1 + (y2 - y1) * (xmax - x1) / (x2 - x1);
      x = xmax - 1;
    } else {
      y = y1 + (y2 - y1) * x1 / (x1 - x2);
      x = 0;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) break;
    if (c == c1) {
      x1 = x;
      y1 = y;
      c1 = floatCode(x1, y1, xmax, ymax);
    } else {
      x2 = x;
      y2 = y;
      c2 = floatCode(x2, y2, xmax, ymax);
    }
    ok = !(c1 | c2);
  }
  *px1 = x1;
  *py1 = y1;
  *px2 = x2;
  *py2 = y2;
  return ok;
}

bool RAST_ClipLine(int* x1, int* y1, int* x2, int* y2, int left, int top, int right, int bottom) {
  long long a = (long long)*x1 - left, b = (long long)*y1 - top, c = (long long)*x2 - left,
            d = (long long)*y2 - top;
  const bool ok = rast::ClipLine64(&a, &b, &c, &d, (long long)right - left, (long long)bottom - top);
  *x1 = clampInt(a + left);
  *y1 = clampInt(b + top);
  *x2 = clampInt(c + left);
  *y2 = clampInt(d + top);
  return ok;
}

bool RAST_ClipFLine(float* x1, float* y1, float* x2, float* y2, float left, float top, float right,
                    float bottom) {
  if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom))
    return false;
  *x1 -= left;
  *y1 -= top;
  *x2 -= left;
  *y2 -= top;
  const bool ok = ClipFLine(x1, y1, x2, y2, RAST_TruncSat((double)(right - left)),
                            RAST_TruncSat((double)(bottom - top)));
  *x1 += left;
  *y1 += top;
  *x2 += left;
  *y2 += top;
  return ok;
}
