#pragma once
// The Cocoa view factory a host finds by the class name the CocoaUI property gives
// ("QOR_View"): a registered class that hands out the editor view of a unit's plug-in object.
#include <AppKit/AppKit.h>
#include <AudioUnit/AUCocoaUIView.h>
#include <AudioUnit/AudioUnit.h>
#include <CoreFoundation/CoreFoundation.h>

class IPluginBase;

class QOR_View : public NSObject, public AUCocoaUIBase {
    NS_STANDIN_CLASS(QOR_View)
public:
    QOR_View() = default;
    QOR_View* init() override;
    // The view the plug-in's editor surface opens with no parent, or null when the unit has no
    // plug-in object or the plug-in no editor surface. The size is not used.
    NSView* uiViewForAudioUnit(AudioUnit unit, NSSize size) override;
    unsigned interfaceVersion() override { return 0; }
    // Not retained: a constant string.
    CFStringRef description() const;
    IPluginBase* Plug() const { return mPlug; }

private:
    IPluginBase* mPlug = nullptr;
};
