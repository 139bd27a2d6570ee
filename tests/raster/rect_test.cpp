// Rectangle and single-pixel operations on one bitmap, gradient rectangles and the small blur.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_rect.h"
#include "raster_test_util.h"
#include "reference_combine.h"
#include "kit/raster/rast_blit.h"

namespace {

using rt::at;
using rt::px;

TEST(FillRect, IsClippedToTheBitmapWithoutOverflow) {
  const struct {
    int x, y, w, h, filled;
  } cases[] = {{-2, -2, 5, 5, 9}, {6, 0, 5, 5, 0}, {-10, 0, 5, 5, 0}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0},
               {4, 4, INT_MAX, INT_MAX, 4}, {0, 0, 6, 6, 36}};
  for (const auto& k : cases) {
    rt::Filled bm(6, 6);
    RAST_FillRect(&bm, k.x, k.y, k.w, k.h, 0xFFFFFFFF, 1.0f, 0);
    EXPECT_EQ(rt::countSet(bm), k.filled) << k.x << "," << k.y;
    if (k.filled) { EXPECT_EQ(at(bm, std::max(k.x, 0), std::max(k.y, 0)), 0xFFFFFFFFu) << k.x << "," << k.y; }
  }
  rt::FlippedBitmap flipped(3, 4);
  RAST_FillRect(&flipped, 0, 0, 3, 1, 0xFFFFFFFF, 1.0f, 0);
  EXPECT_EQ(at(flipped, 1, 3), 0xFFFFFFFFu);  // the caller's top row is stored last
  EXPECT_EQ(rt::countSet(flipped), 3);
  RAST_Clear(&flipped, 0x01020304);
  EXPECT_TRUE(rt::all(flipped, 0x01020304u));
}

TEST(FillRect, CopyMixesWholeWordsAtQuarterStepsAndOtherModesUseTheWeightAsSourceAlpha) {
  const uint32_t d = px(255, 0, 100, 7), c = px(0, 255, 200, 255), g = px(100, 100, 100, 100);
  const struct {
    const char* what;
    bool fill;  // FillRect, else PutPixel
    uint32_t d, c;
    float alpha;
    int mode;
    uint32_t want;
  } cases[] = {
      {"full copy writes the alpha byte", true, 0xFFFFFFFF, px(1, 2, 3, 0), 1.0f, 0, px(1, 2, 3, 0)},
      {"half of white over black", true, 0, 0xFFFFFFFF, 0.5f, 0, 0x7F7F7F7Fu},
      {"quarter: d/4 + d/2 + c/4", true, d, c, 0.25f, 0, px(190, 63, 125, 67)},
      {"three quarters: d/4 + c/4 + c/2", true, d, c, 0.75f, 0, px(63, 190, 175, 191)},
      {"other copy weights: the copy combiner", true, d, c, 0.3f, 0, ref::combine(d, px(0, 255, 200, 76), 76, 0)},
      {"add at full weight saturates alpha", true, px(100, 200, 0, 3), px(100, 100, 7, 0), 1.0f, 1,
       px(200, 255, 7, 255)},
      {"source alpha 0 draws nothing", true, g, px(200, 200, 200, 0), 1.0f, 0x10000, g},
      {"source alpha 255 is plain copy", true, g, px(200, 201, 202, 255), 1.0f, 0x10000, px(200, 201, 202, 255)},
      {"source alpha 128 is the half mix", true, 0, px(200, 100, 50, 128), 1.0f, 0x10000, px(100, 50, 25, 64)},
      {"put at a quarter", false, px(200, 0, 255, 255), px(0, 200, 255, 0), 0.25f, 0, px(150, 50, 253, 190)},
      {"put takes the colour alpha as source alpha", false, g, px(50, 60, 70, 80), 0.7f, 1,
       ref::combine(g, px(50, 60, 70, 80), 179, 1)},
      {"put ignores the source alpha flag", false, g, px(50, 60, 70, 80), 0.7f, 0x10001,
       ref::combine(g, px(50, 60, 70, 80), 179, 1)},
  };
  for (const auto& k : cases) {
    rt::Filled bm(2, 2, k.d);
    if (k.fill) RAST_FillRect(&bm, 0, 0, 2, 2, k.c, k.alpha, k.mode);
    else RAST_PutPixel(&bm, 1, 1, k.c, k.alpha, k.mode);
    EXPECT_EQ(at(bm, 1, 1), k.want) << k.what;
  }
}

