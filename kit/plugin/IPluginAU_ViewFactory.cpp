#include "kit/plugin/IPluginAU_ViewFactory.h"

#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IPluginBase.h"

QOR_View* QOR_View::init()
{
    mPlug = nullptr;
    return this;
}

void* QOR_View::uiViewForAudioUnit(AudioUnit unit, CGSize)
{
    mPlug = static_cast<IPluginBase*>(GetComponentInstanceStorage(unit));
    if (!mPlug || !mPlug->GetGUI()) return nullptr;
    return mPlug->GetGUI()->OpenWindow(nullptr);
}

CFStringRef QOR_View::description() const
{
    return CFSTR("QOR Editor View");
}
