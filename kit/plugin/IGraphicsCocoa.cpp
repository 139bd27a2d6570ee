#include "kit/plugin/IGraphicsCocoa.h"

#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphicsMac.h"
#include "kit/plugin/IPluginBase.h"

#include <string>
#include <vector>

NS_STANDIN_CLASS_IMPL(IGraphicsCocoa_vQOR_au, NSView)

namespace {

NSObject* OnTimerMethod(NSObject* self, SEL, NSObject* timer)
{
    static_cast<IGraphicsCocoa_vQOR_au*>(self)->onTimer(static_cast<NSTimer*>(timer));
    return nullptr;
}

// Target-action: the timer reaches the view by its selector.
[[maybe_unused]] const bool kMethodsAdded = [] {
    IGraphicsCocoa_vQOR_au::class_()->addMethod(sel_registerName("onTimer:"), &OnTimerMethod);
    return true;
}();

IMouseMod LeftMod(NSEvent* e)
{
    const NSEventModifierFlags f = e->modifierFlags();
    // Command-click stands for the right button.
    return IMouseMod(true, f & NSCommandKeyMask, f & NSShiftKeyMask, f & NSControlKeyMask, f & NSAlternateKeyMask);
}

IMouseMod RightMod(NSEvent* e)
{
    const NSEventModifierFlags f = e->modifierFlags();
    return IMouseMod(false, true, f & NSShiftKeyMask, f & NSControlKeyMask, f & NSAlternateKeyMask);
}

// Characters, not bytes, of UTF-8 text.
int CharacterCount(const char* s)
{
    int n = 0;
    for (; *s; ++s) n += (static_cast<unsigned char>(*s) & 0xC0) != 0x80;
    return n;
}

} // namespace

IGraphicsCocoa_vQOR_au::~IGraphicsCocoa_vQOR_au()
{
    killTimer();
    endUserInput();
    // A host that frees the view first leaves the surface without a dangling pointer.
    if (mGraphics && mGraphics->mGraphicsCocoa == this) mGraphics->mGraphicsCocoa = nullptr;
    mGraphics = nullptr;
}

NSObject* IGraphicsCocoa_vQOR_au::init()
{
    mGraphics = nullptr;
    mTimer = nullptr;
    mPrevX = mPrevY = 0;
    return this;
}

IGraphicsCocoa_vQOR_au* IGraphicsCocoa_vQOR_au::initWithIGraphics(IGraphicsMac* graphics)
{
    mGraphics = graphics;
    initWithFrame(NSMakeRect(0, 0, graphics->Width(), graphics->Height()));
    mTimer = NSTimer::timerWithTimeInterval(1.0 / graphics->FPS(), this, sel_registerName("onTimer:"), nullptr, true);
    NSRunLoop::currentRunLoop()->addTimer(mTimer, NSRunLoopCommonModes);
    return this;
}

void IGraphicsCocoa_vQOR_au::viewDidMoveToWindow()
{
    if (NSWindow* w = window()) {
        w->makeFirstResponder(this);
        w->setAcceptsMouseMovedEvents(true);
    }
}

void IGraphicsCocoa_vQOR_au::onTimer(NSTimer* timer)
{
    if (timer != mTimer || !mGraphics) return;
    // The audio thread may not log or show a status: what it could not say is said here.
    if (IPluginBase* plug = mGraphics->GetPlug()) plug->OnEditorTimer();
    IRECT r;
    if (!mGraphics->IsDirty(&r)) return;
    const int h = mGraphics->Height();
    setNeedsDisplayInRect(NSMakeRect(r.L, h - 1 - r.B, r.R - r.L + 1, r.B + 1 - r.T));
}

NSArray* IGraphicsCocoa_vQOR_au::accessibilityAttributeValue(const char* attribute)
{
    const std::string name = attribute ? attribute : "";
    if (!mGraphics || (name != NSAccessibilityChildrenAttribute && name != NSAccessibilityVisibleChildrenAttribute))
        return NSView::accessibilityAttributeValue(attribute);
    std::vector<NSObject*> texts;
    for (int i = 0; i < mGraphics->NControls(); ++i) {
        auto* text = dynamic_cast<ITextControl*>(mGraphics->GetControl(i));
        // Captions show a parameter's value: they are controls, not texts.
        if (!text || text->IsHidden() || dynamic_cast<ICaptionControl*>(text)) continue;
        KIT_String copy;
        text->GetTextCopy(&copy);
        if (!copy.Get() || !*copy.Get()) continue;
        auto* element = new NSAccessibilityElement;
        element->setAccessibilityValue(NSString::stringWithUTF8String(copy.Get()));
        element->autorelease();
        texts.push_back(element);
    }
    return NSArray::arrayWithVector(texts);
}

void IGraphicsCocoa_vQOR_au::drawRect(NSRect rect)
{
    if (!mGraphics) return;
    const int h = mGraphics->Height();
    const int x = int(rect.origin.x), y = int(rect.origin.y);
    const int w = int(rect.size.width), rh = int(rect.size.height);
    IRECT r(x, h - (rh + y), w + x, h - y);
    mGraphics->Draw(&r);
}

