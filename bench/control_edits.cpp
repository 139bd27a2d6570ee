// A knob drag: one edit after another through OnParamChange into a recording output, for a
// control of each kind (control change, switch, NRPN, SysEx switch, SysEx), with the controller
// configured from the shipped bundle. The messages' print goes to /dev/null, as a host without a
// console would leave it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "bench_paths.h"
#include "kit/plugin/IParam.h"

namespace {

class RecordingOutput : public QOR {
 public:
  RecordingOutput() : QOR(IPluginInstanceInfo()) { midiIOSet = true; }
  bool SendMidiMsg(IMidiMsg* msg) override {
    bytes += (msg->mStatus >> 4) == 0xC ? 2 : 3;
    return true;
  }
  bool SendMidiSysex(unsigned char* data, int size) override {
    bytes += data[0] == 0xF0 ? size_t(size) : size_t(size) + 2;
    return true;
  }
  size_t bytes = 0;
};

void BM_KnobDrag(benchmark::State& st) {
  static const int kIds[] = {qorid::kFilterCutoff, qorid::kArpLatch, qorid::kMultiPartSustain, qorid::kUnisonSwitch,
                             qorid::kOscillator1BendRange};
  char folder[] = "/tmp/qor_edits_XXXXXX";
  if (!mkdtemp(folder)) {
    st.SkipWithError("no temporary folder");
    return;
  }
  UseEditorFolders(folder);
  {
    QuietStdout quiet;
    RecordingOutput plug;
    plug.GetParam(qorid::kDeviceOutSelection)->Set(1);
    const int id = kIds[st.range(0)];
    IParam* param = plug.GetParam(id);
    const int span = int(param->GetMax() - param->GetMin()) + 1;
    int step = 0;
    for (auto _ : st) {
      // Every edit is a new whole value, so none is skipped as a repeat.
      param->Set(param->GetMin() + (step++ % span));
      plug.OnParamChange(id);
    }
    st.counters["bytes/edit"] = double(plug.bytes) / double(st.iterations());
  }
  rmdir(folder);
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_KnobDrag)->DenseRange(0, 4)->ArgName("kind-1");

}  // namespace

BENCHMARK_MAIN();
