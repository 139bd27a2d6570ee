// Integer lines: which pixels a line touches, how each blend mode combines them, clipping and
// the fast copy values.
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "kit/raster/rast_line.h"
#include "raster/line_support.h"

namespace {

using lt::BlankScene;
using lt::Scene;

const uint32_t kColour = RAST_MakePixel(201, 77, 150, 233);  // odd bytes tell (d+s)/2 from d/2+s/2

struct Pt {
  int x, y;
};

int weightOf(float alpha) { return (int)(alpha * 256.0f); }

// Horizontal and vertical runs, single points included.
void modelStraight(Scene& s, const std::vector<Pt>& px, uint32_t c, float alpha, int mode) {
  const int m = mode & 0xFF;
  for (const Pt& p : px) {
    if (m == 0 && alpha == 1.0f) s.apply(p.x, p.y, [&](uint32_t) { return c; });
    else if (m == 0 && alpha == 0.5f) s.apply(p.x, p.y, [&](uint32_t d) { return lt::fastHalf(d, c); });
    else if (m == 0 && alpha == 0.25f) s.apply(p.x, p.y, [&](uint32_t d) { return lt::fastQuarter(d, c); });
    else if (m == 0 && alpha == 0.75f) s.apply(p.x, p.y, [&](uint32_t d) { return lt::fastThreeQuarter(d, c); });
    else {
      const int w = weightOf(alpha);
      if (w == 0 || m > 5 || (m == 0 && w < 0)) continue;
      if (m == 0 && w == 128) s.apply(p.x, p.y, [&](uint32_t d) { return lt::halfMix(d, c); });
      else s.touch(p.x, p.y, c, w, m);
    }
  }
}

// Plain diagonal and general lines: half mix at weight 128 in copy mode, otherwise the combiner.
void modelPlain(Scene& s, const std::vector<Pt>& px, uint32_t c, float alpha, int mode) {
  const int m = mode & 0xFF, w = weightOf(alpha);
  if (w == 0 || m > 5 || (m == 0 && w < 0)) return;
  for (const Pt& p : px) {
    if (m == 0 && w == 128) s.apply(p.x, p.y, [&](uint32_t d) { return lt::halfMix(d, c); });
    else s.touch(p.x, p.y, c, w, m);
  }
}

// The pixels of a plain general line from the rule "distance i from either end is displaced by
// i * slope / 65536 rounded, halves up; the far half mirrors the near one".
std::vector<Pt> generalPixels(int x1, int y1, int x2, int y2) {
  const bool xmaj = std::abs(x2 - x1) > std::abs(y2 - y1);
  if ((xmaj ? x2 - x1 : y2 - y1) < 0) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const long long L = xmaj ? x2 - x1 : y2 - y1;
  const long long dmin = xmaj ? y2 - y1 : x2 - x1;
  const long long sgn = dmin < 0 ? -1 : 1;
  const long long slope = (long long)((double)std::llabs(dmin) / (double)L * 65536.0);
  std::vector<Pt> out;
  const long long half = (L + 1) / 2;
  auto put = [&](long long maj, long long mn) {
    out.push_back(xmaj ? Pt{(int)maj, (int)mn} : Pt{(int)mn, (int)maj});
  };
  for (long long i = 0; i < half; i++) {
    const long long disp = (i * slope + 32768) / 65536;
    put((xmaj ? x1 : y1) + i, (xmaj ? y1 : x1) + sgn * disp);
    put((xmaj ? x2 : y2) - i, (xmaj ? y2 : x2) - sgn * disp);
  }
  if (!(L & 1)) {
    const long long disp = (half * slope + 32768) / 65536;
    put((xmaj ? x1 : y1) + half, (xmaj ? y1 : x1) + sgn * disp);
  }
  return out;
}

// Anti-aliased general line: both ends at full weight; at distance i the pixel at the whole part
// of i * slope / 65536 takes 255 - f and its neighbour towards the far end's side takes f.
void modelGeneralAA(Scene& s, int x1, int y1, int x2, int y2, uint32_t c, float alpha, int mode) {
  const int m = mode & 0xFF, w = weightOf(alpha);
  if (w == 0 || m > 5 || (m == 0 && w < 0)) return;
  const bool xmaj = std::abs(x2 - x1) > std::abs(y2 - y1);
  if ((xmaj ? x2 - x1 : y2 - y1) < 0) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const long long L = xmaj ? x2 - x1 : y2 - y1;
  const long long dmin = xmaj ? y2 - y1 : x2 - x1;
  const int sgn = dmin < 0 ? -1 : 1;
  const long long slope = (long long)((double)std::llabs(dmin) / (double)L * 65536.0);
  auto put = [&](long long maj, long long mn, int wt) {
    if (xmaj) s.touch((int)maj, (int)mn, c, wt, m);
    else s.touch((int)mn, (int)maj, c, wt, m);
  };
  auto wts = [&](long long e, int& mw, int& sw) {
    const int f = (int)(e >> 8);
    mw = w == 256 ? 255 - f : (255 - f) * w / 256;
    sw = w == 256 ? f : f * w / 256;
  };
  const long long a1 = xmaj ? x1 : y1, b1 = xmaj ? y1 : x1, a2 = xmaj ? x2 : y2, b2 = xmaj ? y2 : x2;
  put(a1, b1, w);
  put(a2, b2, w);
  const long long half = (L + 1) / 2;
  for (long long i = 1; i < half; i++) {
    const long long disp = i * slope / 65536, e = i * slope % 65536;
    int mw, sw;
    wts(e, mw, sw);
    put(a1 + i, b1 + sgn * disp, mw);
    put(a1 + i, b1 + sgn * (disp + 1), sw);
    put(a2 - i, b2 - sgn * disp, mw);
    put(a2 - i, b2 - sgn * (disp + 1), sw);
  }
  if (!(L & 1)) {
    const long long disp = half * slope / 65536, e = half * slope % 65536;
    int mw, sw;
    wts(e, mw, sw);
    put(a1 + half, b1 + sgn * disp, mw);
    put(a1 + half, b1 + sgn * (disp + 1), sw);
  }
}

std::vector<Pt> run(int x1, int y1, int x2, int y2) {
  std::vector<Pt> out;
  const int n = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
  const int sx = x2 > x1 ? 1 : x2 < x1 ? -1 : 0, sy = y2 > y1 ? 1 : y2 < y1 ? -1 : 0;
  for (int i = 0; i <= n; i++) out.push_back(Pt{x1 + i * sx, y1 + i * sy});
  return out;
}

class LineModes : public ::testing::TestWithParam<int> {};

TEST_P(LineModes, HorizontalAndVerticalRunsCombineEveryPixelOnceIncludingBothEnds) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.5f, 0.25f, 0.75f, 0.6f, -0.5f, 1.5f}) {
    Scene s(16, 12);
    RAST_Line(s.bm(), 12, 3, 2, 3, kColour, alpha, mode, false);
    RAST_Line(s.bm(), 5, 1, 5, 10, kColour, alpha, mode, true);
    modelStraight(s, run(2, 3, 12, 3), kColour, alpha, mode);
    modelStraight(s, run(5, 1, 5, 10), kColour, alpha, mode);
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha;
  }
}

