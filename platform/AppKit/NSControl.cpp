#include "NSControl.h"
#include "NSTextField.h"

#include <CoreText/CTFieldText.h>

NS_STANDIN_CLASS_IMPL(NSControl, NSView)
NS_STANDIN_CLASS_IMPL(NSButton, NSControl)
NS_STANDIN_CLASS_IMPL(NSSlider, NSControl)
NS_STANDIN_CLASS_IMPL(NSButtonCell, NSObject)
NS_STANDIN_CLASS_IMPL(NSImage, NSObject)

NSButton::~NSButton()
{
    if (mCell) {
        mCell->mButton = nullptr;
        mCell->release();
    }
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

void NSButton::drawRect(NSRect)
{
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    const NSRect b = bounds();
    CGContextSetRGBFillColor(c, 0.25, 0.25, 0.25, 1);
    CGContextFillRect(c, b);
    CGContextSetRGBFillColor(c, 0.92, 0.92, 0.92, 1);
    CGContextFillRect(c, NSInsetRect(b, 1, 1));
    ct_standin::FieldText how;
    how.align = 1;
    if (mTitleColor) {
        how.rgb[0] = mTitleColor->redComponent();
        how.rgb[1] = mTitleColor->greenComponent();
        how.rgb[2] = mTitleColor->blueComponent();
        how.alpha = mTitleColor->alphaComponent();
    }
    ct_standin::DrawFieldText(c, NSInsetRect(b, 2, 2), NSStandinCharacters(mTitle.c_str()), how);
    CGContextRestoreGState(c);
}

bool NSControl::sendAction(SEL action, NSObject* target)
{
    if (!action || !target || !target->respondsToSelector(action)) return false;
    retain();
    target->retain();
    target->performSelector(action, this);
    target->release();
    release();
    return true;
}

NSButtonCell* NSButton::cell()
{
    if (!mCell) {
        mCell = static_cast<NSButtonCell*>(NSButtonCell::class_()->alloc());
        mCell->mButton = this;
    }
    return mCell;
}

void NSButton::performClick(NSObject*)
{
    if (!isEnabled()) return;
    switch (mType) {
    case NSSwitchButton:
    case NSPushOnPushOffButton:
    case NSToggleButton:
        if (mState == NSOffState)
            mState = NSOnState;
        else
            mState = mState == NSOnState && mAllowsMixed ? NSCellStateValue(NSMixedState) : NSCellStateValue(NSOffState);
        break;
    case NSRadioButton: mState = NSOnState; break;
    default: break;
    }
    setNeedsDisplay(true);
    sendAction(action(), target());
}

void NSButton::mouseDown(NSEvent*) { performClick(this); }
