#pragma once
// The build folder, found from the running benchmark's place in it (<build>/bench/<program>).
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "bench_quiet.h"

inline std::string BuildFolder() {
  char exe[4096] = {0};
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string path(exe, n > 0 ? size_t(n) : 0);
  for (int up = 0; up < 2 && !path.empty(); ++up) path = path.substr(0, path.find_last_of('/'));
  return path;
}

// An editor made from here on reads and writes the data folder given and loads the built bundle.
inline void UseEditorFolders(const char* dataFolder) {
  setenv("QOR_DATA_FOLDER", dataFolder, 1);
  setenv("QOR_BUNDLE_PATH", (BuildFolder() + "/QOR.component").c_str(), 1);
}

// What make returns, made with standard output sent nowhere: the editor's start-up prints
// notices that do not belong in a report.
template <class Make>
auto Quietly(Make&& make) -> decltype(make()) {
  QuietStdout quiet;
  return make();
}
