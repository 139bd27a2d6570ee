#include "kit/raster/rast_blit.h"

#include <cstdlib>
#include <cstring>

#include "kit/raster/rast_blitloops.h"
#include "kit/raster/rast_copymix.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_surface.h"

namespace {

typedef void (*RowsFn)(unsigned char* d, const unsigned char* s, int w, int h, int sspan, int dspan, int parm);

void copyRows(unsigned char* d, const unsigned char* s, int w, int h, int sspan, int dspan, int) {
  for (int y = 0; y < h; y++, d += dspan, s += sspan) memcpy(d, s, (size_t)w * 4);
}

void halfMixRows(unsigned char* d, const unsigned char* s, int w, int h, int sspan, int dspan, int) {
  for (int y = 0; y < h; y++, d += dspan, s += sspan) {
    unsigned int* dp = (unsigned int*)d;
    const unsigned int* sp = (const unsigned int*)s;
    for (int x = 0; x < w; x++) _RAST_CombinePixelsHalfMixFAST::doPix(dp + x, sp[x]);
  }
}

// parm carries the mode: source byte mode & 3 goes into destination byte (mode >> 2) & 3.
void channelCopyRows(unsigned char* d, const unsigned char* s, int w, int h, int sspan, int dspan, int mode) {
  const int sb = mode & 3, db = (mode >> 2) & 3;
  for (int y = 0; y < h; y++, d += dspan, s += sspan)
    for (int x = 0; x < w; x++) d[x * 4 + db] = s[x * 4 + sb];
}

// Picks the row operation for a blit; null draws nothing. parm is set to what it takes.
RowsFn pickBlit(float alpha, int mode, int& parm) {
  if ((mode & 0xF0) == 0xF0) {
    parm = mode;
    return channelCopyRows;
  }
  mode &= 0x100FF;
  if (mode == 0 && alpha == 1.0f) return copyRows;
  if (mode == 0 && alpha == 0.5f) return halfMixRows;
  const int a = RAST_AlphaWeight(alpha);
  parm = a;
  if (a == 0) return nullptr;
  switch (mode) {
    case 0:
      if (a < 1) return nullptr;
      if (a == 256) return copyRows;
      if (a < 256) return _RAST_CopyMixRows;
      return _RAST_Template_Blit2<_RAST_CombinePixelsCopyNoClamp>::blit;
    case 1: return _RAST_Template_Blit2<_RAST_CombinePixelsAdd>::blit;
    case 2: return _RAST_Template_Blit2<_RAST_CombinePixelsColorDodge>::blit;
    case 3: return _RAST_Template_Blit2<_RAST_CombinePixelsMulNoClamp>::blit;
    case 4: return _RAST_Template_Blit2<_RAST_CombinePixelsOverlay>::blit;
    case 5: return _RAST_Template_Blit2<_RAST_CombinePixelsHSVAdjust>::blit;
    case 0x10000:
      // The row forms cover the weights of ordinary use; weights beyond keep their wrapping.
      if (a == 256) return _RAST_CopySourceAlphaFullRows;
      if (a > 0 && a < 256) return _RAST_CopySourceAlphaRows;
      return _RAST_Template_Blit2<_RAST_CombinePixelsCopySourceAlphaNoClamp>::blit;
    case 0x10001: return _RAST_Template_Blit2<_RAST_CombinePixelsAddSourceAlpha>::blit;
    case 0x10002: return _RAST_Template_Blit2<_RAST_CombinePixelsColorDodgeSourceAlpha>::blit;
    case 0x10003: return _RAST_Template_Blit2<_RAST_CombinePixelsMulSourceAlphaNoClamp>::blit;
    case 0x10004: return _RAST_Template_Blit2<_RAST_CombinePixelsOverlaySourceAlpha>::blit;
    case 0x10005: return _RAST_Template_Blit2<_RAST_CombinePixelsHSVAdjustSourceAlpha>::blit;
    default: return nullptr;
  }
}

// A row buffer on the stack for ordinary widths, on the heap beyond.
class RowBuffer {
 public:
  explicit RowBuffer(size_t pixels) {
    if (pixels <= kStackPixels)
      m_p = m_stack;
    else
      m_p = m_heap = (unsigned int*)malloc(pixels * 4);
  }
  ~RowBuffer() { free(m_heap); }
  RowBuffer(const RowBuffer&) = delete;
  RowBuffer& operator=(const RowBuffer&) = delete;
  unsigned int* get() const { return m_p; }

