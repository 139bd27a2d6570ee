#include "kit/safefile.h"

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

// Writes the bytes to a new hidden temporary file beside path and syncs it. Returns the
// temporary's path, or an empty string after removing what it made.
std::string writeTemporary(const std::string& path, const void* data, size_t size, std::string* error)
{
    size_t slash = path.find_last_of('/');
    std::string base = path.substr(slash == std::string::npos ? 0 : slash + 1);
    std::string pattern = folderOf(path) + "/." + base + ".tmpXXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) {
        if (error) *error = errnoText("cannot create a temporary file for", path);
        return std::string();
    }
    // mkstemp makes 0600; a new file gets what any other new file of the user would get.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);

    const unsigned char* p = static_cast<const unsigned char*>(data);
    size_t left = p ? size : 0;
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (!ok && error) *error = errnoText("cannot write", path);
    if (::close(fd) != 0 && ok) {
        ok = false;
        if (error) *error = errnoText("cannot close", path);
    }
    if (!ok) {
        ::unlink(pattern.c_str());
        return std::string();
    }
    return pattern;
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
    std::string tmp = writeTemporary(path, data, size, error);
    if (tmp.empty()) return false;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::chmod(tmp.c_str(), old.st_mode & 07777);
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
    // A hard link fails when the name is taken, so an existing file is never replaced.
    bool ok = ::link(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        if (existed) *existed = errno == EEXIST;
        if (error) *error = errnoText("cannot create", path);
    }
    ::unlink(tmp.c_str());
    if (ok) syncFolder(path);
    return ok;
}

int RenameNoReplace(const std::string& from, const std::string& to)
{
    // The one call here that only Linux has; everything else asks for this helper.
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    return errno;
}

} // namespace kit
