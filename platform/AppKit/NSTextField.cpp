#include "NSTextField.h"

#include <CoreFoundation/CFUtf8.h>
#include <CoreText/CTFieldText.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "NSEvent.h"
#include "NSWindow.h"

NS_STANDIN_CLASS_IMPL(NSFont, NSObject)
NS_STANDIN_CLASS_IMPL(NSColor, NSObject)
NS_STANDIN_CLASS_IMPL(NSCell, NSObject)
NS_STANDIN_CLASS_IMPL(NSTextFieldCell, NSCell)
NS_STANDIN_CLASS_IMPL(NSClipView, NSView)
NS_STANDIN_CLASS_IMPL(NSScrollView, NSView)
NS_STANDIN_CLASS_IMPL(NSBox, NSView)
NS_STANDIN_CLASS_IMPL(NSTextField, NSControl)
NS_STANDIN_CLASS_IMPL(NSSecureTextField, NSTextField)
NS_STANDIN_CLASS_IMPL(NSText, NSView)
NS_STANDIN_CLASS_IMPL(NSTextView, NSText)

namespace
{

std::string Encode(const std::vector<unichar32>& chars, size_t from, size_t to)
{
    return cf_standin::EncodeUtf8(chars, from, to);
}

template <class T> void Assign(T*& slot, T* value)
{
    if (value) value->retain();
    if (slot) slot->release();
    slot = value;
}

} // namespace

NSFont::~NSFont() = default;

NSFont* NSFont::fontWithName(NSString* name, double size)
{
    auto* f = new NSFont;
    f->mName = name ? name->UTF8String() : "";
    f->mSize = size > 0 ? size : 12;
    f->autorelease();
    return f;
}

NSFont* NSFont::systemFontOfSize(double size)
{
    return fontWithName(NSString::stringWithUTF8String("LucidaGrande"), size);
}

NSColor* NSColor::colorWithAlphaComponent(double alpha) const
{
    return colorWithCalibratedRed(mRGBA[0], mRGBA[1], mRGBA[2], alpha);
}

NSColor* NSColor::colorWithCalibratedRed(double r, double g, double b, double a)
{
    auto* c = new NSColor;
    const double in[4] = {r, g, b, a};
    for (int i = 0; i < 4; ++i) c->mRGBA[i] = std::clamp(in[i], 0.0, 1.0);
    c->autorelease();
    return c;
}

NSTextFieldCell::~NSTextFieldCell()
{
    Assign(mTextColor, static_cast<NSColor*>(nullptr));
}

void NSTextFieldCell::setTextColor(NSColor* color)
{
    Assign(mTextColor, color);
}

NSView* NSScrollView::initWithFrame(NSRect frame)
{
    NSView::initWithFrame(frame);
    if (!mClip) {
        mClip = static_cast<NSClipView*>(NSClipView::class_()->alloc());
        mClip->initWithFrame(bounds());
        addSubview(mClip);
        mClip->release();
    }
    return this;
}

void NSScrollView::setDocumentView(NSView* view)
{
    if (!mClip) initWithFrame(frame());
    if (view) view->retain();
    if (NSView* old = mClip->documentView()) old->removeFromSuperview();
    if (view) {
        mClip->addSubview(view);
        view->release();
    }
}

void NSScrollView::setHasHorizontalScroller(bool on)
{
    mHorizontal = on;
    setFrameSize(frame().size);
}

void NSScrollView::setHasVerticalScroller(bool on)
{
    mVertical = on;
    setFrameSize(frame().size);
}

NSSize NSScrollView::contentSize() const
{
    const NSSize s = frame().size;
    return NSMakeSize(std::max(0.0, s.width - (mVertical ? 15 : 0)), std::max(0.0, s.height - (mHorizontal ? 15 : 0)));
}

void NSScrollView::setFrameSize(NSSize size)
{
    NSView::setFrameSize(size);
    if (mClip) mClip->setFrame(NSMakeRect(0, 0, contentSize().width, contentSize().height));
}

NSBox::~NSBox()
{
    Assign(mTitleCell, static_cast<NSTextFieldCell*>(nullptr));
}

NSString* NSBox::title() const
{
    return NSString::stringWithUTF8String(mTitle.c_str());
}

void NSBox::setTitle(NSString* title)
{
    mTitle = title ? title->UTF8String() : "";
    setNeedsDisplay(true);
}

NSTextFieldCell* NSBox::titleCell()
{
    if (!mTitleCell) mTitleCell = static_cast<NSTextFieldCell*>(NSTextFieldCell::class_()->alloc());
    return mTitleCell;
}

NSColor* NSColor::controlTextColor()
{
    return colorWithCalibratedRed(0, 0, 0, 1);
}

