// The plug-in's state as a host saves and restores it: the values of a 5,124-parameter table
// written to a chunk, read back, and pushed to an editor of 2,000 controls (one per parameter for
// the first 2,000, as the editor's pages bind them). Beside them a memcpy of the same bytes, the
// floor any copy of the table meets.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "tests/plugin/graphics_offscreen.h"

namespace {

const int kParams = 5124, kControls = 2000;

// Stands for a knob: takes the value and draws nothing.
class Readout : public IControl {
 public:
  using IControl::IControl;
  bool Draw(IGraphics*) override { return true; }
};

struct Table {
  SurfacePlug plug{kParams};
  OffscreenGraphics* g;
  ByteChunk chunk;
  Table() {
    // MIDI values, with every tenth a continuous value of its own range.
    for (int i = 0; i < kParams; ++i) {
      if (i % 10 == 9)
        plug.GetParam(i)->InitDouble("Level", 0.5, 0.0, 1.0, 0.01);
      else
        plug.GetParam(i)->InitInt("Param", i % 128, 0, 127);
    }
    g = new OffscreenGraphics(&plug, 1500, 757);
    for (int i = 0; i < kControls; ++i)
      g->AttachControl(new Readout(&plug, IRECT(i % 50, i / 50, i % 50 + 20, i / 50 + 20), i));
    plug.AttachGraphics(g);
    plug.SerializeNonAutomatedParams(&chunk, kParams);
  }
};

Table& Shared() {
  static Table t;
  return t;
}

void BM_StateSave(benchmark::State& st) {
  Table& t = Shared();
  ByteChunk out;
  for (auto _ : st) {
    out.Clear();
    benchmark::DoNotOptimize(t.plug.SerializeNonAutomatedParams(&out, kParams));
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * out.Size());
}
BENCHMARK(BM_StateSave)->Unit(benchmark::kMicrosecond);

void BM_StateRestore(benchmark::State& st) {
  Table& t = Shared();
  for (auto _ : st) benchmark::DoNotOptimize(t.plug.UnserializeNonAutomatedParams(&t.chunk, 0, kParams));
  st.SetBytesProcessed(int64_t(st.iterations()) * t.chunk.Size());
}
BENCHMARK(BM_StateRestore)->Unit(benchmark::kMicrosecond);

void BM_RedrawParamControls(benchmark::State& st) {
  Table& t = Shared();
  for (auto _ : st) t.plug.RedrawParamControls();
  st.SetItemsProcessed(int64_t(st.iterations()) * kParams);
}
BENCHMARK(BM_RedrawParamControls)->Unit(benchmark::kMicrosecond);

void BM_CopyValuesPeer(benchmark::State& st) {
  std::vector<double> from(kParams, 0.25), to(kParams);
  for (auto _ : st) {
    std::memcpy(to.data(), from.data(), sizeof(double) * kParams);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  st.SetBytesProcessed(int64_t(st.iterations()) * kParams * int64_t(sizeof(double)));
}
BENCHMARK(BM_CopyValuesPeer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
