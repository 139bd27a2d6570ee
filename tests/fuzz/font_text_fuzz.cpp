// Labels drawn through the cached-glyph font come from configuration, patch names and bank
// files. Layout of an input: byte 0 the font flags (vertical, bottom-up, blur, invert, mono,
// shadow, outline, pre-render), byte 1 the drawing flags, byte 2 the count mode and placement,
// then the text. Glyphs come from a source with fixed metrics derived from each character, so
// every code reaches the cache, the walk, the turning and the effect steps.
#include <cstddef>
#include <cstdint>
#include <string>

#include "raster/glyph_fake_source.h"

namespace {

// The test glyph source's scratch and line height, with metrics and coverage made from the code.
class FuzzGlyphSource : public rt::FakeGlyphSource {
 public:
  unsigned int code = 0;
  FuzzGlyphSource() { lineheight = 12; }
  void measure(const char* utf8, int* width, int* height) override {
    code = 0;
    for (const unsigned char* p = (const unsigned char*)utf8; *p; p++) code = code * 31 + *p;
    *width = (int)(code % 9);  // 0 gives a character without a glyph
    *height = 3 + (int)(code % 11);
  }
  void draw(const char*, int width, int height) override {
    for (int y = 0; y < height; y++)
      for (int x = 0; x < width; x++) {
        const unsigned int v = (code >> ((x + y) & 7)) * 37u & 255;
        scratch.getBits()[(size_t)y * scratch.getRowSpan() + x] = 255u | v << 8;
      }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static FuzzGlyphSource source;
  static RAST_MemBitmap bm(64, 40);
  const int fontFlags = data[0] & 0x1F7;
  const unsigned int flags = (data[1] & 0x77u) | ((data[1] & 0x80u) ? 0x100u : 0u) | ((data[1] & 0x8u) ? 0x40000000u : 0u);
  std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  const int count = (data[2] & 0x40) ? -1 : int(text.size() * (data[2] & 0x30) / 0x30);

  // One font for the run: its glyph cache is rebuilt (and pre-rendered) only when the flags
  // change, as a label font's would be, so inputs run at the speed that finds faults.
  static RAST_CachedFont font;
  static int lastFlags = -1;
  if (fontFlags != lastFlags) {
    font.SetGlyphSource(&source);
    font.SetFromHFont(rt::kFakeFont, fontFlags);
    lastFlags = fontFlags;
  }
  font.SetTextColor(0xFF8040C0u ^ data[2]);
  font.SetBkMode(data[2] >> 7);
  font.SetCombineMode(data[2] & 7, (data[2] & 8) ? 0.5f : 1.0f);
  RECT r{int(int8_t(data[2])) / 2, -3, 60, 38};
  font.DrawText(&bm, text.c_str(), count, &r, flags);
  RECT m{0, 0, 0, 0};
  font.DrawText(nullptr, text.c_str(), count, &m, flags | 1u);
  return 0;
}
