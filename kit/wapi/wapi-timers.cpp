// Window timers over the run loop's timers, and the posted-message queue that other threads
// fill and the main thread drains on a 50 ms tick through the application delegate.
#include "kit/wapi/wapi-internal.h"

#include "kit/wapi/wapi-handles.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <mutex>
#include <unordered_set>

NS_STANDIN_CLASS_IMPL(Wapi_vQOR_tft, NSObject)
NS_STANDIN_CLASS_IMPL(Wapi_vQOR_sdh, NSObject)

HWND g_wapi_only_timerhwnd = nullptr;

namespace {

constexpr UINT_PTR kAllTimers32 = 0xFFFFFFFF;
constexpr UINT kKillRequest = 0xFFFFFFFF;
constexpr int kQueueLimit = 1024;

bool meansAll(UINT_PTR id) {
  return id == kAllTimers32 || id == UINT_PTR(-1);
}

bool onMainThread() {
  return syscall(SYS_gettid) == getpid();
}

struct TimerRecord {
  UINT_PTR id;
  HWND hwnd;
  NSTimer* timer;  // retained by the record
  TimerRecord* next;
};

// Both mutexes live to the process end: threads may post while statics are torn down.
std::recursive_mutex& timerMutex() {
  static auto* m = new std::recursive_mutex;
  return *m;
}
TimerRecord* gTimers = nullptr;

struct PostedMessageRecord {
  HWND hwnd;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  PostedMessageRecord* next;
  unsigned char isTimerRequest;
};

std::recursive_mutex* gQueueMutex = nullptr;  // made by WAPI_Internal_PostMessage_Init
PostedMessageRecord *gQueue = nullptr, *gQueueTail = nullptr, *gFree = nullptr;
int gQueueSize = 0;
bool gQueueReady = false;
NSTimer* gTickTimer = nullptr;

// Which layer views accept posts; guarded by its own mutex so posts work before the queue exists.
std::mutex& acceptMutex() {
  static auto* m = new std::mutex;
  return *m;
}
std::unordered_set<HWND>& accepting() {
  static auto* s = new std::unordered_set<HWND>;
  return *s;
}

bool accepts(HWND hwnd) {
  std::lock_guard<std::mutex> hold(acceptMutex());
  return accepting().count(hwnd) != 0;
}

PostedMessageRecord* takeRecord() {
  if (PostedMessageRecord* r = gFree) {
    gFree = r->next;
    return r;
  }
  return new (std::nothrow) PostedMessageRecord;
}

void append(PostedMessageRecord* r) {
  r->next = nullptr;
  if (gQueueTail)
    gQueueTail->next = r;
  else
    gQueue = r;
  gQueueTail = r;
  ++gQueueSize;
}

bool killsAll(UINT request, UINT_PTR id) {
  return request == kKillRequest && meansAll(id);
}

// A timer request from another thread: a later request for the same window and id overwrites
// a queued one, unless a kill of all the window's timers lies between them (or the later request
// is such a kill and another request of the window lies between): merged, it would change what
// that kill removes.
void queueTimerRequest(HWND hwnd, UINT_PTR id, UINT interval, TIMERPROC proc) {
  if (!hwnd || !gQueueReady) return;
  std::lock_guard<std::recursive_mutex> hold(*gQueueMutex);
  const bool all = killsAll(interval, id);
  PostedMessageRecord* same = nullptr;
  for (PostedMessageRecord* r = gQueue; r; r = r->next) {
    if (!r->isTimerRequest || r->hwnd != hwnd) continue;
    const bool rAll = killsAll(r->msg, r->wParam);
    if (r->wParam == id || (all && rAll))
      same = r;
    else if (all || rAll)
      same = nullptr;
  }
  if (same) {
    same->msg = interval;
    same->lParam = reinterpret_cast<LPARAM>(proc);
    return;
  }
  PostedMessageRecord* r = takeRecord();
  if (!r) return;
  *r = PostedMessageRecord{hwnd, interval, id, reinterpret_cast<LPARAM>(proc), nullptr, 1};
  append(r);
}

NSObject* TftTimerMethod(NSObject* self, SEL, NSObject*) {
  static_cast<Wapi_vQOR_tft*>(self)->WAPI_Timer();
  return nullptr;
}

// A window timer without a procedure reaches the view by selector, its id in the user info.
NSObject* ViewTimerMethod(NSObject* self, SEL, NSObject* timer) {
  auto* holder = wapiAs<Wapi_vQOR_sdh>(static_cast<NSTimer*>(timer)->userInfo());
  const HWND h = wapiHandle(self);
  if (!holder || (g_wapi_only_timerhwnd && g_wapi_only_timerhwnd != h)) return nullptr;
  // Only while alive: a handler of WM_DESTROY that runs the loop hears no more ticks.
  if (auto* v = wapiAs<Wapi_vQOR_hwnd>(self); v && v->wapiHasBeenDestroyed()) return nullptr;
  SendMessage(h, WM_TIMER, holder->getValue(), 0);
  return nullptr;
}

// The queue's drain: the timer reaches the delegate through this object.
class QueueTick : public NSObject {
 public:
  static NSObject* Tick(NSObject*, SEL, NSObject*) {
    if (auto* d = dynamic_cast<WapiPostMessageDelegate*>(NSApp->delegate())) d->wapiPostMessageTick();
    return nullptr;
  }
  Class getClass() const override {
    static ns_class record("Wapi_vQOR_pmqtick", NSObject::class_(), nullptr);
    static const bool added = [] {
      record.addMethod(sel_registerName("wapiPostMessageTick:"), &Tick);
      return true;
    }();
    (void)added;
    return &record;
  }
};

const bool kMethodsAdded = [] {
  const SEL timerSel = sel_registerName("WAPI_Timer:");
  Wapi_vQOR_tft::class_()->addMethod(timerSel, &TftTimerMethod);
  Wapi_vQOR_hwnd::class_()->addMethod(timerSel, &ViewTimerMethod);
  return true;
}();

void unlinkAndFree(TimerRecord** link) {
  TimerRecord* r = *link;
  *link = r->next;
  if (r->timer) {
    r->timer->invalidate();
    r->timer->release();
  }
  delete r;
}

}  // namespace

