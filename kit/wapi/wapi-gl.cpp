// OpenGL contexts on layer views: made from a pixel format that allows offline renderers, made
// current on request and around each paint (wapi-paint.cpp).
#include "kit/wapi/wapi-bridges.h"
#include "kit/wapi/wapi-internal.h"

void WAPI_SetViewGL(HWND hwnd, bool enable) {
  auto* view = wapiAs<Wapi_vQOR_hwnd>(wapiObject(hwnd));
  if (!view || (view->wapiGLContext() != nullptr) == enable) return;
  if (enable) {
    const NSOpenGLPixelFormatAttribute attributes[] = {NSOpenGLPFAAllowOfflineRenderers, 0};
    auto* format =
        static_cast<NSOpenGLPixelFormat*>(NSOpenGLPixelFormat::class_()->alloc())->initWithAttributes(attributes);
    auto* context = static_cast<NSOpenGLContext*>(NSOpenGLContext::class_()->alloc())->initWithFormat(format, nullptr);
    format->release();
    view->wapiSetGLContext(context);
    return;
  }
  auto* context = static_cast<NSOpenGLContext*>(view->wapiGLContext());
  if (NSOpenGLContext::currentContext() == context) NSOpenGLContext::clearCurrentContext();
  view->wapiSetGLContext(nullptr);
  context->release();
}

bool WAPI_GetViewGL(HWND hwnd) {
  auto* view = wapiAs<Wapi_vQOR_hwnd>(wapiObject(hwnd));
  return view && view->wapiGLContext();
}

bool WAPI_SetGLContextToView(HWND hwnd) {
  if (!hwnd) {
    NSOpenGLContext::clearCurrentContext();
    return false;
  }
  auto* view = wapiAs<Wapi_vQOR_hwnd>(wapiObject(hwnd));
  auto* context = view ? static_cast<NSOpenGLContext*>(view->wapiGLContext()) : nullptr;
  if (!context) return false;
  context->makeCurrentContext();
  return true;
}
