#pragma once
// One entry of the plug-in's preset list: a name and the state chunk it restores.
#include <cstring>

#include "kit/plugin/IPluginStructs.h"

struct IPreset {
    enum { kNameLen = 256 };

    bool mInitialized = false;
    char mName[kNameLen];
    ByteChunk mChunk;

    IPreset() { std::strcpy(mName, "empty"); }
};
