// Device-context and drawing-object records, their pools, memory contexts and text state.
#include "kit/wapi/wapi-gdi.h"
#include "kit/wapi/wapi-gdi-internal.h"

#include <CoreText/CoreText.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

constexpr int kCtxPoolMax = 100;
constexpr int kObjPoolMax = 200;

struct Pools {
  std::recursive_mutex m_ctxpool_mutex;  // guards both pool lists and their sizes
  GDP_CTX* m_ctxpool = nullptr;
  int m_ctxpool_size = 0;
  GDP_OBJECT* m_objpool = nullptr;
  int m_objpool_size = 0;

  // At unload: free every pooled record. Live records are not tracked.
  ~Pools() {
    while (m_ctxpool) {
      GDP_CTX* n = m_ctxpool->poolNext;
      free(m_ctxpool);
      m_ctxpool = n;
    }
    while (m_objpool) {
      GDP_OBJECT* n = m_objpool->poolNext;
      free(m_objpool);
      m_objpool = n;
    }
  }
};

Pools& pools() {
  static Pools p;
  return p;
}

// The two stock objects: the empty brush and the empty pen. Never freed.
GDP_OBJECT global_objs[2];

bool isStock(const GDP_OBJECT* o) { return o == &global_objs[0] || o == &global_objs[1]; }

// A real, live pen, brush or font: an object of a kind that has a slot in the context.
bool selectable(GDP_OBJECT* o) {
  return wapiIsHandle(o) && !o->inPool && o->type != WAPI_GDI_IMAGE && wapiKnownKind(o->type);
}

CGColorSpaceRef deviceRGB() {
  static CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  return space;
}

}  // namespace

void (*wapiReleaseImage)(void* image) = nullptr;

bool wapiValidCtx(HDC ctx) { return ctx && !ctx->inPool; }

bool wapiIsHandle(HGDIOBJ obj) { return reinterpret_cast<uintptr_t>(obj) >= WAPI_GDI_FIRST_HANDLE; }

GDP_OBJECT** wapiCtxSlot(HDC ctx, int kind) {
  switch (kind) {
    case WAPI_GDI_PEN: return &ctx->curPen;
    case WAPI_GDI_BRUSH: return &ctx->curBrush;
    case WAPI_GDI_FONT: return &ctx->curFont;
    default: return nullptr;
  }
}

bool wapiKnownKind(int kind) { return kind >= WAPI_GDI_PEN && kind <= WAPI_GDI_IMAGE; }

bool wapiObjectIs(const GDP_OBJECT* o, int kind) {
  return wapiIsHandle(const_cast<GDP_OBJECT*>(o)) && !o->inPool && o->type == kind;
}


bool wapiDraws(const GDP_OBJECT* o, int kind) {
  return wapiObjectIs(o, kind) && o->width >= 0 && o->color;
}

CGColorRef wapiCreateColor(int color, float alpha) {
  CGColorSpaceRef space = deviceRGB();
  if (!space) return nullptr;
  CGFloat c[4] = {CGFloat(float((color >> 16) & 0xFF) / 255.0f),
                  CGFloat(float((color >> 8) & 0xFF) / 255.0f),
                  CGFloat(float(color & 0xFF) / 255.0f), CGFloat(alpha)};
  return CGColorCreate(space, c);
}

HDC WAPI_GDP_CTX_NEW() {
  Pools& p = pools();
  GDP_CTX* rec = nullptr;
  {
    // The emptiness test is made under the lock, so two threads never pop the same record.
    std::lock_guard<std::recursive_mutex> lock(p.m_ctxpool_mutex);
    if (p.m_ctxpool) {
      rec = p.m_ctxpool;
      p.m_ctxpool = rec->poolNext;
      p.m_ctxpool_size--;
      memset(rec, 0, sizeof(*rec));
    }
  }
  if (!rec) rec = static_cast<GDP_CTX*>(calloc(1, sizeof(GDP_CTX)));
  return rec;
}