NSTextField::~NSTextField()
{
    if (mEditor) mEditor->mField = nullptr;
    Assign(mFont, static_cast<NSFont*>(nullptr));
    Assign(mFormatter, static_cast<NSFormatter*>(nullptr));
    Assign(mTextColor, static_cast<NSColor*>(nullptr));
    Assign(mBackground, static_cast<NSColor*>(nullptr));
    Assign(mCell, static_cast<NSCell*>(nullptr));
}

NSView* NSTextField::initWithFrame(NSRect frame)
{
    NSView::initWithFrame(frame);
    if (!mCell) mCell = new NSCell;
    return this;
}

NSString* NSTextField::stringValue() const
{
    return NSString::stringWithUTF8String(mEditor ? mEditor->mText.c_str() : mText.c_str());
}

void NSTextField::setStringValue(NSString* text)
{
    mText = text ? text->UTF8String() : "";
    if (mEditor) {
        mEditor->mText = mText;
        mEditor->selectAll();
    }
    setNeedsDisplay(true);
}

void NSTextField::setFont(NSFont* font)
{
    Assign(mFont, font);
}
void NSTextField::setFormatter(NSFormatter* formatter)
{
    Assign(mFormatter, formatter);
}
void NSTextField::setTextColor(NSColor* color)
{
    Assign(mTextColor, color);
}
void NSTextField::setBackgroundColor(NSColor* color)
{
    Assign(mBackground, color);
}

bool NSTextField::becomeFirstResponder()
{
    startEditing();
    return true;
}

void NSTextField::startEditing()
{
    NSWindow* w = window();
    if (mEditor || !w) return;
    NSTextView* editor = w->fieldEditor(true, this);
    if (!editor || editor->mField) return;
    auto* clip = static_cast<NSClipView*>(NSClipView::class_()->alloc());
    clip->initWithFrame(bounds());
    editor->initWithFrame(bounds());
    clip->addSubview(editor);
    addSubview(clip);
    clip->release();
    editor->mField = this;
    mEditor = editor;
    editor->mText = mText;
    editor->selectAll();
    w->makeFirstResponder(editor);
    setNeedsDisplay(true);
}

bool NSTextField::mayBecome(std::string* text) const
{
    if (!mFormatter) return true;
    NSString* replacement = nullptr;
    NSString* error = nullptr;
    if (!mFormatter->isPartialStringValid(NSString::stringWithUTF8String(text->c_str()), &replacement, &error))
        return false;
    if (replacement) *text = replacement->UTF8String();
    return true;
}

NSTextView* NSTextField::detachEditor()
{
    NSTextView* editor = mEditor;
    if (!editor) return nullptr;
    mEditor = nullptr;
    editor->mField = nullptr;
    if (NSView* clip = editor->superview()) clip->removeFromSuperview();
    setNeedsDisplay(true);
    return editor;
}

void NSTextField::endEditing()
{
    if (!mEditor) return;
    retain(); // the delegate may take the field away
    mText = mEditor->mText;
    detachEditor();
    tellDelegate("controlTextDidEndEditing:", "NSControlTextDidEndEditingNotification");
    release();
}

bool NSTextField::abortEditing()
{
    return detachEditor() != nullptr;
}

void NSTextField::tellDelegate(const char* selector, const char* notification)
{
    SEL sel = sel_registerName(selector);
    if (mDelegate && mDelegate->respondsToSelector(sel))
        mDelegate->performSelector(sel, NSNotification::notificationWithName(NSString::stringWithUTF8String(notification), this));
}

void NSTextField::drawRect(NSRect)
{
    CGContextRef c = beginDrawingInBounds();
    if (!c) return;
    const NSRect b = bounds();
    if (mBezeled) {
        CGContextSetRGBFillColor(c, 0.55, 0.55, 0.55, 1);
        CGContextFillRect(c, b);
        CGContextSetRGBFillColor(c, 1, 1, 1, 1);
        CGContextFillRect(c, NSInsetRect(b, 1, 1));
    }
    if (mBackground) {
        CGContextSetRGBFillColor(c, mBackground->redComponent(), mBackground->greenComponent(),
                                 mBackground->blueComponent(), mBackground->alphaComponent());
        CGContextFillRect(c, b);
    }
    ct_standin::FieldText how;
    how.font = mFont ? mFont->fontName() : "";
    how.size = mFont ? mFont->pointSize() : 12;
    how.align = mAlignment == NSCenterTextAlignment ? 1 : mAlignment == NSRightTextAlignment ? 2 : 0;
    if (mTextColor) {
        how.rgb[0] = mTextColor->redComponent();
        how.rgb[1] = mTextColor->greenComponent();
        how.rgb[2] = mTextColor->blueComponent();
        how.alpha = mTextColor->alphaComponent();
    }
    if (mEditor) {
        how.editing = true;
        how.selStart = mEditor->mSelStart;
        how.selEnd = mEditor->mSelStart + mEditor->mSelLength;
    }
    ct_standin::DrawFieldText(c, b, NSStandinCharacters(mEditor ? mEditor->mText.c_str() : mText.c_str()), how);
    CGContextRestoreGState(c);
}

