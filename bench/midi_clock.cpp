// The MIDI timing clock as it runs in the editor: job 21 on the clock thread for 10 s at 60, 120
// and 240 BPM (host tempo). Reports the mean interval between ticks, the lateness of each tick
// at send time against its due time (the first tick plus whole intervals; p50 and p99) and the
// processor time of the clock thread as a share of one core.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "Project_Source/src/MIDIMessageManager.h"
#include "Project_Source/src/QOR.h"
#include "Project_Source/src/QORParams.h"
#include "Project_Source/src/clock_gettime_stub.h"
#include "bench_paths.h"
#include "kit/plugin/IParam.h"

namespace {

int64_t nowNs(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

class ClockedQOR : public QOR {
 public:
  explicit ClockedQOR(double bpm) : QOR(IPluginInstanceInfo()), bpm(bpm) {
    midiIOSet = true;
    sendClockInfo = true;
    GetParam(qorid::kOverrideTempo)->Set(1.0);
  }
  ~ClockedQOR() override { midiManager->stopAndJoin(); }
  double GetTempo() override { return bpm; }
  // Runs on the clock thread: the send time, and that thread's processor time.
  bool SendMidiSysex2(std::vector<unsigned char>) override {
    timespec ts{};
    qor_clock_gettime(1, &ts);
    const int64_t cpu = nowNs(CLOCK_THREAD_CPUTIME_ID);
    std::lock_guard<std::mutex> l(lock);
    sent.push_back(int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec);
    cpuAt.push_back(cpu);
    return true;
  }
  const double bpm;
  std::mutex lock;
  std::vector<int64_t> sent, cpuAt;
};

double percentile(std::vector<int64_t> v, double p) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return double(v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))]);
}

void BM_MidiClock(benchmark::State& st) {
  const double bpm = double(st.range(0));
  char folder[] = "/tmp/qor_clock_XXXXXX";
  if (!mkdtemp(folder)) {
    st.SkipWithError("no temporary folder");
    return;
  }
  setenv("QOR_DATA_FOLDER", folder, 1);
  const std::unique_ptr<ClockedQOR> made = Quietly([&] { return std::make_unique<ClockedQOR>(bpm); });
  ClockedQOR& plug = *made;
  for (auto _ : st) {
    MIDIMessageSender& s = *plug.midiManager->sender;
    s.resetContinuousClock(false);
    SenderJobRecord r;
    r.job = kJobContinuousClock;
    if (!plug.midiManager->startJob(r)) st.SkipWithError("clock thread busy");
    usleep(10 * 1000 * 1000);
    s.resetContinuousClock(true);
    while (!plug.midiManager->threadIdle(kClockThread)) usleep(1000);
  }
  const int64_t interval = plug.midiManager->sender->clockInterval();
  std::vector<int64_t> late;
  for (size_t i = 1; i < plug.sent.size(); ++i) late.push_back(plug.sent[i] - plug.sent[0] - int64_t(i) * interval);
  const size_t n = plug.sent.size();
  if (n > 1) {
    const double span = double(plug.sent[n - 1] - plug.sent[0]);
    st.counters["ticks"] = double(n);
    st.counters["interval_ns"] = double(interval);
    st.counters["mean_ns"] = span / double(n - 1);
    st.counters["late_p50_us"] = percentile(late, 0.50) / 1000.0;
    st.counters["late_p99_us"] = percentile(late, 0.99) / 1000.0;
    st.counters["cpu_pct"] = 100.0 * double(plug.cpuAt[n - 1] - plug.cpuAt[0]) / span;
  }
  std::string log = std::string(folder) + "/QOR Editor LOG.txt";
  std::remove(log.c_str());
  rmdir(folder);
}
BENCHMARK(BM_MidiClock)->Arg(60)->Arg(120)->Arg(240)->ArgName("bpm")->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
