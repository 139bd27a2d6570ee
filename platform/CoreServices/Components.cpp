#include "Components.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr uint32_t kComponentMagic = 0x436F6D70;    // a registered component
constexpr uint32_t kInstanceMagic = 0x496E7374;     // an open instance

bool IsComponent(const ComponentRecord* c)
{
    return c && (c->magic == kComponentMagic || c->magic == kInstanceMagic);
}

bool IsInstance(const ComponentInstanceRecord* ci) { return ci && ci->magic == kInstanceMagic; }

} // namespace

void SetComponentInstanceStorage(ComponentInstance ci, void* storage)
{
    if (IsInstance(ci)) ci->storage = storage;
}

void* GetComponentInstanceStorage(ComponentInstance ci)
{
    return IsInstance(ci) ? ci->storage : nullptr;
}

OSErr GetComponentInfo(Component c, ComponentDescription* cd, Handle name, Handle info, Handle icon)
{
    if (!IsComponent(c) || name || info || icon) return OSErr(invalidComponentID);
    if (cd) *cd = c->description;
    return noErr;
}

Component RegisterComponentEntry(const ComponentDescription* cd, ComponentRoutineUPP entry)
{
    if (!cd || !entry) return nullptr;
    auto* c = new (std::nothrow) ComponentRecord;
    if (!c) return nullptr;
    c->magic = kComponentMagic;
    c->description = *cd;
    c->entry = entry;
    return c;
}

void UnregisterComponentEntry(Component c)
{
    if (!c || c->magic != kComponentMagic) return;
    c->magic = 0;
    delete c;
}

ComponentResult CallComponent(ComponentInstance ci, SInt16 what, int nArgs, const intptr_t* args)
{
    if (!IsInstance(ci) || !ci->entry || nArgs < 0) return badComponentInstance;
    // The block carries at least one slot, like the declared array.
    size_t slots = nArgs > 0 ? size_t(nArgs) : 1;
    std::vector<unsigned char> block(offsetof(ComponentParameters, params) + slots * sizeof(intptr_t), 0);
    auto* p = reinterpret_cast<ComponentParameters*>(block.data());
    p->flags = 0;
    p->paramSize = UInt8(size_t(nArgs) * sizeof(intptr_t) > 255 ? 255 : size_t(nArgs) * sizeof(intptr_t));
    p->what = what;
    for (int i = 0; i < nArgs; ++i) p->params[nArgs - 1 - i] = args[i];
    return ci->entry(p, ci->storage);
}

OSStatus OpenAComponent(Component c, ComponentInstance* ci)
{
    if (!ci) return invalidComponentID;
    *ci = nullptr;
    if (!c || c->magic != kComponentMagic) return invalidComponentID;
    auto* inst = new (std::nothrow) ComponentInstanceRecord;
    if (!inst) return -108; // memFullErr
    inst->magic = kInstanceMagic;
    inst->description = c->description;
    inst->entry = c->entry;
    inst->storage = nullptr;
    intptr_t self = reinterpret_cast<intptr_t>(inst);
    ComponentResult r = CallComponent(inst, kComponentOpenSelect, 1, &self);
    if (r != noErr) {
        inst->magic = 0;
        delete inst;
        return r;
    }
    *ci = inst;
    return noErr;
}

OSStatus CloseComponent(ComponentInstance ci)
{
    if (!IsInstance(ci)) return badComponentInstance;
    intptr_t self = reinterpret_cast<intptr_t>(ci);
    ComponentResult r = CallComponent(ci, kComponentCloseSelect, 1, &self);
    ci->magic = 0;
    delete ci;
    return r;
}

ComponentResult CallComponentCanDo(ComponentInstance ci, SInt16 selector)
{
    intptr_t arg = selector;
    return CallComponent(ci, kComponentCanDoSelect, 1, &arg);
}

ComponentResult CallComponentVersion(ComponentInstance ci)
{
    return CallComponent(ci, kComponentVersionSelect, 0, nullptr);
}
