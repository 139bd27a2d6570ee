#include "kit/plugin/BundleResources.h"

#include <CoreFoundation/CoreFoundation.h>

#include <cstdio>
#include <string>

namespace {

// The path of the resource named like name (folders and extension split off), or empty.
std::string resourcePath(const char* bundleIdentifier, const char* name)
{
    if (!bundleIdentifier || !name) return {};
    std::string last = name;
    size_t slash = last.find_last_of('/');
    if (slash != std::string::npos) last = last.substr(slash + 1);
    std::string base = last, type;
    size_t dot = last.find_last_of('.');
    if (dot != std::string::npos) {
        base = last.substr(0, dot);
        type = last.substr(dot + 1);
    }
    if (base.empty()) return {};

    CFStringRef identifier = CFStringCreateWithCString(kCFAllocatorDefault, bundleIdentifier, kCFStringEncodingUTF8);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(identifier);
    CFRelease(identifier);
    if (!bundle) return {};

    CFStringRef cfBase = CFStringCreateWithCString(kCFAllocatorDefault, base.c_str(), kCFStringEncodingUTF8);
    CFStringRef cfType = CFStringCreateWithCString(kCFAllocatorDefault, type.c_str(), kCFStringEncodingUTF8);
    CFURLRef url = CFBundleCopyResourceURL(bundle, cfBase, cfType, nullptr);
    CFRelease(cfBase);
    CFRelease(cfType);
    if (!url) return {};
    std::string path;
    char buffer[4096];
    if (CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<uint8_t*>(buffer), sizeof buffer)) path = buffer;
    CFRelease(url);
    return path;
}

} // namespace

char* loadBundleResource(const char* bundleIdentifier, const char* name, int* bytesRead)
{
    std::string path = resourcePath(bundleIdentifier, name);
    FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "r");
    if (!file) {
        std::printf("failed to open file\n");
        return nullptr;
    }
    char* buffer = new char[kResourceBufferSize + kResourceBufferPad]();
    size_t n = std::fread(buffer, 1, kResourceBufferSize, file);
    std::fclose(file);
    if (bytesRead) *bytesRead = static_cast<int>(n);
    return buffer;
}
