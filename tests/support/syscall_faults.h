#pragma once
// Failures of system calls made on demand, for the code under test to meet.
//
// A test executable that uses this links with the wraps of QOR_SYSCALL_FAULT_WRAPS
// (tests/CMakeLists.txt), which send open, flock, read, link, renameat2 and umask of everything
// linked statically into it through here. Unarmed, every call goes straight through.

#include <string>

namespace testsupport::faults
{

enum class Call { Open, Flock, Read, Link, Renameat2, Umask, Count };

// Makes the next `times` calls (every later one when negative) fail with errno err. With a path,
// only calls on that path count: open of it, flock and read of the descriptors open made for it,
// link and renameat2 to it.
void fail(Call call, int err, const std::string& path = std::string(), int times = -1);
// Disarms everything and zeroes the counts.
void reset();
// How many times the call was made since the last reset.
int calls(Call call);
// The mode the last open that may create a file asked for.
unsigned createMode();

// Disarms everything when the scope ends, so that one failed check never leaks into the next.
struct Scope {
    Scope() { reset(); }
    ~Scope() { reset(); }
};

} // namespace testsupport::faults
