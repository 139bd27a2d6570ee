#pragma once
// Controls: a view with an id (tag), an enabled flag and a value. Buttons keep a title and a
// check state (on, off, mixed), sliders a number within their range.
#include <string>
#include <vector>

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
    // Fits the frame's size to the content (text widths from the CoreText stand-in); the origin
    // stays.
    virtual void sizeToFit() {}
    // Controls speak for themselves to assistive software.
    bool accessibilityIsIgnored() override { return false; }
    // Target and action: the action goes to the target with the control as argument. Neither
    // is retained.
    void setTarget(NSObject* target) { mTarget = target; }
    NSObject* target() const { return mTarget; }
    void setAction(SEL action) { mAction = action; }
    SEL action() const { return mAction; }
    // False when there is no action or the target has no method for it.
    bool sendAction(SEL action, NSObject* target);

private:
    NSObject* mTarget = nullptr;
    SEL mAction = nullptr;
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

// An image of a size in points with its bitmap representations (none for an image made only
// with a size). Files: PNG, and icon files holding 32-bit or PNG images.
class NSImage : public NSObject {
    NS_STANDIN_CLASS(NSImage)
public:
    NSImage() = default;
    ~NSImage() override;
    NSImage* initWithSize(NSSize size);
    // Null, and the object released, when the file does not read as an image.
    NSImage* initWithContentsOfFile(NSString* path);
    // The image of that name in the main bundle's resources (the name as it stands, or with
    // ".png" or ".ico"), loaded once and kept for the process; null when there is none.
    static NSImage* imageNamed(NSString* name);
    NSSize size() const { return mSize; }
    // Retained.
    void addRepresentation(class NSBitmapImageRep* rep);
    // Autoreleased.
    NSArray* representations() const;
    // A new image (one reference, the caller's) sharing the representations.
    NSImage* copy() const;
    // Whether the image is drawn with y downward.
    void setFlipped(bool on) { mFlipped = on; }
    bool isFlipped() const { return mFlipped; }

private:
    bool mFlipped = false;
    NSSize mSize{};
    std::vector<class NSBitmapImageRep*> mReps; // retained
};

#define NSCalibratedWhiteColorSpace "NSCalibratedWhiteColorSpace"
#define NSCalibratedRGBColorSpace "NSCalibratedRGBColorSpace"
#define NSDeviceRGBColorSpace "NSDeviceRGBColorSpace"

// Pixels in memory the representation owns: 8 bits per sample, grey and alpha (2 samples) or
// red, green, blue and alpha (4 samples), interleaved, alpha not premultiplied.
class NSBitmapImageRep : public NSObject {
    NS_STANDIN_CLASS(NSBitmapImageRep)
public:
    NSBitmapImageRep() = default;
    ~NSBitmapImageRep() override;
    // The planes must be null: the representation allocates its bytes (zeroed). Null, and the
    // object released, for any other layout or a size past 4096 pixels a side.
    NSBitmapImageRep* initWithBitmapDataPlanes(unsigned char** planes, NSInteger width, NSInteger height,
                                               NSInteger bitsPerSample, NSInteger samplesPerPixel, bool hasAlpha,
                                               bool isPlanar, const char* colorSpaceName, NSInteger bytesPerRow,
                                               NSInteger bitsPerPixel);
    unsigned char* bitmapData() const { return mData; }
    NSInteger pixelsWide() const { return mWidth; }
    NSInteger pixelsHigh() const { return mHeight; }
    NSInteger samplesPerPixel() const { return mSamples; }
    NSInteger bytesPerRow() const { return mBytesPerRow; }
    // Autoreleased; null outside the bitmap.
    NSColor* colorAtX(NSInteger x, NSInteger y) const;

private:
    unsigned char* mData = nullptr;
    NSInteger mWidth = 0, mHeight = 0, mSamples = 0, mBytesPerRow = 0;
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
    // The bezel (1 rounded, 6 shadowless square), where the image sits (3 right of the title)
    // and the title's font (retained; null: the default).
    void setBezelStyle(NSUInteger style) { mBezelStyle = style; }
    NSUInteger bezelStyle() const { return mBezelStyle; }
    void setImagePosition(NSUInteger position) { mImagePosition = position; }
    NSUInteger imagePosition() const { return mImagePosition; }
    void setFont(class NSFont* font);
    class NSFont* font() const { return mFont; }
    // The title's width plus the bezel's margins; at least the height of a push button.
    void sizeToFit() override;
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
    // A click: the state moves on by the button's type (a switch or push-on-push-off button
    // off, on, mixed when allowed, off; a radio button on), then the action is sent. The
    // mouse-up ends the click.
    void performClick(NSObject* sender);
    void mouseDown(NSEvent* e) override;
    void mouseUp(NSEvent*) override {}
    // The cell a window names as its default button (Return clicks it). Made on first use.
    class NSButtonCell* cell();
    // Retained; the button draws through its cell.
    void setCell(class NSButtonCell* cell);
    // The plain look of drawRect in the frame (of the current drawing).
    void drawFace(NSRect frame);

private:
    class NSButtonCell* mCell = nullptr; // retained
    std::string mTitle;
    NSCellStateValue mState = NSOffState;
    bool mAllowsMixed = false;
    NSButtonType mType = NSMomentaryPushInButton;
    NSImage* mImage = nullptr;     // retained
    class NSFont* mFont = nullptr; // retained
    NSUInteger mBezelStyle = 1, mImagePosition = 0;
    NSColor* mTitleColor = nullptr; // retained
};

class NSButtonCell : public NSObject {
    NS_STANDIN_CLASS(NSButtonCell)
public:
    NSButtonCell() = default;
    NSButton* controlView() const { return mButton; }
    void performClick(NSObject* sender)
    {
        if (mButton) mButton->performClick(sender);
    }
    // The button's plain look when the view is a button.
    virtual void drawWithFrame(NSRect frame, NSView* view);

private:
    friend class NSButton;
    NSButton* mButton = nullptr; // the button owns the cell
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
    // The cell's size: 0 regular, 1 small, 2 mini.
    void setControlSize(NSUInteger size) { mControlSize = size; }
    NSUInteger controlSize() const { return mControlSize; }

private:
    double mMin = 0, mMax = 1;
    NSUInteger mControlSize = 0;
};
