#include "kit/plugin/IGraphicsStorage.h"

#include <cstring>

#include "kit/raster/rast_bitmap.h"
#include "kit/raster/rast_combine.h"
#include "kit/raster/rast_font.h"
#include "kit/raster/rast_surface.h"

BitmapStorage& BitmapStorage::Instance()
{
    static BitmapStorage storage;
    return storage;
}

BitmapStorage::~BitmapStorage()
{
    for (int i = 0, n = mEntries.GetSize(); i < n; ++i) delete mEntries.Get()[i].bitmap;
    mEntries.Resize(0);
    mOpaque.clear();
}

RAST_IBitmap* BitmapStorage::Find(int id)
{
    KIT_MutexLock lock(&mutex);
    for (int i = 0, n = mEntries.GetSize(); i < n; ++i)
        if (mEntries.Get()[i].id == id) return mEntries.Get()[i].bitmap;
    return nullptr;
}

RAST_IBitmap* BitmapStorage::Add(RAST_IBitmap* bitmap, int id)
{
    KIT_MutexLock lock(&mutex);
    // One entry per bitmap: a second would make the release and the exit delete it twice.
    for (int i = 0, n = mEntries.GetSize(); i < n; ++i)
        if (mEntries.Get()[i].bitmap == bitmap) return bitmap;
    // Two loads of one id may race between lookup and addition: the first one stays.
    if (id != -1) {
        if (RAST_IBitmap* cached = Find(id)) {
            if (cached != bitmap) delete bitmap;
            return cached;
        }
    }
    mOpaque.erase(bitmap); // what a deleted bitmap at this address left
    if (!mEntries.Add(Entry{id, bitmap})) {
        delete bitmap;
        return nullptr;
    }
    return bitmap;
}

bool BitmapStorage::Remove(RAST_IBitmap* bitmap)
{
    KIT_MutexLock lock(&mutex);
    for (int i = 0, n = mEntries.GetSize(); i < n; ++i) {
        if (mEntries.Get()[i].bitmap == bitmap) {
            mEntries.Delete(i);
            mOpaque.erase(bitmap);
            delete bitmap;
            return true;
        }
    }
    return false;
}

int BitmapStorage::Count()
{
    KIT_MutexLock lock(&mutex);
    return mEntries.GetSize();
}

bool BitmapStorage::Holds(RAST_IBitmap* bitmap)
{
    for (int i = 0, n = mEntries.GetSize(); i < n; ++i)
        if (mEntries.Get()[i].bitmap == bitmap) return true;
    return false;
}

std::shared_ptr<const BitmapStorage::OpaqueRows> BitmapStorage::OpaqueRowsOf(RAST_IBitmap* bitmap)
{
    KIT_MutexLock lock(&mutex);
    RAST_Surface s;
    if (!bitmap || !Holds(bitmap) || !RAST_GetSurface(bitmap, s)) return nullptr;
    auto found = mOpaque.find(bitmap);
    if (found != mOpaque.end()) {
        const Scanned& k = found->second;
        if (k.width == s.width && k.height == s.height && k.span == s.span && k.bits == bitmap->getBits())
            return k.rows;
    }
    auto rows = std::make_shared<OpaqueRows>(size_t(s.height));
    for (int y = 0; y < s.height; ++y) {
        const unsigned char* p = s.row(y);
        OpaqueRun best{0, 0};
        for (int x = 0; x < s.width;) {
            if (p[x * 4 + rast::kA] != 255) {
                ++x;
                continue;
            }
            const int begin = x;
            while (x < s.width && p[x * 4 + rast::kA] == 255) ++x;
            if (x - begin > best.end - best.begin) best = {begin, x};
        }
        (*rows)[size_t(y)] = best;
    }
    mOpaque[bitmap] = Scanned{s.width, s.height, s.span, bitmap->getBits(), rows};
    return rows;
}

FontStorage& FontStorage::Instance()
{
    // Never destroyed: the fonts hold faces of the platform's font library, whose own statics
    // may already be gone when this one's destructor would run at exit.
    static FontStorage* storage = new FontStorage;
    return *storage;
}

FontStorage::~FontStorage()
{
    for (int i = 0, n = mEntries.GetSize(); i < n; ++i) delete mEntries.Get()[i].font;
    mEntries.Resize(0);
}

RAST_IFont* FontStorage::Find(const IText* text)
{
    KIT_MutexLock lock(&mutex);
    for (int i = 0, n = mEntries.GetSize(); i < n; ++i) {
        const Entry& e = mEntries.Get()[i];
        if (e.size == text->mSize && e.orientation == text->mOrientation && e.style == text->mStyle &&
            std::strcmp(e.fontName, text->mFont) == 0)
            return e.font;
    }
    return nullptr;
}

void FontStorage::Add(RAST_IFont* font, const IText* text)
{
    Entry e{text->mSize, text->mOrientation, text->mStyle, {}, font};
    std::memcpy(e.fontName, text->mFont, sizeof e.fontName);
    e.fontName[sizeof e.fontName - 1] = '\0';
    KIT_MutexLock lock(&mutex);
    mEntries.Add(e);
}

int FontStorage::Count()
{
    KIT_MutexLock lock(&mutex);
    return mEntries.GetSize();
}
