// What every parameter change of a knob drag runs before it reaches the synthesizer: the
// read-out of the moved parameter and the quick tab's re-application of the selected part's
// layers, per call, on the shipped editor at each main page.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "Project_Source/src/ControlDisplay.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/TabSwitchFunctions.h"
#include "bench_paths.h"

namespace {

// One editor for the whole run, opened quietly in a data folder of its own.
QOR& Editor() {
  static std::unique_ptr<QOR> plug = [] {
    static char folder[] = "/tmp/qor_tabs_XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    UseEditorFolders(folder);
    return Quietly([] { return std::make_unique<QOR>(IPluginInstanceInfo()); });
  }();
  return *plug;
}

// A knob of a centre family, a value-list family and a plain number, in turn.
void BM_ControlDisplay(benchmark::State& st) {
  QOR& q = Editor();
  const int ids[] = {qorid::kOscillator1Pulsewidth + 3, qorid::kFilterType + 3, qorid::kMultiPartBank + 3};
  const int id = ids[st.range(0)];
  int v = 0;
  for (auto _ : st) {
    v = (v + 1) & 127;
    q.GetParam(id)->Set(v);
    ControlDisplay::controlDisplay(&q, id, v, false);
  }
}
BENCHMARK(BM_ControlDisplay)->DenseRange(0, 2)->ArgName("family");

void BM_QuickTabSwitch(benchmark::State& st) {
  QOR& q = Editor();
  TabSwitchFunctions::mainTabSwitch(&q, qorid::kMainTab, int(st.range(0)), 0, 0);
  for (auto _ : st) TabSwitchFunctions::quickTabSwitch(&q, qorid::kQuickTab, 0, 0, false);
}
BENCHMARK(BM_QuickTabSwitch)->DenseRange(0, 6)->ArgName("page");

}  // namespace

BENCHMARK_MAIN();