TEST(RectOps, ClearMultiplyAddAndProcessTouchOnlyTheRectangle) {
  rt::Filled bm(4, 4, px(10, 20, 30, 200));
  RAST_ClearRect(&bm, 1, 1, 2, 2, 0xFFFFFF00, 0);
  EXPECT_EQ(std::vector<uint32_t>({at(bm, 1, 1), at(bm, 2, 2), at(bm, 3, 3)}),
            std::vector<uint32_t>({px(10, 20, 30, 0), px(10, 20, 30, 0), px(10, 20, 30, 200)}));
  RAST_ClearRect(&bm, -1, -1, 2, 2, 0, 0xAB);
  EXPECT_EQ(at(bm, 0, 0), 0xABu);
  EXPECT_EQ(at(bm, 1, 0), px(10, 20, 30, 200));

  const struct {
    uint32_t d;
    float s[4], a[4];
    uint32_t want;
  } scales[] = {
      {px(201, 3, 255, 1), {0.5f, 0.5f, 0.5f, 0.5f}, {0, 0, 0, 0}, px(100, 1, 127, 0)},
      {px(100, 100, 100, 100), {1, 2, 1, 0}, {10, 0, -150, 0.5f}, px(110, 200, 0, 0)},
      // (100 * 256 - 76) >> 8 floors to 99.
      {px(100, 100, 100, 100), {1, 1, 1, 1}, {-0.3f, 0, 0, 0}, px(99, 100, 100, 100)},
      {px(100, 100, 100, 100), {1e30f, -1e30f, 1, 1}, {1e30f, 0, -1e30f, 0}, px(255, 0, 0, 100)},
  };
  for (const auto& k : scales) {
    rt::Filled one(2, 1, k.d);
    RAST_MultiplyAddRect(&one, 1, 0, 1, 1, k.s[0], k.s[1], k.s[2], k.s[3], k.a[0], k.a[1], k.a[2], k.a[3]);
    EXPECT_EQ(at(one, 1, 0), k.want) << std::hex << k.d;
    EXPECT_EQ(at(one, 0, 0), k.d);
  }

  RAST_MemBitmap nb(5, 4);
  rt::numbered(nb);
  std::vector<uint32_t> seen;
  RAST_ProcessRect(&nb, 3, 2, 4, 4, [](unsigned int* p, void* parm) { ((std::vector<uint32_t>*)parm)->push_back(*p); }, &seen);
  EXPECT_EQ(seen, std::vector<uint32_t>({at(nb, 3, 2), at(nb, 4, 2), at(nb, 3, 3), at(nb, 4, 3)}));
  RAST_ProcessRect(&nb, 0, 0, 5, 4, nullptr, nullptr);
}

