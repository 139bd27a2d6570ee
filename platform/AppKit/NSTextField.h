#pragma once
// Text fields. Editing goes through the window's field editor (an NSTextView), which the field
// puts two levels below itself (field, clip view, text view) while it is being edited. The
// editor takes the keys: each change is checked by the field's formatter; Return or Enter, or
// the editor losing first responder, ends editing, and the field's delegate hears of it by
// controlTextDidEndEditing:. The field draws its background and text.
#include <string>

#include "NSControl.h"

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
    // The system's font (the stand-in's default face) at that size. Autoreleased.
    static NSFont* systemFontOfSize(double size);
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
    // The default text colour of controls: black. Autoreleased.
    static NSColor* controlTextColor();
    // The same colour with another alpha. Autoreleased.
    NSColor* colorWithAlphaComponent(double alpha) const;
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
    // Whether the text wraps onto more lines, or scrolls in one.
    void setWraps(bool on) { mWraps = on; }
    bool wraps() const { return mWraps; }
    void setScrollable(bool on) { mScrollable = on; }
    bool isScrollable() const { return mScrollable; }
    void setAlignment(NSTextAlignment a) { mAlignment = a; }
    NSTextAlignment alignment() const { return mAlignment; }
    // Cells of tables: the text shown, the highlighted flag while a selected row draws, and
    // the drawing (the frame, then the interior: the text by the alignment).
    void setStringValue(const char* text) { mText = text ? text : ""; }
    const std::string& text() const { return mText; }
    void setHighlighted(bool on) { mHighlighted = on; }
    bool isHighlighted() const { return mHighlighted; }
    virtual void drawWithFrame(NSRect frame, NSView* view) { drawInteriorWithFrame(frame, view); }
    virtual void drawInteriorWithFrame(NSRect frame, NSView* view);

private:
    std::string mText;
    bool mHighlighted = false;
    NSLineBreakMode mLineBreak = NSLineBreakByWordWrapping;
    bool mWraps = true, mScrollable = false;
    NSTextAlignment mAlignment = NSLeftTextAlignment;
};

// A text cell keeps the colour its text is drawn in (a box's title).
class NSTextFieldCell : public NSCell
{
    NS_STANDIN_CLASS(NSTextFieldCell)
public:
    NSTextFieldCell() = default;
    ~NSTextFieldCell() override;
    void setTextColor(NSColor* color);
    NSColor* textColor() const { return mTextColor; }
    // In a table: a highlighted cell fills its frame with the highlight colour (none: no fill)
    // before the text.
    virtual NSColor* highlightColorWithFrame(NSRect frame, NSView* view);
    void drawWithFrame(NSRect frame, NSView* view) override;
    void drawInteriorWithFrame(NSRect frame, NSView* view) override;

private:
    NSColor* mTextColor = nullptr; // retained
};

// The clip view shows its one subview, the document view.
class NSClipView : public NSView
{
    NS_STANDIN_CLASS(NSClipView)
public:
    NSClipView() = default;
    NSView* documentView() const { return subviews().empty() ? nullptr : subviews().front(); }
};

// A scroll view holds a clip view (its content view), and the clip view the document view.
class NSScrollView : public NSView
{
    NS_STANDIN_CLASS(NSScrollView)
public:
    NSScrollView() = default;
    void setAutohidesScrollers(bool on) { mAutohides = on; }
    bool autohidesScrollers() const { return mAutohides; }
    void setDrawsBackground(bool on) { mDrawsBackground = on; }
    bool drawsBackground() const { return mDrawsBackground; }
    NSView* initWithFrame(NSRect frame) override;
    NSClipView* contentView() const { return mClip; }
    NSView* documentView() const { return mClip ? mClip->documentView() : nullptr; }
    // Retains the view, replacing the old document view.
    void setDocumentView(NSView* view);
    // Scrollers take 15 units off the content size; the clip view fills what is left.
    void setHasHorizontalScroller(bool on);
    void setHasVerticalScroller(bool on);
    bool hasHorizontalScroller() const { return mHorizontal; }
    bool hasVerticalScroller() const { return mVertical; }
    NSSize contentSize() const;
    void setFrameSize(NSSize size) override;

private:
    NSClipView* mClip = nullptr; // a subview, held through the subview list
    bool mHorizontal = false, mVertical = false, mAutohides = false, mDrawsBackground = true;
};

// A box: a titled frame around other views.
class NSBox : public NSView
{
    NS_STANDIN_CLASS(NSBox)
public:
    NSBox() = default;
    ~NSBox() override;
    // Autoreleased.
    NSString* title() const;
    void setTitle(NSString* title);
    NSTextFieldCell* titleCell();

private:
    std::string mTitle;
    NSTextFieldCell* mTitleCell = nullptr; // retained, made on first use
};

class NSTextField : public NSControl
{
    NS_STANDIN_CLASS(NSTextField)
public:
    NSTextField() = default;
    ~NSTextField() override;
    NSView* initWithFrame(NSRect frame) override;

