// Rectangle fills, the dialog background and clip regions over a context's CoreGraphics state.
#include "kit/wapi/wapi-gdi-internal.h"

namespace {

CGRect cgRect(const RECT* r) {
  return CGRectMake(r->left, r->top, double((long long)r->right - r->left),
                    double((long long)r->bottom - r->top));
}

// The window background of the platform's light appearance.
constexpr int kDialogBackground = 0xECECEC;

}  // namespace

void WAPI_FillRect(HDC ctx, const RECT* r, HGDIOBJ brush) {
  if (!wapiValidCtx(ctx) || !ctx->ctx || !r || !wapiDraws(brush, WAPI_GDI_BRUSH)) return;
  CGContextSaveGState(ctx->ctx);
  CGContextSetFillColorWithColor(ctx->ctx, brush->color);
  CGContextFillRect(ctx->ctx, cgRect(r));
  CGContextRestoreGState(ctx->ctx);
}

void WAPI_FillDialogBackground(HDC ctx, const RECT* r, int) {
  if (!wapiValidCtx(ctx) || !ctx->ctx || !r) return;
  CGColorRef c = wapiCreateColor(kDialogBackground, 1.0f);
  if (!c) return;
  CGContextSaveGState(ctx->ctx);
  CGContextSetFillColorWithColor(ctx->ctx, c);
  CGContextFillRect(ctx->ctx, cgRect(r));
  CGContextRestoreGState(ctx->ctx);
  CGColorRelease(c);
}

void WAPI_PushClipRegion(HDC ctx) {
  if (wapiValidCtx(ctx) && ctx->ctx) CGContextSaveGState(ctx->ctx);
}

void WAPI_SetClipRegion(HDC ctx, const RECT* r) {
  if (wapiValidCtx(ctx) && ctx->ctx && r) CGContextClipToRect(ctx->ctx, cgRect(r));
}

void WAPI_PopClipRegion(HDC ctx) {
  if (wapiValidCtx(ctx) && ctx->ctx) CGContextRestoreGState(ctx->ctx);
}

void* GetNSImageFromHICON(HGDIOBJ icon) {
  if (!wapiObjectIs(icon, WAPI_GDI_IMAGE)) return nullptr;
  return icon->image;
}
