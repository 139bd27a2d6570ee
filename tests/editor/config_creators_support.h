#pragma once
// The creators' bench: a plug-in of 5124 parameters with an off-screen surface, a manager logging
// to a temporary file, layers by name, and SysEx template 0 "F0 7D 01 02 03 04 05 00 F7".
#include "Project_Source/src/UIConfigManager.h"
#include "plugin/graphics_offscreen.h"
#include "support/tempdir.h"

#include <algorithm>
#include <memory>

namespace creatortest
{

class Surface : public OffscreenGraphics
{
public:
    using OffscreenGraphics::OffscreenGraphics;
    // Every bitmap asked for is a red 20 x 10 block.
    RAST_IBitmap* OSLoadBitmap(int, const char*) override
    {
        return MakeStrip(1, 20, 10, [](int) { return IColor(255, 255, 0, 0); }).mData;
    }
};

struct Bench {
    explicit Bench(double scale = 1.0) : surface(new Surface(&plug, 400, 300))
    {
        plug.AttachGraphics(surface);
        IColor black(255, 0, 0, 0);
        surface->AttachPanelBackground(&black);
        testsupport::writeFile(logPath, "");
        manager.setLogging(true, logPath);
        manager.graphics = surface;
        manager.scale = scale;
        manager.sysexContainers.push_back({{{"F0 7D 01 02 03 04 05 00 F7"}}, {}, false});
    }
    int logLines() const
    {
        std::string text = testsupport::readText(logPath);
        return int(std::count(text.begin(), text.end(), '\n'));
    }
    // "HANDLE" under an image id of its own: the bitmap cache is shared by the process.
    void handle(int imageId) { manager.preloadImage(surface, imageId, "HANDLE", "h.png", 1, false); }
    ControlAction* action(int id) { return plug.GetParam(id)->GetControlAction(); }
    std::string name(int id) { return plug.GetParam(id)->GetNameForHost(); }
    ControlLayer* layer(const std::string& name) // none for ""
    {
        if (name.empty()) return nullptr;
        layers.push_back(std::make_unique<ControlLayer>(int(layers.size()), name));
        return layers.back().get();
    }
    IControl* last(ControlLayer* l = nullptr) // made last on the layer, or on the surface
    {
        return l ? l->controls.Get(l->controls.GetSize() - 1) : surface->GetControl(surface->NControls() - 1);
    }

    testsupport::TempDir dir;
    std::string logPath = dir.file("log.txt");
    SurfacePlug plug{5124};
    Surface* surface;
    std::vector<std::unique_ptr<ControlLayer>> layers;
    UIConfigManager manager;
};

} // namespace creatortest
