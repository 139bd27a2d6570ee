#pragma once
// The record the controller's patch manager is built on: a state blob and the part names.
#include <string>
#include <vector>

#include "kit/heapbuf.h"

struct Patch {
    static constexpr int kNameCount = 27;

    KIT_HeapBuf data;
    std::vector<std::string> names;

    Patch();
};
