#include "NSBundle.h"

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

NSString* NSBundle::bundlePath() const { return NSString::stringWithUTF8String(mBundle->bundlePath.c_str()); }

NSString* NSBundle::executablePath() const
{
    return mBundle->executablePath.empty() ? nullptr : NSString::stringWithUTF8String(mBundle->executablePath.c_str());
}
