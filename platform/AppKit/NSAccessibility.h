#pragma once
// The accessibility protocol: how an object describes itself to assistive software. Views take
// part in it; other objects (accessibility elements) may too.
#include "NSGeometry.h"

#include <Foundation/Foundation.h>

#define NSAccessibilityChildrenAttribute "AXChildren"
#define NSAccessibilityVisibleChildrenAttribute "AXVisibleChildren"

class NSString;

class NSAccessibility {
public:
    // An ignored object stands aside: its children take its place.
    virtual bool accessibilityIsIgnored() { return false; }
    // The element at a window point; the object itself when it has nothing deeper.
    virtual NSObject* accessibilityHitTest(NSPoint) { return self(); }
    virtual NSObject* accessibilityFocusedUIElement() { return self(); }
    // The children attributes (autoreleased array), null for others.
    virtual NSArray* accessibilityAttributeValue(const char*) { return nullptr; }
    // The text an element shows (a static text's value), null when it shows none.
    virtual NSString* accessibilityValue() { return nullptr; }

protected:
    ~NSAccessibility() = default;
    virtual NSObject* self() = 0;
};

// The elements of the list, with each ignored one replaced by its own unignored children.
// Autoreleased.
NSArray* NSAccessibilityUnignoredChildren(NSArray* children);

// A plain element that describes itself.
class NSAccessibilityElement : public NSObject, public NSAccessibility {
    NS_STANDIN_CLASS(NSAccessibilityElement)
public:
    NSAccessibilityElement() = default;
    ~NSAccessibilityElement() override;
    bool accessibilityIsIgnored() override { return mIgnored; }
    void setAccessibilityIgnored(bool on) { mIgnored = on; }
    NSString* accessibilityValue() override { return mValue; }
    void setAccessibilityValue(NSString* value); // retained

protected:
    NSObject* self() override { return this; }

private:
    bool mIgnored = false;
    NSString* mValue = nullptr;
};
