#include "NSBundle.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <map>

#include <CoreFoundation/CFBundlePrivate.h>

NS_STANDIN_CLASS_IMPL(NSBundle, NSObject)

NSBundle* NSBundle::bundleWithIdentifier(NSString* identifier)
{
    if (!identifier) return nullptr;
    CFStringRef id = identifier->copyCFString();
    CFBundleRef found = CFBundleGetBundleWithIdentifier(id);
    CFRelease(id);
    if (!found) return nullptr;
    auto* b = new NSBundle;
    b->mBundle = found;
    b->autorelease();
    return b;
}

NSString* NSBundle::pathForResource(NSString* name, NSString* type) const
{
    if (!name) return nullptr;
    CFStringRef n = name->copyCFString();
    CFStringRef t = type ? type->copyCFString() : nullptr;
    CFURLRef url = CFBundleCopyResourceURL(mBundle, n, t, nullptr);
    CFRelease(n);
    if (t) CFRelease(t);
    if (!url) return nullptr;
    NSString* path = NSString::stringWithUTF8String(url->path.c_str());
    CFRelease(url);
    return path;
}

NSString* NSBundle::bundlePath() const
{
    return NSString::stringWithUTF8String(mBundle ? mBundle->bundlePath.c_str() : mPath.c_str());
}

NSString* NSBundle::executablePath() const
{
    const std::string& exe = mBundle ? mBundle->executablePath : mExecutable;
    return exe.empty() ? nullptr : NSString::stringWithUTF8String(exe.c_str());
}

NSBundle* NSBundle::bundleWithPath(NSString* path)
{
    if (!path) return nullptr;
    char resolved[PATH_MAX];
    if (!::realpath(path->UTF8String(), resolved)) return nullptr;
    struct stat st;
    if (::stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
    static std::map<std::string, NSBundle*> bundles; // main thread; kept for the process
    NSBundle*& b = bundles[resolved];
    if (!b) {
        b = new NSBundle;
        b->mPath = resolved;
        std::string name = cf_standin::declaredBundleValue(b->mPath + "/Contents", "CFBundleExecutable");
        if (name.empty()) {
            name = b->mPath.substr(b->mPath.find_last_of('/') + 1);
            name = name.substr(0, name.find_last_of('.'));
        }
        // A name that climbs out of the bundle names no executable of it.
        if (!name.empty() && name.find('/') == std::string::npos && name != "..")
            b->mExecutable = b->mPath + "/Contents/MacOS/" + name;
    }
    return b;
}

NSBundle* NSBundle::bundleWithURL(NSURL* url)
{
    return url && url->isFileURL() ? bundleWithPath(url->path()) : nullptr;
}

bool NSBundle::load()
{
    if (mModule) return true;
    const std::string& exe = mBundle ? mBundle->executablePath : mExecutable;
    if (exe.empty()) return false;
    mModule = ::dlopen(exe.c_str(), RTLD_NOW | RTLD_LOCAL);
    return mModule != nullptr;
}

Class NSBundle::classNamed(NSString* name)
{
    if (!name || !load()) return nullptr;
    Class c = NSClassFromString(name);
    if (!c) return nullptr;
    // Defined by this executable: compared as files, whatever path each was loaded by.
    const std::string& exe = mBundle ? mBundle->executablePath : mExecutable;
    struct stat mine, theirs;
    const char* image = class_getImageName(c);
    if (::stat(exe.c_str(), &mine) != 0 || !*image || ::stat(image, &theirs) != 0) return nullptr;
    return mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino ? c : nullptr;
}