TEST_P(LineModes, PlainDiagonalTouchesEachStepOnce) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.5f, 0.3f}) {
    Scene s(12, 12);
    RAST_Line(s.bm(), 9, 1, 2, 8, kColour, alpha, mode, false);
    if ((mode & 0xFF) == 0 && alpha == 1.0f) {
      for (const Pt& p : run(9, 1, 2, 8)) s.apply(p.x, p.y, [](uint32_t) { return kColour; });
    } else {
      modelPlain(s, run(9, 1, 2, 8), kColour, alpha, mode);
    }
    EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha;
  }
}

TEST_P(LineModes, AntiAliasedDiagonalPutsThreeQuartersOnTheLineAndAQuarterBeside) {
  const int mode = GetParam();
  const float alpha = 0.7f;
  const int w = weightOf(alpha);
  Scene s(12, 12);
  RAST_Line(s.bm(), 2, 9, 7, 4, kColour, alpha, mode, true);
  // From (2, 9) up and right: each step's corner pixels are one x step and one y step away.
  for (int i = 0; i <= 5; i++) {
    s.touch(2 + i, 9 - i, kColour, 3 * w / 4, mode);
    if (i < 5) {
      s.touch(3 + i, 9 - i, kColour, w / 4, mode);
      s.touch(2 + i, 8 - i, kColour, w / 4, mode);
    }
  }
  EXPECT_TRUE(s.matches()) << lt::modeName(mode);
}

