// PNG loading: every colour type, bit depth, palette with and without transparency, and
// interlacing decode to the expected alpha, red, green, blue bytes; cut-short, corrupt and
// oversized input answers null; the loader record and the file-name check.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <memory>
#include <random>
#include <string>

#include "kit/raster/rast_png.h"
#include "tools/pngwriter/png_writer.h"
#include "raster_test_util.h"
#include "support/tempdir.h"

namespace {

using rt::px;

struct Case {
  int colorType, depth;
  bool trns, interlace;
};

// A random 13 x 7 image of the case's kind, and the pixel words it should decode to by the PNG
// rules (low depths scaled to 0..255, 16 bits keep their high byte, tRNS makes alpha 0).
pngw::Image makeImage(const Case& c, std::vector<uint32_t>& want, uint32_t seed) {
  std::mt19937 rng(seed);
  pngw::Image im;
  im.width = 13, im.height = 7, im.colorType = c.colorType, im.bitDepth = c.depth, im.interlace = c.interlace;
  const int maxv = (1 << c.depth) - 1, ch = pngw::channels(c.colorType);
  auto to8 = [&](int v) { return c.depth == 16 ? v >> 8 : v * 255 / maxv; };
  const bool palette = c.colorType == PNG_COLOR_TYPE_PALETTE;
  if (palette)
    for (int i = 0; i < (1 << c.depth); i++) {
      im.palette.push_back(png_color{(png_byte)rng(), (png_byte)rng(), (png_byte)rng()});
      if (c.trns && i < std::max(1, (1 << c.depth) - 1)) im.paletteAlpha.push_back((uint8_t)(i * 37 + 5));
    }
  std::vector<uint16_t> key;
  if (c.trns && !palette) {
    im.hasTransColor = true;
    im.transColor.gray = im.transColor.red = (png_uint_16)(maxv / 2);
    im.transColor.green = (png_uint_16)(maxv / 3), im.transColor.blue = (png_uint_16)(maxv / 5);
    key = ch == 1 ? std::vector<uint16_t>{im.transColor.gray}
                  : std::vector<uint16_t>{im.transColor.red, im.transColor.green, im.transColor.blue};
  }
  for (int i = 0; i < im.width * im.height; i++) {
    std::vector<uint16_t> s(ch);
    for (auto& v : s) v = (uint16_t)(rng() % (maxv + 1));
    if (!key.empty() && i % 4 == 0) s = key;  // every few pixels carry the transparent colour
    if (palette) s[0] = (uint16_t)(rng() % im.palette.size());
    im.pixels.push_back(s);
    const int a = s == key ? 0 : 255;
    switch (c.colorType) {
      case PNG_COLOR_TYPE_GRAY: want.push_back(px(to8(s[0]), to8(s[0]), to8(s[0]), a)); break;
      case PNG_COLOR_TYPE_GRAY_ALPHA: want.push_back(px(to8(s[0]), to8(s[0]), to8(s[0]), to8(s[1]))); break;
      case PNG_COLOR_TYPE_RGB: want.push_back(px(to8(s[0]), to8(s[1]), to8(s[2]), a)); break;
      case PNG_COLOR_TYPE_RGB_ALPHA: want.push_back(px(to8(s[0]), to8(s[1]), to8(s[2]), to8(s[3]))); break;
      default: {
        const png_color& p = im.palette[s[0]];
        want.push_back(px(p.red, p.green, p.blue, s[0] < im.paletteAlpha.size() ? im.paletteAlpha[s[0]] : 255));
      }
    }
  }
  return im;
}

std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (bool il : {false, true}) {
    for (int d : {1, 2, 4, 8, 16})
      for (bool t : {false, true}) cases.push_back({PNG_COLOR_TYPE_GRAY, d, t, il});
    for (int d : {8, 16})
      for (Case c : {Case{PNG_COLOR_TYPE_GRAY_ALPHA, d, false, il}, Case{PNG_COLOR_TYPE_RGB, d, false, il},
                     Case{PNG_COLOR_TYPE_RGB, d, true, il}, Case{PNG_COLOR_TYPE_RGB_ALPHA, d, false, il}})
        cases.push_back(c);
    for (int d : {1, 2, 4, 8})
      for (bool t : {false, true}) cases.push_back({PNG_COLOR_TYPE_PALETTE, d, t, il});
  }
  return cases;
}

std::vector<uint8_t> encoded(const Case& c, uint32_t seed, std::vector<uint32_t>* want = nullptr) {
  std::vector<uint32_t> w;
  auto bytes = pngw::encode(makeImage(c, want ? *want : w, seed));
  EXPECT_FALSE(bytes.empty());
  return bytes;
}

::testing::AssertionResult decodes(RAST_IBitmap* bm, const std::vector<uint32_t>& want) {
  if (!bm || bm->getWidth() != 13 || bm->getHeight() != 7) return ::testing::AssertionFailure() << "no 13 x 7 bitmap";
  for (int i = 0; i < 13 * 7; i++)
    if (rt::at(*bm, i % 13, i / 13) != want[i])
      return ::testing::AssertionFailure() << "pixel " << i % 13 << "," << i / 13 << " is " << std::hex
                                           << rt::at(*bm, i % 13, i / 13) << ", not " << want[i];
  return ::testing::AssertionSuccess();
}

