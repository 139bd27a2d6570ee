#pragma once
// Strings, URLs and arrays of the Foundation stand-in, over the CoreFoundation stand-in's
// text: a string holds UTF-8; a URL is a file path or a URL text.
#include <CoreFoundation/CoreFoundation.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "NSObject.h"

class NSString : public NSObject {
    NS_STANDIN_CLASS(NSString)
public:
    NSString() = default;
    // Autoreleased; null for a null text.
    static NSString* stringWithUTF8String(const char* text);
    const char* UTF8String() const { return mText.c_str(); }
    NSUInteger length() const { return mText.size(); }
    bool isEqualToString(NSString* other) const { return other && other->mText == mText; }
    // The UTF-16 unit at the index (counted in UTF-16 units); 0 past the end.
    unsigned short characterAtIndex(NSUInteger index) const;
    // The toll-free view as a CF string (a new reference the caller releases).
    CFStringRef copyCFString() const;
    // Path pieces, autoreleased.
    NSString* lastPathComponent() const;
    NSString* stringByDeletingLastPathComponent() const;
    NSString* stringByDeletingPathExtension() const;
    NSString* pathExtension() const;

private:
    std::string mText;
};

class NSURL : public NSObject {
    NS_STANDIN_CLASS(NSURL)
public:
    NSURL() = default;
    // Autoreleased. URLWithString answers null for a text that is empty or holds a blank or a
    // control character, as a malformed URL.
    static NSURL* URLWithString(NSString* text);
    static NSURL* fileURLWithPath(NSString* path);
    bool isFileURL() const { return mFile; }
    // "file://" and the path for a file URL, else the text.
    NSString* absoluteString() const;
    // The path of a file URL; null for others.
    NSString* path() const;

private:
    std::string mText;
    bool mFile = false;
};

// An immutable list that retains what it holds.
class NSArray : public NSObject {
    NS_STANDIN_CLASS(NSArray)
public:
    NSArray() = default;
    ~NSArray() override;
    static NSArray* arrayWithObjects(std::initializer_list<NSObject*> objects);
    static NSArray* arrayWithVector(const std::vector<NSObject*>& objects);
    NSUInteger count() const { return mItems.size(); }
    NSObject* objectAtIndex(NSUInteger i) const { return i < mItems.size() ? mItems[i] : nullptr; }

private:
    std::vector<NSObject*> mItems;
};