void Wapi_vQOR_tft::WAPI_Timer() {
  if (g_wapi_only_timerhwnd && g_wapi_only_timerhwnd != mHwnd) return;
  if (mProc) mProc(mHwnd, WM_TIMER, mId, GetTickCount());
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT interval, TIMERPROC proc) {
  if (!hwnd && !proc) return 0;
  if (hwnd && id == 0) return 0;
  if (!onMainThread()) {
    // Only the main thread's loop runs timers: others queue, once there is a queue.
    if (!hwnd || meansAll(id) || !gQueueReady) return 0;
    queueTimerRequest(hwnd, id, interval > 0xFFFFFFFE ? 0xFFFFFFFE : interval, proc);
    return id;
  }
  NSObject* target = nullptr;
  if (hwnd) {
    NSObject* o = wapiObject(hwnd);
    const SEL timerSel = sel_registerName("WAPI_Timer:");
    if (o && o->respondsToSelector(timerSel))
      target = o;
    else if (auto* w = wapiAs<NSWindow>(o); w && w->contentView() && w->contentView()->respondsToSelector(timerSel))
      target = w->contentView();
    else
      return 0;
  }
  std::lock_guard<std::recursive_mutex> hold(timerMutex());
  TimerRecord* rec = nullptr;
  for (TimerRecord* r = gTimers; r && (id || target); r = r->next)
    if (r->id == id && r->hwnd == wapiHandle(target)) {
      rec = r;
      break;
    }
  const bool fresh = !rec;
  if (rec) {
    if (rec->timer) {
      rec->timer->invalidate();
      rec->timer->release();
    }
    rec->timer = nullptr;
  } else {
    rec = new (std::nothrow) TimerRecord{};
    if (!rec) return 0;
  }
  rec->id = id;
  rec->hwnd = wapiHandle(target);
  const double seconds = interval ? interval / 1000.0 : 0.001;
  const SEL timerSel = sel_registerName("WAPI_Timer:");
  if (proc || !target) {
    if (!target) rec->id = reinterpret_cast<UINT_PTR>(rec);
    auto* tft = static_cast<Wapi_vQOR_tft*>(Wapi_vQOR_tft::class_()->alloc());
    tft->init(rec->id, rec->hwnd, proc);
    rec->timer = NSTimer::timerWithTimeInterval(seconds, tft, timerSel, tft, true);
    tft->release();
  } else {
    auto* holder = static_cast<Wapi_vQOR_sdh*>(Wapi_vQOR_sdh::class_()->alloc());
    holder->init(id);
    rec->timer = NSTimer::timerWithTimeInterval(seconds, target, timerSel, holder, true);
    holder->release();
  }
  rec->timer->retain();
  NSRunLoop::currentRunLoop()->addTimer(rec->timer, NSRunLoopCommonModes);
  if (fresh) {
    rec->next = gTimers;
    gTimers = rec;
  }
  return rec->id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  if (!hwnd && id == 0) return 0;
  if (!onMainThread()) {
    // Every request goes through the queue, a window's all-timers kill included: the list and
    // the timers belong to the main thread's loop.
    if (!hwnd || !gQueueReady) return 0;
    queueTimerRequest(hwnd, id, kKillRequest, nullptr);
    return 1;
  }
  std::lock_guard<std::recursive_mutex> hold(timerMutex());
  if (!hwnd && meansAll(id)) return 0;
  BOOL removed = 0;
  for (TimerRecord** link = &gTimers; *link;) {
    TimerRecord* r = *link;
    if (r->hwnd == hwnd && (meansAll(id) || r->id == id)) {
      unlinkAndFree(link);
      removed = 1;
      if (!meansAll(id)) break;
    } else {
      link = &r->next;
    }
  }
  return removed;
}

