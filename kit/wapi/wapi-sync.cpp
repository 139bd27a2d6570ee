// Events, socket events, waits, handle release and file handles.
#include "kit/wapi/wapi-handles.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <new>
#include <vector>

bool wapiJoinThread(WAPI_ThreadObject* t);
void wapiReleaseThread(WAPI_ThreadObject* t);

namespace {

WAPI_KernelObject* kobj(HANDLE h) {
  WAPI_KernelObject* k = static_cast<WAPI_KernelObject*>(h);
  if (!k || k->type < WAPI_HANDLE_THREAD || k->type > WAPI_HANDLE_PROCESS) return nullptr;
  return k;
}

template <class T>
T* as(HANDLE h, uint32_t type) {
  WAPI_KernelObject* k = kobj(h);
  return k && k->type == type ? static_cast<T*>(k) : nullptr;
}

// Waits for `fd` to become readable. INFINITE waits without limit. Answers true when readable.
bool pollReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    int r = poll(&p, 1, timeoutMs);
    if (r > 0) return (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

// Remaining milliseconds to a monotonic deadline, as a poll time-out; -1 is no limit.
int remainingMs(DWORD timeout, uint64_t deadline) {
  if (timeout == INFINITE) return -1;
  uint64_t now = wapiMonotonicMs();
  if (now >= deadline) return 0;
  uint64_t left = deadline - now;
  return left > uint64_t(INT_MAX) ? INT_MAX : int(left);
}

// Drops up to 128 pending bytes; answers how many were read.
ssize_t drain(int fd) {
  char buf[128];
  ssize_t n;
  do {
    n = read(fd, buf, sizeof(buf));
  } while (n < 0 && errno == EINTR);
  return n;
}

void sleepMicros(long us) {
  timespec req{us / 1000000, (us % 1000000) * 1000};
  timespec rem;
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

DWORD waitThread(WAPI_ThreadObject* t, DWORD timeout) {
  if (!t->done.load(std::memory_order_acquire) && timeout != INFINITE) {
    if (timeout == 0) return WAIT_TIMEOUT;
    const uint64_t deadline = wapiMonotonicMs() + timeout;
    while (!t->done.load(std::memory_order_acquire)) {
      if (wapiMonotonicMs() >= deadline) return WAIT_TIMEOUT;
      sleepMicros(1000);
    }
  }
  return wapiJoinThread(t) ? WAIT_OBJECT_0 : WAIT_FAILED;
}

DWORD waitEvent(WAPI_EventObject* e, DWORD timeout) {
  pthread_mutex_lock(&e->mutex);
  DWORD result = WAIT_OBJECT_0;
  if (!e->signalled) {
    if (timeout == 0) {
      result = WAIT_TIMEOUT;
    } else if (timeout == INFINITE) {
      while (!e->signalled) pthread_cond_wait(&e->cond, &e->mutex);
    } else {
      // One absolute deadline: spurious or stolen wake-ups do not extend the wait.
      timespec until;
      clock_gettime(CLOCK_MONOTONIC, &until);
      until.tv_sec += timeout / 1000;
      until.tv_nsec += long(timeout % 1000) * 1000000L;
      if (until.tv_nsec >= 1000000000L) {
        until.tv_sec++;
        until.tv_nsec -= 1000000000L;
      }
      while (!e->signalled) {
        if (pthread_cond_timedwait(&e->cond, &e->mutex, &until) == ETIMEDOUT) {
          if (!e->signalled) result = WAIT_TIMEOUT;
          break;
        }
      }
    }
  }
  if (result == WAIT_OBJECT_0 && !e->manualReset) e->signalled = 0;
  pthread_mutex_unlock(&e->mutex);
  return result;
}

DWORD waitDescriptor(int fd, bool autoReset, DWORD timeout) {
  if (fd < 0) {
    sleepMicros(timeout == INFINITE ? 1000 : timeout == 0 ? 100 : long(timeout) * 1000);
    return WAIT_FAILED;
  }
  const uint64_t deadline = wapiMonotonicMs() + (timeout == INFINITE ? 0 : timeout);
  for (;;) {
    if (!pollReadable(fd, remainingMs(timeout, deadline))) return WAIT_TIMEOUT;
    if (!autoReset) return WAIT_OBJECT_0;
    // Another waiter may have taken the signal between the poll and the read.
    if (drain(fd) > 0) return WAIT_OBJECT_0;
  }
}

}  // namespace

HANDLE CreateEvent(void*, BOOL manualReset, BOOL initialState, const char*) {
  WAPI_EventObject* e = new (std::nothrow) WAPI_EventObject;
  if (!e) return nullptr;
  e->type = WAPI_HANDLE_EVENT;
  e->refs.store(1);
  pthread_mutex_init(&e->mutex, nullptr);
  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  pthread_cond_init(&e->cond, &attr);
  pthread_condattr_destroy(&attr);
  e->signalled = initialState ? 1 : 0;
  e->manualReset = manualReset ? 1 : 0;
  return e;
}

HANDLE CreateEventAsSocket(void*, BOOL manualReset, BOOL initialState, const char*) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
  WAPI_SocketEventObject* e = new (std::nothrow) WAPI_SocketEventObject;
  if (!e) {
    close(fds[0]);
    close(fds[1]);
    return nullptr;
  }
  e->type = WAPI_HANDLE_SOCKETEVENT;
  e->refs.store(1);
  e->readFd = fds[0];
  e->writeFd = fds[1];
  e->autoReset = manualReset ? 0 : 1;
  fcntl(e->readFd, F_SETFL, fcntl(e->readFd, F_GETFL) | O_NONBLOCK);
  if (initialState) {
    char zero = 0;
    (void)!write(e->writeFd, &zero, 1);
  }
  return e;
}

BOOL SetEvent(HANDLE h) {
  if (WAPI_EventObject* e = as<WAPI_EventObject>(h, WAPI_HANDLE_EVENT)) {
    pthread_mutex_lock(&e->mutex);
    if (!e->signalled) {
      e->signalled = 1;
      if (e->manualReset)
        pthread_cond_broadcast(&e->cond);
      else
        pthread_cond_signal(&e->cond);
    }
    pthread_mutex_unlock(&e->mutex);
    return 1;
  }
  if (WAPI_SocketEventObject* e = as<WAPI_SocketEventObject>(h, WAPI_HANDLE_SOCKETEVENT)) {
    if (e->writeFd < 0) return 1;
    if (e->readFd >= 0 && pollReadable(e->readFd, 0)) return 1;
    char zero = 0;
    ssize_t n;
    do {
      n = write(e->writeFd, &zero, 1);
    } while (n < 0 && errno == EINTR);
    return 1;
  }
  return 0;
}

BOOL ResetEvent(HANDLE h) {
  if (WAPI_EventObject* e = as<WAPI_EventObject>(h, WAPI_HANDLE_EVENT)) {
    pthread_mutex_lock(&e->mutex);
    e->signalled = 0;
    pthread_mutex_unlock(&e->mutex);
    return 1;
  }
  if (WAPI_SocketEventObject* e = as<WAPI_SocketEventObject>(h, WAPI_HANDLE_SOCKETEVENT)) {
    if (e->readFd >= 0) drain(e->readFd);
    return 1;
  }
  return 0;
}

DWORD WaitForSingleObject(HANDLE h, DWORD timeout) {
  WAPI_KernelObject* k = kobj(h);
  if (!k) return WAIT_FAILED;
  switch (k->type) {
    case WAPI_HANDLE_THREAD:
      return waitThread(static_cast<WAPI_ThreadObject*>(k), timeout);
    case WAPI_HANDLE_EVENT:
      return waitEvent(static_cast<WAPI_EventObject*>(k), timeout);
    case WAPI_HANDLE_DESCRIPTOR:
      return waitDescriptor(static_cast<WAPI_DescriptorObject*>(k)->readFd, false, timeout);
    case WAPI_HANDLE_SOCKETEVENT: {
      WAPI_SocketEventObject* e = static_cast<WAPI_SocketEventObject*>(k);
      return waitDescriptor(e->readFd, e->autoReset, timeout);
    }
    case WAPI_HANDLE_PROCESS: {
      WAPI_ProcessObject* p = static_cast<WAPI_ProcessObject*>(k);
      if (!p->task || !WAPI_WaitForNSTask) return WAIT_FAILED;
      return WAPI_WaitForNSTask(p->task, timeout);
    }
    default:
      return WAIT_FAILED;  // files are not waitable
  }
}

DWORD WaitForAnySocketObject(int count, HANDLE* handles, DWORD timeout) {
  if (count < 1 || !handles) return WAIT_TIMEOUT;
  const uint64_t deadline = wapiMonotonicMs() + (timeout == INFINITE ? 0 : timeout);
  for (;;) {
    // poll has no descriptor-number limit, unlike a select set.
    std::vector<pollfd> fds;
    std::vector<int> idx;
    for (int i = 0; i < count; ++i) {
      WAPI_KernelObject* k = kobj(handles[i]);
      int fd = -1;
      if (k && k->type == WAPI_HANDLE_DESCRIPTOR)
        fd = static_cast<WAPI_DescriptorObject*>(k)->readFd;
      else if (k && k->type == WAPI_HANDLE_SOCKETEVENT)
        fd = static_cast<WAPI_SocketEventObject*>(k)->readFd;
      if (fd < 0) continue;
      fds.push_back(pollfd{fd, POLLIN, 0});
      idx.push_back(i);
    }
    const int n = int(fds.size());
    if (n == 0) return WAIT_TIMEOUT;
    int r;
    do {
      r = poll(fds.data(), nfds_t(n), remainingMs(timeout, deadline));
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return WAIT_TIMEOUT;
    for (int j = 0; j < n; ++j) {
      if (!(fds[j].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      WAPI_KernelObject* k = kobj(handles[idx[j]]);
      if (k->type == WAPI_HANDLE_SOCKETEVENT &&
          static_cast<WAPI_SocketEventObject*>(k)->autoReset) {
        if (drain(fds[j].fd) <= 0) break;  // taken by someone else: wait again
      }
      return DWORD(idx[j]);
    }
  }
}

BOOL CloseHandle(HANDLE h) {
  WAPI_KernelObject* k = kobj(h);
  if (!k) return 0;
  if (k->type == WAPI_HANDLE_DESCRIPTOR) {
    // Descriptor objects belong to their maker; they are only dereferenced here.
    if (k->refs.fetch_sub(1) > 1) return 1;
    return 0;
  }
  if (k->refs.fetch_sub(1) > 1) return 1;
  switch (k->type) {
    case WAPI_HANDLE_THREAD: {
      WAPI_ThreadObject* t = static_cast<WAPI_ThreadObject*>(k);
      wapiReleaseThread(t);
      delete t;
      break;
    }
    case WAPI_HANDLE_EVENT: {
      WAPI_EventObject* e = static_cast<WAPI_EventObject*>(k);
      pthread_cond_destroy(&e->cond);
      pthread_mutex_destroy(&e->mutex);
      delete e;
      break;
    }
    case WAPI_HANDLE_FILE: {
      WAPI_FileObject* f = static_cast<WAPI_FileObject*>(k);
      if (f->stream) fclose(f->stream);
      delete f;
      break;
    }
    case WAPI_HANDLE_SOCKETEVENT: {
      WAPI_SocketEventObject* e = static_cast<WAPI_SocketEventObject*>(k);
      if (e->readFd >= 0) close(e->readFd);
      if (e->writeFd >= 0) close(e->writeFd);
      delete e;
      break;
    }
    case WAPI_HANDLE_PROCESS: {
      WAPI_ProcessObject* p = static_cast<WAPI_ProcessObject*>(k);
      if (p->task && WAPI_ReleaseNSTask) WAPI_ReleaseNSTask(p->task);
      delete p;
      break;
    }
  }
  return 1;
}

HANDLE CreateFile(const char*, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) { return nullptr; }

namespace {
FILE* streamOf(HANDLE h) {
  WAPI_FileObject* f = as<WAPI_FileObject>(h, WAPI_HANDLE_FILE);
  return f ? f->stream : nullptr;
}
}  // namespace

DWORD SetFilePointer(HANDLE h, int32_t offset, int32_t* high, DWORD) {
  FILE* s = streamOf(h);
  if (!s || (high && *high != 0) || offset < 0 || fseek(s, offset, SEEK_SET) != 0) {
    if (high) *high = -1;
    return 0xFFFFFFFFu;
  }
  long pos = ftell(s);
  if (pos < 0) {
    if (high) *high = -1;
    return 0xFFFFFFFFu;
  }
  return DWORD(pos);
}

DWORD GetFilePointer(HANDLE h, DWORD* high) {
  FILE* s = streamOf(h);
  long pos = s ? ftell(s) : -1;
  // Positions are 32-bit only; a larger one is a failure, not a silently cut value.
  if (pos < 0 || pos >= long(0xFFFFFFFFu)) {
    if (high) *high = 0xFFFFFFFFu;
    return 0xFFFFFFFFu;
  }
  if (high) *high = 0;
  return DWORD(pos);
}

DWORD GetFileSize(HANDLE h, DWORD* high) {
  FILE* s = streamOf(h);
  long size = -1;
  if (s) {
    long here = ftell(s);
    if (here >= 0 && fseek(s, 0, SEEK_END) == 0) {
      size = ftell(s);
      fseek(s, here, SEEK_SET);
    }
  }
  if (size < 0 || size >= long(0xFFFFFFFFu)) {
    if (high) *high = 0xFFFFFFFFu;
    return 0xFFFFFFFFu;
  }
  if (high) *high = 0;
  return DWORD(size);
}

BOOL WriteFile(HANDLE h, const void* buf, DWORD count, DWORD* written, void*) {
  FILE* s = streamOf(h);
  if (written) *written = 0;
  if (!s || !buf || count == 0) return 0;
  size_t n = fwrite(buf, 1, count, s);
  if (written) *written = DWORD(n);
  return n > 0 ? 1 : 0;
}

BOOL ReadFile(HANDLE h, void* buf, DWORD count, DWORD* read, void*) {
  FILE* s = streamOf(h);
  if (read) *read = 0;
  if (!s || !buf || count == 0) return 0;
  size_t n = fread(buf, 1, count, s);
  if (read) *read = DWORD(n);
  return n > 0 ? 1 : 0;
}

BOOL GetFileTime(int fd, FILETIME* creation, FILETIME* access, FILETIME* write) {
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return 0;
  // 100-nanosecond units since 1601-01-01.
  auto put = [](FILETIME* out, time_t secs) {
    if (!out) return;
    uint64_t v = uint64_t(int64_t(secs) * 10000000LL + 116444736000000000LL);
    out->dwLowDateTime = uint32_t(v);
    out->dwHighDateTime = uint32_t(v >> 32);
  };
  put(creation, st.st_ctime);
  put(access, st.st_atime);
  put(write, st.st_mtime);
  return 1;
}
