#include "Carbon.h"
#include <CoreGraphics/CoreGraphics.h>

#include <CoreFoundation/CFPresenter.h>
#include <CoreFoundation/CFUtf8.h>
#include <CoreText/CTFieldText.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace
{

enum : CFTypeID {
    kWindowTypeID = 0x4301,
    kControlTypeID = 0x4302,
    kMenuTypeID = 0x4303,
    kEventTypeID = 0x4304,
    kShapeTypeID = 0x4305,
};

std::vector<uint32_t> Decode(const std::string& s)
{
    return cf_standin::DecodeUtf8(s.c_str());
}
std::string Encode(const std::vector<uint32_t>& chars)
{
    return cf_standin::EncodeUtf8(chars);
}

std::string Utf8(CFStringRef s)
{
    if (!s) return "";
    if (const char* p = CFStringGetCStringPtr(s, kCFStringEncodingUTF8)) return p;
    const CFIndex max = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
    std::string buf(size_t(max), '\0');
    if (!CFStringGetCString(s, &buf[0], max, kCFStringEncodingUTF8)) return "";
    buf.resize(std::strlen(buf.c_str()));
    return buf;
}

long gDrawCount = 0;
long gRenderCount = 0;
ThemeCursor gCursor = kThemeArrowCursor;
int gLiveWindows = 0;
int gLiveMenus = 0;
WindowRef gFocusWindow = nullptr;

} // namespace

// ---- events and targets ----

struct OpaqueEventRef : CFRuntimeObject {
    OpaqueEventRef() : CFRuntimeObject(kEventTypeID) {}
    UInt32 eventClass = 0, kind = 0;
    struct Param {
        EventParamType type;
        std::vector<uint8_t> bytes;
    };
    std::map<EventParamName, Param> params;
};

struct OpaqueEventHandlerRef {
    EventHandlerUPP proc = nullptr;
    std::vector<EventTypeSpec> types;
    void* user = nullptr;
    OpaqueEventTargetRef* target = nullptr;
    bool removed = false;
    bool Takes(EventRef e) const
    {
        for (const EventTypeSpec& t : types)
            if (t.eventClass == e->eventClass && t.eventKind == e->kind) return true;
        return false;
    }
};

struct OpaqueEventTargetRef {
    std::vector<std::shared_ptr<OpaqueEventHandlerRef>> handlers; // oldest first
    OSStatus (*standard)(OpaqueEventTargetRef* self, EventRef e) = nullptr;
    CFRuntimeObject* owner = nullptr;       // the window or control
    OpaqueEventTargetRef* parent = nullptr; // where unhandled events go on
};

struct OpaqueEventHandlerCallRef {
    OpaqueEventTargetRef* target;
    std::vector<std::shared_ptr<OpaqueEventHandlerRef>> rest; // the handlers still to run, next first
};

namespace
{

OSStatus Dispatch(OpaqueEventTargetRef* target, EventRef e, std::vector<std::shared_ptr<OpaqueEventHandlerRef>> rest)
{
    // The owner stays alive while its handlers run, even when one of them disposes of it.
    CFRetain(target->owner);
    OSStatus result = eventNotHandledErr;
    while (!rest.empty() && result == eventNotHandledErr) {
        std::shared_ptr<OpaqueEventHandlerRef> h = rest.front();
        rest.erase(rest.begin());
        if (h->removed || !h->Takes(e)) continue;
        OpaqueEventHandlerCallRef call{target, rest};
        result = h->proc(&call, e, h->user);
        if (result != eventNotHandledErr) break;
    }
    if (result == eventNotHandledErr && target->standard) result = target->standard(target, e);
    if (result == eventNotHandledErr && target->parent) {
        OpaqueEventTargetRef* parent = target->parent;
        std::vector<std::shared_ptr<OpaqueEventHandlerRef>> all(parent->handlers.rbegin(), parent->handlers.rend());
        result = Dispatch(parent, e, all);
    }
    CFRelease(target->owner);
    return result;
}

} // namespace

OSStatus CreateEvent(CFAllocatorRef, UInt32 eventClass, UInt32 kind, EventTime, UInt32, EventRef* out)
{
    if (!out) return paramErr;
    auto* e = new OpaqueEventRef;
    e->eventClass = eventClass;
    e->kind = kind;
    *out = e;
    return noErr;
}

EventRef RetainEvent(EventRef e)
{
    if (e) CFRetain(e);
    return e;
}

void ReleaseEvent(EventRef e)
{
    if (e) CFRelease(e);
}

UInt32 GetEventClass(EventRef e)
{
    return e ? e->eventClass : 0;
}
UInt32 GetEventKind(EventRef e)
{
    return e ? e->kind : 0;
}

OSStatus SetEventParameter(EventRef e, EventParamName name, EventParamType type, UInt32 size, const void* data)
{
    if (!e || (size && !data)) return paramErr;
    const auto* p = static_cast<const uint8_t*>(data);
    e->params[name] = OpaqueEventRef::Param{type, std::vector<uint8_t>(p, p + size)};
    return noErr;
}

OSStatus GetEventParameter(EventRef e, EventParamName name, EventParamType desired, EventParamType* actualType,
                           UInt32 bufferSize, UInt32* actualSize, void* data)
{
    if (!e) return paramErr;
    auto it = e->params.find(name);
    if (it == e->params.end()) return eventParameterNotFoundErr;
    const OpaqueEventRef::Param& p = it->second;
    if (desired != p.type) return paramErr; // the stand-in converts nothing
    if (actualType) *actualType = p.type;
    if (actualSize) *actualSize = UInt32(p.bytes.size());
    if (data) {
        if (bufferSize < p.bytes.size()) return paramErr;
        std::memcpy(data, p.bytes.data(), p.bytes.size());
    }
    return noErr;
}

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP proc, UInt32 n, const EventTypeSpec* list,
                             void* user, EventHandlerRef* out)
{
    if (!target || !proc || (n && !list)) return paramErr;
    auto h = std::make_shared<OpaqueEventHandlerRef>();
    h->proc = proc;
    h->types.assign(list, list + n);
    h->user = user;
    h->target = target;
    target->handlers.push_back(h);
    if (out) *out = h.get();
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef handler)
{
    if (!handler || !handler->target) return paramErr;
    OpaqueEventTargetRef* t = handler->target;
    handler->removed = true;
    handler->target = nullptr;
    for (auto it = t->handlers.begin(); it != t->handlers.end(); ++it)
        if (it->get() == handler) {
            t->handlers.erase(it); // a dispatch in progress keeps its own reference
            break;
        }
    return noErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef next, EventRef e)
{
    if (!next || !e) return paramErr;
    return Dispatch(next->target, e, next->rest);
}

