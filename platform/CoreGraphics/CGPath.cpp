// The bitmap context's current path: building it, and filling and stroking it into the pixels.
// Paths are kept in device space; fills are scan-converted under the non-zero rule (four
// sub-rows and exact horizontal coverage when anti-aliased, pixel centres otherwise); strokes
// are outlined in user space and filled the same way.
#include <CoreGraphics/CoreGraphics.h>
#include <CoreGraphics/CGContextInternal.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using qorcg::Subpath;

namespace {

struct P2 {
  double x, y;
};
typedef std::vector<P2> Contour;

CGPoint toDevice(CGContextRef c, CGFloat x, CGFloat y) {
  return CGPointApplyAffineTransform(CGPointMake(x, y), c->gs.ctm);
}

// Enough straight pieces that no piece is longer than about two pixels.
int pieces(double length, int lo, int hi) {
  if (!std::isfinite(length)) return lo;
  return std::max(lo, std::min(hi, (int)std::ceil(length / 2)));
}

// The point lines and curves continue from; NULL when the path has none.
const CGPoint* currentPoint(CGContextRef c) {
  if (c->path.empty() || c->path.back().pts.empty()) return nullptr;
  const Subpath& s = c->path.back();
  return s.closed ? &s.pts.front() : &s.pts.back();
}

// The open figure to extend: after a close the next segment starts a new figure at the start
// of the closed one.
Subpath& openFigure(CGContextRef c) {
  if (c->path.back().closed) c->path.push_back(Subpath{{c->path.back().pts.front()}, false});
  return c->path.back();
}

double signedArea(const Contour& c) {
  double a = 0;
  for (size_t i = 0; i < c.size(); i++) {
    const P2& p = c[i];
    const P2& q = c[(i + 1) % c.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return a / 2;
}

// Screen space: device x, y down from the top row of the bitmap.
P2 deviceToScreen(CGContextRef c, CGPoint d) { return P2{d.x, (double)c->height - d.y}; }

// Scan-converts the screen-space contours under the non-zero rule and paints the coverage in
// the colour. A contour with a non-finite point draws nothing at all.
void fillContours(CGContextRef c, const std::vector<Contour>& in, const CGFloat* rgba) {
  const long W = (long)c->width, H = (long)c->height;
  std::vector<const Contour*> cs;
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const Contour& k : in) {
    if (k.size() < 3) continue;
    for (const P2& q : k) {
      if (!std::isfinite(q.x) || !std::isfinite(q.y)) return;
      x0 = std::min(x0, q.x);
      y0 = std::min(y0, q.y);
      x1 = std::max(x1, q.x);
      y1 = std::max(y1, q.y);
    }
    cs.push_back(&k);
  }
  if (cs.empty()) return;
  const long ix0 = std::max(0L, (long)std::floor(std::max(x0, -1.0)));
  const long iy0 = std::max(0L, (long)std::floor(std::max(y0, -1.0)));
  const long ix1 = std::min(W, (long)std::ceil(std::min(x1, (double)W + 1)));
  const long iy1 = std::min(H, (long)std::ceil(std::min(y1, (double)H + 1)));
  if (ix1 <= ix0 || iy1 <= iy0) return;
  const long mw = ix1 - ix0, mh = iy1 - iy0;
  const bool aa = c->gs.antialias;
  const int sub = aa ? 4 : 1;
  std::vector<uint8_t> mask((size_t)mw * (size_t)mh, 0);
  std::vector<double> acc((size_t)mw);
  struct X {
    double x;
    int dir;
  };
  std::vector<X> xs;
  for (long j = iy0; j < iy1; j++) {
    std::fill(acc.begin(), acc.end(), 0.0);
    for (int s = 0; s < sub; s++) {
      const double sy = (double)j + (s + 0.5) / sub;
      xs.clear();
      for (const Contour* k : cs)
        for (size_t i = 0; i < k->size(); i++) {
          const P2& p = (*k)[i];
          const P2& q = (*k)[(i + 1) % k->size()];
          if (p.y == q.y) continue;
          const double lo = std::min(p.y, q.y), hi = std::max(p.y, q.y);
          if (sy < lo || sy >= hi) continue;
          xs.push_back(X{p.x + (sy - p.y) * (q.x - p.x) / (q.y - p.y), q.y > p.y ? 1 : -1});
        }
      std::sort(xs.begin(), xs.end(), [](const X& a, const X& b) { return a.x < b.x; });
      int wind = 0;
      for (size_t k = 0; k + 1 < xs.size(); k++) {
        wind += xs[k].dir;
        if (!wind) continue;
        const double a = std::max(xs[k].x, (double)ix0), b = std::min(xs[k + 1].x, (double)ix1);
        if (b <= a) continue;
        if (aa) {
          for (long i = (long)std::floor(a); i < (long)std::ceil(b) && i < ix1; i++) {
            const double o = std::min(b, (double)i + 1) - std::max(a, (double)i);
            if (o > 0) acc[(size_t)(i - ix0)] += o / sub;
          }
        } else {
          for (long i = (long)std::ceil(a - 0.5); (double)i + 0.5 < b && i < ix1; i++)
            if (i >= ix0) acc[(size_t)(i - ix0)] = 1.0;
        }
      }
    }
    uint8_t* row = &mask[(size_t)(j - iy0) * (size_t)mw];
    for (long i = 0; i < mw; i++) row[i] = (uint8_t)std::lround(std::min(1.0, acc[(size_t)i]) * 255.0);
  }
  qorcg::paintMask(c, rgba, ix0, iy0, mask.data(), (int)mw, (int)mh, (int)mw);
}

// Outline of a polyline as positively oriented pieces: one quad per segment (butt ends) and a
// bevel triangle on each side of every joint, so that the non-zero rule gives their union.
void strokeOutline(const std::vector<P2>& pts, bool closed, double width, std::vector<Contour>& out) {
  const double h = width / 2;
  std::vector<P2> p;
  for (const P2& q : pts)
    if (p.empty() || q.x != p.back().x || q.y != p.back().y) p.push_back(q);
  if (closed && p.size() > 2 && p.front().x == p.back().x && p.front().y == p.back().y) p.pop_back();
  const size_t n = p.size();
  if (n < 2) return;
  auto push = [&](Contour c) {
    if (signedArea(c) < 0) std::reverse(c.begin(), c.end());
    if (std::fabs(signedArea(c)) > 0) out.push_back(c);
  };
  const size_t segs = closed && n > 2 ? n : n - 1;
  std::vector<P2> normals;
  for (size_t i = 0; i < segs; i++) {
    const P2 a = p[i], b = p[(i + 1) % n];
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    const P2 nv{-(b.y - a.y) / len * h, (b.x - a.x) / len * h};
    normals.push_back(nv);
    push(Contour{{a.x + nv.x, a.y + nv.y}, {b.x + nv.x, b.y + nv.y}, {b.x - nv.x, b.y - nv.y}, {a.x - nv.x, a.y - nv.y}});
  }
  for (size_t i = 0; i + 1 < segs || (closed && n > 2 && i < segs); i++) {
    const P2 c = p[(i + 1) % n];
    const P2 u = normals[i], v = normals[(i + 1) % segs];
    push(Contour{c, {c.x + u.x, c.y + u.y}, {c.x + v.x, c.y + v.y}});
    push(Contour{c, {c.x - u.x, c.y - u.y}, {c.x - v.x, c.y - v.y}});
  }
}

void fillPath(CGContextRef c) {
  std::vector<Contour> cs;
  for (const Subpath& s : c->path) {
    Contour k;
    for (const CGPoint& d : s.pts) k.push_back(deviceToScreen(c, d));
    cs.push_back(std::move(k));
  }
  fillContours(c, cs, c->gs.fill);
}

// The width applies in user space, so the outline is made there: back through the inverse of
// the current CTM, and forward again once outlined.
void strokePath(CGContextRef c) {
  const CGAffineTransform& m = c->gs.ctm;
  const double det = m.a * m.d - m.b * m.c;
  if (det == 0 || !std::isfinite(det)) return;
  const CGAffineTransform inv{m.d / det,
                              -m.b / det,
                              -m.c / det,
                              m.a / det,
                              (m.c * m.ty - m.d * m.tx) / det,
                              (m.b * m.tx - m.a * m.ty) / det};
  std::vector<Contour> user;
  for (const Subpath& s : c->path) {
    std::vector<P2> pts;
    for (const CGPoint& d : s.pts) {
      const CGPoint u = CGPointApplyAffineTransform(d, inv);
      pts.push_back(P2{u.x, u.y});
    }
    strokeOutline(pts, s.closed, c->gs.lineWidth, user);
  }
  for (Contour& k : user)
    for (P2& p : k) p = deviceToScreen(c, toDevice(c, p.x, p.y));
  fillContours(c, user, c->gs.stroke);
}

}  // namespace

void CGContextBeginPath(CGContextRef c) {
  if (c) c->path.clear();
}

void CGContextMoveToPoint(CGContextRef c, CGFloat x, CGFloat y) {
  if (c) c->path.push_back(Subpath{{toDevice(c, x, y)}, false});
}

void CGContextAddLineToPoint(CGContextRef c, CGFloat x, CGFloat y) {
  if (!c || !currentPoint(c)) return;
  openFigure(c).pts.push_back(toDevice(c, x, y));
}

void CGContextAddCurveToPoint(CGContextRef c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x,
                              CGFloat cp2y, CGFloat x, CGFloat y) {
  if (!c || !currentPoint(c)) return;
  Subpath& s = openFigure(c);
  const CGPoint a = s.pts.back(), b = toDevice(c, cp1x, cp1y), d1 = toDevice(c, cp2x, cp2y),
                e = toDevice(c, x, y);
  const int n = pieces(std::hypot(b.x - a.x, b.y - a.y) + std::hypot(d1.x - b.x, d1.y - b.y) +
                           std::hypot(e.x - d1.x, e.y - d1.y),
                       4, 1024);
  for (int k = 1; k <= n; k++) {
    const double t = (double)k / n, u = 1 - t;
    s.pts.push_back(CGPoint{u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * d1.x + t * t * t * e.x,
                            u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * d1.y + t * t * t * e.y});
  }
}

void CGContextClosePath(CGContextRef c) {
  if (c && !c->path.empty()) c->path.back().closed = true;
}

void CGContextAddRect(CGContextRef c, CGRect r) {
  if (!c) return;
  const double x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
  c->path.push_back(
      Subpath{{toDevice(c, x0, y0), toDevice(c, x1, y0), toDevice(c, x1, y1), toDevice(c, x0, y1)}, true});
}

void CGContextAddEllipseInRect(CGContextRef c, CGRect r) {
  if (!c) return;
  const double rx = std::fabs(r.size.width) / 2, ry = std::fabs(r.size.height) / 2;
  const double cx = r.origin.x + r.size.width / 2, cy = r.origin.y + r.size.height / 2;
  // Pieces are counted on the ellipse as it lands on the pixels.
  const CGAffineTransform& m = c->gs.ctm;
  const double drx = rx * std::hypot(m.a, m.b), dry = ry * std::hypot(m.c, m.d);
  const int n = pieces(2 * M_PI * std::max(drx, dry), 16, 4096);
  Subpath s{{}, true};
  for (int i = 0; i < n; i++) {
    const double a = 2 * M_PI * i / n;
    s.pts.push_back(toDevice(c, cx + rx * std::cos(a), cy + ry * std::sin(a)));
  }
  c->path.push_back(std::move(s));
}

void CGContextStrokePath(CGContextRef c) { CGContextDrawPath(c, kCGPathStroke); }

void CGContextDrawPath(CGContextRef c, CGPathDrawingMode mode) {
  if (!c) return;
  if (mode == kCGPathFill || mode == kCGPathFillStroke) fillPath(c);
  if (mode == kCGPathStroke || mode == kCGPathFillStroke) strokePath(c);
  c->path.clear();
}

void CGContextStrokeLineSegments(CGContextRef c, const CGPoint points[], size_t count) {
  if (!c) return;
  c->path.clear();
  for (size_t i = 0; points && i + 1 < count; i += 2) {
    CGContextMoveToPoint(c, points[i].x, points[i].y);
    CGContextAddLineToPoint(c, points[i + 1].x, points[i + 1].y);
  }
  CGContextStrokePath(c);
}
