#include "support/syscall_faults.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
int __real_open(const char* path, int flags, ...);
int __real_flock(int fd, int op);
ssize_t __real_read(int fd, void* buf, size_t n);
int __real_link(const char* from, const char* to);
int __real_renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags);
mode_t __real_umask(mode_t mask);
}

namespace testsupport::faults
{

namespace
{

constexpr int kCalls = static_cast<int>(Call::Count);

struct Armed {
    int err = 0;
    std::string path;
    int times = -1;
};

struct State {
    std::mutex mutex;
    Armed armed[kCalls];
    std::atomic<int> counts[kCalls] = {};
    std::atomic<unsigned> createMode{0};
    std::set<int> watched; // descriptors open made for an armed path
};

State& state()
{
    static State* s = new State; // outlives every static destructor that might still read
    return *s;
}

// Spends one of the armed failures when the call matches.
int spend(Armed& a, bool matches)
{
    if (!a.err || !matches || a.times == 0) return 0;
    if (a.times > 0) --a.times;
    return a.err;
}

// The errno a call must fail with, or 0.
int failureFor(Call call, const char* path)
{
    State& s = state();
    s.counts[int(call)]++;
    std::lock_guard<std::mutex> lock(s.mutex);
    Armed& a = s.armed[int(call)];
    return spend(a, a.path.empty() || (path && a.path == path));
}

int failureForFd(Call call, int fd)
{
    State& s = state();
    s.counts[int(call)]++;
    std::lock_guard<std::mutex> lock(s.mutex);
    Armed& a = s.armed[int(call)];
    return spend(a, a.path.empty() || s.watched.count(fd));
}

bool watchedPath(const char* path)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (const Armed& a : s.armed)
        if (a.err && !a.path.empty() && path && a.path == path) return true;
    return false;
}

void noteOpen(int fd, const char* path)
{
    if (fd < 0) return;
    bool watch = watchedPath(path);
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (watch)
        s.watched.insert(fd);
    else
        s.watched.erase(fd); // a reused number is another file now
}

int wrappedOpen(const char* path, int flags, va_list args)
{
    const bool creates = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
    mode_t mode = creates ? mode_t(va_arg(args, int)) : 0;
    if (creates) state().createMode = mode;
    if (int err = failureFor(Call::Open, path)) {
        errno = err;
        return -1;
    }
    int fd = __real_open(path, flags, mode);
    noteOpen(fd, path);
    return fd;
}

} // namespace

void fail(Call call, int err, const std::string& path, int times)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.armed[int(call)] = Armed{err, path, times};
}

void reset()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (int i = 0; i < kCalls; ++i) s.armed[i] = Armed{}, s.counts[i] = 0;
    s.watched.clear();
}

int calls(Call call)
{
    return state().counts[int(call)];
}

unsigned createMode()
{
    return state().createMode;
}

} // namespace testsupport::faults

using testsupport::faults::Call;
using testsupport::faults::failureFor;
using testsupport::faults::failureForFd;

extern "C" {

int __wrap_open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    int fd = testsupport::faults::wrappedOpen(path, flags, args);
    va_end(args);
    return fd;
}

int __wrap_flock(int fd, int op)
{
    if (int err = failureForFd(Call::Flock, fd)) {
        errno = err;
        return -1;
    }
    return __real_flock(fd, op);
}

ssize_t __wrap_read(int fd, void* buf, size_t n)
{
    if (int err = failureForFd(Call::Read, fd)) {
        errno = err;
        return -1;
    }
    return __real_read(fd, buf, n);
}

int __wrap_link(const char* from, const char* to)
{
    if (int err = failureFor(Call::Link, to)) {
        errno = err;
        return -1;
    }
    return __real_link(from, to);
}

int __wrap_renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    if (int err = failureFor(Call::Renameat2, to)) {
        errno = err;
        return -1;
    }
    return __real_renameat2(fromDir, from, toDir, to, flags);
}

mode_t __wrap_umask(mode_t mask)
{
    failureFor(Call::Umask, nullptr);
    return __real_umask(mask);
}

} // extern "C"
