#pragma once
// The editor's Cocoa view: a timer at the surface's frame rate asks the surface what is dirty
// and invalidates it; drawRect lets the surface draw; mouse, wheel and key events become the
// surface's calls. A view without its surface (after close) ignores events.
#include <AppKit/AppKit.h>

class IGraphicsMac;

class IGraphicsCocoa_vQOR_au : public NSView {
    NS_STANDIN_CLASS(IGraphicsCocoa_vQOR_au)
public:
    IGraphicsCocoa_vQOR_au() = default;
    ~IGraphicsCocoa_vQOR_au() override;
    NSObject* init() override;
    IGraphicsCocoa_vQOR_au* initWithIGraphics(IGraphicsMac* graphics);

    bool isOpaque() override { return mGraphics != nullptr; }
    bool acceptsFirstResponder() override { return true; }
    bool acceptsFirstMouse(NSEvent*) override { return true; }
    void viewDidMoveToWindow() override;
    void drawRect(NSRect rect) override;
    void onTimer(NSTimer* timer);
    void getMouseXY(NSEvent* event, int* x, int* y);
    void mouseDown(NSEvent* e) override;
    void mouseUp(NSEvent* e) override;
    void mouseDragged(NSEvent* e) override;
    void rightMouseDown(NSEvent* e) override;
    void rightMouseUp(NSEvent* e) override;
    void rightMouseDragged(NSEvent* e) override;
    void mouseMoved(NSEvent* e) override;
    void keyDown(NSEvent* e) override;
    void scrollWheel(NSEvent* e) override;
    void killTimer();
    // Closes the surface's side too, then leaves the superview.
    void removeFromSuperview() override;
    void endUserInput() {}

    IGraphicsMac* Graphics() const { return mGraphics; }
    NSTimer* Timer() const { return mTimer; }

    // The surface's key number for a key code and its one character, or -1 for keys the
    // surface does not know.
    static int KeyNumber(unsigned short keyCode, const char* character);

private:
    friend class IGraphicsMac;
    NSTimer* mTimer = nullptr; // kept by the run loop until killed
    int mPrevX = 0, mPrevY = 0;
    IGraphicsMac* mGraphics = nullptr;
};
