#include "kit/raster/rast_rect.h"

#include "kit/raster/rast_blitloops.h"
#include "kit/raster/rast_copymix.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_surface.h"

namespace {

template <class F>
void fillWords(const RAST_Surface& s, int x, int y, int w, int h, unsigned int c) {
  const unsigned int pc = F::prep(c);
  for (int j = 0; j < h; j++) {
    unsigned int* p = s.pixel(x, y + j);
    for (int i = 0; i < w; i++) F::doPix(p + i, pc);
  }
}

// Copy at the weights 64, 128, 192 and 256 on whole words. False when the weight is not one.
bool fillCopyFast(const RAST_Surface& s, int x, int y, int w, int h, unsigned int c, int a) {
  switch (a) {
    case 0: return true;
    case 64: fillWords<_RAST_CombinePixelsQuarterMix2FAST>(s, x, y, w, h, c); return true;
    case 128: fillWords<_RAST_CombinePixelsHalfMix2FAST>(s, x, y, w, h, c); return true;
    case 192: fillWords<_RAST_CombinePixelsThreeQuarterMix2FAST>(s, x, y, w, h, c); return true;
    case 256:
      for (int j = 0; j < h; j++) {
        unsigned int* p = s.pixel(x, y + j);
        for (int i = 0; i < w; i++) p[i] = c;
      }
      return true;
    default: return false;
  }
}

struct ClobberPrep : _RAST_CombinePixelsClobberFAST {
  static unsigned int prep(unsigned int c) { return c; }
};

}  // namespace

void RAST_Clear(RAST_IBitmap* dest, unsigned int color) {
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s)) return;
  fillWords<ClobberPrep>(s, 0, 0, s.width, s.height, color);
}

void RAST_FillRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int color, float alpha, int mode) {
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s)) return;
  if (mode & RAST_BLIT_USE_SOURCE_ALPHA) alpha *= (float)(color & 255) / 255.0f;
  if (!RAST_ClipRect(s, x, y, w, h)) return;
  if (alpha == 0.0f) return;
  const int a = RAST_AlphaWeight(alpha);
  const int m = mode & RAST_BLIT_MODE_MASK;
  const bool copy = m == RAST_BLIT_MODE_COPY;
  if (copy && fillCopyFast(s, x, y, w, h, color, a)) return;
  if ((copy && a < 1) || a == 0) return;

  const int r = RAST_PixelR(color), g = RAST_PixelG(color), b = RAST_PixelB(color);
  unsigned char* d = s.row(y) + (ptrdiff_t)x * 4;
  const int span = (int)s.step;
  if (copy && a < 256) {
    rast::CopyFillRows(d, w, h, r, g, b, a, span);
    return;
  }
  rast::ForCombiner(m, false, [&](auto c) { _RAST_Template_Blit1<decltype(c)>::solidBlit(d, w, h, r, g, b, a, span); });
}

void RAST_ClearRect(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int mask, unsigned int orbits) {
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s) || !RAST_ClipRect(s, x, y, w, h)) return;
  for (int j = 0; j < h; j++) {
    unsigned int* p = s.pixel(x, y + j);
    for (int i = 0; i < w; i++) p[i] = (p[i] & mask) | orbits;
  }
}

void RAST_MultiplyAddRect(RAST_IBitmap* dest, int x, int y, int w, int h, float rsc, float gsc, float bsc,
                          float asc, float radd, float gadd, float badd, float aadd) {
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s) || !RAST_ClipRect(s, x, y, w, h)) return;
  // Index by byte position: alpha, red, green, blue. The sums are formed in 64 bits so that
  // extreme factors saturate instead of overflowing.
  const long long sc[4] = {RAST_TruncSat(asc * 256.0), RAST_TruncSat(rsc * 256.0), RAST_TruncSat(gsc * 256.0),
                           RAST_TruncSat(bsc * 256.0)};
  const long long ad[4] = {RAST_TruncSat(aadd * 256.0), RAST_TruncSat(radd * 256.0), RAST_TruncSat(gadd * 256.0),
                           RAST_TruncSat(badd * 256.0)};
  for (int j = 0; j < h; j++) {
    unsigned char* p = s.row(y + j) + (ptrdiff_t)x * 4;
    for (int i = 0; i < w; i++, p += 4) {
      for (int c = 0; c < 4; c++) {
        const long long v = (p[c] * sc[c] + ad[c]) >> 8;
        p[c] = (unsigned char)(v < 0 ? 0 : v > 255 ? 255 : v);
      }
    }
  }
}

