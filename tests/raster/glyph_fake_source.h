// A glyph source with fixed metrics for the cached-font tests: each character is a hand-made
// coverage map, measured as (advance, height) and drawn white on black into a heap scratch
// bitmap, where the platform would put its text.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "kit/raster/rast_font.h"

namespace rt {

const HGDIOBJ kFakeFont = reinterpret_cast<HGDIOBJ>(uintptr_t(0x5000));

class FakeGlyphSource : public RAST_GlyphSource {
 public:
  struct Glyph {
    int advance;
    std::vector<std::vector<unsigned char>> rows;  // top first; columns past the advance overhang
  };
  int lineheight = 14;
  std::map<std::string, Glyph> glyphs;
  std::vector<std::string> asked, drawn;  // characters measured, and drawn
  RAST_MemBitmap scratch;

  void pattern(const std::string& ch, int advance, std::vector<std::vector<unsigned char>> rows) {
    glyphs[ch] = Glyph{advance, std::move(rows)};
  }
  // Every pixel of an advance x height box at one coverage value.
  void solid(const std::string& ch, int advance, int height, unsigned char v = 255) {
    pattern(ch, advance, std::vector<std::vector<unsigned char>>(height, std::vector<unsigned char>(advance, v)));
  }

  bool lineHeight(HGDIOBJ, int* height) override {
    *height = lineheight;
    return true;
  }
  RAST_IBitmap* begin(HGDIOBJ, int size) override {
    if (scratch.getWidth() < size || scratch.getHeight() < size) scratch.resize(size, size);
    return &scratch;
  }
  void measure(const char* utf8, int* width, int* height) override {
    asked.push_back(utf8);
    auto it = glyphs.find(utf8);
    *width = it == glyphs.end() ? 0 : it->second.advance;
    *height = it == glyphs.end() ? 0 : (int)it->second.rows.size();
  }
  void draw(const char* utf8, int width, int height) override {
    drawn.push_back(utf8);
    auto it = glyphs.find(utf8);
    for (int y = 0; it != glyphs.end() && y < height && y < (int)it->second.rows.size(); y++)
      for (int x = 0; x < width && x < (int)it->second.rows[y].size(); x++) {
        const unsigned int v = it->second.rows[y][x];
        scratch.getBits()[(size_t)y * scratch.getRowSpan() + x] = 255u | v << 8 | v << 16 | v << 24;
      }
  }
  void end() override {}
};

}  // namespace rt
