// Child processes over the platform's tasks: launching with an argument vector, waiting with a
// time-out, releasing, and bringing a launched application to the front. Any thread, except
// WAPI_MakeProcessFront on the main thread.
#include "kit/wapi/wapi-handles.h"

#include <AppKit/AppKit.h>
#include <Carbon/Carbon.h>

#include <new>
#include <vector>

HANDLE WAPI_CreateProcess(const char* path, int argc, const char** argv) {
  NSAutoreleasePool pool;
  // The bytes of the path and the arguments reach the program as given.
  NSString* launchPath = NSString::stringWithUTF8String(path ? path : "");
  std::vector<NSObject*> args;
  for (int i = 0; argv && i < argc; ++i) args.push_back(NSString::stringWithUTF8String(argv[i] ? argv[i] : ""));
  auto* task = static_cast<NSTask*>(NSTask::class_()->alloc());
  try {
    task->setArguments(NSArray::arrayWithVector(args));
    task->setLaunchPath(launchPath);
    task->launch();
  } catch (NSException*) {
    task->release();
    return nullptr;
  }
  auto* p = new (std::nothrow) WAPI_ProcessObject;
  if (!p) {
    task->release();
    return nullptr;
  }
  p->type = WAPI_HANDLE_PROCESS;
  p->refs.store(1);
  p->task = task;
  return p;
}

DWORD WAPI_WaitForNSTask(void* task, DWORD timeoutMs) {
  auto* t = static_cast<NSTask*>(task);
  if (!t) return 0;
  if (timeoutMs == 0) return t->isRunning() ? WAIT_TIMEOUT : 0;
  const uint64_t deadline = wapiMonotonicMs() + timeoutMs;
  while (t->isRunning()) {
    if (wapiMonotonicMs() >= deadline) return t->isRunning() ? WAIT_TIMEOUT : 0;
    Sleep(1);
  }
  return 0;
}

void WAPI_ReleaseNSTask(void* task) {
  if (task) static_cast<NSTask*>(task)->release();
}

void WAPI_MakeProcessFront(HANDLE process) {
  auto* p = static_cast<WAPI_ProcessObject*>(process);
  if (!p || p->type != WAPI_HANDLE_PROCESS || !p->task) return;
  const pid_t pid = static_cast<NSTask*>(p->task)->processIdentifier();
  ProcessSerialNumber psn{};
  // The application may take a moment to register after launch.
  for (int failures = 0; GetProcessForPID(pid, &psn) != noErr;) {
    if (++failures >= 20) return;
    Sleep(50);
  }
  SetFrontProcess(&psn);
}
