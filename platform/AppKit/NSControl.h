#pragma once
// Controls: a view with an id (tag), an enabled flag and a value. Buttons keep a title and a
// check state (on, off, mixed), sliders a number within their range.
#include <string>

#include "NSMenu.h"
#include "NSView.h"

class NSControl : public NSView {
    NS_STANDIN_CLASS(NSControl)
public:
    NSControl() = default;
    NSInteger tag() const override { return mTag; }
    void setTag(NSInteger tag) { mTag = tag; }
    bool isEnabled() const { return mEnabled; }
    void setEnabled(bool on) { mEnabled = on; }
    // Autoreleased.
    virtual NSString* stringValue() const;
    virtual void setStringValue(NSString* text);
    virtual double doubleValue() const { return mDouble; }
    virtual void setDoubleValue(double value) { mDouble = value; }
    // Controls speak for themselves to assistive software.
    bool accessibilityIsIgnored() override { return false; }

private:
    NSInteger mTag = 0;
    bool mEnabled = true;
    std::string mString;
    double mDouble = 0;
};

// The off and on states are the menu items'.
typedef NSInteger NSCellStateValue;
enum : NSInteger { NSMixedState = -1 };
typedef NSUInteger NSButtonType;
enum : NSUInteger {
    NSMomentaryLightButton = 0,
    NSPushOnPushOffButton = 1,
    NSToggleButton = 2,
    NSSwitchButton = 3,
    NSRadioButton = 4,
    NSMomentaryPushInButton = 7
};

class NSColor;

// An image of a size in points; the stand-in keeps no pixels.
class NSImage : public NSObject {
    NS_STANDIN_CLASS(NSImage)
public:
    NSImage() = default;
    NSImage* initWithSize(NSSize size);
    NSSize size() const { return mSize; }

private:
    NSSize mSize{};
};

class NSButton : public NSControl {
    NS_STANDIN_CLASS(NSButton)
public:
    NSButton() = default;
    ~NSButton() override;
    // Autoreleased.
    NSString* title() const;
    void setTitle(NSString* title);
    NSCellStateValue state() const { return mState; }
    void setState(NSCellStateValue state) { mState = state; }
    bool allowsMixedState() const { return mAllowsMixed; }
    void setAllowsMixedState(bool on) { mAllowsMixed = on; }
    void setButtonType(NSButtonType type) { mType = type; }
    NSButtonType buttonType() const { return mType; }
    NSImage* image() const { return mImage; }
    void setImage(NSImage* image);
    // The attributed title's foreground colour over its whole length; null while the title
    // carries no attributes. Retained.
    NSColor* attributedTitleColor() const { return mTitleColor; }
    void setAttributedTitleColor(NSColor* color);
    bool acceptsFirstResponder() override { return true; }
    // A fixed look: a light face, a dark one-pixel frame and the title centred in black (or
    // the title colour).
    void drawRect(NSRect rect) override;

private:
    std::string mTitle;
    NSCellStateValue mState = NSOffState;
    bool mAllowsMixed = false;
    NSButtonType mType = NSMomentaryPushInButton;
    NSImage* mImage = nullptr;     // retained
    NSColor* mTitleColor = nullptr; // retained
};

class NSSlider : public NSControl {
    NS_STANDIN_CLASS(NSSlider)
public:
    NSSlider() = default;
    double minValue() const { return mMin; }
    double maxValue() const { return mMax; }
    void setMinValue(double v) { mMin = v; }
    void setMaxValue(double v) { mMax = v; }
    bool acceptsFirstResponder() override { return true; }

private:
    double mMin = 0, mMax = 1;
};
