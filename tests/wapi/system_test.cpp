// System calls: modules and their entry points, rectangles, integer and string helpers, GUIDs
// and global memory blocks.
#include "kit/wapi/wapi.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/tempdir.h"

namespace {

using V = std::vector<long long>;  // results in call order
V edges(const RECT& r) {
  return {r.left, r.top, r.right, r.bottom};
}

// The test module records its entry-point calls in the environment.
std::string takeLog() {
  const char* v = getenv("WAPI_TESTLIB_LOG");
  std::string s = v ? v : "";
  unsetenv("WAPI_TESTLIB_LOG");
  return s;
}

}  // namespace

TEST(Library, LoadsAreCountedAttachedOnceAndRefusedAttachesUndone) {
  takeLog();
  WAPI_HINSTANCE a = LoadLibrary(WAPI_TESTLIB);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(takeLog(), "wapi-attach;dll-attach;");
  EXPECT_EQ(LoadLibrary(WAPI_TESTLIB), a);
  auto answer = reinterpret_cast<int (*)()>(GetProcAddress(a, "testlib_answer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(GetProcAddress(a, "no_such_symbol"), nullptr);
  EXPECT_EQ((V{WAPI_GetLibraryRefCount(a), FreeLibrary(a), WAPI_GetLibraryRefCount(a)}), (V{2, 1, 1}));
  EXPECT_EQ(takeLog(), "") << "a second load attaches nothing and its free keeps the module";
  EXPECT_EQ(FreeLibrary(a), 1);
  EXPECT_EQ(takeLog(), "wapi-detach;dll-detach;");

  EXPECT_EQ(LoadLibrary(WAPI_TESTLIB_REFUSE_WAPI), nullptr);
  EXPECT_EQ(takeLog(), "wapi-attach;") << "DllMain is not asked after WAPI_dllMain refused";
  EXPECT_EQ(LoadLibrary(WAPI_TESTLIB_REFUSE_DLL), nullptr);
  EXPECT_EQ(takeLog(), "wapi-attach;dll-attach;wapi-detach;");
  for (const char* path : {static_cast<const char*>(nullptr), "", "/no/such/module.so"})
    EXPECT_EQ(LoadLibrary(path), nullptr);
  EXPECT_EQ(LoadLibraryGlobals("/tmp", true), nullptr) << "a folder that is no bundle";
  EXPECT_EQ(FreeLibrary(nullptr) || GetProcAddress(nullptr, "x"), false);
}

TEST(ModuleFileName, BundlesPlainModulesAndTheProgramAreNamed) {
  testsupport::TempDir dir;
  const std::string bundle = dir.file("Test.component");
  std::filesystem::create_directories(bundle + "/Contents/MacOS");
  ASSERT_EQ(symlink(WAPI_TESTLIB, (bundle + "/Contents/MacOS/Test").c_str()), 0);
  char buf[4096];
  WAPI_HINSTANCE inst = LoadLibrary(bundle.c_str());
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(GetModuleFileName(inst, buf, sizeof(buf)), int(bundle.size()));
  EXPECT_EQ(std::string(buf), bundle) << "a bundle is named by its folder";
  FreeLibrary(inst);

  // A plain module is named by the file its last symbol came from.
  inst = LoadLibrary(WAPI_TESTLIB);
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(GetModuleFileName(inst, buf, sizeof(buf)), 0) << "no symbol was found yet";
  EXPECT_STREQ(buf, "");
  ASSERT_NE(GetProcAddress(inst, "testlib_answer"), nullptr);
  const int n = GetModuleFileName(inst, buf, sizeof(buf));
  EXPECT_EQ(n, int(strlen(buf)));
  EXPECT_TRUE(std::filesystem::equivalent(buf, WAPI_TESTLIB)) << buf;
  char small[5];
  EXPECT_EQ(GetModuleFileName(inst, small, sizeof(small)), 4);
  EXPECT_EQ(std::string(small), std::string(buf).substr(0, 4));
  FreeLibrary(inst);
  takeLog();

  ASSERT_GT(GetModuleFileName(nullptr, buf, sizeof(buf)), 0);
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(std::string(buf), exe.substr(0, exe.find_last_of('/'))) << "null names the program's folder";
  EXPECT_EQ(GetModuleFileName(nullptr, buf, 0), 0);
}

TEST(Rect, IntersectionUnionOffsetSetAndPointTests) {
  struct Case {
    RECT a, b;
    V want;  // the answer, then the edges
  } cases[] = {
      {{0, 0, 10, 10}, {5, 5, 20, 20}, {1, 5, 5, 10, 10}},
      {{0, 0, 10, 10}, {20, 20, 30, 30}, {0, 20, 20, 10, 10}},  // disjoint: inverted as computed
      {{0, 0, 0, 10}, {0, 0, 5, 5}, {0, 0, 0, 0, 0}},           // an empty input clears
  };
  for (const Case& c : cases) {
    RECT out{7, 7, 7, 7};
    V got{WinIntersectRect(&out, &c.a, &c.b)};
    for (long long e : edges(out)) got.push_back(e);
    EXPECT_EQ(got, c.want) << c.b.left;
  }
  RECT a{0, 0, 0, 0}, b{5, 6, 7, 8}, out{};
  EXPECT_EQ(WinIntersectRect(&out, nullptr, &b), 0);
  WinUnionRect(&out, &a, &b);
  EXPECT_EQ(edges(out), (V{0, 0, 7, 8})) << "an empty rectangle still counts";
  EXPECT_EQ(WinOffsetRect(&out, 3, -2), 1);
  EXPECT_EQ(edges(out), (V{3, -2, 10, 6}));
  EXPECT_EQ((V{WinSetRect(&out, 1, 2, 3, 4), WinOffsetRect(nullptr, 1, 1), WinSetRect(nullptr, 1, 2, 3, 4)}),
            (V{1, 0, 0}));
  EXPECT_EQ(edges(out), (V{1, 2, 3, 4}));
  RECT upsideDown{0, 10, 5, 0};
  for (int y = -1; y <= 10; ++y) EXPECT_EQ(WAPI_PtInRect(&upsideDown, POINT{2, y}), y >= 0 && y <= 9) << y;
  // The right edge is outside.
  EXPECT_EQ((V{WAPI_PtInRect(&b, POINT{7, 7}), WAPI_PtInRect(&b, POINT{5, 6}), WAPI_PtInRect(nullptr, POINT{0, 0})}),
            (V{0, 1, 0}));
}

TEST(Helpers, MulDivLstrcpynAndGuids) {
  // Truncated toward zero, no int product, -1 when the result does not fit.
  EXPECT_EQ((V{MulDiv(7, 3, 2), MulDiv(-7, 3, 2), MulDiv(1, 2, 0), MulDiv(INT_MAX, 2, 2), MulDiv(INT_MAX, INT_MAX, 1)}),
            (V{10, -10, 0, INT_MAX, -1}));
  char buf[8];
  memset(buf, 'z', sizeof(buf));
  lstrcpyn(buf, "abc", 0);
  EXPECT_EQ(buf[0], 'z') << "n below 1 leaves the destination alone";
  EXPECT_EQ(lstrcpyn(buf, "abcdef", 4), buf);
  EXPECT_STREQ(buf, "abc");
  lstrcpyn(buf, "abc", 1);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(lstrcpyn(nullptr, "abc", 4), nullptr);
  GUID g[2];
  WAPI_GenerateGUID(&g[0]);
  WAPI_GenerateGUID(&g[1]);
  WAPI_GenerateGUID(nullptr);
  EXPECT_NE(memcmp(g[0].bytes, g[1].bytes, 16), 0);
  EXPECT_EQ((V{g[0].bytes[6] >> 4, g[0].bytes[8] & 0xC0}), (V{4, 0x80})) << "random version";
#if defined(__x86_64__) || defined(__i386__)
  const unsigned before = _controlfp(0, 0) & 0x300u;
  // Only the masked bits change, and the control word is loaded.
  EXPECT_EQ((V{_controlfp(0x100, 0x300) & 0x300u, _controlfp(0, 0) & 0x300u}), (V{0x100, 0x100}));
  _controlfp(before, 0x300);
  EXPECT_EQ(_controlfp(0, 0) & 0x300u, before);
#endif
}

TEST(GlobalMemory, BlocksKeepTheirSizeAndLockCountAndNullIsIgnored) {
  HANDLE m = GlobalAlloc(0, 24);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GlobalLock(m), m) << "the handle is the memory";
  memset(m, 0xAB, 24);
  GlobalLock(m);
  GlobalUnlock(m);
  const int32_t* hdr = reinterpret_cast<const int32_t*>(static_cast<char*>(m) - 8);
  EXPECT_EQ((V{GlobalSize(m), hdr[1]}), (V{24, 1}));
  GlobalFree(m);  // whatever its lock count
  m = GlobalAlloc(0, -5);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ((V{GlobalSize(m), GlobalSize(nullptr), GlobalLock(nullptr) != nullptr}), (V{0, 0, 0}));
  GlobalFree(m);
  GlobalUnlock(nullptr);
  GlobalFree(nullptr);
}
