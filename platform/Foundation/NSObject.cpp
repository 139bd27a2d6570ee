#include "NSObject.h"
#include "NSString.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

std::map<std::string, Class>& registry()
{
    static std::map<std::string, Class> classes;
    return classes;
}

// Every object the thread autoreleased, in order; a pool owns the entries from its mark on.
// On the main thread the bottom entries, below any pool, belong to the run loop.
std::vector<NSObject*>& pending()
{
    static thread_local std::vector<NSObject*> objects;
    return objects;
}

std::vector<size_t>& poolMarks()
{
    static thread_local std::vector<size_t> marks;
    return marks;
}

void releaseFrom(size_t mark)
{
    auto& p = pending();
    // Releasing may autorelease more; those belong to the same pool.
    while (p.size() > mark) {
        NSObject* o = p.back();
        p.pop_back();
        o->release();
    }
}

// Never destroyed: objects may go during static destruction. Objects come and go on any thread.
std::unordered_set<const NSObject*>& liveSet()
{
    static auto* objects = new std::unordered_set<const NSObject*>;
    return *objects;
}

std::mutex& liveMutex()
{
    static auto* m = new std::mutex;
    return *m;
}

} // namespace

SEL sel_registerName(const char* name)
{
    static std::map<std::string, std::unique_ptr<ns_selector>> selectors;
    static std::set<std::string> names; // keeps the texts the records point at
    if (!name) return nullptr;
    auto it = selectors.find(name);
    if (it != selectors.end()) return it->second.get();
    const std::string& kept = *names.insert(name).first;
    auto made = std::make_unique<ns_selector>(ns_selector{kept.c_str()});
    return selectors.emplace(kept, std::move(made)).first->second.get();
}

const char* sel_getName(SEL sel) { return sel ? sel->name : nullptr; }

SEL NSSelectorFromString(NSString* name) { return name ? sel_registerName(name->UTF8String()) : nullptr; }

ns_class::ns_class(const char* n, Class super, NSObject* (*m)()) : name(n), superclass(super), make(m)
{
    registry()[name] = this;
}

ns_class::~ns_class()
{
    auto it = registry().find(name);
    if (it != registry().end() && it->second == this) registry().erase(it);
    delete[] methods;
    delete[] protocols;
}

void ns_class::addProtocol(Protocol* protocol)
{
    if (!protocol || conformsTo(protocol)) return;
    auto** grown = new Protocol*[nProtocols + 1];
    for (size_t i = 0; i < nProtocols; ++i) grown[i] = protocols[i];
    grown[nProtocols++] = protocol;
    delete[] protocols;
    protocols = grown;
}

bool ns_class::conformsTo(Protocol* protocol) const
{
    for (const ns_class* c = this; c && protocol; c = c->superclass)
        for (size_t i = 0; i < c->nProtocols; ++i)
            if (c->protocols[i] == protocol) return true;
    return false;
}

namespace
{
// Protocol records by name, kept for the process (classes of unloaded modules may point at them).
std::map<std::string, ns_protocol*>& protocolRegistry()
{
    static auto* protocols = new std::map<std::string, ns_protocol*>;
    return *protocols;
}
} // namespace

Protocol* ns_standin::registerProtocol(const char* name)
{
    if (!name) return nullptr;
    ns_protocol*& p = protocolRegistry()[name];
    if (!p) p = new ns_protocol{strdup(name)};
    return p;
}

Protocol* objc_getProtocol(const char* name)
{
    if (!name) return nullptr;
    auto it = protocolRegistry().find(name);
    return it == protocolRegistry().end() ? nullptr : it->second;
}

Protocol* NSProtocolFromString(NSString* name)
{
    return name ? objc_getProtocol(name->UTF8String()) : nullptr;
}

bool class_conformsToProtocol(Class c, Protocol* protocol)
{
    return c && c->conformsTo(protocol);
}

