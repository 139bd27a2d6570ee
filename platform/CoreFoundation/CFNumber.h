#pragma once
// Numbers of the CoreFoundation stand-in: one value kept as a 64-bit integer or a double.
#include "CFBase.h"

typedef const struct __CFNumber* CFNumberRef;
typedef CFIndex CFNumberType;

enum : CFNumberType {
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberIntType = 9,
    kCFNumberLongType = 10,
    kCFNumberDoubleType = 13,
};

struct __CFNumber : CFRuntimeObject {
    __CFNumber(bool f, int64_t i, double d) : CFRuntimeObject(kCFStandInNumberTypeID), isFloat(f), intValue(i), floatValue(d) {}
    const bool isFloat;
    const int64_t intValue;
    const double floatValue;
};

CFTypeID CFNumberGetTypeID(void);
// Null for an unknown type or a null value pointer.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void* valuePtr);
// Converts to the asked type; false when the value had to be cut or rounded to fit it (the
// converted value is written all the same), and for an unknown type or a non-number.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr);
Boolean CFNumberIsFloatType(CFNumberRef number);