TEST(RectOps, PixelsOutsideAnswerZeroAndTheColourKeyBecomesTransparent) {
  rt::Filled bm(3, 2, 9);
  for (auto p : std::vector<std::pair<int, int>>{{3, 0}, {-1, 0}, {0, 2}}) {
    EXPECT_EQ(RAST_GetPixel(&bm, p.first, p.second), 0u);
    RAST_PutPixel(&bm, p.first, p.second, 1, 1.0f, 0);
  }
  EXPECT_EQ(RAST_GetPixel(nullptr, 0, 0), 0u);
  EXPECT_EQ(RAST_GetPixel(&bm, 2, 1), 9u);
  EXPECT_TRUE(rt::all(bm, 9u));
  RAST_MemBitmap key(3, 1);
  at(key, 0, 0) = px(1, 2, 3, 200);
  at(key, 1, 0) = px(1, 2, 4, 0);
  at(key, 2, 0) = px(1, 2, 3, 7);
  RAST_SetAlphaFromColorMask(&key, px(1, 2, 3, 0));
  EXPECT_EQ(std::vector<uint32_t>({at(key, 0, 0), at(key, 1, 0), at(key, 2, 0)}),
            std::vector<uint32_t>({px(1, 2, 3, 0), px(1, 2, 4, 255), px(1, 2, 3, 0)}));
  RAST_SetAlphaFromColorMask(&key, px(1, 2, 3, 1));  // a key with an alpha byte never matches
  EXPECT_EQ(at(key, 0, 0), px(1, 2, 3, 255));
}

TEST(SimpleFill, FillsRunsJoinedThroughTheSeedColumnUpAndDown) {
  // '#' walls (1), '.' open (0), 'o' filled.
  const struct {
    int x, y;
    std::vector<std::string> before, after;
  } cases[] = {
      {3, 2, {".......", "..#....", ".......", ".......", "...#...", "......."},
       {"ooooooo", "..#oooo", "ooooooo", "ooooooo", "...#...", "......."}},
  };
  for (const auto& k : cases) {
    RAST_MemBitmap bm((int)k.before[0].size(), (int)k.before.size());
    for (int y = 0; y < bm.getHeight(); y++)
      for (int x = 0; x < bm.getWidth(); x++) at(bm, x, y) = k.before[y][x] == '#';
    RAST_SimpleFill(&bm, k.x, k.y, 0x80, 0xFFFFFFFF, 0);
    std::vector<std::string> got;
    for (int y = 0; y < bm.getHeight(); y++) {
      got.emplace_back();
      for (int x = 0; x < bm.getWidth(); x++) got.back() += at(bm, x, y) == 1 ? '#' : at(bm, x, y) ? 'o' : '.';
    }
    EXPECT_EQ(got, k.after);
  }
  // A new colour that still matches does not loop; the keep mask keeps bits.
  rt::Filled bm(4, 4, 0x0000FF10);
  RAST_SimpleFill(&bm, 1, 1, 0x00AA0000, 0x000000FF, 0x0000FFFF);
  RAST_SimpleFill(&bm, 4, 0, 1, 0, 0);
  RAST_SimpleFill(&bm, 0, -1, 1, 0, 0);
  EXPECT_TRUE(rt::all(bm, 0x00AAFF10u));
}


