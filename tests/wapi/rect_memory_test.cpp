// Rectangles, integer helpers, string copies, GUIDs and global memory blocks.
#include "kit/wapi/wapi.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstring>

namespace {
// All four edges at once, so a failure shows the whole rectangle.
using Edges = std::array<int, 4>;
Edges edges(const RECT& r) { return {int(r.left), int(r.top), int(r.right), int(r.bottom)}; }
}  // namespace

TEST(Rect, IntersectionIsTheCommonPartOrInvertedForDisjointOrClearedForAnEmptyInput) {
  struct Case {
    RECT a, b;
    int ret;
    Edges out;
  } cases[] = {
      {{0, 0, 10, 10}, {5, 5, 20, 20}, 1, {5, 5, 10, 10}},
      {{0, 0, 10, 10}, {20, 20, 30, 30}, 0, {20, 20, 10, 10}},  // disjoint: left inverted as computed
      {{0, 0, 0, 10}, {0, 0, 5, 5}, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "a " << c.a.left << "," << c.a.top << "," << c.a.right << "," << c.a.bottom);
    RECT out{7, 7, 7, 7};
    EXPECT_EQ(WinIntersectRect(&out, &c.a, &c.b), c.ret);
    EXPECT_EQ(edges(out), c.out);
  }
  RECT out{}, b{0, 0, 5, 5};
  EXPECT_EQ(WinIntersectRect(&out, nullptr, &b), 0);
}

TEST(Rect, UnionOffsetAndSetTakeNoShortcuts) {
  RECT a{0, 0, 0, 0}, b{5, 6, 7, 8}, out{};
  WinUnionRect(&out, &a, &b);
  EXPECT_EQ(edges(out), (Edges{0, 0, 7, 8})) << "an empty rectangle still counts";
  EXPECT_EQ(WinOffsetRect(&out, 3, -2), 1);
  EXPECT_EQ(edges(out), (Edges{3, -2, 10, 6}));
  EXPECT_EQ(WinOffsetRect(nullptr, 1, 1), 0);
  EXPECT_EQ(WinSetRect(&out, 1, 2, 3, 4), 1);
  EXPECT_EQ(edges(out), (Edges{1, 2, 3, 4}));
  EXPECT_EQ(WinSetRect(nullptr, 1, 2, 3, 4), 0);
}

TEST(Rect, PointTestAcceptsUpsideDownRectangles) {
  RECT r{0, 10, 5, 0};
  for (int y = -1; y <= 10; ++y)
    EXPECT_EQ(WAPI_PtInRect(&r, POINT{2, y}), y >= 0 && y <= 9) << "y = " << y;
  RECT n{0, 0, 5, 5};
  EXPECT_EQ(WAPI_PtInRect(&n, POINT{5, 1}), 0) << "right edge is outside";
  EXPECT_EQ(WAPI_PtInRect(&n, POINT{0, 0}), 1);
  EXPECT_EQ(WAPI_PtInRect(nullptr, POINT{0, 0}), 0);
}

TEST(MulDiv, MultipliesThenDividesTruncatingTowardZero) {
  EXPECT_EQ(MulDiv(7, 3, 2), 10);
  EXPECT_EQ(MulDiv(-7, 3, 2), -10);
  EXPECT_EQ(MulDiv(1, 2, 0), 0);
  EXPECT_EQ(MulDiv(INT_MAX, 2, 2), INT_MAX) << "the product is not formed in int";
  EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, 1), -1) << "an unrepresentable result fails";
}

TEST(Lstrcpyn, CopiesAtMostNMinusOneAndTerminates) {
  char buf[8];
  memset(buf, 'z', sizeof(buf));
  EXPECT_EQ(lstrcpyn(buf, "abcdef", 4), buf);
  EXPECT_STREQ(buf, "abc");
  lstrcpyn(buf, "ab", 8);
  EXPECT_STREQ(buf, "ab");
  memset(buf, 'z', sizeof(buf));
  lstrcpyn(buf, "abc", 0);
  EXPECT_EQ(buf[0], 'z') << "n below 1 leaves the destination alone";
  lstrcpyn(buf, "abc", 1);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(lstrcpyn(nullptr, "abc", 4), nullptr);
}

TEST(GlobalMemory, BlockKeepsItsSizeAndLockCount) {
  HANDLE m = GlobalAlloc(0, 24);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GlobalSize(m), 24);
  EXPECT_EQ(GlobalLock(m), m) << "the handle is the memory";
  memset(m, 0xAB, 24);
  const int32_t* hdr = reinterpret_cast<const int32_t*>(static_cast<char*>(m) - 8);
  EXPECT_EQ(hdr[0], 24);
  EXPECT_EQ(hdr[1], 1);
  GlobalLock(m);
  GlobalUnlock(m);
  EXPECT_EQ(hdr[1], 1);
  GlobalFree(m);  // whatever its lock count
}

TEST(GlobalMemory, NegativeSizeGivesAnEmptyBlockAndNullIsIgnored) {
  HANDLE m = GlobalAlloc(0, -5);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GlobalSize(m), 0);
  GlobalFree(m);
  EXPECT_EQ(GlobalSize(nullptr), 0);
  EXPECT_EQ(GlobalLock(nullptr), nullptr);
  GlobalUnlock(nullptr);
  GlobalFree(nullptr);
}

TEST(Guid, TwoGuidsDifferAndCarryTheRandomVersion) {
  GUID a, b;
  WAPI_GenerateGUID(&a);
  WAPI_GenerateGUID(&b);
  EXPECT_NE(memcmp(a.bytes, b.bytes, 16), 0);
  EXPECT_EQ(a.bytes[6] >> 4, 4);
  EXPECT_EQ(a.bytes[8] & 0xC0, 0x80);
  WAPI_GenerateGUID(nullptr);
}

#if defined(__x86_64__) || defined(__i386__)
TEST(ControlFp, RoundingBitsAreSetOnlyWhenTheMaskAsksForThem) {
  unsigned int before = _controlfp(0, 0);
  unsigned int down = _controlfp(0x100, 0x300);  // round down
  EXPECT_EQ(down & 0x300u, 0x100u);
  EXPECT_EQ(_controlfp(0, 0) & 0x300u, 0x100u) << "the control word was loaded";
  _controlfp(before & 0x300u, 0x300);
  EXPECT_EQ(_controlfp(0, 0) & 0x300u, before & 0x300u);
}
#endif
