// A module for the library-loading tests: records its entry-point calls in WAPI_TESTLIB_LOG, which
// outlives its unloading. Built accepting, with WAPI_dllMain refusing and with DllMain refusing.
#include <cstdlib>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

static int note(const char* what, int reason, bool refuse) {
  const char* old = getenv("WAPI_TESTLIB_LOG");
  setenv("WAPI_TESTLIB_LOG", ((old ? old : "") + std::string(what) + (reason ? "-attach;" : "-detach;")).c_str(), 1);
  return !(reason && refuse);
}

#ifndef TESTLIB_REFUSE_WAPI
#define TESTLIB_REFUSE_WAPI 0
#endif
#ifndef TESTLIB_REFUSE_DLL
#define TESTLIB_REFUSE_DLL 0
#endif
EXPORT int testlib_answer() {
  return 42;
}
EXPORT int WAPI_dllMain(void*, int reason, void*) {
  return note("wapi", reason, TESTLIB_REFUSE_WAPI);
}
EXPORT bool DllMain(void*, int reason, void*) {
  return note("dll", reason, TESTLIB_REFUSE_DLL);
}
