#pragma once
// OpenGL pixel formats and contexts as records: there is no GL here. A context remembers its
// view, whether it is the thread's current one and how often it was told to update.
#include <cstdint>
#include <vector>

#include "NSView.h"

typedef uint32_t NSOpenGLPixelFormatAttribute;
enum : NSOpenGLPixelFormatAttribute { NSOpenGLPFAAllowOfflineRenderers = 96 };

class NSOpenGLPixelFormat : public NSObject
{
    NS_STANDIN_CLASS(NSOpenGLPixelFormat)
public:
    NSOpenGLPixelFormat() = default;
    // The attributes up to the terminating 0 (null: none).
    NSOpenGLPixelFormat* initWithAttributes(const NSOpenGLPixelFormatAttribute* attributes);
    const std::vector<NSOpenGLPixelFormatAttribute>& attributes() const { return mAttributes; }

private:
    std::vector<NSOpenGLPixelFormatAttribute> mAttributes;
};

class NSOpenGLContext : public NSObject
{
    NS_STANDIN_CLASS(NSOpenGLContext)
public:
    NSOpenGLContext() = default;
    ~NSOpenGLContext() override;
    // Null, and the object released, without a format.
    NSOpenGLContext* initWithFormat(NSOpenGLPixelFormat* format, NSOpenGLContext* share);
    // The view drawn into; not retained.
    void setView(NSView* view) { mView = view; }
    NSView* view() const { return mView; }
    void makeCurrentContext();
    // The current context of the process, or null (not retained).
    static NSOpenGLContext* currentContext();
    static void clearCurrentContext();
    void update() { ++mUpdates; }
    int updateCount() const { return mUpdates; }
    // The attributes of the format it was made from.
    const std::vector<NSOpenGLPixelFormatAttribute>& formatAttributes() const { return mAttributes; }
    NSOpenGLContext* sharedContext() const { return mShare; }

private:
    NSView* mView = nullptr;
    NSOpenGLContext* mShare = nullptr; // not retained
    std::vector<NSOpenGLPixelFormatAttribute> mAttributes;
    int mUpdates = 0;
};
