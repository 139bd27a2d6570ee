// Foreground and text-view equivalence, enabling, scrolling children, closing, and reading
// dropped-file blocks and gesture records.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi.h"

#include <cstring>
#include <string>

namespace {

class WindowState : public WindowTest {};

// A block as the view makes it: header, then the names, then the empty name.
HANDLE dropBlock(const std::vector<std::string>& names, int x, int y, bool closed = true) {
  std::string list;
  for (const std::string& n : names) list += n + '\0';
  if (closed) list += '\0';
  const int size = 16 + int(list.size());
  auto* block = static_cast<char*>(GlobalAlloc(0, size));
  const int32_t header[4] = {16, x, y, 0};
  std::memcpy(block, header, 16);
  std::memcpy(block + 16, list.data(), list.size());
  return block;
}

TEST_F(WindowState, DragQueryFileCountsCopiesAndStopsAtTheList) {
  HANDLE drop = dropBlock({"a", "bc"}, 12, -7);
  char buf[8];
  struct Case {
    UINT index;
    UINT size;
    bool withBuffer;
    UINT result;
    const char* copied;
  } cases[] = {
      {0xFFFFFFFF, 0, false, 2, nullptr}, {1, 2, true, 1, "b"}, {1, 8, true, 2, "bc"},
      {1, 0, false, 2, nullptr},          {0, 8, true, 1, "a"}, {2, 8, true, 0, nullptr},
  };
  for (const Case& c : cases) {
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(DragQueryFile(drop, c.index, c.withBuffer ? buf : nullptr, c.size), c.result) << c.index;
    if (c.copied) {
        EXPECT_STREQ(buf, c.copied) << c.index;
    }
  }
  POINT p{};
  EXPECT_TRUE(DragQueryPoint(drop, &p));
  EXPECT_EQ(p.x, 12);
  EXPECT_EQ(p.y, -7);
  EXPECT_EQ(DragQueryFile(nullptr, 0xFFFFFFFF, nullptr, 0), 0u);
  EXPECT_FALSE(DragQueryPoint(nullptr, &p));
  GlobalFree(drop);

  // A list without its closing name, or an offset outside the block, reads nothing beyond it.
  HANDLE open = dropBlock({"abc"}, 0, 0, false);
  auto* last = static_cast<char*>(open) + GlobalSize(open) - 1;
  *last = 'z';  // the last name loses its terminator
  EXPECT_EQ(DragQueryFile(open, 0xFFFFFFFF, nullptr, 0), 0u);
  int32_t far = 1 << 20;
  std::memcpy(open, &far, 4);
  EXPECT_EQ(DragQueryFile(open, 0, buf, sizeof buf), 0u);
  GlobalFree(open);
}

TEST_F(WindowState, ScrollWindowMovesEveryChild) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, LoggingProc);
  NSButton* a = addControl<NSButton>(content, 1, NSMakeRect(10, 10, 20, 20));
  NSButton* b = addControl<NSButton>(content, 2, NSMakeRect(50, 60, 20, 20));
  EXPECT_FALSE(ScrollWindow(H(content), 0, 0, nullptr, nullptr));
  EXPECT_EQ(a->frame().origin.x, 10);
  EXPECT_TRUE(ScrollWindow(H(w), 5, -3, nullptr, nullptr)) << "a window stands for its content view";
  EXPECT_EQ(a->frame().origin.x, 15);
  EXPECT_EQ(a->frame().origin.y, 7);
  EXPECT_EQ(b->frame().origin.x, 55);
  EXPECT_EQ(b->frame().origin.y, 57);
  EXPECT_TRUE(content->needsDisplay());
  EXPECT_FALSE(ScrollWindow(nullptr, 1, 1, nullptr, nullptr));
}

TEST_F(WindowState, AFieldAndItsEditorAreEquivalent) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* content = makeView(nullptr, w, LoggingProc);
  NSTextField* field = addControl<NSTextField>(content, 4, NSMakeRect(10, 10, 100, 20));
  field->setEditable(true);
  NSButton* other = addControl<NSButton>(content, 5);
  w->makeKeyAndOrderFront(nullptr);
  SetFocus(H(field));
  auto* editor = wapiAs<NSTextView>(w->firstResponder());
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(IsEquivalentTextView(H(field), H(editor)));
  EXPECT_TRUE(IsEquivalentTextView(H(editor), H(field)));
  EXPECT_TRUE(IsEquivalentTextView(H(other), H(other)));
  EXPECT_FALSE(IsEquivalentTextView(H(other), H(editor)));
  EXPECT_FALSE(IsEquivalentTextView(nullptr, H(field)));
  EXPECT_EQ(GetForegroundWindow(), H(editor));
  SetForegroundWindow(H(other));
  EXPECT_EQ(GetForegroundWindow(), H(other));

  EnableWindow(H(other), 0);
  EXPECT_FALSE(other->isEnabled());
  EnableWindow(H(w), 0);
  EXPECT_FALSE(content->isEnabled()) << "a window stands for its content view";
  EnableWindow(H(w), 1);
  EXPECT_TRUE(content->isEnabled());

  WAPI_CloseWindow(H(content));
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST_F(WindowState, AGestureRecordIsCopiedWhole) {
  GESTUREINFO sent{};
  sent.cbSize = sizeof sent;
  sent.dwFlags = 1;
  sent.dwID = 3;
  sent.ptsLocation[0] = -5;
  sent.ullArguments = 0x123456789ull;
  GESTUREINFO got{};
  EXPECT_TRUE(WAPI_GetGestureInfo(reinterpret_cast<LPARAM>(&sent), &got));
  EXPECT_EQ(std::memcmp(&sent, &got, sizeof got), 0);
  EXPECT_FALSE(WAPI_GetGestureInfo(0, &got));
  EXPECT_FALSE(WAPI_GetGestureInfo(reinterpret_cast<LPARAM>(&sent), nullptr));
}

}  // namespace