OSStatus SendEventToEventTarget(EventRef e, EventTargetRef target)
{
    if (!e || !target) return paramErr;
    RetainEvent(e);
    std::vector<std::shared_ptr<OpaqueEventHandlerRef>> all(target->handlers.rbegin(), target->handlers.rend());
    const OSStatus r = Dispatch(target, e, all);
    ReleaseEvent(e);
    return r;
}

// ---- timers ----

struct OpaqueEventLoopRef {
};

struct OpaqueEventLoopTimerRef {
    CFRunLoopTimerRef cf = nullptr;
    EventLoopTimerUPP proc = nullptr;
    void* user = nullptr;
};

EventLoopRef GetMainEventLoop(void)
{
    static OpaqueEventLoopRef loop;
    return &loop;
}

EventLoopRef GetCurrentEventLoop(void)
{
    return GetMainEventLoop();
}

UInt32 GetCurrentEventButtonState(void)
{
    return cg_standin::mouseButtons();
}

namespace
{
void TimerCallout(CFRunLoopTimerRef, void* info)
{
    auto* t = static_cast<OpaqueEventLoopTimerRef*>(info);
    t->proc(t, t->user);
}
} // namespace

OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimerInterval delay, EventTimerInterval interval,
                               EventLoopTimerUPP proc, void* user, EventLoopTimerRef* out)
{
    if (!loop || !proc || !out) return paramErr;
    auto* t = new OpaqueEventLoopTimerRef{nullptr, proc, user};
    CFRunLoopTimerContext context{0, t, nullptr, nullptr, nullptr};
    t->cf = CFRunLoopTimerCreate(kCFAllocatorDefault, CFAbsoluteTimeGetCurrent() + std::max(0.0, delay),
                                 std::max(0.0, interval), 0, 0, &TimerCallout, &context);
    CFRunLoopAddTimer(CFRunLoopGetMain(), t->cf, kCFRunLoopCommonModes);
    *out = t;
    return noErr;
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef t)
{
    if (!t) return paramErr;
    CFRunLoopTimerInvalidate(t->cf);
    CFRelease(t->cf);
    delete t;
    return noErr;
}

// ---- shapes ----

struct __HIShape : CFRuntimeObject {
    __HIShape() : CFRuntimeObject(kShapeTypeID) {}
    HIRect bounds{};
};

HIShapeRef HIShapeCreateWithRect(const HIRect* rect)
{
    auto* s = new __HIShape;
    if (rect) s->bounds = *rect;
    return s;
}

HIRect* HIShapeGetBounds(HIShapeRef shape, HIRect* out)
{
    if (!shape || !out) return out;
    *out = shape->bounds;
    return out;
}

// ---- windows and controls ----

struct OpaqueGrafPtr {
    WindowRef window;
};

struct OpaqueControlRef : CFRuntimeObject {
    enum Kind { kRoot, kContent, kUserPane, kEditText };
    explicit OpaqueControlRef(Kind k) : CFRuntimeObject(kControlTypeID), kind(k) { target.owner = this; }
    ~OpaqueControlRef() override
    {
        for (ControlRef c : children) {
            c->parent = nullptr;
            CFRelease(c);
        }
    }
    Kind kind;
    WindowRef window = nullptr;       // not retained
    ControlRef parent = nullptr;      // not retained
    std::vector<ControlRef> children; // retained
    HIRect frame{};                   // in the parent's coordinates, y downward
    HIRect dirty{};
    bool visible = true;
    UInt32 features = 0;
    HIViewID id{0, 0};
    OpaqueEventTargetRef target;
    // Edit text.
    std::vector<uint32_t> text;
    size_t selStart = 0, selEnd = 0;
    bool singleLine = false;
    ControlFontStyleRec style{};
};

struct OpaqueWindowPtr : CFRuntimeObject {
    OpaqueWindowPtr() : CFRuntimeObject(kWindowTypeID)
    {
        target.owner = this;
        port.window = this;
        ++gLiveWindows;
    }
    ~OpaqueWindowPtr() override;
    WindowAttributes attributes = 0;
    WindowClass windowClass = 0;
    bool active = false;
    Rect bounds{};
    OpaqueEventTargetRef target;
    OpaqueGrafPtr port{};
    ControlRef root = nullptr;    // retained
    ControlRef content = nullptr; // in the root; composited windows only
    ControlRef focus = nullptr;   // not retained
    CGContextRef store = nullptr;
    void* storeBytes = nullptr;
    bool needsUpdate = true;
    bool visible = false;
    bool Composited() const { return (attributes & kWindowCompositingAttribute) != 0; }
};