    // While editing, the editor's text.
    NSString* stringValue() const override;
    void setStringValue(NSString* text) override;
    // Labels are fields that are not editable; they take no first responder.
    bool isEditable() const { return mEditable; }
    void setEditable(bool on) { mEditable = on; }
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
    // A bezelled field draws a white face in a grey frame; a field that draws no background
    // leaves what lies below.
    void setBezeled(bool on) { mBezeled = on; }
    bool isBezeled() const { return mBezeled; }
    void setDrawsBackground(bool on) { mDrawsBackground = on; }
    bool drawsBackground() const { return mDrawsBackground; }
    void setSelectable(bool on) { mSelectable = on; }
    bool isSelectable() const { return mSelectable; }
    // The text's width plus the margins of DrawFieldText; the height stays.
    void sizeToFit() override;
    void setFocusRingType(NSFocusRingType t) { mFocusRing = t; }
    NSFocusRingType focusRingType() const { return mFocusRing; }
    void setAllowsEditingTextAttributes(bool on) { mEditsAttributes = on; }
    bool allowsEditingTextAttributes() const { return mEditsAttributes; }
    NSCell* cell() const { return mCell; }
    // The field editor while the field is being edited, else null.
    NSTextView* currentEditor() const { return mEditor; }

    bool acceptsFirstResponder() override { return mEditable; }
    bool becomeFirstResponder() override;
    void drawRect(NSRect rect) override;
    // Ends editing without taking the editor's text and without telling the delegate: the field
    // keeps the text it had before. False when it was not being edited.
    bool abortEditing();

protected:
    // The delegate's method of that selector, with a notification of that name about the field.
    void tellDelegate(const char* selector, const char* notification);

private:
    friend class NSTextView;
    void startEditing();
    // Whether the formatter lets the text stand; it may put a replacement into *text.
    bool mayBecome(std::string* text) const;
    // Takes the editor's text, returns the editor to the window and tells the delegate.
    void endEditing();
    // Returns the editor to the window; the editor that was taken, or null.
    NSTextView* detachEditor();

    std::string mText;
    NSFont* mFont = nullptr;           // retained
    NSFormatter* mFormatter = nullptr; // retained
    NSObject* mDelegate = nullptr;
    NSColor* mTextColor = nullptr;  // retained
    NSColor* mBackground = nullptr; // retained
    NSCell* mCell = nullptr;        // retained
    NSTextAlignment mAlignment = NSLeftTextAlignment;
    NSFocusRingType mFocusRing = NSFocusRingTypeDefault;
    bool mBordered = true, mEditsAttributes = true, mEditable = true;
    bool mBezeled = false, mDrawsBackground = false, mSelectable = true;
    NSTextView* mEditor = nullptr; // the window's; set while editing
};

// Fields whose text is not shown.
class NSSecureTextField : public NSTextField
{
    NS_STANDIN_CLASS(NSSecureTextField)
public:
    NSSecureTextField() = default;
};

// Text objects: a text and its edits.
class NSText : public NSView
{
    NS_STANDIN_CLASS(NSText)
public:
    NSText() = default;
    // Autoreleased. The text lives in the subclasses; a bare text object has none.
    virtual NSString* string() const { return nullptr; }
    virtual void setString(NSString*) {}
};

// The field editor: text with a selection, edited by keys on behalf of the field it serves.
class NSTextView : public NSText
{
    NS_STANDIN_CLASS(NSTextView)
public:
    NSTextView() = default;
    NSString* string() const override;
    void setString(NSString* text) override;
    void selectAll();
    // Text views of their own (not the field editor): font, editing and sizing flags, and the
    // last range scrolled into view.
    void setFont(NSFont* font);
    NSFont* font() const { return mFont; }
    void setEditable(bool on) { mEditable = on; }
    bool isEditable() const { return mEditable; }
    void setHorizontallyResizable(bool on) { mHorizontallyResizable = on; }
    bool isHorizontallyResizable() const { return mHorizontallyResizable; }
    void setVerticallyResizable(bool on) { mVerticallyResizable = on; }
    bool isVerticallyResizable() const { return mVerticallyResizable; }
    void scrollRangeToVisible(size_t start, size_t length)
    {
        mScrolledStart = start;
        mScrolledLength = length;
    }
    size_t scrolledStart() const { return mScrolledStart; }
    size_t scrolledLength() const { return mScrolledLength; }
    // Told textDidEndEditing: when the view leaves first responder. Not retained; the field
    // editor tells the field instead.
    void setDelegate(NSObject* delegate) { mDelegate = delegate; }
    NSObject* delegate() const { return mDelegate; }
    ~NSTextView() override;
    // The selection in characters.
    size_t selectionStart() const { return mSelStart; }
    size_t selectionLength() const { return mSelLength; }
    // Kept inside the text.
    void setSelectedRange(size_t start, size_t length);
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
    NSObject* mDelegate = nullptr;
    NSFont* mFont = nullptr;       // retained
    bool mEditable = true, mHorizontallyResizable = true, mVerticallyResizable = true;
    size_t mScrolledStart = 0, mScrolledLength = 0;
};
