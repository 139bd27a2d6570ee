#include "kit/safefile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

namespace {

std::string errnoText(const char* what, const std::string& path)
{
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path)
{
    size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    if (cut == 0) return "/";
    return path.substr(0, cut);
}

// Writes all bytes to fd and syncs it; false with errno set on failure.
bool writeAll(int fd, const void* data, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    size_t left = p ? size : 0;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return ::fsync(fd) == 0;
}

// Creates path exclusively and writes the bytes; what it made is removed on failure. Answers 0 or
// the errno value. The mode is 0666 less the umask, applied by the kernel: reading the umask would
// mean setting it, and another thread creating a file meanwhile would get no mask at all.
// A given mode is asked for at the create, so the file is never open to more than it allows, and
// set again before any byte is written, where the umask narrowed it.
// Errors name the file the caller writes (target), which a temporary stands in for.
int writeExclusive(const std::string& path, const std::string& target, const void* data, size_t size,
                   std::string* error, int mode = -1)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode >= 0 ? mode_t(mode) : mode_t(0666));
    if (fd < 0) {
        int failure = errno;
        if (error) *error = errnoText(path == target ? "cannot create" : "cannot create a temporary file for", target);
        return failure;
    }
    if (mode >= 0) ::fchmod(fd, static_cast<mode_t>(mode));
    int failure = writeAll(fd, data, size) ? 0 : errno;
    if (failure && error) *error = errnoText("cannot write", target);
    if (::close(fd) != 0 && !failure) {
        failure = errno;
        if (error) *error = errnoText("cannot close", target);
    }
    if (failure) ::unlink(path.c_str());
    return failure;
}

// Writes the bytes to a new hidden temporary file beside path and syncs it; a given mode is the
// file's from the start. Returns the temporary's path, or an empty string after removing what it made.
std::string writeTemporary(const std::string& path, const void* data, size_t size, std::string* error, int mode = -1)
{
    size_t slash = path.find_last_of('/');
    std::string stem = folderOf(path) + "/." + path.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp";
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%ld.%u", static_cast<long>(::getpid()), counter++);
        std::string tmp = stem + suffix;
        std::string why;
        int failure = writeExclusive(tmp, path, data, size, &why, mode);
        if (!failure) return tmp;
        if (failure != EEXIST) {
            if (error) *error = why;
            return std::string();
        }
    }
    if (error) *error = "cannot create a temporary file for " + path + ": every name is taken";
    return std::string();
}

void syncFolder(const std::string& path)
{
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool WriteFileReplacing(const std::string& path, const void* data, size_t size, std::string* error)
{
    if (path.empty()) {
        if (error) *error = "no file name";
        return false;
    }
    struct stat old {};
    const bool keep = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    std::string tmp = writeTemporary(path, data, size, error, keep ? int(old.st_mode & 07777) : -1);
    if (tmp.empty()) return false;
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        if (error) *error = errnoText("cannot replace", path);
        ::unlink(tmp.c_str());
        return false;
    }
    syncFolder(path);
    return true;
}

bool WriteFileNew(const std::string& path, const void* data, size_t size, std::string* error, bool* existed)
{
    if (existed) *existed = false;
    if (path.empty()) {
        if (error) *error = "no file name";
        return false;
    }
    std::string tmp = writeTemporary(path, data, size, error);
    if (tmp.empty()) return false;
    // A hard link fails when the name is taken, so an existing file is never replaced. File
    // systems without hard links get a rename that refuses to replace, and failing that an
    // exclusive create of the name itself.
    int failure = ::link(tmp.c_str(), path.c_str()) == 0 ? 0 : errno;
    bool reported = false;
    if (failure == 0 || failure == EEXIST) {
        ::unlink(tmp.c_str());
    } else {
        failure = RenameNoReplace(tmp, path); // the temporary is gone when it succeeds
        if (failure) ::unlink(tmp.c_str());
        if (failure == EINVAL || failure == ENOSYS || failure == EOPNOTSUPP) {
            failure = writeExclusive(path, path, data, size, error);
            reported = true;
        }
    }
    if (existed) *existed = failure == EEXIST;
    if (failure && !reported && error) {
        errno = failure;
        *error = errnoText("cannot create", path);
    }
    if (!failure) syncFolder(path);
    return !failure;
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    // The one call here that only Linux has; everything else asks for this helper.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    return errno;
}

} // namespace kit
