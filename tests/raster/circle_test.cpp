// Circle outlines, filled circles and the small stored circles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "kit/raster/rast_circle.h"
#include "raster/line_support.h"

namespace {

using lt::BlankScene;
using lt::Scene;

const uint32_t kColour = RAST_MakePixel(201, 77, 150, 233);
const uint32_t kOne = 0x01010101u;

struct Pt {
  int x, y;
};

// The combining a plain circle uses for a mode and weight: half mix at 128 and plain stores at
// 256 in copy mode, the mode's combiner otherwise.
void plainTouch(Scene& s, int x, int y, int w, int mode) {
  if ((mode & 0xFF) == 0 && w == 128) s.apply(x, y, [](uint32_t d) { return lt::halfMix(d, kColour); });
  else if ((mode & 0xFF) == 0 && w == 256) s.apply(x, y, [](uint32_t) { return kColour; });
  else s.touch(x, y, kColour, w, mode);
}

class CircleModes : public ::testing::TestWithParam<int> {};

TEST_P(CircleModes, OutlineOfRadiusTwoPointOhOneUsesTheMidpointWalkWithRadiusTwo) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.5f, 0.7f}) {
    Scene s(12, 12);
    RAST_Circle(s.bm(), 5.0f, 6.0f, 2.01f, kColour, alpha, mode, false);
    const int w = (int)(alpha * 256);
    const Pt pts[] = {{5, 4}, {7, 6}, {5, 8}, {3, 6}, {4, 4}, {4, 8}, {6, 4}, {6, 8},
                      {3, 5}, {3, 7}, {7, 5}, {7, 7}};
    for (const Pt& p : pts) plainTouch(s, p.x, p.y, w, mode);
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha;
  }
}

TEST_P(CircleModes, RadiusTwoDrawsTheStoredMaskAtCoverageTimesWeight) {
  const int mode = GetParam();
  const unsigned char aa2[25] = {0x0F, 0xBF, 0xFF, 0xBF, 0x0F, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0xFF, 0x4F, 0x00,
                                 0x4F, 0xFF, 0xBF, 0xD1, 0x4F, 0xD1, 0xBF, 0x0F, 0xBF, 0xFF, 0xBF, 0x0F};
  const unsigned char plain2[25] = {0, 0, 255, 0, 0, 0, 255, 0, 255, 0, 255, 0, 0,
                                    0, 255, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0};
  for (bool aa : {false, true}) {
    Scene s(10, 10);
    RAST_Circle(s.bm(), 4.6f, 5.2f, 2.0f, kColour, 0.8f, mode, aa);
    // Top-left at (trunc(2.6), trunc(3.2)) = (2, 3); weight coverage * 204 / 256.
    const unsigned char* m = aa ? aa2 : plain2;
    for (int j = 0; j < 5; j++)
      for (int i = 0; i < 5; i++)
        if (m[j * 5 + i]) s.touch(2 + i, 3 + j, kColour, m[j * 5 + i] * 204 / 256, mode);
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " aa " << aa;
  }
}

TEST_P(CircleModes, AntiAliasedOutlineBelowRadiusOneHitsTheCentreFourTimes) {
  const int mode = GetParam();
  Scene s(8, 8);
  RAST_Circle(s.bm(), 3.0f, 4.0f, 0.75f, kColour, 1.0f, mode, true);
  const int a0 = (int)(0.75 * 256);
  for (const Pt& p : {Pt{3, 3}, Pt{3, 5}, Pt{2, 4}, Pt{4, 4}}) s.touch(p.x, p.y, kColour, a0, mode);
  for (int k = 0; k < 4; k++) s.touch(3, 4, kColour, 256 - a0, mode);
  EXPECT_TRUE(s.matches()) << lt::modeName(mode);
}

