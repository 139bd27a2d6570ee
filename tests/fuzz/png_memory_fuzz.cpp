// PNG bytes from memory: any input answers null or a bitmap of a sane size whose every pixel
// can be read, whether the loader makes the bitmap or decodes into a given one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "kit/raster/rast_png.h"

static uint32_t touchAll(RAST_IBitmap* bm) {
  uint32_t sum = 0;
  for (int y = 0; y < bm->getHeight(); y++)
    for (int x = 0; x < bm->getWidth(); x++) sum += bm->getBits()[(size_t)y * bm->getRowSpan() + x];
  return sum;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 24)) return 0;
  std::unique_ptr<RAST_IBitmap> made(RAST_LoadPNGFromMemory(data, (int)size));
  if (made) {
    if (made->getWidth() < 1 || made->getHeight() < 1 || made->getWidth() > RAST_PNG_MAX_SIDE ||
        made->getHeight() > RAST_PNG_MAX_SIDE || !made->getBits())
      abort();
    volatile uint32_t sink = touchAll(made.get());
    (void)sink;
  }
  RAST_MemBitmap given(3, 3);
  if (RAST_LoadPNGFromMemory(data, (int)size, &given) == &given) {
    volatile uint32_t sink = touchAll(&given);
    (void)sink;
  }
  return 0;
}
