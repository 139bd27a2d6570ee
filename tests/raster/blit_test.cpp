// Blits between bitmaps: clipping, the copy and half-mix fast paths, every combiner, channel
// copy, overlapping copies inside one bitmap; the heap and system bitmaps themselves.
#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "kit/raster/rast_blit.h"
#include "kit/raster/rast_copymix.h"
#include "raster_test_util.h"
#include "reference_combine.h"
#include <cstdint>
#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_rect.h"
#include "kit/wapi/wapi-gdi.h"

namespace {

using rt::at;
using rt::px;

uint32_t halfMix(uint32_t d, uint32_t s) { return ((s >> 1) & 0x7F7F7F7Fu) + ((d >> 1) & 0x7F7F7F7Fu); }

TEST(Blit, CopiesTheSourceRectangleClippedToBothBitmaps) {
  // Destination pixel (x, y) shows source (x - dx + left, y - dy + top) when that lies inside
  // both the rectangle and the source; everything else keeps the background.
  const struct {
    int dx, dy;
    long long l, t, r, b;
  } cases[] = {
      {0, 0, -5, 0, 10, 10},  // negative left: source columns 0..9 at destination 5..14
      {-3, -2, 0, 0, 20, 10},  // skips 3 source columns and 2 rows
      {3, 2, 0, 0, 10, 10},    // cut at the destination's edge
      {0, 0, 4, 4, 0, 5},      // zero width
      {0, 0, 6, 6, 2, 2},  // inverted
      {INT_MAX, INT_MAX, 0, 0, 20, 10},
      {INT_MIN, 0, 0, 0, 20, 10},
      {5, 5, INT_MIN, INT_MIN, INT_MAX, INT_MAX},
      {INT_MAX, 0, INT_MIN, INT_MIN, INT_MAX, INT_MAX},
  };
  rt::Randomized src(20, 10, 1);
  for (const auto& k : cases) {
    rt::Filled dst(15, 8, 7);
    RECT r{(int)k.l, (int)k.t, (int)k.r, (int)k.b};
    RAST_Blit(&dst, &src, k.dx, k.dy, &r, 1.0f, 0);
    for (int y = 0; y < 8; y++)
      for (int x = 0; x < 15; x++) {
        const long long sx = (long long)x - k.dx + k.l, sy = (long long)y - k.dy + k.t;
        const bool in = sx >= std::max(0LL, k.l) && sx < std::min(20LL, k.r) && sy >= std::max(0LL, k.t) &&
                        sy < std::min(10LL, k.b);
        ASSERT_EQ(at(dst, x, y), in ? at(src, (int)sx, (int)sy) : 7u) << k.dx << "," << k.dy << " at " << x << "," << y;
      }
  }
}

TEST(Blit, FastPathsAndChannelCopyGiveThePinnedPixels) {
  const struct {
    const char* what;
    uint32_t d, s;
    float alpha;
    int mode;
    uint32_t want;
  } cases[] = {
      {"copy writes the alpha byte too", 0xFFFFFFFF, px(1, 2, 3, 0), 1.0f, 0, px(1, 2, 3, 0)},
      {"just above 1 is weight 256", 0xFFFFFFFF, px(1, 2, 3, 0), 1.002f, 0, px(1, 2, 3, 0)},
      {"half of white over black is 127", 0, 0xFFFFFFFF, 0.5f, 0, 0x7F7F7F7Fu},
      {"half mix floors each half", px(101, 5, 1, 255), px(201, 3, 255, 255), 0.5f, 0, px(150, 3, 127, 254)},
      {"weight 128 otherwise is the copy combiner", px(101, 5, 1, 255), px(201, 3, 255, 255), 0.501f, 0,
       px(151, 4, 128, 255)},
      {"source blue into destination red", px(1, 2, 3, 4), px(10, 20, 30, 40), 0.3f, 0xF0 | (1 << 2) | 3,
       px(30, 2, 3, 4)},
      {"alpha into alpha whatever the other bits", px(1, 2, 3, 4), px(10, 20, 30, 40), 1.0f, 0x100F0,
       px(1, 2, 3, 40)},
  };
  for (const auto& k : cases) {
    rt::Filled src(3, 3, k.s), dst(3, 3, k.d);
    RAST_Blit(&dst, &src, 0, 0, nullptr, k.alpha, k.mode);
    EXPECT_EQ(at(dst, 1, 1), k.want) << k.what;
  }
}

TEST(Blit, AMoveInsideOneBitmapReadsEverySourcePixelBeforeOverwritingIt) {
  const struct {
    int sx, sy, w, h, dx, dy, mode;
  } moves[] = {{2, 2, 20, 12, 3, 2, 0},  {5, 2, 20, 12, 2, 2, 0}, {2, 2, 20, 12, 2, 5, 0},
               {2, 5, 20, 12, 2, 1, 0},  {2, 2, 20, 12, 4, 3, 1}, {4, 3, 20, 12, 1, 1, 0x10000},
               {0, 0, 10, 10, 1, 0, 0xF5}};
  for (const auto& m : moves)
    for (float alpha : {1.0f, 0.5f, 0.7f}) {
      RAST_MemBitmap bm(30, 20), copy, want;
      rt::numbered(bm);
      RAST_Copy(&copy, &bm);
      RAST_Copy(&want, &bm);
      RAST_Blit(&want, &copy, m.dx, m.dy, m.sx, m.sy, m.w, m.h, alpha, m.mode);
      RAST_Blit(&bm, &bm, m.dx, m.dy, m.sx, m.sy, m.w, m.h, alpha, m.mode);
      ASSERT_TRUE(rt::same(bm, want)) << "moving to " << m.dx << "," << m.dy << " mode " << m.mode;
    }
}

// Every weight of the copy and source-alpha copy rows (the forms that work four pixels at a
// time), with widths that leave one to three pixels over, starts off any alignment, and source
// alphas at the values that take their own branches.
TEST(Blit, CopyAndSourceAlphaRowsMatchTheFormulaAtEveryWeight) {
  const int W = 23, H = 3;
  RAST_MemBitmap src(W + 3, H), base(W + 3, H), dst(W + 3, H);
  std::mt19937 rng(41);
  const uint32_t alphas[] = {0, 255, 1, 254};
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W + 3; x++) {
      const uint32_t s = rng(), pick = rng() % 6;
      at(src, x, y) = pick < 4 ? (s & ~255u) | alphas[pick] : s;
      at(base, x, y) = rng();
    }
  at(src, 4, 1) = at(base, 4, 1) | 0x80u;  // equal channels, where the step is zero
  for (int mode : {0, 0x10000})
    for (int weight = 1; weight <= 256; weight++)
      for (int off : {0, 1, 3})
        for (int w : {W, W - 1, W - 2, 4, 3}) {
          RAST_Copy(&dst, &base);
          RAST_Blit(&dst, &src, off, 0, 3 - off, 0, w, H, (float)weight / 256.0f, mode);
          for (int y = 0; y < H; y++)
            for (int x = 0; x < W + 3; x++) {
              const uint32_t d = at(base, x, y);
              uint32_t want = d;
              if (x >= off && x < off + w) {
                const uint32_t sp = at(src, x + 3 - 2 * off, y);
                want = mode == 0 && weight == 128 ? halfMix(d, sp) : ref::combine(d, sp, weight, mode);
              }
              ASSERT_EQ(at(dst, x, y), want) << "mode " << mode << " weight " << weight << " offset " << off
                                             << " width " << w << " at " << x << "," << y;
            }
        }
}

