// The controller's whole start-up with the shipped bundle, as a host's open runs it: log and
// UI-size file, empty library, configuration, layers, progress overlay, bank lists, start
// values and the control refresh; and the shut-down that follows. One instance at a time, at the
// three editor scales, in a data folder without a library. MIDI names come from whatever port
// system the machine has (QOR_MIDI_API picks one).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Project_Source/src/QOR.h"
#include "kit/plugin/IGraphics.h"

namespace {

// The build folder's bundle, found from this program's place in the build.
std::string BundleFolder() {
  char exe[4096] = {0};
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string path(exe, n > 0 ? size_t(n) : 0);
  for (int up = 0; up < 2 && !path.empty(); ++up) path = path.substr(0, path.find_last_of('/'));
  return path + "/QOR.component";
}

void BM_ControllerOpenAndClose(benchmark::State& st) {
  static const char* const kWords[] = {"small", "normal", "large"};
  char folder[] = "/tmp/qor_open_XXXXXX";
  if (!mkdtemp(folder)) {
    st.SkipWithError("no temporary folder");
    return;
  }
  const std::string ui = std::string(folder) + "/QOR Editor UI.txt";
  if (FILE* f = std::fopen(ui.c_str(), "wb")) {
    std::fprintf(f, "\n%s\nyes\n", kWords[st.range(0)]);
    std::fclose(f);
  }
  setenv("QOR_DATA_FOLDER", folder, 1);
  setenv("QOR_BUNDLE_PATH", BundleFolder().c_str(), 1);
  int width = 0;
  for (auto _ : st) {
    QOR* plug = new QOR(IPluginInstanceInfo());
    width = plug->GetGUI() ? plug->GetGUI()->Width() : 0;
    delete plug;
  }
  st.counters["width"] = width;
  std::remove(ui.c_str());
  rmdir(folder);
}
BENCHMARK(BM_ControllerOpenAndClose)->DenseRange(0, 2)->ArgName("size")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