namespace
{

std::vector<WindowRef>& Windows()
{
    static std::vector<WindowRef> list;
    return list;
}

void ForgetControl(ControlRef c)
{
    if (c->window && c->window->focus == c) c->window->focus = nullptr;
    for (ControlRef child : c->children) ForgetControl(child);
}

void SetWindowOf(ControlRef c, WindowRef w)
{
    if (c->window && c->window != w) ForgetControl(c);
    c->window = w;
    c->target.parent = w ? &w->target : nullptr;
    for (ControlRef child : c->children) SetWindowOf(child, w);
}

void Attach(ControlRef parent, ControlRef child)
{
    CFRetain(child);
    if (child->parent) HIViewRemoveFromSuperview(child);
    child->parent = parent;
    parent->children.push_back(child);
    SetWindowOf(child, parent->window);
    HIViewSetNeedsDisplay(child, true);
    if (parent->window) parent->window->needsUpdate = true;
}

// The control's top left in window coordinates.
HIPoint Origin(ControlRef c)
{
    HIPoint p{0, 0};
    for (; c; c = c->parent) {
        p.x += c->frame.origin.x;
        p.y += c->frame.origin.y;
    }
    return p;
}

HIRect Intersect(HIRect a, HIRect b)
{
    const double x0 = std::max(a.origin.x, b.origin.x), y0 = std::max(a.origin.y, b.origin.y);
    const double x1 = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double y1 = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    if (!(x1 > x0) || !(y1 > y0)) return CGRectMake(0, 0, 0, 0);
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

bool Empty(HIRect r)
{
    return !(r.size.width > 0) || !(r.size.height > 0);
}

HIRect Union(HIRect a, HIRect b)
{
    if (Empty(a)) return b;
    if (Empty(b)) return a;
    const double x0 = std::min(a.origin.x, b.origin.x), y0 = std::min(a.origin.y, b.origin.y);
    const double x1 = std::max(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double y1 = std::max(a.origin.y + a.size.height, b.origin.y + b.size.height);
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

HIRect Local(ControlRef c)
{
    return CGRectMake(0, 0, c->frame.size.width, c->frame.size.height);
}

void MarkAll(ControlRef c)
{
    c->dirty = Local(c);
    for (ControlRef child : c->children) MarkAll(child);
}

// The edit-text control's own look: a white box with its text, the selection or the caret.
void DrawEditText(ControlRef c, CGContextRef ctx, bool yDown)
{
    const HIRect b = Local(c);
    CGContextSaveGState(ctx);
    if (yDown) { // the text is laid out upward
        CGContextTranslateCTM(ctx, 0, b.size.height);
        CGContextScaleCTM(ctx, 1, -1);
    }
    CGContextClipToRect(ctx, b);
    CGContextSetRGBFillColor(ctx, 1, 1, 1, 1);
    CGContextFillRect(ctx, b);
    ct_standin::FieldText how;
    const std::string family = carbon_standin::fontFamilyName(c->style.font);
    how.font = family.c_str();
    how.size = (c->style.flags & kControlUseSizeMask) && c->style.size > 0 ? c->style.size : 12;
    const SInt16 just = (c->style.flags & kControlUseJustMask) ? c->style.just : SInt16(teFlushDefault);
    how.align = just == teCenter ? 1 : just == teFlushRight ? 2 : 0;
    how.editing = c->window && c->window->focus == c;
    how.selStart = c->selStart;
    how.selEnd = c->selEnd;
    ct_standin::DrawFieldText(ctx, b, c->text, how);
    CGContextRestoreGState(ctx);
}

OSStatus EditTextStandard(OpaqueEventTargetRef* t, EventRef e)
{
    auto* c = static_cast<ControlRef>(t->owner);
    if (e->eventClass == kEventClassControl && e->kind == kEventControlDraw) {
        CGContextRef ctx = nullptr;
        if (GetEventParameter(e, kEventParamCGContextRef, typeCGContextRef, nullptr, sizeof ctx, nullptr, &ctx) ==
                noErr &&
            ctx) {
            DrawEditText(c, ctx, true);
        }
        return noErr;
    }
    if (e->eventClass != kEventClassKeyboard || (e->kind != kEventRawKeyDown && e->kind != kEventRawKeyRepeat))
        return eventNotHandledErr;
    char ch = 0;
    UInt32 code = 0;
    GetEventParameter(e, kEventParamKeyMacCharCodes, typeChar, nullptr, 1, nullptr, &ch);
    GetEventParameter(e, kEventParamKeyCode, typeUInt32, nullptr, sizeof code, nullptr, &code);
    const unsigned char u = static_cast<unsigned char>(ch);
    size_t s = std::min(c->selStart, c->text.size()), end = std::min(std::max(c->selEnd, s), c->text.size());
    if (u == 8 || u == 127) {
        if (s == end && s > 0) --s;
        c->text.erase(c->text.begin() + long(s), c->text.begin() + long(end));
        c->selStart = c->selEnd = s;
    } else if (code == 123 || u == 28) {
        c->selStart = c->selEnd = s == end && s > 0 ? s - 1 : s;
    } else if (code == 124 || u == 29) {
        c->selStart = c->selEnd = s == end ? std::min(end + 1, c->text.size()) : end;
    } else if (u >= 32 && u < 127) {
        c->text.erase(c->text.begin() + long(s), c->text.begin() + long(end));
        c->text.insert(c->text.begin() + long(s), uint32_t(u));
        c->selStart = c->selEnd = s + 1;
    } else {
        return eventNotHandledErr;
    }
    HIViewSetNeedsDisplay(c, true);
    return noErr;
}

OSStatus NewControl(OpaqueControlRef::Kind kind, WindowRef window, const Rect* bounds, ControlRef* out)
{
    if (!window || !out) return paramErr;
    auto* c = new OpaqueControlRef(kind);
    if (bounds)
        c->frame = CGRectMake(bounds->left, bounds->top, bounds->right - bounds->left, bounds->bottom - bounds->top);
    c->window = window;
    c->target.parent = &window->target;
    *out = c;
    return noErr;
}

void SendDraw(ControlRef c, CGContextRef ctx, const HIRect* dirty)
{
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlDraw, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof c, &c);
    if (ctx) {
        SetEventParameter(e, kEventParamCGContextRef, typeCGContextRef, sizeof ctx, &ctx);
    } else {
        CGrafPtr port = &c->window->port;
        SetEventParameter(e, kEventParamGrafPort, typeGrafPtr, sizeof port, &port);
    }
    HIShapeRef shape = dirty ? HIShapeCreateWithRect(dirty) : nullptr;
    if (shape) SetEventParameter(e, kEventParamShape, typeHIShapeRef, sizeof shape, &shape);
    ++gDrawCount;
    SendEventToEventTarget(e, &c->target);
    if (shape) CFRelease(shape);
    ReleaseEvent(e);
}

Rect QDRect(HIRect r)
{
    auto s = [](double v) { return SInt16(std::max(-32768.0, std::min(32767.0, std::floor(v)))); };
    return Rect{s(r.origin.y), s(r.origin.x), s(r.origin.y + r.size.height), s(r.origin.x + r.size.width)};
}

// Tells the control's handlers that its frame changed (previous and current, in its parent's
// coordinates).
void SendBoundsChanged(ControlRef c, HIRect was)
{
    if (std::memcmp(&was, &c->frame, sizeof was) == 0) return;
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlBoundsChanged, 0, 0, &e);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof c, &c);
    const Rect before = QDRect(was), now = QDRect(c->frame);
    SetEventParameter(e, kEventParamPreviousBounds, typeQDRectangle, sizeof before, &before);
    SetEventParameter(e, kEventParamCurrentBounds, typeQDRectangle, sizeof now, &now);
    SendEventToEventTarget(e, &c->target);
    ReleaseEvent(e);
}

// Draws what needs display here and below, each view in a context y downward from its top left.
void DisplayView(WindowRef w, ControlRef c)
{
    CFRetain(c);
    HIRect drawn{};
    if (c->visible && !Empty(c->dirty)) {
        drawn = c->dirty;
        c->dirty = CGRectMake(0, 0, 0, 0);
        const HIPoint o = Origin(c);
        const double H = double(CGBitmapContextGetHeight(w->store));
        CGContextSaveGState(w->store);
        CGContextTranslateCTM(w->store, o.x, H - o.y);
        CGContextScaleCTM(w->store, 1, -1);
        CGContextClipToRect(w->store, drawn);
        SendDraw(c, w->store, &drawn);
        CGContextRestoreGState(w->store);
    }
    std::vector<ControlRef> children = c->children;
    for (ControlRef child : children) CFRetain(child);
    for (ControlRef child : children) {
        // What this view drew over, its subviews draw again.
        HIRect over = Intersect(drawn, child->frame);
        if (!Empty(over)) {
            over.origin.x -= child->frame.origin.x;
            over.origin.y -= child->frame.origin.y;
            child->dirty = Union(child->dirty, over);
        }
        if (c->visible && child->parent == c) DisplayView(w, child);
        CFRelease(child);
    }
    CFRelease(c);
}

void DrawPlain(WindowRef w, ControlRef c)
{
    if (!c->visible) return;
    SendDraw(c, nullptr, nullptr);
    std::vector<ControlRef> children = c->children;
    for (ControlRef child : children) CFRetain(child);
    for (ControlRef child : children) {
        if (child->parent == c) DrawPlain(w, child);
        CFRelease(child);
    }
}

} // namespace

