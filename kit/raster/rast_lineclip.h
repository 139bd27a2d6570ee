// Segment clipping for the line drawers: integer and float Cohen-Sutherland clippers against a
// width x height area at the origin, and public forms against any box.
#pragma once

// Clips (x1, y1)-(x2, y2) to 0 <= x < width, 0 <= y < height. True when something remains; the
// four coordinates are written back either way (after false they are of no use).
bool ClipLine(int* x1, int* y1, int* x2, int* y2, int width, int height);

// 64-bit form of ClipLine, used wherever coordinates may come from a flip or an offset that
// would overflow 32 bits.
namespace rast {
bool ClipLine64(long long* x1, long long* y1, long long* x2, long long* y2, long long width, long long height);
}

// Float clipper for the anti-aliased float line: keeps the ends off the last column and row, so
// the second pixel of every coverage pair stays inside. Non-finite coordinates are rejected.
bool ClipFLine(float* x1, float* y1, float* x2, float* y2, int width, int height);

// Clip to the box left <= x < right, top <= y < bottom.
bool RAST_ClipLine(int* x1, int* y1, int* x2, int* y2, int left, int top, int right, int bottom);
bool RAST_ClipFLine(float* x1, float* y1, float* x2, float* y2, float left, float top, float right,
                    float bottom);