void RAST_ProcessRect(RAST_IBitmap* dest, int x, int y, int w, int h, RAST_ProcessRectFunc callback, void* parm) {
  RAST_Surface s;
  if (!callback || !RAST_GetSurface(dest, s) || !RAST_ClipRect(s, x, y, w, h)) return;
  for (int j = 0; j < h; j++) {
    unsigned int* p = s.pixel(x, y + j);
    for (int i = 0; i < w; i++) callback(p + i, parm);
  }
}

unsigned int RAST_GetPixel(RAST_IBitmap* bm, int x, int y) {
  RAST_Surface s;
  if (!RAST_GetSurface(bm, s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return 0;
  return *s.pixel(x, y);
}

void RAST_PutPixel(RAST_IBitmap* bm, int x, int y, unsigned int color, float alpha, int mode) {
  RAST_Surface s;
  if (!RAST_GetSurface(bm, s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  const int a = RAST_AlphaWeight(alpha);
  const int m = mode & RAST_BLIT_MODE_MASK;
  if (m == RAST_BLIT_MODE_COPY && fillCopyFast(s, x, y, 1, 1, color, a)) return;
  if (a == 0 || (m == RAST_BLIT_MODE_COPY && a < 1)) return;
  RAST_CombinePixels2(s.pixel(x, y), RAST_PixelR(color), RAST_PixelG(color), RAST_PixelB(color),
                      RAST_PixelA(color), a, m);
}

void RAST_SetAlphaFromColorMask(RAST_IBitmap* dest, unsigned int color) {
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s)) return;
  for (int j = 0; j < s.height; j++) {
    unsigned int* p = s.pixel(0, j);
    for (int i = 0; i < s.width; i++) {
      const unsigned int rgb = p[i] & ~255u;
      p[i] = rgb == color ? rgb : rgb | 255u;
    }
  }
}

namespace {

// Fills the run through column x of one row: x itself, then right and left while pixels match.
void fillRun(unsigned int* row, int x, int width, unsigned int target, unsigned int cmp, unsigned int keep,
             unsigned int newcolor) {
  row[x] = (row[x] & keep) | newcolor;
  for (int i = x + 1; i < width && (row[i] & cmp) == target; i++) row[i] = (row[i] & keep) | newcolor;
  for (int i = x - 1; i >= 0 && (row[i] & cmp) == target; i--) row[i] = (row[i] & keep) | newcolor;
}

}  // namespace

void RAST_SimpleFill(RAST_IBitmap* dest, int x, int y, unsigned int newcolor, unsigned int comparemask,
                     unsigned int keepmask) {
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s) || x < 0 || y < 0 || x >= s.width || y >= s.height) return;
  const unsigned int target = *s.pixel(x, y) & comparemask;
  for (int j = y; j < s.height; j++) {
    unsigned int* row = s.pixel(0, j);
    if (j != y && (row[x] & comparemask) != target) break;
    fillRun(row, x, s.width, target, comparemask, keepmask, newcolor);
  }
  for (int j = y - 1; j >= 0; j--) {
    unsigned int* row = s.pixel(0, j);
    if ((row[x] & comparemask) != target) break;
    fillRun(row, x, s.width, target, comparemask, keepmask, newcolor);
  }
}
