// 32-bit bitmaps: the abstract interface every raster operation draws through, the heap-backed
// kind used for images, scaled copies and temporaries, and the kind whose pixels are the frame
// buffer of a memory drawing context, so the platform can show or draw into the same pixels.
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
  // The device context whose frame buffer holds the pixels, or null.
  virtual HDC getDC() { return nullptr; }
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

class RAST_SysBitmap : public RAST_IBitmap {
 public:
  explicit RAST_SysBitmap(int w = 0, int h = 0);
  ~RAST_SysBitmap() override;
  RAST_SysBitmap(const RAST_SysBitmap&) = delete;
  RAST_SysBitmap& operator=(const RAST_SysBitmap&) = delete;

  RAST_PixelValue* getBits() override { return m_bits; }
  int getWidth() override { return m_width; }
  int getHeight() override { return m_height; }
  int getRowSpan() override { return m_allocw; }
  // Keeps the context for any size that fits in it; a grow past it in either direction makes a
  // new, zero-filled one.
  bool resize(int w, int h) override;
  HDC getDC() override { return m_hdc; }

 private:
  int m_width = 0;
  int m_height = 0;
  HDC m_hdc = nullptr;
  RAST_PixelValue* m_bits = nullptr;
  int m_allocw = 0;
  int m_alloch = 0;
};
