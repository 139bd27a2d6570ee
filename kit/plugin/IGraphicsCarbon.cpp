#include "kit/plugin/IGraphicsCarbon.h"

#include <cstring>
#include <string>

#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsCocoa.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/plugin/IParam.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/IPopupMenu.h"

namespace
{

constexpr UInt32 kPaneFeaturesComposited = 0x12000026;
constexpr UInt32 kPaneFeaturesPlain = 0x26;
constexpr MenuAttributes kMenuAttributes = 32;

template <class T> T Param(EventRef e, EventParamName name, EventParamType type, T fallback = T())
{
    T v = fallback;
    if (GetEventParameter(e, name, type, nullptr, sizeof v, nullptr, &v) != noErr) return fallback;
    return v;
}

// The longest start of a UTF-8 text that fits in size - 1 bytes without cutting a character.
void CopyWhole(const char* text, char* out, size_t size)
{
    size_t n = std::strlen(text);
    if (n > size - 1) {
        n = size - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(out, text, n);
    out[n] = 0;
}

} // namespace

IGraphicsCarbon::IGraphicsCarbon(IGraphicsMac* graphics, WindowRef window, ControlRef parent, short x, short y)
    : mGraphicsMac(graphics), mWindow(window), mLeftOffset(x), mTopOffset(y)
{
    WindowAttributes attributes = 0;
    GetWindowAttributes(window, &attributes);
    mIsComposited = (attributes & kWindowCompositingAttribute) != 0;
    const int w = graphics->Width(), h = graphics->Height();
    Rect r{0, 0, short(h), short(w)};
    if (CreateUserPaneControl(window, &r, mIsComposited ? kPaneFeaturesComposited : kPaneFeaturesPlain, &mView) !=
        noErr) {
        mView = nullptr;
        return;
    }
    const EventTypeSpec draw[] = {{kEventClassControl, kEventControlDraw}};
    const EventTypeSpec windowEvents[] = {
        {kEventClassMouse, kEventMouseDown},          {kEventClassMouse, kEventMouseUp},
        {kEventClassMouse, kEventMouseMoved},         {kEventClassMouse, kEventMouseDragged},
        {kEventClassMouse, kEventMouseWheelMoved},    {kEventClassKeyboard, kEventRawKeyDown},
        {kEventClassWindow, kEventWindowDeactivated},
    };
    InstallEventHandler(GetControlEventTarget(mView), NewEventHandlerUPP(MainEventHandler), 1, draw, this,
                        &mControlHandler);
    InstallEventHandler(GetWindowEventTarget(window), NewEventHandlerUPP(MainEventHandler), 7, windowEvents, this,
                        &mWindowHandler);
    InstallEventLoopTimer(GetMainEventLoop(), 0, kEventDurationSecond / graphics->FPS(),
                          NewEventLoopTimerUPP(TimerHandler), this, &mTimer);
    OSStatus placed;
    if (mIsComposited) {
        if (!parent) HIViewFindByID(HIViewGetRoot(window), kHIViewWindowContentID, &parent);
        placed = HIViewAddSubview(parent, mView);
    } else {
        if (!parent && GetRootControl(window, &parent) != noErr) CreateRootControl(window, &parent);
        placed = EmbedControl(mView, parent);
    }
    if (placed == noErr) SizeControl(mView, short(w), short(h));
}

IGraphicsCarbon::~IGraphicsCarbon()
{
    if (mTextEntryView) {
        RemoveEventHandler(mTextEntryHandler);
        DisposeControl(mTextEntryView);
        mTextEntryView = nullptr;
    }
    if (mTimer) RemoveEventLoopTimer(mTimer);
    if (mControlHandler) RemoveEventHandler(mControlHandler);
    if (mWindowHandler) RemoveEventHandler(mWindowHandler);
}

OSStatus IGraphicsCarbon::MainEventHandler(EventHandlerCallRef next, EventRef event, void* self)
{
    auto* carbon = static_cast<IGraphicsCarbon*>(self);
    switch (GetEventClass(event)) {
    case kEventClassControl: return carbon->OnDraw(event);
    case kEventClassMouse: return carbon->OnMouse(next, event);
    case kEventClassKeyboard: return carbon->OnRawKey(event);
    case kEventClassWindow:
        if (GetEventKind(event) == kEventWindowDeactivated && carbon->mTextEntryView) carbon->EndUserInput(false);
        return eventNotHandledErr;
    default: return eventNotHandledErr;
    }
}

OSStatus IGraphicsCarbon::OnDraw(EventRef event)
{
    IGraphicsMac* g = mGraphicsMac;
    IRECT r = GetRegionRect(event, g->Width(), g->Height());
    if (mIsComposited) {
        mCGC = Param<CGContextRef>(event, kEventParamCGContextRef, typeCGContextRef);
        if (!mCGC) return noErr;
        // The event's context runs downward; the screen copy draws upward.
        CGContextTranslateCTM(mCGC, 0, g->Height());
        CGContextScaleCTM(mCGC, 1, -1);
        g->Draw(&r);
        mCGC = nullptr;
    } else {
        CGrafPtr port = Param<CGrafPtr>(event, kEventParamGrafPort, typeGrafPtr);
        if (QDBeginCGContext(port, &mCGC) != noErr) {
            mCGC = nullptr;
            return noErr;
        }
        IRECT all(0, 0, g->Width(), g->Height());
        g->Draw(&all);
        QDEndCGContext(port, &mCGC);
        mCGC = nullptr;
    }
    return noErr;
}

bool IGraphicsCarbon::InTextEntry(int x, int y) const
{
    HIRect f{};
    if (!mTextEntryView || HIViewGetFrame(mTextEntryView, &f) != noErr) return false;
    return x >= f.origin.x && x < f.origin.x + f.size.width && y >= f.origin.y && y < f.origin.y + f.size.height;
}

OSStatus IGraphicsCarbon::OnMouse(EventHandlerCallRef next, EventRef event)
{
    IGraphicsMac* g = mGraphicsMac;
    HIPoint p = Param<HIPoint>(event, kEventParamWindowMouseLocation, typeHIPoint);
    HIViewConvertPoint(&p, nullptr, mView);
    const int px = plugdraw::HostCoord(p.x), py = plugdraw::HostCoord(p.y);
    const int x = px - 2, y = py - 3;
    const UInt32 mods = Param<UInt32>(event, kEventParamKeyModifiers, typeUInt32);
    const EventMouseButton button = Param<EventMouseButton>(event, kEventParamMouseButton, typeMouseButton);
    // Command with the first button stands for the second.
    IMouseMod mod(true, button == kEventMouseButtonSecondary || (button == kEventMouseButtonPrimary && (mods & cmdKey)),
                  mods & shiftKey, mods & controlKey, mods & optionKey);
    switch (GetEventKind(event)) {
    case kEventMouseDown:
        if (mTextEntryView) {
            if (InTextEntry(px, py)) return eventNotHandledErr; // the field's own click
            EndUserInput(true);
        }
        CallNextEventHandler(next, event);
        if (Param<UInt32>(event, kEventParamClickCount, typeUInt32, 1) >= 2)
            g->OnMouseDblClick(x, y, &mod);
        else
            g->OnMouseDown(x, y, &mod);
        return noErr;
    case kEventMouseUp: g->OnMouseUp(x, y, &mod); return noErr;
    case kEventMouseMoved:
        mPrevX = x;
        mPrevY = y;
        g->OnMouseOver(x, y, &mod);
        return noErr;
    case kEventMouseDragged:
        if (!mTextEntryView) g->OnMouseDrag(x, y, &mod);
        return noErr;
    case kEventMouseWheelMoved:
        if (Param<EventMouseWheelAxis>(event, kEventParamMouseWheelAxis, typeMouseWheelAxis) != kEventMouseWheelAxisY)
            return eventNotHandledErr;
        if (mTextEntryView) EndUserInput(false);
        g->OnMouseWheel(x, y, &mod, Param<SInt32>(event, kEventParamMouseWheelDelta, typeSInt32));
        return noErr;
    default: return eventNotHandledErr;
    }
}

OSStatus IGraphicsCarbon::OnRawKey(EventRef event)
{
    if (mTextEntryView || GetEventKind(event) != kEventRawKeyDown) return eventNotHandledErr;
    const UInt32 code = Param<UInt32>(event, kEventParamKeyCode, typeUInt32);
    const char chars[2] = {Param<char>(event, kEventParamKeyMacCharCodes, typeChar), 0};
    const int key = IGraphicsCocoa_vQOR_au::KeyNumber((unsigned short)code, chars);
    if (key < 0) return eventNotHandledErr;
    return mGraphicsMac->OnKeyDown(mPrevX, mPrevY, key) ? noErr : eventNotHandledErr;
}

void IGraphicsCarbon::TimerHandler(EventLoopTimerRef, void* self)
{
    auto* carbon = static_cast<IGraphicsCarbon*>(self);
    // The audio thread may not log or show a status: what it could not say is said here.
    if (IPluginBase* plug = carbon->mGraphicsMac->GetPlug()) plug->OnEditorTimer();
    IRECT r;
    if (!carbon->mGraphicsMac->IsDirty(&r)) return;
    if (carbon->mIsComposited) {
        HIRect dirty = CGRectMake(r.L, r.T, r.W(), r.H());
        HIViewSetNeedsDisplayInRect(carbon->mView, &dirty, true);
    } else {
        UpdateControls(carbon->mWindow, nullptr);
    }
}

void IGraphicsCarbon::Resize(int w, int h)
{
    ResizeWindow(mWindow, w, h);
    HIRect frame = CGRectMake(0, 0, w, h);
    HIViewSetFrame(mView, &frame);
}

MenuRef IGraphicsCarbon::CreateMenu(IPopupMenu* menu)
{
    if (!menu || menu->GetNItems() == 0) return nullptr;
    MenuRef native = nullptr;
    if (CreateNewMenu(UniqueID(kMenuResType), kMenuAttributes, &native) != noErr) return nullptr;
    for (int i = 0; i < menu->GetNItems(); ++i) {
        IPopupMenuItem* item = menu->GetItem(i);
        if (item->GetIsSeparator()) {
            AppendMenuItemTextWithCFString(native, CFSTR(""), kMenuItemAttrSeparator, 0, nullptr);
            continue;
        }
        CFStringRef title =
            CFStringCreateWithCString(kCFAllocatorDefault, menu->GetItemTitle(i).c_str(), kCFStringEncodingUTF8);
        MenuItemAttributes attributes = kMenuItemAttrIgnoreMeta;
        if (!item->GetEnabled()) attributes |= kMenuItemAttrDisabled;
        if (item->GetIsTitle()) attributes |= kMenuItemAttrSectionHeader;
        InsertMenuItemTextWithCFString(native, title ? title : CFSTR(""), MenuItemIndex(i), attributes, 0);
        if (title) CFRelease(title);
        if (item->GetChecked()) CheckMenuItem(native, MenuItemIndex(i + 1), true);
        if (MenuRef sub = CreateMenu(item->GetSubmenu())) {
            SetMenuItemHierarchicalMenu(native, MenuItemIndex(i + 1), sub);
            CFRelease(sub);
        }
    }
    // The pointer-wide reference constant: a 32-bit one would cut the pointer.
    SetMenuItemRefConPtr(native, 0, menu);
    InsertMenu(native, kInsertHierarchicalMenu);
    return native;
}

namespace
{
// Takes a menu and its submenus out of the menu list.
void DeleteMenus(MenuRef menu, int depth = 0)
{
    if (!menu || depth > 64) return;
    for (UInt16 i = 1; i <= CountMenuItems(menu); ++i) {
        MenuRef sub = nullptr;
        if (GetMenuItemHierarchicalMenu(menu, i, &sub) == noErr) DeleteMenus(sub, depth + 1);
    }
    DeleteMenu(GetMenuID(menu));
}
} // namespace

IPopupMenu* IGraphicsCarbon::CreateIPopupMenu(IPopupMenu* menu, IRECT* r)
{
    if (!r) return nullptr;
    MenuRef native = CreateMenu(menu);
    if (!native) return nullptr;
    HIRect frame{};
    HIViewGetFrame(mView, &frame);
    Rect bounds{};
    GetWindowBounds(mWindow, kWindowContentRgn, &bounds);
    const short top = short(bounds.top + frame.origin.y + r->B + 5);
    const short left = short(bounds.left + frame.origin.x + r->L);
    const SInt32 result = PopUpMenuSelect(native, top, left, 1);
    IPopupMenu* chosen = nullptr;
    const MenuID id = MenuID(result >> 16);
    if (id) {
        void* model = nullptr;
        if (GetMenuItemRefConPtr(GetMenuHandle(id), 0, &model) == noErr && model) {
            chosen = static_cast<IPopupMenu*>(model);
            chosen->SetChosenItemIdx(int(result & 0xFFFF) - 1);
        }
    }
    // Every menu this call entered leaves the list again, the submenus too.
    DeleteMenus(native);
    CFRelease(native);
    return chosen;
}

void IGraphicsCarbon::CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param)
{
    if (!control || !r || !text || mTextEntryView || !mIsComposited) return;
    Rect bounds{short(r->T), short(r->L), short(r->B), short(r->R)};
    ControlRef entry = nullptr;
    if (CreateEditUnicodeTextControl(mWindow, &bounds, CFSTR(""), false, nullptr, &entry) != noErr) return;
    HIViewAddSubview(mView, entry);
    const EventTypeSpec keys[] = {{kEventClassKeyboard, kEventRawKeyDown}, {kEventClassKeyboard, kEventRawKeyRepeat}};
    InstallEventHandler(GetControlEventTarget(entry), NewEventHandlerUPP(TextEntryHandler), 2, keys, this,
                        &mTextEntryHandler);
    CFStringRef initial = CFStringCreateWithCString(kCFAllocatorDefault, str ? str : "", kCFStringEncodingUTF8);
    if (!initial) initial = CFStringCreateWithCString(kCFAllocatorDefault, "", kCFStringEncodingUTF8);
    SetControlData(entry, kControlEditTextPart, kControlEditTextCFStringTag, sizeof initial, &initial);
    CFRelease(initial);
    const ControlEditTextSelectionRec all{0, 32767};
    SetControlData(entry, kControlEditTextPart, kControlEditTextSelectionTag, sizeof all, &all);
    unsigned char family[256] = {};
    const size_t len = std::strlen(text->mFont);
    family[0] = static_cast<unsigned char>(len);
    std::memcpy(family + 1, text->mFont, len);
    ControlFontStyleRec style{};
    style.flags = kControlUseFontMask | kControlUseSizeMask | kControlUseJustMask;
    style.font = FMGetFontFamilyFromName(family);
    style.size = SInt16(text->mSize);
    style.just = text->mAlign == IText::kAlignCenter ? SInt16(teCenter)
                 : text->mAlign == IText::kAlignFar  ? SInt16(teFlushRight)
                                                     : SInt16(teFlushDefault);
    SetControlFontStyle(entry, &style);
    const Boolean singleLine = true;
    SetControlData(entry, kControlEditTextPart, kControlEditTextSingleLineTag, sizeof singleLine, &singleLine);
    ShowControl(entry);
    SetKeyboardFocus(mWindow, entry, kControlEditTextPart);
    SetUserFocusWindow(mWindow);
    mTextEntryView = entry;
    mEdControl = control;
    mEdParam = param;
}

