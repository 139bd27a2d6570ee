// Circle outlines, filled circles, the stored small circles, arcs and rounded rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_rect.h"
#include "kit/raster/rast_roundrect.h"
#include "raster_test_util.h"

namespace {

using namespace rt;

const float kPi = 3.1415927f;

Draw circle(float cx, float cy, float r, bool aa, bool filled = false) {
  return [=](RAST_IBitmap* bm, uint32_t c, float a, int m) {
    if (filled) RAST_FillCircle(bm, cx, cy, r, c, a, m, aa);
    else RAST_Circle(bm, cx, cy, r, c, a, m, aa);
  };
}
Draw arc(float cx, float cy, float r, float a1, float a2, bool aa) {
  return [=](RAST_IBitmap* bm, uint32_t c, float a, int m) { RAST_Arc(bm, cx, cy, r, a1, a2, c, a, m, aa); };
}

TEST(CircleShape, PlainCirclesTouchTheMidpointWalksPixelsOnceEach) {
  const struct {
    const char* what;
    Draw draw;
    std::vector<std::string> want;
  } cases[] = {
      {"outline 2.01 walks with R = 2", circle(3, 3, 2.01f, false),
       {".......", "..111..", ".1...1.", ".1...1.", ".1...1.", "..111..", "......."}},
      {"outline 3.2 walks with R = 3", circle(3, 3, 3.2f, false),
       {"..111..", ".1...1.", "1.....1", "1.....1", "1.....1", ".1...1.", "..111.."}},
      {"filled 3.0", circle(3, 3, 3.0f, false, true),
       {"..111..", ".11111.", "1111111", "1111111", "1111111", ".11111.", "..111.."}},
      {"below 0.5 hits the centre four times", circle(3.2f, 2.9f, 0.3f, false),
       {".......", ".......", ".......", "...4...", ".......", ".......", "......."}},
      {"0.5 to below 1.5 is radius 1", circle(3, 3, 1.2f, false),
       {".......", ".......", "...1...", "..1.1..", "...1...", ".......", "......."}},
  };
  for (const auto& k : cases) {
    rt::Filled bm(7, 7);
    k.draw(&bm, kOne, 1.0f, 1);
    EXPECT_EQ(rt::picture(bm), k.want) << k.what;
  }
}

TEST(CircleShape, AntiAliasedAndStoredCirclesGiveTheirCoverage) {
  const struct {
    const char* what;
    Draw draw;
    uint32_t colour;
    int mode;
    std::vector<std::vector<int>> want;
  } cases[] = {
      // Copy of white onto black shows each weight: axis points beyond the edge take the
      // fraction 0.2, the diagonal ones 0.66, the inside runs all of it.
      {"filled 1.2", circle(2, 2, 1.2f, true, true), kWhite, 0,
       {{0, 0, 51, 0, 0}, {0, 169, 255, 169, 0}, {51, 255, 255, 255, 51}, {0, 169, 255, 169, 0}, {0, 0, 51, 0, 0}}},
      {"stored radius 2, placed at the truncated corner", circle(2.6f, 2.2f, 2.0f, true), kWhite, 0,
       {{0x0F, 0xBF, 0xFF, 0xBF, 0x0F}, {0xBF, 0xD1, 0x4F, 0xD1, 0xBF}, {0xFF, 0x4F, 0x00, 0x4F, 0xFF},
        {0xBF, 0xD1, 0x4F, 0xD1, 0xBF}, {0x0F, 0xBF, 0xFF, 0xBF, 0x0F}}},
  };
  for (const auto& k : cases) {
    rt::Filled bm(5, 5);
    k.draw(&bm, k.colour, 1.0f, k.mode);
    EXPECT_EQ(rt::reds(bm), k.want) << k.what;
  }
}

TEST(CircleShape, FilledCirclesCombineEachPixelOnceAndAreSymmetric) {
  for (bool aa : {false, true})
    for (float r : {2.2f, 5.0f, 7.6f, 13.3f, 30.0f})
      for (float cx : {33.0f, 2.0f}) {  // inside, and over the left edge
        SCOPED_TRACE(::testing::Message() << "aa " << aa << " r " << r << " cx " << cx);
        // Runs add 64; fractional edge pixels add less, so a second touch shows above 64.
        const uint32_t c = aa ? grey(64) : kOne;
        rt::Filled fill(67, 67), ring(67, 67);
        RAST_FillCircle(&fill, cx, 33.0f, r, c, 1.0f, 1, aa);
        RAST_Circle(&ring, cx, 33.0f, r, c, 1.0f, 1, aa);
        int covered = 0;
        for (int y = 0; y < 67; y++)
          for (int x = 0; x < 67; x++) {
            const uint32_t v = at(fill, x, y);
            ASSERT_TRUE(v == 0 || (v == (v & 255) * kOne && (v & 255) <= (c & 255))) << x << "," << y;
            covered += v == c;
            if (!aa && at(ring, x, y)) { ASSERT_EQ(v, c) << "outline pixel outside the fill at " << x << "," << y; }
            if (cx != 33.0f) continue;
            for (RAST_MemBitmap* bm : {&fill, &ring}) {
              ASSERT_EQ(at(*bm, x, y), at(*bm, 66 - x, y)) << x << "," << y;
              ASSERT_EQ(at(*bm, x, y), at(*bm, x, 66 - y)) << x << "," << y;
              // The anti-aliased walks leave their last step unmirrored about the diagonal.
              if (!aa) { ASSERT_EQ(at(*bm, x, y), at(*bm, y, x)) << x << "," << y; }
            }
          }
        if (cx == 33.0f) { EXPECT_NEAR(covered, kPi * r * r, kPi * r * r * 0.2 + 8); }
      }
}

TEST(CircleModes, CopyFillsAreTheHalfMixOrAStoreAndAntiAliasedCopyTheCombiner) {
  // Plain copy at 0.5 is the half mix (d + s) / 2, at 1.0 a store; anti-aliased copy at 0.5 is
  // the copy combiner, s + (d - s) / 2 truncated toward zero.
  const struct {
    bool aa;
    float alpha;
    int want;
  } copies[] = {{false, 0.5f, 75}, {false, 1.0f, 101}, {true, 0.5f, 76}};
  for (const auto& k : copies) {
    rt::Filled bm(13, 13, grey(50));
    RAST_FillCircle(&bm, 6, 6, 4.4f, grey(101), k.alpha, 0, k.aa);
    EXPECT_EQ(at(bm, 6, 6), grey(k.want)) << k.aa << " " << k.alpha;
  }
}

TEST(CircleClip, HugeRadiiFinishAndDrawTheVisibleStretch) {
  rt::Filled bm(64, 64);
  RAST_Circle(&bm, -1.0e9f, 32.0f, 1.0e9f, kOne, 1.0f, 1, false);
  EXPECT_EQ(at(bm, 0, 32), kOne);  // the right-most point of the outline
  EXPECT_EQ(at(bm, 1, 32), 0u);
  RAST_Circle(&bm, 32.0f, 32.0f, 3.0e38f, kOne, 1.0f, 1, true);
  RAST_FillCircle(&bm, 32.0f, 32.0f, 5.0e8f, kOne, 1.0f, 1, false);
  RAST_FillCircle(&bm, 1.0e9f, -1.0e9f, 2.0e9f, kOne, 1.0f, 1, true);
  EXPECT_EQ(rt::countSet(bm), 64 * 64);  // the huge filled circles cover everything
}

TEST(Arc, ArcsAreStretchesOfTheCircleWhateverTheAngles) {
  const float kTurn = 6.2831855f;
  const struct {
    const char* what;
    float r, a1, a2;
    float b1, b2;  // the same arc; b1 == b2 stands for the whole circle
  } cases[] = {
      {"either order", 10.0f, kPi / 2, 0.0f, 0.0f, kPi / 2},
      {"a full turn", 9.3f, 0.0f, kTurn, 0, 0},
      {"more than a turn, small radius through the stored circle", 3.0f, -1.0f, 9.0f, 0, 0},
      {"beyond a turn", 11.0f, 7.0f, 8.0f, 7.0f - kTurn, 8.0f - kTurn},
      {"below minus a turn", 11.0f, -9.0f, -8.0f, -9.0f + kTurn, -8.0f + kTurn},
  };
  for (const auto& k : cases)
    for (bool aa : {false, true}) {
      rt::Filled a(32, 32, rt::kBack), b(32, 32, rt::kBack);
      arc(15.5f, 16, k.r, k.a1, k.a2, aa)(&a, kColour, 0.6f, 3);
      if (k.b1 == k.b2) circle(15.5f, 16, k.r, aa)(&b, kColour, 0.6f, 3);
      else arc(15.5f, 16, k.r, k.b1, k.b2, aa)(&b, kColour, 0.6f, 3);
      EXPECT_TRUE(rt::same(a, b)) << k.what << " aa " << aa;
    }
  // Four quarters draw each pixel of the circle once.
  rt::Filled arcs(40, 40), full(40, 40);
  for (int q = 0; q < 4; q++) RAST_Arc(&arcs, 19.0f, 20.0f, 12.2f, q * kPi / 2, (q + 1) * kPi / 2, kOne, 1.0f, 1, false);
  RAST_Circle(&full, 19.0f, 20.0f, 12.2f, kOne, 1.0f, 1, false);
  EXPECT_TRUE(rt::same(arcs, full));
}

TEST(RoundRect, SidesRunOnTheBoxEdgesAndSmallCornersGiveTheSquareOutline) {
  rt::Filled a(40, 30), b(40, 30);
  RAST_RoundRect(&a, 2.0f, 3.0f, 30.0f, 9.0f, 50, kOne, 1.0f, 1, false);  // limited to floor(4.5) = 4
  RAST_RoundRect(&b, 2.0f, 3.0f, 30.0f, 9.0f, 4, kOne, 1.0f, 1, false);
  EXPECT_TRUE(rt::same(a, b));
  // A corner of 1 or less, or one that floors below 2 against a thin box, draws the square
  // outline of the truncated box, columns 3..13 and rows 2..8, its corners twice.
  for (int c : {1, 0, -4}) {
    rt::Filled t(16, 12);
    RAST_RoundRect(&t, 3.7f, 2.2f, 10.9f, 6.0f, c, kOne, 1.0f, 1, true);
    EXPECT_EQ(rt::picture(t)[2] + rt::picture(t)[5], "...21111111112.....1.........1..") << c;
    EXPECT_EQ(rt::countSet(t), 2 * 11 + 2 * 5) << c;
  }
  rt::Filled thin(20, 20), square(20, 20);
  RAST_RoundRect(&thin, 1.0f, 1.0f, 3.0f, 12.0f, 6, kOne, 1.0f, 1, false);
  RAST_RoundRect(&square, 1.0f, 1.0f, 3.0f, 12.0f, 1, kOne, 1.0f, 1, false);
  EXPECT_TRUE(rt::same(thin, square));
}

}  // namespace
