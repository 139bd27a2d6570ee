// A bitmap context over zeroed memory for the CoreGraphics stand-in's tests.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

#include <cstdint>
#include <vector>

struct CGTestBitmap {
  std::vector<uint8_t> buf;
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef c;
  int w, h;
  CGTestBitmap(int w_, int h_, uint32_t info = kCGImageAlphaNoneSkipFirst)
      : buf(size_t(w_) * h_ * 4, 0), w(w_), h(h_) {
    c = CGBitmapContextCreate(buf.data(), size_t(w), size_t(h), 8, size_t(w) * 4, space, info);
  }
  ~CGTestBitmap() {
    CGContextRelease(c);
    CGColorSpaceRelease(space);
  }
  CGTestBitmap(const CGTestBitmap&) = delete;
  CGTestBitmap& operator=(const CGTestBitmap&) = delete;
  // Bytes of the pixel in memory row `row` (0 = first row in memory).
  const uint8_t* at(int x, int row) const { return buf.data() + (size_t(row) * w + x) * 4; }
};
