// qor-host's editor commands: the Cocoa route into a host window, events in surface pixels, the
// virtual clock, scripted answers and screenshots.
#include <AppKit/AppKit.h>
#include <AudioUnit/AUCocoaUIView.h>
#include <AudioUnit/AudioUnitCarbonView.h>
#include <Carbon/Carbon.h>
#include <CoreFoundation/CFPresenter.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

#include "Project_Source/src/DataFolder.h"
#include "host.h"
#include "kit/safefile.h"
#include "tools/pngwriter/png_writer.h"

namespace {

// The host window's content view: keys the editor passes on end here.
class HostContentView : public NSView {
    NS_STANDIN_CLASS(HostContentView)
public:
    void keyDown(NSEvent*) override { ++passedOn; }
    int passedOn = 0;
};
NS_STANDIN_CLASS_IMPL(HostContentView, NSView)

constexpr double kTick = 0.04;
constexpr double kMargin = 20;

unsigned long Modifiers(const Host::Args& a, size_t from)
{
    unsigned long flags = 0;
    for (size_t i = from; i < a.size(); ++i) {
        const std::string& w = a.w[i];
        if (w == "shift") flags |= NSShiftKeyMask;
        else if (w == "ctrl") flags |= NSControlKeyMask;
        else if (w == "alt") flags |= NSAlternateKeyMask;
        else if (w == "cmd") flags |= NSCommandKeyMask;
    }
    return flags;
}

struct KeyName {
    const char* name;
    unsigned short code;
    const char* chars;
};
// Named keys; a single character stands for itself.
const KeyName kKeyNames[] = {
    {"up", 126, "\xEF\x9C\x80"}, {"down", 125, "\xEF\x9C\x81"}, {"left", 123, "\xEF\x9C\x82"},
    {"right", 124, "\xEF\x9C\x83"}, {"space", 49, " "}, {"return", 36, "\r"}, {"tab", 48, "\t"},
    {"escape", 53, "\x1B"}, {"enter", 76, "\x03"}, {"backspace", 51, "\x7F"},
};
// Key codes of the letters a..z and digits 0..9 on the usual layout.
const unsigned short kLetterCodes[26] = {0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46,
                                         45, 31, 35, 12, 15, 1, 17, 32, 9, 13, 7, 16, 6};
const unsigned short kDigitCodes[10] = {29, 18, 19, 20, 21, 23, 22, 26, 28, 25};

// The presenter while qor-host runs: scripted answers as the built-in one, and each menu it is
// shown printed as one line.
class PrintingPresenter : public cf_standin::Presenter {
public:
    std::vector<int> Menu(const cf_standin::MenuShown& menu) override
    {
        if (print) print(menu);
        return Presenter::Menu(menu);
    }
    std::function<void(const cf_standin::MenuShown&)> print;
};

PrintingPresenter gMenuPresenter;

// The printing presenter, put in place on first use.
PrintingPresenter& MenuPresenter()
{
    PrintingPresenter& p = gMenuPresenter;
    if (cf_standin::presenter() != &p) {
        // Answers already scripted (alerts, panels) carry over.
        cf_standin::Presenter* old = cf_standin::presenter();
        p.alertAnswers = old->alertAnswers;
        p.panelAnswers = old->panelAnswers;
        cf_standin::setPresenter(&p);
    }
    return p;
}

unsigned short CodeForCharacter(char c)
{
    if (c >= 'a' && c <= 'z') return kLetterCodes[c - 'a'];
    if (c >= 'A' && c <= 'Z') return kLetterCodes[c - 'A'];
    if (c >= '0' && c <= '9') return kDigitCodes[c - '0'];
    return 0xFF; // no key of its own: the character decides
}

} // namespace

// Cocoa modifier flags as Carbon's.
UInt32 CarbonModifiers(unsigned long flags)
{
    UInt32 m = 0;
    if (flags & NSShiftKeyMask) m |= shiftKey;
    if (flags & NSControlKeyMask) m |= controlKey;
    if (flags & NSAlternateKeyMask) m |= optionKey;
    if (flags & NSCommandKeyMask) m |= cmdKey;
    return m;
}

