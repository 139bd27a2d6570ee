#include "kit/raster/rast_halvecmp.h"

#include <cstring>

#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_surface.h"

void RAST_HalveBlitAA(RAST_IBitmap* dest, RAST_IBitmap* src) {
  // In place works too: every pixel is read before the write that could reach it.
  if (!dest || !src) return;
  RAST_PixelValue* db = dest->getBits();
  const RAST_PixelValue* sb = src->getBits();
  if (!db || !sb) return;
  int w = src->getWidth() / 2, h = src->getHeight() / 2;
  if (dest->getWidth() < w) w = dest->getWidth();
  if (dest->getHeight() < h) h = dest->getHeight();
  if (w < 1 || h < 1) return;
  const size_t dspan = (size_t)dest->getRowSpan(), sspan = (size_t)src->getRowSpan();
  for (int y = 0; y < h; y++) {
    unsigned int* d = db + dspan * y;
    const unsigned int* s0 = sb + sspan * 2 * y;
    const unsigned int* s1 = s0 + sspan;
    int x = 0;
    for (; x + 1 < w; x += 2) {
      d[x] = rast::Quarter(s0[2 * x]) + rast::Quarter(s0[2 * x + 1]) + rast::Quarter(s1[2 * x]) +
             rast::Quarter(s1[2 * x + 1]);
      d[x + 1] = rast::Quarter(s0[2 * x + 2]) + rast::Quarter(s0[2 * x + 3]) + rast::Quarter(s1[2 * x + 2]) +
                 rast::Quarter(s1[2 * x + 3]);
    }
    if (x < w)
      d[x] = rast::Quarter(s0[2 * x]) + rast::Quarter(s0[2 * x + 1]) + rast::Quarter(s1[2 * x]) +
             rast::Quarter(s1[2 * x + 1]);
  }
}

namespace {

// First and last differing columns of a row, or false when the rows are equal.
bool rowSpanDiff(const unsigned int* a, const unsigned int* b, int w, int& first, int& last) {
  int i = 0;
  while (i < w && a[i] == b[i]) i++;
  if (i == w) return false;
  int j = w - 1;
  while (a[j] == b[j]) j--;
  first = i;
  last = j;
  return true;
}

}  // namespace

int RAST_BitmapCmp(RAST_IBitmap* a, RAST_IBitmap* b, int* coordsOut) {
  if (!a || !b) return a == b ? 0 : a ? 1 : -1;
  if (a->getWidth() != b->getWidth()) return b->getWidth() - a->getWidth();
  if (a->getHeight() != b->getHeight()) return b->getHeight() - a->getHeight();
  RAST_Surface sa, sb;
  const bool ha = RAST_GetSurface(a, sa), hb = RAST_GetSurface(b, sb);
  if (!ha || !hb) {
    // Equal sizes without rows to compare: equal, unless only one has pixels.
    if (coordsOut) coordsOut[0] = coordsOut[1] = coordsOut[2] = coordsOut[3] = 0;
    return ha == hb ? 0 : ha ? -1 : 1;
  }
  const int w = sa.width, h = sa.height;
  auto rowA = [&](int y) { return (const unsigned int*)sa.row(y); };
  auto rowB = [&](int y) { return (const unsigned int*)sb.row(y); };

  if (!coordsOut) {
    for (int y = 0; y < h; y++) {
      const int c = memcmp(rowA(y), rowB(y), (size_t)w * 4);
      if (c) return c;
    }
    return 0;
  }

  int top = 0, left = 0, right = 0;
  while (top < h && !rowSpanDiff(rowA(top), rowB(top), w, left, right)) top++;
  if (top == h) {
    coordsOut[0] = coordsOut[1] = coordsOut[2] = coordsOut[3] = 0;
    return 0;
  }
  int bottom = h - 1, l2, r2;
  while (bottom > top && !rowSpanDiff(rowA(bottom), rowB(bottom), w, l2, r2)) bottom--;
  if (bottom > top) {
    if (l2 < left) left = l2;
    if (r2 > right) right = r2;
  }
  // Rows between need only be searched outside the bounds found so far.
  for (int y = top + 1; y < bottom && (left > 0 || right < w - 1); y++) {
    const unsigned int *ra = rowA(y), *rb = rowB(y);
    for (int x = 0; x < left; x++)
      if (ra[x] != rb[x]) {
        left = x;
        break;
      }
    for (int x = w - 1; x > right; x--)
      if (ra[x] != rb[x]) {
        right = x;
        break;
      }
  }
  coordsOut[0] = left;
  coordsOut[1] = top;
  coordsOut[2] = right - left + 1;
  coordsOut[3] = bottom - top + 1;
  return 1;
}