void IGraphicsCocoa_vQOR_au::getMouseXY(NSEvent* event, int* x, int* y)
{
    if (!mGraphics) return;
    NSPoint p = convertPoint(event->locationInWindow(), nullptr);
    mPrevX = *x = plugdraw::HostCoord(p.x) - 2;
    mPrevY = *y = mGraphics->Height() - plugdraw::HostCoord(p.y) - 3;
}

void IGraphicsCocoa_vQOR_au::mouseDown(NSEvent* e)
{
    if (!mGraphics) return;
    int x = 0, y = 0;
    getMouseXY(e, &x, &y);
    IMouseMod mod = LeftMod(e);
    if (e->clickCount() > 1) mGraphics->OnMouseDblClick(x, y, &mod);
    else mGraphics->OnMouseDown(x, y, &mod);
}

void IGraphicsCocoa_vQOR_au::mouseUp(NSEvent* e)
{
    if (!mGraphics) return;
    int x = 0, y = 0;
    getMouseXY(e, &x, &y);
    IMouseMod mod = LeftMod(e);
    mGraphics->OnMouseUp(x, y, &mod);
}

void IGraphicsCocoa_vQOR_au::mouseDragged(NSEvent* e)
{
    if (!mGraphics || mTextFieldView) return;
    int x = 0, y = 0;
    getMouseXY(e, &x, &y);
    IMouseMod mod = LeftMod(e);
    mGraphics->OnMouseDrag(x, y, &mod);
}

void IGraphicsCocoa_vQOR_au::rightMouseDown(NSEvent* e)
{
    if (!mGraphics) return;
    int x = 0, y = 0;
    getMouseXY(e, &x, &y);
    IMouseMod mod = RightMod(e);
    mGraphics->OnMouseDown(x, y, &mod);
}

void IGraphicsCocoa_vQOR_au::rightMouseUp(NSEvent* e)
{
    if (!mGraphics) return;
    int x = 0, y = 0;
    getMouseXY(e, &x, &y);
    IMouseMod mod = RightMod(e);
    mGraphics->OnMouseUp(x, y, &mod);
}

void IGraphicsCocoa_vQOR_au::rightMouseDragged(NSEvent* e)
{
    if (!mGraphics || mTextFieldView) return;
    int x = 0, y = 0;
    getMouseXY(e, &x, &y);
    IMouseMod mod = RightMod(e);
    mGraphics->OnMouseDrag(x, y, &mod);
}

void IGraphicsCocoa_vQOR_au::mouseMoved(NSEvent* e)
{
    if (!mGraphics) return;
    int x = 0, y = 0;
    getMouseXY(e, &x, &y);
    IMouseMod mod = LeftMod(e);
    mGraphics->OnMouseOver(x, y, &mod);
}

void IGraphicsCocoa_vQOR_au::scrollWheel(NSEvent* e)
{
    if (!mGraphics) return;
    endUserInput();
    int x = 0, y = 0;
    getMouseXY(e, &x, &y);
    IMouseMod mod = LeftMod(e);
    mGraphics->OnMouseWheel(x, y, &mod, plugdraw::TruncInt(e->deltaY()));
}

int IGraphicsCocoa_vQOR_au::KeyNumber(unsigned short keyCode, const char* c)
{
    switch (keyCode) {
    case 126: return 1; // up
    case 125: return 2; // down
    case 123: return 3; // left
    case 124: return 4; // right
    case 49: return 0;  // space
    default: break;
    }
    if (!c || !c[0] || c[1]) return -1;
    if (c[0] >= '0' && c[0] <= '9') return 5 + (c[0] - '0');
    if (c[0] >= 'A' && c[0] <= 'Z') return 15 + (c[0] - 'A');
    if (c[0] >= 'a' && c[0] <= 'z') return 15 + (c[0] - 'a');
    return -1;
}

void IGraphicsCocoa_vQOR_au::keyDown(NSEvent* e)
{
    if (!mGraphics) return;
    NSString* chars = e->charactersIgnoringModifiers();
    if (!chars || CharacterCount(chars->UTF8String()) != 1) return;
    const int key = KeyNumber(e->keyCode(), chars->UTF8String());
    if (key < 0 || !mGraphics->OnKeyDown(mPrevX, mPrevY, key)) {
        if (NSResponder* next = nextResponder()) next->keyDown(e);
    }
}

void IGraphicsCocoa_vQOR_au::killTimer()
{
    NSTimer* t = mTimer;
    mTimer = nullptr;
    // The timer's hold on this view goes with it: nothing may touch the view after this.
    if (t) t->invalidate();
}

void IGraphicsCocoa_vQOR_au::removeFromSuperview()
{
    retain();
    endUserInput();
    if (IGraphicsMac* g = mGraphics) {
        mGraphics = nullptr;
        g->CloseWindow();
    }
    NSView::removeFromSuperview();
    release();
}
