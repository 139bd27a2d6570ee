// A small module for the library-loading tests. It records its entry-point calls in the
// environment variable WAPI_TESTLIB_LOG, which outlives the module's unloading. Built three
// times: accepting, with WAPI_dllMain refusing, and with DllMain refusing.
#include <cstdlib>
#include <string>

static void note(const char* what) {
  const char* old = getenv("WAPI_TESTLIB_LOG");
  std::string s = old ? old : "";
  s += what;
  s += ";";
  setenv("WAPI_TESTLIB_LOG", s.c_str(), 1);
}

extern "C" __attribute__((visibility("default"))) int testlib_answer() { return 42; }

extern "C" __attribute__((visibility("default"))) int WAPI_dllMain(void*, int reason, void*) {
  note(reason ? "wapi-attach" : "wapi-detach");
#ifdef TESTLIB_REFUSE_WAPI
  if (reason) return 0;
#endif
  return 1;
}

extern "C" __attribute__((visibility("default"))) bool DllMain(void*, int reason, void*) {
  note(reason ? "dll-attach" : "dll-detach");
#ifdef TESTLIB_REFUSE_DLL
  if (reason) return false;
#endif
  return true;
}
