#include "NSControl.h"
#include "NSTextField.h"

NS_STANDIN_CLASS_IMPL(NSControl, NSView)
NS_STANDIN_CLASS_IMPL(NSButton, NSControl)
NS_STANDIN_CLASS_IMPL(NSSlider, NSControl)
NS_STANDIN_CLASS_IMPL(NSImage, NSObject)

NSImage* NSImage::initWithSize(NSSize size)
{
    mSize = size;
    return this;
}

NSButton::~NSButton()
{
    if (mImage) mImage->release();
    if (mTitleColor) mTitleColor->release();
}

void NSButton::setImage(NSImage* image)
{
    if (image) image->retain();
    if (mImage) mImage->release();
    mImage = image;
    setNeedsDisplay(true);
}

void NSButton::setAttributedTitleColor(NSColor* color)
{
    if (color) color->retain();
    if (mTitleColor) mTitleColor->release();
    mTitleColor = color;
    setNeedsDisplay(true);
}

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
