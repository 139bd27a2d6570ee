#pragma once
// An in-memory editor surface and a once-per-process configuration manager for the
// configuration fuzz targets: every resource is the given bytes, and no bitmap loads.
#include "kit/plugin/BundleResources.h"
#include "Project_Source/src/UIConfigManager.h"
#include "kit/plugin/IControl.h"
#include "kit/plugin/IGraphics.h"
#include "kit/plugin/IGraphicsLayer.h"

#include <cstring>
#include <string>

class FuzzConfigLoader : public IGraphics {
public:
    explicit FuzzConfigLoader(IPluginBase* plug = nullptr) : IGraphics(plug, 1500, 757, 0) {}
    char* OSLoadFile(int id, const char*) override
    {
        const std::string& bytes = id == UIConfigManager::kSysexResourceId && !sysexFile.empty() ? sysexFile : file;
        // Only as large as the input: the reader never looks past the size it is given, and a
        // full-size buffer per run would make the replay slow under the sanitizers.
        size_t n = bytes.size() < size_t(kResourceBufferSize) ? bytes.size() : size_t(kResourceBufferSize);
        char* buffer = new char[n + 1]();
        std::memcpy(buffer, bytes.data(), n);
        loadedFileSize = static_cast<int>(n);
        return buffer;
    }
    // What the last input's layout walk attached goes before the next input.
    void clearSurface()
    {
        controls.Empty(true);
        layers.Empty(true);
    }
    std::string file;
    // The SysEx document, when it is not the input as well.
    std::string sysexFile;
};

// The registry and the image table do not depend on the input and cost most of a whole
// configuration run, so they are filled once; each input then runs the two document readers
// of readUIConfig, in its order, on a manager emptied of the last input's templates and lists.
class FuzzConfigManager : public UIConfigManager {
public:
    static FuzzConfigManager& instance()
    {
        static FuzzConfigManager* manager = [] {
            auto* m = new FuzzConfigManager;
            m->readUIConfig(&m->loader, nullptr, nullptr, 0, 1.0);
            return m;
        }();
        return *manager;
    }

    void readInput(std::string bytes)
    {
        loader.file = std::move(bytes);
        loader.clearSurface();
        layers.clear();
        librarianView = nullptr;
        sysexContainers.clear();
        valueLists.clear();
        readSysexValues();
        readLayoutDocument();
    }

    FuzzConfigLoader loader;
};
