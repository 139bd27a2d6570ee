#include "NSControl.h"
#include "NSTextField.h"

#include <CoreText/CTFieldText.h>

#include <algorithm>
#include <cmath>

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
    if (mFont) mFont->release();
}

void NSButton::setFont(NSFont* font)
{
    if (font) font->retain();
    if (mFont) mFont->release();
    mFont = font;
    setNeedsDisplay(true);
}

void NSButton::sizeToFit()
{
    const double width = ct_standin::TextWidth(mFont ? mFont->fontName() : "", mFont ? mFont->pointSize() : 12,
                                               NSStandinCharacters(mTitle.c_str()));
    const bool mark = mType == NSSwitchButton || mType == NSRadioButton;
    // A push button keeps 14 points of bezel on each side; a check box or radio its mark.
    setFrameSize(NSMakeSize(std::ceil(width) + (mark ? 22 : 28), std::max(frame().size.height, mark ? 18.0 : 21.0)));
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
    if (mCell)
        mCell->drawWithFrame(bounds(), this);
    else
        drawFace(bounds());
}

void NSButtonCell::drawWithFrame(NSRect frame, NSView* view)
{
    if (auto* b = dynamic_cast<NSButton*>(view)) b->drawFace(frame);
}

void NSButton::setCell(NSButtonCell* cell)
{
    if (cell == mCell) return;
    if (cell) {
        cell->retain();
        cell->mButton = this;
    }
    if (mCell) {
        mCell->mButton = nullptr;
        mCell->release();
    }
    mCell = cell;
    setNeedsDisplay(true);
}

void NSButton::drawFace(NSRect b)
{
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    CGContextSetRGBFillColor(c, 0.25, 0.25, 0.25, 1);
    CGContextFillRect(c, b);
    CGContextSetRGBFillColor(c, 0.92, 0.92, 0.92, 1);
    CGContextFillRect(c, NSInsetRect(b, 1, 1));
    ct_standin::FieldText how;
    how.align = 1;
    if (mFont) {
        how.font = mFont->fontName();
        how.size = mFont->pointSize();
    }
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
