#pragma once
// Points, sizes and rectangles of AppKit: the CoreGraphics ones, y upward.
#include <CoreGraphics/CoreGraphics.h>

typedef CGPoint NSPoint;
typedef CGSize NSSize;
typedef CGRect NSRect;

inline NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return CGRectMake(x, y, w, h); }
inline NSPoint NSMakePoint(CGFloat x, CGFloat y) { return CGPointMake(x, y); }
inline NSSize NSMakeSize(CGFloat w, CGFloat h) { return CGSize{w, h}; }
inline bool NSIsEmptyRect(NSRect r) { return !(r.size.width > 0) || !(r.size.height > 0); }
// The smallest rectangle holding both; an empty one does not count.
NSRect NSUnionRect(NSRect a, NSRect b);
NSRect NSIntersectionRect(NSRect a, NSRect b);
// Half-open on the far edges.
bool NSPointInRect(NSPoint p, NSRect r);
inline NSRect NSInsetRect(NSRect r, CGFloat dx, CGFloat dy)
{
    return NSMakeRect(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy);
}
