// Ini lookups in 32 cached files of 1,000 keys each, beside the bare stat every lookup pays to
// see whether its file changed; a first read of one file; and a write-back of one file.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/safefile.h"
#include "kit/wapi/wapi-ini.h"

namespace {

constexpr int kFiles = 32, kSections = 10, kKeysPerSection = 100;

struct Files {
  std::string folder;
  std::vector<std::string> names;

  Files() {
    char tmpl[] = "/tmp/qor_ini_bench_XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    folder = tmpl;
    for (int f = 0; f < kFiles; ++f) {
      std::string text;
      for (int s = 0; s < kSections; ++s) {
        text += "[Section " + std::to_string(s) + "]\n";
        for (int k = 0; k < kKeysPerSection; ++k)
          text += "Key" + std::to_string(k) + "=value " + std::to_string(f * 1000 + s * 100 + k) + "\n";
        text += "\n";
      }
      names.push_back(folder + "/settings" + std::to_string(f) + ".ini");
      if (!kit::WriteFileReplacing(names.back(), text.data(), text.size())) std::abort();
    }
  }
  ~Files() {
    for (const std::string& n : names) ::unlink(n.c_str());
    ::rmdir(folder.c_str());
  }
};

Files& files() {
  static Files f;
  return f;
}

// The same spread of files, sections and keys for every lookup benchmark.
struct Probe {
  std::string section, key;
};
std::vector<Probe> probes() {
  std::vector<Probe> out;
  uint32_t x = 12345;
  for (int i = 0; i < 4096; ++i) {
    x = x * 1664525u + 1013904223u;
    out.push_back(
        {"section " + std::to_string((x >> 8) % kSections), "KEY" + std::to_string((x >> 16) % kKeysPerSection)});
  }
  return out;
}

void BM_IniLookupIn32CachedFiles(benchmark::State& state) {
  Files& f = files();
  const std::vector<Probe> p = probes();
  char buf[64];
  for (const std::string& n : f.names) GetPrivateProfileString("a", "b", "", buf, sizeof buf, n.c_str());
  size_t i = 0;
  for (auto _ : state) {
    const Probe& q = p[i % p.size()];
    int n = GetPrivateProfileString(q.section.c_str(), q.key.c_str(), "", buf, sizeof buf, f.names[i % kFiles].c_str());
    if (n == 0) state.SkipWithError("key not found");
    benchmark::DoNotOptimize(buf);
    ++i;
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_IniLookupIn32CachedFiles);

void BM_BareStatOfTheSameFiles(benchmark::State& state) {
  Files& f = files();
  struct stat st;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(::stat(f.names[i % kFiles].c_str(), &st));
    ++i;
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_BareStatOfTheSameFiles);

void BM_IniFirstReadOf1000Keys(benchmark::State& state) {
  Files& f = files();
  char buf[64];
  for (auto _ : state) {
    wapi_ini::ForgetAll();
    benchmark::DoNotOptimize(GetPrivateProfileString("Section 9", "Key99", "", buf, sizeof buf, f.names[0].c_str()));
  }
}
BENCHMARK(BM_IniFirstReadOf1000Keys)->Unit(benchmark::kMicrosecond);

// Each change rewrites the whole file through a synced temporary file and a rename.
void BM_IniWriteBackOf1000Keys(benchmark::State& state) {
  Files& f = files();
  int i = 0;
  for (auto _ : state) {
    if (!WritePrivateProfileString("Section 5", "Key50", (i++ & 1) ? "one" : "two", f.names[1].c_str()))
      state.SkipWithError("write failed");
  }
}
BENCHMARK(BM_IniWriteBackOf1000Keys)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
