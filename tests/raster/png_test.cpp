// PNG loading: every colour type, bit depth, palette with and without transparency, and
// interlacing decode to the expected alpha, red, green, blue bytes; cut-short, corrupt and
// oversized input answers null; the loader record and the file-name check.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "kit/raster/rast_png.h"
#include "png_writer.h"
#include "raster_test_util.h"

namespace {

using rt::px;

struct Case {
  int colorType;
  int depth;
  bool trns;
  bool interlace;
};

std::string describe(const Case& c) {
  return "type " + std::to_string(c.colorType) + " depth " + std::to_string(c.depth) + (c.trns ? " tRNS" : "") +
         (c.interlace ? " interlaced" : "");
}

// A random image of the case's kind, and the pixel words it should decode to, worked out from
// the samples by the PNG rules (low depths scaled to 0..255, 16 bits keep their high byte).
pngw::Image makeImage(const Case& c, std::vector<uint32_t>& want, uint32_t seed) {
  std::mt19937 rng(seed);
  pngw::Image im;
  im.width = 13;
  im.height = 7;
  im.colorType = c.colorType;
  im.bitDepth = c.depth;
  im.interlace = c.interlace;
  const int maxv = (1 << c.depth) - 1;
  auto to8 = [&](int v) { return c.depth == 16 ? v >> 8 : c.depth == 8 ? v : v * 255 / maxv; };
  const int ch = pngw::channels(c.colorType);

  if (c.colorType == PNG_COLOR_TYPE_PALETTE) {
    const int n = 1 << c.depth;
    for (int i = 0; i < n; i++)
      im.palette.push_back(png_color{(png_byte)(rng() & 255), (png_byte)(rng() & 255), (png_byte)(rng() & 255)});
    if (c.trns)
      for (int i = 0; i < (n > 1 ? n - 1 : 1); i++) im.paletteAlpha.push_back((uint8_t)(i * 37 + 5));
  }
  std::vector<uint16_t> transSamples;
  if (c.trns && c.colorType == PNG_COLOR_TYPE_GRAY) {
    im.hasTransColor = true;
    im.transColor.gray = (png_uint_16)(maxv / 3);
    transSamples = {im.transColor.gray};
  }
  if (c.trns && c.colorType == PNG_COLOR_TYPE_RGB) {
    im.hasTransColor = true;
    im.transColor.red = (png_uint_16)(maxv / 2);
    im.transColor.green = (png_uint_16)(maxv / 3);
    im.transColor.blue = (png_uint_16)(maxv / 5);
    transSamples = {im.transColor.red, im.transColor.green, im.transColor.blue};
  }

  for (int i = 0; i < im.width * im.height; i++) {
    std::vector<uint16_t> s(ch);
    for (int k = 0; k < ch; k++) s[k] = (uint16_t)(rng() % (maxv + 1));
    // Every few pixels carry the transparent colour exactly.
    if (!transSamples.empty() && i % 4 == 0) s = transSamples;
    if (c.colorType == PNG_COLOR_TYPE_PALETTE) s[0] = (uint16_t)(rng() % im.palette.size());
    im.pixels.push_back(s);

    uint32_t w;
    switch (c.colorType) {
      case PNG_COLOR_TYPE_GRAY: {
        const int g = to8(s[0]);
        w = px(g, g, g, (!transSamples.empty() && s == transSamples) ? 0 : 255);
        break;
      }
      case PNG_COLOR_TYPE_GRAY_ALPHA: {
        const int g = to8(s[0]);
        w = px(g, g, g, to8(s[1]));
        break;
      }
      case PNG_COLOR_TYPE_RGB:
        w = px(to8(s[0]), to8(s[1]), to8(s[2]), (!transSamples.empty() && s == transSamples) ? 0 : 255);
        break;
      case PNG_COLOR_TYPE_RGB_ALPHA:
        w = px(to8(s[0]), to8(s[1]), to8(s[2]), to8(s[3]));
        break;
      default: {
        const png_color& p = im.palette[s[0]];
        const int a = s[0] < im.paletteAlpha.size() ? im.paletteAlpha[s[0]] : 255;
        w = px(p.red, p.green, p.blue, a);
        break;
      }
    }
    want.push_back(w);
  }
  return im;
}

std::vector<Case> allCases() {
  std::vector<Case> cases;
  for (bool il : {false, true}) {
    for (int d : {1, 2, 4, 8, 16})
      for (bool t : {false, true}) cases.push_back({PNG_COLOR_TYPE_GRAY, d, t, il});
    for (int d : {8, 16}) {
      cases.push_back({PNG_COLOR_TYPE_GRAY_ALPHA, d, false, il});
      cases.push_back({PNG_COLOR_TYPE_RGB, d, false, il});
      cases.push_back({PNG_COLOR_TYPE_RGB, d, true, il});
      cases.push_back({PNG_COLOR_TYPE_RGB_ALPHA, d, false, il});
    }
    for (int d : {1, 2, 4, 8})
      for (bool t : {false, true}) cases.push_back({PNG_COLOR_TYPE_PALETTE, d, t, il});
  }
  return cases;
}

void expectPixels(RAST_IBitmap* bm, const std::vector<uint32_t>& want, const std::string& what) {
  ASSERT_NE(bm, nullptr) << what;
  ASSERT_EQ(bm->getWidth(), 13) << what;
  ASSERT_EQ(bm->getHeight(), 7) << what;
  for (int y = 0; y < 7; y++)
    for (int x = 0; x < 13; x++)
      ASSERT_EQ(rt::at(*bm, x, y), want[(size_t)y * 13 + x]) << what << " at " << x << "," << y;
}

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/qor_png_test_XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string path;
};

