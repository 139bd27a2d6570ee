#include <climits>

#include "kit/raster/rast_bitmap.h"
#include "kit/wapi/wapi-gdi.h"

RAST_SysBitmap::RAST_SysBitmap(int w, int h) { resize(w, h); }

RAST_SysBitmap::~RAST_SysBitmap() {
  if (m_hdc) WAPI_DeleteGfxContext(m_hdc);
}

bool RAST_SysBitmap::resize(int w, int h) {
  if (w == m_width && h == m_height) return false;

  if (w > 0 && h > 0 && m_bits && w <= m_allocw && h <= m_alloch) {
    m_width = w;
    m_height = h;
    // A bottom-up context shows its last rows.
    if (isFlipped()) m_bits = (RAST_PixelValue*)WAPI_GetCtxFrameBuffer(m_hdc) + (size_t)(m_alloch - h) * m_allocw;
    return true;
  }

  if (m_hdc) WAPI_DeleteGfxContext(m_hdc);
  m_hdc = nullptr;
  m_bits = nullptr;
  m_allocw = m_alloch = 0;

  // A zero or negative side leaves an empty bitmap without a context.
  if (w <= 0 || h <= 0) {
    m_width = m_height = 0;
    return false;
  }
  m_width = w;
  m_height = h;
  const long long allocw = ((long long)w + 3) & ~3LL;  // rows a multiple of 4 pixels
  if (allocw <= INT_MAX) m_hdc = WAPI_CreateMemContext(nullptr, (int)allocw, h);
  if (m_hdc) m_bits = (RAST_PixelValue*)WAPI_GetCtxFrameBuffer(m_hdc);
  if (!m_bits) {
    if (m_hdc) WAPI_DeleteGfxContext(m_hdc);
    m_hdc = nullptr;
    m_width = m_height = 0;
    return true;
  }
  m_allocw = (int)allocw;
  m_alloch = h;
  return true;
}