// Written from the description: axis points, then per step i the edge at sqrt(r^2 - i^2); the
// pixel beyond the edge takes the fractional part, the edge pixel (outline) or the runs inside
// (filled) the rest.
void modelAACircle(Scene& s, int X, int Y, float r, int w, int mode, bool filled) {
  const int Ri = (int)r;
  const int a0 = (int)((r - std::floor(r)) * w);
  auto vrun = [&](int x, int y0, int y1) {
    for (int y = y0; y <= y1; y++) s.touch(x, y, kColour, w, mode);
  };
  auto hrun = [&](int y, int x0, int x1) {
    for (int x = x0; x <= x1; x++) s.touch(x, y, kColour, w, mode);
  };
  for (const Pt& p : {Pt{X, Y - Ri - 1}, Pt{X, Y + Ri + 1}, Pt{X - Ri - 1, Y}, Pt{X + Ri + 1, Y}})
    s.touch(p.x, p.y, kColour, a0, mode);
  if (filled) {
    vrun(X, Y - Ri, Y - 1);
    vrun(X, Y + 1, Y + Ri);
    hrun(Y, X - Ri, X + Ri);
  } else {
    for (const Pt& p : {Pt{X, Y - Ri}, Pt{X + Ri, Y}, Pt{X, Y + Ri}, Pt{X - Ri, Y}})
      s.touch(p.x, p.y, kColour, w - a0, mode);
  }
  const float r2 = r * r;
  double sq = std::sqrt((double)r2 - 1);
  int n = (int)(sq + 0.5);
  if (n < 1) return;
  for (int i = 1;; i++) {
    const int xi = (int)sq, ai = (int)((sq - std::floor(sq)) * w);
    for (const Pt& p : {Pt{X - i, Y - xi - 1}, Pt{X - i, Y + xi + 1}, Pt{X + i, Y - xi - 1}, Pt{X + i, Y + xi + 1}})
      s.touch(p.x, p.y, kColour, ai, mode);
    if (i != n)
      for (const Pt& p : {Pt{X - xi - 1, Y - i}, Pt{X + xi + 1, Y - i}, Pt{X - xi - 1, Y + i}, Pt{X + xi + 1, Y + i}})
        s.touch(p.x, p.y, kColour, ai, mode);
    if (filled) {
      vrun(X - i, Y - xi, Y - i - 1);
      vrun(X - i, Y + i + 1, Y + xi);
      vrun(X + i, Y - xi, Y - i - 1);
      vrun(X + i, Y + i + 1, Y + xi);
      hrun(Y - i, X - xi, X - i);
      hrun(Y - i, X + i, X + xi);
      hrun(Y + i, X - xi, X - i);
      hrun(Y + i, X + i, X + xi);
    } else {
      for (const Pt& p : {Pt{X - xi, Y - i}, Pt{X + xi, Y - i}, Pt{X - i, Y + xi}, Pt{X + i, Y + xi}})
        s.touch(p.x, p.y, kColour, w - ai, mode);
      if (i != n)
        for (const Pt& p : {Pt{X - i, Y - xi}, Pt{X + i, Y - xi}, Pt{X - xi, Y + i}, Pt{X + xi, Y + i}})
          s.touch(p.x, p.y, kColour, w - ai, mode);
    }
    sq = std::sqrt((double)r2 - (i + 1) * (i + 1));
    n = (int)(sq + 0.5);
    if (!(i < n)) break;
  }
}

TEST_P(CircleModes, AntiAliasedOutlineFollowsTheExactEdgeWithFractionalOuterPixels) {
  const int mode = GetParam();
  for (float r : {5.3f, 9.85f, 1.2f}) {
    Scene s(24, 24);
    RAST_Circle(s.bm(), 11.0f, 12.4f, r, kColour, 200 / 256.0f, mode, true);
    modelAACircle(s, 11, 12, r, 200, mode, false);
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " r " << r;
  }
}

TEST_P(CircleModes, AntiAliasedFilledCircleRunsInsideAndFractionsBeyondTheEdge) {
  const int mode = GetParam();
  for (float r : {5.3f, 9.85f, 1.2f}) {
    Scene s(24, 24);
    RAST_FillCircle(s.bm(), 10.6f, 12.0f, r, kColour, 0.75f, mode, true);
    modelAACircle(s, 11, 12, r, 192, mode, true);
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " r " << r;
  }
}

