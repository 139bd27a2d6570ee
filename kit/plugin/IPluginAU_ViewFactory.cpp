#include "kit/plugin/IPluginAU_ViewFactory.h"

#include "kit/plugin/IGraphicsMac.h"
#include "kit/plugin/IPluginAU.h"
#include "kit/plugin/IPluginBase.h"

NS_STANDIN_CLASS_IMPL(QOR_View, NSObject)
NS_STANDIN_CLASS_ADOPTS(QOR_View, AUCocoaUIBase)

QOR_View* QOR_View::init()
{
    mPlug = nullptr;
    NSObject::init();
    return this;
}

NSView* QOR_View::uiViewForAudioUnit(AudioUnit unit, NSSize)
{
    mPlug = static_cast<IPluginBase*>(GetComponentInstanceStorage(unit));
    if (!mPlug || !mPlug->GetGUI()) return nullptr;
    return static_cast<NSView*>(mPlug->GetGUI()->OpenWindow(nullptr));
}

CFStringRef QOR_View::description() const
{
    return CFSTR("QOR Editor View");
}

IGraphicsMac* MakeGraphics(IPluginAU* plug, int w, int h, int fps)
{
    auto* graphics = new IGraphicsMac(plug, w, h, fps);
    graphics->SetBundleID(plug ? plug->GetBundleID() : "");
    return graphics;
}