TEST(Png, EveryColourTypeAndDepthDecodesFromMemoryAndFiles) {
  testsupport::TempDir dir("qor_png");
  uint32_t seed = 1;
  for (const Case& c : allCases()) {
    std::vector<uint32_t> want;
    const auto bytes = encoded(c, seed++, &want);
    const std::string what = "type " + std::to_string(c.colorType) + " depth " + std::to_string(c.depth) +
                             (c.trns ? " tRNS" : "") + (c.interlace ? " interlaced" : "");
    std::unique_ptr<RAST_IBitmap> bm(RAST_LoadPNGFromMemory(bytes.data(), (int)bytes.size()));
    EXPECT_TRUE(decodes(bm.get(), want)) << what;
  }
  std::vector<uint32_t> want;
  const auto bytes = encoded({PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false}, 6, &want);
  testsupport::writeFile(dir.file("img.png"), bytes);
  EXPECT_TRUE(decodes(std::unique_ptr<RAST_IBitmap>(RAST_LoadPNG(dir.file("img.png").c_str())).get(), want));
}

uint32_t be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }
void putBe32(uint8_t* p, uint32_t v) {
  for (int k = 0; k < 4; k++) p[k] = (uint8_t)(v >> (24 - 8 * k));
}
// Rewrites the header's size and its CRC, so that only the size is wrong.
std::vector<uint8_t> withSize(std::vector<uint8_t> bytes, uint32_t w, uint32_t h) {
  uint8_t* ihdr = bytes.data() + 8;
  putBe32(ihdr + 8, w);
  putBe32(ihdr + 12, h);
  putBe32(ihdr + 21, (uint32_t)crc32(0, ihdr + 4, 17));
  return bytes;
}

TEST(Png, CutShortCorruptOrOversizedInputAnswersNull) {
  const auto good = encoded({PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true}, 8);
  ASSERT_EQ(be32(good.data() + 12), 0x49484452u);  // "IHDR"
  for (size_t n = 0; n < good.size(); n++)
    ASSERT_EQ(RAST_LoadPNGFromMemory(good.data(), (int)n), nullptr) << "cut at " << n << " of " << good.size();
  auto damaged = good;
  size_t pos = 8;
  while (be32(damaged.data() + pos + 4) != 0x49444154u) pos += 12 + be32(damaged.data() + pos);  // "IDAT"
  damaged[pos + 10] ^= 0x40;  // image data changed, its CRC not
  const unsigned char notpng[8] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  const std::vector<std::vector<uint8_t>> refused = {damaged, withSize(good, 20000, 1),
                                                     withSize(good, 9000, 9000) /* above the pixel limit */,
                                                     std::vector<uint8_t>(notpng, notpng + 8)};
  for (const auto& bad : refused) EXPECT_EQ(RAST_LoadPNGFromMemory(bad.data(), (int)bad.size()), nullptr) << bad.size();
  EXPECT_NE(std::unique_ptr<RAST_IBitmap>(RAST_LoadPNGFromMemory(withSize(good, 13, 7).data(), (int)good.size())), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromMemory(nullptr, 100), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromMemory(good.data(), -5), nullptr);
  testsupport::TempDir dir("qor_png");
  testsupport::writeFile(dir.file("cut.png"), std::vector<uint8_t>(good.begin(), good.end() - 20));
  const std::string cut = dir.file("cut.png");
  for (const char* path : {cut.c_str(), "/nonexistent/qor/none.png", (const char*)nullptr})
    EXPECT_EQ(RAST_LoadPNG(path), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromResource(nullptr, 101), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromNamedResource(std::string(401, 'a').c_str()), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromNamedResource("img/qor-no-such-image.png"), nullptr);
}

TEST(Png, TheLoaderRecordChecksTheExtensionBeforeOpeningAndIsListed) {
  testsupport::TempDir dir("qor_png");
  const auto bytes = encoded({PNG_COLOR_TYPE_RGB, 8, false, false}, 3);
  testsupport::writeFile(dir.file("a.PNG"), bytes);
  testsupport::writeFile(dir.file("a.png.txt"), bytes);
  testsupport::writeFile(dir.file("png"), bytes);
  ASSERT_EQ(::mkdir(dir.file("dir.x").c_str(), 0700), 0);
  testsupport::writeFile(dir.file("dir.x/b.png"), bytes);
  const struct {
    const char* name;
    bool checked;
  } accepted[] = {{"a.PNG", true}, {"dir.x/b.png", true}, {"a.png.txt", false}, {"png", false}};
  for (const auto& k : accepted) {
    const std::string path = dir.file(k.name);
    std::unique_ptr<RAST_IBitmap> unchecked(RAST_PNGLoader::loadfunc(path.c_str(), false, nullptr));
    std::unique_ptr<RAST_IBitmap> checked(RAST_PNGLoader::loadfunc(path.c_str(), true, nullptr));
    EXPECT_NE(unchecked, nullptr) << k.name;
    EXPECT_EQ(checked != nullptr, k.checked) << k.name;
  }
  bool listed = false;
  for (RAST_ImageLoaderRec* r = RAST_ImageLoader_list; r; r = r->_next)
    listed |= r->loadfunc == RAST_PNGLoader::loadfunc && r->get_extlist == RAST_PNGLoader::get_extlist;
  EXPECT_TRUE(listed);
  EXPECT_EQ(std::string(RAST_PNGLoader::get_extlist(), 25), std::string("PNG files (*.PNG)\0*.PNG\0", 25));
}

}  // namespace