TEST(PngDecode, every_colour_type_and_depth_decodes_to_alpha_red_green_blue_from_memory_and_file) {
  TempDir dir;
  const std::string path = dir.path + "/img.png";
  uint32_t seed = 1;
  for (const Case& c : allCases()) {
    std::vector<uint32_t> want;
    const auto bytes = pngw::encode(makeImage(c, want, seed++));
    ASSERT_FALSE(bytes.empty()) << describe(c);
    std::unique_ptr<RAST_IBitmap> bm(RAST_LoadPNGFromMemory(bytes.data(), (int)bytes.size()));
    expectPixels(bm.get(), want, describe(c));
    ASSERT_TRUE(pngw::writeFile(bytes, path));
    bm.reset(RAST_LoadPNG(path.c_str()));
    expectPixels(bm.get(), want, describe(c) + " from a file");
  }
}

TEST(PngDecode, a_given_bitmap_is_resized_and_answered) {
  std::vector<uint32_t> want;
  const auto bytes = pngw::encode(makeImage({PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false}, want, 6));
  RAST_MemBitmap bm(100, 3);
  RAST_IBitmap* got = RAST_LoadPNGFromMemory(bytes.data(), (int)bytes.size(), &bm);
  EXPECT_EQ(got, &bm);
  expectPixels(&bm, want, "into a given bitmap");
  RAST_SysBitmap sys(2, 2);
  EXPECT_EQ(RAST_LoadPNGFromMemory(bytes.data(), (int)bytes.size(), &sys), &sys);
  expectPixels(&sys, want, "into a system bitmap");
}

TEST(PngRefuse, short_or_unsigned_memory_answers_null) {
  std::vector<uint32_t> want;
  const auto bytes = pngw::encode(makeImage({PNG_COLOR_TYPE_RGB, 8, false, false}, want, 7));
  EXPECT_EQ(RAST_LoadPNGFromMemory(bytes.data(), 7), nullptr);
  const unsigned char notpng[8] = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
  EXPECT_EQ(RAST_LoadPNGFromMemory(notpng, 8), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromMemory(nullptr, 100), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromMemory(bytes.data(), -5), nullptr);
}

TEST(PngRefuse, an_image_cut_short_anywhere_answers_null) {
  std::vector<uint32_t> want;
  const auto bytes = pngw::encode(makeImage({PNG_COLOR_TYPE_RGB_ALPHA, 8, false, true}, want, 8));
  for (size_t n = 8; n < bytes.size(); n++)
    ASSERT_EQ(RAST_LoadPNGFromMemory(bytes.data(), (int)n), nullptr) << "cut at " << n << " of " << bytes.size();
  TempDir dir;
  const std::string path = dir.path + "/cut.png";
  ASSERT_TRUE(pngw::writeFile(std::vector<uint8_t>(bytes.begin(), bytes.end() - 20), path));
  EXPECT_EQ(RAST_LoadPNG(path.c_str()), nullptr);
}

TEST(PngRefuse, a_failure_while_decoding_into_a_given_bitmap_keeps_the_bitmap) {
  std::vector<uint32_t> want;
  const auto bytes = pngw::encode(makeImage({PNG_COLOR_TYPE_RGB_ALPHA, 8, false, false}, want, 9));
  RAST_MemBitmap bm(4, 4);
  EXPECT_EQ(RAST_LoadPNGFromMemory(bytes.data(), (int)bytes.size() - 30, &bm), nullptr);
  EXPECT_EQ(bm.getWidth(), 13);  // resized before the rows failed; not deleted
}

uint32_t be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }
void putBe32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)(v >> 24);
  p[1] = (uint8_t)(v >> 16);
  p[2] = (uint8_t)(v >> 8);
  p[3] = (uint8_t)v;
}

// Rewrites the header's size (and its CRC, so only the size is wrong).
std::vector<uint8_t> withSize(std::vector<uint8_t> bytes, uint32_t w, uint32_t h) {
  uint8_t* ihdr = bytes.data() + 8;  // length, "IHDR", 13 data bytes, CRC
  putBe32(ihdr + 8, w);
  putBe32(ihdr + 12, h);
  putBe32(ihdr + 21, (uint32_t)crc32(0, ihdr + 4, 17));
  return bytes;
}

