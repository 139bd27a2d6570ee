#include "CFBase.h"

#include <cstdio>
#include <cstdlib>

static CFRuntimeObject* object(CFTypeRef cf)
{
    return const_cast<CFRuntimeObject*>(static_cast<const CFRuntimeObject*>(cf));
}

CFTypeRef CFRetain(CFTypeRef cf)
{
    // A null argument is a crash on the real system; here it is refused loudly instead.
    if (!cf) {
        std::fprintf(stderr, "CFRetain: null object\n");
        return nullptr;
    }
    CFRuntimeObject* o = object(cf);
    if (!o->immortal) o->refCount.fetch_add(1, std::memory_order_relaxed);
    return cf;
}

void CFRelease(CFTypeRef cf)
{
    if (!cf) {
        std::fprintf(stderr, "CFRelease: null object\n");
        return;
    }
    CFRuntimeObject* o = object(cf);
    if (o->immortal) return;
    if (o->refCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete o;
}

CFIndex CFGetRetainCount(CFTypeRef cf)
{
    if (!cf) return 0;
    const CFRuntimeObject* o = static_cast<const CFRuntimeObject*>(cf);
    // Immortal objects report a large count, as constant objects do on the real system.
    return o->immortal ? 0x7fffffff : o->refCount.load(std::memory_order_relaxed);
}

CFTypeID CFGetTypeID(CFTypeRef cf)
{
    return cf ? static_cast<const CFRuntimeObject*>(cf)->typeID : 0;
}
