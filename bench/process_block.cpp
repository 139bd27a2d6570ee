// One audio block of 512 frames through the controller's per-block work, with 0 or 8 activity
// lights lit (none timing out) and 0 or 64 short messages queued for the block in host-buffer
// mode, into a recording output; the time per block stands against the 11.6 ms a block of 512
// frames lasts at 44.1 kHz. Refilling the queue is part of the timed loop, as the editor's edits
// fill it between blocks. The messages' print goes to /dev/null.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <mutex>
#include <string>

#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "bench_paths.h"
#include "kit/plugin/IParam.h"

namespace {

constexpr int kFrames = 512;

class RecordingOutput : public QOR {
 public:
  RecordingOutput() : QOR(IPluginInstanceInfo()) { midiIOSet = true; }
  bool SendMidiMsg(IMidiMsg*) override {
    ++sent;
    return true;
  }
  size_t sent = 0;
};

void BM_ProcessBlock(benchmark::State& st) {
  const int lit = int(st.range(0)), queued = int(st.range(1));
  char folder[] = "/tmp/qor_block_XXXXXX";
  if (!mkdtemp(folder)) {
    st.SkipWithError("no temporary folder");
    return;
  }
  UseEditorFolders(folder);
  {
    QuietStdout quiet;
    RecordingOutput plug;
    plug.SetSampleRate(44100.0);
    plug.SetBlockSize(kFrames);
    plug.Reset();
    plug.routeMidiToHostBuffer = true;
    plug.dawOffset = kFrames;
    plug.mLedClock = [] { return 1000u; };
    plug.ProcessDoubleReplacing(nullptr, nullptr, kFrames);  // the stop step after the reset
    for (int k = 0; k < lit; ++k) plug.midiLedOn[size_t(k)] = 1, plug.midiLedOnTime[size_t(k)] = 1000;
    for (auto _ : st) {
      {
        std::lock_guard<std::mutex> lock(plug.midiOutQueue.GetLock());
        for (int i = 0; i < queued; ++i) {
          IMidiMsg msg(i * (kFrames / 64), 0xB0, 7, uint8_t(i));
          plug.midiOutQueue.Add(&msg);
        }
      }
      plug.ProcessDoubleReplacing(nullptr, nullptr, kFrames);
    }
    if (plug.sent != size_t(queued) * size_t(st.iterations())) st.SkipWithError("messages lost");
  }
  rmdir(folder);
}
BENCHMARK(BM_ProcessBlock)->ArgsProduct({{0, 8}, {0, 64}})->ArgNames({"lit", "queued"});

}  // namespace

BENCHMARK_MAIN();
