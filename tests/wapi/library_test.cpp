// Loading modules, their attach and detach entry points, symbols and module paths.
#include "kit/wapi/wapi.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

std::string takeLog() {
  const char* v = getenv("WAPI_TESTLIB_LOG");
  std::string s = v ? v : "";
  unsetenv("WAPI_TESTLIB_LOG");
  return s;
}

}  // namespace

TEST(Library, LoadingTheSameModuleTwiceSharesOneInstanceUntilTheLastFree) {
  takeLog();
  WAPI_HINSTANCE a = LoadLibrary(WAPI_TESTLIB);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(takeLog(), "wapi-attach;dll-attach;");
  WAPI_HINSTANCE b = LoadLibrary(WAPI_TESTLIB);
  EXPECT_EQ(a, b);
  EXPECT_EQ(WAPI_GetLibraryRefCount(a), 2);
  EXPECT_EQ(takeLog(), "") << "a second load does not attach again";

  auto answer = reinterpret_cast<int (*)()>(GetProcAddress(a, "testlib_answer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(GetProcAddress(a, "no_such_symbol"), nullptr);

  EXPECT_EQ(FreeLibrary(a), 1);
  EXPECT_EQ(WAPI_GetLibraryRefCount(a), 1);
  EXPECT_EQ(takeLog(), "") << "the first free keeps the module";
  EXPECT_EQ(FreeLibrary(b), 1);
  EXPECT_EQ(takeLog(), "wapi-detach;dll-detach;");

  WAPI_HINSTANCE c = LoadLibrary(WAPI_TESTLIB);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(WAPI_GetLibraryRefCount(c), 1) << "a fresh load after the last free starts anew";
  EXPECT_EQ(takeLog(), "wapi-attach;dll-attach;");
  FreeLibrary(c);
  takeLog();
}

TEST(Library, AModuleThatRefusesItsAttachIsNotLoaded) {
  takeLog();
  EXPECT_EQ(LoadLibrary(WAPI_TESTLIB_REFUSE_WAPI), nullptr);
  EXPECT_EQ(takeLog(), "wapi-attach;") << "DllMain is not asked after WAPI_dllMain refused";
  EXPECT_EQ(LoadLibrary(WAPI_TESTLIB_REFUSE_DLL), nullptr);
  EXPECT_EQ(takeLog(), "wapi-attach;dll-attach;wapi-detach;")
      << "a refusing DllMain undoes the WAPI_dllMain attach";
}

TEST(Library, MissingPathsAndEmptyNamesLoadNothing) {
  EXPECT_EQ(LoadLibrary(nullptr), nullptr);
  EXPECT_EQ(LoadLibrary(""), nullptr);
  EXPECT_EQ(LoadLibrary("/no/such/module.so"), nullptr);
  EXPECT_EQ(LoadLibraryGlobals("/tmp", true), nullptr) << "a folder that is no bundle";
  EXPECT_EQ(FreeLibrary(nullptr), 0);
  EXPECT_EQ(GetProcAddress(nullptr, "x"), nullptr);
}

TEST(Library, ABundleFolderLoadsItsExecutableAndNamesTheFolder) {
  char tmpl[] = "/tmp/wapi-bundle-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  std::string bundle = std::string(tmpl) + "/Test.component";
  std::filesystem::create_directories(bundle + "/Contents/MacOS");
  ASSERT_EQ(symlink(WAPI_TESTLIB, (bundle + "/Contents/MacOS/Test").c_str()), 0);

  takeLog();
  WAPI_HINSTANCE inst = LoadLibrary(bundle.c_str());
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(takeLog(), "wapi-attach;dll-attach;");
  char buf[4096];
  EXPECT_EQ(GetModuleFileName(inst, buf, sizeof(buf)), int(bundle.size()));
  EXPECT_EQ(std::string(buf), bundle);
  FreeLibrary(inst);
  takeLog();
  std::filesystem::remove_all(tmpl);
}

TEST(ModuleFileName, APlainModuleIsNamedByItsLastSymbolsFile) {
  WAPI_HINSTANCE inst = LoadLibrary(WAPI_TESTLIB);
  ASSERT_NE(inst, nullptr);
  char buf[4096];
  EXPECT_EQ(GetModuleFileName(inst, buf, sizeof(buf)), 0) << "no symbol was found yet";
  EXPECT_STREQ(buf, "");
  ASSERT_NE(GetProcAddress(inst, "testlib_answer"), nullptr);
  int n = GetModuleFileName(inst, buf, sizeof(buf));
  char want[PATH_MAX];
  ASSERT_NE(realpath(WAPI_TESTLIB, want), nullptr);
  char got[PATH_MAX];
  ASSERT_NE(realpath(buf, got), nullptr);
  EXPECT_STREQ(got, want);
  EXPECT_EQ(n, int(strlen(buf)));
  // A short buffer takes what fits, terminated.
  char small[5];
  EXPECT_EQ(GetModuleFileName(inst, small, sizeof(small)), 4);
  EXPECT_EQ(std::string(small), std::string(buf).substr(0, 4));
  FreeLibrary(inst);
  takeLog();
}

TEST(ModuleFileName, NullNamesTheProgramsFolder) {
  char buf[8192];
  int n = GetModuleFileName(nullptr, buf, sizeof(buf));
  ASSERT_GT(n, 0);
  char exe[PATH_MAX];
  ssize_t len = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  ASSERT_GT(len, 0);
  exe[len] = 0;
  std::string dir(exe);
  dir = dir.substr(0, dir.find_last_of('/'));
  EXPECT_EQ(std::string(buf), dir);
  EXPECT_EQ(GetModuleFileName(nullptr, buf, 0), 0);
}
