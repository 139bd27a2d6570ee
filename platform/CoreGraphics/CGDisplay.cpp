// The main display and its cursor, recorded only.
#include <CoreGraphics/CoreGraphics.h>

namespace {
int gHidden = 0;
CGPoint gCursor{0, 0};
const CGDirectDisplayID kMain = 1;
}  // namespace

CGDirectDisplayID CGMainDisplayID(void) {
  return kMain;
}
size_t CGDisplayPixelsHigh(CGDirectDisplayID d) {
  return d == kMain ? 1080 : 0;
}
size_t CGDisplayPixelsWide(CGDirectDisplayID d) {
  return d == kMain ? 1920 : 0;
}

CGError CGDisplayHideCursor(CGDirectDisplayID d) {
  if (d != kMain) return 1001;
  gHidden++;
  return kCGErrorSuccess;
}

CGError CGDisplayShowCursor(CGDirectDisplayID d) {
  if (d != kMain) return 1001;
  if (gHidden > 0) gHidden--;
  return kCGErrorSuccess;
}

CGError CGDisplayMoveCursorToPoint(CGDirectDisplayID d, CGPoint p) {
  if (d != kMain) return 1001;
  gCursor = p;
  return kCGErrorSuccess;
}

int cg_standin::cursorHideCount() {
  return gHidden;
}
CGPoint cg_standin::cursorPosition() {
  return gCursor;
}
