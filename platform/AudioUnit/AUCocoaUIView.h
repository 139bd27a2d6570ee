#pragma once
// The protocol of an Audio Unit's Cocoa view factory: the host makes an instance of the class
// the CocoaUI property names and asks it for the editor view.
#include <AppKit/AppKit.h>

#include "AudioUnit.h"

class AUCocoaUIBase {
public:
    virtual ~AUCocoaUIBase() = default;
    virtual unsigned interfaceVersion() = 0;
    // The editor view, autoreleased, or null.
    virtual NSView* uiViewForAudioUnit(AudioUnit unit, NSSize preferredSize) = 0;
};
