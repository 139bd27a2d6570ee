// Private to the stand-ins: lets the text stand-in paint rendered glyph coverage through a
// bitmap context's fill colour, clip and pixel format.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

// One coverage mask (width x height bytes, rows `pitch` bytes apart, row 0 the topmost on
// screen) whose top-left pixel lands on device column `left` and on-screen row `top` (row 0 is
// the top row of the bitmap).
struct QORCGMask {
  int left, top;
  const uint8_t* coverage;
  int width, height, pitch;
};
// Paints the masks one after the other in the current fill colour, honouring the clip.
void QORCGContextPaintMasks(CGContextRef c, const QORCGMask* masks, size_t count);
bool QORCGContextGetShouldAntialias(CGContextRef c);
