// Key events as virtual keys and flags, Shift-digit characters, the asynchronous key state and
// right-click emulation.
#include <gtest/gtest.h>

#include "kit/wapi/wapi-input.h"
#include "kit/wapi/wapi-internal.h"

#include <CoreGraphics/CoreGraphics.h>

namespace {

constexpr NSEventModifierFlags kShift = NSShiftKeyMask, kCtrl = NSControlKeyMask, kOpt = NSAlternateKeyMask,
                               kCmd = NSCommandKeyMask;

NSEvent* key(unsigned short code, const char* chars, const char* ignoring, NSEventModifierFlags mods,
             NSEventType type = NSKeyDown) {
  return NSEvent::keyEventWithType(type, NSMakePoint(0, 0), mods, 0, 0, nullptr, NSString::stringWithUTF8String(chars),
                                   NSString::stringWithUTF8String(ignoring), false, code);
}

class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override { NSApplicationLoad(); }
  void TearDown() override {
    WAPI_EnableRightClickEmulate(true);
    ns_standin::drainLoopPool();
  }
};

}  // namespace

TEST_F(Keyboard, KeyEventsGiveTheVirtualKeyAndFlagsOfTheTableOrTheCharacterRules) {
  struct Case {
    const char* what;
    unsigned short code;
    const char* chars;
    const char* ignoring;
    NSEventModifierFlags mods;
    int mode;
    bool emulate;
    int key, flags;
  } cases[] = {
      {"Shift-A", 0, "A", "a", kShift, 0, true, 65, FVIRTKEY | FSHIFT},
      {"typed plus", 24, "+", "+", kShift, 0, true, '+', 0},
      {"keypad Enter", 76, "\x03", "\x03", 0, 0, true, 0x800D, FVIRTKEY},
      {"Return", 36, "\r", "\r", 0, 0, true, 13, FVIRTKEY},
      {"Shift-Tab as back-tab", 48, "\x19", "\x19", kShift, 0, true, 9, FVIRTKEY | FSHIFT},
      {"back-tab without Shift", 48, "\x19", "\x19", 0, 0, true, 0x19, 0},
      {"Escape", 53, "\x1b", "\x1b", 0, 0, true, 27, FVIRTKEY},
      {"space with Shift", 49, " ", " ", kShift, 0, true, 32, FVIRTKEY | FSHIFT},
      {"no characters, no entry", 130, "", "", 0, 0, true, 130 + 1024, FVIRTKEY},
      {"no characters below the table", 50, "", "", 0, 0, true, 50 + 1024, FVIRTKEY},
      {"in the table's range, no entry", 52, "x", "x", 0, 0, true, 'X', FVIRTKEY},
      {"Control-A, emulation on", 0, "\x01", "a", kCtrl, 0, true, 65, FVIRTKEY},
      {"Control-A, emulation off", 0, "\x01", "a", kCtrl, 0, false, 65, FVIRTKEY | WAPI_FCTRLKEY},
      {"Command-Option-F5", 96, "\xef\x9c\x88", "\xef\x9c\x88", kCmd | kOpt, 0, true, 116, FVIRTKEY | FCONTROL | FALT},
      {"forward Delete", 117, "", "", 0, 0, true, 46, FVIRTKEY},
      {"up arrow", 126, "", "", 0, 0, true, 38, FVIRTKEY},
      {"keypad 8 past the gap", 91, "8", "8", 0, 0, true, 104, FVIRTKEY},
      {"letter beyond ASCII", 41, "\xc3\xa9", "\xc3\xa9", 0, 0, true, 0xE9, FVIRTKEY},
      {"Option-s, mode 0 takes the plain key", 1, "\xc3\x9f", "s", kOpt, 0, true, 'S', FVIRTKEY | FALT},
      {"Option-s, mode 1 takes the typed letter", 1, "\xc3\x9f", "s", kOpt, 1, true, 0xDF, FVIRTKEY | FALT},
      {"Option-Shift-2, mode 1, a sign", 19, "\xe2\x82\xac", "2", kOpt | kShift, 1, true, 0x20AC, FALT},
      {"mode 1 with empty characters falls to the plain key", 0, "", "a", 0, 1, true, 'A', FVIRTKEY},
      {"a character outside the basic plane gives its first unit", 0, "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80", 0, 0,
       true, 0xD83D, 0},
      // No keyboard layout functions here: the lookup gives 0.
      {"mode 1 without characters and layout", 130, "", "", kShift, 1, true, 130 + 1024, FVIRTKEY | FSHIFT},
  };
  for (const Case& c : cases) {
    WAPI_EnableRightClickEmulate(c.emulate);
    int flags = -1;
    EXPECT_EQ(WAPI_MacKeyToWindowsKeyEx(key(c.code, c.chars, c.ignoring, c.mods), &flags, c.mode), c.key) << c.what;
    EXPECT_EQ(flags, c.flags) << c.what;
    if (c.mode == 0) {
      EXPECT_EQ(WAPI_MacKeyToWindowsKey(key(c.code, c.chars, c.ignoring, c.mods), nullptr), c.key) << c.what;
    }
  }
}

