#include "CFURL.h"

#include <cstring>

CFTypeID CFURLGetTypeID(void) { return kCFStandInURLTypeID; }

// A directory URL ends in "/", a file URL does not (the root stays "/").
static std::string normalised(std::string path, bool isDirectory)
{
    if (isDirectory) {
        if (path.empty() || path.back() != '/') path += '/';
    } else {
        while (path.size() > 1 && path.back() == '/') path.pop_back();
    }
    return path;
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef filePath, CFURLPathStyle, Boolean isDirectory)
{
    if (!filePath || filePath->utf8.empty()) return nullptr;
    return new __CFURL(normalised(filePath->utf8, isDirectory), isDirectory);
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const uint8_t* buffer, CFIndex length,
                                                 Boolean isDirectory)
{
    if (!buffer || length <= 0) return nullptr;
    std::string path(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
    // The representation may carry its terminator inside the given length.
    size_t zero = path.find('\0');
    if (zero != std::string::npos) path.resize(zero);
    if (path.empty()) return nullptr;
    return new __CFURL(normalised(path, isDirectory), isDirectory);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, uint8_t* buffer, CFIndex maxBufLen)
{
    if (!url || !buffer || maxBufLen <= 0) return false;
    std::string path = url->path;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    if (static_cast<CFIndex>(path.size()) + 1 > maxBufLen) return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle)
{
    if (!url) return nullptr;
    std::string path = url->path;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return new __CFString(path);
}

CFStringRef CFURLCopyLastPathComponent(CFURLRef url)
{
    if (!url) return nullptr;
    std::string path = url->path;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && path.size() > 1) path = path.substr(slash + 1);
    return new __CFString(path);
}
