// The scaled blit's right and bottom source clip, and the whole-row loops of the add blit, the
// weighted copy fill, the plain copy and the box shrink, each run against the per-pixel loop it
// stands in for.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "kit/raster/rast_blitloops.h"
#include "kit/raster/rast_copymix.h"
#include "kit/raster/rast_scaled.h"

namespace {

std::vector<unsigned char> noise(size_t bytes, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<unsigned char> v(bytes);
  for (unsigned char& b : v) b = (unsigned char)rng();
  return v;
}

// A window running past a 4 x 4 source must draw exactly what the same window over a wider (or
// taller) source draws from its first four columns (rows): the clip may drop only pixels that
// sample beyond the source, and must keep every one that samples its last column (row).
TEST(ScaledBlitClip, KeepsEveryPixelThatSamplesInsideTheSource) {
  const unsigned int kBeyond = 0xEEEEEEEEu;
  struct Case { int dst; bool yAxis, mirrored; } cases[] = {
      {24, false, false}, {64, false, false}, {6, false, false}, {24, true, false}, {64, true, false},
      {6, true, false},   {24, false, true},  {64, true, true},  {6, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dst << (c.yAxis ? " rows" : " columns") << (c.mirrored ? " mirrored" : ""));
    RAST_MemBitmap narrow(4, 4, 1), wide(c.yAxis ? 4 : 8, c.yAxis ? 8 : 4, 1);
    for (int y = 0; y < wide.getHeight(); y++)
      for (int x = 0; x < wide.getWidth(); x++) {
        const bool inside = x < 4 && y < 4;
        wide.getBits()[y * wide.getRowSpan() + x] = inside ? 0x01020304u * (1 + x + 4 * y) : kBeyond;
        if (inside) narrow.getBits()[y * narrow.getRowSpan() + x] = 0x01020304u * (1 + x + 4 * y);
      }
    const int dw = c.yAxis ? 4 : c.dst, dh = c.yAxis ? c.dst : 4;
    RAST_MemBitmap got(dw, dh, 1), want(dw, dh, 1);
    memset(got.getBits(), 0, (size_t)dw * dh * 4);
    memset(want.getBits(), 0, (size_t)dw * dh * 4);
    const int x = c.mirrored && !c.yAxis ? dw : 0, y = c.mirrored && c.yAxis ? dh : 0;
    const int w = c.mirrored && !c.yAxis ? -dw : dw, h = c.mirrored && c.yAxis ? -dh : dh;
    const float sw = c.yAxis ? 4.0f : 8.0f, sh = c.yAxis ? 8.0f : 4.0f;
    RAST_ScaledBlit(&got, &narrow, x, y, w, h, 0, 0, sw, sh, 1.0f, 0);
    RAST_ScaledBlit(&want, &wide, x, y, w, h, 0, 0, sw, sh, 1.0f, 0);
    for (int i = 0; i < dw * dh; i++)
      if (want.getBits()[i] == kBeyond) want.getBits()[i] = 0;
    EXPECT_EQ(0, memcmp(got.getBits(), want.getBits(), (size_t)dw * dh * 4));
  }
}

// Ragged widths, starts off the 16-byte grid and every weight the row loops take.
TEST(RowLoops, MatchThePerPixelLoopsBitForBit) {
  const int kSpan = 40 * 4;
  const std::vector<unsigned char> src = noise(3 * kSpan + 16, 1), dst = noise(3 * kSpan + 16, 2);
  for (int w : {1, 3, 4, 5, 7, 8, 13, 33}) {
    for (int off = 0; off < 4; off++) {
      std::vector<unsigned char> a = dst, b = dst;
      unsigned char* pa = a.data() + off * 4 + 4;
      unsigned char* pb = b.data() + off * 4 + 4;
      const unsigned char* s = src.data() + (3 - off) * 4;
      rast::CopyRows(pa, s, w, 3, kSpan, kSpan, 0);
      rast::CopyRows(pb, s, w, 3, kSpan, kSpan, 0);
      for (int y = 0; y < 3; y++) ASSERT_EQ(0, memcmp(pa + y * kSpan, s + y * kSpan, (size_t)w * 4));
      for (int alpha = 1; alpha <= 256; alpha++) {
        SCOPED_TRACE(testing::Message() << "width " << w << " offset " << off << " weight " << alpha);
        rast::AddRows(pa, s, w, 3, kSpan, kSpan, alpha);
        _RAST_Template_Blit2<_RAST_CombinePixelsAdd>::blit(pb, s, w, 3, kSpan, kSpan, alpha);
        ASSERT_EQ(a, b);
        if (alpha == 256) continue;
        rast::CopyFillRows(pa, w, 3, s[1], s[2], s[3], alpha, kSpan);
        _RAST_Template_Blit1<_RAST_CombinePixelsCopyNoClamp>::solidBlit(pb, w, 3, s[1], s[2], s[3], alpha, kSpan);
        ASSERT_EQ(a, b);
      }
    }
  }
}

// The shrink over a kernel of ones takes the box path; the same kernel at half weight takes the
// general weighted loop and must give the same pixels, at the edges and across column strips.
TEST(BoxShrink, MatchesTheWeightedKernelLoop) {
  const int kW = 700, kH = 41, kSpan = kW * 4;
  const std::vector<unsigned char> src = noise((size_t)kSpan * kH, 3), dst = noise(400 * 4 * 20, 4);
  struct Case { int w, h, x0, y0, step, clip_r, clip_b, size; } cases[] = {
      {300, 20, 0, 0, 0x20000, kW, kH, 3},          {260, 13, -70000, -65000, 0x20000, 555, 27, 3},
      {200, 11, 32768, 100000, 0x38000, kW, kH, 5}, {150, 9, -200000, -140000, 0x48000, 640, 39, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "size " << c.size << " step " << c.step << " start " << c.x0);
    int ones[25], halves[25];
    for (int i = 0; i < 25; i++) ones[i] = 65536, halves[i] = 32768;
    const int start = -(c.size >> 1);
    auto shrink = [&](auto comb, int alpha, const int* kernel) {
      std::vector<unsigned char> out = dst;
      _RAST_Template_Blit2<decltype(comb)>::scaleBlitFilterDown(out.data(), src.data(), c.w, c.h, c.x0, c.y0, c.step,
                                                                 c.step, c.clip_r, c.clip_b, kSpan, 400 * 4, alpha,
                                                                 kernel, start, c.size);
      return out;
    };
    EXPECT_EQ(shrink(_RAST_CombinePixelsClobberNoClamp(), 256, ones),
              shrink(_RAST_CombinePixelsClobberNoClamp(), 256, halves));
    EXPECT_EQ(shrink(_RAST_CombinePixelsAdd(), 179, ones), shrink(_RAST_CombinePixelsAdd(), 179, halves));
  }
}

}  // namespace
