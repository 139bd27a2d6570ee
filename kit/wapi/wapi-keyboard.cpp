// Platform key events as Windows virtual keys and key flags, the asynchronous key state and the
// right-click emulation switch.
#include "kit/wapi/wapi-input.h"

#include "kit/wapi/wapi-internal.h"

#include <Carbon/Carbon.h>
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/NSFormatter.h>

namespace {

// On at start: a Control-click is a right click and Control is no modifier.
bool s_rightclickemulate = true;

// Platform key codes 51..126 that have a virtual key of their own; 0 for the rest.
constexpr int kFirstTableKey = 51, kLastTableKey = 126;
struct KeyTable {
  int code[kLastTableKey - kFirstTableKey + 1] = {};
  constexpr KeyTable() {
    struct Entry {
      int key, vk;
    };
    constexpr Entry entries[] = {
        {51, 8},    {65, 110},  {67, 106},  {69, 107},  {71, 144},  {75, 111},  {76, 0x800D}, {78, 109},
        {81, 108},  {82, 96},   {83, 97},   {84, 98},   {85, 99},   {86, 100},  {87, 101},    {88, 102},
        {89, 103},  {91, 104},  {92, 105},  {122, 112}, {120, 113}, {99, 114},  {118, 115},   {96, 116},
        {97, 117},  {98, 118},  {100, 119}, {101, 120}, {109, 121}, {103, 122}, {111, 123},   {105, 44},
        {114, 45},  {115, 36},  {116, 33},  {117, 46},  {119, 35},  {121, 34},  {123, 37},    {124, 39},
        {125, 40},  {126, 38},
    };
    for (const Entry& e : entries) code[e.key - kFirstTableKey] = e.vk;
  }
};
constexpr KeyTable kKeyTable;

int modifiersOf(NSEventModifierFlags m) {
  int flags = 0;
  if (m & NSShiftKeyMask) flags |= FSHIFT;
  if (m & NSCommandKeyMask) flags |= FCONTROL;
  if (m & NSAlternateKeyMask) flags |= FALT;
  if ((m & NSControlKeyMask) && !s_rightclickemulate) flags |= WAPI_FCTRLKEY;
  return flags;
}

// The keyboard layout's character for a key pressed alone, through the layout functions when
// the system has them (looked up once by name); 0 without them.
typedef void* (*CopyInputSourceFn)();
typedef void* (*GetInputSourcePropertyFn)(void* source, CFStringRef key);
typedef OSStatus (*KeyTranslateFn)(const void* layout, UInt16 keyCode, UInt16 action, UInt32 modifiers,
                                   UInt32 keyboardType, UInt32 options, UInt32* deadKeyState, size_t maxLength,
                                   size_t* actualLength, unsigned short* chars);
typedef UInt8 (*KbdTypeFn)();

struct LayoutFunctions {
  CopyInputSourceFn copySource = nullptr;
  GetInputSourcePropertyFn property = nullptr;
  KeyTranslateFn translate = nullptr;
  KbdTypeFn kbdType = nullptr;
  bool complete() const { return copySource && property && translate && kbdType; }
};

const LayoutFunctions& layoutFunctions() {
  static const LayoutFunctions fns = [] {
    LayoutFunctions f;
    CFBundleRef carbon = CFBundleGetBundleWithIdentifier(CFSTR("com.apple.Carbon"));
    if (!carbon) return f;
    f.copySource = reinterpret_cast<CopyInputSourceFn>(
        CFBundleGetFunctionPointerForName(carbon, CFSTR("TISCopyCurrentKeyboardInputSource")));
    f.property = reinterpret_cast<GetInputSourcePropertyFn>(
        CFBundleGetFunctionPointerForName(carbon, CFSTR("TISGetInputSourceProperty")));
    f.translate =
        reinterpret_cast<KeyTranslateFn>(CFBundleGetFunctionPointerForName(carbon, CFSTR("UCKeyTranslate")));
    f.kbdType = reinterpret_cast<KbdTypeFn>(CFBundleGetFunctionPointerForName(carbon, CFSTR("LMGetKbdType")));
    return f;
  }();
  return fns;
}

int layoutCharacter(unsigned short keyCode) {
  const LayoutFunctions& f = layoutFunctions();
  if (!f.complete()) return 0;
  void* source = f.copySource();
  if (!source) return 0;
  auto* data = static_cast<CFDataRef>(f.property(source, CFSTR("TISPropertyUnicodeKeyLayoutData")));
  int result = 0;
  if (data && CFDataGetLength(data) > 0) {
    const void* layout = CFDataGetBytePtr(data);
    UInt32 dead = 0;
    unsigned short chars[255];
    size_t n = 0;
    const UInt16 kKeyDown = 0;
    OSStatus st = f.translate(layout, keyCode, kKeyDown, 0, f.kbdType(), 0, &dead, 255, &n, chars);
    // A dead key gives its accent when followed by a space.
    if (st == 0 && n == 0 && dead) st = f.translate(layout, 49, kKeyDown, 0, f.kbdType(), 0, &dead, 255, &n, chars);
    if (st == 0 && n > 0) result = chars[0];
  }
  CFRelease(source);
  return result;
}

}  // namespace