TEST_F(Keyboard, ANullEventGivesNothingAndFlagsStayUntouched) {
  int flags = -7;
  EXPECT_EQ(WAPI_MacKeyToWindowsKey(nullptr, &flags), 0);
  EXPECT_EQ(WAPI_MacKeyToWindowsKeyEx(nullptr, &flags, 1), 0) << "no current event outside event handling";
  EXPECT_EQ(flags, -7);
}

TEST_F(Keyboard, ShiftWithADigitGivesItsCharacterOnlyForExactlyVirtualAndShift) {
  struct Case {
    int code, flags, result, newFlags;
  } cases[] = {
      {'2', 5, '@', 0}, {'0', 5, ')', 0}, {'9', 5, '(', 0},   {'6', 5, '^', 0},
      {'2', 4, 0, 99},  {'2', 1, 0, 99},  {'2', 13, 0, 99},   {'A', 5, 0, 99},
      {'/', 5, 0, 99},  {':', 5, 0, 99},
  };
  for (const Case& c : cases) {
    int newFlags = 99;
    EXPECT_EQ(WAPI_KeyToASCII(c.code, c.flags, &newFlags), c.result) << char(c.code) << " " << c.flags;
    EXPECT_EQ(newFlags, c.newFlags) << char(c.code) << " " << c.flags;
  }
  EXPECT_EQ(WAPI_KeyToASCII('1', 5, nullptr), '!');
}

TEST_F(Keyboard, AsyncKeyStateFollowsTheButtonsAndModifiersTheEventsLeaveHeld) {
  NSWindow* w = static_cast<NSWindow*>(NSWindow::class_()->alloc());
  w->initWithContentRect(NSMakeRect(0, 0, 100, 100), NSTitledWindowMask, NSBackingStoreBuffered, false);
  auto mouse = [&](NSEventType t, NSEventModifierFlags mods) {
    NSEvent::mouseEventWithType(t, NSMakePoint(5, 5), mods, 0, w->windowNumber(), nullptr, 0, 1, 1);
  };
  const int keys[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, 'A', 3};
  struct Step {
    const char* what;
    NSEventType type;
    NSEventModifierFlags mods;
    bool emulate;
    int down[9];
  } steps[] = {
      {"left down with Shift", NSLeftMouseDown, kShift, true, {1, 0, 0, 1, 0, 0, 0, 0, 0}},
      {"right down, Command", NSRightMouseDown, kCmd, true, {1, 1, 0, 0, 1, 0, 0, 0, 0}},
      {"other down, Option", NSOtherMouseDown, kOpt, true, {1, 1, 1, 0, 0, 1, 0, 0, 0}},
      {"left up, Control while emulating", NSLeftMouseUp, kCtrl, true, {0, 1, 1, 0, 0, 0, 0, 0, 0}},
      {"right up, Control without emulation", NSRightMouseUp, kCtrl, false, {0, 0, 1, 0, 0, 0, 1, 0, 0}},
      {"other up", NSOtherMouseUp, 0, false, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Step& s : steps) {
    WAPI_EnableRightClickEmulate(s.emulate);
    mouse(s.type, s.mods);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(GetAsyncKeyState(keys[i]), s.down[i] ? 0x8000 : 0) << s.what << " key " << keys[i];
  }
  // A key event leaves its modifiers held as well.
  key(0, "a", "a", kShift | kOpt);
  EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0x8000);
  EXPECT_EQ(GetAsyncKeyState(VK_MENU), 0x8000);
  key(0, "a", "a", 0);
  EXPECT_EQ(GetAsyncKeyState(VK_SHIFT), 0);
  w->close();
  w->release();
}

TEST_F(Keyboard, RightClickEmulationStartsOnAndFollowsTheSwitch) {
  EXPECT_TRUE(IsRightClickEmulateEnabled());
  WAPI_EnableRightClickEmulate(false);
  EXPECT_FALSE(IsRightClickEmulateEnabled());
  WAPI_EnableRightClickEmulate(true);
  EXPECT_TRUE(IsRightClickEmulateEnabled());
}
