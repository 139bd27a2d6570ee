#pragma once
// The fixed-size integer and status types of the macOS interfaces.
#include <cstdint>

#include <CoreFoundation/CFBase.h>

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;
typedef int32_t OSStatus;
typedef int16_t OSErr;
typedef uint32_t OSType;
typedef uint32_t FourCharCode;
typedef char** Handle;
typedef void* Ptr;

enum : OSStatus { noErr = 0 };

// A version in the classic packed form: major, then minor and bug-fix as two nibbles.
struct NumVersion {
    UInt8 majorRev;
    UInt8 minorAndBugRev;
    UInt8 stage;
    UInt8 nonRelRev;
};
