#pragma once
// An in-memory file loader for the configuration fuzz targets: every resource is the given
// bytes, and no bitmap loads.
#include "Project_Source/src/UIConfigGraphics.h"

#include <cstring>
#include <string>

class FuzzConfigLoader : public UIConfigGraphics {
public:
    explicit FuzzConfigLoader(std::string bytes) : file(std::move(bytes)) {}

    char* LoadFile(int, const char*) override
    {
        // Only as large as the input: the reader never looks past the size it is given, and a
        // full-size buffer per run would make the replay slow under the sanitizers.
        size_t n = file.size() < size_t(kResourceBufferSize) ? file.size() : size_t(kResourceBufferSize);
        char* buffer = new char[n + 1]();
        std::memcpy(buffer, file.data(), n);
        loadedFileSize = static_cast<int>(n);
        return buffer;
    }
    ConfigBitmap LoadIBitmap(int, const char*, double, int, bool) override { return ConfigBitmap{}; }
    ConfigBitmap getImageById(int, int, bool) override { return ConfigBitmap{}; }
    void ReleaseBitmap(ConfigBitmap*) override {}

    std::string file;
};
