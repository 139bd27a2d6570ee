#include "ImageTable.h"

const ImageTableRow kImageTable[] = {
#define QOR_IMAGE_TABLE_ROW(id, name, file, frames, horizontal) {id, #name, "resources/img/" file, frames, horizontal},
    QOR_IMAGE_TABLE(QOR_IMAGE_TABLE_ROW)
#undef QOR_IMAGE_TABLE_ROW
};

const size_t kImageTableSize = sizeof kImageTable / sizeof kImageTable[0];
