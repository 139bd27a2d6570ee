#pragma once
// The Carbon editor view component of a unit.
#include <Carbon/Carbon.h>

#include "AUComponent.h"

typedef ComponentInstance AudioUnitCarbonView;

struct Float32Point {
    Float32 x, y;
};

enum : UInt32 { kAudioUnitCarbonViewComponentType = 0x61757677 }; // 'auvw'
enum : SInt16 { kAudioUnitCarbonViewCreateSelect = 0x0301 };

OSStatus AudioUnitCarbonViewCreate(AudioUnitCarbonView inView, AudioUnit inAudioUnit, WindowRef inWindow,
                                   ControlRef inParentControl, const Float32Point* inLocation,
                                   const Float32Point* inSize, ControlRef* outControl);
