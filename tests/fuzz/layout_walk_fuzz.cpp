// Plain XML, enciphered as the build does, read as the layout document and walked on a plug-in
// of the editor's 5,124 parameters, with a fixed SysEx document of short and long templates:
// every element, attribute and nesting must build or be skipped without a fault, and no layout
// may run away.
#include "Project_Source/src/LibrarianViewControl.h"
#include "Project_Source/src/tea.h"
#include "config_fuzz_loader.h"
#include "kit/plugin/IGraphicsLayer.h"
#include "plugin/graphics_offscreen.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{

const char* const kSysex = "<sysexlist>"
                           "<sysex><values><value>F0 7D 01 02 03 04 05 00 F7</value></values></sysex>"
                           "<sysex><values><value>F0 00 20 29 01 11 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                           "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 F7</value></values></sysex>"
                           "<sysex><values><value>F0 F7</value></values></sysex>"
                           "<sysex><values/></sysex>"
                           "</sysexlist>";

std::string encipher(std::string plain)
{
    while (plain.size() % 8 != 0) plain.push_back('\0');
    unsigned int key[4];
    Tea::configurationKey(key);
    Tea tea;
    for (size_t i = 0; i < plain.size(); i += 8) tea.simpleencrypt(reinterpret_cast<unsigned char*>(&plain[i]), key);
    return plain;
}

// Every image a two-frame strip, so that knobs, switches and radio strips have sizes.
class WalkSurface : public FuzzConfigLoader
{
public:
    using FuzzConfigLoader::FuzzConfigLoader;
    RAST_IBitmap* OSLoadBitmap(int, const char*) override { return new RAST_MemBitmap(8, 16, 4); }
};

// The registry, the image table and the SysEx templates are read once; each input then gets
// fresh control actions, lookup maps and surface, and its own layout walk.
class WalkManager : public UIConfigManager
{
public:
    static WalkManager& instance()
    {
        static WalkManager* manager = [] {
            auto* m = new WalkManager;
            m->surface->sysexFile = encipher(kSysex);
            m->readUIConfig(m->surface, nullptr, nullptr, 0, 1.0);
            return m;
        }();
        return *manager;
    }

    void readInput(std::string bytes, double scaleIn)
    {
        surface->file = std::move(bytes);
        surface->clearSurface();
        for (int i = 0; i < plug.NParams(); ++i)
            if (ControlAction* action = plug.GetParam(i)->GetControlAction())
                *action = ControlAction(ControlAction::kSysEx);
        ccControls.clear();
        nrpnControls.controls.clear();
        sysexControls.controls.clear();
        layers.clear();
        librarianView = nullptr;
        valueLists.clear();
        scale = scaleIn;
        readLayoutDocument();
    }

    SurfacePlug plug{5124};
    WalkSurface* surface = attach(new WalkSurface(&plug));

private:
    WalkSurface* attach(WalkSurface* s)
    {
        plug.AttachGraphics(s); // the plug-in owns its surface
        return s;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const double kScales[] = {0.85, 1.0, 1.15};
    WalkManager& manager = WalkManager::instance();
    manager.readInput(encipher(std::string(reinterpret_cast<const char*>(data), size)), kScales[size % 3]);
    // Every layer the map names is alive and carries that name; the slot grid is the librarian area's.
    for (const auto& entry : manager.layers)
        if (entry.second->name != entry.first) std::abort();
    if (manager.librarianView && manager.librarianView->ParamIdx() != 5122) std::abort();
    return 0;
}
