// Shapes, lines, pixels, system colours and stretched copies over device contexts, drawn with
// the selected pen and brush.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kit/wapi/wapi-gdi.h"

// Polygon through the points: filled with a usable brush, stroked with a usable pen.
void WAPI_Polygon(HDC ctx, const POINT* points, int count);
// Octagon cutting each corner at a third of the ellipse width and height.
void RoundRect(HDC ctx, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
void Ellipse(HDC ctx, int left, int top, int right, int bottom);
void Rectangle(HDC ctx, int left, int top, int right, int bottom);
void MoveToEx(HDC ctx, int x, int y, POINT* previous);
void WAPI_LineTo(HDC ctx, int x, int y);
// Cubic curves from the current position, three points (two controls and an end) per curve.
void PolyBezierTo(HDC ctx, const POINT* points, int count);
void PolyPolyline(HDC ctx, const POINT* points, const int* counts, int polylineCount);
void WAPI_SetPixel(HDC ctx, int x, int y, int color);

// Fixed colours for indices 0 to 9; 0 for any other index.
int GetSysColor(int index);

// Copies between contexts; the source must be a memory context. Mode 0xDEADBEEF takes each
// source pixel's skipped byte as its (straight) alpha; any other mode draws opaquely.
void BitBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, int mode);
void StretchBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, int sw, int sh, int mode);

// Shared with the image objects: an image over w x h pixels of 8-bit channels, 4 bytes each,
// rows rowBytes apart, laid out as the bitmap info says (the bytes are not copied; NULL when
// they cannot make an image), and its drawing scaled into the top-left rectangle (x, y, w, h)
// of a context, source over, its first row at the top.
CGImageRef wapiCreateImage(const uint8_t* pixels, int w, int h, size_t rowBytes, CGBitmapInfo info);
void wapiDrawImageInRect(CGContextRef cg, CGImageRef image, double x, double y, double w, double h);
