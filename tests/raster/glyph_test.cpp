// Glyph rendering (box, trimming, turning, mono, shadow, outline) and stamping, on hand-made
// coverage maps.
#include <gtest/gtest.h>

#include <random>

#include "glyph_fake_source.h"
#include "kit/raster/rast_glyph.h"
#include "raster_test_util.h"
#include "reference_combine.h"

namespace {

using rt::at;
using Rows = std::vector<std::vector<unsigned char>>;

class Glyphs : public ::testing::Test {
 protected:
  void useFont(int flags, int lineheight = 14) {
    src.lineheight = lineheight;
    font.SetGlyphSource(&src);
    font.SetFromHFont(rt::kFakeFont, flags);
  }
  // The coverage map of c as rows, rendered first.
  Rows mapOf(unsigned short c) {
    font.RenderGlyph(c);
    const RAST_GlyphRecord* rec = font.findChar(c);
    const unsigned char* m = font.GetCoverage(rec);
    Rows out;
    for (int y = 0; m && y < rec->height; y++) out.emplace_back(m + y * rec->width, m + (y + 1) * rec->width);
    return out;
  }
  rt::FakeGlyphSource src;
  RAST_CachedFont font;
};

}  // namespace

TEST_F(Glyphs, MapsKeepTheAdvanceOrTheInkPastItAndArePackedOneAfterAnother) {
  useFont(0);
  src.pattern("i", 4, {{0, 9, 0, 0}, {0, 9, 0, 0}});
  src.pattern("/", 4, {{0, 0, 0, 0, 0, 77}, {0, 0, 0, 0, 0, 0}});  // italic overhang
  src.solid(" ", 4, 10, 0);
  EXPECT_EQ(mapOf('i'), (Rows{{0, 9, 0, 0}, {0, 9, 0, 0}}));
  EXPECT_EQ(mapOf('/'), (Rows{{0, 0, 0, 0, 0, 77}, {0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(font.GetCoverageSize(), 4 * 2 + 6 * 2);
  EXPECT_EQ(mapOf(' '), Rows(10, std::vector<unsigned char>(4, 0)));  // empty, but it advances
}

TEST_F(Glyphs, FlagsTurnInvertThresholdAndRingTheCoverage) {
  const Rows abc = {{1, 2, 3}, {4, 5, 6}};
  const struct {
    const char* what;
    int flags;
    Rows in, want;
  } cases[] = {
      {"invert", RAST_FONT_INVERT, {{0, 100}, {255, 7}}, {{255, 155}, {0, 248}}},
      {"mono: 130 empty, 131 ink", RAST_FONT_MONO, {{130, 131, 0, 255}}, {{0, 255, 0, 255}}},
      {"vertical: top faces right", RAST_FONT_VERTICAL, abc, {{4, 1}, {5, 2}, {6, 3}}},
      {"bottom-up: the vertical map turned a half turn", RAST_FONT_VERTICAL | RAST_FONT_BOTTOMUP, abc,
       {{3, 6}, {2, 5}, {1, 4}}},
      {"shadow right, below and below right", RAST_FONT_SHADOW, {{0, 0, 0}, {0, 200, 0}, {0, 0, 0}},
       {{0, 0, 0}, {0, 255, 128}, {0, 128, 128}}},
      {"shadow wins over outline", RAST_FONT_SHADOW | RAST_FONT_OUTLINE, {{0, 0, 0}, {0, 200, 0}, {0, 0, 0}},
       {{0, 0, 0}, {0, 255, 128}, {0, 128, 128}}},
      {"outline on four sides; 130 is no ink", RAST_FONT_OUTLINE, {{0, 0, 130}, {0, 131, 0}, {0, 0, 0}},
       {{0, 128, 0}, {128, 255, 128}, {0, 128, 0}}},
      {"effects past the box are lost, never ringed again", RAST_FONT_SHADOW, {{0, 0}, {0, 255}}, {{0, 0}, {0, 255}}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    src.pattern("v", (int)k.in[0].size(), k.in);
    useFont(k.flags);
    EXPECT_EQ(mapOf('v'), k.want);
    EXPECT_EQ(font.findChar('v')->advance, (int)k.in[0].size());
  }
  useFont(RAST_FONT_BLUR);
  src.pattern("o", 3, {{0, 0, 0}, {0, 255, 0}, {0, 0, 0}});
  const Rows blurred = mapOf('o');
  EXPECT_LT(blurred[1][1], 255);
  EXPECT_GT(blurred[1][0] + blurred[0][1] + blurred[1][2] + blurred[2][1], 0);
}

// The copy renderer's four-pixel loop against the per-pixel rule, with tails, zero coverage,
// weights below and above full strength, and a bottom-up destination.
TEST(GlyphRenderers, NormalCopyMatchesThePerPixelRuleOnEveryWidthAndWeight) {
  std::mt19937 rng(7);
  for (int a : {256, 1, 128, 255, 257, 300, 16384})
    for (int w = 1; w <= 11; w++) {
      unsigned char cov[2 * 11];
      uint32_t px[2 * 11], want[2 * 11];
      for (int i = 0; i < 2 * w; i++) {
        const int kind = (int)(rng() % 4);
        cov[i] = (unsigned char)(kind == 0 ? 0 : kind == 1 ? 255 : rng());
        px[i] = want[i] = rng();
      }
      const int r = (int)(rng() & 255), g = (int)(rng() & 255), b = (int)(rng() & 255);
      // Coverage row 0 goes to pixel row 1 and row 1 to row 0.
      GlyphRenderer<_RAST_CombinePixelsCopyNoClamp>::Normal(cov, (unsigned char*)(px + w), w, -w, w, 2, r, g, b, a);
      for (int i = 0; i < 2 * w; i++) {
        const int v = cov[i], wt = v == 0 ? 0 : a == 256 ? v + 1 : std::min(v * a / 256, 256);
        uint32_t& p = want[i < w ? i + w : i - w];
        const ref::Px d = ref::unpack(p);
        p = ref::pack({ref::copyCh(d.a, 255, wt), ref::copyCh(d.r, r, wt), ref::copyCh(d.g, g, wt),
                       ref::copyCh(d.b, b, wt)});
      }
      for (int i = 0; i < 2 * w; i++) ASSERT_EQ(px[i], want[i]) << "a " << a << " width " << w << " pixel " << i;
    }
}

TEST_F(Glyphs, EachRendererMixesItsPixelsAtItsWeight) {
  const uint32_t text = 0x115A14FAu, t255 = text | 255, effect = RAST_MakePixel(5, 200, 60, 255);
  const uint32_t bg = 0x10305070u, bk = 0x11223300u;
  auto mix = [&](uint32_t c, int w, int (*ch)(int, int, int64_t)) {
    const ref::Px D = ref::unpack(bg), C = ref::unpack(c);
    return ref::pack({ch(D.a, 255, w), ch(D.r, C.r, w), ch(D.g, C.g, w), ch(D.b, C.b, w)});
  };
  auto copy = [&](uint32_t c, int w) { return mix(c, w, ref::copyCh); };
  auto add = [&](int w) { return mix(text, w, ref::addCh); };
  const struct {
    const char* what;
    int flags;
    float alpha;
    int mode, bkmode;
    std::vector<uint32_t> want;  // the top row of the 4 x 3 bitmap and the second row's middle
  } cases[] = {
      {"normal at full strength: v + 1", 0, 1.0f, 0, 0, {copy(text, 201), copy(text, 101), bg, bg, t255}},
      {"normal above full strength: held at 256", 0, 2.0f, 0, 0, {t255, copy(text, 200), bg, bg, t255}},
      {"normal in add mode: v * a / 256", 0, 0.5f, 1, 0, {add(100), add(50), bg, bg, add(127)}},
      {"mono store: the colour word as it is", RAST_FONT_MONO, 1.0f, 0, 0, {text, bg, bg, bg, text}},
      {"mono at half: every ink pixel alike", RAST_FONT_MONO, 0.5f, 0, 0, {copy(text, 128), bg, bg, bg, copy(text, 128)}},
      {"shadow store", RAST_FONT_SHADOW, 1.0f, 0, 0, {text, effect, bg, bg, text}},
      {"shadow at half", RAST_FONT_SHADOW, 0.5f, 0, 0, {copy(text, 128), copy(effect, 128), bg, bg, copy(text, 128)}},
      {"an unknown mode: nothing, background included", 0, 1.0f, 6, 1, {bg, bg, bg, bg, bg}},
      // The background fill drops the source-alpha bit: alpha byte 0 still paints.
      {"background in the glyph box only", RAST_FONT_MONO, 1.0f, 0x10000, 1, {text, bk, bk, bg, text}},
  };
  src.pattern("g", 3, {{200, 100, 0}, {0, 255, 0}});
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    useFont(k.flags);
    font.SetTextColor(text);
    font.SetEffectColor(effect);
    font.SetCombineMode(k.mode, k.alpha);
    font.SetBkMode(k.bkmode);
    font.SetBkColor(bk);
    font.RenderGlyph('g');
    rt::Filled bm(4, 3, bg);
    RECT clip = {0, 0, 4, 3};
    EXPECT_TRUE(font.DrawGlyph(&bm, 'g', 0, 0, &clip));
    EXPECT_EQ((std::vector<uint32_t>{at(bm, 0, 0), at(bm, 1, 0), at(bm, 2, 0), at(bm, 3, 0), at(bm, 1, 1)}), k.want);
  }
}

TEST_F(Glyphs, AGlyphIsClippedToTheClipAndAnswersWhetherItMetIt) {
  src.pattern("h", 4, {{10, 20, 30, 40}, {50, 60, 70, 80}});
  useFont(0);
  font.RenderGlyph('h');
  font.SetTextColor(0xFFFFFFFFu);
  rt::Filled bm(10, 4);
  RECT clip = {5, 0, 10, 4};
  EXPECT_TRUE(font.DrawGlyph(&bm, 'h', 3, 1, &clip));
  EXPECT_EQ(at(bm, 4, 1), 0u);
  EXPECT_EQ(RAST_PixelR(at(bm, 5, 1)), ref::copyCh(0, 255, 31));  // column 2 at the clip edge
  EXPECT_EQ(RAST_PixelR(at(bm, 6, 2)), ref::copyCh(0, 255, 81));
  EXPECT_EQ(at(bm, 7, 1), 0u);
  rt::fill(bm, 0);
  EXPECT_FALSE(font.DrawGlyph(&bm, 'h', 1, 0, &clip));    // ends at column 5, exclusive
  EXPECT_FALSE(font.DrawGlyph(&bm, 0x263A, 6, 0, &clip));  // no record
  EXPECT_FALSE(font.DrawGlyph(&bm, 'q', 6, 0, &clip));    // never rendered
  font.SetCombineMode(0, 0.0f);
  EXPECT_TRUE(font.DrawGlyph(&bm, 'h', 6, 0, &clip));  // meets the clip, invisible
  EXPECT_TRUE(rt::all(bm, 0u));
}