OpaqueWindowPtr::~OpaqueWindowPtr()
{
    if (gFocusWindow == this) gFocusWindow = nullptr;
    if (root) {
        SetWindowOf(root, nullptr);
        CFRelease(root);
    }
    CGContextRelease(store);
    std::free(storeBytes);
    --gLiveWindows;
}

const HIViewID kHIViewWindowContentID = {0x77696E64, 1}; // 'wind' 1

OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes, const Rect* bounds, WindowRef* out)
{
    if (!bounds || !out) return paramErr;
    const long w = bounds->right - bounds->left, h = bounds->bottom - bounds->top;
    if (w <= 0 || h <= 0) return paramErr;
    auto* win = new OpaqueWindowPtr;
    win->attributes = attributes;
    win->windowClass = windowClass;
    win->bounds = *bounds;
    win->storeBytes = std::calloc(size_t(w) * size_t(h), 4);
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    win->store =
        CGBitmapContextCreate(win->storeBytes, size_t(w), size_t(h), 8, size_t(w) * 4, rgb, kCGImageAlphaNoneSkipFirst);
    CGColorSpaceRelease(rgb);
    if (win->Composited()) {
        // The root view holds the content view, which covers the content area.
        win->root = new OpaqueControlRef(OpaqueControlRef::kRoot);
        win->root->window = win;
        win->root->frame = CGRectMake(0, 0, double(w), double(h));
        auto* content = new OpaqueControlRef(OpaqueControlRef::kContent);
        content->frame = win->root->frame;
        content->id = kHIViewWindowContentID;
        content->window = win;
        Attach(win->root, content);
        CFRelease(content);
        win->content = content;
        SetWindowOf(win->root, win);
    }
    Windows().push_back(win);
    *out = win;
    return noErr;
}

void DisposeWindow(WindowRef w)
{
    if (!w) return;
    auto& list = Windows();
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    CFRelease(w);
}

OSStatus GetWindowAttributes(WindowRef w, WindowAttributes* out)
{
    if (!w || !out) return paramErr;
    *out = w->attributes;
    return noErr;
}

OSStatus GetWindowClass(WindowRef w, WindowClass* out)
{
    if (!w || !out) return paramErr;
    *out = w->windowClass;
    return noErr;
}

OSStatus ActivateWindow(WindowRef w, Boolean activate)
{
    if (!w) return paramErr;
    w->active = activate != 0;
    return noErr;
}

Boolean IsWindowActive(WindowRef w)
{
    return w && w->active;
}

OSStatus GetWindowBounds(WindowRef w, WindowRegionCode, Rect* out)
{
    if (!w || !out) return paramErr;
    *out = w->bounds;
    return noErr;
}

