#include "CFNumber.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

CFTypeID CFNumberGetTypeID(void) { return kCFStandInNumberTypeID; }

namespace {

bool IsNumber(CFNumberRef n) { return n && n->typeID == kCFStandInNumberTypeID; }

template <class T> bool PutInt(const __CFNumber* n, void* out)
{
    T v;
    bool exact;
    if (n->isFloat) {
        double d = n->floatValue;
        if (std::isnan(d)) {
            v = 0;
            exact = false;
        } else if (d <= double(std::numeric_limits<T>::min())) {
            v = std::numeric_limits<T>::min();
            exact = d == double(v);
        } else if (d >= double(std::numeric_limits<T>::max())) {
            v = std::numeric_limits<T>::max();
            exact = d == double(v);
        } else {
            v = T(d);
            exact = double(v) == d;
        }
    } else {
        int64_t i = n->intValue;
        if (i < int64_t(std::numeric_limits<T>::min()) || i > int64_t(std::numeric_limits<T>::max())) {
            v = T(i); // wraps, as the real conversion does
            exact = false;
        } else {
            v = T(i);
            exact = true;
        }
    }
    std::memcpy(out, &v, sizeof v);
    return exact;
}

template <class T> bool PutFloat(const __CFNumber* n, void* out)
{
    T v = n->isFloat ? T(n->floatValue) : T(n->intValue);
    std::memcpy(out, &v, sizeof v);
    return n->isFloat ? double(v) == n->floatValue || std::isnan(n->floatValue) : int64_t(v) == n->intValue;
}

} // namespace

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr)
{
    if (!valuePtr) return nullptr;
    switch (theType) {
    case kCFNumberSInt8Type: { int8_t v; std::memcpy(&v, valuePtr, sizeof v); return new (std::nothrow) __CFNumber(false, v, 0); }
    case kCFNumberSInt16Type: { int16_t v; std::memcpy(&v, valuePtr, sizeof v); return new (std::nothrow) __CFNumber(false, v, 0); }
    case kCFNumberSInt32Type:
    case kCFNumberIntType: { int32_t v; std::memcpy(&v, valuePtr, sizeof v); return new (std::nothrow) __CFNumber(false, v, 0); }
    case kCFNumberSInt64Type:
    case kCFNumberLongType: { int64_t v; std::memcpy(&v, valuePtr, sizeof v); return new (std::nothrow) __CFNumber(false, v, 0); }
    case kCFNumberFloat32Type: { float v; std::memcpy(&v, valuePtr, sizeof v); return new (std::nothrow) __CFNumber(true, 0, v); }
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType: { double v; std::memcpy(&v, valuePtr, sizeof v); return new (std::nothrow) __CFNumber(true, 0, v); }
    default: return nullptr;
    }
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
{
    if (!IsNumber(number) || !valuePtr) return false;
    switch (theType) {
    case kCFNumberSInt8Type: return PutInt<int8_t>(number, valuePtr);
    case kCFNumberSInt16Type: return PutInt<int16_t>(number, valuePtr);
    case kCFNumberSInt32Type:
    case kCFNumberIntType: return PutInt<int32_t>(number, valuePtr);
    case kCFNumberSInt64Type:
    case kCFNumberLongType: return PutInt<int64_t>(number, valuePtr);
    case kCFNumberFloat32Type: return PutFloat<float>(number, valuePtr);
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType: return PutFloat<double>(number, valuePtr);
    default: return false;
    }
}

Boolean CFNumberIsFloatType(CFNumberRef number)
{
    return IsNumber(number) && number->isFloat;
}
