// Private to the stand-ins: lets the text stand-in paint rendered glyph coverage through a
// bitmap context's fill colour, clip and pixel format.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

// Paints a coverage mask (width x height bytes, rows `pitch` bytes apart, row 0 the topmost on
// screen) whose top-left pixel lands on device column `left` and on-screen row `top` (row 0 is
// the top row of the bitmap). Uses the current fill colour; honours the clip.
void QORCGContextPaintMask(CGContextRef c, int left, int top, const uint8_t* coverage,
                           int width, int height, int pitch);
bool QORCGContextGetShouldAntialias(CGContextRef c);
