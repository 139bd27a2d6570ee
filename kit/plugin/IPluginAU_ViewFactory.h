#pragma once
// The Cocoa view factory a host finds by the class name the CocoaUI property gives
// ("QOR_View"): it hands out the editor view of a unit's plug-in object.
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>

class IPluginBase;

class QOR_View {
public:
    QOR_View* init();
    // The view the plug-in's editor surface opens with no parent, or null when the unit has no
    // plug-in object or the plug-in no editor surface. The size is not used.
    void* uiViewForAudioUnit(AudioUnit unit, CGSize size);
    unsigned interfaceVersion() const { return 0; }
    // Not retained: a constant string.
    CFStringRef description() const;
    IPluginBase* Plug() const { return mPlug; }

private:
    IPluginBase* mPlug = nullptr;
};
