#include "kit/raster/rast_circle.h"

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_drawglyph.h"
#include "kit/raster/rast_fixed.h"

namespace rast {
typedef long long CircleCoord;
}

// One set of point, run and circle members per combiner; coordinates are 64-bit so that no
// radius or centre overflows the arithmetic.
template <class C>
class _RAST_CircleDrawer {
  typedef rast::CircleCoord i64;

 public:
  struct Clip {
    i64 left, top, right, bottom;
  };
  struct Ctx {
    RAST_PixelValue* bits;
    ptrdiff_t span;
    Clip clip;
    bool clipOn;
    int r, g, b, a;
  };

  static void DrawClippedPt(const Ctx& c, i64 x, i64 y, int w) {
    if (c.clipOn && (x < c.clip.left || x >= c.clip.right || y < c.clip.top || y >= c.clip.bottom)) return;
    C::doPix((unsigned char*)(c.bits + (ptrdiff_t)y * c.span + (ptrdiff_t)x), c.r, c.g, c.b, c.a, w);
  }

  static void DrawClippedVertLine(const Ctx& c, i64 x, i64 y0, i64 y1, int w) {
    if (c.clipOn) {
      if (x < c.clip.left || x >= c.clip.right) return;
      if (y0 < c.clip.top) y0 = c.clip.top;
      if (y1 > c.clip.bottom - 1) y1 = c.clip.bottom - 1;
    }
    if (y0 > y1) return;
    RAST_PixelValue* p = c.bits + (ptrdiff_t)y0 * c.span + (ptrdiff_t)x;
    for (i64 y = y0; y <= y1; y++, p += c.span) C::doPix((unsigned char*)p, c.r, c.g, c.b, c.a, w);
  }

  static void DrawClippedHorzLine(const Ctx& c, i64 y, i64 x0, i64 x1, int w) {
    if (c.clipOn) {
      if (y < c.clip.top || y >= c.clip.bottom) return;
      if (x0 < c.clip.left) x0 = c.clip.left;
      if (x1 > c.clip.right - 1) x1 = c.clip.right - 1;
    }
    if (x0 > x1) return;
    RAST_PixelValue* p = c.bits + (ptrdiff_t)y * c.span + (ptrdiff_t)x0;
    for (i64 x = x0; x <= x1; x++, p++) C::doPix((unsigned char*)p, c.r, c.g, c.b, c.a, w);
  }

  // Midpoint circle with 8-way symmetry. The runs of a filled circle never overlap and make one
  // unbroken span per row, so they are gathered per row and drawn as rows: the same pixels, each
  // once, without walking columns down the bitmap.
  static void DrawClippedCircle(const Ctx& c, float cx, float cy, float rad, int w, bool filled) {
    const i64 X = centre(cx), Y = centre(cy);
    const i64 R = RAST_TruncSat(rad + 0.5f);
    if (!filled) {
      walk(c, X, Y, R, w, nullptr);
      return;
    }
    RowSpans rows(c, Y - R, Y + R);
    if (rows.empty()) return;
    walk(c, X, Y, R, w, &rows);
    for (i64 y = rows.first; y <= rows.last; y++) {
      const size_t k = (size_t)(y - rows.first);
      if (rows.lo[k] <= rows.hi[k]) DrawClippedHorzLine(c, y, rows.lo[k], rows.hi[k], w);
    }
  }

  // Leftmost and rightmost column of the filled runs on each row inside the clip.
  struct RowSpans {
    i64 first, last;
    std::vector<i64> lo, hi;
    RowSpans(const Ctx& c, i64 top, i64 bottom) {
      first = c.clipOn && top < c.clip.top ? c.clip.top : top;
      last = c.clipOn && bottom > c.clip.bottom - 1 ? c.clip.bottom - 1 : bottom;
      if (last >= first) {
        lo.assign((size_t)(last - first + 1), INT64_MAX);
        hi.assign((size_t)(last - first + 1), INT64_MIN);
      }
    }
    bool empty() const { return last < first; }
    void horz(i64 y, i64 x0, i64 x1) {
      if (y < first || y > last || x0 > x1) return;
      const size_t k = (size_t)(y - first);
      if (x0 < lo[k]) lo[k] = x0;
      if (x1 > hi[k]) hi[k] = x1;
    }
    void vert(i64 x, i64 y0, i64 y1) {
      if (y0 < first) y0 = first;
      if (y1 > last) y1 = last;
      for (i64 y = y0; y <= y1; y++) horz(y, x, x);
    }
    // The runs of one step k with the edge at distance e: columns X -+ k beyond the rows +-k,
    // rows Y -+ k out to the edge.
    void stepRuns(i64 X, i64 Y, i64 k, i64 e) {
      vert(X - k, Y - e, Y - k - 1);
      vert(X - k, Y + k + 1, Y + e);
      vert(X + k, Y - e, Y - k - 1);
      vert(X + k, Y + k + 1, Y + e);
      horz(Y - k, X - e, X - k);
      horz(Y - k, X + k, X + e);
      horz(Y + k, X - e, X - k);
      horz(Y + k, X + k, X + e);
    }
  };

