#pragma once
// The Component Manager: a component is an entry routine and a description; an instance is an
// open component with one storage word that the component keeps its object in. Every call
// reaches the entry routine with a selector and its arguments in a parameter block.
//
// The stand-in keeps no registry: everything lives in the records that callers pass around,
// so a host and a plug-in library that each carry a copy of this code share instances freely.
#include <cstddef>
#include <cstdint>

#include "MacTypes.h"

struct ComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};

// Arguments stand last first: params[0] is the call's last argument. Slots are pointer-sized so
// that pointers survive on 64-bit machines; paramSize counts bytes.
struct ComponentParameters {
    UInt8 flags;
    UInt8 paramSize;
    SInt16 what;
    intptr_t params[1];
};

typedef OSStatus ComponentResult;
typedef ComponentResult (*ComponentRoutineProcPtr)(ComponentParameters* cp, void* componentStorage);
typedef ComponentRoutineProcPtr ComponentRoutineUPP;

struct ComponentRecord {
    uint32_t magic;
    ComponentDescription description;
    ComponentRoutineUPP entry;
};
struct ComponentInstanceRecord : ComponentRecord {
    void* storage;
};
typedef ComponentRecord* Component;
typedef ComponentInstanceRecord* ComponentInstance;

enum : SInt16 {
    kComponentOpenSelect = -1,
    kComponentCloseSelect = -2,
    kComponentCanDoSelect = -3,
    kComponentVersionSelect = -4,
};

enum : OSStatus {
    invalidComponentID = -3000,
    badComponentInstance = (OSStatus)0x80008001,
    badComponentSelector = (OSStatus)0x80008002,
};

// Keeps a word for the component in its instance, and answers it.
void SetComponentInstanceStorage(ComponentInstance ci, void* storage);
void* GetComponentInstanceStorage(ComponentInstance ci);
// Fills the description of a component or of an open instance; the three handles (name, info,
// icon) are not supported and must be null. invalidComponentID for anything else.
OSErr GetComponentInfo(Component c, ComponentDescription* cd, Handle name, Handle info, Handle icon);

// Makes a component from its entry routine (the host has looked the routine up by name).
Component RegisterComponentEntry(const ComponentDescription* cd, ComponentRoutineUPP entry);
void UnregisterComponentEntry(Component c);
// Opens an instance: the entry gets the open selector with the new instance as its argument.
// On failure the instance is freed and *ci is null.
OSStatus OpenAComponent(Component c, ComponentInstance* ci);
// Sends the close selector and frees the instance record.
OSStatus CloseComponent(ComponentInstance ci);
// Calls the instance's entry with a selector and arguments given first to last.
ComponentResult CallComponent(ComponentInstance ci, SInt16 what, int nArgs, const intptr_t* argsFirstToLast);
ComponentResult CallComponentCanDo(ComponentInstance ci, SInt16 selector);
ComponentResult CallComponentVersion(ComponentInstance ci);

// The n-th argument of a call counted from its first one, for an entry routine.
inline intptr_t ComponentArg(const ComponentParameters* p, int nArgs, int indexFromFirst)
{
    return p->params[nArgs - 1 - indexFromFirst];
}
