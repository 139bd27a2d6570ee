// Kernel-object records behind a HANDLE. Every record begins with a 32-bit type code and a
// 32-bit reference count; the window layer makes descriptor and process objects.
#pragma once

#include "kit/wapi/wapi.h"

#include <pthread.h>

#include <atomic>
#include <cstdio>
#include <mutex>

enum : uint32_t {
  WAPI_HANDLE_THREAD = 0x1000002,
  WAPI_HANDLE_EVENT = 0x1000003,
  WAPI_HANDLE_FILE = 0x1000004,
  WAPI_HANDLE_DESCRIPTOR = 0x1000005,
  WAPI_HANDLE_SOCKETEVENT = 0x1000006,
  WAPI_HANDLE_PROCESS = 0x1000007,
};

struct WAPI_KernelObject {
  uint32_t type;
  std::atomic<int32_t> refs;
};

struct WAPI_ThreadObject : WAPI_KernelObject {
  LPTHREAD_START_ROUTINE proc;
  LPVOID param;
  pthread_t thread;
  DWORD result;
  std::atomic<unsigned char> done;
  // A POSIX thread is joined or detached exactly once, whoever gets there first.
  std::mutex joinMutex;
  bool joined;
  bool detached;
};

struct WAPI_EventObject : WAPI_KernelObject {
  pthread_mutex_t mutex;
  pthread_cond_t cond;  // on the monotonic clock
  unsigned char signalled;
  unsigned char manualReset;
};

struct WAPI_FileObject : WAPI_KernelObject {
  FILE* stream;
};

struct WAPI_DescriptorObject : WAPI_KernelObject {
  int readFd;
};

struct WAPI_SocketEventObject : WAPI_KernelObject {
  int readFd;   // -1 when closed
  int writeFd;  // -1 when closed
  unsigned char autoReset;
};

struct WAPI_ProcessObject : WAPI_KernelObject {
  void* task;
};

// The window layer's launched-process object, when the window layer is linked in.
DWORD WAPI_WaitForNSTask(void* task, DWORD timeoutMs) __attribute__((weak));
void WAPI_ReleaseNSTask(void* task) __attribute__((weak));
void WAPI_EnsureMultithreadedCocoa() __attribute__((weak));
void* WAPI_InitAutoRelease() __attribute__((weak));
void WAPI_QuitAutoRelease(void* pool) __attribute__((weak));

// Milliseconds on the monotonic clock, 64-bit so that deadlines never wrap.
uint64_t wapiMonotonicMs();
