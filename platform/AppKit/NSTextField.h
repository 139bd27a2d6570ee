#pragma once
// Text fields. Editing goes through the window's field editor (an NSTextView), which the field
// puts two levels below itself (field, clip view, text view) while it is being edited. The
// editor takes the keys: each change is checked by the field's formatter; Return or Enter, or
// the editor losing first responder, ends editing, and the field's delegate hears of it by
// controlTextDidEndEditing:. The field draws its background and text.
#include <string>

#include "NSView.h"

class NSFormatter;
class NSTextView;

class NSFont : public NSObject
{
    NS_STANDIN_CLASS(NSFont)
public:
    NSFont() = default;
    ~NSFont() override;
    // Autoreleased.
    static NSFont* fontWithName(NSString* name, double size);
    const char* fontName() const { return mName.c_str(); }
    double pointSize() const { return mSize; }

private:
    std::string mName;
    double mSize = 12;
};

class NSColor : public NSObject
{
    NS_STANDIN_CLASS(NSColor)
public:
    NSColor() = default;
    // Autoreleased; components from 0 to 1.
    static NSColor* colorWithCalibratedRed(double r, double g, double b, double a);
    double redComponent() const { return mRGBA[0]; }
    double greenComponent() const { return mRGBA[1]; }
    double blueComponent() const { return mRGBA[2]; }
    double alphaComponent() const { return mRGBA[3]; }

private:
    double mRGBA[4] = {0, 0, 0, 1};
};

typedef NSUInteger NSTextAlignment;
enum : NSUInteger { NSLeftTextAlignment = 0, NSRightTextAlignment = 1, NSCenterTextAlignment = 2 };
typedef NSUInteger NSLineBreakMode;
enum : NSUInteger { NSLineBreakByWordWrapping = 0, NSLineBreakByTruncatingTail = 4 };
typedef NSUInteger NSFocusRingType;
enum : NSUInteger { NSFocusRingTypeDefault = 0, NSFocusRingTypeNone = 1 };

class NSCell : public NSObject
{
    NS_STANDIN_CLASS(NSCell)
public:
    NSCell() = default;
    void setLineBreakMode(NSLineBreakMode mode) { mLineBreak = mode; }
    NSLineBreakMode lineBreakMode() const { return mLineBreak; }

private:
    NSLineBreakMode mLineBreak = NSLineBreakByWordWrapping;
};

class NSClipView : public NSView
{
    NS_STANDIN_CLASS(NSClipView)
public:
    NSClipView() = default;
};

class NSTextField : public NSView
{
    NS_STANDIN_CLASS(NSTextField)
public:
    NSTextField() = default;
    ~NSTextField() override;
    NSView* initWithFrame(NSRect frame) override;

    // While editing, the editor's text.
    NSString* stringValue() const;
    void setStringValue(NSString* text);
    void setFont(NSFont* font);
    NSFont* font() const { return mFont; }
    void setAlignment(NSTextAlignment a) { mAlignment = a; }
    NSTextAlignment alignment() const { return mAlignment; }
    void setFormatter(NSFormatter* formatter);
    NSFormatter* formatter() const { return mFormatter; }
    // Not retained, as delegates are not.
    void setDelegate(NSObject* delegate) { mDelegate = delegate; }
    NSObject* delegate() const { return mDelegate; }
    void setTextColor(NSColor* color);
    NSColor* textColor() const { return mTextColor; }
    void setBackgroundColor(NSColor* color);
    NSColor* backgroundColor() const { return mBackground; }
    void setBordered(bool on) { mBordered = on; }
    bool isBordered() const { return mBordered; }
    void setFocusRingType(NSFocusRingType t) { mFocusRing = t; }
    NSFocusRingType focusRingType() const { return mFocusRing; }
    void setAllowsEditingTextAttributes(bool on) { mEditsAttributes = on; }
    bool allowsEditingTextAttributes() const { return mEditsAttributes; }
    NSCell* cell() const { return mCell; }
    // The field editor while the field is being edited, else null.
    NSTextView* currentEditor() const { return mEditor; }

    bool acceptsFirstResponder() override { return true; }
    bool becomeFirstResponder() override;
    void drawRect(NSRect rect) override;

private:
    friend class NSTextView;
    void startEditing();
    // Whether the formatter lets the text stand; it may put a replacement into *text.
    bool mayBecome(std::string* text) const;
    // Takes the editor's text, returns the editor to the window and tells the delegate.
    void endEditing();

    std::string mText;
    NSFont* mFont = nullptr;           // retained
    NSFormatter* mFormatter = nullptr; // retained
    NSObject* mDelegate = nullptr;
    NSColor* mTextColor = nullptr;  // retained
    NSColor* mBackground = nullptr; // retained
    NSCell* mCell = nullptr;        // retained
    NSTextAlignment mAlignment = NSLeftTextAlignment;
    NSFocusRingType mFocusRing = NSFocusRingTypeDefault;
    bool mBordered = true, mEditsAttributes = true;
    NSTextView* mEditor = nullptr; // the window's; set while editing
};

// The field editor: text with a selection, edited by keys on behalf of the field it serves.
class NSTextView : public NSView
{
    NS_STANDIN_CLASS(NSTextView)
public:
    NSTextView() = default;
    NSString* string() const;
    void setString(NSString* text);
    void selectAll();
    // The selection in characters.
    size_t selectionStart() const { return mSelStart; }
    size_t selectionLength() const { return mSelLength; }
    // Replaces the selection with the text, when the field's formatter allows it.
    void insertText(NSString* text);
    void deleteBackward();

    bool acceptsFirstResponder() override { return true; }
    bool resignFirstResponder() override;
    void keyDown(NSEvent* e) override;

private:
    friend class NSTextField;
    void replaceSelection(const std::string& with);

    std::string mText;
    size_t mSelStart = 0, mSelLength = 0;
    NSTextField* mField = nullptr; // the field being edited; not retained
};
