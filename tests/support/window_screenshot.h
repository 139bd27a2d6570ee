#pragma once
// A window's backing store written as a PNG screenshot.
#include <AppKit/AppKit.h>

#include "tools/pngwriter/png_writer.h"

#include <cstring>
#include <string>
#include <vector>

namespace testsupport
{

// False when the window has no backing store or the file cannot be written.
inline bool writeWindowScreenshot(NSWindow* w, const std::string& path)
{
    CGContextRef store = w ? w->backingStore() : nullptr;
    if (!store) return false;
    const int width = int(CGBitmapContextGetWidth(store)), height = int(CGBitmapContextGetHeight(store));
    std::vector<uint32_t> words(size_t(width) * size_t(height));
    std::memcpy(words.data(), CGBitmapContextGetData(store), words.size() * 4);
    for (uint32_t& word : words) word |= 0xFF; // the skipped byte becomes opaque alpha
    return pngw::writeFile(pngw::encodeArgbWords(words.data(), width, height, width), path);
}

} // namespace testsupport