bool Host::EditorPoint(const Args& a, double* x, double* y) const
{
    if (mCarbonWindow && a.size() >= 2) {
        // Window coordinates run down from the content's top left; the pane sits at its origin.
        HIRect f{};
        HIViewGetFrame(mCarbonPane, &f);
        *x = f.origin.x + a.Num(0) + 2.5;
        *y = f.origin.y + a.Num(1) + 3.5;
        return true;
    }
    if (!mEditorView || a.size() < 2) return false;
    const NSRect f = mEditorView->frame();
    // The view's events arrive 2 pixels right of and 3 below the surface pixel they name.
    *x = f.origin.x + a.Num(0) + 2.5;
    *y = f.origin.y + (f.size.height - 3 - a.Num(1)) + 0.5;
    return true;
}

void Host::SendKey(const std::string& chars, unsigned short code, unsigned long flags)
{
    NSString* s = NSString::stringWithUTF8String(chars.c_str());
    ns_standin::dispatch(NSEvent::keyEventWithType(NSKeyDown, NSMakePoint(0, 0), flags, CFAbsoluteTimeGetCurrent(),
                                                   mWindow->windowNumber(), nullptr, s, s, false, code));
}

void Host::SendMouse(unsigned long type, double x, double y, unsigned long flags, long clicks)
{
    ns_standin::dispatch(NSEvent::mouseEventWithType(type, NSMakePoint(x, y), flags, CFAbsoluteTimeGetCurrent(),
                                                     mWindow->windowNumber(), nullptr, 0, clicks, 1));
}

void Host::SendCarbonMouse(UInt32 kind, double x, double y, UInt32 modifiers, UInt16 button, UInt32 clicks)
{
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassMouse, kind, 0, 0, &e);
    const HIPoint at{x, y};
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof at, &at);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    SetEventParameter(e, kEventParamMouseButton, typeMouseButton, sizeof button, &button);
    SetEventParameter(e, kEventParamClickCount, typeUInt32, sizeof clicks, &clicks);
    SendEventToEventTarget(e, GetWindowEventTarget(mCarbonWindow));
    ReleaseEvent(e);
    carbon_standin::displayWindows();
}

OSStatus Host::SendCarbonKey(char c, UInt32 code, UInt32 modifiers)
{
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassKeyboard, kEventRawKeyDown, 0, 0, &e);
    SetEventParameter(e, kEventParamKeyMacCharCodes, typeChar, 1, &c);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    // Keys go to the focused control first, and on to the window.
    ControlRef focus = nullptr;
    GetKeyboardFocus(mCarbonWindow, &focus);
    const OSStatus r =
        SendEventToEventTarget(e, focus ? GetControlEventTarget(focus) : GetWindowEventTarget(mCarbonWindow));
    ReleaseEvent(e);
    carbon_standin::displayWindows();
    return r;
}

void Host::CloseCarbonEditor()
{
    if (!mCarbonWindow) return;
    if (mCarbonView) CloseComponent(mCarbonView); // closes the editor's side
    mCarbonView = nullptr;
    mCarbonPane = nullptr;
    DisposeWindow(mCarbonWindow);
    mCarbonWindow = nullptr;
}

void Host::CloseEditor()
{
    // Menus print through this host only while it has an editor open.
    gMenuPresenter.print = nullptr;
    CloseCarbonEditor();
    if (!mEditorView) return;
    NSView* view = mEditorView;
    mEditorView = nullptr;
    view->removeFromSuperview();
    view->release();
    mWindow->close();
    mWindow->release();
    mWindow = nullptr;
    ns_standin::drainLoopPool();
}

void Host::ForgetPresented()
{
    cf_standin::Presenter& p = *cf_standin::presenter();
    p.alertAnswers.clear();
    p.panelAnswers.clear();
    p.menuAnswers.clear();
    p.modalActions.clear();
    p.alerts.clear();
    p.panels.clear();
    p.urls.clear();
    p.opens.clear();
    p.menus.clear();
    p.modalRuns.clear();
}

