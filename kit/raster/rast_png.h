// PNG decoding into 32-bit bitmaps (bytes alpha, red, green, blue per pixel) through libpng,
// from a file, from the main bundle's resources or from memory. Every failure answers null.
#pragma once

#include "kit/raster/rast_bitmap.h"

// With bmp the image is decoded into it (resized to the image) and bmp is answered; without, a
// new RAST_MemBitmap is made and answered, owned by the caller.
RAST_IBitmap* RAST_LoadPNG(const char* filename, RAST_IBitmap* bmp = nullptr);
RAST_IBitmap* RAST_LoadPNGFromNamedResource(const char* name, RAST_IBitmap* bmp = nullptr);
RAST_IBitmap* RAST_LoadPNGFromMemory(const void* data, int bytes, RAST_IBitmap* bmp = nullptr);
// There is no resource-by-id store on this platform: always null.
RAST_IBitmap* RAST_LoadPNGFromResource(void* instance, int id, RAST_IBitmap* bmp = nullptr);

// Images larger than this on either side, or with more pixels than kMaxPixels, are refused.
enum { RAST_PNG_MAX_SIDE = 16384 };
const long long RAST_PNG_MAX_PIXELS = 1LL << 26;

// Image loader records, linked into one list at start-up.
struct RAST_ImageLoaderRec {
  RAST_IBitmap* (*loadfunc)(const char* filename, bool checkFileName, RAST_IBitmap* bmp);
  const char* (*get_extlist)();
  RAST_ImageLoaderRec* _next;
};
extern RAST_ImageLoaderRec* RAST_ImageLoader_list;

class RAST_PNGLoader {
 public:
  // With checkFileName, a name whose extension is not ".png" (any case) is refused unopened.
  static RAST_IBitmap* loadfunc(const char* filename, bool checkFileName, RAST_IBitmap* bmp);
  // "PNG files (*.PNG)\0*.PNG\0\0": a file-dialog filter.
  static const char* get_extlist();
};
