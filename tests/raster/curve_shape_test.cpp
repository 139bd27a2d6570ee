// Circles, arcs and rounded rectangles touch the pixels their rules give, and lines combine the
// bytes their copy shortcuts and anti-aliasing weights give: pictures and values worked by hand.
#include <gtest/gtest.h>

#include <memory>

#include "kit/raster/rast_arc.h"
#include "kit/raster/rast_circle.h"
#include "kit/raster/rast_line.h"
#include "kit/raster/rast_roundrect.h"
#include "raster_test_util.h"

namespace {

using namespace rt;
const float kHalfPi = 1.5707964f, kTwoPi = 6.2831855f;

#define DRAW(call) [](RAST_IBitmap* b) { call; }

// Touch counts of add-mode drawings of kOne at full weight.
TEST(CurveShape, OutlinesArcsAndRoundedRectanglesTouchTheRulesPixels) {
  // clang-format off
  const std::vector<std::string> circle = {
      ".............",
      ".............",
      ".............",
      ".....111.....",
      "....1...1....",
      "...1.....1...",
      "...1.....1...",
      "...1.....1...",
      "....1...1....",
      ".....111.....",
      ".............",
      ".............",
      "............."};
  // Twelve to three o'clock; the piece's box stops short of the centre's row, so (9, 6) stays.
  const std::vector<std::string> quarter = {
      ".............",
      ".............",
      ".............",
      "......11.....",
      "........1....",
      ".........1...",
      ".............",
      ".............",
      ".............",
      ".............",
      ".............",
      ".............",
      "............."};
  // Sides from their own ends (the bottom one pixel further left, the left one pixel higher) and
  // the four quarter arcs of radius 3, where they meet a side counted twice.
  const std::vector<std::string> rounded = {
      ".............",
      "...1111121...",
      "..1.......1..",
      ".2.........1.",
      ".1.........1.",
      ".1.........1.",
      ".1.........1.",
      ".1.........1.",
      ".2.........2.",
      ".1.........1.",
      "..1.......1..",
      "...2111121...",
      "............."};
  // clang-format on
  // Bottom-up, the mirrored piece's box holds the centre's row.
  std::vector<std::string> flippedQuarter = quarter;
  flippedQuarter[6] = ".........1...";
  const std::vector<std::string> neighbours = {".....", "..1..", ".1.1.", "..1..", "....."};
  const std::vector<std::string> centreFourTimes = {".....", ".....", "..4..", ".....", "....."};
  std::vector<std::string> square(13, ".1.........1.");
  square[0] = square[12] = ".............";
  // Four sides from corner to corner: each corner is the end of two of them.
  square[1] = square[11] = ".21111111112.";

  const struct {
    const char* what;
    int size;
    bool flipped;
    void (*draw)(RAST_IBitmap*);
    const std::vector<std::string>& want;
  } cases[] = {
      {"midpoint outline, R 3", 13, false, DRAW(RAST_Circle(b, 6, 6, 3.2f, kOne, 1.0f, 1, false)), circle},
      {"arc 0 to pi/2", 13, false, DRAW(RAST_Arc(b, 6, 6, 3.2f, 0, kHalfPi, kOne, 1.0f, 1, false)), quarter},
      {"arc pi/2 to 0", 13, false, DRAW(RAST_Arc(b, 6, 6, 3.2f, kHalfPi, 0, kOne, 1.0f, 1, false)), quarter},
      {"arc a whole turn on", 13, false, DRAW(RAST_Arc(b, 6, 6, 3.2f, kTwoPi, kTwoPi + kHalfPi, kOne, 1.0f, 1, false)),
       quarter},
      {"arc on a bottom-up bitmap", 13, true, DRAW(RAST_Arc(b, 6, 6, 3.2f, 0, kHalfPi, kOne, 1.0f, 1, false)),
       flippedQuarter},
      {"arc of a whole turn is the circle", 13, false,
       DRAW(RAST_Arc(b, 6, 6, 3.2f, -1.0f, kTwoPi, kOne, 1.0f, 1, false)), circle},
      {"radius 0.5 to 1.5: the axis neighbours", 5, false, DRAW(RAST_Circle(b, 2, 2, 1.2f, kOne, 1.0f, 1, false)),
       neighbours},
      {"radius below 0.5: the centre four times", 5, false, DRAW(RAST_Circle(b, 2, 2, 0.3f, kOne, 1.0f, 1, false)),
       centreFourTimes},
      {"rounded rectangle, radius 3", 13, false, DRAW(RAST_RoundRect(b, 1, 1, 10, 10, 3, kOne, 1.0f, 1, false)),
       rounded},
      {"corner radius 1 draws the square outline", 13, false,
       DRAW(RAST_RoundRect(b, 1, 1, 10, 10, 1, kOne, 1.0f, 1, true)), square},
  };
  for (const auto& k : cases) {
    std::unique_ptr<RAST_MemBitmap> bm(k.flipped ? static_cast<RAST_MemBitmap*>(new FlippedBitmap(k.size, k.size))
                                                 : new Filled(k.size, k.size));
    k.draw(bm.get());
    EXPECT_EQ(picture(*bm), k.want) << k.what;
  }
  // An arc of 7 to 8 radians is the arc of 7 - 2 pi to 8 - 2 pi.
  Filled far(13, 13), near(13, 13);
  RAST_Arc(&far, 6, 6, 4.6f, 7.0f, 8.0f, kOne, 1.0f, 1, false);
  RAST_Arc(&near, 6, 6, 4.6f, 7.0f - kTwoPi, 8.0f - kTwoPi, kOne, 1.0f, 1, false);
  EXPECT_GT(countSet(far), 3);
  EXPECT_TRUE(same(far, near));
}

// One channel of a pixel after a drawing onto a grey bitmap.
TEST(CurveShape, AntiAliasedTinyOutlineSplitsTheWeightBetweenEdgeAndCentre) {
  Filled bm(5, 5);
  RAST_Circle(&bm, 2, 2, 0.6f, grey(64), 1.0f, 1, true);
  // Edge weight trunc(0.6 * 256) = 153 on the four outer axis points; the centre gets the other
  // 103 four times: 64 * 153 / 256 = 38 and 4 * (64 * 103 / 256) = 100.
  EXPECT_EQ((std::vector<uint32_t>{at(bm, 2, 1), at(bm, 1, 2), at(bm, 3, 2), at(bm, 2, 3), at(bm, 2, 2)}),
            (std::vector<uint32_t>{grey(38), grey(38), grey(38), grey(38), grey(100)}));
}

// Radius 2.6 about (6, 6), added at full weight in 255: a pixel of weight w gains 255 * w / 256.
// On the axes the ring beyond radius 2 takes (2.6 - 2) * 256 = 153 and the pixel inside it 103;
// one row off the axis sqrt(2.6^2 - 1) = 2.4 gives 102 outside and 154 inside; two rows off,
// sqrt(2.6^2 - 4) = 1.66 gives 169 outside, and the inner pixel is drawn twice (154 and 87).
TEST(CurveShape, AntiAliasedOutlineGivesEachRingPixelItsFractionalWeight) {
  // clang-format off
  const std::vector<std::vector<int>> want = {
      {  0,   0,   0,   0,   0,   0,   0,   0,   0},
      {  0,   0,   0, 101, 152, 101,   0,   0,   0},
      {  0,   0, 168, 239, 102, 239, 168,   0,   0},
      {  0, 101, 153,   0,   0,   0, 153, 101,   0},
      {  0, 152, 102,   0,   0,   0, 102, 152,   0},
      {  0, 101, 239,   0,   0,   0, 239, 101,   0},
      {  0,   0, 168, 153, 102, 153, 168,   0,   0},
      {  0,   0,   0, 101, 152, 101,   0,   0,   0},
      {  0,   0,   0,   0,   0,   0,   0,   0,   0}};
  // clang-format on
  Filled bm(13, 13);
  RAST_Circle(&bm, 6, 6, 2.6f, grey(255), 1.0f, 1, true);
  for (int y = 0; y < 9; y++)
    for (int x = 0; x < 9; x++) EXPECT_EQ(at(bm, x + 2, y + 2), grey(want[y][x])) << x + 2 << "," << y + 2;
  EXPECT_EQ(countSet(bm), 28) << "nothing outside the ring";
}

TEST(LineWeights, CopyShortcutsAndAntiAliasedWeightsGiveTheRulesBytes) {
  const int d = 3, s = 251;  // both odd: the shortcut halves and the half mix differ by one
  const struct {
    const char* what;
    float alpha;
    bool aa;
    int x1, y1, x2, y2, px, py, want;
  } shortcuts[] = {
      {"horizontal 1.0", 1.0f, false, 0, 2, 6, 2, 3, 2, s},
      {"horizontal 0.5: d/2 + s/2", 0.5f, false, 0, 2, 6, 2, 3, 2, d / 2 + s / 2},
      {"vertical 0.25: d/4 + s/4 + d/2", 0.25f, false, 2, 0, 2, 6, 2, 3, d / 4 + s / 4 + d / 2},
      {"vertical 0.75: d/4 + s/4 + s/2", 0.75f, false, 2, 0, 2, 6, 2, 3, d / 4 + s / 4 + s / 2},
      {"general 0.5: half mix (d + s)/2", 0.5f, false, 0, 0, 6, 2, 0, 0, (d + s) / 2},
      {"anti-aliased diagonal 1.0, line: d/4 + s/2 + s/4", 1.0f, true, 0, 0, 5, 5, 2, 2, d / 4 + s / 2 + s / 4},
      {"anti-aliased diagonal 1.0, beside along x: d/2 + d/4 + s/4", 1.0f, true, 0, 0, 5, 5, 2, 1,
       d / 2 + d / 4 + s / 4},
      {"anti-aliased diagonal 1.0, beside along y", 1.0f, true, 0, 0, 5, 5, 1, 2, d / 2 + d / 4 + s / 4},
  };
  for (const auto& k : shortcuts) {
    Filled bm(10, 10, grey(d));
    RAST_Line(&bm, k.x1, k.y1, k.x2, k.y2, grey(s), k.alpha, 0, k.aa);
    EXPECT_EQ(at(bm, k.px, k.py), grey(k.want)) << k.what;
  }
  // Copy of 255 over 0 leaves each byte at its pixel's weight (up to 255). Slope 2/8, a quarter a
  // step: the ends take the full weight, the first inner pixel 255 - 64 and its neighbour 64; at
  // the middle the fraction is whole again: 255 on the middle pixel, 0 on its neighbour.
  const struct {
    int x, y, weight;
  } general[] = {{0, 0, 255}, {1, 0, 191}, {1, 1, 64}, {4, 1, 255}, {4, 2, 0}, {7, 2, 191}, {7, 1, 64}, {8, 2, 255}};
  Filled bm(10, 10);
  RAST_Line(&bm, 0, 0, 8, 2, grey(255), 1.0f, 0, true);
  for (const auto& k : general) EXPECT_EQ(at(bm, k.x, k.y), grey(k.weight)) << k.x << "," << k.y;

  // Float lines cover whole columns from ceil of the start to floor of the end and share 255
  // between two rows by the fraction: at y 0.5 it is 127 and 128. Sloped by a quarter from
  // y 0.375 at column 1 the fraction steps 96, 160, 224, then 32 a row further down; from y 0 it
  // reaches a whole row exactly at column 4, which then lies wholly in the next row.
  const struct {
    float x1, y1, x2, y2;
    int x, y, weight;
  } floats[] = {{0.5f, 0.5f, 10.5f, 0.5f, 1, 0, 127},  {0.5f, 0.5f, 10.5f, 0.5f, 1, 1, 128},
                {0.5f, 0.5f, 10.5f, 0.5f, 0, 0, 0},    {0.5f, 0.5f, 10.5f, 0.5f, 11, 1, 0},
                {0.5f, 0.25f, 8.5f, 2.25f, 1, 0, 159}, {0.5f, 0.25f, 8.5f, 2.25f, 1, 1, 96},
                {0.5f, 0.25f, 8.5f, 2.25f, 2, 1, 160}, {0.5f, 0.25f, 8.5f, 2.25f, 3, 0, 31},
                {0.5f, 0.25f, 8.5f, 2.25f, 4, 1, 223}, {0.5f, 0.25f, 8.5f, 2.25f, 4, 2, 32},
                {0.0f, 0.0f, 8.0f, 2.0f, 3, 1, 192},   {0.0f, 0.0f, 8.0f, 2.0f, 4, 0, 0},
                {0.0f, 0.0f, 8.0f, 2.0f, 4, 1, 255},   {0.0f, 0.0f, 8.0f, 2.0f, 4, 2, 0}};
  for (const auto& k : floats) {
    Filled f(13, 13);
    RAST_FLine(&f, k.x1, k.y1, k.x2, k.y2, grey(255), 1.0f, 0, true);
    EXPECT_EQ(at(f, k.x, k.y), grey(k.weight)) << k.x1 << "," << k.y1 << " at " << k.x << "," << k.y;
  }
}

}  // namespace
