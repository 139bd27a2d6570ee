// Image objects (bitmaps and icons), their drawing, and image lists.
#pragma once

#include <atomic>
#include <cstdint>

#include "kit/wapi/wapi-gdi.h"

#ifndef QOR_ICONINFO_DEFINED
#define QOR_ICONINFO_DEFINED
struct ICONINFO {
  BOOL fIcon;
  DWORD xHotspot;
  DWORD yHotspot;
  HGDIOBJ hbmMask;
  HGDIOBJ hbmColor;
};
#endif

typedef struct WAPI_ImageList* HIMAGELIST;

// The pixels an image object holds: straight (not premultiplied) alpha, red, green, blue bytes
// per pixel, rows top first. Shared between objects by reference count.
struct WAPI_Image {
  std::atomic<int> refs;
  int width, height;
  bool flipped;
  uint8_t* argb;  // width * height * 4 bytes
};

// An RGB image of 8-bit samples; 32 bits per pixel carry alpha first, 24 bits are opaque.
// Rows are read at their real size, width * bitsPerPixel / 8 bytes. NULL for other depths, a
// non-positive size or no pixels.
HGDIOBJ CreateBitmap(int width, int height, int planes, int bitsPerPixel, const void* pixels);
// Needs fIcon set and a colour bitmap that is an image object; the new object shares its image.
HGDIOBJ CreateIconIndirect(const ICONINFO* info);
// A name holding "/" is loaded as a PNG file; otherwise, or when the file fails, as an image of
// the application's resources. With magentaToTransparent every pixel of red 255, green 0 and
// blue 255 becomes fully transparent. NULL when nothing loads.
HGDIOBJ LoadNamedImage(const char* name, bool magentaToTransparent);
// Zero-fills size bytes of out; for an image object and size 8 writes its width and height and
// answers 1, otherwise 0.
int GetObject(HGDIOBJ obj, int size, void* out);
// Draws the image scaled into the rectangle, source over at full opacity.
void DrawImageInRect(HDC ctx, HGDIOBJ image, const RECT* r);

HIMAGELIST ImageList_CreateEx();
// The icon must be an image object; the list gets a new object sharing its image. An index
// inside the list replaces that entry, any other index appends. Answers the entry's index or -1.
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HGDIOBJ icon);
// A negative index empties the list; an index inside it deletes that entry's object and leaves
// an empty slot (answers 1); beyond the end answers 0.
int ImageList_Remove(HIMAGELIST list, int index);
void ImageList_Destroy(HIMAGELIST list);
int ImageList_GetImageCount(HIMAGELIST list);
// The entry's object, NULL for an empty slot or an index outside the list.
HGDIOBJ ImageList_GetIcon(HIMAGELIST list, int index);
