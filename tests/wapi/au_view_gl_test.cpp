// An Audio Unit's own Cocoa view taken from its bundle through the class registry, and OpenGL
// contexts on layer views made current around their paint.
#include "tests/wapi/window_fixture.h"

#include "kit/wapi/wapi-bridges.h"
#include "kit/wapi/wapi-gdi.h"
#include "tests/support/testpaths.h"

#include <AudioUnit/AUCocoaUIView.h>

#include <string>

// A conforming factory of this program, not of the bundle.
class OutsideFactory : public NSObject, public AUCocoaUIBase {
  NS_STANDIN_CLASS(OutsideFactory)

 public:
  OutsideFactory() = default;
  unsigned interfaceVersion() override { return 0; }
  NSView* uiViewForAudioUnit(AudioUnit, NSSize) override {
    return static_cast<NSView*>(NSView::class_()->alloc()->autorelease());
  }
};
NS_STANDIN_CLASS_IMPL(OutsideFactory, NSObject)
NS_STANDIN_CLASS_ADOPTS(OutsideFactory, AUCocoaUIBase)

namespace {

std::string probeBundle() {
  return testsupport::binaryDir() + "/tests/ViewProbe.bundle";
}

// The information as a unit hands it out; its strings are released with it.
struct ViewInfo {
  ViewInfo(const std::string& bundle, const char* className) {
    CFStringRef path = CFStringCreateWithCString(nullptr, bundle.c_str(), kCFStringEncodingUTF8);
    info.mCocoaAUViewBundleLocation = CFURLCreateWithFileSystemPath(nullptr, path, kCFURLPOSIXPathStyle, true);
    CFRelease(path);
    info.mCocoaAUViewClass[0] =
        className ? CFStringCreateWithCString(nullptr, className, kCFStringEncodingUTF8) : nullptr;
  }
  ~ViewInfo() {
    CFRelease(info.mCocoaAUViewBundleLocation);
    if (info.mCocoaAUViewClass[0]) CFRelease(info.mCocoaAUViewClass[0]);
  }
  AudioUnitCocoaViewInfo info{};
};

using AudioUnitView = WindowTest;

TEST_F(AudioUnitView, AConformingClassOfTheBundleGivesItsViewAndTheSizeItHas) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* parent = makeView(nullptr, w, nullptr);
  ViewInfo probe(probeBundle(), "ViewFactoryProbe");
  RECT size{10, 20, 110, 70};
  HWND view = WAPI_GetAudioUnitCocoaView(H(parent), nullptr, &probe.info, &size);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(wapiAs<NSView>(wapiObject(view))->superview(), parent);
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.top, 0);
  EXPECT_EQ(size.right, 101) << "asked for 100 wide; the probe answers one more";
  EXPECT_EQ(size.bottom, 51);
  ns_standin::drainLoopPool();
  Class factory = objc_getClass("ViewFactoryProbe");
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(ns_standin::liveCount(factory), 0u) << "the factory is released";
}

TEST_F(AudioUnitView, NoViewForAClassThatDoesNotConformOrIsMissingOrLivesElsewhere) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* parent = makeView(nullptr, w, nullptr);
  const struct Case {
    std::string bundle;
    const char* className;
    const char* why;
  } cases[] = {
      {probeBundle(), "PlainClass", "adopts no protocol"},
      {probeBundle(), "NoViewFactory", "conforms but gives no view"},
      {probeBundle(), "NoSuchClass", "missing name"},
      {probeBundle(), nullptr, "no class name"},
      {probeBundle(), "OutsideFactory", "a conforming class outside the bundle"},
      {probeBundle() + "-missing", "ViewFactoryProbe", "missing bundle"},
      {testsupport::binaryDir(), "ViewFactoryProbe", "a folder without the executable"},
  };
  for (const Case& c : cases) {
    ViewInfo info(c.bundle, c.className);
    RECT size{0, 0, 40, 30};
    EXPECT_EQ(WAPI_GetAudioUnitCocoaView(H(parent), nullptr, &info.info, &size), nullptr) << c.why;
    EXPECT_EQ(size.right, 40) << c.why;
  }
  EXPECT_TRUE(parent->subviews().empty());
  ViewInfo probe(probeBundle(), "ViewFactoryProbe");
  RECT size{0, 0, 40, 30};
  EXPECT_EQ(WAPI_GetAudioUnitCocoaView(nullptr, nullptr, &probe.info, &size), nullptr) << "no parent";
  ns_standin::drainLoopPool();
  EXPECT_EQ(ns_standin::liveCount(objc_getClass("NoViewFactory")), 0u);
}

