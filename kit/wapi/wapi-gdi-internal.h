// Helpers shared by the device-context sources of this layer.
#pragma once

#include "kit/wapi/wapi-gdi.h"

// A live context: not NULL and not sitting in the pool.
bool wapiValidCtx(HDC ctx);
// Handles below WAPI_GDI_FIRST_HANDLE are pseudo-handles and never read through.
bool wapiIsHandle(HGDIOBJ obj);
// The one dispatch over object kinds: the context's slot for a selectable kind (pen, brush,
// font), NULL for any other value.
GDP_OBJECT** wapiCtxSlot(HDC ctx, int kind);
// A known kind: one that DeleteObject releases.
bool wapiKnownKind(int kind);
// A real, live object of the kind.
bool wapiObjectIs(const GDP_OBJECT* obj, int kind);
// A real, live pen or brush of the kind that draws: it has a colour and is not a stock empty one.
bool wapiDraws(const GDP_OBJECT* obj, int kind);
// Colour R << 16 | G << 8 | B with the given alpha in device RGB; NULL without a colour space.
CGColorRef wapiCreateColor(int color, float alpha);
// Image objects are made by the shape and image half of the layer, which installs the
// release of the images it owns here; without it no image object exists to release.
extern void (*wapiReleaseImage)(void* image);
