#pragma once
// The object model of the Foundation stand-in: Objective-C classes are C++ classes under the
// same names. Objects are reference counted (retain, release, autorelease into the innermost
// pool); selectors are interned names; classes register under their names, so that
// NSClassFromString finds a class that a loaded bundle defines, and methods added to a class
// by selector serve target-action (respondsToSelector, performSelector). Classes, selectors
// and methods are set up on the main thread; objects may be made, retained and released on any
// thread, and each thread has its own autorelease pools.
#include <atomic>
#include <cstddef>
#include <type_traits>

typedef long NSInteger;
typedef unsigned long NSUInteger;

class NSObject;
class NSString;

typedef const struct ns_selector* SEL;
struct ns_selector {
    const char* name;
};
// The one selector of a name; equal names give equal pointers.
SEL sel_registerName(const char* name);
const char* sel_getName(SEL sel);
SEL NSSelectorFromString(NSString* name);

// A method added by selector: self, the selector and the one argument of target-action.
typedef NSObject* (*IMP)(NSObject* self, SEL cmd, NSObject* arg);

struct ns_class;
typedef ns_class* Class;

// A protocol: a name that classes adopt. A C++ class adopts it by deriving from the interface of
// that name and saying so (NS_STANDIN_CLASS_ADOPTS), so that a class found by name can be asked
// before an instance is made.
struct ns_protocol {
    const char* name;
};
typedef const ns_protocol Protocol;

// A class record: its name, its superclass and a maker of bare instances. Made once per class
// (NS_STANDIN_CLASS_IMPL); registered by name while the code that defines it is loaded.
struct ns_class {
    ns_class(const char* name, Class super, NSObject* (*make)());
    ~ns_class();
    ns_class(const ns_class&) = delete;
    ns_class& operator=(const ns_class&) = delete;

    const char* const name;
    const Class superclass;
    NSObject* (*const make)();
    // A new instance (one reference, the caller's), not yet initialised.
    NSObject* alloc() const { return make ? make() : nullptr; }
    void addMethod(SEL sel, IMP imp);
    IMP lookup(SEL sel) const; // this class first, then its superclasses
    void addProtocol(Protocol* protocol);
    bool conformsTo(Protocol* protocol) const; // this class or a superclass adopted it

    struct Method {
        SEL sel;
        IMP imp;
    };
    Method* methods = nullptr;
    size_t nMethods = 0;
    Protocol** protocols = nullptr;
    size_t nProtocols = 0;
};

Class NSClassFromString(NSString* name);
Class objc_getClass(const char* name);
// The protocol of the name once some class adopted it; null before.
Protocol* objc_getProtocol(const char* name);
Protocol* NSProtocolFromString(NSString* name);
bool class_conformsToProtocol(Class c, Protocol* protocol);
// The file of the loaded module (program or library) that defines the class; empty for none.
const char* class_getImageName(Class c);
namespace ns_standin
{
// The one record of a protocol name, made on first use.
Protocol* registerProtocol(const char* name);
} // namespace ns_standin

// Inside a class body: the class record and the instance's class.
#define NS_STANDIN_CLASS(Name)                                                                                       \
public:                                                                                                              \
    static Class class_();                                                                                           \
    Class getClass() const override { return Name::class_(); }

// In the class's source: the record, made at load time so that the name is found at once.
#define NS_STANDIN_CLASS_IMPL(Name, Super)                                                                           \
    Class Name::class_()                                                                                             \
    {                                                                                                                \
        static ns_class record(#Name, Super::class_(), []() -> NSObject* { return new Name; });                     \
        return &record;                                                                                              \
    }                                                                                                                \
    namespace {                                                                                                      \
    [[maybe_unused]] const Class kRegistered##Name = Name::class_();                                                 \
    }

// In the class's source, after NS_STANDIN_CLASS_IMPL: the class adopts the protocol whose
// interface it derives from.
#define NS_STANDIN_CLASS_ADOPTS(Name, ProtocolName)                                                                    \
    static_assert(std::is_base_of<ProtocolName, Name>::value, #Name " must derive from " #ProtocolName);               \
    namespace                                                                                                          \
    {                                                                                                                  \
    [[maybe_unused]] const bool kAdopts##Name##ProtocolName =                                                          \
        (Name::class_()->addProtocol(ns_standin::registerProtocol(#ProtocolName)), true);                              \
    }

class NSObject {
public:
    // Every object is in the set of live objects from construction until its dealloc has run.
    NSObject();
    NSObject(const NSObject&) = delete;
    NSObject& operator=(const NSObject&) = delete;

    static Class class_();
    virtual Class getClass() const { return NSObject::class_(); }

    virtual NSObject* init() { return this; }
    NSObject* retain();
    // Deletes the object when the last reference goes (dealloc is the destructor).
    void release();
    // Released when the innermost autorelease pool drains.
    NSObject* autorelease();
    NSUInteger retainCount() const { return mRefs.load(std::memory_order_relaxed); }

    bool isKindOfClass(Class c) const;
    bool respondsToSelector(SEL sel) const;
    // Calls the method added for sel with arg; null when the class has none.
    NSObject* performSelector(SEL sel, NSObject* arg = nullptr);
    // The same from the run loop, delay seconds from now; the object and the argument are
    // retained until then.
    void performSelectorAfterDelay(SEL sel, NSObject* arg, double delay);

protected:
    virtual ~NSObject();

private:
    std::atomic<NSUInteger> mRefs{1};
    // Set while dealloc runs: retains and releases made from inside it change nothing, so the
    // object is not freed twice.
    bool mDeallocating = false;
};

// Objects autoreleased while the pool is the innermost one of its thread are released when it
// drains (or is destroyed). Pools nest, per thread; an object autoreleased on the main thread
// with no pool waits for the stand-in's next run loop turn (ns_standin::drainLoopPool).
class NSAutoreleasePool {
public:
    NSAutoreleasePool();
    ~NSAutoreleasePool();
    NSAutoreleasePool(const NSAutoreleasePool&) = delete;
    NSAutoreleasePool& operator=(const NSAutoreleasePool&) = delete;
    void drain();

private:
    size_t mMark;
};

namespace ns_standin {

// Releases what was autoreleased outside any pool, as the run loop does after each event.
void drainLoopPool();

// Whether the address is a live object: answered from the set alone, so that a stale or
// foreign pointer is never read.
bool isLive(const void* address);
// Live objects of the class or its subclasses.
size_t liveCount(Class c);

} // namespace ns_standin
