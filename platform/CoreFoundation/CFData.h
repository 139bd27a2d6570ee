#pragma once
// Immutable byte blocks of the CoreFoundation stand-in.
#include <vector>

#include "CFBase.h"

typedef const struct __CFData* CFDataRef;

struct __CFData : CFRuntimeObject {
    explicit __CFData(std::vector<uint8_t> b) : CFRuntimeObject(kCFStandInDataTypeID), bytes(std::move(b)) {}
    const std::vector<uint8_t> bytes;
};

CFTypeID CFDataGetTypeID(void);
// Copies length bytes; null for a negative length, or a null pointer with a positive length.
CFDataRef CFDataCreate(CFAllocatorRef allocator, const uint8_t* bytes, CFIndex length);
CFIndex CFDataGetLength(CFDataRef theData);
// Null for an empty block.
const uint8_t* CFDataGetBytePtr(CFDataRef theData);
// Copies the bytes of the range; a range outside the data copies nothing.
void CFDataGetBytes(CFDataRef theData, CFRange range, uint8_t* buffer);