TEST_P(LineModes, PlainGeneralLineFollowsTheRoundedSlopeFromBothEnds) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.5f, 0.4f}) {
    for (auto e : std::vector<std::vector<int>>{{0, 0, 9, 3}, {14, 2, 1, 7}, {3, 13, 6, 0}, {10, 1, 2, 12}}) {
      Scene s(16, 16);
      RAST_Line(s.bm(), e[0], e[1], e[2], e[3], kColour, alpha, mode, false);
      const std::vector<Pt> px = generalPixels(e[0], e[1], e[2], e[3]);
      if ((mode & 0xFF) == 0 && alpha == 1.0f) {
        for (const Pt& p : px) s.apply(p.x, p.y, [](uint32_t) { return kColour; });
      } else {
        modelPlain(s, px, kColour, alpha, mode);
      }
      EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha << " line " << e[0] << "," << e[1]
                               << " " << e[2] << "," << e[3];
    }
  }
}

TEST_P(LineModes, AntiAliasedGeneralLineSharesCoverageWithTheMinorNeighbour) {
  const int mode = GetParam();
  for (float alpha : {1.0f, 0.5f, 0.8f}) {
    for (auto e : std::vector<std::vector<int>>{{0, 0, 9, 3}, {14, 2, 1, 7}, {3, 13, 6, 0}, {10, 1, 2, 12}}) {
      Scene s(16, 16);
      RAST_Line(s.bm(), e[0], e[1], e[2], e[3], kColour, alpha, mode, true);
      modelGeneralAA(s, e[0], e[1], e[2], e[3], kColour, alpha, mode);
      EXPECT_TRUE(s.matches()) << lt::modeName(mode) << " alpha " << alpha << " line " << e[0] << "," << e[1]
                               << " " << e[2] << "," << e[3];
    }
  }
}

TEST_P(LineModes, SourceAlphaFlagChangesNothing) {
  const int mode = GetParam();
  Scene a(16, 16), b(16, 16);
  for (bool aa : {false, true}) {
    RAST_Line(a.bm(), 1, 2, 13, 9, kColour, 0.6f, mode, aa);
    RAST_Line(b.bm(), 1, 2, 13, 9, kColour, 0.6f, mode | 0x10000, aa);
    RAST_Line(a.bm(), 1, 12, 13, 12, kColour, 0.6f, mode, aa);
    RAST_Line(b.bm(), 1, 12, 13, 12, kColour, 0.6f, mode | 0x10000, aa);
  }
  ASSERT_TRUE(rt::same(*a.bm(), *b.bm()));
}

TEST_P(LineModes, LineLongerThanTheBitmapCoversOnlyTheVisibleColumns) {
  const int mode = GetParam();
  Scene s(5, 10);
  RAST_Line(s.bm(), -10, 5, 10, 5, kColour, 0.6f, mode, false);
  modelStraight(s, run(0, 5, 4, 5), kColour, 0.6f, mode);
  EXPECT_TRUE(s.matches()) << lt::modeName(mode);
}

TEST_P(LineModes, EndBelowTheBitmapIsDrawnAsTheClippedLine) {
  const int mode = GetParam();
  for (bool aa : {false, true}) {
    Scene a(10, 10), b(10, 10);
    RAST_Line(a.bm(), 2, 2, 8, 14, kColour, 0.6f, mode, aa);
    RAST_Line(b.bm(), 2, 2, 6, 9, kColour, 0.6f, mode, aa);
    ASSERT_TRUE(rt::same(*a.bm(), *b.bm())) << " aa " << aa;
  }
}

