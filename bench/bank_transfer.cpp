// A whole bank between the editor and the synthesizer simulator over JACK: the request of 128
// programs into a library bank (job 12) and the store of a library bank into the synthesizer's
// bank C (job 5), at the shortest poll period (50 ms) and the default (100 ms); the request at
// every poll period with the simulator answering at once, and at the shortest and the default
// paced as a MIDI cable (3125 bytes per second). Beside each,
// the cable's own time for the bank's bytes: 128 x 297 / 3125 = 12.2 s.
// Needs a JACK server: scripts/jack-fixture.sh start NAME PIDFILE, then run with
// JACK_DEFAULT_SERVER=NAME QOR_MIDI_API=jack.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/PatchLibrarian.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "bench_paths.h"
#include "bench_quiet.h"
#include "kit/plugin/IParam.h"
#include "launcher.h"

namespace {

constexpr double kCableBytesPerSecond = 3125;
constexpr int kProgramBytes = 297, kSlots = 128;

// The editor with the simulator's ports and one empty library bank in its upper pane.
struct Rig {
  synthsim::SimProcess sim;
  std::unique_ptr<QOR> plug;
  std::string error;
  char folder[32] = "/tmp/qor_bank_XXXXXX";

  Rig() {
    if (!getenv("JACK_DEFAULT_SERVER")) {
      error = "no JACK server named (JACK_DEFAULT_SERVER)";
      return;
    }
    if (!mkdtemp(folder)) {
      error = "no temporary folder";
      return;
    }
    const std::string sim_exe = BuildFolder() + "/tools/synth-sim/synth-sim";
    if (!sim.start(sim_exe, {"--name", "bankbench" + std::to_string(getpid()), "--device-id", "15"}, error)) return;
    if (FILE* f = std::fopen((std::string(folder) + "/QOR Editor UI.txt").c_str(), "wb")) {
      std::fprintf(f, "\nnormal\nyes\n%s\n%s\n", sim.inputPort().c_str(), sim.outputPort().c_str());
      std::fclose(f);
    }
    UseEditorFolders(folder);
    {
      QuietStdout quiet;
      plug.reset(new QOR(IPluginInstanceInfo()));
    }
    if (!plug->midiIOSet) {
      error = "the simulator's ports did not open";
      return;
    }
    PatchLibrarian& lib = *plug->patchLibrarian;
    std::lock_guard<std::recursive_mutex> hold(lib.mLock);
    lib.singleFiles.push_back(lib.adoptBank(new PatchFile));
    lib.upperFileIndex = int(lib.singleFiles.size()) - 1;
  }
  ~Rig() {
    if (plug) plug->midiManager->stopAndJoin();
    plug.reset();
    sim.stop();
    const std::string ui = std::string(folder) + "/QOR Editor UI.txt";
    std::remove(ui.c_str());
    rmdir(folder);
  }
  // Seconds until the job thread is idle again, up to five minutes.
  double waitIdle(std::chrono::steady_clock::time_point t0) {
    for (int i = 0; i < 300000 && !plug->midiManager->threadIdle(kJobThread); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  size_t filledSlots() {
    PatchLibrarian& lib = *plug->patchLibrarian;
    std::lock_guard<std::recursive_mutex> hold(lib.mLock);
    const auto& patches = lib.singleFiles.back()->patches;
    return size_t(std::count_if(patches.begin(), patches.end(), [](const LibrarianPatch& p) { return !p.messages.empty(); }));
  }
};

Rig& TheRig() {
  static Rig rig;
  return rig;
}

// Arguments: poll period entry (0: 50 ms, 1: 75, 2: 100, 3: 200, 4: 300, 5: 400, 6: 500), simulator paced as a cable (1) or not.
void Setup(Rig& r, const benchmark::State& st) {
  r.plug->GetParam(qorid::kLibSyncTimer)->Set(double(st.range(0)));
  r.sim.command(st.range(1) ? "option throttle" : "option throttle 0");
}

void Report(benchmark::State& st, double seconds, size_t slots) {
  const double cable = kSlots * kProgramBytes / kCableBytesPerSecond;
  st.counters["s"] = seconds;
  st.counters["cable s"] = cable;
  st.counters["x cable"] = seconds / cable;
  st.counters["slots"] = double(slots);
}

void BM_BankRequest(benchmark::State& st) {
  Rig& r = TheRig();
  if (!r.error.empty()) return st.SkipWithError(r.error.c_str());
  Setup(r, st);
  // Third argument 1: stored requests are answered with plain program dumps, which name no slot.
  r.sim.command(st.range(2) ? "option stored-program-reply dump" : "option stored-program-reply stored");
  double seconds = 0;
  size_t slots = 0;
  for (auto _ : st) {
    const auto t0 = std::chrono::steady_clock::now();
    r.plug->midiManager->sendAllPatchRequestSysexFromLibrarian(0);
    seconds = r.waitIdle(t0);
    slots = r.filledSlots();
  }
  Report(st, seconds, slots);
}
BENCHMARK(BM_BankRequest)
    ->Args({0, 0, 0})
    ->Args({1, 0, 0})
    ->Args({2, 0, 0})
    ->Args({3, 0, 0})
    ->Args({4, 0, 0})
    ->Args({5, 0, 0})
    ->Args({6, 0, 0})
    ->Args({0, 1, 0})
    ->Args({2, 1, 0})
    ->Args({0, 0, 1})
    ->Args({1, 0, 1})
    ->Args({2, 0, 1})
    ->Args({3, 0, 1})
    ->ArgNames({"period", "cable", "plain"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The bank the request brought in goes into the synthesizer's bank C.
void BM_BankStore(benchmark::State& st) {
  Rig& r = TheRig();
  if (!r.error.empty()) return st.SkipWithError(r.error.c_str());
  if (r.filledSlots() < kSlots) return st.SkipWithError("no whole bank in the library: run BM_BankRequest first");
  Setup(r, st);
  double seconds = 0;
  for (auto _ : st) {
    // The write logs its first message on standard output without a log file.
    QuietStdout quiet;
    const auto t0 = std::chrono::steady_clock::now();
    r.plug->storeAllPatchesToDeviceFromLibrarian(0, 0, 2);
    seconds = r.waitIdle(t0);
  }
  Report(st, seconds, kSlots);
}
// Only the editor paces the write: the simulator's cable pace is for what it sends.
BENCHMARK(BM_BankStore)
    ->Args({0, 0})
    ->Args({2, 0})
    ->ArgNames({"period", "cable"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
