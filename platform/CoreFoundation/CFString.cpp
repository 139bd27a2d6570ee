#include "CFString.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>

CFTypeID CFStringGetTypeID(void) { return kCFStandInStringTypeID; }

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding)
{
    if (!cStr) return nullptr;
    return new __CFString(cStr);
}

CFStringRef CFStringCreateCopy(CFAllocatorRef, CFStringRef str)
{
    if (!str) return nullptr;
    return new __CFString(str->utf8);
}

CFIndex CFStringGetLength(CFStringRef str)
{
    return str ? static_cast<CFIndex>(str->utf8.size()) : 0;
}

Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize, CFStringEncoding)
{
    if (!buffer || bufferSize <= 0) return false;
    buffer[0] = 0;
    if (!str) return false;
    const std::string& s = str->utf8;
    if (static_cast<CFIndex>(s.size()) + 1 > bufferSize) return false;
    std::memcpy(buffer, s.c_str(), s.size() + 1);
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef str, CFStringEncoding)
{
    return str ? str->utf8.c_str() : nullptr;
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding)
{
    // The stand-in measures lengths in UTF-8 bytes already.
    return length;
}

CFStringRef __CFStringMakeConstantString(const char* cStr)
{
    // Owned here, so a host that unloads the plug-in gets the memory back with the library.
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<__CFString>> constants;
    std::lock_guard<std::mutex> guard(lock);
    std::string key = cStr ? cStr : "";
    auto it = constants.find(key);
    if (it != constants.end()) return it->second.get();
    return constants.emplace(key, std::make_unique<__CFString>(key, true)).first->second.get();
}