TEST_P(LineModes, SegmentMissingTheBitmapDrawsNothing) {
  const int mode = GetParam();
  Scene s(10, 10);
  for (bool aa : {false, true}) {
    RAST_Line(s.bm(), -5, 3, 3, -5, kColour, 0.6f, mode, aa);
    RAST_Line(s.bm(), 15, 6, 6, 15, kColour, 0.6f, mode, aa);
    RAST_Line(s.bm(), -3, -3, -3, 20, kColour, 0.6f, mode, aa);
  }
  EXPECT_TRUE(s.matches()) << lt::modeName(mode);
}

TEST_P(LineModes, FlippedBitmapStoresTheCallersTopRowLast) {
  const int mode = GetParam();
  Scene s(12, 8, 4, true);
  RAST_Line(s.bm(), 1, 0, 9, 0, kColour, 0.6f, mode, false);
  RAST_Line(s.bm(), 0, 1, 7, 5, kColour, 0.6f, mode, true);
  modelStraight(s, run(1, 0, 9, 0), kColour, 0.6f, mode);
  modelGeneralAA(s, 0, 1, 7, 5, kColour, 0.6f, mode);
  EXPECT_TRUE(s.matches()) << lt::modeName(mode);
  Scene t(10, 6, 3, true);
  RAST_Line(t.bm(), 1, 0, 8, 0, kColour, 1.0f, 0, false);
  EXPECT_EQ(lt::at(*t.bm(), 4, 5), kColour);  // memory row h - 1
}

INSTANTIATE_TEST_SUITE_P(AllModes, LineModes, ::testing::Range(0, 6),
                         [](const ::testing::TestParamInfo<int>& i) { return std::string(lt::modeName(i.param)); });

TEST(LineShape, EqualEndsDrawOnePixelThroughTheHorizontalPath) {
  Scene s(8, 8);
  RAST_Line(s.bm(), 3, 4, 3, 4, kColour, 0.5f, 0, true);
  // The 0.5 fast value of straight runs is d/2 + s/2, not the general line's (d + s)/2.
  s.apply(3, 4, [](uint32_t d) { return lt::fastHalf(d, kColour); });
  EXPECT_TRUE(s.matches());
}

TEST(LineShape, EndsAreInclusiveOnStraightAndSlopedLines) {
  BlankScene s(12, 8);
  RAST_Line(s.bm(), 0, 5, 9, 5, 0x01010101u, 1.0f, 1, false);
  RAST_Line(s.bm(), 0, 0, 9, 3, 0x01010101u, 1.0f, 1, false);
  // Slope 1/3: columns 0..9 sit on rows 0 0 1 1 1 | 2 2 2 3 3 (halves rounded up, mirrored).
  const int rows[10] = {0, 0, 1, 1, 1, 2, 2, 2, 3, 3};
  for (int x = 0; x < 10; x++) {
    s.model(x, 5) = 0x01010101u;
    s.model(x, rows[x]) = 0x01010101u;
  }
  EXPECT_TRUE(s.matches());
}

TEST(LineShape, HalfCopyDiffersBetweenStraightAndGeneralLinesWhenBothBytesAreOdd) {
  Scene s(8, 8);
  s.setAll(RAST_MakePixel(101, 101, 101, 101));
  const uint32_t c = RAST_MakePixel(51, 51, 51, 51);
  RAST_Line(s.bm(), 0, 0, 7, 0, c, 0.5f, 0, false);  // 101/2 + 51/2 = 75
  RAST_Line(s.bm(), 0, 2, 7, 5, c, 0.5f, 0, false);  // (101 + 51)/2 = 76
  RAST_Line(s.bm(), 0, 7, 3, 4, c, 0.5f, 0, false);  // diagonal, also 76
  EXPECT_EQ(lt::at(*s.bm(), 3, 0), RAST_MakePixel(75, 75, 75, 75));
  EXPECT_EQ(lt::at(*s.bm(), 0, 2), RAST_MakePixel(76, 76, 76, 76));
  EXPECT_EQ(lt::at(*s.bm(), 1, 6), RAST_MakePixel(76, 76, 76, 76));
}

