#pragma once
// Helpers of the configuration tests: log texts, enciphering as the build does, test PNGs, and a
// bitmap cache like the editor surface's (found through the bundle, scaled, one entry per id).
#include "Project_Source/src/BundleResources.h"
#include "Project_Source/src/UIConfigGraphics.h"
#include "Project_Source/src/tea.h"
#include "support/tempdir.h"

#include <CoreFoundation/CoreFoundation.h>
#include <png.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
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

class TestBitmapCache : public UIConfigGraphics {
public:
    struct Entry {
        std::unique_ptr<int> pixels; // stands for the bitmap's memory
        int width = 0, height = 0;
    };

    ConfigBitmap LoadIBitmap(int id, const char* name, double scale, int frames, bool framesHorizontal) override
    {
        auto it = cache.find(id);
        if (it == cache.end()) {
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            std::string path = resourcePath(name);
            if (path.empty() || !png_image_begin_read_from_file(&image, path.c_str())) return ConfigBitmap{};
            Entry e{std::make_unique<int>(id), static_cast<int>(image.width * scale),
                    static_cast<int>(image.height * scale)};
            png_image_free(&image);
            ++decodes;
            it = cache.emplace(id, std::move(e)).first;
        }
        return ConfigBitmap{it->second.pixels.get(), it->second.width, it->second.height, frames, framesHorizontal};
    }

    ConfigBitmap getImageById(int id, int frames, bool framesHorizontal) override
    {
        auto it = cache.find(id);
        if (it == cache.end()) return ConfigBitmap{};
        return ConfigBitmap{it->second.pixels.get(), it->second.width, it->second.height, frames, framesHorizontal};
    }

    void ReleaseBitmap(ConfigBitmap* bitmap) override
    {
        for (auto it = cache.begin(); it != cache.end(); ++it)
            if (it->second.pixels.get() == bitmap->bitmap) {
                cache.erase(it);
                ++releases;
                return;
            }
    }

    // Looked up by the last path component, type "png", as the bitmap loader does.
    std::string resourcePath(const char* name) const
    {
        std::string base = name;
        base = base.substr(base.find_last_of('/') + 1);
        base = base.substr(0, base.find_last_of('.'));
        CFStringRef id = CFStringCreateWithCString(kCFAllocatorDefault, bundleIdentifier, kCFStringEncodingUTF8);
        CFBundleRef bundle = CFBundleGetBundleWithIdentifier(id);
        CFRelease(id);
        if (!bundle) return {};
        CFStringRef cfBase = CFStringCreateWithCString(kCFAllocatorDefault, base.c_str(), kCFStringEncodingUTF8);
        CFURLRef url = CFBundleCopyResourceURL(bundle, cfBase, CFSTR("png"), nullptr);
        CFRelease(cfBase);
        char buffer[4096];
        std::string path;
        if (url && CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<uint8_t*>(buffer), sizeof buffer))
            path = buffer;
        if (url) CFRelease(url);
        return path;
    }

    std::map<int, Entry> cache;
    int decodes = 0, releases = 0;
};

// Points the bundle lookup at a folder for the life of the object.
struct BundleFolder {
    explicit BundleFolder(const std::string& folder) { ::setenv("QOR_BUNDLE_PATH", folder.c_str(), 1); }
    ~BundleFolder() { ::unsetenv("QOR_BUNDLE_PATH"); }
};

// A temporary bundle folder with a log file, a bitmap cache and a manager logging into it.
template <class Manager>
struct ConfigFolder {
    ConfigFolder() : bundle(dir.path), logPath(dir.file("log.txt"))
    {
        writeFile(logPath, "");
        manager.setLogging(true, logPath);
        manager.graphics = &cache;
    }
    std::vector<std::string> logTexts() const { return logTextsOf(logPath); }
    TempDir dir;
    BundleFolder bundle;
    std::string logPath;
    TestBitmapCache cache;
    Manager manager;
};

} // namespace configtest
