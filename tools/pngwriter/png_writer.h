// Writes PNG images with libpng's own writer, into memory or a file: sample-exact test images,
// and screenshots straight from 32-bit pixel words.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pngw {

struct Image {
  int width = 0, height = 0;
  int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  int bitDepth = 8;
  bool interlace = false;
  // Samples per pixel in PNG order (grey; grey, alpha; r, g, b; r, g, b, a; palette index),
  // at the image's bit depth.
  std::vector<std::vector<uint16_t>> pixels;  // [y * width + x] -> samples
  std::vector<png_color> palette;
  std::vector<uint8_t> paletteAlpha;  // tRNS for palette images
  bool hasTransColor = false;
  png_color_16 transColor{};  // tRNS for grey (gray) and RGB (red, green, blue) images
};

inline int channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY: return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;  // palette
  }
}

// Packs one row of samples at the image's bit depth, most significant bits first.
inline std::vector<uint8_t> packRow(const Image& im, int y) {
  const int ch = channels(im.colorType);
  std::vector<uint8_t> row(((size_t)im.width * ch * im.bitDepth + 7) / 8, 0);
  size_t bit = 0;
  for (int x = 0; x < im.width; x++)
    for (int c = 0; c < ch; c++) {
      const uint16_t v = im.pixels[(size_t)y * im.width + x][c];
      if (im.bitDepth == 16) {
        row[bit / 8] = (uint8_t)(v >> 8);
        row[bit / 8 + 1] = (uint8_t)v;
      } else if (im.bitDepth == 8) {
        row[bit / 8] = (uint8_t)v;
      } else {
        const int shift = 8 - im.bitDepth - (int)(bit % 8);
        row[bit / 8] |= (uint8_t)(v << shift);
      }
      bit += im.bitDepth;
    }
  return row;
}

inline void writeTo(const Image& im, png_structp png, png_infop info) {
  png_set_IHDR(png, info, im.width, im.height, im.bitDepth, im.colorType,
               im.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!im.palette.empty()) png_set_PLTE(png, info, im.palette.data(), (int)im.palette.size());
  if (!im.paletteAlpha.empty())
    png_set_tRNS(png, info, im.paletteAlpha.data(), (int)im.paletteAlpha.size(), nullptr);
  if (im.hasTransColor) {
    png_color_16 t = im.transColor;
    png_set_tRNS(png, info, nullptr, 0, &t);
  }
  png_write_info(png, info);
  std::vector<std::vector<uint8_t>> rows;
  for (int y = 0; y < im.height; y++) rows.push_back(packRow(im, y));
  std::vector<png_bytep> ptrs;
  for (auto& r : rows) ptrs.push_back(r.data());
  png_write_image(png, ptrs.data());
  png_write_end(png, nullptr);
}

inline void appendData(png_structp png, png_bytep data, png_size_t len) {
  auto* out = (std::vector<uint8_t>*)png_get_io_ptr(png);
  out->insert(out->end(), data, data + len);
}
inline void flushNothing(png_structp) {}

inline std::vector<uint8_t> encode(const Image& im) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, appendData, flushNothing);
  writeTo(im, png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Encodes 8-bit RGBA from pixel words whose bytes in memory are alpha, red, green, blue (the
// raster library's layout); span is the distance between rows in pixels. Empty on failure.
inline std::vector<uint8_t> encodeArgbWords(const uint32_t* words, int width, int height, int span) {
  std::vector<uint8_t> out;
  if (!words || width < 1 || height < 1 || span < width) return out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<uint8_t> row((size_t)width * 4);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, appendData, flushNothing);
  // Drawn artwork and screens are mostly flat colour: unfiltered rows compress smaller there
  // and decode in well under half the time the adaptive filters need.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; y++) {
    const uint32_t* src = words + (size_t)y * span;
    for (int x = 0; x < width; x++) {
      const uint32_t p = src[x];
      row[(size_t)x * 4 + 0] = (uint8_t)(p >> 8);
      row[(size_t)x * 4 + 1] = (uint8_t)(p >> 16);
      row[(size_t)x * 4 + 2] = (uint8_t)(p >> 24);
      row[(size_t)x * 4 + 3] = (uint8_t)p;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

inline bool writeFile(const std::vector<uint8_t>& bytes, const std::string& path) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace pngw