TEST_P(CircleModes, PlainFilledCircleIsTheRunsOfTheMidpointWalk) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.5f, 0.3f}) {
    Scene s(24, 24);
    RAST_FillCircle(s.bm(), 11.0f, 12.0f, 6.2f, kColour, alpha, mode, false);
    const int w = (int)(alpha * 256);
    // The midpoint walk of radius 6 as described: axis runs, then per step the column and row
    // runs of both sides, R shrinking when the error e (from -R, growing by 3, 5, 7...) is >= 0.
    int R = 6;
    auto touchRun = [&](int x0, int y0, int x1, int y1) {
      for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) plainTouch(s, x, y, w, mode);
    };
    const int X = 11, Y = 12;
    touchRun(X, Y - R, X, Y - 1);
    touchRun(X, Y + 1, X, Y + R);
    touchRun(X - R, Y, X + R, Y);
    int i = 0, e = -R, d = 3;
    do {
      if (e >= 0) {
        R--;
        e -= 2 * R;
      }
      const int k = i + 1;
      touchRun(X - k, Y - R, X - k, Y - k - 1);
      touchRun(X - k, Y + k + 1, X - k, Y + R);
      touchRun(X + k, Y - R, X + k, Y - k - 1);
      touchRun(X + k, Y + k + 1, X + k, Y + R);
      touchRun(X - R, Y - k, X - k, Y - k);
      touchRun(X + k, Y - k, X + R, Y - k);
      touchRun(X - R, Y + k, X - k, Y + k);
      touchRun(X + k, Y + k, X + R, Y + k);
      e += d;
      d += 2;
      i++;
    } while (i + 1 < R);
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha;
  }
}

TEST_P(CircleModes, SourceAlphaFlagIsIgnoredAndModeSixDrawsNothing) {
  const int mode = GetParam();
  Scene a(24, 24), b(24, 24), c(24, 24);
  for (bool aa : {false, true}) {
    RAST_Circle(a.bm(), 11.0f, 12.0f, 7.4f, kColour, 0.7f, mode, aa);
    RAST_Circle(b.bm(), 11.0f, 12.0f, 7.4f, kColour, 0.7f, mode | 0x10000, aa);
    RAST_FillCircle(a.bm(), 1.0f, 2.0f, 5.4f, kColour, 0.7f, mode, aa);
    RAST_FillCircle(b.bm(), 1.0f, 2.0f, 5.4f, kColour, 0.7f, mode | 0x10000, aa);
    RAST_Circle(c.bm(), 11.0f, 12.0f, 7.4f, kColour, 0.7f, 6, aa);
    RAST_FillCircle(c.bm(), 11.0f, 12.0f, 7.4f, kColour, 0.7f, 0x10106, aa);
  }
  ASSERT_TRUE(rt::same(*a.bm(), *b.bm()));
  EXPECT_TRUE(c.matches());
}

TEST_P(CircleModes, TinyPlainOutlinesHitTheCentreFourTimesOrItsFourNeighbours) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.5f, 0.7f}) {
    const int w = (int)(alpha * 256);
    Scene a(8, 8);
    RAST_Circle(a.bm(), 3.2f, 3.9f, 0.3f, kColour, alpha, mode, false);
    for (int k = 0; k < 4; k++) plainTouch(a, 3, 4, w, mode);
    EXPECT_TRUE(a.matches()) << lt::modeName(mode) << " alpha " << alpha;
    for (float r : {0.5f, 1.0f, 1.2f, 1.49f}) {  // from half a pixel up to the first stored mask
      Scene b(8, 8);
      RAST_Circle(b.bm(), 3.0f, 3.0f, r, kColour, alpha, mode, false);
      for (const Pt& p : {Pt{3, 2}, Pt{4, 3}, Pt{3, 4}, Pt{2, 3}}) plainTouch(b, p.x, p.y, w, mode);
      EXPECT_TRUE(b.matches()) << lt::modeName(mode) << " alpha " << alpha << " r " << r;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, CircleModes, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& i) { return std::string(lt::modeName(i.param)); });

TEST(CircleSmall, EveryStoredRadiusDrawsItsPlainMask) {
  // Full-coverage pixels of each plain mask, counted from the stored rows.
  const float radii[] = {1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f};
  const int full[] = {8, 8, 12, 16, 28, 32};
  for (int k = 0; k < 6; k++) {
    BlankScene t(16, 16);
    RAST_Circle(t.bm(), 7.0f, 7.0f, radii[k], 0xFFFFFFFFu, 1.0f, 1, false);
    int n = 0;
    for (int y = 0; y < 16; y++)
      for (int x = 0; x < 16; x++) {
        const uint32_t v = lt::at(*t.bm(), x, y);
        ASSERT_TRUE(v == 0 || v == 0xFEFEFEFEu) << x << "," << y;  // add at weight 255
        n += v != 0;
      }
    EXPECT_EQ(n, full[k]) << radii[k];
  }
}

TEST(CircleSmall, RadiusJustOffAStoredValueUsesTheMidpointWalk) {
  BlankScene s(16, 16);
  RAST_Circle(s.bm(), 7.0f, 7.0f, 3.0001f, 0xFFFFFFFFu, 1.0f, 1, false);
  // The walk adds at the full weight 256 and reaches the axis points at distance 3.
  EXPECT_EQ(lt::at(*s.bm(), 7, 4), 0xFFFFFFFFu);
  EXPECT_EQ(lt::at(*s.bm(), 10, 7), 0xFFFFFFFFu);
}

