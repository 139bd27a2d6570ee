#pragma once
// The responder chain: an event a responder does not handle goes to its next responder.
#include <Foundation/Foundation.h>

class NSEvent;

class NSResponder : public NSObject {
    NS_STANDIN_CLASS(NSResponder)
public:
    NSResponder() = default;
    virtual NSResponder* nextResponder() const { return mNextResponder; }
    void setNextResponder(NSResponder* r) { mNextResponder = r; }
    virtual bool acceptsFirstResponder() { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

    // By default each passes the event on; the last responder drops it.
    virtual void mouseDown(NSEvent* e) { passOn(&NSResponder::mouseDown, e); }
    virtual void mouseUp(NSEvent* e) { passOn(&NSResponder::mouseUp, e); }
    virtual void mouseDragged(NSEvent* e) { passOn(&NSResponder::mouseDragged, e); }
    virtual void rightMouseDown(NSEvent* e) { passOn(&NSResponder::rightMouseDown, e); }
    virtual void rightMouseUp(NSEvent* e) { passOn(&NSResponder::rightMouseUp, e); }
    virtual void rightMouseDragged(NSEvent* e) { passOn(&NSResponder::rightMouseDragged, e); }
    virtual void mouseMoved(NSEvent* e) { passOn(&NSResponder::mouseMoved, e); }
    virtual void scrollWheel(NSEvent* e) { passOn(&NSResponder::scrollWheel, e); }
    virtual void keyDown(NSEvent* e) { passOn(&NSResponder::keyDown, e); }
    virtual void keyUp(NSEvent* e) { passOn(&NSResponder::keyUp, e); }
    virtual void otherMouseDown(NSEvent* e) { passOn(&NSResponder::otherMouseDown, e); }
    virtual void otherMouseUp(NSEvent* e) { passOn(&NSResponder::otherMouseUp, e); }
    virtual void otherMouseDragged(NSEvent* e) { passOn(&NSResponder::otherMouseDragged, e); }
    virtual void magnifyWithEvent(NSEvent* e) { passOn(&NSResponder::magnifyWithEvent, e); }
    virtual void rotateWithEvent(NSEvent* e) { passOn(&NSResponder::rotateWithEvent, e); }
    virtual void swipeWithEvent(NSEvent* e) { passOn(&NSResponder::swipeWithEvent, e); }
    // The Escape key's action: it goes up the chain until a responder takes it.
    virtual void cancelOperation(NSObject* sender)
    {
        if (NSResponder* next = nextResponder()) next->cancelOperation(sender);
    }

private:
    void passOn(void (NSResponder::*handler)(NSEvent*), NSEvent* e)
    {
        if (NSResponder* next = nextResponder()) (next->*handler)(e);
    }
    NSResponder* mNextResponder = nullptr; // not retained
};
