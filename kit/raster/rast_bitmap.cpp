#include "kit/raster/rast_bitmap.h"

#include <climits>
#include <cstdint>
#include <cstdlib>

RAST_MemBitmap::RAST_MemBitmap(int w, int h, unsigned int linealign) {
  if (linealign >= 2) {
    unsigned int lowbit = linealign & (0u - linealign);
    // Alignments of 16 pixels or more all align to 16: the mask must stay of the form 2^k - 1.
    m_linealign_mask = lowbit > 16 ? 15 : lowbit - 1;
  }
  if (w != 0 || h != 0) resize(w, h);
}

RAST_MemBitmap::~RAST_MemBitmap() { free(m_fb); }

RAST_PixelValue* RAST_MemBitmap::getBits() {
  if (!m_fb) return nullptr;
  uintptr_t p = ((uintptr_t)m_fb + 63) & ~(uintptr_t)63;
  return (RAST_PixelValue*)p;
}

bool RAST_MemBitmap::resize(int w, int h) {
  if (w == m_width && h == m_height) return false;

  // Sizes in 64 bits: a side near the int limit must not wrap into a small allocation.
  long long span = w > 0 ? (((long long)w + m_linealign_mask) & ~(long long)m_linealign_mask) : 0;
  long long n = h > 0 ? span * h : 0;
  long long b = 4 * n;

  if (b <= 0 || b > INT_MAX - 63) {
    free(m_fb);
    m_fb = nullptr;
    m_allocsize = 0;
    m_width = m_height = 0;
    return true;
  }
  m_width = w;
  m_height = h;

  if (m_fb && b <= m_allocsize) return true;

  if (m_fb) {
    long long grown = b + n;  // a quarter more than needed, so repeated growth settles
    if (grown > INT_MAX - 63) grown = b;
    void* p = realloc(m_fb, (size_t)grown + 63);
    if (p) {
      m_fb = p;
      m_allocsize = (int)grown;
      return true;
    }
    free(m_fb);
    m_fb = nullptr;
  }
  m_allocsize = (int)b;
  m_fb = malloc((size_t)b + 63);
  if (!m_fb) {
    m_allocsize = 0;
    m_width = m_height = 0;
  }
  return true;
}
