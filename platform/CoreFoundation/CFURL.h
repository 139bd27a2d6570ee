#pragma once
// File URLs of the CoreFoundation stand-in: a POSIX path and whether it names a directory.
#include "CFBase.h"
#include "CFString.h"

typedef const struct __CFURL* CFURLRef;

typedef CFIndex CFURLPathStyle;
enum : CFURLPathStyle { kCFURLPOSIXPathStyle = 0 };

struct __CFURL : CFRuntimeObject {
    __CFURL(std::string p, bool dir) : CFRuntimeObject(kCFStandInURLTypeID), path(std::move(p)), isDirectory(dir) {}
    const std::string path;
    const bool isDirectory;
};

CFTypeID CFURLGetTypeID(void);
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef alloc, CFStringRef filePath, CFURLPathStyle style,
                                       Boolean isDirectory);
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef alloc, const uint8_t* buffer, CFIndex length,
                                                 Boolean isDirectory);
// Writes the path and a terminating zero; false when it does not fit.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, uint8_t* buffer,
                                         CFIndex maxBufLen);
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle style);
CFStringRef CFURLCopyLastPathComponent(CFURLRef url);