OSStatus IGraphicsCarbon::TextEntryHandler(EventHandlerCallRef, EventRef event, void* self)
{
    auto* carbon = static_cast<IGraphicsCarbon*>(self);
    const auto c = static_cast<unsigned char>(Param<char>(event, kEventParamKeyMacCharCodes, typeChar));
    const UInt32 code = Param<UInt32>(event, kEventParamKeyCode, typeUInt32);
    if (c == 13 || c == 3) { // Return, Enter
        carbon->EndUserInput(true);
        return noErr;
    }
    if (c == 27 || code == 53) { // Escape: nothing is taken, and the control may close what it opened
        IControl* control = carbon->mEdControl;
        carbon->EndUserInput(false);
        if (control) control->TextEntryCancelled();
        return noErr;
    }
    // Arrows, backspace and delete are the field's.
    if ((code >= 123 && code <= 126) || (c >= 28 && c <= 31) || c == 8 || c == 127) return eventNotHandledErr;
    bool accepted = true;
    if (IParam* param = carbon->mEdParam) {
        const bool digit = (c >= '0' && c <= '9') || c == '+' || c == '-';
        switch (param->Type()) {
        case IParam::kTypeBool:
        case IParam::kTypeInt:
        case IParam::kTypeEnum: accepted = digit; break;
        case IParam::kTypeDouble: accepted = digit || c == '.'; break;
        default: break;
        }
    }
    if (!accepted) return noErr; // swallowed
    CFStringRef current = nullptr;
    GetControlData(carbon->mTextEntryView, kControlEditTextPart, kControlEditTextCFStringTag, sizeof current, &current,
                   nullptr);
    const CFIndex length = current ? CFStringGetLength(current) : 0;
    if (current) CFRelease(current);
    return length < carbon->mEdControl->GetTextEntryLength() ? eventNotHandledErr : noErr;
}

