#pragma once
// Immutable strings of the CoreFoundation stand-in, held as UTF-8.
#include "CFBase.h"

#include <string>

typedef const struct __CFString* CFStringRef;
typedef uint32_t CFStringEncoding;

enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
};

struct __CFString : CFRuntimeObject {
    explicit __CFString(std::string text, bool immortal = false)
        : CFRuntimeObject(kCFStandInStringTypeID, immortal), utf8(std::move(text)) {}
    const std::string utf8;
};

CFTypeID CFStringGetTypeID(void);
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef str);
// Length in bytes of the UTF-8 text (the stand-in keeps no UTF-16 form).
CFIndex CFStringGetLength(CFStringRef str);
// Copies the text and a terminating zero; false (and an empty buffer) when it does not fit.
Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize, CFStringEncoding encoding);
const char* CFStringGetCStringPtr(CFStringRef str, CFStringEncoding encoding);
CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding);

// A constant string that lives for the whole process; equal texts share one object.
CFStringRef __CFStringMakeConstantString(const char* cStr);
#define CFSTR(cStr) __CFStringMakeConstantString("" cStr "")
