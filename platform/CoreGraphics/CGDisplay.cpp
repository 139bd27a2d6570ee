// The main display and its cursor, recorded only.
#include <CoreGraphics/CoreGraphics.h>

namespace {
int gHidden = 0;
CGPoint gCursor{0, 0};
uint32_t gButtons = 0;
CGEventFlags gFlags = 0;
bool gAssociated = true;
bool gWarpFails = false;
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

CGError CGWarpMouseCursorPosition(CGPoint p) {
  if (gWarpFails) return 1001;
  gCursor = p;
  return kCGErrorSuccess;
}

CGError CGAssociateMouseAndMouseCursorPosition(boolean_t connected) {
  gAssociated = connected != 0;
  return kCGErrorSuccess;
}

CGEventFlags CGEventSourceFlagsState(CGEventSourceStateID) {
  return gFlags;
}

void cg_standin::setCursorPosition(CGPoint p) {
  gCursor = p;
}
uint32_t cg_standin::mouseButtons() {
  return gButtons;
}
void cg_standin::setMouseButtons(uint32_t bits) {
  gButtons = bits;
}
void cg_standin::setModifierFlags(CGEventFlags flags) {
  gFlags = flags;
}
bool cg_standin::mouseAssociated() {
  return gAssociated;
}
void cg_standin::setWarpFails(bool fails) {
  gWarpFails = fails;
}
