#include "NSControl.h"

NS_STANDIN_CLASS_IMPL(NSControl, NSView)
NS_STANDIN_CLASS_IMPL(NSButton, NSControl)
NS_STANDIN_CLASS_IMPL(NSSlider, NSControl)

NSString* NSControl::stringValue() const { return NSString::stringWithUTF8String(mString.c_str()); }

void NSControl::setStringValue(NSString* text)
{
    mString = text ? text->UTF8String() : "";
    setNeedsDisplay(true);
}

NSString* NSButton::title() const { return NSString::stringWithUTF8String(mTitle.c_str()); }

void NSButton::setTitle(NSString* title)
{
    mTitle = title ? title->UTF8String() : "";
    setNeedsDisplay(true);
}
