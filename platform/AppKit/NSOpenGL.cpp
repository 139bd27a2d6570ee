#include "NSOpenGL.h"

NS_STANDIN_CLASS_IMPL(NSOpenGLPixelFormat, NSObject)
NS_STANDIN_CLASS_IMPL(NSOpenGLContext, NSObject)

namespace
{
NSOpenGLContext* gCurrent = nullptr; // main thread only
} // namespace

NSOpenGLPixelFormat* NSOpenGLPixelFormat::initWithAttributes(const NSOpenGLPixelFormatAttribute* attributes)
{
    mAttributes.clear();
    for (const NSOpenGLPixelFormatAttribute* a = attributes; a && *a; ++a) mAttributes.push_back(*a);
    return this;
}

NSOpenGLContext::~NSOpenGLContext()
{
    // A context that goes stops being current.
    if (gCurrent == this) gCurrent = nullptr;
}

NSOpenGLContext* NSOpenGLContext::initWithFormat(NSOpenGLPixelFormat* format, NSOpenGLContext* share)
{
    if (!format) {
        release();
        return nullptr;
    }
    mAttributes = format->attributes();
    mShare = share;
    return this;
}

void NSOpenGLContext::makeCurrentContext()
{
    gCurrent = this;
}

NSOpenGLContext* NSOpenGLContext::currentContext()
{
    return gCurrent;
}

void NSOpenGLContext::clearCurrentContext()
{
    gCurrent = nullptr;
}
