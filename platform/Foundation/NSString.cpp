#include "NSString.h"

#include <CoreFoundation/CFUtf8.h>

NS_STANDIN_CLASS_IMPL(NSString, NSObject)
NS_STANDIN_CLASS_IMPL(NSURL, NSObject)
NS_STANDIN_CLASS_IMPL(NSArray, NSObject)

namespace {

NSString* make(std::string text)
{
    NSString* s = NSString::stringWithUTF8String(text.c_str());
    return s;
}

} // namespace

NSString* NSString::stringWithUTF8String(const char* text)
{
    if (!text) return nullptr;
    auto* s = new NSString;
    s->mText = text;
    s->autorelease();
    return s;
}

CFStringRef NSString::copyCFString() const
{
    return CFStringCreateWithCString(kCFAllocatorDefault, mText.c_str(), kCFStringEncodingUTF8);
}

NSString* NSString::lastPathComponent() const
{
    std::string t = mText;
    while (t.size() > 1 && t.back() == '/') t.pop_back();
    size_t slash = t.find_last_of('/');
    return make(slash == std::string::npos || t.size() == 1 ? t : t.substr(slash + 1));
}

NSString* NSString::stringByDeletingLastPathComponent() const
{
    std::string t = mText;
    while (t.size() > 1 && t.back() == '/') t.pop_back();
    size_t slash = t.find_last_of('/');
    if (slash == std::string::npos) return make("");
    return make(slash == 0 ? "/" : t.substr(0, slash));
}

NSString* NSString::stringByDeletingPathExtension() const
{
    size_t slash = mText.find_last_of('/');
    size_t dot = mText.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return make(mText);
    return make(mText.substr(0, dot));
}

NSString* NSString::pathExtension() const
{
    size_t slash = mText.find_last_of('/');
    size_t dot = mText.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1) return make("");
    return make(mText.substr(dot + 1));
}

NSURL* NSURL::URLWithString(NSString* text)
{
    if (!text || text->length() == 0) return nullptr;
    for (const char* p = text->UTF8String(); *p; ++p)
        if (static_cast<unsigned char>(*p) <= ' ') return nullptr;
    auto* u = new NSURL;
    u->mText = text->UTF8String();
    u->autorelease();
    return u;
}

NSURL* NSURL::fileURLWithPath(NSString* path)
{
    if (!path) return nullptr;
    auto* u = new NSURL;
    u->mText = path->UTF8String();
    u->mFile = true;
    u->autorelease();
    return u;
}

NSString* NSURL::absoluteString() const { return make(mFile ? "file://" + mText : mText); }

NSString* NSURL::path() const { return mFile ? make(mText) : nullptr; }

NSArray::~NSArray()
{
    for (NSObject* o : mItems) o->release();
}

NSArray* NSArray::arrayWithVector(const std::vector<NSObject*>& objects)
{
    auto* a = new NSArray;
    for (NSObject* o : objects)
        if (o) a->mItems.push_back(o->retain());
    a->autorelease();
    return a;
}

NSArray* NSArray::arrayWithObjects(std::initializer_list<NSObject*> objects)
{
    return arrayWithVector(std::vector<NSObject*>(objects));
}

unsigned short NSString::characterAtIndex(NSUInteger index) const
{
    NSUInteger at = 0;
    for (unsigned int c : cf_standin::DecodeUtf8(mText.c_str())) {
        if (c < 0x10000) {
            if (at++ == index) return (unsigned short)c;
            continue;
        }
        c -= 0x10000;
        if (at++ == index) return (unsigned short)(0xD800 + (c >> 10));
        if (at++ == index) return (unsigned short)(0xDC00 + (c & 0x3FF));
    }
    return 0;
}