void WAPI_RunRunLoop(int ms) {
  NSRunLoop::currentRunLoop()->runUntilDate(CFAbsoluteTimeGetCurrent() + ms / 1000.0);
}

void WAPI_RunRunLoopEx(int ms, HWND onlyTimersOf) {
  const HWND saved = g_wapi_only_timerhwnd;
  g_wapi_only_timerhwnd = onlyTimersOf;
  WAPI_RunRunLoop(ms);
  if (g_wapi_only_timerhwnd == onlyTimersOf) g_wapi_only_timerhwnd = saved;
}

void wapiAcceptPosts(HWND hwnd, bool accept) {
  std::lock_guard<std::mutex> hold(acceptMutex());
  if (accept)
    accepting().insert(hwnd);
  else
    accepting().erase(hwnd);
}

BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = dynamic_cast<WapiPostMessageDelegate*>(NSApp->delegate());
  return d ? BOOL(d->wapiPostMessage(hwnd, msg, wParam, lParam) & 0xFF) : 0;
}

void WAPI_MessageQueue_Clear(HWND hwnd) {
  if (auto* d = dynamic_cast<WapiPostMessageDelegate*>(NSApp->delegate())) d->wapiPostMessageClearQ(hwnd);
}

void WAPI_Internal_PostMessage_Init() {
  if (gQueueMutex || !dynamic_cast<WapiPostMessageDelegate*>(NSApp->delegate())) return;
  gQueueMutex = new std::recursive_mutex;
  auto* tick = new QueueTick;
  gTickTimer = NSTimer::timerWithTimeInterval(0.05, tick, sel_registerName("wapiPostMessageTick:"), nullptr, true);
  tick->release();
  gTickTimer->retain();
  NSRunLoop::currentRunLoop()->addTimer(gTickTimer, NSRunLoopCommonModes);
  gQueueReady = true;
}

BOOL WAPI_Internal_PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!hwnd || !gQueueReady) return 0;
  std::lock_guard<std::recursive_mutex> hold(*gQueueMutex);
  if (!gFree && gQueueSize >= kQueueLimit) return 0;
  if (!accepts(hwnd)) return 0;
  PostedMessageRecord* r = takeRecord();
  if (!r) return 0;
  *r = PostedMessageRecord{hwnd, msg, wParam, lParam, nullptr, 0};
  append(r);
  return 1;
}

void WAPI_MessageQueue_Flush() {
  if (!gQueueReady) return;
  PostedMessageRecord* chain;
  {
    std::lock_guard<std::recursive_mutex> hold(*gQueueMutex);
    chain = gQueue;
    gQueue = gQueueTail = nullptr;
  }
  int handled = 0;
  PostedMessageRecord* last = nullptr;
  for (PostedMessageRecord* r = chain; r; r = r->next) {
    ++handled;
    last = r;
    if (r->isTimerRequest) {
      if (r->msg < kKillRequest)
        SetTimer(r->hwnd, r->wParam, r->msg, reinterpret_cast<TIMERPROC>(r->lParam));
      else
        KillTimer(r->hwnd, r->wParam);
    } else if (wapiObject(r->hwnd) && accepts(r->hwnd)) {
      // Only to windows still alive and not being destroyed.
      SendMessage(r->hwnd, r->msg, r->wParam, r->lParam);
    }
  }
  std::lock_guard<std::recursive_mutex> hold(*gQueueMutex);
  gQueueSize -= handled;
  if (last) {
    last->next = gFree;
    gFree = chain;
  }
}

void WAPI_Internal_PMQ_ClearAllMessages(HWND hwnd) {
  if (!gQueueReady) return;
  std::lock_guard<std::recursive_mutex> hold(*gQueueMutex);
  PostedMessageRecord** link = &gQueue;
  gQueueTail = nullptr;
  while (PostedMessageRecord* r = *link) {
    if (!hwnd || r->hwnd == hwnd) {
      *link = r->next;
      r->next = gFree;
      gFree = r;
      --gQueueSize;
    } else {
      gQueueTail = r;
      link = &r->next;
    }
  }
}