OSStatus SetWindowBounds(WindowRef w, WindowRegionCode, const Rect* bounds)
{
    if (!w || !bounds || bounds->right <= bounds->left || bounds->bottom <= bounds->top) return paramErr;
    const long width = bounds->right - bounds->left, height = bounds->bottom - bounds->top;
    const bool resized = width != w->bounds.right - w->bounds.left || height != w->bounds.bottom - w->bounds.top;
    w->bounds = *bounds;
    if (!resized) return noErr;
    // A new, blank backing store of the new size, drawn whole by the next pass.
    CGContextRelease(w->store);
    std::free(w->storeBytes);
    w->storeBytes = std::calloc(size_t(width) * size_t(height), 4);
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    w->store = CGBitmapContextCreate(w->storeBytes, size_t(width), size_t(height), 8, size_t(width) * 4, rgb,
                                     kCGImageAlphaNoneSkipFirst);
    CGColorSpaceRelease(rgb);
    if (w->root) {
        w->root->frame.size = CGSize{double(width), double(height)};
        if (w->content) w->content->frame.size = w->root->frame.size;
        MarkAll(w->root);
    }
    w->needsUpdate = true;
    return noErr;
}

CGrafPtr GetWindowPort(WindowRef w)
{
    return w ? &w->port : nullptr;
}
void ShowWindow(WindowRef w)
{
    if (w) w->visible = true;
}
void HideWindow(WindowRef w)
{
    if (w) w->visible = false;
}

OSStatus SetUserFocusWindow(WindowRef w)
{
    gFocusWindow = w == kUserFocusAuto ? nullptr : w;
    return noErr;
}

WindowRef GetUserFocusWindow(void)
{
    return gFocusWindow;
}

void UpdateControls(WindowRef w, RgnHandle)
{
    if (!w) return;
    w->needsUpdate = false;
    if (w->root) DrawPlain(w, w->root);
}

OSStatus QDBeginCGContext(CGrafPtr port, CGContextRef* out)
{
    if (!port || !port->window || !out || !port->window->store) return paramErr;
    CGContextSaveGState(port->window->store);
    *out = port->window->store;
    return noErr;
}

OSStatus QDEndCGContext(CGrafPtr port, CGContextRef* ctx)
{
    if (!port || !port->window || !ctx || *ctx != port->window->store) return paramErr;
    CGContextRestoreGState(port->window->store);
    *ctx = nullptr;
    return noErr;
}

namespace
{
// Family numbers are indexes into the names met so far; 0 is the default face.
std::vector<std::string>& FamilyNames()
{
    static std::vector<std::string> names{""};
    return names;
}
} // namespace

FMFontFamily FMGetFontFamilyFromName(ConstStr255Param name)
{
    if (!name) return 0;
    std::vector<std::string>& names = FamilyNames();
    const std::string n(reinterpret_cast<const char*>(name + 1), name[0]);
    auto it = std::find(names.begin(), names.end(), n);
    if (it != names.end()) return FMFontFamily(it - names.begin());
    if (names.size() >= 0x7FFF) return 0;
    names.push_back(n);
    return FMFontFamily(names.size() - 1);
}

std::string carbon_standin::fontFamilyName(FMFontFamily family)
{
    const std::vector<std::string>& names = FamilyNames();
    return family > 0 && size_t(family) < names.size() ? names[size_t(family)] : "";
}

OSStatus CreateUserPaneControl(WindowRef w, const Rect* bounds, UInt32 features, ControlRef* out)
{
    const OSStatus r = NewControl(OpaqueControlRef::kUserPane, w, bounds, out);
    if (r == noErr) (*out)->features = features;
    return r;
}

OSStatus CreateEditUnicodeTextControl(WindowRef w, const Rect* bounds, CFStringRef text, Boolean,
                                      const ControlFontStyleRec* style, ControlRef* out)
{
    const OSStatus r = NewControl(OpaqueControlRef::kEditText, w, bounds, out);
    if (r != noErr) return r;
    ControlRef c = *out;
    c->text = Decode(Utf8(text));
    c->selStart = c->selEnd = c->text.size();
    if (style) c->style = *style;
    c->target.standard = &EditTextStandard;
    // Composited windows put it in the content view; plain ones in the root control.
    if (w->content)
        Attach(w->content, c);
    else if (w->root)
        Attach(w->root, c);
    if (c->parent) CFRelease(c); // the container holds it now
    return noErr;
}

void DisposeControl(ControlRef c)
{
    if (!c) return;
    ForgetControl(c);
    if (c->parent)
        HIViewRemoveFromSuperview(c);
    else
        CFRelease(c);
}

OSStatus GetRootControl(WindowRef w, ControlRef* out)
{
    if (!w || !out) return paramErr;
    *out = w->root;
    return w->root ? OSStatus(noErr) : OSStatus(errNoRootControl);
}

OSStatus CreateRootControl(WindowRef w, ControlRef* out)
{
    if (!w) return paramErr;
    if (w->root) return errRootAlreadyExists;
    const long width = w->bounds.right - w->bounds.left, height = w->bounds.bottom - w->bounds.top;
    w->root = new OpaqueControlRef(OpaqueControlRef::kRoot);
    w->root->frame = CGRectMake(0, 0, double(width), double(height));
    SetWindowOf(w->root, w);
    if (out) *out = w->root;
    return noErr;
}

OSStatus EmbedControl(ControlRef c, ControlRef container)
{
    if (!c || !container || c == container || c->window != container->window) return errUnknownControl;
    const bool fresh = !c->parent;
    Attach(container, c);
    if (fresh) CFRelease(c); // the creator's reference passes to the container
    return noErr;
}

WindowRef GetControlOwner(ControlRef c)
{
    return c ? c->window : nullptr;
}

void ShowControl(ControlRef c)
{
    if (!c) return;
    c->visible = true;
    HIViewSetNeedsDisplay(c, true);
}

void HideControl(ControlRef c)
{
    if (!c) return;
    c->visible = false;
    if (c->parent) {
        HIRect r = c->frame;
        HIViewSetNeedsDisplayInRect(c->parent, &r, true);
    }
}

