#include "ImageTable.h"

extern const ImageTableRow kImageTable[];
constexpr ImageTableRow kImageTable[] = {
#define QOR_IMAGE_TABLE_ROW(id, name, file, frames, horizontal) {id, #name, "resources/img/" file, frames, horizontal},
    QOR_IMAGE_TABLE(QOR_IMAGE_TABLE_ROW)
#undef QOR_IMAGE_TABLE_ROW
};

extern const size_t kImageTableSize;
constexpr size_t kImageTableSize = sizeof kImageTable / sizeof kImageTable[0];

namespace {

constexpr bool sameText(const char* a, const char* b)
{
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

constexpr bool endsWithPng(const char* s)
{
    size_t n = 0;
    while (s[n]) ++n;
    return n > 4 && sameText(s + n - 4, ".png");
}

// Ids ascend within 102 to 999, so they are all different; every row has a frame and a PNG
// file of its own.
constexpr bool rowsAreSound()
{
    for (size_t i = 0; i < kImageTableSize; ++i) {
        const ImageTableRow& row = kImageTable[i];
        if (row.id < 102 || row.id > 999 || row.frames < 1 || !endsWithPng(row.file)) return false;
        if (i > 0 && row.id <= kImageTable[i - 1].id) return false;
        for (size_t j = 0; j < i; ++j)
            if (sameText(row.file, kImageTable[j].file)) return false;
    }
    return true;
}

constexpr int rowsWith(int frames, bool horizontal)
{
    int n = 0;
    for (size_t i = 0; i < kImageTableSize; ++i)
        n += kImageTable[i].frames == frames && kImageTable[i].framesHorizontal == horizontal;
    return n;
}

} // namespace

static_assert(kImageTableSize == 101, "the editor draws from 101 bitmaps");
static_assert(rowsAreSound(), "image ids ascend within 102 to 999 and every row names a PNG file of its own");
static_assert(rowsWith(1, true) == 61 && rowsWith(2, false) == 30, "61 single images and 30 two-state strips");
