// The window layer's message paths: 100,000 messages posted from four threads while the main
// thread flushes the queue, and SendMessage to a window procedure. Heap allocations per
// message are counted in the steady state (the queue reuses its records).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "kit/wapi/wapi-internal.h"
#include "tests/wapi/post_forwarder.h"

namespace {
std::atomic<long> gAllocations{0};
}  // namespace

void* operator new(std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

std::atomic<long> gDelivered{0};
LRESULT CountingProc(HWND, UINT m, WPARAM, LPARAM) {
  if (m == WM_USER) gDelivered.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

HWND target() {
  static HWND h = [] {
    NSApplicationLoad();
    NSApp->setDelegate(new PostForwardingDelegate);
    WAPI_Internal_PostMessage_Init();
    auto* v = static_cast<Wapi_vQOR_hwnd*>(Wapi_vQOR_hwnd::class_()->alloc());
    v->initChild(nullptr, nullptr, CountingProc, 0);
    return wapiHandle(v);
  }();
  return h;
}

void BM_PostFromFourThreadsAndFlush(benchmark::State& state) {
  const HWND h = target();
  constexpr int kThreads = 4, kEach = 25000;
  long allocations = 0;
  for (auto _ : state) {
    gDelivered = 0;
    const long before = gAllocations.load();
    std::vector<std::thread> workers;
    workers.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t)
      workers.emplace_back([h] {
        for (int i = 0; i < kEach; ++i)
          while (!PostMessage(h, WM_USER, 0, i)) std::this_thread::yield();
      });
    while (gDelivered.load() < kThreads * kEach) WAPI_MessageQueue_Flush();
    for (std::thread& t : workers) t.join();
    allocations = gAllocations.load() - before;
  }
  state.SetItemsProcessed(state.iterations() * kThreads * kEach);
  // The worker list and each started thread allocate once (five); anything beyond is the queue's.
  state.counters["allocs_last_round"] = double(allocations);
}
BENCHMARK(BM_PostFromFourThreadsAndFlush)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SendMessageToAProcedure(benchmark::State& state) {
  const HWND h = target();
  const long before = gAllocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(SendMessage(h, WM_USER, 1, 2));
  state.SetItemsProcessed(state.iterations());
  state.counters["allocs"] = double(gAllocations.load() - before);
}
BENCHMARK(BM_SendMessageToAProcedure);

}  // namespace

BENCHMARK_MAIN();
