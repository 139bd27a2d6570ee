// An Audio Unit's own Cocoa view in a layer view: the factory class named by the unit's
// information, taken from its bundle through the class registry.
#include "kit/wapi/wapi-bridges.h"
#include "kit/wapi/wapi-internal.h"

#include <AudioUnit/AUCocoaUIView.h>

HWND WAPI_GetAudioUnitCocoaView(HWND parent, AudioUnit unit, const AudioUnitCocoaViewInfo* info, RECT* size) {
  if (!info || !info->mCocoaAUViewClass[0] || !info->mCocoaAUViewBundleLocation || !size) return nullptr;
  NSView* into = wapiViewOf(wapiObject(parent));
  if (!into) return nullptr;
  NSAutoreleasePool pool;
  // By URL, else by the URL's path.
  CFURLRef location = info->mCocoaAUViewBundleLocation;
  CFStringRef path = CFURLCopyFileSystemPath(location, kCFURLPOSIXPathStyle);
  if (!path) return nullptr;
  char pathText[4096];
  WAPI_CFStringToCString(path, pathText, int(sizeof pathText));
  CFRelease(path);
  NSBundle* bundle = NSBundle::bundleWithURL(NSURL::fileURLWithPath(wapiNSString(pathText)));
  if (!bundle) bundle = NSBundle::bundleWithPath(wapiNSString(pathText));
  if (!bundle) return nullptr;
  char className[1024];
  WAPI_CFStringToCString(info->mCocoaAUViewClass[0], className, int(sizeof className));
  Class factoryClass = bundle->classNamed(wapiNSString(className));
  if (!factoryClass || !class_conformsToProtocol(factoryClass, objc_getProtocol("AUCocoaUIBase"))) return nullptr;
  NSObject* factory = factoryClass->alloc();
  if (!factory) return nullptr;
  factory = factory->init();
  // An instance that does not answer uiViewForAudioUnit:withSize: gives no view.
  auto* ui = dynamic_cast<AUCocoaUIBase*>(factory);
  NSView* view =
      ui ? ui->uiViewForAudioUnit(unit, NSMakeSize(double(size->right) - size->left, double(size->bottom) - size->top))
         : nullptr;
  if (view) {
    into->addSubview(view);
    const NSRect b = view->bounds();
    *size = RECT{0, 0, wapiToInt(b.size.width), wapiToInt(b.size.height)};
  }
  if (factory) factory->release();
  return view ? wapiHandle(view) : nullptr;
}
