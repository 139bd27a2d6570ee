#include "ImageTable.h"
#include "UIConfigManager.h"
#include "kit/plugin/IGraphics.h"

#include <map>
#include <mutex>
#include <vector>

namespace {

// Bitmaps live in one cache for the whole process, while every open editor instance has its
// own manager; an image is released only when the last manager holding it lets go.
std::mutex& usersLock()
{
    static std::mutex lock;
    return lock;
}

std::map<int, int>& usersById()
{
    static std::map<int, int> users;
    return users;
}

} // namespace

int UIConfigManager::claimImage(int id)
{
    std::lock_guard<std::mutex> guard(usersLock());
    return ++usersById()[id];
}

int UIConfigManager::releaseImageClaim(int id)
{
    std::lock_guard<std::mutex> guard(usersLock());
    auto it = usersById().find(id);
    if (it == usersById().end()) return 0;
    int left = --it->second;
    if (left <= 0) usersById().erase(it);
    return left > 0 ? left : 0;
}

int UIConfigManager::imageUsers(int id)
{
    std::lock_guard<std::mutex> guard(usersLock());
    auto it = usersById().find(id);
    return it == usersById().end() ? 0 : it->second;
}

void UIConfigManager::initImages(IGraphics* graphicsIn)
{
    log("CONFIG READER: Started to read image resources...");
    // Decoding is most of the open, so the files this manager does not hold yet are decoded and
    // scaled on a few threads first; caching, claims and log lines still go row by row here.
    std::vector<IDecodedBitmap> decoded;
    std::vector<int> decodedOfRow(kImageTableSize, -1);
    if (graphicsIn && !releaseMode) {
        for (size_t i = 0; i < kImageTableSize; ++i) {
            auto held = images.find(kImageTable[i].name);
            if (held != images.end() && held->second.loaded) continue;
            decodedOfRow[i] = int(decoded.size());
            decoded.push_back({kImageTable[i].id, kImageTable[i].file, false, nullptr});
        }
        graphicsIn->DecodeIBitmaps(decoded, scale);
    }
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        preloadImage(graphicsIn, row.id, row.name, row.file, row.frames, row.framesHorizontal,
                     decodedOfRow[i] < 0 ? nullptr : &decoded[size_t(decodedOfRow[i])]);
    }
    log("CONFIG READER: Completed!");
}

void UIConfigManager::preloadImage(IGraphics* graphicsIn, int id, const char* name, const char* file, int frames,
                                   bool framesHorizontal, IDecodedBitmap* decoded)
{
    if (releaseMode) {
        auto it = images.find(name);
        if (it == images.end() || !it->second.loaded) return;
        it->second.loaded = false;
        // Another open instance still draws this bitmap: keep it cached for that one.
        if (releaseImageClaim(id) > 0 || !graphicsIn) return;
        IBitmap bitmap = graphicsIn->LoadIBitmap(id, file, scale, frames, false);
        if (bitmap.mData) graphicsIn->ReleaseBitmap(&bitmap);
        return;
    }

    ImageInfo& info = images[name];
    bool wasLoaded = info.loaded;
    info.id = id;
    info.frames = frames;
    info.framesHorizontal = framesHorizontal;
    if (wasLoaded) return; // this manager already holds it

    IBitmap bitmap;
    if (graphicsIn) bitmap = graphicsIn->LoadIBitmap(id, file, scale, frames, false, decoded);
    if (!bitmap.mData) {
        // The editor goes on with an empty bitmap for this image.
        info.loaded = false;
        log(std::string("CONFIG READER: Image ") + name + " could not be loaded from " + file + "!");
        return;
    }
    info.loaded = true;
    claimImage(id);
}

IBitmap UIConfigManager::getImageByName(IGraphics* graphicsIn, std::string name)
{
    auto it = images.find(name);
    if (it == images.end()) {
        log("CONFIG READER: Image " + name + " MISSING!");
        return IBitmap();
    }
    // An image that failed to load (logged then) or was released gives the empty bitmap.
    if (!it->second.loaded || !graphicsIn) return IBitmap();
    return graphicsIn->getImageById(it->second.id, it->second.frames, it->second.framesHorizontal);
}

void UIConfigManager::ClearImageCache()
{
    releaseMode = true;
    initImages(graphics);
    releaseMode = false;
}