std::vector<Host::Command> Host::EditorCommands()
{
    using A = const Args&;
    using S = const std::string&;
    // Mouse commands: one or two events at a surface pixel.
    auto mouse = [](Host& h, S cmd, A a) {
        double x = 0, y = 0;
        if (!h.EditorPoint(a, &x, &y)) return h.Print("%s: no editor or no X Y", cmd.c_str());
        const unsigned long mods = Modifiers(a, cmd == "wheel" ? 3 : 2);
        if (h.mCarbonWindow) {
            const UInt32 m = CarbonModifiers(mods);
            const UInt16 button = cmd == "rclick" ? kEventMouseButtonSecondary : kEventMouseButtonPrimary;
            if (cmd == "click" || cmd == "rclick" || cmd == "dblclick") {
                h.SendCarbonMouse(kEventMouseDown, x, y, m, button, 1);
                h.SendCarbonMouse(kEventMouseUp, x, y, m, button, 1);
                if (cmd == "dblclick") {
                    h.SendCarbonMouse(kEventMouseDown, x, y, m, button, 2);
                    h.SendCarbonMouse(kEventMouseUp, x, y, m, button, 2);
                }
            } else if (cmd == "press") {
                h.SendCarbonMouse(kEventMouseDown, x, y, m, button, 1);
            } else if (cmd == "drag") {
                h.SendCarbonMouse(kEventMouseDragged, x, y, m, button, 1);
            } else if (cmd == "release") {
                h.SendCarbonMouse(kEventMouseUp, x, y, m, button, 1);
            } else if (cmd == "move") {
                h.SendCarbonMouse(kEventMouseMoved, x, y, m, 0, 0);
            } else if (cmd == "wheel") {
                EventRef e = nullptr;
                CreateEvent(nullptr, kEventClassMouse, kEventMouseWheelMoved, 0, 0, &e);
                const HIPoint at{x, y};
                const EventMouseWheelAxis axis = kEventMouseWheelAxisY;
                const SInt32 delta = a.Int(2);
                SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof at, &at);
                SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof m, &m);
                SetEventParameter(e, kEventParamMouseWheelAxis, typeMouseWheelAxis, sizeof axis, &axis);
                SetEventParameter(e, kEventParamMouseWheelDelta, typeSInt32, sizeof delta, &delta);
                SendEventToEventTarget(e, GetWindowEventTarget(h.mCarbonWindow));
                ReleaseEvent(e);
                carbon_standin::displayWindows();
            }
            return h.Print("%s: %d %d", cmd.c_str(), a.Int(0), a.Int(1));
        }
        if (cmd == "click") {
            h.SendMouse(NSLeftMouseDown, x, y, mods, 1);
            h.SendMouse(NSLeftMouseUp, x, y, mods, 1);
        } else if (cmd == "rclick") {
            h.SendMouse(NSRightMouseDown, x, y, mods, 1);
            h.SendMouse(NSRightMouseUp, x, y, mods, 1);
        } else if (cmd == "dblclick") {
            h.SendMouse(NSLeftMouseDown, x, y, mods, 1);
            h.SendMouse(NSLeftMouseUp, x, y, mods, 1);
            h.SendMouse(NSLeftMouseDown, x, y, mods, 2);
            h.SendMouse(NSLeftMouseUp, x, y, mods, 2);
        } else if (cmd == "press") {
            h.SendMouse(NSLeftMouseDown, x, y, mods, 1);
        } else if (cmd == "drag") {
            h.SendMouse(NSLeftMouseDragged, x, y, mods, 1);
        } else if (cmd == "release") {
            h.SendMouse(NSLeftMouseUp, x, y, mods, 1);
        } else if (cmd == "move") {
            h.SendMouse(NSMouseMoved, x, y, mods, 0);
        } else if (cmd == "wheel") {
            ns_standin::dispatch(ns_standin::scrollWheelEvent(h.mWindow, NSMakePoint(x, y), mods, a.Num(2)));
        }
        h.Print("%s: %d %d", cmd.c_str(), a.Int(0), a.Int(1));
    };
    // Menus are modal: their answers are queued first, and each one shown is printed.
    static const auto watchMenus = [](Host& h) -> PrintingPresenter& {
        PrintingPresenter& p = MenuPresenter();
        p.print = [&h](const cf_standin::MenuShown& m) {
            h.Print("menu: at %g,%g: %s", m.x, m.y, cf_standin::MenuLine(m).c_str());
        };
        return p;
    };
    static const auto run = [](Host& h, S cmd, double seconds, int steps) {
        const long drawn = ns_standin::drawCount() + carbon_standin::drawCount();
        int fired = 0;
        for (int i = 0; i < steps; ++i) {
            fired += ns_standin::runFor(seconds);
            carbon_standin::displayWindows();
        }
        h.Print("%s: fired %d drew %ld", cmd.c_str(), fired,
                ns_standin::drawCount() + carbon_standin::drawCount() - drawn);
    };
    return {
        {"uisize", "small|normal|large", false,
         [](Host& h, S, A a) {
             const std::string size = a.Word(0);
             if (size != "small" && size != "normal" && size != "large") return h.Print("uisize: unknown size");
             const std::string path = DataFolder::uiFilePath();
             std::vector<std::string> lines;
             std::ifstream in(path);
             for (std::string line; lines.size() < 5 && std::getline(in, line);) lines.push_back(line);
             lines.resize(5);
             lines[1] = size;
             std::string text;
             for (const std::string& l : lines) text += l + "\n";
             std::string error;
             if (!kit::WriteFileReplacing(path, text.data(), text.size(), &error))
                 return h.Print("uisize: %s", error.c_str());
             h.Print("uisize: %s", size.c_str());
         }},
        {"editor-open", "", true,
         [](Host& h, S, A) {
             // A second open replaces the window, as one left by a closed unit would be.
             h.CloseEditor();
             AudioUnitCocoaViewInfo info{};
             UInt32 size = sizeof info;
             OSStatus r = AudioUnitGetProperty(h.Unit(), kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &info,
                                               &size);
             if (r != noErr) return h.Print("editor-open: %d", int(r));
             NSAutoreleasePool pool;
             Class c = info.mCocoaAUViewClass[0] ? objc_getClass(CFStringGetCStringPtr(info.mCocoaAUViewClass[0],
                                                                                       kCFStringEncodingUTF8))
                                                 : nullptr;
             if (info.mCocoaAUViewClass[0]) CFRelease(info.mCocoaAUViewClass[0]);
             if (info.mCocoaAUViewBundleLocation) CFRelease(info.mCocoaAUViewBundleLocation);
             NSObject* factory = c ? c->alloc()->init() : nullptr;
             auto* ui = dynamic_cast<AUCocoaUIBase*>(factory);
             NSView* view = ui ? ui->uiViewForAudioUnit(h.Unit(), NSMakeSize(0, 0)) : nullptr;
             if (factory) factory->release();
             if (!view) return h.Print("editor-open: no view");
             h.mEditorView = static_cast<NSView*>(view->retain());
             const NSRect f = view->frame();
             h.mWindow = static_cast<NSWindow*>(NSWindow::class_()->alloc());
             h.mWindow->initWithContentRect(NSMakeRect(100, 100, f.size.width + 2 * kMargin, f.size.height + 2 * kMargin),
                                            NSTitledWindowMask, NSBackingStoreBuffered, false);
             auto* content = static_cast<HostContentView*>(HostContentView::class_()->alloc());
             content->initWithFrame(NSMakeRect(0, 0, f.size.width + 2 * kMargin, f.size.height + 2 * kMargin));
             h.mWindow->setContentView(content);
             content->release();
             view->setFrameOrigin(NSMakePoint(kMargin, kMargin));
             content->addSubview(view);
             h.mWindow->makeKeyWindow();
             watchMenus(h);
             ns_standin::displayWindows();
             h.Print("editor-open: %dx%d", int(f.size.width), int(f.size.height));
         }},
        {"carbon-editor", "composited|plain", true,
         [](Host& h, S, A a) {
             const std::string kind = a.Word(0, "composited");
             if (kind != "composited" && kind != "plain") return h.Print("carbon-editor: unknown kind");
             if (!h.mViewComponent) return h.Print("carbon-editor: no view entry");
             h.CloseEditor();
             // A provisional window, sized to the editor once its pane exists, as hosts do.
             const Rect bounds{100, 100, 200, 200};
             const WindowAttributes attributes =
                 kind == "composited" ? kWindowCompositingAttribute | kWindowStandardHandlerAttribute
                                      : kWindowStandardHandlerAttribute;
             if (CreateNewWindow(kDocumentWindowClass, attributes, &bounds, &h.mCarbonWindow) != noErr)
                 return h.Print("carbon-editor: no window");
             OSStatus r = OpenAComponent(h.mViewComponent, &h.mCarbonView);
             ControlRef pane = nullptr;
             const Float32Point at{0, 0}, size{0, 0};
             OSStatus c = r == noErr ? AudioUnitCarbonViewCreate(h.mCarbonView, h.Unit(), h.mCarbonWindow, nullptr, &at,
                                                                 &size, &pane)
                                     : r;
             if (c != noErr || !pane) {
                 h.CloseCarbonEditor();
                 return h.Print("carbon-editor: open %d create %d no pane", int(r), int(c));
             }
             h.mCarbonPane = pane;
             HIRect f{};
             HIViewGetFrame(pane, &f);
             const Rect sized{100, 100, short(100 + f.size.height), short(100 + f.size.width)};
             SetWindowBounds(h.mCarbonWindow, kWindowContentRgn, &sized);
             ShowWindow(h.mCarbonWindow);
             watchMenus(h);
             carbon_standin::displayWindows();
             h.Print("carbon-editor: %s %dx%d", kind.c_str(), int(f.size.width), int(f.size.height));
         }},
        {"editor-close", "", false,
         [](Host& h, S, A) {
             if (h.mCarbonWindow) {
                 h.CloseCarbonEditor();
                 return h.Print("editor-close: 0");
             }
             if (!h.mEditorView) return h.Print("editor-close: none");
             h.CloseEditor();
             h.Print("editor-close: 0");
         }},
        {"tick", "[N]", false, [](Host& h, S cmd, A a) { run(h, cmd, kTick, a.Int(0, 1)); }},
        {"advance", "MS", false, [](Host& h, S cmd, A a) { run(h, cmd, a.Num(0) / 1000.0, 1); }},
        {"click", "X Y [shift|ctrl|alt|cmd...]", false, mouse},
        {"rclick", "X Y [mods]", false, mouse},
        {"dblclick", "X Y [mods]", false, mouse},
        {"press", "X Y [mods]", false, mouse},
        {"drag", "X Y [mods]", false, mouse},
        {"release", "X Y [mods]", false, mouse},
        {"move", "X Y [mods]", false, mouse},
        {"wheel", "X Y D [mods]", false, mouse},
        {"key", "NAME|CHAR [mods]", false,
         [](Host& h, S, A a) {
             if ((!h.mEditorView && !h.mCarbonWindow) || a.size() < 1) return h.Print("key: no editor or no key");
             std::string chars = a.w[0];
             unsigned short code = chars.size() == 1 ? CodeForCharacter(chars[0]) : 0xFF;
             for (const KeyName& k : kKeyNames)
                 if (chars == k.name) {
                     code = k.code;
                     chars = k.chars;
                 }
             if (h.mCarbonWindow) {
                 // The Carbon delete key sends a backspace.
                 const char c = chars == "\x7F" ? '\b' : chars.size() == 1 ? chars[0] : 0;
                 const OSStatus r = h.SendCarbonKey(c, code, CarbonModifiers(Modifiers(a, 1)));
                 return h.Print("key %s: %s", a.w[0].c_str(), r == noErr ? "kept" : "passed on");
             }
             auto* content = static_cast<HostContentView*>(h.mWindow->contentView());
             const int before = content->passedOn;
             h.SendKey(chars, code, Modifiers(a, 1));
             h.Print("key %s: %s", a.w[0].c_str(), content->passedOn > before ? "passed on" : "kept");
         }},
        {"type", "TEXT", false,
         [](Host& h, S, A a) {
             if (!h.mEditorView && !h.mCarbonWindow) return h.Print("type: no editor");
             std::string text;
             for (size_t i = 0; i < a.size(); ++i) text += (i ? " " : "") + a.w[i];
             // One key per byte: the stand-in's keys carry ASCII.
             for (char c : text) {
                 if (h.mCarbonWindow) h.SendCarbonKey(c, CodeForCharacter(c), 0);
                 else h.SendKey(std::string(1, c), CodeForCharacter(c), 0);
             }
             h.Print("type: %s", text.c_str());
         }},
        {"menu-next", "PATH|dismiss", false,
         [](Host& h, S, A a) {
             // PATH: item indexes from the top menu into submenus, joined by dots (1.2).
             const std::string w = a.Word(0, "dismiss");
             std::vector<int> path;
             if (w != "dismiss") {
                 std::stringstream in(w);
                 for (std::string part; std::getline(in, part, '.');) {
                     char* end = nullptr;
                     const long i = std::strtol(part.c_str(), &end, 10);
                     if (part.empty() || *end || i < 0 || i > 100000) return h.Print("menu-next: bad path %s", w.c_str());
                     path.push_back(int(i));
                 }
             }
             watchMenus(h).menuAnswers.push_back(path);
             h.Print("menu-next: %s", w.c_str());
         }},
        {"alert-next", "default|alternate|other", false,
         [](Host& h, S, A a) {
             const std::string w = a.Word(0);
             unsigned long answer = w == "default"     ? kCFUserNotificationDefaultResponse
                                    : w == "alternate" ? kCFUserNotificationAlternateResponse
                                    : w == "other"     ? kCFUserNotificationOtherResponse
                                                       : kCFUserNotificationCancelResponse;
             cf_standin::presenter()->alertAnswers.push_back(answer);
             h.Print("alert-next: %s", w.c_str());
         }},
        {"panel-next", "PATH|cancel", false,
         [](Host& h, S, A a) {
             // A path may hold blanks: it is the rest of the line.
             const std::string w = a.rest.empty() ? "cancel" : a.rest;
             cf_standin::presenter()->panelAnswers.push_back(w == "cancel" ? "" : w);
             h.Print("panel-next: %s", w.c_str());
         }},
        {"screenshot", "FILE", false,
         [](Host& h, S, A a) {
             if ((!h.mEditorView && !h.mCarbonWindow) || a.size() < 1)
                 return h.Print("screenshot: no editor or no file");
             CGContextRef store = nullptr;
             NSRect f{};
             size_t top = 0;
             if (h.mCarbonWindow) {
                 // Carbon frames run downward from the content's top left.
                 store = carbon_standin::windowStore(h.mCarbonWindow);
                 HIViewGetFrame(h.mCarbonPane, &f);
                 top = size_t(f.origin.y);
             } else {
                 store = h.mWindow->backingStore();
                 f = h.mEditorView->frame();
             }
             const int w = int(f.size.width), ht = int(f.size.height);
             const size_t bpr = CGBitmapContextGetBytesPerRow(store), storeH = CGBitmapContextGetHeight(store);
             if (!h.mCarbonWindow) top = storeH - size_t(f.origin.y) - size_t(ht);
             if (top + size_t(ht) > storeH || size_t(f.origin.x) + size_t(w) > CGBitmapContextGetWidth(store))
                 return h.Print("screenshot: the editor lies outside its window");
             const uint8_t* base = static_cast<const uint8_t*>(CGBitmapContextGetData(store));
             // The store skips its alpha byte: the screenshot is opaque.
             std::vector<uint32_t> words(size_t(w) * size_t(ht));
             for (int y = 0; y < ht; ++y) {
                 std::memcpy(&words[size_t(y) * size_t(w)], base + (top + size_t(y)) * bpr + size_t(f.origin.x) * 4,
                             size_t(w) * 4);
                 for (int x = 0; x < w; ++x) reinterpret_cast<uint8_t*>(&words[size_t(y) * size_t(w) + x])[0] = 255;
             }
             const bool ok = pngw::writeFile(pngw::encodeArgbWords(words.data(), w, ht, w), a.w[0]);
             h.Print("screenshot: %s %dx%d%s", a.w[0].c_str(), w, ht, ok ? "" : " failed");
         }},
    };
}