  // The walk itself: outline points are drawn, filled runs are handed to rows.
  static void walk(const Ctx& c, i64 X, i64 Y, i64 R, int w, RowSpans* rows) {
    if (rows) {
      rows->vert(X, Y - R, Y - 1);
      rows->vert(X, Y + 1, Y + R);
      rows->horz(Y, X - R, X + R);
    } else {
      DrawClippedPt(c, X, Y - R, w);
      DrawClippedPt(c, X + R, Y, w);
      DrawClippedPt(c, X, Y + R, w);
      DrawClippedPt(c, X - R, Y, w);
    }
    if (R < 2) return;
    const Steps st = usefulSteps(c, X, Y, R);
    const i64 R0 = R;
    i64 i = 0, e = -R, d = 3;  // state at the start of step i, which draws at k = i + 1
    for (int r = 0; r < st.n; r++) {
      if (st.lo[r] - 1 > i) {
        // Jump to the first step of this range, if the walk gets that far.
        i = st.lo[r] - 1;
        R = radiusAfterStep(R0, i - 1);
        if (!(i < R)) return;
        e = i * i + 2 * i + R * R - R - R0 * R0;
        d = 2 * i + 3;
      }
      for (;;) {
        if (e >= 0) {
          R--;
          e -= 2 * R;
        }
        const i64 k = i + 1;
        if (k > st.hi[r]) break;  // the next range starts with a jump, which resets the state
        if (rows) {
          rows->stepRuns(X, Y, k, R);
        } else {
          DrawClippedPt(c, X - k, Y - R, w);
          DrawClippedPt(c, X - k, Y + R, w);
          DrawClippedPt(c, X + k, Y - R, w);
          DrawClippedPt(c, X + k, Y + R, w);
          if (k != R) {
            DrawClippedPt(c, X - R, Y - k, w);
            DrawClippedPt(c, X - R, Y + k, w);
            DrawClippedPt(c, X + R, Y - k, w);
            DrawClippedPt(c, X + R, Y + k, w);
          }
        }
        e += d;
        d += 2;
        i++;
        if (!(i + 1 < R)) return;
      }
    }
  }

  // Anti-aliased: the pixel just beyond the exact edge gets the edge's fractional part.
  static void DrawClippedCircleAA(const Ctx& c, float cx, float cy, float rad, int w, bool filled) {
    const i64 X = centre(cx), Y = centre(cy);
    const i64 Ri = RAST_TruncSat(rad);
    if (!filled) {
      walkAA(c, X, Y, Ri, rad, w, false, nullptr);
      return;
    }
    // As with the plain circle, the full-weight runs are gathered per row and drawn as rows;
    // they share no pixel with the fractional edge points, which are drawn as they come.
    RowSpans rows(c, Y - Ri, Y + Ri);
    walkAA(c, X, Y, Ri, rad, w, true, rows.empty() ? nullptr : &rows);
    for (i64 y = rows.first; y <= rows.last; y++) {
      const size_t k = (size_t)(y - rows.first);
      if (rows.lo[k] <= rows.hi[k]) DrawClippedHorzLine(c, y, rows.lo[k], rows.hi[k], w);
    }
  }

