#include "kit/raster/rast_png.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

#include <CoreFoundation/CoreFoundation.h>

#include "kit/raster/rast_surface.h"

namespace {

struct MemCursor {
  const unsigned char* p;
  int left;
};

}  // namespace

// libpng read callback over a memory cursor. Bytes past the end read as zero, and the read is
// then failed: a cut-short image is refused rather than decoded from padding.
void staticPngReadFunc(png_struct* png, unsigned char* out, png_size_t length) {
  MemCursor* c = (MemCursor*)png_get_io_ptr(png);
  memset(out, 0, length);
  const size_t n = length < (size_t)c->left ? length : (size_t)c->left;
  if (n) memcpy(out, c->p, n);
  c->p += n;
  c->left -= (int)n;
  if (n < length) png_error(png, "PNG data ends early");
}

namespace {

// What one decode allocated, for the clean-up after success or failure.
struct Made {
  RAST_IBitmap* bitmap = nullptr;  // made here, not the caller's
  png_bytep* rows = nullptr;
  RAST_IBitmap* result = nullptr;
};

// Decodes with a reader whose input is already set up.
RAST_IBitmap* decode(png_structp png, png_infop info, RAST_IBitmap* bmp, Made* made) {
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, ctype = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &ctype, &interlace, &compression, &filter);
  if (width < 1 || height < 1 || (long long)width * height > RAST_PNG_MAX_PIXELS) return nullptr;

  if (ctype == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (ctype == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(png);
    ctype |= PNG_COLOR_MASK_ALPHA;
  }
  if (depth == 16) png_set_strip_16(png);
  if (depth < 8) png_set_packing(png);
  if (ctype == PNG_COLOR_TYPE_GRAY || ctype == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (ctype & PNG_COLOR_MASK_ALPHA)
    png_set_swap_alpha(png);
  else
    png_set_filler(png, 0xFF, PNG_FILLER_BEFORE);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != (png_size_t)width * 4) return nullptr;

  if (bmp) {
    bmp->resize((int)width, (int)height);
  } else {
    bmp = made->bitmap = new (std::nothrow) RAST_MemBitmap((int)width, (int)height, 4);
    if (!bmp) return nullptr;
  }
  RAST_Surface s;
  if (!RAST_GetSurface(bmp, s) || s.width != (int)width || s.height != (int)height) return nullptr;

  made->rows = (png_bytep*)malloc(sizeof(png_bytep) * height);
  if (!made->rows) return nullptr;
  for (png_uint_32 y = 0; y < height; y++) made->rows[y] = s.row((int)y);
  png_read_image(png, made->rows);
  // Read on to the end chunk so a cut-short or corrupt tail is refused too.
  png_read_end(png, nullptr);
  return bmp;
}

// Creates the reader, installs the input, decodes, and cleans up on every path.
template <class SetInput>
RAST_IBitmap* load(RAST_IBitmap* bmp, SetInput setInput) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  png_set_user_limits(png, RAST_PNG_MAX_SIDE, RAST_PNG_MAX_SIDE);
  png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
  png_set_chunk_cache_max(png, 1000);

  // What the decoder makes lives on the heap, so it is known after libpng's long jump back here.
  Made* made = new (std::nothrow) Made();
  if (!made) {
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }
  if (setjmp(png_jmpbuf(png))) {
    made->result = nullptr;
  } else {
    setInput(png);
    made->result = decode(png, info, bmp, made);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  RAST_IBitmap* result = made->result;
  free(made->rows);
  if (!result) delete made->bitmap;
  delete made;
  return result;
}

}  // namespace

RAST_IBitmap* RAST_LoadPNG(const char* filename, RAST_IBitmap* bmp) {
  if (!filename) return nullptr;
  FILE* fp = fopen(filename, "rb");
  if (!fp) return nullptr;
  RAST_IBitmap* r = load(bmp, [fp](png_structp png) { png_init_io(png, fp); });
  fclose(fp);
  return r;
}

RAST_IBitmap* RAST_LoadPNGFromMemory(const void* data, int bytes, RAST_IBitmap* bmp) {
  if (!data || bytes < 8 || png_sig_cmp((png_const_bytep)data, 0, 8) != 0) return nullptr;
  MemCursor cursor{(const unsigned char*)data, bytes};
  MemCursor* cp = &cursor;
  return load(bmp, [cp](png_structp png) { png_set_read_fn(png, cp, staticPngReadFunc); });
}

RAST_IBitmap* RAST_LoadPNGFromResource(void*, int, RAST_IBitmap*) { return nullptr; }

RAST_IBitmap* RAST_LoadPNGFromNamedResource(const char* name, RAST_IBitmap* bmp) {
  if (!name || strlen(name) > 400) return nullptr;
  CFBundleRef bundle = CFBundleGetMainBundle();
  if (!bundle) return nullptr;
  CFURLRef url = CFBundleCopyBundleURL(bundle);
  if (!url) return nullptr;
  char path[1536 + 32 + 401];
  path[0] = 0;
  const bool ok = CFURLGetFileSystemRepresentation(url, true, (uint8_t*)path, 1536);
  CFRelease(url);
  if (!ok || !path[0]) return nullptr;
  strcat(path, "/Contents/Resources/");
  strcat(path, name);
  return RAST_LoadPNG(path, bmp);
}

RAST_IBitmap* RAST_PNGLoader::loadfunc(const char* filename, bool checkFileName, RAST_IBitmap* bmp) {
  if (!filename) return nullptr;
  if (checkFileName) {
    const char* tail = filename + strlen(filename);
    while (tail > filename && tail[-1] != '.' && tail[-1] != '/' && tail[-1] != '\\') tail--;
    if (tail > filename) tail--;  // include the separator found
    if (strcasecmp(tail, ".png") != 0) return nullptr;
  }
  return RAST_LoadPNG(filename, bmp);
}

const char* RAST_PNGLoader::get_extlist() { return "PNG files (*.PNG)\0*.PNG\0"; }

RAST_ImageLoaderRec* RAST_ImageLoader_list = nullptr;

namespace {

struct RegisterPNGLoader {
  RAST_ImageLoaderRec rec;
  RegisterPNGLoader() {
    rec.loadfunc = RAST_PNGLoader::loadfunc;
    rec.get_extlist = RAST_PNGLoader::get_extlist;
    rec._next = RAST_ImageLoader_list;
    RAST_ImageLoader_list = &rec;
  }
} s_registerPNGLoader;

}  // namespace
