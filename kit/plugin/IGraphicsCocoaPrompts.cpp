// The Cocoa view's prompts: native popup menus from the menu model, and text fields whose
// typed text becomes the parameter.
#include <cstdlib>

#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsCocoa.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPopupMenu.h"

NS_STANDIN_CLASS_IMPL(CocoaFormatter_vQOR_au, NSFormatter)
NS_STANDIN_CLASS_IMPL(IGraphicsNSMenu_vQOR_au, NSMenu)
NS_STANDIN_CLASS_IMPL(IGraphicsMenuRcvr_vQOR_au, NSView)
NS_STANDIN_CLASS_IMPL(CustomCocoaWindow_vQOR_au, NSWindow)

namespace
{

NSObject* OnMenuSelectionMethod(NSObject* self, SEL, NSObject* item)
{
    static_cast<IGraphicsMenuRcvr_vQOR_au*>(self)->OnMenuSelection(static_cast<NSMenuItem*>(item));
    return nullptr;
}

NSObject* ControlTextDidEndEditingMethod(NSObject* self, SEL, NSObject* note)
{
    static_cast<IGraphicsCocoa_vQOR_au*>(self)->controlTextDidEndEditing(static_cast<NSNotification*>(note));
    return nullptr;
}

[[maybe_unused]] const bool kMethodsAdded = [] {
    IGraphicsMenuRcvr_vQOR_au::class_()->addMethod(sel_registerName("OnMenuSelection:"), &OnMenuSelectionMethod);
    IGraphicsCocoa_vQOR_au::class_()->addMethod(sel_registerName("controlTextDidEndEditing:"),
                                                &ControlTextDidEndEditingMethod);
    return true;
}();

// The characters a field accepts, by parameter kind.
const char* AcceptedCharacters(int type)
{
    switch (type) {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum: return "0123456789-+";
    case IParam::kTypeDouble: return "0123456789.-+";
    case IParam::kTypeText:
        return "abcdefbgihjklmonpqrstuvwxyzABCDEFGHIJKOLMNOPQRSTUVWXYZ !\"#$%&/'+-*()[],.0123456789-+";
    default: return "";
    }
}

NSColor* ToNSColor(const IColor& c)
{
    return NSColor::colorWithCalibratedRed(c.R / 255.0, c.G / 255.0, c.B / 255.0, c.A / 255.0);
}

} // namespace

CocoaFormatter_vQOR_au::~CocoaFormatter_vQOR_au()
{
    if (mFilterCharacterSet) mFilterCharacterSet->release();
}

void CocoaFormatter_vQOR_au::setAcceptableCharacterSet(NSCharacterSet* set)
{
    if (set) set->retain();
    if (mFilterCharacterSet) mFilterCharacterSet->release();
    mFilterCharacterSet = set;
}

bool CocoaFormatter_vQOR_au::isPartialStringValid(NSString* partial, NSString** newString, NSString**)
{
    if (newString) *newString = nullptr;
    const char* text = partial ? partial->UTF8String() : "";
    const std::vector<unichar32> chars = NSStandinCharacters(text);
    if (mFilterCharacterSet)
        for (unichar32 c : chars)
            if (!mFilterCharacterSet->characterIsMember(c)) return false;
    if (mMaxLength > 0 && chars.size() > size_t(mMaxLength)) return false;
    if (mMaxValue > 0 && std::atoi(text) > mMaxValue) return false;
    return true;
}

NSString* CocoaFormatter_vQOR_au::stringForObjectValue(NSObject* object)
{
    return object && object->isKindOfClass(NSString::class_()) ? static_cast<NSString*>(object) : nullptr;
}

bool CocoaFormatter_vQOR_au::getObjectValue(NSObject** object, NSString* string, NSString**)
{
    if (!object || !string) return false;
    *object = NSString::stringWithUTF8String(string->UTF8String());
    return true;
}

IGraphicsNSMenu_vQOR_au* IGraphicsNSMenu_vQOR_au::initWithIPopupMenuAndReciever(IPopupMenu* menu, NSView* receiver)
{
    initWithTitle(NSString::stringWithUTF8String(""));
    setAutoenablesItems(false);
    SEL chosen = sel_registerName("OnMenuSelection:");
    NSString* noKey = NSString::stringWithUTF8String("");
    for (int i = 0; i < menu->GetNItems(); ++i) {
        IPopupMenuItem* item = menu->GetItem(i);
        NSString* title = NSString::stringWithUTF8String(menu->GetItemTitle(i).c_str());
        if (IPopupMenu* sub = item->GetSubmenu()) {
            NSMenuItem* parent = addItemWithTitle(title, nullptr, noKey);
            auto* child = static_cast<IGraphicsNSMenu_vQOR_au*>(IGraphicsNSMenu_vQOR_au::class_()->alloc());
            child->initWithIPopupMenuAndReciever(sub, receiver);
            setSubmenu(child, parent);
            child->release();
        } else if (item->GetIsSeparator()) {
            addItem(NSMenuItem::separatorItem());
        } else {
            NSMenuItem* native = addItemWithTitle(title, chosen, noKey);
            if (item->GetIsTitle()) native->setIndentationLevel(1);
            native->setState(item->GetChecked() ? NSOnState : NSOffState);
            native->setEnabled(item->GetEnabled());
        }
    }
    mIPopupMenu = menu;
    return this;
}

IGraphicsMenuRcvr_vQOR_au::~IGraphicsMenuRcvr_vQOR_au()
{
    if (mNSMenuItem) mNSMenuItem->release();
}