void IGraphicsCarbon::EndUserInput(bool commit)
{
    ControlRef entry = mTextEntryView;
    if (!entry) return;
    RemoveEventHandler(mTextEntryHandler);
    mTextEntryHandler = nullptr;
    IControl* control = mEdControl;
    IParam* param = mEdParam;
    mTextEntryView = nullptr;
    mEdControl = nullptr;
    mEdParam = nullptr;
    if (commit) {
        CFStringRef typed = nullptr;
        GetControlData(entry, kControlEditTextPart, kControlEditTextCFStringTag, sizeof typed, &typed, nullptr);
        char text[64] = "";
        if (typed) {
            const CFIndex max = CFStringGetMaximumSizeForEncoding(CFStringGetLength(typed), kCFStringEncodingUTF8) + 1;
            std::string whole(size_t(max), '\0');
            if (CFStringGetCString(typed, &whole[0], max, kCFStringEncodingUTF8))
                CopyWhole(whole.c_str(), text, sizeof text);
            CFRelease(typed);
        }
        if (param)
            mGraphicsMac->SetFromStringAfterPrompt(control, param, text);
        else
            control->TextFromTextEntry(text);
    }
    HideControl(entry);
    DisposeControl(entry);
    if (mIsComposited) {
        HIViewSetNeedsDisplay(mView, true);
    } else if (control) {
        control->SetDirty(false);
        control->SetRedrawAgain();
    }
    SetThemeCursor(kThemeArrowCursor);
    SetUserFocusWindow(kUserFocusAuto);
}

IRECT GetRegionRect(EventRef event, int w, int h)
{
    HIShapeRef shape = nullptr;
    if (GetEventParameter(event, kEventParamShape, typeHIShapeRef, nullptr, sizeof shape, nullptr, &shape) != noErr ||
        !shape)
        return IRECT(0, 0, w, h);
    HIRect b{};
    HIShapeGetBounds(shape, &b);
    return IRECT(int(b.origin.x), int(b.origin.y), int(b.origin.x + b.size.width), int(b.origin.y + b.size.height));
}

void ResizeWindow(WindowRef window, int w, int h)
{
    Rect r{};
    GetWindowBounds(window, kWindowContentRgn, &r);
    r.right = short(r.left + w);
    r.bottom = short(r.top + h);
    SetWindowBounds(window, kWindowContentRgn, &r);
}
