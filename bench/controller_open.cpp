// The controller's whole start-up with the shipped bundle, as a host's open runs it: log and
// UI-size file, empty library, configuration, layers, progress overlay, bank lists, start
// values and the control refresh; and the shut-down that follows. One instance at a time, at the
// three editor scales, in a data folder without a library; and at the large scale with a
// library of eight program banks (1,024 programs) to scan. MIDI names come from whatever port
// system the machine has (QOR_MIDI_API picks one).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "bench_paths.h"
#include "bench_quiet.h"
#include "kit/plugin/IGraphics.h"

namespace {

// Bank files of 128 stored programs each under folder/Patches, named and otherwise at zero; their
// paths.
std::vector<std::string> WriteLibrary(const std::string& folder, int banks) {
  std::vector<std::string> paths;
  if (banks == 0) return paths;
  mkdir((folder + "/Patches").c_str(), 0755);
  for (int b = 0; b < banks; ++b) {
    paths.push_back(folder + "/Patches/Bank " + std::to_string(b + 1) + ".syx");
    FILE* f = std::fopen(paths.back().c_str(), "wb");
    if (!f) continue;
    for (int slot = 0; slot < 128; ++slot) {
      unsigned char m[297] = {0xF0, 0x00, 0x20, 0x29, 0x01, 0x20, 0x0F, 0x02, 0x05, static_cast<unsigned char>(slot)};
      std::snprintf(reinterpret_cast<char*>(m + 10), 17, "Program %03d B%02u ", slot, unsigned(b) % 100u);
      m[296] = 0xF7;
      std::fwrite(m, 1, sizeof m, f);
    }
    std::fclose(f);
  }
  return paths;
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
  const std::vector<std::string> banks = WriteLibrary(folder, int(st.range(1)));
  UseEditorFolders(folder);
  int width = 0;
  size_t scanned = 0;
  {
    QuietStdout quiet;
    for (auto _ : st) {
      QOR* plug = new QOR(IPluginInstanceInfo());
      width = plug->GetGUI() ? plug->GetGUI()->Width() : 0;
      scanned = plug->patchLibrarian ? plug->patchLibrarian->singleFiles.size() : 0;
      delete plug;
    }
  }
  st.counters["width"] = width;
  st.counters["program banks"] = double(scanned);
  std::remove(ui.c_str());
  for (const std::string& bank : banks) std::remove(bank.c_str());
  if (!banks.empty()) rmdir((std::string(folder) + "/Patches").c_str());
  rmdir(folder);
}
BENCHMARK(BM_ControllerOpenAndClose)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Args({2, 8})
    ->ArgNames({"size", "banks"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
