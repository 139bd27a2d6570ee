#pragma once
// Base types and reference counting of the CoreFoundation stand-in.
// Every CF object is a CFRuntimeObject: an atomic reference count and a type id. Further
// object kinds (numbers, data, dictionaries, arrays) derive from it in their own headers.
#include <atomic>
#include <cstddef>
#include <cstdint>

typedef unsigned char Boolean;
typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef const void* CFTypeRef;

typedef const struct __CFAllocator* CFAllocatorRef;
#define kCFAllocatorDefault ((CFAllocatorRef) nullptr)

typedef struct {
    CFIndex location;
    CFIndex length;
} CFRange;

inline CFRange CFRangeMake(CFIndex location, CFIndex length) { return CFRange{location, length}; }

enum : CFIndex { kCFNotFound = -1 };

// Type ids handed out by the stand-in; each object kind takes one.
enum : CFTypeID {
    kCFStandInStringTypeID = 7,
    kCFStandInURLTypeID = 29,
    kCFStandInBundleTypeID = 31,
    kCFStandInNumberTypeID = 22,
    kCFStandInDataTypeID = 20,
    kCFStandInDictionaryTypeID = 18,
    kCFStandInArrayTypeID = 19,
    kCFStandInRunLoopTimerTypeID = 43,
};

// Common head of every object. Objects start with one reference (the creator's).
// An immortal object (constant strings, bundles) ignores retain and release.
struct CFRuntimeObject {
    explicit CFRuntimeObject(CFTypeID type, bool immortal = false)
        : typeID(type), immortal(immortal) {}
    virtual ~CFRuntimeObject() = default;
    CFRuntimeObject(const CFRuntimeObject&) = delete;
    CFRuntimeObject& operator=(const CFRuntimeObject&) = delete;

    std::atomic<CFIndex> refCount{1};
    const CFTypeID typeID;
    const bool immortal;
};

CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);
CFIndex CFGetRetainCount(CFTypeRef cf);
CFTypeID CFGetTypeID(CFTypeRef cf);
