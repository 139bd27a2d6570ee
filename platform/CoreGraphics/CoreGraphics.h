// CoreGraphics stand-in: the bitmap context, colours, paths, images and the graphics-state calls
// that the device-context layer and the text path use. Drawing is done in software into the
// caller's pixel buffer; rectangles, clips and images honour axis-aligned transforms (translate
// and scale) only.
#pragma once

#include <cstddef>
#include <cstdint>

typedef double CGFloat;

struct CGPoint {
  CGFloat x;
  CGFloat y;
};
struct CGSize {
  CGFloat width;
  CGFloat height;
};
struct CGRect {
  CGPoint origin;
  CGSize size;
};
struct CGAffineTransform {
  CGFloat a, b, c, d, tx, ty;
};

inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
  return CGRect{{x, y}, {w, h}};
}
inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return CGPoint{x, y}; }
inline CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d,
                                               CGFloat tx, CGFloat ty) {
  return CGAffineTransform{a, b, c, d, tx, ty};
}
extern const CGAffineTransform CGAffineTransformIdentity;
CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t);
// t1 then t2.
CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
// The transform undone; a singular one comes back unchanged.
CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);

typedef struct CGContext* CGContextRef;
typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGColor* CGColorRef;

typedef uint32_t CGBitmapInfo;
enum CGImageAlphaInfo : uint32_t {
  kCGImageAlphaNone = 0,
  kCGImageAlphaPremultipliedLast = 1,
  kCGImageAlphaPremultipliedFirst = 2,
  kCGImageAlphaLast = 3,
  kCGImageAlphaFirst = 4,
  kCGImageAlphaNoneSkipLast = 5,
  kCGImageAlphaNoneSkipFirst = 6,
};
enum : uint32_t {
  kCGBitmapAlphaInfoMask = 0x1F,
  kCGBitmapByteOrderMask = 0x7000,
  kCGBitmapByteOrderDefault = 0,
  kCGBitmapByteOrder32Little = 2 << 12,
  kCGBitmapByteOrder32Big = 4 << 12,
};

// Colour spaces: only device RGB exists.
CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
void CGColorSpaceRelease(CGColorSpaceRef space);

// components: red, green, blue, alpha.
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components);
CGColorRef CGColorRetain(CGColorRef color);
void CGColorRelease(CGColorRef color);
const CGFloat* CGColorGetComponents(CGColorRef color);
CGFloat CGColorGetAlpha(CGColorRef color);

// A bitmap context over caller memory: 8 bits per component, 4 bytes per pixel, device RGB.
// Answers NULL for anything else, for a NULL buffer, or for rows too short for the width.
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height,
                                   size_t bitsPerComponent, size_t bytesPerRow,
                                   CGColorSpaceRef space, uint32_t bitmapInfo);
void* CGBitmapContextGetData(CGContextRef c);
size_t CGBitmapContextGetWidth(CGContextRef c);
size_t CGBitmapContextGetHeight(CGContextRef c);
size_t CGBitmapContextGetBytesPerRow(CGContextRef c);
CGContextRef CGContextRetain(CGContextRef c);
void CGContextRelease(CGContextRef c);

void CGContextSaveGState(CGContextRef c);
void CGContextRestoreGState(CGContextRef c);
void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy);
CGAffineTransform CGContextGetCTM(CGContextRef c);
// Window levels by key: 3 normal 0, 5 floating 3, 8 modal panel 8, 11 pop-up menu 101,
// 19 screen saver 1000; other keys 0.
int32_t CGWindowLevelForKey(int32_t key);
// t first, then the current transform.
void CGContextConcatCTM(CGContextRef c, CGAffineTransform t);
void CGContextClipToRect(CGContextRef c, CGRect rect);
CGRect CGContextGetClipBoundingBox(CGContextRef c);
void CGContextSetShouldAntialias(CGContextRef c, bool shouldAntialias);

void CGContextSetRGBFillColor(CGContextRef c, CGFloat r, CGFloat g, CGFloat b, CGFloat a);
void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef color);
void CGContextFillRect(CGContextRef c, CGRect rect);

void CGContextSetStrokeColorWithColor(CGContextRef c, CGColorRef color);
// Negative or non-finite widths are ignored.
void CGContextSetLineWidth(CGContextRef c, CGFloat width);