TEST(CircleSmall, MaskIsCutAtTheBitmapEdges) {
  BlankScene s(6, 6);
  // Radius 1.5 at (0.5, 0.5): top-left (-1, -1); glyph rows and columns 1..3 land on 0..2.
  RAST_Circle(s.bm(), 0.5f, 0.5f, 1.5f, 0xFFFFFFFFu, 1.0f, 0, false);
  const unsigned char plain[16] = {0, 255, 255, 0, 255, 0, 0, 255, 255, 0, 0, 255, 0, 255, 255, 0};
  for (int j = 1; j < 4; j++)
    for (int i = 1; i < 4; i++)
      if (plain[j * 4 + i]) s.touch(i - 1, j - 1, 0xFFFFFFFFu, 255, 0);
  EXPECT_TRUE(s.matches());
}

TEST(CircleFill, PlainFilledCircleInAddModeBrightensEachCoveredPixelOnce) {
  for (float r : {2.2f, 5.0f, 7.6f, 13.3f, 30.0f}) {
    for (float cx : {33.0f, 2.0f}) {  // inside, and over the left edge with per-pixel clipping
      BlankScene s(70, 70);
      RAST_FillCircle(s.bm(), cx, 34.0f, r, kOne, 1.0f, 1, false);
      int covered = 0;
      for (int y = 0; y < 70; y++) {
        int first = -1, last = -1;
        for (int x = 0; x < 70; x++) {
          const uint32_t v = lt::at(*s.bm(), x, y);
          ASSERT_TRUE(v == 0 || v == kOne) << "pixel " << x << "," << y << " touched more than once, r " << r;
          if (v) {
            if (first < 0) first = x;
            last = x;
            covered++;
          }
        }
        // Each row is one unbroken run.
        for (int x = first; first >= 0 && x <= last; x++) ASSERT_EQ(lt::at(*s.bm(), x, y), kOne) << x << "," << y;
      }
      if (cx > 30) {
        const double area = 3.14159265 * (r + 0.5) * (r + 0.5);
        EXPECT_NEAR(covered, area, area * 0.2 + 6) << r;
      }
    }
  }
}

TEST(CircleFill, FilledCircleIsSymmetricAboutItsCentre) {
  BlankScene s(41, 41);
  RAST_FillCircle(s.bm(), 20.0f, 20.0f, 11.7f, kOne, 1.0f, 1, false);
  for (int y = 0; y < 41; y++)
    for (int x = 0; x < 41; x++) {
      ASSERT_EQ(lt::at(*s.bm(), x, y), lt::at(*s.bm(), 40 - x, y));
      ASSERT_EQ(lt::at(*s.bm(), x, y), lt::at(*s.bm(), y, x));
    }
}

TEST(CircleFill, FillCoversTheOutlineRing) {
  BlankScene a(40, 40), b(40, 40);
  RAST_FillCircle(a.bm(), 19.0f, 20.0f, 9.6f, kOne, 1.0f, 1, false);
  RAST_Circle(b.bm(), 19.0f, 20.0f, 9.6f, kOne, 1.0f, 1, false);
  for (int y = 0; y < 40; y++)
    for (int x = 0; x < 40; x++)
      if (lt::at(*b.bm(), x, y)) {
        EXPECT_EQ(lt::at(*a.bm(), x, y), kOne) << x << "," << y;
      }
}

TEST(CircleClip, CircleNearTheEdgeDrawsOnlyItsInsidePixels) {
  // The same circle drawn whole into a larger bitmap and cut into a smaller one.
  for (bool aa : {false, true})
    for (bool filled : {false, true}) {
      Scene big(40, 40, 1), small(20, 20, 1);
      for (int y = 0; y < 20; y++)
        for (int x = 0; x < 20; x++) small.stored(x, y) = big.stored(x + 10, y + 10);
      auto draw = [&](RAST_IBitmap* bm, float off) {
        if (filled) RAST_FillCircle(bm, 12.0f + off, 13.0f + off, 9.3f, kColour, 0.6f, 4, aa);
        else RAST_Circle(bm, 12.0f + off, 13.0f + off, 9.3f, kColour, 0.6f, 4, aa);
      };
      draw(big.bm(), 10.0f);
      draw(small.bm(), 0.0f);
      ASSERT_TRUE(rt::same(*small.bm(), *big.bm(), 10, 10));
    }
}