// Sources shaped like control bitmaps: runs of transparent and opaque pixels long enough to fill
// whole groups of four and eight, broken by edge alphas at every position within a group.
TEST(Blit, SourceAlphaRowsMatchTheFormulaOverTransparentAndOpaqueRuns) {
  const int W = 53, H = 4;
  RAST_MemBitmap src(W, H), base(W, H), dst(W, H);
  std::mt19937 rng(7);
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      const int run = (x + 5 * y) / 9 % 3;  // 0 transparent, 1 opaque, 2 edge
      const uint32_t a = run == 0 ? 0 : run == 1 ? 255 : rng() % 256;
      at(src, x, y) = a ? (rng() & ~255u) | a : 0;
      at(base, x, y) = rng();
    }
  const int weights[] = {256, 255, 128, 77, 1}, offsets[] = {0, 1, 5};
  for (int i = 0; i < 2 * 5 * 3; i++) {
    const bool wide = i < 15;
    const int weight = weights[i / 3 % 5], off = offsets[i % 3];
    rast::UseWideRows(wide);
    RAST_Copy(&dst, &base);
    RAST_Blit(&dst, &src, off, 0, 0, 0, W - off, H, (float)weight / 256.0f, 0x10000);
    for (int y = 0; y < H; y++)
      for (int x = off; x < W; x++)
        ASSERT_EQ(at(dst, x, y), ref::combine(at(base, x, y), at(src, x - off, y), weight, 0x10000))
            << "wide " << wide << " weight " << weight << " offset " << off << " at " << x << "," << y;
  }
  rast::UseWideRows(true);
}

