#include "CFData.h"

#include <cstring>
#include <new>

CFTypeID CFDataGetTypeID(void) { return kCFStandInDataTypeID; }

static bool IsData(CFDataRef d) { return d && d->typeID == kCFStandInDataTypeID; }

CFDataRef CFDataCreate(CFAllocatorRef, const uint8_t* bytes, CFIndex length)
{
    if (length < 0 || (!bytes && length > 0)) return nullptr;
    try {
        return new __CFData(std::vector<uint8_t>(bytes, bytes + length));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CFIndex CFDataGetLength(CFDataRef theData)
{
    return IsData(theData) ? CFIndex(theData->bytes.size()) : 0;
}

const uint8_t* CFDataGetBytePtr(CFDataRef theData)
{
    if (!IsData(theData) || theData->bytes.empty()) return nullptr;
    return theData->bytes.data();
}

void CFDataGetBytes(CFDataRef theData, CFRange range, uint8_t* buffer)
{
    if (!IsData(theData) || !buffer || range.location < 0 || range.length <= 0) return;
    if (size_t(range.location) + size_t(range.length) > theData->bytes.size()) return;
    std::memcpy(buffer, theData->bytes.data() + range.location, size_t(range.length));
}