TEST(CircleClip, WindowFarFromTheCentreMatchesTheSameStretchOfTheWholeCircle) {
  // 40 x 40 windows onto a radius-300 circle: its right-hand side (the centre lies far left of
  // the window), its lower left and its upper left (the walk starts far into the octant).
  const int wx[] = {600, 80, 80}, wy[] = {300, 560, 40};
  for (int k = 0; k < 3; k++)
    for (bool aa : {false, true})
      for (bool filled : {false, true}) {
        Scene big(640, 640, 2), win(40, 40, 2);
        for (int y = 0; y < 40; y++)
          for (int x = 0; x < 40; x++) win.stored(x, y) = big.stored(x + wx[k], y + wy[k]);
        auto draw = [&](RAST_IBitmap* bm, float cx, float cy) {
          if (filled) RAST_FillCircle(bm, cx, cy, 300.4f, kColour, 0.6f, 1, aa);
          else RAST_Circle(bm, cx, cy, 300.4f, kColour, 0.6f, 1, aa);
        };
        draw(big.bm(), 320.0f, 320.0f);
        draw(win.bm(), 320.0f - wx[k], 320.0f - wy[k]);
        for (int y = 0; y < 40; y++)
          for (int x = 0; x < 40; x++)
            ASSERT_EQ(win.stored(x, y), big.stored(x + wx[k], y + wy[k]))
                << "window " << k << " aa " << aa << " filled " << filled << " at " << x << "," << y;
      }
}

TEST(CircleClip, HugeRadiusFinishesAndDrawsTheVisibleStretch) {
  BlankScene s(64, 64);
  // Centre far to the left: the right-most stretch of the outline crosses the bitmap near x = 20.
  RAST_Circle(s.bm(), -1.0e9f + 20.0f, 32.0f, 1.0e9f, kOne, 1.0f, 1, false);
  RAST_Circle(s.bm(), 32.0f, 32.0f, 3.0e38f, kOne, 1.0f, 1, true);
  RAST_FillCircle(s.bm(), 32.0f, 32.0f, 5.0e8f, kOne, 1.0f, 1, false);
  RAST_FillCircle(s.bm(), 1.0e9f, -1.0e9f, 2.0e9f, kOne, 1.0f, 1, true);
  int covered = 0;
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) covered += lt::at(*s.bm(), x, y) != 0;
  EXPECT_EQ(covered, 64 * 64);  // the huge filled circle covers everything
}

TEST(CircleClip, NegativeRadiusNonFiniteAndNullDrawNothing) {
  Scene s(16, 16);
  const float nan = std::nanf(""), inf = std::numeric_limits<float>::infinity();
  RAST_Circle(s.bm(), 8.0f, 8.0f, -3.0f, kColour, 1.0f, 0, false);
  RAST_FillCircle(s.bm(), 8.0f, 8.0f, -3.0f, kColour, 1.0f, 0, true);
  RAST_Circle(s.bm(), nan, 8.0f, 3.0f, kColour, 1.0f, 0, false);
  RAST_FillCircle(s.bm(), 8.0f, inf, 3.0f, kColour, 1.0f, 0, false);
  RAST_Circle(s.bm(), 8.0f, 8.0f, inf, kColour, 1.0f, 0, true);
  RAST_FillCircle(s.bm(), 8.0f, 8.0f, 5.0f, kColour, 0.001f, 1, true);
  RAST_FillCircle(s.bm(), 8.0f, 8.0f, 5.0f, kColour, -0.5f, 0, false);
  RAST_Circle(nullptr, 8.0f, 8.0f, 5.0f, kColour, 1.0f, 0, true);
  EXPECT_TRUE(s.matches());
}

TEST(CircleFlipped, CentreRowIsMirroredInMemory) {
  Scene s(16, 16, 9, true);
  s.setAll(0);
  RAST_Circle(s.bm(), 8.0f, 3.0f, 5.2f, kOne, 1.0f, 1, false);
  BlankScene t(16, 16);
  RAST_Circle(t.bm(), 8.0f, 12.0f, 5.2f, kOne, 1.0f, 1, false);
  // Memory of the flipped bitmap equals a plain one drawn at the mirrored centre row.
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 16; x++) ASSERT_EQ(lt::at(*s.bm(), x, y), lt::at(*t.bm(), x, y));
}

}  // namespace