 private:
  static const size_t kStackPixels = 2048;
  unsigned int m_stack[kStackPixels];
  unsigned int* m_heap = nullptr;
  unsigned int* m_p = nullptr;
};

void blitClipped(RAST_IBitmap* dest, RAST_IBitmap* src, long long dx, long long dy, long long left, long long top,
                 long long right, long long bottom, float alpha, int mode) {
  if (!dest || !src || alpha == 0.0f) return;
  RAST_Surface ds, ss;
  if (!RAST_GetSurface(dest, ds) || !RAST_GetSurface(src, ss)) return;

  long long sx = left, sy = top;
  if (sx < 0) { dx -= sx; sx = 0; }
  if (sy < 0) { dy -= sy; sy = 0; }
  if (right > ss.width) right = ss.width;
  if (bottom > ss.height) bottom = ss.height;
  if (dx < 0) { sx -= dx; dx = 0; }
  if (dy < 0) { sy -= dy; dy = 0; }
  if (dx + (right - sx) > ds.width) right = sx + ds.width - dx;
  if (dy + (bottom - sy) > ds.height) bottom = sy + ds.height - dy;
  const long long lw = right - sx, lh = bottom - sy;
  if (lw <= 0 || lh <= 0) return;
  const int w = (int)lw, h = (int)lh;

  int parm = 0;
  RowsFn fn = pickBlit(alpha, mode, parm);
  if (!fn) return;

  unsigned char* d = ds.row((int)dy) + dx * 4;
  const unsigned char* s = ss.row((int)sy) + sx * 4;

  // Source and destination inside one bitmap: each row is read into a buffer before it is
  // written, and rows are walked away from the overlap so no source row is overwritten unread.
  const bool sameBits = ds.top == ss.top && ds.step == ss.step;
  const bool overlap = sameBits && dx < sx + w && sx < dx + w && dy < sy + h && sy < dy + h;
  if (!overlap) {
    fn(d, s, w, h, (int)ss.step, (int)ds.step, parm);
    return;
  }
  RowBuffer buf((size_t)w);
  if (!buf.get()) return;
  const bool upward = dy > sy;
  for (int i = 0; i < h; i++) {
    const int y = upward ? h - 1 - i : i;
    memcpy(buf.get(), s + ss.step * y, (size_t)w * 4);
    fn(d + ds.step * y, (const unsigned char*)buf.get(), w, 1, 0, 0, parm);
  }
}

}  // namespace

void RAST_Copy(RAST_IBitmap* dest, RAST_IBitmap* src) {
  if (!dest || !src || dest == src) return;
  dest->resize(src->getWidth(), src->getHeight());
  RAST_Blit(dest, src, 0, 0, nullptr, 1.0f, 0);
}

void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, RECT* srcrect, float alpha, int mode) {
  if (!dest || !src) return;
  if (srcrect)
    blitClipped(dest, src, dstx, dsty, srcrect->left, srcrect->top, srcrect->right, srcrect->bottom, alpha, mode);
  else
    blitClipped(dest, src, dstx, dsty, 0, 0, src->getWidth(), src->getHeight(), alpha, mode);
}

void RAST_Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch,
               float alpha, int mode) {
  blitClipped(dest, src, dstx, dsty, srcx, srcy, (long long)srcx + srcw, (long long)srcy + srch, alpha, mode);
}

void RAST_GradRect(RAST_IBitmap* dest, int dstx, int dsty, int dstw, int dsth, float ir, float ig, float ib,
                   float ia, float drdx, float dgdx, float dbdx, float dadx, float drdy, float dgdy, float dbdy,
                   float dady, int mode) {
  if (!dest) return;
  ir *= 255; ig *= 255; ib *= 255; ia *= 256;
  drdx *= 255; dgdx *= 255; dbdx *= 255; dadx *= 256;
  drdy *= 255; dgdy *= 255; dbdy *= 255; dady *= 256;

  long long x = dstx, y = dsty, w = dstw, h = dsth;
  if (x < 0) {
    const float fx = (float)x;
    ir -= fx * drdx; ig -= fx * dgdx; ib -= fx * dbdx; ia -= fx * dadx;
    w += x;
    x = 0;
  }
  if (y < 0) {
    const float fy = (float)y;
    ir -= fy * drdy; ig -= fy * dgdy; ib -= fy * dbdy; ia -= fy * dady;
    h += y;
    y = 0;
  }
  RAST_Surface s;
  if (!RAST_GetSurface(dest, s)) return;
  if (w > s.width - x) w = s.width - x;
  if (h > s.height - y) h = s.height - y;
  if (w <= 0 || h <= 0) return;

  auto fx = [](float v) { return RAST_TruncSat((double)v * 65536.0); };
  const int r0 = fx(ir), g0 = fx(ig), b0 = fx(ib), a0 = fx(ia);
  const int rdx = fx(drdx), gdx = fx(dgdx), bdx = fx(dbdx), adx = fx(dadx);
  const int rdy = fx(drdy), gdy = fx(dgdy), bdy = fx(dbdy), ady = fx(dady);

  unsigned char* d = s.row((int)y) + x * 4;
  const int iw = (int)w, ih = (int)h, span = (int)s.step;
#define QOR_GRAD(C) \
  _RAST_Template_Blit1<C>::gradBlit(d, iw, ih, r0, g0, b0, a0, rdx, gdx, bdx, adx, rdy, gdy, bdy, ady, span)
  switch (mode & 0xFF) {
    case 0:
      if (adx == 0 && ady == 0 && a0 / 65536 == 256)
        QOR_GRAD(_RAST_CombinePixelsClobberClamp);
      else
        QOR_GRAD(_RAST_CombinePixelsCopyClamp);
      break;
    case 1: QOR_GRAD(_RAST_CombinePixelsAdd); break;
    case 2: QOR_GRAD(_RAST_CombinePixelsColorDodge); break;
    case 3: QOR_GRAD(_RAST_CombinePixelsMulClamp); break;
    case 4: QOR_GRAD(_RAST_CombinePixelsOverlay); break;
    case 5: QOR_GRAD(_RAST_CombinePixelsHSVAdjust); break;
    default: break;
  }
#undef QOR_GRAD
}