bool IsRightClickEmulateEnabled() {
  return s_rightclickemulate;
}

void WAPI_EnableRightClickEmulate(bool on) {
  s_rightclickemulate = on;
}

int WAPI_MacKeyToWindowsKey(NSEvent* event, int* flags) {
  if (!event) return 0;
  return WAPI_MacKeyToWindowsKeyEx(event, flags, 0);
}

int WAPI_MacKeyToWindowsKeyEx(NSEvent* event, int* flags, int mode) {
  if (!event) event = NSApp->currentEvent();
  if (!event) return 0;
  const int mods = modifiersOf(event->modifierFlags());
  const unsigned short keyCode = event->keyCode() & 0xFFFF;
  int answerFlags = mods | FVIRTKEY;
  int code = 0;
  if (keyCode >= kFirstTableKey && keyCode <= kLastTableKey && kKeyTable.code[keyCode - kFirstTableKey]) {
    code = kKeyTable.code[keyCode - kFirstTableKey];
  } else {
    NSString* text = nullptr;
    if (mode == 1 && event->characters() && event->characters()->length() > 0) text = event->characters();
    if (!text) text = event->charactersIgnoringModifiers();
    if (text && text->length() > 0) {
      code = text->characterAtIndex(0);
      if (code >= 'a' && code <= 'z') code += 'A' - 'a';
      if ((mods & FSHIFT) && code == 0x19) code = 9;  // back-tab
      const bool named = code == 9 || code == 10 || code == 13 || code == 27 || code == 32;
      if (!named && !NSCharacterSet::alphanumericCharacterSet()->characterIsMember(unichar32(code)))
        answerFlags = mods & ~FSHIFT;  // a typed character: Shift made it already
    } else if (int typed = mode == 1 ? layoutCharacter(keyCode) : 0) {
      code = typed;
      answerFlags = mods & ~FSHIFT;
    } else {
      code = keyCode + 1024;
    }
  }
  if (flags) *flags = answerFlags;
  return code;
}

int WAPI_KeyToASCII(int code, int flags, int* newFlags) {
  static const char kShiftedDigits[] = ")!@#$%^&*(";
  if (code < '0' || code > '9' || flags != (FVIRTKEY | FSHIFT)) return 0;
  if (newFlags) *newFlags = 0;
  return kShiftedDigits[code - '0'];
}

int GetAsyncKeyState(int key) {
  bool down = false;
  if (key == VK_LBUTTON || key == VK_RBUTTON || key == VK_MBUTTON) {
    const UInt32 buttons = GetCurrentEventButtonState();
    down = (key == VK_LBUTTON && (buttons & 1)) || (key == VK_RBUTTON && (buttons & 2)) ||
           (key == VK_MBUTTON && (buttons & 4));
  } else {
    const CGEventFlags m = CGEventSourceFlagsState(kCGEventSourceStateCombinedSessionState);
    down = (key == VK_SHIFT && (m & NSShiftKeyMask)) || (key == VK_CONTROL && (m & NSCommandKeyMask)) ||
           (key == VK_MENU && (m & NSAlternateKeyMask)) ||
           (key == VK_LWIN && (m & NSControlKeyMask) && !s_rightclickemulate);
  }
  return down ? 0x8000 : 0;
}
