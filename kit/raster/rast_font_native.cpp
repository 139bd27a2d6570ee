// Glyphs from the device-context layer's text drawing, through the scratch bitmap all fonts
// share.
#include "kit/raster/rast_font.h"
#include "kit/wapi/wapi-gdi.h"

namespace {

class NativeGlyphSource : public RAST_GlyphSource {
 public:
  bool lineHeight(HGDIOBJ font, int* height) override {
    HDC dc = scratchDC(256);
    if (!dc) return false;
    HGDIOBJ prev = SelectObject(dc, font);
    TEXTMETRIC tm = {};
    GetTextMetrics(dc, &tm);
    if (prev) SelectObject(dc, prev);
    *height = tm.tmHeight;
    return true;
  }

  RAST_IBitmap* begin(HGDIOBJ font, int size) override {
    m_dc = scratchDC(size);
    if (!m_dc) return nullptr;
    m_prev = font ? SelectObject(m_dc, font) : nullptr;
    return RAST_CachedFont::s_tempbitmap;
  }

  void measure(const char* utf8, int* width, int* height) override {
    RECT r = {0, 0, 0, 0};
    WAPI_DrawText(m_dc, utf8, -1, &r, 0xC1);
    *width = r.right;
    *height = r.bottom;
  }

  void draw(const char* utf8, int width, int height) override {
    RECT r = {0, 0, width, height};
    WAPI_DrawText(m_dc, utf8, -1, &r, 0xC0);
  }

  void end() override {
    if (m_dc && m_prev) SelectObject(m_dc, m_prev);
    m_dc = nullptr;
    m_prev = nullptr;
  }

 private:
  // The shared scratch bitmap at least size x size, drawing white text on black.
  static HDC scratchDC(int size) {
    RAST_SysBitmap*& bm = RAST_CachedFont::s_tempbitmap;
    if (!bm) bm = new RAST_SysBitmap(0, 0);
    if (bm->getWidth() < size || bm->getHeight() < size) {
      bm->resize(size, size);
      if (HDC dc = bm->getDC()) {
        SetTextColor(dc, 0xFFFFFF);
        SetBkMode(dc, 1);
        SetBkColor(dc, 0);
      }
    }
    return bm->getDC();
  }

  HDC m_dc = nullptr;
  HGDIOBJ m_prev = nullptr;
};

}  // namespace

RAST_GlyphSource* RAST_NativeGlyphSource() {
  static NativeGlyphSource source;
  return &source;
}
