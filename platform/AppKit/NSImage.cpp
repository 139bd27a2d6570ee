// Images and bitmap representations, and the readers of image files: PNG through libpng, and
// icon files whose images are 32-bit bitmaps or PNG. File bytes are checked against the file's
// length and a size limit before use.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "NSControl.h"
#include "NSTextField.h"

NS_STANDIN_CLASS_IMPL(NSBitmapImageRep, NSObject)

namespace {

constexpr NSInteger kMaxSide = 4096;
constexpr long kMaxFileBytes = 64L << 20;

struct Rgba {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels; // straight alpha, rows top down
};

bool readFile(const char* path, std::vector<uint8_t>& out)
{
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    uint8_t buf[65536];
    size_t n;
    bool ok = true;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (long(out.size() + n) > kMaxFileBytes) {
            ok = false;
            break;
        }
        out.insert(out.end(), buf, buf + n);
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    return ok;
}

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool isPng(const uint8_t* p, size_t n) { return n >= 8 && png_sig_cmp(p, 0, 8) == 0; }

bool decodePng(const uint8_t* p, size_t n, Rgba& out)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, p, n)) return false;
    if (image.width == 0 || image.height == 0 || image.width > kMaxSide || image.height > kMaxSide) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    out.width = int(image.width);
    out.height = int(image.height);
    out.pixels.assign(size_t(out.width) * size_t(out.height) * 4, 0);
    if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

// A 32-bit bitmap as icon files store it: the header, the colour rows bottom up (blue, green,
// red, alpha), then the one-bit mask, which gives the transparency when every alpha is 0.
bool decodeIconBitmap(const uint8_t* p, size_t n, Rgba& out)
{
    if (n < 40) return false;
    const uint32_t headerSize = le32(p);
    const int32_t width = int32_t(le32(p + 4));
    const int32_t height2 = int32_t(le32(p + 8));
    if (headerSize < 40 || headerSize > n || le16(p + 12) != 1 || le16(p + 14) != 32 || le32(p + 16) != 0)
        return false;
    // The height counts the colour rows and the mask rows.
    const int32_t height = height2 / 2;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    const size_t colourBytes = size_t(width) * size_t(height) * 4;
    const size_t maskRow = (size_t(width) + 31) / 32 * 4;
    if (n - headerSize < colourBytes) return false;
    const uint8_t* colours = p + headerSize;
    const bool hasMask = n - headerSize - colourBytes >= maskRow * size_t(height);
    out.width = width;
    out.height = height;
    out.pixels.assign(colourBytes, 0);
    bool anyAlpha = false;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* src = colours + size_t(height - 1 - y) * size_t(width) * 4;
        uint8_t* dst = out.pixels.data() + size_t(y) * size_t(width) * 4;
        for (int32_t x = 0; x < width; ++x) {
            dst[x * 4 + 0] = src[x * 4 + 2];
            dst[x * 4 + 1] = src[x * 4 + 1];
            dst[x * 4 + 2] = src[x * 4 + 0];
            dst[x * 4 + 3] = src[x * 4 + 3];
            anyAlpha |= src[x * 4 + 3] != 0;
        }
    }
    if (!anyAlpha) {
        const uint8_t* mask = colours + colourBytes;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const bool clear = hasMask && (mask[size_t(height - 1 - y) * maskRow + size_t(x) / 8] >> (7 - x % 8)) & 1;
                out.pixels[(size_t(y) * size_t(width) + size_t(x)) * 4 + 3] = clear ? 0 : 255;
            }
    }
    return true;
}

// The first image of an icon file that is a 32-bit bitmap or PNG and lies inside the file.
bool decodeIcon(const uint8_t* p, size_t n, Rgba& out)
{
    if (n < 6 || le16(p) != 0 || le16(p + 2) != 1) return false;
    const size_t count = le16(p + 4);
    if (count == 0 || 6 + count * 16 > n) return false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = p + 6 + i * 16;
        const size_t size = le32(entry + 8), offset = le32(entry + 12);
        if (offset < 6 + count * 16 || offset > n || size > n - offset) continue;
        const uint8_t* image = p + offset;
        if (isPng(image, size) ? decodePng(image, size, out) : decodeIconBitmap(image, size, out)) return true;
    }
    return false;
}

bool decodeFile(const char* path, Rgba& out)
{
    std::vector<uint8_t> bytes;
    if (!path || !readFile(path, bytes)) return false;
    if (isPng(bytes.data(), bytes.size())) return decodePng(bytes.data(), bytes.size(), out);
    return decodeIcon(bytes.data(), bytes.size(), out);
}

} // namespace

NSImage::~NSImage()
{
    for (NSBitmapImageRep* r : mReps) r->release();
}