TEST(LineShape, AntiAliasedOpaqueCopyDiagonalGives190OnTheLineAnd63Beside) {
  BlankScene s(8, 8);
  RAST_Line(s.bm(), 1, 1, 4, 4, 0xFFFFFFFFu, 1.0f, 0, true);
  for (int i = 1; i <= 4; i++) EXPECT_EQ(lt::at(*s.bm(), i, i), 0xBEBEBEBEu) << i;
  for (int i = 1; i < 4; i++) {
    EXPECT_EQ(lt::at(*s.bm(), i + 1, i), 0x3F3F3F3Fu) << i;
    EXPECT_EQ(lt::at(*s.bm(), i, i + 1), 0x3F3F3F3Fu) << i;
  }
  EXPECT_EQ(lt::at(*s.bm(), 0, 0), 0u);
  EXPECT_EQ(lt::at(*s.bm(), 5, 5), 0u);
  EXPECT_EQ(lt::at(*s.bm(), 4, 5), 0u);
}

TEST(LineShape, AntiAliasedLineWithZeroFractionGivesFullLinePixelAndUntouchedNeighbour) {
  // Slope 1/2 exactly: even distances have fraction 0.
  BlankScene s(12, 8);
  RAST_Line(s.bm(), 0, 0, 8, 4, 0xFFFFFFFFu, 1.0f, 0, true);
  EXPECT_EQ(lt::at(*s.bm(), 0, 0), 0xFFFFFFFFu);  // ends take the full weight
  EXPECT_EQ(lt::at(*s.bm(), 8, 4), 0xFFFFFFFFu);
  EXPECT_EQ(lt::at(*s.bm(), 2, 1), 0xFFFFFFFFu);  // weight 255 over 0 with colour 255 is 255
  EXPECT_EQ(lt::at(*s.bm(), 2, 2), 0u);           // neighbour at weight 0 stays
  EXPECT_EQ(lt::at(*s.bm(), 4, 2), 0xFFFFFFFFu);  // the middle pixel
  EXPECT_EQ(lt::at(*s.bm(), 4, 3), 0u);
}

TEST(LineShape, MiddlePixelOfAnEvenLengthLineIsCombinedOnce) {
  // Add of 1 at full weight counts the touches; the anti-aliased walk is pinned by the model
  // tests above, which touch the middle pair once.
  BlankScene s(12, 12);
  RAST_Line(s.bm(), 0, 0, 10, 3, 0x01010101u, 1.0f, 1, false);
  for (int y = 0; y < 12; y++)
    for (int x = 0; x < 12; x++) EXPECT_LE(lt::at(*s.bm(), x, y) & 255, 1u) << x << "," << y;
  // Slope trunc(0.3 * 65536) = 19660 puts distance 5 at (98300 + 32768) / 65536, row 1.
  EXPECT_EQ(lt::at(*s.bm(), 5, 1) & 255, 1u);
  int touched = 0;
  for (int y = 0; y < 12; y++)
    for (int x = 0; x < 12; x++) touched += lt::at(*s.bm(), x, y) != 0;
  EXPECT_EQ(touched, 11);
}

TEST(LineShape, HsvAdjustWithNeutralColourKeepsGreyAndSetsAlpha) {
  Scene s(8, 8);
  s.setAll(RAST_MakePixel(90, 90, 90, 10));
  RAST_Line(s.bm(), 0, 3, 7, 3, RAST_MakePixel(128, 128, 128, 255), 1.0f, 5, false);
  RAST_Line(s.bm(), 0, 0, 7, 6, RAST_MakePixel(128, 128, 128, 255), 1.0f, 5, true);
  EXPECT_EQ(lt::at(*s.bm(), 4, 3), RAST_MakePixel(90, 90, 90, 255));
  EXPECT_EQ(lt::at(*s.bm(), 0, 0), RAST_MakePixel(90, 90, 90, 255));
  EXPECT_EQ(lt::at(*s.bm(), 7, 0), RAST_MakePixel(90, 90, 90, 10));
}

TEST(LineWeights, TinyNegativeAndUnknownModeDrawNothing) {
  Scene s(10, 10);
  for (bool aa : {false, true}) {
    RAST_Line(s.bm(), 0, 0, 9, 4, kColour, 0.003f, 1, aa);  // weight 0
    RAST_Line(s.bm(), 0, 5, 9, 5, kColour, -0.5f, 0, aa);   // copy, negative
    RAST_Line(s.bm(), 0, 0, 9, 9, kColour, -0.5f, 0, aa);
    RAST_Line(s.bm(), 0, 1, 9, 8, kColour, 1.0f, 6, aa);    // mode 6
    RAST_Line(s.bm(), 2, 0, 2, 9, kColour, 1.0f, 0x106, aa);
  }
  EXPECT_TRUE(s.matches());
}