Boolean IsControlVisible(ControlRef c)
{
    return c && c->visible;
}

void SizeControl(ControlRef c, SInt16 w, SInt16 h)
{
    if (!c) return;
    HIRect r = c->frame;
    r.size = CGSize{double(w), double(h)};
    HIViewSetFrame(c, &r);
}

OSStatus SetControlData(ControlRef c, ControlPartCode, ResType tag, size_t size, const void* data)
{
    if (!c || !data) return paramErr;
    switch (tag) {
    case kControlEditTextCFStringTag:
        if (size != sizeof(CFStringRef) || c->kind != OpaqueControlRef::kEditText) return paramErr;
        c->text = Decode(Utf8(*static_cast<const CFStringRef*>(data)));
        c->selStart = c->selEnd = c->text.size();
        break;
    case kControlEditTextSelectionTag: {
        if (size != sizeof(ControlEditTextSelectionRec)) return paramErr;
        const auto* sel = static_cast<const ControlEditTextSelectionRec*>(data);
        const size_t n = c->text.size();
        c->selStart = std::min(size_t(std::max<SInt16>(0, sel->selStart)), n);
        c->selEnd = std::min(size_t(std::max<SInt16>(0, sel->selEnd)), n);
        break;
    }
    case kControlEditTextSingleLineTag:
        if (size != sizeof(Boolean)) return paramErr;
        c->singleLine = *static_cast<const Boolean*>(data) != 0;
        break;
    default: return errUnknownControl;
    }
    HIViewSetNeedsDisplay(c, true);
    return noErr;
}

OSStatus GetControlData(ControlRef c, ControlPartCode, ResType tag, size_t bufferSize, void* buffer, size_t* actualSize)
{
    if (!c) return paramErr;
    if (tag != kControlEditTextCFStringTag || c->kind != OpaqueControlRef::kEditText) return errUnknownControl;
    if (actualSize) *actualSize = sizeof(CFStringRef);
    if (!buffer || bufferSize < sizeof(CFStringRef)) return paramErr;
    const std::string text = Encode(c->text);
    *static_cast<CFStringRef*>(buffer) =
        CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
    return noErr;
}

OSStatus SetControlFontStyle(ControlRef c, const ControlFontStyleRec* style)
{
    if (!c || !style) return paramErr;
    c->style = *style;
    HIViewSetNeedsDisplay(c, true);
    return noErr;
}

OSStatus SetKeyboardFocus(WindowRef w, ControlRef c, ControlPartCode part)
{
    if (!w) return paramErr;
    if (c && c->window != w) return errUnknownControl;
    ControlRef old = w->focus;
    w->focus = part == kControlFocusNoPart ? nullptr : c;
    if (old) HIViewSetNeedsDisplay(old, true);
    if (w->focus) HIViewSetNeedsDisplay(w->focus, true);
    return noErr;
}

OSStatus GetControlKind(ControlRef c, ControlKind* out)
{
    if (!c || !out) return paramErr;
    out->signature = kControlKindSignatureApple;
    switch (c->kind) {
    case OpaqueControlRef::kRoot: out->kind = kControlKindRoot; break;
    case OpaqueControlRef::kEditText: out->kind = kControlKindEditUnicodeText; break;
    case OpaqueControlRef::kContent:
    case OpaqueControlRef::kUserPane: out->kind = kControlKindUserPane; break;
    }
    return noErr;
}

OSStatus GetKeyboardFocus(WindowRef w, ControlRef* out)
{
    if (!w || !out) return paramErr;
    *out = w->focus;
    return noErr;
}

EventTargetRef GetWindowEventTarget(WindowRef w)
{
    return w ? &w->target : nullptr;
}
EventTargetRef GetControlEventTarget(ControlRef c)
{
    return c ? &c->target : nullptr;
}

HIViewRef HIViewGetRoot(WindowRef w)
{
    return w ? w->root : nullptr;
}

OSStatus HIViewFindByID(HIViewRef start, HIViewID id, HIViewRef* out)
{
    if (!start || !out) return paramErr;
    if (start->id.signature == id.signature && start->id.id == id.id) {
        *out = start;
        return noErr;
    }
    for (ControlRef c : start->children)
        if (HIViewFindByID(c, id, out) == noErr) return noErr;
    return errUnknownControl;
}

OSStatus HIViewAddSubview(HIViewRef parent, HIViewRef child)
{
    if (!parent || !child || parent == child) return paramErr;
    const bool fresh = !child->parent;
    Attach(parent, child);
    if (fresh) CFRelease(child); // the creator's reference passes to the parent
    return noErr;
}

OSStatus HIViewRemoveFromSuperview(HIViewRef v)
{
    if (!v || !v->parent) return paramErr;
    ControlRef parent = v->parent;
    auto it = std::find(parent->children.begin(), parent->children.end(), v);
    if (it != parent->children.end()) parent->children.erase(it);
    v->parent = nullptr;
    HIRect r = v->frame;
    HIViewSetNeedsDisplayInRect(parent, &r, true);
    if (parent->window) parent->window->needsUpdate = true;
    SetWindowOf(v, nullptr);
    CFRelease(v);
    return noErr;
}

HIViewRef HIViewGetSuperview(HIViewRef v)
{
    return v ? v->parent : nullptr;
}

HIViewRef HIViewGetFirstSubview(HIViewRef v)
{
    return v && !v->children.empty() ? v->children.front() : nullptr;
}

HIViewRef HIViewGetNextView(HIViewRef v)
{
    if (!v || !v->parent) return nullptr;
    const std::vector<ControlRef>& siblings = v->parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), v);
    return it != siblings.end() && it + 1 != siblings.end() ? *(it + 1) : nullptr;
}

OSStatus HIViewGetFrame(HIViewRef v, HIRect* out)
{
    if (!v || !out) return paramErr;
    *out = v->frame;
    return noErr;
}

