// Basic value types shared by every raster operation.
#pragma once

#include <cstdint>

// One pixel: bytes in memory alpha, red, green, blue; read as a little-endian word
// A | R << 8 | G << 16 | B << 24.
typedef unsigned int RAST_PixelValue;

// Blend mode word: low byte selects the combiner (0 copy .. 5 HSV adjust), 0x10000 uses the
// source pixel's alpha, (mode & 0xFF00) == 0x100 asks for bilinear filtering and
// (mode & 0xF0) == 0xF0 makes a blit copy one channel into another.
typedef int RAST_BlendMode;

enum {
  RAST_BLIT_MODE_COPY = 0,
  RAST_BLIT_MODE_ADD = 1,
  RAST_BLIT_MODE_COLORDODGE = 2,
  RAST_BLIT_MODE_MUL = 3,
  RAST_BLIT_MODE_OVERLAY = 4,
  RAST_BLIT_MODE_HSVADJUST = 5,
  RAST_BLIT_MODE_MASK = 0xFF,
  RAST_BLIT_CHANNEL_COPY = 0xF0,
  RAST_BLIT_USE_SOURCE_ALPHA = 0x10000,
  RAST_BLIT_FILTER_BILINEAR = 0x100,
  RAST_BLIT_FILTER_MASK = 0xFF00,
};

// Rectangles, points and device-context handles are the window layer's own (a raster
// rectangle has right and bottom exclusive).
#include "kit/wapi/wapi-types.h"

// Pixel word packing helpers.
inline RAST_PixelValue RAST_MakePixel(int r, int g, int b, int a) {
  return (RAST_PixelValue)(a & 255) | ((RAST_PixelValue)(r & 255) << 8) |
         ((RAST_PixelValue)(g & 255) << 16) | ((RAST_PixelValue)(b & 255) << 24);
}
inline int RAST_PixelA(RAST_PixelValue p) { return (int)(p & 255); }
inline int RAST_PixelR(RAST_PixelValue p) { return (int)((p >> 8) & 255); }
inline int RAST_PixelG(RAST_PixelValue p) { return (int)((p >> 16) & 255); }
inline int RAST_PixelB(RAST_PixelValue p) { return (int)(p >> 24); }