namespace {

// One blurred row. C is the unblurred row itself, U and D the unblurred rows above and below
// (either may be null at the rectangle's edge; the other then counts twice). out may not alias C.
void blurRow(unsigned int* out, const unsigned int* C, const unsigned int* U, const unsigned int* D, int w) {
  if (!U) U = D;
  if (!D) D = U;
  const bool edgeRow = U == D;
  for (int x = 0; x < w; x++) {
    unsigned int v = _RAST_Half(C[x]);
    if (x == 0)
      v += _RAST_Quarter(C[1]);
    else if (x == w - 1)
      v += _RAST_Quarter(C[x - 1]);
    else
      v += _RAST_Eighth(C[x - 1]) + _RAST_Eighth(C[x + 1]);
    if (edgeRow)
      v += _RAST_Quarter(U[x]);
    else
      v += _RAST_Eighth(U[x]) + _RAST_Eighth(D[x]);
    out[x] = v;
  }
}

}  // namespace

void RAST_Blur(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int srcx, int srcy, int srcw, int srch) {
  if (!dest || !src) return;
  RAST_Surface ds, ss;
  if (!RAST_GetSurface(dest, ds) || !RAST_GetSurface(src, ss)) return;

  long long right = (long long)srcx + srcw, bottom = (long long)srcy + srch;
  if (right > ss.width) right = ss.width;
  if (bottom > ss.height) bottom = ss.height;
  long long sx = srcx < 0 ? 0 : srcx, sy = srcy < 0 ? 0 : srcy;
  long long dx = dstx, dy = dsty;
  if (dx < 0) { sx -= dx; dx = 0; }
  if (dy < 0) { sy -= dy; dy = 0; }
  if (dx + (right - sx) > ds.width) right = sx + ds.width - dx;
  if (dy + (bottom - sy) > ds.height) bottom = sy + ds.height - dy;
  const long long lw = right - sx, lh = bottom - sy;
  if (lw < 2 || lh < 2) return;
  const int w = (int)lw, h = (int)lh;

  auto srow = [&](int y) { return (const unsigned int*)(ss.row((int)sy + y)) + sx; };
  auto drow = [&](int y) { return (unsigned int*)(ds.row((int)dy + y)) + dx; };

  const bool sameBits = ds.top == ss.top && ds.step == ss.step;
  if (!sameBits) {
    for (int y = 0; y < h; y++)
      blurRow(drow(y), srow(y), y > 0 ? srow(y - 1) : nullptr, y < h - 1 ? srow(y + 1) : nullptr, w);
    return;
  }

  const bool inPlace = dx == sx && dy == sy;
  if (!inPlace) {
    // Moved within one bitmap: blur from an unblurred copy so overlapping rows stay intact.
    unsigned int* copy = (unsigned int*)malloc((size_t)w * (size_t)h * 4);
    if (!copy) return;
    for (int y = 0; y < h; y++) memcpy(copy + (size_t)w * y, srow(y), (size_t)w * 4);
    for (int y = 0; y < h; y++)
      blurRow(drow(y), copy + (size_t)w * y, y > 0 ? copy + (size_t)w * (y - 1) : nullptr,
              y < h - 1 ? copy + (size_t)w * (y + 1) : nullptr, w);
    free(copy);
    return;
  }

  // In place: two saved rows hold the unblurred current and previous row; the row below is
  // still unblurred in the bitmap when the current row is written. Without the buffer (a wide
  // row whose memory cannot be had) the blur is skipped.
  RowBuffer buf((size_t)w * 2);
  if (!buf.get()) return;
  for (int y = 0; y < h; y++) {
    unsigned int* cur = buf.get() + (size_t)w * (y & 1);
    const unsigned int* prev = buf.get() + (size_t)w * ((y + 1) & 1);
    memcpy(cur, srow(y), (size_t)w * 4);
    blurRow(drow(y), cur, y > 0 ? prev : nullptr, y < h - 1 ? srow(y + 1) : nullptr, w);
  }
}