bool aligned64(const void* p) { return ((uintptr_t)p & 63) == 0; }

TEST(MemBitmap, ImpossibleSizesGiveAnEmptyBitmapInsteadOfWrapping) {
  // 65536 x 65536 pixels is 16 GiB, which a 32-bit byte count wraps to 0; 46341 squared times 4
  // passes INT_MAX only a little.
  const struct {
    int w, h;
  } sizes[] = {{-4, -4}, {8, -1}, {65536, 65536}, {46341, 46341}, {INT_MAX, 1}};
  for (const auto& k : sizes) {
    RAST_MemBitmap made(k.w, k.h), resized(8, 8);
    RAST_SysBitmap sys(k.w, k.h);
    EXPECT_TRUE(resized.resize(k.w, k.h));
    for (RAST_IBitmap* bm : {(RAST_IBitmap*)&made, (RAST_IBitmap*)&resized, (RAST_IBitmap*)&sys}) {
      EXPECT_EQ(bm->getBits(), nullptr) << k.w << " x " << k.h;
      EXPECT_EQ(bm->getWidth() + bm->getHeight(), 0) << k.w << " x " << k.h;
    }
    EXPECT_EQ(sys.getDC(), nullptr);
  }
}

TEST(MemBitmap, RowsFollowTheAlignmentAndTheBlockGrowsAQuarterOverTheNeedAndNeverShrinks) {
  const struct {
    int w;
    unsigned int align;
    int span;
  } spans[] = {{10, 4, 12}, {10, 1, 10}, {10, 0, 10}, {11, 6, 12} /* 6 counts as 2 */, {12, 4, 12}};
  for (const auto& k : spans) {
    RAST_MemBitmap bm(k.w, 10, k.align);
    EXPECT_EQ(bm.getRowSpan(), k.span) << k.w << " at " << k.align;
    EXPECT_TRUE(aligned64(bm.getBits()));
  }
  RAST_MemBitmap bm(100, 100);
  EXPECT_EQ(bm.getAllocatedSize(), 40000) << "a first block is the need exactly";
  EXPECT_FALSE(bm.resize(100, 100));
  EXPECT_TRUE(bm.resize(101, 100));  // row span 104: 41600 bytes needed
  EXPECT_EQ(bm.getAllocatedSize(), 52000);
  RAST_PixelValue* bits = bm.getBits();
  EXPECT_TRUE(bm.resize(110, 110));  // 49280 bytes fit
  EXPECT_EQ(bm.getAllocatedSize(), 52000);
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_TRUE(bm.resize(3, 3));
  EXPECT_EQ(bm.getAllocatedSize(), 52000) << "a shrink keeps the block";
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_TRUE(bm.resize(0, 10));
  EXPECT_EQ(bm.getBits(), nullptr);
  EXPECT_EQ(bm.getWidth() + bm.getHeight() + bm.getAllocatedSize(), 0);
}

TEST(SysBitmap, KeepsItsContextWhileTheSizeFitsAndMakesANewOneBeyond) {
  RAST_SysBitmap bm(5, 3);
  ASSERT_NE(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getRowSpan(), 8);
  EXPECT_TRUE(aligned64(bm.getBits()));
  EXPECT_EQ((void*)bm.getBits(), WAPI_GetCtxFrameBuffer(bm.getDC()));
  EXPECT_TRUE(rt::all(bm, 0u));
  HDC dc = bm.getDC();
  RAST_PixelValue* bits = bm.getBits();
  bits[0] = 0x11223344;
  EXPECT_TRUE(bm.resize(8, 2));
  EXPECT_EQ(bm.getDC(), dc);
  EXPECT_EQ(bm.getBits(), bits);
  EXPECT_EQ(bm.getBits()[0], 0x11223344u);
  EXPECT_FALSE(bm.resize(8, 2));
  EXPECT_TRUE(bm.resize(9, 7));
  EXPECT_EQ(bm.getRowSpan(), 12);
  EXPECT_EQ(bm.getBits()[0], 0u);
  EXPECT_FALSE(bm.resize(0, 0));  // an empty size deletes the context
  EXPECT_EQ(bm.getDC(), nullptr);
  EXPECT_EQ(bm.getBits(), nullptr);
}

}  // namespace