// What a GL view's procedure sees while it paints.
struct GLPaint {
  NSOpenGLContext* current = nullptr;
  void* inContext = nullptr;
  NSView* contextView = nullptr;
  int updates = 0;
  int paints = 0;
} gPaint;

LRESULT GLProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  WindowTest::LoggingProc(h, m, w, l);
  if (m == WM_PAINT) {
    ++gPaint.paints;
    gPaint.current = NSOpenGLContext::currentContext();
    gPaint.inContext = reinterpret_cast<HDC>(w)->glContext;
    if (gPaint.current) {
      gPaint.contextView = gPaint.current->view();
      gPaint.updates = gPaint.current->updateCount();
    }
  }
  return 0;
}

using ViewGL = WindowTest;

TEST_F(ViewGL, TheContextIsCurrentAndUpdatedOnlyWhileTheViewPaints) {
  gPaint = GLPaint{};
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* view = makeView(nullptr, w, GLProc);
  view->setHidden(false);
  EXPECT_FALSE(WAPI_GetViewGL(H(view)));
  WAPI_SetViewGL(H(view), true);
  ASSERT_TRUE(WAPI_GetViewGL(H(view)));
  auto* gl = static_cast<NSOpenGLContext*>(view->wapiGLContext());
  EXPECT_EQ(gl->formatAttributes(), (std::vector<NSOpenGLPixelFormatAttribute>{NSOpenGLPFAAllowOfflineRenderers}));
  WAPI_SetViewGL(H(view), true);
  EXPECT_EQ(view->wapiGLContext(), gl) << "already on: the same context";

  view->setNeedsDisplay(true);
  ns_standin::displayWindows();
  ASSERT_EQ(gPaint.paints, 1);
  EXPECT_EQ(gPaint.current, gl);
  EXPECT_EQ(gPaint.inContext, gl);
  EXPECT_EQ(gPaint.contextView, view);
  EXPECT_EQ(gPaint.updates, 1);
  EXPECT_EQ(NSOpenGLContext::currentContext(), nullptr) << "released after the paint";

  EXPECT_TRUE(WAPI_SetGLContextToView(H(view)));
  EXPECT_EQ(NSOpenGLContext::currentContext(), gl);
  WAPI_SetViewGL(H(view), false);
  EXPECT_FALSE(WAPI_GetViewGL(H(view)));
  EXPECT_EQ(NSOpenGLContext::currentContext(), nullptr) << "disabling clears the current context";

  gPaint = GLPaint{};
  view->setNeedsDisplay(true);
  ns_standin::displayWindows();
  EXPECT_EQ(gPaint.paints, 1);
  EXPECT_EQ(gPaint.current, nullptr);
  EXPECT_EQ(gPaint.inContext, nullptr);
}

TEST_F(ViewGL, MakingCurrentNeedsALayerViewWithAContext) {
  NSWindow* w = makeWindow();
  Wapi_vQOR_hwnd* gl = makeView(nullptr, w, nullptr);
  Wapi_vQOR_hwnd* plain = makeView(nullptr, gl, nullptr);
  NSView* platform = addControl<NSView>(gl, 0);
  WAPI_SetViewGL(H(gl), true);
  WAPI_SetViewGL(H(platform), true);
  WAPI_SetViewGL(nullptr, true);
  EXPECT_FALSE(WAPI_GetViewGL(H(platform)));
  EXPECT_FALSE(WAPI_GetViewGL(nullptr));
  EXPECT_TRUE(WAPI_SetGLContextToView(H(gl)));
  EXPECT_FALSE(WAPI_SetGLContextToView(H(plain)));
  EXPECT_FALSE(WAPI_SetGLContextToView(H(platform)));
  EXPECT_NE(NSOpenGLContext::currentContext(), nullptr) << "a refused view leaves the current one";
  EXPECT_FALSE(WAPI_SetGLContextToView(nullptr));
  EXPECT_EQ(NSOpenGLContext::currentContext(), nullptr);
}

}  // namespace
