// The controller's whole start-up with the shipped bundle, as a host's open runs it: log and
// UI-size file, empty library, configuration, layers, progress overlay, bank lists, start
// values and the control refresh; and the shut-down that follows. One instance at a time, at the
// three editor scales, in a data folder without a library. MIDI names come from whatever port
// system the machine has (QOR_MIDI_API picks one).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Project_Source/src/QOR.h"
#include "bench_paths.h"
#include "kit/plugin/IGraphics.h"

namespace {

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
  setenv("QOR_BUNDLE_PATH", (BuildFolder() + "/QOR.component").c_str(), 1);
  int width = 0;
  // Without a log file the start-up prints its notice on standard output; not into the report.
  std::fflush(stdout);
  const int savedOut = dup(1), quiet = open("/dev/null", O_WRONLY);
  dup2(quiet, 1);
  for (auto _ : st) {
    QOR* plug = new QOR(IPluginInstanceInfo());
    width = plug->GetGUI() ? plug->GetGUI()->Width() : 0;
    delete plug;
  }
  std::fflush(stdout);
  dup2(savedOut, 1);
  close(savedOut);
  close(quiet);
  st.counters["width"] = width;
  std::remove(ui.c_str());
  rmdir(folder);
}
BENCHMARK(BM_ControllerOpenAndClose)->DenseRange(0, 2)->ArgName("size")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