NSString* NSTextView::string() const
{
    return NSString::stringWithUTF8String(mText.c_str());
}

void NSTextView::setString(NSString* text)
{
    mText = text ? text->UTF8String() : "";
    mSelStart = NSStandinCharacters(mText.c_str()).size();
    mSelLength = 0;
    if (mField) mField->setNeedsDisplay(true);
}

void NSTextView::setSelectedRange(size_t start, size_t length)
{
    const size_t n = NSStandinCharacters(mText.c_str()).size();
    mSelStart = std::min(start, n);
    mSelLength = std::min(length, n - mSelStart);
    if (mField) mField->setNeedsDisplay(true);
}

void NSTextView::selectAll()
{
    mSelStart = 0;
    mSelLength = NSStandinCharacters(mText.c_str()).size();
    if (mField) mField->setNeedsDisplay(true);
}

void NSTextView::replaceSelection(const std::string& with)
{
    const std::vector<unichar32> chars = NSStandinCharacters(mText.c_str());
    const size_t s = std::min(mSelStart, chars.size()), e = std::min(s + mSelLength, chars.size());
    std::string proposed = Encode(chars, 0, s) + with + Encode(chars, e, chars.size());
    // Each change is the formatter's to allow; a refused one leaves text and selection.
    if (mField && !mField->mayBecome(&proposed)) return;
    const size_t inserted = NSStandinCharacters(with.c_str()).size();
    const bool changed = proposed != mText;
    mText = proposed;
    mSelStart = std::min(s + inserted, NSStandinCharacters(mText.c_str()).size());
    mSelLength = 0;
    if (mField) mField->setNeedsDisplay(true);
    if (changed && mField) mField->tellDelegate("controlTextDidChange:", "NSControlTextDidChangeNotification");
}

void NSTextView::insertText(NSString* text)
{
    if (text) replaceSelection(text->UTF8String());
}

void NSTextView::deleteBackward()
{
    if (mSelLength == 0) {
        if (mSelStart == 0) return;
        --mSelStart;
        mSelLength = 1;
    }
    replaceSelection("");
}

bool NSTextView::resignFirstResponder()
{
    // Leaving first responder ends the field's editing, or the view's own.
    if (NSTextField* field = mField) {
        field->endEditing();
    } else if (SEL sel = sel_registerName("textDidEndEditing:"); mDelegate && mDelegate->respondsToSelector(sel)) {
        NSString* name = NSString::stringWithUTF8String("NSTextDidEndEditingNotification");
        retain(); // the delegate may take the view away
        mDelegate->performSelector(sel, NSNotification::notificationWithName(name, this));
        release();
    }
    return true;
}

void NSTextView::keyDown(NSEvent* e)
{
    NSString* chars = e->characters();
    const std::string text = chars ? chars->UTF8String() : "";
    const unsigned short code = e->keyCode();
    if (code == 36 || code == 76 || text == "\r" || text == "\x03") { // Return, Enter
        NSWindow* w = window();
        if (w) w->retain();
        if (NSTextField* field = mField) field->endEditing();
        // Return also clicks the window's default button.
        if (w && w->defaultButtonCell()) w->defaultButtonCell()->performClick(w);
        if (w) w->release();
        return;
    }
    if (code == 53 || text == "\x1B") { // Escape
        cancelOperation(this);
        return;
    }
    if (code == 51 || text == "\x7F" || text == "\b") return deleteBackward();
    const size_t n = NSStandinCharacters(mText.c_str()).size();
    if (code == 123) { // left
        mSelStart = mSelLength ? mSelStart : (mSelStart ? mSelStart - 1 : 0);
        mSelLength = 0;
    } else if (code == 124) { // right
        mSelStart = mSelLength ? mSelStart + mSelLength : std::min(mSelStart + 1, n);
        mSelLength = 0;
    } else {
        // Only printable characters are typed; other keys do nothing in a single-line field.
        for (unichar32 c : NSStandinCharacters(text.c_str()))
            if (c < 0x20 || c == 0x7F || (c >= 0xF700 && c <= 0xF8FF)) return;
        if (!text.empty()) insertText(chars);
        return;
    }
    if (mField) mField->setNeedsDisplay(true);
}

void NSTextField::sizeToFit()
{
    const double width = ct_standin::TextWidth(mFont ? mFont->fontName() : "", mFont ? mFont->pointSize() : 12,
                                               NSStandinCharacters(mText.c_str()));
    setFrameSize(NSMakeSize(std::ceil(width) + 4, frame().size.height));
}

NSTextView::~NSTextView()
{
    Assign(mFont, static_cast<NSFont*>(nullptr));
}

void NSTextView::setFont(NSFont* font)
{
    Assign(mFont, font);
    setNeedsDisplay(true);
}
