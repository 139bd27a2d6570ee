// Image files of the AppKit stand-in: PNG, and icon files whose first usable image is a 32-bit
// bitmap (alpha, or the mask when every alpha is 0) or PNG.
#include <AppKit/AppKit.h>
#include <gtest/gtest.h>

#include "support/tempdir.h"
#include "tools/pngwriter/png_writer.h"

namespace {

using testsupport::Bytes;

void put(Bytes& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A 2 x 2 bitmap, rows bottom up: the top-left pixel red with alpha a, the rest black with
// alpha a; the mask clears the top-right pixel.
Bytes bitmap(uint8_t alpha, uint16_t bits = 32) {
  Bytes b;
  put(b, 40, 4);
  put(b, 2, 4);
  put(b, 4, 4);
  put(b, 1, 2);
  put(b, bits, 2);
  for (int i = 0; i < 6; ++i) put(b, 0, 4);
  b.insert(b.end(), {0, 0, 0, alpha, 0, 0, 0, alpha});    // bottom row
  b.insert(b.end(), {0, 0, 255, alpha, 0, 0, 0, alpha});  // top row
  b.insert(b.end(), {0, 0, 0, 0});                        // mask, bottom row
  b.insert(b.end(), {0x40, 0, 0, 0});                     // mask, top row: x = 1 clear
  return b;
}

Bytes png() {
  pngw::Image im;
  im.width = 3;
  im.height = 1;
  im.pixels = {{0, 255, 0, 128}, {0, 0, 0, 255}, {0, 0, 0, 255}};
  return pngw::encode(im);
}

Bytes icon(std::vector<Bytes> images) {
  Bytes b;
  put(b, 0, 2);
  put(b, 1, 2);
  put(b, uint32_t(images.size()), 2);
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (const Bytes& im : images) {
    b.insert(b.end(), {2, 2, 0, 0});
    put(b, 1, 2);
    put(b, 32, 2);
    put(b, uint32_t(im.size()), 4);
    put(b, offset, 4);
    offset += uint32_t(im.size());
  }
  for (const Bytes& im : images) b.insert(b.end(), im.begin(), im.end());
  return b;
}

}  // namespace

TEST(AppKitImages, FilesReadAsPngOrTheFirstUsableIconImage) {
  testsupport::TempDir dir("appkit_image");
  struct Case {
    const char* what;
    Bytes bytes;
    int width;          // 0: not an image
    double r00, a00, a10;  // red and alpha at (0,0), alpha at (1,0)
  } cases[] = {
      {"PNG", png(), 3, 0, 128 / 255.0, 1},
      {"icon, 32-bit with alpha", icon({bitmap(200)}), 2, 1, 200 / 255.0, 200 / 255.0},
      {"icon, no alpha: the mask", icon({bitmap(0)}), 2, 1, 1, 0},
      {"icon holding PNG", icon({png()}), 3, 0, 128 / 255.0, 1},
      {"icon, a 24-bit image skipped for the next", icon({bitmap(200, 24), png()}), 3, 0, 128 / 255.0, 1},
      {"icon, only a 24-bit image", icon({bitmap(200, 24)}), 0, 0, 0, 0},
      {"icon cut inside its image", [] {
         Bytes b = icon({bitmap(200)});
         b.resize(b.size() - 12);
         return b;
       }(),
       0, 0, 0, 0},
      {"not an image", Bytes{'h', 'e', 'l', 'l', 'o'}, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    NSAutoreleasePool pool;
    const std::string path = dir.file("image");
    testsupport::writeFile(path, c.bytes);
    auto* image = static_cast<NSImage*>(NSImage::class_()->alloc())->initWithContentsOfFile(
        NSString::stringWithUTF8String(path.c_str()));
    if (!c.width) {
      EXPECT_EQ(image, nullptr) << c.what;
      continue;
    }
    ASSERT_NE(image, nullptr) << c.what;
    EXPECT_EQ(image->size().width, c.width) << c.what;
    auto* rep = static_cast<NSBitmapImageRep*>(image->representations()->objectAtIndex(0));
    EXPECT_NEAR(rep->colorAtX(0, 0)->redComponent(), c.r00, 1e-9) << c.what;
    EXPECT_NEAR(rep->colorAtX(0, 0)->alphaComponent(), c.a00, 1e-9) << c.what;
    EXPECT_NEAR(rep->colorAtX(1, 0)->alphaComponent(), c.a10, 1e-9) << c.what;
    EXPECT_EQ(rep->colorAtX(c.width, 0), nullptr);
    image->release();
  }
}

TEST(AppKitImages, BitmapRepresentationsTakeOnlyTheLayoutsTheyKeep) {
  struct Case {
    NSInteger w, h, spp, bpr, bpp;
    const char* space;
    bool made;
  } cases[] = {
      {16, 16, 2, 32, 16, NSCalibratedWhiteColorSpace, true}, {4, 4, 4, 16, 32, NSDeviceRGBColorSpace, true},
      {16, 16, 2, 31, 16, NSCalibratedWhiteColorSpace, false}, {16, 16, 3, 48, 24, NSDeviceRGBColorSpace, false},
      {0, 16, 2, 32, 16, NSCalibratedWhiteColorSpace, false},  {5000, 1, 4, 20000, 32, NSDeviceRGBColorSpace, false},
      {4, 4, 4, 16, 32, NSCalibratedWhiteColorSpace, false},
  };
  for (const Case& c : cases) {
    auto* rep = static_cast<NSBitmapImageRep*>(NSBitmapImageRep::class_()->alloc())
                    ->initWithBitmapDataPlanes(nullptr, c.w, c.h, 8, c.spp, true, false, c.space, c.bpr, c.bpp);
    EXPECT_EQ(rep != nullptr, c.made) << c.w << " " << c.spp << " " << c.bpr;
    if (rep) {
      EXPECT_EQ(rep->bitmapData()[c.bpr * c.h - 1], 0) << "zeroed";
      rep->release();
    }
  }
}
