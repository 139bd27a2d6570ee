// Mask painting blends whole rows in fixed point; every pixel must match the per-pixel rule.
#include <CoreGraphics/CGContextInternal.h>
#include <gtest/gtest.h>

#include "cg_test_bitmap.h"

TEST(CGMaskRows, MatchThePerPixelRuleAtEveryCoverageColourAndClip) {
  const CGFloat colours[][4] = {{230 / 255., 230 / 255., 200 / 255., 1},
                                {1, 1, 1, 1},
                                {0, 0, 0, 1},
                                {0.5, 0.25, 1 / 3., 1},
                                {0.3, 0.7, 0.61, 0.5},
                                {0.2, 0.9, 0.5, 0.999},
                                {0.5, 0.5, 0.5, 1 / 255.},
                                {0.8, 0.1, 0.4, 0}};
  const CGRect clips[] = {CGRectMake(0, 0, 300, 300), CGRectMake(7, 9, 200, 180), CGRectMake(3.25, 1.5, 250.5, 240.75)};
  const uint32_t infos[] = {kCGImageAlphaNoneSkipFirst, kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Little};
  std::vector<uint8_t> mask(256 * 256), start(256 * 256 * 4), want;
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = uint8_t(i);                        // coverage = column
  for (size_t i = 0; i < start.size(); ++i) start[i] = uint8_t(i / 1024 + i % 4 * 61);  // every value per column
  for (uint32_t info : infos) {
    CGTestBitmap k(256, 256, info);  // one context: its colour changes between paints
    for (const CGRect& clip : clips)
      for (const auto& rgba : colours)
        for (long at : {0L, -3L}) {
          std::copy(start.begin(), start.end(), k.buf.begin());
          want = start;
          CGContextSaveGState(k.c);
          CGContextClipToRect(k.c, clip);
          qorcg::paintMask(k.c, rgba, at, -at, mask.data(), 256, 256, 256);
          const qorcg::DevRect& cl = k.c->gs.clip;
          for (long row = std::max(0L, -at); row < std::min(256L, 256 - at); ++row)
            for (long x = std::max(0L, at); x < std::min(256L, 256 + at); ++x) {
              const double cx = qorcg::overlap(x, x + 1, cl.x0, cl.x1),
                           cy = qorcg::overlap(255 - row, 256 - row, cl.y0, cl.y1);
              const uint8_t v = mask[size_t(row + at) * 256 + size_t(x - at)];
              if (v && cx > 0 && cy > 0)
                qorcg::blendPixel(k.c, &want[size_t(row * 256 + x) * 4], rgba, (v / 255.0) * cx * cy);
            }
          ASSERT_EQ(k.buf, want) << "info " << info << " clip x " << clip.origin.x << " rgba " << rgba[0] << ","
                                 << rgba[3] << " at " << at;
          CGContextRestoreGState(k.c);
        }
  }
}

// Blends are remembered per coverage for the pixel they last met; a paint whose colour or
// background differs from the one before must not take the remembered pixel.
TEST(CGMaskRows, RepeatedPaintsFollowEachChangeOfColourAndBackground) {
  const CGFloat grey[4] = {0.1, 0.1, 0.1, 1}, white[4] = {1, 1, 1, 1}, faint[4] = {1, 1, 1, 0.5};
  struct Paint {
    uint8_t background;
    const CGFloat* rgba;
  };
  const Paint paints[] = {{26, white}, {26, white}, {40, white}, {26, grey}, {26, white}, {26, faint}, {26, white}};
  std::vector<uint8_t> mask(256);
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = uint8_t(i);
  CGTestBitmap k(256, 4);  // one context through every paint
  for (size_t p = 0; p < sizeof paints / sizeof paints[0]; ++p) {
    std::fill(k.buf.begin(), k.buf.end(), paints[p].background);
    std::vector<uint8_t> want = k.buf;
    qorcg::paintMask(k.c, paints[p].rgba, 0, 1, mask.data(), 256, 2, 0);  // both rows alike
    for (size_t row = 1; row < 3; ++row)
      for (size_t x = 1; x < 256; ++x) qorcg::blendPixel(k.c, &want[(row * 256 + x) * 4], paints[p].rgba, x / 255.0);
    ASSERT_EQ(k.buf, want) << "paint " << p;
  }
}
