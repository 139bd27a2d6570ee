// A glyph source with fixed metrics for the cached-font tests: each character is a hand-made
// coverage map, measured as (advance, height) and drawn white-on-black into a heap scratch
// bitmap, exactly where the platform would put its text.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "kit/raster/rast_font.h"

namespace rt {

struct FakeGlyph {
  int advance = 0;
  int height = 0;
  // Coverage rows, top first; columns beyond the advance are ink past the pen (italics).
  std::vector<std::vector<unsigned char>> rows;
};

class FakeGlyphSource : public RAST_GlyphSource {
 public:
  int lineheight = 14;
  std::map<std::string, FakeGlyph> glyphs;
  std::vector<std::string> asked;  // every character the font measured
  std::vector<std::string> drawn;  // every character the font asked to have drawn
  std::vector<int> drawWidths;     // and the box width it gave
  RAST_MemBitmap scratch;

  // A glyph with every pixel of an advance x height box at one coverage value.
  void solid(const std::string& ch, int advance, int height, unsigned char v = 255) {
    FakeGlyph g;
    g.advance = advance;
    g.height = height;
    g.rows.assign(height, std::vector<unsigned char>(advance, v));
    glyphs[ch] = g;
  }
  // A glyph of the given rows; the advance is given separately from the row width.
  void pattern(const std::string& ch, int advance, std::vector<std::vector<unsigned char>> rows) {
    FakeGlyph g;
    g.advance = advance;
    g.height = (int)rows.size();
    g.rows = std::move(rows);
    glyphs[ch] = g;
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
    *height = it == glyphs.end() ? 0 : it->second.height;
  }
  void draw(const char* utf8, int width, int height) override {
    drawn.push_back(utf8);
    drawWidths.push_back(width);
    auto it = glyphs.find(utf8);
    if (it == glyphs.end()) return;
    const FakeGlyph& g = it->second;
    for (int y = 0; y < height && y < (int)g.rows.size(); y++)
      for (int x = 0; x < width && x < (int)g.rows[y].size(); x++) {
        const unsigned int v = g.rows[y][x];
        scratch.getBits()[(size_t)y * scratch.getRowSpan() + x] = 255u | v << 8 | v << 16 | v << 24;
      }
  }
  void end() override {}
};

}  // namespace rt