OSStatus HIViewSetFrame(HIViewRef v, const HIRect* r)
{
    if (!v || !r) return paramErr;
    if (v->parent) {
        HIRect old = v->frame;
        HIViewSetNeedsDisplayInRect(v->parent, &old, true);
    }
    const HIRect was = v->frame;
    v->frame = *r;
    HIViewSetNeedsDisplay(v, true);
    SendBoundsChanged(v, was);
    return noErr;
}

OSStatus HIViewGetBounds(HIViewRef v, HIRect* out)
{
    if (!v || !out) return paramErr;
    *out = Local(v);
    return noErr;
}

OSStatus HIViewConvertPoint(HIPoint* p, HIViewRef src, HIViewRef dst)
{
    if (!p) return paramErr;
    const HIPoint from = Origin(src), to = Origin(dst);
    p->x += from.x - to.x;
    p->y += from.y - to.y;
    return noErr;
}

OSStatus HIViewSetNeedsDisplay(HIViewRef v, Boolean needs)
{
    if (!v) return paramErr;
    v->dirty = needs ? Local(v) : CGRectMake(0, 0, 0, 0);
    return noErr;
}

OSStatus HIViewSetNeedsDisplayInRect(HIViewRef v, const HIRect* r, Boolean needs)
{
    if (!v || !r) return paramErr;
    if (needs) v->dirty = Intersect(Union(v->dirty, *r), Local(v));
    return noErr;
}

Boolean HIViewGetNeedsDisplay(HIViewRef v)
{
    return v && !Empty(v->dirty);
}

OSStatus HIViewRender(HIViewRef v)
{
    if (!v || !v->window) return paramErr;
    ++gRenderCount;
    if (v->window->store && v->window->Composited()) DisplayView(v->window, v);
    return noErr;
}

// ---- menus ----

struct OpaqueMenuRef : CFRuntimeObject {
    OpaqueMenuRef() : CFRuntimeObject(kMenuTypeID) { ++gLiveMenus; }
    ~OpaqueMenuRef() override
    {
        for (Item& i : items)
            if (i.submenu) CFRelease(i.submenu);
        --gLiveMenus;
    }
    struct Item {
        std::string text;
        MenuItemAttributes attributes = 0;
        bool checked = false;
        MenuRef submenu = nullptr; // retained
        void* refCon = nullptr;
    };
    MenuID id = 0;
    MenuAttributes attributes = 0;
    void* refCon0 = nullptr; // item 0: the menu's own
    std::vector<Item> items;
};

namespace
{

std::vector<MenuRef>& MenuList()
{
    static std::vector<MenuRef> list;
    return list;
}

std::set<MenuID>& LiveIds()
{
    static std::set<MenuID> ids;
    return ids;
}

OpaqueMenuRef::Item* ItemAt(MenuRef m, MenuItemIndex i)
{
    return m && i >= 1 && i <= m->items.size() ? &m->items[i - 1] : nullptr;
}

std::vector<cf_standin::MenuItemShown> ShownItems(MenuRef m, int depth)
{
    std::vector<cf_standin::MenuItemShown> items;
    for (const OpaqueMenuRef::Item& i : m->items) {
        cf_standin::MenuItemShown s;
        s.separator = (i.attributes & kMenuItemAttrSeparator) != 0;
        s.title = s.separator ? "" : i.text;
        s.enabled = (i.attributes & kMenuItemAttrDisabled) == 0;
        s.checked = i.checked;
        s.indented = (i.attributes & kMenuItemAttrSectionHeader) != 0;
        if (i.submenu && depth < 32) {
            s.hasSubmenu = true;
            s.submenu = ShownItems(i.submenu, depth + 1);
        }
        items.push_back(s);
    }
    return items;
}

} // namespace

SInt16 UniqueID(ResType)
{
    static SInt16 next = 1000;
    for (int tries = 0; tries < 0x7FFF; ++tries) {
        const SInt16 id = next;
        next = next >= 0x7FFE ? 1000 : SInt16(next + 1);
        if (!LiveIds().count(id) && !GetMenuHandle(id)) return id;
    }
    return 0;
}

OSStatus CreateNewMenu(MenuID id, MenuAttributes attributes, MenuRef* out)
{
    if (!out) return paramErr;
    auto* m = new OpaqueMenuRef;
    m->id = id;
    m->attributes = attributes;
    *out = m;
    return noErr;
}

MenuID GetMenuID(MenuRef m)
{
    return m ? m->id : 0;
}
UInt16 CountMenuItems(MenuRef m)
{
    return m ? UInt16(m->items.size()) : 0;
}

OSStatus AppendMenuItemTextWithCFString(MenuRef m, CFStringRef text, MenuItemAttributes attributes, MenuCommand,
                                        MenuItemIndex* out)
{
    if (!m) return paramErr;
    OpaqueMenuRef::Item item;
    item.text = Utf8(text);
    item.attributes = attributes;
    m->items.push_back(item);
    if (out) *out = MenuItemIndex(m->items.size());
    return noErr;
}

OSStatus InsertMenuItemTextWithCFString(MenuRef m, CFStringRef text, MenuItemIndex after, MenuItemAttributes attributes,
                                        MenuCommand)
{
    if (!m) return paramErr;
    OpaqueMenuRef::Item item;
    item.text = Utf8(text);
    item.attributes = attributes;
    const size_t at = std::min<size_t>(after, m->items.size());
    m->items.insert(m->items.begin() + long(at), item);
    return noErr;
}

void CheckMenuItem(MenuRef m, MenuItemIndex i, Boolean checked)
{
    if (OpaqueMenuRef::Item* item = ItemAt(m, i)) item->checked = checked != 0;
}

OSStatus SetMenuItemHierarchicalMenu(MenuRef m, MenuItemIndex i, MenuRef submenu)
{
    OpaqueMenuRef::Item* item = ItemAt(m, i);
    if (!item || submenu == m) return paramErr;
    if (submenu) CFRetain(submenu);
    if (item->submenu) CFRelease(item->submenu);
    item->submenu = submenu;
    return noErr;
}

