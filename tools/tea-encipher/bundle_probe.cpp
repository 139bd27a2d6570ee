// A small shared library for the bundle tests: placed in Contents/MacOS of a bundle and
// loaded with dlopen, it reports which resource file the bundle lookup finds from inside the
// loaded library, as the plug-in does.
#include <CoreFoundation/CoreFoundation.h>

#include <cstring>

extern "C" __attribute__((visibility("default"))) int qorBundleProbe(const char* bundleId, const char* name,
                                                                     const char* type, char* out, int outSize)
{
    if (!out || outSize <= 0) return 0;
    out[0] = 0;
    CFStringRef id = CFStringCreateWithCString(kCFAllocatorDefault, bundleId, kCFStringEncodingUTF8);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(id);
    CFRelease(id);
    if (!bundle) return 0;
    CFStringRef cfName = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8);
    CFStringRef cfType = CFStringCreateWithCString(kCFAllocatorDefault, type, kCFStringEncodingUTF8);
    CFURLRef url = CFBundleCopyResourceURL(bundle, cfName, cfType, nullptr);
    CFRelease(cfName);
    CFRelease(cfType);
    if (!url) return 0;
    Boolean ok = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<uint8_t*>(out), outSize);
    CFRelease(url);
    return ok ? 1 : 0;
}