TEST(PngRefuse, images_beyond_the_size_limits_are_refused_before_decoding) {
  std::vector<uint32_t> want;
  const auto bytes = pngw::encode(makeImage({PNG_COLOR_TYPE_GRAY, 1, false, false}, want, 10));
  ASSERT_EQ(be32(bytes.data() + 12), 0x49484452u);  // "IHDR"
  auto wide = withSize(bytes, 20000, 1);
  EXPECT_EQ(RAST_LoadPNGFromMemory(wide.data(), (int)wide.size()), nullptr);
  auto huge = withSize(bytes, 9000, 9000);  // within the side limit, above the pixel limit
  EXPECT_EQ(RAST_LoadPNGFromMemory(huge.data(), (int)huge.size()), nullptr);
  auto same = withSize(bytes, 13, 7);  // the rewrite itself keeps a good image good
  std::unique_ptr<RAST_IBitmap> bm(RAST_LoadPNGFromMemory(same.data(), (int)same.size()));
  EXPECT_NE(bm, nullptr);
}

TEST(PngRefuse, a_damaged_chunk_crc_answers_null) {
  std::vector<uint32_t> want;
  auto bytes = pngw::encode(makeImage({PNG_COLOR_TYPE_RGB, 8, false, false}, want, 11));
  size_t pos = 8;
  while (pos + 8 <= bytes.size() && be32(bytes.data() + pos + 4) != 0x49444154u) pos += 12 + be32(bytes.data() + pos);
  ASSERT_LT(pos + 8, bytes.size());
  bytes[pos + 8 + 2] ^= 0x40;  // a byte of the image data, CRC left as it was
  EXPECT_EQ(RAST_LoadPNGFromMemory(bytes.data(), (int)bytes.size()), nullptr);
}

TEST(PngRefuse, randomly_damaged_copies_never_crash_and_answer_null_or_the_header_size) {
  std::mt19937 rng(12);
  uint32_t seed = 200;
  for (const Case& c : allCases()) {
    std::vector<uint32_t> want;
    const auto good = pngw::encode(makeImage(c, want, seed++));
    for (int k = 0; k < 40; k++) {
      auto bad = good;
      const int flips = 1 + (int)(rng() % 4);
      for (int f = 0; f < flips; f++) bad[8 + rng() % (bad.size() - 8)] ^= (uint8_t)(1 + rng() % 255);
      std::unique_ptr<RAST_IBitmap> bm(RAST_LoadPNGFromMemory(bad.data(), (int)bad.size()));
      if (bm) {
        EXPECT_GT(bm->getWidth(), 0);
        EXPECT_GT(bm->getHeight(), 0);
      }
    }
  }
}

TEST(PngFiles, missing_files_and_resources_answer_null) {
  EXPECT_EQ(RAST_LoadPNG("/nonexistent/qor/none.png"), nullptr);
  EXPECT_EQ(RAST_LoadPNG(nullptr), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromResource(nullptr, 101), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromNamedResource(std::string(401, 'a').c_str()), nullptr);
  EXPECT_EQ(RAST_LoadPNGFromNamedResource("img/qor-no-such-image.png"), nullptr);
}

TEST(PngLoader, checks_the_extension_case_blind_only_when_asked) {
  TempDir dir;
  std::vector<uint32_t> want;
  const auto bytes = pngw::encode(makeImage({PNG_COLOR_TYPE_RGB, 8, false, false}, want, 13));
  ASSERT_EQ(mkdir((dir.path + "/dir.x").c_str(), 0755), 0);
  for (const char* name : {"a.PNG", "dir.x/b.png", "a.png.txt", "png"})
    ASSERT_TRUE(pngw::writeFile(bytes, dir.path + "/" + name));
  auto load = [&](const char* name, bool check) {
    std::unique_ptr<RAST_IBitmap> bm(RAST_PNGLoader::loadfunc((dir.path + "/" + name).c_str(), check, nullptr));
    return bm != nullptr;
  };
  EXPECT_TRUE(load("a.PNG", true));
  EXPECT_TRUE(load("dir.x/b.png", true));
  EXPECT_FALSE(load("a.png.txt", true));
  EXPECT_FALSE(load("png", true));
  EXPECT_TRUE(load("a.png.txt", false));
  EXPECT_TRUE(load("png", false));
}

TEST(PngLoader, is_registered_at_start_up_with_its_dialog_filter) {
  bool found = false;
  for (RAST_ImageLoaderRec* r = RAST_ImageLoader_list; r; r = r->_next)
    if (r->loadfunc == RAST_PNGLoader::loadfunc && r->get_extlist == RAST_PNGLoader::get_extlist) found = true;
  EXPECT_TRUE(found);
  const char* ext = RAST_PNGLoader::get_extlist();
  EXPECT_STREQ(ext, "PNG files (*.PNG)");
  EXPECT_STREQ(ext + 18, "*.PNG");
  EXPECT_EQ(ext[24], '\0');
}

}  // namespace