OSStatus GetMenuItemHierarchicalMenu(MenuRef m, MenuItemIndex i, MenuRef* out)
{
    OpaqueMenuRef::Item* item = ItemAt(m, i);
    if (!item || !out) return paramErr;
    *out = item->submenu;
    return noErr;
}

OSStatus SetMenuItemRefConPtr(MenuRef m, MenuItemIndex i, void* refCon)
{
    if (m && i == 0) {
        m->refCon0 = refCon;
        return noErr;
    }
    OpaqueMenuRef::Item* item = ItemAt(m, i);
    if (!item) return paramErr;
    item->refCon = refCon;
    return noErr;
}

OSStatus GetMenuItemRefConPtr(MenuRef m, MenuItemIndex i, void** refCon)
{
    if (!refCon) return paramErr;
    if (m && i == 0) {
        *refCon = m->refCon0;
        return noErr;
    }
    OpaqueMenuRef::Item* item = ItemAt(m, i);
    if (!item) return paramErr;
    *refCon = item->refCon;
    return noErr;
}

OSStatus SetMenuItemRefCon(MenuRef m, MenuItemIndex i, UInt32 refCon)
{
    return SetMenuItemRefConPtr(m, i, reinterpret_cast<void*>(uintptr_t(refCon)));
}

OSStatus GetMenuItemRefCon(MenuRef m, MenuItemIndex i, UInt32* refCon)
{
    void* p = nullptr;
    const OSStatus r = GetMenuItemRefConPtr(m, i, &p);
    if (r == noErr && refCon) *refCon = UInt32(reinterpret_cast<uintptr_t>(p));
    return r;
}

void InsertMenu(MenuRef m, MenuID)
{
    if (!m || std::find(MenuList().begin(), MenuList().end(), m) != MenuList().end()) return;
    CFRetain(m);
    MenuList().push_back(m);
    LiveIds().insert(m->id);
}

void DeleteMenu(MenuID id)
{
    auto& list = MenuList();
    for (auto it = list.begin(); it != list.end(); ++it)
        if ((*it)->id == id) {
            MenuRef m = *it;
            list.erase(it);
            LiveIds().erase(id);
            CFRelease(m);
            return;
        }
}

MenuRef GetMenuHandle(MenuID id)
{
    for (MenuRef m : MenuList())
        if (m->id == id) return m;
    return nullptr;
}

SInt32 PopUpMenuSelect(MenuRef menu, short top, short left, short)
{
    if (!menu) return 0;
    cf_standin::MenuShown shown;
    shown.items = ShownItems(menu, 0);
    shown.x = left;
    shown.y = top;
    const std::vector<int> path = cf_standin::presenter()->Menu(shown);
    MenuRef at = menu;
    for (size_t i = 0; i < path.size() && at; ++i) {
        if (path[i] < 0 || size_t(path[i]) >= at->items.size()) return 0;
        const OpaqueMenuRef::Item& item = at->items[size_t(path[i])];
        if (item.attributes & (kMenuItemAttrSeparator | kMenuItemAttrDisabled)) return 0;
        if (i + 1 == path.size())
            return item.submenu ? 0 : SInt32((uint32_t(uint16_t(at->id)) << 16) | uint32_t(path[i] + 1));
        at = item.submenu;
    }
    return 0;
}

OSStatus SetThemeCursor(ThemeCursor cursor)
{
    gCursor = cursor;
    return noErr;
}

// ---- stand-in controls ----

void carbon_standin::displayWindows()
{
    std::vector<WindowRef> windows = Windows();
    for (WindowRef w : windows) CFRetain(w);
    for (WindowRef w : windows) {
        if (w->Composited()) {
            if (w->root) DisplayView(w, w->root);
        } else if (w->needsUpdate) {
            UpdateControls(w, nullptr);
        }
        CFRelease(w);
    }
}

CGContextRef carbon_standin::windowStore(WindowRef w)
{
    return w ? w->store : nullptr;
}
long carbon_standin::renderCount()
{
    return gRenderCount;
}

long carbon_standin::drawCount()
{
    return gDrawCount;
}
ThemeCursor carbon_standin::currentThemeCursor()
{
    return gCursor;
}
int carbon_standin::menuListCount()
{
    return int(MenuList().size());
}
int carbon_standin::liveMenuCount()
{
    return gLiveMenus;
}
int carbon_standin::liveWindowCount()
{
    return gLiveWindows;
}

std::string carbon_standin::controlText(ControlRef c)
{
    return c ? Encode(c->text) : "";
}

void carbon_standin::controlSelection(ControlRef c, int* start, int* end)
{
    if (start) *start = c ? int(c->selStart) : 0;
    if (end) *end = c ? int(c->selEnd) : 0;
}

namespace {
std::mutex& frontMutex()
{
    static auto* m = new std::mutex;
    return *m;
}
std::vector<pid_t>& fronted()
{
    static auto* list = new std::vector<pid_t>;
    return *list;
}
} // namespace

OSStatus GetProcessForPID(pid_t pid, ProcessSerialNumber* psn)
{
    if (!psn || pid <= 0 || (kill(pid, 0) != 0 && errno != EPERM)) return procNotFound;
    *psn = ProcessSerialNumber{0, UInt32(pid)};
    return noErr;
}

OSErr SetFrontProcess(const ProcessSerialNumber* psn)
{
    if (!psn || psn->lowLongOfPSN == 0) return OSErr(procNotFound);
    std::lock_guard<std::mutex> lock(frontMutex());
    fronted().push_back(pid_t(psn->lowLongOfPSN));
    return noErr;
}

std::vector<pid_t> carbon_standin::frontProcesses()
{
    std::lock_guard<std::mutex> lock(frontMutex());
    return fronted();
}