void IGraphicsMenuRcvr_vQOR_au::OnMenuSelection(NSMenuItem* item)
{
    if (item) item->retain();
    if (mNSMenuItem) mNSMenuItem->release();
    mNSMenuItem = item;
}

IPopupMenu* IGraphicsCocoa_vQOR_au::createIPopupMenu(IPopupMenu* menu, NSRect rect)
{
    if (!menu) return nullptr;
    NSAutoreleasePool pool;
    auto* receiver = static_cast<IGraphicsMenuRcvr_vQOR_au*>(IGraphicsMenuRcvr_vQOR_au::class_()->alloc());
    receiver->initWithFrame(rect);
    receiver->autorelease();
    auto* native = static_cast<IGraphicsNSMenu_vQOR_au*>(IGraphicsNSMenu_vQOR_au::class_()->alloc());
    native->initWithIPopupMenuAndReciever(menu, receiver);
    native->autorelease();

    // Below the control's lower-left corner, in the window's device pixels.
    NSPoint anchor = convertPointToBase(NSMakePoint(rect.origin.x, rect.origin.y - 4));
    NSWindow* w = window();
    const double scale = w && w->screen() ? w->screen()->backingScaleFactor() : 1.0;
    anchor.x /= scale;
    anchor.y /= scale;
    NSEvent* event = NSEvent::otherEventWithType(NSApplicationDefined, anchor, 15, 0, w ? w->windowNumber() : 0,
                                                 NSGraphicsContext::currentContext(), 0, 0, 0);
    NSMenu::popUpContextMenu(native, event, receiver);

    NSMenuItem* item = receiver->MenuItem();
    auto* holder = item ? dynamic_cast<IGraphicsNSMenu_vQOR_au*>(item->menu()) : nullptr;
    IPopupMenu* chosen = holder ? holder->AssociatedIPopupMenu() : nullptr;
    const NSInteger index = holder ? holder->indexOfItem(item) : -1;
    if (!chosen || index < 0) return nullptr;
    chosen->SetChosenItemIdx(int(index));
    return chosen;
}

void IGraphicsCocoa_vQOR_au::createTextEntry(IControl* control, IParam* param, IText* text, const char* initial,
                                             NSRect rect)
{
    if (!control || mTextFieldView || !text) return;
    auto* field = static_cast<NSTextField*>(NSTextField::class_()->alloc());
    field->initWithFrame(rect);
    field->setFont(NSFont::fontWithName(NSString::stringWithUTF8String("Monaco"), int(text->mSize * 0.9)));
    field->setAlignment(text->mAlign == IText::kAlignCenter ? NSCenterTextAlignment
                        : text->mAlign == IText::kAlignFar  ? NSRightTextAlignment
                                                            : NSLeftTextAlignment);
    if (param) {
        auto* formatter = static_cast<CocoaFormatter_vQOR_au*>(CocoaFormatter_vQOR_au::class_()->alloc());
        formatter->autorelease();
        formatter->setAcceptableCharacterSet(NSCharacterSet::characterSetWithCharactersInString(
            NSString::stringWithUTF8String(AcceptedCharacters(param->Type()))));
        formatter->setMaximumLength(control->GetTextEntryLength());
        field->setFormatter(formatter);
    }
    field->cell()->setLineBreakMode(NSLineBreakByTruncatingTail);
    field->setAllowsEditingTextAttributes(false);
    field->setFocusRingType(NSFocusRingTypeNone);
    field->setTextColor(ToNSColor(text->mTextEntryFGColor));
    field->setBackgroundColor(ToNSColor(text->mTextEntryBGColor));
    field->setBordered(false);
    // The field opens showing the current text, selected whole, so typing replaces it.
    field->setStringValue(NSString::stringWithUTF8String(initial ? initial : ""));
    field->setDelegate(this);
    mTextFieldView = field; // keeps the reference alloc gave
    mEdControl = control;
    mEdParam = param;
    addSubview(field);
    if (NSWindow* w = window()) {
        w->makeKeyWindow();
        w->makeFirstResponder(field);
    }
}

void IGraphicsCocoa_vQOR_au::controlTextDidEndEditing(NSNotification* note)
{
    NSTextField* field = mTextFieldView;
    if (!field || (note && note->object() != field)) return;
    retain();
    NSString* typed = field->stringValue();
    typed->retain();
    if (mGraphics && mEdParam)
        mGraphics->SetFromStringAfterPrompt(mEdControl, mEdParam, typed->UTF8String());
    else if (mEdControl)
        mEdControl->TextFromTextEntry(typed->UTF8String());
    typed->release();
    endUserInput();
    setNeedsDisplay(true);
    release();
}

void IGraphicsCocoa_vQOR_au::cancelOperation(NSObject*)
{
    NSTextField* field = mTextFieldView;
    if (!field) return;
    // Escape keeps what was there: no value reaches the plug-in, which hears a text parameter's
    // every commit (a program name's sends the part to the synthesizer). The control hears that
    // its entry ended, so that what it opened for the entry can close.
    IControl* control = mEdControl;
    retain();
    field->abortEditing();
    endUserInput();
    if (control) control->TextEntryCancelled();
    setNeedsDisplay(true);
    release();
}

void IGraphicsCocoa_vQOR_au::endUserInput()
{
    NSTextField* field = mTextFieldView;
    if (!field) return;
    mTextFieldView = nullptr;
    mEdControl = nullptr;
    mEdParam = nullptr;
    field->setDelegate(nullptr);
    field->removeFromSuperview();
    field->release();
    if (NSWindow* w = window()) w->makeFirstResponder(this);
    NSCursor::arrowCursor()->set();
}
