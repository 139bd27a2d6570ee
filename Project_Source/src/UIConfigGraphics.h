#pragma once
// What the configuration reader needs of the editor surface: the bundle file loader and the
// process-wide bitmap cache keyed by image id. The editor surface implements it; tests give
// their own cache.
#include "BundleResources.h"

// A bitmap as the cache hands it out: the cached image (null for none), its size, and the
// frame count and orientation the asker gave.
struct ConfigBitmap {
    void* bitmap = nullptr;
    int width = 0;
    int height = 0;
    int frames = 1;
    bool framesHorizontal = false;
};

class UIConfigGraphics {
public:
    virtual ~UIConfigGraphics() = default;

    // A buffer the caller frees with delete[], holding the resource and ending in a zero byte,
    // or null; the number of bytes read goes to loadedFileSize. The id is not used.
    virtual char* LoadFile(int id, const char* name)
    {
        (void)id;
        return loadBundleResource(bundleIdentifier, name, &loadedFileSize);
    }

    // The bitmap cached under id, or the PNG name loaded from the resources, scaled to
    // trunc(width * scale) by trunc(height * scale) and cached under id. bitmap is null when the
    // file is missing or cannot be decoded.
    virtual ConfigBitmap LoadIBitmap(int id, const char* name, double scale, int frames, bool framesHorizontal) = 0;
    // The bitmap cached under id (null bitmap when there is none).
    virtual ConfigBitmap getImageById(int id, int frames, bool framesHorizontal) = 0;
    // Takes the bitmap out of the cache and destroys it; one not in the cache is left alone.
    virtual void ReleaseBitmap(ConfigBitmap* bitmap) = 0;

    const char* bundleIdentifier = kQORBundleIdentifier;
    int loadedFileSize = 0;
};
