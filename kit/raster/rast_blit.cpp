#include "kit/raster/rast_blit.h"

#include <cstdlib>
#include <cstring>

#include "kit/raster/rast_blitloops.h"
#include "kit/raster/rast_copymix.h"
#include "kit/raster/rast_fixed.h"
#include "kit/raster/rast_surface.h"

namespace {

typedef void (*RowsFn)(unsigned char* d, const unsigned char* s, int w, int h, int sspan, int dspan, int parm);

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

// The row operation of a combiner at weight a: its loop, or the whole-row form that gives the
// same pixels faster for the weights that form covers. The other weights keep their wrapping.
template <class C>
RowsFn rowsFor(C, int) {
  return _RAST_Template_Blit2<C>::blit;
}
RowsFn rowsFor(_RAST_CombinePixelsClobberNoClamp, int) { return rast::CopyRows; }
RowsFn rowsFor(_RAST_CombinePixelsCopyNoClamp c, int a) { return a < 256 ? rast::CopyMixRows : rowsFor<>(c, a); }
RowsFn rowsFor(_RAST_CombinePixelsAdd c, int a) { return a > 0 && a <= 256 ? rast::AddRows : rowsFor<>(c, a); }
RowsFn rowsFor(_RAST_CombinePixelsCopySourceAlphaIgnoreAlphaParmNoClamp, int) { return rast::CopySourceAlphaFullRows; }
RowsFn rowsFor(_RAST_CombinePixelsCopySourceAlphaNoClamp c, int a) {
  return a > 0 && a < 256 ? rast::CopySourceAlphaRows : rowsFor<>(c, a);
}

// Picks the row operation for a blit; null draws nothing. parm is set to what it takes.
RowsFn pickBlit(float alpha, int mode, int& parm) {
  if ((mode & RAST_BLIT_CHANNEL_COPY) == RAST_BLIT_CHANNEL_COPY) {
    parm = mode;
    return channelCopyRows;
  }
  const int sel = rast::CombinerSelector(mode);
  if (sel == RAST_BLIT_MODE_COPY && alpha == 1.0f) return rast::CopyRows;
  if (sel == RAST_BLIT_MODE_COPY && alpha == 0.5f) return halfMixRows;
  const int a = RAST_AlphaWeight(alpha);
  parm = a;
  if (a == 0 || (sel == RAST_BLIT_MODE_COPY && a < 1)) return nullptr;
  RowsFn fn = nullptr;
  rast::ForBlendCombiner(sel, a == 256, [&](auto c) { fn = rowsFor(c, a); });
  return fn;
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
  // At a constant full weight the copy is a plain store of the clamped colour.
  const bool store = adx == 0 && ady == 0 && a0 / 65536 == 256;
  rast::ForCombiner<rast::Clamped>(mode & RAST_BLIT_MODE_MASK, store, [&](auto c) {
    _RAST_Template_Blit1<decltype(c)>::gradBlit(d, iw, ih, r0, g0, b0, a0, rdx, gdx, bdx, adx, rdy, gdy, bdy, ady,
                                                span);
  });
}

namespace {

// One blurred row. C is the unblurred row itself, U and D the unblurred rows above and below
// (either may be null at the rectangle's edge; the other then counts twice). out may not alias C.
void blurRow(unsigned int* out, const unsigned int* C, const unsigned int* U, const unsigned int* D, int w) {
  if (!U) U = D;
  if (!D) D = U;
  const bool edgeRow = U == D;
  for (int x = 0; x < w; x++) {
    unsigned int v = rast::Half(C[x]);
    if (x == 0)
      v += rast::Quarter(C[1]);
    else if (x == w - 1)
      v += rast::Quarter(C[x - 1]);
    else
      v += rast::Eighth(C[x - 1]) + rast::Eighth(C[x + 1]);
    if (edgeRow)
      v += rast::Quarter(U[x]);
    else
      v += rast::Eighth(U[x]) + rast::Eighth(D[x]);
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