GDP_OBJECT* GDP_OBJECT_NEW() {
  Pools& p = pools();
  GDP_OBJECT* rec = nullptr;
  {
    std::lock_guard<std::recursive_mutex> lock(p.m_ctxpool_mutex);
    if (p.m_objpool) {
      rec = p.m_objpool;
      p.m_objpool = rec->poolNext;
      p.m_objpool_size--;
      memset(rec, 0, sizeof(*rec));
    }
  }
  if (!rec) rec = static_cast<GDP_OBJECT*>(calloc(1, sizeof(GDP_OBJECT)));
  return rec;
}

int WAPI_GetCtxPoolSize() {
  std::lock_guard<std::recursive_mutex> lock(pools().m_ctxpool_mutex);
  return pools().m_ctxpool_size;
}

int WAPI_GetObjPoolSize() {
  std::lock_guard<std::recursive_mutex> lock(pools().m_ctxpool_mutex);
  return pools().m_objpool_size;
}

HDC WAPI_CreateMemContext(HDC, int width, int height) {
  if (width < 1 || height < 1) return nullptr;
  // Rows are addressed with int arithmetic by the raster library: keep the whole frame
  // (and so every row offset) within INT_MAX bytes.
  const size_t rowBytes = size_t(width) * 4;
  if (size_t(height) > (size_t(INT_MAX) - 63) / rowBytes) return nullptr;
  const size_t bytes = rowBytes * size_t(height) + 63;
  void* alloc = calloc(1, bytes);
  if (!alloc) return nullptr;
  void* frame = reinterpret_cast<void*>((reinterpret_cast<uintptr_t>(alloc) + 63) & ~uintptr_t(63));

  CGContextRef cg = CGBitmapContextCreate(frame, size_t(width), size_t(height), 8, rowBytes,
                                          deviceRGB(), kCGImageAlphaNoneSkipFirst);
  if (!cg) {
    free(alloc);
    return nullptr;
  }
  // Top-left coordinates, matching the buffer's row order.
  CGContextTranslateCTM(cg, 0, height);
  CGContextScaleCTM(cg, 1, -1);

  HDC ctx = WAPI_GDP_CTX_NEW();
  if (!ctx) {
    CGContextRelease(cg);
    free(alloc);
    return nullptr;
  }
  ctx->ctx = cg;
  ctx->ownedAllocation = alloc;
  ctx->textColor = 0;
  ctx->textColorCG = wapiCreateColor(0, 1.0f);
  return ctx;
}

void* WAPI_GetCtxFrameBuffer(HDC ctx) {
  if (!wapiValidCtx(ctx) || !ctx->ownedAllocation) return nullptr;
  return reinterpret_cast<void*>((reinterpret_cast<uintptr_t>(ctx->ownedAllocation) + 63) &
                                 ~uintptr_t(63));
}

HDC WAPI_CreateGfxContext(CGContextRef port) {
  HDC ctx = WAPI_GDP_CTX_NEW();
  if (ctx) ctx->ctx = port;
  return ctx;
}

CGContextRef WAPI_GetCtxGC(HDC ctx) { return wapiValidCtx(ctx) ? ctx->ctx : nullptr; }

void WAPI_DeleteGfxContext(HDC ctx) {
  if (!wapiValidCtx(ctx)) return;
  if (ctx->ownedAllocation) {
    CGContextRelease(ctx->ctx);
    free(ctx->ownedAllocation);
  }
  // A context without an allocation borrows its CoreGraphics context from the window system.
  CGColorRelease(ctx->textColorCG);
  memset(ctx, 0, sizeof(*ctx));

  Pools& p = pools();
  {
    std::lock_guard<std::recursive_mutex> lock(p.m_ctxpool_mutex);
    if (p.m_ctxpool_size < kCtxPoolMax) {
      ctx->inPool = 1;
      ctx->poolNext = p.m_ctxpool;
      p.m_ctxpool = ctx;
      p.m_ctxpool_size++;
      return;
    }
  }
  free(ctx);
}