  // The anti-aliased walk: edge points are drawn, the runs of a filled circle go to rows (which
  // is null when no row of the circle lies in the clip).
  static void walkAA(const Ctx& c, i64 X, i64 Y, i64 Ri, float rad, int w, bool filled, RowSpans* rows) {
    const int a0 = RAST_TruncSat(((double)rad - std::floor((double)rad)) * w);
    DrawClippedPt(c, X, Y - Ri - 1, a0);
    DrawClippedPt(c, X, Y + Ri + 1, a0);
    DrawClippedPt(c, X - Ri - 1, Y, a0);
    DrawClippedPt(c, X + Ri + 1, Y, a0);
    if (filled) {
      if (rows) {
        rows->vert(X, Y - Ri, Y - 1);
        rows->vert(X, Y + 1, Y + Ri);
        rows->horz(Y, X - Ri, X + Ri);
      }
    } else {
      DrawClippedPt(c, X, Y - Ri, w - a0);
      DrawClippedPt(c, X + Ri, Y, w - a0);
      DrawClippedPt(c, X, Y + Ri, w - a0);
      DrawClippedPt(c, X - Ri, Y, w - a0);
    }
    const float r2 = rad * rad;
    if (!(r2 >= 1.0f)) return;
    double s = std::sqrt((double)r2 - 1.0);
    i64 n = RAST_TruncSat(s + 0.5);
    if (n < 1) return;
    const Steps st = usefulSteps(c, X, Y, Ri + 1);
    i64 i = 1;
    for (int r = 0; r < st.n; r++) {
      if (st.lo[r] > i) {
        // Each step depends on i alone: start at this range's first step, if the walk gets that
        // far (it runs while i < n, and n falls as i grows).
        const i64 to = st.lo[r];
        const double before = (double)r2 - (double)(to * to);
        if (!(before >= 0.0) || !(to - 1 < RAST_TruncSat(std::sqrt(before) + 0.5))) return;
        i = to;
        s = std::sqrt(before);
        n = RAST_TruncSat(s + 0.5);
      }
      for (; i <= st.hi[r]; i++) {
        const i64 xi = RAST_TruncSat(s);
        const int ai = RAST_TruncSat((s - std::floor(s)) * w);
        DrawClippedPt(c, X - i, Y - xi - 1, ai);
        DrawClippedPt(c, X - i, Y + xi + 1, ai);
        DrawClippedPt(c, X + i, Y - xi - 1, ai);
        DrawClippedPt(c, X + i, Y + xi + 1, ai);
        if (i != n) {
          DrawClippedPt(c, X - xi - 1, Y - i, ai);
          DrawClippedPt(c, X + xi + 1, Y - i, ai);
          DrawClippedPt(c, X - xi - 1, Y + i, ai);
          DrawClippedPt(c, X + xi + 1, Y + i, ai);
        }
        if (filled) {
          if (rows) rows->stepRuns(X, Y, i, xi);
        } else {
          DrawClippedPt(c, X - xi, Y - i, w - ai);
          DrawClippedPt(c, X + xi, Y - i, w - ai);
          DrawClippedPt(c, X - i, Y + xi, w - ai);
          DrawClippedPt(c, X + i, Y + xi, w - ai);
          if (i != n) {
            DrawClippedPt(c, X - i, Y - xi, w - ai);
            DrawClippedPt(c, X + i, Y - xi, w - ai);
            DrawClippedPt(c, X - xi, Y + i, w - ai);
            DrawClippedPt(c, X + xi, Y + i, w - ai);
          }
        }
        // The square is formed in integers; past the radius the walk is over.
        const double rest = (double)r2 - (double)((i + 1) * (i + 1));
        if (!(rest >= 0.0)) return;
        s = std::sqrt(rest);
        n = RAST_TruncSat(s + 0.5);
        if (!(i < n)) return;
      }
    }
  }

 private:
  // Nearest pixel of a centre coordinate. Rounding down, not toward zero, so that a circle whose
  // centre lies left of or above the bitmap keeps its place instead of moving one pixel inwards.
  static i64 centre(float v) { return RAST_TruncSat(std::floor(v + 0.5f)); }

