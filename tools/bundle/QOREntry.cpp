// The exported entry points every bundle answers through; MakePlug comes from the bundle's own
// plug-in class.
#include "kit/plugin/IPluginAU.h"
#include "kit/plugin/IPluginAU_ViewFactory.h"

#define QOR_EXPORT extern "C" __attribute__((visibility("default")))

QOR_EXPORT ComponentResult QOR_Entry(ComponentParameters* params, void* storage)
{
    return IPluginAU::IPluginAUEntry(params, storage);
}

QOR_EXPORT ComponentResult QOR_ViewEntry(ComponentParameters* params, void* storage)
{
    return IPluginAU::IPluginAUCarbonViewEntry(params, storage);
}

// The Cocoa view factory registers its class when the bundle loads; this keeps it in the bundle.
[[maybe_unused]] static const Class kViewFactory = QOR_View::class_();
