// The clipboard: format ids, text through the general pasteboard, private formats through
// their own pasteboard, enumeration, and who frees which handle.
#include <gtest/gtest.h>

#include "kit/wapi/wapi-clipboard.h"

#include <AppKit/AppKit.h>

#include <cstring>
#include <string>

namespace {

HANDLE handleOf(const void* bytes, int size) {
  HANDLE h = GlobalAlloc(0, size);
  std::memcpy(GlobalLock(h), bytes, size_t(size));
  GlobalUnlock(h);
  return h;
}

std::string bytesOf(HANDLE h) {
  const char* p = static_cast<const char*>(GlobalLock(h));
  std::string s(p, size_t(GlobalSize(h)));
  GlobalUnlock(h);
  return s;
}

UINT text() {
  return RegisterClipboardFormat(WAPI_CF_TEXT_NAME);
}

TEST(Clipboard, FormatsKeepTheirIds) {
  const UINT a = RegisterClipboardFormat("QOR Patch");
  EXPECT_GE(a, 1u);
  EXPECT_EQ(RegisterClipboardFormat("QOR Patch"), a);
  EXPECT_EQ(RegisterClipboardFormat("QOR Bank"), a + 1);
  EXPECT_EQ(text(), text());
  EXPECT_NE(text(), a);
}

TEST(Clipboard, TextRoundTripsThroughTheGeneralPasteboard) {
  const std::string utf8 = "Grüße — Patch ♪";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  // Without its terminating zero: the size decides.
  SetClipboardData(text(), handleOf(utf8.data(), int(utf8.size())));
  CloseClipboard();
  NSString* general = NSPasteboard::generalPasteboard()->stringForType(NSStringPboardType);
  ASSERT_NE(general, nullptr);
  EXPECT_EQ(std::string(general->UTF8String()), utf8);

  OpenClipboard(nullptr);
  HANDLE got = GetClipboardData(text());
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(bytesOf(got), utf8 + '\0') << "terminated, its size counting the zero";
  EXPECT_EQ(GetClipboardData(0), nullptr);
  EXPECT_EQ(GetClipboardData(9999), nullptr);
  CloseClipboard();  // frees got (AddressSanitizer sees a second free otherwise)
}

TEST(Clipboard, APrivateFormatAloneTravelsOnItsOwnPasteboard) {
  const UINT patch = RegisterClipboardFormat("QOR Patch");
  const UINT bank = RegisterClipboardFormat("QOR Bank");
  const char bytes[] = {'\xF0', 0x42, 0, '\xF7'};
  OpenClipboard(nullptr);
  EmptyClipboard();
  SetClipboardData(patch, handleOf(bytes, 4));
  SetClipboardData(bank, handleOf(bytes, 2));
  SetClipboardData(patch, handleOf(bytes, 1));  // a repeat
  SetClipboardData(99999, handleOf(bytes, 1));  // not registered: skipped, still freed
  CloseClipboard();
  NSPasteboard* mine = NSPasteboard::pasteboardWithName("WAPI_APP");
  EXPECT_EQ(mine->types(), (std::vector<std::string>{"QOR Patch", "QOR Bank", "QOR Patch"}));

  OpenClipboard(nullptr);
  EXPECT_EQ(EnumClipboardFormats(0), patch);
  EXPECT_EQ(EnumClipboardFormats(patch), bank) << "repeats are listed once";
  EXPECT_EQ(EnumClipboardFormats(bank), 0u) << "the last gives 0";
  EXPECT_EQ(EnumClipboardFormats(text()), 0u) << "a format not listed gives 0";
  HANDLE got = GetClipboardData(patch);
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(bytesOf(got), std::string(bytes, 1)) << "the last record of a type wins";
  ASSERT_NE(GetClipboardData(bank), nullptr);
  EXPECT_EQ(bytesOf(GetClipboardData(bank)), std::string(bytes, 2));
  CloseClipboard();
}

TEST(Clipboard, TextTakesAPrivateFormatToTheGeneralPasteboard) {
  const UINT patch = RegisterClipboardFormat("QOR Patch");
  // The private pasteboard first holds nothing of ours.
  NSPasteboard::pasteboardWithName("WAPI_APP")->declareTypes({}, nullptr);
  OpenClipboard(nullptr);
  EXPECT_EQ(EnumClipboardFormats(0), 0u) << "an empty list gives 0";
  EmptyClipboard();
  SetClipboardData(patch, handleOf("\x01\x02", 2));
  SetClipboardData(text(), handleOf("both", 5));
  CloseClipboard();
  NSPasteboard* general = NSPasteboard::generalPasteboard();
  EXPECT_EQ(general->types(), (std::vector<std::string>{"QOR Patch", NSStringPboardType}));
  ASSERT_NE(general->dataForType("QOR Patch"), nullptr);

  OpenClipboard(nullptr);
  HANDLE t = GetClipboardData(text());
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(t)), "both");
  GlobalUnlock(t);
  EXPECT_EQ(GetClipboardData(patch), nullptr) << "only the text reads back";
  CloseClipboard();
}

TEST(Clipboard, RecordsNeverClosedAreFreedByTheNextOpen) {
  OpenClipboard(nullptr);
  EmptyClipboard();
  SetClipboardData(text(), handleOf("kept", 4));
  CloseClipboard();
  OpenClipboard(nullptr);
  SetClipboardData(text(), handleOf("dropped", 7));
  OpenClipboard(nullptr);  // frees the pending handle
  CloseClipboard();        // nothing pending: the pasteboards keep what they hold
  EXPECT_EQ(std::string(NSPasteboard::generalPasteboard()->stringForType(NSStringPboardType)->UTF8String()), "kept");
}

TEST(Clipboard, AHandleReadAndSetAgainIsWrittenAndFreedOnce) {
  OpenClipboard(nullptr);
  EmptyClipboard();
  SetClipboardData(text(), handleOf("again", 6));
  CloseClipboard();
  OpenClipboard(nullptr);
  HANDLE got = GetClipboardData(text());
  ASSERT_NE(got, nullptr);
  EmptyClipboard();
  NSPasteboard::generalPasteboard()->declareTypes({}, nullptr);
  SetClipboardData(text(), got);  // the clipboard's own handle, handed back
  CloseClipboard();               // (AddressSanitizer sees a read after free and a second free otherwise)
  NSString* general = NSPasteboard::generalPasteboard()->stringForType(NSStringPboardType);
  ASSERT_NE(general, nullptr);
  EXPECT_STREQ(general->UTF8String(), "again");
}

}  // namespace
