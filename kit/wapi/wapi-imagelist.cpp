#include "kit/wapi/wapi-imagelist.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "kit/heapbuf.h"
#include "kit/raster/rast_png.h"
#include "kit/wapi/wapi-gdi-internal.h"
#include "kit/wapi/wapi-shapes.h"

struct WAPI_ImageList {
  // Entries are object handles, pointer-sized so that 64-bit handles survive.
  KIT_HeapBuf buf{4096};
  int count() const { return buf.GetSize() / (int)sizeof(HGDIOBJ); }
  HGDIOBJ* items() { return static_cast<HGDIOBJ*>(buf.Get()); }
};

namespace {

void releaseImage(void* p) {
  WAPI_Image* img = static_cast<WAPI_Image*>(p);
  if (img && img->refs.fetch_sub(1) == 1) {
    free(img->argb);
    delete img;
  }
}

bool isImage(HGDIOBJ o) { return wapiObjectIs(o, WAPI_GDI_IMAGE) && o->image; }

// A new image object owning (holding one reference to) img.
HGDIOBJ newImageObject(WAPI_Image* img) {
  // Installed once, before the first image object exists, by a thread-safe static.
  static const bool installed = (wapiReleaseImage = releaseImage, true);
  (void)installed;
  GDP_OBJECT* o = GDP_OBJECT_NEW();
  if (!o) {
    releaseImage(img);
    return nullptr;
  }
  o->type = WAPI_GDI_IMAGE;
  o->image = img;
  o->width = 1;
  return o;
}

HGDIOBJ shareImage(HGDIOBJ from) {
  WAPI_Image* img = static_cast<WAPI_Image*>(from->image);
  img->refs.fetch_add(1);
  return newImageObject(img);
}

}  // namespace

HGDIOBJ CreateBitmap(int width, int height, int, int bitsPerPixel, const void* pixels) {
  if (width < 1 || height < 1 || !pixels || (bitsPerPixel != 24 && bitsPerPixel != 32)) return nullptr;
  const int samples = bitsPerPixel / 8;
  if ((long long)width * height > INT_MAX / 4) return nullptr;
  uint8_t* argb = static_cast<uint8_t*>(malloc((size_t)width * (size_t)height * 4));
  if (!argb) return nullptr;
  const uint8_t* src = static_cast<const uint8_t*>(pixels);
  const size_t rowBytes = (size_t)width * (size_t)samples;
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      const uint8_t* s = src + (size_t)y * rowBytes + (size_t)x * samples;
      uint8_t* d = argb + ((size_t)y * width + x) * 4;
      if (samples == 4) {
        memcpy(d, s, 4);
      } else {
        d[0] = 255;
        memcpy(d + 1, s, 3);
      }
    }
  WAPI_Image* img = new WAPI_Image{1, width, height, false, argb};
  return newImageObject(img);
}

HGDIOBJ LoadNamedImage(const char* name, bool magentaToTransparent) {
  if (!name) return nullptr;
  RAST_IBitmap* bm = strchr(name, '/') ? RAST_LoadPNG(name) : nullptr;
  if (!bm) bm = RAST_LoadPNGFromNamedResource(name);
  if (!bm) return nullptr;
  const int w = bm->getWidth(), h = bm->getHeight(), span = bm->getRowSpan();
  const RAST_PixelValue* bits = bm->getBits();
  uint8_t* argb = (w > 0 && h > 0 && bits) ? static_cast<uint8_t*>(malloc((size_t)w * (size_t)h * 4)) : nullptr;
  if (!argb) {
    delete bm;
    return nullptr;
  }
  // Raster pixels hold alpha, red, green, blue bytes in memory, the image record's own order.
  for (int y = 0; y < h; y++) memcpy(argb + (size_t)y * w * 4, bits + (size_t)y * span, (size_t)w * 4);
  delete bm;
  if (magentaToTransparent)
    for (size_t i = 0; i < (size_t)w * h; i++) {
      uint8_t* p = argb + i * 4;
      if (p[1] == 255 && p[2] == 0 && p[3] == 255) memset(p, 0, 4);
    }
  return newImageObject(new WAPI_Image{1, w, h, true, argb});
}

HGDIOBJ CreateIconIndirect(const ICONINFO* info) {
  if (!info || !info->fIcon || !isImage(info->hbmColor)) return nullptr;
  return shareImage(info->hbmColor);
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  if (out && size > 0) memset(out, 0, (size_t)size);
  if (!out || size != 8 || !isImage(obj)) return 0;
  const WAPI_Image* img = static_cast<const WAPI_Image*>(obj->image);
  const int32_t wh[2] = {img->width, img->height};
  memcpy(out, wh, 8);
  return 1;
}

void DrawImageInRect(HDC ctx, HGDIOBJ image, const RECT* r) {
  if (!wapiValidCtx(ctx) || !ctx->ctx || !r || !isImage(image)) return;
  const WAPI_Image* img = static_cast<const WAPI_Image*>(image->image);
  // The image record holds straight alpha, red, green, blue.
  CGImageRef cg = wapiCreateImage(img->argb, img->width, img->height, (size_t)img->width * 4, kCGImageAlphaFirst);
  wapiDrawImageInRect(ctx->ctx, cg, r->left, r->top, (double)((long long)r->right - r->left),
                      (double)((long long)r->bottom - r->top));
  CGImageRelease(cg);
}

HIMAGELIST ImageList_CreateEx() { return new WAPI_ImageList; }

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HGDIOBJ icon) {
  if (!list || !isImage(icon)) return -1;
  HGDIOBJ obj = shareImage(icon);
  if (!obj) return -1;
  const int n = list->count();
  if (index >= 0 && index < n) {
    HGDIOBJ old = list->items()[index];
    list->items()[index] = obj;
    if (old) DeleteObject(old);
    return index;
  }
  list->buf.Resize((n + 1) * (int)sizeof(HGDIOBJ), false);
  if (list->count() != n + 1) {
    DeleteObject(obj);
    return -1;
  }
  list->items()[n] = obj;
  return n;
}

int ImageList_Remove(HIMAGELIST list, int index) {
  if (!list) return 0;
  const int n = list->count();
  if (index < 0) {
    for (int i = 0; i < n; i++)
      if (list->items()[i]) DeleteObject(list->items()[i]);
    list->buf.Resize(0, true);
    return 1;
  }
  if (index >= n) return 0;
  if (list->items()[index]) DeleteObject(list->items()[index]);
  list->items()[index] = nullptr;
  return 1;
}

void ImageList_Destroy(HIMAGELIST list) {
  if (!list) return;
  ImageList_Remove(list, -1);
  delete list;
}

int ImageList_GetImageCount(HIMAGELIST list) { return list ? list->count() : 0; }

HGDIOBJ ImageList_GetIcon(HIMAGELIST list, int index) {
  if (!list || index < 0 || index >= list->count()) return nullptr;
  return list->items()[index];
}