NSImage* NSImage::initWithSize(NSSize size)
{
    mSize = size;
    return this;
}

NSImage* NSImage::initWithContentsOfFile(NSString* path)
{
    Rgba rgba;
    if (!path || !decodeFile(path->UTF8String(), rgba)) {
        release();
        return nullptr;
    }
    auto* rep = static_cast<NSBitmapImageRep*>(NSBitmapImageRep::class_()->alloc());
    rep = rep->initWithBitmapDataPlanes(nullptr, rgba.width, rgba.height, 8, 4, true, false, NSCalibratedRGBColorSpace,
                                        NSInteger(rgba.width) * 4, 32);
    if (!rep) {
        release();
        return nullptr;
    }
    std::memcpy(rep->bitmapData(), rgba.pixels.data(), rgba.pixels.size());
    initWithSize(NSMakeSize(rgba.width, rgba.height));
    addRepresentation(rep);
    rep->release();
    return this;
}

NSImage* NSImage::imageNamed(NSString* name)
{
    if (!name || name->length() == 0) return nullptr;
    static std::map<std::string, NSImage*> named; // kept for the process, as the system keeps them
    const std::string key = name->UTF8String();
    auto it = named.find(key);
    if (it != named.end()) return it->second;
    CFBundleRef main = CFBundleGetMainBundle();
    for (const char* type : {"", "png", "ico"}) {
        CFStringRef n = CFStringCreateWithCString(nullptr, key.c_str(), kCFStringEncodingUTF8);
        CFStringRef t = CFStringCreateWithCString(nullptr, type, kCFStringEncodingUTF8);
        CFURLRef url = CFBundleCopyResourceURL(main, n, t, nullptr);
        CFRelease(n);
        CFRelease(t);
        if (!url) continue;
        char path[4096];
        const bool got = CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<uint8_t*>(path), sizeof path);
        CFRelease(url);
        if (!got) continue;
        auto* image = static_cast<NSImage*>(NSImage::class_()->alloc());
        if ((image = image->initWithContentsOfFile(NSString::stringWithUTF8String(path)))) {
            named[key] = image;
            return image;
        }
    }
    return nullptr;
}

void NSImage::addRepresentation(NSBitmapImageRep* rep)
{
    if (!rep) return;
    rep->retain();
    mReps.push_back(rep);
}

NSImage* NSImage::copy() const
{
    auto* c = static_cast<NSImage*>(NSImage::class_()->alloc());
    c->initWithSize(mSize);
    c->mFlipped = mFlipped;
    for (NSBitmapImageRep* r : mReps) c->addRepresentation(r);
    return c;
}

NSArray* NSImage::representations() const
{
    return NSArray::arrayWithVector(std::vector<NSObject*>(mReps.begin(), mReps.end()));
}

NSBitmapImageRep::~NSBitmapImageRep() { delete[] mData; }

NSBitmapImageRep* NSBitmapImageRep::initWithBitmapDataPlanes(unsigned char** planes, NSInteger width,
                                                             NSInteger height, NSInteger bitsPerSample,
                                                             NSInteger samplesPerPixel, bool hasAlpha, bool isPlanar,
                                                             const char* colorSpaceName, NSInteger bytesPerRow,
                                                             NSInteger bitsPerPixel)
{
    const std::string space = colorSpaceName ? colorSpaceName : "";
    const bool grey = samplesPerPixel == 2 && space == NSCalibratedWhiteColorSpace;
    const bool rgb = samplesPerPixel == 4 && (space == NSCalibratedRGBColorSpace || space == NSDeviceRGBColorSpace);
    if ((planes && planes[0]) || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        bitsPerSample != 8 || !hasAlpha || isPlanar || !(grey || rgb) || bitsPerPixel != samplesPerPixel * 8 ||
        bytesPerRow < width * samplesPerPixel) {
        release();
        return nullptr;
    }
    mWidth = width;
    mHeight = height;
    mSamples = samplesPerPixel;
    mBytesPerRow = bytesPerRow;
    mData = new unsigned char[size_t(bytesPerRow) * size_t(height)]();
    return this;
}

NSColor* NSBitmapImageRep::colorAtX(NSInteger x, NSInteger y) const
{
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight) return nullptr;
    const unsigned char* p = mData + size_t(y) * size_t(mBytesPerRow) + size_t(x) * size_t(mSamples);
    if (mSamples == 2) return NSColor::colorWithCalibratedRed(p[0] / 255.0, p[0] / 255.0, p[0] / 255.0, p[1] / 255.0);
    return NSColor::colorWithCalibratedRed(p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, p[3] / 255.0);
}
