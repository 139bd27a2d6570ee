// A plain, channel-at-a-time statement of the combining arithmetic, written from the rules
// rather than from the library's code, for differential tests. Everything is computed in 64 bits
// with explicit truncating division, so it cannot share an overflow or a shift mistake with the
// library's 32-bit inner loops.
#pragma once

#include <cstdint>

namespace ref {

inline int64_t tdiv(int64_t a, int64_t b) { return a / b; }  // C++ division truncates toward zero
inline int64_t clampv(int64_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }
inline int low8(int64_t v) { return (int)(v & 255); }

struct Px {
  int a, r, g, b;
};
inline Px unpack(uint32_t p) { return Px{(int)(p & 255), (int)((p >> 8) & 255), (int)((p >> 16) & 255), (int)(p >> 24)}; }
inline uint32_t pack(Px p) {
  return (uint32_t)(p.a & 255) | ((uint32_t)(p.r & 255) << 8) | ((uint32_t)(p.g & 255) << 16) |
         ((uint32_t)(p.b & 255) << 24);
}

inline int copyCh(int d, int s, int64_t w) { return low8(s + tdiv((int64_t)(d - s) * (256 - w), 256)); }
inline int addCh(int d, int s, int64_t w) { return (int)clampv(d + tdiv((int64_t)s * w, 256)); }
inline int dodgeCh(int d, int s, int64_t w) {
  int64_t t = 256 - tdiv((int64_t)s * w, 256);
  int64_t v = t >= 2 ? (256 * (int64_t)d) / t : 256 * (int64_t)d;
  return (int)(v > 255 ? 255 : v);
}
inline int mulCh(int d, int s, int64_t w) { return low8(tdiv(((int64_t)s * w + 256 * (256 - w)) * d, 65536)); }
inline int overlayCh(int d, int s, int64_t w) {
  int64_t S = (int64_t)s * w + 128 * (256 - w);
  int64_t T = S + tdiv((32768 - S) * d, 256);
  return (int)clampv(tdiv(T * d, 32768));
}

inline int invtab(int i) { return i == 0 ? 0 : 65536 / i - 1; }

inline Px hsv(Px d, Px s, int64_t w) {
  const int R = d.r, G = d.g, B = d.b;
  int mx = R, mn = R;
  if (G > mx) mx = G;
  if (B > mx) mx = B;
  if (G < mn) mn = G;
  if (B < mn) mn = B;
  int64_t base, num;
  // Largest channel with its ties: green only when strictly above red and blue; red when it is
  // at least green and strictly above blue; blue otherwise.
  if (G > R && G > B) {
    base = 128; num = B - R;
  } else if (R >= G && R > B) {
    base = G < B ? 383 : 0; num = G - B;
  } else {
    base = 256; num = R - G;
  }
  const int delta = mx - mn;
  int64_t h = base + tdiv((int64_t)(invtab(delta) + 1) * num, 1024);
  int64_t sat = tdiv((int64_t)invtab(mx) * delta, 256);
  int64_t val = mx;
  h += tdiv((int64_t)(s.r + tdiv(s.r, 2) - 192) * w, 256);
  h = ((h % 384) + 384) % 384;
  sat = clampv(sat + tdiv((int64_t)(s.g - 128) * w, 128));
  val = clampv(val + tdiv((int64_t)(s.b - 128) * w, 128));
  const int64_t p = tdiv((256 - sat) * val, 256);
  auto q = [&](int64_t x) { return tdiv((16384 - x * sat) * val, 16384); };
  int64_t o[3];
  const int sector = (int)(h / 64);
  switch (sector) {
    case 0: o[0] = val; o[1] = q(64 - h); o[2] = p; break;
    case 1: o[0] = q(h - 64); o[1] = val; o[2] = p; break;
    case 2: o[0] = p; o[1] = val; o[2] = q(192 - h); break;
    case 3: o[0] = p; o[1] = q(h - 192); o[2] = val; break;
    case 4: o[0] = q(320 - h); o[1] = p; o[2] = val; break;
    default: o[0] = val; o[1] = p; o[2] = q(h - 320); break;
  }
  return Px{s.a, (int)o[0], (int)o[1], (int)o[2]};
}

// The combined pixel for mode & 0x100FF, weight w, source channels in 0..255.
inline uint32_t combine(uint32_t dest, uint32_t src, int64_t w, int mode) {
  Px d = unpack(dest), s = unpack(src);
  if (w == 0) return dest;
  mode &= 0x100FF;
  const bool sourceAlpha = (mode & 0x10000) != 0;
  const int low = mode & 0xFF;
  if (low > 5) return dest;
  if (sourceAlpha) {
    const int sa = s.a;
    if (low == 0 && w == 256) {
      if (sa == 0) return dest;
      if (sa == 255) return pack(Px{255, s.r, s.g, s.b});
      Px o{0, 0, 0, 0};
      o.r = low8(s.r + tdiv((int64_t)(d.r - s.r) * (255 - sa), 256));
      o.g = low8(s.g + tdiv((int64_t)(d.g - s.g) * (255 - sa), 256));
      o.b = low8(s.b + tdiv((int64_t)(d.b - s.b) * (255 - sa), 256));
      o.a = low8(d.a + sa > 255 ? 255 : d.a + sa);
      return pack(o);
    }
    const int64_t ww = tdiv((int64_t)(sa + 1) * w, 256);
    if (low == 0) {
      if (sa == 0) return dest;
      Px o{0, copyCh(d.r, s.r, ww), copyCh(d.g, s.g, ww), copyCh(d.b, s.b, ww)};
      o.a = low8(d.a + ww > 255 ? 255 : d.a + ww);
      return pack(o);
    }
    if ((low == 1 || low == 3) && sa == 0) return dest;
    w = ww;
  }
  switch (low) {
    case 0:
      if (w == 256) return src;
      return pack(Px{copyCh(d.a, s.a, w), copyCh(d.r, s.r, w), copyCh(d.g, s.g, w), copyCh(d.b, s.b, w)});
    case 1: return pack(Px{addCh(d.a, s.a, w), addCh(d.r, s.r, w), addCh(d.g, s.g, w), addCh(d.b, s.b, w)});
    case 2: return pack(Px{dodgeCh(d.a, s.a, w), dodgeCh(d.r, s.r, w), dodgeCh(d.g, s.g, w), dodgeCh(d.b, s.b, w)});
    case 3: return pack(Px{mulCh(d.a, s.a, w), mulCh(d.r, s.r, w), mulCh(d.g, s.g, w), mulCh(d.b, s.b, w)});
    case 4:
      return pack(Px{overlayCh(d.a, s.a, w), overlayCh(d.r, s.r, w), overlayCh(d.g, s.g, w), overlayCh(d.b, s.b, w)});
    default: return pack(hsv(d, s, w));
  }
}

}  // namespace ref