// The current path. Points go through the CTM when they are added; drawing the path consumes
// it. Fills use the non-zero winding rule; strokes have butt ends and bevelled joins, at the
// line width in user space; curves and ellipses are drawn as short straight pieces.
enum CGPathDrawingMode : int32_t {
  kCGPathFill = 0,
  kCGPathStroke = 2,
  kCGPathFillStroke = 3,
};
void CGContextBeginPath(CGContextRef c);
void CGContextMoveToPoint(CGContextRef c, CGFloat x, CGFloat y);
// Lines and curves need a current point; without one they are ignored.
void CGContextAddLineToPoint(CGContextRef c, CGFloat x, CGFloat y);
void CGContextAddCurveToPoint(CGContextRef c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x,
                              CGFloat cp2y, CGFloat x, CGFloat y);
void CGContextClosePath(CGContextRef c);
void CGContextAddRect(CGContextRef c, CGRect rect);
void CGContextAddEllipseInRect(CGContextRef c, CGRect rect);
void CGContextStrokePath(CGContextRef c);
void CGContextDrawPath(CGContextRef c, CGPathDrawingMode mode);
// Replaces the current path by count / 2 segments (points 0-1, 2-3, ...) and strokes them.
void CGContextStrokeLineSegments(CGContextRef c, const CGPoint points[], size_t count);

// Images over caller memory: the data provider refers to the bytes without copying them; the
// release callback, when given, runs when the last reference goes.
typedef struct CGDataProvider* CGDataProviderRef;
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);
CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData);
void CGDataProviderRelease(CGDataProviderRef provider);

typedef struct CGImage* CGImageRef;
enum CGColorRenderingIntent : int32_t { kCGRenderingIntentDefault = 0 };
// 8 bits per component and 32 bits per pixel, with straight alpha or a skipped byte (first or
// last, either byte order). NULL for anything else, or when the provider holds fewer bytes than
// the rows need. Decode arrays, interpolation and intent are not used.
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent,
                         size_t bitsPerPixel, size_t bytesPerRow, CGColorSpaceRef space,
                         CGBitmapInfo bitmapInfo, CGDataProviderRef provider,
                         const CGFloat* decode, bool shouldInterpolate,
                         CGColorRenderingIntent intent);
void CGImageRelease(CGImageRef image);
// An image of the context's pixels. It shares the context's bytes (and keeps the context):
// draw it before drawing into the context again.
CGImageRef CGBitmapContextCreateImage(CGContextRef c);
// Scales the image into the rectangle, its first row along the rectangle's edge of greatest y,
// source over; each pixel takes the image pixel under its centre. Only the clip box is visited;
// an image without alpha that lands pixel for pixel is copied row by row.
void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image);

void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t);
CGAffineTransform CGContextGetTextMatrix(CGContextRef c);
void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y);
CGPoint CGContextGetTextPosition(CGContextRef c);

// The displays and the cursor: one main display, whose cursor state is only recorded.
typedef uint32_t CGDirectDisplayID;
typedef int32_t CGError;
enum : CGError { kCGErrorSuccess = 0 };
CGDirectDisplayID CGMainDisplayID(void);
size_t CGDisplayPixelsHigh(CGDirectDisplayID display);
size_t CGDisplayPixelsWide(CGDirectDisplayID display);
CGError CGDisplayHideCursor(CGDirectDisplayID display);
CGError CGDisplayShowCursor(CGDirectDisplayID display);
CGError CGDisplayMoveCursorToPoint(CGDirectDisplayID display, CGPoint point);

// Moves the cursor (and the mouse location the events report) to a point in display
// coordinates, origin at the top left; fails while the test says warping fails.
CGError CGWarpMouseCursorPosition(CGPoint point);
// Whether mouse movement moves the cursor (recorded only).
typedef uint32_t boolean_t;
CGError CGAssociateMouseAndMouseCursorPosition(boolean_t connected);

// The modifier keys held now (the bits of the events' modifier flags).
typedef uint64_t CGEventFlags;
typedef int32_t CGEventSourceStateID;
enum : CGEventSourceStateID { kCGEventSourceStateCombinedSessionState = 0 };
CGEventFlags CGEventSourceFlagsState(CGEventSourceStateID state);

namespace cg_standin {
// Hide calls minus show calls (the system counts them), and where the cursor was last moved.
int cursorHideCount();
CGPoint cursorPosition();
// The input state the events of the AppKit stand-in keep: the mouse in display coordinates,
// the buttons held (bit 0 left, 1 right, 2 other) and the modifier flags held.
void setCursorPosition(CGPoint p);
uint32_t mouseButtons();
void setMouseButtons(uint32_t bits);
void setModifierFlags(CGEventFlags flags);
// Whether the mouse moves the cursor; and a test's switch that makes warping fail.
bool mouseAssociated();
void setWarpFails(bool fails);
}  // namespace cg_standin