  // Step k touches columns X +- k and rows Y +- k (besides its far points on the other axis),
  // and the walk itself ends near k = R / sqrt(2). Only the steps whose column or row can lie
  // in the clip are walked, so a huge radius costs no more than the clip's size. The ranges are
  // ascending and neither overlap nor touch. Without per-pixel clipping every step counts.
  struct Steps {
    int n = 0;
    i64 lo[4], hi[4];
  };
  static Steps usefulSteps(const Ctx& c, i64 X, i64 Y, i64 R) {
    Steps st;
    if (!c.clipOn) {
      st.n = 1;
      st.lo[0] = 1;
      st.hi[0] = INT64_MAX;
      return st;
    }
    const i64 kEnd = (i64)((double)R * 0.7072) + 2;
    const i64 lo[4] = {X - c.clip.right + 1, c.clip.left - X, Y - c.clip.bottom + 1, c.clip.top - Y};
    const i64 hi[4] = {X - c.clip.left, c.clip.right - 1 - X, Y - c.clip.top, c.clip.bottom - 1 - Y};
    i64 a[4], b[4];
    int m = 0;
    for (int j = 0; j < 4; j++) {
      if (hi[j] < lo[j] || lo[j] - 2 > kEnd || hi[j] + 2 < 1) continue;
      a[m] = lo[j] - 2 < 1 ? 1 : lo[j] - 2;
      b[m] = hi[j] + 2;
      m++;
    }
    for (int p = 1; p < m; p++)  // insertion sort by start
      for (int q = p; q > 0 && a[q] < a[q - 1]; q--) {
        std::swap(a[q], a[q - 1]);
        std::swap(b[q], b[q - 1]);
      }
    for (int j = 0; j < m; j++) {
      if (st.n && a[j] <= st.hi[st.n - 1] + 1) {
        if (b[j] > st.hi[st.n - 1]) st.hi[st.n - 1] = b[j];
      } else {
        st.lo[st.n] = a[j];
        st.hi[st.n] = b[j];
        st.n++;
      }
    }
    return st;
  }

  // The midpoint walk in closed form: after the check of step i the radius is the largest
  // R <= R0 with R^2 - R < R0^2 - i^2 - 2i, and the error is i^2 + 2i + R^2 - R - R0^2.
  static i64 radiusAfterStep(i64 R0, i64 i) {
    const __int128 T = (__int128)R0 * R0 - (__int128)i * i - 2 * (__int128)i;
    const double est = (1.0 + std::sqrt(std::fmax(0.0, 1.0 + 4.0 * (double)T))) / 2.0;
    i64 R = (i64)est + 2;
    if (R > R0) R = R0;
    while (R > -2 && !((__int128)R * R - R < T)) R--;
    while (R + 1 <= R0 && (__int128)(R + 1) * (R + 1) - (R + 1) < T) R++;
    return R;
  }
};

