#pragma once
// Helpers of the configuration tests: temporary folders, a bitmap cache like the editor
// surface's (PNG files found through the bundle, scaled sizes, one entry per image id), and
// enciphering of test documents.
#include "Project_Source/src/BundleResources.h"
#include "Project_Source/src/UIConfigGraphics.h"
#include "Project_Source/src/tea.h"

#include <CoreFoundation/CoreFoundation.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace configtest {

inline std::string makeTempDir()
{
    char tmpl[] = "/tmp/qor-config-XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The text of a log line after its time stamp, tab and blank.
inline std::string logText(const std::string& line)
{
    size_t tab = line.find("\t ");
    return tab == std::string::npos ? line : line.substr(tab + 2);
}

// The texts of every line of a log file.
inline std::vector<std::string> logTextsOf(const std::string& path)
{
    std::vector<std::string> texts;
    for (const auto& l : readLines(path)) texts.push_back(logText(l));
    return texts;
}

inline bool contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Zero-padded to whole blocks and enciphered with the configuration key, as the build does.
inline std::string encipher(std::string plain)
{
    while (plain.size() % 8 != 0) plain.push_back('\0');
    unsigned int key[4];
    Tea::configurationKey(key);
    Tea tea;
    for (size_t i = 0; i < plain.size(); i += 8) tea.simpleencrypt(reinterpret_cast<unsigned char*>(&plain[i]), key);
    return plain;
}

// A solid RGBA PNG of the given size.
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

// A process-wide bitmap cache keyed by image id, as the editor surface keeps it: a bitmap is
// decoded from the bundle's resources once, scaled to trunc(size * scale), and shared.
class TestBitmapCache : public UIConfigGraphics {
public:
    struct Entry {
        std::unique_ptr<int> pixels; // stands for the bitmap's memory
        int width = 0;
        int height = 0;
    };

    ConfigBitmap LoadIBitmap(int id, const char* name, double scale, int frames, bool framesHorizontal) override
    {
        auto it = cache.find(id);
        if (it == cache.end()) {
            std::string path = resourcePath(name);
            if (path.empty()) return ConfigBitmap{};
            png_image image{};
            image.version = PNG_IMAGE_VERSION;
            if (!png_image_begin_read_from_file(&image, path.c_str())) return ConfigBitmap{};
            Entry e;
            e.pixels = std::make_unique<int>(id);
            e.width = static_cast<int>(image.width * scale);
            e.height = static_cast<int>(image.height * scale);
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
        for (auto it = cache.begin(); it != cache.end(); ++it) {
            if (it->second.pixels.get() == bitmap->bitmap) {
                cache.erase(it);
                ++releases;
                return;
            }
        }
    }

    // The bitmap loader looks a PNG up by its last path component, type "png".
    std::string resourcePath(const char* name)
    {
        std::string last = name;
        last = last.substr(last.find_last_of('/') + 1);
        std::string base = last.substr(0, last.find_last_of('.'));
        CFStringRef id = CFStringCreateWithCString(kCFAllocatorDefault, bundleIdentifier, kCFStringEncodingUTF8);
        CFBundleRef bundle = CFBundleGetBundleWithIdentifier(id);
        CFRelease(id);
        if (!bundle) return {};
        CFStringRef cfBase = CFStringCreateWithCString(kCFAllocatorDefault, base.c_str(), kCFStringEncodingUTF8);
        CFURLRef url = CFBundleCopyResourceURL(bundle, cfBase, CFSTR("png"), nullptr);
        CFRelease(cfBase);
        if (!url) return {};
        char buffer[4096];
        std::string path;
        if (CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<uint8_t*>(buffer), sizeof buffer)) path = buffer;
        CFRelease(url);
        return path;
    }

    std::map<int, Entry> cache;
    int decodes = 0;
    int releases = 0;
};

// Points the bundle lookup at a folder for the life of the object.
class BundleFolder {
public:
    explicit BundleFolder(const std::string& folder) { ::setenv("QOR_BUNDLE_PATH", folder.c_str(), 1); }
    ~BundleFolder() { ::unsetenv("QOR_BUNDLE_PATH"); }
};

} // namespace configtest
