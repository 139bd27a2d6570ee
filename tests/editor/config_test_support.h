#pragma once
// Helpers of the configuration tests: log texts, enciphering as the build does, test PNGs, a
// plug-in of the editor's size with a surface loading from the bundle, and the creators' bench.
#include "kit/plugin/BundleResources.h"
#include "kit/plugin/IPluginAU.h"
#include "Project_Source/src/UIConfigManager.h"
#include "Project_Source/src/tea.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsStorage.h"
#include "kit/plugin/IPluginBase.h"
#include "kit/plugin/IPopupMenu.h"
#include "kit/raster/rast_png.h"
#include "plugin/graphics_offscreen.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace configtest {

using testsupport::readText;
using testsupport::TempDir;
using testsupport::writeFile;

// The texts of a log file's lines, each after its time stamp, tab and blank.
inline std::vector<std::string> logTextsOf(const std::string& path)
{
    std::vector<std::string> texts;
    std::istringstream in(readText(path));
    for (std::string line; std::getline(in, line);) {
        size_t tab = line.find("\t ");
        texts.push_back(tab == std::string::npos ? line : line.substr(tab + 2));
    }
    return texts;
}

inline std::string encipher(std::string plain)
{
    while (plain.size() % 8 != 0) plain.push_back('\0');
    unsigned int key[4];
    Tea::configurationKey(key);
    for (size_t i = 0; i < plain.size(); i += 8) Tea().simpleencrypt(reinterpret_cast<unsigned char*>(&plain[i]), key);
    return plain;
}

inline bool writePng(const std::string& path, int width, int height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4, 0x80);
    return png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr) != 0;
}

// An editor surface without a window: files and PNGs come from the bundle the lookup finds,
// and a popup menu answers the next scripted choice.
class ConfigSurface : public IGraphics {
public:
    explicit ConfigSurface(IPluginBase* plug) : IGraphics(plug, 1500, 757, 0) {}

    char* OSLoadFile(int, const char* name) override
    {
        return loadBundleResource(QOR_BUNDLE_ID, name, &loadedFileSize);
    }
    RAST_IBitmap* OSLoadBitmap(int, const char* name) override
    {
        int size = 0;
        std::unique_ptr<char[]> bytes(loadBundleResource(QOR_BUNDLE_ID, name, &size));
        RAST_IBitmap* image = bytes ? RAST_LoadPNGFromMemory(bytes.get(), size) : nullptr;
        decodes += image != nullptr;
        return image;
    }
    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT*) override
    {
        shown.clear();
        for (int i = 0; i < menu->GetNItems(); ++i) shown.push_back(menu->GetItemTitle(i));
        if (choice < 0) return nullptr;
        menu->SetChosenItemIdx(choice);
        return menu;
    }

    int decodes = 0;
    int choice = -1;
    std::vector<std::string> shown;
};

// Points the bundle lookup at a folder for the life of the object.
struct BundleFolder {
    explicit BundleFolder(const std::string& folder) { ::setenv("QOR_BUNDLE_PATH", folder.c_str(), 1); }
    ~BundleFolder() { ::unsetenv("QOR_BUNDLE_PATH"); }
};

// A temporary bundle folder with a log file, a plug-in owning a surface, and a manager logging.
template <class Manager>
struct ConfigFolder {
    ConfigFolder() : bundle(dir.path), logPath(dir.file("log.txt"))
    {
        plug.AttachGraphics(&surface);
        writeFile(logPath, "");
        manager.setLogging(true, logPath);
        manager.graphics = &surface;
    }
    std::vector<std::string> logTexts() const { return logTextsOf(logPath); }
    TempDir dir;
    BundleFolder bundle;
    std::string logPath;
    SurfacePlug plug{5124};
    ConfigSurface& surface = *new ConfigSurface(&plug);
    Manager manager;
};

// The creators' bench: an off-screen surface whose bitmaps are all a red 20 x 10 block, a manager
// logging to a temporary file, layers by name, and SysEx template 0 "F0 7D 01 02 03 04 05 00 F7".
class RedSurface : public OffscreenGraphics {
public:
    using OffscreenGraphics::OffscreenGraphics;
    RAST_IBitmap* OSLoadBitmap(int, const char*) override
    {
        return MakeStrip(1, 20, 10, [](int) { return IColor(255, 255, 0, 0); }).mData;
    }
};

struct Bench {
    explicit Bench(double scale = 1.0) : surface(new RedSurface(&plug, 400, 300))
    {
        plug.AttachGraphics(surface);
        IColor black(255, 0, 0, 0);
        surface->AttachPanelBackground(&black);
        writeFile(logPath, "");
        manager.setLogging(true, logPath);
        manager.graphics = surface;
        manager.scale = scale;
        manager.sysexContainers.push_back({{{"F0 7D 01 02 03 04 05 00 F7"}}, {}, false});
    }
    int logLines() const { return int(logTextsOf(logPath).size()); }
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
    TempDir dir;
    std::string logPath = dir.file("log.txt");
    SurfacePlug plug{5124};
    RedSurface* surface;
    std::vector<std::unique_ptr<ControlLayer>> layers;
    UIConfigManager manager;
};

// A surface that loads the configuration from the bundle folder and draws the build's own
// bitmaps.
class BundleSurface : public OffscreenGraphics {
public:
    using OffscreenGraphics::OffscreenGraphics;
    char* OSLoadFile(int, const char* name) override
    {
        return loadBundleResource(QOR_BUNDLE_ID, name, &loadedFileSize);
    }
    RAST_IBitmap* OSLoadBitmap(int, const char* name) override
    {
        const std::string file = name;
        return RAST_LoadPNG((testsupport::binaryDir() + "/QOR.component/Contents/Resources/img/" +
                             file.substr(file.find_last_of('/') + 1))
                                .c_str());
    }
};

} // namespace configtest