HGDIOBJ SelectObject(HDC ctx, HGDIOBJ obj) {
  if (!wapiValidCtx(ctx)) return nullptr;
  if (!wapiIsHandle(obj)) {
    // A pseudo-handle empties its kind's slot.
    const int kind = int(reinterpret_cast<uintptr_t>(obj));
    GDP_OBJECT** slot = wapiCtxSlot(ctx, kind);
    if (!slot) return nullptr;
    GDP_OBJECT* prev = *slot;
    *slot = nullptr;
    return wapiObjectIs(prev, kind) ? prev : obj;
  }
  if (!selectable(obj)) return nullptr;
  GDP_OBJECT** slot = wapiCtxSlot(ctx, obj->type);
  HGDIOBJ prev = wapiObjectIs(*slot, obj->type) ? *slot
                                                : reinterpret_cast<HGDIOBJ>(uintptr_t(obj->type));
  if (prev == obj) return obj;
  *slot = obj;
  return prev;
}

void DeleteObject(HGDIOBJ obj) {
  if (!wapiIsHandle(obj) || isStock(obj) || obj->inPool) return;
  if (obj->extraRefs-- > 0) return;
  if (!wapiKnownKind(obj->type)) return;
  // A negative width marks the stock empty pen and brush.
  if ((obj->type == WAPI_GDI_PEN || obj->type == WAPI_GDI_BRUSH) && obj->width < 0) return;

  CGColorRelease(obj->color);
  CTFontRelease(obj->font);
  if (obj->type == WAPI_GDI_IMAGE && obj->width != 0 && wapiReleaseImage)
    wapiReleaseImage(obj->image);
  memset(obj, 0, sizeof(*obj));

  Pools& p = pools();
  {
    std::lock_guard<std::recursive_mutex> lock(p.m_ctxpool_mutex);
    if (p.m_objpool_size < kObjPoolMax) {
      obj->inPool = 1;
      obj->poolNext = p.m_objpool;
      p.m_objpool = obj;
      p.m_objpool_size++;
      return;
    }
  }
  free(obj);
}

HGDIOBJ WAPI_CloneGDIObject(HGDIOBJ obj) {
  if (!wapiIsHandle(obj) || obj->inPool) return nullptr;
  obj->extraRefs++;
  return obj;
}

HGDIOBJ GetStockObject(int index) {
  if (index == NULL_PEN) {
    global_objs[1].type = WAPI_GDI_PEN;
    global_objs[1].width = -1;
    return &global_objs[1];
  }
  if (index == NULL_BRUSH) {
    global_objs[0].type = WAPI_GDI_BRUSH;
    global_objs[0].width = -1;
    return &global_objs[0];
  }
  return nullptr;
}

HGDIOBJ CreatePenAlpha(int, int width, int color, float alpha) {
  GDP_OBJECT* o = GDP_OBJECT_NEW();
  if (!o) return nullptr;
  o->type = WAPI_GDI_PEN;
  o->width = width > 0 ? width : 0;
  o->color = wapiCreateColor(color, alpha);
  return o;
}

HGDIOBJ CreatePen(int style, int width, int color) {
  return CreatePenAlpha(style, width, color, 1.0f);
}

HGDIOBJ CreateSolidBrushAlpha(int color, float alpha) {
  GDP_OBJECT* o = GDP_OBJECT_NEW();
  if (!o) return nullptr;
  o->type = WAPI_GDI_BRUSH;
  o->width = 0;
  o->color = wapiCreateColor(color, alpha);
  return o;
}

HGDIOBJ CreateSolidBrush(int color) { return CreateSolidBrushAlpha(color, 1.0f); }

void SetTextColor(HDC ctx, int color) {
  if (!wapiValidCtx(ctx)) return;
  ctx->textColor = color;
  CGColorRelease(ctx->textColorCG);
  ctx->textColorCG = wapiCreateColor(color, 1.0f);
}

int GetTextColor(HDC ctx) { return wapiValidCtx(ctx) ? ctx->textColor : -1; }

void SetBkColor(HDC ctx, int color) {
  if (wapiValidCtx(ctx)) ctx->bkColor = color;
}

void SetBkMode(HDC ctx, int mode) {
  if (wapiValidCtx(ctx)) ctx->bkMode = mode;
}