TEST(GradRect, GivesThePinnedRampsAndBlends) {
  // Constant half alpha: each channel and the alpha byte blended at weight 128 (0.5 * 255 -> 127).
  rt::Filled half(1, 1, px(100, 100, 100, 100));
  RAST_GradRect(&half, 0, 0, 1, 1, 1.0f, 0.0f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(at(half, 0, 0), px(255 - 155 * 128 / 256, 100 * 128 / 256, 127 - 27 * 128 / 256, 128 - 28 * 128 / 256));
  // Full alpha copy stores the clamped ramp opaque: red 0, 63.75, 127.5, ... ; green 255 - 510.
  rt::Filled ramp(7, 2, 0x55555555);
  RAST_GradRect(&ramp, 0, 0, 7, 2, 0.0f, 1.0f, 0.0f, 1.0f, 0.25f, 0, 0, 0, 0, -2.0f, 0, 0, 0);
  const int want[] = {0, 63, 127, 191, 255, 255, 255};
  for (int x = 0; x < 7; x++) {
    EXPECT_EQ(at(ramp, x, 0), px(want[x], 255, 0, 255)) << x;
    EXPECT_EQ(at(ramp, x, 1), px(want[x], 0, 0, 255)) << x;
  }
  // Other modes run their combiner with the gradient alpha as weight: s = 127 at weight 128
  // then 256 adds 63 then 127; the alpha channel gains the weight.
  rt::Filled add(2, 1, px(100, 100, 100, 100));
  RAST_GradRect(&add, 0, 0, 2, 1, 0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1);
  EXPECT_EQ(at(add, 0, 0), px(163, 163, 163, 164));
  EXPECT_EQ(at(add, 1, 0), px(227, 227, 227, 255));
  // Far-running gradients saturate instead of overflowing.
  rt::Filled far(64, 64, 0x80808080);
  for (int mode = 0; mode < 6; mode++)
    RAST_GradRect(&far, -100000, -100000, 200000, 200000, 1e9f, -1e9f, 3e4f, 1e9f, 1e7f, -1e7f, 1e6f, 1e8f, 1e7f,
                  1e7f, -1e6f, -1e8f, mode);
  RAST_GradRect(&far, 0, 0, 1, 1, 1e9f, 0, 0, 1.0f, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(RAST_PixelR(at(far, 0, 0)), 255);
}

TEST(Blur, WeighsTheCentreByAHalfAndNeighboursByAnEighthOrAQuarterAtTheEdges) {
  auto grey = [](uint32_t v) { return v * 0x01010101u; };
  // One pixel of 128 at (1, 1): each output pixel shows the weight its source gives that pixel.
  rt::Filled impulse(5, 4), out(5, 4);
  at(impulse, 1, 1) = grey(128);
  RAST_Blur(&out, &impulse, 0, 0, 0, 0, 5, 4);
  const uint32_t want[4][5] = {{0, 32, 0, 0, 0},    // first row: the row below counts a quarter
                               {32, 64, 16, 0, 0},  // first pixel: its right neighbour a quarter
                               {0, 16, 0, 0, 0},    // interior: above and below an eighth each
                               {0, 0, 0, 0, 0}};    // last row: only the row above, still empty
  for (int y = 0; y < 4; y++)
    for (int x = 0; x < 5; x++) EXPECT_EQ(at(out, x, y), grey(want[y][x])) << x << "," << y;
  // Uniform 255: each term is truncated on its own (127 + 4 x 31 = 251 inside).
  rt::Filled white(5, 4, grey(255)), blurred(5, 4);
  RAST_Blur(&blurred, &white, 0, 0, 0, 0, 5, 4);
  EXPECT_EQ(at(blurred, 2, 1), grey(251));
  EXPECT_EQ(at(blurred, 0, 1), grey(127 + 63 + 31 + 31));
  EXPECT_EQ(at(blurred, 2, 0), grey(127 + 31 + 31 + 63));
  EXPECT_EQ(at(blurred, 4, 3), grey(127 + 63 + 63));
}

TEST(Blur, InPlaceEqualsOutOfPlaceOnNarrowAndWideRowsAndMoves) {
  const struct {
    int w, h, sx, sy, dx, dy, bw, bh;
  } cases[] = {{2, 2, 0, 0, 0, 0, 2, 2},          {17, 9, 0, 0, 0, 0, 17, 9},    {40, 30, 3, 4, 3, 4, 20, 11},
               {1024, 6, 0, 0, 0, 0, 1024, 6},    {1500, 5, 0, 0, 0, 0, 1500, 5} /* beyond the stack buffer */,
               {30, 20, 1, 1, 3, 2, 20, 12}};
  for (const auto& k : cases) {
    rt::Randomized bm(k.w, k.h, (uint32_t)(k.w * 31 + k.h));
    RAST_MemBitmap copy, out;
    RAST_Copy(&copy, &bm);
    RAST_Copy(&out, &bm);
    RAST_Blur(&out, &copy, k.dx, k.dy, k.sx, k.sy, k.bw, k.bh);
    RAST_Blur(&bm, &bm, k.dx, k.dy, k.sx, k.sy, k.bw, k.bh);
    EXPECT_TRUE(rt::same(bm, out)) << k.w << " wide";
  }
}

}  // namespace