const char* class_getImageName(Class c)
{
    Dl_info info{};
    if (!c || !c->make || !dladdr(reinterpret_cast<void*>(c->make), &info) || !info.dli_fname) return "";
    return info.dli_fname;
}

void ns_class::addMethod(SEL sel, IMP imp)
{
    for (size_t i = 0; i < nMethods; ++i)
        if (methods[i].sel == sel) {
            methods[i].imp = imp;
            return;
        }
    Method* grown = new Method[nMethods + 1];
    for (size_t i = 0; i < nMethods; ++i) grown[i] = methods[i];
    grown[nMethods++] = Method{sel, imp};
    delete[] methods;
    methods = grown;
}

IMP ns_class::lookup(SEL sel) const
{
    for (const ns_class* c = this; c; c = c->superclass)
        for (size_t i = 0; i < c->nMethods; ++i)
            if (c->methods[i].sel == sel) return c->methods[i].imp;
    return nullptr;
}

Class objc_getClass(const char* name)
{
    if (!name) return nullptr;
    auto it = registry().find(name);
    return it == registry().end() ? nullptr : it->second;
}

Class NSClassFromString(NSString* name) { return name ? objc_getClass(name->UTF8String()) : nullptr; }

Class NSObject::class_()
{
    static ns_class record("NSObject", nullptr, []() -> NSObject* { return new NSObject; });
    return &record;
}

namespace {
[[maybe_unused]] const Class kRegisteredNSObject = NSObject::class_();
}

NSObject::NSObject()
{
    std::lock_guard<std::mutex> lock(liveMutex());
    liveSet().insert(this);
}

// The base destructor runs after every subclass's dealloc, before the memory is freed.
NSObject::~NSObject()
{
    std::lock_guard<std::mutex> lock(liveMutex());
    liveSet().erase(this);
}

bool ns_standin::isLive(const void* address)
{
    if (!address) return false;
    std::lock_guard<std::mutex> lock(liveMutex());
    return liveSet().count(static_cast<const NSObject*>(address)) != 0;
}

size_t ns_standin::liveCount(Class c)
{
    std::lock_guard<std::mutex> lock(liveMutex());
    size_t n = 0;
    for (const NSObject* o : liveSet())
        if (o->isKindOfClass(c)) ++n;
    return n;
}

NSObject* NSObject::retain()
{
    if (!mDeallocating) mRefs.fetch_add(1, std::memory_order_relaxed);
    return this;
}

void NSObject::release()
{
    // Only the thread that drops the last reference sees 1 here and frees the object.
    if (mDeallocating || mRefs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    mDeallocating = true;
    // Out of the live set before the subclasses' destructors change its class under a
    // counter on another thread.
    {
        std::lock_guard<std::mutex> lock(liveMutex());
        liveSet().erase(this);
    }
    delete this;
}

NSObject* NSObject::autorelease()
{
    pending().push_back(this);
    return this;
}

bool NSObject::isKindOfClass(Class c) const
{
    for (Class k = getClass(); k; k = k->superclass)
        if (k == c) return true;
    return false;
}

bool NSObject::respondsToSelector(SEL sel) const { return getClass()->lookup(sel) != nullptr; }

NSObject* NSObject::performSelector(SEL sel, NSObject* arg)
{
    IMP imp = getClass()->lookup(sel);
    return imp ? imp(this, sel, arg) : nullptr;
}

NSAutoreleasePool::NSAutoreleasePool() : mMark(pending().size()) { poolMarks().push_back(mMark); }

NSAutoreleasePool::~NSAutoreleasePool()
{
    drain();
    if (!poolMarks().empty()) poolMarks().pop_back();
}

void NSAutoreleasePool::drain() { releaseFrom(mMark); }

void ns_standin::drainLoopPool()
{
    // Only at the top of the loop: inside a pool the objects are that pool's.
    if (poolMarks().empty()) releaseFrom(0);
}
