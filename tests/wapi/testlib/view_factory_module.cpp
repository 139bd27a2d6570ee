// A bundle module for the Audio Unit view tests. ViewFactoryProbe adopts the view protocol and
// answers a view one point wider and higher than the size it is asked for; NoViewFactory adopts
// it and answers none; PlainClass adopts nothing.
#include <AppKit/AppKit.h>
#include <AudioUnit/AUCocoaUIView.h>

class ViewFactoryProbe : public NSObject, public AUCocoaUIBase {
  NS_STANDIN_CLASS(ViewFactoryProbe)

 public:
  ViewFactoryProbe() = default;
  unsigned interfaceVersion() override { return 0; }
  NSView* uiViewForAudioUnit(AudioUnit, NSSize size) override {
    auto* view = static_cast<NSView*>(NSView::class_()->alloc());
    view->initWithFrame(NSMakeRect(0, 0, size.width + 1, size.height + 1));
    view->autorelease();
    return view;
  }
};
NS_STANDIN_CLASS_IMPL(ViewFactoryProbe, NSObject)
NS_STANDIN_CLASS_ADOPTS(ViewFactoryProbe, AUCocoaUIBase)

class NoViewFactory : public NSObject, public AUCocoaUIBase {
  NS_STANDIN_CLASS(NoViewFactory)

 public:
  NoViewFactory() = default;
  unsigned interfaceVersion() override { return 0; }
  NSView* uiViewForAudioUnit(AudioUnit, NSSize) override { return nullptr; }
};
NS_STANDIN_CLASS_IMPL(NoViewFactory, NSObject)
NS_STANDIN_CLASS_ADOPTS(NoViewFactory, AUCocoaUIBase)

class PlainClass : public NSObject {
  NS_STANDIN_CLASS(PlainClass)

 public:
  PlainClass() = default;
};
NS_STANDIN_CLASS_IMPL(PlainClass, NSObject)
