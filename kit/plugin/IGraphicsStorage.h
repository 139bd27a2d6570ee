#pragma once
// The process-wide caches of the editor surface: bitmaps under their resource id (-1 for
// bitmaps kept by pointer only) and one raster font per text style. Each has its own recursive
// mutex; both own what they hold until the process ends (the fonts are left to the end of the
// process itself).
#include <memory>
#include <unordered_map>
#include <vector>

#include "kit/heapbuf.h"
#include "kit/mutex.h"
#include "kit/plugin/IGraphicsStructs.h"

class BitmapStorage {
public:
    static BitmapStorage& Instance();
    ~BitmapStorage();

    // The first bitmap cached under id, or null.
    RAST_IBitmap* Find(int id);
    // Caches bitmap under id, unless a bitmap is already cached under that id (ids other than
    // -1): then the given one is deleted and the cached one answered. A bitmap already held
    // keeps its one entry.
    RAST_IBitmap* Add(RAST_IBitmap* bitmap, int id);
    // Removes the first entry holding bitmap and deletes the bitmap; false when not cached.
    bool Remove(RAST_IBitmap* bitmap);
    int Count();

    // Columns [begin, end) of a row's longest run of fully opaque pixels (begin == end: none).
    struct OpaqueRun {
        int begin, end;
    };
    using OpaqueRows = std::vector<OpaqueRun>;
    // The run of each row of a held bitmap, top row first, found on the first call and kept
    // until the bitmap leaves; null for a bitmap not held. Held images are shared by every
    // editor and never drawn into; a change of size or pixel block is still noticed.
    std::shared_ptr<const OpaqueRows> OpaqueRowsOf(RAST_IBitmap* bitmap);

    KIT_Mutex mutex;

private:
    BitmapStorage() = default;
    bool Holds(RAST_IBitmap* bitmap);
    struct Entry {
        int id;
        RAST_IBitmap* bitmap;
    };
    KIT_TypedBuf<Entry> mEntries{4096};
    struct Scanned {
        int width, height, span;
        const void* bits;
        std::shared_ptr<const OpaqueRows> rows;
    };
    std::unordered_map<RAST_IBitmap*, Scanned> mOpaque;
};

class FontStorage {
public:
    static FontStorage& Instance();
    ~FontStorage();

    // The font of the same size, orientation, style and font name, or null.
    RAST_IFont* Find(const IText* text);
    void Add(RAST_IFont* font, const IText* text);
    int Count();

    KIT_Mutex mutex;

private:
    FontStorage() = default;
    struct Entry {
        int size, orientation, style;
        char fontName[IText::kFontNameLen];
        RAST_IFont* font;
    };
    KIT_TypedBuf<Entry> mEntries{4096};
};
