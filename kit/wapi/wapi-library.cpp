// Dynamic libraries: loading shared objects and bundle folders, their attach and detach entry
// points, symbol lookup and module paths.
#include "kit/wapi/wapi.h"

#include "kit/mutex.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

typedef int (*WAPI_DllMainProc)(WAPI_HINSTANCE, int, void*);
typedef bool (*DllMainProc)(WAPI_HINSTANCE, int, void*);

struct WAPI_LibraryInstance {
  void* dl;            // loader handle
  std::string bundle;  // bundle folder, empty for a plain shared library
  int refs;
  WAPI_DllMainProc wapiDllMain;
  DllMainProc dllMain;
  void* lastSymbol;
};

namespace {

KIT_Mutex& s_libraryMutex() {
  static KIT_Mutex m;
  return m;
}

// Loaded modules by key (the loader handle; one per module file), sorted for bisection.
std::vector<std::pair<uintptr_t, WAPI_LibraryInstance*>>& s_loadedLibs() {
  static std::vector<std::pair<uintptr_t, WAPI_LibraryInstance*>> libs;
  return libs;
}

int libkeycomp(uintptr_t a, uintptr_t b) { return a < b ? -1 : a == b ? 0 : 1; }

std::vector<std::pair<uintptr_t, WAPI_LibraryInstance*>>::iterator findKey(uintptr_t key) {
  auto& v = s_loadedLibs();
  return std::lower_bound(v.begin(), v.end(), key,
                          [](const std::pair<uintptr_t, WAPI_LibraryInstance*>& p, uintptr_t k) {
                            return libkeycomp(p.first, k) < 0;
                          });
}

// The executable of a bundle folder: Contents/MacOS/<folder name without extension>, or the
// only regular file there.
std::string bundleExecutable(const std::string& folder) {
  std::string dir = folder;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  std::string macos = dir + "/Contents/MacOS";
  std::string base = dir.substr(dir.find_last_of('/') + 1);
  size_t dot = base.find_last_of('.');
  if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
  struct stat st;
  std::string named = macos + "/" + base;
  if (stat(named.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return named;
  std::string found;
  if (DIR* d = opendir(macos.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string p = macos + "/" + e->d_name;
      if (e->d_name[0] != '.' && stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        if (!found.empty()) {
          found.clear();
          break;
        }
        found = p;
      }
    }
    closedir(d);
  }
  return found;
}

// The folder of the running program, or the bundle folder when it runs inside one.
std::string mainBundlePath() {
  char buf[8192];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return std::string();
  buf[n] = 0;
  std::string exe = buf;
  std::string dir = exe.substr(0, exe.find_last_of('/'));
  const std::string tail = "/Contents/MacOS";
  if (dir.size() > tail.size() && dir.compare(dir.size() - tail.size(), tail.size(), tail) == 0)
    return dir.substr(0, dir.size() - tail.size());
  return dir.empty() ? "/" : dir;
}

}  // namespace

WAPI_HINSTANCE LoadLibrary(const char* path) { return LoadLibraryGlobals(path, false); }

WAPI_HINSTANCE LoadLibraryGlobals(const char* path, bool symbolsGlobal) {
  if (!path || !*path) return nullptr;
  const int mode = RTLD_NOW | (symbolsGlobal ? RTLD_GLOBAL : RTLD_LOCAL);
  std::string bundle;
  void* dl = nullptr;
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) {
    std::string exe = bundleExecutable(path);
    if (!exe.empty()) {
      dl = dlopen(exe.c_str(), mode);
      if (!dl) return nullptr;
      bundle = path;
    }
  }
  if (!dl) dl = dlopen(path, mode);
  if (!dl) return nullptr;

  KIT_MutexLock lock(&s_libraryMutex());
  const uintptr_t key = reinterpret_cast<uintptr_t>(dl);
  auto it = findKey(key);
  if (it != s_loadedLibs().end() && it->first == key) {
    // Known module: the loader reference just taken is given back by the matching free.
    it->second->refs++;
    return it->second;
  }
  WAPI_LibraryInstance* inst = new WAPI_LibraryInstance{dl, bundle, 1, nullptr, nullptr, nullptr};
  s_loadedLibs().insert(it, std::make_pair(key, inst));

  WAPI_DllMainProc wmain = reinterpret_cast<WAPI_DllMainProc>(dlsym(dl, "WAPI_dllMain"));
  DllMainProc dmain = nullptr;
  if (wmain) {
    if (!wmain(inst, 1, nullptr)) {
      FreeLibrary(inst);
      return nullptr;
    }
    dmain = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"));
    if (dmain && !dmain(inst, 1, nullptr)) {
      wmain(inst, 0, nullptr);
      FreeLibrary(inst);
      return nullptr;
    }
  }
  inst->wapiDllMain = wmain;
  inst->dllMain = dmain;
  return inst;
}

void* GetProcAddress(WAPI_HINSTANCE inst, const char* name) {
  if (!inst || !name || !inst->dl) return nullptr;
  void* sym = dlsym(inst->dl, name);
  if (sym) {
    KIT_MutexLock lock(&s_libraryMutex());
    inst->lastSymbol = sym;
  }
  return sym;
}

BOOL FreeLibrary(WAPI_HINSTANCE inst) {
  if (!inst) return 0;
  KIT_MutexLock lock(&s_libraryMutex());
  const bool last = inst->refs-- <= 1;
  void* dl = inst->dl;
  if (last) {
    auto it = findKey(reinterpret_cast<uintptr_t>(dl));
    if (it != s_loadedLibs().end() && it->second == inst) s_loadedLibs().erase(it);
    if (inst->wapiDllMain) {
      inst->wapiDllMain(inst, 0, nullptr);
      if (inst->dllMain) inst->dllMain(inst, 0, nullptr);
    }
  }
  // One loader reference per load, whichever instance it went to.
  if (dl) dlclose(dl);
  if (last) delete inst;
  return 1;
}

int WAPI_GetLibraryRefCount(WAPI_HINSTANCE inst) {
  if (!inst) return 0;
  KIT_MutexLock lock(&s_libraryMutex());
  return inst->refs;
}

int GetModuleFileName(WAPI_HINSTANCE inst, char* buffer, int size) {
  if (!buffer || size < 1) return 0;
  buffer[0] = 0;
  if (inst && inst->dl && inst->bundle.empty()) {
    void* sym;
    {
      KIT_MutexLock lock(&s_libraryMutex());
      sym = inst->lastSymbol;
    }
    Dl_info info;
    if (!sym || !dladdr(sym, &info) || !info.dli_fname) return 0;
    lstrcpyn(buffer, info.dli_fname, size);
    return int(strlen(buffer));
  }
  std::string path = inst && !inst->bundle.empty() ? inst->bundle : mainBundlePath();
  if (path.size() > 8192) path.resize(8192);
  lstrcpyn(buffer, path.c_str(), size);
  return int(strlen(buffer));
}
