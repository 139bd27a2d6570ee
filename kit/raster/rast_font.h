// Text on any bitmap through one platform font: either every character rasterised once into a
// cached coverage map and stamped with the font's colours, blend mode and alpha (the glyph path),
// or whole strings handed to the device-context layer's text drawing (the native path).
#pragma once

#include "kit/heapbuf.h"
#include "kit/raster/rast_bitmap.h"

class RAST_SysBitmap;
struct GlyphInk;

class RAST_IFont {
 public:
  virtual ~RAST_IFont() {}
  virtual void SetFromHFont(HGDIOBJ font, int flags) = 0;
  virtual RAST_PixelValue SetTextColor(RAST_PixelValue colour) = 0;
  virtual RAST_PixelValue SetBkColor(RAST_PixelValue colour) = 0;
  virtual RAST_PixelValue SetEffectColor(RAST_PixelValue colour) = 0;
  virtual int SetBkMode(int mode) = 0;
  virtual void SetCombineMode(int mode, float alpha) = 0;
  virtual int DrawText(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect, unsigned int flags) = 0;
  virtual RAST_PixelValue GetTextColor() = 0;
  virtual HGDIOBJ GetHFont() = 0;
  virtual int GetLineHeight() = 0;
};

// Font flags (SetFromHFont).
enum {
  RAST_FONT_VERTICAL = 0x1,      // glyphs turned a quarter turn, the pen moves down
  RAST_FONT_BOTTOMUP = 0x2,      // with VERTICAL: turned the other way, the pen moves up
  RAST_FONT_PRERENDER = 0x4,     // render 0..127 at once and never anything from 128 up
  RAST_FONT_BLUR = 0x10,
  RAST_FONT_INVERT = 0x20,
  RAST_FONT_MONO = 0x40,
  RAST_FONT_SHADOW = 0x80,
  RAST_FONT_OUTLINE = 0x100,
  RAST_FONT_OWNS_HFONT = 0x200,
  RAST_FONT_PREFER_NATIVE = 0x400,
};

// DrawText flags beyond those shared with the device-context layer's text drawing.
enum : unsigned int {
  RAST_TEXT_ALPHA_FROM_COLOUR = 0x40000000u,  // alpha times the text colour's alpha byte / 255
  RAST_TEXT_NOT_NATIVE = 0x80000000u,
};

// One cached character. coverage: 0 not rendered yet, -1 no glyph, otherwise 1 + the byte
// offset of its map in the coverage buffer. The map is width x height bytes, top row first.
struct RAST_GlyphRecord {
  int coverage;
  int width;
  int height;
  int advance;
  int code;
};

// Where a cached font's glyphs come from. The platform's text drawing is the default; tests put
// a source with fixed metrics in its place.
class RAST_GlyphSource {
 public:
  virtual ~RAST_GlyphSource() {}
  // The height field of the font's text metrics; false when it cannot be read.
  virtual bool lineHeight(HGDIOBJ font, int* height) = 0;
  // A scratch bitmap of at least size x size, ready to draw one character with the font (null
  // when none can be had). end() follows every successful begin().
  virtual RAST_IBitmap* begin(HGDIOBJ font, int size) = 0;
  // The extent of one line of text in the font: width (the pen advance) and height.
  virtual void measure(const char* utf8, int* width, int* height) = 0;
  // Draws the text white on black with its top-left corner at (0, 0), within width x height.
  virtual void draw(const char* utf8, int width, int height) = 0;
  virtual void end() = 0;
};

// The source drawing through the device-context layer (shared scratch bitmap of all fonts).
RAST_GlyphSource* RAST_NativeGlyphSource();

class RAST_CachedFont : public RAST_IFont {
 public:
  RAST_CachedFont();
  ~RAST_CachedFont() override;
  RAST_CachedFont(const RAST_CachedFont&) = delete;
  RAST_CachedFont& operator=(const RAST_CachedFont&) = delete;

  void SetFromHFont(HGDIOBJ font, int flags) override;
  RAST_PixelValue SetTextColor(RAST_PixelValue colour) override;
  RAST_PixelValue SetBkColor(RAST_PixelValue colour) override;
  RAST_PixelValue SetEffectColor(RAST_PixelValue colour) override;
  int SetBkMode(int mode) override;
  void SetCombineMode(int mode, float alpha) override;
  int DrawText(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect, unsigned int flags) override;
  RAST_PixelValue GetTextColor() override { return m_textcolor; }
  HGDIOBJ GetHFont() override { return m_font; }
  int GetLineHeight() override { return m_lineheight; }

  int DrawTextImpl(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect, unsigned int flags);

  // Glyph rendering and stamping (rast_glyph.cpp).
  bool RenderGlyph(unsigned short c);
  bool DrawGlyph(RAST_IBitmap* bitmap, unsigned short c, int x, int y, RECT* clip);

  RAST_GlyphRecord* findChar(unsigned short c);

  // Null puts the platform's text drawing back. Set before SetFromHFont: glyphs already cached
  // stay as they were rendered.
  void SetGlyphSource(RAST_GlyphSource* source) { m_source = source; }

  // For tests and diagnostics: records above 127, the coverage bytes, the font flags.
  int GetGlyphListCount() const { return m_glyphs.GetSize() / (int)sizeof(RAST_GlyphRecord); }
  const unsigned char* GetCoverage(const RAST_GlyphRecord* rec) const;
  int GetCoverageSize() const { return m_coverage.GetSize(); }
  int GetFlags() const { return m_flags; }

  // One UTF-8 character: its 16-bit code; *len receives the bytes it took (1 to 4).
  static unsigned short utf8char(const unsigned char* p, int* len);

  // The process-wide scratch bitmaps and the number of live fonts.
  static RAST_SysBitmap* s_tempbitmap;
  static RAST_SysBitmap* s_nativerender_tempbitmap;
  static int s_tempbitmap_refcnt;

 private:
  template <class F>
  void walkText(const char* text, int count, unsigned int flags, F&& onGlyph, bool& stop);
  // run (room for runMax records) receives the records of the walk, line breaks as records with
  // coverage 0; *runLength is their number, or -1 when they did not fit.
  void measureGlyphs(const char* text, int count, unsigned int flags, int* w, int* h,
                     RAST_GlyphRecord* run = nullptr, int runMax = 0, int* runLength = nullptr);
  int drawGlyphs(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect, unsigned int flags);
  int drawNative(RAST_IBitmap* bitmap, const char* text, int count, RECT* rect, unsigned int flags);
  void prepareInk(RAST_IBitmap* bitmap, GlyphInk& ink) const;
  bool stampGlyph(const GlyphInk& ink, const RAST_GlyphRecord* rec, int x, int y, const RECT& clip);
  RAST_GlyphRecord* appendGlyph(unsigned short c);
  RAST_GlyphSource* source();

  RAST_PixelValue m_textcolor = 0;
  RAST_PixelValue m_bkcolor = 0xFFFFFFFFu;
  RAST_PixelValue m_effectcolor = 0xFFFFFFFFu;
  int m_bkmode = 0;
  int m_combinemode = 0;
  float m_alpha = 1.0f;
  int m_flags = 0;
  int m_lineheight = 0;
  RAST_GlyphRecord m_ascii[128];
  KIT_HeapBuf m_glyphs{4096};
  KIT_HeapBuf m_coverage{65536};
  HGDIOBJ m_font = nullptr;
  RAST_GlyphSource* m_source = nullptr;
};