TEST(LineWeights, NegativeAlphaInAddModeDarkensAndClampsAtZero) {
  Scene s(10, 4);
  s.setAll(RAST_MakePixel(100, 20, 200, 50));
  RAST_Line(s.bm(), 0, 1, 9, 1, RAST_MakePixel(100, 100, 100, 100), -0.5f, 1, false);
  // s * W / 256 = 100 * -128 / 256 = -50.
  EXPECT_EQ(lt::at(*s.bm(), 4, 1), RAST_MakePixel(50, 0, 150, 0));
  EXPECT_EQ(lt::at(*s.bm(), 4, 0), RAST_MakePixel(100, 20, 200, 50));
}

TEST(LineWeights, NullBitmapAndZeroSizedBitmapAreIgnored) {
  RAST_Line(nullptr, 0, 0, 5, 5, kColour, 1.0f, 0, true);
  RAST_MemBitmap empty(0, 0);
  RAST_Line(&empty, 0, 0, 5, 5, kColour, 1.0f, 0, true);
  RAST_MemBitmap noRows(10, 0);
  RAST_Line(&noRows, 0, 0, 5, 0, kColour, 1.0f, 0, false);
  SUCCEED() << "no crash; the sanitizer build checks no pixel outside was written";
}

TEST(LineClipping, EndBelowTheBitmapMovesToTheLastRowWhereTheLineCrossesTheEdge) {
  int x1 = 2, y1 = 2, x2 = 8, y2 = 14;
  ASSERT_TRUE(ClipLine(&x1, &y1, &x2, &y2, 10, 10));
  // Crossing taken on y = 10: x = 2 + 8 * 6 / 12 = 6; the end is placed on row 9.
  EXPECT_EQ(x1, 2);
  EXPECT_EQ(y1, 2);
  EXPECT_EQ(x2, 6);
  EXPECT_EQ(y2, 9);  // the drawings of both are compared per mode above
}

TEST(LineClipping, ClipperRejectsEmptyAreasAndAcceptsInsideSegmentsUnchanged) {
  int x1 = 1, y1 = 1, x2 = 3, y2 = 3;
  EXPECT_FALSE(ClipLine(&x1, &y1, &x2, &y2, 0, 10));
  x1 = 1, y1 = 1, x2 = 3, y2 = 3;
  EXPECT_TRUE(ClipLine(&x1, &y1, &x2, &y2, 4, 4));
  EXPECT_EQ(x1 + y1 + x2 + y2, 8);
  x1 = -100, y1 = 0, x2 = 100, y2 = 0;
  EXPECT_TRUE(ClipLine(&x1, &y1, &x2, &y2, 4, 4));
  EXPECT_EQ(x1, 0);
  EXPECT_EQ(x2, 3);
}

TEST(LineClipping, ExtremeCoordinatesClipWithoutOverflow) {
  BlankScene s(20, 20);
  RAST_Line(s.bm(), INT_MIN, 10, INT_MAX, 10, 0x01010101u, 1.0f, 1, false);
  for (int x = 0; x < 20; x++) s.model(x, 10) = 0x01010101u;
  EXPECT_TRUE(s.matches());
  RAST_Line(s.bm(), INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0x01010101u, 1.0f, 1, true);
  RAST_Line(s.bm(), INT_MAX, INT_MIN, INT_MIN, INT_MAX - 7, 0x01010101u, 1.0f, 1, true);
  for (int y = 0; y < 20; y++)
    for (int x = 0; x < 20; x++) EXPECT_LE(lt::at(*s.bm(), x, y) & 255, 3u);
  int a = INT_MIN, b = INT_MIN, c = INT_MAX, d = INT_MAX;
  EXPECT_TRUE(ClipLine(&a, &b, &c, &d, 100, 100));
  EXPECT_TRUE(a >= 0 && a < 100 && b >= 0 && b < 100 && c >= 0 && c < 100 && d >= 0 && d < 100);
}

}  // namespace
