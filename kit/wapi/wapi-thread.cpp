// Sleeping, tick counts and threads: the system calls' own over POSIX, and platform threads
// with their autorelease pools.
#include "kit/wapi/wapi-handles.h"

#include <Foundation/Foundation.h>

#include <cerrno>
#include <ctime>
#include <new>

uint64_t wapiMonotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

void Sleep(int ms) {
  // Long waits are not cut to 32-bit microseconds, and a signal does not shorten the wait.
  timespec req;
  if (ms <= 0) {
    req.tv_sec = 0;
    req.tv_nsec = 100000;
  } else {
    req.tv_sec = ms / 1000;
    req.tv_nsec = long(ms % 1000) * 1000000L;
  }
  timespec rem;
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

DWORD GetTickCount() {
  // A 32-bit millisecond count that wraps, but never jumps when the wall clock is set.
  return DWORD(wapiMonotonicMs());
}

DWORD GetCurrentThreadId() { return DWORD(uintptr_t(pthread_self())); }

static void* threadproc(void* arg) {
  WAPI_ThreadObject* t = static_cast<WAPI_ThreadObject*>(arg);
  void* pool = WAPI_InitAutoRelease ? WAPI_InitAutoRelease() : nullptr;
  t->result = t->proc ? t->proc(t->param) : 0;
  t->done.store(1, std::memory_order_release);
  CloseHandle(t);
  if (WAPI_QuitAutoRelease) WAPI_QuitAutoRelease(pool);
  return nullptr;
}

HANDLE CreateThread(void*, size_t, LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD,
                    DWORD* threadId) {
  if (WAPI_EnsureMultithreadedCocoa) WAPI_EnsureMultithreadedCocoa();
  WAPI_ThreadObject* t = new (std::nothrow) WAPI_ThreadObject;
  if (!t) return nullptr;
  t->type = WAPI_HANDLE_THREAD;
  t->refs.store(2);
  t->proc = proc;
  t->param = param;
  t->result = 0;
  t->done.store(0);
  t->joined = false;
  t->detached = false;
  if (pthread_create(&t->thread, nullptr, threadproc, t) != 0) {
    delete t;
    return nullptr;
  }
  if (threadId) *threadId = DWORD(uintptr_t(t->thread));
  return t;
}

BOOL SetThreadPriority(HANDLE h, int priority) {
  WAPI_ThreadObject* t = static_cast<WAPI_ThreadObject*>(h);
  if (!t || t->type != WAPI_HANDLE_THREAD || t->done.load(std::memory_order_acquire)) return 0;
  std::lock_guard<std::mutex> lock(t->joinMutex);
  if (t->joined || t->detached) return 0;
  int policy = 0;
  sched_param sp{};
  if (pthread_getschedparam(t->thread, &policy, &sp) != 0) return 0;
  int lo = sched_get_priority_min(policy), hi = sched_get_priority_max(policy);
  long want = long(priority) + 31;
  sp.sched_priority = int(want < lo ? lo : want > hi ? hi : want);
  return pthread_setschedparam(t->thread, policy, &sp) == 0 ? 1 : 0;
}

// Joins the thread once; later calls answer the first outcome.
bool wapiJoinThread(WAPI_ThreadObject* t) {
  std::lock_guard<std::mutex> lock(t->joinMutex);
  if (t->joined) return true;
  if (t->detached) return false;
  if (pthread_join(t->thread, nullptr) != 0) return false;
  t->joined = true;
  return true;
}

// The thread dropping its own last reference cannot join itself: it detaches instead, so its
// resources are reclaimed when it exits.
void wapiReleaseThread(WAPI_ThreadObject* t) {
  bool self = pthread_equal(t->thread, pthread_self());
  {
    std::lock_guard<std::mutex> lock(t->joinMutex);
    if (!t->joined && !t->detached && self) {
      pthread_detach(t->thread);
      t->detached = true;
    }
  }
  if (!self) wapiJoinThread(t);
}

// ---- Platform threads and autorelease pools ----
// Beside CreateThread, which names them weakly: any program that starts a thread links them.

namespace {

// The target of a platform thread: the function and its argument.
class Wapi_vQOR_thread : public NSObject {
  NS_STANDIN_CLASS(Wapi_vQOR_thread)

 public:
  Wapi_vQOR_thread() = default;
  Wapi_vQOR_thread* init(LPTHREAD_START_ROUTINE proc, LPVOID param) {
    mProc = proc;
    mParam = param;
    return this;
  }
  static NSObject* bla(NSObject* self, SEL, NSObject*) {
    auto* t = static_cast<Wapi_vQOR_thread*>(self);
    if (t->mProc) t->mProc(t->mParam);
    NSThread::exit();
    return nullptr;
  }

 private:
  LPTHREAD_START_ROUTINE mProc = nullptr;
  LPVOID mParam = nullptr;
};

SEL blaSelector() {
  static const SEL sel = [] {
    SEL s = sel_registerName("bla:");
    Wapi_vQOR_thread::class_()->addMethod(s, &Wapi_vQOR_thread::bla);
    return s;
  }();
  return sel;
}

void detach(LPTHREAD_START_ROUTINE proc, LPVOID param) {
  auto* t = static_cast<Wapi_vQOR_thread*>(Wapi_vQOR_thread::class_()->alloc());
  t->init(proc, param);
  NSThread::detachNewThreadSelector(blaSelector(), t, t);
  t->release();
}

}  // namespace

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_thread, NSObject)

void CreateThreadNS(void*, size_t, LPTHREAD_START_ROUTINE proc, LPVOID param, DWORD, DWORD*) {
  detach(proc, param);
}

void WAPI_EnsureMultithreadedCocoa() {
  static std::once_flag once;
  // A thread that ends at once puts the platform into multithreaded mode.
  std::call_once(once, [] {
    if (!NSThread::isMultiThreaded()) detach(nullptr, nullptr);
  });
}

void* WAPI_InitAutoRelease() {
  return new NSAutoreleasePool;
}

void WAPI_QuitAutoRelease(void* pool) {
  delete static_cast<NSAutoreleasePool*>(pool);
}
