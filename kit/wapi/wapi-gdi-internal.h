// Helpers shared by the device-context sources of this layer.
#pragma once

#include "kit/wapi/wapi-gdi.h"

// A live context: not NULL and not sitting in the pool.
bool wapiValidCtx(HDC ctx);
// Handles below 5 are pseudo-handles and never read through.
bool wapiIsHandle(HGDIOBJ obj);
// A real, live pen, brush or font.
bool wapiSelectable(const GDP_OBJECT* obj);
// Colour R << 16 | G << 8 | B with the given alpha in device RGB; NULL without a colour space.
CGColorRef wapiCreateColor(int color, float alpha);
// Image objects are made by the shape and image half of the layer, which installs the
// release of the images it owns here; without it no image object exists to release.
extern void (*wapiReleaseImage)(void* image);
