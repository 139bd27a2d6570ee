// 32-bit bitmaps: the abstract interface every raster operation draws through, and the
// heap-backed kind used for images, scaled copies and temporaries.
#pragma once

#include "kit/raster/rast_types.h"

class RAST_IBitmap {
 public:
  virtual ~RAST_IBitmap() {}
  // First pixel of the top row, or null when there are no pixels.
  virtual RAST_PixelValue* getBits() = 0;
  virtual int getWidth() = 0;
  virtual int getHeight() = 0;
  // Pixels (not bytes) from one row's start to the next; at least the width.
  virtual int getRowSpan() = 0;
  // True when rows are stored bottom-up.
  virtual bool isFlipped() { return false; }
  // True when the size changed.
  virtual bool resize(int w, int h) = 0;
  virtual int Extended(int id, void* data) {
    (void)id;
    (void)data;
    return 0;
  }
};

class RAST_MemBitmap : public RAST_IBitmap {
 public:
  explicit RAST_MemBitmap(int w = 0, int h = 0, unsigned int linealign = 4);
  ~RAST_MemBitmap() override;
  RAST_MemBitmap(const RAST_MemBitmap&) = delete;
  RAST_MemBitmap& operator=(const RAST_MemBitmap&) = delete;

  RAST_PixelValue* getBits() override;
  int getWidth() override { return m_width; }
  int getHeight() override { return m_height; }
  int getRowSpan() override { return (int)(((unsigned int)m_width + m_linealign_mask) & ~m_linealign_mask); }
  bool resize(int w, int h) override;

  // Bytes of pixel storage the block holds (the block itself is 63 bytes larger).
  int getAllocatedSize() const { return m_allocsize; }

 private:
  void* m_fb = nullptr;
  int m_width = 0;
  int m_height = 0;
  int m_allocsize = 0;
  unsigned int m_linealign_mask = 0;
};