namespace {

template <class C>
void drawWith(const typename _RAST_CircleDrawer<C>::Ctx& c, float cx, float cy, float r, int w, bool aa,
              bool filled) {
  if (aa)
    _RAST_CircleDrawer<C>::DrawClippedCircleAA(c, cx, cy, r, w, filled);
  else
    _RAST_CircleDrawer<C>::DrawClippedCircle(c, cx, cy, r, w, filled);
}

template <class C>
void run(RAST_IBitmap* dest, float cx, float cy, float r, RAST_PixelValue colour, int w, bool aa, bool filled,
         const int clip[4], bool perPixelClip) {
  typename _RAST_CircleDrawer<C>::Ctx c;
  c.bits = dest->getBits();
  c.span = dest->getRowSpan();
  if (!c.bits) return;
  c.clip = typename _RAST_CircleDrawer<C>::Clip{clip[0], clip[1], clip[2], clip[3]};
  c.clipOn = perPixelClip;
  c.r = RAST_PixelR(colour);
  c.g = RAST_PixelG(colour);
  c.b = RAST_PixelB(colour);
  c.a = RAST_PixelA(colour);
  drawWith<C>(c, cx, cy, r, w, aa, filled);
}

// Coverage masks of the small radii, plain and anti-aliased.
struct Mask {
  float radius;
  int n;
  const unsigned char* plain;
  const unsigned char* aa;
};

const unsigned char kPlain15[] = {0x00, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF,
                                  0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0xFF, 0x00};
const unsigned char kAA15[] = {0x4F, 0xFF, 0xFF, 0x4F, 0xFF, 0x0F, 0x0F, 0xFF,
                               0xFF, 0x0F, 0x0F, 0xFF, 0x4F, 0xFF, 0xFF, 0x4F};
const unsigned char kPlain2[] = {0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00,
                                 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00};
const unsigned char kAA2[] = {0x0F, 0xBF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0xFF, 0x4F, 0x00,
                              0x4F, 0xFF, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xBF, 0x0F};
const unsigned char kPlain25[] = {
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
const unsigned char kAA25[] = {
    0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF, 0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF,
    0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF, 0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F};
const unsigned char kPlain3[] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00,
    0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00,
    0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
const unsigned char kAA3[] = {
    0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00, 0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F, 0xFF, 0x70, 0x00,
    0x00, 0x00, 0x70, 0xFF, 0xFF, 0x30, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xFF, 0x70, 0x00, 0x00, 0x00, 0x70,
    0xFF, 0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F, 0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00};
const unsigned char kPlain35[] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
const unsigned char kAA35[] = {
    0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00, 0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F,
    0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE, 0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF,
    0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF, 0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE,
    0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F, 0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00};
const unsigned char kPlain4[] = {
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00};
const unsigned char kAA4[] = {
    0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00, 0x1F, 0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1, 0xF0,
    0x1F, 0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0, 0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x4F, 0xFF, 0xFF, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF, 0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x4F, 0xFF, 0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0, 0x1F, 0xF0, 0xD1, 0x4F, 0x40,
    0x4F, 0xD1, 0xF0, 0x1F, 0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00};

const Mask kMasks[] = {
    {1.5f, 4, kPlain15, kAA15}, {2.0f, 5, kPlain2, kAA2},   {2.5f, 6, kPlain25, kAA25},
    {3.0f, 7, kPlain3, kAA3},   {3.5f, 8, kPlain35, kAA35}, {4.0f, 9, kPlain4, kAA4},
};

void circleCommon(RAST_IBitmap* dest, float cx, float cy, float r, RAST_PixelValue colour, float alpha, int mode,
                  bool aa, bool filled) {
  const int width = dest->getWidth(), height = dest->getHeight();
  if (dest->isFlipped()) cy = (float)(height - 1) - cy;
  const int ia = RAST_AlphaWeight(alpha);
  if (ia == 0) return;
  if (r < 0 || width < 1 || height < 1) return;
  const int clip[4] = {0, 0, width, height};
  const bool inside = cx - r - 2 >= 0 && cy - r - 2 >= 0 && cx + r + 2 < width && cy + r + 2 < height;
  __DrawCircleClipped(dest, cx, cy, r, colour, ia, aa, filled, mode, clip, !inside);
}

bool finite3(float a, float b, float c) { return std::isfinite(a) && std::isfinite(b) && std::isfinite(c); }

}  // namespace

void __DrawCircleClipped(RAST_IBitmap* dest, float cx, float cy, float r, RAST_PixelValue colour, int ia, bool aa,
                         bool filled, int mode, const int clip[4], bool perPixelClip) {
  if (!dest || ia == 0) return;
  if (!finite3(cx, cy, r)) return;
  const int m = mode & RAST_BLIT_MODE_MASK;
  if (m == RAST_BLIT_MODE_COPY) {
    if (ia < 1) return;
    if (!aa && ia == 128) {
      run<_RAST_CombinePixelsHalfMixNoClamp>(dest, cx, cy, r, colour, 128, aa, filled, clip, perPixelClip);
      return;
    }
  }
  rast::ForCombiner(m, !aa && ia == 256, [&](auto c) {
    run<decltype(c)>(dest, cx, cy, r, colour, ia, aa, filled, clip, perPixelClip);
  });
}

void RAST_Circle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_PixelValue colour, float alpha, int mode,
                 bool antialias) {
  if (!dest || !finite3(cx, cy, r)) return;
  for (const Mask& m : kMasks) {
    if (r == m.radius) {
      RAST_DrawGlyph(dest, RAST_TruncSat(cx - r), RAST_TruncSat(cy - r), colour, antialias ? m.aa : m.plain, m.n, m.n,
                     alpha, mode);
      return;
    }
  }
  circleCommon(dest, cx, cy, r, colour, alpha, mode, antialias, false);
}

void RAST_FillCircle(RAST_IBitmap* dest, float cx, float cy, float r, RAST_PixelValue colour, float alpha, int mode,
                     bool antialias) {
  if (!dest || !finite3(cx, cy, r)) return;
  circleCommon(dest, cx, cy, r, colour, alpha, mode, antialias, true);
}
